#include <gtest/gtest.h>

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"
#include "platform/WindowingInternal.h"
#include "platform/ScrollBar.h"

namespace {
struct Recorded {
    UINT Msg;
    WPARAM W;
    LPARAM L;
};

// What a paint sets off, once: before or after it fills its area.
struct PaintActs {
    std::function<void(HWND)> Before, After;
};

// A window procedure that fills what it is asked to paint with the colour colour() gives,
// counting its paints and doing the acts given, if asked to.
WNDPROC FillingProc(std::function<COLORREF()> colour, int* paints = nullptr, PaintActs* acts = nullptr)
{
    return MakeWindowProc([colour = std::move(colour), paints, acts](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m != WM_PAINT)
            return DefWindowProc(w, m, wp, lp);
        if (paints)
            ++*paints;
        const auto act = [acts, w](std::function<void(HWND)> PaintActs::*which) {
            if (acts && acts->*which)
                std::exchange(acts->*which, nullptr)(w);
        };
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        act(&PaintActs::Before);
        HBRUSH brush = CreateSolidBrush(colour());
        FillRect(dc, &ps.rcPaint, brush);
        DeleteObject(brush);
        act(&PaintActs::After);
        EndPaint(w, &ps);
        return 0;
    });
}

WNDPROC FillingProc(COLORREF colour, int* paints = nullptr)
{
    return FillingProc([colour] { return colour; }, paints);
}

// Runs the loop until done() holds, for ten seconds at most.
template <class Done> bool PumpUntil(Done done)
{
    const DWORD end = EventLoopTicks() + 10000;
    while (!done() && static_cast<int32_t>(end - EventLoopTicks()) > 0)
        WaitAndPumpMessages(end);
    return done();
}

struct AdaptorFixture : ::testing::Test {
    std::vector<Recorded> log;
    MINMAXINFO answer{};
    HWND h = nullptr;
    void SetUp() override
    {
        EnsureGuiApplication();
        h = CreateWindowHandle(MakeWindowProc([this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            log.push_back({m, wp, lp});
            return DefWindowProc(w, m, wp, lp);
        }));
        WindowCreateInfo info;
        info.Bounds = RECT{10, 10, 210, 160};
        ASSERT_TRUE(AttachWindowWidget(h, info));
    }
    void TearDown() override
    {
        DetachWindowWidget(h);
        DestroyWindow(h);
    }
    // Shows the window, which paints itself red, with a child at (20, 20)-(60, 60) that paints
    // itself blue; the child is given back.
    HWND ShowWithChild(int* parentPaints = nullptr, int* childPaints = nullptr)
    {
        SetWindowLong(h, GWL_WNDPROC, FillingProc(RGB(200, 0, 0), parentPaints));
        HWND child = CreateWindowHandle(FillingProc(RGB(0, 0, 200), childPaints));
        WindowCreateInfo info;
        info.Parent = h;
        info.Bounds = RECT{20, 20, 60, 60};
        EXPECT_TRUE(AttachWindowWidget(child, info));
        ShowWindow(child, SW_SHOWNORMAL);
        ShowWindow(h, SW_SHOWNORMAL);
        return child;
    }
    std::vector<LPARAM> Sizes() const
    {
        std::vector<LPARAM> s;
        for (auto& r : log)
            if (r.Msg == WM_SIZE)
                s.push_back(r.L);
        return s;
    }
};
} // namespace

TEST_F(AdaptorFixture, ResizeAndScrollBarSendSizeAtOnce)
{
    MoveWindow(h, 10, 10, 300, 200, TRUE);
    ASSERT_EQ(Sizes().size(), 1u);
    EXPECT_EQ(Sizes()[0], MAKELPARAM(300, 200));
    SetScrollRange(h, SB_VERT, 0, 100, TRUE);
    ASSERT_EQ(Sizes().size(), 2u);
    EXPECT_EQ(Sizes()[1], MAKELPARAM(300 - GetSystemMetrics(SM_CXVSCROLL), 200));
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c.right, 300 - GetSystemMetrics(SM_CXVSCROLL));
    // A position change alone leaves the client area alone.
    SetScrollPos(h, SB_VERT, 40, TRUE);
    EXPECT_EQ(Sizes().size(), 2u);
}

TEST_F(AdaptorFixture, SubclassSeesAdaptorMessagesAndMinMaxApplies)
{
    std::vector<UINT> seen;
    WNDPROC old = GetWindowLong(h, GWL_WNDPROC);
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      seen.push_back(m);
                      LRESULT r = CallWindowProc(old, w, m, wp, lp);
                      if (m == WM_GETMINMAXINFO) {
                          auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
                          mm->ptMinTrackSize = POINT{250, 120};
                      }
                      return r;
                  }));
    ShowWindow(h, SW_SHOWNORMAL);
    MoveWindow(h, 0, 0, 100, 100, TRUE);
    RECT b;
    GetWindowBounds(h, &b);
    EXPECT_EQ(b.right - b.left, 250);
    EXPECT_EQ(b.bottom - b.top, 120);
    EXPECT_EQ(WindowWidget(h)->minimumWidth(), 250);
    auto has = [&](UINT m) { return std::find(seen.begin(), seen.end(), m) != seen.end(); };
    EXPECT_TRUE(has(WM_SHOWWINDOW));
    EXPECT_TRUE(has(WM_GETMINMAXINFO));
    EXPECT_TRUE(has(WM_SIZE));
    EXPECT_TRUE(has(WM_MOVE));
    // Key presses go through the subclass too, as WM_KEYDOWN then WM_CHAR with Windows codes.
    seen.clear();
    log.clear();
    DeliverKeyPress(h, Qt::Key_Return, 0, U'\r');
    DeliverKeyPress(h, Qt::Key_C, KEYMOD_CONTROL, 0);
    std::vector<WPARAM> chars;
    for (auto& r : log)
        if (r.Msg == WM_CHAR)
            chars.push_back(r.W);
    EXPECT_EQ(chars, (std::vector<WPARAM>{13, 3}));
    EXPECT_TRUE(has(WM_KEYDOWN));
    SetWindowLong(h, GWL_WNDPROC, old);
}

TEST_F(AdaptorFixture, TabReachesOnlyWindowsThatAskForIt)
{
    DeliverKeyPress(h, Qt::Key_Tab, 0, U'\t');
    for (auto& r : log)
        EXPECT_NE(r.Msg, WM_CHAR);
    HWND w = CreateWindowHandle(MakeWindowProc([this](HWND hw, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        log.push_back({m, wp, lp});
        return m == WM_GETDLGCODE ? DLGC_WANTTAB : DefWindowProc(hw, m, wp, lp);
    }));
    WindowCreateInfo info;
    info.Parent = h;
    info.Bounds = RECT{0, 0, 20, 20};
    ASSERT_TRUE(AttachWindowWidget(w, info));
    log.clear();
    DeliverKeyPress(w, Qt::Key_Tab, 0, U'\t');
    bool gotTab = false;
    for (auto& r : log)
        gotTab = gotTab || (r.Msg == WM_CHAR && r.W == 9);
    EXPECT_TRUE(gotTab);
    DetachWindowWidget(w);
    DestroyWindow(w);
}

TEST_F(AdaptorFixture, PlacementRoundTripChangesNothing)
{
    ShowWindow(h, SW_SHOWNORMAL);
    MoveWindow(h, 40, 50, 320, 240, TRUE);
    WINDOWPLACEMENT wp;
    ASSERT_TRUE(GetWindowPlacement(h, &wp));
    log.clear();
    ASSERT_TRUE(SetWindowPlacement(h, &wp));
    EXPECT_TRUE(log.empty());
    WINDOWPLACEMENT again;
    GetWindowPlacement(h, &again);
    EXPECT_EQ(again.rcNormalPosition, wp.rcNormalPosition);
    EXPECT_EQ(again.showCmd, wp.showCmd);
    // Hidden windows report SW_HIDE and stay hidden through the round trip.
    ShowWindow(h, SW_HIDE);
    GetWindowPlacement(h, &wp);
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_HIDE));
    SetWindowPlacement(h, &wp);
    EXPECT_FALSE(IsWindowVisible(h));
}

TEST_F(AdaptorFixture, StoredRectangleIsKeptOnScreen)
{
    SetSystemMetricsOverride(SM_CXSCREEN, 1024);
    SetSystemMetricsOverride(SM_CYSCREEN, 768);
    WINDOWPLACEMENT wp;
    GetWindowPlacement(h, &wp);
    wp.showCmd = SW_HIDE;
    wp.rcNormalPosition = RECT{5000, 4000, 5300, 4200};
    SetWindowPlacement(h, &wp);
    GetWindowPlacement(h, &wp);
    EXPECT_EQ(wp.rcNormalPosition, (RECT{724, 568, 1024, 768}));
    // Partly off the screen it comes back whole, not as a strip at the edge.
    wp.rcNormalPosition = RECT{-250, 700, 50, 900};
    SetWindowPlacement(h, &wp);
    GetWindowPlacement(h, &wp);
    EXPECT_EQ(wp.rcNormalPosition, (RECT{0, 568, 300, 768}));
    ClearSystemMetricsOverrides();
}

namespace {
// Counts the toolkit's paint events of one widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
} // namespace

// A window procedure that paints row by row (as a transparent picture is drawn) must not turn
// each row into a request for another paint.
TEST_F(AdaptorFixture, DrawingInsideAPaintAsksForNoFurtherPaint)
{
    int wmPaints = 0;
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m != WM_PAINT)
                          return DefWindowProc(w, m, wp, lp);
                      ++wmPaints;
                      PAINTSTRUCT ps;
                      HDC dc = BeginPaint(w, &ps);
                      HBRUSH brush = CreateSolidBrush(RGB(0, 128, 0));
                      for (int y = 0; y < 100; ++y) {
                          RECT row{0, y, 150, y + 1};
                          FillRect(dc, &row, brush);
                      }
                      DeleteObject(brush);
                      EndPaint(w, &ps);
                      return 0;
                  }));
    ShowWindow(h, SW_SHOWNORMAL);
    auto settle = [] {
        const DWORD end = EventLoopTicks() + 300;
        while (static_cast<int32_t>(end - EventLoopTicks()) > 0)
            WaitAndPumpMessages(end);
    };
    settle();
    PaintCounter counter;
    WindowWidget(h)->installEventFilter(&counter);
    wmPaints = 0;
    InvalidateRect(h, nullptr, TRUE);
    settle();
    WindowWidget(h)->removeEventFilter(&counter);
    EXPECT_EQ(wmPaints, 1);
    EXPECT_EQ(counter.paints, 1) << "the rows drawn were shown by the paint that drew them";
    HDC dc = GetDC(h);
    EXPECT_EQ(GetPixel(dc, 10, 99), RGB(0, 128, 0));
    ReleaseDC(h, dc);
}

// A window that draws only when asked to paint keeps no image of its own: it paints into the
// toolkit's buffer, children stay as they are, and what is drawn on it later through a
// context of its own lands on what it shows.
TEST_F(AdaptorFixture, AWindowThatOnlyPaintsKeepsNoImageAndLaterDrawingLandsOnWhatItShows)
{
    HWND child = ShowWithChild();
    const auto settle = [] {
        const DWORD end = EventLoopTicks() + 300;
        while (static_cast<int32_t>(end - EventLoopTicks()) > 0)
            WaitAndPumpMessages(end);
    };
    settle();
    EXPECT_EQ(window_detail::Win(h)->State, window_detail::QmWindow::Pixels::Direct);
    EXPECT_EQ(window_detail::Win(child)->State, window_detail::QmWindow::Pixels::Direct);
    const auto shown = [this](int x, int y) { return WindowWidget(h)->grab().toImage().pixelColor(x, y); };
    EXPECT_EQ(shown(5, 5), QColor(200, 0, 0));
    EXPECT_EQ(shown(30, 30), QColor(0, 0, 200));
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    EXPECT_FALSE(GetUpdateRect(h, nullptr, FALSE)) << "an update paints at once";
    EXPECT_EQ(window_detail::Win(h)->State, window_detail::QmWindow::Pixels::Direct);

    HDC dc = GetDC(h);
    RECT mark{100, 100, 110, 110};
    HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
    FillRect(dc, &mark, green);
    DeleteObject(green);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(200, 0, 0)) << "the image starts as what the window showed";
    EXPECT_EQ(GetPixel(dc, 105, 105), RGB(0, 128, 0));
    ReleaseDC(h, dc);
    settle();
    EXPECT_EQ(shown(105, 105), QColor(0, 128, 0));
    EXPECT_EQ(shown(5, 5), QColor(200, 0, 0));
    EXPECT_EQ(shown(30, 30), QColor(0, 0, 200));

    // A window that takes an image of its own while another lies over part of it paints that
    // part itself: the pixels shown there are the other window's.
    HWND over = CreateWindowHandle(FillingProc(RGB(0, 200, 0)));
    WindowCreateInfo info;
    info.Parent = h;
    info.Bounds = RECT{40, 40, 90, 90};
    ASSERT_TRUE(AttachWindowWidget(over, info));
    ShowWindow(over, SW_SHOWNORMAL);
    settle();
    HDC childDc = GetDC(child);
    SetPixel(childDc, 2, 2, RGB(0, 0, 200));
    settle();
    EXPECT_EQ(GetPixel(childDc, 30, 30), RGB(0, 0, 200));
    ReleaseDC(child, childDc);
    for (HWND w : {over, child}) {
        DetachWindowWidget(w);
        DestroyWindow(w);
    }
}

// A window's first image is its own paint: a child hidden afterwards leaves the parent's paint
// where it lay, not its picture.
TEST_F(AdaptorFixture, AChildHiddenAfterItsParentTookAnImageUncoversTheParentsOwnPaint)
{
    int parentPaints = 0, childPaints = 0;
    HWND child = ShowWithChild(&parentPaints, &childPaints);
    ASSERT_TRUE(PumpUntil([&] { return parentPaints > 0 && childPaints > 0; }));
    HDC dc = GetDC(h);
    SetPixel(dc, 150, 120, RGB(0, 128, 0));
    ReleaseDC(h, dc);
    ShowWindow(child, SW_HIDE);
    const QImage shown = WindowWidget(h)->grab().toImage();
    EXPECT_EQ(shown.pixelColor(30, 30).name(), "#c80000");
    EXPECT_EQ(shown.pixelColor(150, 120).name(), "#008000");
    DetachWindowWidget(child);
    DestroyWindow(child);
}

// A window destroyed by its own paint goes once the toolkit has finished painting it.
TEST_F(AdaptorFixture, AWindowDestroyedByItsOwnPaintGoesOnceThePaintIsOver)
{
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc([](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m != WM_PAINT)
                          return DefWindowProc(w, m, wp, lp);
                      PAINTSTRUCT ps;
                      BeginPaint(w, &ps);
                      EndPaint(w, &ps);
                      DestroyWindow(w);
                      return 0;
                  }));
    QPointer<QWidget> widget = WindowWidget(h);
    ShowWindow(h, SW_SHOWNORMAL);
    const DWORD end = EventLoopTicks() + 300;
    while (static_cast<int32_t>(end - EventLoopTicks()) > 0)
        WaitAndPumpMessages(end);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(widget.isNull());
}

namespace {
// What the top-level window h shows at a point of its client area: the toolkit's buffer for
// it, as handed to the screen.
COLORREF Shown(HWND h, int x, int y)
{
    const QColor c = QGuiApplication::primaryScreen()->grabWindow(WindowWidget(h)->winId()).toImage().pixelColor(x, y);
    return RGB(c.red(), c.green(), c.blue());
}

// What h reads back of itself at a point, through a context of its own.
COLORREF ReadBack(HWND h, int x, int y)
{
    HDC dc = GetDC(h);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(h, dc);
    return c;
}
} // namespace

// What a paint sets off is shown once the paint is over: an update it asks of another window
// (a control repainting the one it drives) and, when the window takes an image of its own at
// the end of its paint (a view that scrolls), what the paint drew: shown and read back alike.
TEST_F(AdaptorFixture, WhatAPaintSetsOffIsShownOnceItIsOver)
{
    const COLORREF red = RGB(200, 0, 0), green = RGB(0, 160, 0), blue = RGB(0, 0, 200);
    COLORREF outer = red, inner = blue;
    PaintActs acts;
    HWND child = ShowWithChild();
    SetWindowLong(h, GWL_WNDPROC, FillingProc([&] { return outer; }, nullptr, &acts));
    SetWindowLong(child, GWL_WNDPROC, FillingProc([&] { return inner; }));
    ASSERT_TRUE(PumpUntil([&] { return Shown(h, 5, 5) == red && Shown(h, 50, 50) == blue; }));

    // The corner the window repaints lies outside the child: only the update shows it anew.
    const RECT corner{0, 0, 10, 10};
    outer = green;
    acts.Before = [&](HWND) {
        inner = green;
        InvalidateRect(child, nullptr, TRUE);
        UpdateWindow(child);
    };
    InvalidateRect(h, &corner, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return Shown(h, 50, 50) == green; })) << "the update asked for during the paint";
    EXPECT_TRUE(PumpUntil([&] { return Shown(h, 5, 5) == green; })) << "the paint that asked for it";

    outer = blue;
    acts.After = [](HWND w) { ScrollWindowEx(w, 0, 0, nullptr, nullptr, nullptr, nullptr, 0); };
    InvalidateRect(h, nullptr, TRUE);
    EXPECT_TRUE(PumpUntil([&] { return Shown(h, 5, 5) == blue && ReadBack(h, 5, 5) == blue; }))
        << "shown " << Shown(h, 5, 5) << ", read back " << ReadBack(h, 5, 5);
    EXPECT_EQ(Shown(h, 50, 50), green);
    DetachWindowWidget(child);
    DestroyWindow(child);
}

namespace {
// Pixels of a black-on-white picture that are neither background nor ink: the soft edges of
// the glyphs. Text blown up from a coarser image has about twice as many as text drawn at
// the screen's density.
int SoftPixels(const QImage& picture)
{
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    int soft = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (int g = qGray(img.pixel(x, y)); g > 32 && g < 224)
                ++soft;
    return soft;
}
} // namespace

TEST(WindowDensity, SelfDrawnTextIsAsSharpAsWidgetTextAtScale2)
{
    // The pixel ratio is fixed when the application starts: this test runs alone in a copy
    // of the program started at scale 2.
    if (qgetenv("QT_SCALE_FACTOR") != "2") {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_SCALE_FACTOR", "2");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start("/proc/self/exe", {"--gtest_filter=WindowDensity.SelfDrawnTextIsAsSharpAsWidgetTextAtScale2"});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QByteArray out = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << out.constData();
        EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.constData();
        return;
    }
    EnsureGuiApplication();
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    static const char kText[] = "Memory 145.650 Wg";
    HFONT font = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HWND h = CreateWindowHandle(MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m != WM_PAINT)
            return DefWindowProc(w, m, wp, lp);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT all{0, 0, 200, 30};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        TextOutA(dc, 4, 4, kText, static_cast<int>(std::strlen(kText)));
        SelectObject(dc, old);
        EndPaint(w, &ps);
        return 0;
    }));
    WindowCreateInfo info;
    info.Bounds = RECT{0, 0, 200, 30};
    ASSERT_TRUE(AttachWindowWidget(h, info));
    ShowWindow(h, SW_SHOWNORMAL);
    const QPixmap drawn = WindowWidget(h)->grab();

    QLabel label(QString::fromLatin1(kText));
    label.setFont(FontOfHandle(font));
    QPalette pal = label.palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(pal);
    label.setAutoFillBackground(true);
    label.resize(200, 30);
    const QPixmap native = label.grab();

    EXPECT_EQ(drawn.devicePixelRatio(), 2.0);
    const int self = SoftPixels(drawn.toImage());
    const int widget = SoftPixels(native.toImage());
    ASSERT_GT(widget, 0);
    EXPECT_LT(self, widget * 13 / 10) << "self-drawn " << self << " soft pixels, widget " << widget;
    EXPECT_GT(self, widget * 7 / 10) << "self-drawn " << self << " soft pixels, widget " << widget;

    DetachWindowWidget(h);
    DestroyWindow(h);
    DeleteObject(font);
}
