#pragma once
// What the parts of the window layer share: the widget a window handle gets, and the
// capture and activation state the adaptor keeps.
#include "platform/ScrollBar.h"
#include "platform/WindowPaintHooks.h"
#include "platform/Windowing.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QWidget>

class QHelpEvent;
class QPainter;
class QScrollBar;

namespace window_detail {

extern HWND gCapture;
extern bool gCaptureImplicit; // taken by a pressed button, given back when it is released
extern HWND gActive;
class QmWindow;
// The window whose paint the toolkit runs now, if any: it paints one window at a time.
extern QmWindow* gPainting;

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

class QmWindow : public QWidget {
public:
    QmWindow(HWND h, const WindowCreateInfo& info, QWidget* parent);
    ~QmWindow() override;

    void SetTopLevelFlags(LONG_PTR style, LONG_PTR exStyle);
    QScrollBar* MakeBar(Qt::Orientation o);
    void SyncBar(int bar);
    bool BarVisible(int bar) const { return GetScrollBarState(Hwnd, bar).Visible; }
    QRect ClientArea() const;
    QSize ClientSize() const { return ClientArea().size(); }
    // A rectangle of the client area in the widget's coordinates, cut to the client area.
    QRect FromClient(const RECT& r) const;
    void LayoutBars();
    void ApplyGeometry();
    void ResizeImage();
    QImage NewImage(const QImage* keep) const;
    QImage* ImageFor(ImageUse use);
    bool TakeImage(ImageUse use);
    void HostNative(QWidget* child);
    void PaintDirect(QPainter& p, const QRegion& area);
    void ClientChanged();
    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp);
    void BoundsChanged(bool moved, bool sized);
    POINT ClientPoint(const QPointF& local) const;

    static WPARAM KeyFlags(Qt::MouseButtons b, Qt::KeyboardModifiers m);
    void MouseMessage(UINT msg, QMouseEvent* e);
    static UINT ButtonMessage(Qt::MouseButton b, int kind);
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override { MouseMessage(WM_MOUSEMOVE, e); }
    void wheelEvent(QWheelEvent* e) override;
    void enterEvent(QEnterEvent*) override { Send(CM_MOUSEENTER, 0, 0); }
    void leaveEvent(QEvent*) override { Send(CM_MOUSELEAVE, 0, 0); }
    bool WantsTab();
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent*) override { Send(WM_SETFOCUS, 0, 0); }
    void focusOutEvent(QFocusEvent*) override { Send(WM_KILLFOCUS, 0, 0); }
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent*) override;
    void moveEvent(QMoveEvent*) override;
    void FrameChanged(bool moved, bool sized);
    void changeEvent(QEvent* e) override;
    void PaintPending();
    void Repaint(const QRect& r);
    void paintEvent(QPaintEvent* e) override;

    HWND Hwnd;
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
    // Where the client area's pixels come from. A window starts Direct: it paints when asked,
    // straight into the toolkit's buffer of its top-level window, and keeps nothing (a form, a
    // panel, a grid). It takes an image of its own (TakeImage) the first time something draws
    // on it or reads it outside its paint (a view that scrolls its pixels, a drag line), and
    // keeps it. A host of a native widget (HostNative) leaves the pixels to the widget.
    enum class Pixels { Direct, Imaged, Native };
    Pixels State = Pixels::Direct;
    QImage Image;                      // Imaged: what the window painted and what was drawn on it
    QSize ImageSize;                   // the client area's, which the image has or would have
    QPainter* DirectPainter = nullptr; // the toolkit's, while a Direct window paints
    bool PaintedDirectly = false;      // so an image taken later lacks what the window showed
    QRect Dirty;                       // asked to be repainted since the last paint
    QRegion ChangedWhilePainting;      // of the image, during the toolkit's paint of it
    QScrollBar* VBar = nullptr;
    QScrollBar* HBar = nullptr;
    QPointer<QWidget> Native;
    QPointer<QWidget> MenuBar;
    int MenuHeight = 0;
    MINMAXINFO MinMax{};
};

QmWindow* Win(HWND h);

// Runs `act` on the widget of h and answers TRUE; FALSE for a window without one.
template <class Act>
BOOL WithWindow(HWND h, Act act)
{
    QmWindow* w = Win(h);
    if (!w)
        return FALSE;
    act(w);
    return TRUE;
}
// Shows the window's hint for a tooltip request; false when it has none for the point.
bool ShowWindowHint(QmWindow* w, QHelpEvent* e);
// True when w is a modal window the window manager minimised: it is shown again.
bool KeepModalShown(QmWindow* w);

} // namespace window_detail
