#include "GeneratedFiles.h"

void GeneratedFiles::addImage(const juce::String& name, const juce::Image& image)
{
    if (! image.isValid())
    {
        addError("image \"" + name + "\" is empty");
        return;
    }
    juce::MemoryOutputStream out;
    juce::PNGImageFormat png;
    if (! png.writeImageToStream(image, out))
    {
        addError("image \"" + name + "\" could not be encoded");
        return;
    }
    add(name, out.getMemoryBlock());
}

void GeneratedFiles::addText(const juce::String& name, const juce::String& text)
{
    const auto utf8 = text.toUTF8();
    add(name, juce::MemoryBlock(utf8.getAddress(), utf8.sizeInBytes() - 1));
}

void GeneratedFiles::addData(const juce::String& name, const juce::MemoryBlock& data)
{
    add(name, data);
}

void GeneratedFiles::addError(const juce::String& message)
{
    errors.add(message);
}

void GeneratedFiles::add(const juce::String& name, const juce::MemoryBlock& data)
{
    // Plain file names only: the bundle lookup knows no folders.
    if (name.isEmpty() || name.containsAnyOf("/\\") || ! name.containsChar('.'))
    {
        addError("bad file name \"" + name + "\"");
        return;
    }
    if (! files.emplace(name, data).second)
        addError("two files named \"" + name + "\"");
}

bool GeneratedFiles::contains(const juce::String& name) const
{
    return files.count(name) != 0;
}

const juce::MemoryBlock* GeneratedFiles::find(const juce::String& name) const
{
    const auto it = files.find(name);
    return it == files.end() ? nullptr : &it->second;
}

juce::Image GeneratedFiles::findImage(const juce::String& name) const
{
    const auto* data = find(name);
    if (data == nullptr)
        return {};
    return juce::ImageFileFormat::loadFrom(data->getData(), data->getSize());
}

juce::String GeneratedFiles::findText(const juce::String& name) const
{
    const auto* data = find(name);
    if (data == nullptr)
        return {};
    return juce::String::fromUTF8(static_cast<const char*>(data->getData()), (int) data->getSize());
}

juce::StringArray GeneratedFiles::getNames() const
{
    juce::StringArray names;
    for (const auto& entry : files)
        names.add(entry.first);
    return names;
}

bool GeneratedFiles::writeFile(const juce::File& file, const juce::MemoryBlock& data, bool always)
{
    // Leaving an identical file alone keeps its time stamp, so nothing that
    // depends on it is rebuilt for nothing.
    if (! always && file.existsAsFile() && file.getSize() == (juce::int64) data.getSize())
    {
        juce::MemoryBlock old;
        if (file.loadFileAsData(old) && old == data)
            return true;
    }
    juce::TemporaryFile temp(file);
    if (! temp.getFile().replaceWithData(data.getData(), data.getSize()))
        return false;
    return temp.overwriteTargetFileWithTemporary();
}

bool GeneratedFiles::writeToFolder(const juce::File& folder) const
{
    if (! folder.createDirectory())
        return false;
    for (const auto& entry : files)
        if (! writeFile(folder.getChildFile(entry.first), entry.second))
            return false;
    return true;
}

juce::MemoryBlock GeneratedFiles::createArchive() const
{
    // A local time that reads back as itself in every time zone.
    const juce::Time fixedDate(2024, 0, 1, 12, 0, 0, 0, true);

    juce::ZipFile::Builder builder;
    for (const auto& entry : files)
        builder.addEntry(new juce::MemoryInputStream(entry.second, true), 0, entry.first, fixedDate);

    juce::MemoryOutputStream out;
    builder.writeToStream(out, nullptr);
    return out.getMemoryBlock();
}
