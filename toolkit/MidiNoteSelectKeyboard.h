#pragma once

#include "core/ParameterController.h"
#include "toolkit/ToolbarDrawableButton.h"

#include <juce_audio_utils/juce_audio_utils.h>
#include <memory>

// A one-octave piano keyboard with octave buttons for choosing one MIDI note.
// A click or drag on a key selects the note (shown as a held key); the keyboard
// never plays notes and takes no computer keys, so the host keeps its shortcuts.
class MidiNoteSelectKeyboard : public juce::Component, private juce::Button::Listener, public ParameterController
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void noteChanged(MidiNoteSelectKeyboard* keyboard) = 0;
    };

    class Keyboard : public juce::MidiKeyboardComponent
    {
    public:
        Keyboard(MidiNoteSelectKeyboard& owner, juce::MidiKeyboardState& state);

        // The keys repaint from a timer while the keyboard is on a screen.
        void parentHierarchyChanged() override;

        bool keyPressed(const juce::KeyPress& key) override;
        bool keyStateChanged(bool isKeyDown) override;

        // A press, drag or release on a key selects its note; each answers that
        // the keyboard itself must not play it.
        bool mouseDownOnKey(int midiNoteNumber, const juce::MouseEvent& e) override;
        bool mouseDraggedToKey(int midiNoteNumber, const juce::MouseEvent& e) override;
        void mouseUpOnKey(int midiNoteNumber, const juce::MouseEvent& e) override;

        // The octave's name on its C key in bold: thin strokes on the held
        // key's orange would not stand out enough.
        void drawWhiteNote(int midiNoteNumber, juce::Graphics& g, juce::Rectangle<float> area, bool isDown,
                           bool isOver, juce::Colour lineColour, juce::Colour textColour) override;

    private:
        MidiNoteSelectKeyboard& owner;
    };

    MidiNoteSelectKeyboard();
    ~MidiNoteSelectKeyboard() override;

    // -1 for no note. A new note is written to the parameter, then the
    // listeners are told; a change of the parameter is only shown.
    void setNote(int note);
    int getNote() const noexcept { return note; }

    // A negative height keeps the current one.
    void setKeyboardHeight(int height);

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    Keyboard& getKeyboard() noexcept { return *keyboard; }
    const juce::MidiKeyboardState& getKeyboardState() const noexcept { return keyboardState; }
    juce::Button& getOctaveDownButton() noexcept { return octaveDown; }
    juce::Button& getOctaveUpButton() noexcept { return octaveUp; }

    void resized() override;
    void updateFromParameter(Parameter* p) override;

private:
    void buttonClicked(juce::Button* button) override;
    void showNote(int note, bool writeParameter);
    void showRange(int lowest);

    juce::ListenerList<Listener> listeners;
    int note = -1;
    juce::MidiKeyboardState keyboardState;
    ToolbarDrawableButton octaveDown { juce::String(), 7 };
    ToolbarDrawableButton octaveUp { juce::String(), 8 };
    std::unique_ptr<Keyboard> keyboard;

    JUCE_DECLARE_NON_COPYABLE(MidiNoteSelectKeyboard)
};
