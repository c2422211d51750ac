// What one writer's settings write keeps of what other writers put into the
// file since it read it, and the lock that keeps two writers apart.

#include "core/SettingsFileLock.h"
#include "core/SettingsMerge.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
std::unique_ptr<juce::XmlElement> xml(const char* text)
{
    return text == nullptr ? nullptr : juce::parseXML(juce::String(text));
}

juce::String text(const juce::XmlElement& e)
{
    return e.toString(juce::XmlElement::TextFormat().singleLine().withoutHeader());
}
} // namespace

TEST(SettingsMerge, KeepsOtherWritersSettingsAndAppliesOnlyThisWritersChanges)
{
    struct Case
    {
        const char* what;
        const char* base; // what this writer read (null: nothing)
        const char* mine; // what this writer would write now
        const char* theirs; // the file as it is now
        const char* expected;
    };
    const Case cases[] = {
        { "another writer's record, untouched here, stays",
          R"(<S><Presets><Author name="a"/></Presets></S>)", R"(<S><Presets><Author name="a"/></Presets></S>)",
          R"(<S><Presets><Author name="a"/><Installed version="1.1"/></Presets></S>)",
          R"(<S><Presets><Author name="a"/><Installed version="1.1"/></Presets></S>)" },
        { "an older record this writer still holds does not go back",
          R"(<S><Presets><Installed version="1.0"/></Presets></S>)",
          R"(<S><Presets><Installed version="1.0"/></Presets></S>)",
          R"(<S><Presets><Installed version="1.1"/></Presets></S>)",
          R"(<S><Presets><Installed version="1.1"/></Presets></S>)" },
        { "this writer's change goes in beside the other's",
          R"(<S><Presets><Author name="a"/></Presets></S>)", R"(<S><Presets><Author name="b"/></Presets></S>)",
          R"(<S><Presets><Author name="a"/><Installed version="1.1"/></Presets></S>)",
          R"(<S><Presets><Author name="b"/><Installed version="1.1"/></Presets></S>)" },
        { "two writers' attributes of one element",
          R"(<S><E a="1" b="1"/></S>)", R"(<S><E a="2" b="1"/></S>)", R"(<S><E a="1" b="3"/></S>)",
          R"(<S><E a="2" b="3"/></S>)" },
        { "entries of a preset matched by name",
          R"(<S><Preset name="Q"><param name="p" value="1"/><param name="q" value="1"/></Preset></S>)",
          R"(<S><Preset name="Q"><param name="p" value="2"/><param name="q" value="1"/></Preset></S>)",
          R"(<S><Preset name="Q"><param name="q" value="3"/><param name="p" value="1"/></Preset></S>)",
          R"(<S><Preset name="Q"><param name="q" value="3"/><param name="p" value="2"/></Preset></S>)" },
        { "an element this writer added goes at the end",
          R"(<S><A/></S>)", R"(<S><A/><Presets><Installed version="1.1"/></Presets></S>)", R"(<S><A/><B x="1"/></S>)",
          R"(<S><A/><B x="1"/><Presets><Installed version="1.1"/></Presets></S>)" },
        { "an element this writer dropped goes",
          R"(<S><A/><Old/></S>)", R"(<S><A/></S>)", R"(<S><A/><Old/><B/></S>)", R"(<S><A/><B/></S>)" },
        { "an attribute this writer dropped goes",
          R"(<S><M default="no" file="/x"/></S>)", R"(<S><M default="no"/></S>)",
          R"(<S><M default="no" file="/x"/></S>)", R"(<S><M default="no"/></S>)" },
        { "what another writer removed and this one left alone stays removed",
          R"(<S><A/><Editor><Skin name="Large"/></Editor></S>)", R"(<S><A/><Editor><Skin name="Large"/></Editor></S>)",
          R"(<S><A/></S>)", R"(<S><A/></S>)" },
        { "with nothing read, everything of this writer goes in and the file's others stay",
          nullptr, R"(<S application="T"><A v="1"/></S>)", R"(<S application="T"><A v="0"/><B/></S>)",
          R"(<S application="T"><A v="1"/><B/></S>)" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto base = xml(c.base);
        const auto mine = xml(c.mine);
        auto theirs = xml(c.theirs);
        const auto expected = xml(c.expected);
        ASSERT_TRUE(mine != nullptr && theirs != nullptr && expected != nullptr);
        SettingsMerge::apply(base.get(), *mine, *theirs);
        EXPECT_EQ(text(*theirs), text(*expected));
        EXPECT_TRUE(SettingsMerge::same(*theirs, *expected));
    }
}

TEST(SettingsMerge, DropsFromTheTopWhatTheWriterDoesNotKnow)
{
    const struct
    {
        const char* what;
        const char* known;
        const char* tree;
        const char* expected;
    } cases[] = {
        { "unknown elements go whole, known ones stay whole, records of others inside them too",
          R"(<S a="1"><Presets><Author name="a"/></Presets><M/></S>)",
          R"(<S a="1" z="2"><Presets><Author name="b"/><Installed version="1.1"/><X/></Presets><Junk><i/><i/></Junk><M f="/m"/>text</S>)",
          R"(<S a="1"><Presets><Author name="b"/><Installed version="1.1"/><X/></Presets><M f="/m"/></S>)" },
        { "repeated elements by their names and places",
          R"(<S><Preset name="A"/><Preset name="B"/><E/></S>)",
          R"(<S><Preset name="B" x="1"/><Preset name="C"/><E/><E/></S>)", R"(<S><Preset name="B" x="1"/><E/></S>)" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto known = xml(c.known);
        auto tree = xml(c.tree);
        ASSERT_TRUE(known != nullptr && tree != nullptr);
        SettingsMerge::dropUnknown(*known, *tree);
        EXPECT_EQ(text(*tree), c.expected);
    }
}

TEST(SettingsFileLock, OneWriterAtATimeInOneProcessAndTheFileBesideIt)
{
    const TestHelpers::TempFolder folder;
    const auto settings = folder.getChild("sub").getChildFile("Tavinor.ini");
    {
        const SettingsFileLock first(settings, 1000);
        ASSERT_TRUE(first.isHeld());
        EXPECT_TRUE(settings.getSiblingFile("Tavinor.ini.lock").existsAsFile());
        // Another instance of the same process waits, and gives up after its time.
        const SettingsFileLock second(settings, 50);
        EXPECT_FALSE(second.isHeld());
    }
    const SettingsFileLock afterwards(settings, 50);
    EXPECT_TRUE(afterwards.isHeld());
}
