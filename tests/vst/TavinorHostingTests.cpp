// The product's processor behind the VST wrapper, as a host sees it: its
// chunks, its texts, loading its state while audio runs, and its silence.

#include "vst/VSTWrapper.h"

#include "processor/Tavinor.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include <xmmintrin.h>

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

namespace
{
constexpr int kDryWet = 0;       // host parameter 1 of the default map
constexpr int kLine1Cutoff = 10; // host parameter 11
constexpr int kLine1Feedback = 7;
constexpr int kOutputGain = 1;

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class TavinorHosting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        effect = VSTWrapper::createEffect(quietHost, createPluginFilter);
        ASSERT_NE(effect, nullptr);
    }

    void TearDown() override
    {
        for (auto* e : { effect, other })
            if (e != nullptr)
                e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        TestHelpers::pumpMessages();
    }

    static VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                              void* ptr = nullptr)
    {
        return e->dispatcher(e, opcode, index, value, ptr, 0.0f);
    }

    static std::vector<char> chunkOf(AEffect* e, bool preset = false)
    {
        void* data = nullptr;
        const auto size = dispatch(e, effGetChunk, preset ? 1 : 0, 0, &data);
        if (data == nullptr || size <= 0)
            return {};
        return std::vector<char>(static_cast<char*>(data), static_cast<char*>(data) + size);
    }

    static VstIntPtr setChunk(AEffect* e, std::vector<char> chunk, bool preset = false)
    {
        return dispatch(e, effSetChunk, preset ? 1 : 0, VstIntPtr(chunk.size()), chunk.empty() ? nullptr : chunk.data());
    }

    // Resumed at 44.1 kHz for blocks of the given size.
    void start(int block)
    {
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effect, effSetBlockSize, 0, block);
        dispatch(effect, effMainsChanged, 0, 1);
    }

    static std::string text(AEffect* e, VstInt32 opcode, int index)
    {
        char buffer[128];
        std::memset(buffer, 'x', sizeof(buffer));
        dispatch(e, opcode, index, 0, buffer);
        return buffer;
    }

    AEffect* effect = nullptr;
    AEffect* other = nullptr;
};
} // namespace

TEST_F(TavinorHosting, APresetChunkIsTheWholeStateAndLoadsBack)
{
    effect->setParameter(effect, kLine1Feedback, 0.8f);
    effect->setParameter(effect, kDryWet, 0.6f);
    const auto bank = chunkOf(effect);
    const auto preset = chunkOf(effect, true);
    ASSERT_FALSE(preset.empty());
    EXPECT_EQ(preset, bank);

    other = VSTWrapper::createEffect(quietHost, createPluginFilter);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(setChunk(other, preset, true), 1);
    EXPECT_FLOAT_EQ(other->getParameter(other, kLine1Feedback), 0.8f);
    EXPECT_FLOAT_EQ(other->getParameter(other, kDryWet), 0.6f);
    EXPECT_EQ(chunkOf(other), bank);
}

TEST_F(TavinorHosting, ChunksThatAreNoStateOfItsOwnAreRefusedAndChangeNothing)
{
    effect->setParameter(effect, kLine1Feedback, 0.8f);
    const auto good = chunkOf(effect);
    ASSERT_FALSE(good.empty());

    std::mt19937 random(7);
    std::vector<char> noise(1000);
    for (auto& b : noise)
        b = char(random());
    juce::MemoryBlock foreignState;
    juce::AudioProcessor::copyXmlToBinary(juce::XmlElement("PluginState"), foreignState);
    juce::MemoryBlock otherProduct;
    auto xml = juce::AudioProcessor::getXmlFromBinary(good.data(), int(good.size()));
    ASSERT_NE(xml, nullptr);
    xml->setAttribute("application", "Another Product");
    juce::AudioProcessor::copyXmlToBinary(*xml, otherProduct);

    struct Case
    {
        const char* what;
        std::vector<char> chunk;
    };
    const std::vector<Case> junk {
        { "1000 random bytes", noise },
        { "a truncated chunk", std::vector<char>(good.begin(), good.begin() + long(good.size() / 2)) },
        { "a state without a product", std::vector<char>(static_cast<const char*>(foreignState.getData()),
                                                         static_cast<const char*>(foreignState.getData())
                                                             + foreignState.getSize()) },
        { "another product's state", std::vector<char>(static_cast<const char*>(otherProduct.getData()),
                                                       static_cast<const char*>(otherProduct.getData())
                                                           + otherProduct.getSize()) },
    };
    for (const bool preset : { false, true })
        for (const auto& c : junk)
        {
            EXPECT_EQ(setChunk(effect, c.chunk, preset), 0) << c.what;
            EXPECT_EQ(chunkOf(effect), good) << c.what;
        }
    EXPECT_EQ(setChunk(effect, good), 1);
}

TEST_F(TavinorHosting, ParameterTextsReachTheHostWhole)
{
    // The default dry/wet is 35 %.
    EXPECT_EQ(text(effect, effGetParamDisplay, kDryWet), "65/35 % (Dry/Wet)");
    EXPECT_EQ(text(effect, effGetParamName, kLine1Cutoff), "Line 1 Filter Cutoff");
    EXPECT_EQ(text(effect, effGetParamName, kDryWet), "Dry/Wet");

    char typed[] = "not a number";
    const float before = effect->getParameter(effect, kOutputGain);
    EXPECT_EQ(dispatch(effect, effString2Parameter, kOutputGain, 0, typed), 0);
    EXPECT_EQ(effect->getParameter(effect, kOutputGain), before);
}

// A host loads its state during playback (a preset change, an undo): audio
// goes on meanwhile, the old sound fading out and the new one in, and no
// block comes out silent.
TEST_F(TavinorHosting, LoadingTheStateWhileAudioRunsKeepsTheSoundGoing)
{
    constexpr int kBlock = 64;
    start(kBlock);

    const auto first = chunkOf(effect);
    effect->setParameter(effect, kLine1Feedback, 0.7f);
    effect->setParameter(effect, kLine1Cutoff, 0.3f);
    const auto second = chunkOf(effect);
    ASSERT_NE(first, second);

    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 };
    std::atomic<int> silentBlocks { 0 };
    std::thread audio([&] {
        std::vector<float> in(kBlock), left(kBlock), right(kBlock);
        float* inputs[2] = { in.data(), in.data() };
        float* outputs[2] = { left.data(), right.data() };
        double phase = 0.0;
        while (running)
        {
            for (auto& x : in)
            {
                x = float(0.5 * std::sin(phase));
                phase += 2.0 * juce::MathConstants<double>::pi * 440.0 / 44100.0;
            }
            effect->processReplacing(effect, inputs, outputs, kBlock);
            const bool silent = std::all_of(left.begin(), left.end(), [](float x) { return x == 0.0f; });
            // The first blocks may be silent while the processor settles.
            if (silent && blocks.load() > 8)
                ++silentBlocks;
            ++blocks;
        }
    });
    while (blocks.load() < 16)
        std::this_thread::yield();
    for (int i = 0; i < 60; ++i)
    {
        EXPECT_EQ(setChunk(effect, i % 2 == 0 ? first : second), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    running = false;
    audio.join();
    EXPECT_EQ(silentBlocks.load(), 0) << "of " << blocks.load() << " blocks";
    EXPECT_EQ(chunkOf(effect), second);
}

TEST_F(TavinorHosting, LoadingTheStateKeepsTheEchoesOnTheWay)
{
    constexpr int kBlock = 256;
    start(kBlock);
    const auto state = chunkOf(effect);

    // The default sound echoes an impulse 3/16 of a beat at 120 bpm later on
    // the left: 16537.5 samples.
    std::vector<float> in(kBlock), left(kBlock), right(kBlock);
    float* inputs[2] = { in.data(), in.data() };
    float* outputs[2] = { left.data(), right.data() };
    float loudest = 0.0f;
    for (int start = 0; start < 20000; start += kBlock)
    {
        std::fill(in.begin(), in.end(), 0.0f);
        if (start == 0)
            in[0] = 1.0f;
        if (start == 4096)
            EXPECT_EQ(setChunk(effect, state), 1);
        effect->processReplacing(effect, inputs, outputs, kBlock);
        if (start >= 16000)
            for (const float x : left)
                loudest = std::max(loudest, std::abs(x));
    }
    EXPECT_GT(loudest, 0.1f);
}

TEST_F(TavinorHosting, SilenceAfterSoundComesOutAsExactZerosAndTheHostKeepsItsFloatingPointMode)
{
    // A host that detects silence (to stop processing a track, or show it
    // idle): the default sound, 5 s of white noise and then nothing, is exact
    // zeros within 40 s. Every call gives the host back its own floating-point
    // mode (here denormals on), and nothing denormal comes out.
    constexpr int kBlock = 512;
    constexpr double kRate = 44100.0;
    start(kBlock);
    const unsigned before = _mm_getcsr();
    const unsigned hostMode = before & ~0x8040u;   // flush-to-zero and denormals-are-zero off
    std::vector<float> inLeft(kBlock), inRight(kBlock), left(kBlock), right(kBlock);
    float* inputs[2] = { inLeft.data(), inRight.data() };
    float* outputs[2] = { left.data(), right.data() };
    const auto noiseEnd = (int64_t) (5.0 * kRate);
    const auto end = noiseEnd + (int64_t) (50.0 * kRate);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    int64_t lastNonZero = -1;
    bool modeKept = true;
    bool denormalOut = false;
    for (int64_t done = 0; done < end; done += kBlock)
    {
        for (int i = 0; i < kBlock; ++i)
        {
            const bool sound = done + i < noiseEnd;
            inLeft[(size_t) i] = sound ? noise(random) : 0.0f;
            inRight[(size_t) i] = sound ? noise(random) : 0.0f;
        }
        _mm_setcsr(hostMode);
        effect->processReplacing(effect, inputs, outputs, kBlock);
        modeKept = modeKept && _mm_getcsr() == hostMode;
        _mm_setcsr(before);
        for (int i = 0; i < kBlock; ++i)
            for (const float x : { left[(size_t) i], right[(size_t) i] })
            {
                if (x != 0.0f)
                    lastNonZero = done + i;
                denormalOut = denormalOut || (x != 0.0f && std::abs(x) < FLT_MIN);
            }
    }
    EXPECT_TRUE(modeKept);
    EXPECT_FALSE(denormalOut);
    const double silentAfter = (double) (lastNonZero + 1 - noiseEnd) / kRate;
    std::printf("exact zeros %.2f s after the noise\n", silentAfter);
    EXPECT_LT(silentAfter, 40.0);
}

// A host that compares its parameters after a restore sees what it saved:
// random values in every host parameter whose value the state holds (all that
// the default map gives a parameter, but the freeze switches) come back to
// the bit through a chunk.
TEST_F(TavinorHosting, EveryParameterComesBackExactlyThroughAChunk)
{
    auto& processor = dynamic_cast<Tavinor&>(static_cast<VSTWrapper*>(effect->object)->getProcessor());
    std::vector<int> held;
    for (int i = 0; i < effect->numParams; ++i)
    {
        const int id = processor.getParameterIdForHostIndex(i);
        if (id >= 0 && id % 1000 != Tavinor::kFreeze)
            held.push_back(i);
    }
    ASSERT_GE(held.size(), 40u);

    std::mt19937 random(31);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    other = VSTWrapper::createEffect(quietHost, createPluginFilter);
    ASSERT_NE(other, nullptr);
    std::map<int, int> mismatches;
    for (int round = 0; round < 300; ++round)
    {
        for (const int i : held)
            effect->setParameter(effect, i, unit(random));
        ASSERT_EQ(setChunk(other, chunkOf(effect)), 1);
        for (const int i : held)
            if (other->getParameter(other, i) != effect->getParameter(effect, i))
                ++mismatches[i];
    }
    for (const auto& [i, count] : mismatches)
        ADD_FAILURE() << "host parameter " << i + 1 << " (" << text(effect, effGetParamName, i)
                      << ") came back changed " << count << " times of 300";
}

// A host loads a state on one thread while its audio thread automates a free
// time knob, and the automation, its knob moved, waits for the engine (held
// here as a block would hold it) until the state has set that time and its
// knob: the state the instance saves afterwards still brings every value back.
TEST_F(TavinorHosting, AStateLoadedWhileATimeKnobIsAutomatedIsSavedAsItEnds)
{
    auto& processor = dynamic_cast<Tavinor&>(static_cast<VSTWrapper*>(effect->object)->getProcessor());
    for (const int knob : { 18, 38 }) // "Line 2 Delay Left Time", "Line 4 Delay Left Time"
    {
        const int timeId = processor.getParameterIdForHostIndex(knob) + Tavinor::kDelayLeftMs - Tavinor::kDelayLeftKnob;
        effect->setParameter(effect, knob, 0.7f);
        const auto state = chunkOf(effect);
        const float timeOfState = processor.getParameterManager().getValue(timeId);
        effect->setParameter(effect, knob, 0.3f);
        std::thread automation, load;
        {
            const juce::ScopedLock engine(processor.getEngineLock());
            automation = std::thread([&] { effect->setParameter(effect, knob, 0.5f); });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            load = std::thread([&] { setChunk(effect, state); });
            for (int ms = 0; ms < 5000 && processor.getParameterManager().getValue(timeId) != timeOfState; ++ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        automation.join();
        load.join();

        other = VSTWrapper::createEffect(quietHost, createPluginFilter);
        ASSERT_EQ(setChunk(other, chunkOf(effect)), 1);
        EXPECT_EQ(other->getParameter(other, knob), effect->getParameter(effect, knob)) << "host parameter " << knob + 1;
        EXPECT_TRUE(chunkOf(other) == chunkOf(effect)) << "host parameter " << knob + 1;
        dispatch(other, effClose);
        other = nullptr;
    }
}
