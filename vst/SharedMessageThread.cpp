#include "vst/SharedMessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
constexpr int kStopTimeoutMs = 10000;
}

SharedMessageThread::SharedMessageThread() : juce::Thread("Tavinor message thread")
{
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
        return;

    ownsMessageManager = true;
    startThread();
    loopStarted.wait();
}

SharedMessageThread::~SharedMessageThread()
{
    if (! ownsMessageManager)
        return;

    // Posting from this thread still touches the message queue after the
    // quit message is in it; the loop's thread deletes the message manager
    // only once the posting is over.
    juce::MessageManager::getInstance()->stopDispatchLoop();
    quitPosted.signal();
    stopThread(kStopTimeoutMs);
}

void SharedMessageThread::run()
{
    // The message manager is created here, so this thread is the message
    // thread from the start; it is also the one that deletes it again.
    juce::initialiseJuce_GUI();
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    loopStarted.signal();

    juce::MessageManager::getInstance()->runDispatchLoop();

    quitPosted.wait();
    juce::shutdownJuce_GUI();
}
