#include "skin/SkinXml.h"
#include "core/Parameter.h"

namespace SkinXml
{
int readInt(const juce::XmlElement& element, juce::StringRef attribute, int fallback)
{
    if (! element.hasAttribute(attribute))
        return fallback;
    auto text = element.getStringAttribute(attribute).trimStart();
    if (text.startsWithChar('+'))
        text = text.substring(1);
    return Parameter::parseIntText(text);
}

int readLength(const juce::XmlElement& element, juce::StringRef attribute, int fallback)
{
    return juce::jlimit(0, kMaxLength, readInt(element, attribute, fallback));
}

int readCoordinate(const juce::XmlElement& element, juce::StringRef attribute, int fallback)
{
    return juce::jlimit(-kMaxCoordinate, kMaxCoordinate, readInt(element, attribute, fallback));
}

juce::Colour readColour(const juce::XmlElement& element, juce::StringRef attribute,
                        const juce::String& fallbackText)
{
    return juce::Colour((juce::uint32) element.getStringAttribute(attribute, fallbackText).getHexValue32());
}
} // namespace SkinXml
