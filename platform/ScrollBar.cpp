#include "platform/ScrollBar.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/Kernel.h"
#include "platform/Messages.h"

namespace {
struct Bars {
    ScrollBarState Bar[2];
};

std::mutex gLock;
std::map<HWND, Bars>& Table()
{
    static std::map<HWND, Bars> t;
    return t;
}
std::function<void(HWND, int, bool)>& ChangeHandler()
{
    static std::function<void(HWND, int, bool)> h;
    return h;
}

int MaxPos(const SCROLLINFO& si)
{
    int page = static_cast<int>(si.nPage);
    return si.nMax - std::max(page - 1, 0);
}

bool Scrolls(const SCROLLINFO& si) { return MaxPos(si) > si.nMin; }

void ClampPage(SCROLLINFO& si)
{
    long long span = static_cast<long long>(si.nMax) - si.nMin + 1;
    if (span < 0)
        span = 0;
    if (si.nPage > span)
        si.nPage = static_cast<UINT>(span);
}

void ClampPos(SCROLLINFO& si)
{
    si.nPos = std::max(si.nMin, std::min(si.nPos, MaxPos(si)));
}

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

void Notify(HWND h, int bar, bool visibilityChanged)
{
    std::function<void(HWND, int, bool)> cb;
    {
        std::lock_guard<std::mutex> g(gLock);
        cb = ChangeHandler();
    }
    if (cb)
        cb(h, bar, visibilityChanged);
}
} // namespace

int SetScrollInfo(HWND h, int bar, const SCROLLINFO* info, BOOL)
{
    if (!info || !ValidBar(bar) || !IsWindow(h))
        return 0;
    bool visChanged = false;
    int pos;
    {
        std::lock_guard<std::mutex> g(gLock);
        ScrollBarState& s = Table()[h].Bar[bar];
        SCROLLINFO& si = s.Info;
        if (info->fMask & SIF_RANGE) {
            si.nMin = info->nMin;
            si.nMax = std::max(info->nMin, info->nMax);
        }
        if (info->fMask & SIF_PAGE)
            si.nPage = info->nPage;
        ClampPage(si);
        if (info->fMask & SIF_POS)
            si.nPos = info->nPos;
        ClampPos(si);
        si.nTrackPos = std::max(si.nMin, std::min(si.nTrackPos, MaxPos(si)));
        if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
            bool scrolls = Scrolls(si);
            bool wasVisible = s.Visible;
            if (scrolls) {
                s.Visible = true;
                s.Enabled = true;
            } else if (info->fMask & SIF_DISABLENOSCROLL) {
                s.Visible = true;
                s.Enabled = false;
            } else {
                s.Visible = false;
            }
            visChanged = wasVisible != s.Visible;
        }
        pos = si.nPos;
    }
    Notify(h, bar, visChanged);
    return pos;
}

BOOL GetScrollInfo(HWND h, int bar, SCROLLINFO* info)
{
    if (!info || !ValidBar(bar) || !IsWindow(h))
        return FALSE;
    ScrollBarState s = GetScrollBarState(h, bar);
    if (info->fMask & SIF_RANGE) {
        info->nMin = s.Info.nMin;
        info->nMax = s.Info.nMax;
    }
    if (info->fMask & SIF_PAGE)
        info->nPage = s.Info.nPage;
    if (info->fMask & SIF_POS)
        info->nPos = s.Info.nPos;
    if (info->fMask & SIF_TRACKPOS)
        info->nTrackPos = s.Info.nTrackPos;
    return TRUE;
}

int SetScrollPos(HWND h, int bar, int pos, BOOL redraw)
{
    int old = GetScrollPos(h, bar);
    SCROLLINFO si;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(h, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND h, int bar)
{
    if (!ValidBar(bar) || !IsWindow(h))
        return 0;
    return GetScrollBarState(h, bar).Info.nPos;
}

BOOL SetScrollRange(HWND h, int bar, int minPos, int maxPos, BOOL redraw)
{
    if (!ValidBar(bar) || !IsWindow(h))
        return FALSE;
    SCROLLINFO si;
    si.fMask = SIF_RANGE;
    si.nMin = minPos;
    si.nMax = maxPos;
    SetScrollInfo(h, bar, &si, redraw);
    return TRUE;
}

BOOL GetScrollRange(HWND h, int bar, int* minPos, int* maxPos)
{
    if (!ValidBar(bar) || !IsWindow(h))
        return FALSE;
    ScrollBarState s = GetScrollBarState(h, bar);
    if (minPos)
        *minPos = s.Info.nMin;
    if (maxPos)
        *maxPos = s.Info.nMax;
    return TRUE;
}

namespace {
// Runs each for every bar that `bar` names (SB_BOTH: both).
template <class Each> BOOL ForEachBar(HWND h, int bar, Each each)
{
    if (!IsWindow(h) || (bar != SB_BOTH && !ValidBar(bar)))
        return FALSE;
    for (int b : {SB_HORZ, SB_VERT})
        if (bar == SB_BOTH || bar == b)
            each(b);
    return TRUE;
}
} // namespace

BOOL ShowScrollBar(HWND h, int bar, BOOL show)
{
    return ForEachBar(h, bar, [&](int b) {
        bool changed;
        {
            std::lock_guard<std::mutex> g(gLock);
            ScrollBarState& s = Table()[h].Bar[b];
            changed = s.Visible != (show != FALSE);
            s.Visible = show != FALSE;
        }
        if (changed)
            Notify(h, b, true);
    });
}

ScrollBarState GetScrollBarState(HWND h, int bar)
{
    std::lock_guard<std::mutex> g(gLock);
    auto it = Table().find(h);
    if (it == Table().end() || !ValidBar(bar))
        return ScrollBarState{};
    return it->second.Bar[bar];
}

void SetScrollTrackPos(HWND h, int bar, int trackPos)
{
    if (!ValidBar(bar))
        return;
    std::lock_guard<std::mutex> g(gLock);
    SCROLLINFO& si = Table()[h].Bar[bar].Info;
    si.nTrackPos = std::max(si.nMin, std::min(trackPos, MaxPos(si)));
}

std::function<void(HWND, int, bool)> SetScrollBarChangeHandler(std::function<void(HWND, int, bool)> handler)
{
    std::lock_guard<std::mutex> g(gLock);
    return std::exchange(ChangeHandler(), std::move(handler));
}

void ForgetScrollBars(HWND h)
{
    std::lock_guard<std::mutex> g(gLock);
    Table().erase(h);
}
