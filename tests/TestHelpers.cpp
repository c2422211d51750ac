#include "TestHelpers.h"

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
} // namespace TestHelpers
