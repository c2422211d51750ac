#include "vst/SharedMessageThread.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace juce
{
// Defined in JUCE's Linux messaging code.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
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
    Loop() : wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

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
        wake();
        bool detached = false;
        for (auto& g : all)
        {
            if (! g->thread.joinable())
                continue;
            if (g->exited.load())
                g->thread.join();
            else
            {
                g->thread.detach();
                detached = true;
            }
        }
        // A thread left inside a call to the host may still write to it.
        if (wakeFd >= 0 && ! detached)
            close(wakeFd);
    }

    // The library's thread sleeps in JUCE's wait for its messages, which
    // this descriptor ends too: for held host calls, a pause and a stop.
    // A write takes no lock and allocates nothing, so the audio thread may wake it.
    void wake() const
    {
        if (wakeFd < 0)
            return;
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write(wakeFd, &one, sizeof(one));
    }

    void takeWake() const
    {
        uint64_t count = 0;
        [[maybe_unused]] const auto taken = read(wakeFd, &count, sizeof(count));
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
        wake();
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

    const int wakeFd;
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

        // Sleeps until a message comes or the descriptor is written to, then
        // dispatches what came.
        l.dispatching = true;
        lock.unlock();
        juce::dispatchNextMessageOnSystemQueue(false);
        lock.lock();
        l.dispatching = false;
        l.changed.notify_all();
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
    if (l.wakeFd >= 0)
        juce::LinuxEventLoop::registerFdCallback(l.wakeFd, [](int) { loop().takeWake(); });
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
        l.wake();
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
    if (l.wakeFd >= 0)
        juce::LinuxEventLoop::unregisterFdCallback(l.wakeFd);
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
    auto& l = loop();
    if (! l.hostCallsRequested.exchange(true))
        l.wake();
}
