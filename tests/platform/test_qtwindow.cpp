#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/QtWindow.h"
#include "platform/ScrollBar.h"

namespace {
struct Recorded {
    UINT Msg;
    WPARAM W;
    LPARAM L;
};

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
