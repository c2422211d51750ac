#include "TestHelpers.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdlib>
#include <dlfcn.h>

namespace juce
{
// Defined in JUCE's Linux message loop; not declared in its public headers.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace TestHelpers
{
TempFolder::TempFolder()
    : folder(juce::File::getSpecialLocation(juce::File::userHomeDirectory)
                 .getNonexistentChildFile("test-folder", "", false))
{
    folder.createDirectory();
}

TempFolder::~TempFolder()
{
    folder.deleteRecursively();
}

void pumpMessages(int maxMessages)
{
    for (int i = 0; i < maxMessages; ++i)
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            break;
}

juce::String readFile(const juce::File& f)
{
    return f.loadFileAsString();
}

juce::File sourceFolder()
{
    return juce::File(TAVINOR_SOURCE_DIR);
}

juce::File buildFolder()
{
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getParentDirectory().getParentDirectory();
}

juce::File testHostProgram()
{
    return buildFolder().getChildFile("tools/testhost/tavinor_host");
}

ProgramResult runTestHost(const juce::StringArray& arguments)
{
    juce::StringArray command { testHostProgram().getFullPathName() };
    command.addArray(arguments);
    return runProgram(command);
}

ProgramResult runValidation(const juce::File& plugin, const juce::StringArray& options)
{
    juce::StringArray arguments { "validate", plugin.getFullPathName() };
    arguments.addArray(options);
    if (std::getenv("DISPLAY") == nullptr)
        arguments.add("--no-editor");
    return runTestHost(arguments);
}

bool prepareScreenForWindows()
{
    if (std::getenv("DISPLAY") == nullptr || juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return false;
    using Handler = int (*)(void*, void*);
    using SetHandler = Handler (*)(Handler);
    if (void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
        if (auto set = reinterpret_cast<SetHandler>(dlsym(x11, "XSetErrorHandler")))
            set([](void*, void*) { return 0; });
    return true;
}

ProgramResult runProgram(const juce::StringArray& command, int timeoutMs)
{
    juce::ChildProcess process;
    ProgramResult result;
    if (!process.start(command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return result;
    result.output = process.readAllProcessOutput();
    process.waitForProcessToFinish(timeoutMs);
    result.exitCode = int(process.getExitCode());
    return result;
}

juce::AudioBuffer<float> readWav(const juce::File& file, double& sampleRate)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader(wav.createReaderFor(file.createInputStream().release(), true));
    if (reader == nullptr)
        return {};
    sampleRate = reader->sampleRate;
    juce::AudioBuffer<float> audio(int(reader->numChannels), int(reader->lengthInSamples));
    reader->read(&audio, 0, audio.getNumSamples(), 0, true, true);
    return audio;
}
} // namespace TestHelpers
