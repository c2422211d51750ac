#include "toolkit/EditableLabel.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr float kDefaultFontHeight = 13.0f;
constexpr float kBoxCornerSize = 3.5f;
constexpr float kOutlineCornerSize = 4.0f;
} // namespace

EditableLabel::EditableLabel(const juce::String& componentName, const juce::String& initialText)
    : juce::Component(componentName), text(initialText), font("Tahoma", kDefaultFontHeight, juce::Font::plain)
{
    setColour(backgroundColourId, juce::Colour(0xffe3e3e3));
    setColour(textColourId, juce::Colours::black);
    setColour(highlightColourId, juce::Colour(0xffffa500));
    setColour(highlightedTextColourId, juce::Colours::black);
    setColour(outlineColourId, juce::Colours::white);
    setColour(focusedOutlineColourId, juce::Colour(0xffff4500).withAlpha(0.75f));
}

EditableLabel::~EditableLabel() = default;

void EditableLabel::setText(const juce::String& newText)
{
    text = newText;
    if (editor != nullptr)
        editor->setText(text, false);
    repaint();
}

void EditableLabel::setFont(const juce::Font& newFont)
{
    font = newFont;
    updateEditorLayout();
    repaint();
}

void EditableLabel::setHorizontalMargin(int margin)
{
    horizontalMargin = margin;
    updateEditorLayout();
    repaint();
}

void EditableLabel::setJustification(juce::Justification newJustification)
{
    justification = newJustification;
    repaint();
}

void EditableLabel::setEditable(bool onSingleClick, bool onDoubleClick)
{
    editOnSingleClick = onSingleClick;
    editOnDoubleClick = onDoubleClick && ! onSingleClick;
    setInterceptsMouseClicks(editOnSingleClick || editOnDoubleClick, editOnSingleClick || editOnDoubleClick);
}

void EditableLabel::setEditorIndentOffset(int offset)
{
    editorIndentOffset = offset;
    updateEditorLayout();
}

void EditableLabel::addModalListener(ModalTextEditor::ModalListener* listener)
{
    if (listener == nullptr)
        return;
    if (editor != nullptr)
        editor->addModalListener(listener);
    else
        pendingListeners.addIfNotAlreadyThere(listener);
}

void EditableLabel::createEditor()
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

void EditableLabel::updateEditorLayout()
{
    if (editor == nullptr)
        return;
    editor->setBounds(getLocalBounds());
    editor->setFont(font);
    editor->setIndents(horizontalMargin + editorIndentOffset - 1,
                       (int) ((float) (getHeight() - font.getHeight()) * 0.5f));
}

void EditableLabel::updateEditorColours()
{
    if (editor == nullptr)
        return;
    for (const int id : { caretColourId, textColourId, highlightedTextColourId, highlightColourId })
        editor->setColour(id, findColour(id));
    for (const int id : { (int) backgroundColourId, (int) outlineColourId, (int) focusedOutlineColourId,
                          (int) juce::TextEditor::shadowColourId })
        editor->setColour(id, juce::Colours::transparentBlack);
}

void EditableLabel::showEditor()
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

bool EditableLabel::isTextCut() const
{
    return font.getStringWidthFloat(text) > (float) (getWidth() - 2 * horizontalMargin);
}

bool EditableLabel::isEditorVisible() const
{
    return editor != nullptr && editor->isVisible();
}

void EditableLabel::mouseDown(const juce::MouseEvent&)
{
    if (isEnabled() && editOnSingleClick)
        showEditor();
}

void EditableLabel::mouseDoubleClick(const juce::MouseEvent&)
{
    if (isEnabled() && editOnDoubleClick)
        showEditor();
}

void EditableLabel::resized()
{
    updateEditorLayout();
}

void EditableLabel::colourChanged()
{
    updateEditorColours();
}

void EditableLabel::textChanged(ModalTextEditor* e)
{
    setText(e->getText());
}

void EditableLabel::editCancelled(ModalTextEditor* e)
{
    setText(e->getText());
}

void EditableLabel::editFinished(ModalTextEditor*)
{
    if (editor != nullptr)
        editor->setVisible(false);
    repaint();
}

void EditableLabel::paint(juce::Graphics& g)
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
               true);
}
