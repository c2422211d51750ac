#include "vst/AudioEffectX.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
int destroyedEffects = 0;

// Records which virtual operation the dispatcher reached and with what.
class RecordingEffect : public AudioEffectX
{
public:
    RecordingEffect(audioMasterCallback host = nullptr, VstInt32 programs = 4, VstInt32 params = 8)
        : AudioEffectX(host, programs, params)
    {
    }
    ~RecordingEffect() override { ++destroyedEffects; }

    void withEditor(AEffEditor* e) { editor.reset(e); }

    std::vector<std::string> calls;
    VstInt32 canDoAnswer = 0;
    VstInt32 wantEventsFilter = -1;

    void open() override { calls.push_back("open"); }
    void close() override { calls.push_back("close"); }
    void suspend() override { calls.push_back("suspend"); }
    void setProgram(VstInt32 p) override
    {
        calls.push_back("setProgram " + std::to_string(p));
        AudioEffectX::setProgram(p);
    }
    void processReplacing(float**, float**, VstInt32 frames) override
    {
        calls.push_back("processReplacing " + std::to_string(frames));
    }
    void process(float**, float**, VstInt32 frames) override { calls.push_back("process " + std::to_string(frames)); }
    void processDoubleReplacing(double**, double**, VstInt32 frames) override
    {
        calls.push_back("processDoubleReplacing " + std::to_string(frames));
    }
    void setParameter(VstInt32 index, float value) override
    {
        calls.push_back("setParameter " + std::to_string(index) + " " + std::to_string(value));
    }
    float getParameter(VstInt32 index) override { return 0.25f * float(index); }
    void getParameterName(VstInt32 index, char* text) override { std::strcpy(text, "Name"); }
    VstInt32 getChunk(void** data, bool isPreset) override
    {
        calls.push_back(std::string("getChunk ") + (isPreset ? "preset" : "bank"));
        *data = chunk;
        return 5;
    }
    VstInt32 setChunk(void* data, VstInt32 size, bool isPreset) override
    {
        calls.push_back("setChunk " + std::to_string(size) + (isPreset ? " preset" : " bank"));
        return 1;
    }
    VstInt32 canDo(const char* text) override
    {
        calls.push_back(std::string("canDo ") + text);
        return canDoAnswer;
    }
    void wantEvents(VstInt32 filter) override { wantEventsFilter = filter; }
    bool setBypass(bool onOff) override
    {
        calls.push_back(std::string("setBypass ") + (onOff ? "on" : "off"));
        return true;
    }
    VstInt32 processEvents(VstEvents* events) override
    {
        calls.push_back("processEvents " + std::to_string(events->numEvents));
        return 1;
    }

    char chunk[5] = { 'a', 'b', 'c', 'd', 'e' };
};

class RecordingEditor : public AEffEditor
{
public:
    explicit RecordingEditor(std::vector<std::string>& log) : calls(log) {}
    bool getRect(ERect** r) override
    {
        calls.push_back("getRect");
        *r = &rect;
        return true;
    }
    bool open(void* parent) override
    {
        calls.push_back("editor open");
        return parent != nullptr;
    }
    void close() override { calls.push_back("editor close"); }
    void idle() override { calls.push_back("editor idle"); }
    bool onKeyDown(VstKeyCode& k) override
    {
        calls.push_back("keyDown " + std::to_string(k.character) + " " + std::to_string(k.virt) + " "
                        + std::to_string(k.modifier));
        return true;
    }
    bool setKnobMode(VstInt32 mode) override
    {
        calls.push_back("knobMode " + std::to_string(mode));
        return true;
    }
    ERect rect { 0, 0, 300, 400 };
    std::vector<std::string>& calls;
};

VstIntPtr callDispatcher(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                         float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}
} // namespace

TEST(AudioEffect, RecordHoldsTheConstructorsValues)
{
    RecordingEffect effect(nullptr, 3, 7);
    const AEffect* e = effect.getAeffect();
    const auto* bytes = reinterpret_cast<const unsigned char*>(e);

    // The magic as the bytes a host reads on a little-endian machine.
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(bytes[0], 'P');
    EXPECT_EQ(bytes[3], 'V');
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 7);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &effect);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, vstFourCharCode('N', 'o', 'E', 'f'));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->initialDelay, 0);
    for (char c : e->future)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(AudioEffect, FlagSettersSetAndClearTheirBits)
{
    RecordingEffect effect;
    struct Case
    {
        void (*set)(RecordingEffect&, bool);
        VstInt32 flag;
    };
    const Case cases[] = {
        { [](RecordingEffect& e, bool s) { e.canProcessReplacing(s); }, 16 },
        { [](RecordingEffect& e, bool s) { e.canDoubleReplacing(s); }, 4096 },
        { [](RecordingEffect& e, bool s) { e.programsAreChunks(s); }, 32 },
        { [](RecordingEffect& e, bool s) { e.hasVu(s); }, 4 },
        { [](RecordingEffect& e, bool s) { e.hasClip(s); }, 2 },
        { [](RecordingEffect& e, bool s) { e.canMono(s); }, 8 },
        { [](RecordingEffect& e, bool s) { e.isSynth(s); }, 256 },
        { [](RecordingEffect& e, bool s) { e.noTail(s); }, 512 },
        { [](RecordingEffect& e, bool s) { e.wantAsyncOperation(s); }, 1024 },
        { [](RecordingEffect& e, bool s) { e.hasExternalBuffer(s); }, 2048 },
    };
    for (const auto& c : cases)
    {
        c.set(effect, true);
        EXPECT_NE(effect.getAeffect()->flags & c.flag, 0) << c.flag;
        c.set(effect, false);
        EXPECT_EQ(effect.getAeffect()->flags & c.flag, 0) << c.flag;
    }
}

TEST(AudioEffect, DispatcherTable)
{
    RecordingEffect effect;
    AEffect* e = effect.getAeffect();
    char text[64] = "unchanged";

    struct Case
    {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        float opt;
        VstIntPtr result;
        const char* call; // empty: no operation reached
    };
    const Case cases[] = {
        { effOpen, 0, 0, 0, 0, "open" },
        { effSetProgram, 0, 2, 0, 0, "setProgram 2" },
        { effGetProgram, 0, 0, 0, 2, "" },
        { effSetProgram, 0, 4, 0, 0, "" }, // equal to numPrograms
        { effSetProgram, 0, -1, 0, 0, "" },
        { effGetProgram, 0, 0, 0, 2, "" },
        { effMainsChanged, 0, 0, 0, 0, "suspend" },
        { effSetBypass, 0, 1, 0, 1, "setBypass on" },
        { effSetBypass, 0, 0, 0, 1, "setBypass off" },
        { effIdentify, 0, 0, 0, 0x4E764566, "" },
        { effGetPlugCategory, 0, 0, 0, kPlugCategUnknown, "" },
        { effGetVstVersion, 0, 0, 0, 2400, "" },
        { effCanBeAutomated, 3, 0, 0, 1, "" },
        { effGetCurrentMidiProgram, 0, 0, 0, -1, "" },
        { effSetTotalSampleToProcess, 0, 777, 0, 777, "" },
        { effGetNumMidiInputChannels, 0, 0, 0, 0, "" },
        { effGetTailSize, 0, 0, 0, 0, "" },
        { effEditOpen, 0, 1, 0, 0, "" }, // no editor object
        { effEditGetRect, 0, 0, 0, 0, "" },
        { 100, 0, 0, 0, 0, "" },
        // Opcodes that end in the base class and answer 0.
        { effGetNumProgramCategories, 0, 0, 0, 0, "" },
        { effCopyProgram, 0, 0, 0, 0, "" },
        { effSetBlockSizeAndSampleRate, 0, 64, 48000, 0, "" },
        { effGetErrorText, 0, 0, 0, 0, "" },
        { effIdle, 0, 0, 0, 0, "" },
        { effKeysRequired, 0, 0, 0, 0, "" },
    };
    for (const auto& c : cases)
    {
        effect.calls.clear();
        void* ptr = (c.opcode == effEditGetRect) ? static_cast<void*>(text) : nullptr;
        EXPECT_EQ(callDispatcher(e, c.opcode, c.index, c.value, ptr, c.opt), c.result) << "opcode " << c.opcode;
        if (c.call[0] != 0)
        {
            ASSERT_EQ(effect.calls.size(), 1u) << "opcode " << c.opcode;
            EXPECT_EQ(effect.calls[0], c.call);
        }
        else
            EXPECT_TRUE(effect.calls.empty()) << "opcode " << c.opcode;
    }
    // effSetBlockSizeAndSampleRate ends in the base class and changes nothing.
    EXPECT_EQ(effect.getBlockSize(), 1024);
}

TEST(AudioEffect, DispatcherPassesValuesAndTexts)
{
    RecordingEffect effect;
    AEffect* e = effect.getAeffect();

    callDispatcher(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    callDispatcher(e, effSetBlockSize, 0, 333);
    EXPECT_EQ(effect.getBlockSize(), 333);

    char text[32] = "xxxx";
    callDispatcher(e, effGetParamName, 1, 0, text);
    EXPECT_STREQ(text, "Name");
    std::strcpy(text, "xxxx");
    callDispatcher(e, effGetParamLabel, 1, 0, text);
    EXPECT_STREQ(text, "");
    std::strcpy(text, "xxxx");
    callDispatcher(e, effGetProgramName, 0, 0, text);
    EXPECT_STREQ(text, "");

    void* data = nullptr;
    EXPECT_EQ(callDispatcher(e, effGetChunk, 1, 0, &data), 5);
    EXPECT_EQ(data, effect.chunk);
    EXPECT_EQ(effect.calls.back(), "getChunk preset");
    EXPECT_EQ(callDispatcher(e, effSetChunk, 0, 42, text), 1);
    EXPECT_EQ(effect.calls.back(), "setChunk 42 bank");

    VstEvents events {};
    events.numEvents = 3;
    EXPECT_EQ(callDispatcher(e, effProcessEvents, 0, 0, &events), 1);
    EXPECT_EQ(effect.calls.back(), "processEvents 3");

    char canDoText[] = "receiveVstTimeInfo";
    effect.canDoAnswer = -1;
    EXPECT_EQ(callDispatcher(e, effCanDo, 0, 0, canDoText), -1);
    EXPECT_EQ(effect.calls.back(), "canDo receiveVstTimeInfo");

    auto* in = reinterpret_cast<VstSpeakerArrangement*>(&effect);
    VstSpeakerArrangement* out = in;
    EXPECT_EQ(callDispatcher(e, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST(AudioEffect, EditorOpcodesReachTheEditorObject)
{
    RecordingEffect effect;
    std::vector<std::string> log;
    effect.withEditor(new RecordingEditor(log));
    AEffect* e = effect.getAeffect();

    ERect* rect = nullptr;
    EXPECT_EQ(callDispatcher(e, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 400);
    int parent = 0;
    EXPECT_EQ(callDispatcher(e, effEditOpen, 0, 0, &parent), 1);
    EXPECT_EQ(callDispatcher(e, effEditIdle), 0);
    EXPECT_EQ(callDispatcher(e, effEditKeyDown, 65, 300, nullptr, 2.7f), 1);
    EXPECT_EQ(callDispatcher(e, effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(callDispatcher(e, effEditClose), 0);
    const std::vector<std::string> expected { "getRect",        "editor open", "editor idle", "keyDown 65 44 2",
                                              "knobMode 2", "editor close" };
    EXPECT_EQ(log, expected);
}

TEST(AudioEffect, CloseThroughTheRecordDeletesTheObjectOnce)
{
    destroyedEffects = 0;
    auto* effect = new RecordingEffect();
    AEffect* e = effect->getAeffect();
    EXPECT_EQ(callDispatcher(e, effClose), 1);
    EXPECT_EQ(destroyedEffects, 1);
}

TEST(AudioEffect, RecordCallbacksReachTheObject)
{
    RecordingEffect effect;
    AEffect* e = effect.getAeffect();
    e->setParameter(e, 2, 0.5f);
    EXPECT_EQ(e->getParameter(e, 3), 0.75f);
    e->processReplacing(e, nullptr, nullptr, 16);
    e->process(e, nullptr, nullptr, 8);
    e->processDoubleReplacing(e, nullptr, nullptr, 4);
    const std::vector<std::string> expected { "setParameter 2 0.500000", "processReplacing 16", "process 8",
                                              "processDoubleReplacing 4" };
    EXPECT_EQ(effect.calls, expected);
}

TEST(AudioEffectX, ResumeAsksForMidiOnlyWhenTheEffectTakesIt)
{
    struct Case
    {
        VstInt32 canDoAnswer;
        bool synth;
        VstInt32 expectedFilter;
    };
    for (const auto& c : { Case { 1, false, 1 }, Case { 0, false, -1 }, Case { -1, false, -1 }, Case { 0, true, 1 } })
    {
        RecordingEffect effect;
        effect.canDoAnswer = c.canDoAnswer;
        effect.isSynth(c.synth);
        effect.resume();
        EXPECT_EQ(effect.wantEventsFilter, c.expectedFilter) << c.canDoAnswer << " " << c.synth;
        EXPECT_EQ(effect.getPlugCategory(), c.synth ? kPlugCategSynth : kPlugCategUnknown);
    }
}

TEST(AudioEffectX, SpeakerArrangements)
{
    RecordingEffect effect;
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 3));
    EXPECT_EQ(from->numChannels, 3);
    from->type = 42;
    for (int i = 0; i < 3; ++i)
    {
        from->speakers[i].azimuth = float(i);
        from->speakers[i].type = i + 1;
        std::memset(from->speakers[i].name, 'n', sizeof(from->speakers[i].name)); // unterminated
    }

    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 42);
    EXPECT_EQ(to->numChannels, 3);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(to->speakers[i].azimuth, float(i));
        EXPECT_EQ(to->speakers[i].type, i + 1);
        EXPECT_EQ(std::strlen(to->speakers[i].name), 63u);
    }
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from->speakers[0]));
    EXPECT_FALSE(effect.copySpeaker(&to->speakers[0], nullptr));

    EXPECT_TRUE(effect.deallocateArrangement(&from));
    EXPECT_EQ(from, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
}
