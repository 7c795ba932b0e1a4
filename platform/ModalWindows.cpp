#include "platform/WindowingInternal.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <map>
#include <xcb/xcb.h>

#include "platform/EventLoop.h"

using namespace window_detail;

namespace {
// The flags a window had before its modal run, restored after it.
std::map<HWND, Qt::WindowFlags>& ModalFlags()
{
    static std::map<HWND, Qt::WindowFlags> flags;
    return flags;
}

constexpr int ReshowAfterMs = 750;

// Shows w anew when it is meant to be on screen and is not: the window manager dropped the
// request to map it (it came while the window was still being withdrawn).
void ReshowIfLost(QmWindow* w)
{
    QWindow* wh = w->windowHandle();
    if (!w->Shown || !wh || wh->isExposed() || (w->windowState() & Qt::WindowMinimized))
        return;
    // Mapped again beneath the toolkit, which still counts the window as shown. Hiding and
    // showing it through the toolkit would make it the focus window at once while its widgets
    // were told no window is active: when the window manager then gives it the focus, nothing
    // in it gets the keys.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* c = x11->connection();
        xcb_map_window(c, static_cast<xcb_window_t>(wh->winId()));
        xcb_flush(c);
        w->activateWindow();
        return;
    }
    w->hide();
    w->show();
    w->raise();
    w->activateWindow();
}

// Watches a modal window for the whole of its run: an unmap it did not ask for is undone.
class ModalExposeWatch : public QObject {
public:
    ModalExposeWatch(QmWindow* w) : QObject(w), FWindow(w) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Expose && FWindow && FWindow->windowHandle() &&
            !FWindow->windowHandle()->isExposed()) {
            QPointer<QmWindow> w = FWindow;
            QTimer::singleShot(ReshowAfterMs, this, [w] {
                if (w)
                    ReshowIfLost(w);
            });
        }
        return false;
    }

private:
    QPointer<QmWindow> FWindow;
};

std::map<HWND, QPointer<ModalExposeWatch>>& ModalWatches()
{
    static std::map<HWND, QPointer<ModalExposeWatch>> watches;
    return watches;
}

} // namespace

// A modal window the window manager minimised would leave its blocked owner with nothing
// to answer: it comes back at once.
bool window_detail::KeepModalShown(QmWindow* w)
{
    if (!ModalFlags().count(w->Hwnd) || !w->Shown)
        return false;
    QPointer<QmWindow> self(w);
    QTimer::singleShot(0, w, [self] {
        if (self && self->Shown) {
            self->setWindowState(self->windowState() & ~Qt::WindowMinimized);
            self->show();
            self->raise();
            self->activateWindow();
        }
    });
    return true;
}

void BeginModalWindow(HWND h, HWND owner)
{
    QmWindow* w = Win(h);
    if (!w || w->parentWidget())
        return;
    const Qt::WindowFlags old = w->windowFlags();
    ModalFlags()[h] = old;
    // Minimised, a modal window would leave its blocked owner with nothing on screen.
    Qt::WindowFlags f = (old & ~Qt::WindowType_Mask) | Qt::Dialog;
    f &= ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    if (f != old)
        w->setWindowFlags(f);
    w->setWindowModality(Qt::ApplicationModal);
    // Without a transient parent the toolkit names its hidden leader window instead.
    QmWindow* o = Win(owner);
    if (o && !o->parentWidget() && o != w) {
        w->winId();
        o->winId();
        if (w->windowHandle() && o->windowHandle())
            w->windowHandle()->setTransientParent(o->windowHandle());
    }
    w->winId();
    if (QWindow* wh = w->windowHandle()) {
        auto* watch = new ModalExposeWatch(w);
        wh->installEventFilter(watch);
        ModalWatches()[h] = watch;
    }
}

void SetWindowOwner(HWND h, HWND owner)
{
    QmWindow* w = Win(h);
    if (!w || w->parentWidget() || w->isVisible())
        return;
    QmWindow* o = Win(owner);
    if (!o || o->parentWidget() || o == w) {
        if (w->windowHandle())
            w->windowHandle()->setTransientParent(nullptr);
        return;
    }
    if ((w->windowFlags() & Qt::WindowType_Mask) == Qt::Window)
        w->setWindowFlags((w->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
    w->winId();
    o->winId();
    if (w->windowHandle() && o->windowHandle())
        w->windowHandle()->setTransientParent(o->windowHandle());
}

void EndModalWindow(HWND h)
{
    if (auto it = ModalWatches().find(h); it != ModalWatches().end()) {
        delete it->second.data();
        ModalWatches().erase(it);
    }
    QmWindow* w = Win(h);
    auto it = ModalFlags().find(h);
    if (!w) {
        if (it != ModalFlags().end())
            ModalFlags().erase(it);
        return;
    }
    w->setWindowModality(Qt::NonModal);
    if (w->windowHandle())
        w->windowHandle()->setTransientParent(nullptr);
    if (it != ModalFlags().end()) {
        if (it->second != w->windowFlags() && !w->Shown)
            w->setWindowFlags(it->second);
        ModalFlags().erase(it);
    }
}

BOOL WaitWindowOnScreen(HWND h, DWORD timeoutMs)
{
    QmWindow* w = Win(h);
    if (!w || w->parentWidget() || !w->Shown)
        return FALSE;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return w->isVisible() ? TRUE : FALSE;
    constexpr DWORD ReshowAfter = ReshowAfterMs;
    QPointer<QmWindow> self(w);
    const DWORD start = EventLoopTicks();
    DWORD lastShow = start;
    bool activated = false;
    for (;;) {
        if (!self || !self->Shown)
            return FALSE;
        QWindow* wh = self->windowHandle();
        const bool exposed = wh && wh->isExposed();
        if (exposed && wh->isActive())
            return TRUE;
        const DWORD now = EventLoopTicks();
        if (now - start >= timeoutMs)
            return FALSE;
        if (exposed && !activated) {
            self->raise();
            self->activateWindow();
            activated = true;
        } else if (!exposed && now - lastShow >= ReshowAfter) {
            ReshowIfLost(self);
            lastShow = EventLoopTicks();
            activated = false;
        }
        const DWORD reshow = lastShow + ReshowAfter;
        const DWORD next = !exposed && reshow - start < timeoutMs ? reshow : start + timeoutMs;
        WaitAndPumpMessages(next);
    }
}

