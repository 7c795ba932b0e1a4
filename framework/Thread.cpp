#include "framework/Thread.h"

#include "framework/SysUtils.h"
#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/Messages.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

QM_CLASS_IMPL(TThread, TObject)

namespace {
// The handle of a thread: signalled once the thread has ended; SetEvent does not apply.
class ThreadEndObject : public WaitableObject {
public:
    ThreadEndObject() : WaitableObject(true, false) {}
};

struct SyncCall {
    TThreadMethod Method;
    bool Done = false;
};

std::mutex gSyncLock;
std::condition_variable gSyncArrived; // a call was queued (for CheckSynchronize's timeout)
std::condition_variable gSyncDone;    // a call has run (for the blocked callers)
std::deque<std::shared_ptr<SyncCall>> gSyncQueue;

std::mutex gHandlerLock;
std::function<void(std::exception_ptr)> gHandler;

std::string MessageOf(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const Exception& x) {
        return x.Message;
    } catch (const std::exception& x) {
        return x.what();
    } catch (...) {
        return "Unknown exception";
    }
}

void Enqueue(const std::shared_ptr<SyncCall>& call)
{
    {
        std::lock_guard<std::mutex> g(gSyncLock);
        gSyncQueue.push_back(call);
    }
    gSyncArrived.notify_all();
    // Wakes the GUI thread in its event loop or in a thread wait alike.
    WakeMainThread();
}

bool CheckSynchronizeHook() { return CheckSynchronize(0); }
// On the main thread the method runs at once (no call to wait for); elsewhere it is queued
// for the main thread and the queued call is returned.
std::shared_ptr<SyncCall> RunOrEnqueue(TThreadMethod& Method)
{
    if (!Method)
        return nullptr;
    if (IsMainThread()) {
        Method();
        return nullptr;
    }
    auto call = std::make_shared<SyncCall>();
    call->Method = std::move(Method);
    Enqueue(call);
    return call;
}

} // namespace

struct TThread::State {
    std::shared_ptr<WaitableObject> StartGate = std::make_shared<KernelEvent>(true, false);
    std::shared_ptr<WaitableObject> IdReady = std::make_shared<KernelEvent>(true, false);
    std::shared_ptr<WaitableObject> End = std::make_shared<ThreadEndObject>();
    std::atomic<bool> Started{false};
    std::atomic<bool> Abandoned{false};
    std::atomic<bool> Terminated{false};
    std::atomic<bool> Finished{false};
    std::atomic<DWORD> Id{0};
    std::thread Worker;
};

TThread::TThread(bool CreateSuspended) : state_(std::make_shared<State>())
{
    handle_ = RegisterKernelObject(state_->End);
    // The OS thread exists from here on (it has an id) but runs Execute only once started.
    state_->Worker = std::thread([st = state_, self = this] {
        st->Id = GetCurrentThreadId();
        st->IdReady->Signal();
        WaitForObjects({st->StartGate}, false, INFINITE);
        if (st->Abandoned) {
            st->Finished = true;
            st->End->Signal();
            WakeMainThread();
            return;
        }
        self->Run();
    });
    WaitForObjects({state_->IdReady}, false, INFINITE);
    threadId_ = state_->Id;
    if (!CreateSuspended)
        Start();
}

TThread::~TThread()
{
    StopAndWait();
    CloseHandle(handle_);
}

void TThread::Start()
{
    if (state_->Started.exchange(true))
        return;
    state_->StartGate->Signal();
}

void TThread::Terminate()
{
    state_->Terminated = true;
    TerminatedSet();
}
bool TThread::Terminated() const { return state_->Terminated; }
bool TThread::Finished() const { return state_->Finished; }

std::string TThread::FatalExceptionMessage() const
{
    return FatalException ? MessageOf(FatalException) : std::string();
}

void TThread::Run()
{
    try {
        Execute();
    } catch (...) {
        FatalException = std::current_exception();
    }
    try {
        DoTerminate();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    const bool freeIt = FreeOnTerminate;
    auto st = state_;
    st->Finished = true;
    // From here on the owner may destroy this object, unless it frees itself.
    st->End->Signal();
    WakeMainThread();
    if (freeIt)
        FreeObject(this);
}

void TThread::DoTerminate()
{
    if (OnTerminate)
        Synchronize([this] { OnTerminate(this); });
}

DWORD TThread::WaitFor()
{
    if (GetCurrentThreadId() == threadId_)
        throw EThread("Thread cannot wait for itself");
    if (IsMainThread()) {
        // Keep serving the calls and sent messages a worker may be blocked on, or it could
        // never finish. The ending thread wakes the GUI thread too, so no end goes unseen.
        for (;;) {
            CheckSynchronize();
            DispatchSentMessages();
            if (state_->End->IsSignalled())
                break;
            WaitForMainThreadWake(EventLoopTicks() + 1000);
        }
    } else {
        WaitForObjects({state_->End}, false, INFINITE);
    }
    return ReturnValue;
}

void TThread::StopAndWait() noexcept
{
    auto st = state_;
    if (!st->Started && !st->Finished) {
        st->Abandoned = true;
        st->Terminated = true;
        st->Started = true;
        st->StartGate->Signal();
    } else {
        st->Terminated = true;
    }
    if (st->Worker.get_id() == std::this_thread::get_id()) {
        // Freed by its own thread (FreeOnTerminate): nobody to wait for.
        st->Worker.detach();
        return;
    }
    try {
        if (!st->Finished)
            WaitFor();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    WaitForObjects({st->End}, false, INFINITE);
    if (st->Worker.joinable())
        st->Worker.join();
}

void TThread::Synchronize(TThread*, TThreadMethod Method)
{
    auto call = RunOrEnqueue(Method);
    if (!call)
        return;
    std::unique_lock<std::mutex> g(gSyncLock);
    gSyncDone.wait(g, [&] { return call->Done; });
}

void TThread::Queue(TThread*, TThreadMethod Method)
{
    RunOrEnqueue(Method);
}

bool CheckSynchronize(int timeoutMs)
{
    if (!IsMainThread())
        return false;
    std::deque<std::shared_ptr<SyncCall>> batch;
    {
        std::unique_lock<std::mutex> g(gSyncLock);
        if (timeoutMs > 0)
            gSyncArrived.wait_for(g, std::chrono::milliseconds(timeoutMs), [] { return !gSyncQueue.empty(); });
        batch.swap(gSyncQueue);
    }
    for (auto& call : batch) {
        try {
            call->Method();
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
        {
            std::lock_guard<std::mutex> g(gSyncLock);
            call->Done = true;
        }
        gSyncDone.notify_all();
    }
    return !batch.empty();
}

void SetApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler)
{
    std::lock_guard<std::mutex> g(gHandlerLock);
    gHandler = std::move(handler);
}

void HandleApplicationException(std::exception_ptr e)
{
    if (!e)
        return;
    std::function<void(std::exception_ptr)> h;
    {
        std::lock_guard<std::mutex> g(gHandlerLock);
        h = gHandler;
    }
    try {
        if (h) {
            h(e);
            return;
        }
    } catch (...) {
        e = std::current_exception();
    }
    std::fprintf(stderr, "%s\n", MessageOf(e).c_str());
}

void InitThreadSynchronization() { AddMessagePumpHook(&CheckSynchronizeHook); }
void DoneThreadSynchronization() { RemoveMessagePumpHook(&CheckSynchronizeHook); }
