// tavinor_editor_bench [seconds]
//
// How much of one core the message thread spends on the editor while it is
// open in a window, audio runs on a thread of its own at real-time pace and
// the meters, lamps and LFO lamps move: the CPU time of the thread that runs
// the message loop (timers, repaints, parameter refreshes), divided by the
// time that passed. Run under a display (xvfb-run -a); it uses a settings
// folder of its own, never the user's.

#include "processor/Tavinor.h"
#include "editor/BasePluginEditor.h"
#include "skin/GFXAnimation.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <ctime>
#include <iostream>
#include <thread>

namespace juce
{
// JUCE's own Linux message loop step (juce_linux_Messaging.cpp).
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace
{
constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double) t.tv_sec + (double) t.tv_nsec * 1.0e-9;
}

// Noise with a note now and then, at the pace of a real audio device.
class AudioThread
{
public:
    explicit AudioThread(juce::AudioProcessor& p) : processor(p) {}
    ~AudioThread() { stop(); }

    void start() { thread = std::thread([this] { run(); }); }
    void stop()
    {
        running = false;
        if (thread.joinable())
            thread.join();
    }

private:
    void run()
    {
        juce::AudioBuffer<float> buffer(2, kBlockSize);
        juce::MidiBuffer midi;
        juce::Random random(1);
        const double blockMs = 1000.0 * kBlockSize / kSampleRate;
        auto next = juce::Time::getMillisecondCounterHiRes();
        for (int block = 0; running; ++block)
        {
            // Bursts of noise, so that meters rise and fall.
            const float level = (block / 20) % 2 == 0 ? 0.6f : 0.05f;
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < kBlockSize; ++i)
                    buffer.setSample(ch, i, (random.nextFloat() * 2.0f - 1.0f) * level);
            midi.clear();
            if (block % 50 == 0)
                midi.addEvent(juce::MidiMessage::noteOn(1, 60, 0.8f), 0);
            processor.processBlock(buffer, midi);
            next += blockMs;
            const auto wait = next - juce::Time::getMillisecondCounterHiRes();
            if (wait > 0)
                std::this_thread::sleep_for(std::chrono::microseconds((long) (wait * 1000.0)));
        }
    }

    juce::AudioProcessor& processor;
    std::atomic<bool> running { true };
    std::thread thread;
};

// A display without a window manager (Xvfb) refuses some window properties
// that JUCE sets; Xlib's own handler would end the program, hosts go on.
void ignoreXErrors()
{
    using Handler = int (*)(void*, void*);
    using SetHandler = Handler (*)(Handler);
    if (void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
        if (auto set = reinterpret_cast<SetHandler>(dlsym(x11, "XSetErrorHandler")))
            set([](void*, void*) { return 0; });
}

// Runs the message loop for the given time; the share of one core it took.
double measureMessageThread(double seconds)
{
    const double wallStart = juce::Time::getMillisecondCounterHiRes();
    const double deadline = wallStart + seconds * 1000.0;
    const double cpuStart = threadCpuSeconds();
    // Waits for each message as a host's event loop does, and stops at the
    // first message after the deadline (the editor's timer sends one every 25 ms).
    while (juce::Time::getMillisecondCounterHiRes() < deadline)
        juce::dispatchNextMessageOnSystemQueue(false);
    const double wall = (juce::Time::getMillisecondCounterHiRes() - wallStart) / 1000.0;
    return (threadCpuSeconds() - cpuStart) / wall;
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? juce::jmax(1.0, std::atof(argv[1])) : 10.0;
    if (std::getenv("DISPLAY") == nullptr)
    {
        std::cerr << "tavinor_editor_bench needs a display: run it under xvfb-run -a\n";
        return 2;
    }

    // A settings folder of its own.
    const auto home = juce::File::createTempFile("editorbench");
    home.createDirectory();
    setenv("HOME", home.getFullPathName().toRawUTF8(), 1);
    setenv("XDG_CONFIG_HOME", home.getChildFile(".config").getFullPathName().toRawUTF8(), 1);

    int status = 0;
    {
        juce::ScopedJuceInitialiser_GUI gui;
        ignoreXErrors();
        std::unique_ptr<juce::AudioProcessor> processor(createPluginFilter());
        processor->setRateAndBufferSizeDetails(kSampleRate, kBlockSize);
        processor->prepareToPlay(kSampleRate, kBlockSize);

        std::unique_ptr<juce::AudioProcessorEditor> editor(processor->createEditorIfNeeded());
        if (editor == nullptr)
        {
            std::cerr << "the plug-in made no editor\n";
            return 1;
        }
        editor->setVisible(true);
        editor->addToDesktop(0);

        // Settle the first paints and the start-up notifications.
        measureMessageThread(1.0);
        const double idle = measureMessageThread(seconds);

        // Counts the frames the output meter shows while audio plays, to be
        // sure that the editor had something to draw.
        auto* root = dynamic_cast<BasePluginEditor*>(dynamic_cast<Tavinor&>(*processor).getGuiRoot());
        auto* meter = root != nullptr ? dynamic_cast<GFXAnimation*>(root->findSkinComponent("OutputVULeftAnim", true))
                                      : nullptr;
        struct FrameCounter : juce::Timer
        {
            GFXAnimation* meter = nullptr;
            int last = -1, changes = 0;
            void timerCallback() override
            {
                if (meter != nullptr && meter->getFrame() != last)
                {
                    last = meter->getFrame();
                    ++changes;
                }
            }
        } counter;
        counter.meter = meter;
        counter.startTimer(25);

        AudioThread audio(*processor);
        audio.start();
        const double playing = measureMessageThread(seconds);
        audio.stop();
        counter.stopTimer();

        std::cout << "Message thread with the editor open (" << editor->getWidth() << " x " << editor->getHeight()
                  << "), " << seconds << " s each, share of one core:\n"
                  << "  no audio:                         " << juce::String(idle * 100.0, 2) << " %\n"
                  << "  audio running, meters moving:     " << juce::String(playing * 100.0, 2) << " % ("
                  << counter.changes << " output meter changes)\n";
        status = playing < 0.03 ? 0 : 1;

        editor->removeFromDesktop();
        processor->editorBeingDeleted(editor.get());
        editor.reset();
        processor.reset();
    }
    home.deleteRecursively();
    return status;
}
