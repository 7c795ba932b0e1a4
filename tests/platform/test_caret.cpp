#include <gtest/gtest.h>

#include "platform/Caret.h"
#include "platform/Messages.h"

namespace {
HWND NewWindow() { return CreateWindowHandle(MakeWindowProc(nullptr)); }
} // namespace

TEST(Caret, CallsWithoutACaretDoNothing)
{
    DestroyCaret();
    POINT p{7, 7};
    EXPECT_FALSE(ShowCaret(nullptr));
    EXPECT_FALSE(HideCaret(nullptr));
    EXPECT_FALSE(SetCaretPos(3, 4));
    EXPECT_FALSE(GetCaretPos(&p));
    EXPECT_FALSE(DestroyCaret());
    EXPECT_EQ(p.x, 7);
}

TEST(Caret, HidesAndShowsAreCounted)
{
    HWND h = NewWindow();
    ASSERT_TRUE(CreateCaret(h, nullptr, 8, 2));
    // A new caret starts hidden.
    EXPECT_FALSE(IsCaretShown());
    EXPECT_TRUE(ShowCaret(h));
    EXPECT_TRUE(IsCaretShown());
    // Showing a shown caret does not bank a show.
    EXPECT_FALSE(ShowCaret(h));
    HideCaret(h);
    HideCaret(nullptr);
    EXPECT_FALSE(IsCaretShown());
    ShowCaret(h);
    EXPECT_FALSE(IsCaretShown());
    ShowCaret(h);
    EXPECT_TRUE(IsCaretShown());
    DestroyCaret();
    DestroyWindow(h);
}

TEST(Caret, OnlyTheOwnerWindowControlsIt)
{
    HWND a = NewWindow(), b = NewWindow();
    CreateCaret(a, nullptr, 1, 10);
    EXPECT_FALSE(ShowCaret(b));
    EXPECT_FALSE(IsCaretShown());
    EXPECT_TRUE(ShowCaret(a));
    // A new caret replaces the old one, hidden again.
    CreateCaret(b, nullptr, 1, 10);
    EXPECT_EQ(GetCaretWindow(), b);
    EXPECT_FALSE(IsCaretShown());
    DestroyCaret();
    DestroyWindow(a);
    DestroyWindow(b);
}

TEST(Caret, OverlayFollowsPositionAndBlink)
{
    HWND h = NewWindow();
    CreateCaret(h, nullptr, 8, 2);
    SetCaretPos(16, 30);
    RECT r;
    EXPECT_FALSE(GetCaretOverlay(h, &r));
    ShowCaret(h);
    ASSERT_TRUE(GetCaretOverlay(h, &r));
    EXPECT_EQ(r, (RECT{16, 30, 24, 32}));
    BlinkCaret();
    EXPECT_FALSE(GetCaretOverlay(h, &r));
    BlinkCaret();
    EXPECT_TRUE(GetCaretOverlay(h, &r));
    POINT p;
    GetCaretPos(&p);
    EXPECT_EQ(p, (POINT{16, 30}));
    DestroyCaret();
    EXPECT_FALSE(GetCaretOverlay(h, &r));
    DestroyWindow(h);
}
