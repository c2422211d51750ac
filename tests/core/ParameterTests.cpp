#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/AnswerParameter.h"
#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/LogicParameter.h"
#include "core/NoteParameter.h"
#include "core/StateParameter.h"
#include "core/StringParameter.h"

#include <clocale>
#include <functional>
#include <thread>
#include <limits>
#include <locale>
#include <typeinfo>
#include <vector>

namespace
{
struct Recorder : Parameter::Listener
{
    explicit Recorder(std::vector<std::string>* logToUse = nullptr, std::string tagToUse = {})
        : log(logToUse), tag(std::move(tagToUse))
    {
    }

    void parameterChanged(Parameter* p) override
    {
        ++changes;
        lastValue = p->getText();
        if (log != nullptr)
            log->push_back(tag);
    }
    void parameterChangeGestureBegin(Parameter*) override { ++gestureBegins; }
    void parameterChangeGestureEnd(Parameter*) override { ++gestureEnds; }

    int changes = 0;
    int gestureBegins = 0;
    int gestureEnds = 0;
    juce::String lastValue;
    std::vector<std::string>* log;
    std::string tag;
};

using Factory = std::function<std::unique_ptr<Parameter>()>;

Factory intParam(int lo, int hi, int v)
{
    return [=] { return std::make_unique<IntParameter>(1, "p", lo, hi, v); };
}
Factory floatParam(float lo, float hi, float v)
{
    return [=] { return std::make_unique<FloatParameter>(1, "p", lo, hi, v); };
}
template <typename T>
Factory textParam(const char* v)
{
    return [=] { return std::make_unique<T>(1, "p", v); };
}
Factory enumParam(const char* items, const char* v)
{
    return [=] { return std::make_unique<EnumParameter>(1, "p", items, v); };
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
} // namespace

// What each type shows for what it is told, including the quirks its text form
// keeps for old presets.
TEST(Parameter, SetTextGivesText)
{
    struct Case
    {
        const char* label;
        Factory make;
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        { "int leading integer, clamped", intParam(0, 3, 0), "12abc", "3" },
        { "int negative", intParam(-10, 10, 0), "-7", "-7" },
        { "int no number", intParam(-10, 10, 5), "abc", "0" },
        { "int below range", intParam(0, 3, 2), "-5", "0" },
        { "int huge saturates", intParam(0, 100, 0), "99999999999999999999", "100" },
        { "float half", floatParam(0, 1, 0), "0.5", "0.5" },
        { "float nine digits", floatParam(0, 1, 0), "0.123456789", "0.123456791" },
        { "float large whole", floatParam(0, 20000, 0), "20000", "20000" },
        { "float clamped", floatParam(0, 1, 0), "7", "1" },
        { "float leading number", floatParam(0, 100, 0), " 12.5ms", "12.5" },
        { "float after any blanks", floatParam(0, 100, 0), "\v\f 7.25", "7.25" },
        { "float exponent", floatParam(0, 1000, 0), "1.5e2", "150" },
        { "float no number gives 0", floatParam(-1, 1, 0.5f), "abc", "0" },
        { "float negative zero shows 0", floatParam(-1, 1, 0.5f), "-0", "0" },
        { "bool yes", textParam<BoolParameter>("false"), "yes", "true" },
        { "bool Yes is a number", textParam<BoolParameter>("true"), "Yes", "false" },
        { "bool numeric 0.7", textParam<BoolParameter>("false"), "0.7", "true" },
        { "bool numeric 0.4", textParam<BoolParameter>("true"), "0.4", "false" },
        { "bool on", textParam<BoolParameter>("false"), "on", "true" },
        { "bool ON is a number", textParam<BoolParameter>("true"), "ON", "false" },
        { "logic 1", textParam<LogicParameter>("0"), "1", "1" },
        { "logic true falls through", textParam<LogicParameter>("0"), "true", "1" },
        { "logic 0", textParam<LogicParameter>("1"), "0", "0" },
        { "state ON", textParam<StateParameter>("off"), "ON", "on" },
        { "state Off", textParam<StateParameter>("on"), "Off", "off" },
        { "state yes falls through", textParam<StateParameter>("off"), "yes", "on" },
        { "answer yes", textParam<AnswerParameter>("no"), "yes", "yes" },
        { "answer YES is a number", textParam<AnswerParameter>("yes"), "YES", "no" },
        { "answer 1", textParam<AnswerParameter>("no"), "1", "yes" },
        { "string kept as is", textParam<StringParameter>(""), " Any Text ", " Any Text " },
        { "enum item", enumParam("Off;Low;High", "Off"), "Low", "Low" },
        { "enum item case matters", enumParam("Off;Low;High", "High"), "low", "Off" },
        { "enum normalised number", enumParam("Off;Low;High", "Off"), "1", "High" },
        { "enum normalised half", enumParam("Off;Low;High", "Off"), "0.5", "Low" },
        { "enum empty first item", enumParam(";A", "A"), "", "" },
        { "note C-5", textParam<NoteParameter>("C-0"), "C-5", "C-5" },
        { "note G#9", textParam<NoteParameter>("C-0"), "G#9", "G#9" },
        { "note A-H capped", textParam<NoteParameter>("C-0"), "A-H", "G-H" },
        { "note E# is E", textParam<NoteParameter>("C-0"), "E#3", "E-3" },
        { "note lower case is a number", textParam<NoteParameter>("C-5"), "c-5", "C-0" },
        { "note normalised 1", textParam<NoteParameter>("C-5"), "1", "G-H" },
    };

    for (const auto& c : cases)
    {
        auto p = c.make();
        p->setText(c.input, false);
        EXPECT_EQ(p->getText(), juce::String(c.expected)) << c.label;
    }
}

// Every text a parameter writes reads back to the very same value, as presets need.
TEST(Parameter, TextRoundTripKeepsTheValue)
{
    const std::vector<Factory> makers = {
        intParam(-1000, 1000, -273),
        floatParam(0, 1, 0.123456789f),
        floatParam(0, 20000, 19999.99f),
        floatParam(-1, 1, -1.0e-7f),
        floatParam(0, 1, 1.0f / 3.0f),
        textParam<BoolParameter>("true"),
        textParam<LogicParameter>("1"),
        textParam<StateParameter>("on"),
        textParam<AnswerParameter>("yes"),
        textParam<StringParameter>("a;b c"),
        enumParam("Off;Low;High", "High"),
        textParam<NoteParameter>("F#7"),
    };

    for (const auto& make : makers)
    {
        auto source = make();
        auto destination = source->clone(2, "copy");
        destination->setNormalisedValue(0.0f, false);
        destination->setText("", false);
        destination->setText(source->getText(), false);
        EXPECT_EQ(destination->getText(), source->getText());
        EXPECT_EQ(destination->getValue(), source->getValue()) << source->getText();
    }
}

TEST(Parameter, FloatTextIsTheSameUnderEveryLocale)
{
    FloatParameter p(1, "p", 0.0f, 10.0f, 2.25f);
    const char* const oldLocale = std::setlocale(LC_ALL, nullptr);
    const std::string saved = oldLocale != nullptr ? oldLocale : "C";
    for (const char* name : { "de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8" })
    {
        if (std::setlocale(LC_ALL, name) == nullptr)
            continue;
        EXPECT_EQ(p.getText(), "2.25") << name;
        p.setText("3.5", false);
        EXPECT_EQ(p.getValue(), 3.5f) << name;
        p.setText("2.25", false);
    }
    std::setlocale(LC_ALL, saved.c_str());

    // The machine may have no such locale installed; a C++ global locale with a
    // decimal comma and digit grouping stands in for one.
    struct CommaDecimal : std::numpunct<char>
    {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    FloatParameter large(2, "large", 0.0f, 100000.0f, 12345.5f);
    EXPECT_EQ(large.getText(), "12345.5");
    large.setText("20000.25", false);
    EXPECT_EQ(large.getValue(), 20000.25f);
    EXPECT_EQ(FloatParameter::formatValue(0.123456789f), "0.123456791");
    std::locale::global(previous);
}

TEST(Parameter, SteppedNormalisedMapping)
{
    struct Case
    {
        Factory make;
        float normalised;
        int expected;
    };
    const Case cases[] = {
        { intParam(0, 3, 0), 0.5f, 2 },  { intParam(0, 3, 0), 0.49f, 1 }, { intParam(0, 3, 0), 1.7f, 3 },
        { intParam(0, 3, 2), -0.2f, 0 }, { intParam(1, 32, 1), 1.0f, 32 }, { intParam(-5, 5, 0), 0.0f, -5 },
        { intParam(-5, 5, 0), 0.55f, 1 }, { enumParam("a;b;c;d", "a"), 0.34f, 1 },
        { enumParam("a;b;c;d", "a"), 0.5f, 2 }, { textParam<NoteParameter>("C-0"), 0.5f, 64 },
        { textParam<NoteParameter>("C-0"), 60.0f / 127.0f, 60 },
    };
    for (const auto& c : cases)
    {
        auto p = c.make();
        p->setNormalisedValue(c.normalised, false);
        EXPECT_EQ(p->getIntValue(), c.expected) << c.normalised;
    }

    // Every step maps to its own normalised value and back again.
    for (int lo : { 0, 1, -3 })
        for (int hi : { lo + 1, lo + 2, lo + 31, lo + 127 })
        {
            IntParameter p(1, "p", lo, hi, lo);
            for (int v = lo; v <= hi; ++v)
            {
                p.setIntValue(v, false);
                const float n = p.getNormalisedValue();
                p.setIntValue(lo == v ? hi : lo, false);
                p.setNormalisedValue(n, false);
                EXPECT_EQ(p.getIntValue(), v) << lo << ".." << hi;
            }
        }
}

TEST(Parameter, ConversionsBetweenForms)
{
    IntParameter i(1, "i", 0, 3, 0);
    i.setValue(2.9f, false);
    EXPECT_EQ(i.getIntValue(), 2);
    i.setValue(-0.5f, false);
    EXPECT_EQ(i.getIntValue(), 0);
    i.setValue(3.0e9f, false);
    EXPECT_EQ(i.getIntValue(), 3);
    i.setBoolValue(true, false);
    EXPECT_EQ(i.getIntValue(), 3);
    EXPECT_TRUE(i.getBoolValue());

    FloatParameter f(2, "f", 0.0f, 1.0f, 0.5f);
    EXPECT_TRUE(f.getBoolValue());
    f.setValue(0.4999f, false);
    EXPECT_FALSE(f.getBoolValue());
    FloatParameter big(3, "big", -1.0e30f, 1.0e30f, 1.0e20f);
    EXPECT_EQ(big.getIntValue(), std::numeric_limits<int>::max());
    big.setValue(-1.0e20f, false);
    EXPECT_EQ(big.getIntValue(), std::numeric_limits<int>::min());

    FloatParameter zeroWidth(4, "z", 2.0f, 2.0f, 2.0f);
    EXPECT_EQ(zeroWidth.getNormalisedValue(), 0.0f);
    EnumParameter oneItem(5, "e", "Only", "Only");
    EXPECT_EQ(oneItem.getNormalisedValue(), 0.0f);
    EXPECT_EQ(oneItem.getMaximum(), 0);

    EnumParameter e(6, "e", "Off;Low;High", "Low");
    EXPECT_EQ(e.getMinimum(), 0);
    EXPECT_EQ(e.getMaximum(), 2);
    EXPECT_TRUE(e.getBoolValue());
    e.setItems("");
    EXPECT_EQ(e.getMaximum(), 2) << "no items leaves the range";
    EXPECT_EQ(e.getText(), "");

    StringParameter s(7, "s", "");
    s.setBoolValue(true, false);
    EXPECT_EQ(s.getText(), "true");
    EXPECT_TRUE(s.getBoolValue());
    s.setBoolValue(false, false);
    EXPECT_FALSE(s.getBoolValue());
    s.setIntValue(-12, false);
    EXPECT_EQ(s.getText(), "-12");
    EXPECT_EQ(s.getIntValue(), -12);
    EXPECT_EQ(s.getNormalisedValue(), 0.0f);
    s.setText("inf", false);
    EXPECT_EQ(s.getValue(), 0.0f) << "a text never hands out a non-finite number";

    IntParameter fromFloat(8, "i", 0, 10, 0);
    FloatParameter source(9, "f", 0.0f, 10.0f, 7.8f);
    fromFloat.setFromParameter(source, false);
    EXPECT_EQ(fromFloat.getIntValue(), 7);
    BoolParameter b(10, "b", "false");
    b.setFromParameter(source, false);
    EXPECT_TRUE(b.getBoolValue());
}

TEST(Parameter, RangeChangesClampAndNotify)
{
    IntParameter p(1, "p", 0, 10, 8);
    Recorder r;
    p.addListener(&r);
    p.setMaximum(5);
    EXPECT_EQ(p.getIntValue(), 5);
    EXPECT_EQ(r.changes, 1);
    p.setMinimum(6);
    EXPECT_EQ(p.getMinimum(), 0) << "a minimum above the maximum is refused";
    p.setMaximum(-1);
    EXPECT_EQ(p.getMaximum(), 5) << "a maximum below the minimum is refused";
    p.setMinimum(2);
    EXPECT_EQ(r.changes, 1) << "value 5 stays inside 2..5";
}

TEST(Parameter, NonFiniteValuesNeverReachAParameter)
{
    const std::vector<Factory> makers = {
        intParam(0, 100, 40),       floatParam(-10, 10, 4),           textParam<BoolParameter>("true"),
        textParam<StateParameter>("on"), textParam<StringParameter>("x"), enumParam("a;b;c", "b"),
        textParam<NoteParameter>("C-5"),
    };
    const float values[] = { kNaN, kInf, -kInf };
    const char* const texts[] = { "nan", "inf", "-inf", "infinity", "1e999", "-1e40", "NaN" };

    for (const auto& make : makers)
    {
        auto p = make();
        const juce::String before = p->getText();
        Recorder r;
        p->addListener(&r);
        for (float v : values)
        {
            p->setValue(v, true);
            p->setNormalisedValue(v, true);
        }
        // Integer and string texts hold no float to reject: "nan" is text or no integer there.
        const bool readsFloatText = typeid(*p) != typeid(StringParameter) && typeid(*p) != typeid(IntParameter);
        for (const char* t : texts)
            if (readsFloatText)
                p->setText(t, true);
        EXPECT_EQ(p->getText(), before);
        EXPECT_EQ(r.changes, 0) << before;
    }

    FloatParameter tiny(1, "t", -1.0f, 1.0f, 0.5f);
    tiny.setText("1e-999", false);
    EXPECT_EQ(tiny.getValue(), 0.0f) << "a number too small for a float is zero";
    const std::string zeros(400, '0');
    tiny.setText("0.5", false);
    tiny.setText("0." + zeros + "1", false);
    EXPECT_EQ(tiny.getValue(), 0.0f) << "written out without an exponent, too";
    tiny.setText("0.5", false);
    tiny.setText("1" + zeros + "e-500", false);
    EXPECT_EQ(tiny.getValue(), 0.0f) << "many digits before a large negative exponent";
    tiny.setText("0.5", false);
    tiny.setText("0." + zeros + "1e999", false);
    EXPECT_EQ(tiny.getValue(), 0.5f) << "a huge number is ignored, whatever its leading zeros";
    tiny.setText("1" + zeros, false);
    EXPECT_EQ(tiny.getValue(), 0.5f);
    FloatParameter nanRange(2, "n", kNaN, kInf, kNaN);
    EXPECT_EQ(nanRange.getValue(), 0.0f);
    EXPECT_EQ(nanRange.getMaximum(), 1.0f);
}

TEST(Parameter, StoreRuleAndNotification)
{
    std::vector<std::string> order;
    IntParameter p(1, "p", 0, 10, 5);
    Recorder first(&order, "first"), second(&order, "second"), controller(&order, "controller");
    p.addListener(&first);
    p.addListener(&second);
    p.addListener(&second);
    p.addListener(nullptr);
    p.addController(&controller);
    p.addController(&controller);

    // Same value: nobody hears, with or without notify.
    p.setIntValue(5, true);
    p.setText("5", true);
    p.setNormalisedValue(0.5f, true);
    TestHelpers::pumpMessages();
    EXPECT_TRUE(order.empty());

    // Silent write: the value changes, nobody hears.
    p.setIntValue(6, false);
    TestHelpers::pumpMessages();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(p.getIntValue(), 6);

    // Listeners at once, newest first; controllers only after the message thread ran.
    p.setIntValue(7, true);
    EXPECT_EQ(order, (std::vector<std::string> { "second", "first" }));
    p.setIntValue(8, true);
    EXPECT_EQ(controller.changes, 0);
    TestHelpers::pumpMessages();
    EXPECT_EQ(order, (std::vector<std::string> { "second", "first", "second", "first", "controller" }))
        << "two writes fold into one controller update";
    EXPECT_EQ(controller.lastValue, "8");

    // The broadcast tells everybody even without a change.
    order.clear();
    p.sendValueChanged();
    TestHelpers::pumpMessages();
    EXPECT_EQ(order, (std::vector<std::string> { "second", "first", "controller" }));

    // Gestures reach listeners only.
    p.beginChangeGesture();
    p.endChangeGesture();
    EXPECT_EQ(first.gestureBegins, 1);
    EXPECT_EQ(first.gestureEnds, 1);
    EXPECT_EQ(controller.gestureBegins, 0);

    // A removed controller hears nothing more.
    order.clear();
    p.removeController(&controller);
    p.setIntValue(1, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(order, (std::vector<std::string> { "second", "first" }));
}

TEST(Parameter, StoreRuleComparesPerType)
{
    struct Case
    {
        const char* label;
        Factory make;
        std::function<void(Parameter&)> write;
        int expectedChanges;
    };
    const Case cases[] = {
        { "float equal value", floatParam(0, 1, 0.25f), [](Parameter& p) { p.setValue(0.25f, true); }, 0 },
        { "float negative zero equals zero", floatParam(-1, 1, 0.0f), [](Parameter& p) { p.setValue(-0.0f, true); }, 0 },
        { "float clamps to same", floatParam(0, 1, 1.0f), [](Parameter& p) { p.setValue(5.0f, true); }, 0 },
        { "bool different word same value", textParam<BoolParameter>("true"), [](Parameter& p) { p.setText("yes", true); }, 0 },
        { "string differs in case", textParam<StringParameter>("abc"), [](Parameter& p) { p.setText("ABC", true); }, 1 },
        { "string equal", textParam<StringParameter>("abc"), [](Parameter& p) { p.setText("abc", true); }, 0 },
        { "enum same item by number", enumParam("a;b;c", "c"), [](Parameter& p) { p.setText("1", true); }, 0 },
        { "note new note", textParam<NoteParameter>("C-5"), [](Parameter& p) { p.setText("D-5", true); }, 1 },
    };
    for (const auto& c : cases)
    {
        auto p = c.make();
        Recorder r;
        p->addListener(&r);
        c.write(*p);
        EXPECT_EQ(r.changes, c.expectedChanges) << c.label;
    }
}

TEST(Parameter, ConstructorsReadTheirText)
{
    EXPECT_TRUE(StateParameter(1, "s", "ON").getBoolValue());
    EXPECT_FALSE(AnswerParameter(1, "a", "YES").getBoolValue());
    EXPECT_TRUE(LogicParameter(1, "l", "1").getBoolValue());
    EXPECT_EQ(NoteParameter(1, "n", "no note").getIntValue(), 0);
    EXPECT_EQ(NoteParameter(1, "n", "0.5").getIntValue(), 0) << "no numeric reading at construction";
    EXPECT_EQ(EnumParameter(1, "e", "a;b;c", "0.5").getText(), "b");
    EXPECT_EQ(IntParameter(1, "i", 0, 3, 9).getIntValue(), 3);
    EXPECT_EQ(FloatParameter(1, "f", 0.0f, 1.0f, -3.0f).getValue(), 0.0f);
}

TEST(Parameter, CloneCopiesClassRangeValueAndFlag)
{
    NoteParameter note(1, "Note", "G#9");
    note.setAutomatable(true);
    Recorder r;
    note.addListener(&r);
    note.addController(&r);

    auto copy = note.clone(1001, "Line 1 Note");
    ASSERT_NE(dynamic_cast<NoteParameter*>(copy.get()), nullptr);
    EXPECT_EQ(copy->getId(), 1001);
    EXPECT_EQ(copy->getName(), "Line 1 Note");
    EXPECT_EQ(copy->getText(), "G#9");
    EXPECT_TRUE(copy->isAutomatable());
    copy->setNormalisedValue(1.0f, true);
    EXPECT_EQ(copy->getIntValue(), 127);
    TestHelpers::pumpMessages();
    EXPECT_EQ(r.changes, 0) << "the clone starts with no listeners or controllers";

    EnumParameter e(2, "Mode", "Off;Low;High", "High");
    auto enumCopy = e.clone(3, "Mode 2");
    ASSERT_NE(dynamic_cast<EnumParameter*>(enumCopy.get()), nullptr);
    EXPECT_EQ(enumCopy->getText(), "High");
    enumCopy->setText("Low", false);
    EXPECT_EQ(enumCopy->getIntValue(), 1);

    FloatParameter f(4, "f", 0.0f, 1000.0f, 250.0f);
    auto floatCopy = f.clone(5, "g");
    floatCopy->setNormalisedValue(1.0f, false);
    EXPECT_EQ(floatCopy->getValue(), 1000.0f);
    EXPECT_FALSE(floatCopy->isAutomatable());

    for (auto* p : std::initializer_list<Parameter*> { new StateParameter(1, "s", "on"), new AnswerParameter(1, "a", "yes"),
                                                       new LogicParameter(1, "l", "1"), new StringParameter(1, "t", "x") })
    {
        std::unique_ptr<Parameter> owned(p);
        auto c = owned->clone(9, "c");
        EXPECT_EQ(typeid(*c), typeid(*owned));
        EXPECT_EQ(c->getText(), owned->getText());
    }
}

// Host automation and the editor write the same parameter from two threads; each
// write that changes the value reaches the listener, and nothing is torn or lost
// in the listener walk.
TEST(Parameter, WritersOnTwoThreads)
{
    struct Counting : Parameter::Listener
    {
        void parameterChanged(Parameter* p) override
        {
            const float v = p->getValue();
            if (v != 0.25f && v != 0.75f)
                torn = true;
            ++changes;
        }
        std::atomic<int> changes { 0 };
        std::atomic<bool> torn { false };
    };

    FloatParameter p(1, "p", 0.0f, 1.0f, 0.25f);
    Counting listener;
    p.addListener(&listener);

    constexpr int kWrites = 20000;
    auto writer = [&](float value) {
        for (int i = 0; i < kWrites; ++i)
            p.setValue(i % 2 == 0 ? value : 0.25f, true);
    };
    std::thread other(writer, 0.75f);
    writer(0.75f);
    other.join();
    TestHelpers::pumpMessages();

    EXPECT_FALSE(listener.torn.load());
    EXPECT_GT(listener.changes.load(), 0);
    EXPECT_LE(listener.changes.load(), 2 * kWrites);
}
