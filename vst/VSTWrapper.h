#pragma once

#include "vst/AudioEffectX.h"
#include "vst/SharedMessageThread.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class LatencySource;

// Presents any juce::AudioProcessor to a VST 2.4 host: a stereo effect with
// replacing (and accumulating) processing, its state as the program chunk,
// the processor's parameters as the host parameters, MIDI input with sample
// offsets, the host's transport as the play head and the processor's editor
// embedded in the host's X11 window.
//
// Threads: the dispatcher calls that touch the GUI side (making and closing
// the instance, the editor opcodes) run with the calling thread as the JUCE
// message thread (SharedMessageThread::HostDrivenScope); chunks, programs,
// suspend and resume wait for no other thread. The host is called back only
// on its own threads: on the thread that called us, or, for what arises
// elsewhere, at the end of its next call into the instance (or of the next
// block, or at effEditIdle); never while a lock of ours is held. A display
// update or a latency change, GUI work for the host, is made only on the
// thread that opened the instance or the one that opened its editor; other
// threads (the audio thread, one that only automates) hear only of
// automation, and the record's latency follows at once.
class VSTWrapper : public AudioEffectX,
                   private juce::AudioProcessorListener,
                   private juce::AudioPlayHead,
                   private SharedMessageThread::Client
{
public:
    using ProcessorFactory = juce::AudioProcessor* (*)();

    static constexpr VstInt32 kUniqueId = vstFourCharCode('T', 'V', 'N', 'R');
    static constexpr VstInt32 kVersion = 65794;
    static constexpr int kNumChannels = 2;
    // What the host's transport query asks for: every position field.
    static constexpr VstInt32 kTimeInfoFilter = 0xFE00;
    // Text lengths written for the host, what hosts accept from JUCE
    // plug-ins: names up to 32 characters, displays and labels up to 24.
    static constexpr int kParameterNameLength = 32;
    static constexpr int kParameterTextLength = 24;

    // The entry point's work: a host that answers 0 to the version query
    // gets no plug-in, nor does a failed factory. Returns the record the
    // host talks through, owned by the effect it points to. The processor is
    // made with the calling thread as the message thread.
    static AEffect* createEffect(audioMasterCallback host, ProcessorFactory factory);

    VSTWrapper(audioMasterCallback host, std::unique_ptr<juce::AudioProcessor> processor);
    ~VSTWrapper() override;

    juce::AudioProcessor& getProcessor() noexcept { return *processor; }

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    void suspend() override;
    void resume() override;
    void setSampleRate(float newSampleRate) override;
    void setBlockSize(VstInt32 newBlockSize) override;

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // The old accumulating call: the processed signal is added to outputs.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    bool canParameterBeAutomated(VstInt32 index) override;
    bool string2parameter(VstInt32 index, char* text) override;

    VstInt32 getProgram() override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // With one program, a preset chunk (isPreset) is the whole state.
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return kVersion; }
    VstPlugCategory getPlugCategory() override { return kPlugCategEffect; }
    VstInt32 canDo(const char* text) override;
    VstInt32 getGetTailSize() override;
    VstInt32 getNumMidiInputChannels() override;
    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput) override;
    bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput) override;

    // The largest block prepared for, whatever the host announces; longer
    // blocks are processed in pieces of the prepared size.
    static constexpr int kMaxPreparedBlockSize = 65536;

private:
    struct EditorHolder;
    class ChunkBuffers;

    // AudioProcessorListener: automation and display updates to the host.
    void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float newValue) override;
    void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails& details) override;
    void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index) override;

    // AudioPlayHead: the host's transport as fetched at the start of the block.
    juce::Optional<PositionInfo> getPosition() const override;

    // SharedMessageThread::Client
    void takePendingHostCalls(std::vector<SharedMessageThread::HostCall>& calls) override;

    // Automation and gestures: made at once on a host's thread, or held for
    // later (see SharedMessageThread) where the host did not call us.
    enum PendingFlag : uint8_t
    {
        pendingBegin = 1,
        pendingValue = 2,
        pendingEnd = 4
    };
    void sendOrHoldAutomation(int index, PendingFlag what, float value);
    void takePendingAutomation(std::vector<SharedMessageThread::HostCall>& calls);
    void makeHeldAutomationCalls();
    // This instance's held calls, on the host's thread that called us (not
    // inside a block; notices only on its GUI side); allocates nothing.
    void makeHeldHostCalls();
    // A latency change the host has not been told of yet.
    bool latencyChangeDue();
    // Whether the host is owed an ioChanged now: the latency in force written
    // into the record here, or written earlier on the audio thread.
    bool takeLatencyChange();
    void requestDisplayUpdate();
    // Whether this is the thread that opened the instance or its editor.
    bool onHostsGuiThread() const;
    // Writes the processor's latency in force into the record; true when it changed.
    bool publishLatency();
    // The same with the latency lock held.
    bool writeLatency();
    // On the host's audio thread: the record follows a latency change at once
    // (hosts read it on their own), the ioChanged is owed; never waits.
    void publishLatencyFromAudioThread();

    juce::AudioProcessorParameter* parameterAt(VstInt32 index) const;
    VstIntPtr getEditorRect(void* ptr);
    VstIntPtr openEditor(void* parentWindow);
    void closeEditor();
    bool createEditorIfNeeded();
    void editorResized(int width, int height);
    void prepareProcessor(bool offline);
    void processBlock(float** inputs, float** outputs, int numSamples, bool accumulate);
    void processPiece(float** inputs, float** outputs, int start, int numSamples, int blockLength, bool accumulate);

    // Declared first so that it is destroyed last: the processor and the
    // editor are gone before the library's message thread stops.
    juce::SharedResourcePointer<SharedMessageThread> messageThread;
    std::unique_ptr<juce::AudioProcessor> processor;
    // The processor's own answer to its latency on any thread, when it has one.
    LatencySource* const latencySource;
    std::unique_ptr<juce::AudioProcessorEditor> editorComponent;
    std::unique_ptr<EditorHolder> editorHolder;
    ERect editorRect {};

    std::unique_ptr<ChunkBuffers> chunks;

    // Audio thread state, sized in resume().
    juce::AudioBuffer<float> scratch;
    juce::MidiBuffer incomingMidi;
    juce::MidiBuffer pieceMidi;
    bool prepared = false;
    double preparedRate = 44100.0;
    // A host that never resumes is resumed by its first process call.
    std::atomic<bool> resumedOnce { false };
    std::atomic<bool> processCalled { false };

    // The host's GUI side: the thread that made and opened the instance, and
    // the one that opened its editor.
    std::atomic<std::thread::id> openingThread { std::this_thread::get_id() };
    std::atomic<std::thread::id> editorThread {};

    VstTimeInfo blockTimeInfo {};
    bool hasBlockTimeInfo = false;
    int positionOffset = 0;

    // Held host calls, one slot per parameter, written from any thread.
    std::unique_ptr<std::atomic<float>[]> heldValues;
    std::unique_ptr<std::atomic<uint8_t>[]> heldFlags;
    std::atomic<bool> automationHeld { false };
    std::atomic<bool> displayUpdateHeld { false };
    std::atomic<bool> latencyChangeHeld { false };
    // The record was given a new latency on the audio thread; the host is
    // told at its next call from another thread.
    std::atomic<bool> ioChangedOwed { false };
    std::atomic<int> processorLatency { 0 };
    // What the record's initialDelay says, for reading without the lock.
    std::atomic<int> publishedLatency { 0 };
    std::mutex latencyLock;

    VstSpeakerArrangement stereoArrangementIn {};
    VstSpeakerArrangement stereoArrangementOut {};

    JUCE_DECLARE_NON_COPYABLE(VSTWrapper)
};
