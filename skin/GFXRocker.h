#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// A two-way momentary rocker: pressing one half raises that half's event. It
// never touches a parameter.
class GFXRocker : public BaseGFXController,
                  public juce::Component
{
public:
    enum State
    {
        lessPressed = 0,
        neutral = 1,
        morePressed = 2
    };

    explicit GFXRocker(const juce::String& name);

    void bindAction(const juce::String& type, int eventUid, const juce::String& eventText) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;

    void paint(juce::Graphics& g) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;

    bool isHorizontal() const noexcept { return orientation == 1; }
    int getState() const noexcept { return state; }
    // The strip frame shown: neutral while the pointer has left the pressed half.
    int getCurrentFrame() const noexcept { return showNeutral ? (int) neutral : state; }

private:
    bool isOnMoreHalf(juce::Point<int> position) const;
    // The half under a point in the rocker's own coordinates, or neutral when the
    // point lies outside the rocker.
    State getHalfAt(juce::Point<int> position) const;

    int orientation = 0;
    int lessClickEvent = -1;
    int moreClickEvent = -1;
    int lessClickWithCtrlEvent = -1;
    int moreClickWithCtrlEvent = -1;
    int state = neutral;
    bool showNeutral = false;

    JUCE_DECLARE_NON_COPYABLE(GFXRocker)
};
