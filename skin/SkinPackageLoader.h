#pragma once

#include "skin/SkinHost.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <map>
#include <memory>

// Loads one skin: the built-in one (an empty skin name) from the host's built-in
// resources, or a skin package from its ".orvskin" file. A package is a zip
// holding "<name>.md5" (the hexadecimal MD5 of the other entry, nothing else) and
// "<name>.skin", a zip with "skin.xml" and the images it names; the inner archive
// is opened only when its digest matches. The loader builds the main panel from
// "skin.xml" and serves the images to the controls while they read their
// elements. It lives for one load or one validity test.
class SkinPackageLoader
{
public:
    SkinPackageLoader(SkinHost& host, const juce::String& skinName);
    ~SkinPackageLoader();

    // Opens the package of the skin name; success shows as an open inner archive.
    void open();
    bool isOpen() const noexcept { return innerArchive != nullptr; }

    // The main panel, or null when the skin cannot be read or holds none.
    std::unique_ptr<juce::Component> loadSkin();

    // While a package skin is being built, the package's image entry; otherwise
    // the built-in resource. Skin pictures are PNG files (see PngReader): a
    // missing, damaged or oversized picture, or one in another format, is a null
    // image, and so is a package's picture past what a whole package may
    // decode. A picture named again is the one read the first time.
    juce::Image getImage(const juce::String& name);
    juce::Image loadPackageImage(const juce::String& name);

    // A picture from its file's bytes; null for no data, data that is no
    // picture, or a picture too large to be a skin's.
    static juce::Image decodeImage(const juce::MemoryBlock* data);

    // Whether the named package exists and passes the digest check.
    static bool isValidPackage(SkinHost& host, const juce::String& skinName);

    // The panel named "MainEditorPanel" built from the root's main panel element,
    // or null when the root is no skin of this product or has no "MainPanel".
    std::unique_ptr<juce::Component> buildMainPanel(const juce::XmlElement& root);

    SkinHost& getHost() noexcept { return host; }
    const juce::String& getSkinName() const noexcept { return skinName; }

private:
    enum Mode
    {
        idle = 0,
        loadingBuiltIn = 1,
        loadingPackage = 2
    };

    // The one place where skin XML becomes a document: sizes, encoding and
    // nesting are checked before anything is parsed.
    static std::unique_ptr<juce::XmlElement> parseSkinXml(const juce::MemoryBlock& text);
    // The whole entry, or null when it is missing, too large or does not read
    // back to its full size.
    static std::unique_ptr<juce::MemoryBlock> readEntry(juce::ZipFile& archive, const juce::String& name,
                                                        juce::int64 maxSize);
    void close();

    SkinHost& host;
    juce::String skinName;
    Mode mode = idle;

    // Each reads from the one before it, so they go in reverse order.
    std::unique_ptr<juce::ZipFile> outerArchive;
    std::unique_ptr<juce::MemoryBlock> skinData;
    std::unique_ptr<juce::InputStream> skinStream;
    std::unique_ptr<juce::ZipFile> innerArchive;

    // The pictures of one skin, by name: many controls share one strip.
    std::map<juce::String, juce::Image> images;
    // What the package's pictures decoded so far have declared, in pixels.
    juce::int64 decodedPixels = 0;

    JUCE_DECLARE_NON_COPYABLE(SkinPackageLoader)
};
