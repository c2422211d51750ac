#include "toolkit/BlinkingComponent.h"

BlinkingComponent::BlinkingComponentTimer::BlinkingComponentTimer(BlinkingComponent& ownerToUse) : owner(ownerToUse)
{
}

void BlinkingComponent::BlinkingComponentTimer::timerCallback()
{
    owner.blinkPhase = !owner.blinkPhase;
    owner.blinkStateChanged();
}

BlinkingComponent::BlinkingComponent() : timer(std::make_unique<BlinkingComponentTimer>(*this))
{
}

BlinkingComponent::~BlinkingComponent()
{
    timer->stopTimer();
}

void BlinkingComponent::startBlinking(int newIntervalMs)
{
    blinkPhase = false;
    if (newIntervalMs != 0)
        intervalMs = newIntervalMs;
    timer->startTimer(intervalMs);
    blinkStateChanged();
}

void BlinkingComponent::setBlinking(bool on, int newIntervalMs)
{
    if (on)
    {
        startBlinking(newIntervalMs);
    }
    else if (timer->isTimerRunning())
    {
        timer->stopTimer();
        blinkStateChanged();
    }
}

bool BlinkingComponent::isBlinking() const
{
    return timer->isTimerRunning();
}
