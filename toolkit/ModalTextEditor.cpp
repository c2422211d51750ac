#include "toolkit/ModalTextEditor.h"

ModalTextEditor::ModalTextEditor(const juce::String& name) : juce::TextEditor(name, 0)
{
    setWantsKeyboardFocus(true);
    setPopupMenuEnabled(false);
    setSelectAllWhenFocused(true);
    addListener(this);
}

ModalTextEditor::~ModalTextEditor()
{
    removeListener(this);
}

void ModalTextEditor::addModalListener(ModalListener* listener)
{
    if (listener != nullptr)
        modalListeners.addIfNotAlreadyThere(listener);
}

void ModalTextEditor::removeModalListener(ModalListener* listener)
{
    modalListeners.removeAllInstancesOf(listener);
}

template <typename Callback>
void ModalTextEditor::callListeners(Callback&& callback)
{
    // Last registered first; a listener may remove itself while being told.
    for (int i = modalListeners.size(); --i >= 0;)
    {
        if (i < modalListeners.size())
            callback(*modalListeners.getUnchecked(i));
    }
}

void ModalTextEditor::focusGained(FocusChangeType cause)
{
    savedText = getText();
    juce::TextEditor::focusGained(cause);
    grabKeyboardFocus();
    repaint();
}

void ModalTextEditor::focusLost(FocusChangeType cause)
{
    setHighlightedRegion({});
    const auto current = getText();
    if (current != savedText)
    {
        callListeners([this](ModalListener& l) { l.textCommitted(this); });
        savedText = current;
    }
    callListeners([this](ModalListener& l) { l.editFinished(this); });
    juce::TextEditor::focusLost(cause);
    repaint();
}

void ModalTextEditor::textEditorTextChanged(juce::TextEditor&)
{
    callListeners([this](ModalListener& l) { l.textChanged(this); });
}

void ModalTextEditor::textEditorReturnKeyPressed(juce::TextEditor&)
{
    focusLost(focusChangedDirectly);
}

void ModalTextEditor::textEditorEscapeKeyPressed(juce::TextEditor&)
{
    setText(savedText, false);
    focusLost(focusChangedDirectly);
    callListeners([this](ModalListener& l) { l.editCancelled(this); });
}

void ModalTextEditor::textEditorFocusLost(juce::TextEditor&)
{
}
