#pragma once
// Kernel objects: a process-wide handle table (handles are never reused within a run),
// events with Win32 wait semantics, the calling thread's last error, the tick counter.
#include "platform/WinTypes.h"

#include <memory>
#include <vector>

// Base of every object a HANDLE can name. CloseHandle calls Close() once, then drops the
// table's reference; the object itself lives on while others still hold a shared_ptr.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    virtual void Close() {}
};

// An object the wait functions can wait on: a signalled flag that is either manual-reset
// (stays set until Reset) or auto-reset (cleared by the one wait that it satisfies).
// All waitable state is guarded by one process-wide lock, so a wait on several objects
// sees and consumes them atomically; a waiter blocks on its own condition variable and is
// woken only by the objects it waits on.
class WaitableObject : public KernelObject {
public:
    WaitableObject(bool manualReset, bool initialState);
    ~WaitableObject() override;

    void Signal();
    void Reset();
    bool IsSignalled() const;
    bool ManualReset() const { return manualReset_; }

private:
    friend struct WaitAccess;
    const bool manualReset_;
    bool signalled_;
    std::vector<void*> waiters_; // the waits currently blocked on this object
};

// The object behind CreateEventA.
class KernelEvent : public WaitableObject {
public:
    using WaitableObject::WaitableObject;
};

// Waits on objects directly (no handles): WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or
// WAIT_FAILED for an empty list, a null entry or a duplicate in a wait-all.
DWORD WaitForObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool waitAll,
                     DWORD milliseconds);

// Adds an object to the handle table and returns its new, never-reused handle.
HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> obj);
// The object behind a handle, or nullptr (and no error set) when the handle is not open.
std::shared_ptr<KernelObject> LookupKernelObject(HANDLE h);
template <class T> std::shared_ptr<T> LookupKernelObjectAs(HANDLE h)
{
    return std::dynamic_pointer_cast<T>(LookupKernelObject(h));
}

DWORD GetLastError();
void SetLastError(DWORD code);

struct SECURITY_ATTRIBUTES;
HANDLE CreateEventA(SECURITY_ATTRIBUTES* attrs, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE h);
BOOL ResetEvent(HANDLE h);
BOOL CloseHandle(HANDLE h);
DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32 like the Win32 counter.
DWORD GetTickCount();
// Sleep(0) yields the rest of the time slice.
void Sleep(DWORD milliseconds);
// A small number naming the calling thread, distinct for every thread of the run.
DWORD GetCurrentThreadId();

