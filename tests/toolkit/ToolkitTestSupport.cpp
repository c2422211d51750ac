#include "ToolkitTestSupport.h"

void ToolkitTest::mouseEventAt(juce::Component& c, juce::Point<int> at, int kind)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto pos = at.toFloat();
    const auto time = juce::Time::getCurrentTime();
    const auto mods = kind == up || kind == enter || kind == exit ? juce::ModifierKeys()
                                                                 : juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier);
    const juce::MouseEvent e(source, pos, mods, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c, time, pos, time, 1, false);
    switch (kind)
    {
        case down: c.mouseDown(e); break;
        case drag: c.mouseDrag(e); break;
        case up: c.mouseUp(e); break;
        case enter: c.mouseEnter(e); break;
        default: c.mouseExit(e); break;
    }
}

void ToolkitTest::click(juce::Component& c, juce::Point<int> at)
{
    mouseEventAt(c, at, down);
    mouseEventAt(c, at, up);
}
