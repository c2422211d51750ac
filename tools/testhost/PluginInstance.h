#pragma once

#include "PluginLibrary.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One effect made by a loaded plug-in, driven only through its AEffect
// record, with the host side of the conversation: the callback answers the
// version, the transport, sample rate and block size, and counts what the
// plug-in reports (automation, gestures, display updates) and on which
// thread it reports it.
class PluginInstance
{
public:
    struct MidiEvent
    {
        int64_t sample = 0;
        uint8_t bytes[3] = { 0, 0, 0 };
    };

    // Null with a reason when the entry point gives no effect or a broken one.
    static std::unique_ptr<PluginInstance> create(const PluginLibrary& library, std::string& error);
    // The same through the given entry point.
    static std::unique_ptr<PluginInstance> create(VstPluginMainProc entry, std::string& error);

    // What the host answers to the version query while an effect is made:
    // 2400, or 0 to check that such a host gets no plug-in.
    static std::atomic<VstIntPtr> versionAnswer;

    // A host that holds one lock around every dispatcher call (and around
    // making an effect) and takes the same lock in its callback, as hosts
    // that serialise their plug-in calls do. A plug-in that calls back from
    // a thread of its own while it makes a dispatcher call wait for that
    // thread deadlocks here.
    static std::atomic<bool> lockingHost;

    ~PluginInstance();

    AEffect* getEffect() const { return effect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

    // effClose; the instance is unusable afterwards. The destructor closes too.
    void close();

    void prepare(double sampleRate, int blockSize);
    void resume();
    void suspend();

    // Runs processReplacing on two input and two output channels, first
    // handing over the given events with offsets inside the block, and
    // advances the transport.
    void process(float** inputs, float** outputs, int numSamples, const std::vector<MidiEvent>& events = {});

    std::string getParameterName(int index);
    std::string getParameterDisplay(int index);
    std::string getParameterLabel(int index);
    float getParameter(int index);
    void setParameter(int index, float value);

    std::vector<uint8_t> getChunk(bool isPreset = false);
    VstIntPtr setChunk(const std::vector<uint8_t>& data, bool isPreset = false);
    VstIntPtr setChunk(const void* data, size_t size, bool isPreset = false);

    // Hands events over for the next block (effProcessEvents).
    void sendEvents(const std::vector<MidiEvent>& events);

    // The process calls with the given pointers as they are, for checks of
    // in-place buffers and of the old accumulating call.
    void processRaw(float** inputs, float** outputs, int numSamples, bool accumulating = false);

    // Marks the editor open in this thread's window: from now on the
    // plug-in may call back only on a thread inside one of our calls or on
    // this one.
    void setEditorThread(bool open);

    // The text the plug-in writes for opcode (and index), cut at maxLength
    // characters.
    std::string getString(VstInt32 opcode, size_t maxLength, VstInt32 index = 0);
    VstIntPtr canDo(const char* what);

    // Transport given to the plug-in.
    double tempo = 120.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    bool playing = true;
    int64_t samplePosition = 0;

    double sampleRate = 44100.0;
    int blockSize = 512;
    // What audioMasterGetCurrentProcessLevel answers: 0 (unknown) unless a
    // check plays a host rendering to a file (kVstProcessLevelOffline).
    std::atomic<int> processLevel { 0 };

    // What the plug-in reported through the callback.
    std::atomic<int> automateCount { 0 };
    std::atomic<int> beginEditCount { 0 };
    std::atomic<int> endEditCount { 0 };
    std::atomic<int> updateDisplayCount { 0 };
    std::atomic<int> wantMidiCount { 0 };
    std::atomic<int> ioChangedCount { 0 };
    std::atomic<int> sizeWindowWidth { 0 };
    std::atomic<int> sizeWindowHeight { 0 };
    // Automation of the very parameter this thread was setting.
    std::atomic<int> echoedAutomationCount { 0 };
    // Calls while the editor was open from a thread that was neither inside
    // one of our calls nor the editor's thread.
    std::atomic<int> foreignThreadCallbacks { 0 };
    std::atomic<int> lastForeignOpcode { -1 };
    // Calls, editor open or not, from a thread that was inside none of our
    // calls and is not the editor's: a thread of the plug-in's own.
    std::atomic<int> strayCallbacks { 0 };
    std::atomic<int> lastStrayOpcode { -1 };
    // Display updates and ioChanged calls made on a thread other than the
    // one that made the instance or the editor's (the host's handlers of
    // them are work for its GUI thread).
    std::atomic<int> offGuiDisplayUpdates { 0 };
    std::atomic<int> offGuiIoChanged { 0 };

private:
    explicit PluginInstance(AEffect* effect);
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt);
    VstIntPtr handleCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void updateTimeInfo(bool transportChanged);

    AEffect* effect = nullptr;
    std::atomic<bool> editorOpen { false };
    std::atomic<std::thread::id> editorThread {};
    // The thread that made and opened the instance.
    std::atomic<std::thread::id> openingThread { std::this_thread::get_id() };
    VstTimeInfo timeInfo {};
    std::atomic<bool> firstBlock { true };

    std::vector<VstMidiEvent> midiEvents;
    std::vector<uint8_t> eventsBlock;

    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;
};
