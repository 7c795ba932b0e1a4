#pragma once
// Scroll bars of a window as a model of our own with the Win32 rules; the toolkit adaptor
// only draws them and turns the user's actions into WM_HSCROLL/WM_VSCROLL.
#include <functional>

#include "platform/WinMessages.h"
#include "platform/WinTypes.h"

constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

struct SCROLLINFO {
    UINT cbSize = sizeof(SCROLLINFO);
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};

// Returns the new position. SIF_POS alone never shows or hides the bar.
int SetScrollInfo(HWND h, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND h, int bar, SCROLLINFO* info);
// Returns the previous position.
int SetScrollPos(HWND h, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND h, int bar);
BOOL SetScrollRange(HWND h, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND h, int bar, int* minPos, int* maxPos);
BOOL ShowScrollBar(HWND h, int bar, BOOL show); // SB_HORZ, SB_VERT or SB_BOTH

// ---- For the adaptor ------------------------------------------------------------------
struct ScrollBarState {
    SCROLLINFO Info;
    bool Visible = false;
    bool Enabled = true;
};
ScrollBarState GetScrollBarState(HWND h, int bar);
// The thumb position while the user drags it (SIF_TRACKPOS), not the position itself.
void SetScrollTrackPos(HWND h, int bar, int trackPos);
// Called after any change of a window's bars; visibilityChanged when one appeared or went
// (the client area changed). Returns the handler it replaces.
std::function<void(HWND, int, bool)> SetScrollBarChangeHandler(
    std::function<void(HWND, int bar, bool visibilityChanged)> handler);
// Drops a destroyed window's bars.
void ForgetScrollBars(HWND h);
