#pragma once

#include "skin/GUIController.h"
#include <juce_audio_utils/juce_audio_utils.h>
#include <array>
#include <atomic>

// An on-screen MIDI keyboard whose keys may each be drawn from their own image
// strip. A key's strip holds one frame per combination of its own state and the
// states of a chosen number of neighbour keys, so that a skin can draw shadows
// and overlaps that depend on pressed neighbours. Keys without an image are drawn
// by the framework's keyboard as usual; the mouse plays into the keyboard state.
class ImageMidiKeyboard : public GUIController,
                          public juce::MidiKeyboardComponent
{
public:
    // Neighbour counts a skin may ask for: a strip needs 2 x 2^(left + right)
    // frames, and the frame number must stay a plain int.
    static constexpr int maxNeighbours = 8;

    struct Key
    {
        int note = 0;
        bool pressed = false;
        int frames = 0;
        int halfFrames = 0;
        int width = 0;
        int height = 0;
        int left = 0;
        int right = 0;
        int currentFrame = 0;
        juce::Image image;
        int x = 0;
        int y = 0;
    };

    ImageMidiKeyboard(juce::MidiKeyboardState& state, juce::MidiKeyboardComponent::Orientation orientation,
                      const juce::String& name);
    ~ImageMidiKeyboard() override;

    // The keys repaint from a timer while the keyboard is on a screen.
    void parentHierarchyChanged() override;

    const Key& getKey(int note) const { return keys[(size_t) juce::jlimit(0, 127, note)]; }

    // Marks a note pressed or released and refreshes the frames it affects.
    void setKeyPressed(int note, bool pressed);

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;

    juce::Range<float> getKeyPosition(int midiNoteNumber, float keyWidth) const override;
    void drawWhiteNote(int midiNoteNumber, juce::Graphics& g, juce::Rectangle<float> area, bool isDown,
                       bool isOver, juce::Colour lineColour, juce::Colour textColour) override;
    void drawBlackNote(int midiNoteNumber, juce::Graphics& g, juce::Rectangle<float> area, bool isDown,
                       bool isOver, juce::Colour noteFillColour) override;
    bool mouseDownOnKey(int midiNoteNumber, const juce::MouseEvent& e) override;
    bool mouseDraggedToKey(int midiNoteNumber, const juce::MouseEvent& e) override;
    // Follows the keyboard state (notes played by the host or by MIDI) into the
    // keys' pressed flags.
    void timerCallback() override;

private:
    // Notes the state's changes, on whatever thread plays notes, for the timer.
    struct StateWatcher : juce::MidiKeyboardState::Listener
    {
        void handleNoteOn(juce::MidiKeyboardState*, int, int, float) override { changed.store(true); }
        void handleNoteOff(juce::MidiKeyboardState*, int, int, float) override { changed.store(true); }
        std::atomic<bool> changed { false };
    };

    bool isPressed(int note) const;
    void refreshFrames(int changedNote);
    bool drawKeyImage(int note, juce::Graphics& g);
    void readKeys(const juce::XmlElement& keysElement, SkinPackageLoader& loader);

    std::array<Key, 128> keys;
    juce::MidiKeyboardState& keyboardState;
    StateWatcher stateWatcher;

    JUCE_DECLARE_NON_COPYABLE(ImageMidiKeyboard)
};
