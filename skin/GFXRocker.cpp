#include "skin/GFXRocker.h"
#include "core/XmlHelpers.h"

GFXRocker::GFXRocker(const juce::String& name)
    : juce::Component(name)
{
}

void GFXRocker::bindAction(const juce::String& type, int eventUid, const juce::String&)
{
    if (type == "onLessClick")
        lessClickEvent = eventUid;
    else if (type == "onMoreClick")
        moreClickEvent = eventUid;
    else if (type == "onLessClickWithCtrl")
        lessClickWithCtrlEvent = eventUid;
    else if (type == "onMoreClickWithCtrl")
        moreClickWithCtrlEvent = eventUid;
}

void GFXRocker::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXController::loadFromSkin(element, loader);
    if (tagNameIs(element, "Rocker"))
    {
        const auto type = element.getStringAttribute("type", "vertical");
        if (type == "vertical")
            orientation = 0;
        else if (type == "horizontal")
            orientation = 1;
    }
    placeComponent(*this);
    repaint();
}

bool GFXRocker::isOnMoreHalf(juce::Point<int> position) const
{
    // The right half, or the upper half of a vertical rocker.
    return isHorizontal() ? position.x > getWidth() / 2 : position.y < getHeight() / 2;
}

GFXRocker::State GFXRocker::getHalfAt(juce::Point<int> position) const
{
    if (! getLocalBounds().contains(position))
        return neutral;
    return isOnMoreHalf(position) ? morePressed : lessPressed;
}

void GFXRocker::mouseDown(const juce::MouseEvent& e)
{
    showNeutral = false;
    const bool more = isOnMoreHalf(e.getEventRelativeTo(this).getPosition());
    state = more ? morePressed : lessPressed;

    const bool withCtrl = e.mods.isCommandDown();
    if (more)
        sendEvent(withCtrl ? moreClickWithCtrlEvent : moreClickEvent);
    else
        sendEvent(withCtrl ? lessClickWithCtrlEvent : lessClickEvent);
    repaint();
}

void GFXRocker::mouseDrag(const juce::MouseEvent& e)
{
    // The pressed look stays only while the pointer is over the half that was
    // pressed; the test is made in the rocker's own coordinates, like the press.
    showNeutral = state == neutral || getHalfAt(e.getEventRelativeTo(this).getPosition()) != state;
    repaint();
}

void GFXRocker::mouseUp(const juce::MouseEvent&)
{
    showNeutral = false;
    state = neutral;
    repaint();
}

void GFXRocker::paint(juce::Graphics& g)
{
    if (hasImageStrip())
    {
        drawFrame(g, getCurrentFrame());
        return;
    }

    g.fillAll(juce::Colour::greyLevel(0.9f));
    const int w = getWidth();
    const int h = getHeight();
    const bool lessShown = ! showNeutral && state == lessPressed;
    const bool moreShown = ! showNeutral && state == morePressed;
    const auto shade = [](bool pressed) { return juce::Colour::greyLevel(pressed ? 0.5f : 0.7f); };

    // Each half stops one pixel short of the middle. The less half is the left
    // or the bottom one.
    juce::Rectangle<int> less, more;
    if (isHorizontal())
    {
        less = { 0, 0, w / 2, h };
        more = { w / 2 + 1, 0, w - (w / 2 + 1), h };
    }
    else
    {
        more = { 0, 0, w, h / 2 };
        less = { 0, h / 2 + 1, w, h - (h / 2 + 1) };
    }
    g.setColour(shade(lessShown));
    g.fillRect(less);
    g.setColour(shade(moreShown));
    g.fillRect(more);
    g.setColour(juce::Colours::black);
    g.drawRect(getLocalBounds(), 1);
}
