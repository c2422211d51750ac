#include "core/BundleResources.h"

#include <BinaryData.h>

std::unique_ptr<juce::MemoryBlock> loadBundleResource(const juce::String& name)
{
    // A name without a dot is an extension alone, looked up with an empty base
    // name, the way a bundle lookup by (base, extension) works.
    const juce::String fileName = name.containsChar('.') ? name : "." + name;

    for (int i = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        if (fileName != juce::String::fromUTF8(BinaryData::originalFilenames[i]))
            continue;

        int size = 0;
        const char* data = BinaryData::getNamedResource(BinaryData::namedResourceList[i], size);
        if (data == nullptr || size < 0)
            return nullptr;
        return std::make_unique<juce::MemoryBlock>(data, (size_t) size);
    }
    return nullptr;
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
