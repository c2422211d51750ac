#pragma once

#include "EditorTestSupport.h"
#include "editor/TavinorEditor.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/GFXPanel.h"

#include <functional>
#include <memory>

namespace EditorTest
{
// A processor made as a host makes one, with its editor shown as the host's
// window shows it and the start-up notifications delivered.
class EditorFixture : public Fixture
{
protected:
    void SetUp() override;
    void TearDown() override;

    TavinorEditor& editor() { return *ed; }
    ParameterManager& parameters() { return processor->getParameterManager(); }
    // The named skin element (anywhere in the editor) as the class asked for.
    template <typename Element>
    Element* element(const juce::String& name)
    {
        return dynamic_cast<Element*>(ed->findSkinComponent(name, true));
    }
    int stateOf(const juce::String& name);
    bool shown(const juce::String& name);
    // Clicks a skin control as a user would: at its centre, with modifiers.
    void clickElement(const juce::String& name,
                      juce::ModifierKeys mods = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier));
    // Drags a skin control vertically by dy pixels, as a user would.
    void dragElement(const juce::String& name, int dy);
    // Drags vertically by dy pixels from a point of the editor: whatever takes
    // the mouse there gets the drag.
    void dragAt(juce::Point<int> inEditor, int dy);
    // Plays a signal (a function of block and sample) through the processor in
    // blocks of 256 at 48 kHz.
    void play(int blocks, const std::function<float(int, int)>& signal, juce::MidiBuffer midi = {});
    // Writes one parameter with notification and lets the editor catch up.
    void set(int id, int value);
    void settle() { TestHelpers::pumpMessages(); }
    juce::File screenshot(const juce::String& name) { return writeScreenshot(*ed, name); }
    // Puts the editor into a host's window on the screen, where components
    // take the keyboard; false without a display.
    bool putOnScreen();
    // A key pressed in the host's window, as the user presses it.
    void press(const juce::KeyPress& key);
    // The status bar's text now.
    juce::String status() { return ed->getStatusBar().getText(); }
    // The select button of line 0..3.
    int lineButtonState(int line) { return stateOf("Delay" + juce::String(line + 1) + "SelectButton"); }
    int lineId(int line, int k) const { return Tavinor::getLineParameterBase(line) + k; }

    std::unique_ptr<ScopedUserFolder> userFolder;
    std::unique_ptr<juce::Component> hostWindow;
    std::unique_ptr<Tavinor> processor;
    TavinorEditor* ed = nullptr;
};
} // namespace EditorTest
