#pragma once

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
} // namespace TestHelpers
