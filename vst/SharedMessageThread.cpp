#include "vst/SharedMessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace juce
{
// Defined in JUCE's Linux messaging code.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
// How long the library's thread sleeps when nothing is waiting: JUCE posts
// its messages without telling us, so the queue is looked at this often.
constexpr auto kIdlePoll = std::chrono::milliseconds(1);

// Messages dispatched by one effEditIdle at most, so that a flood of them
// cannot keep the host's thread from its own work.
constexpr int kMaxMessagesPerIdle = 1000;

// One run of the library's thread, from the first instance to the last.
struct Generation
{
    std::thread thread;
    bool stop = false;       // under Loop::mutex
    bool inHostCall = false; // under Loop::mutex
    std::atomic<bool> exited { false };
};

// What the library's thread and the host's threads share. It lives as long
// as the library: when the last instance closes while the thread is inside a
// call to the host, that thread cannot be waited for (the host may hold a
// lock the call waits on); it ends by itself when the call returns and is
// joined the next time a thread is started, or when the library goes.
struct Loop
{
    ~Loop()
    {
        std::vector<std::unique_ptr<Generation>> all;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            all = std::move(retired);
            if (current != nullptr)
            {
                current->stop = true;
                all.push_back(std::move(current));
            }
            changed.notify_all();
        }
        for (auto& g : all)
        {
            if (! g->thread.joinable())
                continue;
            if (g->exited.load())
                g->thread.join();
            else
                g->thread.detach();
        }
    }

    void joinFinishedThreads()
    {
        retired.erase(std::remove_if(retired.begin(), retired.end(),
                                     [](std::unique_ptr<Generation>& g) {
                                         if (! g->exited.load())
                                             return false;
                                         g->thread.join();
                                         return true;
                                     }),
                      retired.end());
    }

    // The library's thread dispatches nothing while a pause is held.
    void addPause()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ++pauses;
        changed.notify_all();
    }

    void removePause()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        --pauses;
        changed.notify_all();
    }

    // Every client's held calls, with the mutex held.
    void collectHostCalls(std::vector<SharedMessageThread::HostCall>& calls)
    {
        hostCallsRequested.store(false);
        for (auto* client : clients)
            client->takePendingHostCalls(calls);
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<Generation> current;
    std::vector<std::unique_ptr<Generation>> retired;
    int pauses = 0;           // host-driven scopes and open editors
    bool dispatching = false; // the library's thread is inside a message
    std::vector<SharedMessageThread::Client*> clients;
    std::atomic<bool> hostCallsRequested { false };

    // One host thread at a time acts as the message thread.
    std::recursive_mutex ownership;
};

Loop& loop()
{
    static Loop instance;
    return instance;
}

void makeCalls(const std::vector<SharedMessageThread::HostCall>& calls)
{
    for (const auto& c : calls)
        if (c.host != nullptr)
            c.host(c.effect, c.opcode, c.index, c.value, nullptr, c.opt);
}

void runLoop(Generation* generation)
{
    auto& l = loop();
    std::vector<SharedMessageThread::HostCall> calls;
    calls.reserve(256);

    std::unique_lock<std::mutex> lock(l.mutex);
    while (! generation->stop)
    {
        if (l.pauses > 0)
        {
            // A host thread is the message thread now; the role comes back
            // when the last scope or editor ends.
            l.changed.wait(lock);
            continue;
        }
        auto* messageManager = juce::MessageManager::getInstance();
        if (! messageManager->isThisTheMessageThread())
            messageManager->setCurrentThreadAsMessageThread();

        l.dispatching = true;
        lock.unlock();
        const bool dispatched = juce::dispatchNextMessageOnSystemQueue(true);
        lock.lock();
        l.dispatching = false;
        l.changed.notify_all();
        if (generation->stop || l.pauses > 0)
            continue;

        if (l.hostCallsRequested.load())
        {
            l.collectHostCalls(calls);
            generation->inHostCall = true;
            lock.unlock();
            makeCalls(calls);
            calls.clear();
            lock.lock();
            generation->inHostCall = false;
            continue;
        }

        if (! dispatched)
            l.changed.wait_for(lock, kIdlePoll);
    }
    generation->exited.store(true);
}
} // namespace

//==============================================================================
// In a program with its own JUCE loop, the held calls are made from it.
struct SharedMessageThread::ForeignLoopCalls : public juce::AsyncUpdater
{
    explicit ForeignLoopCalls(SharedMessageThread& o) : owner(o) {}
    ~ForeignLoopCalls() override { cancelPendingUpdate(); }
    void handleAsyncUpdate() override { owner.makePendingHostCalls(); }

    SharedMessageThread& owner;
};

SharedMessageThread::SharedMessageThread()
{
    if (juce::MessageManager::getInstanceWithoutCreating() != nullptr)
    {
        foreign = true;
        foreignLoopCalls = std::make_unique<ForeignLoopCalls>(*this);
        return;
    }

    // JUCE starts on the host's thread, which is the message thread until
    // the library's thread takes over.
    juceInitialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();

    auto& l = loop();
    const std::lock_guard<std::mutex> lock(l.mutex);
    l.joinFinishedThreads();
    l.current = std::make_unique<Generation>();
    l.current->thread = std::thread(runLoop, l.current.get());
}

SharedMessageThread::~SharedMessageThread()
{
    if (foreign)
    {
        foreignLoopCalls.reset();
        return;
    }

    auto& l = loop();
    std::unique_ptr<Generation> generation;
    bool canJoin = false;
    {
        std::unique_lock<std::mutex> lock(l.mutex);
        generation = std::move(l.current);
        generation->stop = true;
        l.changed.notify_all();
        // The message under way is waited for; a call to the host is not.
        l.changed.wait(lock, [&l] { return ! l.dispatching; });
        canJoin = ! generation->inHostCall;
        if (! canJoin)
            l.retired.push_back(std::move(generation));
    }
    if (canJoin)
        generation->thread.join();

    // JUCE ends on the thread that closes the last instance.
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    juceInitialiser.reset();
}

//==============================================================================
SharedMessageThread::HostDrivenScope::HostDrivenScope(SharedMessageThread& thread) : owner(thread)
{
    if (owner.foreign)
        return;
    auto& l = loop();
    l.ownership.lock();
    l.addPause();
    {
        std::unique_lock<std::mutex> lock(l.mutex);
        l.changed.wait(lock, [&l] { return ! l.dispatching; });
    }
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
}

SharedMessageThread::HostDrivenScope::~HostDrivenScope()
{
    if (owner.foreign)
        return;
    auto& l = loop();
    l.removePause();
    l.ownership.unlock();
}

SharedMessageThread::EditorHold::EditorHold(SharedMessageThread& thread) : owner(thread)
{
    if (! owner.foreign)
        loop().addPause();
}

SharedMessageThread::EditorHold::~EditorHold()
{
    if (! owner.foreign)
        loop().removePause();
}

//==============================================================================
void SharedMessageThread::dispatchPendingMessages()
{
    if (foreign)
        return;
    for (int i = 0; i < kMaxMessagesPerIdle; ++i)
        if (! juce::dispatchNextMessageOnSystemQueue(true))
            return;
}

void SharedMessageThread::makePendingHostCalls()
{
    auto& l = loop();
    std::vector<HostCall> calls;
    {
        const std::lock_guard<std::mutex> lock(l.mutex);
        l.collectHostCalls(calls);
    }
    makeCalls(calls);
}

void SharedMessageThread::addClient(Client* client)
{
    auto& l = loop();
    const std::lock_guard<std::mutex> lock(l.mutex);
    l.clients.push_back(client);
}

void SharedMessageThread::removeClient(Client* client)
{
    auto& l = loop();
    const std::lock_guard<std::mutex> lock(l.mutex);
    l.clients.erase(std::remove(l.clients.begin(), l.clients.end(), client), l.clients.end());
}

void SharedMessageThread::requestHostCalls()
{
    if (foreign)
    {
        foreignLoopCalls->triggerAsyncUpdate();
        return;
    }
    loop().hostCallsRequested.store(true);
}
