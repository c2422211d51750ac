#include "PluginInstance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

namespace
{
constexpr VstIntPtr kHostVstVersion = 2400;
// Parameter texts are read into a buffer of 256 bytes.
constexpr size_t kParameterTextLength = 255;

std::recursive_mutex hostLock;

// The effects that are open: a call for any other record (one closed while
// the call was on its way) is answered with 0 and never looked into.
std::mutex registryMutex;
std::set<AEffect*> openEffects;

// How deep this thread is in our calls into the plug-in, and the parameter
// it is setting.
thread_local int callDepth = 0;
thread_local int indexBeingSet = -1;

struct CallScope
{
    CallScope() { ++callDepth; }
    ~CallScope() { --callDepth; }
};

// The host lock around a dispatcher call, when the host takes one.
std::unique_lock<std::recursive_mutex> lockIfLockingHost()
{
    return PluginInstance::lockingHost.load() ? std::unique_lock<std::recursive_mutex>(hostLock)
                                              : std::unique_lock<std::recursive_mutex>();
}
} // namespace

std::atomic<VstIntPtr> PluginInstance::versionAnswer { kHostVstVersion };
std::atomic<bool> PluginInstance::lockingHost { false };

std::unique_ptr<PluginInstance> PluginInstance::create(const PluginLibrary& library, std::string& error)
{
    if (! library.isLoaded())
    {
        error = "no plug-in loaded";
        return nullptr;
    }
    return create(library.getEntry(), error);
}

std::unique_ptr<PluginInstance> PluginInstance::create(VstPluginMainProc entry, std::string& error)
{
    AEffect* effect = nullptr;
    {
        const auto lock = lockIfLockingHost();
        const CallScope call;
        effect = entry(hostCallback);
    }
    if (effect == nullptr)
    {
        error = "the entry point gave no effect";
        return nullptr;
    }
    if (effect->magic != kEffectMagic || effect->dispatcher == nullptr)
    {
        error = "the entry point gave a record without the VstP magic or dispatcher";
        return nullptr;
    }
    std::unique_ptr<PluginInstance> instance(new PluginInstance(effect));
    instance->dispatch(effOpen);
    return instance;
}

PluginInstance::PluginInstance(AEffect* e) : effect(e)
{
    // resvd1 belongs to the host: it leads the callback back to us.
    effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
    midiEvents.reserve(1024);
    const std::lock_guard<std::mutex> lock(registryMutex);
    openEffects.insert(effect);
}

PluginInstance::~PluginInstance()
{
    close();
}

void PluginInstance::close()
{
    if (effect == nullptr)
        return;
    dispatch(effMainsChanged, 0, 0);
    const auto lock = lockIfLockingHost();
    {
        const std::lock_guard<std::mutex> guard(registryMutex);
        openEffects.erase(effect);
    }
    const CallScope call;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    effect = nullptr;
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (effect == nullptr)
        return 0;
    const auto lock = lockIfLockingHost();
    const CallScope call;
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void PluginInstance::setEditorThread(bool open)
{
    editorThread = std::this_thread::get_id();
    editorOpen = open;
}

void PluginInstance::prepare(double rate, int block)
{
    sampleRate = rate;
    blockSize = block;
    dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
    dispatch(effSetBlockSize, 0, block);
}

void PluginInstance::resume()
{
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    firstBlock = true;
}

void PluginInstance::suspend()
{
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
}

void PluginInstance::updateTimeInfo(bool transportChanged)
{
    const double quarterNotesPerBar = timeSigNumerator * 4.0 / std::max(1, timeSigDenominator);
    timeInfo = VstTimeInfo {};
    timeInfo.samplePos = double(samplePosition);
    timeInfo.sampleRate = sampleRate;
    timeInfo.tempo = tempo;
    timeInfo.ppqPos = double(samplePosition) / sampleRate * tempo / 60.0;
    timeInfo.barStartPos = std::floor(timeInfo.ppqPos / quarterNotesPerBar) * quarterNotesPerBar;
    timeInfo.timeSigNumerator = timeSigNumerator;
    timeInfo.timeSigDenominator = timeSigDenominator;
    timeInfo.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (playing)
        timeInfo.flags |= kVstTransportPlaying;
    if (transportChanged)
        timeInfo.flags |= kVstTransportChanged;
}

void PluginInstance::process(float** inputs, float** outputs, int numSamples, const std::vector<MidiEvent>& events)
{
    sendEvents(events);
    processRaw(inputs, outputs, numSamples);
}

void PluginInstance::sendEvents(const std::vector<MidiEvent>& events)
{
    if (effect == nullptr || events.empty())
        return;
    midiEvents.clear();
    for (const auto& e : events)
    {
        VstMidiEvent m {};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = VstInt32(e.sample);
        std::memcpy(m.midiData, e.bytes, 3);
        midiEvents.push_back(m);
    }
    const size_t pointerBytes = sizeof(VstEvent*) * std::max<size_t>(2, midiEvents.size());
    eventsBlock.assign(offsetof(VstEvents, events) + pointerBytes, 0);
    auto* list = reinterpret_cast<VstEvents*>(eventsBlock.data());
    list->numEvents = VstInt32(midiEvents.size());
    auto** pointers = reinterpret_cast<VstEvent**>(eventsBlock.data() + offsetof(VstEvents, events));
    for (size_t i = 0; i < midiEvents.size(); ++i)
        pointers[i] = reinterpret_cast<VstEvent*>(&midiEvents[i]);
    dispatch(effProcessEvents, 0, 0, list);
}

void PluginInstance::processRaw(float** inputs, float** outputs, int numSamples, bool accumulating)
{
    if (effect == nullptr)
        return;
    updateTimeInfo(firstBlock.exchange(false));
    {
        const CallScope call;
        if (accumulating)
            effect->process(effect, inputs, outputs, numSamples);
        else
            effect->processReplacing(effect, inputs, outputs, numSamples);
    }
    if (playing)
        samplePosition += numSamples;
}

std::string PluginInstance::getString(VstInt32 opcode, size_t maxLength, VstInt32 index)
{
    std::vector<char> text(maxLength + 1, 0);
    dispatch(opcode, index, 0, text.data());
    text.back() = 0;
    return text.data();
}

std::string PluginInstance::getParameterName(int index)
{
    return getString(effGetParamName, kParameterTextLength, index);
}

std::string PluginInstance::getParameterDisplay(int index)
{
    return getString(effGetParamDisplay, kParameterTextLength, index);
}

std::string PluginInstance::getParameterLabel(int index)
{
    return getString(effGetParamLabel, kParameterTextLength, index);
}

float PluginInstance::getParameter(int index)
{
    const CallScope call;
    return effect != nullptr ? effect->getParameter(effect, index) : 0.0f;
}

void PluginInstance::setParameter(int index, float value)
{
    if (effect == nullptr)
        return;
    const CallScope call;
    const int outer = std::exchange(indexBeingSet, index);
    effect->setParameter(effect, index, value);
    indexBeingSet = outer;
}

std::vector<uint8_t> PluginInstance::getChunk(bool isPreset)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (data == nullptr || size <= 0)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr PluginInstance::setChunk(const std::vector<uint8_t>& data, bool isPreset)
{
    return setChunk(data.data(), data.size(), isPreset);
}

VstIntPtr PluginInstance::setChunk(const void* data, size_t size, bool isPreset)
{
    // The plug-in may not keep or change the host's copy.
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return dispatch(effSetChunk, isPreset ? 1 : 0, VstIntPtr(copy.size()), copy.empty() ? nullptr : copy.data());
}

VstIntPtr PluginInstance::canDo(const char* what)
{
    return dispatch(effCanDo, 0, 0, const_cast<char*>(what));
}

//==============================================================================
VstIntPtr PluginInstance::hostCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                       float opt)
{
    const auto lock = lockIfLockingHost();
    if (opcode == audioMasterVersion)
        return versionAnswer.load();
    // Calls while the effect is being made, before the record is ours, and
    // calls for an effect closed meanwhile, find no instance.
    const std::lock_guard<std::mutex> guard(registryMutex);
    if (e == nullptr || openEffects.count(e) == 0)
        return 0;
    auto* instance = reinterpret_cast<PluginInstance*>(e->resvd1);
    if (instance == nullptr)
        return 0;
    return instance->handleCallback(opcode, index, value, ptr, opt);
}

VstIntPtr PluginInstance::handleCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    const bool editorThreadCall = editorOpen.load() && std::this_thread::get_id() == editorThread.load();
    if (editorOpen.load() && callDepth == 0 && ! editorThreadCall)
    {
        ++foreignThreadCallbacks;
        lastForeignOpcode = opcode;
    }
    if (callDepth == 0 && ! editorThreadCall)
    {
        ++strayCallbacks;
        lastStrayOpcode = opcode;
    }
    const auto thread = std::this_thread::get_id();
    if (thread != openingThread.load() && thread != editorThread.load())
    {
        if (opcode == audioMasterUpdateDisplay)
            ++offGuiDisplayUpdates;
        else if (opcode == audioMasterIOChanged)
            ++offGuiIoChanged;
    }
    switch (opcode)
    {
        case audioMasterAutomate:
            ++automateCount;
            if (index == indexBeingSet)
                ++echoedAutomationCount;
            return 0;
        case audioMasterCurrentId: return 0;
        case audioMasterIdle: return 0;
        case audioMasterWantMidi: ++wantMidiCount; return 1;
        case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&timeInfo);
        case audioMasterIOChanged: ++ioChangedCount; return 1;
        case audioMasterSizeWindow:
            sizeWindowWidth = index;
            sizeWindowHeight = int(value);
            return 1;
        case audioMasterGetSampleRate: return VstIntPtr(sampleRate);
        case audioMasterGetBlockSize: return blockSize;
        case audioMasterGetCurrentProcessLevel: return processLevel.load();
        case audioMasterGetAutomationState: return 1;
        case audioMasterGetVendorString:
            if (ptr != nullptr)
                std::strcpy(static_cast<char*>(ptr), "Tavinor project");
            return 1;
        case audioMasterGetProductString:
            if (ptr != nullptr)
                std::strcpy(static_cast<char*>(ptr), "tavinor_host");
            return 1;
        case audioMasterGetVendorVersion: return 1;
        case audioMasterCanDo:
        {
            const char* what = static_cast<const char*>(ptr);
            if (what == nullptr)
                return 0;
            for (const char* yes : { "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "sizeWindow" })
                if (std::strcmp(what, yes) == 0)
                    return 1;
            return 0;
        }
        case audioMasterUpdateDisplay: ++updateDisplayCount; return 1;
        case audioMasterBeginEdit: ++beginEditCount; return 1;
        case audioMasterEndEdit: ++endEditCount; return 1;
        default: return 0;
    }
}
