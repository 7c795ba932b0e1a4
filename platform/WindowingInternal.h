#pragma once
// What the parts of the window layer share: the widget a window handle gets, and the
// capture and activation state the adaptor keeps.
#include "platform/ScrollBar.h"
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
extern int gPaints; // paints in progress: the toolkit paints one at a time

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
    void ResizeSurface();
    QImage NewSurface(const QImage* keep) const;
    QImage* DrawingSurface();
    QImage ShownPixels();
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
    // The window's own image, made only when something draws on it or reads it outside a
    // paint; until then each paint draws straight into the toolkit's buffer with Direct.
    QImage Surface;
    QSize SurfaceSize;
    QPainter* Direct = nullptr;
    QRect Dirty; // asked to be repainted since the last paint
    bool PaintedDirectly = false;
    bool Priming = false; // the paint is marking its own area: no further paint for it
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
