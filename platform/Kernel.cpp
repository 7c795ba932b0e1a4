#include "platform/Kernel.h"

#include "platform/ScopeExit.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace {
// Guards the state of every waitable object and every waiter's registration.
std::mutex gWaitLock;

struct Waiter {
    std::condition_variable cv;
};

std::mutex gTableLock;
std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> gTable;
// Handles count up and are never reused, so a stale handle can never name a new object.
uintptr_t gNextHandle = 0x100;

thread_local DWORD tLastError = ERROR_SUCCESS;
} // namespace

struct WaitAccess {
    static bool& Signalled(WaitableObject& o) { return o.signalled_; }
    static std::vector<void*>& Waiters(WaitableObject& o) { return o.waiters_; }
};

WaitableObject::WaitableObject(bool manualReset, bool initialState)
    : manualReset_(manualReset), signalled_(initialState)
{
}

WaitableObject::~WaitableObject() = default;

void WaitableObject::Signal()
{
    std::lock_guard<std::mutex> g(gWaitLock);
    signalled_ = true;
    // Every interested waiter re-checks; for an auto-reset object the first one to run
    // consumes it and the others go back to sleep.
    for (void* w : waiters_)
        static_cast<Waiter*>(w)->cv.notify_one();
}

void WaitableObject::Reset()
{
    std::lock_guard<std::mutex> g(gWaitLock);
    signalled_ = false;
}

bool WaitableObject::IsSignalled() const
{
    std::lock_guard<std::mutex> g(gWaitLock);
    return signalled_;
}

namespace {
// Must be called with gWaitLock held. Consumes what the successful wait takes.
std::optional<DWORD> TrySatisfy(const std::vector<std::shared_ptr<WaitableObject>>& objs, bool waitAll)
{
    if (waitAll) {
        for (auto& o : objs)
            if (!WaitAccess::Signalled(*o))
                return std::nullopt;
        for (auto& o : objs)
            if (!o->ManualReset())
                WaitAccess::Signalled(*o) = false;
        return WAIT_OBJECT_0;
    }
    for (size_t i = 0; i < objs.size(); ++i) {
        if (WaitAccess::Signalled(*objs[i])) {
            if (!objs[i]->ManualReset())
                WaitAccess::Signalled(*objs[i]) = false;
            return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
    }
    return std::nullopt;
}

DWORD Fail(DWORD code)
{
    SetLastError(code);
    return WAIT_FAILED;
}
} // namespace

DWORD WaitForObjects(const std::vector<std::shared_ptr<WaitableObject>>& objects, bool waitAll,
                     DWORD milliseconds)
{
    if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS)
        return Fail(ERROR_INVALID_PARAMETER);
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i])
            return Fail(ERROR_INVALID_HANDLE);
        // Waiting for all of a list naming one object twice could never be satisfied
        // consistently for an auto-reset object.
        if (waitAll)
            for (size_t j = 0; j < i; ++j)
                if (objects[j] == objects[i])
                    return Fail(ERROR_INVALID_PARAMETER);
    }

    std::unique_lock<std::mutex> lk(gWaitLock);
    if (auto r = TrySatisfy(objects, waitAll))
        return *r;
    if (milliseconds == 0)
        return WAIT_TIMEOUT;

    Waiter self;
    for (auto& o : objects)
        WaitAccess::Waiters(*o).push_back(&self);
    ScopeExit unregister([&objects, &self] {
        for (auto& o : objects) {
            auto& ws = WaitAccess::Waiters(*o);
            auto it = std::find(ws.begin(), ws.end(), static_cast<void*>(&self));
            if (it != ws.end())
                ws.erase(it);
        }
    });

    const bool forever = milliseconds == INFINITE;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (forever) {
            self.cv.wait(lk);
        } else if (self.cv.wait_until(lk, deadline) == std::cv_status::timeout) {
            if (auto r = TrySatisfy(objects, waitAll))
                return *r;
            return WAIT_TIMEOUT;
        }
        if (auto r = TrySatisfy(objects, waitAll))
            return *r;
    }
}

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> obj)
{
    if (!obj)
        return nullptr;
    std::lock_guard<std::mutex> g(gTableLock);
    uintptr_t h = gNextHandle;
    gNextHandle += 4;
    gTable.emplace(h, std::move(obj));
    return reinterpret_cast<HANDLE>(h);
}

std::shared_ptr<KernelObject> LookupKernelObject(HANDLE h)
{
    std::lock_guard<std::mutex> g(gTableLock);
    auto it = gTable.find(reinterpret_cast<uintptr_t>(h));
    return it == gTable.end() ? nullptr : it->second;
}

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD code) { tLastError = code; }

HANDLE CreateEventA(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCSTR)
{
    return RegisterKernelObject(std::make_shared<KernelEvent>(manualReset != FALSE, initialState != FALSE));
}

namespace {
BOOL OnEvent(HANDLE h, void (WaitableObject::*op)())
{
    auto e = LookupKernelObjectAs<KernelEvent>(h);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ((*e).*op)();
    return TRUE;
}
} // namespace

BOOL SetEvent(HANDLE h) { return OnEvent(h, &WaitableObject::Signal); }
BOOL ResetEvent(HANDLE h) { return OnEvent(h, &WaitableObject::Reset); }

BOOL CloseHandle(HANDLE h)
{
    std::shared_ptr<KernelObject> obj;
    {
        std::lock_guard<std::mutex> g(gTableLock);
        auto it = gTable.find(reinterpret_cast<uintptr_t>(h));
        if (it == gTable.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        obj = std::move(it->second);
        gTable.erase(it);
    }
    // Outside the table lock: Close may stop an engine thread that itself closes handles.
    obj->Close();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &h, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles)
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::shared_ptr<WaitableObject>> objs;
    objs.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto o = LookupKernelObjectAs<WaitableObject>(handles[i]);
        if (!o)
            return Fail(ERROR_INVALID_HANDLE);
        objs.push_back(std::move(o));
    }
    return WaitForObjects(objs, waitAll != FALSE, milliseconds);
}

DWORD GetTickCount()
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(static_cast<uint64_t>(ms.count()));
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetCurrentThreadId()
{
    static std::atomic<DWORD> next{1};
    thread_local const DWORD id = next.fetch_add(1);
    return id;
}
