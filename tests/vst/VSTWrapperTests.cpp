#include "vst/VSTWrapper.h"

#include "TestHelpers.h"
#include "core/BasePluginTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace
{
// A processor that keeps what the wrapper gives it: block sizes, MIDI at
// absolute sample positions, the play head per block, its input.
class ProbeProcessor : public juce::AudioProcessor
{
public:
    ProbeProcessor()
    {
        addParameter(gain = new juce::AudioParameterFloat(juce::ParameterID("gain", 1), "Gain",
                                                          juce::NormalisableRange<float>(0.0f, 1.0f), 1.0f,
                                                          juce::AudioParameterFloatAttributes().withLabel("lin")));
        addParameter(mode = new juce::AudioParameterChoice(juce::ParameterID("mode", 1), "Mode",
                                                           juce::StringArray { "Soft", "Hard" }, 0));
        seenWrapperType = wrapperType;
    }

    const juce::String getName() const override { return "Probe"; }
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }
    double getTailLengthSeconds() const override { return 0.5; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return "Only"; }
    void changeProgramName(int, const juce::String&) override {}
    bool hasEditor() const override { return editorOffered; }
    juce::AudioProcessorEditor* createEditor() override;

    void prepareToPlay(double rate, int block) override
    {
        preparedNonRealtime = isNonRealtime();
        preparedRate = rate;
        preparedBlock = block;
        samplesSoFar = 0;
    }
    void releaseResources() override { ++releaseCount; }

    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override
    {
        insideProcessBlock = true;
        const struct Leave
        {
            std::atomic<bool>& flag;
            ~Leave() { flag = false; }
        } leave { insideProcessBlock };
        if (modeToSetInBlock >= 0)
            *mode = std::exchange(modeToSetInBlock, -1);
        blockSizes.push_back(buffer.getNumSamples());
        nonRealtimeBlocks.push_back(isNonRealtime());
        for (const auto event : midi)
            midiSeen.push_back({ samplesSoFar + event.samplePosition, event.getMessage().getRawData()[0],
                                 event.numBytes });
        positions.push_back(getPlayHead() != nullptr ? getPlayHead()->getPosition()
                                                     : juce::Optional<juce::AudioPlayHead::PositionInfo>());
        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                if (! std::isfinite(buffer.getSample(ch, i)))
                    ++nonFiniteInputs;
                buffer.setSample(ch, i, buffer.getSample(ch, i) * gain->get());
            }
        samplesSoFar += buffer.getNumSamples();
    }

    void getStateInformation(juce::MemoryBlock& data) override
    {
        juce::XmlElement xml("Probe");
        xml.setAttribute("gain", double(gain->get()));
        xml.setAttribute("mode", mode->getIndex());
        copyXmlToBinary(xml, data);
    }

    void setStateInformation(const void* data, int size) override
    {
        ++stateSetCount;
        if (auto xml = getXmlFromBinary(data, size))
        {
            *gain = float(xml->getDoubleAttribute("gain"));
            *mode = xml->getIntAttribute("mode");
        }
    }

    struct Midi
    {
        int64_t sample;
        juce::uint8 status;
        int bytes;
    };

    static inline bool withEditor = false;
    const bool editorOffered = withEditor;
    std::atomic<bool> insideProcessBlock { false };
    int modeToSetInBlock = -1;
    juce::AudioParameterFloat* gain = nullptr;
    juce::AudioParameterChoice* mode = nullptr;
    WrapperType seenWrapperType = wrapperType_Undefined;
    double preparedRate = 0.0;
    int preparedBlock = 0;
    int releaseCount = 0;
    int stateSetCount = 0;
    int nonFiniteInputs = 0;
    int64_t samplesSoFar = 0;
    bool preparedNonRealtime = false;
    std::vector<bool> nonRealtimeBlocks;
    std::vector<int> blockSizes;
    std::vector<Midi> midiSeen;
    std::vector<juce::Optional<juce::AudioPlayHead::PositionInfo>> positions;
};

class ProbeEditor : public juce::AudioProcessorEditor
{
public:
    explicit ProbeEditor(juce::AudioProcessor& p) : juce::AudioProcessorEditor(p) { setSize(300, 200); }
    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::darkgrey); }
};

juce::AudioProcessorEditor* ProbeProcessor::createEditor()
{
    return new ProbeEditor(*this);
}

juce::AudioProcessor* makeProbe()
{
    return new ProbeProcessor();
}

// One parameter whose name, text and label are longer than hosts take.
class LongTextProcessor : public ProbeProcessor
{
public:
    struct Wordy : juce::AudioParameterFloat
    {
        Wordy()
            : juce::AudioParameterFloat(juce::ParameterID("wordy", 1), "Line 1 Pre-delay Right Duration Numerator", 0.0f,
                                        1.0f, 0.5f)
        {
        }
        juce::String getText(float, int) const override { return "ninety-nine point nine nine percent"; }
        juce::String getLabel() const override { return "a label that goes on and on"; }
    };

    LongTextProcessor() { addParameter(new Wordy()); }
};

juce::AudioProcessor* makeLongTexts()
{
    return new LongTextProcessor();
}

juce::AudioProcessor* makeNothing()
{
    return nullptr;
}

// The host side: answers from a table, keeps every call but the idle ones.
struct FakeHost
{
    struct Call
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        std::thread::id thread;
        bool duringBlock; // made while the probe was inside processBlock
    };
    std::mutex lock;
    std::vector<Call> calls;
    VstIntPtr version = 2400;
    VstIntPtr processLevel = kVstProcessLevelUnknown;
    VstTimeInfo timeInfo {};
    bool giveTime = true;
    std::atomic<bool>* probeInBlock = nullptr;

    int count(VstInt32 opcode)
    {
        const std::lock_guard<std::mutex> guard(lock);
        int n = 0;
        for (const auto& c : calls)
            n += c.opcode == opcode ? 1 : 0;
        return n;
    }

    std::vector<Call> callsOf(VstInt32 opcode)
    {
        const std::lock_guard<std::mutex> guard(lock);
        std::vector<Call> found;
        for (const auto& c : calls)
            if (c.opcode == opcode)
                found.push_back(c);
        return found;
    }
};

FakeHost* fakeHost = nullptr;

VstIntPtr fakeCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (fakeHost == nullptr)
        return 0;
    {
        const std::lock_guard<std::mutex> guard(fakeHost->lock);
        fakeHost->calls.push_back({ opcode, index, value, opt, std::this_thread::get_id(),
                                    fakeHost->probeInBlock != nullptr && fakeHost->probeInBlock->load() });
    }
    switch (opcode)
    {
        case audioMasterVersion: return fakeHost->version;
        case audioMasterGetTime:
            return fakeHost->giveTime ? reinterpret_cast<VstIntPtr>(&fakeHost->timeInfo) : 0;
        case audioMasterGetCurrentProcessLevel: return fakeHost->processLevel;
        case audioMasterCanDo: return std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
        default: return 0;
    }
}

class VSTWrapperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fakeHost = &host;
        effect = VSTWrapper::createEffect(fakeCallback, makeProbe);
        ASSERT_NE(effect, nullptr);
        wrapper = static_cast<VSTWrapper*>(effect->object);
        probe = dynamic_cast<ProbeProcessor*>(&wrapper->getProcessor());
        ASSERT_NE(probe, nullptr);
        host.probeInBlock = &probe->insideProcessBlock;
    }

    void TearDown() override
    {
        if (effect != nullptr)
            dispatch(effClose);
        TestHelpers::pumpMessages();
        fakeHost = nullptr;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    void start(float rate, int block)
    {
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, block);
        dispatch(effMainsChanged, 0, 1);
    }

    // Processes n samples of a ramp on both channels; returns the left output.
    std::vector<float> process(int n, float nanEvery = 0)
    {
        return run(n, nanEvery, effect->processReplacing, 9.0f);
    }

    // The same through the given process call, outputs filled with before.
    std::vector<float> run(int n, float nanEvery, AEffectProcessProc call, float before)
    {
        std::vector<float> in[2] = { std::vector<float>(size_t(n)), std::vector<float>(size_t(n)) };
        std::vector<float> out[2] = { std::vector<float>(size_t(n), before), std::vector<float>(size_t(n), before) };
        for (int i = 0; i < n; ++i)
        {
            in[0][size_t(i)] = in[1][size_t(i)] = float(i + 1) / float(n);
            if (nanEvery > 0 && i % int(nanEvery) == 0)
                in[0][size_t(i)] = std::numeric_limits<float>::quiet_NaN();
        }
        float* inputs[2] = { in[0].data(), in[1].data() };
        float* outputs[2] = { out[0].data(), out[1].data() };
        call(effect, inputs, outputs, n);
        return out[0];
    }

    void sendEvents(const std::vector<std::pair<int, juce::uint8>>& offsetsAndStatus)
    {
        std::vector<VstMidiEvent> midi(offsetsAndStatus.size());
        std::vector<unsigned char> block(offsetof(VstEvents, events) + sizeof(VstEvent*) * (midi.size() + 2));
        auto* events = reinterpret_cast<VstEvents*>(block.data());
        events->numEvents = VstInt32(midi.size());
        for (size_t i = 0; i < midi.size(); ++i)
        {
            midi[i].type = kVstMidiType;
            midi[i].byteSize = sizeof(VstMidiEvent);
            midi[i].deltaFrames = offsetsAndStatus[i].first;
            midi[i].midiData[0] = char(offsetsAndStatus[i].second);
            midi[i].midiData[1] = 60;
            midi[i].midiData[2] = 100;
            reinterpret_cast<VstEvent**>(block.data() + offsetof(VstEvents, events))[i]
                = reinterpret_cast<VstEvent*>(&midi[i]);
        }
        dispatch(effProcessEvents, 0, 0, events);
    }

    FakeHost host;
    AEffect* effect = nullptr;
    VSTWrapper* wrapper = nullptr;
    ProbeProcessor* probe = nullptr;
};
} // namespace

TEST(VSTWrapperEntry, AHostAnsweringZeroToTheVersionGetsNoPlugin)
{
    FakeHost host;
    fakeHost = &host;
    host.version = 0;
    EXPECT_EQ(VSTWrapper::createEffect(fakeCallback, makeProbe), nullptr);
    EXPECT_EQ(VSTWrapper::createEffect(nullptr, makeProbe), nullptr);
    host.version = 2400;
    EXPECT_EQ(VSTWrapper::createEffect(fakeCallback, makeNothing), nullptr);
    fakeHost = nullptr;
}

TEST_F(VSTWrapperTest, RecordDescribesAStereoEffect)
{
    EXPECT_EQ(probe->seenWrapperType, juce::AudioProcessor::wrapperType_VST);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->uniqueID, vstFourCharCode('T', 'V', 'N', 'R'));
    EXPECT_EQ(effect->version, 65794);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numParams, 2);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsProgramChunks); // no editor, no "no sound in stop"
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(dispatch(effGetVendorVersion), 65794);
    EXPECT_EQ(dispatch(effGetTailSize), 22050);

    char text[80] = {};
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "Probe");
    EXPECT_EQ(dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Orv Group Audio Software");
    dispatch(effGetProgramName, 0, 0, text);
    EXPECT_STREQ(text, "Only");

    struct Case
    {
        const char* what;
        VstIntPtr answer;
    };
    for (const auto& c : { Case { "receiveVstEvents", 1 }, Case { "receiveVstMidiEvent", 1 },
                           Case { "receiveVstTimeInfo", 1 }, Case { "sendVstMidiEvent", -1 }, Case { "bypass", 0 } })
        EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>(c.what)), c.answer) << c.what;
}

TEST_F(VSTWrapperTest, EditorOpcodesAnswerZeroWithoutAnEditor)
{
    ERect* rect = nullptr;
    int window = 1;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &window), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
}

TEST_F(VSTWrapperTest, HostParametersReadAndWriteTheProcessorsParameters)
{
    char text[80];
    struct TextCase
    {
        VstInt32 opcode;
        int index;
        const char* expected;
    };
    for (const auto& c : { TextCase { effGetParamName, 0, "Gain" }, TextCase { effGetParamName, 1, "Mode" },
                           TextCase { effGetParamLabel, 0, "lin" }, TextCase { effGetParamDisplay, 1, "Soft" },
                           TextCase { effGetParamName, -1, "" }, TextCase { effGetParamName, 2, "" },
                           TextCase { effGetParamDisplay, 128, "" } })
    {
        std::memset(text, 'x', sizeof(text));
        dispatch(c.opcode, c.index, 0, text);
        EXPECT_STREQ(text, c.expected) << c.opcode << " " << c.index;
    }

    effect->setParameter(effect, 1, 1.0f);
    EXPECT_EQ(probe->mode->getIndex(), 1);
    dispatch(effGetParamDisplay, 1, 0, text);
    EXPECT_STREQ(text, "Hard");

    struct ValueCase
    {
        float set;
        float expected;
    };
    for (const auto& c : { ValueCase { 0.25f, 0.25f }, ValueCase { 1.5f, 1.0f }, ValueCase { -3.0f, 0.0f },
                           ValueCase { std::numeric_limits<float>::quiet_NaN(), 0.0f },
                           ValueCase { std::numeric_limits<float>::infinity(), 0.0f } })
    {
        effect->setParameter(effect, 0, c.set);
        EXPECT_EQ(effect->getParameter(effect, 0), c.expected) << c.set;
        EXPECT_EQ(probe->gain->get(), c.expected) << c.set;
    }

    for (const int index : { -1, 2, 128 })
    {
        effect->setParameter(effect, index, 0.5f);
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
        EXPECT_EQ(dispatch(effCanBeAutomated, index), 0);
    }
    EXPECT_EQ(dispatch(effCanBeAutomated, 0), 1);

    char typed[] = "Hard";
    effect->setParameter(effect, 1, 0.0f);
    EXPECT_EQ(dispatch(effString2Parameter, 1, 0, typed), 1);
    EXPECT_EQ(probe->mode->getIndex(), 1);

    // Values from the host are not sent back to it as automation.
    EXPECT_EQ(host.count(audioMasterAutomate), 0);
}

TEST_F(VSTWrapperTest, ProcessorChangesReachTheHostAsAutomation)
{
    probe->gain->beginChangeGesture();
    probe->gain->setValueNotifyingHost(0.3f);
    probe->gain->endChangeGesture();

    std::vector<VstInt32> opcodes;
    for (const auto& c : host.calls)
        if (c.opcode == audioMasterAutomate || c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit)
        {
            opcodes.push_back(c.opcode);
            EXPECT_EQ(c.index, 0);
            if (c.opcode == audioMasterAutomate)
                EXPECT_FLOAT_EQ(c.opt, 0.3f);
        }
    const std::vector<VstInt32> expected { audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit };
    EXPECT_EQ(opcodes, expected);

    probe->setLatencySamples(64);
    TestHelpers::pumpMessages();
    EXPECT_EQ(effect->initialDelay, 64);
    EXPECT_EQ(host.count(audioMasterIOChanged), 1);
    EXPECT_GE(host.count(audioMasterUpdateDisplay), 1);

    const int before = host.count(audioMasterUpdateDisplay);
    probe->updateHostDisplay();
    TestHelpers::pumpMessages();
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), before + 1);
}

TEST_F(VSTWrapperTest, ParametersMovedByAHostWriteReachTheHostButNotTheWrittenOne)
{
    // Writing the gain moves the mode along with it, as a selector parameter
    // moves the parameters that show the selected part.
    struct Coupling : juce::AudioProcessorParameter::Listener
    {
        explicit Coupling(ProbeProcessor& p) : probe(p) {}
        void parameterValueChanged(int, float v) override { probe.mode->setValueNotifyingHost(v >= 0.5f ? 1.0f : 0.0f); }
        void parameterGestureChanged(int, bool) override {}
        ProbeProcessor& probe;
    } coupling(*probe);

    probe->gain->addListener(&coupling);
    effect->setParameter(effect, 0, 0.75f);
    probe->gain->removeListener(&coupling);

    std::vector<FakeHost::Call> automation;
    for (const auto& c : host.calls)
        if (c.opcode == audioMasterAutomate)
            automation.push_back(c);
    ASSERT_EQ(automation.size(), 1u);
    EXPECT_EQ(automation[0].index, 1);
    EXPECT_FLOAT_EQ(automation[0].opt, 1.0f);
    EXPECT_FLOAT_EQ(probe->gain->get(), 0.75f);
}

TEST_F(VSTWrapperTest, OfflineProcessLevelMakesTheProcessorNonRealtime)
{
    host.processLevel = kVstProcessLevelOffline;
    start(44100.0f, 256);
    EXPECT_TRUE(probe->preparedNonRealtime);

    struct Case
    {
        VstIntPtr level;
        bool nonRealtime;
    };
    for (const auto& c : { Case { kVstProcessLevelOffline, true }, Case { kVstProcessLevelRealtime, false },
                           Case { kVstProcessLevelOffline, true }, Case { kVstProcessLevelUser, false },
                           Case { kVstProcessLevelPrefetch, false }, Case { kVstProcessLevelUnknown, false } })
    {
        host.processLevel = c.level;
        process(256);
        ASSERT_FALSE(probe->nonRealtimeBlocks.empty());
        EXPECT_EQ(probe->nonRealtimeBlocks.back(), c.nonRealtime) << c.level;
    }

    host.processLevel = kVstProcessLevelRealtime;
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_FALSE(probe->preparedNonRealtime);
}

TEST_F(VSTWrapperTest, ChunkIsTheProcessorsStateAndRoundTrips)
{
    *probe->gain = 0.4f;
    *probe->mode = 1;
    void* data = nullptr;
    const auto size = dispatch(effGetChunk, 0, 0, &data);
    ASSERT_GT(size, 0);
    juce::MemoryBlock expected;
    probe->getStateInformation(expected);
    ASSERT_EQ(size_t(size), expected.getSize());
    EXPECT_EQ(std::memcmp(data, expected.getData(), expected.getSize()), 0);
    const std::vector<char> saved(static_cast<char*>(data), static_cast<char*>(data) + size);

    AEffect* other = VSTWrapper::createEffect(fakeCallback, makeProbe);
    ASSERT_NE(other, nullptr);
    auto* otherProbe = dynamic_cast<ProbeProcessor*>(&static_cast<VSTWrapper*>(other->object)->getProcessor());
    std::vector<char> copy = saved;
    EXPECT_EQ(other->dispatcher(other, effSetChunk, 0, VstIntPtr(copy.size()), copy.data(), 0), 1);
    EXPECT_FLOAT_EQ(otherProbe->gain->get(), 0.4f);
    EXPECT_EQ(otherProbe->mode->getIndex(), 1);
    void* again = nullptr;
    const auto againSize = other->dispatcher(other, effGetChunk, 0, 0, &again, 0);
    ASSERT_EQ(againSize, size);
    EXPECT_EQ(std::memcmp(again, saved.data(), saved.size()), 0);

    // Nothing to set: refused without reaching the processor.
    const int setsBefore = otherProbe->stateSetCount;
    EXPECT_EQ(other->dispatcher(other, effSetChunk, 0, 0, copy.data(), 0), 0);
    EXPECT_EQ(other->dispatcher(other, effSetChunk, 0, 10, nullptr, 0), 0);
    EXPECT_EQ(otherProbe->stateSetCount, setsBefore);
    other->dispatcher(other, effClose, 0, 0, nullptr, 0);
}

TEST_F(VSTWrapperTest, MidiArrivesAtItsSampleOffsets)
{
    start(44100.0f, 512);
    EXPECT_EQ(probe->preparedBlock, 512);
    EXPECT_EQ(probe->preparedRate, 44100.0);
    EXPECT_EQ(host.count(audioMasterWantMidi), 1);

    // The last two carry nothing: no status byte, a lone system exclusive start.
    sendEvents({ { 0, 0x90 }, { 100, 0x80 }, { 511, 0xB0 }, { 5, 0x12 }, { 7, 0xF0 } });
    process(512);
    ASSERT_EQ(probe->midiSeen.size(), 3u);
    EXPECT_EQ(probe->midiSeen[0].sample, 0);
    EXPECT_EQ(probe->midiSeen[0].status, 0x90);
    EXPECT_EQ(probe->midiSeen[0].bytes, 3);
    EXPECT_EQ(probe->midiSeen[1].sample, 100);
    EXPECT_EQ(probe->midiSeen[2].sample, 511);

    // Events are for one block only.
    process(512);
    EXPECT_EQ(probe->midiSeen.size(), 3u);
}

TEST_F(VSTWrapperTest, BlocksLargerThanAnnouncedAreProcessedInPieces)
{
    start(44100.0f, 64);
    *probe->gain = 0.5f;
    sendEvents({ { 10, 0x90 }, { 70, 0x90 }, { 200, 0x90 }, { 255, 0x90 }, { 900, 0x90 } });
    const auto out = process(256);

    const std::vector<int> pieces { 64, 64, 64, 64 };
    EXPECT_EQ(probe->blockSizes, pieces);
    std::vector<int64_t> samples;
    for (const auto& m : probe->midiSeen)
        samples.push_back(m.sample);
    // An event past the block's end plays at its last sample.
    const std::vector<int64_t> expected { 10, 70, 200, 255, 255 };
    EXPECT_EQ(samples, expected);
    for (int i = 0; i < 256; ++i)
        ASSERT_FLOAT_EQ(out[size_t(i)], 0.5f * float(i + 1) / 256.0f) << i;
}

TEST_F(VSTWrapperTest, TimeInfoBecomesThePlayHead)
{
    host.timeInfo.samplePos = 44100.0;
    host.timeInfo.sampleRate = 44100.0;
    host.timeInfo.tempo = 90.0;
    host.timeInfo.ppqPos = 1.5;
    host.timeInfo.barStartPos = 0.0;
    host.timeInfo.timeSigNumerator = 3;
    host.timeInfo.timeSigDenominator = 8;
    host.timeInfo.cycleStartPos = 4.0;
    host.timeInfo.cycleEndPos = 8.0;
    host.timeInfo.flags = kVstTransportPlaying | kVstTransportCycleActive | kVstPpqPosValid | kVstTempoValid
                          | kVstBarsValid | kVstTimeSigValid | kVstCyclePosValid;
    start(44100.0f, 100);
    process(150);

    bool asked = false;
    for (const auto& c : host.calls)
        if (c.opcode == audioMasterGetTime)
        {
            EXPECT_EQ(c.value, 0xFE00);
            asked = true;
        }
    EXPECT_TRUE(asked);

    ASSERT_EQ(probe->positions.size(), 2u);
    ASSERT_TRUE(probe->positions[0].hasValue());
    const auto& first = *probe->positions[0];
    EXPECT_EQ(*first.getTimeInSamples(), 44100);
    EXPECT_DOUBLE_EQ(*first.getTimeInSeconds(), 1.0);
    EXPECT_DOUBLE_EQ(*first.getBpm(), 90.0);
    EXPECT_DOUBLE_EQ(*first.getPpqPosition(), 1.5);
    EXPECT_DOUBLE_EQ(*first.getPpqPositionOfLastBarStart(), 0.0);
    EXPECT_EQ(first.getTimeSignature()->numerator, 3);
    EXPECT_EQ(first.getTimeSignature()->denominator, 8);
    EXPECT_DOUBLE_EQ(first.getLoopPoints()->ppqStart, 4.0);
    EXPECT_DOUBLE_EQ(first.getLoopPoints()->ppqEnd, 8.0);
    EXPECT_TRUE(first.getIsPlaying());
    EXPECT_TRUE(first.getIsLooping());
    EXPECT_FALSE(first.getIsRecording());

    // The second piece of the block starts 100 samples later.
    const auto& second = *probe->positions[1];
    EXPECT_EQ(*second.getTimeInSamples(), 44200);
    EXPECT_NEAR(*second.getPpqPosition(), 1.5 + 100.0 / 44100.0 * 1.5, 1e-12);

    host.giveTime = false;
    process(50);
    ASSERT_EQ(probe->positions.size(), 3u);
    EXPECT_FALSE(probe->positions[2].hasValue());
}

TEST_F(VSTWrapperTest, NonFiniteInputEntersAsSilence)
{
    start(48000.0f, 128);
    const auto out = process(128, 3);
    EXPECT_EQ(probe->nonFiniteInputs, 0);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 2.0f / 128.0f);
}

TEST_F(VSTWrapperTest, AHostThatNeverResumesIsResumedByItsFirstBlock)
{
    // No effMainsChanged(1): the first block prepares the processor at the
    // rate and size the host set.
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(effSetBlockSize, 0, 64);
    *probe->gain = 0.5f;
    const auto out = process(64);
    EXPECT_EQ(probe->preparedRate, 48000.0);
    EXPECT_EQ(probe->preparedBlock, 64);
    ASSERT_EQ(probe->blockSizes.size(), 1u);
    for (int i = 0; i < 64; ++i)
        ASSERT_FLOAT_EQ(out[size_t(i)], 0.5f * float(i + 1) / 64.0f) << i;
    EXPECT_EQ(host.count(audioMasterWantMidi), 1);
}

TEST_F(VSTWrapperTest, SilentWhileSuspended)
{
    start(44100.0f, 64);
    probe->suspendProcessing(true);
    auto out = process(64);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
    probe->suspendProcessing(false);
    process(64);
    EXPECT_EQ(probe->blockSizes.size(), 1u);

    // Suspended by the host: silent, and not resumed behind its back.
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(probe->releaseCount, 1);
    out = process(64);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(probe->blockSizes.size(), 1u);
}

TEST_F(VSTWrapperTest, TheAccumulatingProcessAddsToTheOutput)
{
    start(44100.0f, 64);
    *probe->gain = 0.5f;
    const auto out = run(100, 0, effect->process, 0.25f);
    for (int i = 0; i < 100; ++i)
        ASSERT_FLOAT_EQ(out[size_t(i)], 0.25f + 0.5f * float(i + 1) / 100.0f) << i;
}

TEST_F(VSTWrapperTest, ASampleRateChangeWithoutSuspendTakesEffect)
{
    start(44100.0f, 64);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(probe->preparedRate, 96000.0);
    process(64);
    EXPECT_EQ(probe->blockSizes.size(), 1u);
}

TEST(VSTWrapperTexts, NamesUpTo32CharactersAndOtherTextsUpTo24AlwaysTerminated)
{
    FakeHost host;
    fakeHost = &host;
    AEffect* effect = VSTWrapper::createEffect(fakeCallback, makeLongTexts);
    ASSERT_NE(effect, nullptr);
    struct Case
    {
        VstInt32 opcode;
        const char* expected;
    };
    for (const auto& c : { Case { effGetParamName, "Line 1 Pre-delay Right Duration Numerator" },
                           Case { effGetParamDisplay, "ninety-nine point nine nine percent" },
                           Case { effGetParamLabel, "a label that goes on and on" } })
    {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        effect->dispatcher(effect, c.opcode, 2, 0, text, 0.0f);
        const size_t expectedLength = c.opcode == effGetParamName ? 32 : 24;
        EXPECT_EQ(std::string(text), std::string(c.expected).substr(0, expectedLength)) << c.opcode;
        EXPECT_EQ(text[expectedLength + 1], 'x') << c.opcode;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    fakeHost = nullptr;
}

TEST_F(VSTWrapperTest, TextsThatNameNoValueAreRefused)
{
    struct Case
    {
        int index;
        const char* text;
        VstIntPtr answer;
        float value; // afterwards
    };
    effect->setParameter(effect, 0, 0.25f);
    effect->setParameter(effect, 1, 0.0f);
    for (const auto& c : { Case { 0, "not a number", 0, 0.25f }, Case { 0, "", 0, 0.25f }, Case { 0, "  ", 0, 0.25f },
                           Case { 0, "nan", 0, 0.25f }, Case { 1, "Medium", 0, 0.0f }, Case { 0, "0.75", 1, 0.75f },
                           Case { 0, " .5", 1, 0.5f }, Case { 1, "Hard", 1, 1.0f }, Case { 1, "Soft", 1, 0.0f } })
    {
        std::vector<char> typed(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(dispatch(effString2Parameter, c.index, 0, typed.data()), c.answer) << c.text;
        EXPECT_FLOAT_EQ(effect->getParameter(effect, c.index), c.value) << c.text;
    }
}

TEST_F(VSTWrapperTest, AStateLoadIsNoAutomationButOneDisplayUpdate)
{
    *probe->gain = 0.4f;
    *probe->mode = 1;
    juce::MemoryBlock saved;
    probe->getStateInformation(saved);
    *probe->gain = 1.0f;
    *probe->mode = 0;
    TestHelpers::pumpMessages();
    const int displayUpdates = host.count(audioMasterUpdateDisplay);
    const int automation = host.count(audioMasterAutomate);

    EXPECT_EQ(dispatch(effSetChunk, 0, VstIntPtr(saved.getSize()), saved.getData()), 1);
    EXPECT_FLOAT_EQ(probe->gain->get(), 0.4f);
    TestHelpers::pumpMessages();
    EXPECT_EQ(host.count(audioMasterAutomate), automation);
    EXPECT_EQ(host.count(audioMasterUpdateDisplay), displayUpdates + 1);
}

TEST_F(VSTWrapperTest, AutomationMadeDuringABlockReachesTheHostAfterIt)
{
    start(44100.0f, 64);
    probe->modeToSetInBlock = 1;
    process(64);
    const auto automation = host.callsOf(audioMasterAutomate);
    ASSERT_EQ(automation.size(), 1u);
    EXPECT_EQ(automation[0].index, 1);
    EXPECT_FALSE(automation[0].duringBlock);
    // Still on the audio thread, the thread the host called.
    EXPECT_EQ(automation[0].thread, std::this_thread::get_id());
}

TEST_F(VSTWrapperTest, AutomationFromAThreadTheHostDidNotCallComesOnTheMessageThread)
{
    std::thread worker([this] {
        probe->gain->beginChangeGesture();
        probe->gain->setValueNotifyingHost(0.3f);
        probe->gain->endChangeGesture();
    });
    worker.join();
    EXPECT_EQ(host.count(audioMasterAutomate), 0);

    TestHelpers::pumpMessages();
    std::vector<VstInt32> opcodes;
    for (const auto opcode : { audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit })
        for (const auto& c : host.callsOf(opcode))
        {
            opcodes.push_back(c.opcode);
            EXPECT_EQ(c.thread, std::this_thread::get_id());
            EXPECT_EQ(c.index, 0);
        }
    const std::vector<VstInt32> expected { audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit };
    EXPECT_EQ(opcodes, expected);
    ASSERT_EQ(host.callsOf(audioMasterAutomate).size(), 1u);
    EXPECT_FLOAT_EQ(host.callsOf(audioMasterAutomate)[0].opt, 0.3f);
}

// A display update or a latency change held for the host (what it does when
// told is GUI work) is made only on the thread that opened the plug-in: not on
// its audio thread, nor on a thread that only plays automation and has never
// processed, nor on another thread of the host's that calls the dispatcher.
// The record says the new latency at once.
TEST_F(VSTWrapperTest, HeldNoticesWaitForACallFromTheThreadThatOpenedThePlugIn)
{
    start(44100.0f, 64);
    process(64);
    const struct
    {
        const char* what;
        std::function<void()> calls;
    } threads[] = {
        { "the audio thread",
          [this] {
              process(64);
              effect->setParameter(effect, 0, 0.3f);
              process(64);
              effect->setParameter(effect, 0, 0.6f);
          } },
        { "a thread that only automates",
          [this] {
              effect->setParameter(effect, 0, 0.3f);
              effect->setParameter(effect, 0, 0.6f);
          } },
        { "a thread of the host's that asks for the state",
          [this] {
              void* data = nullptr;
              dispatch(effGetChunk, 0, 0, &data);
              dispatch(effGetProgram);
          } },
    };
    int latency = 0;
    for (const auto& t : threads)
    {
        // A latency change and a display update from a thread of the
        // processor's own, not inside any call of the host's.
        latency += 32;
        probe->setLatencySamples(latency);
        const int ioChangedBefore = host.count(audioMasterIOChanged);
        const int updatesBefore = host.count(audioMasterUpdateDisplay);

        std::thread other(t.calls);
        const auto otherThread = other.get_id();
        other.join();
        for (const auto opcode : { audioMasterIOChanged, audioMasterUpdateDisplay })
            for (const auto& c : host.callsOf(opcode))
                EXPECT_NE(c.thread, otherThread) << "opcode " << opcode << " made on " << t.what;
        EXPECT_EQ(effect->initialDelay, latency) << t.what;

        // The host's next call from the thread that opened the plug-in.
        dispatch(effIdle);
        EXPECT_EQ(host.count(audioMasterIOChanged), ioChangedBefore + 1) << t.what;
        EXPECT_EQ(host.count(audioMasterUpdateDisplay), updatesBefore + 1) << t.what;
        for (const auto opcode : { audioMasterIOChanged, audioMasterUpdateDisplay })
            for (const auto& c : host.callsOf(opcode))
                EXPECT_EQ(c.thread, std::this_thread::get_id()) << t.what;
    }
}

// Chunks, programs, suspend and resume from a host thread finish while the
// message thread is busy elsewhere: none of them waits for it.
TEST_F(VSTWrapperTest, StateProgramAndResumeCallsWaitForNoOtherThread)
{
    juce::MemoryBlock saved;
    probe->getStateInformation(saved);
    std::atomic<bool> done { false };
    std::thread hostThread([&] {
        void* data = nullptr;
        dispatch(effGetChunk, 0, 0, &data);
        dispatch(effSetChunk, 0, VstIntPtr(saved.getSize()), saved.getData());
        dispatch(effSetProgram, 0, 0);
        dispatch(effSetProgramName, 0, 0, const_cast<char*>("Name"));
        dispatch(effMainsChanged, 0, 1);
        dispatch(effMainsChanged, 0, 0);
        done = true;
    });

    // This test's thread is the message thread, and it does not dispatch.
    const auto deadline = juce::Time::getMillisecondCounter() + 5000;
    while (! done && juce::Time::getMillisecondCounter() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(done) << "a dispatcher call waited for the message thread";

    while (! done)
        TestHelpers::pumpMessages();
    hostThread.join();
}

TEST_F(VSTWrapperTest, EachThreadsChunkStaysValidWhileAnotherThreadAsks)
{
    *probe->gain = 0.25f;
    void* first = nullptr;
    const auto firstSize = dispatch(effGetChunk, 0, 0, &first);
    ASSERT_GT(firstSize, 0);
    const std::vector<char> firstCopy(static_cast<char*>(first), static_cast<char*>(first) + firstSize);

    *probe->gain = 0.75f;
    std::vector<char> secondCopy;
    std::atomic<bool> done { false };
    std::thread other([&] {
        void* second = nullptr;
        const auto size = dispatch(effGetChunk, 0, 0, &second);
        secondCopy.assign(static_cast<char*>(second), static_cast<char*>(second) + size);
        done = true;
    });
    while (! done)
        TestHelpers::pumpMessages();
    other.join();

    EXPECT_NE(secondCopy, firstCopy);
    EXPECT_EQ(std::memcmp(first, firstCopy.data(), firstCopy.size()), 0);
}

TEST_F(VSTWrapperTest, ProgramNumbersOutOfRangeAreIgnored)
{
    for (const VstIntPtr program : { VstIntPtr(-1), VstIntPtr(1), VstIntPtr(1000) })
    {
        dispatch(effSetProgram, 0, program);
        EXPECT_EQ(dispatch(effGetProgram), 0);
    }
    char text[32];
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 0, 0, text), 1);
    EXPECT_STREQ(text, "Only");
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 1, 0, text), 0);
}

TEST_F(VSTWrapperTest, PinsAndSpeakersAreOneStereoPair)
{
    VstPinProperties pin {};
    EXPECT_EQ(dispatch(effGetInputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Input 2");
    EXPECT_STREQ(pin.shortLabel, "In 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(dispatch(effGetOutputProperties, 0, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Output 1");
    EXPECT_EQ(dispatch(effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(dispatch(effGetInputProperties, -1, 0, &pin), 0);

    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->type, kSpeakerArrStereo);
    EXPECT_EQ(out->numChannels, 2);
    EXPECT_EQ(dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(in), out), 1);

    VstSpeakerArrangement mono {};
    mono.numChannels = 1;
    EXPECT_EQ(dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), out), 0);
}

// Hosts install an X error handler that reports and goes on; Xlib's default
// one would end this program on the errors that a server without a window
// manager (Xvfb) gives for properties of atoms no window manager made.
void installHostLikeXErrorHandler()
{
    using Handler = int (*)(void*, void*);
    using SetHandler = Handler (*)(Handler);
    if (void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
        if (auto set = reinterpret_cast<SetHandler>(dlsym(x11, "XSetErrorHandler")))
            set([](void*, void*) { return 0; });
}

TEST(VSTWrapperEditor, EmbeddedInTheHostWindowAndResizedThroughTheHost)
{
    installHostLikeXErrorHandler();
    FakeHost host;
    fakeHost = &host;
    ProbeProcessor::withEditor = true;
    AEffect* effect = VSTWrapper::createEffect(fakeCallback, makeProbe);
    ProbeProcessor::withEditor = false;
    ASSERT_NE(effect, nullptr);
    auto dispatch = [effect](VstInt32 opcode, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    };
    EXPECT_NE(effect->flags & effFlagsHasEditor, 0);

    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 300);
    EXPECT_EQ(rect->bottom - rect->top, 200);

    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr)
    {
        // A window of this program stands in for the host's.
        juce::Component hostWindow;
        hostWindow.setSize(300, 200);
        hostWindow.addToDesktop(0);
        ASSERT_EQ(dispatch(effEditOpen, hostWindow.getWindowHandle()), 1);
        auto* probe = dynamic_cast<ProbeProcessor*>(&static_cast<VSTWrapper*>(effect->object)->getProcessor());
        auto* editor = probe->getActiveEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(editor->isShowing());

        editor->setSize(420, 260);
        bool resized = false;
        for (const auto& c : host.calls)
            if (c.opcode == audioMasterSizeWindow)
                resized = c.index == 420 && c.value == 260;
        EXPECT_TRUE(resized);
        ASSERT_EQ(dispatch(effEditGetRect, &rect), 1);
        EXPECT_EQ(rect->right, 420);
        EXPECT_EQ(rect->bottom, 260);

        dispatch(effEditClose);
        EXPECT_EQ(probe->getActiveEditor(), nullptr);
    }

    dispatch(effClose);
    TestHelpers::pumpMessages();
    fakeHost = nullptr;
}

// The GUI root made with the plug-in base at start-up lives on the message
// thread: its part of a chunk loaded on a host thread waits for it.
TEST(VSTWrapperGuiRoot, TheEditorsStateInAChunkIsAppliedOnTheMessageThread)
{
    using BasePluginTestSupport::FakeGuiRoot;
    const VSTWrapper::ProcessorFactory withGuiRoot = [] {
        auto* plugin = new BasePluginTestSupport::TestPlugin(true);
        BasePlugin::completeStartUp(*plugin);
        return static_cast<juce::AudioProcessor*>(plugin);
    };
    FakeHost host;
    fakeHost = &host;
    AEffect* source = VSTWrapper::createEffect(fakeCallback, withGuiRoot);
    AEffect* target = VSTWrapper::createEffect(fakeCallback, withGuiRoot);
    ASSERT_NE(source, nullptr);
    ASSERT_NE(target, nullptr);
    auto rootOf = [](AEffect* e) {
        auto& plugin = dynamic_cast<BasePlugin&>(static_cast<VSTWrapper*>(e->object)->getProcessor());
        return dynamic_cast<FakeGuiRoot*>(plugin.getGuiRoot());
    };
    ASSERT_NE(rootOf(target), nullptr);
    rootOf(source)->currentSkin = "Dark";
    void* data = nullptr;
    const auto size = source->dispatcher(source, effGetChunk, 0, 0, &data, 0.0f);
    std::vector<char> chunk(static_cast<char*>(data), static_cast<char*>(data) + size);

    std::thread hostThread([&] {
        EXPECT_EQ(target->dispatcher(target, effSetChunk, 0, VstIntPtr(chunk.size()), chunk.data(), 0.0f), 1);
    });
    hostThread.join();
    EXPECT_EQ(rootOf(target)->currentSkin, "Current");
    TestHelpers::pumpMessages();
    EXPECT_EQ(rootOf(target)->currentSkin, "Dark");

    for (auto* e : { source, target })
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    TestHelpers::pumpMessages();
    fakeHost = nullptr;
}
