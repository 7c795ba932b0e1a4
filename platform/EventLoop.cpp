#include "platform/EventLoop.h"

#include "platform/Kernel.h"
#include "platform/Messages.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {
std::mutex gLock;
std::condition_variable gWake;
bool gWoken = false;
bool gQuit = false;
int gQuitCode = 0;
std::vector<bool (*)()> gHooks;
std::atomic<std::thread::id> gMain{std::this_thread::get_id()};
std::atomic<DWORD (*)()> gClock{nullptr};

// Milliseconds from now until t, by signed difference so that the counter may wrap.
int32_t Until(DWORD t) { return static_cast<int32_t>(t - EventLoopTicks()); }

// The toolkit's loop is used when it exists and runs on this thread.
bool QtOnThisThread()
{
    auto* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

bool TakeWake()
{
    std::lock_guard<std::mutex> g(gLock);
    bool woken = gWoken;
    gWoken = false;
    return woken;
}

// Blocks until woken, until a timer is due or until the deadline; returns at once when
// work is already waiting. -1 ms means no deadline of the caller's own.
void BlockUntilWork(bool hasDeadline, DWORD deadline)
{
    int64_t limit = hasDeadline ? std::max<int32_t>(Until(deadline), 0) : -1;
    DWORD due;
    if (NextTimerDue(due)) {
        int64_t toTimer = std::max<int32_t>(Until(due), 0);
        limit = limit < 0 ? toTimer : std::min(limit, toTimer);
    }
    if (limit == 0 || HasPendingMessages())
        return;

    if (QtOnThisThread()) {
        // A wake-up that arrives after this check still ends the wait below: the
        // dispatcher remembers a wakeUp() that comes while it is not yet blocked.
        if (TakeWake())
            return;
        QTimer deadlineTimer;
        if (limit > 0) {
            deadlineTimer.setSingleShot(true);
            deadlineTimer.setTimerType(Qt::PreciseTimer);
            deadlineTimer.start(static_cast<int>(std::min<int64_t>(limit, INT32_MAX)));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        TakeWake();
        return;
    }

    std::unique_lock<std::mutex> g(gLock);
    if (limit < 0)
        gWake.wait(g, [] { return gWoken; });
    else
        gWake.wait_for(g, std::chrono::milliseconds(limit), [] { return gWoken; });
    gWoken = false;
}
} // namespace

DWORD EventLoopTicks()
{
    auto clock = gClock.load();
    return clock ? clock() : GetTickCount();
}

void SetEventLoopClock(DWORD (*clock)()) { gClock.store(clock); }

void WakeMainThread()
{
    {
        std::lock_guard<std::mutex> g(gLock);
        gWoken = true;
    }
    gWake.notify_all();
    if (auto* app = QCoreApplication::instance()) {
        if (auto* dispatcher = QAbstractEventDispatcher::instance(app->thread()))
            dispatcher->wakeUp();
    }
}

void AddMessagePumpHook(bool (*hook)())
{
    std::lock_guard<std::mutex> g(gLock);
    gHooks.push_back(hook);
}

void RemoveMessagePumpHook(bool (*hook)())
{
    std::lock_guard<std::mutex> g(gLock);
    gHooks.erase(std::remove(gHooks.begin(), gHooks.end(), hook), gHooks.end());
}

void PumpMessages()
{
    if (!IsMainThread())
        return;
    DispatchSentMessages();
    std::vector<bool (*)()> hooks;
    {
        std::lock_guard<std::mutex> g(gLock);
        hooks = gHooks;
    }
    for (auto h : hooks)
        h();
    DispatchPostedMessages();
    DispatchDueTimers(EventLoopTicks());
    if (QtOnThisThread()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents();
    }
}

void WaitAndPumpMessages(DWORD deadline)
{
    if (!IsMainThread()) {
        // Nothing to pump here; still wait, so that a loop around this call cannot spin.
        int32_t left = Until(deadline);
        if (left > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
        return;
    }
    BlockUntilWork(true, deadline);
    PumpMessages();
}

void WaitAndPumpMessages()
{
    if (!IsMainThread()) {
        WaitAndPumpMessages(EventLoopTicks() + 1000);
        return;
    }
    BlockUntilWork(false, 0);
    PumpMessages();
}

bool WaitForMainThreadWake(DWORD deadline)
{
    std::unique_lock<std::mutex> g(gLock);
    int32_t left = Until(deadline);
    if (left > 0)
        gWake.wait_for(g, std::chrono::milliseconds(left), [] { return gWoken; });
    bool woken = gWoken;
    gWoken = false;
    return woken;
}

void DelayWithMessages(DWORD milliseconds)
{
    DWORD deadline = EventLoopTicks() + milliseconds;
    PumpMessages();
    while (Until(deadline) > 0)
        WaitAndPumpMessages(deadline);
}

int RunMessageLoop()
{
    if (!IsMainThread())
        return -1;
    for (;;) {
        {
            std::lock_guard<std::mutex> g(gLock);
            if (gQuit) {
                gQuit = false;
                return gQuitCode;
            }
        }
        WaitAndPumpMessages();
    }
}

void PostQuitMessage(int exitCode)
{
    {
        std::lock_guard<std::mutex> g(gLock);
        gQuit = true;
        gQuitCode = exitCode;
    }
    WakeMainThread();
}

bool IsMainThread() { return std::this_thread::get_id() == gMain.load(); }
void SetMainThread() { gMain.store(std::this_thread::get_id()); }
