// tavinor_daw_check: the DAW test's own measurements (tools/daw/daw-test.sh).
//
//   tavinor_daw_check signal TAKE_L.wav TAKE_R.wav INPUT.wav
//       writes the test signal over the two mono takes the DAW recorded
//       (keeping their rate and length) and as one stereo file for our host
//   tavinor_daw_check echoes DAW.wav OURS.wav PARAMETERS
//       the dry impulses and their echoes in the DAW's render: where they are
//       (against the settings' delays and against our host's render of the
//       same input) and how loud: within 0.05 dB of the levels the host
//       parameters give (PARAMETERS, "index value" lines of the default map:
//       dry/wet, output gain, line 1's mute, level, balance and feedback,
//       through the engine's formulas), and within 0.1 dB of ours
//   tavinor_daw_check latency DAW.wav OURS.wav REPORTED
//       the latency the DAW read (REPORTED samples) is the delay of the dry
//       path in our host's render, and the DAW made up for it: the dry
//       impulses of its render are where the input has them
//   tavinor_daw_check alike DAW.wav OURS.wav
//       the whole renders within 0.1 dB of their peak, sample for sample
//   tavinor_daw_check same A.wav B.wav
//       the same samples, bit for bit
//   tavinor_daw_check chunk SESSION.ardour
//       prints the plug-in's chunk as the session file stores it
//   tavinor_daw_check preset-chunk PRESETS LABEL CHUNK
//       puts a chunk into the DAW's preset of that label (its presets file)
//
// Exit status 0 when the check holds, 1 when it does not, 2 on bad use, 3
// when the DAW's render (the second one for "same") passes only moved
// 16 samples later: Ardour's own shift of a whole export, to be exported
// again.

#include "WavFile.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
// The test signal: an impulse on each channel at its own time, so that a
// swapped or summed channel shows.
constexpr double kLeftImpulseSeconds = 0.1;
constexpr double kRightImpulseSeconds = 0.2;
constexpr float kLeftImpulse = 0.5f;
constexpr float kRightImpulse = 0.25f;
// The echoes of the settings the test makes: line 1 synced to 3/16 on the
// left and 1/4 on the right, at the session's 120 bpm.
constexpr double kLeftEchoSeconds = 0.375;
constexpr double kRightEchoSeconds = 0.5;
// The band-limited read of a delay at rest spreads a whole-sample delay over
// its minimum-phase kernel: the peak lands a few samples on.
constexpr int kEchoPeakReach = 8;
constexpr double kLevelToleranceDb = 0.1;
constexpr double kSettingsToleranceDb = 0.05;
constexpr float kSilence = 1.0e-4f;

// Host parameters of the default map that set the levels: the master's
// first four, then ten for each line.
constexpr int kDryWet = 0;
constexpr int kOutputGain = 1;
constexpr int kLimiter = 2;
constexpr int kFirstLine = 4;
constexpr int kPerLine = 10;
constexpr int kLineMute = 0;
constexpr int kLineLevel = 1;
constexpr int kLineBalance = 2;
constexpr int kLineFeedback = 3;
constexpr int kLineTimeModulation = 8;
constexpr int kLineFreeze = 9;
constexpr int kHostParameters = 128;
// What a read of the ring passes at low frequencies: the phases of the
// 32-tap kernel, which both default qualities read with, sum to 0.935.
constexpr double kReadGain = 0.935;
// An echo that has passed the read n times is 32 n samples long.
constexpr int kKernelTaps = 32;

int fail(const char* what)
{
    std::fprintf(stderr, "tavinor_daw_check: %s\n", what);
    return 1;
}

bool load(const std::string& path, WavFile& wav)
{
    std::string error;
    if (wav.read(path, error))
        return true;
    std::fprintf(stderr, "tavinor_daw_check: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

bool save(const std::string& path, const WavFile& wav)
{
    std::string error;
    if (wav.write(path, 32, error))
        return true;
    std::fprintf(stderr, "tavinor_daw_check: %s: %s\n", path.c_str(), error.c_str());
    return false;
}

int makeSignal(const std::string& leftPath, const std::string& rightPath, const std::string& stereoPath)
{
    WavFile left, right;
    if (! load(leftPath, left) || ! load(rightPath, right))
        return 1;
    const size_t frames = left.numFrames();
    const double rate = left.sampleRate;
    const auto leftAt = size_t(kLeftImpulseSeconds * rate);
    const auto rightAt = size_t(kRightImpulseSeconds * rate);
    if (right.numFrames() != frames || right.sampleRate != rate || frames <= rightAt)
        return fail("the takes differ in rate or length, or are too short");

    WavFile stereo;
    stereo.sampleRate = rate;
    stereo.channels.assign(2, std::vector<float>(frames, 0.0f));
    stereo.channels[0][leftAt] = kLeftImpulse;
    stereo.channels[1][rightAt] = kRightImpulse;
    left.channels = { stereo.channels[0] };
    right.channels = { stereo.channels[1] };
    return save(leftPath, left) && save(rightPath, right) && save(stereoPath, stereo) ? 0 : 1;
}

int firstSound(const std::vector<float>& x, size_t from = 0)
{
    for (size_t i = from; i < x.size(); ++i)
        if (std::abs(x[i]) > kSilence)
            return int(i);
    return -1;
}

int loudest(const std::vector<float>& x, size_t from, size_t to)
{
    int best = -1;
    for (size_t i = from; i < std::min(to, x.size()); ++i)
        if (best < 0 || std::abs(x[i]) > std::abs(x[size_t(best)]))
            best = int(i);
    return best;
}

double decibels(float a, float b)
{
    return 20.0 * std::log10(std::abs(double(a)) / std::abs(double(b)));
}

// Where the checks of a render print their tables: nowhere while a render is
// looked at again as Ardour may have shifted it.
std::FILE* out = stdout;

// Ardour 7.3 renders one export in 25 to 50 16 samples early as a whole, bit
// for bit otherwise, whatever plug-in is on the track (its own too), and
// never without one. A render that fails its check but passes it moved
// 16 samples later is taken for that, and is to be exported again: a fault
// of ours that shifts the render so shifts it again. Any other shift, or a
// fault in levels or samples besides, fails at once.
constexpr int kArdourEarlyFrames = 16;
constexpr int kArdourShifted = 3;

WavFile later(const WavFile& render, int frames)
{
    WavFile moved = render;
    for (auto& channel : moved.channels)
    {
        channel.insert(channel.begin(), size_t(frames), 0.0f);
        channel.resize(render.numFrames());
    }
    return moved;
}

// 0 when the render passes the check, kArdourShifted when it passes only
// moved as Ardour's shift would have it, else 1.
template <typename Check>
int judge(const WavFile& render, Check&& check)
{
    if (check(render))
        return 0;
    std::FILE* shown = out;
    out = std::fopen("/dev/null", "w");
    const bool shifted = out != nullptr && check(later(render, kArdourEarlyFrames));
    if (out != nullptr)
        std::fclose(out);
    out = shown;
    if (! shifted)
        return 1;
    std::fprintf(out, "moved %d samples later, the DAW's render passes: Ardour rendered the whole export that much "
                      "early\n", kArdourEarlyFrames);
    return kArdourShifted;
}

// The DAW's render and ours, both stereo at one rate.
bool loadRenders(const std::string& dawPath, const std::string& oursPath, WavFile& daw, WavFile& ours)
{
    if (! load(dawPath, daw) || ! load(oursPath, ours))
        return false;
    if (daw.channels.size() == 2 && ours.channels.size() == 2 && daw.sampleRate == ours.sampleRate)
        return true;
    fail("the renders are not both stereo at one rate");
    return false;
}

bool loadParameters(const std::string& path, std::vector<double>& values)
{
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr)
    {
        fail("cannot read the parameters");
        return false;
    }
    values.assign(kHostParameters, std::nan(""));
    int index = 0;
    double value = 0.0;
    while (std::fscanf(f, "%d %lf", &index, &value) == 2)
        if (index >= 0 && index < kHostParameters)
            values[size_t(index)] = value;
    std::fclose(f);
    for (double v : values)
        if (! std::isfinite(v))
        {
            fail("the parameters file lacks a host parameter");
            return false;
        }
    return true;
}

// The gains the settings give, by the engine's formulas: dry/wet v mixes
// dry x (1 - v) with wet x v, the output gain is 4 v^2 (unity at 0.5); a
// line's mute takes its mix gain to 1 - v, its level is
// -0.5625 / (v - 1.125) - 0.5 (unity at 0.75), its balance b = 2 v keeps
// min(2 - b, 1) of the left and min(b, 1) of the right, and its feedback
// feeds 0.99 (2 v - 1) of each read back into the ring.
struct Gains
{
    double dry = 0.0;
    double echo[2] = { 0.0, 0.0 };
    double loop = 0.0;
};

bool gainsOf(const std::vector<double>& p, Gains& gains)
{
    const auto line = [&p](int l, int k) { return p[size_t(kFirstLine + kPerLine * l + k)]; };
    const auto level = [](double v) { return -0.5625 / (v - 1.125) - 0.5; };
    if (p[kLimiter] >= 0.5 || line(0, kLineFreeze) >= 0.5 || line(0, kLineTimeModulation) != 0.0)
    {
        fail("the level check wants the limiter off and line 1 neither frozen nor modulated");
        return false;
    }
    for (int l = 1; l < 4; ++l)
        if (line(l, kLineMute) < 0.5 && level(line(l, kLineLevel)) != 0.0)
        {
            fail("the level check wants lines 2 to 4 silent");
            return false;
        }
    const double wet = p[kDryWet];
    const double output = 4.0 * p[kOutputGain] * p[kOutputGain];
    const double lineGain = (1.0 - line(0, kLineMute)) * level(line(0, kLineLevel));
    const double balance = 2.0 * line(0, kLineBalance);
    gains.dry = (1.0 - wet) * output;
    gains.echo[0] = wet * output * lineGain * std::min(2.0 - balance, 1.0) * kReadGain;
    gains.echo[1] = wet * output * lineGain * std::min(balance, 1.0) * kReadGain;
    gains.loop = 0.99 * (2.0 * line(0, kLineFeedback) - 1.0) * kReadGain;
    return true;
}

double toDb(double gain)
{
    return 20.0 * std::log10(std::abs(gain));
}

// The dry impulse and its first three echoes against what the settings give:
// the dry sample itself, and each echo by its sum (what it passes at low
// frequencies, which the kernel's spread of it keeps), sign included.
bool checkSettingsLevels(const WavFile& daw, const Gains& gains, const int impulses[2], const int delays[2])
{
    bool ok = true;
    std::fprintf(out, "channel  what     expected      in the DAW's render\n");
    for (int c = 0; c < 2; ++c)
    {
        const auto& d = daw.channels[size_t(c)];
        const double impulse = c == 0 ? kLeftImpulse : kRightImpulse;
        double expected = gains.dry;
        double measured = d[size_t(impulses[c])] / impulse;
        const auto row = [&](const std::string& what) {
            const bool silent = expected == 0.0;
            const double difference = toDb(measured) - toDb(expected);
            const bool right = silent ? std::abs(measured) < 1.0e-6
                                      : std::isfinite(difference) && std::abs(difference) <= kSettingsToleranceDb
                                            && (measured > 0.0) == (expected > 0.0);
            std::fprintf(out, "%-8d %-7s %+9.3f dB  %+9.3f dB%s\n", c, what.c_str(), toDb(expected), toDb(measured),
                        right ? "" : "  <- wrong");
            ok = ok && right;
        };
        row("dry");
        expected = gains.echo[c];
        for (int n = 1; n <= 3; ++n, expected *= gains.loop)
        {
            const size_t from = size_t(impulses[c] + n * delays[c] - 4);
            const size_t to = from + size_t(kKernelTaps * (n + 1));
            if (to > d.size())
                break;
            double sum = 0.0;
            for (size_t i = from; i < to; ++i)
                sum += d[i];
            measured = sum / impulse;
            row("echo " + std::to_string(n));
        }
    }
    return ok;
}

bool echoesHold(const WavFile& daw, const WavFile& ours, const std::vector<double>& parameters, const Gains& gains)
{
    const double rate = daw.sampleRate;
    const int impulses[2] = { int(kLeftImpulseSeconds * rate), int(kRightImpulseSeconds * rate) };
    const int delays[2] = { int(std::lround(kLeftEchoSeconds * rate)), int(std::lround(kRightEchoSeconds * rate)) };
    bool ok = true;
    std::fprintf(out, "channel  what  at (DAW)  at (ours)  expected      level (DAW)  level (ours)  difference\n");
    for (int c = 0; c < 2; ++c)
    {
        const auto& d = daw.channels[size_t(c)];
        const auto& o = ours.channels[size_t(c)];
        const int dryDaw = firstSound(d);
        const int dryOurs = firstSound(o);
        const size_t echoFrom = size_t(impulses[c] + delays[c] / 2);
        const size_t echoTo = size_t(impulses[c] + delays[c] + delays[c] / 2);
        const int echoDaw = loudest(d, echoFrom, echoTo);
        const int echoOurs = loudest(o, echoFrom, echoTo);
        if (dryDaw < 0 || dryOurs < 0 || echoDaw < 0 || echoOurs < 0)
        {
            std::fprintf(out, "%-7d no sound where the impulse or its echo should be\n", c);
            ok = false;
            continue;
        }
        struct Row
        {
            const char* what;
            int daw, ours, expected, reach;
        };
        for (const Row& r : { Row { "dry", dryDaw, dryOurs, impulses[c], 0 },
                              Row { "echo", echoDaw, echoOurs, impulses[c] + delays[c], kEchoPeakReach } })
        {
            const float levelDaw = d[size_t(r.daw)];
            const float levelOurs = o[size_t(r.daw)];
            const double difference = decibels(levelDaw, levelOurs);
            const bool placed = r.daw == r.ours && r.daw >= r.expected && r.daw <= r.expected + r.reach;
            const bool level = std::isfinite(difference) && std::abs(difference) <= kLevelToleranceDb;
            std::fprintf(out, "%-8d %-5s %-9d %-10d %-6d+%-6d %-12.6f %-13.6f %+.4f dB %s\n", c, r.what, r.daw, r.ours,
                        r.expected, r.reach, levelDaw, levelOurs, difference, placed && level ? "" : "  <- wrong");
            ok = ok && placed && level;
        }
    }
    std::fprintf(out, "\nthe levels the settings give (dry/wet %.3f, output gain %.3f, line 1: mute %.0f, level %.3f, "
                "balance %.3f, feedback %.3f)\n",
                parameters[kDryWet], parameters[kOutputGain], parameters[kFirstLine + kLineMute],
                parameters[kFirstLine + kLineLevel], parameters[kFirstLine + kLineBalance],
                parameters[kFirstLine + kLineFeedback]);
    ok = checkSettingsLevels(daw, gains, impulses, delays) && ok;
    return ok;
}

int checkEchoes(const std::string& dawPath, const std::string& oursPath, const std::string& parametersPath)
{
    WavFile daw, ours;
    std::vector<double> parameters;
    Gains gains;
    if (! loadRenders(dawPath, oursPath, daw, ours) || ! loadParameters(parametersPath, parameters)
        || ! gainsOf(parameters, gains))
        return 1;
    return judge(daw, [&](const WavFile& render) { return echoesHold(render, ours, parameters, gains); });
}

bool latencyHolds(const WavFile& daw, const WavFile& ours, int reported)
{
    const double rate = daw.sampleRate;
    const int impulses[2] = { int(kLeftImpulseSeconds * rate), int(kRightImpulseSeconds * rate) };
    bool ok = reported > 0;
    std::fprintf(out, "the latency the DAW read: %d samples\n", reported);
    for (int c = 0; c < 2; ++c)
    {
        const int dryDaw = firstSound(daw.channels[size_t(c)]);
        const int dryOurs = firstSound(ours.channels[size_t(c)]);
        const bool right = dryOurs == impulses[c] + reported && dryDaw == impulses[c];
        std::fprintf(out, "channel %d: impulse at %d, dry at %d in our render (%+d), at %d in the DAW's%s\n", c, impulses[c],
                    dryOurs, dryOurs - impulses[c], dryDaw, right ? "" : "  <- wrong");
        ok = ok && right;
    }
    return ok;
}

int checkLatency(const std::string& dawPath, const std::string& oursPath, int reported)
{
    WavFile daw, ours;
    if (! loadRenders(dawPath, oursPath, daw, ours))
        return 1;
    return judge(daw, [&](const WavFile& render) { return latencyHolds(render, ours, reported); });
}

bool alikeHold(const WavFile& daw, const WavFile& ours)
{
    const size_t frames = std::min(daw.numFrames(), ours.numFrames());
    bool ok = frames > 0;
    for (size_t c = 0; c < 2; ++c)
    {
        float peak = 0.0f, worst = 0.0f;
        size_t worstAt = 0;
        for (size_t i = 0; i < frames; ++i)
        {
            peak = std::max(peak, std::abs(ours.channels[c][i]));
            const float difference = std::abs(daw.channels[c][i] - ours.channels[c][i]);
            if (difference > worst)
            {
                worst = difference;
                worstAt = i;
            }
        }
        // A difference 0.1 dB below the peak: (1 - 10^(-0.1/20)) of it.
        const float allowed = peak * float(1.0 - std::pow(10.0, -kLevelToleranceDb / 20.0));
        const bool alike = peak > kSilence && worst <= allowed;
        std::fprintf(out, "channel %zu: peak %.6f, largest difference %.3g at sample %zu (allowed %.3g)%s\n", c, peak, worst,
                    worstAt, allowed, alike ? "" : "  <- not alike");
        ok = ok && alike;
    }
    return ok;
}

int checkAlike(const std::string& dawPath, const std::string& oursPath)
{
    WavFile daw, ours;
    if (! loadRenders(dawPath, oursPath, daw, ours))
        return 1;
    return judge(daw, [&](const WavFile& render) { return alikeHold(render, ours); });
}

int checkSame(const std::string& aPath, const std::string& bPath)
{
    WavFile a, b;
    if (! load(aPath, a) || ! load(bPath, b))
        return 1;
    const int verdict = judge(b, [&](const WavFile& render) {
        return render.channels == a.channels && render.sampleRate == a.sampleRate;
    });
    if (verdict == 0)
        std::printf("the same %zu samples on %zu channels\n", a.numFrames(), a.channels.size());
    else if (verdict == 1)
        fail("the two renders differ");
    return verdict;
}

juce::XmlElement* findChunk(juce::XmlElement& e)
{
    if (e.getTagName() == "chunk")
        return &e;
    for (auto* child : e.getChildIterator())
        if (auto* found = findChunk(*child))
            return found;
    return nullptr;
}

int printChunk(const std::string& sessionPath)
{
    auto session = juce::parseXML(juce::File(sessionPath));
    auto* chunk = session != nullptr ? findChunk(*session) : nullptr;
    if (chunk == nullptr)
        return fail("the session holds no plug-in chunk");
    std::printf("%s\n", chunk->getAllSubText().trim().toRawUTF8());
    return 0;
}

int putPresetChunk(const std::string& presetsPath, const std::string& label, const std::string& chunkPath)
{
    const juce::File presetsFile(presetsPath);
    auto presets = juce::parseXML(presetsFile);
    juce::MemoryBlock chunk;
    if (presets == nullptr || ! juce::File(chunkPath).loadFileAsData(chunk) || chunk.getSize() == 0)
        return fail("cannot read the presets file or the chunk");
    for (auto* preset : presets->getChildIterator())
    {
        if (preset->getStringAttribute("label") != juce::String(label))
            continue;
        preset->deleteAllTextElements();
        preset->addTextElement(juce::Base64::toBase64(chunk.getData(), chunk.getSize()));
        juce::TemporaryFile temporary(presetsFile);
        if (! presets->writeTo(temporary.getFile()) || ! temporary.overwriteTargetFileWithTemporary())
            return fail("cannot write the presets file");
        return 0;
    }
    return fail("no preset of that label");
}

int usage()
{
    std::fprintf(stderr, "usage: tavinor_daw_check signal TAKE_L.wav TAKE_R.wav INPUT.wav\n"
                         "       tavinor_daw_check echoes DAW.wav OURS.wav PARAMETERS\n"
                         "       tavinor_daw_check alike DAW.wav OURS.wav\n"
                         "       tavinor_daw_check latency DAW.wav OURS.wav REPORTED\n"
                         "       tavinor_daw_check same A.wav B.wav\n"
                         "       tavinor_daw_check chunk SESSION.ardour\n"
                         "       tavinor_daw_check preset-chunk PRESETS LABEL CHUNK\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    if (command == "signal" && argc == 5)
        return makeSignal(argv[2], argv[3], argv[4]);
    if (command == "echoes" && argc == 5)
        return checkEchoes(argv[2], argv[3], argv[4]);
    if (command == "latency" && argc == 5)
        return checkLatency(argv[2], argv[3], std::atoi(argv[4]));
    if (command == "alike" && argc == 4)
        return checkAlike(argv[2], argv[3]);
    if (command == "same" && argc == 4)
        return checkSame(argv[2], argv[3]);
    if (command == "chunk" && argc == 3)
        return printChunk(argv[2]);
    if (command == "preset-chunk" && argc == 5)
        return putPresetChunk(argv[2], argv[3], argv[4]);
    return usage();
}
