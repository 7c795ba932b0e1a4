#include "platform/Windowing.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <map>

#include "platform/AppException.h"
#include "platform/Caret.h"
#include "platform/Codepage.h"
#include "platform/EventLoop.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/ScrollBar.h"

namespace {

class QmWindow;
QmWindow* Win(HWND h);
bool ShowWindowHint(QmWindow* w, QHelpEvent* e);
bool KeepModalShown(QmWindow* w);

HWND gCapture = nullptr;
bool gCaptureImplicit = false;
HWND gActive = nullptr;
bool gKeyboardFocusMove = false;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

class QmWindow : public QWidget {
public:
    QmWindow(HWND h, const WindowCreateInfo& info, QWidget* parent)
        : QWidget(parent, parent ? Qt::Widget : Qt::Window), Hwnd(h), Bounds(info.Bounds),
          NonClient(info.NonClient), Style(info.Style), Normal(info.Bounds)
    {
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        // Focus moves by Tab or by the program; a click gives it only when the control asks.
        setFocusPolicy((info.Style & WS_TABSTOP) ? Qt::TabFocus : Qt::NoFocus);
        if (!parent) {
            SetTopLevelFlags(info.Style, info.ExStyle);
            setWindowTitle(Cp1252ToQString(info.Caption));
        }
        // The window starts in the state its style gives, as one made disabled stays so.
        setEnabled(!(info.Style & WS_DISABLED));
        ApplyGeometry();
        LastClient = ClientSize();
    }
    ~QmWindow() override
    {
        if (gCapture == Hwnd)
            gCapture = nullptr;
        if (gActive == Hwnd)
            gActive = nullptr;
        if (GetWindowNativeData(Hwnd) == this)
            SetWindowNativeData(Hwnd, nullptr);
    }

    void SetTopLevelFlags(LONG_PTR style, LONG_PTR exStyle)
    {
        if (!(style & (WS_POPUP | WS_CAPTION | WS_THICKFRAME)))
            style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
        const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
        Qt::WindowFlags f = tool ? Qt::Tool : (exStyle & WS_EX_DLGMODALFRAME) ? Qt::Dialog : Qt::Window;
        if ((style & WS_CAPTION) != WS_CAPTION) {
            f |= Qt::FramelessWindowHint;
        } else {
            // Only the buttons the style names: without this the toolkit adds its own set.
            f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
            if (style & WS_SYSMENU)
                f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            if ((style & WS_MINIMIZEBOX) && !tool)
                f |= Qt::WindowMinimizeButtonHint;
            if ((style & WS_MAXIMIZEBOX) && !tool)
                f |= Qt::WindowMaximizeButtonHint;
        }
        if (exStyle & WS_EX_TOPMOST)
            f |= Qt::WindowStaysOnTopHint;
        setWindowFlags(f);
        Resizable = (style & WS_THICKFRAME) != 0;
    }

    QScrollBar* MakeBar(Qt::Orientation o)
    {
        auto* b = new QScrollBar(o, this);
        b->hide();
        b->setFocusPolicy(Qt::NoFocus);
        const int bar = o == Qt::Vertical ? SB_VERT : SB_HORZ;
        const UINT msg = o == Qt::Vertical ? WM_VSCROLL : WM_HSCROLL;
        QObject::connect(b, &QAbstractSlider::actionTriggered, b, [this, b, bar, msg](int action) {
            int code = -1;
            switch (action) {
            case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
            case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
            case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
            case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
            case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
            case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
            case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
            default: break;
            }
            // The thumb stays where the program puts it: undo Qt's own move first.
            int pos = b->sliderPosition();
            SyncBar(bar);
            if (code < 0)
                return;
            if (code == SB_THUMBTRACK)
                SetScrollTrackPos(Hwnd, bar, pos);
            Send(msg, MAKEWPARAM(code, code == SB_THUMBTRACK ? pos : 0), 0);
        });
        QObject::connect(b, &QAbstractSlider::sliderReleased, b, [this, b, bar, msg] {
            int pos = b->sliderPosition();
            SetScrollTrackPos(Hwnd, bar, pos);
            Send(msg, MAKEWPARAM(SB_THUMBPOSITION, pos), 0);
            Send(msg, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
            SyncBar(bar);
        });
        QObject::connect(b, &QAbstractSlider::sliderPressed, b, [this, bar] {
            SetScrollTrackPos(Hwnd, bar, GetScrollPos(Hwnd, bar));
        });
        return b;
    }

    // A scroll bar's widget is made the first time the bar is shown: most windows never
    // show one.
    void SyncBar(int bar)
    {
        ScrollBarState s = GetScrollBarState(Hwnd, bar);
        QScrollBar*& b = bar == SB_VERT ? VBar : HBar;
        if (!b) {
            if (!s.Visible)
                return;
            b = MakeBar(bar == SB_VERT ? Qt::Vertical : Qt::Horizontal);
        }
        QSignalBlocker block(b);
        int page = static_cast<int>(s.Info.nPage);
        int maxPos = s.Info.nMax - std::max(page - 1, 0);
        b->setRange(s.Info.nMin, std::max(s.Info.nMin, maxPos));
        b->setPageStep(std::max(page, 1));
        b->setSingleStep(1);
        if (!b->isSliderDown())
            b->setSliderPosition(s.Info.nPos);
        b->setValue(s.Info.nPos);
        b->setEnabled(s.Enabled);
    }

    bool BarVisible(int bar) const { return GetScrollBarState(Hwnd, bar).Visible; }

    // Client area in widget coordinates.
    QRect ClientArea() const
    {
        int ox = 0, oy = MenuHeight, w = width(), h = std::max(0, height() - MenuHeight);
        if (parentWidget()) {
            ox = NonClient.left;
            oy = NonClient.top;
            w = std::max(0, w - NonClient.left - NonClient.right);
            h = std::max(0, h + MenuHeight - NonClient.top - NonClient.bottom);
        }
        if (BarVisible(SB_VERT))
            w = std::max(0, w - GetSystemMetrics(SM_CXVSCROLL));
        if (BarVisible(SB_HORZ))
            h = std::max(0, h - GetSystemMetrics(SM_CYHSCROLL));
        return QRect(ox, oy, w, h);
    }
    QSize ClientSize() const { return ClientArea().size(); }

    void LayoutBars()
    {
        QRect c = ClientArea();
        int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
        for (int bar : {SB_VERT, SB_HORZ}) {
            const bool visible = BarVisible(bar);
            if (visible && !(bar == SB_VERT ? VBar : HBar))
                SyncBar(bar);
            if (QScrollBar* b = bar == SB_VERT ? VBar : HBar) {
                b->setVisible(visible);
                if (bar == SB_VERT)
                    b->setGeometry(c.right() + 1, c.top(), cx, c.height());
                else
                    b->setGeometry(c.left(), c.bottom() + 1, c.width(), cy);
            }
        }
        if (MenuBar) {
            int left = parentWidget() ? NonClient.left : 0;
            int right = parentWidget() ? NonClient.right : 0;
            MenuBar->setGeometry(left, c.top() - MenuHeight, std::max(0, width() - left - right), MenuHeight);
        }
    }

    void ApplyGeometry()
    {
        if (parentWidget()) {
            QmWindow* p = dynamic_cast<QmWindow*>(parentWidget());
            QPoint origin = p ? p->ClientArea().topLeft() : QPoint();
            setGeometry(origin.x() + Bounds.left, origin.y() + Bounds.top, std::max(0, Width(Bounds)),
                        std::max(0, Height(Bounds)));
        } else {
            // The menu bar is part of the toolkit window, though outside the client area.
            const int top = NonClient.top - MenuHeight;
            Expected = QRect(Bounds.left + NonClient.left, Bounds.top + top,
                             std::max(1, Width(Bounds) - NonClient.left - NonClient.right),
                             std::max(1, Height(Bounds) - top - NonClient.bottom));
            if (!Resizable)
                setFixedSize(Expected.size());
            setGeometry(Expected);
        }
        LayoutBars();
        ResizeSurface();
    }

    // The backing image is made when something draws into the window or paints it: most
    // windows are hidden pages, containers covered by their children or hosts of a native
    // widget, and never need one. Until then it counts as white.
    void ResizeSurface()
    {
        QSize s = ClientSize().expandedTo(QSize(1, 1));
        if (SurfaceSize == s)
            return;
        SurfaceSize = s;
        if (!Surface.isNull())
            Surface = NewSurface(&Surface);
        if (!Native)
            InvalidateRect(Hwnd, nullptr, TRUE);
    }

    QImage NewSurface(const QImage* keep) const
    {
        // Made at the screen's pixel ratio so that text and lines are as sharp as the
        // widgets'; the drawing calls keep working in logical units.
        const qreal ratio = devicePixelRatioF();
        QImage img(static_cast<int>(std::ceil(SurfaceSize.width() * ratio)),
                   static_cast<int>(std::ceil(SurfaceSize.height() * ratio)), QImage::Format_RGB32);
        img.setDevicePixelRatio(ratio);
        img.fill(Qt::white);
        img.setDotsPerMeterX(3780);
        img.setDotsPerMeterY(3780);
        if (keep) {
            QPainter p(&img);
            p.drawImage(0, 0, *keep);
        }
        return img;
    }

    QImage* DrawingSurface()
    {
        if (Surface.isNull())
            Surface = NewSurface(nullptr);
        else if (Surface.devicePixelRatio() != devicePixelRatioF()) // moved to another screen
            Surface = NewSurface(&Surface);
        return &Surface;
    }

    // Sends WM_SIZE when the client area changed since the last one.
    void ClientChanged()
    {
        QSize c = ClientSize();
        LayoutBars();
        ResizeSurface();
        if (Native)
            Native->setGeometry(ClientArea());
        if (c == LastClient && !ForceSize)
            return;
        ForceSize = false;
        LastClient = c;
        WPARAM kind = ShowCmdState == SW_SHOWMINIMIZED ? SIZE_MINIMIZED
                      : ShowCmdState == SW_SHOWMAXIMIZED ? SIZE_MAXIMIZED
                                                         : SIZE_RESTORED;
        Send(WM_SIZE, kind, MAKELPARAM(c.width(), c.height()));
    }

    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp)
    {
        LRESULT r = 0;
        HWND h = Hwnd;
        GuardedCall([&] {
            if (IsWindow(h))
                r = SendMessage(h, msg, wp, lp);
        });
        return r;
    }

    void BoundsChanged(bool moved, bool sized)
    {
        WINDOWPOS pos;
        pos.hwnd = Hwnd;
        pos.x = Bounds.left;
        pos.y = Bounds.top;
        pos.cx = Width(Bounds);
        pos.cy = Height(Bounds);
        QPointer<QmWindow> self(this);
        Send(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
        if (!self)
            return;
        if (moved)
            Send(WM_MOVE, 0, MAKELPARAM(Bounds.left + NonClient.left, Bounds.top + NonClient.top));
        if (!self)
            return;
        if (sized)
            ClientChanged();
    }

    POINT ClientPoint(const QPointF& local) const
    {
        QPoint o = ClientArea().topLeft();
        return POINT{static_cast<LONG>(std::floor(local.x())) - o.x(), static_cast<LONG>(std::floor(local.y())) - o.y()};
    }

    static WPARAM KeyFlags(Qt::MouseButtons b, Qt::KeyboardModifiers m)
    {
        WPARAM f = 0;
        if (b & Qt::LeftButton)
            f |= MK_LBUTTON;
        if (b & Qt::RightButton)
            f |= MK_RBUTTON;
        if (b & Qt::MiddleButton)
            f |= MK_MBUTTON;
        if (m & Qt::ShiftModifier)
            f |= MK_SHIFT;
        if (m & Qt::ControlModifier)
            f |= MK_CONTROL;
        return f;
    }

    // Mouse messages go to the capturing window, in its client coordinates.
    void MouseMessage(UINT msg, QMouseEvent* e)
    {
        HWND target = Hwnd;
        POINT pt = ClientPoint(e->position());
        if (gCapture && gCapture != Hwnd && IsWindow(gCapture)) {
            POINT scr{static_cast<LONG>(e->globalPosition().x()), static_cast<LONG>(e->globalPosition().y())};
            if (ScreenToClient(gCapture, &scr)) {
                target = gCapture;
                pt = scr;
            }
        }
        WPARAM flags = KeyFlags(e->buttons(), e->modifiers());
        LPARAM lp = MAKELPARAM(pt.x, pt.y);
        GuardedCall([&] {
            if (IsWindow(target))
                SendMessage(target, msg, flags, lp);
        });
    }

    static UINT ButtonMessage(Qt::MouseButton b, int kind)
    {
        // kind: 0 down, 1 up, 2 double click
        UINT base = b == Qt::RightButton ? WM_RBUTTONDOWN : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
        return base + kind;
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        if (!gCapture) {
            gCapture = Hwnd;
            gCaptureImplicit = true;
        }
        MouseMessage(ButtonMessage(e->button(), 0), e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        if (!gCapture) {
            gCapture = Hwnd;
            gCaptureImplicit = true;
        }
        MouseMessage(ButtonMessage(e->button(), 2), e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        MouseMessage(ButtonMessage(e->button(), 1), e);
        if (e->buttons() == Qt::NoButton && gCaptureImplicit) {
            gCaptureImplicit = false;
            ReleaseCapture();
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override { MouseMessage(WM_MOUSEMOVE, e); }
    void wheelEvent(QWheelEvent* e) override
    {
        int delta = e->angleDelta().y();
        WPARAM flags = KeyFlags(e->buttons(), e->modifiers()) | (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16);
        QPoint g = e->globalPosition().toPoint();
        Send(WM_MOUSEWHEEL, flags, MAKELPARAM(g.x(), g.y()));
        e->accept();
    }
    void enterEvent(QEnterEvent*) override { Send(CM_MOUSEENTER, 0, 0); }
    void leaveEvent(QEvent*) override { Send(CM_MOUSELEAVE, 0, 0); }

    bool WantsTab()
    {
        return (Send(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0;
    }

    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            // Tab never moves the toolkit's own focus: the form decides.
            if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
                keyPressEvent(k);
                return true;
            }
        }
        if (e->type() == QEvent::ToolTip)
            return ShowWindowHint(this, static_cast<QHelpEvent*>(e));
        if (e->type() == QEvent::WindowActivate && !parentWidget()) {
            gActive = Hwnd;
            Send(WM_ACTIVATE, WA_ACTIVE, 0);
        } else if (e->type() == QEvent::WindowDeactivate && !parentWidget()) {
            if (gActive == Hwnd)
                gActive = nullptr;
            Send(WM_ACTIVATE, WA_INACTIVE, 0);
        }
        return QWidget::event(e);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        // Keys the embedded widget left alone propagate here; the control's own key path
        // has already seen them.
        if (Native) {
            e->accept();
            return;
        }
        unsigned mods = 0;
        if (e->modifiers() & Qt::ShiftModifier)
            mods |= KEYMOD_SHIFT;
        if (e->modifiers() & Qt::ControlModifier)
            mods |= KEYMOD_CONTROL;
        if (e->modifiers() & Qt::AltModifier)
            mods |= KEYMOD_ALT;
        if (e->modifiers() & Qt::KeypadModifier)
            mods |= KEYMOD_KEYPAD;
        QString t = e->text();
        char32_t ch = t.isEmpty() ? 0 : t.toUcs4().value(0);
        DeliverKeyPress(Hwnd, e->key(), mods, ch);
        e->accept();
    }
    void keyReleaseEvent(QKeyEvent* e) override
    {
        if (Native) {
            e->accept();
            return;
        }
        unsigned mods = (e->modifiers() & Qt::KeypadModifier) ? KEYMOD_KEYPAD : 0;
        WORD vk = QtKeyToVirtualKey(e->key(), mods);
        if (vk) {
            SetKeyStateDown(vk, false);
            bool alt = (e->modifiers() & Qt::AltModifier) != 0;
            Send(alt ? WM_SYSKEYUP : WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
        }
        e->accept();
    }

    void focusInEvent(QFocusEvent*) override { Send(WM_SETFOCUS, 0, 0); }
    void focusOutEvent(QFocusEvent*) override { Send(WM_KILLFOCUS, 0, 0); }

    void closeEvent(QCloseEvent* e) override
    {
        // The window decides; DefWindowProc destroys it.
        e->ignore();
        Send(WM_CLOSE, 0, 0);
    }

    void resizeEvent(QResizeEvent*) override
    {
        if (parentWidget() || geometry() == Expected)
            return;
        // The user or the window manager resized the window.
        QRect g = geometry();
        Bounds = RECT{g.x() - NonClient.left, g.y() - (NonClient.top - MenuHeight),
                      g.x() + g.width() + NonClient.right, g.y() + g.height() + NonClient.bottom};
        Expected = g;
        if (ShowCmdState == SW_SHOWNORMAL)
            Normal = Bounds;
        BoundsChanged(false, true);
    }
    void moveEvent(QMoveEvent*) override
    {
        if (parentWidget() || geometry() == Expected)
            return;
        QRect g = geometry();
        Bounds = RECT{g.x() - NonClient.left, g.y() - (NonClient.top - MenuHeight),
                      g.x() + g.width() + NonClient.right, g.y() + g.height() + NonClient.bottom};
        Expected = g;
        if (ShowCmdState == SW_SHOWNORMAL)
            Normal = Bounds;
        BoundsChanged(true, false);
    }

    void changeEvent(QEvent* e) override
    {
        if (e->type() == QEvent::WindowStateChange && !parentWidget()) {
            Qt::WindowStates s = windowState();
            if ((s & Qt::WindowMinimized) && KeepModalShown(this))
                return;
            int cmd = (s & Qt::WindowMinimized) ? SW_SHOWMINIMIZED
                      : (s & Qt::WindowMaximized) ? SW_SHOWMAXIMIZED
                                                  : SW_SHOWNORMAL;
            if (cmd != ShowCmdState) {
                ShowCmdState = cmd;
                ForceSize = true;
                ClientChanged();
            }
        }
        QWidget::changeEvent(e);
    }

    void PaintPending()
    {
        if (Native || !IsWindow(Hwnd))
            return;
        RECT upd;
        if (!GetUpdateRect(Hwnd, &upd, FALSE))
            return;
        HDC dc = GetDC(Hwnd);
        IntersectClipRect(dc, upd.left, upd.top, upd.right, upd.bottom);
        QPointer<QmWindow> self(this);
        Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(Hwnd, dc);
        if (!self)
            return;
        Send(WM_PAINT, 0, 0);
        // A procedure that did not paint leaves the area pending: drop it so it cannot
        // repaint forever.
        if (self)
            ValidateRect(Hwnd, nullptr);
    }

    void paintEvent(QPaintEvent* e) override
    {
        QRect c = ClientArea();
        // Only the frame or the menu bar is being shown: the client area (often covered by
        // the children) keeps what it has pending and needs no image yet.
        const bool clientShown = e->region().intersects(c);
        if (clientShown) {
            QPointer<QmWindow> self(this);
            Painting = true;
            ChangedWhilePainting = QRegion();
            PaintPending();
            if (!self)
                return;
            Painting = false;
            // What the procedure drew inside this event's area is shown below; only the rest
            // needs another paint. Asking for each drawing call posts one event apiece.
            const QRegion outside = ChangedWhilePainting - e->region();
            if (!outside.isEmpty())
                update(outside);
            c = ClientArea();
        }
        QPainter p(this);
        p.setClipRect(e->rect());
        if (parentWidget() && (NonClient.left || NonClient.top || NonClient.right || NonClient.bottom)) {
            p.fillRect(rect(), QColor(128, 128, 128));
        }
        if (!clientShown)
            return;
        if (Native)
            p.fillRect(c, Qt::white);
        else {
            const QImage& surface = *DrawingSurface();
            const qreal ratio = surface.devicePixelRatio();
            p.drawImage(QRectF(c), surface, QRectF(0, 0, c.width() * ratio, c.height() * ratio));
        }
        RECT cr;
        if (GetCaretOverlay(Hwnd, &cr)) {
            QRect r(c.left() + cr.left, c.top() + cr.top, cr.right - cr.left, cr.bottom - cr.top);
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(r & c, Qt::white);
        }
    }

    HWND Hwnd;
    bool Painting = false;
    QRegion ChangedWhilePainting;
    RECT Bounds;
    RECT NonClient;
    LONG_PTR Style;
    RECT Normal;
    POINT MinPos{-1, -1};
    POINT MaxPos{-1, -1};
    QRect Expected;
    QSize LastClient;
    bool ForceSize = false;
    bool Resizable = true;
    int ShowCmdState = SW_SHOWNORMAL;
    bool Shown = false;
    QImage Surface;
    QSize SurfaceSize;
    QScrollBar* VBar = nullptr;
    QScrollBar* HBar = nullptr;
    QPointer<QWidget> Native;
    QPointer<QWidget> MenuBar;
    int MenuHeight = 0;
    MINMAXINFO MinMax{};
};

QmWindow* Win(HWND h)
{
    if (!h || !IsWindow(h))
        return nullptr;
    return static_cast<QmWindow*>(GetWindowNativeData(h));
}

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

// Tab pressed inside an embedded widget (or any widget inside it, such as the edit of a
// combo box) follows the form's Tab order: it becomes WM_KEYDOWN through the window's
// procedure, unless the control asks for Tab itself. The toolkit would otherwise move its
// own focus, in its own order. A context-menu request becomes WM_CONTEXTMENU; the widget's
// own menu shows only when no one answers it.
class NativeChildFilter : public QObject {
public:
    NativeChildFilter(HWND h, QObject* parent) : QObject(parent), FHwnd(h) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::ContextMenu) {
            QmWindow* w = Win(FHwnd);
            if (!w)
                return false;
            auto* c = static_cast<QContextMenuEvent*>(e);
            LPARAM pos = c->reason() == QContextMenuEvent::Mouse
                             ? MAKELPARAM(c->globalPos().x(), c->globalPos().y())
                             : MAKELPARAM(-1, -1);
            return w->Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(FHwnd), pos) != 0;
        }
        if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
            return false;
        auto* k = static_cast<QKeyEvent*>(e);
        // The handlers read the modifiers through GetKeyState, as this event has them.
        SetKeyStateDown(VK_SHIFT, (k->modifiers() & Qt::ShiftModifier) != 0);
        SetKeyStateDown(VK_CONTROL, (k->modifiers() & Qt::ControlModifier) != 0);
        SetKeyStateDown(VK_MENU, (k->modifiers() & Qt::AltModifier) != 0);
        if (e->type() != QEvent::KeyPress)
            return false;
        if (k->key() != Qt::Key_Tab && k->key() != Qt::Key_Backtab)
            return false;
        if (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        QmWindow* w = Win(FHwnd);
        if (!w || w->WantsTab())
            return false;
        unsigned mods = (k->modifiers() & Qt::ShiftModifier) ? KEYMOD_SHIFT : 0;
        DeliverKeyPress(FHwnd, k->key(), mods, 0);
        return true;
    }

private:
    HWND FHwnd;
};

bool ShowWindowHint(QmWindow* w, QHelpEvent* e)
{
    WindowHintQuery q;
    q.Pos = w->ClientPoint(e->pos());
    w->Send(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&q));
    if (q.Text.empty()) {
        QToolTip::hideText();
        e->ignore(); // the parent window may have one
        return false;
    }
    QToolTip::showText(e->globalPos(), Cp1252ToQString(q.Text), w, QRect(), q.HidePause > 0 ? q.HidePause : -1);
    return true;
}

int (*gHintPause)() = nullptr;

// The toolkit asks its style how long the mouse must rest before a tooltip.
class HintPauseStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay && gHintPause)
            return std::max(0, gHintPause());
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

bool gHooksInstalled = false;
} // namespace

void InitWindowAdaptor()
{
    // Set on every call: a test may have replaced these process-wide hooks.
    // A new procedure may answer WM_GETMINMAXINFO differently: ask it at once.
    SetWindowProcChangedHook([](HWND h) {
        if (QmWindow* w = Win(h); w && !w->parentWidget())
            RefreshMinMaxInfo(h);
    });
    // Whoever destroys a window, its widget goes with it.
    SetWindowDestroyedHook([](HWND h) {
        DetachWindowWidget(h);
        ForgetWindowUpdate(h);
    });
    if (gHooksInstalled)
        return;
    gHooksInstalled = true;
    SetWindowSurfaceProvider([](HWND h) -> QImage* {
        QmWindow* w = Win(h);
        return w && !w->Native ? w->DrawingSurface() : nullptr;
    });
    SetWindowSurfaceSizeProvider([](HWND h, SIZE* size) {
        QmWindow* w = Win(h);
        if (!w || w->Native)
            return false;
        *size = SIZE{w->SurfaceSize.width(), w->SurfaceSize.height()};
        return true;
    });
    SetInvalidateHandler([](HWND h, const RECT* r, BOOL) {
        if (QmWindow* w = Win(h)) {
            QRect c = w->ClientArea();
            if (r)
                w->update(QRect(c.left() + r->left, c.top() + r->top, r->right - r->left, r->bottom - r->top) & c);
            else
                w->update(c);
        }
    });
    SetSurfaceChangedHandler([](HWND h, const RECT& r) {
        if (QmWindow* w = Win(h)) {
            QRect c = w->ClientArea();
            QRect changed = QRect(c.left() + r.left, c.top() + r.top, r.right - r.left, r.bottom - r.top) & c;
            if (w->Painting)
                w->ChangedWhilePainting += changed;
            else
                w->update(changed);
        }
    });
    SetCaretChangeHandler([](HWND h, const RECT& r) {
        if (QmWindow* w = Win(h)) {
            QRect c = w->ClientArea();
            w->update(QRect(c.left() + r.left, c.top() + r.top, r.right - r.left, r.bottom - r.top) & c);
        }
    });
    SetScrollBarChangeHandler([](HWND h, int bar, bool visibilityChanged) {
        if (QmWindow* w = Win(h)) {
            w->SyncBar(bar);
            if (visibilityChanged)
                w->ClientChanged();
        }
    });
}

void SetHintPauseSource(int (*pause)())
{
    gHintPause = pause;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!dynamic_cast<HintPauseStyle*>(QApplication::style()))
        QApplication::setStyle(new HintPauseStyle);
}

BOOL AttachWindowWidget(HWND h, const WindowCreateInfo& info)
{
    if (!IsWindow(h))
        return FALSE;
    EnsureGuiApplication();
    InitWindowAdaptor();
    QWidget* parent = nullptr;
    if (info.Parent) {
        parent = Win(info.Parent);
        if (!parent)
            return FALSE;
    }
    if (Win(h))
        DetachWindowWidget(h);
    auto* w = new QmWindow(h, info, parent);
    SetWindowNativeData(h, w);
    w->SyncBar(SB_HORZ);
    w->SyncBar(SB_VERT);
    return TRUE;
}

void DetachWindowWidget(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    if (GetCaretWindow() == h)
        DestroyCaret();
    SetWindowNativeData(h, nullptr);
    w->hide();
    delete w;
    ForgetScrollBars(h);
}

bool HasWindowWidget(HWND h) { return Win(h) != nullptr; }
QWidget* WindowWidget(HWND h) { return Win(h); }

void SetWindowNativeChild(HWND h, QWidget* child)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    w->Native = child;
    if (child) {
        child->setParent(w);
        child->setGeometry(w->ClientArea());
        child->show();
        w->setFocusProxy(child);
        auto* filter = new NativeChildFilter(h, child);
        child->installEventFilter(filter);
        for (QWidget* inner : child->findChildren<QWidget*>())
            inner->installEventFilter(filter);
    }
}

void SendCreationSize(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    QPointer<QmWindow> self(w);
    w->ForceSize = true;
    w->ClientChanged();
    if (self)
        w->Send(WM_MOVE, 0, MAKELPARAM(w->Bounds.left + w->NonClient.left, w->Bounds.top + w->NonClient.top));
}

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
    QmWindow* w = Win(h);
    if (!w || !rect)
        return FALSE;
    *rect = w->Bounds;
    return TRUE;
}

BOOL GetWindowRect(HWND h, RECT* rect)
{
    QmWindow* w = Win(h);
    if (!w || !rect)
        return FALSE;
    if (!w->parentWidget()) {
        *rect = w->Bounds;
        return TRUE;
    }
    QPoint g = w->mapToGlobal(QPoint(0, 0));
    *rect = RECT{g.x(), g.y(), g.x() + w->width(), g.y() + w->height()};
    return TRUE;
}

BOOL GetClientRect(HWND h, RECT* rect)
{
    QmWindow* w = Win(h);
    if (!w || !rect)
        return FALSE;
    QSize s = w->ClientSize();
    *rect = RECT{0, 0, s.width(), s.height()};
    return TRUE;
}

BOOL ClientToScreen(HWND h, POINT* pt)
{
    QmWindow* w = Win(h);
    if (!w || !pt)
        return FALSE;
    QPoint g = w->mapToGlobal(w->ClientArea().topLeft() + QPoint(pt->x, pt->y));
    *pt = POINT{g.x(), g.y()};
    return TRUE;
}

BOOL ScreenToClient(HWND h, POINT* pt)
{
    QmWindow* w = Win(h);
    if (!w || !pt)
        return FALSE;
    QPoint l = w->mapFromGlobal(QPoint(pt->x, pt->y)) - w->ClientArea().topLeft();
    *pt = POINT{l.x(), l.y()};
    return TRUE;
}

BOOL SetWindowNonClient(HWND h, const RECT& nonClient)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    w->NonClient = nonClient;
    w->ApplyGeometry();
    w->ClientChanged();
    return TRUE;
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

BOOL SetWindowParent(HWND h, HWND parent)
{
    QmWindow* w = Win(h);
    QmWindow* p = parent ? Win(parent) : nullptr;
    if (!w || (parent && !p))
        return FALSE;
    bool vis = w->isVisibleTo(w->parentWidget());
    w->setParent(p, p ? Qt::Widget : Qt::Window);
    w->ApplyGeometry();
    if (vis)
        w->show();
    return TRUE;
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
    QmWindow* w = Win(h);
    if (!w || !info)
        return FALSE;
    *info = w->MinMax;
    return TRUE;
}

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

BOOL IsWindowEnabled(HWND h)
{
    QmWindow* w = Win(h);
    return w && w->isEnabled() ? TRUE : FALSE;
}

BOOL SetWindowTextA(HWND h, LPCSTR text)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    w->setWindowTitle(Cp1252ToQString(text ? text : ""));
    return TRUE;
}

BOOL BringWindowToTop(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    w->raise();
    return TRUE;
}

BOOL SetForegroundWindow(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    w->raise();
    w->activateWindow();
    return TRUE;
}

HWND GetActiveWindow()
{
    if (auto* a = QApplication::activeWindow())
        if (HWND h = WindowFromWidget(a))
            return h;
    return gActive;
}

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

// A modal window the window manager minimised would leave its blocked owner with nothing
// to answer: it comes back at once.
bool KeepModalShown(QmWindow* w)
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
} // namespace

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

BOOL UpdateWindow(HWND h)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    w->PaintPending();
    if (Win(h))
        w->update();
    return TRUE;
}

BOOL GetWindowPlacement(HWND h, WINDOWPLACEMENT* wp)
{
    QmWindow* w = Win(h);
    if (!w || !wp)
        return FALSE;
    wp->length = sizeof(WINDOWPLACEMENT);
    wp->flags = 0;
    wp->showCmd = w->Shown ? static_cast<UINT>(w->ShowCmdState) : static_cast<UINT>(SW_HIDE);
    wp->ptMinPosition = w->MinPos;
    wp->ptMaxPosition = w->MaxPos;
    wp->rcNormalPosition = w->Normal;
    return TRUE;
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

HWND SetFocus(HWND h)
{
    HWND old = GetFocus();
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

HWND WindowFromWidget(const QWidget* w)
{
    auto* q = dynamic_cast<const QmWindow*>(w);
    return q ? q->Hwnd : nullptr;
}

void DeliverKeyPress(HWND h, int qtKey, unsigned mods, char32_t text)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    WORD vk = QtKeyToVirtualKey(qtKey, mods);
    bool alt = (mods & KEYMOD_ALT) != 0;
    if (qtKey == Qt::Key_Backtab)
        mods |= KEYMOD_SHIFT;
    // The handlers read the modifiers through GetKeyState, as the event has them now.
    SetKeyStateDown(VK_SHIFT, (mods & KEYMOD_SHIFT) != 0);
    SetKeyStateDown(VK_CONTROL, (mods & KEYMOD_CONTROL) != 0);
    SetKeyStateDown(VK_MENU, alt);
    QPointer<QmWindow> self(w);
    // A Tab the control does not ask for is a dialog key: WM_KEYDOWN only, no character,
    // so the form moves the focus.
    bool dialogTab = vk == VK_TAB && !w->WantsTab();
    if (!self)
        return;
    if (vk) {
        bool repeat = GetKeyState(vk) < 0;
        SetKeyStateDown(vk, true);
        w->Send(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, repeat ? (1 | (LPARAM{1} << 30)) : 1);
        if (!self)
            return;
    }
    if (dialogTab)
        return;
    int code = KeyPressCharCode(qtKey, mods, text);
    if (code >= 0 && !(alt && !(mods & KEYMOD_CONTROL)))
        w->Send(WM_CHAR, static_cast<WPARAM>(code), 1);
    else if (code >= 0)
        w->Send(WM_SYSCHAR, static_cast<WPARAM>(code), 1);
}

namespace {
// Shared cursors live for the whole run; kept behind a pointer so exit does not free them
// while their handles may still be in use.
std::map<uintptr_t, QCursor*>& SharedCursors()
{
    static auto* cursors = new std::map<uintptr_t, QCursor*>;
    return *cursors;
}
bool IsSharedCursor(const QCursor* c)
{
    for (auto& [id, shared] : SharedCursors())
        if (shared == c)
            return true;
    return false;
}
} // namespace

HCURSOR LoadCursorA(const void* instance, LPCSTR name)
{
    if (instance)
        return nullptr;
    const auto id = reinterpret_cast<uintptr_t>(name);
    Qt::CursorShape shape;
    switch (id) {
    case 32512: shape = Qt::ArrowCursor; break;
    case 32513: shape = Qt::IBeamCursor; break;
    case 32514: shape = Qt::WaitCursor; break;
    case 32515: shape = Qt::CrossCursor; break;
    case 32516: shape = Qt::UpArrowCursor; break;
    case 32642: shape = Qt::SizeFDiagCursor; break;
    case 32643: shape = Qt::SizeBDiagCursor; break;
    case 32644: shape = Qt::SizeHorCursor; break;
    case 32645: shape = Qt::SizeVerCursor; break;
    case 32646: shape = Qt::SizeAllCursor; break;
    case 32648: shape = Qt::ForbiddenCursor; break;
    case 32649: shape = Qt::PointingHandCursor; break;
    case 32650: shape = Qt::BusyCursor; break;
    case 32651: shape = Qt::WhatsThisCursor; break;
    default: return nullptr;
    }
    QCursor*& c = SharedCursors()[id];
    if (!c) {
        EnsureGuiApplication();
        c = new QCursor(shape);
    }
    return reinterpret_cast<HCURSOR>(c);
}

HCURSOR CreateCursor(int hotX, int hotY, int width, int height, const void* andBits, const void* xorBits)
{
    if (width <= 0 || height <= 0 || width > 256 || height > 256 || !andBits || !xorBits)
        return nullptr;
    if (hotX < 0 || hotY < 0 || hotX >= width || hotY >= height)
        return nullptr;
    EnsureGuiApplication();
    const int stride = (width + 15) / 16 * 2;
    const auto* andRows = static_cast<const unsigned char*>(andBits);
    const auto* xorRows = static_cast<const unsigned char*>(xorBits);
    // The toolkit's masks: a set mask bit is opaque, a set picture bit is black (inverted
    // where the mask is clear).
    QImage picture(width, height, QImage::Format_Mono), mask(width, height, QImage::Format_Mono);
    picture.setColor(0, qRgb(255, 255, 255));
    picture.setColor(1, qRgb(0, 0, 0));
    mask.setColor(0, qRgb(255, 255, 255));
    mask.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int byte = y * stride + x / 8, bit = 7 - x % 8;
            const bool a = (andRows[byte] >> bit) & 1, o = (xorRows[byte] >> bit) & 1;
            picture.setPixel(x, y, a == o ? 1 : 0);
            mask.setPixel(x, y, a ? 0 : 1);
        }
    auto* c = new QCursor(QBitmap::fromImage(picture), QBitmap::fromImage(mask), hotX, hotY);
    return reinterpret_cast<HCURSOR>(c);
}

BOOL DestroyCursor(HCURSOR cursor)
{
    auto* c = reinterpret_cast<QCursor*>(cursor);
    if (!c)
        return FALSE;
    if (!IsSharedCursor(c))
        delete c;
    return TRUE;
}

void SetWindowCursor(HWND h, HCURSOR cursor)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    auto* c = reinterpret_cast<const QCursor*>(cursor);
    for (QWidget* target : {static_cast<QWidget*>(w), static_cast<QWidget*>(w->Native.data())}) {
        if (!target)
            continue;
        if (c)
            target->setCursor(*c);
        else
            target->unsetCursor();
    }
}
