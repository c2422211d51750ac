#pragma once

#include "skin/GUIController.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <array>

// A MIDI note in three cells (letter, accidental, octave), dragged up and down
// by the user. Strips: letters 9 frames (0 off, 1 to 7 C D E F G A B), tones 3
// (0 off, 1 sharp, 2 natural), octaves 13 (0 off, 1 to 11 octaves 0 to 10).
class NoteDisplay : public GUIController,
                    public juce::Component
{
public:
    enum Cell
    {
        notesCell = 0,
        tonesCell = 1,
        octavesCell = 2
    };

    explicit NoteDisplay(const juce::String& name);

    // Clamped to 0..127; with notify a change is written to the parameter.
    void setNote(int note, bool notify);
    int getNote() const noexcept { return note; }
    // The strip frame each cell shows now.
    std::array<int, 3> getCurrentFrames() const;
    juce::Rectangle<int> getCellBounds(Cell cell) const { return cells[(size_t) cell]; }

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void blinkStateChanged() override;
    void paint(juce::Graphics& g) override;
    void enablementChanged() override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;

private:
    bool isLive() const;
    juce::String getCellText(Cell cell) const;

    std::array<juce::Image, 3> images;
    std::array<juce::Rectangle<int>, 3> cells;
    double dragStartNote = 0.0;
    double dragStep = 1.0;
    int pixelsPerStep = 20;
    bool dragging = false;
    int note = 0;

    JUCE_DECLARE_NON_COPYABLE(NoteDisplay)
};
