#include "processor/dsp/DelayParameters.h"

#include <gtest/gtest.h>

using P = DelayParameters;

TEST(DelayParametersTests, LineIdsAreAThousandApart)
{
    struct Case
    {
        int id;
        bool isLine;
        int line, k;
    };
    const Case cases[] = {
        { 1000, true, 0, P::kLineState },  { 1039, true, 0, P::kFeedback },  { 1046, true, 0, P::kTremoloDepth },
        { 2002, true, 1, P::kLevel },      { 4046, true, 3, P::kTremoloDepth },
        { 999, false, 0, 0 },              { 1047, false, 0, 0 },            { 5000, false, 0, 0 },
        { P::kFeedback, false, 0, 0 },     { P::kOutputGain, false, 0, 0 },  { -1000, false, 0, 0 },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(P::isLineParameterId(c.id), c.isLine) << c.id;
        if (! c.isLine)
            continue;
        EXPECT_EQ(P::lineOfId(c.id), c.line) << c.id;
        EXPECT_EQ(P::templateIndexOfId(c.id), c.k) << c.id;
        EXPECT_EQ(P::getLineParameterBase(c.line) + c.k, c.id);
    }
}

TEST(DelayParametersTests, ModulatorIdsFollowEachOther)
{
    struct Case
    {
        int id;
        bool isModulator;
        int modulator, j;
    };
    const Case cases[] = {
        { 47, true, 0, P::kModulatorType },          { P::kMod1Frequency, true, 0, P::kModulatorFrequency },
        { 66, true, 0, P::kFollowerRelease },        { 67, true, 1, P::kModulatorType },
        { P::kMod2Waveform, true, 1, P::kModulatorWaveform }, { 86, true, 1, P::kFollowerRelease },
        { 46, false, 0, 0 },                          { P::kLimiter, false, 0, 0 },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(P::isModulatorId(c.id), c.isModulator) << c.id;
        if (! c.isModulator)
            continue;
        EXPECT_EQ(P::modulatorOfId(c.id), c.modulator) << c.id;
        EXPECT_EQ(P::modulatorParameterOfId(c.id), c.j) << c.id;
    }
    EXPECT_EQ(P::kLimiter, 87);
    EXPECT_EQ(P::kOutputGain, 91);
}

TEST(DelayParametersTests, ChoicesReadBackAsTheirItems)
{
    // What a host sets to choose an item is what the engine decodes it as.
    for (const int count : { P::kNumFilterTypes, P::kNumNoteLengths, P::kNumModulatorKinds, P::kNumRetriggerModes,
                             P::kNumWaveforms, P::kNumRoutings, P::kNumFilterPlacements, P::kNumModulators })
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(DspCommon::roundChoice(P::choiceValue(i, count), count - 1), i) << i << " of " << count;
}

TEST(DelayParametersTests, TimeKnobConversions)
{
    EXPECT_NEAR(P::knobFromTime(0.0), 0.0, 1e-6);
    EXPECT_NEAR(P::timeFromKnob(1.0), 1.0, 1e-12);
    EXPECT_LE(P::timeFromKnob(1.0), 1.0);
    EXPECT_NEAR(P::timeFromKnob(0.0), 0.0, 1e-12);
    for (double v : { 0.1, 0.37, 0.5, 0.8, 0.99 })
        EXPECT_NEAR(P::knobFromTime(P::timeFromKnob(v)), v, 1e-9);
    EXPECT_EQ(P::knobFromTime(5.0), 1.0);
    EXPECT_EQ(P::knobFromTime(-1.0), 0.0);
}

TEST(DelayParametersTests, FreeRateControlInvertsTheRate)
{
    EXPECT_NEAR(P::freeRateHz(0.0), 0.1, 1e-9);
    EXPECT_NEAR(P::freeRateHz(1.0), 40.0, 1e-6);
    for (const double hz : { 0.1, 0.7, 2.0, 7.0, 10.0, 40.0 })
        EXPECT_NEAR(P::freeRateHz(P::freeRateControl(hz)), hz, 1e-9 * hz) << hz;
}
