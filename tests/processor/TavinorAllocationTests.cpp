// Counts every heap allocation made on the testing thread while a flag is up:
// the global operator new family and the C allocator are replaced for this
// whole test program, and count only when asked to.
#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"
#include "vst/VSTWrapper.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

extern "C" void* __libc_malloc(size_t);
extern "C" ssize_t __write(int, const void*, size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace
{
thread_local bool countingAllocations = false;
std::atomic<int> allocationCount { 0 };
// A message posted to JUCE's message thread is a byte written to its socket,
// after a wait for the queue's lock: counted with the allocations.

inline void noteAllocation()
{
    if (countingAllocations)
        allocationCount.fetch_add(1);
}

void* allocate(size_t n)
{
    noteAllocation();
    if (void* p = __libc_malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned(size_t n, std::align_val_t alignment)
{
    noteAllocation();
    void* p = nullptr;
    if (posix_memalign(&p, std::max(sizeof(void*), (size_t) alignment), n == 0 ? 1 : n) != 0)
        throw std::bad_alloc();
    return p;
}

struct AllocationCounter
{
    AllocationCounter() { allocationCount = 0; countingAllocations = true; }
    ~AllocationCounter() { countingAllocations = false; }
    int count() const { return allocationCount.load(); }
};
} // namespace

extern "C" void* malloc(size_t n) { noteAllocation(); return __libc_malloc(n); }
extern "C" void* calloc(size_t n, size_t size) { noteAllocation(); return __libc_calloc(n, size); }
extern "C" void* realloc(void* p, size_t n) { noteAllocation(); return __libc_realloc(p, n); }
extern "C" void free(void* p) { __libc_free(p); }
extern "C" ssize_t write(int fd, const void* data, size_t n) { noteAllocation(); return __write(fd, data, n); }

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { noteAllocation(); return __libc_malloc(n == 0 ? 1 : n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { noteAllocation(); return __libc_malloc(n == 0 ? 1 : n); }
void* operator new(size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void* operator new[](size_t n, std::align_val_t a) { return allocateAligned(n, a); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { free(p); }

using namespace TavinorTest;

TEST(TavinorAllocation, CounterSeesAllocations)
{
    AllocationCounter counter;
    auto* p = new int(3);
    delete p;
    void* m = std::malloc(10);
    std::free(m);
    EXPECT_EQ(counter.count(), 2);
}

TEST(TavinorAllocation, ProcessBlockNeverAllocates)
{
    FakePlayHead playHead(128.0, true);
    auto t = makeProcessor();
    auto& pm = t->getParameterManager();
    // Everything that runs per sample or per event: synced LFOs with clock
    // edges, an envelope retriggered by MIDI, filters, overdrive, the limiter.
    pm.setBoolValue(Tavinor::kMod1First + Tavinor::kModulatorSync, true);
    pm.setIntValue(Tavinor::kMod1Rate, 10);
    pm.setText(Tavinor::kMod2First, "Envelope");
    pm.setText(Tavinor::kMod2RetriggerMode, "MIDI Note");
    pm.setText(Tavinor::kRouting, "Mixed 3");
    for (int line = 0; line < Tavinor::kNumLines; ++line)
    {
        const int base = Tavinor::getLineParameterBase(line);
        pm.setNormalisedValue(base + Tavinor::kLevel, 0.7f);
        pm.setText(base + Tavinor::kFilterType, "Band Pass");
        pm.setBoolValue(base + Tavinor::kOverdrive, true);
        pm.setIntValue(base + Tavinor::kModSource, line % 2);
        pm.setNormalisedValue(base + Tavinor::kTimeModDepth, 0.3f);
        pm.setNormalisedValue(base + Tavinor::kTremoloDepth, 0.5f);
    }
    pm.setBoolValue(Tavinor::kLimiter, true);
    t->setPlayHead(&playHead);
    t->prepareToPlay(48000.0, 256);

    juce::AudioBuffer<float> buffer(2, 256);
    juce::MidiBuffer midi;
    midi.ensureSize(4096);
    const auto noise = pinkNoise(256, -18.0);
    auto fill = [&] {
        buffer.copyFrom(0, 0, noise.left.data(), 256);
        buffer.copyFrom(1, 0, noise.right.data(), 256);
        midi.clear();
        midi.addEvent(juce::MidiMessage::noteOn(1, 60, (juce::uint8) 100), 17);
        midi.addEvent(juce::MidiMessage::noteOff(1, 60), 200);
        midi.addEvent(juce::MidiMessage::noteOn(1, 60, (juce::uint8) 100), 300); // next block
    };

    fill();
    t->processBlock(buffer, midi); // warm-up

    int allocations = 0;
    for (int block = 0; block < 200; ++block)
    {
        fill();
        AllocationCounter counter;
        t->processBlock(buffer, midi);
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0);
    t->setPlayHead(nullptr);
}

// The same through the VST record, as a host drives it: events handed over
// (notes, and a controller that moves a parameter), the transport asked for,
// the block processed in pieces; and automation played between blocks.
TEST(TavinorAllocation, BlocksThroughTheVstRecordNeverAllocate)
{
    static VstTimeInfo time {};
    time.sampleRate = 48000.0;
    time.tempo = 128.0;
    time.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;
    const audioMasterCallback host = [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        if (opcode == audioMasterVersion)
            return 2400;
        return opcode == audioMasterGetTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
    };
    AEffect* effect = VSTWrapper::createEffect(host, createPluginFilter);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    auto& t = dynamic_cast<Tavinor&>(static_cast<VSTWrapper*>(effect->object)->getProcessor());
    t.getMidiControl().assign(20, t.getParameterManager().getParameter(Tavinor::kDryWet), true);
    VstMidiEvent notes[3] {};
    for (auto& n : notes)
    {
        n.type = kVstMidiType;
        n.byteSize = sizeof(VstMidiEvent);
        n.midiData[1] = 60;
        n.midiData[2] = 100;
    }
    notes[0].midiData[0] = char(0x90);
    notes[0].deltaFrames = 17;
    notes[1].midiData[0] = char(0x80);
    notes[1].deltaFrames = 300; // in the second piece
    notes[2].midiData[0] = char(0xB0);
    notes[2].midiData[1] = 20;
    struct
    {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } list { 3, 0, { reinterpret_cast<VstEvent*>(&notes[0]), reinterpret_cast<VstEvent*>(&notes[1]),
                     reinterpret_cast<VstEvent*>(&notes[2]) } };

    const auto noise = pinkNoise(512, -18.0);
    std::vector<float> left(noise.left), right(noise.right), outLeft(512), outRight(512);
    float* inputs[2] = { left.data(), right.data() };
    float* outputs[2] = { outLeft.data(), outRight.data() };
    auto block = [&] {
        notes[2].midiData[2] = char((notes[2].midiData[2] + 1) % 128);
        effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
        effect->processReplacing(effect, inputs, outputs, 512);
    };
    block(); // warm-up

    int allocations = 0;
    for (int i = 0; i < 100; ++i)
    {
        AllocationCounter counter;
        block();
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0);

    // A host flushing the plug-in between two blocks (a suspend and a resume
    // on its audio thread, at the rate and size it had, as Ardour does) and
    // playing automation while its message thread goes on with its messages:
    // the rings are emptied where they are, nothing is allocated, nothing is
    // posted to the message thread (which allocates once it has emptied its
    // queue).
    std::atomic<int> step { 0 };
    std::thread audio([&] {
        for (int i = 0; i < 4; ++i)
        {
            while (step.load() != 2 * i + 1)
                std::this_thread::yield();
            {
                AllocationCounter counter;
                effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
                effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
                for (int call = 0; call < 100; ++call)
                    effect->setParameter(effect, call % 64, float((call * 37 + i * 11) % 101) / 100.0f);
                // The first round, on a thread new to the plug-in, is a warm-up.
                if (i > 0)
                    allocations += counter.count();
            }
            block();
            step.store(2 * i + 2);
        }
    });
    for (int i = 0; i < 4; ++i)
    {
        // This test's thread is the message thread.
        TestHelpers::pumpMessages();
        step.store(2 * i + 1);
        while (step.load() != 2 * i + 2)
            std::this_thread::yield();
    }
    audio.join();
    EXPECT_EQ(allocations, 0) << "allocations or messages in suspend, resume and automation";
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}
