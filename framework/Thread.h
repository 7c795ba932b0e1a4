#pragma once
// Worker threads: a thread object whose body is Execute, calls run on the GUI thread
// (Synchronize, Queue), and a wait that keeps serving those calls.
#include "framework/System.h"
#include "framework/Types.h"
#include "platform/WinTypes.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

using TThreadMethod = std::function<void()>;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
    QM_CLASS(TThread, TObject)
public:
    // C++ has no step after the most derived constructor: a derived class creates the
    // thread suspended and calls Start at the end of its own constructor, since Execute
    // must not run before the object is complete.
    explicit TThread(bool CreateSuspended);
    // Terminates and waits for a thread still running; never throws. By the time it runs the
    // derived part is gone, so a derived class that was started stops the thread (its stop
    // event, or Terminate with TerminatedSet) and calls WaitFor in its own destructor.
    ~TThread() override;

    // Lets a thread created suspended run; does nothing once started.
    void Start();
    void Resume() { Start(); }
    void Terminate();
    bool Terminated() const;
    // Blocks until Execute has returned and gives ReturnValue. On the GUI thread the wait
    // keeps running synchronised calls. Raises EThread when called by the thread itself.
    DWORD WaitFor();
    bool Finished() const;
    // Signalled when the thread has ended; valid for the thread object's life.
    HANDLE Handle() const { return handle_; }
    DWORD ThreadID() const { return threadId_; }
    void SetPriority(TThreadPriority p) { priority_ = p; }

    bool FreeOnTerminate = false;
    // Runs on the GUI thread once Execute has returned.
    TNotifyEvent OnTerminate;
    // An exception that left Execute; the thread ended normally after it.
    std::exception_ptr FatalException;
    std::string FatalExceptionMessage() const;

    // Runs Method on the GUI thread and waits until it has run; on the GUI thread it runs at
    // once. An exception from Method (called from another thread) goes to the
    // application's exception handler, not back to the caller.
    static void Synchronize(TThread* Thread, TThreadMethod Method);
    // Like Synchronize, without waiting.
    static void Queue(TThread* Thread, TThreadMethod Method);

protected:
    virtual void Execute() = 0;
    virtual void DoTerminate();
    // Called by Terminate, on the terminating thread: wakes an Execute that blocks.
    virtual void TerminatedSet() {}
    void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
    void Queue(TThreadMethod Method) { Queue(this, std::move(Method)); }

    DWORD ReturnValue = 0;

private:
    struct State;
    void Run();
    void StopAndWait() noexcept;

    std::shared_ptr<State> state_;
    HANDLE handle_ = nullptr;
    DWORD threadId_ = 0;
    TThreadPriority priority_ = tpNormal;
};

// Runs the synchronised and queued calls waiting for the GUI thread; with timeoutMs > 0,
// first waits that long for one to arrive. True when it ran any. Only acts on the GUI thread.
bool CheckSynchronize(int timeoutMs = 0);

// Where exceptions go that nothing else may let through (synchronised calls, queued calls).
void SetApplicationExceptionHandler(std::function<void(std::exception_ptr)> handler);
void HandleApplicationException(std::exception_ptr e);

// The Classes module's start-up: makes the GUI thread's message pump run synchronised calls.
void InitThreadSynchronization();
void DoneThreadSynchronization();
