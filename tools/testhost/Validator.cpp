#include "Validator.h"

#include "EditorWindow.h"
#include "PluginInstance.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <ostream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
constexpr int kNumChannels = 2;
// Parameter texts as hosts take them from JUCE plug-ins: names up to 32
// characters, displays and labels up to 24, each with its terminating zero.
constexpr size_t kParameterNameBytes = 33;
constexpr size_t kParameterTextBytes = 25;
constexpr unsigned char kCanary = 0x7f;
// Values every parameter is tried at: 0, 0.1, ..., 1.
constexpr int kParameterSteps = 11;
// How long the plug-in may take to tell the host what happened on a thread
// of its own (a latency change, say).
constexpr int kNotificationTimeoutMs = 2000;
// How long it has to end its threads after its last instance closed.
constexpr int kThreadEndTimeoutMs = 2000;

// Two channels of float buffers with the pointer arrays processReplacing takes.
struct StereoBuffers
{
    explicit StereoBuffers(size_t frames)
    {
        for (auto& ch : in)
            ch.assign(frames, 0.0f);
        for (auto& ch : out)
            ch.assign(frames, 0.0f);
        for (int c = 0; c < kNumChannels; ++c)
        {
            inPointers[c] = in[c].data();
            outPointers[c] = out[c].data();
        }
    }

    void fillNoise(std::mt19937& random, float amplitude, size_t frames)
    {
        std::uniform_real_distribution<float> dist(-amplitude, amplitude);
        for (auto& ch : in)
            for (size_t i = 0; i < frames; ++i)
                ch[i] = dist(random);
    }

    // False when any output sample of the first frames is NaN or infinite.
    bool outputFinite(size_t frames) const
    {
        for (const auto& ch : out)
            for (size_t i = 0; i < frames; ++i)
                if (! std::isfinite(ch[i]))
                    return false;
        return true;
    }

    double outputEnergy(size_t frames) const
    {
        double sum = 0.0;
        for (const auto& ch : out)
            for (size_t i = 0; i < frames; ++i)
                sum += double(ch[i]) * double(ch[i]);
        return sum;
    }

    std::vector<float> in[kNumChannels];
    std::vector<float> out[kNumChannels];
    float* inPointers[kNumChannels] {};
    float* outPointers[kNumChannels] {};
};

// Processes numSamples of noise in blocks; the reason on a non-finite output.
std::string processNoise(PluginInstance& plugin, std::mt19937& random, int64_t numSamples, int block,
                         double* energy = nullptr)
{
    StereoBuffers buffers { size_t(block) };
    for (int64_t done = 0; done < numSamples; done += block)
    {
        const int n = int(std::min<int64_t>(block, numSamples - done));
        buffers.fillNoise(random, 0.25f, size_t(n));
        plugin.process(buffers.inPointers, buffers.outPointers, n);
        if (! buffers.outputFinite(size_t(n)))
        {
            std::ostringstream reason;
            reason << "non-finite output at sample " << done << " (block " << block << ")";
            return reason.str();
        }
        if (energy != nullptr)
            *energy += buffers.outputEnergy(size_t(n));
    }
    return {};
}

// Texts must end inside the host's buffer and leave the bytes after it alone.
std::string checkText(PluginInstance& plugin, VstInt32 opcode, int index, size_t limit, const char* what)
{
    std::vector<unsigned char> buffer(1024, kCanary);
    plugin.dispatch(opcode, index, 0, buffer.data());
    const bool untouched = std::all_of(buffer.begin(), buffer.end(), [](unsigned char c) { return c == kCanary; });
    if (untouched)
        return {}; // nothing to tell, for an index out of range for example
    const auto end = std::find(buffer.begin(), buffer.begin() + long(limit), 0);
    if (end == buffer.begin() + long(limit))
    {
        std::ostringstream reason;
        reason << what << " of " << index << " not terminated within " << limit << " bytes";
        return reason.str();
    }
    if (std::any_of(buffer.begin() + long(limit), buffer.end(), [](unsigned char c) { return c != kCanary; }))
    {
        std::ostringstream reason;
        reason << what << " of " << index << " wrote beyond " << limit << " bytes";
        return reason.str();
    }
    return {};
}


// Polls until done() holds or the time is up; whether it held.
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (! done())
    {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// About a third of the parameters set to random values.
void setSomeParameters(PluginInstance& plugin, std::mt19937& random)
{
    for (int i = 0; i < plugin.getEffect()->numParams; ++i)
        if (random() % 3 == 0)
            plugin.setParameter(i, float(random() % 1001) / 1000.0f);
}

// The chunk as it is, and after some parameters changed.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> twoStates(PluginInstance& plugin, std::mt19937& random)
{
    auto first = plugin.getChunk();
    setSomeParameters(plugin, random);
    return { std::move(first), plugin.getChunk() };
}

// Calls the plug-in may still owe the host from threads of its own arrive
// in this time.
void letHeldCallsArrive()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

int countThreads()
{
    int n = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         ! error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++n;
    return n;
}

std::vector<float> noiseSignal(uint32_t seed, size_t n)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> dist(-0.25f, 0.25f);
    std::vector<float> signal(n);
    for (auto& x : signal)
        x = dist(random);
    return signal;
}

std::vector<float> impulseSignal(size_t n)
{
    std::vector<float> signal(n, 0.0f);
    if (n > 0)
        signal[0] = 1.0f;
    return signal;
}

// Both output channels of a signal fed to both inputs.
struct Rendered
{
    std::vector<float> channels[kNumChannels];
};

enum class Buffers
{
    separate,
    inPlace,
    accumulating // the old call, onto outputs holding kAccumulateBase
};
constexpr float kAccumulateBase = 0.5f;

Rendered render(PluginInstance& plugin, const std::vector<float>& signal, int block, Buffers buffers = Buffers::separate,
                const std::vector<PluginInstance::MidiEvent>& firstBlockEvents = {})
{
    Rendered result;
    StereoBuffers b { size_t(block) };
    for (size_t start = 0; start < signal.size(); start += size_t(block))
    {
        const int n = int(std::min(signal.size() - start, size_t(block)));
        for (int c = 0; c < kNumChannels; ++c)
        {
            std::copy(signal.begin() + long(start), signal.begin() + long(start) + n, b.in[c].begin());
            if (buffers == Buffers::inPlace)
                std::copy(b.in[c].begin(), b.in[c].begin() + n, b.out[c].begin());
            else
                std::fill(b.out[c].begin(), b.out[c].begin() + n, buffers == Buffers::accumulating ? kAccumulateBase : 0.0f);
        }
        if (start == 0)
            plugin.sendEvents(firstBlockEvents);
        if (buffers == Buffers::inPlace)
            plugin.processRaw(b.outPointers, b.outPointers, n);
        else
            plugin.processRaw(b.inPointers, b.outPointers, n, buffers == Buffers::accumulating);
        for (int c = 0; c < kNumChannels; ++c)
            result.channels[c].insert(result.channels[c].end(), b.out[c].begin(), b.out[c].begin() + n);
    }
    return result;
}

double largestDifference(const Rendered& a, const Rendered& b, float offset = 0.0f)
{
    double largest = 0.0;
    for (int c = 0; c < kNumChannels; ++c)
    {
        if (a.channels[c].size() != b.channels[c].size())
            return std::numeric_limits<double>::infinity();
        for (size_t i = 0; i < a.channels[c].size(); ++i)
        {
            const double d = std::abs(double(a.channels[c][i]) + offset - double(b.channels[c][i]));
            if (! (d <= largest))
                largest = std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
        }
    }
    return largest;
}

bool isSilent(const Rendered& r)
{
    for (const auto& channel : r.channels)
        for (const float x : channel)
            if (x != 0.0f)
                return false;
    return true;
}

// The first sample, of either channel, above a small threshold; -1 if none.
int firstSound(const Rendered& r)
{
    constexpr float kThreshold = 1.0e-4f;
    int first = -1;
    for (const auto& channel : r.channels)
        for (size_t i = 0; i < channel.size(); ++i)
            if (std::abs(channel[i]) > kThreshold)
            {
                if (first < 0 || int(i) < first)
                    first = int(i);
                break;
            }
    return first;
}

std::string describe(const char* what, double difference)
{
    std::ostringstream reason;
    reason << what << " (largest difference " << difference << ")";
    return reason.str();
}

// The same from a random sequence of its own, started at seed.
std::string processNoise(PluginInstance& plugin, uint32_t seed, int64_t numSamples, int block)
{
    std::mt19937 random(seed);
    return processNoise(plugin, random, numSamples, block);
}

// The first reason in reasons; empty when there is none.
std::string firstReason(const std::vector<std::string>& reasons)
{
    for (const auto& r : reasons)
        if (! r.empty())
            return r;
    return {};
}

std::unique_ptr<PluginInstance> makeInstance(PluginLibrary& library, std::string& error)
{
    return PluginInstance::create(library, error);
}

void startAudio(PluginInstance& plugin, double rate, int block)
{
    plugin.prepare(rate, block);
    plugin.resume();
}

// A new instance prepared for rate and block and resumed, as a host starts
// one; none, with the reason in error, when it cannot be made.
std::unique_ptr<PluginInstance> makeRunningInstance(PluginLibrary& library, double rate, int block,
                                                    std::string& error)
{
    auto plugin = makeInstance(library, error);
    if (plugin != nullptr)
        startAudio(*plugin, rate, block);
    return plugin;
}

// Makes an instance running at rate and block and processes numSamples of
// noise from seed through it: the reason it failed, or empty.
std::string runNewInstance(PluginLibrary& library, double rate, int block, uint32_t seed, int64_t numSamples)
{
    std::string error;
    auto plugin = makeRunningInstance(library, rate, block, error);
    if (plugin == nullptr)
        return error;
    return processNoise(*plugin, seed, numSamples, block);
}

// Noise processed in blocks of 256 on a thread of its own, as a host's audio
// thread does, from construction until stop() (or destruction), or until an
// output is not finite. The plug-in's host calls from it count as the audio
// thread's. afterBlock, where given, runs on it after each block (as a
// host's automation does) with the thread's random numbers and the block's
// number.
class AudioThread
{
public:
    using AfterBlock = std::function<void(std::mt19937& random, int block)>;

    AudioThread(PluginInstance& plugin, uint32_t seed, AfterBlock afterBlock = {})
        : thread([this, &plugin, seed, afterBlock] {
              std::mt19937 random(seed);
              for (int block = 0; running && reason.empty(); ++block)
              {
                  reason = processNoise(plugin, random, 256, 256);
                  if (afterBlock)
                      afterBlock(random, block);
              }
          })
    {
    }

    ~AudioThread() { stop(); }

    // Waits for the block under way; the reason the audio failed, or empty.
    std::string stop()
    {
        running = false;
        if (thread.joinable())
            thread.join();
        return reason;
    }

private:
    std::atomic<bool> running { true };
    std::string reason;
    std::thread thread;
};
} // namespace

//==============================================================================
// Ends the run when a check takes longer than it may: a plug-in that
// deadlocks with the host never returns, so the failure is reported from
// here and the process ends.
class Validator::Watchdog
{
public:
    explicit Watchdog(std::ostream& output) : out(output), thread([this] { run(); }) {}

    ~Watchdog()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        changed.notify_all();
        thread.join();
    }

    void arm(const std::string& name, int seconds)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        current = name;
        limit = seconds;
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        armed = true;
        changed.notify_all();
    }

    void disarm()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        armed = false;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (! quit)
        {
            if (! armed)
            {
                changed.wait(lock);
                continue;
            }
            changed.wait_until(lock, deadline);
            if (armed && ! quit && std::chrono::steady_clock::now() >= deadline)
            {
                out << "FAIL  " << current << ": no answer within " << limit << " s (a deadlock or a hang)"
                    << std::endl;
                out << "validate: stopped by the watchdog" << std::endl;
                std::_Exit(1);
            }
        }
    }

    std::ostream& out;
    std::mutex mutex;
    std::condition_variable changed;
    bool quit = false;
    bool armed = false;
    std::string current;
    int limit = 0;
    std::chrono::steady_clock::time_point deadline;
    std::thread thread;
};

Validator::Validator(PluginLibrary& lib, std::ostream& output, Options opts)
    : library(lib), out(output), options(opts), watchdog(std::make_unique<Watchdog>(output))
{
}

Validator::~Validator() = default;

void Validator::check(const std::string& name, const std::function<std::string()>& body)
{
    if (! options.only.empty() && name.find(options.only) == std::string::npos)
        return;
    const auto start = std::chrono::steady_clock::now();
    watchdog->arm(name, options.watchdogSeconds);
    const std::string reason = body();
    watchdog->disarm();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ostringstream timing;
    timing.setf(std::ios::fixed);
    timing.precision(2);
    timing << seconds;
    if (reason.empty())
    {
        ++passed;
        out << "PASS  " << name << " (" << timing.str() << " s)" << std::endl;
    }
    else if (reason.rfind("skip:", 0) == 0)
        out << "SKIP  " << name << ":" << reason.substr(5) << std::endl;
    else
    {
        ++failed;
        out << "FAIL  " << name << ": " << reason << std::endl;
    }
}

int Validator::run()
{
    check("a host answering 0 to the version query gets no plug-in", [this] { return checkVersionRefusal(); });
    check("every exported entry point makes a working effect", [this] { return checkEntryPoints(); });
    check("effect record", [this] { return checkRecord(); });
    check("identity texts fit their buffers", [this] { return checkIdentityTexts(); });
    check("open and close repeatedly", [this] { return checkOpenClose(); });
    check("several instances at once", [this] { return checkSeveralInstances(); });

    std::vector<double> rates { 22050, 44100, 48000, 88200, 96000, 176400, 192000 };
    if (options.quick)
        rates = { 22050, 44100, 192000 };
    for (const double rate : rates)
    {
        std::ostringstream name;
        name << "sample rate " << int(rate) << " with blocks 1, 64, 512, 8192";
        check(name.str(), [this, rate] { return checkSampleRate(rate); });
    }

    check("blocks larger than announced", [this] { return checkLargerBlocks(); });
    check("blocks of 0 samples", [this] { return checkZeroSampleBlocks(); });
    check("every output sample written", [this] { return checkEveryOutputWritten(); });
    check("in-place buffers", [this] { return checkInPlace(); });
    check("the accumulating process adds to its outputs", [this] { return checkAccumulatingProcess(); });
    check("two instances render alike", [this] { return checkInstancesAlike(); });
    check("processing without a resume", [this] { return checkProcessWithoutResume(); });
    check("a sample-rate change without suspend", [this] { return checkRateChangeWithoutSuspend(); });
    check("dispatcher calls from the audio thread", [this] { return checkDispatcherFromAudioThread(); });
    check("parameter texts within 24 characters, names 32, at 11 values",
          [this] { return checkParameterTexts(); });
    check("parameter set and get round trip at 11 values", [this] { return checkParameterRoundTrip(); });
    check("automation only for the user's changes", [this] { return checkAutomationOnlyForUserChanges(); });
    check("one ioChanged per latency change", [this] { return checkLatencyChanges(); });
    check("reported latency is the measured delay", [this] { return checkLatencyMeasured(); });
    check("random, extreme and invalid parameters from two threads while audio runs",
          [this] { return checkParametersUnderLoad(); });
    check("programs", [this] { return checkPrograms(); });
    check("MIDI events at offsets, out of range too", [this] { return checkMidiEvents(); });
    check("NaN and infinity input, output finite again", [this] { return checkNonFiniteInput(); });
    check("state chunk round trip is byte-identical", [this] { return checkChunkRoundTrip(); });
    check("truncated and random chunks", [this] { return checkBrokenChunks(); });
    check("junk chunks and texts refused", [this] { return checkJunkRefused(); });
    check("preset chunk (index 1) round trip", [this] { return checkPresetChunk(); });
    check("chunk read from two threads at once", [this] { return checkChunkFromTwoThreads(); });
    check("chunk set while audio runs", [this] { return checkChunkWhileProcessing(); });
    check("suspend and resume on the audio thread while the host's thread loads a state",
          [this] { return checkFlushOnAudioThread(); });
    check("without an editor, calls come only on the host's threads", [this] { return checkNoCallsFromOwnThreads(); });
    check("automation on the audio thread and another: display updates and ioChanged on the opening thread",
          [this] { return checkNoNoticesOffTheGuiThread(); });
    check("a host that locks around its dispatcher calls and its callback", [this] { return checkLockingHost(); });
    if (options.withEditor)
    {
        check("editor opens and closes in a host window", [this] { return checkEditor(); });
        check("with the editor open, calls come on the caller's or the editor's thread",
              [this] { return checkEditorCallbackThreads(); });
    }
    check("no thread left after the last instance closes", [this] { return checkNoThreadLeft(); });
    check("library unloaded and loaded again", [this] { return checkReload(); });

    out << "validate: " << passed << " passed, " << failed << " failed" << std::endl;
    return failed;
}

//==============================================================================
std::string Validator::checkVersionRefusal()
{
    // Hosts always pass a callback, so the entry is not called without one:
    // plug-ins are not bound to survive that.
    PluginInstance::versionAnswer = 0;
    std::string error;
    auto instance = makeInstance(library, error);
    PluginInstance::versionAnswer = 2400;
    if (instance != nullptr)
        return "the entry point made an effect for a host answering 0";
    return {};
}

std::string Validator::checkRecord()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    const AEffect* e = plugin->getEffect();
    std::ostringstream reason;
    if (e->numInputs != kNumChannels || e->numOutputs != kNumChannels)
        reason << "expected 2 inputs and 2 outputs, got " << e->numInputs << " and " << e->numOutputs << "; ";
    if ((e->flags & effFlagsCanReplacing) == 0 || e->processReplacing == nullptr)
        reason << "no replacing processing; ";
    if (e->setParameter == nullptr || e->getParameter == nullptr)
        reason << "no parameter callbacks; ";
    if (e->numParams < 0 || e->numPrograms < 0)
        reason << "negative counts; ";
    if (e->object == nullptr)
        reason << "no object; ";
    return reason.str();
}

std::string Validator::checkIdentityTexts()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    for (const auto& [opcode, limit, what] :
         { std::make_tuple(effGetEffectName, size_t(kVstMaxEffectNameLen + 1), "effect name"),
           std::make_tuple(effGetVendorString, size_t(kVstMaxVendorStrLen + 1), "vendor"),
           std::make_tuple(effGetProductString, size_t(kVstMaxProductStrLen + 1), "product"),
           std::make_tuple(effGetProgramName, size_t(kVstMaxProgNameLen + 1), "program name") })
    {
        const std::string reason = checkText(*plugin, opcode, 0, limit, what);
        if (! reason.empty())
            return reason;
    }
    return {};
}

std::string Validator::checkOpenClose()
{
    std::mt19937 random(options.seed);
    const int rounds = options.quick ? 5 : 20;
    for (int i = 0; i < rounds; ++i)
    {
        std::string error;
        auto plugin = makeInstance(library, error);
        if (plugin == nullptr)
            return error;
        if (i % 2 == 1)
        {
            startAudio(*plugin, 44100.0, 256);
            const std::string reason = processNoise(*plugin, random, 1024, 256);
            if (! reason.empty())
                return reason;
        }
        plugin->close();
    }
    return {};
}

std::string Validator::checkSeveralInstances()
{
    constexpr int kInstances = 4;
    std::vector<std::unique_ptr<PluginInstance>> plugins;
    for (int i = 0; i < kInstances; ++i)
    {
        std::string error;
        auto plugin = makeRunningInstance(library, 48000.0, 512, error);
        if (plugin == nullptr)
            return error;
        plugins.push_back(std::move(plugin));
    }

    std::vector<std::string> reasons(kInstances);
    std::vector<std::thread> threads;
    for (int i = 0; i < kInstances; ++i)
        threads.emplace_back([&, i] {
            reasons[size_t(i)] = processNoise(*plugins[size_t(i)], options.seed + uint32_t(i), 48000, 512);
        });
    for (auto& t : threads)
        t.join();
    if (const std::string reason = firstReason(reasons); ! reason.empty())
        return reason;

    // Closed out of creation order.
    plugins[1].reset();
    plugins[3].reset();
    plugins[0].reset();
    plugins[2].reset();

    // Made, run and closed on four threads at once, as hosts that load
    // plug-ins in parallel do.
    threads.clear();
    for (int i = 0; i < kInstances; ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 3 && reasons[size_t(i)].empty(); ++round)
                reasons[size_t(i)] = runNewInstance(library, 44100.0, 256, options.seed + uint32_t(i), 4096);
        });
    for (auto& t : threads)
        t.join();
    return firstReason(reasons);
}

std::string Validator::checkSampleRate(double rate)
{
    std::mt19937 random(options.seed);
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    for (const int block : { 1, 64, 512, 8192 })
    {
        plugin->suspend();
        startAudio(*plugin, rate, block);
        const int64_t length = std::max<int64_t>(int64_t(block) * 4, int64_t(rate * (options.quick ? 0.02 : 0.05)));
        const std::string reason = processNoise(*plugin, random, length, block);
        if (! reason.empty())
            return reason;
    }
    return {};
}

std::string Validator::checkLargerBlocks()
{
    std::mt19937 random(options.seed);
    std::string error;

    // What the same input gives in announced blocks, for comparison.
    double referenceEnergy = 0.0;
    {
        auto plugin = makeRunningInstance(library, 44100.0, 8192, error);
        if (plugin == nullptr)
            return error;
        const std::string reason = processNoise(*plugin, random, 3 * 8192, 8192, &referenceEnergy);
        if (! reason.empty())
            return reason;
    }

    auto plugin = makeRunningInstance(library, 44100.0, 64, error);
    if (plugin == nullptr)
        return error;
    double energy = 0.0;
    for (const int block : { 65, 512, 8192, 100000 })
    {
        const std::string reason = processNoise(*plugin, random, 3 * int64_t(block), block, &energy);
        if (! reason.empty())
            return reason;
    }
    if (referenceEnergy > 0.0 && energy == 0.0)
        return "blocks larger than announced came out silent";
    return {};
}

std::string Validator::checkParameterTexts()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    const int numParams = plugin->getEffect()->numParams;
    for (int i = -1; i <= numParams; ++i)
        for (int step = 0; step < kParameterSteps; ++step)
        {
            plugin->setParameter(i, float(step) / float(kParameterSteps - 1));
            for (const auto& [opcode, limit, what] :
                 { std::make_tuple(effGetParamName, kParameterNameBytes, "name"),
                   std::make_tuple(effGetParamDisplay, kParameterTextBytes, "display"),
                   std::make_tuple(effGetParamLabel, kParameterTextBytes, "label") })
            {
                const std::string reason = checkText(*plugin, opcode, i, limit, what);
                if (! reason.empty())
                    return reason + " at " + std::to_string(step) + "/10";
            }
        }
    return {};
}

std::string Validator::checkParametersUnderLoad()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    const int numParams = plugin->getEffect()->numParams;

    AudioThread audio(*plugin, options.seed);

    const int iterations = options.quick ? 500 : 3000;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto hammer = [&](uint32_t seed, bool readTexts) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        const float extremes[] = { 0.0f, 1.0f, -0.5f, 1.5f, -1e30f, 1e30f, nan, inf, -inf,
                                   std::numeric_limits<float>::denorm_min() };
        const int invalid[] = { -1, 128, numParams, std::numeric_limits<int>::max(), std::numeric_limits<int>::min() };
        for (int i = 0; i < iterations; ++i)
        {
            int index = numParams > 0 ? int(random() % uint32_t(numParams)) : 0;
            if (random() % 8 == 0)
                index = invalid[random() % (sizeof(invalid) / sizeof(invalid[0]))];
            float value = unit(random);
            if (random() % 4 == 0)
                value = extremes[random() % (sizeof(extremes) / sizeof(extremes[0]))];
            plugin->setParameter(index, value);
            plugin->getParameter(index);
            if (readTexts)
            {
                char text[256];
                plugin->dispatch(effGetParamDisplay, index, 0, text);
                plugin->dispatch(effGetParamName, index, 0, text);
            }
        }
    };
    std::thread first(hammer, options.seed + 1, true);
    std::thread second(hammer, options.seed + 2, false);
    first.join();
    second.join();
    if (const std::string audioReason = audio.stop(); ! audioReason.empty())
        return audioReason;
    for (int i = 0; i < numParams; ++i)
    {
        const float v = plugin->getParameter(i);
        if (! std::isfinite(v) || v < 0.0f || v > 1.0f)
        {
            std::ostringstream reason;
            reason << "parameter " << i << " holds " << v << " afterwards";
            return reason.str();
        }
    }
    return processNoise(*plugin, options.seed, 44100, 256);
}

std::string Validator::checkPrograms()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    const int numPrograms = plugin->getEffect()->numPrograms;
    const VstIntPtr before = plugin->dispatch(effGetProgram);
    plugin->dispatch(effSetProgram, 0, numPrograms);
    plugin->dispatch(effSetProgram, 0, -1);
    if (plugin->dispatch(effGetProgram) != before)
        return "an out-of-range program number changed the program";
    for (int i = -1; i <= numPrograms; ++i)
    {
        std::vector<unsigned char> buffer(256, kCanary);
        plugin->dispatch(effGetProgramNameIndexed, i, 0, buffer.data());
        if (std::find(buffer.begin(), buffer.begin() + kVstMaxProgNameLen + 1, 0)
                == buffer.begin() + kVstMaxProgNameLen + 1
            && buffer[0] != kCanary)
            return "indexed program name not terminated within 25 bytes";
    }
    return {};
}

std::string Validator::checkMidiEvents()
{
    std::string error;
    constexpr int kBlock = 512;
    auto plugin = makeRunningInstance(library, 44100.0, kBlock, error);
    if (plugin == nullptr)
        return error;
    StereoBuffers buffers(kBlock);
    std::vector<PluginInstance::MidiEvent> events;
    for (const int64_t offset : { int64_t(0), int64_t(1), int64_t(kBlock / 2), int64_t(kBlock - 1), int64_t(kBlock),
                                  int64_t(100000), int64_t(-5) })
    {
        PluginInstance::MidiEvent on;
        on.sample = offset;
        on.bytes[0] = 0x90;
        on.bytes[1] = 60;
        on.bytes[2] = 100;
        events.push_back(on);
        PluginInstance::MidiEvent off = on;
        off.bytes[0] = 0x80;
        off.bytes[2] = 0;
        events.push_back(off);
        PluginInstance::MidiEvent controller = on;
        controller.bytes[0] = 0xB0;
        controller.bytes[1] = 7;
        events.push_back(controller);
        PluginInstance::MidiEvent broken = on;
        broken.bytes[0] = 0x12; // no status byte
        events.push_back(broken);
    }
    for (int i = 0; i < 20; ++i)
    {
        plugin->process(buffers.inPointers, buffers.outPointers, kBlock, events);
        if (! buffers.outputFinite(kBlock))
            return "non-finite output";
    }
    return {};
}

std::string Validator::checkNonFiniteInput()
{
    std::string error;
    constexpr int kBlock = 256;
    auto plugin = makeRunningInstance(library, 44100.0, kBlock, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    std::string reason = processNoise(*plugin, random, 4410, kBlock);
    if (! reason.empty())
        return reason;

    StereoBuffers buffers(kBlock);
    const float specials[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max() };
    for (int b = 0; b < 8; ++b)
    {
        buffers.fillNoise(random, 0.25f, kBlock);
        for (int i = 0; i < kBlock; i += 7)
            buffers.in[size_t(b % 2)][size_t(i)] = specials[(i / 7 + b) % 4];
        plugin->process(buffers.inPointers, buffers.outPointers, kBlock);
    }

    // After two seconds of ordinary input the output must be finite again.
    const int settle = int(44100 * 2);
    for (int done = 0; done < settle; done += kBlock)
    {
        buffers.fillNoise(random, 0.25f, kBlock);
        plugin->process(buffers.inPointers, buffers.outPointers, kBlock);
    }
    return processNoise(*plugin, random, 44100, kBlock);
}

std::string Validator::checkChunkRoundTrip()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    setSomeParameters(*plugin, random);

    const auto first = plugin->getChunk();
    if (first.empty())
        return "the plug-in gave an empty chunk";
    plugin->setChunk(first);
    const auto second = plugin->getChunk();
    if (second != first)
        return "the chunk changed after being set on the same instance";

    auto other = makeInstance(library, error);
    if (other == nullptr)
        return error;
    other->setChunk(first);
    if (other->getChunk() != first)
        return "a new instance given the chunk gives back a different one";
    // A plug-in may keep momentary controls (a freeze switch, say) out of its
    // state on purpose: such a parameter comes back at its fresh value. Any
    // other difference means the chunk lost a value.
    auto fresh = makeInstance(library, error);
    if (fresh == nullptr)
        return error;
    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
        if (plugin->getParameter(i) != other->getParameter(i)
            && other->getParameter(i) != fresh->getParameter(i))
        {
            std::ostringstream reason;
            reason << "parameter " << i << " differs after the chunk round trip";
            return reason.str();
        }
    return {};
}

std::string Validator::checkBrokenChunks()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 512, error);
    if (plugin == nullptr)
        return error;
    const auto good = plugin->getChunk();
    std::mt19937 random(options.seed);

    std::vector<std::vector<uint8_t>> broken;
    for (const size_t length : { size_t(1), good.size() / 2, good.size() > 0 ? good.size() - 1 : 0 })
        broken.emplace_back(good.begin(), good.begin() + long(std::min(length, good.size())));
    for (const size_t length : { size_t(4), size_t(16), size_t(1000), size_t(100000) })
    {
        std::vector<uint8_t> noise(length);
        for (auto& b : noise)
            b = uint8_t(random());
        broken.push_back(noise);
    }
    auto flipped = good;
    for (size_t i = 0; i < flipped.size(); i += 1 + random() % 13)
        flipped[i] = uint8_t(random());
    broken.push_back(flipped);
    broken.push_back({});

    for (const auto& chunk : broken)
    {
        plugin->setChunk(chunk);
        const std::string reason = processNoise(*plugin, random, 2048, 512);
        if (! reason.empty())
            return reason + " after a broken chunk of " + std::to_string(chunk.size()) + " bytes";
        if (plugin->getChunk().empty())
            return "no chunk after a broken one of " + std::to_string(chunk.size()) + " bytes";
    }

    plugin->setChunk(good);
    if (plugin->getChunk() != good)
        return "the good chunk no longer restores the state after broken ones";
    return {};
}

std::string Validator::checkChunkWhileProcessing()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;

    std::mt19937 random(options.seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const auto first = plugin->getChunk();
    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
        plugin->setParameter(i, unit(random));
    const auto second = plugin->getChunk();

    AudioThread audio(*plugin, options.seed + 7);
    const int rounds = options.quick ? 10 : 50;
    for (int i = 0; i < rounds; ++i)
    {
        plugin->setChunk(i % 2 == 0 ? first : second);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (const std::string audioReason = audio.stop(); ! audioReason.empty())
        return audioReason;
    plugin->setChunk(second);
    if (plugin->getChunk() != second)
        return "the last chunk set is not the state afterwards";
    return {};
}

// A DAW starting an export: its own thread sets parameters, resumes, picks
// the program and loads the session's chunk, then resumes again; meanwhile
// its audio thread processes and flushes the plug-in (a suspend and a resume
// between two blocks) while the plug-in's own threads answer what the load
// set off. Each round a new instance, with the flush at another moment.
std::string Validator::checkFlushOnAudioThread()
{
    constexpr double kRate = 48000.0;
    constexpr int kBlock = 1024;
    std::mt19937 random(options.seed);
    std::vector<uint8_t> chunk;
    {
        std::string error;
        auto source = makeInstance(library, error);
        if (source == nullptr)
            return error;
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (int i = 0; i < source->getEffect()->numParams; ++i)
            source->setParameter(i, unit(random));
        chunk = source->getChunk();
    }

    const int rounds = options.quick ? 4 : 16;
    for (int round = 0; round < rounds; ++round)
    {
        std::string error;
        auto plugin = makeInstance(library, error);
        if (plugin == nullptr)
            return error;
        // Exports run offline: the audio thread's resume then prepares for
        // the offline quality.
        plugin->processLevel = round % 2 == 0 ? kVstProcessLevelOffline : kVstProcessLevelRealtime;
        plugin->prepare(kRate, kBlock);
        plugin->setParameter(0, 0.5f);
        plugin->resume();
        plugin->dispatch(effSetProgram, 0, 0);

        const int flushAt = int(random() % 6);
        std::atomic<bool> started { false };
        std::string audioReason;
        std::thread audio([&] {
            StereoBuffers buffers { size_t(kBlock) };
            std::mt19937 noise(options.seed + uint32_t(round));
            for (int block = 0; block < 12 && audioReason.empty(); ++block)
            {
                started = true;
                if (block == flushAt)
                {
                    plugin->dispatch(effMainsChanged, 0, 0);
                    plugin->dispatch(effMainsChanged, 0, 1);
                }
                buffers.fillNoise(noise, 0.25f, size_t(kBlock));
                plugin->process(buffers.inPointers, buffers.outPointers, kBlock);
                if (! buffers.outputFinite(size_t(kBlock)))
                    audioReason = "non-finite output after a flush on the audio thread";
            }
        });
        while (! started)
            std::this_thread::yield();
        plugin->setChunk(chunk);
        plugin->dispatch(effMainsChanged, 0, 1);
        const auto back = plugin->getChunk();
        audio.join();
        if (! audioReason.empty())
            return audioReason;
        if (back != chunk)
            return "the chunk loaded while the audio thread flushed did not come back whole";
        plugin->suspend();
    }
    return {};
}

// A host without the plug-in's editor open runs no loop for it: the plug-in
// may call back only on threads the host called it on (Ardour, told of a
// display update, marks its session changed and signals it, whatever the
// thread and whatever it is doing meanwhile). What it has to tell still
// arrives: a latency change, and the display update of a load.
std::string Validator::checkNoCallsFromOwnThreads()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 48000.0, 512, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    const auto [first, second] = twoStates(*plugin, random);
    const float switchOff = latencySwitchValue(*plugin);
    const int ioChangedBefore = plugin->ioChangedCount.load();
    const int updatesBefore = plugin->updateDisplayCount.load();
    {
        AudioThread audio(*plugin, options.seed);
        for (int i = 0; i < 20; ++i)
        {
            plugin->setChunk(i % 2 == 0 ? first : second);
            setLatencySwitch(*plugin, i % 2 == 0, switchOff);
            // Time for a thread of the plug-in's to answer what came in.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (const std::string reason = audio.stop(); ! reason.empty())
            return reason;
    }
    letHeldCallsArrive();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (const int stray = plugin->strayCallbacks.load(); stray > 0)
    {
        std::ostringstream reason;
        reason << stray << " call(s) to the host, the last of opcode " << plugin->lastStrayOpcode.load()
               << ", from a thread that was in no call of the host's";
        return reason.str();
    }
    if (plugin->updateDisplayCount.load() == updatesBefore)
        return "no display update after states were loaded";
    if (options.latencySwitchIndex >= 0 && plugin->ioChangedCount.load() == ioChangedBefore)
        return "no ioChanged after the latency switch changed";
    return {};
}

// A host that plays automation sets parameters on its audio thread between
// blocks, or on a thread of its own that never processes, while its GUI
// thread loads states. A display update or a latency change is told on the
// thread that opened the plug-in, not from inside the other threads' calls:
// what the host does when told is GUI work (Ardour marks its session changed
// and signals its GUI). The record says the latency at once.
std::string Validator::checkNoNoticesOffTheGuiThread()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 48000.0, 256, error);
    if (plugin == nullptr)
        return error;
    // Off as a new instance has it: the states may have it on.
    const float switchOff = latencySwitchValue(*plugin);
    std::mt19937 random(options.seed);
    const auto [first, second] = twoStates(*plugin, random);
    const bool latencySwitch = options.latencySwitchIndex >= 0;
    const int ioChangedBefore = plugin->ioChangedCount.load();
    const int updatesBefore = plugin->updateDisplayCount.load();

    // The automation: the latency switch on and off every four blocks, or
    // else the first parameter through random values; and another parameter
    // from a thread that never processes.
    AudioThread audio(*plugin, options.seed + 1, [&](std::mt19937& audioRandom, int block) {
        if (latencySwitch)
            setLatencySwitch(*plugin, (block / 4) % 2 == 0, switchOff);
        else
            plugin->setParameter(0, float(audioRandom() % 1001) / 1000.0f);
    });
    std::atomic<bool> automating { true };
    std::thread automation([&] {
        std::mt19937 automationRandom(options.seed + 2);
        const int index = options.latencySwitchIndex == 1 ? 0 : 1;
        while (automating.load())
        {
            plugin->setParameter(index, float(automationRandom() % 1001) / 1000.0f);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    for (int i = 0; i < 20; ++i)
    {
        plugin->setChunk(i % 2 == 0 ? first : second);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    automating = false;
    automation.join();
    const std::string audioReason = audio.stop();
    if (! audioReason.empty())
        return audioReason;
    const VstInt32 latencyLeft = plugin->getEffect()->initialDelay;
    // The host's next call from its GUI thread.
    plugin->dispatch(effIdle);
    letHeldCallsArrive();

    const int updates = plugin->offGuiDisplayUpdates.load();
    const int ioChanged = plugin->offGuiIoChanged.load();
    if (updates + ioChanged > 0)
    {
        std::ostringstream reason;
        reason << updates << " display update(s) and " << ioChanged
               << " ioChanged call(s) on a thread other than the one that opened the plug-in";
        return reason.str();
    }
    if (plugin->updateDisplayCount.load() == updatesBefore)
        return "no display update after states were loaded";
    if (latencySwitch && plugin->ioChangedCount.load() == ioChangedBefore)
        return "no ioChanged after the automation switched the latency";
    if (latencySwitch && plugin->getEffect()->initialDelay != latencyLeft)
        return "the record's latency changed only when the host called from its GUI thread";
    return {};
}

std::string Validator::checkEditor()
{
    if (std::getenv("DISPLAY") == nullptr)
        return "skip: no DISPLAY (run under xvfb-run)";
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    if ((plugin->getEffect()->flags & effFlagsHasEditor) == 0)
        return "skip: the plug-in has no editor";
    startAudio(*plugin, 44100.0, 512);
    for (int round = 0; round < 3; ++round)
    {
        EditorWindow window;
        if (! window.open(*plugin, error))
            return error;
        const std::string reason = processNoise(*plugin, options.seed, 4096, 512);
        window.run(*plugin, 200);
        if (window.countChildWindows() == 0)
            return "the editor placed no window inside the host's";
        window.close(*plugin);
        if (! reason.empty())
            return reason;
    }
    return {};
}

std::string Validator::checkReload()
{
    const std::string path = library.getPath();
    library.unload();
    std::string error;
    if (! library.load(path, error))
        return error;
    return runNewInstance(library, 44100.0, 512, options.seed, 4096);
}

//==============================================================================
float Validator::latencySwitchValue(PluginInstance& plugin) const
{
    return options.latencySwitchIndex >= 0 ? plugin.getParameter(options.latencySwitchIndex) : 0.0f;
}

void Validator::setLatencySwitch(PluginInstance& plugin, bool on, float off) const
{
    if (options.latencySwitchIndex >= 0)
        plugin.setParameter(options.latencySwitchIndex, on ? options.latencySwitchValue : off);
}

std::string Validator::checkEntryPoints()
{
    int found = 0;
    for (const char* name : { "VSTPluginMain", "main" })
    {
        const auto entry = library.getEntry(name);
        if (entry == nullptr)
            continue;
        ++found;
        std::string error;
        auto plugin = PluginInstance::create(entry, error);
        if (plugin == nullptr)
            return std::string("the entry point ") + name + ": " + error;
        startAudio(*plugin, 44100.0, 512);
        const std::string reason = processNoise(*plugin, options.seed, 4096, 512);
        if (! reason.empty())
            return std::string("an effect made through ") + name + ": " + reason;
    }
    return found > 0 ? std::string() : std::string("exports neither VSTPluginMain nor main");
}

std::string Validator::checkNoThreadLeft()
{
    const int before = countThreads();
    {
        std::vector<std::unique_ptr<PluginInstance>> plugins;
        for (int i = 0; i < 2; ++i)
        {
            std::string error;
            auto plugin = makeRunningInstance(library, 44100.0, 512, error);
            if (plugin == nullptr)
                return error;
            const std::string reason = processNoise(*plugin, options.seed, 8192, 512);
            if (! reason.empty())
                return reason;
            plugins.push_back(std::move(plugin));
        }
    }
    if (waitFor([before] { return countThreads() <= before; }, kThreadEndTimeoutMs))
        return {};
    std::ostringstream reason;
    reason << countThreads() - before << " thread(s) still running " << kThreadEndTimeoutMs
           << " ms after the last instance closed";
    return reason.str();
}

std::string Validator::checkEditorCallbackThreads()
{
    if (std::getenv("DISPLAY") == nullptr)
        return "skip: no DISPLAY (run under xvfb-run)";
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    if ((plugin->getEffect()->flags & effFlagsHasEditor) == 0)
        return "skip: the plug-in has no editor";
    const int numParams = plugin->getEffect()->numParams;
    std::mt19937 random(options.seed);
    const auto [first, second] = twoStates(*plugin, random);
    const float switchOff = latencySwitchValue(*plugin);

    EditorWindow window;
    if (! window.open(*plugin, error))
        return error;
    plugin->setEditorThread(true);
    {
        // Audio, host automation from a thread of the host's, and state
        // loads and latency changes from the editor's thread.
        AudioThread audio(*plugin, options.seed);
        std::thread automation([&] {
            std::mt19937 random(options.seed + 1);
            for (int i = 0; i < 300 && numParams > 0; ++i)
            {
                plugin->setParameter(int(random() % uint32_t(numParams)), float(random() % 1000) / 1000.0f);
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            }
        });
        for (int i = 0; i < 10; ++i)
        {
            plugin->setChunk(i % 2 == 0 ? first : second);
            setLatencySwitch(*plugin, i % 2 == 0, switchOff);
            window.run(*plugin, 30);
        }
        automation.join();
        if (const std::string reason = audio.stop(); ! reason.empty())
            return reason;
    }
    window.run(*plugin, 100);
    window.close(*plugin);
    plugin->setEditorThread(false);

    if (const int foreign = plugin->foreignThreadCallbacks.load(); foreign > 0)
    {
        std::ostringstream reason;
        reason << foreign << " call(s) to the host, the last of opcode " << plugin->lastForeignOpcode.load()
               << ", from a thread that was neither in a call of the host nor the editor's";
        return reason.str();
    }
    return {};
}

std::string Validator::checkAutomationOnlyForUserChanges()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    const int numParams = plugin->getEffect()->numParams;

    // The host's own writes: a parameter it sets is not sent back to it.
    std::mt19937 random(options.seed);
    for (int i = 0; i < numParams; ++i)
        for (int round = 0; round < 3; ++round)
            plugin->setParameter(i, float(random() % 1001) / 1000.0f);
    letHeldCallsArrive();
    if (const int echoed = plugin->echoedAutomationCount.load(); echoed > 0)
        return std::to_string(echoed) + " automation call(s) sent back the value the host had just set";

    // Loading states and programs, suspending, resuming and processing are
    // nobody's changes.
    const auto [first, second] = twoStates(*plugin, random);
    letHeldCallsArrive();
    const int before = plugin->automateCount.load();
    for (int round = 0; round < 4; ++round)
    {
        plugin->setChunk(round % 2 == 0 ? first : second);
        plugin->setChunk(first, true);
        plugin->dispatch(effSetProgram, 0, 0);
        plugin->suspend();
        plugin->resume();
        if (const std::string reason = processNoise(*plugin, random, 11025, 256); ! reason.empty())
            return reason;
    }
    letHeldCallsArrive();
    if (const int made = plugin->automateCount.load() - before; made > 0)
        return std::to_string(made) + " automation call(s) for loading states and programs, resuming or processing";
    return {};
}

std::string Validator::checkLatencyChanges()
{
    const int index = options.latencySwitchIndex;
    if (index < 0)
        return "skip: no --latency-switch given";
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 512, error);
    if (plugin == nullptr)
        return error;
    if (const std::string reason = processNoise(*plugin, options.seed, 2048, 512); ! reason.empty())
        return reason;
    const VstInt32 latencyBefore = plugin->getEffect()->initialDelay;
    const float original = plugin->getParameter(index);
    const int base = plugin->ioChangedCount.load();

    // Each change exactly once; a write that changes nothing not at all.
    struct Step
    {
        float value;
        int expectedCount;
        const char* what;
    };
    for (const auto& step : { Step { options.latencySwitchValue, base + 1, "switching the latency on" },
                              Step { options.latencySwitchValue, base + 1, "writing the same value again" },
                              Step { original, base + 2, "switching the latency back" } })
    {
        plugin->setParameter(index, step.value);
        waitFor([&] { return plugin->ioChangedCount.load() >= step.expectedCount; }, kNotificationTimeoutMs);
        letHeldCallsArrive();
        const int count = plugin->ioChangedCount.load();
        if (count != step.expectedCount)
        {
            std::ostringstream reason;
            reason << count - base << " ioChanged call(s) in all after " << step.what << ", expected "
                   << step.expectedCount - base;
            return reason.str();
        }
    }
    if (plugin->getEffect()->initialDelay != latencyBefore)
        return "the latency did not come back when the switch was set back";
    return {};
}

std::string Validator::checkLatencyMeasured()
{
    // Read the moment the resume returns, as JUCE-based hosts do, at the
    // rates hosts run: each on an instance of its own, and one instance taken
    // through them all; with the latency switch (when there is one) set
    // before the resume, as a session's state sets it.
    constexpr double kRates[] = { 44100.0, 48000.0, 96000.0, 176400.0, 192000.0 };
    const auto measure = [this](PluginInstance& plugin, double rate, bool switched, const char* how) -> std::string {
        plugin.prepare(rate, 512);
        plugin.resume();
        const int reported = plugin.getEffect()->initialDelay;
        const int measured = firstSound(render(plugin, impulseSignal(size_t(rate)), 512));
        plugin.suspend();
        if (measured < 0)
            return "skip: an impulse gives no output within a second";
        if (measured == reported)
            return {};
        std::ostringstream reason;
        reason << (switched ? "with the latency switch on, " : "") << "at " << rate << " Hz (" << how
               << ") the latency read after the resume is " << reported << " samples but an impulse comes out after "
               << measured;
        return reason.str();
    };
    for (const bool switched : { false, true })
    {
        if (switched && options.latencySwitchIndex < 0)
            break;
        std::string error;
        auto travelling = makeInstance(library, error);
        if (travelling == nullptr)
            return error;
        if (switched)
            setLatencySwitch(*travelling, true, 0.0f);
        for (const double rate : kRates)
        {
            auto own = makeInstance(library, error);
            if (own == nullptr)
                return error;
            if (switched)
                setLatencySwitch(*own, true, 0.0f);
            for (auto [plugin, how] : { std::pair { own.get(), "a new instance" },
                                        std::pair { travelling.get(), "after another rate" } })
                if (const std::string reason = measure(*plugin, rate, switched, how); ! reason.empty())
                    return reason;
        }
    }
    return {};
}

std::string Validator::checkLockingHost()
{
    struct LockingHost
    {
        LockingHost() { PluginInstance::lockingHost = true; }
        ~LockingHost() { PluginInstance::lockingHost = false; }
    } lockingHost;

    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    const int numParams = plugin->getEffect()->numParams;
    std::mt19937 random(options.seed);
    const auto [first, second] = twoStates(*plugin, random);
    const float switchOff = latencySwitchValue(*plugin);

    // First without an editor, where the plug-in calls back from a thread of
    // its own; then, when there is one, with the editor open in its window.
    const bool editorToo = options.withEditor && std::getenv("DISPLAY") != nullptr
                           && (plugin->getEffect()->flags & effFlagsHasEditor) != 0;
    for (const bool withEditor : { false, editorToo })
    {
        EditorWindow window;
        if (withEditor && ! window.open(*plugin, error))
            return error;
        AudioThread audio(*plugin, options.seed);
        const int rounds = options.quick ? 30 : 60;
        for (int i = 0; i < rounds; ++i)
        {
            plugin->setChunk(i % 2 == 0 ? first : second);
            plugin->getChunk();
            plugin->dispatch(effSetProgram, 0, 0);
            char text[256];
            if (numParams > 0)
                plugin->dispatch(effGetParamDisplay, i % numParams, 0, text);
            if (i % 10 == 9)
            {
                plugin->suspend();
                plugin->resume();
            }
            if (i % 5 == 0)
                setLatencySwitch(*plugin, i % 10 == 0, switchOff);
            if (withEditor)
                window.run(*plugin, 2);
        }
        if (const std::string reason = audio.stop(); ! reason.empty())
            return reason;
        if (withEditor)
            window.close(*plugin);
        if (! editorToo)
            break;
    }
    plugin->close();
    return {};
}

std::string Validator::checkPresetChunk()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    setSomeParameters(*plugin, random);
    const auto preset = plugin->getChunk(true);
    if (preset.empty())
        return "effGetChunk for a preset (index 1) gave nothing";

    auto other = makeInstance(library, error);
    auto fresh = makeInstance(library, error);
    if (other == nullptr || fresh == nullptr)
        return error;
    if (other->setChunk(preset, true) == 0)
        return "effSetChunk refused the preset chunk the plug-in gave";
    if (other->getChunk(true) != preset)
        return "a new instance given the preset chunk gives back a different one";
    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
        if (plugin->getParameter(i) != other->getParameter(i) && other->getParameter(i) != fresh->getParameter(i))
            return "parameter " + std::to_string(i) + " differs after the preset chunk round trip";
    return {};
}

std::string Validator::checkJunkRefused()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 512, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    setSomeParameters(*plugin, random);
    const auto good = plugin->getChunk();

    struct Junk
    {
        std::string what;
        std::vector<uint8_t> data;
    };
    std::vector<Junk> junk;
    for (const size_t length : { size_t(16), size_t(1000) })
    {
        std::vector<uint8_t> noise(length);
        for (auto& b : noise)
            b = uint8_t(random());
        junk.push_back({ std::to_string(length) + " random bytes", noise });
    }
    junk.push_back({ "the first half of a chunk", std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() / 2)) });
    for (const bool preset : { false, true })
        for (const auto& j : junk)
        {
            if (plugin->setChunk(j.data, preset) != 0)
                return "effSetChunk" + std::string(preset ? " (preset)" : "") + " answered 1 for " + j.what;
            if (plugin->getChunk() != good)
                return j.what + " changed the state";
        }

    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
    {
        const float before = plugin->getParameter(i);
        char text[] = "not a number";
        if (plugin->dispatch(effString2Parameter, i, 0, text) != 0)
            return "effString2Parameter answered 1 for \"not a number\" (parameter " + std::to_string(i) + ")";
        if (plugin->getParameter(i) != before)
            return "\"not a number\" changed parameter " + std::to_string(i);
    }
    return {};
}

std::string Validator::checkChunkFromTwoThreads()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    const auto expected = plugin->getChunk();
    std::atomic<int> mismatches { 0 };
    const int rounds = options.quick ? 100 : 300;
    auto reader = [&] {
        for (int i = 0; i < rounds; ++i)
            if (plugin->getChunk() != expected)
                ++mismatches;
    };
    std::thread first(reader);
    std::thread second(reader);
    first.join();
    second.join();
    if (mismatches.load() > 0)
        return std::to_string(mismatches.load()) + " chunk(s) read at the same time as another came out damaged";
    return {};
}

std::string Validator::checkProcessWithoutResume()
{
    std::string error;
    auto neverResumed = makeInstance(library, error);
    auto resumed = makeRunningInstance(library, 44100.0, 256, error);
    if (neverResumed == nullptr || resumed == nullptr)
        return error;
    neverResumed->prepare(44100.0, 256);
    auto signal = noiseSignal(options.seed, 8192);
    signal[0] = 1.0f;
    const auto without = render(*neverResumed, signal, 256);
    const auto with = render(*resumed, signal, 256);
    if (isSilent(without) && ! isSilent(with))
        return "without effMainsChanged(1) the output stays silent";
    if (const double d = largestDifference(without, with); d > 0.0)
        return describe("without effMainsChanged(1) the output differs from a resumed instance's", d);
    return {};
}

std::string Validator::checkZeroSampleBlocks()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    constexpr float kUntouched = 12345.0f;
    float in[kNumChannels][1] = { { 0.5f }, { 0.5f } };
    float out[kNumChannels][1] = { { kUntouched }, { kUntouched } };
    float* inputs[kNumChannels] = { in[0], in[1] };
    float* outputs[kNumChannels] = { out[0], out[1] };
    PluginInstance::MidiEvent note;
    note.bytes[0] = 0x90;
    note.bytes[1] = 60;
    note.bytes[2] = 100;
    for (int round = 0; round < 3; ++round)
    {
        plugin->process(inputs, outputs, 0, { note });
        plugin->processRaw(inputs, outputs, 0, true);
    }
    if (out[0][0] != kUntouched || out[1][0] != kUntouched)
        return "a block of 0 samples wrote to the outputs";
    return processNoise(*plugin, options.seed, 4096, 256);
}

std::string Validator::checkRateChangeWithoutSuspend()
{
    // The same history for both; one hears of the new rate between two
    // blocks, the other suspended and resumed around it as hosts should.
    std::string error;
    auto changed = makeRunningInstance(library, 44100.0, 256, error);
    auto suspended = makeRunningInstance(library, 44100.0, 256, error);
    if (changed == nullptr || suspended == nullptr)
        return error;
    const auto before = noiseSignal(options.seed, 2048);
    render(*changed, before, 256);
    render(*suspended, before, 256);

    changed->sampleRate = 48000.0;
    changed->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    suspended->suspend();
    suspended->prepare(48000.0, 256);
    suspended->resume();

    const auto signal = impulseSignal(24000);
    if (const double d = largestDifference(render(*changed, signal, 256), render(*suspended, signal, 256)); d > 0.0)
        return describe("a sample-rate change without suspend does not take effect as one with suspend does", d);
    return {};
}

std::string Validator::checkDispatcherFromAudioThread()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 256, error);
    if (plugin == nullptr)
        return error;
    const int numParams = plugin->getEffect()->numParams;
    std::string reason;
    // Hosts ask these on their audio thread between blocks. This thread
    // meanwhile waits for the audio thread and calls nothing, as a host
    // waiting for its engine does.
    std::thread audio([&] {
        std::mt19937 random(options.seed);
        StereoBuffers buffers(256);
        PluginInstance::MidiEvent note;
        note.bytes[0] = 0x90;
        note.bytes[1] = 60;
        note.bytes[2] = 100;
        for (int block = 0; block < 200 && reason.empty(); ++block)
        {
            char text[256];
            plugin->dispatch(effGetProgram);
            plugin->dispatch(effGetTailSize);
            plugin->dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfo"));
            if (numParams > 0)
                plugin->dispatch(effGetParamDisplay, block % numParams, 0, text);
            if (block % 50 == 0)
            {
                plugin->dispatch(effStopProcess);
                plugin->dispatch(effStartProcess);
            }
            buffers.fillNoise(random, 0.25f, 256);
            plugin->process(buffers.inPointers, buffers.outPointers, 256,
                            block % 10 == 0 ? std::vector<PluginInstance::MidiEvent> { note }
                                            : std::vector<PluginInstance::MidiEvent> {});
            if (! buffers.outputFinite(256))
                reason = "non-finite output at block " + std::to_string(block);
        }
    });
    audio.join();
    return reason;
}

std::string Validator::checkEveryOutputWritten()
{
    std::string error;
    auto plugin = makeRunningInstance(library, 44100.0, 512, error);
    if (plugin == nullptr)
        return error;
    std::mt19937 random(options.seed);
    for (const int block : { 1, 64, 511, 512, 1024 })
        for (int round = 0; round < 4; ++round)
        {
            StereoBuffers buffers { size_t(block) };
            buffers.fillNoise(random, 0.25f, size_t(block));
            for (auto& channel : buffers.out)
                std::fill(channel.begin(), channel.end(), std::numeric_limits<float>::quiet_NaN());
            plugin->process(buffers.inPointers, buffers.outPointers, block);
            for (int c = 0; c < kNumChannels; ++c)
                for (int i = 0; i < block; ++i)
                    if (std::isnan(buffers.out[c][size_t(i)]))
                        return "sample " + std::to_string(i) + " of output " + std::to_string(c + 1)
                               + " left unwritten in a block of " + std::to_string(block);
        }
    return {};
}

std::string Validator::checkInPlace()
{
    std::string error;
    auto separate = makeRunningInstance(library, 44100.0, 256, error);
    auto inPlace = makeRunningInstance(library, 44100.0, 256, error);
    if (separate == nullptr || inPlace == nullptr)
        return error;
    const auto signal = noiseSignal(options.seed, 8192);
    if (const double d = largestDifference(render(*separate, signal, 256), render(*inPlace, signal, 256, Buffers::inPlace));
        d > 0.0)
        return describe("in-place buffers give other output than separate ones", d);
    return {};
}

std::string Validator::checkAccumulatingProcess()
{
    std::string error;
    auto replacing = makeRunningInstance(library, 44100.0, 256, error);
    auto accumulating = makeRunningInstance(library, 44100.0, 256, error);
    if (replacing == nullptr || accumulating == nullptr)
        return error;
    // A record without the old call tells hosts it is not there.
    if (accumulating->getEffect()->process == nullptr)
        return {};
    const auto signal = noiseSignal(options.seed, 4096);
    const double d = largestDifference(render(*replacing, signal, 256),
                                       render(*accumulating, signal, 256, Buffers::accumulating), kAccumulateBase);
    if (d > 1.0e-6)
        return describe("the accumulating process does not add the processed signal to its outputs", d);
    return {};
}

std::string Validator::checkInstancesAlike()
{
    std::string error;
    auto first = makeInstance(library, error);
    auto second = makeInstance(library, error);
    if (first == nullptr || second == nullptr)
        return error;
    std::mt19937 random(options.seed);
    for (int i = 0; i < first->getEffect()->numParams; ++i)
        if (random() % 4 == 0)
        {
            const float v = float(random() % 1001) / 1000.0f;
            first->setParameter(i, v);
            second->setParameter(i, v);
        }
    for (auto* p : { first.get(), second.get() })
        startAudio(*p, 48000.0, 256);
    PluginInstance::MidiEvent note;
    note.sample = 100;
    note.bytes[0] = 0x90;
    note.bytes[1] = 60;
    note.bytes[2] = 100;
    const auto signal = noiseSignal(options.seed, 24000);
    if (const double d = largestDifference(render(*first, signal, 256, Buffers::separate, { note }),
                                           render(*second, signal, 256, Buffers::separate, { note }));
        d > 0.0)
        return describe("two instances with the same settings and input render differently", d);
    return {};
}

std::string Validator::checkParameterRoundTrip()
{
    std::string error;
    auto plugin = makeInstance(library, error);
    if (plugin == nullptr)
        return error;
    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
        for (int step = 0; step < kParameterSteps; ++step)
        {
            const float v = float(step) / float(kParameterSteps - 1);
            plugin->setParameter(i, v);
            const float read = plugin->getParameter(i);
            plugin->setParameter(i, read);
            const float again = plugin->getParameter(i);
            std::ostringstream reason;
            reason << "parameter " << i << " set to " << v << " reads " << read;
            if (! std::isfinite(read) || read < 0.0f || read > 1.0f || std::abs(read - v) > 0.5f)
                return reason.str();
            if (again != read)
            {
                reason << ", set to that reads " << again;
                return reason.str();
            }
        }
    return {};
}
