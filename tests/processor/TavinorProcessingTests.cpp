#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include "processor/dsp/DelayEngine.h"

#include <cmath>

using namespace TavinorTest;

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

// The free length of a delay in samples: a fraction of one second of the rate
// less the 32 samples the read kernel needs.
double freeLength(double ms) { return ms / 1000.0 * (kRate - 32.0); }
double syncedLength(double bpm, int numerator, int denominator)
{
    return kRate / ((double) denominator / numerator * (bpm / 60.0 * 0.25));
}

struct EchoTimes { int left, right; };

// The mix smoothers start from silence after prepareToPlay; a second of
// silence first lets them settle, so that the dry impulse does not show.
void settle(Tavinor& t)
{
    process(t, silence((size_t) kRate), kBlock);
}

EchoTimes measureEcho(Tavinor& t, int length)
{
    settle(t);
    auto out = process(t, impulse((size_t) length), kBlock);
    return { peakIndex(out.left), peakIndex(out.right) };
}
} // namespace

TEST(TavinorProcessing, EchoesComeAtTheSetTimes)
{
    // The read kernel puts its peak a few samples after the nominal length;
    // every case must show the same small offset.
    auto reference = makeProcessor();
    ASSERT_NE(reference, nullptr);
    setCleanSingleEcho(*reference, 250.0f, 400.0f);
    reference->prepareToPlay(kRate, kBlock);
    const auto free = measureEcho(*reference, 20000);
    const double offset = free.left - freeLength(250.0);
    EXPECT_GE(offset, 0.0);
    EXPECT_LE(offset, 8.0);
    EXPECT_NEAR(free.right - freeLength(400.0), offset, 1.0);

    // Tempo-synced, then after a tempo change.
    FakePlayHead playHead(120.0, true);
    auto synced = makeProcessor();
    setCleanSingleEcho(*synced, 250.0f, 400.0f);
    auto& pm = synced->getParameterManager();
    const int base = Tavinor::getLineParameterBase(0);
    pm.setBoolValue(base + Tavinor::kDelaySync, true);
    pm.setIntValue(base + Tavinor::kDelayLeftNumerator, 3);
    pm.setIntValue(base + Tavinor::kDelayLeftDenominator, 16);
    pm.setIntValue(base + Tavinor::kDelayRightNumerator, 1);
    pm.setIntValue(base + Tavinor::kDelayRightDenominator, 4);
    pm.setIntValue(base + Tavinor::kDelayLeftScale, 0);
    pm.setIntValue(base + Tavinor::kDelayRightScale, 0);
    synced->setPlayHead(&playHead);
    synced->prepareToPlay(kRate, kBlock);
    process(*synced, silence(kBlock), kBlock); // the tempo arrives with the first block

    auto at120 = measureEcho(*synced, 30000);
    EXPECT_NEAR(at120.left - syncedLength(120.0, 3, 16), offset, 1.0);
    EXPECT_NEAR(at120.right - syncedLength(120.0, 1, 4), offset, 1.0);

    // The lengths glide to the new tempo. The core's single-precision length
    // smoothers come to rest a few samples short of a far target, so the
    // echo after a glide is allowed 5 samples (0.11 ms).
    playHead.info.setBpm(90.0);
    process(*synced, silence(3 * (size_t) kRate), 4096);
    auto at90 = measureEcho(*synced, 40000);
    EXPECT_NEAR(at90.left - syncedLength(90.0, 3, 16), offset, 5.0);
    EXPECT_NEAR(at90.right - syncedLength(90.0, 1, 4), offset, 5.0);

    // A host that stops reporting a tempo keeps the last one.
    playHead.info.setBpm({});
    process(*synced, silence(2 * (size_t) kRate), 4096);
    auto stillAt90 = measureEcho(*synced, 40000);
    EXPECT_EQ(stillAt90.left, at90.left);
    synced->setPlayHead(nullptr);
}

TEST(TavinorProcessing, BlocksLongerThanPreparedAndEmptyBlocks)
{
    auto t = makeProcessor();
    setCleanSingleEcho(*t, 100.0f, 100.0f);
    t->prepareToPlay(kRate, 64);

    // A host block of 6000 samples after preparing for 64.
    auto out = process(*t, impulse(6000), 6000);
    EXPECT_TRUE(allFinite(out));
    auto reference = makeProcessor();
    setCleanSingleEcho(*reference, 100.0f, 100.0f);
    reference->prepareToPlay(kRate, 64);
    auto expected = process(*reference, impulse(6000), 64);
    EXPECT_EQ(out.left, expected.left);
    EXPECT_EQ(out.right, expected.right);

    // A block of no samples changes nothing and costs nothing.
    juce::AudioBuffer<float> empty(2, 0);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(1, 60, (juce::uint8) 100), 0);
    t->processBlock(empty, midi);
    EXPECT_EQ(midi.getNumEvents(), 1);
}

TEST(TavinorProcessing, MonoLayoutProcessesOneChannel)
{
    auto t = makeProcessor();
    juce::AudioProcessor::BusesLayout mono;
    mono.inputBuses.add(juce::AudioChannelSet::mono());
    mono.outputBuses.add(juce::AudioChannelSet::mono());
    ASSERT_TRUE(t->setBusesLayout(mono));
    setCleanSingleEcho(*t, 100.0f, 100.0f);
    t->prepareToPlay(kRate, kBlock);

    juce::AudioBuffer<float> buffer(1, kBlock);
    juce::MidiBuffer midi;
    std::vector<float> out;
    for (int b = 0; b < 100; ++b)
    {
        buffer.clear();
        if (b == 90)
            buffer.setSample(0, 0, 1.0f);
        t->processBlock(buffer, midi);
        if (b >= 90)
            out.insert(out.end(), buffer.getReadPointer(0), buffer.getReadPointer(0) + kBlock);
    }
    EXPECT_NEAR(peakIndex(out), freeLength(100.0) + 4.0, 1.0);
}

TEST(TavinorProcessing, SuspendedProcessingIsSilent)
{
    auto t = makeProcessor();
    setCleanSingleEcho(*t, 100.0f, 100.0f);
    t->getParameterManager().setNormalisedValue(Tavinor::kDryWet, 0.0f); // dry only
    t->prepareToPlay(kRate, kBlock);
    t->suspendProcessing(true);
    const auto input = constant(kBlock, 0.5f);
    auto out = process(*t, input, kBlock);
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out.left[i], 0.0f) << i;
    t->suspendProcessing(false);
    out = process(*t, input, kBlock);
    EXPECT_GT(std::abs(out.left.back()), 0.1f);
}

TEST(TavinorProcessing, LimiterLookAheadIsReportedAsLatency)
{
    auto t = makeProcessor();
    t->prepareToPlay(kRate, kBlock);
    EXPECT_EQ(t->getLatencySamples(), 0);
    t->getParameterManager().setBoolValue(Tavinor::kLimiter, true);
    EXPECT_EQ(t->getLatencySamples(), (int) (kRate * 0.003319));
    t->prepareToPlay(96000.0, kBlock);
    EXPECT_EQ(t->getLatencySamples(), (int) (96000.0 * 0.003319));
    t->getParameterManager().setBoolValue(Tavinor::kLimiter, false);
    EXPECT_EQ(t->getLatencySamples(), 0);
}

//==============================================================================
// MIDI retrigger: an envelope on line 1's tremolo shows the exact sample at
// which the modulator restarts. Before the first trigger the envelope is 0
// and the line is silent.
namespace
{
std::unique_ptr<Tavinor> makeEnvelopeProcessor(const juce::String& channel)
{
    auto t = makeProcessor();
    setCleanSingleEcho(*t, 1.0f, 1.0f);
    auto& pm = t->getParameterManager();
    const int base = Tavinor::getLineParameterBase(0);
    pm.setText(Tavinor::kMod1First, "Envelope");
    pm.setText(Tavinor::kMod1RetriggerMode, "MIDI Note");
    pm.setText(Tavinor::kMod1RetriggerChannel, channel);
    pm.setText(Tavinor::kMod1RetriggerNote, "C-5");
    pm.setText(base + Tavinor::kModSource, "MOD 1");
    pm.setNormalisedValue(base + Tavinor::kTremoloDepth, 1.0f);
    t->prepareToPlay(kRate, kBlock);
    process(*t, constant((size_t) kRate, 0.5f), kBlock);
    return t;
}

int firstSound(const Stereo& out)
{
    for (size_t i = 0; i < out.size(); ++i)
        if (std::abs(out.left[i]) > 1e-5f)
            return (int) i;
    return -1;
}
} // namespace

TEST(TavinorProcessing, NoteOnRetriggersAtItsSample)
{
    struct Case { juce::String recordChannel; int eventSample, midiChannel, velocity, expected; };
    const Case cases[] = {
        { "All", 100, 1, 100, 100 },
        { "All", 511, 5, 100, 511 },
        { "All", 600, 1, 100, 600 },   // beyond the block: it comes in the next one
        { "All", 0, 1, 100, 0 },
        { "All", -5, 1, 100, 0 },      // stamped before the block: due at once
        { "2", 100, 2, 100, 100 },
        { "2", 100, 3, 100, -1 },      // another channel
        { "All", 100, 1, 0, -1 },      // velocity 0 is a note-off
    };
    for (const auto& c : cases)
    {
        auto t = makeEnvelopeProcessor(c.recordChannel);
        juce::MidiBuffer midi;
        midi.addEvent(juce::MidiMessage::noteOn(c.midiChannel, 60, (juce::uint8) c.velocity), c.eventSample);
        auto out = process(*t, constant(4 * kBlock, 0.5f), kBlock, &midi);
        EXPECT_EQ(firstSound(out), c.expected)
            << "record " << c.recordChannel << " sample " << c.eventSample << " channel " << c.midiChannel
            << " velocity " << c.velocity;
    }
}

TEST(TavinorProcessing, NoteLearnWritesTheNoteBack)
{
    auto t = makeEnvelopeProcessor("All");
    auto& pm = t->getParameterManager();
    pm.setBoolValue(Tavinor::kFirstNoteLearn, true);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(1, 64, (juce::uint8) 90), 10);
    process(*t, silence(kBlock), kBlock, &midi);
    EXPECT_EQ(pm.getIntValue(Tavinor::kMod1RetriggerNote), 64);
    EXPECT_EQ(pm.getIntValue(Tavinor::kMod2RetriggerNote), 60);

    // The default records learn through their own switches, into their own
    // parameters; a record limited to one channel ignores the others.
    const int defaultMod1Note = pm.getIntValue(Tavinor::kDefaultMod1RetriggerNote);
    pm.setText(Tavinor::kDefaultMod1RetriggerChannel, "All");
    pm.setText(Tavinor::kDefaultMod2RetriggerChannel, "3");
    pm.setBoolValue(Tavinor::kLastNoteLearn, true);
    EXPECT_FALSE(pm.getBoolValue(Tavinor::kFirstNoteLearn));
    midi.clear();
    midi.addEvent(juce::MidiMessage::noteOn(2, 71, (juce::uint8) 90), 3);
    midi.addEvent(juce::MidiMessage::noteOn(3, 70, (juce::uint8) 90), 20);
    process(*t, silence(kBlock), kBlock, &midi);
    EXPECT_EQ(pm.getIntValue(Tavinor::kDefaultMod2RetriggerNote), 70);
    EXPECT_EQ(pm.getIntValue(Tavinor::kDefaultMod1RetriggerNote), defaultMod1Note);
    EXPECT_EQ(pm.getIntValue(Tavinor::kMod1RetriggerNote), 64);
    // These are settings kept for every later instance: put them back.
    pm.setBoolValue(Tavinor::kLastNoteLearn, false);
    pm.setText(Tavinor::kDefaultMod2RetriggerNote, "C-5");
    pm.setText(Tavinor::kDefaultMod2RetriggerChannel, "All");
}

TEST(TavinorProcessing, TwoTapsSetTheTime)
{
    auto t = makeProcessor();
    t->prepareToPlay(kRate, 441);
    auto& pm = t->getParameterManager();
    pm.setBoolValue(Tavinor::kTapLeft, true);
    process(*t, silence(22050), 441);
    pm.setBoolValue(Tavinor::kTapLeft, false);
    pm.setBoolValue(Tavinor::kTapLeft, true);
    process(*t, silence(441), 441);
    pm.setBoolValue(Tavinor::kTapLeft, false);

    const int base = Tavinor::getLineParameterBase(0);
    EXPECT_FLOAT_EQ(pm.getValue(base + Tavinor::kDelayLeftMs), 500.0f);
    EXPECT_EQ(t->getPluginParameterText(base + Tavinor::kDelayLeftMs), "500.00 ms");
    EXPECT_EQ(t->getPluginParameterText(base + Tavinor::kDelayLeftKnob), "500.00 ms");
    EXPECT_FLOAT_EQ(pm.getValue(Tavinor::kDelayLeftMs), 500.0f); // the proxy follows
    EXPECT_NEAR(pm.getNormalisedValue(base + Tavinor::kDelayLeftKnob), Tavinor::knobFromTime(0.5), 1e-6);
}

TEST(TavinorProcessing, ModulatorClocksFollowTheTransport)
{
    FakePlayHead playHead(120.0, false);
    auto t = makeProcessor();
    t->setPlayHead(&playHead);
    t->prepareToPlay(kRate, kBlock);
    process(*t, silence(kBlock), kBlock);
    EXPECT_FALSE(t->getClock(0).isRunning());
    playHead.info.setIsPlaying(true);
    playHead.info.setPpqPosition(8.0);
    process(*t, silence(kBlock), kBlock);
    EXPECT_TRUE(t->getClock(0).isRunning());
    EXPECT_TRUE(t->getClock(1).isRunning());
    EXPECT_NEAR(t->getClock(0).getPosition(), 8.0 + kBlock * 2.0 / kRate, 1e-9);
    playHead.info.setIsPlaying(false);
    process(*t, silence(kBlock), kBlock);
    EXPECT_FALSE(t->getClock(0).isRunning());
    t->setPlayHead(nullptr);
}
