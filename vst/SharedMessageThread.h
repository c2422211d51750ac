#pragma once

#include "vst/VstDefinitions.h"

#include <juce_events/juce_events.h>

#include <memory>
#include <vector>

// The plug-in's JUCE message thread. Linux hosts call the dispatcher from
// their own GUI thread and run no JUCE loop. While no editor is open, one
// thread of the library dispatches JUCE's messages: held through a
// juce::SharedResourcePointer, it starts with the first instance and stops
// after the last. While an editor is open, and for the length of each
// dispatcher call that touches the GUI side (a HostDrivenScope), the host's
// calling thread is the message thread instead: the library's thread pauses,
// and effEditIdle dispatches what is waiting.
//
// The library's thread never calls the host: a host's handler would run on a
// thread the host does not know, at a moment of the plug-in's choosing, in
// the middle of the host's own work (Ardour, told of a display update, marks
// its session changed and signals it, while it may be starting an export on
// its main thread). Calls that arise where the host did not call
// us (on a worker, on the audio thread inside a lock, or from JUCE's messages)
// are handed over as HostCalls, made on the host's own threads: at the end of
// the host's next call into the instance (VSTWrapper), after a block on the
// audio thread (automation), or when the host calls effEditIdle. So a host
// that serialises its dispatcher calls with a lock that its callback takes
// too never waits for us while we wait for it.
//
// In a program that already runs JUCE (the tests) that program's message
// thread is used: no thread is started, the scopes change nothing and the
// handed-over calls are made from that program's message loop.
class SharedMessageThread
{
public:
    // A call owed to the host, made later where it is safe.
    struct HostCall
    {
        audioMasterCallback host = nullptr;
        AEffect* effect = nullptr;
        VstInt32 opcode = 0;
        VstInt32 index = 0;
        VstIntPtr value = 0;
        float opt = 0.0f;
    };

    // An instance with host calls to hand over; asked with the library's
    // registry locked, so it cannot go away while it answers.
    class Client
    {
    public:
        virtual ~Client() = default;
        virtual void takePendingHostCalls(std::vector<HostCall>& calls) = 0;
    };

    SharedMessageThread();
    ~SharedMessageThread();

    // For its lifetime the calling thread is the message thread and the
    // library's thread dispatches nothing. Waits at most for the message the
    // library's thread is dispatching, which never calls the host. Host
    // threads take turns: one scope at a time, nested scopes allowed.
    class HostDrivenScope
    {
    public:
        explicit HostDrivenScope(SharedMessageThread& thread);
        ~HostDrivenScope();

    private:
        SharedMessageThread& owner;
        JUCE_DECLARE_NON_COPYABLE(HostDrivenScope)
    };

    // Held while an editor is open: the library's thread stays paused between
    // the host's calls too, and effEditIdle drives the messages.
    class EditorHold
    {
    public:
        explicit EditorHold(SharedMessageThread& thread);
        ~EditorHold();

    private:
        SharedMessageThread& owner;
        JUCE_DECLARE_NON_COPYABLE(EditorHold)
    };

    // Dispatches every message waiting; only inside a HostDrivenScope.
    void dispatchPendingMessages();

    // Makes every call the instances hold for the host, on the calling
    // thread (one of the host's), with nothing of ours locked.
    void makePendingHostCalls();

    void addClient(Client* client);
    void removeClient(Client* client);

    // Says that calls are held for the host. Takes no lock and allocates
    // nothing (but in a program with its own JUCE loop, whose message
    // thread then makes them, outside the host's audio paths), so the audio
    // thread may say so too.
    void requestHostCalls();

    // True when the program had its own JUCE message loop before us.
    bool usesProgramsMessageLoop() const noexcept { return foreign; }

private:
    struct ForeignLoopCalls;

    bool foreign = false;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juceInitialiser;
    std::unique_ptr<ForeignLoopCalls> foreignLoopCalls;

    JUCE_DECLARE_NON_COPYABLE(SharedMessageThread)
};
