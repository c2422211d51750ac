#include "skin/TextInput.h"
#include "core/XmlHelpers.h"
#include "skin/SkinXml.h"
#include "toolkit/DefaultLookAndFeel.h"
#include <cmath>

namespace
{
constexpr float kDefaultFontHeight = 13.0f;
constexpr float kBoxCornerSize = 3.5f;
constexpr float kOutlineCornerSize = 4.0f;

// The skin's colour attributes and the ids they set.
const struct
{
    const char* attribute;
    int colourId;
} colourKeys[] = {
    { "textColour", TextInput::textColourId },
    { "highlightedTextColour", TextInput::highlightedTextColourId },
    { "caretColour", TextInput::caretColourId },
    { "backgroundColour", TextInput::backgroundColourId },
    { "highlightColour", TextInput::highlightColourId },
    { "outlineColour", TextInput::outlineColourId },
    { "focusedOutlineColour", TextInput::focusedOutlineColourId },
};
// A number attribute as a float, 0 when absent or not a finite float.
float readFiniteFloat(const juce::XmlElement& element, const char* attribute)
{
    const auto value = (float) element.getDoubleAttribute(attribute, 0.0);
    return std::isfinite(value) ? value : 0.0f;
}
} // namespace

TextInput::TextInput(const juce::String& componentName, const juce::String& initialText)
    : juce::Component(componentName), text(initialText), font("Tahoma", kDefaultFontHeight, juce::Font::plain)
{
    setColour(backgroundColourId, juce::Colour(0xffe3e3e3));
    setColour(textColourId, juce::Colours::black);
    setColour(highlightColourId, juce::Colour(0xffffa500));
    setColour(highlightedTextColourId, juce::Colours::black);
    setColour(outlineColourId, juce::Colours::white);
    setColour(focusedOutlineColourId, juce::Colour(0xffff4500).withAlpha(0.75f));
}

TextInput::~TextInput() = default;

void TextInput::setText(const juce::String& newText)
{
    text = newText;
    if (editor != nullptr)
        editor->setText(text, false);
    repaint();
}

void TextInput::setFont(const juce::Font& newFont)
{
    font = newFont;
    updateEditorLayout();
    repaint();
}

void TextInput::setHorizontalMargin(int margin)
{
    horizontalMargin = margin;
    updateEditorLayout();
    repaint();
}

void TextInput::setJustification(juce::Justification newJustification)
{
    justification = newJustification;
    repaint();
}

void TextInput::setEditable(bool onSingleClick, bool onDoubleClick)
{
    editOnSingleClick = onSingleClick;
    editOnDoubleClick = onDoubleClick && ! onSingleClick;
    setInterceptsMouseClicks(editOnSingleClick || editOnDoubleClick, editOnSingleClick || editOnDoubleClick);
}

void TextInput::setEditorIndentOffset(int offset)
{
    editorIndentOffset = offset;
    updateEditorLayout();
}

void TextInput::addModalListener(ModalTextEditor::ModalListener* listener)
{
    if (listener == nullptr)
        return;
    if (editor != nullptr)
        editor->addModalListener(listener);
    else
        pendingListeners.addIfNotAlreadyThere(listener);
}

void TextInput::createEditor()
{
    editor = std::make_unique<ModalTextEditor>(getName());
    editor->addModalListener(this);
    for (auto* listener : pendingListeners)
        editor->addModalListener(listener);
    pendingListeners.clear();
    updateEditorColours();
    updateEditorLayout();
    addChildComponent(*editor);
}

void TextInput::updateEditorLayout()
{
    if (editor == nullptr)
        return;
    editor->setBounds(getLocalBounds());
    editor->setFont(font);
    editor->setIndents(horizontalMargin + editorIndentOffset - 1,
                       (int) ((float) (getHeight() - font.getHeight()) * 0.5f));
}

void TextInput::updateEditorColours()
{
    if (editor == nullptr)
        return;
    for (const int id : { caretColourId, textColourId, highlightedTextColourId, highlightColourId })
        editor->setColour(id, findColour(id));
    for (const int id : { (int) backgroundColourId, (int) outlineColourId, (int) focusedOutlineColourId,
                          (int) juce::TextEditor::shadowColourId })
        editor->setColour(id, juce::Colours::transparentBlack);
}

void TextInput::showEditor()
{
    if (editor == nullptr)
        createEditor();
    editor->clear();
    editor->setText(text, false);
    editor->selectAll();
    editor->setVisible(true);
    editor->toFront(false);
    if (editor->isShowing())
        editor->grabKeyboardFocus();
    repaint();
}

bool TextInput::isEditorVisible() const
{
    return editor != nullptr && editor->isVisible();
}

void TextInput::mouseDown(const juce::MouseEvent&)
{
    if (isEnabled() && editOnSingleClick)
        showEditor();
}

void TextInput::mouseDoubleClick(const juce::MouseEvent&)
{
    if (isEnabled() && editOnDoubleClick)
        showEditor();
}

void TextInput::resized()
{
    updateEditorLayout();
}

void TextInput::colourChanged()
{
    updateEditorColours();
}

void TextInput::textChanged(ModalTextEditor* e)
{
    setText(e->getText());
}

void TextInput::textCommitted(ModalTextEditor* e)
{
    if (auto* p = getParameter())
    {
        p->setText(e->getText(), true);
        sendValueChanged();
    }
}

void TextInput::editCancelled(ModalTextEditor* e)
{
    setText(e->getText());
}

void TextInput::editFinished(ModalTextEditor*)
{
    if (editor != nullptr)
        editor->setVisible(false);
    repaint();
}

void TextInput::parameterValueChanged(Parameter* p)
{
    setText(p->getText());
}

void TextInput::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);

    setText(element.getStringAttribute("name"));
    const auto editable = element.getStringAttribute("editable");
    if (editable == "no")
        setEditable(false, false);
    else if (editable == "onClick")
        setEditable(true, false);
    else if (editable == "onDoubleClick")
        setEditable(false, true);

    for (const auto& key : colourKeys)
        if (element.hasAttribute(key.attribute))
            setColour(key.colourId, SkinXml::readColour(element, key.attribute));

    for (auto* child : element.getChildIterator())
    {
        if (tagNameIs(*child, "font"))
        {
            // A font has a name and finite measures; anything else keeps the default.
            juce::Font skinFont;
            if (const auto name = child->getStringAttribute("name"); name.isNotEmpty())
                skinFont.setTypefaceName(name);
            skinFont.setHeight(readFiniteFloat(*child, "height"));
            skinFont.setExtraKerningFactor(readFiniteFloat(*child, "extraKerning"));
            skinFont.setBold(child->getStringAttribute("style") == "bold");
            setFont(skinFont);
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
}

void TextInput::paint(juce::Graphics& g)
{
    const auto background = findColour(backgroundColourId);
    const auto outline = findColour(isEditorVisible() ? focusedOutlineColourId : outlineColourId);
    const bool hasBackground = ! background.isTransparent();
    const bool hasOutline = ! outline.isTransparent();
    if (hasBackground && hasOutline)
    {
        drawRoundedBox(g, getLocalBounds(), background, outline, kBoxCornerSize, 1.0f);
    }
    else
    {
        if (hasBackground)
            fillRoundedRect(g, getLocalBounds(), background, kBoxCornerSize);
        if (hasOutline)
            drawRoundedOutline(g, getLocalBounds(), outline, kOutlineCornerSize, 1.0f);
    }

    if (isEditorVisible())
        return;
    g.setColour(findColour(textColourId));
    g.setFont(font);
    g.drawText(text, horizontalMargin, 0, juce::jmax(0, getWidth() - 2 * horizontalMargin), getHeight(), justification,
               false);
}
