#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>

#include <map>

// Everything one run of the image generator makes: file name to bytes. The
// files end up embedded in the plug-in through one archive, and loose in the
// build folder so that people can look at them. Names are unique; a second
// file under a taken name is a mistake in a table, recorded as an error so the
// build stops with a message instead of silently keeping one of the two.
class GeneratedFiles
{
public:
    // Images are stored as PNG.
    void addImage(const juce::String& name, const juce::Image& image);
    void addText(const juce::String& name, const juce::String& text);
    void addData(const juce::String& name, const juce::MemoryBlock& data);

    // Records a problem that a picture set found in its own tables.
    void addError(const juce::String& message);

    bool contains(const juce::String& name) const;
    // The bytes of a file, or null.
    const juce::MemoryBlock* find(const juce::String& name) const;
    // A stored PNG decoded again, or a null image.
    juce::Image findImage(const juce::String& name) const;
    juce::String findText(const juce::String& name) const;

    // In byte order of the names, which is also the archive's order.
    juce::StringArray getNames() const;
    const juce::StringArray& getErrors() const { return errors; }

    // Every file into the folder, each through a temporary file.
    bool writeToFolder(const juce::File& folder) const;
    // One uncompressed zip of every file with a fixed date, so that the same
    // files always give the same bytes.
    juce::MemoryBlock createArchive() const;

    // Writes bytes to a file through a temporary file. An identical file is
    // left untouched unless `always`: the build needs the archive's time to
    // move on every run, or it would run the generator again and again.
    static bool writeFile(const juce::File& file, const juce::MemoryBlock& data, bool always = false);

private:
    void add(const juce::String& name, const juce::MemoryBlock& data);

    std::map<juce::String, juce::MemoryBlock> files;
    juce::StringArray errors;
};
