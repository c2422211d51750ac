#include "vst/SharedMessageThread.h"

#include "core/AudioSafeUpdater.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <thread>

#include <dlfcn.h>
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
    bool stop = false; // under Loop::mutex
};

// What the library's thread and the host's threads share, for as long as the
// library is loaded.
struct Loop
{
    Loop() : wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    ~Loop()
    {
        // Instances left open when the library goes: their thread ends here.
        std::unique_ptr<Generation> last;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            last = std::move(current);
            if (last != nullptr)
                last->stop = true;
            changed.notify_all();
        }
        wake();
        if (last != nullptr && last->thread.joinable())
            last->thread.join();
        if (wakeFd >= 0)
            close(wakeFd);
    }

    // The library's thread sleeps in JUCE's wait for its messages, which
    // this descriptor ends too: for a pause and a stop.
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
    int pauses = 0;           // host-driven scopes and open editors
    bool dispatching = false; // the library's thread is inside JUCE's loop
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

// A display without a window manager lacks the atoms one makes. JUCE asks
// for these only if they exist, keeps the answer for as long as it runs and
// uses it unchecked: a window of ours would then send requests with atom 0,
// errors that end a host keeping Xlib's default handler. So they are made on
// the server (as any window manager or toolkit makes them) before JUCE asks,
// over a connection held until JUCE has its own: a server that loses its
// last client resets and forgets them.
class WindowManagerAtoms
{
public:
    WindowManagerAtoms()
    {
        // Where JUCE connects: the display named, else the first.
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == 0)
            name = ":0.0";
        // Loaded as JUCE loads it; left loaded, as JUCE will use it.
        static void* const x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (x11 == nullptr)
            return;
        using OpenDisplay = void* (*) (const char*);
        using InternAtoms = int (*)(void*, char**, int, int, unsigned long*);
        const auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
        const auto internAtoms = reinterpret_cast<InternAtoms>(dlsym(x11, "XInternAtoms"));
        closeDisplay = reinterpret_cast<CloseDisplay>(dlsym(x11, "XCloseDisplay"));
        if (openDisplay == nullptr || internAtoms == nullptr || closeDisplay == nullptr)
            return;
        display = openDisplay(name);
        if (display == nullptr)
            return;
        char* names[] = { const_cast<char*>("WM_PROTOCOLS"),        const_cast<char*>("WM_TAKE_FOCUS"),
                          const_cast<char*>("WM_DELETE_WINDOW"),    const_cast<char*>("_NET_WM_PING"),
                          const_cast<char*>("WM_CHANGE_STATE"),     const_cast<char*>("WM_STATE"),
                          const_cast<char*>("_NET_WM_WINDOW_TYPE"), const_cast<char*>("_NET_WM_STATE"),
                          const_cast<char*>("_NET_WM_STATE_HIDDEN") };
        unsigned long atoms[std::size(names)] = {};
        // Made where missing (only-if-exists false), in one round trip.
        internAtoms(display, names, static_cast<int>(std::size(names)), 0, atoms);
    }

    ~WindowManagerAtoms()
    {
        if (display != nullptr)
            closeDisplay(display);
    }

private:
    using CloseDisplay = int (*)(void*);
    CloseDisplay closeDisplay = nullptr;
    void* display = nullptr;
};

void makeCalls(const std::vector<SharedMessageThread::HostCall>& calls)
{
    for (const auto& c : calls)
        if (c.host != nullptr)
            c.host(c.effect, c.opcode, c.index, c.value, nullptr, c.opt);
}

void runLoop(Generation* generation)
{
    auto& l = loop();
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

        // Sleeps until a message comes or the descriptor is written to, then
        // dispatches what came. It never calls the host: what is owed to the
        // host waits for a thread of the host's (see the header).
        l.dispatching = true;
        lock.unlock();
        juce::dispatchNextMessageOnSystemQueue(false);
        lock.lock();
        l.dispatching = false;
        l.changed.notify_all();
    }
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

    {
        const WindowManagerAtoms atoms;
        // JUCE starts on the host's thread, which is the message thread until
        // the library's thread takes over; its display connection is made
        // (with the desktop) while the atoms are held.
        juceInitialiser = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
        juce::Desktop::getInstance();
    }

    auto& l = loop();
    if (l.wakeFd >= 0)
        juce::LinuxEventLoop::registerFdCallback(l.wakeFd, [](int) { loop().takeWake(); });
    const std::lock_guard<std::mutex> lock(l.mutex);
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
    {
        const std::lock_guard<std::mutex> lock(l.mutex);
        generation = std::move(l.current);
        generation->stop = true;
        l.changed.notify_all();
    }
    l.wake();
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
    // The host's audio paths post nothing: the calls wait for the host's
    // next call from its GUI side, as they do without a loop of the program's.
    if (foreign && ! AudioSafeUpdater::isInAudioScope())
    {
        foreignLoopCalls->triggerAsyncUpdate();
        return;
    }
    loop().hostCallsRequested.store(true);
}
