#include "skin/TextInput.h"
#include "core/XmlHelpers.h"
#include "skin/SkinXml.h"
#include <cmath>

namespace
{
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
    : EditableLabel(componentName, initialText)
{
}

void TextInput::textCommitted(ModalTextEditor* e)
{
    if (auto* p = getParameter())
    {
        p->setText(e->getText(), true);
        sendValueChanged();
    }
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
