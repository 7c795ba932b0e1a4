#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StdTestUtil.h"
#include "framework/Forms.h"
#include "platform/EventLoop.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"

namespace {
using FormsEnv = stdtest::MessageBoxEnv;

class Painted : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> Log;
    int Sizes = 0;
    TRect LastClip{};
    HDC LastDC = nullptr;

protected:
    void Paint() override
    {
        LastClip = Canvas()->GetClipRect();
        LastDC = Canvas()->GetHandle();
        Log.push_back("paint");
    }
    void WMSize(TMessage& M) override
    {
        TCustomControl::WMSize(M);
        ++Sizes;
    }
};
} // namespace

TEST_F(FormsEnv, NeverShownControlHasDefinedClientSize)
{
    TForm* f = new TForm(Application);
    auto* c = new Painted(f);
    c->SetBounds(5, 6, 70, 40);
    c->SetParent(f);
    EXPECT_FALSE(c->HandleAllocated());
    EXPECT_EQ(c->ClientWidth(), 70);
    EXPECT_EQ(c->ClientHeight(), 40);
    FreeObject(f);
}

TEST_F(FormsEnv, DoubleClickGivesDblClickThenMouseDownWithDouble)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 50, 50);
    std::vector<std::string> log;
    c->OnClick = TNotifyEvent([&](TObject*) { log.push_back("click"); });
    c->OnDblClick = TNotifyEvent([&](TObject*) { log.push_back("dblclick"); });
    c->OnMouseDown = TMouseEvent([&](TObject*, TMouseButton, TShiftState s, int x, int y) {
        log.push_back(std::string(s.Contains(ssDouble) ? "down2" : "down") + "@" + std::to_string(x) + "," + std::to_string(y));
    });
    c->OnMouseUp = TMouseEvent([&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); });
    HWND h = c->Handle();
    SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
    SendMessage(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 4));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
    // Released outside: no click.
    SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(80, 4));
    EXPECT_EQ(log, (std::vector<std::string>{"down@3,4", "click", "up", "dblclick", "down2@3,4", "up", "down@3,4", "up"}));
    FreeObject(f);
}

TEST_F(FormsEnv, ClickHandlerExceptionReachesHandleException)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 50, 50);
    c->OnClick = TNotifyEvent([](TObject*) { throw EConvertError("'x' is not a valid integer value"); });
    HWND h = c->Handle();
    SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "'x' is not a valid integer value.");
    // OnException replaces the message box.
    std::string seen;
    Application->OnException = TExceptionEvent([&](TObject*, Exception* e) { seen = e->Message; });
    SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(seen, "'x' is not a valid integer value");
    EXPECT_EQ(boxes.size(), 1u);
    FreeObject(f);
}

TEST_F(FormsEnv, AlignLaysOutInOrder)
{
    TForm* f = new TForm(Application);
    f->SetBorderStyle(bsNone);
    f->SetBounds(0, 0, 400, 300);
    auto mk = [&](TAlign a, int w, int h) {
        auto* c = new Painted(f);
        c->SetBounds(0, 0, w, h);
        c->SetAlign(a);
        c->SetParent(f);
        return c;
    };
    auto* client = mk(alClient, 10, 10);
    auto* top = mk(alTop, 10, 30);
    auto* left = mk(alLeft, 50, 10);
    auto* bottom = mk(alBottom, 10, 20);
    auto* right = mk(alRight, 60, 10);
    EXPECT_EQ(top->BoundsRect(), (TRect{0, 0, 400, 30}));
    EXPECT_EQ(bottom->BoundsRect(), (TRect{0, 280, 400, 300}));
    EXPECT_EQ(left->BoundsRect(), (TRect{0, 30, 50, 280}));
    EXPECT_EQ(right->BoundsRect(), (TRect{340, 30, 400, 280}));
    EXPECT_EQ(client->BoundsRect(), (TRect{50, 30, 340, 280}));
    // A resized parent lays out again, through its window as well.
    f->HandleNeeded();
    f->SetBounds(0, 0, 500, 300);
    EXPECT_EQ(client->BoundsRect(), (TRect{50, 30, 440, 280}));
    FreeObject(f);
}

TEST_F(FormsEnv, RecreateGivesNewHandleAndSizeMessages)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 100, 80);
    HWND first = c->Handle();
    c->RecreateWnd();
    HWND second = c->Handle();
    EXPECT_NE(first, second);
    EXPECT_FALSE(IsWindow(first));
    int before = c->Sizes;
    c->SetBounds(0, 0, 120, 90);
    EXPECT_EQ(c->Sizes, before + 1);
    SetScrollRange(second, SB_VERT, 0, 50, TRUE);
    EXPECT_EQ(c->Sizes, before + 2);
    EXPECT_EQ(c->ClientWidth(), 120 - GetSystemMetrics(SM_CXVSCROLL));
    FreeObject(f);
}

TEST_F(FormsEnv, PaintGetsTheUpdateRectangleAsClip)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 100, 80);
    HWND h = c->Handle();
    ValidateRect(h, nullptr);
    RECT r{10, 20, 30, 40};
    InvalidateRect(h, &r, TRUE);
    UpdateWindow(h);
    ASSERT_FALSE(c->Log.empty());
    EXPECT_EQ(c->LastClip, (TRect{10, 20, 30, 40}));
    FreeObject(f);
}

// A child that fails to paint is reported, and the window's paint still ends: its context is
// released, not left behind at every repaint.
TEST_F(FormsEnv, PaintEndsWhenAChildFailsToPaint)
{
    struct Failing : TGraphicControl {
        using TGraphicControl::TGraphicControl;
        void Paint() override { throw Exception("cannot paint"); }
    };
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 100, 80);
    auto* g = new Failing(c);
    g->SetBounds(5, 5, 20, 20);
    g->SetParent(c);
    HWND h = c->Handle();
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    ASSERT_NE(c->LastDC, nullptr);
    EXPECT_EQ(boxes, (std::vector<std::string>{"cannot paint."}));
    EXPECT_EQ(SaveDC(c->LastDC), 0) << "the paint's context is still there";
    FreeObject(f);
}

// The first drawing on a shown control outside its paint has the control painted into its new
// image first; the drawing goes on with the context and colours it set, over that paint.
TEST_F(FormsEnv, DrawingOutsideAPaintKeepsItsCanvasThroughTheFirstImagesPaint)
{
    struct Blue : Painted {
        using Painted::Painted;
        void Paint() override
        {
            Canvas()->Brush()->SetColor(clBlue);
            Canvas()->FillRect(ClientRect());
            Painted::Paint();
        }
    };
    TForm* f = new TForm(Application);
    f->SetBounds(0, 0, 200, 150);
    auto* c = stdtest::Child<Blue>(f, 100, 80);
    f->Show();
    for (const DWORD end = EventLoopTicks() + 10000; c->Log.empty() && static_cast<int32_t>(end - EventLoopTicks()) > 0;)
        WaitAndPumpMessages(end);
    ASSERT_EQ(c->Log.size(), 1u) << "the control paints straight to the screen first";
    TCanvas* cv = c->Canvas();
    cv->Brush()->SetColor(clRed);
    cv->FillRect(TRect{0, 0, 10, 10});
    ASSERT_EQ(c->Log.size(), 2u) << "the first drawing outside a paint paints the new image";
    cv->FillRect(TRect{10, 10, 20, 20});
    EXPECT_EQ(cv->GetPixel(5, 5), clRed);
    EXPECT_EQ(cv->GetPixel(15, 15), clRed);
    EXPECT_EQ(cv->GetPixel(50, 50), clBlue);
    FreeObject(f);
}

TEST_F(FormsEnv, SubclassedControlStillSeesItsMessages)
{
    TForm* f = new TForm(Application);
    auto* c = stdtest::Child<Painted>(f, 100, 80);
    HWND h = c->Handle();
    std::vector<UINT> seen;
    WNDPROC old = GetWindowLong(h, GWL_WNDPROC);
    SetWindowLong(h, GWL_WNDPROC, MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
                      seen.push_back(m);
                      return CallWindowProc(old, w, m, wp, lp);
                  }));
    int before = c->Sizes;
    c->SetBounds(0, 0, 150, 80);
    EXPECT_EQ(c->Sizes, before + 1);
    EXPECT_NE(std::find(seen.begin(), seen.end(), WM_SIZE), seen.end());
    SetWindowLong(h, GWL_WNDPROC, old);
    FreeObject(f);
}

// A graphic control that moves (the splash's picture, twice a second) has its parent repaint
// where it was and where it is, not the whole parent.
TEST_F(FormsEnv, MovedGraphicControlRepaintsItsOldAndNewPlaceOnly)
{
    TForm* f = new TForm(Application);
    f->SetBounds(0, 0, 400, 300);
    auto* g = new TGraphicControl(f);
    g->SetBounds(10, 20, 30, 40);
    g->SetParent(f);
    HWND h = f->Handle();
    ValidateRect(h, nullptr);
    g->SetLeft(100);
    RECT pending{};
    ASSERT_TRUE(GetUpdateRect(h, &pending, FALSE));
    EXPECT_EQ(pending.left, 10);
    EXPECT_EQ(pending.top, 20);
    EXPECT_EQ(pending.right, 130);
    EXPECT_EQ(pending.bottom, 60);
    FreeObject(f);
}
