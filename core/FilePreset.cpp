#include "core/FilePreset.h"

FilePreset::FilePreset(const juce::File& presetFile)
{
    setFile(presetFile);
}

void FilePreset::setFile(const juce::File& newFile)
{
    file = newFile;
    name = newFile.getFileNameWithoutExtension();
}

bool FilePreset::load(ParameterManager* manager)
{
    return loadFromFile(file, manager, false);
}

bool FilePreset::save(ParameterManager* manager)
{
    return saveToFile(file, manager);
}

bool FilePreset::loadFromFile(const juce::File& presetFile, ParameterManager* manager, bool headerOnly)
{
    const bool loaded = Preset::loadFromFile(presetFile, manager, headerOnly);
    setFile(presetFile);
    return loaded;
}

bool FilePreset::saveToFile(const juce::File& presetFile, ParameterManager* manager)
{
    name.clear();
    const bool saved = Preset::saveToFile(presetFile, manager);
    setFile(presetFile);
    return saved;
}
