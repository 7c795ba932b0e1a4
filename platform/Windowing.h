#pragma once
// The toolkit adaptor: each window handle that needs to be seen gets one widget. Toolkit
// events become messages sent through the window's current procedure (SendMessage), so a
// procedure installed with SetWindowLong(GWL_WNDPROC) sees all of them. Custom-drawn
// windows paint into the toolkit's buffer, or into an image of their own once something
// draws on them outside a paint; standard controls embed a native widget instead
// (SetWindowNativeChild).
#include <cstdint>
#include <string>

#include "platform/Messages.h"
#include "platform/WinMessages.h"
#include "platform/WinTypes.h"

class QWidget;

// A top-level window's style becomes the window manager's hints: without WS_CAPTION (a
// WS_POPUP window) it has no frame; WS_EX_DLGMODALFRAME makes it a dialog and
// WS_EX_TOOLWINDOW a tool window; WS_SYSMENU, WS_MINIMIZEBOX and WS_MAXIMIZEBOX give the
// close, minimise and maximise buttons; only WS_THICKFRAME lets the user resize it;
// WS_EX_TOPMOST keeps it on top. A style with none of the frame bits (WS_OVERLAPPED) gets
// the usual frame of a resizable window.
struct WindowCreateInfo {
    HWND Parent = nullptr;     // null: a top-level window
    LONG_PTR Style = 0;        // WS_ flags
    LONG_PTR ExStyle = 0;      // WS_EX_ flags
    RECT Bounds;               // window rectangle: in the parent's client area, or on the screen
    RECT NonClient;            // border widths (and caption height in top) around the client area
    std::string Caption;       // Windows-1252
};

// Creates the widget of h (hidden). A parent needs its own widget first. The toolkit
// application is created if there is none.
BOOL AttachWindowWidget(HWND h, const WindowCreateInfo& info);
// Deletes the widget of h (and its children's widgets); h itself stays valid.
void DetachWindowWidget(HWND h);
bool HasWindowWidget(HWND h);
QWidget* WindowWidget(HWND h);
// Embeds a native widget (an edit, a button) filling the client area, for standard controls.
void SetWindowNativeChild(HWND h, QWidget* child);
// Sends WM_SIZE (the client size) and WM_MOVE, as a window hears them once it has been
// made: called after WM_CREATE, so whatever a procedure sets up on WM_SIZE starts right.
void SendCreationSize(HWND h);

// Geometry. Moving or resizing sends WM_WINDOWPOSCHANGED (LParam: WINDOWPOS*), then WM_MOVE
// and WM_SIZE at once when the position or the client size changed. A top-level window's
// size is limited by its WM_GETMINMAXINFO answer, asked each time.
BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowBounds(HWND h, RECT* rect); // in the parent's client area (top-level: screen)
BOOL GetClientRect(HWND h, RECT* rect);   // less borders and visible scroll bars
BOOL ClientToScreen(HWND h, POINT* pt);
BOOL ScreenToClient(HWND h, POINT* pt);
BOOL SetWindowNonClient(HWND h, const RECT& nonClient);
// A menu bar shown above the client area, in the top rows of the non-client insets (the
// caller counts height in them); null removes (and deletes) the current one. Takes effect
// with the next SetWindowNonClient.
void SetWindowMenuBar(HWND h, QWidget* bar, int height);
// Asks WM_GETMINMAXINFO through the procedure chain and applies the answer to the widget.
void RefreshMinMaxInfo(HWND h);
BOOL GetMinMaxInfo(HWND h, MINMAXINFO* info);

// Showing. ShowWindow sends WM_SHOWWINDOW (and WM_GETMINMAXINFO for a top-level window) and
// returns whether the window was visible before.
BOOL ShowWindow(HWND h, int cmd);
BOOL IsWindowVisible(HWND h); // visible and every parent visible
BOOL IsIconic(HWND h);
BOOL IsZoomed(HWND h);
BOOL EnableWindow(HWND h, BOOL enable);
BOOL SetWindowTextA(HWND h, LPCSTR text);
BOOL BringWindowToTop(HWND h);
HWND GetActiveWindow();
BOOL UpdateWindow(HWND h); // paints a pending update at once

// A modal run. Before the window is shown: it becomes a dialog transient for owner (null:
// none), modal in the window manager's terms, which offers only its close button, and every
// other window stops taking input while keeping its look. EndModalWindow undoes it once the
// window is hidden.
void BeginModalWindow(HWND h, HWND owner);
void EndModalWindow(HWND h);
// Before a top-level window is shown: it stays above owner (null: it has none), as the
// window manager keeps a window transient for another; a plain window becomes a dialog,
// the kind of window that says so.
void SetWindowOwner(HWND h, HWND owner);
// Waits in the event loop until a shown top-level window is on screen (mapped, exposed) and
// active, showing it again where the window manager dropped the request (a window shown
// while it is still being withdrawn). True when it got there within timeoutMs.
BOOL WaitWindowOnScreen(HWND h, DWORD timeoutMs);

// Under X11: the window manager's request to close a window that a modal one blocks reaches
// its procedure as WM_CLOSE (the toolkit would drop it). Idempotent.
void WatchBlockedCloseRequests();
// Ends a modal window of the toolkit's own (a message box, a file dialog) as its close box
// would; false when none is showing.
bool CloseToolkitModalWindow();

// Hints. Where the mouse rests the window is sent CM_HINTSHOW with a WindowHintQuery (LParam)
// holding the client point; the text it leaves (Windows-1252) shows as a tooltip for
// HidePause milliseconds. The pause before it shows is asked of the pause source.
struct WindowHintQuery {
    POINT Pos{};
    std::string Text;
    int HidePause = 0;
};
void SetHintPauseSource(int (*pause)());

// Placement: the normal rectangle is tracked here whatever the state; a stored rectangle is
// moved wholly onto the screen that holds most of it. A hidden window reports SW_HIDE, so
// SetWindowPlacement(GetWindowPlacement()) changes nothing.
BOOL GetWindowPlacement(HWND h, WINDOWPLACEMENT* wp);
BOOL SetWindowPlacement(HWND h, const WINDOWPLACEMENT* wp);

// Focus and mouse capture. A pressed button captures the mouse implicitly until released.
// SetFocus(nullptr) leaves no window with the focus.
HWND SetFocus(HWND h);
HWND GetFocus();
// While set, SetFocus is a move by the keyboard (Tab, an accelerator): the window then shows
// the keyboard focus mark. Returns the previous setting.
bool SetKeyboardFocusMove(bool keyboard);
HWND SetCapture(HWND h);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL GetCursorPos(POINT* pt);

// The handle shown by a widget, or null.
HWND WindowFromWidget(const QWidget* w);
// Delivers a key press as the adaptor does for the focused widget (tests, shortcuts).
void DeliverKeyPress(HWND h, int qtKey, unsigned modifiers, char32_t text);

// Cursors: an HCURSOR is a toolkit cursor. Standard ones (LoadCursorA with a null instance
// and an IDC_ id) are shared and never freed; DestroyCursor ignores them.
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
inline const LPCSTR IDC_ARROW = reinterpret_cast<LPCSTR>(uintptr_t{32512});
inline const LPCSTR IDC_IBEAM = reinterpret_cast<LPCSTR>(uintptr_t{32513});
inline const LPCSTR IDC_WAIT = reinterpret_cast<LPCSTR>(uintptr_t{32514});
inline const LPCSTR IDC_CROSS = reinterpret_cast<LPCSTR>(uintptr_t{32515});
inline const LPCSTR IDC_UPARROW = reinterpret_cast<LPCSTR>(uintptr_t{32516});
inline const LPCSTR IDC_SIZENWSE = reinterpret_cast<LPCSTR>(uintptr_t{32642});
inline const LPCSTR IDC_SIZENESW = reinterpret_cast<LPCSTR>(uintptr_t{32643});
inline const LPCSTR IDC_SIZEWE = reinterpret_cast<LPCSTR>(uintptr_t{32644});
inline const LPCSTR IDC_SIZENS = reinterpret_cast<LPCSTR>(uintptr_t{32645});
inline const LPCSTR IDC_SIZEALL = reinterpret_cast<LPCSTR>(uintptr_t{32646});
inline const LPCSTR IDC_NO = reinterpret_cast<LPCSTR>(uintptr_t{32648});
inline const LPCSTR IDC_HAND = reinterpret_cast<LPCSTR>(uintptr_t{32649});
inline const LPCSTR IDC_APPSTARTING = reinterpret_cast<LPCSTR>(uintptr_t{32650});
inline const LPCSTR IDC_HELP = reinterpret_cast<LPCSTR>(uintptr_t{32651});
// A standard cursor; null for an unknown id or a non-null instance (no cursor resources).
HCURSOR LoadCursorA(const void* instance, LPCSTR name);
// A cursor from monochrome masks, rows padded to 16 bits, top row first. Per pixel:
// AND 0 / XOR 0 black, 0/1 white, 1/0 transparent, 1/1 inverted screen. Null on bad sizes.
HCURSOR CreateCursor(int hotX, int hotY, int width, int height, const void* andBits, const void* xorBits);
BOOL DestroyCursor(HCURSOR cursor);
// The cursor shown over a window (and its embedded widget); null restores the default.
void SetWindowCursor(HWND h, HCURSOR cursor);

// Installs the adaptor's hooks into the drawing, caret and scroll-bar layers (idempotent).
void InitWindowAdaptor();
