#include "core/BundleResources.h"

#include <BinaryData.h>

namespace
{
// What the image generator draws at build time (the skin, its images, the
// look-and-feel's bitmaps) is embedded as one archive of uncompressed entries
// beside the hand-written resources; its entries are bundle resources too.
const char* const generatedArchiveName = "GeneratedResources.zip";

const char* findEmbeddedFile(const juce::String& fileName, int& size)
{
    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
        if (fileName == juce::String::fromUTF8(BinaryData::originalFilenames[i]))
            return BinaryData::getNamedResource(BinaryData::namedResourceList[i], size);
    return nullptr;
}

// Opened once. juce::ZipFile reads an entry's header from its shared stream
// without its own lock, so every read of the archive takes this one.
juce::CriticalSection& archiveLock()
{
    static juce::CriticalSection lock;
    return lock;
}

juce::ZipFile* generatedArchive()
{
    static const std::unique_ptr<juce::ZipFile> archive = []() -> std::unique_ptr<juce::ZipFile> {
        int size = 0;
        const char* data = findEmbeddedFile(generatedArchiveName, size);
        if (data == nullptr || size <= 0)
            return nullptr;
        return std::make_unique<juce::ZipFile>(new juce::MemoryInputStream(data, (size_t) size, false), true);
    }();
    return archive.get();
}

std::unique_ptr<juce::MemoryBlock> loadGeneratedFile(const juce::String& fileName)
{
    auto* archive = generatedArchive();
    if (archive == nullptr)
        return nullptr;
    const juce::ScopedLock lock(archiveLock());
    const int index = archive->getIndexOfFileName(fileName);
    if (index < 0)
        return nullptr;
    std::unique_ptr<juce::InputStream> stream(archive->createStreamForEntry(index));
    if (stream == nullptr)
        return nullptr;
    auto block = std::make_unique<juce::MemoryBlock>();
    stream->readIntoMemoryBlock(*block);
    return block;
}
}

std::unique_ptr<juce::MemoryBlock> loadBundleResource(const juce::String& name)
{
    // A name without a dot is an extension alone, looked up with an empty base
    // name, the way a bundle lookup by (base, extension) works.
    const juce::String fileName = name.containsChar('.') ? name : "." + name;

    int size = 0;
    if (const char* data = findEmbeddedFile(fileName, size))
    {
        if (size < 0)
            return nullptr;
        return std::make_unique<juce::MemoryBlock>(data, (size_t) size);
    }
    return loadGeneratedFile(fileName);
}

juce::String loadBundleResourceAsString(const juce::String& name)
{
    const auto block = loadBundleResource(name);
    if (block == nullptr)
        return {};
    return juce::String::fromUTF8(static_cast<const char*>(block->getData()), (int) block->getSize());
}

juce::Image loadBundleResourceAsImage(const juce::String& name)
{
    const auto block = loadBundleResource(name);
    if (block == nullptr)
        return {};
    return juce::ImageFileFormat::loadFrom(block->getData(), block->getSize());
}

juce::String makeWildcardPattern(const juce::String& extension)
{
    return "*" + extension;
}
