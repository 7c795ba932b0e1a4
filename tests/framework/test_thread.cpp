#include "framework/Thread.h"

#include "framework/Modules.h"

#include "framework/SysUtils.h"
#include "platform/EventLoop.h"
#include "platform/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
class TFnThread : public TThread {
public:
    TFnThread(bool suspended, std::function<DWORD(TFnThread&)> body)
        : TThread(true), body_(std::move(body))
    {
        if (!suspended)
            Start();
    }
    ~TFnThread() override
    {
        // body_ is used by Execute: make sure it has finished before it goes.
        Terminate();
        if (!Finished() && executed_)
            WaitFor();
        if (destroyed_)
            destroyed_->Signal();
    }
    using TThread::Queue;
    using TThread::Synchronize;
    std::shared_ptr<WaitableObject> destroyed_;
    std::atomic<bool> executed_{false};

protected:
    void Execute() override
    {
        executed_ = true;
        ReturnValue = body_(*this);
    }

private:
    std::function<DWORD(TFnThread&)> body_;
};

// Collects what reaches the application's exception handler during one test.
struct HandlerCapture {
    std::vector<std::string> messages;
    HandlerCapture()
    {
        SetApplicationExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                messages.push_back(x.what());
            }
        });
    }
    ~HandlerCapture() { SetApplicationExceptionHandler(nullptr); }
};
} // namespace

TEST(Thread, RunsExecuteAndReportsTheEnd)
{
    ASSERT_TRUE(IsMainThread());
    std::atomic<DWORD> seenId{0};
    TFnThread t(false, [&](TFnThread&) {
        seenId = GetCurrentThreadId();
        return DWORD{42};
    });
    EXPECT_NE(t.ThreadID(), 0u);
    EXPECT_NE(t.ThreadID(), GetCurrentThreadId());
    EXPECT_EQ(t.WaitFor(), 42u);
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(seenId.load(), t.ThreadID());
    EXPECT_EQ(WaitForSingleObject(t.Handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(t.Handle(), 0), WAIT_OBJECT_0) << "manual reset";
    EXPECT_FALSE(SetEvent(t.Handle()));
    EXPECT_EQ(t.ClassName(), "TThread");
}

TEST(Thread, SuspendedThreadRunsOnlyWhenStarted)
{
    auto started = std::make_shared<KernelEvent>(true, false);
    TFnThread t(true, [&](TFnThread&) {
        started->Signal();
        return DWORD{1};
    });
    EXPECT_EQ(WaitForObjects({started}, false, 50), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(t.Handle(), 0), WAIT_TIMEOUT);
    t.Resume();
    EXPECT_EQ(t.WaitFor(), 1u);
    t.Start();
    EXPECT_TRUE(started->IsSignalled());
}

TEST(Thread, DestroyingANeverStartedThreadSkipsExecute)
{
    std::atomic<bool> ran{false};
    auto* t = new TFnThread(true, [&](TFnThread&) {
        ran = true;
        return DWORD{0};
    });
    HANDLE h = t->Handle();
    FreeObject(t);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(LookupKernelObject(h), nullptr) << "the handle is closed with the object";
}

TEST(Thread, DestructorTerminatesAndWaits)
{
    std::atomic<int> rounds{0};
    auto running = std::make_shared<KernelEvent>(true, false);
    auto* t = new TFnThread(false, [&](TFnThread& self) {
        auto never = std::make_shared<KernelEvent>(true, false);
        running->Signal();
        // A worker that checks Terminated between slices of work.
        while (!self.Terminated()) {
            ++rounds;
            WaitForObjects({never}, false, 10);
        }
        return DWORD{0};
    });
    ASSERT_EQ(WaitForObjects({running}, false, 20000), WAIT_OBJECT_0);
    FreeObject(t);
    int after = rounds.load();
    Sleep(20);
    EXPECT_EQ(rounds.load(), after) << "thread still running after destruction";
}

namespace {
// Blocks on its own stop event, as an event-watching thread does, and sets it on the way out.
class TStopEventThread : public TThread {
public:
    // A thread starts at the end of the most derived constructor: before that, the worker
    // could reach a virtual call while the object is still being built.
    explicit TStopEventThread(bool start = true) : TThread(true)
    {
        if (start)
            Start();
    }
    ~TStopEventThread() override
    {
        SetEvent(StopEvent);
        WaitFor();
    }
    HANDLE StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> stopped{false};

protected:
    void Execute() override
    {
        HANDLE h = StopEvent;
        WaitForSingleObject(h, INFINITE);
        CloseHandle(h);
        stopped = true;
    }
};

class TTerminatedSetThread : public TStopEventThread {
public:
    TTerminatedSetThread() : TStopEventThread(false) { Start(); }

protected:
    void TerminatedSet() override { SetEvent(StopEvent); }
};
} // namespace

TEST(Thread, FreeingAThreadThatWaitsOnItsOwnStopEventEnds)
{
    // Freeing must let the derived destructor stop the thread before anything waits.
    auto* t = new TStopEventThread;
    FreeObject(t);

    TTerminatedSetThread u;
    u.Terminate();
    u.WaitFor();
    EXPECT_TRUE(u.stopped.load());
}

TEST(Thread, SynchronizeDuringWaitForDoesNotDeadlock)
{
    std::vector<DWORD> ranOn;
    TFnThread t(false, [&](TFnThread& self) {
        for (int i = 0; i < 5; ++i)
            self.Synchronize([&] { ranOn.push_back(GetCurrentThreadId()); });
        return DWORD{7};
    });
    EXPECT_EQ(t.WaitFor(), 7u);
    ASSERT_EQ(ranOn.size(), 5u);
    for (DWORD id : ranOn)
        EXPECT_EQ(id, GetCurrentThreadId()) << "synchronised call ran off the main thread";
}

TEST(Thread, SynchronizeOnTheMainThreadRunsInline)
{
    bool ran = false;
    TThread::Synchronize(nullptr, [&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(CheckSynchronize());
    // Inline calls are the caller's own: their exceptions reach the caller.
    EXPECT_THROW(TThread::Synchronize(nullptr, [] { throw EAbort("x"); }), EAbort);
}

TEST(Thread, ExceptionInSynchronisedCallGoesToTheHandlerAndWorkerGoesOn)
{
    HandlerCapture handler;
    std::atomic<bool> continued{false};
    TFnThread t(false, [&](TFnThread& self) {
        self.Synchronize([] { throw EConvertError("bad value"); });
        continued = true;
        return DWORD{3};
    });
    EXPECT_EQ(t.WaitFor(), 3u);
    EXPECT_TRUE(continued.load());
    EXPECT_EQ(handler.messages, (std::vector<std::string>{"bad value"}));
    EXPECT_FALSE(t.FatalException);
}

TEST(Thread, ExceptionInExecuteIsKeptAndOnTerminateStillRuns)
{
    HandlerCapture handler;
    DWORD terminateRanOn = 0;
    TObject* sender = nullptr;
    TFnThread t(true, [&](TFnThread&) -> DWORD { throw EInOutError("disk gone"); });
    t.OnTerminate = TNotifyEvent([&](TObject* s) {
        sender = s;
        terminateRanOn = GetCurrentThreadId();
    });
    t.Start();
    t.WaitFor();
    ASSERT_TRUE(t.FatalException);
    EXPECT_EQ(t.FatalExceptionMessage(), "disk gone");
    EXPECT_THROW(std::rethrow_exception(t.FatalException), EInOutError);
    EXPECT_EQ(sender, &t);
    EXPECT_EQ(terminateRanOn, GetCurrentThreadId());
    EXPECT_TRUE(handler.messages.empty());
}

TEST(Thread, WaitForItselfFailsInsteadOfHanging)
{
    TFnThread t(false, [&](TFnThread& self) {
        self.WaitFor();
        return DWORD{0};
    });
    t.WaitFor();
    ASSERT_TRUE(t.FatalException);
    EXPECT_THROW(std::rethrow_exception(t.FatalException), EThread);
}

TEST(Thread, WaitForFromAnotherWorker)
{
    auto go = std::make_shared<KernelEvent>(true, false);
    TFnThread a(false, [&](TFnThread&) {
        WaitForObjects({go}, false, INFINITE);
        return DWORD{11};
    });
    std::atomic<DWORD> got{0};
    std::thread b([&] { got = a.WaitFor(); });
    go->Signal();
    b.join();
    EXPECT_EQ(got.load(), 11u);
}

TEST(Thread, FreeOnTerminateFreesItself)
{
    auto destroyed = std::make_shared<KernelEvent>(true, false);
    auto* t = new TFnThread(true, [](TFnThread&) { return DWORD{0}; });
    t->destroyed_ = destroyed;
    t->FreeOnTerminate = true;
    t->Start();
    EXPECT_EQ(WaitForObjects({destroyed}, false, 20000), WAIT_OBJECT_0);
}

TEST(Thread, DestroyWhileWorkerIsBlockedInSynchronize)
{
    auto inside = std::make_shared<KernelEvent>(true, false);
    bool ran = false;
    auto* t = new TFnThread(false, [&](TFnThread& self) {
        inside->Signal();
        self.Synchronize([&] { ran = true; });
        return DWORD{0};
    });
    ASSERT_EQ(WaitForObjects({inside}, false, 20000), WAIT_OBJECT_0);
    FreeObject(t);
    EXPECT_TRUE(ran);
}

TEST(ThreadQueue, QueuedCallsRunLaterInOrderThroughThePump)
{
    InitThreadSynchronization();
    std::vector<int> order;
    std::thread w([&] {
        TThread::Queue(nullptr, [&] { order.push_back(1); });
        TThread::Queue(nullptr, [&] { order.push_back(2); });
        EXPECT_FALSE(CheckSynchronize()) << "only the main thread runs them";
    });
    w.join();
    EXPECT_TRUE(order.empty());
    PumpMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    DoneThreadSynchronization();
    TThread::Queue(nullptr, [&] { order.push_back(3); });
    EXPECT_EQ(order.back(), 3) << "queued on the main thread runs at once";
}

TEST(ThreadQueue, CheckSynchronizeWaitsForACallToArrive)
{
    bool ran = false;
    std::thread w([&] {
        Sleep(30);
        TThread::Queue(nullptr, [&] { ran = true; });
    });
    bool any = false;
    for (int i = 0; i < 100 && !any; ++i)
        any = CheckSynchronize(200);
    w.join();
    EXPECT_TRUE(any);
    EXPECT_TRUE(ran);
}

namespace {
std::vector<std::string>& ModuleLog()
{
    static std::vector<std::string> log;
    return log;
}

std::vector<std::string> OwnModules(const std::vector<std::string>& names)
{
    std::vector<std::string> own;
    for (auto& n : names)
        if (n.rfind("T", 0) == 0 && n.size() == 2)
            own.push_back(n);
    return own;
}
} // namespace

// The registry is process-wide, so the whole life cycle is one test.
TEST(Modules, OrderNestingAndLateAdditions)
{
    ModuleLog().clear();
    AddModule({"TA", [] { ModuleLog().push_back("init A"); }, [] { ModuleLog().push_back("done A"); }});
    AddModule({"TB", [] { ModuleLog().push_back("init B"); }, [] { ModuleLog().push_back("done B"); }});
    AddModule({"TA", [] { ModuleLog().push_back("init A twice"); }, nullptr});
    AddModule({"TC", nullptr, [] { ModuleLog().push_back("done C"); }});

    char prog[] = "/usr/bin/quillmere";
    char* argv[] = {prog, nullptr};
    InitModules(1, argv);
    EXPECT_EQ(ModuleLog(), (std::vector<std::string>{"init A", "init B"}));
    auto names = InitializedModules();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "Translation");
    EXPECT_EQ(names[1], "Classes");
    EXPECT_EQ(OwnModules(names), (std::vector<std::string>{"TA", "TB", "TC"}));

    // A nested pair does nothing but count; a module added meanwhile runs on the next init.
    AddModule({"TD", [] { ModuleLog().push_back("init D"); }, [] { ModuleLog().push_back("done D"); }});
    InitModules(1, argv);
    EXPECT_EQ(ModuleLog().back(), "init D");
    FinalizeModules();
    EXPECT_EQ(ModuleLog().back(), "init D") << "inner FinalizeModules must not finalise";

    FinalizeModules();
    EXPECT_EQ(ModuleLog(), (std::vector<std::string>{"init A", "init B", "init D", "done D", "done C",
                                                "done B", "done A"}));
    EXPECT_TRUE(InitializedModules().empty());

    // Unbalanced extra finalisation is harmless; a new start runs everything again.
    FinalizeModules();
    ModuleLog().clear();
    InitModules(1, argv);
    EXPECT_EQ(ModuleLog(), (std::vector<std::string>{"init A", "init B", "init D"}));
    EXPECT_FALSE(RemoveModule("TA")) << "initialised modules stay";
    FinalizeModules();
    for (const char* n : {"TA", "TB", "TC", "TD"})
        EXPECT_TRUE(RemoveModule(n));
    EXPECT_FALSE(RemoveModule("TA"));
}

TEST(Modules, FailedInitialisationIsNotFinalised)
{
    ModuleLog().clear();
    AddModule({"TE", [] { ModuleLog().push_back("init E"); }, [] { ModuleLog().push_back("done E"); }});
    AddModule({"TF", [] { throw std::runtime_error("no"); }, [] { ModuleLog().push_back("done F"); }});
    EXPECT_THROW(InitModules(0, nullptr), std::runtime_error);
    auto names = InitializedModules();
    EXPECT_NE(std::find(names.begin(), names.end(), "TE"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "TF"), names.end());
    FinalizeModules();
    EXPECT_NE(std::find(ModuleLog().begin(), ModuleLog().end(), "done E"), ModuleLog().end());
    EXPECT_EQ(std::find(ModuleLog().begin(), ModuleLog().end(), "done F"), ModuleLog().end());
    EXPECT_TRUE(RemoveModule("TE"));
    EXPECT_TRUE(RemoveModule("TF"));
}
