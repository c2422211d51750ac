#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/BoolParameter.h"
#include "core/FilePreset.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/KeyValueListMap.h"
#include "core/ParameterManager.h"
#include "core/Preset.h"

namespace
{
struct PresetFixture : public ::testing::Test
{
    PresetFixture()
    {
        manager.addParameter(std::make_unique<FloatParameter>(1, "Time", 0.0f, 2000.0f, 250.0f));
        manager.addParameter(std::make_unique<IntParameter>(2, "Mix", 0, 100, 50));
        manager.addParameter(std::make_unique<BoolParameter>(3, "Sync", "true"));
    }

    juce::File write(const juce::String& fileName, const juce::String& text) const
    {
        auto f = folder.getChild(fileName);
        f.replaceWithText(text);
        return f;
    }

    ParameterManager manager;
    TestHelpers::TempFolder folder;
};

std::vector<std::pair<int, juce::String>> entriesOf(const Preset& p)
{
    std::vector<std::pair<int, juce::String>> result;
    for (int i = 0; i < p.getNumEntries(); ++i)
        result.emplace_back(p.getEntry(i)->id, p.getEntry(i)->text);
    return result;
}

const juce::String kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";

// JUCE writes XML with CR LF line ends; the expected texts are kept readable with LF.
juce::String crlf(const juce::String& text)
{
    return text.replace("\n", "\r\n");
}
} // namespace

TEST(KeyValueListMapTest, ReadsTextForm)
{
    struct Case
    {
        const char* text;
        std::vector<std::pair<const char*, std::vector<const char*>>> expected;
    };
    const Case cases[] = {
        { "", {} },
        { "Genre:Ambient|Dub;Type:Pad", { { "Genre", { "Ambient", "Dub" } }, { "Type", { "Pad" } } } },
        { ";", { { "", {} }, { "", {} } } },
        { "a:", { { "a", {} } } },
        { "a:b:c", { { "a", { "b:c" } } } },
        { "loose|words", { { "", { "loose", "words" } } } },
        { "a:1||2", { { "a", { "1", "", "2" } } } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const auto map = KeyValueListMap::fromText(c.text);
        ASSERT_EQ(map.getNumKeys(), (int) c.expected.size());
        for (int i = 0; i < map.getNumKeys(); ++i)
        {
            EXPECT_EQ(map.getKey(i), c.expected[i].first);
            juce::StringArray values;
            for (auto* v : c.expected[i].second)
                values.add(v);
            EXPECT_EQ(*map.getValues(i), values);
        }
    }
}

TEST(KeyValueListMapTest, WritesTextFormAndRefusesSeparators)
{
    KeyValueListMap map;
    EXPECT_TRUE(map.add("a", { "1", "2" }));
    EXPECT_TRUE(map.add("b", {}));
    EXPECT_EQ(map.toText(), "a:1|2;b:");
    EXPECT_EQ(KeyValueListMap::fromText(map.toText()), map);

    // What the text form cannot carry is refused and leaves the map as it was.
    EXPECT_FALSE(map.add("c;d", { "x" }));
    EXPECT_FALSE(map.add("c:d", { "x" }));
    EXPECT_FALSE(map.add("c", { "x|y" }));
    EXPECT_FALSE(map.add("c", { "x;y" }));
    EXPECT_FALSE(map.set("a", { "x;y" }));
    EXPECT_EQ(map.toText(), "a:1|2;b:");

    EXPECT_TRUE(map.add("c", { "x:y" }));
    EXPECT_TRUE(map.set("a", { "3" }));
    EXPECT_TRUE(map.remove("b"));
    EXPECT_EQ(map.toText(), "a:3;c:x:y");
}

TEST_F(PresetFixture, FileRoundTripKeepsExactText)
{
    Preset preset("Warm Pad", "owner-1");
    preset.setApplication("Tavinor");
    preset.setCategory("Pads");
    preset.setVersion("1.1.2");
    preset.setAuthor("Ann");
    preset.setRating(4);
    ASSERT_TRUE(preset.getTags().add("Genre", { "Ambient", "Dub" }));
    ASSERT_TRUE(preset.getTags().add("Type", { "Pad" }));
    preset.addParameter(manager.getParameter(2));
    preset.addParameter(99, "dropped"); // no such parameter
    preset.addParameter(manager.getParameter(1));
    preset.addParameter(3, "false");
    auto extra = std::make_unique<juce::XmlElement>("Lines");
    extra->setAttribute("selected", 2);
    preset.setExtraData(std::move(extra));

    const auto file = folder.getChild("Warm Pad.tnprst");
    ASSERT_TRUE(preset.saveToFile(file, &manager));

    const juce::String expectedText = kXmlHeader
        + "<Preset name=\"Warm Pad\" application=\"Tavinor\" category=\"Pads\" version=\"1.1.2\"\n"
          "        author=\"Ann\" id=\"owner-1\" rating=\"4\" tags=\"Genre:Ambient|Dub;Type:Pad\">\n"
          "  <param name=\"Mix\" value=\"50\"/>\n"
          "  <param name=\"Time\" value=\"250\"/>\n"
          "  <param name=\"Sync\" value=\"false\"/>\n"
          "  <ExtraData>\n"
          "    <Lines selected=\"2\"/>\n"
          "  </ExtraData>\n"
          "</Preset>\n";
    const auto expected = crlf(expectedText);
    EXPECT_EQ(TestHelpers::readFile(file), expected);

    Preset loaded;
    ASSERT_TRUE(loaded.loadFromFile(file, &manager, false));
    EXPECT_EQ(loaded.getName(), "Warm Pad");
    EXPECT_EQ(loaded.getApplication(), "Tavinor");
    EXPECT_EQ(loaded.getCategory(), "Pads");
    EXPECT_EQ(loaded.getVersion(), "1.1.2");
    EXPECT_EQ(loaded.getAuthor(), "Ann");
    EXPECT_EQ(loaded.getId(), "owner-1");
    EXPECT_EQ(loaded.getRating(), 4);
    EXPECT_TRUE(loaded.isRatingSet());
    EXPECT_EQ(loaded.getTags(), preset.getTags());
    ASSERT_NE(loaded.getExtraData(), nullptr);
    EXPECT_EQ(loaded.getExtraData()->getIntAttribute("selected"), 2);
    const std::vector<std::pair<int, juce::String>> expectedEntries = { { 2, "50" }, { 1, "250" }, { 3, "false" } };
    EXPECT_EQ(entriesOf(loaded), expectedEntries);

    const auto again = folder.getChild("again.tnprst");
    ASSERT_TRUE(loaded.saveToFile(again, &manager));
    EXPECT_EQ(TestHelpers::readFile(again), expected);
}

TEST_F(PresetFixture, EmptyHeaderFieldsAreOmitted)
{
    Preset preset("Plain", "");
    preset.setApplication("Tavinor");
    preset.setAuthor("Ann");
    preset.setRating(0);
    preset.setRating(6);
    EXPECT_FALSE(preset.isRatingSet());
    EXPECT_EQ(preset.getRating(), 3);
    preset.addParameter(manager.getParameter(2));

    auto xml = preset.createXml(&manager);
    EXPECT_EQ(xml->toString(juce::XmlElement::TextFormat().withoutHeader().singleLine()),
              "<Preset name=\"Plain\" application=\"Tavinor\" author=\"Ann\"><param name=\"Mix\" value=\"50\"/></Preset>");
}

TEST_F(PresetFixture, ReadingRulesForRatingParamsAndExtraData)
{
    const auto file = write("odd.tnprst",
                            "<preset name=\"Odd\" rating=\"7\">"
                            "<param name=\"Mix\" value=\"10\"/><param name=\"Gone\" value=\"1\"/>"
                            "<param name=\"Mix\" value=\"20\"/><extradata/></preset>");
    Preset p;
    ASSERT_TRUE(p.loadFromFile(file, &manager, false));
    EXPECT_EQ(p.getRating(), 3);
    EXPECT_FALSE(p.isRatingSet());
    EXPECT_EQ(p.getExtraData(), nullptr);
    const std::vector<std::pair<int, juce::String>> expected = { { 2, "10" }, { 2, "20" } };
    EXPECT_EQ(entriesOf(p), expected);
    EXPECT_FALSE(p.createXml(&manager)->hasAttribute("rating"));

    Preset header;
    ASSERT_TRUE(header.loadFromFile(file, &manager, true));
    EXPECT_EQ(header.getName(), "Odd");
    EXPECT_EQ(header.getNumEntries(), 0);
}

TEST_F(PresetFixture, ReloadingForgetsTheOldRatingAndExtraData)
{
    Preset p;
    ASSERT_TRUE(p.loadFromFile(write("a.tnprst", "<Preset rating=\"5\" tags=\"a:1\"><param name=\"Mix\" value=\"1\"/>"
                                                 "<ExtraData><X/></ExtraData></Preset>"),
                               &manager, false));
    ASSERT_TRUE(p.isRatingSet());
    ASSERT_NE(p.getExtraData(), nullptr);

    ASSERT_TRUE(p.loadFromFile(write("b.tnprst", "<Preset name=\"B\"><param name=\"Mix\" value=\"2\"/></Preset>"),
                               &manager, false));
    EXPECT_FALSE(p.isRatingSet());
    EXPECT_EQ(p.getRating(), 3);
    EXPECT_EQ(p.getExtraData(), nullptr);
    EXPECT_EQ(p.getTags().getNumKeys(), 0);
}

TEST_F(PresetFixture, ForeignOrBrokenFilesAreRefusedAndLeftUntouched)
{
    // Nothing of a damaged file is trusted, not even its header: a file cut off
    // or damaged inside the root tag parses as a root without entries.
    const juce::String cases[] = {
        "<Other name=\"x\"><param name=\"Mix\" value=\"1\"/></Other>",
        "<Preset name=\"broken\"><param name=\"Mix\"",
        "<Preset name=\"broken\"><param name=\"Mix\" value=\"1\"/>",
        "<Preset name=\"cut\" author=\"A",
        "<Preset name=\"empty\" author=\"A\"/>",
        "not xml at all",
        "",
    };
    int n = 0;
    for (const auto& text : cases)
    {
        SCOPED_TRACE(text);
        const auto file = write("bad" + juce::String(n++) + ".tnprst", text);

        Preset p("Keep", "me");
        p.addParameter(1, "5");
        p.setRating(2);
        EXPECT_FALSE(p.loadFromFile(file, &manager, false));
        EXPECT_EQ(p.getName(), "Keep");
        EXPECT_EQ(p.getNumEntries(), 1);
        EXPECT_EQ(p.getRating(), 2);
        Preset header;
        EXPECT_FALSE(header.loadFromFile(file, &manager, true));

        p.setAuthor("Someone");
        EXPECT_FALSE(p.rewriteHeaderInFile(file, Preset::authorField | Preset::idField));

        FilePreset fp(file);
        EXPECT_FALSE(fp.load(&manager));
        EXPECT_EQ(TestHelpers::readFile(file), text);
    }

    Preset p;
    EXPECT_FALSE(p.loadFromFile(folder.getChild("missing.tnprst"), &manager, false));
    EXPECT_FALSE(p.rewriteHeaderInFile(folder.getChild("missing.tnprst"), Preset::authorField));
    EXPECT_FALSE(folder.getChild("missing.tnprst").exists());
}

TEST_F(PresetFixture, RewriteHeaderChangesOnlyAuthorAndId)
{
    const auto file = write("r.tnprst",
                            kXmlHeader
                                + "<Preset name=\"R\" author=\"Ann\" rating=\"2\">\n"
                                  "  <param name=\"Mix\" value=\"7\"/>\n"
                                  "  <ExtraData>\n"
                                  "    <X a=\"1\"/>\n"
                                  "  </ExtraData>\n"
                                  "</Preset>\n");
    Preset header;
    header.setAuthor("");
    header.setId("owner-2");

    ASSERT_TRUE(header.rewriteHeaderInFile(file, Preset::authorField));
    EXPECT_EQ(TestHelpers::readFile(file), crlf(kXmlHeader
                                                    + "<Preset name=\"R\" rating=\"2\">\n"
                                                      "  <param name=\"Mix\" value=\"7\"/>\n"
                                                      "  <ExtraData>\n"
                                                      "    <X a=\"1\"/>\n"
                                                      "  </ExtraData>\n"
                                                      "</Preset>\n"));

    header.setAuthor("Bob");
    ASSERT_TRUE(header.rewriteHeaderInFile(file, Preset::idField));
    ASSERT_TRUE(header.rewriteHeaderInFile(file, Preset::authorField));
    EXPECT_EQ(TestHelpers::readFile(file), crlf(kXmlHeader
                                                    + "<Preset name=\"R\" rating=\"2\" id=\"owner-2\" author=\"Bob\">\n"
                                                      "  <param name=\"Mix\" value=\"7\"/>\n"
                                                      "  <ExtraData>\n"
                                                      "    <X a=\"1\"/>\n"
                                                      "  </ExtraData>\n"
                                                      "</Preset>\n"));
}

TEST_F(PresetFixture, FilePresetIsNamedAfterItsFile)
{
    const auto pads = folder.getChild("Pads");
    ASSERT_TRUE(pads.createDirectory());
    const auto file = pads.getChildFile("Warm Pad.tnprst");
    file.replaceWithText("<Preset name=\"Something else\"><param name=\"Mix\" value=\"9\"/></Preset>");

    FilePreset fp(file);
    EXPECT_EQ(fp.getName(), "Warm Pad");
    ASSERT_TRUE(fp.load(&manager));
    EXPECT_EQ(fp.getName(), "Warm Pad");
    EXPECT_EQ(fp.getNumEntries(), 1);

    const auto other = pads.getChildFile("Cold Pad.tnprst");
    ASSERT_TRUE(fp.saveToFile(other, &manager));
    EXPECT_EQ(fp.getName(), "Cold Pad");
    EXPECT_EQ(fp.getFile(), other);
    EXPECT_FALSE(TestHelpers::readFile(other).contains("name=\"Something"));
    EXPECT_FALSE(TestHelpers::readFile(other).contains("<Preset name="));
}

TEST_F(PresetFixture, EntryOperations)
{
    Preset p;
    p.addParameter(3, "a");
    p.addEntry(nullptr);
    p.addParameter(nullptr);
    p.addEntryCopy({ 1, "b" });
    p.addParameter(3, "c");
    p.addEntry(new IdTextPair(2, "d"));
    EXPECT_EQ(p.getEntry(4), nullptr);

    Preset defaults;
    defaults.addParameter(1, "x");
    defaults.addParameter(5, "y");
    defaults.addParameter(4, "z");
    defaults.addParameter(5, "w");
    p.addMissingEntries(defaults);

    p.sortEntries();
    const std::vector<std::pair<int, juce::String>> expected = {
        { 1, "b" }, { 2, "d" }, { 3, "a" }, { 3, "c" }, { 4, "z" }, { 5, "y" }, { 5, "w" }
    };
    EXPECT_EQ(entriesOf(p), expected);
    EXPECT_TRUE(p.containsId(4));

    p.setName("kept");
    p.clear();
    EXPECT_EQ(p.getNumEntries(), 0);
    EXPECT_FALSE(p.containsId(1));
    EXPECT_EQ(p.getName(), "kept");
}
