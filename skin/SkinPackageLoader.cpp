#include "skin/SkinPackageLoader.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"
#include "skin/GFXPanel.h"
#include <juce_cryptography/juce_cryptography.h>

namespace
{
// Upper limits for what a package may make us read or decode; a package beyond
// them is treated as broken rather than allowed to exhaust memory.
constexpr juce::int64 kMaxDigestEntrySize = 1024;
constexpr juce::int64 kMaxSkinEntrySize = 256 * 1024 * 1024;
constexpr juce::int64 kMaxImageEntrySize = 64 * 1024 * 1024;
constexpr juce::int64 kMaxImagePixels = 64 * 1024 * 1024;

// The pixel count a PNG header declares, or -1 for data that is no PNG.
juce::int64 getDeclaredPngPixels(const juce::MemoryBlock& data)
{
    static const unsigned char signature[] = { 0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a };
    if (data.getSize() < 24 || memcmp(data.getData(), signature, sizeof(signature)) != 0)
        return -1;
    const auto* bytes = static_cast<const unsigned char*>(data.getData());
    const auto readBigEndian = [bytes](size_t offset) {
        return ((juce::uint32) bytes[offset] << 24) | ((juce::uint32) bytes[offset + 1] << 16)
             | ((juce::uint32) bytes[offset + 2] << 8) | (juce::uint32) bytes[offset + 3];
    };
    return (juce::int64) readBigEndian(16) * (juce::int64) readBigEndian(20);
}
} // namespace

SkinPackageLoader::SkinPackageLoader(SkinHost& h, const juce::String& name)
    : host(h), skinName(name)
{
}

SkinPackageLoader::~SkinPackageLoader()
{
    close();
}

void SkinPackageLoader::close()
{
    innerArchive.reset();
    skinStream.reset();
    skinData.reset();
    outerArchive.reset();
}

void SkinPackageLoader::open()
{
    close();

    const auto file = host.getSkinPackageFile(skinName);
    if (skinName.isEmpty() || ! file.existsAsFile())
        return;

    outerArchive = std::make_unique<juce::ZipFile>(file);
    const auto digest = readEntry(*outerArchive, skinName + ".md5", kMaxDigestEntrySize);
    if (digest == nullptr)
        return close();

    skinData = readEntry(*outerArchive, skinName + ".skin", kMaxSkinEntrySize);
    if (skinData == nullptr)
        return close();
    skinStream = std::make_unique<juce::MemoryInputStream>(*skinData, false);

    if (! juce::MD5(*skinData).toHexString().equalsIgnoreCase(digest->toString()))
        return close();

    innerArchive = std::make_unique<juce::ZipFile>(*skinStream);
}

std::unique_ptr<juce::MemoryBlock> SkinPackageLoader::readEntry(juce::ZipFile& archive, const juce::String& name,
                                                                 juce::int64 maxSize)
{
    const auto* entry = archive.getEntry(name);
    if (entry == nullptr || entry->uncompressedSize < 0 || entry->uncompressedSize > maxSize)
        return nullptr;

    std::unique_ptr<juce::InputStream> stream(archive.createStreamForEntry(*entry));
    if (stream == nullptr)
        return nullptr;

    // A damaged entry reads short; only one that gives all its bytes counts.
    auto data = std::make_unique<juce::MemoryBlock>();
    const auto size = (size_t) entry->uncompressedSize;
    if (size > 0)
    {
        data->setSize(size);
        if (stream->read(data->getData(), (int) size) != (int) size)
            return nullptr;
    }
    return data;
}

std::unique_ptr<juce::Component> SkinPackageLoader::loadSkin()
{
    std::unique_ptr<juce::Component> panel;

    if (skinName.isEmpty())
    {
        mode = loadingBuiltIn;
        if (auto text = host.loadBuiltInSkinResource("skin.xml"))
            if (auto root = parseSkinXml(*text))
                panel = buildMainPanel(*root);
    }
    else
    {
        mode = loadingPackage;
        open();
        if (innerArchive != nullptr)
            if (auto text = readEntry(*innerArchive, "skin.xml", (juce::int64) XmlInput::getMaxBytes(XmlInput::Kind::skin)))
                if (auto root = parseSkinXml(*text))
                    panel = buildMainPanel(*root);
    }

    mode = idle;
    return panel;
}

std::unique_ptr<juce::XmlElement> SkinPackageLoader::parseSkinXml(const juce::MemoryBlock& text)
{
    return XmlInput::parse(text.getData(), text.getSize(), XmlInput::Kind::skin);
}

juce::Image SkinPackageLoader::getImage(const juce::String& name)
{
    if (mode == loadingPackage)
        return loadPackageImage(name);
    if (name.isEmpty())
        return {};
    return decodeImage(host.loadBuiltInSkinResource(name).get());
}

juce::Image SkinPackageLoader::loadPackageImage(const juce::String& name)
{
    if (innerArchive == nullptr)
        open();
    if (innerArchive == nullptr)
        return {};
    return decodeImage(readEntry(*innerArchive, name, kMaxImageEntrySize).get());
}

juce::Image SkinPackageLoader::decodeImage(const juce::MemoryBlock* data)
{
    if (data == nullptr || data->getSize() == 0 || getDeclaredPngPixels(*data) > kMaxImagePixels)
        return {};
    return juce::ImageFileFormat::loadFrom(data->getData(), data->getSize());
}

bool SkinPackageLoader::isValidPackage(SkinHost& host, const juce::String& skinName)
{
    if (skinName.isEmpty())
        return false;
    SkinPackageLoader loader(host, skinName);
    loader.open();
    return loader.isOpen();
}

std::unique_ptr<juce::Component> SkinPackageLoader::buildMainPanel(const juce::XmlElement& root)
{
    if (! tagNameIs(root, "PluginEditor")
        || ! root.getStringAttribute("application").equalsIgnoreCase(host.getProductName()))
        return nullptr;

    for (auto* element : root.getChildIterator())
    {
        if (tagNameIs(*element, "Panel") && element->getStringAttribute("name").equalsIgnoreCase("MainPanel"))
        {
            auto panel = std::make_unique<GFXPanel>("MainEditorPanel");
            panel->loadFromSkin(*element, *this);
            return panel;
        }
    }
    return nullptr;
}
