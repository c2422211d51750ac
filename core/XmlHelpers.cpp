#include "core/XmlHelpers.h"

bool tagNameIs(const juce::XmlElement& element, juce::StringRef tagName)
{
    return element.getTagName().equalsIgnoreCase(tagName);
}

const juce::XmlElement* findChildTagged(const juce::XmlElement& parent, juce::StringRef tagName)
{
    for (auto* child : parent.getChildIterator())
        if (tagNameIs(*child, tagName))
            return child;
    return nullptr;
}

std::unique_ptr<juce::XmlElement> readXmlFile(const juce::File& file, bool headerOnly)
{
    if (! file.existsAsFile())
        return nullptr;
    juce::XmlDocument document(file);
    return document.getDocumentElement(headerOnly);
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
