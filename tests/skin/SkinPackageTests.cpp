#include "SkinTestSupport.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXKnob.h"
#include "skin/GFXSwitch.h"
#include <juce_cryptography/juce_cryptography.h>
#include <zlib.h>

namespace
{
const juce::String knobSkin = SkinTest::skinXml(
    R"(<Knob name="PackageKnob"><gfx resource="knob.png" framesNum="4"/><pos left="3" top="4"/></Knob>)");

juce::MemoryBlock makeInnerArchive(const juce::String& skinXml = knobSkin)
{
    return SkinTest::makeZip({ { "skin.xml", SkinTest::toBlock(skinXml) },
                               { "knob.png", SkinTest::makeStripPng(20, 80, 4) } });
}

juce::String digestOf(const juce::MemoryBlock& data)
{
    return juce::MD5(data).toHexString();
}
} // namespace

class SkinPackageTests : public SkinFixture
{
protected:
    // Writes "<file name>.orvskin" holding "<entry name>.md5" and "<entry name>.skin".
    void writePackage(const juce::String& skinName, const juce::MemoryBlock& inner, const juce::String& digest)
    {
        const auto data = SkinTest::makeZip({ { skinName + ".md5", SkinTest::toBlock(digest) },
                                              { skinName + ".skin", inner } });
        host.getSkinPackageFile(skinName).replaceWithData(data.getData(), data.getSize());
    }

    std::unique_ptr<juce::Component> load(const juce::String& skinName)
    {
        return SkinPackageLoader(host, skinName).loadSkin();
    }
};

TEST_F(SkinPackageTests, DigestDecidesWhetherAPackageOpens)
{
    const auto inner = makeInnerArchive();
    struct Row
    {
        const char* name;
        juce::String digest;
        bool opens;
    };
    const Row rows[] = {
        { "lower", digestOf(inner), true },
        { "upper", digestOf(inner).toUpperCase(), true },
        { "lineBreak", digestOf(inner) + "\n", false },
        { "spaces", " " + digestOf(inner), false },
        { "wrong", digestOf(SkinTest::toBlock("other")), false },
        { "empty", "", false },
    };
    for (const auto& row : rows)
    {
        writePackage(row.name, inner, row.digest);
        EXPECT_EQ(SkinPackageLoader::isValidPackage(host, row.name), row.opens) << row.name;
        auto panel = load(row.name);
        EXPECT_EQ(panel != nullptr, row.opens) << row.name;
        if (panel != nullptr)
        {
            // The package's own images are served while its skin is built.
            auto* knob = find<GFXKnob>(*panel, "PackageKnob");
            ASSERT_NE(knob, nullptr);
            EXPECT_EQ(knob->getFramesNum(), 4);
            EXPECT_EQ(knob->getBounds(), juce::Rectangle<int>(3, 4, 20, 20));
        }
    }
    EXPECT_FALSE(SkinPackageLoader::isValidPackage(host, ""));
    EXPECT_FALSE(SkinPackageLoader::isValidPackage(host, "notInstalled"));
}

TEST_F(SkinPackageTests, BrokenPackagesLoadNothing)
{
    const auto inner = makeInnerArchive();
    const auto digest = digestOf(inner);

    // Entries missing.
    auto onlyDigest = SkinTest::makeZip({ { "noSkin.md5", SkinTest::toBlock(digest) } });
    host.getSkinPackageFile("noSkin").replaceWithData(onlyDigest.getData(), onlyDigest.getSize());
    auto onlySkin = SkinTest::makeZip({ { "noDigest.skin", inner } });
    host.getSkinPackageFile("noDigest").replaceWithData(onlySkin.getData(), onlySkin.getSize());

    // An inner archive that matches its digest but is no zip, or has no skin.xml.
    const auto garbage = SkinTest::toBlock("this is not a zip archive");
    writePackage("garbage", garbage, digestOf(garbage));
    const auto noXml = SkinTest::makeZip({ { "knob.png", SkinTest::makeStripPng(4, 4, 1) } });
    writePackage("noXml", noXml, digestOf(noXml));

    // A package file cut short, and one whose compressed bytes are damaged.
    writePackage("damaged", inner, digest);
    juce::MemoryBlock damaged;
    host.getSkinPackageFile("damaged").loadFileAsData(damaged);
    auto cut = damaged;
    cut.setSize(damaged.getSize() / 2);
    host.getSkinPackageFile("cut").replaceWithData(cut.getData(), cut.getSize());
    for (size_t i = 60; i < damaged.getSize() / 2; i += 7)
        damaged[i] = (char) (damaged[i] ^ 0x5a);
    host.getSkinPackageFile("damaged").replaceWithData(damaged.getData(), damaged.getSize());
    host.getSkinPackageFile("notAZip").replaceWithText("hello");

    for (const char* name : { "noSkin", "noDigest", "garbage", "noXml", "cut", "damaged", "notAZip" })
        EXPECT_EQ(load(name), nullptr) << name;
    for (const char* name : { "noSkin", "noDigest", "cut", "damaged", "notAZip" })
    {
        EXPECT_FALSE(SkinPackageLoader::isValidPackage(host, name)) << name;
        EXPECT_FALSE(SkinPackageLoader(host, name).loadPackageImage("knob.png").isValid()) << name;
    }
    // An open package without "skin.xml" still serves its images.
    EXPECT_TRUE(SkinPackageLoader(host, "noXml").loadPackageImage("knob.png").isValid());
}

TEST_F(SkinPackageTests, ASkinNameWithADotKeepsItsWholeNameForTheEntries)
{
    const auto inner = makeInnerArchive();
    writePackage("Dark.Blue", inner, digestOf(inner));
    EXPECT_TRUE(host.skinsFolder.getChild("Dark.orvskin").existsAsFile());
    EXPECT_TRUE(SkinPackageLoader::isValidPackage(host, "Dark.Blue"));
    EXPECT_NE(load("Dark.Blue"), nullptr);
}

TEST_F(SkinPackageTests, SkinDocumentsThatAreNotThisProductsGiveNoPanel)
{
    const juce::String controls = R"(<Knob name="k"/>)";
    const juce::String documents[] = {
        R"(<PluginEditor application="Other"><Panel name="MainPanel"/></PluginEditor>)",
        R"(<SomethingElse application="Tavinor"><Panel name="MainPanel"/></SomethingElse>)",
        R"(<PluginEditor application="Tavinor"><Panel name="SidePanel"/></PluginEditor>)",
        R"(<PluginEditor application="Tavinor"><Panel name="MainPanel">)",
        "",
    };
    for (const auto& document : documents)
    {
        host.builtIn["skin.xml"] = SkinTest::toBlock(document);
        EXPECT_EQ(load({}), nullptr) << document;
    }
    host.builtIn.erase("skin.xml");
    EXPECT_EQ(load({}), nullptr);

    // Tag and product name in any case; the main panel's own name is replaced.
    host.builtIn["skin.xml"] = SkinTest::toBlock(
        R"(<plugineditor application="TAVINOR"><panel name="mainpanel"><size width="300" height="200"/></panel></plugineditor>)");
    auto panel = load({});
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->getName(), "MainEditorPanel");
    EXPECT_EQ(panel->getBounds(), juce::Rectangle<int>(0, 0, 300, 200));
}

TEST_F(SkinPackageTests, FactoryMakesControlsByTagInAnyCaseAndSkipsTheRest)
{
    auto panel = loadPanel(R"(
        <knob name="first"/>
        <MidiKeyboard name="keys"/>
        <NoSuchControl name="unknown"/>
        <ModulationMatrix name="matrix"/>
        text between controls
        <SWITCH name="second"/>)");
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->getNumChildComponents(), 4);
    EXPECT_NE(find<GFXKnob>(*panel, "first"), nullptr);
    EXPECT_NE(find<GFXSwitch>(*panel, "second"), nullptr);
    // Later controls lie in front of earlier ones.
    EXPECT_EQ(panel->getChildComponent(3)->getName(), "second");

    const char* tags[] = { "Knob", "Switch", "Animation", "Button", "ToggleButton", "MultiStateButton", "Display",
                           "DisplayFloat", "Rocker", "Panel", "NumericDisplay", "NoteDisplay",
                           "PatternNumberDisplay", "PitchBender", "ModWheel", "MidiChannelDisplay", "TextInput",
                           "MidiKeyboard", "ModulationMatrix" };
    SkinPackageLoader loader(host, {});
    for (const char* tag : tags)
    {
        auto control = GFXPanel::createControl(juce::String(tag).toLowerCase(), "n", loader);
        ASSERT_NE(control, nullptr) << tag;
        EXPECT_NE(dynamic_cast<GUIController*>(control.get()), nullptr) << tag;
        EXPECT_EQ(control->getName(), "n");
    }
}

TEST_F(SkinPackageTests, ControlsAreMovedByThePanelOffsets)
{
    auto panel = loadPanel(R"(
        <Knob name="a"><size width="20" height="20"/><pos left="0" top="0"/></Knob>
        <Knob name="b"><size width="20" height="20"/><pos left="50" top="20"/></Knob>
        <Panel name="inner"><size width="100" height="50"/><pos left="5" top="5"/>
            <controls ofsX="1" ofsY="1"><Knob name="c"><size width="8" height="8"/><pos left="2" top="3"/></Knob>
            </controls></Panel>)",
                           R"(<size width="200" height="100"/><pos left="7" top="9"/>)");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->getBounds(), juce::Rectangle<int>(7, 9, 200, 100));
    EXPECT_EQ(find<GFXKnob>(*panel, "a")->getPosition(), juce::Point<int>(0, 0));

    host.builtIn["skin.xml"] = SkinTest::toBlock(
        "<PluginEditor application=\"Tavinor\"><Panel name=\"MainPanel\"><controls ofsX=\"10\" ofsY=\"-5\">"
        R"(<Knob name="a"><size width="20" height="20"/><pos left="0" top="0"/></Knob>
           <Knob name="b"><size width="20" height="20"/><pos left="50" top="20"/></Knob>
           <Panel name="inner"><size width="100" height="50"/><pos left="5" top="5"/>
             <controls ofsX="1" ofsY="1"><Knob name="c"><size width="8" height="8"/><pos left="2" top="3"/></Knob>
             </controls></Panel>)"
        "</controls></Panel></PluginEditor>");
    auto moved = SkinPackageLoader(host, {}).loadSkin();
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(find<GFXKnob>(*moved, "a")->getPosition(), juce::Point<int>(10, -5));
    EXPECT_EQ(find<GFXKnob>(*moved, "b")->getPosition(), juce::Point<int>(60, 15));
    auto* inner = find<GFXPanel>(*moved, "inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->getPosition(), juce::Point<int>(15, 0));
    EXPECT_EQ(find<GFXKnob>(*inner, "c")->getPosition(), juce::Point<int>(3, 4));
}

TEST_F(SkinPackageTests, TransparentPanelsPaintNothing)
{
    host.builtIn["back.png"] = SkinTest::makeStripPng(10, 10, 1);
    auto panel = loadPanel(R"(<Panel name="clear"><gfx transparent="yes"/><size width="10" height="10"/></Panel>
                              <Panel name="pictured"><gfx resource="back.png"/></Panel>)",
                           R"(<size width="30" height="30"/>)");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(find<GFXPanel>(*panel, "clear")->isTransparent());
    EXPECT_FALSE(find<GFXPanel>(*panel, "pictured")->isTransparent());

    const auto clear = find<GFXPanel>(*panel, "clear")->createComponentSnapshot({ 0, 0, 10, 10 });
    EXPECT_EQ(clear.getPixelAt(5, 5).getAlpha(), 0);
}

TEST_F(SkinPackageTests, SkinsNestedTooDeeplyAreRefusedWhole)
{
    const auto nestedPanels = [](int depth) {
        juce::String nested;
        for (int i = 0; i < depth; ++i)
            nested = "<Panel name=\"p\"><controls>" + nested + "</controls></Panel>";
        return nested;
    };
    EXPECT_NE(loadPanel(nestedPanels(20)), nullptr);
    EXPECT_EQ(loadPanel(nestedPanels(5000)), nullptr);
}

namespace
{
// Sets a big-endian 16-bit or 32-bit field of a file.
void patch(juce::MemoryBlock& data, size_t offset, juce::uint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        data[offset + (size_t) i] = (char) ((value >> (8 * (bytes - 1 - i))) & 0xff);
}

// A PNG whose header declares the given size (with a matching checksum, so that
// only the size is wrong), followed by the original picture's data.
juce::MemoryBlock pngDeclaring(juce::MemoryBlock png, juce::uint32 width, juce::uint32 height)
{
    patch(png, 16, width, 4);
    patch(png, 20, height, 4);
    const auto crc = crc32(0, static_cast<const Bytef*>(png.getData()) + 12, 17);
    patch(png, 29, (juce::uint32) crc, 4);
    return png;
}

juce::MemoryBlock makeJpeg()
{
    juce::Image image(juce::Image::RGB, 16, 16, true);
    juce::MemoryOutputStream out;
    juce::JPEGImageFormat().writeImageToStream(image, out);
    return out.getMemoryBlock();
}

// A 1 x 1 GIF, and one whose code size makes JUCE's reader overrun its tables.
juce::MemoryBlock makeGif(unsigned char codeSize = 2)
{
    const unsigned char bytes[] = { 'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xff, 0xff, 0xff, 0, 0, 0,
                                    ',', 0, 0, 0, 0, 1, 0, 1, 0, 0x40, codeSize, 2, 0x44, 1, 0, ';' };
    return juce::MemoryBlock(bytes, sizeof(bytes));
}
} // namespace

TEST_F(SkinPackageTests, DamagedPicturesGiveNullImagesWithoutHarm)
{
    // A picture with colours that premultiplying changes, as JUCE reads it.
    juce::Image original(juce::Image::ARGB, 6, 4, true);
    original.setPixelAt(1, 1, juce::Colour(0x80ff4020));
    original.setPixelAt(5, 3, juce::Colour(0xff10e0a0));
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream(original, out);
    const auto png = out.getMemoryBlock();

    auto badChecksum = png;
    badChecksum[30] = (char) (badChecksum[30] ^ 1);
    auto badData = png;
    badData[(size_t) png.getSize() - 20] = (char) (badData[(size_t) png.getSize() - 20] ^ 0x55);
    auto cut = png;
    cut.setSize(png.getSize() - 30);

    const std::pair<const char*, juce::MemoryBlock> pictures[] = {
        { "bad checksum", badChecksum },
        { "bad data", badData },
        { "cut short", cut },
        { "too large", pngDeclaring(png, 10000, 10000) },
        { "a JPEG", makeJpeg() },
        { "a GIF", makeGif() },
        { "a broken GIF", makeGif(208) },
        { "text", SkinTest::toBlock("PNG, or so it says") },
    };
    for (const auto& [name, data] : pictures)
    {
        host.builtIn["picture"] = data;
        EXPECT_FALSE(SkinPackageLoader(host, {}).getImage("picture").isValid()) << name;
    }

    host.builtIn["picture"] = png;
    const auto image = SkinPackageLoader(host, {}).getImage("picture");
    ASSERT_TRUE(image.isValid());
    const auto expected = juce::ImageFileFormat::loadFrom(png.getData(), png.getSize());
    for (const auto& at : { juce::Point<int>(1, 1), juce::Point<int>(5, 3), juce::Point<int>(0, 0) })
        EXPECT_EQ(image.getPixelAt(at.x, at.y).getARGB(), expected.getPixelAt(at.x, at.y).getARGB()) << at.toString();
}

TEST_F(SkinPackageTests, ASkinReadsEachPictureOnceAndAPackageDecodesNoMoreThanItsShare)
{
    host.builtIn["strip.png"] = SkinTest::makeStripPng(10, 40, 4);
    juce::String knobs;
    for (int i = 0; i < 5; ++i)
        knobs << "<Knob name=\"k" << i << "\"><gfx resource=\"strip.png\" framesNum=\"4\"/></Knob>";
    auto panel = loadPanel(knobs);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(host.reads["strip.png"], 1);
    EXPECT_TRUE(find<GFXKnob>(*panel, "k4")->hasImageStrip());

    // Two pictures whose headers declare the largest size allowed (their data
    // is far too short) use up a package's share; the next picture is refused.
    const auto largest = pngDeclaring(SkinTest::makeStripPng(16, 16, 1), 8192, 8192);
    const juce::String large = R"(<Animation name="a"><gfx resource="large1.png"/></Animation>
                                  <Animation name="b"><gfx resource="large2.png"/></Animation>)";
    const juce::String small = R"(<Animation name="c"><gfx resource="strip.png" framesNum="4"/></Animation>)";
    for (const auto& [skinName, controls] : { std::pair<const char*, juce::String> { "Greedy", large + small },
                                              std::pair<const char*, juce::String> { "Modest", small } })
    {
        const auto inner = SkinTest::makeZip({ { "skin.xml", SkinTest::toBlock(SkinTest::skinXml(controls)) },
                                               { "large1.png", largest },
                                               { "large2.png", largest },
                                               { "strip.png", SkinTest::makeStripPng(10, 40, 4) } });
        writePackage(skinName, inner, digestOf(inner));
    }
    panel.reset(dynamic_cast<GFXPanel*>(load("Greedy").release()));
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(find<GFXAnimation>(*panel, "c")->hasImageStrip());
    panel.reset(dynamic_cast<GFXPanel*>(load("Modest").release()));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(find<GFXAnimation>(*panel, "c")->hasImageStrip());
}
