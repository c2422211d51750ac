#pragma once

#include "skin/GUIController.h"
#include "toolkit/EditableLabel.h"
#include <juce_gui_basics/juce_gui_basics.h>

// The skin's text input: an editable label whose committed edit is written to
// the linked parameter, and which follows that parameter's text.
class TextInput : public EditableLabel,
                  public GUIController
{
public:
    explicit TextInput(const juce::String& componentName, const juce::String& text = {});

    void textCommitted(ModalTextEditor* e) override;

    void parameterValueChanged(Parameter* p) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;

private:
    JUCE_DECLARE_NON_COPYABLE(TextInput)
};
