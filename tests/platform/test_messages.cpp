#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Log = std::vector<std::string>;

std::string Entry(const std::string& who, UINT msg) { return who + ":" + std::to_string(msg); }

// A subclassing procedure as a well-behaved component writes it: it remembers the
// procedure it replaced, forwards to it, and restores it only while it is still on top.
struct Subclass {
    Log& log;
    std::string name;
    HWND h = nullptr;
    WNDPROC previous;
    WNDPROC own;

    Subclass(Log& l, std::string n) : log(l), name(std::move(n))
    {
        own = MakeWindowProc([this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            log.push_back(Entry(name, m));
            return CallWindowProc(previous, w, m, wp, lp);
        });
    }
    void Install(HWND w)
    {
        h = w;
        previous = SetWindowLong(h, GWL_WNDPROC, own);
    }
    bool Remove()
    {
        if (GetWindowLong(h, GWL_WNDPROC) != own)
            return false;
        SetWindowLong(h, GWL_WNDPROC, previous);
        return true;
    }
};

class Messages : public ::testing::Test {
protected:
    void SetUp() override { PumpMessages(); }
    void TearDown() override
    {
        // The procedures refer to the test's locals, which are gone by now.
        auto quiet = MakeWindowProc([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        for (HWND h : windows_)
            if (IsWindow(h)) {
                SetWindowLong(h, GWL_WNDPROC, quiet);
                DestroyWindow(h);
            }
        SetEventLoopClock(nullptr);
        PumpMessages();
    }
    HWND Window(Log& log, const std::string& name = "base", LRESULT result = 0)
    {
        HWND h = CreateWindowHandle(MakeWindowProc([&log, name, result](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            log.push_back(Entry(name, m));
            if (m == WM_CLOSE || m == WM_SYSCOMMAND || m == WM_GETMINMAXINFO)
                return DefWindowProc(w, m, wp, lp);
            return result;
        }));
        windows_.push_back(h);
        return h;
    }
    // Who sees a WM_USER sent now.
    static Log Delivered(HWND h, Log& log)
    {
        log.clear();
        SendMessage(h, WM_USER, 0, 0);
        return log;
    }
    std::vector<HWND> windows_;
};

TEST_F(Messages, LastInstalledSubclassRunsFirstAndChainReachesTheWindow)
{
    Log log;
    HWND h = Window(log, "base", 77);
    Subclass a(log, "A"), b(log, "B");
    a.Install(h);
    b.Install(h);

    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 77);
    EXPECT_EQ(log, (Log{Entry("B", WM_USER), Entry("A", WM_USER), Entry("base", WM_USER)}));

    // Identity, not behaviour: an equal-looking procedure is a different one.
    EXPECT_EQ(GetWindowLong(h, GWL_WNDPROC), b.own);
    EXPECT_NE(GetWindowLong(h, GWL_WNDPROC), a.own);
    EXPECT_EQ(GetWindowLong(h, GWL_WNDPROC.Value), reinterpret_cast<LONG_PTR>(b.own.get()));

    EXPECT_TRUE(b.Remove());
    EXPECT_TRUE(a.Remove());
    EXPECT_EQ(Delivered(h, log), (Log{Entry("base", WM_USER)}));
}

TEST_F(Messages, RemovingAWrappedSubclassLeavesTheOuterOneWorking)
{
    Log log;
    HWND h = Window(log);
    Subclass a(log, "A"), b(log, "B");
    a.Install(h);
    b.Install(h);

    // A goes first although B wrapped it: A must leave B in place.
    EXPECT_FALSE(a.Remove());
    SendMessage(h, WM_USER, 0, 0);
    EXPECT_EQ(log, (Log{Entry("B", WM_USER), Entry("A", WM_USER), Entry("base", WM_USER)}));

    // B restores A's procedure, after which A can take itself out.
    EXPECT_TRUE(b.Remove());
    EXPECT_EQ(GetWindowLong(h, GWL_WNDPROC), a.own);
    EXPECT_TRUE(a.Remove());
    EXPECT_EQ(Delivered(h, log), (Log{Entry("base", WM_USER)}));
}

TEST_F(Messages, WindowLongSlotsAndInvalidArguments)
{
    Log log;
    HWND h = Window(log);
    EXPECT_EQ(SetWindowLong(h, GWL_USERDATA, 1234), 0);
    EXPECT_EQ(SetWindowLong(h, GWL_USERDATA, 99), 1234);
    EXPECT_EQ(GetWindowLong(h, GWL_USERDATA), 99);
    SetWindowLong(h, GWL_STYLE, WS_VSCROLL);
    EXPECT_EQ(GetWindowLong(h, GWL_STYLE), WS_VSCROLL);

    SetLastError(0);
    EXPECT_EQ(SetWindowLong(h, GWL_WNDPROC.Value, 5), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    WNDPROC before = GetWindowLong(h, GWL_WNDPROC);
    EXPECT_EQ(SetWindowLong(h, GWL_WNDPROC, WNDPROC{}), nullptr);
    EXPECT_EQ(GetWindowLong(h, GWL_WNDPROC), before);
    EXPECT_EQ(GetWindowLong(h, 12345), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(Messages, DestroyWindowRunsTheCurrentChainThenInvalidatesTheHandle)
{
    Log log;
    HWND h = Window(log);
    Subclass a(log, "A");
    a.Install(h);
    ASSERT_TRUE(PostMessage(h, WM_USER + 5, 0, 0));
    SetTimer(h, 1, 10, nullptr);

    EXPECT_TRUE(DestroyWindow(h));
    EXPECT_EQ(log, (Log{Entry("A", WM_DESTROY), Entry("base", WM_DESTROY), Entry("A", WM_NCDESTROY),
                        Entry("base", WM_NCDESTROY)}));
    EXPECT_FALSE(IsWindow(h));

    // The posted message and the timer died with the window.
    log.clear();
    PumpMessages();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(KillTimer(h, 1));

    SetLastError(0);
    EXPECT_EQ(SendMessage(h, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(0);
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(DestroyWindow(h));

    // A handle is never given out again.
    Log other;
    for (int i = 0; i < 50; ++i) {
        HWND n = Window(other);
        EXPECT_NE(n, h);
        DestroyWindow(n);
    }
}

TEST_F(Messages, DestroyingFromInsideWmDestroyDoesNotRecurse)
{
    int destroys = 0;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_DESTROY) {
            ++destroys;
            EXPECT_TRUE(IsWindow(w));
            DestroyWindow(w);
        }
        return 0;
    }));
    DestroyWindow(h);
    EXPECT_EQ(destroys, 1);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Messages, DefaultProcedureClosesAndLeavesMinMaxInfo)
{
    Log log;
    HWND h = Window(log);
    MINMAXINFO mmi;
    mmi.ptMinTrackSize = {120, 80};
    mmi.ptMaxTrackSize = {640, 480};
    SendMessage(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(mmi.ptMinTrackSize, (POINT{120, 80}));
    EXPECT_EQ(mmi.ptMaxTrackSize, (POINT{640, 480}));
    EXPECT_TRUE(IsWindow(h));

    // The close command becomes WM_CLOSE, whose default destroys the window.
    SendMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(log, (Log{Entry("base", WM_GETMINMAXINFO), Entry("base", WM_SYSCOMMAND), Entry("base", WM_CLOSE),
                        Entry("base", WM_DESTROY), Entry("base", WM_NCDESTROY)}));
}

TEST_F(Messages, AllocatedWindowCallsTheMethodWithTheRecord)
{
    std::vector<TMessage> seen;
    HWND h = AllocateHWnd([&](TMessage& m) {
        seen.push_back(m);
        if (m.Msg == WM_USER + 1)
            m.Result = static_cast<LRESULT>(m.WParam) * 2;
    });
    TMessage m{WM_USER + 1, 21, -3, 0};
    SendTMessage(h, m);
    EXPECT_EQ(m.Result, 42);
    DeallocateHWnd(h);
    EXPECT_FALSE(IsWindow(h));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].LParam, -3);
    EXPECT_EQ(seen[1].Msg, WM_DESTROY);
    EXPECT_EQ(seen[2].Msg, WM_NCDESTROY);
}

TEST_F(Messages, PostedMessagesKeepOrderAndNestedPumpsNeitherLoseNorRepeat)
{
    Log log;
    HWND h = Window(log);
    HWND nester = CreateWindowHandle(MakeWindowProc([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        log.push_back(Entry("nester", m));
        if (m == WM_USER) {
            PostMessage(h, WM_USER + 9, 0, 0);
            PumpMessages();  // a modal loop inside a handler
        }
        return 0;
    }));
    windows_.push_back(nester);
    PostMessage(h, WM_USER + 1, 0, 0);
    PostMessage(nester, WM_USER, 0, 0);
    PostMessage(h, WM_USER + 2, 0, 0);
    PostMessage(h, WM_USER + 3, 0, 0);
    PumpMessages();
    PumpMessages();
    // The nested pump takes the rest of the queue, then the message posted inside the handler.
    EXPECT_EQ(log, (Log{Entry("base", WM_USER + 1), Entry("nester", WM_USER), Entry("base", WM_USER + 2),
                        Entry("base", WM_USER + 3), Entry("base", WM_USER + 9)}));
}

TEST_F(Messages, AHandlerThatRepostsItselfCannotStarveThePump)
{
    int runs = 0;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER) {
            ++runs;
            PostMessage(w, WM_USER, 0, 0);
        }
        return 0;
    }));
    windows_.push_back(h);
    PostMessage(h, WM_USER, 0, 0);
    PumpMessages();
    EXPECT_EQ(runs, 1);
    PumpMessages();
    EXPECT_EQ(runs, 2);
    DestroyWindow(h);
}

TEST_F(Messages, PostsFromManyThreadsAllArriveInEachThreadsOrder)
{
    std::vector<std::pair<WPARAM, LPARAM>> got;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER)
            got.emplace_back(wp, lp);
        return 0;
    }));
    windows_.push_back(h);
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([=] {
            for (int i = 0; i < kEach; ++i)
                PostMessage(h, WM_USER, t, i);
        });
    for (auto& p : posters)
        p.join();
    PumpMessages();
    ASSERT_EQ(got.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<LPARAM> next(kThreads, 0);
    for (auto [t, i] : got)
        EXPECT_EQ(i, next[t]++);
}

TEST_F(Messages, SendFromAnotherThreadRunsOnTheGuiThread)
{
    std::thread::id handledOn;
    BOOL inSendCross = FALSE, inSendLocal = TRUE, inSendNested = TRUE;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_USER) {
            handledOn = std::this_thread::get_id();
            inSendCross = InSendMessage();
            inSendNested = static_cast<BOOL>(SendMessage(w, WM_USER + 1, 0, 0));
            return static_cast<LRESULT>(wp) + 1;
        }
        if (m == WM_USER + 1)
            return InSendMessage();
        if (m == WM_USER + 2)
            return InSendMessage();
        return 0;
    }));
    windows_.push_back(h);

    inSendLocal = static_cast<BOOL>(SendMessage(h, WM_USER + 2, 0, 0));
    auto answer = std::async(std::launch::async, [h] { return SendMessage(h, WM_USER, 41, 0); });
    DWORD giveUp = EventLoopTicks() + 20000;
    while (handledOn == std::thread::id() && static_cast<int32_t>(giveUp - EventLoopTicks()) > 0)
        WaitAndPumpMessages(giveUp);
    EXPECT_EQ(answer.get(), 42);
    EXPECT_EQ(handledOn, std::this_thread::get_id());
    EXPECT_TRUE(inSendCross);
    EXPECT_FALSE(inSendLocal);
    EXPECT_FALSE(inSendNested);  // the nested send comes from the GUI thread itself
    EXPECT_FALSE(InSendMessage());
}

TEST_F(Messages, ReplyMessageReleasesTheSenderBeforeTheHandlerEnds)
{
    std::promise<LRESULT> senderGot;
    auto got = senderGot.get_future();
    bool sawReplyWhileHandling = false;
    BOOL replyOutside = ReplyMessage(1);
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER + 1) {
            EXPECT_TRUE(ReplyMessage(5));
            EXPECT_TRUE(InSendMessage());
            // The sender runs on while this handler is still busy.
            sawReplyWhileHandling = got.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
            return 7;
        }
        return 0;
    }));
    windows_.push_back(h);
    std::thread sender([&] { senderGot.set_value(SendMessage(h, WM_USER + 1, 0, 0)); });
    DWORD giveUp = EventLoopTicks() + 10000;
    while (!sawReplyWhileHandling && static_cast<int32_t>(giveUp - EventLoopTicks()) > 0)
        WaitAndPumpMessages(EventLoopTicks() + 200);
    sender.join();
    EXPECT_FALSE(replyOutside);
    EXPECT_TRUE(sawReplyWhileHandling);
    EXPECT_EQ(got.get(), 5);
}

TEST_F(Messages, SenderIsReleasedWhenTheHandlerThrowsOrTheWindowIsGone)
{
    HWND thrower = CreateWindowHandle(MakeWindowProc([](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER)
            throw std::runtime_error("handler failed");
        return 0;
    }));
    Log log;
    HWND doomed = Window(log, "doomed", 9);
    windows_.push_back(thrower);

    // The sender's wake-up tells that its message is queued.
    WaitForMainThreadWake(EventLoopTicks());
    auto first = std::async(std::launch::async, [&] { return SendMessage(thrower, WM_USER, 0, 0); });
    ASSERT_TRUE(WaitForMainThreadWake(EventLoopTicks() + 20000));
    EXPECT_THROW(PumpMessages(), std::runtime_error);
    EXPECT_EQ(first.get(), 0);

    auto second = std::async(std::launch::async, [&] { return SendMessage(doomed, WM_USER, 0, 0); });
    ASSERT_TRUE(WaitForMainThreadWake(EventLoopTicks() + 20000));
    DestroyWindow(doomed);
    PumpMessages();
    EXPECT_EQ(second.get(), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), Entry("doomed", WM_USER)), 0);
}

// Timers are driven by a hand-set clock: PumpMessages never blocks, so the clock need not move.
std::atomic<DWORD> gFakeNow{0};
DWORD FakeNow() { return gFakeNow.load(); }

class Timers : public Messages {
protected:
    void SetUp() override
    {
        Messages::SetUp();
        gFakeNow = 1000;
        SetEventLoopClock(&FakeNow);
    }
    void At(DWORD t)
    {
        gFakeNow = t;
        PumpMessages();
    }
};

TEST_F(Timers, FireWhenDueOncePerDueTimeAndStopWhenKilled)
{
    std::vector<WPARAM> fired;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_TIMER)
            fired.push_back(wp);
        return 0;
    }));
    windows_.push_back(h);
    EXPECT_EQ(SetTimer(h, 7, 100, nullptr), 7u);
    At(1099);
    EXPECT_TRUE(fired.empty());
    At(1100);
    EXPECT_EQ(fired, (std::vector<WPARAM>{7}));
    // Several periods missed still give one WM_TIMER, not a burst.
    At(1550);
    EXPECT_EQ(fired.size(), 2u);
    At(1600);
    EXPECT_EQ(fired.size(), 2u);
    At(1650);
    EXPECT_EQ(fired.size(), 3u);

    // Setting it again restarts it with the new interval.
    SetTimer(h, 7, 500, nullptr);
    At(1700);
    EXPECT_EQ(fired.size(), 3u);
    At(2150);
    EXPECT_EQ(fired.size(), 4u);

    EXPECT_TRUE(KillTimer(h, 7));
    At(5000);
    EXPECT_EQ(fired.size(), 4u);
    EXPECT_FALSE(KillTimer(h, 7));
}

TEST_F(Timers, KillingOrDestroyingFromTheTimersOwnHandler)
{
    int firstRuns = 0, secondRuns = 0;
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_TIMER && wp == 1) {
            ++firstRuns;
            KillTimer(w, 1);
        }
        return 0;
    }));
    windows_.push_back(h);
    // A second window stands for a timer object that frees itself in its own event.
    HWND self = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_TIMER) {
            ++secondRuns;
            DestroyWindow(w);
        }
        return 0;
    }));
    SetTimer(h, 1, 50, nullptr);
    SetTimer(self, 3, 50, nullptr);
    At(1050);
    At(1100);
    At(1200);
    EXPECT_EQ(firstRuns, 1);
    EXPECT_EQ(secondRuns, 1);
    EXPECT_FALSE(IsWindow(self));
}

std::vector<std::pair<UINT_PTR, DWORD>> gCallbackRuns;
void TimerCallback(HWND, UINT msg, UINT_PTR id, DWORD now)
{
    EXPECT_EQ(msg, WM_TIMER);
    gCallbackRuns.emplace_back(id, now);
}

TEST_F(Timers, CallbackTimersWithoutAWindowAndAcrossTheTickWrap)
{
    gCallbackRuns.clear();
    gFakeNow = 0xFFFFFFF0u;
    UINT_PTR id = SetTimer(nullptr, 0, 100, &TimerCallback);
    ASSERT_NE(id, 0u);
    UINT_PTR other = SetTimer(nullptr, 0, 100, &TimerCallback);
    EXPECT_NE(other, id);
    KillTimer(nullptr, other);

    At(0xFFFFFFFFu);
    At(0x10);  // past the wrap, still before the due tick 0x54
    EXPECT_TRUE(gCallbackRuns.empty());
    At(0x54);
    ASSERT_EQ(gCallbackRuns.size(), 1u);
    EXPECT_EQ(gCallbackRuns[0], std::make_pair(id, DWORD{0x54}));
    KillTimer(nullptr, id);

    SetLastError(0);
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x7), 1, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Timers, NextDueTimeIsTheEarliestTimer)
{
    Log log;
    HWND h = Window(log);
    DWORD due = 0;
    SetTimer(h, 1, 300, nullptr);
    SetTimer(h, 2, 120, nullptr);
    ASSERT_TRUE(NextTimerDue(due));
    EXPECT_EQ(due, 1120u);
    KillTimer(h, 2);
    ASSERT_TRUE(NextTimerDue(due));
    EXPECT_EQ(due, 1300u);
}

} // namespace
