#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <string>

namespace
{
using Kind = XmlInput::Kind;
using Verdict = XmlInput::Verdict;

const std::string kPreset = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"
                            "<Preset name=\"Warm\" author=\"Ann &amp; Bo\">\r\n"
                            "  <param name=\"Mix\" value=\"50\"/>\r\n"
                            "  <param name=\"Time\" value=\"1&#10;2\"/>\r\n"
                            "  <ExtraData><X a='&quot;'><![CDATA[<not a tag>]]><!-- <b> --></X></ExtraData>\r\n"
                            "</Preset>\r\n";

Verdict verdictOf(const std::string& text, Kind kind = Kind::preset)
{
    Verdict v = Verdict::accepted;
    XmlInput::parse(text.data(), text.size(), kind, &v);
    return v;
}

std::string nested(int depth)
{
    std::string s = "<Preset><param name=\"Mix\" value=\"1\"/>";
    for (int i = 1; i < depth; ++i)
        s += "<a>";
    for (int i = 1; i < depth; ++i)
        s += "</a>";
    return s + "</Preset>";
}

juce::MemoryBlock envelope(const std::string& text, juce::uint32 statedLength)
{
    juce::MemoryOutputStream out;
    out.writeInt(0x21324356);
    out.writeInt((int) statedLength);
    out.write(text.data(), text.size());
    out.writeByte(0);
    return out.getMemoryBlock();
}
} // namespace

TEST(XmlInput, AcceptsWhatWeWriteAndRefusesEachDamage)
{
    ASSERT_EQ(verdictOf(kPreset), Verdict::accepted);
    auto root = XmlInput::parse(kPreset.data(), kPreset.size(), Kind::preset);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getStringAttribute("author"), "Ann & Bo");
    EXPECT_EQ(root->getChildElement(1)->getStringAttribute("value"), "1\n2");

    struct Case
    {
        std::string text;
        Verdict expected;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const Case cases[] = {
        { bom + kPreset, Verdict::accepted },
        { kPreset + std::string(3, '\0'), Verdict::accepted }, // NULs that end the text
        { "<Preset><param/></Preset>trailing text the parser never reads", Verdict::accepted },
        { std::string("<Preset name=\"x\0y\"><param/></Preset>", 36), Verdict::containsNul },
        { "<Preset name=\"\xC0x\"><param/></Preset>", Verdict::notUtf8 },       // Latin-1 A-grave
        { "<Preset name=\"\x80 5\"><param/></Preset>", Verdict::notUtf8 },      // cp1252 euro sign
        { "<Preset name=\"\xE2\x82\"><param/></Preset>", Verdict::notUtf8 },    // cut-off sequence
        { "<Preset><param/></Preset>\xF0\x9F\x8E", Verdict::notUtf8 },          // cut off at the very end
        { "<Preset name=\"\xC1\xBF\"><param/></Preset>", Verdict::notUtf8 },    // overlong
        { "<Preset name=\"\xED\xA0\x80\"><param/></Preset>", Verdict::notUtf8 }, // surrogate
        { "<Preset name=\"\xF4\x90\x80\x80\"><param/></Preset>", Verdict::notUtf8 }, // above U+10FFFF
        { "<Preset name=\"\xE2\x82\xAC \xF0\x9F\x8E\xB5\"><param/></Preset>", Verdict::accepted },
        { "<Preset name=\"a\"", Verdict::malformed },
        { "<Preset name=\"a\"><param/>", Verdict::malformed },
        { "<Preset><param/></Preset", Verdict::malformed }, // cut off in the last tag
        { "<Preset><param/><!-- open", Verdict::malformed },
        { "<Preset><![CDATA[ open</Preset>", Verdict::malformed },
        { "<!DOCTYPE p [<!ENTITY e \"<a>\">]><Preset><param/>&e;</Preset>", Verdict::malformed },
        { "<Preset name=\"&#0;\"><param/></Preset>", Verdict::malformed },
        { "<Preset name=\"&#xD800;\"><param/></Preset>", Verdict::malformed },
        { "<Preset name=\"&#x110000;\"><param/></Preset>", Verdict::malformed },
        { "<Preset name=\"&#12345678901234;\"><param/></Preset>", Verdict::malformed },
        { "<Preset name=\"&#x1F3B5;&#233;&lt;\"><param/></Preset>", Verdict::accepted },
        { "<Preset name=\"a & b\"><param/></Preset>", Verdict::malformed },
        { "<Preset>&amp<param/></Preset>", Verdict::malformed },
        { "text<Preset><param/></Preset>", Verdict::malformed },
        { "<Preset <param/></Preset>", Verdict::malformed },
        { "", Verdict::malformed },
        { "   ", Verdict::malformed },
        { "<Preset name=\"x\"/>", Verdict::wrongRoot },        // a preset without entries
        { "<Preset><other/></Preset>", Verdict::wrongRoot },
        { "<Settings><param/></Settings>", Verdict::wrongRoot },
        { nested(XmlInput::kMaxDepth), Verdict::accepted },
        { nested(XmlInput::kMaxDepth + 1), Verdict::tooDeep },
        { nested(50000), Verdict::tooDeep },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text.substr(0, 80));
        Verdict v = Verdict::accepted;
        const auto parsed = XmlInput::parse(c.text.data(), c.text.size(), Kind::preset, &v);
        EXPECT_EQ((int) v, (int) c.expected);
        EXPECT_EQ(parsed != nullptr, c.expected == Verdict::accepted);
    }
}

TEST(XmlInput, EveryCutOffDocumentIsRefused)
{
    // Whatever byte a transfer or a full disk stops at, the rest of the
    // document is not made up.
    for (size_t length = 0; length < kPreset.size() - 2; ++length)
    {
        SCOPED_TRACE(length);
        EXPECT_EQ(XmlInput::parse(kPreset.data(), length, Kind::preset), nullptr);
    }
}

TEST(XmlInput, SizeAndElementCountLimits)
{
    for (auto kind : { Kind::pluginState, Kind::preset, Kind::userSettings, Kind::midiControlMap })
    {
        const auto limit = XmlInput::getMaxBytes(kind);
        EXPECT_GE(limit, 1024u * 1024u);
        std::string big = "<Preset><param value=\"" + std::string(limit, 'x') + "\"/></Preset>";
        EXPECT_EQ((int) XmlInput::checkBeforeParsing(big.data(), big.size(), kind), (int) Verdict::tooLarge);
    }

    std::string wide = "<PluginState>";
    for (int i = 0; i <= XmlInput::kMaxElements; ++i)
        wide += "<a/>";
    wide += "</PluginState>";
    EXPECT_EQ((int) XmlInput::checkBeforeParsing(wide.data(), wide.size(), Kind::pluginState),
              (int) Verdict::tooManyElements);
}

TEST(XmlInput, ChunkEnvelopeIsTrustedNoFurtherThanTheBlock)
{
    juce::XmlElement state("PluginState");
    state.setAttribute("application", "Tavinor");
    state.createNewChildElement("Preset")->setAttribute("name", juce::String::fromUTF8("Caf\xc3\xa9 \xe2\x82\xac"));
    juce::MemoryBlock written;
    juce::AudioProcessor::copyXmlToBinary(state, written);

    auto back = XmlInput::readChunk(written.getData(), (int) written.getSize(), Kind::pluginState);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isEquivalentTo(&state, false));

    const std::string text = "<PluginState application=\"Tavinor\"/>";
    struct Case
    {
        juce::MemoryBlock block;
        bool accepted;
    };
    auto wrongMagic = envelope(text, (juce::uint32) text.size());
    static_cast<char*>(wrongMagic.getData())[0] = 'X';
    const Case cases[] = {
        { envelope(text, (juce::uint32) text.size()), true },
        { envelope(text, 0xFFFFFFFFu), true },                      // longer than the block: the block ends it
        { envelope(text, (juce::uint32) text.size() - 3), false },  // shorter: a cut-off document
        { envelope(text, 0), false },
        { std::move(wrongMagic), false },
        { juce::MemoryBlock(8, true), false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(XmlInput::readChunk(c.block.getData(), (int) c.block.getSize(), Kind::pluginState) != nullptr,
                  c.accepted);
    EXPECT_EQ(XmlInput::readChunk(nullptr, 100, Kind::pluginState), nullptr);
}

TEST(XmlInput, WhatWeWriteWeReadBack)
{
    // Texts that come from users or hosts: control characters, quotes, markup,
    // characters outside the basic plane.
    juce::XmlElement preset("Preset");
    const juce::String odd = juce::String::fromUTF8("\x01\t\"<&>' \xf0\x9f\x8e\xb5 \xe2\x80\xa8 ]]> -->");
    preset.setAttribute("name", odd);
    auto* param = preset.createNewChildElement("param");
    param->setAttribute("name", "Mix");
    param->setAttribute("value", odd);

    TestHelpers::TempFolder folder;
    const auto file = folder.getChild("odd.tnprst");
    ASSERT_TRUE(writeXmlFile(preset, file));
    const auto back = XmlInput::readFile(file, Kind::preset);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->getStringAttribute("name"), odd);
    EXPECT_EQ(back->getChildElement(0)->getStringAttribute("value"), odd);
}
