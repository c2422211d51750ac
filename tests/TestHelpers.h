#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace TestHelpers
{
// A folder under the test program's temporary HOME, removed when the test ends.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();

    const juce::File& get() const { return folder; }
    juce::File getChild(const juce::String& name) const { return folder.getChildFile(name); }

private:
    juce::File folder;
};

// Delivers every message already waiting on the message queue (async updaters,
// callAsync work), since the tests run no message loop of their own.
void pumpMessages(int maxMessages = 1000);

juce::String readFile(const juce::File& f);

// Whether windows can be put on a screen (tests run under xvfb-run). Before the
// first window, it installs an X error handler that reports nothing and goes on,
// as hosts do: Xlib's own would end the program on the errors that a server
// without a window manager (Xvfb) gives for properties JUCE sets on windows.
bool prepareScreenForWindows();

// The source tree the test programs were built from.
juce::File sourceFolder();

// The build tree's top folder, found from the running test program
// (build/tests/<program>).
juce::File buildFolder();

struct ProgramResult
{
    int exitCode = -1;
    juce::String output;
};

// Runs a program of the build to its end and collects what it printed.
ProgramResult runProgram(const juce::StringArray& command, int timeoutMs = 300000);

// The project's command-line VST host, and a run of it with these arguments.
juce::File testHostProgram();
ProgramResult runTestHost(const juce::StringArray& arguments);

// The test host's validation suite run on plugin with these options; the
// editor check is left out when there is no display to open it on.
ProgramResult runValidation(const juce::File& plugin, const juce::StringArray& options = {});

// The samples of a WAV file (one the test host rendered, say) and its sample
// rate; no channels when the file cannot be read.
juce::AudioBuffer<float> readWav(const juce::File& file, double& sampleRate);
} // namespace TestHelpers
