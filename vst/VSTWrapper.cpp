#include "vst/VSTWrapper.h"

#include "core/AudioSafeUpdater.h"
#include "core/LatencySource.h"
#include "core/StateLoader.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

namespace
{
// The index whose value from the host is being passed on to the processor,
// so that this change is not sent back to the host as automation. Only that
// index: other parameters that move along with it are reported as usual.
thread_local int hostParameterBeingSet = -1;

// Set while a chunk or a program is being loaded on this thread: the
// parameters it moves are no user's changes, and the host hears of them
// through one display update instead of as automation.
thread_local bool loadingState = false;

// How deep this thread is in calls from the host (dispatcher, parameters,
// processing): a thread inside such a call may call the host back at once.
thread_local int hostCallDepth = 0;

// The wrapper whose block this thread is processing. What the processor
// reports then is held until the block is done, since processing holds
// locks that a dispatcher call on another thread may be waiting for.
thread_local const void* processingWrapper = nullptr;

const char* const kVendorName = "Orv Group Audio Software";

// MIDI kept for one block without allocating on the audio thread. Events that
// no longer fit are dropped.
constexpr size_t kMidiBufferBytes = 64 * 1024;
constexpr size_t kMidiEventOverhead = sizeof(int32_t) + sizeof(uint16_t);

constexpr double kDefaultSampleRate = 44100.0;

struct HostCallScope
{
    HostCallScope() { ++hostCallDepth; }
    ~HostCallScope() { --hostCallDepth; }
};

void copyString(char* text, const juce::String& source, int maxLength)
{
    if (text != nullptr)
        source.copyToUTF8(text, static_cast<size_t>(maxLength) + 1);
}

int midiMessageLength(const char* midiData)
{
    const auto status = static_cast<uint8_t>(midiData[0]);
    // No status byte, or the start or end of a system exclusive message,
    // which never fits the four bytes here: such events carry nothing.
    if (status < 0x80 || status == 0xF0 || status == 0xF7)
        return 0;
    return juce::MidiMessage::getMessageLengthFromFirstByte(status);
}

void fillStereoArrangement(VstSpeakerArrangement& arrangement)
{
    std::memset(&arrangement, 0, sizeof(arrangement));
    arrangement.type = kSpeakerArrStereo;
    arrangement.numChannels = VSTWrapper::kNumChannels;
    arrangement.speakers[0].type = kSpeakerL;
    std::strcpy(arrangement.speakers[0].name, "L");
    arrangement.speakers[1].type = kSpeakerR;
    std::strcpy(arrangement.speakers[1].name, "R");
}

// The host's samples as the processor gets them: NaN and infinity enter as
// silence, so that a host sending them poisons no recursive state of the
// processor this wraps, whichever it is. (The product's signal path keeps
// the same rule at its own entrance, for callers that come without a host.)
void copyHostInput(const float* source, float* dest, int numSamples)
{
    for (int i = 0; i < numSamples; ++i)
        dest[i] = std::isfinite(source[i]) ? source[i] : 0.0f;
}

// Pins 0 and 1 of the stereo pair, labelled "Input 1", "In 1" and so on.
bool describePin(VstInt32 index, VstPinProperties* properties, const char* label, const char* shortLabel)
{
    if (properties == nullptr || ! juce::isPositiveAndBelow(static_cast<int>(index), VSTWrapper::kNumChannels))
        return false;
    std::memset(properties, 0, sizeof(*properties));
    const juce::String number(static_cast<int>(index) + 1);
    (label + number).copyToUTF8(properties->label, sizeof(properties->label));
    (shortLabel + number).copyToUTF8(properties->shortLabel, sizeof(properties->shortLabel));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    properties->arrangementType = kSpeakerArrStereo;
    return true;
}

// Whether a text typed for a parameter names a value of it: the parameter's
// own text of that value (a choice's name), or a number to read.
bool namesAValue(const juce::AudioProcessorParameter& parameter, const juce::String& typed, float value)
{
    if (typed.isEmpty() || ! std::isfinite(value))
        return false;
    if (parameter.getText(value, 1024).trim().equalsIgnoreCase(typed))
        return true;
    auto p = typed.getCharPointer();
    if (*p == '+' || *p == '-')
        ++p;
    if (*p == '.')
        ++p;
    return juce::CharacterFunctions::isDigit(*p);
}

VstInt32 numProgramsOf(juce::AudioProcessor* p)
{
    return p != nullptr ? juce::jmax(1, p->getNumPrograms()) : 1;
}

VstInt32 numParametersOf(const juce::AudioProcessor* p)
{
    return p != nullptr ? p->getParameters().size() : 0;
}
} // namespace

//==============================================================================
// Holds the processor's editor inside the host's window and tells the host
// when the editor changes its size.
struct VSTWrapper::EditorHolder : public juce::Component
{
    EditorHolder(VSTWrapper& ownerIn, juce::AudioProcessorEditor& editorIn)
        : hold(*ownerIn.messageThread), owner(ownerIn), editor(editorIn)
    {
        setOpaque(true);
        addAndMakeVisible(editor);
        setSize(editor.getWidth(), editor.getHeight());
    }

    ~EditorHolder() override { removeChildComponent(&editor); }

    void childBoundsChanged(juce::Component* child) override
    {
        if (child != &editor)
            return;
        const int width = editor.getWidth();
        const int height = editor.getHeight();
        editor.setTopLeftPosition(0, 0);
        if (width != getWidth() || height != getHeight())
        {
            setSize(width, height);
            owner.editorResized(width, height);
        }
    }

    void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::black); }

    // While the editor is open the host's thread drives the messages.
    const SharedMessageThread::EditorHold hold;
    VSTWrapper& owner;
    juce::AudioProcessorEditor& editor;
};

//==============================================================================
// The host's buffers for effGetChunk: one per calling thread, so that a
// thread reading its chunk is never overtaken by another thread asking for
// one. A buffer stays valid until its thread asks again; the least recently
// used goes when more threads than this have asked.
class VSTWrapper::ChunkBuffers
{
public:
    static constexpr size_t kMaxThreads = 16;

    // Keeps data for the calling thread; returns where the host finds it.
    void* keep(juce::MemoryBlock& data)
    {
        // The thread's previous chunk is freed after the lock, in data.
        const std::lock_guard<std::mutex> lock(mutex);
        const auto thread = std::this_thread::get_id();
        auto slot = std::find_if(slots.begin(), slots.end(), [thread](const Slot& s) { return s.thread == thread; });
        if (slot == slots.end())
        {
            if (slots.size() >= kMaxThreads)
                slots.erase(std::min_element(slots.begin(), slots.end(),
                                             [](const Slot& a, const Slot& b) { return a.lastUse < b.lastUse; }));
            slots.emplace_back();
            slot = std::prev(slots.end());
            slot->thread = thread;
        }
        slot->lastUse = ++uses;
        slot->data.swapWith(data);
        return slot->data.getData();
    }

private:
    struct Slot
    {
        std::thread::id thread;
        juce::MemoryBlock data;
        uint64_t lastUse = 0;
    };

    std::mutex mutex;
    std::vector<Slot> slots;
    uint64_t uses = 0;
};

//==============================================================================
AEffect* VSTWrapper::createEffect(audioMasterCallback host, ProcessorFactory factory)
{
    if (host == nullptr || factory == nullptr)
        return nullptr;
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;

    // Keeps the message thread up while the processor is made; the effect
    // holds it from then on.
    juce::SharedResourcePointer<SharedMessageThread> thread;
    // The processor makes its GUI side as it starts: the host's thread is
    // the message thread meanwhile.
    const SharedMessageThread::HostDrivenScope scope(*thread);

    juce::AudioProcessor::setTypeOfNextNewPlugin(juce::AudioProcessor::wrapperType_VST);
    std::unique_ptr<juce::AudioProcessor> processor(factory());
    juce::AudioProcessor::setTypeOfNextNewPlugin(juce::AudioProcessor::wrapperType_Undefined);
    if (processor == nullptr)
        return nullptr;

    auto* effect = new VSTWrapper(host, std::move(processor));
    return effect->getAeffect();
}

VSTWrapper::VSTWrapper(audioMasterCallback host, std::unique_ptr<juce::AudioProcessor> processorIn)
    : AudioEffectX(host, numProgramsOf(processorIn.get()), numParametersOf(processorIn.get())),
      processor(std::move(processorIn)),
      latencySource(dynamic_cast<LatencySource*>(processor.get())),
      chunks(std::make_unique<ChunkBuffers>())
{
    jassert(processor != nullptr);

    setUniqueID(kUniqueId);
    cEffect.version = kVersion;
    setNumInputs(kNumChannels);
    setNumOutputs(kNumChannels);
    canProcessReplacing(true);
    programsAreChunks(true);
    isSynth(false);
    noTail(false);
    if (processor->hasEditor())
        cEffect.flags |= effFlagsHasEditor;

    juce::AudioProcessor::BusesLayout stereo;
    stereo.inputBuses.add(juce::AudioChannelSet::stereo());
    stereo.outputBuses.add(juce::AudioChannelSet::stereo());
    if (processor->checkBusesLayoutSupported(stereo))
        processor->setBusesLayout(stereo);

    const auto numHeld = static_cast<size_t>(juce::jmax(1, static_cast<int>(numParams)));
    heldValues.reset(new std::atomic<float>[numHeld]);
    heldFlags.reset(new std::atomic<uint8_t>[numHeld]);
    for (size_t i = 0; i < numHeld; ++i)
    {
        heldValues[i].store(0.0f);
        heldFlags[i].store(0);
    }

    processorLatency.store(processor->getLatencySamples());
    publishLatency();
    processor->setPlayHead(this);
    processor->addListener(this);
    messageThread->addClient(this);

    incomingMidi.ensureSize(kMidiBufferBytes);
    pieceMidi.ensureSize(kMidiBufferBytes);

    fillStereoArrangement(stereoArrangementIn);
    fillStereoArrangement(stereoArrangementOut);
}

VSTWrapper::~VSTWrapper()
{
    // The editor and the processor's GUI side go on the message thread.
    const SharedMessageThread::HostDrivenScope scope(*messageThread);
    messageThread->removeClient(this);
    closeEditor();
    processor->removeListener(this);
    processor->setPlayHead(nullptr);
    if (prepared)
        processor->releaseResources();
    processor.reset();
}

//==============================================================================
VstIntPtr VSTWrapper::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    const HostCallScope call;
    if (opcode == effOpen)
        openingThread.store(std::this_thread::get_id());
    else if (opcode == effEditOpen)
        editorThread.store(std::this_thread::get_id());
    switch (opcode)
    {
        case effEditGetRect:
        {
            const SharedMessageThread::HostDrivenScope scope(*messageThread);
            return getEditorRect(ptr);
        }
        case effEditOpen:
        {
            const SharedMessageThread::HostDrivenScope scope(*messageThread);
            return openEditor(ptr);
        }
        case effEditClose:
        {
            const SharedMessageThread::HostDrivenScope scope(*messageThread);
            closeEditor();
            return 0;
        }
        case effEditIdle:
        {
            // The host's idle call drives the messages while an editor is
            // open, and makes the calls held for the host.
            {
                const SharedMessageThread::HostDrivenScope scope(*messageThread);
                messageThread->dispatchPendingMessages();
            }
            messageThread->makePendingHostCalls();
            return 0;
        }
        default: break;
    }
    const VstIntPtr result = AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    // What the call set off (a loaded chunk's display update, a latency
    // change) goes to the host now, on the thread it called us on; not from
    // the calls hosts make on their audio thread (Ardour suspends and resumes
    // its plug-ins there, before it has processed on that thread), nor from
    // the instance's last.
    switch (opcode)
    {
        case effClose:
        case effMainsChanged:
        case effProcessEvents:
        case effStartProcess:
        case effStopProcess: break;
        default: makeHeldHostCalls(); break;
    }
    return result;
}

//==============================================================================
void VSTWrapper::setSampleRate(float newSampleRate)
{
    if (! std::isfinite(newSampleRate) || newSampleRate <= 0.0f || newSampleRate == sampleRate)
        return;
    sampleRate = newSampleRate;
    // A host that changes the rate without suspending first expects the new
    // rate from the next block on.
    bool running = false;
    {
        const juce::ScopedLock lock(processor->getCallbackLock());
        running = prepared;
    }
    if (running)
        prepareProcessor(processor->isNonRealtime());
}

void VSTWrapper::setBlockSize(VstInt32 newBlockSize)
{
    if (newBlockSize > 0)
        blockSize = newBlockSize;
}

void VSTWrapper::suspend()
{
    const juce::ScopedLock lock(processor->getCallbackLock());
    if (prepared)
    {
        prepared = false;
        processor->releaseResources();
    }
    incomingMidi.clear();
}

void VSTWrapper::resume()
{
    // Hosts rendering to a file say so through the process level; the
    // processor then uses its offline settings. Asked before any lock.
    prepareProcessor(getCurrentProcessLevel() == kVstProcessLevelOffline);
    resumedOnce = true;
    // Hosts read the latency as soon as the resume returns: the one the
    // preparation gave, not one a message will bring later.
    if (latencySource == nullptr)
        processorLatency.store(processor->getLatencySamples());
    publishLatency();
    AudioEffectX::resume();
}

void VSTWrapper::prepareProcessor(bool offline)
{
    const double rate = sampleRate > 0.0f ? static_cast<double>(sampleRate) : kDefaultSampleRate;
    const int block = juce::jlimit(1, kMaxPreparedBlockSize, static_cast<int>(blockSize));
    const int channels = juce::jmax(kNumChannels, processor->getTotalNumInputChannels(),
                                    processor->getTotalNumOutputChannels());

    // Sized outside the lock, swapped in under it; at the size it has (a
    // host's suspend and resume, often on its audio thread) it is kept.
    juce::AudioBuffer<float> newScratch;
    const bool resized = scratch.getNumChannels() != channels || scratch.getNumSamples() != block;
    if (resized)
        newScratch.setSize(channels, block);
    const juce::ScopedLock lock(processor->getCallbackLock());
    prepared = false;
    processor->setNonRealtime(offline);
    processor->setRateAndBufferSizeDetails(rate, block);
    processor->prepareToPlay(rate, block);
    if (resized)
        std::swap(scratch, newScratch);
    preparedRate = rate;
    incomingMidi.clear();
    prepared = true;
}

//==============================================================================
VstInt32 VSTWrapper::processEvents(VstEvents* events)
{
    if (events == nullptr || events->numEvents <= 0)
        return 0;
    // Comes on the audio thread: while suspend or resume holds the processor
    // the events are dropped with the silent block they belong to.
    const juce::ScopedTryLock lock(processor->getCallbackLock());
    if (! lock.isLocked())
        return 0;

    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
        const VstEvent* event = vstEventAt(events, i);
        if (event == nullptr)
            continue;
        const int offset = juce::jmax(0, static_cast<int>(event->deltaFrames));

        const juce::uint8* bytes = nullptr;
        int length = 0;
        if (event->type == kVstMidiType)
        {
            const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
            length = midiMessageLength(midi->midiData);
            bytes = reinterpret_cast<const juce::uint8*>(midi->midiData);
        }
        else if (event->type == kVstSysExType)
        {
            const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
            if (sysex->sysexDump != nullptr && sysex->dumpBytes > 0)
            {
                length = sysex->dumpBytes;
                bytes = reinterpret_cast<const juce::uint8*>(sysex->sysexDump);
            }
        }
        if (bytes == nullptr || length <= 0)
            continue;

        const auto needed = static_cast<size_t>(length) + kMidiEventOverhead;
        if (static_cast<size_t>(incomingMidi.data.size()) + needed > kMidiBufferBytes)
            continue;
        incomingMidi.addEvent(bytes, length, offset);
    }
    return 1;
}

void VSTWrapper::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    const HostCallScope call;
    processBlock(inputs, outputs, static_cast<int>(sampleFrames), false);
}

void VSTWrapper::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    const HostCallScope call;
    processBlock(inputs, outputs, static_cast<int>(sampleFrames), true);
}

void VSTWrapper::processBlock(float** inputs, float** outputs, int numSamples, bool accumulate)
{
    if (numSamples <= 0 || outputs == nullptr)
        return;
    // What the block changes reaches the message thread without a message.
    const AudioSafeUpdater::AudioScope audio;

    // Some hosts never send effMainsChanged(1) and start processing at once.
    if (! processCalled.exchange(true) && ! resumedOnce.load())
        resume();

    // Calls to the host come first, before any lock is taken: a host may
    // take its own lock to answer, one it holds while waiting for us.
    const bool offline = getCurrentProcessLevel() == kVstProcessLevelOffline;
    const VstTimeInfo* info = getTimeInfo(kTimeInfoFilter);
    {
        // The audio thread never waits: while the processor is being
        // prepared, released or suspended, the block is silent.
        const juce::ScopedTryLock lock(processor->getCallbackLock());
        if (! lock.isLocked() || ! prepared || processor->isSuspended())
        {
            if (! accumulate)
                for (int ch = 0; ch < cEffect.numOutputs; ++ch)
                    if (outputs[ch] != nullptr)
                        std::fill(outputs[ch], outputs[ch] + numSamples, 0.0f);
            if (lock.isLocked())
                incomingMidi.clear();
            return;
        }

        // Asked again at every block: some hosts answer by the calling
        // thread, and some start a render without a new resume.
        processor->setNonRealtime(offline);
        hasBlockTimeInfo = info != nullptr;
        if (info != nullptr)
            blockTimeInfo = *info;

        const juce::ScopedValueSetter<const void*> processing(processingWrapper, this);
        // The scratch buffer holds the block size the processor was prepared for.
        const int pieceSize = scratch.getNumSamples();
        for (int start = 0; start < numSamples; start += pieceSize)
            processPiece(inputs, outputs, start, juce::jmin(pieceSize, numSamples - start), numSamples, accumulate);

        incomingMidi.clear();
        positionOffset = 0;
    }
    // What the processor reported during the block, now that nothing is held:
    // its automation to the host, a latency change to the record.
    makeHeldAutomationCalls();
    if (! onHostsGuiThread())
        publishLatencyFromAudioThread();
}

void VSTWrapper::processPiece(float** inputs, float** outputs, int start, int numSamples, int blockLength,
                              bool accumulate)
{
    const int channels = scratch.getNumChannels();
    for (int ch = 0; ch < channels; ++ch)
    {
        float* dest = scratch.getWritePointer(ch);
        const float* source = (inputs != nullptr && ch < cEffect.numInputs) ? inputs[ch] : nullptr;
        if (source == nullptr)
        {
            std::fill(dest, dest + numSamples, 0.0f);
            continue;
        }
        copyHostInput(source + start, dest, numSamples);
    }

    pieceMidi.clear();
    const int end = start + numSamples;
    for (const auto metadata : incomingMidi)
    {
        // Events beyond the block's end play at its last sample.
        const int position = juce::jmin(metadata.samplePosition, blockLength - 1);
        if (position >= start && position < end)
            pieceMidi.addEvent(metadata.data, metadata.numBytes, position - start);
    }

    positionOffset = start;
    juce::AudioBuffer<float> piece(scratch.getArrayOfWritePointers(), channels, numSamples);
    processor->processBlock(piece, pieceMidi);

    for (int ch = 0; ch < cEffect.numOutputs; ++ch)
    {
        float* out = outputs[ch];
        if (out == nullptr)
            continue;
        out += start;
        if (ch >= channels)
        {
            if (! accumulate)
                std::fill(out, out + numSamples, 0.0f);
            continue;
        }
        const float* processed = scratch.getReadPointer(ch);
        if (accumulate)
            juce::FloatVectorOperations::add(out, processed, numSamples);
        else
            std::memcpy(out, processed, sizeof(float) * static_cast<size_t>(numSamples));
    }
}

juce::Optional<juce::AudioPlayHead::PositionInfo> VSTWrapper::getPosition() const
{
    if (! hasBlockTimeInfo)
        return {};

    const VstTimeInfo& info = blockTimeInfo;
    const double rate = info.sampleRate > 0.0 ? info.sampleRate : preparedRate;
    const double offsetSeconds = rate > 0.0 ? positionOffset / rate : 0.0;

    PositionInfo position;
    const double samplePosition = info.samplePos + positionOffset;
    position.setTimeInSamples(static_cast<int64_t>(samplePosition));
    if (rate > 0.0)
        position.setTimeInSeconds(samplePosition / rate);

    const bool tempoValid = (info.flags & kVstTempoValid) != 0 && info.tempo > 0.0;
    if (tempoValid)
        position.setBpm(info.tempo);
    if ((info.flags & kVstTimeSigValid) != 0 && info.timeSigNumerator > 0 && info.timeSigDenominator > 0)
        position.setTimeSignature(TimeSignature { info.timeSigNumerator, info.timeSigDenominator });
    if ((info.flags & kVstPpqPosValid) != 0)
        position.setPpqPosition(info.ppqPos + (tempoValid ? offsetSeconds * info.tempo / 60.0 : 0.0));
    if ((info.flags & kVstBarsValid) != 0)
        position.setPpqPositionOfLastBarStart(info.barStartPos);
    if ((info.flags & kVstCyclePosValid) != 0)
        position.setLoopPoints(LoopPoints { info.cycleStartPos, info.cycleEndPos });
    if ((info.flags & kVstNanosValid) != 0 && info.nanoSeconds >= 0.0)
        position.setHostTimeNs(static_cast<uint64_t>(info.nanoSeconds));
    if ((info.flags & kVstSmpteValid) != 0)
    {
        switch (info.smpteFrameRate)
        {
            case kVstSmpte24fps: position.setFrameRate(FrameRate(fps24)); break;
            case kVstSmpte25fps: position.setFrameRate(FrameRate(fps25)); break;
            case kVstSmpte2997fps: position.setFrameRate(FrameRate(fps2997)); break;
            case kVstSmpte30fps: position.setFrameRate(FrameRate(fps30)); break;
            case kVstSmpte2997dfps: position.setFrameRate(FrameRate(fps2997drop)); break;
            case kVstSmpte30dfps: position.setFrameRate(FrameRate(fps30drop)); break;
            case kVstSmpte60fps: position.setFrameRate(FrameRate(fps60)); break;
            default: break;
        }
    }
    position.setIsPlaying((info.flags & kVstTransportPlaying) != 0);
    position.setIsRecording((info.flags & kVstTransportRecording) != 0);
    position.setIsLooping((info.flags & kVstTransportCycleActive) != 0);
    return position;
}

//==============================================================================
juce::AudioProcessorParameter* VSTWrapper::parameterAt(VstInt32 index) const
{
    const auto& parameters = processor->getParameters();
    return juce::isPositiveAndBelow(static_cast<int>(index), parameters.size()) ? parameters.getUnchecked(index)
                                                                                : nullptr;
}

void VSTWrapper::setParameter(VstInt32 index, float value)
{
    const HostCallScope call;
    // Hosts play automation on their audio thread: no message is posted.
    const AudioSafeUpdater::AudioScope audio;
    auto* parameter = parameterAt(index);
    if (parameter == nullptr || ! std::isfinite(value))
        return;
    value = juce::jlimit(0.0f, 1.0f, value);
    if (parameter->getValue() == value)
        return;

    {
        const juce::ScopedValueSetter<int> guard(hostParameterBeingSet, static_cast<int>(index));
        parameter->setValue(value);
        parameter->sendValueChangedMessageToListeners(value);
    }
    makeHeldHostCalls();
}

float VSTWrapper::getParameter(VstInt32 index)
{
    const HostCallScope call;
    auto* parameter = parameterAt(index);
    return parameter != nullptr ? parameter->getValue() : 0.0f;
}

void VSTWrapper::getParameterName(VstInt32 index, char* text)
{
    auto* parameter = parameterAt(index);
    copyString(text, parameter != nullptr ? parameter->getName(kParameterNameLength) : juce::String(),
               kParameterNameLength);
}

void VSTWrapper::getParameterDisplay(VstInt32 index, char* text)
{
    auto* parameter = parameterAt(index);
    copyString(text,
               parameter != nullptr ? parameter->getText(parameter->getValue(), kParameterTextLength)
                                    : juce::String(),
               kParameterTextLength);
}

void VSTWrapper::getParameterLabel(VstInt32 index, char* text)
{
    auto* parameter = parameterAt(index);
    copyString(text, parameter != nullptr ? parameter->getLabel() : juce::String(), kParameterTextLength);
}

bool VSTWrapper::canParameterBeAutomated(VstInt32 index)
{
    auto* parameter = parameterAt(index);
    return parameter != nullptr && parameter->isAutomatable();
}

bool VSTWrapper::string2parameter(VstInt32 index, char* text)
{
    auto* parameter = parameterAt(index);
    if (parameter == nullptr)
        return false;
    // A null text asks whether texts are understood at all.
    if (text == nullptr)
        return true;
    const auto typed = juce::String::fromUTF8(text).trim();
    const float value = parameter->getValueForText(typed);
    if (! namesAValue(*parameter, typed, value))
        return false;
    setParameter(index, value);
    return true;
}

//==============================================================================
void VSTWrapper::audioProcessorParameterChanged(juce::AudioProcessor*, int index, float newValue)
{
    if (index != hostParameterBeingSet && ! loadingState)
        sendOrHoldAutomation(index, pendingValue, newValue);
}

void VSTWrapper::audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int index)
{
    if (! loadingState)
        sendOrHoldAutomation(index, pendingBegin, 0.0f);
}

void VSTWrapper::audioProcessorParameterChangeGestureEnd(juce::AudioProcessor*, int index)
{
    if (! loadingState)
        sendOrHoldAutomation(index, pendingEnd, 0.0f);
}

void VSTWrapper::sendOrHoldAutomation(int index, PendingFlag what, float value)
{
    if (! juce::isPositiveAndBelow(index, static_cast<int>(numParams)))
        return;

    // Straight to the host from a thread the host called us on, unless it is
    // inside a block; in a program with its own JUCE loop its message thread
    // stands for the host's.
    const bool onHostThread = hostCallDepth > 0
                              || (messageThread->usesProgramsMessageLoop()
                                  && juce::MessageManager::existsAndIsCurrentThread());
    if (onHostThread && processingWrapper == nullptr)
    {
        switch (what)
        {
            case pendingBegin: beginEdit(index); break;
            case pendingValue: callHost(audioMasterAutomate, index, 0, nullptr, value); break;
            case pendingEnd: endEdit(index); break;
        }
        return;
    }

    const auto slot = static_cast<size_t>(index);
    if (what == pendingValue)
        heldValues[slot].store(value);
    heldFlags[slot].fetch_or(what);
    automationHeld.store(true);
    // The block's own thread makes the calls when the block is done.
    if (processingWrapper != this)
        messageThread->requestHostCalls();
}

void VSTWrapper::takePendingAutomation(std::vector<SharedMessageThread::HostCall>& calls)
{
    if (! automationHeld.exchange(false))
        return;
    for (int i = 0; i < numParams; ++i)
    {
        const auto slot = static_cast<size_t>(i);
        const uint8_t flags = heldFlags[slot].exchange(0);
        if (flags == 0)
            continue;
        const auto add = [&](VstInt32 opcode, float opt) {
            calls.push_back({ audioMaster, &cEffect, opcode, static_cast<VstInt32>(i), 0, opt });
        };
        if ((flags & pendingBegin) != 0)
            add(audioMasterBeginEdit, 0.0f);
        if ((flags & pendingValue) != 0)
            add(audioMasterAutomate, heldValues[slot].load());
        if ((flags & pendingEnd) != 0)
            add(audioMasterEndEdit, 0.0f);
    }
}

void VSTWrapper::makeHeldAutomationCalls()
{
    // Runs on the audio thread: the calls are made straight from the slots.
    if (! automationHeld.exchange(false))
        return;
    for (int i = 0; i < numParams; ++i)
    {
        const auto slot = static_cast<size_t>(i);
        const uint8_t flags = heldFlags[slot].exchange(0);
        if ((flags & pendingBegin) != 0)
            beginEdit(i);
        if ((flags & pendingValue) != 0)
            callHost(audioMasterAutomate, i, 0, nullptr, heldValues[slot].load());
        if ((flags & pendingEnd) != 0)
            endEdit(i);
    }
}

void VSTWrapper::takePendingHostCalls(std::vector<SharedMessageThread::HostCall>& calls)
{
    takePendingAutomation(calls);
    // In a program with its own JUCE loop its message thread stands for the host's.
    const bool guiSide = onHostsGuiThread()
                         || (messageThread->usesProgramsMessageLoop()
                             && juce::MessageManager::existsAndIsCurrentThread());
    if (! guiSide)
        return;
    if (takeLatencyChange())
        calls.push_back({ audioMaster, &cEffect, audioMasterIOChanged, 0, 0, 0.0f });
    if (displayUpdateHeld.exchange(false))
        calls.push_back({ audioMaster, &cEffect, audioMasterUpdateDisplay, 0, 0, 0.0f });
}

bool VSTWrapper::takeLatencyChange()
{
    // Both looked at: one published here, or one the audio thread published.
    const bool publishedNow = latencyChangeDue() && publishLatency();
    const bool owed = ioChangedOwed.exchange(false);
    return publishedNow || owed;
}

void VSTWrapper::publishLatencyFromAudioThread()
{
    if (! latencyChangeDue())
        return;
    // Another thread writing the record meanwhile tells the host itself, or
    // leaves the change due for the next look.
    std::unique_lock<std::mutex> lock(latencyLock, std::try_to_lock);
    if (! lock.owns_lock())
    {
        latencyChangeHeld.store(true);
        return;
    }
    if (writeLatency())
    {
        ioChangedOwed.store(true);
        messageThread->requestHostCalls();
    }
}

bool VSTWrapper::latencyChangeDue()
{
    // The record's field is written under the latency lock; its mirror here
    // is read without one, and publishLatency looks again under the lock.
    const bool held = latencyChangeHeld.exchange(false);
    return held || (latencySource != nullptr && latencySource->getLatencyInForce() != publishedLatency.load());
}

void VSTWrapper::makeHeldHostCalls()
{
    // Inside a block the calls wait for its end.
    if (processingWrapper != nullptr)
        return;
    makeHeldAutomationCalls();
    // Elsewhere than on the host's GUI side (its audio thread, a thread that
    // only automates, a worker of its own) only the record follows; the host
    // hears of it at its next call from the thread that opened the plug-in
    // or its editor: what it does when told (Ardour marks its session
    // changed and signals its GUI) is GUI work.
    if (! onHostsGuiThread())
    {
        publishLatencyFromAudioThread();
        return;
    }
    if (takeLatencyChange())
        ioChanged();
    if (displayUpdateHeld.exchange(false))
        updateDisplay();
}

bool VSTWrapper::publishLatency()
{
    const std::lock_guard<std::mutex> lock(latencyLock);
    return writeLatency();
}

bool VSTWrapper::writeLatency()
{
    const int latency = latencySource != nullptr ? latencySource->getLatencyInForce() : processorLatency.load();
    if (latency == cEffect.initialDelay)
        return false;
    setInitialDelay(latency);
    publishedLatency.store(latency);
    return true;
}

bool VSTWrapper::onHostsGuiThread() const
{
    const auto thread = std::this_thread::get_id();
    return thread == openingThread.load() || thread == editorThread.load();
}

void VSTWrapper::requestDisplayUpdate()
{
    displayUpdateHeld.store(true);
    messageThread->requestHostCalls();
}

void VSTWrapper::audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails& details)
{
    // May come from any thread, the audio thread too: the host hears of it
    // from the message thread, outside any message.
    if (details.latencyChanged)
    {
        // Read here, on the thread that changed it: JUCE keeps it unguarded.
        processorLatency.store(processor->getLatencySamples());
        latencyChangeHeld.store(true);
    }
    requestDisplayUpdate();
}

//==============================================================================
VstInt32 VSTWrapper::getProgram()
{
    return juce::jmax(0, processor->getCurrentProgram());
}

void VSTWrapper::setProgram(VstInt32 program)
{
    if (! juce::isPositiveAndBelow(static_cast<int>(program), processor->getNumPrograms()))
        return;
    curProgram = program;
    const juce::ScopedValueSetter<bool> quiet(loadingState, true);
    processor->setCurrentProgram(program);
}

void VSTWrapper::setProgramName(char* name)
{
    if (name != nullptr && processor->getNumPrograms() > 0)
    {
        // The host's text ends at its zero or at the name's longest length,
        // whichever comes first: no byte after it is read.
        const auto length = static_cast<int>(strnlen(name, kVstMaxProgNameLen));
        processor->changeProgramName(getProgram(), juce::String::fromUTF8(name, length));
    }
}

void VSTWrapper::getProgramName(char* name)
{
    copyString(name, processor->getNumPrograms() > 0 ? processor->getProgramName(getProgram()) : juce::String(),
               kVstMaxProgNameLen);
}

bool VSTWrapper::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (text == nullptr || ! juce::isPositiveAndBelow(static_cast<int>(index), processor->getNumPrograms()))
        return false;
    copyString(text, processor->getProgramName(index), kVstMaxProgNameLen);
    return true;
}

//==============================================================================
VstInt32 VSTWrapper::getChunk(void** data, bool isPreset)
{
    if (data == nullptr)
        return 0;
    juce::MemoryBlock state;
    if (isPreset && processor->getNumPrograms() > 1)
        processor->getCurrentProgramStateInformation(state);
    else
        processor->getStateInformation(state);
    const auto size = static_cast<VstInt32>(state.getSize());
    *data = chunks->keep(state);
    return size;
}

VstInt32 VSTWrapper::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    if (data == nullptr || byteSize <= 0)
        return 0;
    // Audio goes on meanwhile: the processor applies the state without
    // stopping it.
    const juce::ScopedValueSetter<bool> quiet(loadingState, true);
    bool loaded = true;
    if (isPreset && processor->getNumPrograms() > 1)
        processor->setCurrentProgramStateInformation(data, static_cast<int>(byteSize));
    else if (auto* loader = dynamic_cast<StateLoader*>(processor.get()))
        loaded = loader->loadState(data, static_cast<int>(byteSize));
    else
        processor->setStateInformation(data, static_cast<int>(byteSize));
    if (! loaded)
        return 0;
    requestDisplayUpdate();
    return 1;
}

//==============================================================================
bool VSTWrapper::getEffectName(char* name)
{
    copyString(name, processor->getName(), kVstMaxEffectNameLen);
    return true;
}

bool VSTWrapper::getVendorString(char* text)
{
    copyString(text, kVendorName, kVstMaxVendorStrLen);
    return true;
}

bool VSTWrapper::getProductString(char* text)
{
    copyString(text, processor->getName(), kVstMaxProductStrLen);
    return true;
}

VstInt32 VSTWrapper::canDo(const char* text)
{
    if (text == nullptr)
        return 0;
    // Compared in place: the resume asks too, on the host's audio thread.
    const auto is = [text](const char* what) { return std::strcmp(text, what) == 0; };
    if (is("receiveVstEvents") || is("receiveVstMidiEvent"))
        return processor->acceptsMidi() ? 1 : -1;
    if (is("receiveVstTimeInfo"))
        return 1;
    if (is("sendVstEvents") || is("sendVstMidiEvent"))
        return -1;
    return 0;
}

VstInt32 VSTWrapper::getGetTailSize()
{
    const double tailSamples = processor->getTailLengthSeconds() * static_cast<double>(sampleRate);
    if (! std::isfinite(tailSamples) || tailSamples <= 0.0)
        return 0;
    return static_cast<VstInt32>(juce::jmin(tailSamples, static_cast<double>(std::numeric_limits<VstInt32>::max())));
}

VstInt32 VSTWrapper::getNumMidiInputChannels()
{
    return processor->acceptsMidi() ? 16 : 0;
}

bool VSTWrapper::getInputProperties(VstInt32 index, VstPinProperties* properties)
{
    return describePin(index, properties, "Input ", "In ");
}

bool VSTWrapper::getOutputProperties(VstInt32 index, VstPinProperties* properties)
{
    return describePin(index, properties, "Output ", "Out ");
}

// Stereo in and stereo out is the only arrangement this effect has.
bool VSTWrapper::setSpeakerArrangement(VstSpeakerArrangement* pluginInput, VstSpeakerArrangement* pluginOutput)
{
    return pluginInput != nullptr && pluginOutput != nullptr && pluginInput->numChannels == kNumChannels
           && pluginOutput->numChannels == kNumChannels;
}

bool VSTWrapper::getSpeakerArrangement(VstSpeakerArrangement** pluginInput, VstSpeakerArrangement** pluginOutput)
{
    if (pluginInput == nullptr || pluginOutput == nullptr)
        return false;
    *pluginInput = &stereoArrangementIn;
    *pluginOutput = &stereoArrangementOut;
    return true;
}

//==============================================================================
bool VSTWrapper::createEditorIfNeeded()
{
    if (editorComponent == nullptr && processor->hasEditor())
        editorComponent.reset(processor->createEditorIfNeeded());
    return editorComponent != nullptr;
}

VstIntPtr VSTWrapper::getEditorRect(void* ptr)
{
    if (ptr == nullptr || ! createEditorIfNeeded())
        return 0;
    const auto* shown = editorHolder != nullptr ? static_cast<juce::Component*>(editorHolder.get())
                                                : static_cast<juce::Component*>(editorComponent.get());
    editorRect.top = 0;
    editorRect.left = 0;
    editorRect.bottom = static_cast<VstInt16>(juce::jlimit(0, 32767, shown->getHeight()));
    editorRect.right = static_cast<VstInt16>(juce::jlimit(0, 32767, shown->getWidth()));
    *static_cast<ERect**>(ptr) = &editorRect;
    return 1;
}

VstIntPtr VSTWrapper::openEditor(void* parentWindow)
{
    if (parentWindow == nullptr)
        return 0;
    // Without a display there is nothing to embed into.
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return 0;
    if (! createEditorIfNeeded())
        return 0;

    editorHolder.reset();
    editorHolder = std::make_unique<EditorHolder>(*this, *editorComponent);
    editorHolder->setVisible(true);
    editorHolder->addToDesktop(0, parentWindow);
    return 1;
}

void VSTWrapper::closeEditor()
{
    if (editorHolder != nullptr)
    {
        editorHolder->removeFromDesktop();
        editorHolder.reset();
    }
    if (editorComponent != nullptr)
    {
        processor->editorBeingDeleted(editorComponent.get());
        editorComponent.reset();
    }
}

void VSTWrapper::editorResized(int width, int height)
{
    if (canHostDo("sizeWindow") != 0)
        sizeWindow(width, height);
}
