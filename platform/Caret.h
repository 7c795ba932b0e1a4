#pragma once
// The system caret: one per thread, owned by a window, blinking as an inverted rectangle
// that the window adaptor lays over the window's surface (never into it, so painting and
// the caret cannot spoil each other). Calls made while there is no caret do nothing.
#include <functional>

#include "platform/Gdi.h"
#include "platform/WinMessages.h"
#include "platform/WinTypes.h"

// bitmap is accepted for the call's shape; the caret is always solid.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* pt);
// Counted as Win32 does: a new caret is hidden once; each HideCaret needs its ShowCaret,
// and a ShowCaret on a shown caret does nothing. hwnd null means the caret's own window.
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);

// ---- For the adaptor and tests --------------------------------------------------------
// The window owning this thread's caret, or null.
HWND GetCaretWindow();
// True when the caret is shown (whatever the blink phase).
bool IsCaretShown();
// The rectangle to invert over hwnd's client area now: shown and in the "on" blink phase.
bool GetCaretOverlay(HWND hwnd, RECT* rect);
// Called with the area to repaint whenever the caret's drawing changes.
void SetCaretChangeHandler(std::function<void(HWND, const RECT&)> handler);
// Advances the blink by one phase, as the blink timer does.
void BlinkCaret();
