#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A window that counts WM_USER and can be told to post PostQuitMessage.
struct Counter {
    std::atomic<int> hits{0};
    HWND h = nullptr;
    Counter()
    {
        h = CreateWindowHandle(MakeWindowProc([this](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
            if (m == WM_USER)
                ++hits;
            if (m == WM_USER + 1)
                PostQuitMessage(static_cast<int>(wp));
            return 0;
        }));
    }
    ~Counter() { DestroyWindow(h); }

    // Has another thread post WM_USER after delayMs and waits for it in the event loop.
    void PostLaterAndWait(int delayMs)
    {
        std::thread poster([this, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            PostMessage(h, WM_USER, 0, 0);
        });
        DWORD deadline = EventLoopTicks() + 20000;
        while (hits == 0 && static_cast<int32_t>(deadline - EventLoopTicks()) > 0)
            WaitAndPumpMessages(deadline);
        poster.join();
    }
};

// A tick count that runs with real time but starts just before the counter wraps.
std::atomic<DWORD> gOffset{0};
DWORD ShiftedTicks() { return GetTickCount() + gOffset.load(); }

class EventLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        PumpMessages();
        WaitForMainThreadWake(EventLoopTicks());  // forget a wake-up left by an earlier test
    }
    void TearDown() override { SetEventLoopClock(nullptr); }
};

TEST_F(EventLoop, DelayReturnsAtTheDeadlineAndServesTimersMeanwhile)
{
    Counter c;
    std::atomic<int> ticks{0};
    HWND t = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_TIMER)
            ++ticks;
    });
    SetTimer(t, 1, 50, nullptr);
    DWORD start = EventLoopTicks();
    auto t0 = Clock::now();
    DelayWithMessages(400);
    EXPECT_GE(static_cast<int32_t>(EventLoopTicks() - start), 400);
    EXPECT_LT(MsSince(t0), 4000);
    // The 50 ms timer ran during the delay (at least a few times, whatever the load).
    EXPECT_GE(ticks.load(), 2);
    DeallocateHWnd(t);
}

TEST_F(EventLoop, DeadlineAcrossTheTickWrapIsNeitherPastNorFar)
{
    gOffset = 0xFFFFFF38u - GetTickCount();  // 200 ms before the wrap
    SetEventLoopClock(&ShiftedTicks);
    DWORD start = EventLoopTicks();
    auto t0 = Clock::now();
    DelayWithMessages(400);
    DWORD end = EventLoopTicks();
    EXPECT_GE(MsSince(t0), 390);
    EXPECT_LT(MsSince(t0), 4000);
    EXPECT_LT(end, start);  // the counter did wrap during the wait
}

TEST_F(EventLoop, PostFromAnotherThreadEndsTheWaitEarly)
{
    Counter c;
    auto t0 = Clock::now();
    c.PostLaterAndWait(100);
    EXPECT_EQ(c.hits.load(), 1);
    EXPECT_LT(MsSince(t0), 10000);
}

std::atomic<int> gHookRuns{0};
std::atomic<bool> gHookHasWork{false};
bool CountingHook()
{
    if (!gHookHasWork.exchange(false))
        return false;
    ++gHookRuns;
    return true;
}

TEST_F(EventLoop, WakeMainThreadRunsTheHooks)
{
    gHookRuns = 0;
    AddMessagePumpHook(&CountingHook);
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gHookHasWork = true;
        WakeMainThread();
    });
    DWORD deadline = EventLoopTicks() + 20000;
    while (gHookRuns == 0 && static_cast<int32_t>(deadline - EventLoopTicks()) > 0)
        WaitAndPumpMessages(deadline);
    waker.join();
    RemoveMessagePumpHook(&CountingHook);
    EXPECT_EQ(gHookRuns.load(), 1);
    gHookHasWork = true;
    PumpMessages();
    EXPECT_EQ(gHookRuns.load(), 1);  // removed hooks are not called
}

TEST_F(EventLoop, RunMessageLoopEndsWithTheQuitCode)
{
    Counter c;
    PostMessage(c.h, WM_USER, 0, 0);
    PostMessage(c.h, WM_USER + 1, 3, 0);
    EXPECT_EQ(RunMessageLoop(), 3);
    EXPECT_EQ(c.hits.load(), 1);

    std::thread quitter([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostQuitMessage(11);
    });
    EXPECT_EQ(RunMessageLoop(), 11);
    quitter.join();

    int fromOther = 0;
    std::thread([&] { fromOther = RunMessageLoop(); }).join();
    EXPECT_EQ(fromOther, -1);
}

TEST_F(EventLoop, WaitForWakeReportsWakeOrTimeout)
{
    auto t0 = Clock::now();
    EXPECT_FALSE(WaitForMainThreadWake(EventLoopTicks() + 100));
    EXPECT_GE(MsSince(t0), 90);
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        WakeMainThread();
    });
    EXPECT_TRUE(WaitForMainThreadWake(EventLoopTicks() + 20000));
    waker.join();
}

// The toolkit's loop: the wait blocks inside it and a post from another thread must still
// end the wait, and the toolkit's own events must be served.
TEST(EventLoopWithQt, PostFromAnotherThreadWakesTheToolkitWait)
{
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "platform_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    PumpMessages();

    Counter c;
    bool qtTimerRan = false;
    QTimer::singleShot(20, [&] { qtTimerRan = true; });
    auto t0 = Clock::now();
    c.PostLaterAndWait(200);
    EXPECT_EQ(c.hits.load(), 1);
    EXPECT_TRUE(qtTimerRan);
    EXPECT_LT(MsSince(t0), 10000);

    // The deadline alone also ends a wait inside the toolkit's loop.
    DWORD start = EventLoopTicks();
    DelayWithMessages(150);
    EXPECT_GE(static_cast<int32_t>(EventLoopTicks() - start), 150);
}

} // namespace
