#pragma once

#include "core/Preset.h"

// A preset bound to its file. Its name always follows the file name, whatever the
// file's "name" attribute says.
class FilePreset : public Preset
{
public:
    explicit FilePreset(const juce::File& file);

    const juce::File& getFile() const { return file; }
    // Stores the file and takes its name without extension as the preset name.
    void setFile(const juce::File& newFile);

    // Reads everything from the preset's own file; false when it is not a readable preset.
    bool load(ParameterManager* manager);
    bool save(ParameterManager* manager);

    bool loadFromFile(const juce::File& file, ParameterManager* manager, bool headerOnly) override;
    // Writes no "name" attribute: the file name is the name.
    bool saveToFile(const juce::File& file, ParameterManager* manager) override;

private:
    juce::File file;
};
