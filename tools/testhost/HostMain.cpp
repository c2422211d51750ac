// tavinor_host: the project's command-line VST 2.4 host. It loads a plug-in
// file with dlopen and talks to it only through the AEffect record.

#include "EditorWindow.h"
#include "PluginInstance.h"
#include "PluginLibrary.h"
#include "Validator.h"
#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const char* const kUsage = R"(usage: tavinor_host COMMAND PLUGIN.so [options]

Commands
  info PLUGIN.so                     identity, flags and every parameter
  render PLUGIN.so INPUT OUTPUT.wav  process INPUT and write OUTPUT.wav
  save-chunk PLUGIN.so FILE          write the plug-in's state chunk to FILE
  load-chunk PLUGIN.so FILE          set the state chunk from FILE, then as info
  editor PLUGIN.so                   open the editor in an X11 window, close it
  validate PLUGIN.so                 run the validation suite

INPUT is a WAV file (16/24/32-bit integer or 32-bit float), or one of
  silence:SECONDS   impulse:SECONDS   sine:HZ:SECONDS
(generated stereo at --rate, amplitude 0.5 for sine, 1.0 for the impulse at 0).

Options
  --rate HZ            sample rate (default 44100; a WAV input keeps its own)
  --block N            block size (default 512)
  --tempo BPM          host tempo, transport playing (default 120)
  --time-sig N/D       time signature (default 4/4)
  --note S:K:V[:L]     note K velocity V at sample S, off after L samples
                       (default L: 0.25 s); repeatable
  --cc S:C:V           controller C value V at sample S; repeatable
  --param I=V          set parameter I to normalised V before running; repeatable
  --chunk FILE         set this state chunk before running (render, info, save-chunk)
  --tail SECONDS       render this much longer than the input (default 0)
  --bits 32|16         output sample format (default 32: float)
  --seconds S          how long the editor stays open (default 1)
  --cycles N           editor: open and close it N times (default 1) and print
                       the heap in use after the first and the last close
  --close-with-editor  editor: close the plug-in while its editor is open
  --x-errors-end       keep Xlib's default X error handler, which ends the
                       host on any X error (as some hosts leave it)
  --screenshot FILE    editor: save the window before closing, once its
                       picture has settled (PNG when FILE ends with .png,
                       else PPM)
  --seed N             validate: random seed (default 1)
  --quick              validate: fewer sample rates, shorter runs
  --only TEXT          validate: only the checks whose name holds TEXT
  --watchdog S         validate: a check running longer is a deadlock (default 120)
  --latency-switch I=V validate: parameter I at V changes the latency (for the
                       latency checks)
  --no-editor          validate: leave out the editor check

Output of info: "key: value" lines, then one line per parameter:
  param<TAB>index<TAB>value<TAB>name<TAB>display<TAB>label
validate prints PASS/FAIL/SKIP per check and ends with "validate: N passed, M failed".
Exit status: 0 success, 1 a failed check or operation, 2 bad usage, 3 cannot load.
)";

struct Options
{
    std::string command;
    std::string plugin;
    std::vector<std::string> positional;
    double rate = 44100.0;
    bool rateGiven = false;
    int block = 512;
    double tempo = 120.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    struct Note
    {
        int64_t sample;
        int key;
        int velocity;
        int64_t length;
    };
    std::vector<Note> notes;
    std::vector<PluginInstance::MidiEvent> controllers;
    std::vector<std::pair<int, float>> params;
    std::string chunkFile;
    double tail = 0.0;
    int bits = 32;
    double seconds = 1.0;
    int cycles = 1;
    bool closeWithEditor = false;
    bool xErrorsEnd = false;
    std::string screenshot;
    uint32_t seed = 1;
    bool quick = false;
    bool withEditor = true;
    std::string only;
    int watchdogSeconds = 120;
    int latencySwitchIndex = -1;
    float latencySwitchValue = 1.0f;
};

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

bool parseNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return ! text.empty() && end != nullptr && *end == 0 && std::isfinite(value);
}

bool parseInteger(const std::string& text, int64_t& value)
{
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return ! text.empty() && end != nullptr && *end == 0;
}

// What an option with a value made of it.
enum class Read
{
    notThisKind,   // the name is not one of these options
    good,
    bad
};

// The options that take a number.
Read readNumberOption(const std::string& name, const std::string& v, Options& o)
{
    double number = 0;
    int64_t integer = 0;
    if (name == "--rate" || name == "--tempo")
    {
        if (! parseNumber(v, number) || number <= 0)
            return Read::bad;
        if (name == "--tempo")
            o.tempo = number;
        else
        {
            o.rate = number;
            o.rateGiven = true;
        }
    }
    else if (name == "--tail" || name == "--seconds")
    {
        if (! parseNumber(v, number) || number < 0)
            return Read::bad;
        (name == "--tail" ? o.tail : o.seconds) = number;
    }
    else if (name == "--block")
    {
        if (! parseInteger(v, integer) || integer <= 0 || integer > (1 << 20))
            return Read::bad;
        o.block = int(integer);
    }
    else if (name == "--bits")
    {
        if (! parseInteger(v, integer) || (integer != 16 && integer != 32))
            return Read::bad;
        o.bits = int(integer);
    }
    else if (name == "--cycles")
    {
        if (! parseInteger(v, integer) || integer < 1 || integer > 100000)
            return Read::bad;
        o.cycles = int(integer);
    }
    else if (name == "--seed")
    {
        if (! parseInteger(v, integer) || integer < 0)
            return Read::bad;
        o.seed = uint32_t(integer);
    }
    else if (name == "--watchdog")
    {
        if (! parseInteger(v, integer) || integer <= 0 || integer > 86400)
            return Read::bad;
        o.watchdogSeconds = int(integer);
    }
    else
        return Read::notThisKind;
    return Read::good;
}

// "I=V": an integer index and a number.
bool parseAssignment(const std::string& v, int64_t& index, double& value)
{
    const auto eq = v.find('=');
    return eq != std::string::npos && parseInteger(v.substr(0, eq), index) && parseNumber(v.substr(eq + 1), value);
}

// The options whose value is text or made of parts.
Read readListOption(const std::string& name, const std::string& v, Options& o)
{
    if (name == "--time-sig")
    {
        const auto parts = split(v, '/');
        int64_t n = 0, d = 0;
        if (parts.size() != 2 || ! parseInteger(parts[0], n) || ! parseInteger(parts[1], d) || n <= 0 || d <= 0)
            return Read::bad;
        o.timeSigNumerator = int(n);
        o.timeSigDenominator = int(d);
    }
    else if (name == "--note")
    {
        const auto parts = split(v, ':');
        int64_t s = 0, k = 0, vel = 0, len = -1;
        if (parts.size() < 3 || parts.size() > 4 || ! parseInteger(parts[0], s) || ! parseInteger(parts[1], k)
            || ! parseInteger(parts[2], vel) || (parts.size() == 4 && ! parseInteger(parts[3], len)) || s < 0
            || k < 0 || k > 127 || vel < 0 || vel > 127)
            return Read::bad;
        o.notes.push_back({ s, int(k), int(vel), len });
    }
    else if (name == "--cc")
    {
        const auto parts = split(v, ':');
        int64_t s = 0, c = 0, val = 0;
        if (parts.size() != 3 || ! parseInteger(parts[0], s) || ! parseInteger(parts[1], c)
            || ! parseInteger(parts[2], val) || s < 0 || c < 0 || c > 127 || val < 0 || val > 127)
            return Read::bad;
        PluginInstance::MidiEvent e;
        e.sample = s;
        e.bytes[0] = 0xB0;
        e.bytes[1] = uint8_t(c);
        e.bytes[2] = uint8_t(val);
        o.controllers.push_back(e);
    }
    else if (name == "--param" || name == "--latency-switch")
    {
        int64_t index = 0;
        double value = 0;
        if (! parseAssignment(v, index, value) || (name == "--latency-switch" && index < 0))
            return Read::bad;
        if (name == "--param")
            o.params.emplace_back(int(index), float(value));
        else
        {
            o.latencySwitchIndex = int(index);
            o.latencySwitchValue = float(value);
        }
    }
    else if (name == "--chunk")
        o.chunkFile = v;
    else if (name == "--screenshot")
        o.screenshot = v;
    else if (name == "--only")
        o.only = v;
    else
        return Read::notThisKind;
    return Read::good;
}

// A flag: true where the name is one (and o takes it).
bool readFlag(const std::string& name, Options& o)
{
    if (name == "--close-with-editor")
        o.closeWithEditor = true;
    else if (name == "--x-errors-end")
        o.xErrorsEnd = true;
    else if (name == "--quick")
        o.quick = true;
    else if (name == "--no-editor")
        o.withEditor = false;
    else
        return false;
    return true;
}

// The error of a bad value names the option, and the value where it is made
// of parts.
std::string badValueError(const std::string& name, const std::string& v)
{
    const bool withValue = name == "--note" || name == "--cc" || name == "--param" || name == "--latency-switch";
    return "bad " + name + (withValue ? " " + v : "");
}

bool parseOptions(int argc, char** argv, Options& o, std::string& error)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
        {
            o.command = "help";
            return true;
        }
        if (readFlag(a, o))
            continue;
        if (a.rfind("--", 0) != 0)
        {
            if (o.command.empty())
                o.command = a;
            else if (o.plugin.empty())
                o.plugin = a;
            else
                o.positional.push_back(a);
            continue;
        }
        const bool hasValue = i + 1 < args.size();
        const std::string v = hasValue ? args[i + 1] : std::string();
        Read read = readNumberOption(a, v, o);
        if (read == Read::notThisKind)
            read = readListOption(a, v, o);
        if (read == Read::notThisKind)
            return (error = "unknown option " + a, false);
        if (! hasValue)
            return (error = a + " needs a value", false);
        if (read == Read::bad)
            return (error = badValueError(a, v), false);
        ++i;
    }
    if (o.command.empty() || o.plugin.empty())
        return (error = "a command and a plug-in file are needed", false);
    return true;
}

std::string fourCharText(VstInt32 id)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = char((uint32_t(id) >> shift) & 0xff);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

bool readFile(const std::string& path, std::vector<uint8_t>& data)
{
    std::ifstream in(path, std::ios::binary);
    if (! in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& data)
{
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        if (! out)
        {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// Sets the chunk and parameters the options name; false with a message.
bool applyState(PluginInstance& plugin, const Options& o)
{
    if (! o.chunkFile.empty())
    {
        std::vector<uint8_t> data;
        if (! readFile(o.chunkFile, data))
        {
            std::cerr << "cannot read " << o.chunkFile << "\n";
            return false;
        }
        if (plugin.setChunk(data) == 0)
        {
            std::cerr << "the plug-in refused the chunk " << o.chunkFile << "\n";
            return false;
        }
    }
    for (const auto& [index, value] : o.params)
        plugin.setParameter(index, value);
    return true;
}

void printInfo(PluginInstance& plugin)
{
    const AEffect* e = plugin.getEffect();
    std::cout << "name: " << plugin.getString(effGetEffectName, kVstMaxEffectNameLen) << "\n";
    std::cout << "vendor: " << plugin.getString(effGetVendorString, kVstMaxVendorStrLen) << "\n";
    std::cout << "product: " << plugin.getString(effGetProductString, kVstMaxProductStrLen) << "\n";
    std::cout << "vendor version: " << plugin.dispatch(effGetVendorVersion) << "\n";
    std::cout << "unique id: " << fourCharText(e->uniqueID) << "\n";
    std::cout << "version: " << e->version << "\n";
    std::cout << "vst version: " << plugin.dispatch(effGetVstVersion) << "\n";
    std::cout << "category: " << plugin.dispatch(effGetPlugCategory) << "\n";
    std::cout << "inputs: " << e->numInputs << "\n";
    std::cout << "outputs: " << e->numOutputs << "\n";
    std::cout << "flags:";
    const std::pair<VstInt32, const char*> flagNames[] = {
        { effFlagsHasEditor, "editor" },          { effFlagsCanReplacing, "replacing" },
        { effFlagsProgramChunks, "chunks" },      { effFlagsIsSynth, "synth" },
        { effFlagsNoSoundInStop, "no-sound-in-stop" }, { effFlagsCanDoubleReplacing, "double-replacing" }
    };
    for (const auto& [flag, name] : flagNames)
        if ((e->flags & flag) != 0)
            std::cout << " " << name;
    std::cout << "\n";
    std::cout << "programs: " << e->numPrograms << "\n";
    std::cout << "program: " << plugin.dispatch(effGetProgram) << " "
              << plugin.getString(effGetProgramName, kVstMaxProgNameLen) << "\n";
    std::cout << "parameters: " << e->numParams << "\n";
    std::cout << "latency: " << e->initialDelay << "\n";
    std::cout << "tail: " << plugin.dispatch(effGetTailSize) << "\n";
    for (const char* what : { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo", "sendVstMidiEvent" })
        std::cout << "canDo " << what << ": " << plugin.canDo(what) << "\n";
    for (int i = 0; i < e->numParams; ++i)
        std::cout << "param\t" << i << "\t" << plugin.getParameter(i) << "\t" << plugin.getParameterName(i) << "\t"
                  << plugin.getParameterDisplay(i) << "\t" << plugin.getParameterLabel(i) << "\n";
}

bool makeInput(const std::string& source, double rate, WavFile& input, std::string& error)
{
    const auto parts = split(source, ':');
    double seconds = 0, hz = 0;
    if (parts.size() == 2 && (parts[0] == "silence" || parts[0] == "impulse") && parseNumber(parts[1], seconds)
        && seconds >= 0)
    {
        input.sampleRate = rate;
        input.channels.assign(2, std::vector<float>(size_t(std::llround(seconds * rate)), 0.0f));
        if (parts[0] == "impulse" && input.numFrames() > 0)
            for (auto& ch : input.channels)
                ch[0] = 1.0f;
        return true;
    }
    if (parts.size() == 3 && parts[0] == "sine" && parseNumber(parts[1], hz) && parseNumber(parts[2], seconds)
        && seconds >= 0)
    {
        input.sampleRate = rate;
        const size_t frames = size_t(std::llround(seconds * rate));
        input.channels.assign(2, std::vector<float>(frames));
        for (size_t i = 0; i < frames; ++i)
            input.channels[0][i] = input.channels[1][i] = float(0.5 * std::sin(2.0 * M_PI * hz * double(i) / rate));
        return true;
    }
    return input.read(source, error);
}

int render(PluginInstance& plugin, const Options& o)
{
    if (o.positional.size() != 2)
    {
        std::cerr << "render needs INPUT and OUTPUT.wav\n" << kUsage;
        return 2;
    }
    WavFile input;
    std::string error;
    if (! makeInput(o.positional[0], o.rate, input, error))
    {
        std::cerr << error << "\n";
        return 1;
    }
    if (input.channels.size() == 1)
        input.channels.push_back(input.channels[0]);
    input.channels.resize(2);
    const double rate = input.sampleRate;

    plugin.prepare(rate, o.block);
    plugin.tempo = o.tempo;
    plugin.timeSigNumerator = o.timeSigNumerator;
    plugin.timeSigDenominator = o.timeSigDenominator;
    if (! applyState(plugin, o))
        return 1;
    plugin.resume();

    // Every MIDI event of the run, in time order.
    std::vector<PluginInstance::MidiEvent> events = o.controllers;
    for (const auto& n : o.notes)
    {
        PluginInstance::MidiEvent on;
        on.sample = n.sample;
        on.bytes[0] = 0x90;
        on.bytes[1] = uint8_t(n.key);
        on.bytes[2] = uint8_t(n.velocity);
        events.push_back(on);
        PluginInstance::MidiEvent off = on;
        off.sample = n.sample + (n.length >= 0 ? n.length : int64_t(rate / 4));
        off.bytes[0] = 0x80;
        off.bytes[2] = 0;
        events.push_back(off);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.sample < b.sample; });

    const size_t inputFrames = input.numFrames();
    const size_t total = inputFrames + size_t(std::llround(o.tail * rate));
    WavFile output;
    output.sampleRate = rate;
    output.channels.assign(2, std::vector<float>(total, 0.0f));

    std::vector<float> in[2] = { std::vector<float>(size_t(o.block)), std::vector<float>(size_t(o.block)) };
    std::vector<float> outBlock[2] = { std::vector<float>(size_t(o.block)), std::vector<float>(size_t(o.block)) };
    float* inPointers[2] = { in[0].data(), in[1].data() };
    float* outPointers[2] = { outBlock[0].data(), outBlock[1].data() };
    std::vector<PluginInstance::MidiEvent> blockEvents;
    size_t nextEvent = 0;

    for (size_t pos = 0; pos < total; pos += size_t(o.block))
    {
        const size_t n = std::min(size_t(o.block), total - pos);
        for (int ch = 0; ch < 2; ++ch)
            for (size_t i = 0; i < n; ++i)
                in[ch][i] = pos + i < inputFrames ? input.channels[size_t(ch)][pos + i] : 0.0f;
        blockEvents.clear();
        while (nextEvent < events.size() && size_t(events[nextEvent].sample) < pos + n)
        {
            auto e = events[nextEvent++];
            e.sample -= int64_t(pos);
            blockEvents.push_back(e);
        }
        plugin.process(inPointers, outPointers, int(n), blockEvents);
        for (int ch = 0; ch < 2; ++ch)
            std::copy(outBlock[ch].begin(), outBlock[ch].begin() + long(n), output.channels[size_t(ch)].begin() + long(pos));
    }
    plugin.suspend();

    if (! output.write(o.positional[1], o.bits, error))
    {
        std::cerr << error << "\n";
        return 1;
    }
    std::cout << "rendered " << total << " frames at " << rate << " Hz to " << o.positional[1] << "\n";
    return 0;
}

// The heap the process (host and plug-in alike) has in use, in bytes.
size_t heapInUse()
{
    return size_t(mallinfo2().uordblks);
}

int editor(PluginInstance& plugin, const Options& o)
{
    std::string error;
    plugin.prepare(o.rate, o.block);
    if (! applyState(plugin, o))
        return 1;
    plugin.resume();

    // Earlier cycles open, idle briefly and close, as a user flipping the
    // window does; the last one stays for the time asked and is looked at.
    size_t heapAfterFirst = 0;
    for (int cycle = 1; cycle < o.cycles; ++cycle)
    {
        EditorWindow window;
        if (! window.open(plugin, error))
        {
            std::cerr << "editor: " << error << " (cycle " << cycle << ")\n";
            return 1;
        }
        window.run(plugin, 20);
        window.close(plugin);
        if (cycle == 1)
            heapAfterFirst = heapInUse();
    }

    EditorWindow window;
    if (! window.open(plugin, error))
    {
        std::cerr << "editor: " << error << "\n";
        return 1;
    }
    window.run(plugin, int(o.seconds * 1000.0));
    std::cout << "editor open: " << window.getWidth() << "x" << window.getHeight() << ", "
              << window.countChildWindows() << " child window(s)\n";
    int status = 0;
    if (! o.screenshot.empty())
    {
        if (! window.runUntilSettled(plugin, 10000))
            std::cerr << "screenshot: the window was still changing after 10 s\n";
        if (window.saveScreenshot(o.screenshot, error))
            std::cout << "screenshot: " << o.screenshot << "\n";
        else
        {
            std::cerr << "screenshot: " << error << "\n";
            status = 1;
        }
    }
    if (o.closeWithEditor)
    {
        // As a host closing its project: the effect goes, its window after it.
        plugin.close();
        std::cout << "plug-in closed with its editor open\n";
        return status;
    }
    window.close(plugin);
    std::cout << "editor closed\n";
    // An allocator of its own (the address sanitizer's) keeps no figures
    // that mallinfo2 can give.
    if (o.cycles > 1 && heapAfterFirst == 0)
        std::cout << "heap in use: not known (the allocator gives no figures)\n";
    else if (o.cycles > 1)
        std::cout << "heap in use after " << o.cycles << " cycles: " << heapAfterFirst << " bytes after the first, "
                  << heapInUse() << " after the last\n";
    return status;
}
} // namespace

int main(int argc, char** argv)
{
    Options o;
    std::string error;
    if (! parseOptions(argc, argv, o, error))
    {
        std::cerr << "tavinor_host: " << error << "\n\n" << kUsage;
        return 2;
    }
    EditorWindow::prepareXlib(! o.xErrorsEnd);
    if (o.command == "help")
    {
        std::cout << kUsage;
        return 0;
    }
    static const char* const commands[] = { "info", "render", "save-chunk", "load-chunk", "editor", "validate" };
    if (std::find_if(std::begin(commands), std::end(commands), [&](const char* c) { return o.command == c; })
        == std::end(commands))
    {
        std::cerr << "tavinor_host: unknown command " << o.command << "\n\n" << kUsage;
        return 2;
    }

    PluginLibrary library;
    if (! library.load(o.plugin, error))
    {
        std::cerr << error << "\n";
        return 3;
    }

    if (o.command == "validate")
    {
        Validator::Options options;
        options.seed = o.seed;
        options.quick = o.quick;
        options.withEditor = o.withEditor;
        options.only = o.only;
        options.watchdogSeconds = o.watchdogSeconds;
        options.latencySwitchIndex = o.latencySwitchIndex;
        options.latencySwitchValue = o.latencySwitchValue;
        Validator validator(library, std::cout, options);
        return validator.run() == 0 ? 0 : 1;
    }

    auto plugin = PluginInstance::create(library, error);
    if (plugin == nullptr)
    {
        std::cerr << error << "\n";
        return 3;
    }

    int status = 0;
    if (o.command == "info")
    {
        plugin->prepare(o.rate, o.block);
        status = applyState(*plugin, o) ? 0 : 1;
        printInfo(*plugin);
    }
    else if (o.command == "render")
        status = render(*plugin, o);
    else if (o.command == "save-chunk")
    {
        if (o.positional.size() != 1)
            return 2;
        if (! applyState(*plugin, o))
            return 1;
        const auto chunk = plugin->getChunk();
        if (chunk.empty() || ! writeFile(o.positional[0], chunk))
        {
            std::cerr << "cannot save the chunk to " << o.positional[0] << "\n";
            status = 1;
        }
        else
            std::cout << "saved " << chunk.size() << " bytes to " << o.positional[0] << "\n";
    }
    else if (o.command == "load-chunk")
    {
        if (o.positional.size() != 1)
            return 2;
        Options withChunk = o;
        withChunk.chunkFile = o.positional[0];
        status = applyState(*plugin, withChunk) ? 0 : 1;
        printInfo(*plugin);
    }
    else if (o.command == "editor")
        status = editor(*plugin, o);

    plugin->close();
    return status;
}
