#include "platform/WindowingInternal.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "platform/Gdi.h"

using namespace window_detail;

namespace {

QRect ScreenRect()
{
    return QRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

// The screen that holds most of r (the first when none does).
QRect ScreenFor(const RECT& r)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        return ScreenRect();
    const QRect q(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    QRect best = screens.front()->geometry();
    long long most = -1;
    for (QScreen* s : screens) {
        const QRect i = s->geometry() & q;
        const long long area = i.isEmpty() ? 0 : static_cast<long long>(i.width()) * i.height();
        if (area > most) {
            most = area;
            best = s->geometry();
        }
    }
    return best;
}

// Moves r wholly onto the screen that holds most of it; one larger than the screen keeps its
// top left corner (and so its caption) on it.
RECT KeepOnScreen(RECT r)
{
    const QRect s = ScreenFor(r);
    const int w = Width(r), h = Height(r);
    const int left = std::clamp(static_cast<int>(r.left), s.left(), std::max(s.left(), s.right() + 1 - w));
    const int top = std::clamp(static_cast<int>(r.top), s.top(), std::max(s.top(), s.bottom() + 1 - h));
    return RECT{left, top, left + w, top + h};
}

void ApplyMinMax(QmWindow* w)
{
    if (w->parentWidget())
        return;
    const MINMAXINFO& mm = w->MinMax;
    int ncx = w->NonClient.left + w->NonClient.right;
    int ncy = w->NonClient.top - w->MenuHeight + w->NonClient.bottom;
    QSize minS(std::max(1, mm.ptMinTrackSize.x - ncx), std::max(1, mm.ptMinTrackSize.y - ncy));
    QSize maxS(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (mm.ptMaxTrackSize.x > 0)
        maxS.setWidth(std::max(minS.width(), static_cast<int>(mm.ptMaxTrackSize.x - ncx)));
    if (mm.ptMaxTrackSize.y > 0)
        maxS.setHeight(std::max(minS.height(), static_cast<int>(mm.ptMaxTrackSize.y - ncy)));
    if (!w->Resizable) {
        // The program may still size it; only the user may not.
        w->setFixedSize(w->Expected.size());
        return;
    }
    w->setMinimumSize(mm.ptMinTrackSize.x > 0 || mm.ptMinTrackSize.y > 0 ? minS : QSize(0, 0));
    w->setMaximumSize(maxS);
}

void ClampToMinMax(QmWindow* w, int& width, int& height)
{
    const MINMAXINFO& mm = w->MinMax;
    if (mm.ptMinTrackSize.x > 0)
        width = std::max(width, static_cast<int>(mm.ptMinTrackSize.x));
    if (mm.ptMinTrackSize.y > 0)
        height = std::max(height, static_cast<int>(mm.ptMinTrackSize.y));
    if (mm.ptMaxTrackSize.x > 0)
        width = std::min(width, static_cast<int>(mm.ptMaxTrackSize.x));
    if (mm.ptMaxTrackSize.y > 0)
        height = std::min(height, static_cast<int>(mm.ptMaxTrackSize.y));
}

} // namespace

BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    width = std::max(0, width);
    height = std::max(0, height);
    if (!w->parentWidget()) {
        RefreshMinMaxInfo(h);
        w = Win(h);
        if (!w)
            return FALSE;
        ClampToMinMax(w, width, height);
    }
    RECT nb{x, y, x + width, y + height};
    bool moved = nb.left != w->Bounds.left || nb.top != w->Bounds.top;
    bool sized = Width(nb) != Width(w->Bounds) || Height(nb) != Height(w->Bounds);
    w->Bounds = nb;
    if (w->ShowCmdState == SW_SHOWNORMAL)
        w->Normal = nb;
    w->ApplyGeometry();
    if (moved || sized)
        w->BoundsChanged(moved, sized);
    return TRUE;
}

BOOL GetWindowBounds(HWND h, RECT* rect)
{
    return rect ? WithWindow(h, [&](QmWindow* w) { *rect = w->Bounds; }) : FALSE;
}

BOOL GetClientRect(HWND h, RECT* rect)
{
    return rect ? WithWindow(h, [&](QmWindow* w) {
        QSize s = w->ClientSize();
        *rect = RECT{0, 0, s.width(), s.height()};
    }) : FALSE;
}

BOOL ClientToScreen(HWND h, POINT* pt)
{
    return pt ? WithWindow(h, [&](QmWindow* w) {
        QPoint g = w->mapToGlobal(w->ClientArea().topLeft() + QPoint(pt->x, pt->y));
        *pt = POINT{g.x(), g.y()};
    }) : FALSE;
}

BOOL ScreenToClient(HWND h, POINT* pt)
{
    return pt ? WithWindow(h, [&](QmWindow* w) {
        QPoint l = w->mapFromGlobal(QPoint(pt->x, pt->y)) - w->ClientArea().topLeft();
        *pt = POINT{l.x(), l.y()};
    }) : FALSE;
}

BOOL SetWindowNonClient(HWND h, const RECT& nonClient)
{
    return WithWindow(h, [&](QmWindow* w) {
        w->NonClient = nonClient;
        w->ApplyGeometry();
        w->ClientChanged();
    });
}

void SetWindowMenuBar(HWND h, QWidget* bar, int height)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    if (w->MenuBar && w->MenuBar != bar)
        delete w->MenuBar.data();
    w->MenuBar = bar;
    w->MenuHeight = bar ? std::max(0, height) : 0;
    if (bar) {
        bar->setParent(w);
        bar->show();
    }
}

void RefreshMinMaxInfo(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    MINMAXINFO mm{};
    mm.ptMaxSize = POINT{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    mm.ptMaxTrackSize = POINT{0, 0};
    mm.ptMinTrackSize = POINT{0, 0};
    QPointer<QmWindow> self(w);
    w->Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mm));
    if (!self)
        return;
    w->MinMax = mm;
    ApplyMinMax(w);
}

BOOL GetMinMaxInfo(HWND h, MINMAXINFO* info)
{
    return info ? WithWindow(h, [&](QmWindow* w) { *info = w->MinMax; }) : FALSE;
}

BOOL GetWindowPlacement(HWND h, WINDOWPLACEMENT* wp)
{
    return wp ? WithWindow(h, [&](QmWindow* w) {
        wp->length = sizeof(WINDOWPLACEMENT);
        wp->flags = 0;
        wp->showCmd = w->Shown ? static_cast<UINT>(w->ShowCmdState) : static_cast<UINT>(SW_HIDE);
        wp->ptMinPosition = w->MinPos;
        wp->ptMaxPosition = w->MaxPos;
        wp->rcNormalPosition = w->Normal;
    }) : FALSE;
}

BOOL SetWindowPlacement(HWND h, const WINDOWPLACEMENT* wp)
{
    QmWindow* w = Win(h);
    if (!w || !wp)
        return FALSE;
    w->MinPos = wp->ptMinPosition;
    w->MaxPos = wp->ptMaxPosition;
    RECT normal = w->parentWidget() ? wp->rcNormalPosition : KeepOnScreen(wp->rcNormalPosition);
    w->Normal = normal;
    QPointer<QmWindow> self(w);
    if (w->ShowCmdState == SW_SHOWNORMAL && normal != w->Bounds) {
        MoveWindow(h, normal.left, normal.top, Width(normal), Height(normal), TRUE);
        if (!self)
            return FALSE;
        w->Normal = normal;
    }
    if (wp->showCmd == SW_HIDE) {
        if (w->Shown)
            ShowWindow(h, SW_HIDE);
    } else if (!(w->Shown && static_cast<int>(wp->showCmd) == w->ShowCmdState)) {
        ShowWindow(h, static_cast<int>(wp->showCmd));
    }
    return TRUE;
}

