#include "toolkit/RatingComponent.h"

#include "core/BundleResources.h"

namespace
{
// The marks' size, also used while their pictures are missing.
constexpr int kMarkSide = 16;
} // namespace

RatingComponent::RatingComponent()
    : emptyMark(loadBundleResourceAsImage("RatingEmpty.png")), filledMark(loadBundleResourceAsImage("RatingFilled.png"))
{
    setSize(maximum * getMarkWidth(), getMarkHeight());
}

int RatingComponent::getMarkWidth() const
{
    return emptyMark.isValid() ? emptyMark.getWidth() : kMarkSide;
}

int RatingComponent::getMarkHeight() const
{
    return emptyMark.isValid() ? emptyMark.getHeight() : kMarkSide;
}

void RatingComponent::setMaximum(int newMaximum)
{
    if (newMaximum < 1 || newMaximum == maximum)
        return;
    maximum = newMaximum;
    setSize(maximum * getMarkWidth(), getMarkHeight());
    repaint();
}

void RatingComponent::setRating(int newRating, bool notify)
{
    if (newRating < 1 || newRating > maximum || newRating == rating)
        return;
    rating = newRating;
    repaint();
    if (notify)
        listeners.call([this](Listener& l) { l.ratingChanged(this); });
}

void RatingComponent::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void RatingComponent::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void RatingComponent::paint(juce::Graphics& g)
{
    const int w = getMarkWidth();
    for (int i = 0; i < maximum; ++i)
        g.drawImageAt(i < rating ? filledMark : emptyMark, i * w, 0);
}

void RatingComponent::rateAt(int x)
{
    setRating(x / getMarkWidth() + 1, true);
}

void RatingComponent::mouseDown(const juce::MouseEvent& e)
{
    rateAt(e.getMouseDownX());
}

void RatingComponent::mouseDrag(const juce::MouseEvent& e)
{
    rateAt(e.x);
}
