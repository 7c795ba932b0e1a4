#include <gtest/gtest.h>

#include <QImage>
#include <climits>
#include <initializer_list>
#include <utility>
#include <vector>

// Qt's signal macro of the same name is not used here; the framework defines its own.
#include "serial/TermBuffer.h"

#include "platform/WindowPaintHooks.h"

namespace {

struct CellRect {
    int left, top, right, bottom;
    bool operator==(const CellRect&) const = default;
};

class FakeTerminal : public TTermBufferHost {
public:
    int TermColumns() const override { return columns; }
    int TermRows() const override { return rows; }
    int TermCharWidth() const override { return 8; }
    int TermCharHeight() const override { return 10; }
    HWND TermWindow() const override { return window; }
    int TermClientWidth() const override { return clientWidth; }
    int TermClientHeight() const override { return clientHeight; }
    bool TermDoubleBuffered() const override { return doubleBuffered; }
    void TermInvalidate() override { ++wholeInvalidations; }
    void TermInvalidateCells(int l, int t, int r, int b) override { cellRects.push_back({l, t, r, b}); }

    int columns = 80;
    int rows = 24;
    HWND window = nullptr;
    int clientWidth = 640;
    int clientHeight = 240;
    bool doubleBuffered = false;
    int wholeInvalidations = 0;
    std::vector<CellRect> cellRects;
};

// A distinct cell for every position, so a misplaced or smeared copy shows.
TTermCell CellAt(int column, int row)
{
    return TTermCell{static_cast<char>('A' + (row * 7 + column) % 26), row * 1000 + column,
                     0x10000 * row + column, (row + column) % 2 == 0};
}

void FillDistinct(TTermBuffer& b)
{
    for (int r = 1; r <= b.Rows(); ++r)
        for (int c = 1; c <= b.Columns(); ++c)
            b.StoreCell(c, r, CellAt(c, r));
}

int EmptyCellCount(const TTermBuffer& b)
{
    int n = 0;
    for (int r = 1; r <= b.Rows(); ++r)
        for (int c = 1; c <= b.Columns(); ++c)
            n += b.FetchCell(c, r) == TTermCell{} ? 1 : 0;
    return n;
}

TEST(TermBuffer, CellsExistFromConstructionAndFollowTheTerminal)
{
    TTermBuffer alone(nullptr);
    EXPECT_EQ(alone.Columns(), 80);
    EXPECT_EQ(alone.Rows(), 24);
    EXPECT_EQ(alone.Cells.size(), 80u * 24u);
    EXPECT_EQ(alone.TabStops.size(), 80u);

    FakeTerminal t;
    t.columns = 132;
    t.rows = 50;
    TTermBuffer b(&t);
    EXPECT_EQ(b.Columns(), 132);
    EXPECT_EQ(b.Rows(), 50);
    EXPECT_EQ(b.Cells.size(), 132u * 50u);
    EXPECT_EQ(EmptyCellCount(b), 132 * 50);
    EXPECT_TRUE(t.cellRects.empty());
    EXPECT_EQ(t.wholeInvalidations, 0); // the callers repaint after a rebuild
}

TEST(TermBuffer, RebuildClampsTheSizeAndClearsEverything)
{
    FakeTerminal t;
    TTermBuffer b(&t);
    FillDistinct(b);
    b.ClearTabStops();
    t.columns = 300;
    t.rows = 1;
    b.RebuildCells();
    EXPECT_EQ(b.Columns(), 256);
    EXPECT_EQ(b.Rows(), 2);
    EXPECT_EQ(b.Cells.size(), 512u);
    EXPECT_EQ(EmptyCellCount(b), 512);
    EXPECT_EQ(b.NextTabStop(1), 1);
    b.RebuildCells(1, 1000);
    EXPECT_EQ(b.Columns(), 2);
    EXPECT_EQ(b.Rows(), 100);
}

TEST(TermBuffer, KeepsItsOwnSizeUntilRebuilt)
{
    FakeTerminal t;
    TTermBuffer b(&t);
    // The terminal grows, but until the rebuild the cells are still 80 x 24.
    t.columns = 132;
    t.rows = 60;
    b.StoreCell(100, 50, CellAt(1, 1));
    EXPECT_EQ(b.FetchCell(100, 50), TTermCell{});
    b.BlankLineFrom(90, 50);
    b.BlankScreenFrom(1, 40);
    b.ScrollContentUp();
    b.ScrollContentDown();
    EXPECT_EQ(b.Cells.size(), 80u * 24u);
    b.RebuildCells();
    b.StoreCell(100, 50, CellAt(1, 1));
    EXPECT_EQ(b.FetchCell(100, 50), CellAt(1, 1));
}

TEST(TermBuffer, OutOfRangeAccessIsIgnored)
{
    TTermBuffer b(nullptr);
    b.RebuildCells(10, 4);
    FillDistinct(b);
    const std::vector<TTermCell> before = b.Cells;
    const int bad[][2] = {{0, 1}, {1, 0}, {11, 1}, {1, 5}, {-1, -1}, {INT_MAX, INT_MAX}, {INT_MIN, 2}, {2, INT_MIN}};
    for (const auto& p : bad) {
        b.StoreCell(p[0], p[1], TTermCell{'x', 1, 2, true});
        EXPECT_EQ(b.FetchCell(p[0], p[1]), TTermCell{});
        b.MarkTabStop(p[0], true);
        EXPECT_FALSE(b.TabStopAt(p[0]) && (p[0] < 1 || p[0] > 10));
    }
    b.BlankLineFrom(1, 0);
    b.BlankLineFrom(1, 5);
    b.BlankLineFrom(11, 2);
    b.BlankLineFrom(INT_MAX, INT_MAX);
    b.BlankScreenFrom(1, 5);
    b.BlankScreenFrom(11, 4); // nothing is left after the last cell
    b.BlankScreenFrom(INT_MAX, INT_MAX);
    EXPECT_EQ(b.Cells, before);

    // Starting points before the first cell are raised to it.
    b.BlankLineFrom(-5, 2);
    for (int c = 1; c <= 10; ++c)
        EXPECT_EQ(b.FetchCell(c, 2), TTermCell{});
    EXPECT_EQ(b.FetchCell(1, 1), CellAt(1, 1));
    // Past the end of a row the blanking starts on the next row.
    b.BlankScreenFrom(11, 3);
    EXPECT_EQ(b.FetchCell(10, 3), CellAt(10, 3));
    EXPECT_EQ(b.FetchCell(1, 4), TTermCell{});
    b.BlankScreenFrom(INT_MIN, INT_MIN);
    EXPECT_EQ(EmptyCellCount(b), 40);
}

TEST(TermBuffer, ScrollUpAndDownMoveRowsWithoutSmearing)
{
    for (int columns : {2, 5, 80, 256}) {
        SCOPED_TRACE(columns);
        TTermBuffer b(nullptr);
        b.RebuildCells(columns, 3);
        FillDistinct(b);
        b.ScrollContentUp();
        for (int c = 1; c <= columns; ++c) {
            EXPECT_EQ(b.FetchCell(c, 1), CellAt(c, 2));
            EXPECT_EQ(b.FetchCell(c, 2), CellAt(c, 3));
            EXPECT_EQ(b.FetchCell(c, 3), TTermCell{});
        }
        FillDistinct(b);
        b.ScrollContentDown();
        for (int c = 1; c <= columns; ++c) {
            EXPECT_EQ(b.FetchCell(c, 1), TTermCell{});
            EXPECT_EQ(b.FetchCell(c, 2), CellAt(c, 1));
            EXPECT_EQ(b.FetchCell(c, 3), CellAt(c, 2));
        }
    }
}

TEST(TermBuffer, ScrollOnTwoRowsAndOnTheLargestScreen)
{
    TTermBuffer b(nullptr);
    b.RebuildCells(4, 2);
    FillDistinct(b);
    b.ScrollContentUp();
    EXPECT_EQ(b.FetchCell(3, 1), CellAt(3, 2));
    EXPECT_EQ(b.FetchCell(3, 2), TTermCell{});
    FillDistinct(b);
    b.ScrollContentDown();
    EXPECT_EQ(b.FetchCell(3, 1), TTermCell{});
    EXPECT_EQ(b.FetchCell(3, 2), CellAt(3, 1));

    b.RebuildCells(256, 100);
    FillDistinct(b);
    for (int i = 0; i < 99; ++i)
        b.ScrollContentUp();
    EXPECT_EQ(b.FetchCell(256, 1), CellAt(256, 100));
    EXPECT_EQ(EmptyCellCount(b), 256 * 99);
}

TEST(TermBuffer, BlankingEmptiesExactlyTheCellsFromTheStart)
{
    FakeTerminal t;
    t.columns = 10;
    t.rows = 4;
    TTermBuffer b(&t);
    FillDistinct(b);

    b.BlankLineFrom(10, 2);
    EXPECT_EQ(EmptyCellCount(b), 1);
    EXPECT_EQ(b.FetchCell(10, 2), TTermCell{});
    EXPECT_EQ(b.FetchCell(9, 2), CellAt(9, 2));
    EXPECT_EQ(b.FetchCell(1, 3), CellAt(1, 3));
    EXPECT_EQ(t.cellRects, (std::vector<CellRect>{{10, 2, 10, 2}}));

    t.cellRects.clear();
    b.BlankLineFrom(4, 1);
    EXPECT_EQ(b.FetchCell(3, 1), CellAt(3, 1));
    EXPECT_EQ(b.FetchCell(4, 1), TTermCell{});
    EXPECT_EQ(EmptyCellCount(b), 8);
    EXPECT_EQ(t.cellRects, (std::vector<CellRect>{{4, 1, 10, 1}}));

    FillDistinct(b);
    t.cellRects.clear();
    b.BlankScreenFrom(7, 4);
    EXPECT_EQ(EmptyCellCount(b), 4);
    EXPECT_EQ(b.FetchCell(6, 4), CellAt(6, 4));
    EXPECT_EQ(t.cellRects, (std::vector<CellRect>{{7, 4, 10, 4}}));

    FillDistinct(b);
    t.cellRects.clear();
    b.BlankScreenFrom(5, 2);
    EXPECT_EQ(b.FetchCell(4, 2), CellAt(4, 2));
    EXPECT_EQ(b.FetchCell(5, 2), TTermCell{});
    EXPECT_EQ(EmptyCellCount(b), 6 + 20);
    EXPECT_EQ(t.cellRects, (std::vector<CellRect>{{5, 2, 10, 2}, {1, 3, 10, 4}}));

    FillDistinct(b);
    t.cellRects.clear();
    b.BlankScreenFrom(1, 1);
    EXPECT_EQ(EmptyCellCount(b), 40);
    EXPECT_EQ(t.cellRects, (std::vector<CellRect>{{1, 1, 10, 1}, {1, 2, 10, 4}}));
    EXPECT_EQ(t.wholeInvalidations, 0);

    // Double-buffered, every change repaints the whole control instead.
    t.doubleBuffered = true;
    t.cellRects.clear();
    b.BlankLineFrom(1, 1);
    b.BlankScreenFrom(1, 1);
    b.ScrollContentUp();
    EXPECT_TRUE(t.cellRects.empty());
    EXPECT_EQ(t.wholeInvalidations, 3);
}

TEST(TermBuffer, TabStops)
{
    TTermBuffer b(nullptr);
    std::vector<int> stops;
    for (int c = 1; c <= 80; ++c)
        if (b.TabStopAt(c))
            stops.push_back(c);
    EXPECT_EQ(stops, (std::vector<int>{1, 9, 17, 25, 33, 41, 49, 57, 65, 73}));
    EXPECT_EQ(b.NextTabStop(74), 0);
    EXPECT_EQ(b.NextTabStop(73), 73);
    EXPECT_EQ(b.NextTabStop(2), 9);
    EXPECT_EQ(b.NextTabStop(81), 0);
    EXPECT_EQ(b.NextTabStop(INT_MAX), 0);
    EXPECT_EQ(b.NextTabStop(-3), 1);

    b.MarkTabStop(76, true);
    EXPECT_EQ(b.NextTabStop(74), 76);
    b.MarkTabStop(9, false);
    EXPECT_EQ(b.NextTabStop(2), 17);

    b.ClearTabStops();
    for (int c = 0; c <= 81; ++c)
        EXPECT_EQ(b.NextTabStop(c), 0) << c;

    b.RebuildCells(2, 2);
    EXPECT_TRUE(b.TabStopAt(1));
    EXPECT_FALSE(b.TabStopAt(2));
    EXPECT_EQ(b.NextTabStop(2), 0);

    b.RebuildCells(17, 2);
    EXPECT_EQ(b.NextTabStop(10), 17);
}

// The window follows a scroll by moving its pixels inside the cell grid only.
class TermBufferWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureGuiApplication();
        t.columns = 10;
        t.rows = 6;
        t.window = reinterpret_cast<HWND>(0x7e51);
        t.clientWidth = 100; // wider than the 80-pixel grid
        t.clientHeight = 50; // shorter than the 60-pixel grid
        surface = QImage(t.clientWidth, t.clientHeight, QImage::Format_RGB32);
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                surface.setPixel(x, y, qRgb(y * 4, x, 0));
        original = surface.copy();
        WindowPaintHooks hooks;
        hooks.Image = [this](HWND h, ImageUse) { return h == t.window ? &surface : nullptr; };
        hooks.Invalidated = [this](HWND h, const RECT* r, BOOL) {
            if (h == t.window)
                invalidated.push_back(r ? *r : RECT{-1, -1, -1, -1});
        };
        saved = SetWindowPaintHooks(std::move(hooks));
    }
    void TearDown() override
    {
        SetWindowPaintHooks(std::move(saved));
        ForgetWindowUpdate(t.window);
    }

    // Each pixel holds what was at its source before, and only the rectangle was invalidated.
    void ExpectScrolled(std::initializer_list<std::pair<QPoint, QPoint>> pixels, RECT invalid)
    {
        for (const auto& [at, from] : pixels)
            EXPECT_EQ(surface.pixel(at), original.pixel(from)) << at.x() << "," << at.y();
        ASSERT_EQ(invalidated.size(), 1u);
        EXPECT_EQ(invalidated[0], invalid);
    }

    FakeTerminal t;
    QImage surface;
    QImage original;
    std::vector<RECT> invalidated;
    WindowPaintHooks saved;
};

TEST_F(TermBufferWindow, ScrollUpMovesTheGridPixelsAndInvalidatesTheUncoveredRow)
{
    TTermBuffer b(&t);
    b.ScrollContentUp();
    // The grid moves up a row; right of it nothing moves.
    ExpectScrolled({{{5, 0}, {5, 10}}, {{79, 39}, {79, 49}}, {{80, 0}, {80, 0}}, {{99, 30}, {99, 30}}},
                   RECT{0, 40, 80, 50});
}

TEST_F(TermBufferWindow, ScrollDownMovesTheGridPixelsAndInvalidatesTheTopRow)
{
    TTermBuffer b(&t);
    b.ScrollContentDown();
    ExpectScrolled({{{5, 10}, {5, 0}}, {{79, 49}, {79, 39}}, {{85, 20}, {85, 20}}}, RECT{0, 0, 80, 10});
}

TEST_F(TermBufferWindow, NoWindowOrDoubleBufferingLeavesThePixelsAlone)
{
    TTermBuffer b(&t);
    t.doubleBuffered = true;
    b.ScrollContentUp();
    EXPECT_EQ(surface, original);
    EXPECT_EQ(t.wholeInvalidations, 1);
    t.doubleBuffered = false;
    t.window = nullptr;
    b.ScrollContentDown();
    EXPECT_EQ(surface, original);
    EXPECT_TRUE(invalidated.empty());
}

} // namespace
