#include <gtest/gtest.h>

#include <vector>

#include "platform/Messages.h"
#include "platform/ScrollBar.h"

namespace {
struct ScrollFixture : ::testing::Test {
    HWND h = CreateWindowHandle(MakeWindowProc([](HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProc(w, m, wp, lp); }));
    std::vector<bool> changes;
    std::function<void(HWND, int, bool)> windowsHandler; // the window layer's, given back after
    void SetUp() override
    {
        windowsHandler = SetScrollBarChangeHandler([this](HWND w, int, bool vis) {
            if (w == h)
                changes.push_back(vis);
        });
    }
    void TearDown() override
    {
        SetScrollBarChangeHandler(std::move(windowsHandler));
        ForgetScrollBars(h);
        DestroyWindow(h);
    }
    void SetRangePage(int mn, int mx, UINT page, UINT extra = 0)
    {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | extra;
        si.nMin = mn;
        si.nMax = mx;
        si.nPage = page;
        SetScrollInfo(h, SB_VERT, &si, TRUE);
    }
};
} // namespace

TEST_F(ScrollFixture, PositionClampsToRangeLessPage)
{
    SetRangePage(0, 50, 33);
    EXPECT_EQ(SetScrollPos(h, SB_VERT, 100, TRUE), 0);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 18);
    SetScrollPos(h, SB_VERT, -5, TRUE);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 0);
    // Without a page the last position is the maximum itself.
    SetRangePage(10, 20, 0);
    SetScrollPos(h, SB_VERT, 99, TRUE);
    EXPECT_EQ(GetScrollPos(h, SB_VERT), 20);
}

TEST_F(ScrollFixture, PageIsClampedToTheRange)
{
    SetRangePage(0, 9, 500);
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(h, SB_VERT, &si));
    EXPECT_EQ(si.nPage, 10u);
    EXPECT_EQ(si.nPos, 0);
    EXPECT_FALSE(GetScrollBarState(h, SB_VERT).Visible);
}

TEST_F(ScrollFixture, VisibilityFollowsRangeButNotPositionAlone)
{
    SetRangePage(0, 50, 33);
    EXPECT_TRUE(GetScrollBarState(h, SB_VERT).Visible);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0]);
    // The range no longer scrolls: hidden.
    SetRangePage(0, 10, 11);
    EXPECT_FALSE(GetScrollBarState(h, SB_VERT).Visible);
    // A position alone never shows it again.
    SetScrollPos(h, SB_VERT, 3, TRUE);
    EXPECT_FALSE(GetScrollBarState(h, SB_VERT).Visible);
    EXPECT_FALSE(changes.back());
    // SetScrollRange with an empty range hides; a real range shows.
    SetScrollRange(h, SB_HORZ, 0, 0, TRUE);
    EXPECT_FALSE(GetScrollBarState(h, SB_HORZ).Visible);
    SetScrollRange(h, SB_HORZ, 0, 75, TRUE);
    EXPECT_TRUE(GetScrollBarState(h, SB_HORZ).Visible);
    int mn = -1, mx = -1;
    GetScrollRange(h, SB_HORZ, &mn, &mx);
    EXPECT_EQ(mn, 0);
    EXPECT_EQ(mx, 75);
}

TEST_F(ScrollFixture, DisableNoScrollKeepsTheBarShownButDisabled)
{
    SetRangePage(0, 5, 10, SIF_DISABLENOSCROLL);
    ScrollBarState s = GetScrollBarState(h, SB_VERT);
    EXPECT_TRUE(s.Visible);
    EXPECT_FALSE(s.Enabled);
    SetRangePage(0, 50, 10, SIF_DISABLENOSCROLL);
    EXPECT_TRUE(GetScrollBarState(h, SB_VERT).Enabled);
}

TEST_F(ScrollFixture, TrackPositionIsSeparateFromPosition)
{
    SetRangePage(0, 100, 10);
    SetScrollPos(h, SB_VERT, 5, TRUE);
    SetScrollTrackPos(h, SB_VERT, 500);
    SCROLLINFO si;
    si.fMask = SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(h, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 5);
    EXPECT_EQ(si.nTrackPos, 91);
}

TEST(ScrollBarModel, InvalidWindowOrBarFails)
{
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    EXPECT_FALSE(GetScrollInfo(nullptr, SB_VERT, &si));
    EXPECT_FALSE(SetScrollRange(nullptr, SB_VERT, 0, 10, TRUE));
    HWND h = CreateWindowHandle(MakeWindowProc(nullptr));
    EXPECT_FALSE(GetScrollInfo(h, 7, &si));
    DestroyWindow(h);
}
