#pragma once

#include <juce_core/juce_core.h>

// The kind of file a map page loads and saves: its extension (".tnhpmap") and
// the chooser pattern ("*.tnhpmap").
class FileType
{
public:
    FileType() = default;
    FileType(const juce::String& extension, const juce::String& pattern);
    virtual ~FileType() = default;

    // The pattern "*" + extension; the extension is what follows the "*".
    void setFilePattern(const juce::String& pattern);
    const juce::String& getFileExtension() const noexcept { return fileExtension; }
    const juce::String& getFilePattern() const noexcept { return filePattern; }

    // The file with its extension, whatever it was, replaced by this type's.
    juce::File withFileExtension(const juce::File& file) const;

private:
    juce::String fileExtension;
    juce::String filePattern;
};
