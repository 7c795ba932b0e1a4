#include "platform/WindowingInternal.h"

#include <QApplication>

#include "platform/Codepage.h"
#include "platform/Gdi.h"

using namespace window_detail;

BOOL ShowWindow(HWND h, int cmd)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    const bool wasVisible = w->Shown;
    QPointer<QmWindow> self(w);
    const bool show = cmd != SW_HIDE;
    if (show != wasVisible) {
        w->Send(WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (!self)
            return wasVisible ? TRUE : FALSE;
    }
    if (!show) {
        w->Shown = false;
        w->hide();
        return wasVisible ? TRUE : FALSE;
    }
    if (!w->parentWidget()) {
        // Asked once the window counts as visible: an answer given only to a visible window
        // (a form the user may not resize) holds from the first show and after every show.
        w->Shown = true;
        RefreshMinMaxInfo(h);
        if (!self)
            return wasVisible ? TRUE : FALSE;
        int newState = cmd == SW_SHOWMINIMIZED || cmd == SW_MINIMIZE || cmd == SW_SHOWMINNOACTIVE ? SW_SHOWMINIMIZED
                       : cmd == SW_SHOWMAXIMIZED                                                       ? SW_SHOWMAXIMIZED
                       : cmd == SW_SHOWNORMAL || cmd == SW_RESTORE                                     ? SW_SHOWNORMAL
                                                                                                       : w->ShowCmdState;
        if (newState != w->ShowCmdState) {
            w->ShowCmdState = newState;
            if (newState == SW_SHOWNORMAL) {
                w->Bounds = w->Normal;
                w->ApplyGeometry();
            }
            w->ForceSize = true;
        }
        Qt::WindowStates st = newState == SW_SHOWMINIMIZED   ? Qt::WindowMinimized
                              : newState == SW_SHOWMAXIMIZED ? Qt::WindowMaximized
                                                             : Qt::WindowNoState;
        w->Shown = true;
        w->setWindowState(st);
        w->show();
        if (cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE) {
            w->raise();
            w->activateWindow();
        }
        if (self)
            w->ClientChanged();
    } else {
        w->Shown = true;
        w->show();
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND h)
{
    QmWindow* w = Win(h);
    if (!w || !w->Shown)
        return FALSE;
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* pw = dynamic_cast<QmWindow*>(p); pw && !pw->Shown)
            return FALSE;
    return TRUE;
}

BOOL IsIconic(HWND h)
{
    QmWindow* w = Win(h);
    return w && w->ShowCmdState == SW_SHOWMINIMIZED ? TRUE : FALSE;
}

BOOL IsZoomed(HWND h)
{
    QmWindow* w = Win(h);
    return w && w->ShowCmdState == SW_SHOWMAXIMIZED ? TRUE : FALSE;
}

BOOL EnableWindow(HWND h, BOOL enable)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    bool wasDisabled = !w->isEnabled();
    if (w->isEnabled() != (enable != FALSE)) {
        w->setEnabled(enable != FALSE);
        w->Send(WM_ENABLE, enable, 0);
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND h, LPCSTR text)
{
    return WithWindow(h, [&](QmWindow* w) { w->setWindowTitle(Cp1252ToQString(text ? text : "")); });
}

BOOL BringWindowToTop(HWND h)
{
    return WithWindow(h, [](QmWindow* w) { w->raise(); });
}

HWND GetActiveWindow()
{
    if (auto* a = QApplication::activeWindow())
        if (HWND h = WindowFromWidget(a))
            return h;
    return gActive;
}

BOOL UpdateWindow(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    // A shown window without an image of its own paints into the toolkit's buffer now; asked
    // during another paint, it paints right after it.
    RECT pending;
    if (w->State == QmWindow::Pixels::Direct && w->isVisible() && GetUpdateRect(h, &pending, FALSE)) {
        if (gPainting)
            w->Repaint(w->FromClient(pending));
        else
            w->repaint(w->FromClient(pending));
        return TRUE;
    }
    w->PaintPending();
    if (Win(h))
        w->update();
    return TRUE;
}

