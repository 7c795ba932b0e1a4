#include "platform/WindowingInternal.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>

using namespace window_detail;

namespace {
bool gKeyboardFocusMove = false;
} // namespace

HWND SetFocus(HWND h)
{
    HWND old = GetFocus();
    if (!h) {
        if (QWidget* f = QApplication::focusWidget())
            f->clearFocus();
        return old;
    }
    QmWindow* w = Win(h);
    if (!w)
        return old;
    if (!w->parentWidget() || w->window()->isActiveWindow() || QGuiApplication::platformName() == "offscreen")
        w->window()->activateWindow();
    if (gKeyboardFocusMove)
        w->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    w->setFocus(gKeyboardFocusMove ? Qt::TabFocusReason : Qt::OtherFocusReason);
    return old;
}

bool SetKeyboardFocusMove(bool keyboard)
{
    const bool was = gKeyboardFocusMove;
    gKeyboardFocusMove = keyboard;
    return was;
}

HWND GetFocus()
{
    QWidget* f = QApplication::focusWidget();
    for (QWidget* p = f; p; p = p->parentWidget())
        if (HWND h = WindowFromWidget(p))
            return h;
    return nullptr;
}

HWND SetCapture(HWND h)
{
    HWND old = gCapture;
    if (old == h)
        return old;
    gCapture = h;
    gCaptureImplicit = false;
    if (QmWindow* o = Win(old))
        o->Send(WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    return old;
}

BOOL ReleaseCapture()
{
    HWND old = gCapture;
    gCapture = nullptr;
    gCaptureImplicit = false;
    if (QmWindow* o = Win(old))
        o->Send(WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() { return gCapture && IsWindow(gCapture) ? gCapture : nullptr; }

BOOL GetCursorPos(POINT* pt)
{
    if (!pt)
        return FALSE;
    QPoint p = QCursor::pos();
    *pt = POINT{p.x(), p.y()};
    return TRUE;
}

