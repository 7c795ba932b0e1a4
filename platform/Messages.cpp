#include "platform/Messages.h"

#include "platform/AppException.h"
#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/ScopeExit.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

struct Window {
    WNDPROC proc;
    LONG_PTR userData = 0;
    LONG_PTR style = 0;
    LONG_PTR exStyle = 0;
    LONG_PTR id = 0;
    void* native = nullptr;
    bool destroying = false;
};

// A message sent from another thread; the sender waits until done.
struct SentMessage {
    HWND h;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    LRESULT result = 0;
    bool done = false;
};

struct PostedMessage {
    uint64_t seq;
    HWND h;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

struct Timer {
    HWND h;
    UINT_PTR id;
    UINT interval;
    TIMERPROC proc;
    DWORD due;
};

// One lock for the window table and the queues: all of them are small and touched briefly,
// and no procedure ever runs while it is held.
std::mutex gMx;
std::condition_variable gSentDone;
std::unordered_map<uintptr_t, std::shared_ptr<Window>> gWindows;
// Handles count up and are never reused, so a stale handle can never reach a new window.
uintptr_t gLastHandle = 0x10000;
std::deque<std::shared_ptr<SentMessage>> gSent;
std::deque<PostedMessage> gPosted;
uint64_t gPostSeq = 0;
std::vector<Timer> gTimers;
UINT_PTR gLastFreeTimerId = 0x7FF0;

// The messages being handled on this thread, innermost last; nullptr for a send from the
// same thread, so InSendMessage answers for the innermost message only.
thread_local std::vector<SentMessage*> tIncoming;

uintptr_t Key(HWND h) { return reinterpret_cast<uintptr_t>(h); }

std::function<void(HWND)> gProcChangedHook;
std::function<void(HWND)> gDestroyedHook;

void RunHook(std::function<void(HWND)> hook, HWND h) noexcept
{
    if (hook)
        GuardedCall([&] { hook(h); });
}

std::shared_ptr<Window> FindLocked(HWND h)
{
    auto it = gWindows.find(Key(h));
    return it == gWindows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> Find(HWND h)
{
    std::lock_guard<std::mutex> g(gMx);
    return FindLocked(h);
}

bool Due(DWORD now, DWORD due) { return static_cast<int32_t>(now - due) >= 0; }

void CompleteLocked(SentMessage& m, LRESULT result)
{
    if (m.done)
        return;
    m.result = result;
    m.done = true;
    gSentDone.notify_all();
}

struct IncomingScope {
    explicit IncomingScope(SentMessage* m) { tIncoming.push_back(m); }
    ~IncomingScope() { tIncoming.pop_back(); }
    IncomingScope(const IncomingScope&) = delete;
    IncomingScope& operator=(const IncomingScope&) = delete;
};

// Calls the window's current procedure; the copy keeps the procedure alive even if the
// handler destroys the window or replaces its procedure.
LRESULT Deliver(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    WNDPROC proc;
    {
        std::lock_guard<std::mutex> g(gMx);
        auto w = FindLocked(h);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        proc = w->proc;
    }
    return proc ? (*proc)(h, msg, wp, lp) : 0;
}

} // namespace

WNDPROC MakeWindowProc(WindowProcFunction fn)
{
    return std::make_shared<const WindowProcedure>(std::move(fn));
}

WNDPROC MakeMessageProc(std::function<void(TMessage&)> method)
{
    return MakeWindowProc([method = std::move(method)](HWND, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        TMessage m{msg, wp, lp, 0};
        if (method)
            method(m);
        return m.Result;
    });
}

HWND CreateWindowHandle(WNDPROC proc)
{
    auto w = std::make_shared<Window>();
    w->proc = std::move(proc);
    std::lock_guard<std::mutex> g(gMx);
    gLastHandle += 4;
    gWindows.emplace(gLastHandle, std::move(w));
    return reinterpret_cast<HWND>(gLastHandle);
}

BOOL IsWindow(HWND h) { return Find(h) != nullptr ? TRUE : FALSE; }

BOOL DestroyWindow(HWND h)
{
    if (!IsMainThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> g(gMx);
        auto w = FindLocked(h);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        // A procedure that destroys its window while handling WM_DESTROY must not recurse.
        if (w->destroying)
            return TRUE;
        w->destroying = true;
        gTimers.erase(std::remove_if(gTimers.begin(), gTimers.end(), [h](const Timer& t) { return t.h == h; }),
                      gTimers.end());
    }
    // The window goes away even when a handler throws, so the handle is never half-destroyed.
    ScopeExit remove([h] {
        std::function<void(HWND)> hook;
        {
            std::lock_guard<std::mutex> g(gMx);
            hook = gDestroyedHook;
        }
        RunHook(std::move(hook), h);
        std::lock_guard<std::mutex> g(gMx);
        gWindows.erase(Key(h));
        gPosted.erase(std::remove_if(gPosted.begin(), gPosted.end(), [h](const PostedMessage& m) { return m.h == h; }),
                      gPosted.end());
        gTimers.erase(std::remove_if(gTimers.begin(), gTimers.end(), [h](const Timer& t) { return t.h == h; }),
                      gTimers.end());
    });
    Deliver(h, WM_DESTROY, 0, 0);
    Deliver(h, WM_NCDESTROY, 0, 0);
    return TRUE;
}

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (IsMainThread()) {
        if (!Find(h)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        IncomingScope scope(nullptr);
        return Deliver(h, msg, wp, lp);
    }
    auto m = std::make_shared<SentMessage>(SentMessage{h, msg, wp, lp});
    {
        std::lock_guard<std::mutex> g(gMx);
        if (!FindLocked(h)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        gSent.push_back(m);
    }
    WakeMainThread();
    std::unique_lock<std::mutex> g(gMx);
    gSentDone.wait(g, [&] { return m->done; });
    return m->result;
}

void SendTMessage(HWND h, TMessage& m) { m.Result = SendMessage(h, m.Msg, m.WParam, m.LParam); }

BOOL PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    {
        std::lock_guard<std::mutex> g(gMx);
        if (h != nullptr && !FindLocked(h)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        gPosted.push_back(PostedMessage{++gPostSeq, h, msg, wp, lp});
    }
    WakeMainThread();
    return TRUE;
}

BOOL InSendMessage() { return !tIncoming.empty() && tIncoming.back() != nullptr ? TRUE : FALSE; }

BOOL ReplyMessage(LRESULT result)
{
    if (tIncoming.empty() || tIncoming.back() == nullptr)
        return FALSE;
    std::lock_guard<std::mutex> g(gMx);
    CompleteLocked(*tIncoming.back(), result);
    return TRUE;
}

bool DispatchSentMessages()
{
    if (!IsMainThread())
        return false;
    bool worked = false;
    for (;;) {
        std::shared_ptr<SentMessage> m;
        {
            std::lock_guard<std::mutex> g(gMx);
            if (gSent.empty())
                break;
            m = gSent.front();
            gSent.pop_front();
        }
        worked = true;
        // The sender is released even when the procedure throws; the exception goes on here.
        ScopeExit release([&sent = *m] {
            std::lock_guard<std::mutex> g(gMx);
            CompleteLocked(sent, 0);
        });
        IncomingScope scope(m.get());
        LRESULT r = Deliver(m->h, m->msg, m->wp, m->lp);
        std::lock_guard<std::mutex> g(gMx);
        CompleteLocked(*m, r);
    }
    return worked;
}

bool DispatchPostedMessages()
{
    if (!IsMainThread())
        return false;
    uint64_t last;
    {
        std::lock_guard<std::mutex> g(gMx);
        last = gPostSeq;
    }
    bool worked = false;
    for (;;) {
        PostedMessage m{};
        {
            std::lock_guard<std::mutex> g(gMx);
            if (gPosted.empty() || gPosted.front().seq > last)
                break;
            m = gPosted.front();
            gPosted.pop_front();
        }
        worked = true;
        if (m.h != nullptr)
            Deliver(m.h, m.msg, m.wp, m.lp);
    }
    return worked;
}

bool HasPendingMessages()
{
    std::lock_guard<std::mutex> g(gMx);
    return !gSent.empty() || !gPosted.empty();
}

WNDPROC GetWindowLong(HWND h, WndProcIndex)
{
    std::lock_guard<std::mutex> g(gMx);
    auto w = FindLocked(h);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w->proc;
}

WNDPROC SetWindowLong(HWND h, WndProcIndex, WNDPROC proc)
{
    std::function<void(HWND)> hook;
    {
        std::lock_guard<std::mutex> g(gMx);
        auto w = FindLocked(h);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (!proc) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        std::swap(w->proc, proc);
        if (!w->destroying)
            hook = gProcChangedHook;
    }
    if (IsMainThread())
        RunHook(std::move(hook), h);
    return proc;
}

void SetWindowProcChangedHook(std::function<void(HWND)> hook)
{
    std::lock_guard<std::mutex> g(gMx);
    gProcChangedHook = std::move(hook);
}

void SetWindowDestroyedHook(std::function<void(HWND)> hook)
{
    std::lock_guard<std::mutex> g(gMx);
    gDestroyedHook = std::move(hook);
}

LONG_PTR GetWindowLong(HWND h, int index)
{
    std::lock_guard<std::mutex> g(gMx);
    auto w = FindLocked(h);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_USERDATA:
        return w->userData;
    case GWL_STYLE:
        return w->style;
    case GWL_EXSTYLE:
        return w->exStyle;
    case GWL_ID:
        return w->id;
    case WndProcIndex::Value:
        // Through the integer form only the procedure's identity can be seen.
        return reinterpret_cast<LONG_PTR>(w->proc.get());
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR SetWindowLong(HWND h, int index, LONG_PTR value)
{
    std::lock_guard<std::mutex> g(gMx);
    auto w = FindLocked(h);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR* slot = nullptr;
    switch (index) {
    case GWL_USERDATA:
        slot = &w->userData;
        break;
    case GWL_STYLE:
        slot = &w->style;
        break;
    case GWL_EXSTYLE:
        slot = &w->exStyle;
        break;
    case GWL_ID:
        slot = &w->id;
        break;
    case WndProcIndex::Value:
        // An integer cannot carry a procedure: use the GWL_WNDPROC overload.
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    std::swap(*slot, value);
    return value;
}

LRESULT CallWindowProc(const WNDPROC& proc, HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    return proc ? (*proc)(h, msg, wp, lp) : 0;
}

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM)
{
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(h);
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE)
            SendMessage(h, WM_CLOSE, 0, 0);
        return 0;
    case WM_NCCREATE:
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return 0;
    }
}

HWND AllocateHWnd(std::function<void(TMessage&)> method) { return CreateWindowHandle(MakeMessageProc(std::move(method))); }

void DeallocateHWnd(HWND h)
{
    if (h != nullptr)
        DestroyWindow(h);
}

void SetWindowNativeData(HWND h, void* data)
{
    std::lock_guard<std::mutex> g(gMx);
    if (auto w = FindLocked(h))
        w->native = data;
    else
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
}

void* GetWindowNativeData(HWND h)
{
    std::lock_guard<std::mutex> g(gMx);
    auto w = FindLocked(h);
    return w ? w->native : nullptr;
}

UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    // A zero interval would fire on every pass of the loop: keep the system's minimum.
    constexpr UINT kMinimum = 10;
    constexpr UINT kMaximum = 0x7FFFFFFF;
    elapse = std::clamp(elapse, kMinimum, kMaximum);
    DWORD now = EventLoopTicks();
    {
        std::lock_guard<std::mutex> g(gMx);
        if (h != nullptr && !FindLocked(h)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        auto it = std::find_if(gTimers.begin(), gTimers.end(),
                               [&](const Timer& t) { return t.h == h && t.id == id; });
        if (h == nullptr && (id == 0 || it == gTimers.end())) {
            // A timer without a window gets an id of its own.
            do
                ++gLastFreeTimerId;
            while (gLastFreeTimerId == 0 || std::any_of(gTimers.begin(), gTimers.end(), [](const Timer& t) {
                       return t.h == nullptr && t.id == gLastFreeTimerId;
                   }));
            id = gLastFreeTimerId;
            it = gTimers.end();
        }
        if (it != gTimers.end()) {
            it->interval = elapse;
            it->proc = proc;
            it->due = now + elapse;
        } else {
            gTimers.push_back(Timer{h, id, elapse, proc, now + elapse});
        }
    }
    // The GUI thread may be blocked with a later deadline in mind.
    if (!IsMainThread())
        WakeMainThread();
    return id;
}

BOOL KillTimer(HWND h, UINT_PTR id)
{
    std::lock_guard<std::mutex> g(gMx);
    auto it = std::find_if(gTimers.begin(), gTimers.end(), [&](const Timer& t) { return t.h == h && t.id == id; });
    if (it == gTimers.end()) {
        SetLastError(h != nullptr && !FindLocked(h) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    gTimers.erase(it);
    return TRUE;
}

bool NextTimerDue(DWORD& due)
{
    std::lock_guard<std::mutex> g(gMx);
    if (gTimers.empty())
        return false;
    DWORD now = EventLoopTicks();
    int32_t best = INT32_MAX;
    for (const Timer& t : gTimers)
        best = std::min(best, static_cast<int32_t>(t.due - now));
    due = now + static_cast<DWORD>(best);
    return true;
}

bool DispatchDueTimers(DWORD now)
{
    if (!IsMainThread())
        return false;
    std::vector<std::pair<HWND, UINT_PTR>> due;
    {
        std::lock_guard<std::mutex> g(gMx);
        std::vector<const Timer*> ready;
        for (const Timer& t : gTimers)
            if (Due(now, t.due))
                ready.push_back(&t);
        std::stable_sort(ready.begin(), ready.end(), [now](const Timer* a, const Timer* b) {
            return static_cast<int32_t>(a->due - now) < static_cast<int32_t>(b->due - now);
        });
        for (const Timer* t : ready)
            due.emplace_back(t->h, t->id);
    }
    bool worked = false;
    for (auto [h, id] : due) {
        TIMERPROC proc;
        {
            // An earlier handler may have killed or reset this timer.
            std::lock_guard<std::mutex> g(gMx);
            auto it = std::find_if(gTimers.begin(), gTimers.end(),
                                   [h = h, id = id](const Timer& t) { return t.h == h && t.id == id; });
            if (it == gTimers.end() || !Due(now, it->due))
                continue;
            // Rescheduled before the handler runs, so a nested loop inside it cannot fire
            // the same timer again at once.
            it->due = now + it->interval;
            proc = it->proc;
        }
        worked = true;
        if (proc)
            proc(h, WM_TIMER, id, now);
        else if (h != nullptr)
            Deliver(h, WM_TIMER, id, 0);
    }
    return worked;
}
