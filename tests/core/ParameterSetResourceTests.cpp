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
#include "processor/Tavinor.h"

#include <cmath>
#include <map>
#include <set>

// The shipped parameter set, events and default map are data that the processor,
// the editor and every stored preset rely on by id, type and name. These tests
// read the embedded resources exactly as the plug-in does.

namespace
{
using T = Tavinor;

// After the processor's own settings, the old names of its four retrigger
// settings, only read from old settings: channel and note, twice for each
// modulator.
constexpr int kFirstLegacyId = T::kLastNoteLearn + 1;
constexpr int kNumLegacyIds = 8;
constexpr int kLastId = kFirstLegacyId + kNumLegacyIds - 1;

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
    set({ T::kLineState, T::kSwap, T::kMono, T::kFilterInLoop, T::kDelaySync, T::kDelayJoin, T::kPreDelaySync,
          T::kPreDelayJoin, T::kOverdrive, T::kFreeze },
        Kind::Bool);
    set({ T::kBalance, T::kLevel, T::kCutoff, T::kResonance, T::kDelayLeftKnob, T::kDelayRightKnob,
          T::kDelayLeftMs, T::kDelayRightMs, T::kPreDelayLeftKnob, T::kPreDelayRightKnob, T::kPreDelayLeftMs,
          T::kPreDelayRightMs, T::kPreamp, T::kColor, T::kOverdriveGain, T::kFeedback, T::kStereoOffset,
          T::kTimeModDepth, T::kCutoffModDepth, T::kTremoloDepth },
        Kind::Float);
    set({ T::kMidSide, T::kFilterMode, T::kFilterType, T::kDelayLeftScale, T::kDelayRightScale,
          T::kPreDelayLeftScale, T::kPreDelayRightScale, T::kModSource, T::kModScale },
        Kind::Enum);
    set({ T::kDelayLeftNumerator, T::kDelayLeftDenominator, T::kDelayRightNumerator, T::kDelayRightDenominator,
          T::kPreDelayLeftNumerator, T::kPreDelayLeftDenominator, T::kPreDelayRightNumerator,
          T::kPreDelayRightDenominator },
        Kind::Int);
    // Both modulators.
    for (int base : { T::kMod1First, T::kMod2First })
    {
        set({ base + T::kModulatorType, base + T::kModulatorRetrigger, base + T::kModulatorScale,
              base + T::kModulatorRate, base + T::kModulatorWaveform },
            Kind::Enum);
        set({ base + T::kModulatorSync, base + T::kModulatorInvert }, Kind::Bool);
        set({ base + T::kDetectorSpeed, base + T::kDetectorOnThreshold, base + T::kDetectorOffThreshold,
              base + T::kModulatorFrequency, base + T::kModulatorStereoPhase, base + T::kEnvelopeAttack,
              base + T::kEnvelopeDecay, base + T::kEnvelopeSustain, base + T::kEnvelopeHold,
              base + T::kEnvelopeRelease, base + T::kFollowerSensitivity, base + T::kFollowerAttack,
              base + T::kFollowerRelease },
            Kind::Float);
    }
    // Master and processor settings.
    set({ T::kLimiter, T::kTapLeft, T::kTapRight }, Kind::Bool);
    for (int id = T::kFirstNoteLearn; id <= T::kLastNoteLearn; ++id)
        set({ id }, Kind::Bool);
    set({ T::kLimiterThreshold, T::kDryWet, T::kOutputGain }, Kind::Float);
    set({ T::kRouting, T::kRealtimeQuality, T::kOfflineQuality, T::kDefaultRealtimeQuality,
          T::kDefaultOfflineQuality, T::kMod1RetriggerChannel, T::kMod2RetriggerChannel,
          T::kDefaultMod1RetriggerChannel, T::kDefaultMod2RetriggerChannel },
        Kind::Enum);
    set({ T::kMod1RetriggerNote, T::kMod2RetriggerNote, T::kDefaultMod1RetriggerNote, T::kDefaultMod2RetriggerNote },
        Kind::Note);
    for (int i = 0; i < kNumLegacyIds; i += 2)
    {
        set({ kFirstLegacyId + i }, Kind::Enum);
        set({ kFirstLegacyId + i + 1 }, Kind::Note);
    }
    set({ T::kSelectedLine, T::kMaxDelayTime, T::kDefaultMaxDelayTime }, Kind::Int);
    for (int line = 0; line < T::kNumLines; ++line)
        set({ T::kFirstPanel + line }, Kind::Int);
    set({ T::kPresetName }, Kind::String);
    return kinds;
}

// Offered in the parameter menu, so mappable to host slots and MIDI controllers.
std::set<int> expectedAutomatable()
{
    std::set<int> ids;
    for (int k = 0; k < T::kNumTemplateParameters; ++k)
        if (k != T::kDelayLeftMs && k != T::kDelayRightMs && k != T::kPreDelayLeftMs && k != T::kPreDelayRightMs)
            ids.insert(k);
    for (int base : { T::kMod1First, T::kMod2First })
    {
        ids.insert({ base + T::kModulatorType, base + T::kModulatorSync });
        for (int j = T::kModulatorFrequency; j <= T::kFollowerRelease; ++j)
            ids.insert(base + j);
    }
    ids.insert({ T::kLimiter, T::kLimiterThreshold, T::kDryWet, T::kOutputGain, T::kTapLeft, T::kTapRight });
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
    EXPECT_EQ(count, kLastId + 1);
    EXPECT_EQ((int) names.size(), count);
    EXPECT_EQ((int) ids.size(), count);
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), kLastId);

    LoadedSet s;
    for (int id = 0; id <= kLastId; ++id)
    {
        const auto name = s.manager.getParameterName(id);
        EXPECT_FALSE(name.matchesWildcard("Line ? *", false)) << name;
        if (id < T::kNumTemplateParameters)
            for (int line = 1; line <= T::kNumLines; ++line)
                EXPECT_EQ(s.manager.getParameterByName("Line " + juce::String(line) + " " + name), nullptr) << name;
    }
}

TEST(ParameterSetResource, EnumerationTextsTheProgramReliesOn)
{
    LoadedSet s;
    auto& m = s.manager;
    const juce::StringArray routing { "Parallel", "Serial", "Tapped Serial", "Mixed 1", "Mixed 2",
                                      "Mixed 3", "Mixed 4", "Mixed 5", "Mixed 6" };
    EXPECT_EQ(itemsOf(m, T::kRouting), routing);
    EXPECT_EQ(itemsOf(m, T::kModSource), juce::StringArray({ "MOD 1", "MOD 2" }));
    for (int id : { T::kMod1Waveform, T::kMod2Waveform })
    {
        ASSERT_EQ(itemsOf(m, id).size(), 5) << id;
        EXPECT_EQ(itemsOf(m, id)[1], "Saw Down") << id;
    }

    juce::StringArray channels { "All" };
    for (int c = 1; c <= 16; ++c)
        channels.add(juce::String(c));

    // Item counts are what the engine's floor(n v + 0.5) and the editor's switch
    // groups expect.
    const std::map<int, int> counts {
        { T::kMidSide, 2 },           { T::kFilterMode, 2 },          { T::kFilterType, 4 },
        { T::kDelayLeftScale, 3 },    { T::kDelayRightScale, 3 },     { T::kPreDelayLeftScale, 3 },
        { T::kPreDelayRightScale, 3 }, { T::kModSource, 2 },          { T::kModScale, 2 },
        { T::kMod1First, 3 },         { T::kMod1RetriggerMode, 3 },   { T::kMod1Scale, 3 },
        { T::kMod1Rate, 11 },         { T::kMod1Waveform, 5 },        { T::kMod2First, 3 },
        { T::kMod2RetriggerMode, 3 }, { T::kMod2Scale, 3 },           { T::kMod2Rate, 11 },
        { T::kMod2Waveform, 5 },      { T::kRouting, 9 },             { T::kMod1RetriggerChannel, 17 },
        { T::kMod2RetriggerChannel, 17 }, { T::kDefaultMod1RetriggerChannel, 17 },
        { T::kDefaultMod2RetriggerChannel, 17 }
    };
    for (const auto& [id, n] : counts)
        EXPECT_EQ(itemsOf(m, id).size(), n) << "id " << id;
    for (int id : { T::kMod1RetriggerChannel, T::kMod2RetriggerChannel, T::kDefaultMod1RetriggerChannel,
                    T::kDefaultMod2RetriggerChannel })
        EXPECT_EQ(itemsOf(m, id), channels) << id;
    for (int id : { T::kRealtimeQuality, T::kOfflineQuality, T::kDefaultRealtimeQuality, T::kDefaultOfflineQuality })
        EXPECT_GE(itemsOf(m, id).size(), 4) << id;
}

TEST(ParameterSetResource, RangesMatchTheEngineMappings)
{
    LoadedSet s;
    auto& m = s.manager;
    struct IntRange { int id, min, max; };
    const IntRange ints[] = { { T::kDelayLeftNumerator, 1, 32 },        { T::kDelayLeftDenominator, 1, 32 },
                              { T::kDelayRightNumerator, 1, 32 },       { T::kDelayRightDenominator, 1, 32 },
                              { T::kPreDelayLeftNumerator, 0, 32 },     { T::kPreDelayLeftDenominator, 1, 32 },
                              { T::kPreDelayRightNumerator, 0, 32 },    { T::kPreDelayRightDenominator, 1, 32 },
                              { T::kSelectedLine, 1, 4 },               { T::kFirstPanel, 0, 1 },
                              { T::kFirstPanel + 1, 0, 1 },             { T::kFirstPanel + 2, 0, 1 },
                              { T::kFirstPanel + 3, 0, 1 },             { T::kMaxDelayTime, 1, 15 },
                              { T::kDefaultMaxDelayTime, 1, 15 } };
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
        m.setIntValue(T::kDelayLeftNumerator, n);
        EXPECT_EQ((int) std::floor(31.0f * m.getNormalisedValue(T::kDelayLeftNumerator) + 0.5f) + 1, n);
    }
    for (int n = 0; n <= 32; ++n)
    {
        m.setIntValue(T::kPreDelayLeftNumerator, n);
        EXPECT_EQ((int) std::floor(32.0f * m.getNormalisedValue(T::kPreDelayLeftNumerator) + 0.5f), n);
    }

    // Free times are milliseconds whose normalised value is the fraction of one
    // second the delay lines use.
    for (int id : { T::kDelayLeftMs, T::kDelayRightMs, T::kPreDelayLeftMs, T::kPreDelayRightMs })
    {
        auto* p = dynamic_cast<FloatParameter*>(m.getParameter(id));
        ASSERT_NE(p, nullptr) << id;
        EXPECT_EQ(p->getMinimum(), 0.0f) << id;
        EXPECT_EQ(p->getMaximum(), 1000.0f) << id;
        m.setValue(id, 250.0f);
        EXPECT_FLOAT_EQ(m.getNormalisedValue(id), 0.25f) << id;
    }
    for (int id : std::initializer_list<int> { T::kBalance, T::kLevel, T::kCutoff, T::kResonance,
                                               T::kDelayLeftKnob, T::kDelayRightKnob, T::kPreDelayLeftKnob,
                                               T::kPreDelayRightKnob, T::kPreamp, T::kColor, T::kOverdriveGain,
                                               T::kFeedback, T::kStereoOffset, T::kTimeModDepth,
                                               T::kCutoffModDepth, T::kTremoloDepth, T::kLimiterThreshold,
                                               T::kDryWet, T::kOutputGain })
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
    EXPECT_FALSE(m.getBoolValue(T::kLineState)) << "line not muted";
    EXPECT_FLOAT_EQ(m.getNormalisedValue(T::kLevel), 0.75f) << "0 dB level";
    EXPECT_GT(m.getNormalisedValue(T::kFeedback), 0.5f) << "some positive feedback";
    EXPECT_LT(m.getNormalisedValue(T::kFeedback), 0.9f);
    EXPECT_GT(m.getNormalisedValue(T::kDryWet), 0.0f) << "some wet signal";
    EXPECT_FLOAT_EQ(m.getNormalisedValue(T::kOutputGain), 0.5f) << "0 dB output";
    EXPECT_EQ(m.getText(T::kRouting), "Parallel");
    EXPECT_EQ(m.getIntValue(T::kSelectedLine), 1);

    // The knob positions agree with the millisecond times they mirror.
    for (const auto [knob, ms] : { std::pair { T::kDelayLeftKnob, T::kDelayLeftMs },
                                   { T::kDelayRightKnob, T::kDelayRightMs },
                                   { T::kPreDelayLeftKnob, T::kPreDelayLeftMs },
                                   { T::kPreDelayRightKnob, T::kPreDelayRightMs } })
        EXPECT_NEAR(m.getNormalisedValue(knob), knobFromSeconds(m.getValue(ms) / 1000.0), 1.0e-6) << knob;

    // Current and default settings start equal.
    for (const auto [current, fallback] : { std::pair { T::kMaxDelayTime, T::kDefaultMaxDelayTime },
                                            { T::kRealtimeQuality, T::kDefaultRealtimeQuality },
                                            { T::kOfflineQuality, T::kDefaultOfflineQuality },
                                            { T::kMod1RetriggerChannel, T::kDefaultMod1RetriggerChannel },
                                            { T::kMod1RetriggerNote, T::kDefaultMod1RetriggerNote },
                                            { T::kMod2RetriggerChannel, T::kDefaultMod2RetriggerChannel },
                                            { T::kMod2RetriggerNote, T::kDefaultMod2RetriggerNote } })
        EXPECT_EQ(m.getText(current), m.getText(fallback)) << current;
}

TEST(ParameterSetResource, AutomatableFlagsFollowTheParameterMenu)
{
    LoadedSet s;
    const auto automatable = expectedAutomatable();
    for (int id = 0; id <= kLastId; ++id)
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
    // positions and freeze, and the modulators and the master section.
    std::set<juce::String> stored;
    for (int id = T::kMod1First; id <= T::kOutputGain; ++id)
        stored.insert(m.getParameterName(id));
    for (int line = 1; line <= T::kNumLines; ++line)
        for (int k = 0; k < T::kNumTemplateParameters; ++k)
            if (k != T::kDelayLeftKnob && k != T::kDelayRightKnob && k != T::kPreDelayLeftKnob
                && k != T::kPreDelayRightKnob && k != T::kFreeze)
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
    for (int line = 0; line < T::kNumLines; ++line)
        for (int k = 0; k < T::kNumTemplateParameters; ++k)
        {
            auto* t = m.getParameter(k);
            ASSERT_NE(t, nullptr);
            ASSERT_TRUE(m.addParameter(
                t->clone(T::getLineParameterBase(line) + k, "Line " + juce::String(line + 1) + " " + t->getName())));
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
