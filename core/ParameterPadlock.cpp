#include "core/ParameterPadlock.h"

ParameterPadlock::~ParameterPadlock()
{
    cancelPendingUpdate();
}

void ParameterPadlock::handleAsyncUpdate()
{
    listeners.call([this](Listener& l) { l.padlockChanged(this); });
}

void ParameterPadlock::addListener(Listener* l)
{
    if (l != nullptr)
        listeners.add(l);
}

void ParameterPadlock::removeListener(Listener* l)
{
    listeners.remove(l);
}

bool ParameterPadlock::isLocked() const
{
    return state.load() == 1;
}

bool ParameterPadlock::isParameterLocked(int id) const
{
    return isLocked() && covers(id);
}

void ParameterPadlock::toggle()
{
    state.fetch_xor(1);
    triggerAsyncUpdate();
}
