#pragma once

#include "toolkit/ModalTextEditor.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// Text in a system font, edited in place with a modal text editor on a click or
// a double click. What a committed edit means is up to the owner: a modal
// listener, or a subclass overriding textCommitted.
class EditableLabel : public juce::Component,
                      public ModalTextEditor::ModalListener
{
public:
    // The text editor's colour ids, so that the in-place editor takes them over.
    enum ColourIds
    {
        backgroundColourId = 0x1000200,
        textColourId = 0x1000201,
        highlightColourId = 0x1000202,
        highlightedTextColourId = 0x1000203,
        caretColourId = 0x1000204,
        outlineColourId = 0x1000205,
        focusedOutlineColourId = 0x1000206
    };

    explicit EditableLabel(const juce::String& componentName, const juce::String& text = {});
    ~EditableLabel() override;

    // Also shown by an open editor, without notification.
    void setText(const juce::String& text);
    const juce::String& getText() const noexcept { return text; }
    void setFont(const juce::Font& font);
    const juce::Font& getFont() const noexcept { return font; }
    void setHorizontalMargin(int margin);
    void setJustification(juce::Justification justification);
    // Double click counts only while single click is off; with neither the
    // control lets clicks through.
    void setEditable(bool onSingleClick, bool onDoubleClick);
    bool isEditableOnSingleClick() const noexcept { return editOnSingleClick; }
    bool isEditableOnDoubleClick() const noexcept { return editOnDoubleClick; }
    void setEditorIndentOffset(int offset);
    void showEditor();
    bool isEditorVisible() const;
    // Whether the text is wider than the label: it is drawn ending in an ellipsis.
    bool isTextCut() const;
    ModalTextEditor* getEditor() const noexcept { return editor.get(); }
    // Listeners of the editor; kept until the editor exists.
    void addModalListener(ModalTextEditor::ModalListener* listener);

    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;
    void paint(juce::Graphics& g) override;
    void resized() override;
    void colourChanged() override;

    void textChanged(ModalTextEditor* e) override;
    void textCommitted(ModalTextEditor*) override {}
    void editCancelled(ModalTextEditor* e) override;
    void editFinished(ModalTextEditor* e) override;

private:
    void createEditor();
    void updateEditorLayout();
    void updateEditorColours();

    juce::Array<ModalTextEditor::ModalListener*> pendingListeners;
    juce::String text;
    std::unique_ptr<ModalTextEditor> editor;
    juce::Font font;
    juce::Justification justification = juce::Justification::centredLeft;
    int horizontalMargin = 5;
    int editorIndentOffset = 0;
    bool editOnSingleClick = true;
    bool editOnDoubleClick = false;

    JUCE_DECLARE_NON_COPYABLE(EditableLabel)
};
