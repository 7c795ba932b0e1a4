#include "common/PtyPair.h"
#include "platform/Comm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// An open port on a fresh pty, with the overlapped record and events a test needs.
struct Port {
    PtyPair pty;
    HANDLE h = INVALID_HANDLE_VALUE;

    Port()
    {
        h = CreateFileA(pty.Win32Name().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    }
    ~Port()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    void Timeouts(DWORD interval, DWORD mult, DWORD constant, DWORD wmult = 0, DWORD wconst = 0)
    {
        COMMTIMEOUTS t{interval, mult, constant, wmult, wconst};
        ASSERT_TRUE(SetCommTimeouts(h, &t));
    }
    // Turns on XON/XOFF output flow control and has the far end send XOFF.
    void HoldOutputByXoff()
    {
        DCB d{};
        ASSERT_TRUE(GetCommState(h, &d));
        d.fOutX = 1;
        ASSERT_TRUE(SetCommState(h, &d));
        FlowControlByte('\x13');
    }
    // The far end sends XOFF or XON. The line takes the bytes in order: once a byte sent after
    // it has come in, it rules the output.
    void FlowControlByte(char c)
    {
        ASSERT_TRUE(pty.Send(std::string{c, '.'}));
        ASSERT_TRUE(WaitInQueue(1));
        ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR));
    }
    // Waits (event-driven) until the input queue holds at least n bytes.
    bool WaitInQueue(DWORD n)
    {
        DWORD old = 0;
        GetCommMask(h, &old);
        SetCommMask(h, EV_RXCHAR);
        HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        bool ok = false;
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            COMSTAT st{};
            DWORD errors = 0;
            ClearCommError(h, &errors, &st);
            if (st.cbInQue >= n) {
                ok = true;
                break;
            }
            OVERLAPPED ov{};
            ov.hEvent = ev;
            DWORD mask = 0;
            if (!WaitCommEvent(h, &mask, &ov)) {
                if (WaitForSingleObject(ev, 500) != WAIT_OBJECT_0)
                    CancelOverlapped(h, &ov);
            }
        }
        SetCommMask(h, old);
        CloseHandle(ev);
        return ok;
    }
};

struct Event {
    HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Event() { CloseHandle(h); }
    bool Signalled(DWORD ms = 0) const { return WaitForSingleObject(h, ms) == WAIT_OBJECT_0; }
};

// An overlapped record that signals its own event.
struct Overlapped : Event {
    OVERLAPPED ov{};
    Overlapped() { ov.hEvent = h; }
};

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace

TEST(CommOverlapped, ImmediateCompletionSetsTheEvent)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(p.pty.Send("abc"));
    ASSERT_TRUE(p.WaitInQueue(3));
    Overlapped ev;
    char buf[3];
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(p.h, buf, 3, &n, &ev.ov));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(buf, 3), "abc");
    EXPECT_TRUE(ev.Signalled());
    DWORD got = 0;
    EXPECT_TRUE(GetOverlappedResult(p.h, &ev.ov, &got, FALSE));
    EXPECT_EQ(got, 3u);
}

TEST(CommOverlapped, PendingIncompleteThenAbortedByPurge)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(0, 0, 0);  // wait for the full count
    Event ev;
    SetEvent(ev.h);  // the start of the call must reset it
    OVERLAPPED ov{};
    ov.hEvent = ev.h;
    char buf[10];
    DWORD n = 99;
    EXPECT_FALSE(ReadFile(p.h, buf, 10, &n, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(ev.Signalled());
    EXPECT_EQ(ov.Internal, STATUS_PENDING);
    DWORD got = 0;
    EXPECT_FALSE(GetOverlappedResult(p.h, &ov, &got, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    ASSERT_TRUE(p.pty.Send("xy"));
    EXPECT_FALSE(ev.Signalled(100));

    ASSERT_TRUE(PurgeComm(p.h, PURGE_RXABORT));
    EXPECT_TRUE(ev.Signalled(1000));
    EXPECT_FALSE(GetOverlappedResult(p.h, &ov, &got, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    // Bytes the aborted read had gathered are not lost.
    p.Timeouts(MAXDWORD, 0, 0);
    ASSERT_TRUE(p.WaitInQueue(2));
    OVERLAPPED ov2{};
    ASSERT_TRUE(ReadFile(p.h, buf, 10, &n, &ov2));
    EXPECT_EQ(std::string(buf, n), "xy");
}

TEST(CommOverlapped, ZeroedRecordAndImmediateFailure)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    OVERLAPPED zero{};
    DWORD got = 77;
    EXPECT_TRUE(GetOverlappedResult(p.h, &zero, &got, FALSE));
    EXPECT_EQ(got, 0u);

    Event ev;
    SetEvent(ev.h);
    OVERLAPPED ov{};
    ov.hEvent = ev.h;
    DWORD mask = 0;
    ASSERT_TRUE(SetCommMask(p.h, 0));
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &ov));  // no mask: nothing to wait for
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ev.Signalled());
}

TEST(CommOverlapped, DetachedRecordMayBeFreedInFlight)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(0, 0, 0);
    auto ov = std::make_unique<OVERLAPPED>();
    auto buf = std::make_unique<char[]>(10);
    Event ev;
    ov->hEvent = ev.h;
    EXPECT_FALSE(ReadFile(p.h, buf.get(), 10, nullptr, ov.get()));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(p.pty.Send("abc"));  // partly fills the read
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(CancelOverlapped(p.h, ov.get()));
    ov.reset();
    buf.reset();
    EXPECT_FALSE(CancelOverlapped(p.h, reinterpret_cast<OVERLAPPED*>(&p)));
    EXPECT_EQ(GetLastError(), ERROR_NOT_FOUND);
    ASSERT_TRUE(p.pty.Send("defghijklmn"));
    EXPECT_FALSE(ev.Signalled(100));
    // Everything that arrived, the detached read's share included, is still readable.
    p.Timeouts(MAXDWORD, 0, 0);
    ASSERT_TRUE(p.WaitInQueue(14));
    char out[32];
    DWORD n = 0;
    OVERLAPPED ov2{};
    ASSERT_TRUE(ReadFile(p.h, out, sizeof out, &n, &ov2));
    EXPECT_EQ(std::string(out, n), "abcdefghijklmn");

    // A detached write still goes out, unreported.
    auto wov = std::make_unique<OVERLAPPED>();
    ASSERT_TRUE(SetCommMask(p.h, EV_TXEMPTY));
    if (!WriteFile(p.h, "out", 3, nullptr, wov.get()))
        CancelOverlapped(p.h, wov.get());
    wov.reset();
    EXPECT_EQ(p.pty.Receive(3), "out");
}

TEST(CommOverlapped, WritesCopyTheCallersBytes)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    std::string text = "hello";
    OVERLAPPED ov{};
    DWORD n = 0;
    BOOL ok = WriteFile(p.h, text.data(), 5, &n, &ov);
    text = "XXXXX";
    if (!ok) {
        ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        ASSERT_TRUE(GetOverlappedResult(p.h, &ov, &n, TRUE));
    }
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(p.pty.Receive(5), "hello");
    // Without a record the calls block until done.
    ASSERT_TRUE(WriteFile(p.h, "sync", 4, &n, nullptr));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(p.pty.Receive(4), "sync");
}

TEST(CommTimeouts, ImmediateReturnWithWhatIsQueued)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(MAXDWORD, 0, 0);
    char buf[16];
    DWORD n = 5;
    OVERLAPPED ov{};
    auto t0 = Clock::now();
    ASSERT_TRUE(ReadFile(p.h, buf, sizeof buf, &n, &ov));
    EXPECT_EQ(n, 0u);
    EXPECT_LT(MsSince(t0), 500);
    ASSERT_TRUE(p.pty.Send("12345"));
    ASSERT_TRUE(p.WaitInQueue(5));
    ASSERT_TRUE(ReadFile(p.h, buf, 3, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "123");
    ASSERT_TRUE(ReadFile(p.h, buf, sizeof buf, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "45");
}

TEST(CommTimeouts, TotalIntervalAndFirstByteRules)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    char buf[64];
    DWORD n = 0;

    // Total: 10 x 20 + 100 ms, success with nothing.
    p.Timeouts(0, 20, 100);
    auto t0 = Clock::now();
    ASSERT_TRUE(ReadFile(p.h, buf, 10, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_GE(MsSince(t0), 280);
    EXPECT_LT(MsSince(t0), 3000);

    // Interval: the gap after the last byte ends the read, not the count.
    p.Timeouts(400, 0, 0);
    OVERLAPPED ov{};
    Event ev;
    ov.hEvent = ev.h;
    EXPECT_FALSE(ReadFile(p.h, buf, sizeof buf, nullptr, &ov));
    ASSERT_TRUE(p.pty.Send("ab"));
    EXPECT_FALSE(ev.Signalled(60));
    ASSERT_TRUE(ev.Signalled(3000));
    ASSERT_TRUE(GetOverlappedResult(p.h, &ov, &n, FALSE));
    EXPECT_EQ(std::string(buf, n), "ab");

    // First byte: waits up to the constant, then returns at once with what came.
    p.Timeouts(MAXDWORD, MAXDWORD, 300);
    t0 = Clock::now();
    ASSERT_TRUE(ReadFile(p.h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_GE(MsSince(t0), 250);
    p.Timeouts(MAXDWORD, MAXDWORD, 5000);
    OVERLAPPED ov2{};
    ov2.hEvent = ev.h;
    t0 = Clock::now();
    EXPECT_FALSE(ReadFile(p.h, buf, sizeof buf, nullptr, &ov2));
    ASSERT_TRUE(p.pty.Send("z"));
    ASSERT_TRUE(GetOverlappedResult(p.h, &ov2, &n, TRUE));
    EXPECT_EQ(std::string(buf, n), "z");
    EXPECT_LT(MsSince(t0), 3000);
}

TEST(CommTimeouts, WriteHeldByXoffEndsAtItsDeadline)
{
    // The deadline is multiplier x bytes + constant: 300 ms either way for 100 bytes.
    struct Limit {
        DWORD multiplier, constant;
    };
    for (Limit limit : {Limit{0, 300}, Limit{3, 0}}) {
        SCOPED_TRACE(testing::Message() << "multiplier " << limit.multiplier << ", constant " << limit.constant);
        Port p;
        ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
        p.Timeouts(MAXDWORD, 0, 0, limit.multiplier, limit.constant);
        p.HoldOutputByXoff();
        std::string big(100, 'w');
        OVERLAPPED ov{};
        Event ev;
        ov.hEvent = ev.h;
        auto t0 = Clock::now();
        DWORD n = 0;
        EXPECT_FALSE(WriteFile(p.h, big.data(), 100, &n, &ov));
        EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
        EXPECT_FALSE(ev.Signalled(100));
        ASSERT_TRUE(ev.Signalled(10000));
        EXPECT_GE(MsSince(t0), 250);
        ASSERT_TRUE(GetOverlappedResult(p.h, &ov, &n, FALSE));
        EXPECT_LT(n, 100u);
        // After XON the line works again and the dropped rest does not reappear, neither
        // before the next write nor between it and the one after.
        p.FlowControlByte('\x11');
        ASSERT_TRUE(WriteFile(p.h, "ok", 2, &n, nullptr));
        EXPECT_EQ(n, 2u);
        ASSERT_TRUE(WriteFile(p.h, ";", 1, &n, nullptr));
        EXPECT_EQ(p.pty.Receive(3), "ok;");
    }
}

TEST(CommEvents, MaskRulesAndHistory)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetCommMask(p.h, 0x2000));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ASSERT_TRUE(SetCommMask(p.h, EV_TXEMPTY));
    Overlapped ev;
    DWORD mask = 99;
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &ev.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    OVERLAPPED ov2{};
    DWORD mask2 = 0;
    EXPECT_FALSE(WaitCommEvent(p.h, &mask2, &ov2));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Data arrives while only TXEMPTY is watched: no completion, but it is remembered.
    ASSERT_TRUE(p.pty.Send("q"));
    EXPECT_FALSE(ev.Signalled(150));
    // Purging never cancels a pending wait.
    ASSERT_TRUE(PurgeComm(p.h, PURGE_TXABORT | PURGE_RXABORT));
    EXPECT_FALSE(ev.Signalled(50));
    // A new mask completes the pending wait with 0 ...
    ASSERT_TRUE(SetCommMask(p.h, EV_RXCHAR | EV_TXEMPTY));
    ASSERT_TRUE(ev.Signalled(1000));
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(p.h, &ev.ov, &n, FALSE));
    EXPECT_EQ(mask, 0u);
    // ... and the remembered arrival is delivered by the next wait, at once.
    ASSERT_TRUE(WaitCommEvent(p.h, &mask, &ev.ov));
    EXPECT_EQ(mask, EV_RXCHAR);
    EXPECT_TRUE(ev.Signalled());
}

TEST(CommEvents, EventCharAndTransmitEmpty)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    DCB d{};
    ASSERT_TRUE(GetCommState(p.h, &d));
    d.EvtChar = ';';
    ASSERT_TRUE(SetCommState(p.h, &d));
    ASSERT_TRUE(SetCommMask(p.h, EV_RXFLAG));
    Overlapped ev;
    DWORD mask = 0;
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &ev.ov));
    ASSERT_TRUE(p.pty.Send("abc"));
    EXPECT_FALSE(ev.Signalled(150));
    ASSERT_TRUE(p.pty.Send("IF;"));
    ASSERT_TRUE(ev.Signalled(2000));
    EXPECT_EQ(mask, EV_RXFLAG);

    ASSERT_TRUE(SetCommMask(p.h, EV_TXEMPTY));
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &ev.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(ev.Signalled(150));  // never without a write
    OVERLAPPED wov{};
    DWORD n = 0;
    if (!WriteFile(p.h, "FA;", 3, &n, &wov)) {
        ASSERT_TRUE(GetOverlappedResult(p.h, &wov, &n, TRUE));
    }
    ASSERT_TRUE(ev.Signalled(2000));
    EXPECT_EQ(mask, EV_TXEMPTY);
    EXPECT_EQ(p.pty.Receive(3), "FA;");
}

// The application's Send waits for EV_TXEMPTY to know its command has left the port.
TEST(CommEvents, TransmitEmptyOnlyOnceHeldBytesHaveLeft)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.HoldOutputByXoff();
    ASSERT_TRUE(SetCommMask(p.h, EV_TXEMPTY));
    Overlapped wait, write;
    DWORD mask = 0, n = 0;
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &wait.ov));
    EXPECT_FALSE(WriteFile(p.h, "ID;", 3, &n, &write.ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(wait.Signalled(300)) << "held by XOFF: nothing has left";
    EXPECT_FALSE(write.Signalled());
    ASSERT_TRUE(p.pty.Send("\x11"));
    ASSERT_TRUE(wait.Signalled(3000));
    EXPECT_EQ(mask, EV_TXEMPTY);
    ASSERT_TRUE(GetOverlappedResult(p.h, &write.ov, &n, TRUE));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(p.pty.Receive(3), "ID;");
}

TEST(CommEvents, SimulatedModemLines)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    DWORD status = 0;
    ASSERT_TRUE(GetCommModemStatus(p.h, &status));
    EXPECT_EQ(status, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    EXPECT_TRUE(EscapeCommFunction(p.h, SETDTR));
    EXPECT_TRUE(EscapeCommFunction(p.h, CLRRTS));
    EXPECT_FALSE(EscapeCommFunction(p.h, 42));
    ASSERT_TRUE(SetCommMask(p.h, EV_CTS | EV_RING));
    ASSERT_TRUE(SetSimulatedModemStatus(p.h, MS_DSR_ON | MS_RLSD_ON | MS_RING_ON));
    DWORD mask = 0;
    OVERLAPPED ov{};
    ASSERT_TRUE(WaitCommEvent(p.h, &mask, &ov));
    EXPECT_EQ(mask, EV_CTS | EV_RING);
    ASSERT_TRUE(GetCommModemStatus(p.h, &status));
    EXPECT_EQ(status, MS_DSR_ON | MS_RLSD_ON | MS_RING_ON);
}

TEST(CommInput, NulDiscardAndAllByteValues)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(MAXDWORD, 0, 0);
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    ASSERT_TRUE(p.pty.Send(all));
    ASSERT_TRUE(p.WaitInQueue(256));
    char buf[300];
    DWORD n = 0;
    OVERLAPPED ov{};
    ASSERT_TRUE(ReadFile(p.h, buf, sizeof buf, &n, &ov));
    EXPECT_EQ(std::string(buf, n), all);

    DCB d{};
    ASSERT_TRUE(GetCommState(p.h, &d));
    d.fNull = 1;
    ASSERT_TRUE(SetCommState(p.h, &d));
    ASSERT_TRUE(p.pty.Send(std::string("a\0b\0\0c", 6)));
    ASSERT_TRUE(p.WaitInQueue(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(ReadFile(p.h, buf, sizeof buf, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "abc");

    // Clearing the input drops what is queued.
    ASSERT_TRUE(p.pty.Send("junk"));
    ASSERT_TRUE(p.WaitInQueue(4));
    EXPECT_FALSE(PurgeComm(p.h, 0));
    EXPECT_FALSE(PurgeComm(p.h, 0x10));
    ASSERT_TRUE(PurgeComm(p.h, PURGE_RXCLEAR | PURGE_TXCLEAR));
    COMSTAT st{};
    DWORD errors = 0;
    ASSERT_TRUE(ClearCommError(p.h, &errors, &st));
    EXPECT_EQ(st.cbInQue, 0u);
    EXPECT_EQ(errors, 0u);
}

TEST(CommClose, CompletesPendingWorkWithoutBlocking)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(0, 0, 0, 0, 0);  // nothing ends these on its own
    p.HoldOutputByXoff();
    Event rev, wev, eev;
    OVERLAPPED rov{}, wov{}, eov{};
    rov.hEvent = rev.h;
    wov.hEvent = wev.h;
    eov.hEvent = eev.h;
    char buf[8];
    std::string big(8000, 'x');
    DWORD mask = 123;
    ASSERT_TRUE(SetCommMask(p.h, EV_RXFLAG));
    EXPECT_FALSE(ReadFile(p.h, buf, sizeof buf, nullptr, &rov));
    EXPECT_FALSE(WriteFile(p.h, big.data(), 8000, nullptr, &wov));
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &eov));
    auto t0 = Clock::now();
    HANDLE h = p.h;
    p.h = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_LT(MsSince(t0), 2000);
    EXPECT_TRUE(rev.Signalled());
    EXPECT_TRUE(wev.Signalled());
    EXPECT_TRUE(eev.Signalled());
    EXPECT_EQ(rov.Internal, 0xC0000120u);
    EXPECT_EQ(wov.Internal, 0xC0000120u);
    EXPECT_EQ(eov.Internal, 0u);
    EXPECT_EQ(mask, 0u);
    DWORD st = 0;
    EXPECT_FALSE(GetCommModemStatus(h, &st));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Purging and closing discard only output still queued: bytes a write has sent reach the
// far end even when the port is purged and closed at once, as the serial port's event thread
// does (a pseudo-terminal's flush would take them back).
TEST(CommClose, WhatAWriteSentStillArrives)
{
    PtyPair pty;
    // Held open, so that the far end sees no hang-up between the port's openings.
    const int hold = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(hold, 0);
    std::string sent;
    for (int i = 0; i < 300; ++i) {
        HANDLE h = CreateFileA(pty.Win32Name().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(h, "PS0;", 4, &written, nullptr));
        EXPECT_EQ(written, 4u);
        EXPECT_TRUE(PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR));
        EXPECT_TRUE(CloseHandle(h));
        sent += "PS0;";
    }
    EXPECT_EQ(pty.Receive(sent.size()), sent);
    ::close(hold);
}

TEST(CommHangUp, ReportsOnceAndDoesNotSpin)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(0, 0, 0);
    ASSERT_TRUE(SetCommMask(p.h, EV_ERR | EV_RXCHAR));
    Event rev, eev;
    OVERLAPPED rov{}, eov{};
    rov.hEvent = rev.h;
    eov.hEvent = eev.h;
    char buf[8];
    DWORD mask = 0;
    EXPECT_FALSE(ReadFile(p.h, buf, sizeof buf, nullptr, &rov));
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &eov));
    p.pty.CloseMaster();
    ASSERT_TRUE(rev.Signalled(2000));
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(p.h, &rov, &n, FALSE));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    ASSERT_TRUE(eev.Signalled(2000));
    EXPECT_EQ(mask, EV_ERR);

    DWORD errors = 0;
    COMSTAT st{};
    ASSERT_TRUE(ClearCommError(p.h, &errors, &st));
    EXPECT_EQ(errors & CE_IOE, CE_IOE);
    ASSERT_TRUE(ClearCommError(p.h, &errors, &st));
    EXPECT_EQ(errors, 0u);
    // EV_ERR came once: a new wait stays pending.
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &eov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(WriteFile(p.h, "x", 1, nullptr, &rov));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);

    double cpu0 = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(CpuSeconds() - cpu0, 0.2);

    HANDLE h = p.h;
    p.h = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_TRUE(eev.Signalled());
}

// Request/answer traffic in the shape the radio link uses: a pending write finished by
// EV_TXEMPTY, answers collected on EV_RXCHAR with immediate-return reads.
TEST(CommSoak, TwoThousandExchanges)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    p.Timeouts(MAXDWORD, 0, 0, 100, 1000);
    ASSERT_TRUE(SetCommMask(p.h, EV_RXCHAR | EV_TXEMPTY));
    constexpr int kCount = 2000;
    std::atomic<bool> stop{false};
    std::thread radio([&] {
        std::string pending;
        int answered = 0;
        while (!stop && answered < kCount) {
            pollfd pfd{p.pty.Master(), POLLIN, 0};
            if (::poll(&pfd, 1, 200) <= 0)
                continue;
            char b[256];
            ssize_t r = ::read(p.pty.Master(), b, sizeof b);
            if (r <= 0)
                break;
            pending.append(b, static_cast<size_t>(r));
            size_t semi;
            while ((semi = pending.find(';')) != std::string::npos) {
                std::string req = pending.substr(0, semi);
                pending.erase(0, semi + 1);
                // Answers come in two pieces to exercise partial arrival.
                std::string answer = "R" + req + ";";
                size_t half = answer.size() / 2;
                p.pty.Send(answer.substr(0, half));
                p.pty.Send(answer.substr(half));
                ++answered;
            }
        }
    });
    Event ev;
    int ok = 0;
    for (int i = 0; i < kCount; ++i) {
        std::string req = "Q" + std::to_string(i);
        std::string msg = req + ";";
        OVERLAPPED wov{};
        DWORD n = 0;
        if (!WriteFile(p.h, msg.data(), static_cast<DWORD>(msg.size()), &n, &wov)) {
            ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
        }
        bool sent = false;
        std::string answer;
        auto end = Clock::now() + std::chrono::seconds(5);
        while ((!sent || answer.find(';') == std::string::npos) && Clock::now() < end) {
            OVERLAPPED eov{};
            eov.hEvent = ev.h;
            DWORD mask = 0;
            if (!WaitCommEvent(p.h, &mask, &eov)) {
                ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
                if (WaitForSingleObject(ev.h, 5000) != WAIT_OBJECT_0) {
                    CancelOverlapped(p.h, &eov);
                    break;
                }
                ASSERT_TRUE(GetOverlappedResult(p.h, &eov, &n, FALSE));
            }
            if (mask & EV_TXEMPTY)
                sent = true;
            if (mask & EV_RXCHAR) {
                COMSTAT st{};
                DWORD errors = 0;
                ClearCommError(p.h, &errors, &st);
                std::string buf(st.cbInQue, '\0');
                OVERLAPPED rov{};
                if (st.cbInQue && ReadFile(p.h, buf.data(), st.cbInQue, &n, &rov))
                    answer.append(buf.data(), n);
            }
        }
        ASSERT_TRUE(sent) << "exchange " << i;
        ASSERT_EQ(answer, "R" + req + ";") << "exchange " << i;
        DWORD n2 = 0;
        EXPECT_TRUE(GetOverlappedResult(p.h, &wov, &n2, FALSE));
        EXPECT_EQ(n2, msg.size());
        ++ok;
    }
    stop = true;
    radio.join();
    EXPECT_EQ(ok, kCount);
}

TEST(CommFlow, XoffAtTheLimitXonWhenDrainedAnd80PercentEvent)
{
    Port p;
    ASSERT_NE(p.h, INVALID_HANDLE_VALUE);
    DCB d{};
    ASSERT_TRUE(GetCommState(p.h, &d));
    d.fInX = 1;
    d.XoffLim = 4096 - 100;  // hold the sender once 100 bytes wait
    d.XonLim = 10;
    ASSERT_TRUE(SetCommState(p.h, &d));
    p.Timeouts(MAXDWORD, 0, 0);
    ASSERT_TRUE(p.pty.Send(std::string(99, 'a')));
    ASSERT_TRUE(p.WaitInQueue(99));
    EXPECT_EQ(p.pty.Receive(1, 100), "");
    ASSERT_TRUE(p.pty.Send("b"));
    EXPECT_EQ(p.pty.Receive(1), "\x13");
    char buf[128];
    DWORD n = 0;
    OVERLAPPED ov{};
    ASSERT_TRUE(ReadFile(p.h, buf, 50, &n, &ov));
    EXPECT_EQ(p.pty.Receive(1, 100), "");  // 50 left: still above the release limit
    ASSERT_TRUE(ReadFile(p.h, buf, 45, &n, &ov));
    EXPECT_EQ(p.pty.Receive(1), "\x11");

    ASSERT_TRUE(PurgeComm(p.h, PURGE_RXCLEAR));
    d.fInX = 0;
    ASSERT_TRUE(SetCommState(p.h, &d));
    ASSERT_TRUE(SetCommMask(p.h, EV_RX80FULL));
    Overlapped ev;
    DWORD mask = 0;
    EXPECT_FALSE(WaitCommEvent(p.h, &mask, &ev.ov));
    ASSERT_TRUE(p.pty.Send(std::string(3000, 'c')));
    EXPECT_FALSE(ev.Signalled(100));
    ASSERT_TRUE(p.pty.Send(std::string(400, 'c')));
    ASSERT_TRUE(ev.Signalled(2000));
    EXPECT_EQ(mask, EV_RX80FULL);
}
