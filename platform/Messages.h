#pragma once
// Windows as handles with a window procedure, messages sent and posted to them, and timers.
// Every window's messages are dispatched on the GUI thread (the event loop's main thread):
// a message sent from another thread is handed to the GUI thread and the sender waits.
#include "platform/WinMessages.h"
#include "platform/WinTypes.h"

#include <functional>
#include <memory>

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

using WindowProcFunction = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// A window procedure with an identity: two WNDPROC values are equal only when they are the
// same procedure object, so a subclasser can tell whether its own procedure is still the
// window's current one.
class WindowProcedure {
public:
    explicit WindowProcedure(WindowProcFunction fn) : fn_(std::move(fn)) {}
    LRESULT operator()(HWND h, UINT msg, WPARAM wp, LPARAM lp) const { return fn_ ? fn_(h, msg, wp, lp) : 0; }

private:
    WindowProcFunction fn_;
};
using WNDPROC = std::shared_ptr<const WindowProcedure>;

WNDPROC MakeWindowProc(WindowProcFunction fn);
// A procedure that hands each message to a method as one TMessage record; the method's
// answer is the record's Result.
WNDPROC MakeMessageProc(std::function<void(TMessage&)> method);

// GWL_WNDPROC is a distinct type so that the window procedure is read and written with
// its own type, not squeezed through an integer.
struct WndProcIndex {
    static constexpr int Value = -4;
};
inline constexpr WndProcIndex GWL_WNDPROC{};

// Creates a window whose procedure is proc. No creation messages are sent: the caller
// sends WM_CREATE when it has finished setting the window up.
HWND CreateWindowHandle(WNDPROC proc);
// Sends WM_DESTROY then WM_NCDESTROY through the current procedure chain, kills the
// window's timers and drops its posted messages; afterwards the handle is invalid.
BOOL DestroyWindow(HWND h);
BOOL IsWindow(HWND h);

LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
inline LRESULT SendMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return SendMessage(h, msg, wp, lp); }
// Sends the record's message and stores the answer in its Result.
void SendTMessage(HWND h, TMessage& m);
// Queues the message for the GUI thread and wakes it. Safe from any thread. FALSE with
// ERROR_INVALID_WINDOW_HANDLE when the window does not exist.
BOOL PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);

// True while the current message was sent from another thread (and the sender waits).
BOOL InSendMessage();
// Releases the sender of the current cross-thread message with this result; the
// procedure's own result is then ignored. FALSE when no such sender waits.
BOOL ReplyMessage(LRESULT result);

WNDPROC GetWindowLong(HWND h, WndProcIndex);
// Installs proc and returns the previous procedure (nullptr and error 1400 for an invalid window).
WNDPROC SetWindowLong(HWND h, WndProcIndex, WNDPROC proc);
LONG_PTR GetWindowLong(HWND h, int index);
LONG_PTR SetWindowLong(HWND h, int index, LONG_PTR value);

// Calls a procedure taken from GetWindowLong(GWL_WNDPROC); a null procedure answers 0.
LRESULT CallWindowProc(const WNDPROC& proc, HWND h, UINT msg, WPARAM wp, LPARAM lp);
// What a window does with a message nobody handled: 0 for most, WM_CLOSE destroys the
// window, SC_CLOSE becomes WM_CLOSE, WM_GETMINMAXINFO leaves the record as it is.
LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
inline LRESULT DefWindowProcA(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProc(h, msg, wp, lp); }

// A hidden window whose procedure is a method; every message reaches it.
HWND AllocateHWnd(std::function<void(TMessage&)> method);
void DeallocateHWnd(HWND h);

// Hooks for the toolkit adaptor, called on the GUI thread with no lock held. The first runs
// after SetWindowLong(GWL_WNDPROC) installed a new procedure (so the adaptor can ask the new
// chain at once); the second when a window is destroyed, after WM_NCDESTROY and while the
// handle is still valid, whoever destroyed it. Null removes a hook. Exceptions a hook
// throws are reported, never passed to the caller.
void SetWindowProcChangedHook(std::function<void(HWND)> hook);
void SetWindowDestroyedHook(std::function<void(HWND)> hook);

// Data the toolkit adaptor attaches to a window (its widget); nullptr when none.
void SetWindowNativeData(HWND h, void* data);
void* GetWindowNativeData(HWND h);

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
// Starts or restarts a timer. Each time it is due, WM_TIMER (WParam = id, LParam = the
// callback) goes to the window, or the callback is called instead when one is given; a
// timer never has more than one firing outstanding. Without a window a fresh id is
// returned. Returns 0 with error 1400 for an invalid window.
UINT_PTR SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND h, UINT_PTR id);

// Used by the event loop. Each returns true when it did some work.
// Delivers messages sent from other threads (and only those).
bool DispatchSentMessages();
// Delivers the messages posted before the call, oldest first; a message posted meanwhile
// waits for the next call, so a handler that re-posts cannot starve the loop.
bool DispatchPostedMessages();
// Fires every timer due at tick count now.
bool DispatchDueTimers(DWORD now);
// True when sent or posted messages wait.
bool HasPendingMessages();
// The earliest due tick of all timers; false when there is no timer.
bool NextTimerDue(DWORD& due);
