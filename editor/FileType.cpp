#include "editor/FileType.h"

FileType::FileType(const juce::String& extension, const juce::String& pattern)
    : fileExtension(extension), filePattern(pattern)
{
}

void FileType::setFilePattern(const juce::String& pattern)
{
    filePattern = pattern;
    fileExtension = pattern.startsWithChar('*') ? pattern.substring(1) : pattern;
}

juce::File FileType::withFileExtension(const juce::File& file) const
{
    return file.withFileExtension(fileExtension);
}
