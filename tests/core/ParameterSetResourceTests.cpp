#include "TestHelpers.h"
#include <gtest/gtest.h>

#include "core/BoolParameter.h"
#include "core/BundleResources.h"
#include "core/EnumParameter.h"
#include "core/EventsMap.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/NoteParameter.h"
#include "core/ParameterManager.h"
#include "core/Preset.h"
#include "core/StringParameter.h"

#include <cmath>
#include <map>
#include <set>

// The shipped parameter set, events and default map are data that the processor,
// the editor and every stored preset rely on by id, type and name. These tests
// read the embedded resources exactly as the plug-in does.

namespace
{
enum class Kind { Float, Int, Enum, Note, Bool, String };

const char* kindName(Kind k)
{
    switch (k)
    {
        case Kind::Float: return "float";
        case Kind::Int: return "int";
        case Kind::Enum: return "enum";
        case Kind::Note: return "note";
        case Kind::Bool: return "bool";
        case Kind::String: return "string";
    }
    return "?";
}

bool hasKind(Parameter* p, Kind k)
{
    const bool isEnum = dynamic_cast<EnumParameter*>(p) != nullptr;
    const bool isNote = dynamic_cast<NoteParameter*>(p) != nullptr;
    switch (k)
    {
        case Kind::Float: return dynamic_cast<FloatParameter*>(p) != nullptr;
        case Kind::Int: return dynamic_cast<IntParameter*>(p) != nullptr && ! isEnum && ! isNote;
        case Kind::Enum: return isEnum;
        case Kind::Note: return isNote;
        case Kind::Bool: return dynamic_cast<BoolParameter*>(p) != nullptr;
        case Kind::String: return dynamic_cast<StringParameter*>(p) != nullptr;
    }
    return false;
}

// What each id must be: the engine, the editor's windows and the settings pages
// cast or read them as these types.
std::map<int, Kind> expectedKinds()
{
    std::map<int, Kind> kinds;
    const auto set = [&kinds](std::initializer_list<int> ids, Kind k) {
        for (int id : ids)
            kinds[id] = k;
    };
    // Line template.
    set({ 0, 4, 5, 7, 11, 12, 23, 24, 35, 40 }, Kind::Bool);
    set({ 1, 2, 8, 9, 13, 14, 15, 16, 25, 26, 27, 28, 36, 37, 38, 39, 41, 44, 45, 46 }, Kind::Float);
    set({ 3, 6, 10, 17, 18, 29, 30, 42, 43 }, Kind::Enum);
    set({ 19, 20, 21, 22, 31, 32, 33, 34 }, Kind::Int);
    // Both modulators.
    for (int base : { 47, 67 })
    {
        set({ base + 0, base + 1, base + 6, base + 8, base + 9 }, Kind::Enum);
        set({ base + 5, base + 10 }, Kind::Bool);
        set({ base + 2, base + 3, base + 4, base + 7, base + 11, base + 12, base + 13, base + 14,
              base + 15, base + 16, base + 17, base + 18, base + 19 },
            Kind::Float);
    }
    // Master and processor settings.
    set({ 87, 112, 113, 114, 115, 116, 117 }, Kind::Bool);
    set({ 88, 89, 91 }, Kind::Float);
    set({ 90, 99, 100, 110, 111, 101, 103, 105, 107, 118, 120, 122, 124 }, Kind::Enum);
    set({ 92, 93, 94, 95, 96, 98, 109 }, Kind::Int);
    set({ 102, 104, 106, 108, 119, 121, 123, 125 }, Kind::Note);
    set({ 97 }, Kind::String);
    return kinds;
}

// Offered in the parameter menu, so mappable to host slots and MIDI controllers.
std::set<int> expectedAutomatable()
{
    std::set<int> ids;
    for (int k = 0; k <= 46; ++k)
        if (k != 15 && k != 16 && k != 27 && k != 28)
            ids.insert(k);
    for (int base : { 47, 67 })
    {
        ids.insert({ base, base + 5 });
        for (int j = 7; j <= 19; ++j)
            ids.insert(base + j);
    }
    ids.insert({ 87, 88, 89, 91, 112, 113 });
    return ids;
}

juce::StringArray itemsOf(ParameterManager& m, int id)
{
    auto* e = dynamic_cast<EnumParameter*>(m.getParameter(id));
    return e != nullptr ? e->getItems() : juce::StringArray();
}

struct LoadedSet
{
    LoadedSet() { manager.loadFromResource("parameters.xml"); }
    ParameterManager manager;
};

double knobFromSeconds(double t)
{
    return juce::jlimit(0.0, 1.0, (std::log(t + 0.0010983983513728978) + 6.813902204446729) / 6.815);
}

} // namespace

TEST(ParameterSetResource, EveryIdExistsWithItsType)
{
    LoadedSet s;
    EXPECT_EQ(s.manager.getApplicationName(), "Tavinor");
    for (const auto& [id, kind] : expectedKinds())
    {
        auto* p = s.manager.getParameter(id);
        ASSERT_NE(p, nullptr) << "id " << id;
        EXPECT_TRUE(hasKind(p, kind)) << "id " << id << " " << p->getName() << " should be " << kindName(kind);
    }
}

TEST(ParameterSetResource, NamesAreUniqueAndLeaveTheLinePrefixToTheClones)
{
    // The registry drops a second parameter of the same name silently, so count
    // the file's own elements as well.
    const auto xml = juce::parseXML(loadBundleResourceAsString("parameters.xml"));
    ASSERT_NE(xml, nullptr);
    std::set<juce::String> names;
    std::set<int> ids;
    int count = 0;
    for (auto* e : xml->getChildWithTagNameIterator("param"))
    {
        ++count;
        names.insert(e->getStringAttribute("name"));
        ids.insert(e->getIntAttribute("index", -1));
    }
    EXPECT_EQ(count, 126);
    EXPECT_EQ((int) names.size(), count);
    EXPECT_EQ((int) ids.size(), count);
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), 125);

    LoadedSet s;
    for (int id = 0; id <= 125; ++id)
    {
        const auto name = s.manager.getParameterName(id);
        EXPECT_FALSE(name.matchesWildcard("Line ? *", false)) << name;
        if (id <= 46)
            for (int line = 1; line <= 4; ++line)
                EXPECT_EQ(s.manager.getParameterByName("Line " + juce::String(line) + " " + name), nullptr) << name;
    }
}

TEST(ParameterSetResource, EnumerationTextsTheProgramReliesOn)
{
    LoadedSet s;
    auto& m = s.manager;
    const juce::StringArray routing { "Parallel", "Serial", "Tapped Serial", "Mixed 1", "Mixed 2",
                                      "Mixed 3", "Mixed 4", "Mixed 5", "Mixed 6" };
    EXPECT_EQ(itemsOf(m, 90), routing);
    EXPECT_EQ(itemsOf(m, 42), juce::StringArray({ "MOD 1", "MOD 2" }));
    for (int id : { 56, 76 })
    {
        ASSERT_EQ(itemsOf(m, id).size(), 5) << id;
        EXPECT_EQ(itemsOf(m, id)[1], "Saw Down") << id;
    }

    juce::StringArray channels { "All" };
    for (int c = 1; c <= 16; ++c)
        channels.add(juce::String(c));

    // Item counts are what the engine's floor(n v + 0.5) and the editor's switch
    // groups expect.
    const std::map<int, int> counts { { 3, 2 },  { 6, 2 },  { 10, 4 },  { 17, 3 },  { 18, 3 },  { 29, 3 },
                                      { 30, 3 }, { 42, 2 }, { 43, 2 },  { 47, 3 },  { 48, 3 },  { 53, 3 },
                                      { 55, 11 }, { 56, 5 }, { 67, 3 }, { 68, 3 },  { 73, 3 },  { 75, 11 },
                                      { 76, 5 }, { 90, 9 }, { 101, 17 }, { 103, 17 }, { 105, 17 }, { 107, 17 } };
    for (const auto& [id, n] : counts)
        EXPECT_EQ(itemsOf(m, id).size(), n) << "id " << id;
    for (int id : { 101, 103, 105, 107 })
        EXPECT_EQ(itemsOf(m, id), channels) << id;
    for (int id : { 99, 100, 110, 111 })
        EXPECT_GE(itemsOf(m, id).size(), 4) << id;
}

TEST(ParameterSetResource, RangesMatchTheEngineMappings)
{
    LoadedSet s;
    auto& m = s.manager;
    struct IntRange { int id, min, max; };
    const IntRange ints[] = { { 19, 1, 32 }, { 20, 1, 32 }, { 21, 1, 32 }, { 22, 1, 32 }, { 31, 0, 32 },
                              { 32, 1, 32 }, { 33, 0, 32 }, { 34, 1, 32 }, { 92, 1, 4 },   { 93, 0, 1 },
                              { 94, 0, 1 },  { 95, 0, 1 },  { 96, 0, 1 },  { 98, 1, 15 },  { 109, 1, 15 } };
    for (const auto& r : ints)
    {
        auto* p = dynamic_cast<IntParameter*>(m.getParameter(r.id));
        ASSERT_NE(p, nullptr) << r.id;
        EXPECT_EQ(p->getMinimum(), r.min) << r.id;
        EXPECT_EQ(p->getMaximum(), r.max) << r.id;
    }

    // The engine reads a numerator as floor(31 v + 0.5) + 1 (delay) or
    // floor(32 v + 0.5) (pre-delay): every value must survive that trip.
    for (int n = 1; n <= 32; ++n)
    {
        m.setIntValue(19, n);
        EXPECT_EQ((int) std::floor(31.0f * m.getNormalisedValue(19) + 0.5f) + 1, n);
    }
    for (int n = 0; n <= 32; ++n)
    {
        m.setIntValue(31, n);
        EXPECT_EQ((int) std::floor(32.0f * m.getNormalisedValue(31) + 0.5f), n);
    }

    // Free times are milliseconds whose normalised value is the fraction of one
    // second the delay lines use.
    for (int id : { 15, 16, 27, 28 })
    {
        auto* p = dynamic_cast<FloatParameter*>(m.getParameter(id));
        ASSERT_NE(p, nullptr) << id;
        EXPECT_EQ(p->getMinimum(), 0.0f) << id;
        EXPECT_EQ(p->getMaximum(), 1000.0f) << id;
        m.setValue(id, 250.0f);
        EXPECT_FLOAT_EQ(m.getNormalisedValue(id), 0.25f) << id;
    }
    for (int id : { 1, 2, 8, 9, 13, 14, 25, 26, 36, 37, 38, 39, 41, 44, 45, 46, 88, 89, 91 })
    {
        auto* p = dynamic_cast<FloatParameter*>(m.getParameter(id));
        ASSERT_NE(p, nullptr) << id;
        EXPECT_EQ(p->getMinimum(), 0.0f) << id;
        EXPECT_EQ(p->getMaximum(), 1.0f) << id;
    }
}

TEST(ParameterSetResource, DefaultsGiveAnAudibleEchoOnLineOne)
{
    LoadedSet s;
    auto& m = s.manager;
    EXPECT_FALSE(m.getBoolValue(0)) << "line not muted";
    EXPECT_FLOAT_EQ(m.getNormalisedValue(2), 0.75f) << "0 dB level";
    EXPECT_GT(m.getNormalisedValue(39), 0.5f) << "some positive feedback";
    EXPECT_LT(m.getNormalisedValue(39), 0.9f);
    EXPECT_GT(m.getNormalisedValue(89), 0.0f) << "some wet signal";
    EXPECT_FLOAT_EQ(m.getNormalisedValue(91), 0.5f) << "0 dB output";
    EXPECT_EQ(m.getText(90), "Parallel");
    EXPECT_EQ(m.getIntValue(92), 1);

    // The knob positions agree with the millisecond times they mirror.
    for (const auto [knob, ms] : { std::pair { 13, 15 }, { 14, 16 }, { 25, 27 }, { 26, 28 } })
        EXPECT_NEAR(m.getNormalisedValue(knob), knobFromSeconds(m.getValue(ms) / 1000.0), 1.0e-6) << knob;

    // Current and default settings start equal.
    for (const auto [current, fallback] : { std::pair { 98, 109 }, { 99, 110 }, { 100, 111 }, { 101, 105 },
                                            { 102, 106 }, { 103, 107 }, { 104, 108 } })
        EXPECT_EQ(m.getText(current), m.getText(fallback)) << current;
}

TEST(ParameterSetResource, AutomatableFlagsFollowTheParameterMenu)
{
    LoadedSet s;
    const auto automatable = expectedAutomatable();
    for (int id = 0; id <= 125; ++id)
    {
        auto* p = s.manager.getParameter(id);
        ASSERT_NE(p, nullptr) << id;
        EXPECT_EQ(p->isAutomatable(), automatable.count(id) == 1) << id << " " << p->getName();
    }
}

TEST(ParameterSetResource, EventsCoverEveryEditorEvent)
{
    EventsMap events;
    events.loadFromResource("events.xml");
    std::set<juce::String> names;
    for (int uid = 0; uid <= 76; ++uid)
    {
        const auto name = events.getName(uid);
        EXPECT_TRUE(name.isNotEmpty()) << uid;
        EXPECT_EQ(events.getUid(name), uid) << name;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 77u);
    EXPECT_TRUE(events.getName(77).isEmpty());
    EXPECT_TRUE(events.getName(-1).isEmpty());
    // The framework's own events come after these and must not be shadowed.
    for (const char* builtIn : { "Options", "About", "Select next preset", "Select previous preset",
                                 "Browse presets", "Save preset", "Save preset as", "Copy current preset",
                                 "Paste copied preset", "Store current preset", "Toggle Midi Learn" })
        EXPECT_EQ(events.getUid(builtIn), -1) << builtIn;
}

TEST(ParameterSetResource, DefaultHostMapNamesAutomatableParameters)
{
    LoadedSet s;
    const auto xml = juce::parseXML(loadBundleResourceAsString("default.tnhpmap"));
    ASSERT_NE(xml, nullptr);
    EXPECT_TRUE(xml->getTagName().equalsIgnoreCase("HostParametersMap"));
    EXPECT_EQ(xml->getStringAttribute("name"), "Tavinor");
    std::set<int> slots;
    std::set<juce::String> mapped;
    for (auto* e : xml->getChildWithTagNameIterator("assign"))
    {
        const int slot = e->getIntAttribute("hostParam");
        EXPECT_TRUE(slot >= 1 && slot <= 128) << slot;
        EXPECT_TRUE(slots.insert(slot).second) << slot;
        auto name = e->getStringAttribute("pluginParam");
        EXPECT_TRUE(mapped.insert(name).second) << name;
        // Line parameters are clones of the template, named with the line prefix.
        if (name.matchesWildcard("Line ? *", false))
            name = name.substring(7);
        auto* p = s.manager.getParameterByName(name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_TRUE(p->isAutomatable()) << name;
    }
    EXPECT_GE(slots.size(), 16u);
}

TEST(ParameterSetResource, FactoryPresetsNameKnownParametersWithValidTexts)
{
    const auto root = TestHelpers::sourceFolder();
    if (root == juce::File())
        GTEST_SKIP() << "the source tree is not above the test program";
    const auto folder = root.getChildFile("resources/presets");
    const auto files = folder.findChildFiles(juce::File::findFiles, true, "*.tnprst");
    ASSERT_GE(files.size(), 30);

    LoadedSet s;
    auto& m = s.manager;
    // What the processor stores in a preset: every line setting but the knob
    // positions and freeze, and the globals 47 to 91.
    std::set<juce::String> stored;
    for (int id = 47; id <= 91; ++id)
        stored.insert(m.getParameterName(id));
    for (int line = 1; line <= 4; ++line)
        for (int k = 0; k <= 46; ++k)
            if (k != 13 && k != 14 && k != 25 && k != 26 && k != 40)
                stored.insert("Line " + juce::String(line) + " " + m.getParameterName(k));

    std::set<juce::String> routings;
    for (const auto& file : files)
    {
        const auto xml = juce::parseXML(file);
        ASSERT_NE(xml, nullptr) << file.getFullPathName();
        EXPECT_EQ(xml->getTagName(), "Preset");
        EXPECT_EQ(xml->getStringAttribute("application"), "Tavinor");
        EXPECT_EQ(xml->getStringAttribute("version"), "1.1");
        EXPECT_EQ(xml->getStringAttribute("category"), file.getParentDirectory().getFileName());
        EXPECT_FALSE(xml->hasAttribute("name")) << "a preset file is named by its file";
        EXPECT_TRUE(xml->getStringAttribute("id").isNotEmpty());

        std::set<juce::String> seen;
        for (auto* e : xml->getChildWithTagNameIterator("param"))
        {
            auto name = e->getStringAttribute("name");
            const auto value = e->getStringAttribute("value");
            EXPECT_TRUE(stored.count(name) == 1) << file.getFileName() << ": " << name;
            EXPECT_TRUE(seen.insert(name).second) << file.getFileName() << ": " << name;
            if (name == "Routing")
                routings.insert(value);

            if (name.matchesWildcard("Line ? *", false))
                name = name.substring(7);
            auto* p = m.getParameterByName(name);
            ASSERT_NE(p, nullptr) << name;
            if (auto* e2 = dynamic_cast<EnumParameter*>(p))
                EXPECT_TRUE(e2->getItems().contains(value)) << file.getFileName() << ": " << name << " " << value;
            else if (dynamic_cast<BoolParameter*>(p) != nullptr)
                EXPECT_TRUE(value == "on" || value == "off") << file.getFileName() << ": " << name;
            else if (auto* f = dynamic_cast<FloatParameter*>(p))
            {
                EXPECT_TRUE(value.containsOnly("0123456789.")) << name << " " << value;
                EXPECT_GE(value.getFloatValue(), f->getMinimum()) << name;
                EXPECT_LE(value.getFloatValue(), f->getMaximum()) << name;
            }
            else if (auto* i = dynamic_cast<IntParameter*>(p))
            {
                EXPECT_TRUE(value.containsOnly("0123456789")) << name << " " << value;
                EXPECT_GE(value.getIntValue(), i->getMinimum()) << name;
                EXPECT_LE(value.getIntValue(), i->getMaximum()) << name;
            }
        }
        EXPECT_EQ(seen, stored) << file.getFileName();
    }
    // Every routing is shown by at least one preset.
    EXPECT_EQ(routings.size(), 9u);
}

TEST(ParameterSetResource, FactoryPresetsLoadAndApplyThroughThePresetReader)
{
    const auto root = TestHelpers::sourceFolder();
    if (root == juce::File())
        GTEST_SKIP() << "the source tree is not above the test program";
    const auto files = root.getChildFile("resources/presets").findChildFiles(juce::File::findFiles, true, "*.tnprst");
    ASSERT_FALSE(files.isEmpty());

    // The registry as the processor builds it: the template cloned per line.
    LoadedSet s;
    auto& m = s.manager;
    for (int line = 0; line < 4; ++line)
        for (int k = 0; k <= 46; ++k)
        {
            auto* t = m.getParameter(k);
            ASSERT_NE(t, nullptr);
            ASSERT_TRUE(m.addParameter(t->clone(1000 * (line + 1) + k, "Line " + juce::String(line + 1) + " " + t->getName())));
        }

    for (const auto& file : files)
    {
        Preset preset;
        preset.loadFromFile(file, &m, false);
        // 45 globals and 42 stored settings of each of the four lines.
        EXPECT_EQ(preset.getNumEntries(), 45 + 4 * 42) << file.getFileName();
        EXPECT_EQ(preset.getVersion(), "1.1");
        for (int i = 0; i < preset.getNumEntries(); ++i)
        {
            const auto* entry = preset.getEntry(i);
            m.setText(entry->id, entry->text);
            if (dynamic_cast<FloatParameter*>(m.getParameter(entry->id)) != nullptr)
                EXPECT_NEAR(m.getValue(entry->id), entry->text.getFloatValue(), 1.0e-4) << m.getParameterName(entry->id);
            else
                EXPECT_EQ(m.getText(entry->id), entry->text) << file.getFileName() << ": " << m.getParameterName(entry->id);
        }
    }
}
