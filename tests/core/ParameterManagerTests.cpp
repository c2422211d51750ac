#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/NoteParameter.h"
#include "core/ParameterManager.h"
#include "core/Preset.h"
#include "core/StateParameter.h"
#include "core/StringParameter.h"

#include <typeinfo>

namespace
{
const char* const kParametersXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<pluginparameters application="Tavinor">
  <param index="0" name="Gain" type="float" min="-1" max="2" value="1.5" auto="yes"/>
  <param index="1" name="Steps" type="int" min="1" max="32" value="40" auto="true"/>
  <param index="2" name="Mode" type="enum" enum="Off;Low;High" value="Low" auto="1"/>
  <param index="3" name="Key" type="note" value="C-5" auto="no"/>
  <param index="4" name="Power" type="state" value="ON" auto="0"/>
  <param index="5" name="Switch" type="bool" value="yes"/>
  <PARAM index="6" name="Title" type="string" value="Hello"/>
  <param index="7" name="Plain"/>
  <param index="5" name="Second five" type="int"/>
  <param index="8" name="Gain" type="int"/>
  <param index="9" name="Wrong case" type="Float"/>
  <param index="10" name="Unknown" type="double"/>
  <param index="-1" name="No index"/>
  <param name="Missing index"/>
  <param index="11" name=""/>
  <param index="12" name="Not a number" type="float" value="nan" min="inf" max="nan"/>
  <other index="13" name="Other element"/>
</pluginparameters>)";

struct Counter : Parameter::Listener
{
    void parameterChanged(Parameter*) override { ++changes; }
    int changes = 0;
};

void load(ParameterManager& m, const char* xml)
{
    const auto root = juce::parseXML(juce::String(xml));
    ASSERT_NE(root, nullptr);
    m.loadFromXml(*root);
}
} // namespace

TEST(ParameterManager, LoadsParametersDocument)
{
    ParameterManager m;
    load(m, kParametersXml);
    EXPECT_EQ(m.getApplicationName(), "Tavinor");

    struct Expected
    {
        int id;
        const char* name;
        const std::type_info& type;
        const char* text;
        bool automatable;
    };
    const Expected expected[] = {
        { 0, "Gain", typeid(FloatParameter), "1.5", true },   { 1, "Steps", typeid(IntParameter), "32", true },
        { 2, "Mode", typeid(EnumParameter), "Low", true },    { 3, "Key", typeid(NoteParameter), "C-5", false },
        { 4, "Power", typeid(StateParameter), "on", false },  { 5, "Switch", typeid(BoolParameter), "true", false },
        { 6, "Title", typeid(StringParameter), "Hello", false }, { 7, "Plain", typeid(FloatParameter), "0", false },
        { 12, "Not a number", typeid(FloatParameter), "0", false },
    };
    for (const auto& e : expected)
    {
        auto* p = m.getParameter(e.id);
        ASSERT_NE(p, nullptr) << e.name;
        EXPECT_EQ(p->getName(), juce::String(e.name));
        EXPECT_EQ(typeid(*p), e.type) << e.name;
        EXPECT_EQ(p->getText(), juce::String(e.text)) << e.name;
        EXPECT_EQ(p->isAutomatable(), e.automatable) << e.name;
        EXPECT_EQ(m.getParameterByName(e.name), p);
        EXPECT_EQ(m.getParameterIndex(e.name), e.id);
    }

    // The first of two elements with one index or one name wins; unknown types,
    // missing indexes and empty names are skipped.
    EXPECT_EQ(m.getParameterName(5), "Switch");
    EXPECT_EQ(m.getParameter(8), nullptr);
    for (int id : { 9, 10, 11, 13 })
        EXPECT_EQ(m.getParameter(id), nullptr) << id;
    for (const char* name : { "Second five", "Wrong case", "Unknown", "Missing index", "Other element" })
        EXPECT_EQ(m.getParameterByName(name), nullptr) << name;
    EXPECT_EQ(m.getParameterIndex("gain"), -1) << "names are case-sensitive";

    auto* plain = dynamic_cast<FloatParameter*>(m.getParameter(7));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->getMinimum(), 0.0f);
    EXPECT_EQ(plain->getMaximum(), 1.0f);
    auto* steps = dynamic_cast<IntParameter*>(m.getParameter(1));
    ASSERT_NE(steps, nullptr);
    EXPECT_EQ(steps->getMinimum(), 1);
}

TEST(ParameterManager, WrongRootOrBrokenDocumentLeavesItEmpty)
{
    ParameterManager m;
    load(m, kParametersXml);
    load(m, R"(<Parameters application="Other"><param index="1" name="A"/></Parameters>)");
    EXPECT_EQ(m.getParameter(0), nullptr);
    EXPECT_EQ(m.getParameter(1), nullptr);
    EXPECT_EQ(m.getApplicationName(), "Other");

    load(m, kParametersXml);
    m.loadFromResource("no such resource.xml");
    EXPECT_EQ(m.getParameter(0), nullptr);
}

TEST(ParameterManager, UnknownIdsAndNamesAreHarmless)
{
    ParameterManager m;
    load(m, kParametersXml);
    Counter c;
    m.addListenerToAll(&c);

    EXPECT_EQ(m.getValue(99), 0.0f);
    EXPECT_EQ(m.getNormalisedValue(99), 0.0f);
    EXPECT_EQ(m.getIntValue(99), 0);
    EXPECT_FALSE(m.getBoolValue(99));
    EXPECT_EQ(m.getText(99), "");
    EXPECT_EQ(m.getParameterName(99), "");
    m.setValue(99, 1.0f);
    m.setNormalisedValue(99, 1.0f);
    m.setIntValue(99, 1);
    m.setBoolValue(99, true);
    m.setText(99, "1");
    m.copyValue(99, 0);
    m.copyValue(0, 99);
    m.addListener(99, &c);
    EXPECT_EQ(c.changes, 0);
    EXPECT_EQ(m.getText(0), "1.5");
}

TEST(ParameterManager, SettersNotifyAndCopyThroughSourceGetters)
{
    ParameterManager m;
    load(m, kParametersXml);
    Counter c;
    m.addListener(1, &c);

    m.setIntValue(1, 5);
    EXPECT_EQ(m.getIntValue(1), 5);
    EXPECT_EQ(c.changes, 1);
    m.setNormalisedValue(1, 0.0f);
    EXPECT_EQ(m.getIntValue(1), 1);
    m.setText(1, "1");
    EXPECT_EQ(c.changes, 2) << "the same value notifies nobody";

    // A float 1.5 copied into an int goes through the source's integer value.
    m.copyValue(1, 0);
    EXPECT_EQ(m.getIntValue(1), 1);
    m.setValue(0, 1.99f);
    m.copyValue(1, 0);
    EXPECT_EQ(m.getIntValue(1), 1);
    m.setValue(0, 2.0f);
    m.copyValue(1, 0);
    EXPECT_EQ(m.getIntValue(1), 2);
    EXPECT_EQ(c.changes, 3);

    m.setBoolValue(2, true);
    EXPECT_EQ(m.getText(2), "High");
    m.setValue(0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.getValue(0), 2.0f);
}

TEST(ParameterManager, AddParameterTakesOwnership)
{
    ParameterManager m;
    EXPECT_TRUE(m.addParameter(std::make_unique<IntParameter>(1000, "Line 1 Steps", 0, 4, 2)));
    EXPECT_FALSE(m.addParameter(nullptr));
    EXPECT_FALSE(m.addParameter(std::make_unique<IntParameter>(1000, "Other name", 0, 4, 3)));
    EXPECT_FALSE(m.addParameter(std::make_unique<IntParameter>(1001, "Line 1 Steps", 0, 4, 3)));
    EXPECT_EQ(m.getIntValue(1000), 2);
    EXPECT_EQ(m.getParameter(1001), nullptr);

    // A parameter that is already registered stays registered and alive.
    std::unique_ptr<Parameter> again(m.getParameter(1000));
    EXPECT_FALSE(m.addParameter(std::move(again)));
    EXPECT_EQ(m.getIntValue(1000), 2);

    // Ids far apart and negative ids share nothing.
    EXPECT_TRUE(m.addParameter(std::make_unique<IntParameter>(-1000, "Negative", 0, 4, 1)));
    EXPECT_TRUE(m.addParameter(std::make_unique<IntParameter>(300000, "Debug", 0, 4, 4)));
    EXPECT_EQ(m.getIntValue(-1000), 1);
    EXPECT_EQ(m.getIntValue(300000), 4);
}

TEST(ParameterManager, BroadcastReachesListenersAndControllers)
{
    ParameterManager m;
    load(m, kParametersXml);
    Counter listener, controller;
    m.addListenerToAll(&listener);
    m.addControllerToAll(&controller);

    m.sendAllValues();
    EXPECT_EQ(listener.changes, 9);
    EXPECT_EQ(controller.changes, 0);
    TestHelpers::pumpMessages();
    EXPECT_EQ(controller.changes, 9);

    m.removeControllerFromAll(&controller);
    m.sendAllValues();
    TestHelpers::pumpMessages();
    EXPECT_EQ(listener.changes, 18);
    EXPECT_EQ(controller.changes, 9);
}

TEST(ParameterManager, DefaultValuesAreTheNormalisedValuesAtThatMoment)
{
    ParameterManager m;
    load(m, kParametersXml);
    m.storeDefaultValues();
    m.setValue(0, 2.0f);
    EXPECT_FLOAT_EQ(m.getDefaultValue(0), 2.5f / 3.0f);
    EXPECT_FLOAT_EQ(m.getDefaultValue(2), 0.5f);
    EXPECT_EQ(m.getDefaultValue(3), 60.0f / 127.0f);
    EXPECT_EQ(m.getDefaultValue(99), 0.0f);
    m.clear();
    EXPECT_FLOAT_EQ(m.getDefaultValue(2), 0.5f) << "defaults outlive clear";
}

TEST(ParameterManager, StoreToPresetTakesTextsSortedById)
{
    ParameterManager m;
    load(m, kParametersXml);
    Preset preset("Mine", "");
    preset.addParameter(40, "left over");

    juce::SparseSet<int> ids;
    ids.addRange({ 3, 6 });
    ids.addRange({ 1, 2 });
    ids.addRange({ 8, 11 });
    m.storeToPreset(preset, ids);

    const std::pair<int, const char*> expected[] = { { 1, "32" }, { 3, "C-5" }, { 4, "on" }, { 5, "true" } };
    ASSERT_EQ(preset.getNumEntries(), 4) << "ids without a parameter are skipped, old entries dropped";
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(preset.getEntry(i)->id, expected[i].first);
        EXPECT_EQ(preset.getEntry(i)->text, juce::String(expected[i].second));
    }
    EXPECT_EQ(preset.getName(), "Mine");
}
