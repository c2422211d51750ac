#include "skin/SkinPackageLoader.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"
#include "skin/GFXPanel.h"
#include "skin/PngReader.h"
#include <juce_cryptography/juce_cryptography.h>

namespace
{
// Upper limits for what a package may make us read or decode; a package beyond
// them is treated as broken rather than allowed to exhaust memory.
constexpr juce::int64 kMaxDigestEntrySize = 1024;
constexpr juce::int64 kMaxSkinEntrySize = 256 * 1024 * 1024;
constexpr juce::int64 kMaxImageEntrySize = 64 * 1024 * 1024;
// Decoded pixels of one picture and of all pictures of one package (four bytes each).
constexpr juce::int64 kMaxImagePixels = 64 * 1024 * 1024;
constexpr juce::int64 kMaxPackagePixels = 2 * kMaxImagePixels;
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
    images.clear();
    decodedPixels = 0;

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
    // Later pictures come from the built-in resources, whatever this load read.
    images.clear();
    return panel;
}

std::unique_ptr<juce::XmlElement> SkinPackageLoader::parseSkinXml(const juce::MemoryBlock& text)
{
    return XmlInput::parse(text.getData(), text.getSize(), XmlInput::Kind::skin);
}

juce::Image SkinPackageLoader::getImage(const juce::String& name)
{
    if (name.isEmpty())
        return {};
    if (const auto found = images.find(name); found != images.end())
        return found->second;

    auto image = mode == loadingPackage ? loadPackageImage(name) : host.loadBuiltInSkinImage(name);
    images[name] = image;
    return image;
}

juce::Image SkinPackageLoader::loadPackageImage(const juce::String& name)
{
    if (innerArchive == nullptr)
        open();
    if (innerArchive == nullptr)
        return {};
    const auto data = readEntry(*innerArchive, name, kMaxImageEntrySize);
    if (data == nullptr)
        return {};

    // A package can name thousands of pictures whose headers each ask for the
    // largest size allowed: what one package decodes is limited as a whole. A
    // declared size counts even when the picture then turns out damaged.
    const auto pixels = PngReader::getDeclaredPixels(data->getData(), data->getSize());
    if (pixels < 1 || pixels > kMaxImagePixels || decodedPixels + pixels > kMaxPackagePixels)
        return {};
    decodedPixels += pixels;
    return decodeImage(data.get());
}

juce::Image SkinPackageLoader::decodeImage(const juce::MemoryBlock* data)
{
    return data == nullptr ? juce::Image() : PngReader::read(data->getData(), data->getSize(), kMaxImagePixels);
}

juce::Image SkinHost::loadBuiltInSkinImage(const juce::String& name) const
{
    return SkinPackageLoader::decodeImage(loadBuiltInSkinResource(name).get());
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
