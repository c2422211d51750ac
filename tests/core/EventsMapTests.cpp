#include <gtest/gtest.h>

#include "core/EventsMap.h"

namespace
{
void read(EventsMap& map, const char* xml)
{
    const auto root = juce::parseXML(juce::String(xml));
    ASSERT_NE(root, nullptr);
    map.readFromXml(*root);
}
} // namespace

TEST(EventsMap, ReadsEventsAndRefusesRepeats)
{
    EventsMap map;
    read(map, R"(<eventsmap>
        <event name="Tap" uid="5"/>
        <EVENT name="Line 1" uid="6"/>
        <event name="Tap" uid="7"/>
        <event name="Other tap" uid="5"/>
        <event name="No uid"/>
        <event name="Second no uid"/>
        <something name="Ignored" uid="8"/>
        <event name="Overlong" uid="4294967301"/>
    </eventsmap>)");

    const std::pair<const char*, int> cases[] = {
        { "Tap", 5 },          { "Line 1", 6 },  { "No uid", 0 }, { "Other tap", -1 },
        { "Second no uid", -1 }, { "Ignored", -1 }, { "tap", -1 },
        { "Overlong", 2147483647 },
    };
    for (const auto& [name, uid] : cases)
        EXPECT_EQ(map.getUid(name), uid) << name;
    EXPECT_EQ(map.getName(7), "");
    EXPECT_EQ(map.getName(8), "");
    EXPECT_EQ(map.getName(6), "Line 1");

    read(map, R"(<Events><event name="Tap" uid="5"/></Events>)");
    EXPECT_EQ(map.getUid("Tap"), -1) << "a wrong root empties the map";
}

TEST(EventsMap, BuiltInEventsAfterTheResource)
{
    EventsMap map;
    map.loadFromResource("no-such-events.xml");
    EXPECT_EQ(map.getUid("Tap"), -1);

    read(map, R"(<EventsMap><event name="Options" uid="3"/><event name="Mine" uid="1001"/></EventsMap>)");
    const char* const builtIn[] = { "Options", "About", "Select next preset", "Select previous preset", "Browse presets",
                                    "Save preset", "Save preset as", "Copy current preset", "Paste copied preset",
                                    "Store current preset", "Toggle Midi Learn" };
    int added = 0;
    for (int i = 0; i < 11; ++i)
        added += map.addEvent(builtIn[i], 1000 + i) ? 1 : 0;
    EXPECT_EQ(added, 9) << "an entry that takes a built-in name or uid wins";
    EXPECT_EQ(map.getUid("Options"), 3);
    EXPECT_EQ(map.getName(1000), "");
    EXPECT_EQ(map.getName(1001), "Mine");
    EXPECT_EQ(map.getUid("Toggle Midi Learn"), 1010);

    map.clear();
    EXPECT_EQ(map.getUid("Mine"), -1);
    EXPECT_EQ(map.getName(1010), "");
}

TEST(EventsMap, DisplayText)
{
    EventsMap map;
    map.addEvent("Toggle Midi Learn", 1010);
    map.addEvent("a", 1);
    map.addEvent("", 2);
    map.addEvent("sAVE As", 3);
    const std::pair<int, const char*> cases[] = {
        { 1010, "Toggle midi learn" }, { 1, "A" }, { 2, "" }, { 3, "Save as" }, { 99, "" },
    };
    for (const auto& [uid, text] : cases)
        EXPECT_EQ(map.getDisplayText(uid), juce::String(text)) << uid;
}
