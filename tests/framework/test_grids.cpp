#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComTestUtil.h"
#include "RoundTrip.h"
#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "platform/EventLoop.h"

namespace {

// Records the grid's events in firing order.
struct GridLog {
    std::vector<std::string> Events;
    bool AllowSelect = true;
    void Attach(TStringGrid* g)
    {
        g->OnClick = TNotifyEvent([this](TObject*) { Events.push_back("OnClick"); });
        g->OnDblClick = TNotifyEvent([this](TObject*) { Events.push_back("OnDblClick"); });
        g->OnSelectCell = TSelectCellEvent([this](TObject*, int, int, bool& can) {
            Events.push_back("OnSelectCell");
            can = AllowSelect;
        });
        g->OnMouseDown = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int, int) {
            Events.push_back("OnMouseDown");
        });
        g->OnMouseUp = TMouseEvent([this](TObject*, TMouseButton, TShiftState, int, int) {
            Events.push_back("OnMouseUp");
        });
        g->OnKeyDown = TKeyEvent([this](TObject*, WORD&, TShiftState) { Events.push_back("OnKeyDown"); });
    }
    std::string Joined() const
    {
        std::string s;
        for (const auto& e : Events)
            s += (s.empty() ? "" : ",") + e;
        return s;
    }
};

using comtest::RuleFor;

TEST(StringGridCells, OutOfRangeReadsAreEmptyAndWritesIgnored)
{
    TStringGrid g(nullptr);
    g.SetColCount(3);
    g.SetRowCount(4);
    g.Cells[2][3] = "corner";
    EXPECT_EQ(g.Cells[2][3].str(), "corner");
    EXPECT_EQ(g.Cells[3][0].str(), "");
    EXPECT_EQ(g.Cells[0][4].str(), "");
    EXPECT_EQ(g.Cells[-1][-1].str(), "");
    EXPECT_EQ(g.Cells[1000000][7].str(), "");
    g.Cells[3][3] = "lost";
    g.Cells[-1][2] = "lost";
    g.SetColCount(4);
    EXPECT_EQ(g.Cells[3][3].str(), "") << "a write outside the grid must not appear later";
    EXPECT_TRUE(g.Cells[0][0] == "");
    std::string joined = "<" + g.Cells[2][3] + ">";
    EXPECT_EQ(joined, "<corner>");
}

TEST(StringGridCells, RowCountShrinkAndGrowKeepTheRest)
{
    TStringGrid g(nullptr);
    g.SetColCount(3);
    g.SetRowCount(10);
    for (int r = 0; r < 10; ++r)
        g.Cells[1][r] = "r" + std::to_string(r);
    g.SetRowCount(4);
    EXPECT_EQ(g.RowCount(), 4);
    EXPECT_EQ(g.Cells[1][3].str(), "r3");
    EXPECT_EQ(g.Cells[1][5].str(), "");
    g.SetRowCount(8);
    EXPECT_EQ(g.Cells[1][2].str(), "r2");
    EXPECT_EQ(g.Cells[1][5].str(), "") << "shrunk rows come back empty";
    g.SetColCount(2);
    g.SetColCount(3);
    EXPECT_EQ(g.Cells[1][2].str(), "r2");
    EXPECT_EQ(g.Cells[2][2].str(), "");
    // The current row follows a shrink into the grid.
    g.SetRow(7);
    g.SetRowCount(3);
    EXPECT_EQ(g.Row(), 2);
    g.SetRowCount(0);
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.FixedRows(), 0);
}

TEST(StringGridCells, HiddenColumnKeepsItsDataAndTakesNoSpace)
{
    EnsureGuiApplication();
    TStringGrid g(nullptr);
    g.SetBounds(0, 0, 400, 200);
    g.SetColCount(4);
    g.SetDefaultColWidth(50);
    g.Cells[2][1] = "kept";
    TRect before = g.CellRect(3, 1);
    g.ColWidths[2] = 0;
    EXPECT_EQ(static_cast<int>(g.ColWidths[2]), 0);
    EXPECT_EQ(g.Cells[2][1].str(), "kept");
    TRect after = g.CellRect(3, 1);
    EXPECT_EQ(before.left - after.left, 51) << "the hidden column and its line are gone";
    int c = -2, r = -2;
    g.MouseToCell(after.left + 1, after.top + 1, c, r);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(r, 1);
    g.ColWidths[2] = 50;
    EXPECT_EQ(g.Cells[2][1].str(), "kept");
    g.ColWidths[99] = 10; // ignored
    EXPECT_EQ(static_cast<int>(g.ColWidths[99]), 0);
}

TEST(StringGridCells, ColsAndRowsAreLinesOfCells)
{
    TStringGrid g(nullptr);
    g.SetColCount(3);
    g.SetRowCount(3);
    g.Rows[1]->SetCommaText("a,b,c,d");
    EXPECT_EQ(g.Cells[0][1].str(), "a");
    EXPECT_EQ(g.Cells[2][1].str(), "c");
    EXPECT_EQ(g.Cols[1]->Count(), 3);
    EXPECT_EQ(g.Cols[1]->Strings(1), "b");
    g.Cols[2]->Clear();
    EXPECT_EQ(g.Cells[2][1].str(), "");
    EXPECT_EQ(g.Cols[2]->Add("x"), 0);
    EXPECT_EQ(g.Cells[2][0].str(), "x");
    EXPECT_EQ(g.Rows[1], g.Rows[1]) << "the same list for the same line";
    EXPECT_THROW(g.Rows[0]->Delete(0), EInvalidGridOperation);
}

TEST(StringGridEvents, RowAndColFromCodeClickOnlyOnChange)
{
    TStringGrid g(nullptr);
    g.SetColCount(4);
    g.SetRowCount(6);
    GridLog log;
    log.Attach(&g);
    g.SetRow(3);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "Row"));
    log.Events.clear();
    g.SetRow(3);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "Row (same value)"));
    g.SetCol(2);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "Col"));
    log.Events.clear();
    g.SetCol(2);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "Col (same value)"));
    g.Cells[1][1] = "x";
    g.SetRowCount(7);
    EXPECT_EQ(log.Joined(), "");
    EXPECT_THROW(g.SetRow(7), EInvalidGridOperation);
    EXPECT_EQ(g.Row(), 3);
}

TEST(StringGridEvents, VetoedSelectionKeepsTheCellButStillClicks)
{
    TStringGrid g(nullptr);
    GridLog log;
    log.Attach(&g);
    log.AllowSelect = false;
    g.SetRow(2);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(log.Joined(), "OnSelectCell,OnClick");
}

TEST(StringGridEvents, HandlerSettingRowAgainDoesNotLoop)
{
    TStringGrid g(nullptr);
    g.SetRowCount(10);
    int clicks = 0;
    g.OnClick = TNotifyEvent([&](TObject*) {
        ++clicks;
        g.SetRow(5); // moves once, then is the same value
    });
    g.SetRow(2);
    EXPECT_EQ(g.Row(), 5);
    EXPECT_EQ(clicks, 2);
}

TEST(StringGridSelection, ReadableAndSettableWithoutEvents)
{
    TStringGrid g(nullptr);
    g.SetColCount(8);
    g.SetRowCount(20);
    GridLog log;
    log.Attach(&g);
    TGridRect single = g.Selection();
    EXPECT_EQ(single, (TGridRect{1, 1, 1, 1}));
    g.SetSelection(TGridRect{2, 3, 5, 9});
    EXPECT_EQ(g.Selection(), (TGridRect{2, 3, 5, 9}));
    EXPECT_EQ(g.Row(), 9);
    EXPECT_EQ(g.Col(), 5);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "Selection"));
    // Corners given the other way round and beyond the grid are normalised.
    g.SetSelection(TGridRect{6, 30, 3, 4});
    EXPECT_EQ(g.Selection(), (TGridRect{3, 4, 6, 19}));
    // A move by code collapses the selection onto the current cell.
    g.SetRow(2);
    EXPECT_EQ(g.Selection(), (TGridRect{6, 2, 6, 2}));
    g.SetOptions(g.Options() + goRowSelect);
    g.SetRow(5);
    EXPECT_EQ(g.Selection().Left, 1);
    EXPECT_EQ(g.Selection().Right, 7);
}

TEST(StringGridUser, ClickAndKeysFireTheClassLibraryEvents)
{
    TForm* f = comtest::ShownForm();
    auto* g = new TStringGrid(f);
    g->SetParent(f);
    g->SetBounds(0, 0, 300, 200);
    g->SetColCount(5);
    g->SetRowCount(30);
    g->SetDefaultRowHeight(20);
    PumpMessages();
    GridLog log;
    log.Attach(g);
    TRect r = g->CellRect(3, 2);
    ASSERT_GT(r.right, r.left);
    comtest::UserClick(g, r.left + 5, r.top + 5);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "click on a cell"));
    EXPECT_EQ(g->Row(), 2);
    EXPECT_EQ(g->Col(), 3);
    // Clicking the current cell again still reports the click.
    log.Events.clear();
    comtest::UserClick(g, r.left + 5, r.top + 5);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "click on a cell"));
    // A click on a fixed cell moves nothing.
    log.Events.clear();
    comtest::UserClick(g, 3, 3);
    EXPECT_EQ(g->Row(), 2);
    EXPECT_EQ(log.Joined(), "OnMouseDown,OnMouseUp");

    log.Events.clear();
    g->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(log.Joined(), RuleFor("TStringGrid", "arrow key"));
    EXPECT_EQ(g->Row(), 3);
    // Moving below the view scrolls it.
    for (int i = 0; i < 20; ++i)
        g->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g->Row(), 23);
    EXPECT_GT(g->TopRow(), 1);
    EXPECT_GE(g->TopRow() + g->VisibleRowCount() - 1, 23);
    g->Perform(WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(g->Col(), 4);
    // The bottom edge stops the cursor without an event.
    g->SetRow(29);
    log.Events.clear();
    g->Perform(WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g->Row(), 29);
    EXPECT_EQ(log.Joined(), "OnKeyDown");
    FreeObject(f);
}

TEST(StringGridGeometry, MouseToCellOutsideCellsIsMinusOne)
{
    EnsureGuiApplication();
    TStringGrid g(nullptr);
    g.SetBounds(0, 0, 1000, 1000);
    g.SetColCount(2);
    g.SetRowCount(2);
    int c = 0, r = 0;
    g.MouseToCell(900, 900, c, r);
    EXPECT_EQ(c, -1);
    EXPECT_EQ(r, -1);
    g.MouseToCell(-5, 10, c, r);
    EXPECT_EQ(c, -1);
    TRect none = g.CellRect(5, 5);
    EXPECT_EQ(none.right - none.left, 0);
}

TEST(StringGridTypes, PublishedPropertiesRoundTrip)
{
    RegisterComControlsClasses();
    EXPECT_GT(roundtrip::CheckClass(TStringGrid::StaticClassInfo()), 8);
}

} // namespace
