#include "platform/WindowingInternal.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/AppException.h"
#include "platform/Caret.h"
#include "platform/Codepage.h"
#include "platform/Gdi.h"
#include "platform/GdiInternal.h"
#include "platform/Input.h"
#include "platform/ScopeExit.h"
#include "platform/ScrollBar.h"

using namespace window_detail;

HWND window_detail::gCapture = nullptr;
bool window_detail::gCaptureImplicit = false;
HWND window_detail::gActive = nullptr;
QmWindow* window_detail::gPainting = nullptr;

QmWindow::QmWindow(HWND h, const WindowCreateInfo& info, QWidget* parent)
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

QmWindow::~QmWindow()
{
    if (gCapture == Hwnd)
        gCapture = nullptr;
    if (gActive == Hwnd)
        gActive = nullptr;
    if (GetWindowNativeData(Hwnd) == this)
        SetWindowNativeData(Hwnd, nullptr);
}

void QmWindow::SetTopLevelFlags(LONG_PTR style, LONG_PTR exStyle)
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

QScrollBar* QmWindow::MakeBar(Qt::Orientation o)
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
void QmWindow::SyncBar(int bar)
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

// Client area in widget coordinates.
QRect QmWindow::ClientArea() const
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

void QmWindow::LayoutBars()
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

void QmWindow::ApplyGeometry()
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
    ResizeImage();
}

void QmWindow::ResizeImage()
{
    QSize s = ClientSize().expandedTo(QSize(1, 1));
    if (ImageSize == s)
        return;
    ImageSize = s;
    if (State == Pixels::Imaged)
        Image = NewImage(&Image);
    if (State != Pixels::Native)
        InvalidateRect(Hwnd, nullptr, TRUE);
}

QImage QmWindow::NewImage(const QImage* keep) const
{
    // Made at the screen's pixel ratio so that text and lines are as sharp as the
    // widgets'; the drawing calls keep working in logical units.
    const qreal ratio = devicePixelRatioF();
    QImage img(static_cast<int>(std::ceil(ImageSize.width() * ratio)),
               static_cast<int>(std::ceil(ImageSize.height() * ratio)), QImage::Format_RGB32);
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

// The image of a window that has one; a Direct window takes one now.
QImage* QmWindow::ImageFor(ImageUse use)
{
    switch (State) {
    case Pixels::Native:
        return nullptr;
    case Pixels::Direct:
        if (!TakeImage(use))
            return nullptr;
        break;
    case Pixels::Imaged:
        if (Image.devicePixelRatio() != devicePixelRatioF()) // moved to another screen
            Image = NewImage(&Image);
        break;
    }
    return &Image;
}

// The window keeps an image of its own from now on, made by painting the window into it, never
// by copying what is shown there (its children, the caret). What its paints showed so far is
// painted again: at once when something is about to draw on or read what the window shows,
// else (hidden, painting itself, or about to paint or move all of it) at its next paint.
// False when that paint destroyed the window.
bool QmWindow::TakeImage(ImageUse use)
{
    State = Pixels::Imaged;
    Image = NewImage(nullptr);
    if (PaintedDirectly)
        InvalidateRect(Hwnd, nullptr, TRUE);
    if (use == ImageUse::Repainted || gPainting == this || !isVisible())
        return true;
    QPointer<QmWindow> self(this);
    PaintPending();
    return self && Win(Hwnd) == this;
}

// A native widget fills the client area and draws itself.
void QmWindow::HostNative(QWidget* child)
{
    State = Pixels::Native;
    Image = QImage();
    Native = child;
}

QRect QmWindow::FromClient(const RECT& r) const
{
    const QRect c = ClientArea();
    return gdi_detail::ToQRect(r).translated(c.topLeft()) & c;
}

// Sends WM_SIZE when the client area changed since the last one.
void QmWindow::ClientChanged()
{
    QSize c = ClientSize();
    LayoutBars();
    ResizeImage();
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

LRESULT QmWindow::Send(UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT r = 0;
    HWND h = Hwnd;
    GuardedCall([&] {
        if (IsWindow(h))
            r = SendMessage(h, msg, wp, lp);
    });
    return r;
}

void QmWindow::BoundsChanged(bool moved, bool sized)
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

POINT QmWindow::ClientPoint(const QPointF& local) const
{
    QPoint o = ClientArea().topLeft();
    return POINT{static_cast<LONG>(std::floor(local.x())) - o.x(), static_cast<LONG>(std::floor(local.y())) - o.y()};
}

WPARAM QmWindow::KeyFlags(Qt::MouseButtons b, Qt::KeyboardModifiers m)
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
void QmWindow::MouseMessage(UINT msg, QMouseEvent* e)
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

UINT QmWindow::ButtonMessage(Qt::MouseButton b, int kind)
{
    // kind: 0 down, 1 up, 2 double click
    UINT base = b == Qt::RightButton ? WM_RBUTTONDOWN : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
    return base + kind;
}

void QmWindow::mousePressEvent(QMouseEvent* e)
{
    if (!gCapture) {
        gCapture = Hwnd;
        gCaptureImplicit = true;
    }
    MouseMessage(ButtonMessage(e->button(), 0), e);
}

void QmWindow::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (!gCapture) {
        gCapture = Hwnd;
        gCaptureImplicit = true;
    }
    MouseMessage(ButtonMessage(e->button(), 2), e);
}

void QmWindow::mouseReleaseEvent(QMouseEvent* e)
{
    MouseMessage(ButtonMessage(e->button(), 1), e);
    if (e->buttons() == Qt::NoButton && gCaptureImplicit) {
        gCaptureImplicit = false;
        ReleaseCapture();
    }
}

void QmWindow::wheelEvent(QWheelEvent* e)
{
    int delta = e->angleDelta().y();
    WPARAM flags = KeyFlags(e->buttons(), e->modifiers()) | (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16);
    QPoint g = e->globalPosition().toPoint();
    Send(WM_MOUSEWHEEL, flags, MAKELPARAM(g.x(), g.y()));
    e->accept();
}

bool QmWindow::WantsTab()
{
    return (Send(WM_GETDLGCODE, 0, 0) & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0;
}

bool QmWindow::event(QEvent* e)
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

void QmWindow::keyPressEvent(QKeyEvent* e)
{
    // Keys the embedded widget left alone propagate here; the control's own key path
    // has already seen them.
    if (Native) {
        e->accept();
        return;
    }
    QString t = e->text();
    char32_t ch = t.isEmpty() ? 0 : t.toUcs4().value(0);
    DeliverKeyPress(Hwnd, e->key(), KeyModifiers(e->modifiers().toInt()), ch);
    e->accept();
}

void QmWindow::keyReleaseEvent(QKeyEvent* e)
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

void QmWindow::closeEvent(QCloseEvent* e)
{
    // The window decides; DefWindowProc destroys it.
    e->ignore();
    Send(WM_CLOSE, 0, 0);
}

void QmWindow::resizeEvent(QResizeEvent*) { FrameChanged(false, true); }

void QmWindow::moveEvent(QMoveEvent*) { FrameChanged(true, false); }

// The user or the window manager moved or resized a top-level window: its bounds follow.
void QmWindow::FrameChanged(bool moved, bool sized)
{
    if (parentWidget() || geometry() == Expected)
        return;
    QRect g = geometry();
    Bounds = RECT{g.x() - NonClient.left, g.y() - (NonClient.top - MenuHeight),
                  g.x() + g.width() + NonClient.right, g.y() + g.height() + NonClient.bottom};
    Expected = g;
    if (ShowCmdState == SW_SHOWNORMAL)
        Normal = Bounds;
    BoundsChanged(moved, sized);
}

void QmWindow::changeEvent(QEvent* e)
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

void QmWindow::PaintPending()
{
    if (State == Pixels::Native || !IsWindow(Hwnd))
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

// Paints the area of the client area straight into the toolkit's buffer: the window has no
// image that keeps anything, so all of the area is painted anew. The painter is clipped to
// the client area and to what the toolkit repaints, so children stay as they are.
void QmWindow::PaintDirect(QPainter& p, const QRegion& area)
{
    const QRect c = ClientArea();
    const RECT all = gdi_detail::ToRECT(area.boundingRect().translated(-c.topLeft()));
    // This paint covers the area: no further paint is asked for it.
    AddToUpdateArea(Hwnd, &all, TRUE);
    p.save();
    p.setClipRect(c, Qt::IntersectClip);
    p.translate(c.topLeft());
    DirectPainter = &p;
    PaintPending();
    DirectPainter = nullptr;
    PaintedDirectly = true;
    p.restore();
    // The window took an image while it painted: the image lacks this paint, and the end of
    // the paint dropped what was pending.
    if (State == Pixels::Imaged && Win(Hwnd) == this)
        InvalidateRect(Hwnd, nullptr, TRUE);
}

// The window repaints the box around all it was asked to since its last paint, as WM_PAINT
// does: a paint clipped to one rectangle fills each row in one go, where a paint clipped to
// several fills it span by span (and hands large fills to helper threads).
void QmWindow::Repaint(const QRect& r)
{
    if (r.isEmpty())
        return;
    Dirty |= r;
    update(Dirty);
}

void QmWindow::paintEvent(QPaintEvent* e)
{
    QmWindow* const outer = std::exchange(gPainting, this);
    const ScopeExit done([outer] { gPainting = outer; });
    Dirty = QRect();
    ChangedWhilePainting = QRegion();
    QRect c = ClientArea();
    // Only the frame or the menu bar is being shown: the client area (often covered by
    // the children) keeps what it has pending.
    const bool clientShown = e->region().intersects(c);
    if (clientShown && State == Pixels::Imaged) {
        PaintPending();
        // What the procedure drew inside this event's area is shown below; only the rest
        // needs another paint. Asking for each drawing call posts one event apiece.
        const QRegion outside = ChangedWhilePainting - e->region();
        if (!outside.isEmpty())
            Repaint(outside.boundingRect());
        c = ClientArea();
    }
    QPainter p(this);
    p.setClipRect(e->rect());
    if (parentWidget() && (NonClient.left || NonClient.top || NonClient.right || NonClient.bottom)) {
        p.fillRect(rect(), QColor(128, 128, 128));
    }
    if (!clientShown)
        return;
    switch (State) {
    case Pixels::Native:
        p.fillRect(c, Qt::white);
        break;
    case Pixels::Direct:
        PaintDirect(p, e->region() & c);
        c = ClientArea();
        break;
    case Pixels::Imaged: {
        const QImage& image = *ImageFor(ImageUse::Shown);
        const qreal ratio = image.devicePixelRatio();
        p.drawImage(QRectF(c), image, QRectF(0, 0, c.width() * ratio, c.height() * ratio));
        break;
    }
    }
    RECT cr;
    if (GetCaretOverlay(Hwnd, &cr)) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(FromClient(cr), Qt::white);
    }
}

QmWindow* window_detail::Win(HWND h)
{
    if (!h || !IsWindow(h))
        return nullptr;
    return static_cast<QmWindow*>(GetWindowNativeData(h));
}

namespace {

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
    WindowPaintHooks hooks;
    hooks.Image = [](HWND h, ImageUse use) -> QImage* {
        QmWindow* w = Win(h);
        return w ? w->ImageFor(use) : nullptr;
    };
    hooks.Size = [](HWND h, SIZE* size) {
        QmWindow* w = Win(h);
        if (!w || w->State == QmWindow::Pixels::Native)
            return false;
        *size = SIZE{w->ImageSize.width(), w->ImageSize.height()};
        return true;
    };
    hooks.Painter = [](HWND h) -> QPainter* {
        QmWindow* w = Win(h);
        return w && w->State == QmWindow::Pixels::Direct ? w->DirectPainter : nullptr;
    };
    hooks.Invalidated = [](HWND h, const RECT* r, BOOL) {
        if (QmWindow* w = Win(h))
            w->Repaint(r ? w->FromClient(*r) : w->ClientArea());
    };
    hooks.Drawn = [](HWND h, const RECT& r) {
        if (QmWindow* w = Win(h)) {
            const QRect changed = w->FromClient(r);
            if (gPainting == w)
                w->ChangedWhilePainting += changed;
            else
                w->Repaint(changed);
        }
    };
    SetWindowPaintHooks(std::move(hooks));
    SetCaretChangeHandler([](HWND h, const RECT& r) {
        if (QmWindow* w = Win(h))
            w->Repaint(w->FromClient(r));
    });
    SetScrollBarChangeHandler([](HWND h, int bar, bool visibilityChanged) {
        if (QmWindow* w = Win(h)) {
            w->SyncBar(bar);
            if (visibilityChanged)
                w->ClientChanged();
        }
    });
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
    // A window destroyed while it (or a window inside it) paints goes once the paint is over:
    // the toolkit is still at work on it.
    if (gPainting && (gPainting == w || w->isAncestorOf(gPainting)))
        w->deleteLater();
    else
        delete w;
    ForgetScrollBars(h);
}

bool HasWindowWidget(HWND h) { return Win(h) != nullptr; }
QWidget* WindowWidget(HWND h) { return Win(h); }

void SetWindowNativeChild(HWND h, QWidget* child)
{
    QmWindow* w = Win(h);
    if (!w || !child)
        return;
    w->HostNative(child);
    child->setParent(w);
    child->setGeometry(w->ClientArea());
    child->show();
    w->setFocusProxy(child);
    auto* filter = new NativeChildFilter(h, child);
    child->installEventFilter(filter);
    for (QWidget* inner : child->findChildren<QWidget*>())
        inner->installEventFilter(filter);
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

