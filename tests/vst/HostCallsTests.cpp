#include "vst/AudioEffectX.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace
{
// A fake host that records every call and answers from a table.
struct RecordingHost
{
    struct Call
    {
        AEffect* effect;
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        float opt;
    };
    std::vector<Call> calls;
    std::map<VstInt32, VstIntPtr> answers;
};

RecordingHost* currentHost = nullptr;

VstIntPtr recordingCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    currentHost->calls.push_back({ effect, opcode, index, value, ptr, opt });
    const auto it = currentHost->answers.find(opcode);
    return it != currentHost->answers.end() ? it->second : 0;
}

class PlainEffect : public AudioEffectX
{
public:
    explicit PlainEffect(audioMasterCallback host) : AudioEffectX(host, 1, 4) {}
    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override { parameterSet.emplace_back(index, value); }
    std::vector<std::pair<VstInt32, float>> parameterSet;
};

class HostCalls : public ::testing::Test
{
protected:
    void SetUp() override { currentHost = &host; }
    void TearDown() override { currentHost = nullptr; }

    RecordingHost host;
    PlainEffect effect { recordingCallback };
    char text[16] = "text";
    int dummy = 0;
};
} // namespace

TEST_F(HostCalls, EachOperationCallsItsOpcodeWithItsArguments)
{
    struct Case
    {
        const char* name;
        std::function<VstIntPtr()> call;
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        void* ptr;
        float opt;
        VstIntPtr answer;
        VstIntPtr expected;
    };
    void* t = text;
    void* d = &dummy;
    auto* task = reinterpret_cast<VstOfflineTask*>(d);
    auto* files = reinterpret_cast<VstAudioFile*>(d);
    auto* select = reinterpret_cast<VstFileSelect*>(d);
    auto* window = reinterpret_cast<VstWindow*>(d);

    const std::vector<Case> cases = {
        { "getMasterVersion", [&] { return effect.getMasterVersion(); }, 1, 0, 0, nullptr, 0, 2400, 2400 },
        { "getMasterVersion 0", [&] { return effect.getMasterVersion(); }, 1, 0, 0, nullptr, 0, 0, 1 },
        { "getCurrentUniqueId", [&] { return effect.getCurrentUniqueId(); }, 2, 0, 0, nullptr, 0, 77, 77 },
        { "masterIdle", [&] { effect.masterIdle(); return 0; }, 3, 0, 0, nullptr, 0, 5, 0 },
        { "isInputConnected 0", [&] { return effect.isInputConnected(1); }, 4, 1, 0, nullptr, 0, 0, 1 },
        { "isInputConnected 1", [&] { return effect.isInputConnected(1); }, 4, 1, 0, nullptr, 0, 1, 0 },
        { "isOutputConnected", [&] { return effect.isOutputConnected(0); }, 4, 0, 1, nullptr, 0, 0, 1 },
        { "wantEvents", [&] { effect.wantEvents(3); return 0; }, 6, 0, 3, nullptr, 0, 1, 0 },
        { "getTimeInfo", [&] { return reinterpret_cast<VstIntPtr>(effect.getTimeInfo(0xFE00)); }, 7, 0, 0xFE00,
          nullptr, 0, 1234, 1234 },
        { "tempoAt", [&] { return effect.tempoAt(99); }, 10, 0, 99, nullptr, 0, 1200000, 1200000 },
        { "getNumAutomatableParameters", [&] { return effect.getNumAutomatableParameters(); }, 11, 0, 0, nullptr, 0,
          9, 9 },
        { "getParameterQuantization", [&] { return effect.getParameterQuantization(); }, 12, 0, 0, nullptr, 0, 3, 3 },
        { "ioChanged", [&] { return VstIntPtr(effect.ioChanged()); }, 13, 0, 0, nullptr, 0, 5, 1 },
        { "needIdle", [&] { return VstIntPtr(effect.needIdle()); }, 14, 0, 0, nullptr, 0, 0, 0 },
        { "sizeWindow", [&] { return VstIntPtr(effect.sizeWindow(640, 480)); }, 15, 640, 480, nullptr, 0, 1, 1 },
        { "getInputLatency", [&] { return effect.getInputLatency(); }, 18, 0, 0, nullptr, 0, 64, 64 },
        { "getOutputLatency", [&] { return effect.getOutputLatency(); }, 19, 0, 0, nullptr, 0, 32, 32 },
        { "getPreviousPlug", [&] { return reinterpret_cast<VstIntPtr>(effect.getPreviousPlug(0)); }, 20, 0, 0,
          nullptr, 0, 88, 88 },
        { "getNextPlug", [&] { return reinterpret_cast<VstIntPtr>(effect.getNextPlug(0)); }, 21, 0, 0, nullptr, 0,
          89, 89 },
        { "willProcessReplacing", [&] { return effect.willProcessReplacing(); }, 22, 0, 0, nullptr, 0, 1, 1 },
        { "getCurrentProcessLevel", [&] { return effect.getCurrentProcessLevel(); }, 23, 0, 0, nullptr, 0, 4, 4 },
        { "getAutomationState", [&] { return effect.getAutomationState(); }, 24, 0, 0, nullptr, 0, 2, 2 },
        { "offlineStart", [&] { return VstIntPtr(effect.offlineStart(files, 3, 2)); }, 25, 2, 3, d, 0, 1, 1 },
        { "offlineRead", [&] { return VstIntPtr(effect.offlineRead(task, kVstOfflinePeaks, false)); }, 26, 0, 1, d,
          0, 1, 1 },
        { "offlineWrite", [&] { return VstIntPtr(effect.offlineWrite(task, kVstOfflineMarker)); }, 27, 0, 3, d, 0,
          0, 0 },
        { "offlineGetCurrentPass", [&] { return effect.offlineGetCurrentPass(); }, 28, 0, 0, nullptr, 0, 7, 1 },
        { "offlineGetCurrentMetaPass", [&] { return effect.offlineGetCurrentMetaPass(); }, 29, 0, 0, nullptr, 0, 0,
          0 },
        { "setOutputSamplerate", [&] { effect.setOutputSamplerate(22050.0f); return 0; }, 30, 0, 0, nullptr,
          22050.0f, 0, 0 },
        { "getOutputSpeakerArrangement",
          [&] { return reinterpret_cast<VstIntPtr>(effect.getOutputSpeakerArrangement()); }, 31, 0, 0, nullptr, 0,
          55, 55 },
        { "getHostVendorString", [&] { return VstIntPtr(effect.getHostVendorString(text)); }, 32, 0, 0, t, 0, 1, 1 },
        { "getHostProductString", [&] { return VstIntPtr(effect.getHostProductString(text)); }, 33, 0, 0, t, 0, 0,
          0 },
        { "getHostVendorVersion", [&] { return effect.getHostVendorVersion(); }, 34, 0, 0, nullptr, 0, 1000, 1000 },
        { "hostVendorSpecific", [&] { return effect.hostVendorSpecific(5, 6, d, 0.5f); }, 35, 5, 6, d, 0.5f, 11,
          11 },
        { "canHostDo yes", [&] { return VstIntPtr(effect.canHostDo("sizeWindow")); }, 37, 0, 0, nullptr, 0, -1,
          1 },
        { "canHostDo no", [&] { return VstIntPtr(effect.canHostDo("sizeWindow")); }, 37, 0, 0, nullptr, 0, 0, 0 },
        { "getHostLanguage", [&] { return effect.getHostLanguage(); }, 38, 0, 0, nullptr, 0, 2, 2 },
        { "openWindow", [&] { return reinterpret_cast<VstIntPtr>(effect.openWindow(window)); }, 39, 0, 0, d, 0, 66,
          66 },
        { "closeWindow", [&] { return VstIntPtr(effect.closeWindow(window)); }, 40, 0, 0, d, 0, 1, 1 },
        { "getDirectory", [&] { return reinterpret_cast<VstIntPtr>(effect.getDirectory()); }, 41, 0, 0, nullptr, 0,
          67, 67 },
        { "updateDisplay", [&] { return VstIntPtr(effect.updateDisplay()); }, 42, 0, 0, nullptr, 0, 1, 1 },
        { "beginEdit", [&] { return VstIntPtr(effect.beginEdit(12)); }, 43, 12, 0, nullptr, 0, 1, 1 },
        { "endEdit", [&] { return VstIntPtr(effect.endEdit(12)); }, 44, 12, 0, nullptr, 0, 0, 0 },
        { "openFileSelector", [&] { return VstIntPtr(effect.openFileSelector(select)); }, 45, 0, 0, d, 0, 1, 1 },
        { "closeFileSelector", [&] { return VstIntPtr(effect.closeFileSelector(select)); }, 46, 0, 0, d, 0, 1, 1 },
        { "getChunkFile", [&] { return VstIntPtr(effect.getChunkFile(d)); }, 48, 0, 0, d, 0, 1, 1 },
        { "getInputSpeakerArrangement",
          [&] { return reinterpret_cast<VstIntPtr>(effect.getInputSpeakerArrangement()); }, 49, 0, 0, nullptr, 0, 56,
          56 },
    };

    for (const auto& c : cases)
    {
        host.calls.clear();
        host.answers = { { c.opcode, c.answer } };
        EXPECT_EQ(c.call(), c.expected) << c.name;
        ASSERT_EQ(host.calls.size(), 1u) << c.name;
        const auto& call = host.calls[0];
        EXPECT_EQ(call.effect, effect.getAeffect()) << c.name;
        EXPECT_EQ(call.opcode, c.opcode) << c.name;
        EXPECT_EQ(call.index, c.index) << c.name;
        EXPECT_EQ(call.value, c.value) << c.name;
        if (c.opcode != 37)
            EXPECT_EQ(call.ptr, c.ptr) << c.name;
        EXPECT_EQ(call.opt, c.opt) << c.name;
    }
}

TEST_F(HostCalls, CanHostDoPassesItsText)
{
    effect.canHostDo("sizeWindow");
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_STREQ(static_cast<const char*>(host.calls[0].ptr), "sizeWindow");
}

TEST_F(HostCalls, SetParameterAutomatedSetsThenTellsTheHost)
{
    effect.setParameterAutomated(3, 0.75f);
    ASSERT_EQ(effect.parameterSet.size(), 1u);
    EXPECT_EQ(effect.parameterSet[0], std::make_pair(VstInt32(3), 0.75f));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(host.calls[0].index, 3);
    EXPECT_EQ(host.calls[0].opt, 0.75f);
}

TEST_F(HostCalls, SampleRateAndBlockSizeKeepTheirValuesOnZeroAnswers)
{
    effect.setSampleRate(48000.0f);
    effect.setBlockSize(256);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.updateBlockSize(), 256);
    host.answers = { { audioMasterGetSampleRate, 96000 }, { audioMasterGetBlockSize, 1024 } };
    EXPECT_EQ(effect.updateSampleRate(), 96000.0);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    host.answers = { { audioMasterGetSampleRate, -5 }, { audioMasterGetBlockSize, -1 } };
    EXPECT_EQ(effect.updateSampleRate(), 96000.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
}

TEST_F(HostCalls, NullSelectorsAndPathsNeverReachTheHost)
{
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(host.calls.empty());
}

TEST(HostCallsWithoutHost, AnswerTheirDefaults)
{
    PlainEffect effect(nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    EXPECT_EQ(effect.getTimeInfo(0xFE00), nullptr);
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_FALSE(effect.beginEdit(0));
    EXPECT_EQ(effect.canHostDo("sizeWindow"), 0);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    effect.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(effect.parameterSet.size(), 1u);
}
