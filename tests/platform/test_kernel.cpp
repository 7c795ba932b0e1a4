#include "platform/Kernel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {
// Closes the handles a test opened, so a failing assertion leaks nothing into later tests.
struct Handles {
    std::vector<HANDLE> hs;
    HANDLE Event(bool manual, bool initial)
    {
        HANDLE h = CreateEventA(nullptr, manual, initial, nullptr);
        hs.push_back(h);
        return h;
    }
    ~Handles()
    {
        for (HANDLE h : hs)
            CloseHandle(h);
    }
};

class CountingObject : public KernelObject {
public:
    explicit CountingObject(std::atomic<int>& closes) : closes_(closes) {}
    void Close() override { ++closes_; }

private:
    std::atomic<int>& closes_;
};
// Three threads wait on the event for up to timeoutMs; it is set after pauseMs. Returns how
// many of them it woke.
int WaitersWoken(HANDLE e, DWORD timeoutMs, DWORD pauseMs)
{
    std::atomic<int> woke{0};
    std::vector<std::thread> ts;
    for (int i = 0; i < 3; ++i)
        ts.emplace_back([&] {
            if (WaitForSingleObject(e, timeoutMs) == WAIT_OBJECT_0)
                ++woke;
        });
    if (pauseMs)
        Sleep(pauseMs);
    SetEvent(e);
    for (auto& t : ts)
        t.join();
    return woke.load();
}

} // namespace

TEST(KernelHandles, NeverReusedAndClosedOnce)
{
    std::atomic<int> closes{0};
    std::set<HANDLE> seen;
    for (int i = 0; i < 50; ++i) {
        HANDLE h = RegisterKernelObject(std::make_shared<CountingObject>(closes));
        ASSERT_NE(h, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(seen.insert(h).second) << "handle reused";
        EXPECT_NE(LookupKernelObject(h), nullptr);
        EXPECT_TRUE(CloseHandle(h));
        EXPECT_EQ(LookupKernelObject(h), nullptr);
    }
    EXPECT_EQ(closes.load(), 50);

    HANDLE h = RegisterKernelObject(std::make_shared<CountingObject>(closes));
    ASSERT_TRUE(CloseHandle(h));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(closes.load(), 51);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST(KernelHandles, ConcurrentRegistrationGivesDistinctHandles)
{
    std::atomic<int> closes{0};
    std::vector<std::vector<HANDLE>> got(4);
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                got[t].push_back(RegisterKernelObject(std::make_shared<CountingObject>(closes)));
        });
    for (auto& t : ts)
        t.join();
    std::set<HANDLE> all;
    for (auto& v : got)
        for (HANDLE h : v) {
            EXPECT_TRUE(all.insert(h).second);
            CloseHandle(h);
        }
    EXPECT_EQ(all.size(), 800u);
    EXPECT_EQ(closes.load(), 800);
}

TEST(KernelLastError, IsPerThread)
{
    SetLastError(42);
    DWORD other = 1;
    std::thread([&] {
        other = GetLastError();
        SetLastError(7);
    }).join();
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(GetLastError(), 42u);
}

TEST(KernelWait, LowestSignalledIndexWinsAndAutoResetIsConsumedOnce)
{
    Handles hs;
    HANDLE a = hs.Event(false, false);
    HANDLE b = hs.Event(false, true);
    HANDLE c = hs.Event(true, true);
    HANDLE list[] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 1);
    // b was consumed by that wait; c is manual-reset and stays signalled.
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 2);
    SetEvent(a);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_OBJECT_0 + 0);
    // Only a was consumed: b still waits for the next wait.
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
    ResetEvent(c);
    EXPECT_EQ(WaitForMultipleObjects(3, list, FALSE, 0), WAIT_TIMEOUT);
}

TEST(KernelWait, WaitAllConsumesAutoResetOnlyWhenAllAreSet)
{
    Handles hs;
    HANDLE a = hs.Event(false, true);
    HANDLE m = hs.Event(true, false);
    HANDLE list[] = {a, m};
    EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE, 0), WAIT_TIMEOUT);
    // The failed wait-all must not have taken a.
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    SetEvent(a);
    SetEvent(m);
    EXPECT_EQ(WaitForMultipleObjects(2, list, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
}

TEST(KernelWait, WaitAllBlocksUntilTheLastIsSet)
{
    Handles hs;
    HANDLE a = hs.Event(false, false);
    HANDLE b = hs.Event(false, false);
    HANDLE list[] = {a, b};
    std::atomic<DWORD> r{0xDEAD};
    std::thread t([&] { r = WaitForMultipleObjects(2, list, TRUE, 20000); });
    SetEvent(a);
    Sleep(30);
    EXPECT_EQ(r.load(), 0xDEADu);
    SetEvent(b);
    t.join();
    EXPECT_EQ(r.load(), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
}

TEST(KernelWait, TimeoutsAndBadArguments)
{
    Handles hs;
    HANDLE a = hs.Event(true, false);
    DWORD t0 = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(a, 60), WAIT_TIMEOUT);
    EXPECT_GE(static_cast<DWORD>(GetTickCount() - t0), 55u);

    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(0, &a, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    std::vector<HANDLE> many(65, a);
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(65, many.data(), FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(closed);
    HANDLE list[] = {a, closed};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, list, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(SetEvent(closed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // Not an event: SetEvent refuses it, waits fail on a non-waitable object.
    std::atomic<int> closes{0};
    HANDLE plain = RegisterKernelObject(std::make_shared<CountingObject>(closes));
    EXPECT_FALSE(SetEvent(plain));
    EXPECT_EQ(WaitForSingleObject(plain, 0), WAIT_FAILED);
    CloseHandle(plain);
}

TEST(KernelWait, SetEventWakesABlockedWaiterAndOnlyOneTakesAnAutoResetEvent)
{
    Handles hs;
    EXPECT_EQ(WaitersWoken(hs.Event(false, false), 1500, 50), 1);
}

TEST(KernelWait, ManualResetReleasesEveryWaiter)
{
    Handles hs;
    EXPECT_EQ(WaitersWoken(hs.Event(true, false), 20000, 0), 3);
}

TEST(KernelWait, HandleClosedWhileWaitingDoesNotCrashTheWaiter)
{
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    auto obj = LookupKernelObjectAs<KernelEvent>(e);
    std::atomic<DWORD> r{0xDEAD};
    std::thread t([&] { r = WaitForSingleObject(e, 20000); });
    Sleep(30);
    EXPECT_TRUE(CloseHandle(e));
    // The waiter still holds the object; signalling it directly ends the wait.
    obj->Signal();
    t.join();
    EXPECT_EQ(r.load(), WAIT_OBJECT_0);
}

TEST(KernelTime, TickCountAdvancesAndSleepWaits)
{
    DWORD a = GetTickCount();
    Sleep(0);
    Sleep(40);
    DWORD d = GetTickCount() - a;
    EXPECT_GE(d, 35u);
    EXPECT_LT(d, 20000u);
}
