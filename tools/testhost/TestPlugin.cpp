// A small effect built into its own VST plug-in with the project's wrapper,
// so that the test host and its validation suite can be tried without the
// product: a feedback delay (whose state a NaN would poison for good), a
// gain, a click at the sample offset of every MIDI note-on, a look-ahead
// switch that delays everything by 64 samples and reports it as latency,
// its state as XML and JUCE's generic editor.
//
// It can also be made to misbehave, one way at a time, so that each check of
// the validation suite can be shown to catch what it is there for: the
// environment variable TAVINOR_TEST_PLUGIN_FAULT names the fault (see
// kFaults). Most faults sit between the host and the wrapper, in the record's
// function pointers; the latency fault is in the processor.

#include "core/StateLoader.h"
#include "vst/VSTWrapper.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace
{
enum class Fault
{
    none,
    mainEntry,          // main gives no effect
    threadLeft,         // a thread of its own outlives every instance
    foreignCallback,    // with the editor open, calls the host from a thread of its own
    automationEcho,     // sends the host back every value it sets
    latencyTwice,       // one latency change, two ioChanged
    latencyWrong,       // reports 64 samples of latency, delays by 63
    lockingDeadlock,    // effSetChunk waits for a thread that calls the host
    presetChunk,        // the preset chunk (index 1) is empty and loads nothing
    junkAccepted,       // answers 1 to any chunk and to any parameter text
    chunkRace,          // one chunk buffer for every thread, rewritten in place
    needsResume,        // silent until the host resumes it
    zeroBlock,          // writes to the outputs in blocks of 0 samples
    rateIgnored,        // ignores a sample rate set while running
    audioDispatchWaits, // dispatcher calls on the audio thread wait for effEditIdle
    unwrittenOutput,    // leaves the last sample of each block as it was
    inPlaceBroken,      // clears its outputs before reading its inputs
    instancesDiffer,    // each instance adds a little offset of its own
    parameterDrift,     // reads back a little less than it holds
    longTexts,          // parameter displays longer than hosts take
    processSilent,      // the accumulating process adds nothing
    audioThreadNotice   // tells the host of a display update from inside every setParameter
};

constexpr std::pair<const char*, Fault> kFaults[] = {
    { "main-entry", Fault::mainEntry },
    { "thread-left", Fault::threadLeft },
    { "foreign-callback", Fault::foreignCallback },
    { "automation-echo", Fault::automationEcho },
    { "latency-twice", Fault::latencyTwice },
    { "latency-wrong", Fault::latencyWrong },
    { "locking-deadlock", Fault::lockingDeadlock },
    { "preset-chunk", Fault::presetChunk },
    { "junk-accepted", Fault::junkAccepted },
    { "chunk-race", Fault::chunkRace },
    { "needs-resume", Fault::needsResume },
    { "zero-block", Fault::zeroBlock },
    { "rate-ignored", Fault::rateIgnored },
    { "audio-dispatch-waits", Fault::audioDispatchWaits },
    { "unwritten-output", Fault::unwrittenOutput },
    { "in-place-broken", Fault::inPlaceBroken },
    { "instances-differ", Fault::instancesDiffer },
    { "parameter-drift", Fault::parameterDrift },
    { "long-texts", Fault::longTexts },
    { "process-silent", Fault::processSilent },
    { "audio-thread-notice", Fault::audioThreadNotice },
};

Fault faultFromEnvironment()
{
    const char* name = std::getenv("TAVINOR_TEST_PLUGIN_FAULT");
    if (name != nullptr)
        for (const auto& [text, fault] : kFaults)
            if (std::strcmp(name, text) == 0)
                return fault;
    return Fault::none;
}

const Fault fault = faultFromEnvironment();

constexpr double kMaxDelaySeconds = 0.1;
constexpr float kFeedback = 0.5f;
constexpr int kLookAheadSamples = 64;
constexpr int kLookAheadParameter = 3;

class TestDelayProcessor : public juce::AudioProcessor,
                           public StateLoader,
                           private juce::AudioProcessorParameter::Listener
{
public:
    TestDelayProcessor()
    {
        addParameter(gain = new juce::AudioParameterFloat(juce::ParameterID("gain", 1), "Gain", 0.0f, 1.0f, 0.8f));
        addParameter(delay = new juce::AudioParameterFloat(juce::ParameterID("delay", 1), "Delay", 0.0f, 1.0f, 0.5f));
        addParameter(mode = new juce::AudioParameterChoice(juce::ParameterID("mode", 1), "Mode",
                                                           juce::StringArray { "Normal", "Bright", "Dark" }, 0));
        addParameter(lookAhead = new juce::AudioParameterBool(juce::ParameterID("lookahead", 1), "Look-ahead", false));
        lookAhead->addListener(this);
    }

    ~TestDelayProcessor() override { lookAhead->removeListener(this); }

    const juce::String getName() const override { return "TestDelay"; }
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }
    double getTailLengthSeconds() const override { return 2.0; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return "Default"; }
    void changeProgramName(int, const juce::String&) override {}
    bool hasEditor() const override { return true; }
    juce::AudioProcessorEditor* createEditor() override { return new juce::GenericAudioProcessorEditor(*this); }

    void prepareToPlay(double sampleRate, int) override
    {
        line.setSize(2, int(sampleRate * kMaxDelaySeconds) + 1);
        line.clear();
        writePosition = 0;
        lookAheadLine.setSize(2, kLookAheadSamples);
        lookAheadLine.clear();
        lookAheadPosition = 0;
    }

    void releaseResources() override {}

    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override
    {
        const int length = line.getNumSamples();
        if (length <= 1)
            return;
        const int delaySamples = juce::jlimit(1, length - 1, int(delay->get() * float(length - 1)));
        const float g = gain->get();
        const int channels = juce::jmin(2, buffer.getNumChannels());

        for (const auto event : midi)
            if (event.getMessage().isNoteOn())
                for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                    buffer.addSample(ch, event.samplePosition, 1.0f);

        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const int readPosition = (writePosition - delaySamples + length) % length;
            for (int ch = 0; ch < channels; ++ch)
            {
                const float in = buffer.getSample(ch, i);
                const float delayed = line.getSample(ch, readPosition);
                line.setSample(ch, writePosition, in + kFeedback * delayed);
                buffer.setSample(ch, i, g * (in + delayed));
            }
            writePosition = (writePosition + 1) % length;
        }

        if (lookAhead->get())
        {
            // The faulty variant reads one sample late, one less than it reports.
            const int lag = fault == Fault::latencyWrong ? kLookAheadSamples - 1 : kLookAheadSamples;
            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const int readPosition = (lookAheadPosition - lag + kLookAheadSamples) % kLookAheadSamples;
                for (int ch = 0; ch < channels; ++ch)
                {
                    const float in = buffer.getSample(ch, i);
                    buffer.setSample(ch, i, lookAheadLine.getSample(ch, readPosition));
                    lookAheadLine.setSample(ch, lookAheadPosition, in);
                }
                lookAheadPosition = (lookAheadPosition + 1) % kLookAheadSamples;
            }
        }
    }

    void getStateInformation(juce::MemoryBlock& data) override
    {
        juce::XmlElement xml("TestDelay");
        for (auto* p : getParameters())
            if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(p))
                xml.setAttribute(withId->paramID, double(p->getValue()));
        copyXmlToBinary(xml, data);
    }

    void setStateInformation(const void* data, int size) override { loadState(data, size); }

    bool loadState(const void* data, int size) override
    {
        const auto xml = getXmlFromBinary(data, size);
        if (xml == nullptr || ! xml->hasTagName("TestDelay"))
            return false;
        for (auto* p : getParameters())
            if (auto* withId = dynamic_cast<juce::AudioProcessorParameterWithID*>(p))
                if (xml->hasAttribute(withId->paramID))
                {
                    const double v = xml->getDoubleAttribute(withId->paramID);
                    if (std::isfinite(v))
                        p->setValueNotifyingHost(juce::jlimit(0.0f, 1.0f, float(v)));
                }
        return true;
    }

private:
    void parameterValueChanged(int, float value) override
    {
        // Hosts set parameters from several threads; JUCE keeps the latency
        // in a plain int.
        const juce::ScopedLock lock(latencyLock);
        setLatencySamples(value >= 0.5f ? kLookAheadSamples : 0);
    }

    void parameterGestureChanged(int, bool) override {}

    juce::AudioParameterFloat* gain = nullptr;
    juce::AudioParameterFloat* delay = nullptr;
    juce::AudioParameterChoice* mode = nullptr;
    juce::AudioParameterBool* lookAhead = nullptr;
    juce::CriticalSection latencyLock;
    juce::AudioBuffer<float> line;
    int writePosition = 0;
    juce::AudioBuffer<float> lookAheadLine;
    int lookAheadPosition = 0;
};

juce::AudioProcessor* createTestProcessor()
{
    return new TestDelayProcessor();
}

//==============================================================================
// The faults between the host and the wrapper.
namespace Faulty
{
struct Originals
{
    AEffectDispatcherProc dispatcher = nullptr;
    AEffectProcessProc process = nullptr;
    AEffectProcessProc processReplacing = nullptr;
    AEffectSetParameterProc setParameter = nullptr;
    AEffectGetParameterProc getParameter = nullptr;
} originals;

std::atomic<audioMasterCallback> host { nullptr };

struct InstanceState
{
    int number = 0;
    std::atomic<bool> resumed { false };
    std::atomic<bool> foreignRunning { false };
    std::thread foreign;
};

std::mutex statesLock;
std::map<AEffect*, std::unique_ptr<InstanceState>> states;
int instancesMade = 0;

// The effEditIdle calls seen, for dispatcher calls that wait for the next.
std::mutex idleLock;
std::condition_variable idleSeen;
uint64_t idleCalls = 0;
thread_local bool processedOnThisThread = false;

// One chunk buffer for everybody, big enough never to move.
constexpr size_t kSharedChunkBytes = 1 << 20;
unsigned char sharedChunk[kSharedChunkBytes];
constexpr size_t kChunkStep = 16;

InstanceState& stateOf(AEffect* e)
{
    const std::lock_guard<std::mutex> lock(statesLock);
    auto& state = states[e];
    if (state == nullptr)
        state = std::make_unique<InstanceState>();
    return *state;
}

void stopForeignThread(InstanceState& state)
{
    state.foreignRunning = false;
    if (state.foreign.joinable())
        state.foreign.join();
}

VstIntPtr callHost(AEffect* e, VstInt32 opcode, VstInt32 index = 0, float opt = 0.0f)
{
    auto* callback = host.load();
    return callback != nullptr ? callback(e, opcode, index, 0, nullptr, opt) : 0;
}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    auto& state = stateOf(e);
    const auto forward = [&] { return originals.dispatcher(e, opcode, index, value, ptr, opt); };

    if (opcode == effEditIdle)
    {
        const std::lock_guard<std::mutex> lock(idleLock);
        ++idleCalls;
        idleSeen.notify_all();
    }
    if (opcode == effMainsChanged)
        state.resumed = value != 0;

    switch (fault)
    {
        case Fault::audioDispatchWaits:
            if (processedOnThisThread && (opcode == effGetProgram || opcode == effGetTailSize))
            {
                std::unique_lock<std::mutex> lock(idleLock);
                const uint64_t seen = idleCalls;
                idleSeen.wait(lock, [seen] { return idleCalls != seen; });
            }
            break;
        case Fault::lockingDeadlock:
            if (opcode == effSetChunk)
            {
                // Loading the state tells the host from a thread of its own
                // and waits for that thread, as a wrapper that makes its
                // calls to the host on a thread of its own and waits for it
                // inside a dispatcher call would.
                const auto loaded = forward();
                std::thread([e] { callHost(e, audioMasterUpdateDisplay); }).join();
                return loaded;
            }
            break;
        case Fault::presetChunk:
            if (opcode == effGetChunk && index != 0)
            {
                if (ptr != nullptr)
                    *static_cast<void**>(ptr) = nullptr;
                return 0;
            }
            if (opcode == effSetChunk && index != 0)
                return 1;
            break;
        case Fault::junkAccepted:
            if (opcode == effSetChunk || opcode == effString2Parameter)
            {
                forward();
                return 1;
            }
            break;
        case Fault::chunkRace:
            if (opcode == effGetChunk && ptr != nullptr)
            {
                void* data = nullptr;
                const auto size = static_cast<size_t>(originals.dispatcher(e, opcode, index, value, &data, opt));
                if (data == nullptr || size == 0 || size > kSharedChunkBytes)
                    return 0;
                // Rewritten in place, slowly: a thread reading its chunk
                // meanwhile finds it half written.
                std::memset(sharedChunk, 0, size);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                for (size_t done = 0; done < size; done += kChunkStep)
                {
                    std::memcpy(sharedChunk + done, static_cast<const unsigned char*>(data) + done,
                                std::min(kChunkStep, size - done));
                    std::this_thread::sleep_for(std::chrono::microseconds(20));
                }
                *static_cast<void**>(ptr) = sharedChunk;
                return static_cast<VstIntPtr>(size);
            }
            break;
        case Fault::rateIgnored:
            if (opcode == effSetSampleRate && state.resumed)
                return 0;
            break;
        case Fault::longTexts:
            if (opcode == effGetParamDisplay && ptr != nullptr)
            {
                std::strcpy(static_cast<char*>(ptr), "a display text far too long for hosts");
                return 0;
            }
            break;
        case Fault::foreignCallback:
            if (opcode == effEditOpen)
            {
                const auto opened = forward();
                if (opened != 0 && ! state.foreignRunning)
                {
                    state.foreignRunning = true;
                    state.foreign = std::thread([e, &state] {
                        while (state.foreignRunning)
                        {
                            callHost(e, audioMasterUpdateDisplay);
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        }
                    });
                }
                return opened;
            }
            if (opcode == effEditClose)
                stopForeignThread(state);
            break;
        default: break;
    }

    if (opcode == effClose)
    {
        stopForeignThread(state);
        {
            const std::lock_guard<std::mutex> lock(statesLock);
            states.erase(e);
        }
    }
    return forward();
}

void processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    processedOnThisThread = true;
    auto& state = stateOf(e);
    switch (fault)
    {
        case Fault::needsResume:
            if (! state.resumed)
            {
                for (int ch = 0; ch < 2 && frames > 0; ++ch)
                    std::fill(outputs[ch], outputs[ch] + frames, 0.0f);
                return;
            }
            break;
        case Fault::zeroBlock:
            if (frames == 0 && outputs != nullptr && outputs[0] != nullptr)
                outputs[0][0] = 0.0f;
            break;
        case Fault::unwrittenOutput:
            if (frames > 1)
            {
                originals.processReplacing(e, inputs, outputs, frames - 1);
                return;
            }
            break;
        case Fault::inPlaceBroken:
            for (int ch = 0; ch < 2 && frames > 0; ++ch)
                std::fill(outputs[ch], outputs[ch] + frames, 0.0f);
            break;
        case Fault::instancesDiffer:
            originals.processReplacing(e, inputs, outputs, frames);
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < frames; ++i)
                    outputs[ch][i] += 1.0e-4f * float(state.number);
            return;
        default: break;
    }
    originals.processReplacing(e, inputs, outputs, frames);
}

void process(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    if (fault != Fault::processSilent)
        originals.process(e, inputs, outputs, frames);
}

void setParameter(AEffect* e, VstInt32 index, float value)
{
    originals.setParameter(e, index, value);
    if (fault == Fault::automationEcho)
        callHost(e, audioMasterAutomate, index, value);
    if (fault == Fault::latencyTwice && index == kLookAheadParameter)
        callHost(e, audioMasterIOChanged);
    if (fault == Fault::audioThreadNotice)
        callHost(e, audioMasterUpdateDisplay);
}

float getParameter(AEffect* e, VstInt32 index)
{
    const float value = originals.getParameter(e, index);
    return fault == Fault::parameterDrift ? value * 0.99f : value;
}

AEffect* makeEffect(audioMasterCallback hostCallback)
{
    AEffect* e = VSTWrapper::createEffect(hostCallback, createTestProcessor);
    if (e == nullptr || fault == Fault::none)
        return e;

    if (fault == Fault::threadLeft)
    {
        static std::once_flag started;
        std::call_once(started, [] {
            std::thread([] {
                std::mutex m;
                std::condition_variable never;
                std::unique_lock<std::mutex> lock(m);
                never.wait(lock, [] { return false; });
            }).detach();
        });
    }

    host = hostCallback;
    originals = { e->dispatcher, e->process, e->processReplacing, e->setParameter, e->getParameter };
    e->dispatcher = dispatcher;
    e->process = process;
    e->processReplacing = processReplacing;
    e->setParameter = setParameter;
    e->getParameter = getParameter;
    auto& state = stateOf(e);
    const std::lock_guard<std::mutex> lock(statesLock);
    state.number = ++instancesMade;
    return e;
}
} // namespace Faulty
} // namespace

#define TAVINOR_EXPORT extern "C" __attribute__((visibility("default")))

TAVINOR_EXPORT AEffect* VSTPluginMain(audioMasterCallback host)
{
    return Faulty::makeEffect(host);
}

// Exported under the symbol name "main", as the product's legacy entry is.
TAVINOR_EXPORT AEffect* legacyPluginMain(audioMasterCallback host) __asm__("main");

TAVINOR_EXPORT AEffect* legacyPluginMain(audioMasterCallback host)
{
    return fault == Fault::mainEntry ? nullptr : Faulty::makeEffect(host);
}
