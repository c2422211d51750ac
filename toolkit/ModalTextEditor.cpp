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
bool ModalTextEditor::callListeners(Callback&& callback)
{
    // Last registered first. A listener may remove itself while being told, or
    // delete this editor, after which nobody else is told.
    const juce::Component::BailOutChecker checker(this);
    for (int i = modalListeners.size(); --i >= 0;)
    {
        if (checker.shouldBailOut())
            return false;
        if (i < modalListeners.size())
            callback(*modalListeners.getUnchecked(i));
    }
    return !checker.shouldBailOut();
}

void ModalTextEditor::focusGained(FocusChangeType cause)
{
    savedText = getText();
    juce::TextEditor::focusGained(cause);
    if (isShowing())
        grabKeyboardFocus();
    repaint();
}

void ModalTextEditor::focusLost(FocusChangeType cause)
{
    setHighlightedRegion({});
    const auto current = getText();
    if (current != savedText)
    {
        // Saved before anybody hears: a listener that moves the focus (to an
        // alert saying that a rename failed, say) runs this again, and the edit
        // must not be committed twice.
        savedText = current;
        if (!callListeners([this](ModalListener& l) { l.textCommitted(this); }))
            return;
    }
    if (!callListeners([this](ModalListener& l) { l.editFinished(this); }))
        return;
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
    const juce::Component::BailOutChecker checker(this);
    focusLost(focusChangedDirectly);
    if (!checker.shouldBailOut())
        callListeners([this](ModalListener& l) { l.editCancelled(this); });
}

void ModalTextEditor::textEditorFocusLost(juce::TextEditor&)
{
}
