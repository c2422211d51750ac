#pragma once

#include <juce_events/juce_events.h>

// The plug-in's own JUCE message loop. Linux hosts call the dispatcher from
// their own GUI thread and run no JUCE loop, so the library runs one on a
// thread of its own: held through a juce::SharedResourcePointer, it starts
// with the first instance and stops after the last. Dispatcher work that
// touches the GUI side takes a juce::MessageManagerLock against this thread.
//
// When this library already lives in a JUCE program with a message manager
// (the tests, a host built from these same sources) that program's loop is
// used and no thread is started.
class SharedMessageThread : private juce::Thread
{
public:
    SharedMessageThread();
    ~SharedMessageThread() override;

private:
    void run() override;

    juce::WaitableEvent loopStarted;
    juce::WaitableEvent quitPosted;
    bool ownsMessageManager = false;

    JUCE_DECLARE_NON_COPYABLE(SharedMessageThread)
};
