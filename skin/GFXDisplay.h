#pragma once

#include "skin/GUIController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// Shows its parameter's text in a bitmap font cut from a skin image, and can be
// edited in place with a blinking bitmap caret. The font image is one glyph wide:
// rows 0 .. count - 1 (each font-height high) hold the characters first .. last,
// the rows after them the same glyphs in their caret form.
//
// Edited text goes nowhere by itself: only a display that someone listens to
// (an edit listener) takes the keyboard; without one it stays read-only. A
// text longer than the display ends in an ellipsis, and its tooltip holds it.
class GFXDisplay : public GUIController,
                   public juce::Component,
                   public juce::Timer,
                   public juce::TooltipClient
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void displayTextEdited(GFXDisplay* display) = 0;
    };

    // Colour ids of the display (the text editor's ids).
    enum ColourIds
    {
        backgroundColourId = 0x1000200,
        caretColourId = 0x1000204
    };

    explicit GFXDisplay(const juce::String& name);
    ~GFXDisplay() override;

    // Null and listeners already present are ignored.
    void addEditListener(Listener* listener);
    void removeEditListener(Listener* listener);

    void setText(const juce::String& text);
    const juce::String& getText() const noexcept { return storedText; }
    // The text drawn now: empty while a blink hides it.
    const juce::String& getShownText() const noexcept { return shownText; }
    // What the cells show: the shown text from the edit's scroll position,
    // or as much of it as fits before an ellipsis.
    juce::String getVisibleText() const;
    // The whole text when the cells cut it, else nothing.
    juce::String getTooltip() override;
    bool isEditing() const noexcept { return editing; }

    int getNumVisibleCharacters() const;
    int getNumGlyphs() const noexcept { return glyphCount; }
    juce::juce_wchar getFirstCharacter() const noexcept { return firstCharacter; }
    juce::juce_wchar getLastCharacter() const noexcept { return lastCharacter; }
    // The font row that draws a character: characters outside the font draw as
    // its nearest end.
    int getGlyphRow(juce::juce_wchar character) const;

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void blinkStateChanged() override;

    bool keyPressed(const juce::KeyPress& key) override;
    void paint(juce::Graphics& g) override;
    void enablementChanged() override;
    void mouseDown(const juce::MouseEvent& e) override;
    void focusGained(FocusChangeType cause) override;
    void focusLost(FocusChangeType cause) override;

    void timerCallback() override;
    // The caret's timer runs while the display is on a screen.
    void parentHierarchyChanged() override;

private:
    void updateGlyphs();
    void beginEditing();
    void endEditing();
    void adjustScroll();
    void setEditedText(const juce::String& text);

    juce::Image fontImage;
    int glyphWidth = 8;
    int fontHeight = 0;
    juce::juce_wchar firstCharacter = 32;
    juce::juce_wchar lastCharacter = 160;
    int glyphCount = 0;

    bool caretVisible = false;
    int caretIndex = 0;
    int scrollOffset = 0;
    bool editing = false;

    juce::Array<Listener*> editListeners;
    juce::String shownText;
    juce::String savedText;
    juce::String storedText;

    JUCE_DECLARE_NON_COPYABLE(GFXDisplay)
};
