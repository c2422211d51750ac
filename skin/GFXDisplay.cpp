#include "skin/GFXDisplay.h"
#include "core/XmlHelpers.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"
#include "toolkit/OnScreenTimer.h"

namespace
{
constexpr int kIdleTimerMs = 250;
constexpr int kCaretBlinkMs = 500;
constexpr juce::juce_wchar kEllipsis = 0x2026;
} // namespace

GFXDisplay::GFXDisplay(const juce::String& name)
    : juce::Component(name)
{
    setOpaque(true);
    setWantsKeyboardFocus(false);
    OnScreenTimer::follow(*this, *this, kIdleTimerMs);
}

void GFXDisplay::parentHierarchyChanged()
{
    OnScreenTimer::follow(*this, *this, editing ? kCaretBlinkMs : kIdleTimerMs);
}

GFXDisplay::~GFXDisplay() = default;

void GFXDisplay::addEditListener(Listener* listener)
{
    if (listener != nullptr)
        editListeners.addIfNotAlreadyThere(listener);
}

void GFXDisplay::removeEditListener(Listener* listener)
{
    editListeners.removeAllInstancesOf(listener);
}

void GFXDisplay::setText(const juce::String& text)
{
    storedText = text;
    shownText = isBlinkHidden() ? juce::String() : storedText;
    repaint();
}

int GFXDisplay::getNumVisibleCharacters() const
{
    return glyphWidth > 0 ? getWidth() / glyphWidth : 0;
}

juce::String GFXDisplay::getVisibleText() const
{
    const int n = getNumVisibleCharacters();
    if (editing || shownText.length() <= n || n < 1)
        return shownText.substring(scrollOffset, scrollOffset + n);
    return shownText.substring(0, n - 1).trimEnd() + juce::String::charToString(kEllipsis);
}

juce::String GFXDisplay::getTooltip()
{
    return storedText.length() > getNumVisibleCharacters() ? storedText : juce::String();
}

int GFXDisplay::getGlyphRow(juce::juce_wchar character) const
{
    return (int) (juce::jlimit(firstCharacter, lastCharacter, character) - firstCharacter);
}

void GFXDisplay::parameterValueChanged(Parameter* p)
{
    setText(p->getText());
}

void GFXDisplay::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);

    setText(element.getStringAttribute("name"));
    setColour(caretColourId, SkinXml::readColour(element, "caretColour"));
    setColour(backgroundColourId, SkinXml::readColour(element, "backgroundColour"));
    // A see-through background lets the panel show; an opaque one hides it.
    setOpaque(findColour(backgroundColourId).isOpaque());
    if (element.getStringAttribute("readonly", "no") == "yes")
        setEnabled(false);

    for (auto* child : element.getChildIterator())
    {
        if (tagNameIs(*child, "gfx"))
        {
            const auto resource = child->getStringAttribute("resource");
            fontImage = resource.isEmpty() ? juce::Image() : loader.getImage(resource);
            if (fontImage.isValid())
                glyphWidth = fontImage.getWidth();
            fontHeight = SkinXml::readLength(*child, "fontHeight", 0);
            const auto first = child->getStringAttribute("firstASCII", " ");
            firstCharacter = first.isEmpty() ? (juce::juce_wchar) ' ' : first[0];
        }
        else if (tagNameIs(*child, "pos"))
        {
            setTopLeftPosition(SkinXml::readCoordinate(*child, "left"), SkinXml::readCoordinate(*child, "top"));
        }
        else if (tagNameIs(*child, "size"))
        {
            setSize(SkinXml::readLength(*child, "width"), SkinXml::readLength(*child, "height"));
        }
    }
    updateGlyphs();
    repaint();
}

void GFXDisplay::updateGlyphs()
{
    // A font image too short for one glyph still counts one, drawn as far as it goes.
    glyphCount = fontHeight < 1 ? 1 : juce::jmax(1, fontImage.getHeight() / (2 * fontHeight));
    lastCharacter = firstCharacter + (juce::juce_wchar) (glyphCount - 1);
}

void GFXDisplay::blinkStateChanged()
{
    shownText = isBlinkHidden() ? juce::String() : storedText;
    repaint();
}

void GFXDisplay::enablementChanged()
{
    repaint();
}

void GFXDisplay::mouseDown(const juce::MouseEvent&)
{
    if (editListeners.isEmpty() || ! isEnabled())
        return;
    setWantsKeyboardFocus(true);
    if (isShowing())
        grabKeyboardFocus();
}

void GFXDisplay::focusGained(FocusChangeType cause)
{
    if (cause == focusChangedDirectly && ! editListeners.isEmpty() && isEnabled())
        beginEditing();
    else
        moveKeyboardFocusToSibling(true);
    repaint();
}

void GFXDisplay::beginEditing()
{
    editing = true;
    scrollOffset = 0;
    caretIndex = storedText.length();
    caretVisible = true;
    adjustScroll();
    startTimer(kCaretBlinkMs);
    savedText = storedText;
}

void GFXDisplay::focusLost(FocusChangeType)
{
    endEditing();
}

void GFXDisplay::endEditing()
{
    if (! editing)
        return;
    editing = false;
    caretIndex = 0;
    scrollOffset = 0;
    caretVisible = false;
    stopTimer();
    setWantsKeyboardFocus(false);
    if (hasKeyboardFocus(false))
        giveAwayKeyboardFocus();

    if (storedText != savedText)
        for (int i = editListeners.size(); --i >= 0;)
            if (i < editListeners.size())
                editListeners.getUnchecked(i)->displayTextEdited(this);
    repaint();
}

void GFXDisplay::timerCallback()
{
    if (hasKeyboardFocus(false))
    {
        caretVisible = ! caretVisible;
        repaint();
    }
}

void GFXDisplay::setEditedText(const juce::String& text)
{
    storedText = text;
    shownText = text;
}

bool GFXDisplay::keyPressed(const juce::KeyPress& key)
{
    if (! editing)
        return false;

    if (key == juce::KeyPress::returnKey)
    {
        endEditing();
        return true;
    }
    if (key == juce::KeyPress::escapeKey)
    {
        setEditedText(savedText);
        endEditing();
        return true;
    }

    const int code = key.getKeyCode();
    if (code == juce::KeyPress::backspaceKey)
    {
        if (caretIndex > 0)
        {
            setEditedText(storedText.substring(0, caretIndex - 1) + storedText.substring(caretIndex));
            --caretIndex;
        }
    }
    else if (code == juce::KeyPress::deleteKey)
        setEditedText(storedText.substring(0, caretIndex) + storedText.substring(caretIndex + 1));
    else if (code == juce::KeyPress::homeKey)
        caretIndex = 0;
    else if (code == juce::KeyPress::endKey)
        caretIndex = storedText.length();
    else if (code == juce::KeyPress::leftKey)
        --caretIndex;
    else if (code == juce::KeyPress::rightKey)
        ++caretIndex;
    else if (code >= (int) firstCharacter && code <= (int) lastCharacter && key.getTextCharacter() != 0)
    {
        setEditedText(storedText.substring(0, caretIndex) + juce::String::charToString(key.getTextCharacter())
                      + storedText.substring(caretIndex));
        ++caretIndex;
    }

    caretIndex = juce::jlimit(0, storedText.length(), caretIndex);
    adjustScroll();
    startTimer(kCaretBlinkMs);
    caretVisible = true;
    repaint();
    return true;
}

void GFXDisplay::adjustScroll()
{
    const int n = getNumVisibleCharacters();
    if (scrollOffset + n - 1 < caretIndex + 1)
        scrollOffset = caretIndex + 1 - n + (caretIndex != storedText.length() ? 1 : 0);
    if (scrollOffset >= caretIndex)
        scrollOffset = juce::jmax(0, caretIndex - 1);
}

void GFXDisplay::paint(juce::Graphics& g)
{
    g.fillAll(findColour(backgroundColourId));

    if (! fontImage.isValid() || glyphWidth < 1 || fontHeight < 1)
    {
        g.setColour(juce::Colours::black);
        g.drawText(shownText, getLocalBounds(), juce::Justification::centredLeft, true);
        return;
    }

    const int columns = getWidth() / glyphWidth;
    const int margin = getWidth() % glyphWidth;
    const int y = (getHeight() - fontHeight) / 2;
    const bool showCaret = caretVisible && hasKeyboardFocus(false);
    const auto visible = getVisibleText();
    for (int column = 0; column < columns; ++column)
    {
        const int x = margin / 2 + column * glyphWidth;
        const auto character = column < visible.length() ? visible[column] : (juce::juce_wchar) ' ';
        if (character == kEllipsis && (kEllipsis < firstCharacter || kEllipsis > lastCharacter))
        {
            // A font without one: three full stops, each cut from the middle of
            // its own glyph into a third of the cell.
            for (int third = 0; third < 3; ++third)
            {
                const int left = glyphWidth * third / 3, right = glyphWidth * (third + 1) / 3;
                const juce::Graphics::ScopedSaveState keep(g);
                g.reduceClipRegion(x + left, y, right - left, fontHeight);
                g.drawImage(fontImage, x + (left + right - glyphWidth) / 2, y, glyphWidth, fontHeight, 0,
                            getGlyphRow('.') * fontHeight, glyphWidth, fontHeight);
            }
            continue;
        }
        int row = getGlyphRow(character);
        if (showCaret && scrollOffset + column == caretIndex)
            row += glyphCount;
        g.drawImage(fontImage, x, y, glyphWidth, fontHeight, 0, row * fontHeight, glyphWidth, fontHeight);
    }
}
