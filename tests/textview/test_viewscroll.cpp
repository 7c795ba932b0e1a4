#include "TextViewFixture.h"

#include <vector>

namespace {
struct ViewScroll : TextViewTest {
    TViewScroller* Scroller = nullptr;
    void SetUp() override
    {
        TextViewTest::SetUp();
        Scroller = new TViewScroller(Form);
        Scroller->SetParent(Form);
        Scroller->SetBounds(0, 220, 300, 330);
        Scroller->HandleNeeded();
    }
    void VScroll(int code, int pos = 0) { SendMessage(Scroller->Handle(), WM_VSCROLL, MAKEWPARAM(code, pos), 0); }
};
} // namespace

TEST_F(ViewScroll, WindowCreationSetsStepsAndStyle)
{
    EXPECT_EQ(Scroller->StepHeight, 10);
    EXPECT_TRUE(Scroller->TabStop());
    LONG_PTR style = GetWindowLong(Scroller->Handle(), GWL_STYLE);
    EXPECT_EQ(style & 0x02300000, 0x02300000);
    EXPECT_EQ(SendMessage(Scroller->Handle(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
}

TEST_F(ViewScroll, VerticalPositionIsClampedByTheScrollBar)
{
    Scroller->UpdateScrollRanges(Scroller->ClientWidth(), 50);
    int events = 0;
    Scroller->OnVScrolled = TNotifyEvent([&](TObject*) { ++events; });
    Scroller->VScrollToStep(1000);
    EXPECT_EQ(Scroller->VPos, 18); // 50 - 33 + 1
    EXPECT_EQ(events, 1);
    Scroller->VScrollToStep(1000);
    EXPECT_EQ(events, 1);
    Scroller->VScrollToStep(-5);
    EXPECT_EQ(Scroller->VPos, 0);
    EXPECT_EQ(events, 2);
}

TEST_F(ViewScroll, ScrollMessagesMoveByLinesPagesAndThumb)
{
    Scroller->UpdateScrollRanges(Scroller->ClientWidth(), 100);
    VScroll(SB_LINEDOWN);
    EXPECT_EQ(Scroller->VPos, 1);
    VScroll(SB_PAGEDOWN);
    EXPECT_EQ(Scroller->VPos, 11);
    VScroll(SB_LINEUP);
    EXPECT_EQ(Scroller->VPos, 10);
    Scroller->Tracking = false;
    VScroll(SB_THUMBTRACK, 40);
    EXPECT_EQ(Scroller->VPos, 10);
    VScroll(SB_THUMBPOSITION, 40);
    EXPECT_EQ(Scroller->VPos, 40);
    VScroll(SB_BOTTOM);
    EXPECT_EQ(Scroller->VPos, 100 - 33 + 1);
    VScroll(SB_TOP);
    EXPECT_EQ(Scroller->VPos, 0);
    VScroll(SB_ENDSCROLL);
    EXPECT_EQ(Scroller->VPos, 0);
}

TEST_F(ViewScroll, HorizontalBottomIsClampedToDocWidthLessClient)
{
    Scroller->UpdateScrollRanges(1000, 5);
    SendMessage(Scroller->Handle(), WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), 0);
    EXPECT_EQ(Scroller->HPos, 1000 - Scroller->ClientWidth());
    SendMessage(Scroller->Handle(), WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), 0);
    EXPECT_EQ(Scroller->HPos, 1000 - Scroller->ClientWidth() - 10);
}

TEST_F(ViewScroll, PageDownKeyScrollsTenStepsAndStillReachesOnKeyDown)
{
    Scroller->UpdateScrollRanges(Scroller->ClientWidth(), 100);
    std::vector<WORD> keys;
    Scroller->OnKeyDown = TKeyEvent([&](TObject*, WORD& k, TShiftState) { keys.push_back(k); });
    SendMessage(Scroller->Handle(), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(Scroller->VPos, 10);
    SendMessage(Scroller->Handle(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(Scroller->VPos, 68);
    SendMessage(Scroller->Handle(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(Scroller->VPos, 0);
    EXPECT_EQ(keys, (std::vector<WORD>{VK_NEXT, VK_END, VK_HOME}));
}

TEST_F(ViewScroll, FarAwayChildKeepsItsTrueOffsetInTag)
{
    auto* child = new TPanel(Form);
    child->SetParent(Scroller);
    child->SetBounds(10, 20, 30, 30);
    child->SetTag(20);
    Scroller->MoveChildControls(0, -20000);
    EXPECT_EQ(child->Top(), -10000);
    EXPECT_EQ(child->Tag(), -19980);
    Scroller->MoveChildControls(0, 40000);
    EXPECT_EQ(child->Top(), 10000);
    Scroller->MoveChildControls(5, -20000);
    EXPECT_EQ(child->Top(), 20);
    EXPECT_EQ(child->Left(), 15);
}

TEST_F(ViewScroll, HiddenVerticalBarStaysHiddenAfterRangeUpdates)
{
    Scroller->SetVScrollVisible(false);
    Scroller->UpdateScrollRanges(Scroller->ClientWidth(), 500);
    EXPECT_FALSE(GetScrollBarState(Scroller->Handle(), SB_VERT).Visible);
    Scroller->UpdateScrollRanges(Scroller->ClientWidth(), 900);
    EXPECT_FALSE(GetScrollBarState(Scroller->Handle(), SB_VERT).Visible);
    Scroller->SetVScrollVisible(true);
    EXPECT_TRUE(GetScrollBarState(Scroller->Handle(), SB_VERT).Visible);
}

TEST_F(ViewScroll, WheelNotchMovesTheViewTwoStepsThroughVerticalPosition)
{
    std::string lines;
    for (int i = 0; i < 100; ++i)
        lines += "wheel line " + std::to_string(i) + "\r\n";
    View->AddTextLines(lines, 0);
    View->FormatDocument();
    // The owner's wheel handler: two steps a notch, down adds.
    View->OnMouseWheel = TMouseWheelEvent([&](TObject*, TShiftState, int delta, TPoint, bool& handled) {
        View->SetVerticalPosition(View->GetVerticalPosition() + (delta < 0 ? 2 : -2));
        handled = true;
    });
    // What the view shows after a scroll, its pixels moved and the uncovered strip painted,
    // is what painting it whole shows.
    auto shown = [&] {
        UpdateWindow(View->Handle());
        std::vector<COLORREF> pixels;
        HDC dc = GetDC(View->Handle());
        for (int y = 0; y < View->ClientHeight(); ++y)
            for (int x = 0; x < View->ClientWidth(); ++x)
                pixels.push_back(GetPixel(dc, x, y));
        ReleaseDC(View->Handle(), dc);
        return pixels;
    };
    auto shownAsPainted = [&] {
        const std::vector<COLORREF> scrolled = shown();
        PaintNow();
        return scrolled == shown();
    };
    PaintNow();
    SendMessage(View->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    SendMessage(View->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(View->GetVerticalPosition(), 4);
    EXPECT_TRUE(shownAsPainted());
    SendMessage(View->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(View->GetVerticalPosition(), 2);
    EXPECT_TRUE(shownAsPainted());
    SendMessage(View->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    SendMessage(View->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(View->GetVerticalPosition(), 0);
}
