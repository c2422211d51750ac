#include "core/XmlHelpers.h"

bool tagNameIs(const juce::XmlElement& element, juce::StringRef tagName)
{
    return element.getTagName().equalsIgnoreCase(tagName);
}

bool writeXmlFile(const juce::XmlElement& element, const juce::File& file)
{
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;

    juce::TemporaryFile temp(file, getTemporaryFileFor(file));
    {
        juce::FileOutputStream out(temp.getFile());
        if (! out.openedOk())
            return false;

        element.writeTo(out, format);
        out.flush();
        if (out.getStatus().failed())
            return false;
    }
    return temp.overwriteTargetFileWithTemporary();
}

juce::File getTemporaryFileFor(const juce::File& target)
{
    const auto unique = juce::String::toHexString(juce::Random::getSystemRandom().nextInt());
    return target.getParentDirectory().getNonexistentChildFile("." + target.getFileName() + "_" + unique, ".tmp",
                                                                false);
}
