#include "core/XmlHelpers.h"

#include <sys/stat.h>
#include <unistd.h>

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

juce::MemoryBlock getXmlFileText(const juce::XmlElement& element, bool compact)
{
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    if (compact)
        format = format.singleLine();

    juce::MemoryOutputStream out;
    element.writeTo(out, format);
    return out.getMemoryBlock();
}

bool writeXmlFile(const juce::XmlElement& element, const juce::File& file)
{
    return replaceFileWithData(file, getXmlFileText(element, false));
}

bool replaceFileWithData(const juce::File& file, const juce::MemoryBlock& data)
{
    // Replacing deletes the target first, and deleting an empty folder succeeds.
    if (file.exists() && ! isRegularFile(file))
        return false;
    // The rename below would replace a file its owner marked read-only (the
    // folder allows it, and root is never refused): such a file is kept.
    if (file.exists() && isMarkedReadOnly(file))
        return false;

    juce::TemporaryFile temp(file, getTemporaryFileFor(file));
    {
        juce::FileOutputStream out(temp.getFile());
        if (! out.openedOk())
            return false;

        out.write(data.getData(), data.getSize());
        out.flush();
        if (out.getStatus().failed())
            return false;
    }
    return temp.overwriteTargetFileWithTemporary();
}

bool isMarkedReadOnly(const juce::File& file)
{
    struct stat info {};
    if (::stat(file.getFullPathName().toRawUTF8(), &info) != 0)
        return false;
    constexpr mode_t anyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    return (info.st_mode & anyWrite) == 0 || ::access(file.getFullPathName().toRawUTF8(), W_OK) != 0;
}

bool isRegularFile(const juce::File& file)
{
    struct stat info {};
    return ::stat(file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG(info.st_mode);
}

juce::File getTemporaryFileFor(const juce::File& target)
{
    const auto unique = juce::String::toHexString(juce::Random::getSystemRandom().nextInt());
    return target.getParentDirectory().getNonexistentChildFile("." + target.getFileName() + "_" + unique, ".tmp",
                                                                false);
}
