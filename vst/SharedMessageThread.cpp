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

    // Asked on the message thread itself: stopDispatchLoop called from here
    // would still touch the message manager after posting the quit message,
    // by which time the loop may have ended and deleted it.
    juce::MessageManager::callAsync([] { juce::MessageManager::getInstance()->stopDispatchLoop(); });
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

    juce::shutdownJuce_GUI();
}
