#include "Validator.h"

#include "EditorWindow.h"
#include "PluginInstance.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace
{
constexpr int kNumChannels = 2;
constexpr size_t kHostTextBuffer = 64; // what hosts give for parameter texts
constexpr unsigned char kCanary = 0x7f;

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
// output is not finite.
class AudioThread
{
public:
    AudioThread(PluginInstance& plugin, uint32_t seed)
        : thread([this, &plugin, seed] {
              std::mt19937 random(seed);
              while (running && reason.empty())
                  reason = processNoise(plugin, random, 256, 256);
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

Validator::Validator(PluginLibrary& lib, std::ostream& output, Options opts)
    : library(lib), out(output), options(opts)
{
}

void Validator::check(const std::string& name, const std::function<std::string()>& body)
{
    const auto start = std::chrono::steady_clock::now();
    const std::string reason = body();
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
    check("parameter texts fit their buffers", [this] { return checkParameterTexts(); });
    check("random, extreme and invalid parameters from two threads while audio runs",
          [this] { return checkParametersUnderLoad(); });
    check("programs", [this] { return checkPrograms(); });
    check("MIDI events at offsets, out of range too", [this] { return checkMidiEvents(); });
    check("NaN and infinity input, output finite again", [this] { return checkNonFiniteInput(); });
    check("state chunk round trip is byte-identical", [this] { return checkChunkRoundTrip(); });
    check("truncated and random chunks", [this] { return checkBrokenChunks(); });
    check("chunk set while audio runs", [this] { return checkChunkWhileProcessing(); });
    if (options.withEditor)
        check("editor opens and closes in a host window", [this] { return checkEditor(); });
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
        for (const auto& [opcode, what] : { std::make_pair(effGetParamName, "name"),
                                            std::make_pair(effGetParamDisplay, "display"),
                                            std::make_pair(effGetParamLabel, "label") })
        {
            const std::string reason = checkText(*plugin, opcode, i, kHostTextBuffer, what);
            if (! reason.empty())
                return reason;
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
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < plugin->getEffect()->numParams; ++i)
        if (random() % 3 == 0)
            plugin->setParameter(i, unit(random));

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
