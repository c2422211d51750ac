#include "skin/SkinButtonKeys.h"
#include "skin/SkinXml.h"

namespace SkinButtonKeys
{
void readClickMode(const juce::XmlElement& element, juce::Button& button)
{
    const auto mode = element.getStringAttribute("clickEvent", "onRelease");
    if (mode == "onRelease")
        button.setTriggeredOnMouseDown(false);
    else if (mode == "onPress")
        button.setTriggeredOnMouseDown(true);
}

int readStyle(const juce::XmlElement& element, int style)
{
    const auto text = element.getStringAttribute("style");
    if (text == "2D")
        return style2D;
    if (text == "3D")
        return style3D;
    return style;
}

void readRadioGroup(const juce::XmlElement& element, juce::Button& button)
{
    button.setRadioGroupId(SkinXml::readInt(element, "radioGroupId", 0), juce::sendNotification);
}
} // namespace SkinButtonKeys
