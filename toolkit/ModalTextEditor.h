#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// In-place text entry for renaming: it remembers the text it had when it got
// the focus, commits on Return or when the focus leaves, and puts the old
// text back on Escape.
class ModalTextEditor : public juce::TextEditor, private juce::TextEditor::Listener
{
public:
    class ModalListener
    {
    public:
        virtual ~ModalListener() = default;
        virtual void textChanged(ModalTextEditor*) {}
        virtual void textCommitted(ModalTextEditor*) {}
        virtual void editCancelled(ModalTextEditor*) {}
        virtual void editFinished(ModalTextEditor*) {}
    };

    explicit ModalTextEditor(const juce::String& name = {});
    ~ModalTextEditor() override;

    // Null and duplicates are ignored.
    void addModalListener(ModalListener* listener);
    void removeModalListener(ModalListener* listener);

    void focusGained(FocusChangeType cause) override;
    void focusLost(FocusChangeType cause) override;

private:
    void textEditorTextChanged(juce::TextEditor&) override;
    void textEditorReturnKeyPressed(juce::TextEditor&) override;
    void textEditorEscapeKeyPressed(juce::TextEditor&) override;
    void textEditorFocusLost(juce::TextEditor&) override;

    // False when a listener deleted the editor.
    template <typename Callback>
    bool callListeners(Callback&& callback);

    juce::Array<ModalListener*> modalListeners;
    juce::String savedText;

    JUCE_DECLARE_NON_COPYABLE(ModalTextEditor)
};
