#include <gtest/gtest.h>
#include "TestHelpers.h"
#include "TavinorTestSupport.h"

#include "tools/bench/BenchSettings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace TavinorTest;

// The sound is held to renders of every factory preset (and the default sound)
// through the processor and of the benchmark's three settings through the
// engine, at 44.1 and 96 kHz, of 10 s of white noise and of an impulse. The
// table beside this file holds, per render, a hash of every output sample and
// the sound's level and a few of its samples: a render with the same hash is
// bit-identical to the reference; any other must stay within -90 dBFS of it in
// everything stored. The hashes were taken on a processor with AVX2 and FMA;
// elsewhere the band-limited read rounds differently and only the levels and
// samples hold.
//
// Two variables of the environment serve whoever changes the signal path:
// - TAVINOR_REFERENCE_DIR=folder: every render is also compared with a full
//   copy of itself in the folder, sample by sample, and written there when the
//   folder has none yet (write them from the code before the change).
// - TAVINOR_REFERENCE_TABLE_OUT=file: every render appends its line of the
//   table to the file instead of being checked (run the test program itself,
//   not ctest, to write the whole table in one go).

namespace
{
constexpr double kRenderSeconds = 10.0;
constexpr double kToleranceDb = -90.0;
constexpr int kFixedExcerpts = 8;
constexpr int kLoudestExcerpts = 4;
constexpr int kExcerpts = kFixedExcerpts + kLoudestExcerpts;
// Hosts hand over blocks of any length up to the prepared one: odd lengths and
// a single sample leave nothing the engine does per block unexercised.
constexpr int kBlockPattern[] = { 512, 64, 333, 1, 480, 97 };
constexpr int kMaxBlock = 512;
constexpr double kTempo = 120.0;
constexpr double kNoteOnSeconds = 2.0;
constexpr double kNoteOffSeconds = 2.5;
constexpr int kRetriggerNote = 60;

double tolerance()
{
    return std::pow(10.0, kToleranceDb / 20.0);
}

enum class Signal
{
    noise,
    impulse
};

const char* signalName(Signal s)
{
    return s == Signal::noise ? "noise" : "impulse";
}

struct Setting
{
    std::string name;       // as the test and the table call it
    std::string preset;     // a factory preset, "" the default sound (when bench is null)
    const BenchSettings::Setting* bench = nullptr;
};

std::string sanitise(std::string s)
{
    s = s.substr(0, s.find(".tnprst"));
    for (auto& c : s)
        if (! std::isalnum((unsigned char) c))
            c = '_';
    return s;
}

void PrintTo(const Setting& s, std::ostream* os)
{
    *os << s.name;
}

std::vector<Setting> allSettings()
{
    std::vector<Setting> settings;
    for (const auto& preset : factoryPresetNames())
        settings.push_back({ preset.empty() ? std::string("Default") : sanitise(preset), preset, nullptr });
    for (const auto& bench : BenchSettings::kSettings)
        settings.push_back({ std::string("Bench_") + bench.key, "", &bench });
    return settings;
}

Stereo makeInput(Signal signal, double rate)
{
    Stereo s((size_t) (rate * kRenderSeconds));
    if (signal == Signal::impulse)
    {
        s.left[0] = 1.0f;
        s.right[7] = -0.5f;
        return s;
    }
    // White noise at -12 dBFS peak, the two channels independent.
    uint32_t seed = 0x9e3779b9u;
    for (size_t i = 0; i < s.size(); ++i)
        for (auto* channel : { &s.left, &s.right })
        {
            seed = seed * 1664525u + 1013904223u;
            (*channel)[i] = (float) ((double) (int32_t) seed / 2147483648.0 * 0.25);
        }
    return s;
}

// A host's transport playing at a steady tempo from the start.
class RollingPlayHead : public juce::AudioPlayHead
{
public:
    explicit RollingPlayHead(double sampleRate) : rate(sampleRate) {}

    void moveTo(int64_t sample) { position = sample; }

    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm(kTempo);
        info.setIsPlaying(true);
        info.setTimeInSamples(position);
        info.setPpqPosition((double) position / rate * kTempo / 60.0);
        return info;
    }

private:
    double rate;
    int64_t position = 0;
};

// Walks the input in the host's block pattern; process(start, n, left, right)
// turns one block in place.
template <typename Process>
Stereo renderInBlocks(const Stereo& input, Process&& process)
{
    Stereo out = input;
    size_t start = 0;
    for (size_t b = 0; start < out.size(); ++b)
    {
        const int n = (int) std::min((size_t) kBlockPattern[b % std::size(kBlockPattern)], out.size() - start);
        process(start, n, out.left.data() + start, out.right.data() + start);
        start += (size_t) n;
    }
    return out;
}

// Through the processor as a host plays it, with a retrigger note on the way.
bool renderPreset(const std::string& preset, double rate, const Stereo& input, Stereo& out)
{
    auto t = processorWithFactoryPreset(preset);
    if (t == nullptr)
        return false;
    RollingPlayHead playHead(rate);
    t->setPlayHead(&playHead);
    t->prepareToPlay(rate, kMaxBlock);

    const auto noteOn = (size_t) (kNoteOnSeconds * rate);
    const auto noteOff = (size_t) (kNoteOffSeconds * rate);
    juce::AudioBuffer<float> buffer(2, kMaxBlock);
    juce::MidiBuffer midi;
    out = renderInBlocks(input, [&](size_t start, int n, float* left, float* right) {
        buffer.setSize(2, n, false, false, true);
        buffer.copyFrom(0, 0, left, n);
        buffer.copyFrom(1, 0, right, n);
        midi.clear();
        if (noteOn >= start && noteOn < start + (size_t) n)
            midi.addEvent(juce::MidiMessage::noteOn(1, kRetriggerNote, (juce::uint8) 100), (int) (noteOn - start));
        if (noteOff >= start && noteOff < start + (size_t) n)
            midi.addEvent(juce::MidiMessage::noteOff(1, kRetriggerNote), (int) (noteOff - start));
        playHead.moveTo((int64_t) start);
        t->processBlock(buffer, midi);
        std::copy(buffer.getReadPointer(0), buffer.getReadPointer(0) + n, left);
        std::copy(buffer.getReadPointer(1), buffer.getReadPointer(1) + n, right);
    });
    t->setPlayHead(nullptr);
    return true;
}

Stereo renderBench(const BenchSettings::Setting& bench, double rate, const Stereo& input)
{
    DelayEngine engine;
    engine.prepare(kMaxBlock, rate);
    bench.configure(engine);
    return renderInBlocks(input, [&](size_t, int n, float* left, float* right) {
        float* channels[2] = { left, right };
        engine.process(channels, n, true, true);
    });
}

//==============================================================================
struct Excerpt
{
    size_t position = 0;
    double value = 0.0;
};

struct ChannelSummary
{
    double peak = 0.0;
    double rms = 0.0;
    Excerpt excerpts[kExcerpts];
};

struct Summary
{
    uint64_t hash = 0;
    ChannelSummary channels[2];
};

uint64_t hashOf(const Stereo& s)
{
    // FNV-1a over the bit patterns of every sample, left channel first.
    uint64_t h = 0xcbf29ce484222325ull;
    for (const auto* channel : { &s.left, &s.right })
        for (float x : *channel)
        {
            uint32_t bits = 0;
            std::memcpy(&bits, &x, sizeof bits);
            for (int byte = 0; byte < 4; ++byte)
            {
                h ^= (bits >> (8 * byte)) & 0xffu;
                h *= 0x100000001b3ull;
            }
        }
    return h;
}

// Spread evenly from the first block on, and the loudest moments (taken
// apart from each other) where an impulse's echoes are.
ChannelSummary summarise(const std::vector<float>& x)
{
    ChannelSummary c;
    double sum = 0.0;
    for (float v : x)
    {
        c.peak = std::max(c.peak, (double) std::abs(v));
        sum += (double) v * v;
    }
    c.rms = x.empty() ? 0.0 : std::sqrt(sum / (double) x.size());

    for (int i = 0; i < kFixedExcerpts; ++i)
    {
        const size_t p = std::min(x.size() - 1, (size_t) kMaxBlock + (x.size() - kMaxBlock) * (size_t) (2 * i + 1)
                                                                        / (2 * kFixedExcerpts));
        c.excerpts[i] = { p, x[p] };
    }
    const size_t apart = x.size() / (2 * kLoudestExcerpts);
    std::vector<size_t> taken;
    for (int i = 0; i < kLoudestExcerpts; ++i)
    {
        size_t best = 0;
        float bestValue = -1.0f;
        for (size_t p = 0; p < x.size(); ++p)
        {
            const bool nearTaken = std::any_of(taken.begin(), taken.end(), [&](size_t t) {
                return (p > t ? p - t : t - p) < apart;
            });
            if (! nearTaken && std::abs(x[p]) > bestValue)
            {
                bestValue = std::abs(x[p]);
                best = p;
            }
        }
        taken.push_back(best);
        c.excerpts[kFixedExcerpts + i] = { best, x[best] };
    }
    return c;
}

Summary summarise(const Stereo& s)
{
    Summary summary;
    summary.hash = hashOf(s);
    summary.channels[0] = summarise(s.left);
    summary.channels[1] = summarise(s.right);
    return summary;
}

std::string formatLine(const std::string& key, const Summary& s)
{
    std::ostringstream line;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%016llx", (unsigned long long) s.hash);
    line << key << ' ' << buffer;
    for (const auto& c : s.channels)
    {
        std::snprintf(buffer, sizeof buffer, " %.10g %.10g", c.peak, c.rms);
        line << buffer;
        for (const auto& e : c.excerpts)
        {
            std::snprintf(buffer, sizeof buffer, " %zu:%.9g", e.position, e.value);
            line << buffer;
        }
    }
    return line.str();
}

bool parseLine(const std::string& text, std::string& key, Summary& s)
{
    std::istringstream line(text);
    std::string hash;
    if (! (line >> key >> hash))
        return false;
    s.hash = std::strtoull(hash.c_str(), nullptr, 16);
    for (auto& c : s.channels)
    {
        if (! (line >> c.peak >> c.rms))
            return false;
        for (auto& e : c.excerpts)
        {
            std::string pair;
            if (! (line >> pair) || pair.find(':') == std::string::npos)
                return false;
            e.position = (size_t) std::strtoull(pair.c_str(), nullptr, 10);
            e.value = std::strtod(pair.c_str() + pair.find(':') + 1, nullptr);
        }
    }
    return true;
}

const std::map<std::string, Summary>& referenceTable()
{
    static const std::map<std::string, Summary> table = [] {
        std::map<std::string, Summary> t;
        std::ifstream in(TestHelpers::sourceFolder().getChildFile("tests/processor/ReferenceRenders.txt")
                             .getFullPathName().toStdString());
        std::string text;
        while (std::getline(in, text))
        {
            std::string key;
            Summary s;
            if (! text.empty() && text[0] != '#' && parseLine(text, key, s))
                t[key] = s;
        }
        return t;
    }();
    return table;
}

std::string environment(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

double toDb(double difference)
{
    return difference > 0.0 ? 20.0 * std::log10(difference) : -INFINITY;
}

// The largest difference to the reference in everything the table stores.
double largestStoredDifference(const Summary& reference, const Stereo& render, const Summary& summary)
{
    double worst = 0.0;
    for (int ch = 0; ch < 2; ++ch)
    {
        const auto& r = reference.channels[ch];
        const auto& s = summary.channels[ch];
        const auto& x = ch == 0 ? render.left : render.right;
        worst = std::max({ worst, std::abs(r.peak - s.peak), std::abs(r.rms - s.rms) });
        for (const auto& e : r.excerpts)
            worst = std::max(worst, e.position < x.size() ? std::abs(e.value - (double) x[e.position]) : INFINITY);
    }
    return worst;
}

// Against a full render kept in a folder (written there on the first run).
void compareWithFullRender(const std::string& folder, const std::string& key, const Stereo& render)
{
    const juce::File file = juce::File(folder).getChildFile(key + ".f32");
    const size_t n = render.size();
    if (! file.existsAsFile())
    {
        file.getParentDirectory().createDirectory();
        juce::FileOutputStream out(file);
        ASSERT_TRUE(out.openedOk()) << file.getFullPathName();
        out.write(render.left.data(), n * sizeof(float));
        out.write(render.right.data(), n * sizeof(float));
        return;
    }
    juce::MemoryBlock data;
    ASSERT_TRUE(file.loadFileAsData(data));
    ASSERT_EQ(data.getSize(), 2 * n * sizeof(float)) << key;
    const auto* reference = static_cast<const float*>(data.getData());
    double worst = 0.0;
    size_t where = 0;
    for (size_t i = 0; i < 2 * n; ++i)
    {
        const float x = i < n ? render.left[i] : render.right[i - n];
        const double d = std::abs((double) x - (double) reference[i]);
        if (d > worst || std::isnan(d))
        {
            worst = std::isnan(d) ? INFINITY : d;
            where = i;
        }
    }
    std::printf("full %-55s %s\n", key.c_str(),
                worst == 0.0 ? "identical"
                             : (std::to_string(toDb(worst)) + " dBFS at " + std::to_string(where % n) + " of "
                                + (where < n ? "left" : "right")).c_str());
    EXPECT_LT(toDb(worst), kToleranceDb) << key;
}

class ReferenceRenders : public ::testing::TestWithParam<std::tuple<Setting, double>>
{
};

std::string testName(const ::testing::TestParamInfo<std::tuple<Setting, double>>& info)
{
    return std::get<0>(info.param).name + "_" + std::to_string((int) std::get<1>(info.param));
}
} // namespace

INSTANTIATE_TEST_SUITE_P(Sound, ReferenceRenders,
                         ::testing::Combine(::testing::ValuesIn(allSettings()), ::testing::Values(44100.0, 96000.0)),
                         testName);

TEST_P(ReferenceRenders, NoiseAndImpulseMatchTheReference)
{
    const Setting& setting = std::get<0>(GetParam());
    const double rate = std::get<1>(GetParam());
    const std::string tableOut = environment("TAVINOR_REFERENCE_TABLE_OUT");
    const std::string fullFolder = environment("TAVINOR_REFERENCE_DIR");

    for (const Signal signal : { Signal::noise, Signal::impulse })
    {
        const std::string key = setting.name + "@" + std::to_string((int) rate) + "/" + signalName(signal);
        const Stereo input = makeInput(signal, rate);
        Stereo render;
        if (setting.bench != nullptr)
            render = renderBench(*setting.bench, rate, input);
        else
            ASSERT_TRUE(renderPreset(setting.preset, rate, input, render)) << setting.preset;
        ASSERT_TRUE(allFinite(render)) << key;
        const Summary summary = summarise(render);

        if (! fullFolder.empty())
            compareWithFullRender(fullFolder, key, render);
        if (! tableOut.empty())
        {
            std::ofstream(tableOut, std::ios::app) << formatLine(key, summary) << '\n';
            continue;
        }

        const auto found = referenceTable().find(key);
        ASSERT_NE(found, referenceTable().end()) << "no reference for " << key;
        if (summary.hash == found->second.hash)
            continue;
        const double worst = largestStoredDifference(found->second, render, summary);
        std::printf("%-55s not bit-identical; stored values within %.1f dBFS\n", key.c_str(), toDb(worst));
        EXPECT_LT(toDb(worst), kToleranceDb) << key;
    }
}
