#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include "processor/dsp/DelayCore.h"
#include "processor/dsp/DelayEngine.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <thread>

using namespace TavinorTest;

namespace
{
// Two presses of a tap switch, each followed by blocks of 441 samples of
// silence (10 ms at 44.1 kHz); the processor must be prepared for 441.
void tapTwice(Tavinor& t, int tapSwitch, int blocksAfterEachTap)
{
    auto& pm = t.getParameterManager();
    juce::AudioBuffer<float> buffer(2, 441);
    juce::MidiBuffer midi;
    for (int tapNumber = 0; tapNumber < 2; ++tapNumber)
    {
        pm.setBoolValue(tapSwitch, true);
        pm.setBoolValue(tapSwitch, false);
        for (int b = 0; b < blocksAfterEachTap; ++b)
        {
            buffer.clear();
            t.processBlock(buffer, midi);
        }
    }
}
} // namespace

TEST(TavinorDispatch, LinesAreClonedFromTheTemplate)
{
    auto t = makeProcessor();
    ASSERT_NE(t, nullptr);
    auto& pm = t->getParameterManager();
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
        {
            const int id = Tavinor::getLineParameterBase(line) + k;
            ASSERT_NE(pm.getParameter(id), nullptr) << id;
            EXPECT_EQ(pm.getParameterName(id), "Line " + juce::String(line + 1) + " " + pm.getParameterName(k));
        }
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(0, Tavinor::kLevel)), pm.getNormalisedValue(Tavinor::kLevel));
    for (const int silent : { lineId(1, Tavinor::kLevel), lineId(2, Tavinor::kLevel), lineId(3, Tavinor::kLevel) })
    {
        EXPECT_EQ(pm.getNormalisedValue(silent), 0.0f);
        EXPECT_EQ(pm.getDefaultValue(silent), 0.0f);
    }
    EXPECT_TRUE(t->getParametersStateIds().contains(lineId(0, Tavinor::kDelayLeftMs)));
    EXPECT_FALSE(t->getParametersStateIds().contains(lineId(0, Tavinor::kDelayLeftKnob)));
    EXPECT_FALSE(t->getParametersStateIds().contains(lineId(3, Tavinor::kFreeze)));
    EXPECT_TRUE(t->getParametersStateIds().contains(Tavinor::kOutputGain));
    EXPECT_FALSE(t->getParametersStateIds().contains(Tavinor::kSelectedLine));
}

TEST(TavinorDispatch, AFreshInstanceHoldsItsDefaults)
{
    // The start-up broadcast runs every knob through the pair handling; the
    // stored times must come out of it exactly as they went in, so that a new
    // instance, its "Default" preset and the defaults the host reads agree.
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    auto current = t->createPresetToSave(nullptr, {});
    const auto* defaults = t->getDefaultPreset(nullptr);
    ASSERT_EQ(current->getNumEntries(), defaults->getNumEntries());
    for (int i = 0; i < current->getNumEntries(); ++i)
        EXPECT_EQ(current->getEntry(i)->text, defaults->getEntry(i)->text) << current->getEntry(i)->id;
    for (const int id : { (int) Tavinor::kDelayLeftMs, (int) Tavinor::kDelayRightMs, (int) Tavinor::kPreDelayLeftMs,
                          (int) Tavinor::kPreDelayRightMs, lineId(0, Tavinor::kDelayLeftMs), lineId(0, Tavinor::kDelayRightMs),
                          lineId(0, Tavinor::kPreDelayLeftMs), lineId(0, Tavinor::kPreDelayRightMs),
                          lineId(3, Tavinor::kDelayLeftMs), lineId(3, Tavinor::kPreDelayLeftMs) })
        EXPECT_EQ(pm.getNormalisedValue(id), pm.getDefaultValue(id)) << id;
    EXPECT_EQ(pm.getValue(lineId(0, Tavinor::kDelayLeftMs)), 375.0f);
    EXPECT_EQ(pm.getValue(lineId(0, Tavinor::kPreDelayLeftMs)), 0.0f);

    // Moving a knob still moves its time.
    pm.setNormalisedValue(lineId(0, Tavinor::kDelayLeftKnob), 0.5f);
    EXPECT_NEAR(pm.getNormalisedValue(lineId(0, Tavinor::kDelayLeftMs)), Tavinor::timeFromKnob(0.5), 1e-7);
}

TEST(TavinorDispatch, ProxiesFollowTheSelectedLine)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    pm.setNormalisedValue(Tavinor::kFeedback, 0.9f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(0, Tavinor::kFeedback)), 0.9f);

    pm.setNormalisedValue(lineId(2, Tavinor::kFeedback), 0.2f);
    pm.setIntValue(Tavinor::kSelectedLine, 3);
    EXPECT_EQ(t->getSelectedLine(), 2);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(Tavinor::kFeedback), 0.2f);
    pm.setNormalisedValue(Tavinor::kFeedback, 0.4f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(2, Tavinor::kFeedback)), 0.4f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(lineId(0, Tavinor::kFeedback)), 0.9f);

    // A line that is not selected leaves the proxies alone.
    pm.setNormalisedValue(lineId(0, Tavinor::kFeedback), 0.7f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(Tavinor::kFeedback), 0.4f);
}

TEST(TavinorDispatch, KnobAndMillisecondsStayInStep)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    const int base = Tavinor::getLineParameterBase(1);
    pm.setValue(base + Tavinor::kDelayLeftMs, 250.0f);
    EXPECT_NEAR(pm.getNormalisedValue(base + Tavinor::kDelayLeftKnob), Tavinor::knobFromTime(0.25), 1e-6);
    pm.setNormalisedValue(base + Tavinor::kPreDelayRightKnob, 0.5f);
    EXPECT_NEAR(pm.getValue(base + Tavinor::kPreDelayRightMs), 1000.0 * Tavinor::timeFromKnob(0.5), 1e-3);

    EXPECT_DOUBLE_EQ(Tavinor::knobFromTime(0.0), 0.0);
    EXPECT_DOUBLE_EQ(Tavinor::timeFromKnob(1.0), 1.0);
    for (const double t01 : { 0.001, 0.1, 0.375, 0.9 })
        EXPECT_NEAR(Tavinor::timeFromKnob(Tavinor::knobFromTime(t01)), t01, 1e-9);
}

TEST(TavinorDispatch, NoteLearnSwitchesExcludeEachOther)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    pm.setBoolValue(Tavinor::kFirstNoteLearn + 1, true);
    pm.setBoolValue(Tavinor::kFirstNoteLearn, true);
    EXPECT_FALSE(pm.getBoolValue(Tavinor::kFirstNoteLearn + 1));
    EXPECT_TRUE(t->getRetriggerNote(0).isLearning());
    EXPECT_FALSE(t->getRetriggerNote(1).isLearning());
    pm.setBoolValue(Tavinor::kLastNoteLearn, true);
    EXPECT_FALSE(pm.getBoolValue(Tavinor::kFirstNoteLearn));
    pm.setBoolValue(Tavinor::kLastNoteLearn, false);
    EXPECT_FALSE(pm.getBoolValue(Tavinor::kFirstNoteLearn));
    EXPECT_FALSE(t->getRetriggerNote(3).isLearning());
}

TEST(TavinorDispatch, RetriggerRecordsFollowTheirParameters)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    const float usersDefaultNote = pm.getValue(Tavinor::kDefaultMod1RetriggerNote);
    pm.setText(Tavinor::kMod2RetriggerChannel, "16");
    pm.setText(Tavinor::kDefaultMod1RetriggerNote, "A-3");
    EXPECT_EQ(t->getRetriggerNote(1).getChannel(), 16);
    EXPECT_EQ(t->getRetriggerNote(2).getNote(), 45);
    // The default note is the user's setting, kept for every instance made
    // after this one: later tests (a preset retriggered by its note) expect
    // the one a new user has.
    pm.setValue(Tavinor::kDefaultMod1RetriggerNote, usersDefaultNote);
}

TEST(TavinorDispatch, SyncedModulatorRateReachesTheClock)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->prepareToPlay(44100.0, 64);
    pm.setIntValue(Tavinor::kMod1Rate, 9);   // 2^(9-7) = 4 cycles a beat
    pm.setIntValue(Tavinor::kMod1Scale, 1);  // dotted: 2/3
    juce::AudioBuffer<float> buffer(2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    t->processBlock(buffer, midi);
    EXPECT_NEAR(t->getClock(0).getRate(), 4.0 * 2.0 / 3.0, 1e-12);
    pm.setIntValue(Tavinor::kMod2Rate, 0);
    t->processBlock(buffer, midi);
    EXPECT_NEAR(t->getClock(1).getRate(), 1.0 / 128.0, 1e-12);
}

TEST(TavinorDispatch, ConcurrentRateChangesLeaveTheClockInStepWithTheParameter)
{
    // Two threads automate MOD 1's synced rate at the same moment, as a host
    // and the editor may; then the rate and the scale. Whatever order they end
    // in, the clock and the engine must run at the rate the parameters show.
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->prepareToPlay(44100.0, 64);
    pm.setBoolValue(Tavinor::kMod1First + Tavinor::kModulatorSync, true);
    juce::AudioBuffer<float> buffer(2, 64);
    juce::MidiBuffer midi;

    constexpr int kRounds = 4000;
    std::atomic<int> round { -1 };
    std::atomic<int> done { 0 };
    // Each round both threads write one value as soon as the round opens.
    auto automate = [&](bool first) {
        for (int r = 0; r < kRounds; ++r)
        {
            while (round.load() < r)
                std::this_thread::yield();
            if (r % 2 == 0)
                pm.setIntValue(Tavinor::kMod1Rate, first ? r % 5 : 5 + r % 6);
            else if (first)
                pm.setIntValue(Tavinor::kMod1Rate, r % 11);
            else
                pm.setIntValue(Tavinor::kMod1Scale, r % 3);
            done.fetch_add(1);
        }
    };
    std::thread a(automate, true), b(automate, false);

    const double scales[] = { 1.0, 2.0 / 3.0, 1.5 };
    bool inStep = true;
    for (int r = 0; r < kRounds && inStep; ++r)
    {
        round.store(r);
        while (done.load() < 2 * (r + 1))
            std::this_thread::yield();
        buffer.clear();
        t->processBlock(buffer, midi);
        const double expected = std::pow(2.0, pm.getIntValue(Tavinor::kMod1Rate) - 7)
                                * scales[pm.getIntValue(Tavinor::kMod1Scale)];
        const juce::ScopedLock sl(t->getEngineLock());
        inStep = t->getClock(0).getRate() == expected && t->getEngine()->getOscillator(0).rateFactor == expected;
        EXPECT_TRUE(inStep) << "round " << r << ": clock " << t->getClock(0).getRate() << ", engine "
                            << t->getEngine()->getOscillator(0).rateFactor << ", parameters " << expected;
    }
    round.store(kRounds);
    a.join();
    b.join();
}

TEST(TavinorDispatch, DisplayTexts)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    struct Case { int id; float v; const char* text; };
    const Case cases[] = {
        { lineId(0, Tavinor::kLevel), 0.0f, "-inf." },
        { lineId(0, Tavinor::kLevel), 1.0f, "+12.0 dB" },
        { lineId(0, Tavinor::kLevel), 0.75f, "+0.0 dB" },
        { lineId(1, Tavinor::kBalance), 0.25f, "75/25 % (L/R)" },
        { lineId(0, Tavinor::kResonance), 0.456f, "45 %" },
        { lineId(0, Tavinor::kPreamp), 0.0f, "0.00 dB" },
        { lineId(0, Tavinor::kPreamp), 0.5f, "+24.00 dB" },
        { lineId(0, Tavinor::kPreamp), 1.0f, "+48.00 dB" },
        { lineId(0, Tavinor::kOverdriveGain), 1.0f, "0.00 dB" },
        { lineId(0, Tavinor::kOverdriveGain), 0.0f, "-18.06 dB" },
        { lineId(0, Tavinor::kFeedback), 0.5f, "0 %" },
        { lineId(0, Tavinor::kFeedback), 1.0f, "+100 %" },
        { lineId(0, Tavinor::kFeedback), 0.0f, "-100 %" },
        { lineId(0, Tavinor::kColor), 0.75f, "+50 %" },
        { lineId(0, Tavinor::kFreeze), 1.0f, "@" },
        { Tavinor::kMod1First + Tavinor::kModulatorStereoPhase, 0.5f, "90.0 deg" },
        { Tavinor::kMod1First + Tavinor::kEnvelopeHold, 0.5f, "500 ms" },
        { Tavinor::kMod1First + Tavinor::kEnvelopeHold, 1.0f, "1.0 s" },
        { Tavinor::kMod1First + Tavinor::kEnvelopeSustain, 0.333f, "33%" },
        { Tavinor::kLimiterThreshold, 0.5f, "-12.00 dB" },
        { Tavinor::kDryWet, 0.25f, "75/25 % (Dry/Wet)" }, { Tavinor::kDryWet, 0.35f, "65/35 % (Dry/Wet)" },
        { lineId(0, Tavinor::kFeedback), 0.675f, "+35 %" },
        { lineId(0, Tavinor::kFeedback), 0.325f, "-35 %" },
        { lineId(0, Tavinor::kTremoloDepth), 0.29f, "29 %" },
        { Tavinor::kOutputGain, 0.5f, "+0.0 dB" },
        { Tavinor::kOutputGain, 0.0f, "-inf." },
        { Tavinor::kOutputGain, 0.25f, "-12.0 dB" },
        { Tavinor::kTapLeft, 0.0f, "@" },
    };
    for (const auto& c : cases)
    {
        pm.setNormalisedValue(c.id, c.v);
        EXPECT_EQ(t->getPluginParameterText(c.id), c.text) << c.id << " at " << c.v;
    }

    pm.setIntValue(lineId(0, Tavinor::kDelayLeftNumerator), 3);
    pm.setIntValue(lineId(0, Tavinor::kDelayLeftDenominator), 16);
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kDelayLeftNumerator)), "3/16");
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kDelayLeftDenominator)), "3/16");
    pm.setValue(lineId(0, Tavinor::kDelayLeftMs), 375.0f);
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kDelayLeftKnob)), "375.00 ms");
    EXPECT_EQ(t->getPluginParameterText(Tavinor::kMod1Frequency),
              juce::String(std::exp(3.258840824040285 * pm.getNormalisedValue(Tavinor::kMod1Frequency))
                                   * 1.5947651006752834 - 1.494765100692059, 2) + " Hz");

}

namespace
{
// The number a display text shows, in the unit of its curve: decibels (minus
// infinity for "-inf."), hertz, degrees, per cent (of the second part of a
// pair), seconds (from "ms" too) or the stereo offset in ms (negative to the left).
double shownNumber(const juce::String& text)
{
    if (text == "-inf.")
        return -std::numeric_limits<double>::infinity();
    if (text == "No spread")
        return 0.0;
    if (text.startsWith("Left ") || text.startsWith("Mid "))
        return -text.fromFirstOccurrenceOf(" ", false, false).getDoubleValue();
    if (text.startsWith("Right ") || text.startsWith("Side "))
        return text.fromFirstOccurrenceOf(" ", false, false).getDoubleValue();
    if (text.contains("/"))
        return text.fromFirstOccurrenceOf("/", false, false).getDoubleValue();
    if (text.endsWith(" ms"))
        return text.getDoubleValue() / 1000.0;
    return text.getDoubleValue();
}

double decibels(double gain)
{
    // The engine keeps a gain of 0 a hair above it (the denormal guard).
    return gain > 1e-15 ? 20.0 * std::log10(gain) : -std::numeric_limits<double>::infinity();
}
} // namespace

TEST(TavinorDispatch, DisplayTextsShowWhatTheEngineTakes)
{
    // The display and the engine each take a parameter's curve from one
    // function; through the processor, as a host sees both, they agree to
    // the text's last digit.
    auto t = makeProcessor();
    t->prepareToPlay(44100.0, 512);
    auto& pm = t->getParameterManager();
    const DelayEngine& engine = *t->getEngine();
    DelayCore& core = t->getEngine()->getDelayCore(0);
    const int line = Tavinor::getLineParameterBase(0);
    pm.setBoolValue(line + Tavinor::kDelaySync, false);
    pm.setValue(line + Tavinor::kDelayLeftMs, 300.0f);
    constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
    struct Case
    {
        int id;
        // How far apart the two may be: half the text's last digit, or a whole
        // one where the text truncates.
        double tolerance;
        std::function<double()> engineValue;
    };
    const Case cases[] = {
        { line + Tavinor::kLevel, 0.05, [&] { return decibels(core.getLevel()); } },
        { line + Tavinor::kPreamp, 0.005, [&] { return decibels(core.getPreampGain()); } },
        { line + Tavinor::kOverdriveGain, 0.005, [&] { return decibels(core.getOverdriveGain()); } },
        { line + Tavinor::kFeedback, 1.0, [&] { return 100.0 * core.getFeedback(); } },
        // The text takes the left time 0.1 ms long (DelayCore::getLeftTimeMs):
        // up to 0.05 ms more offset.
        { line + Tavinor::kStereoOffset, 0.06,
          [&] { return (double) core.getStereoOffsetSamples() / 44.1; } },
        { Tavinor::kMod1Frequency, 0.005, [&] { return engine.getOscillator(0).freeRate; } },
        { Tavinor::kMod2Frequency, 0.005, [&] { return engine.getOscillator(2).freeRate; } },
        { Tavinor::kMod1First + Tavinor::kModulatorStereoPhase, 0.05,
          [&] { return engine.getOscillator(1).phaseOffset * kDegreesPerRadian; } },
        { Tavinor::kMod2First + Tavinor::kEnvelopeHold, 0.05,
          [&] { return engine.getModulator(1).envelope.holdLength / 44100.0; } },
        { Tavinor::kLimiterThreshold, 0.005, [&] { return (double) engine.getLimiter().getThresholdDb(); } },
        { Tavinor::kDryWet, 1.0, [&] { return 100.0 * engine.getWetAmount(); } },
        { Tavinor::kOutputGain, 0.05, [&] { return decibels(engine.getOutputGainTarget()); } },
    };
    for (const auto& c : cases)
        for (const float v : { 0.0f, 0.013f, 0.1f, 0.25f, 0.333f, 0.5f, 0.62f, 0.75f, 0.9f, 0.999f, 1.0f })
        {
            pm.setNormalisedValue(c.id, v);
            const auto text = t->getPluginParameterText(c.id);
            const double shown = shownNumber(text);
            const double applied = c.engineValue();
            if (std::isinf(shown) || std::isinf(applied))
                EXPECT_EQ(shown, applied) << c.id << " at " << v << ": " << text;
            else
                EXPECT_NEAR(shown, applied, c.tolerance + 1e-6 * std::abs(applied)) << c.id << " at " << v << ": "
                                                                                    << text;
        }
}

TEST(TavinorDispatch, StereoOffsetText)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->prepareToPlay(44100.0, 512);
    pm.setBoolValue(lineId(0, Tavinor::kDelaySync), false);
    pm.setValue(lineId(0, Tavinor::kDelayLeftMs), 200.0f);
    const double leftMs = t->getEngine()->getLeftTimeMs(0);
    pm.setNormalisedValue(lineId(0, Tavinor::kStereoOffset), 0.5f);
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kStereoOffset)), "No spread");
    pm.setNormalisedValue(lineId(0, Tavinor::kStereoOffset), 1.0f);
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kStereoOffset)),
              "Right " + juce::String(leftMs * 0.5, 2) + " ms");
    pm.setNormalisedValue(lineId(0, Tavinor::kStereoOffset), 0.0f);
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kStereoOffset)),
              "Left " + juce::String(leftMs * 0.5, 2) + " ms");
    pm.setText(lineId(0, Tavinor::kMidSide), "M/S");
    EXPECT_EQ(t->getPluginParameterText(lineId(0, Tavinor::kStereoOffset)),
              "Mid " + juce::String(leftMs * 0.5, 2) + " ms");
}

TEST(TavinorDispatch, DisplayNames)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    EXPECT_EQ(t->getPluginParameterName(lineId(1, Tavinor::kDelayLeftMs)),
              pm.getParameterName(lineId(1, Tavinor::kDelayLeftKnob)));
    EXPECT_EQ(t->getPluginParameterName(lineId(3, Tavinor::kPreDelayRightMs)),
              pm.getParameterName(lineId(3, Tavinor::kPreDelayRightKnob)));
    EXPECT_EQ(t->getPluginParameterName(lineId(2, Tavinor::kDelayLeftNumerator)), "Line 3 Delay Left Duration");
    EXPECT_EQ(t->getPluginParameterName(lineId(2, Tavinor::kDelayLeftDenominator)), "Line 3 Delay Left Duration");
    EXPECT_EQ(t->getPluginParameterName(lineId(0, Tavinor::kDelayRightDenominator)), "Line 1 Delay Right Duration");
    EXPECT_EQ(t->getPluginParameterName(lineId(1, Tavinor::kPreDelayLeftNumerator)), "Line 2 Pre-delay Left Duration");
    EXPECT_EQ(t->getPluginParameterName(lineId(3, Tavinor::kPreDelayRightDenominator)),
              "Line 4 Pre-delay Right Duration");
    EXPECT_EQ(t->getPluginParameterName(Tavinor::kDryWet), pm.getParameterName(Tavinor::kDryWet));
}

TEST(TavinorDispatch, TapWithJoinedChannelsTapsTheLeftTime)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->prepareToPlay(44100.0, 441);
    pm.setBoolValue(Tavinor::kDelayJoin, true);
    const float rightBefore = pm.getValue(lineId(0, Tavinor::kDelayRightMs));
    tapTwice(*t, Tavinor::kTapRight, 20);
    EXPECT_FLOAT_EQ(pm.getValue(lineId(0, Tavinor::kDelayLeftMs)), 200.0f);
    EXPECT_FLOAT_EQ(pm.getValue(lineId(0, Tavinor::kDelayRightMs)), rightBefore);
}

TEST(TavinorDispatch, TapFollowsTheLinePanelAndItsJoinSwitch)
{
    // Two taps half a second apart on the selected line 2: the panel shown
    // picks the stage, its "Join Channels" switch turns a right tap into a left one.
    struct Case { int panel; bool join; int tapSwitch; int expectedTapped; };
    const Case cases[] = {
        { 0, false, Tavinor::kTapRight, Tavinor::kDelayRightMs },
        { 0, true, Tavinor::kTapRight, Tavinor::kDelayLeftMs },
        { 1, false, Tavinor::kTapLeft, Tavinor::kPreDelayLeftMs },
        { 1, false, Tavinor::kTapRight, Tavinor::kPreDelayRightMs },
        { 1, true, Tavinor::kTapRight, Tavinor::kPreDelayLeftMs },
    };
    const int times[] = { Tavinor::kDelayLeftMs, Tavinor::kDelayRightMs,
                          Tavinor::kPreDelayLeftMs, Tavinor::kPreDelayRightMs };
    for (const auto& c : cases)
    {
        auto t = makeProcessor();
        auto& pm = t->getParameterManager();
        t->prepareToPlay(44100.0, 441);
        pm.setIntValue(Tavinor::kSelectedLine, 2);
        pm.setIntValue(Tavinor::kFirstPanel + 1, c.panel);
        pm.setBoolValue(c.panel == 0 ? Tavinor::kDelayJoin : Tavinor::kPreDelayJoin, c.join);
        const int base = Tavinor::getLineParameterBase(1);
        std::map<int, float> before;
        for (const int k : times)
            before[k] = pm.getValue(base + k);

        tapTwice(*t, c.tapSwitch, 50);
        for (const int k : times)
        {
            if (k == c.expectedTapped)
                EXPECT_FLOAT_EQ(pm.getValue(base + k), 500.0f) << "panel " << c.panel << " k " << k;
            else
                EXPECT_EQ(pm.getValue(base + k), before[k]) << "panel " << c.panel << " k " << k;
        }
        // The first line was not selected and keeps its times.
        EXPECT_EQ(pm.getValue(lineId(0, c.expectedTapped)), pm.getDefaultValue(lineId(0, c.expectedTapped)) * 1000.0f);
    }
}

TEST(TavinorDispatch, ProxyGesturesReachTheSelectedLine)
{
    struct Recorder : Parameter::Listener
    {
        juce::StringArray calls;
        void parameterChanged(Parameter*) override {}
        void parameterChangeGestureBegin(Parameter* p) override { calls.add("begin " + juce::String(p->getId())); }
        void parameterChangeGestureEnd(Parameter* p) override { calls.add("end " + juce::String(p->getId())); }
    };
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    Recorder line2, line1;
    pm.getParameter(lineId(1, Tavinor::kFeedback))->addListener(&line2);
    pm.getParameter(lineId(0, Tavinor::kFeedback))->addListener(&line1);
    pm.setIntValue(Tavinor::kSelectedLine, 2);
    pm.getParameter(Tavinor::kFeedback)->beginChangeGesture();
    pm.setNormalisedValue(Tavinor::kFeedback, 0.2f);
    pm.getParameter(Tavinor::kFeedback)->endChangeGesture();
    EXPECT_EQ(line2.calls.joinIntoString(","), "begin 2039,end 2039");
    EXPECT_TRUE(line1.calls.isEmpty());
}

TEST(TavinorDispatch, MaximumDelayTimeReachesTheEngineAndProcessingResumes)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    t->prepareToPlay(44100.0, 256);
    EXPECT_EQ(t->getEngine()->getMaxDelayTime(), 4);
    pm.setIntValue(Tavinor::kMaxDelayTime, 9);
    EXPECT_EQ(t->getEngine()->getMaxDelayTime(), 9);
    EXPECT_FALSE(t->isSuspended());
}

TEST(TavinorDispatch, IdentityAnswers)
{
    auto t = makeProcessor();
    EXPECT_EQ(t->getName(), "Tavinor");
    EXPECT_EQ(t->getShortCode(), "TN");
    EXPECT_EQ(t->getVersion(), "1.1.2");
    EXPECT_EQ(t->getDescription(), "High Quality Flexible Delay Unit");
    EXPECT_TRUE(t->acceptsMidi());
    EXPECT_FALSE(t->producesMidi());
    EXPECT_EQ(t->getTailLengthSeconds(), 0.0);
    EXPECT_EQ(t->getTotalNumInputChannels(), 2);
    EXPECT_EQ(t->getTotalNumOutputChannels(), 2);
    EXPECT_TRUE(t->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor> editor(t->createEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->getWidth(), 1200);
    EXPECT_GT(editor->getHeight(), 540);
}

TEST(TavinorDispatch, QualityFollowsTheProcessingMode)
{
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    auto& core = t->getEngine()->getDelayCore(3);
    pm.setText(Tavinor::kRealtimeQuality, "Medium");
    pm.setText(Tavinor::kOfflineQuality, "Best");
    t->prepareToPlay(44100.0, 256);
    EXPECT_EQ(core.getInterpolationMode(), 1);

    // Offline rendering uses the offline quality, also when the realtime one changes meanwhile.
    t->setNonRealtime(true);
    juce::AudioBuffer<float> buffer(2, 256);
    buffer.clear();
    juce::MidiBuffer midi;
    t->processBlock(buffer, midi);
    EXPECT_EQ(core.getInterpolationMode(), 2);
    EXPECT_EQ(core.getMinimumKernelStep(), 16.0);
    pm.setText(Tavinor::kRealtimeQuality, "Low");
    EXPECT_EQ(core.getMinimumKernelStep(), 16.0);
    pm.setText(Tavinor::kOfflineQuality, "High");
    EXPECT_EQ(core.getMinimumKernelStep(), 64.0);

    t->setNonRealtime(false);
    t->processBlock(buffer, midi);
    EXPECT_EQ(core.getInterpolationMode(), 0);
    EXPECT_EQ(core.getMinimumKernelStep(), 512.0);
}
