// Find and Find Next on the active grid, the range actions and the mouse wheel.
#include "AppTestSupport.h"
#include "common/PostCall.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/EventLoop.h"
#include "platform/Messages.h"
#include "textview/TextView.h"

#include <functional>

using namespace apptest;
using posttest::PostCall;

namespace {

class FindTest : public ProgramTest {
protected:
    void TearDown() override
    {
        posttest::FreePostWindows();
        ProgramTest::TearDown();
    }

    void SetUp() override
    {
        ProgramTest::SetUp();
        SearchText.clear();
        for (int r = 1; r <= 100; ++r)
            for (int c = 1; c <= 7; ++c)
                Form1->MemGrid->SetCell(c, r, "");
        Form1->VYXPageControl->SetActivePage(Form1->MemoryTabSheet);
    }
    // Confirms (or cancels) the find dialog with the given choices.
    void Find(const std::string& text, int start, int direction, bool ok = true)
    {
        PostCall([=] {
            FindForm->SearchStr->SetText(text);
            FindForm->RadioGroup1->SetItemIndex(start);
            FindForm->RadioGroup2->SetItemIndex(direction);
            FindForm->SetModalResult(ok ? mrOk : mrCancel);
        });
        Form1->FindMenuClick(nullptr);
    }
    std::string Status() const { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    std::string LastBox() const
    {
        const auto boxes = ShownBoxes();
        return boxes.empty() ? std::string() : boxes.back().Text;
    }
    void Mem(int memory, int col, const std::string& text) { Form1->MemGrid->SetCell(col, memory + 1, text); }
};

} // namespace

TEST_F(FindTest, FindsTextIgnoringCaseButNeverTitlesOrNumbers)
{
    Mem(4, 2, "FM");
    Mem(9, 7, "my fm club");
    Find("fm", 1, 0);
    EXPECT_EQ(Status(), "Found item at memory : 4.");
    EXPECT_EQ(Form1->MemGrid->Row(), 5);
    EXPECT_EQ(Form1->MemGrid->Col(), 2);
    EXPECT_TRUE(ShownBoxes().empty());

    Form1->FindNextMenuClick(nullptr);
    EXPECT_EQ(Status(), "Found item at memory : 9.");
    EXPECT_EQ(Form1->MemGrid->Col(), 7);

    // Memory numbers in column 0 and the titles of row 0 never match.
    Find("4", 1, 0);
    EXPECT_EQ(LastBox(), "Search string \"4\" not found.");
    Find("mode", 1, 0);
    EXPECT_EQ(LastBox(), "Search string \"mode\" not found.");
}

TEST_F(FindTest, SearchesWrapAroundOnceInEitherDirection)
{
    Mem(0, 1, "145.000");
    Mem(97, 1, "145.500");
    Form1->MemGrid->SetRow(100);
    Find("145", 0, 0);
    EXPECT_EQ(Status(), "Found item at memory : 0.") << "forward from the last row goes on at row 1";

    Form1->MemGrid->SetRow(1);
    Find("145", 0, 1);
    EXPECT_EQ(Status(), "Found item at memory : 97.") << "backward from row 1 goes on at the last row";
    Form1->FindNextMenuClick(nullptr);
    EXPECT_EQ(Status(), "Found item at memory : 0.");
    Form1->FindNextMenuClick(nullptr);
    EXPECT_EQ(Status(), "Found item at memory : 97.");
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(FindTest, SingleMatchIsReportedAsTheOnlyOne)
{
    Mem(30, 7, "Beacon");
    Find("beacon", 1, 0);
    EXPECT_EQ(Status(), "Found item at memory : 30.");
    Form1->FindNextMenuClick(nullptr);
    EXPECT_EQ(Form1->MemGrid->Row(), 31);
    EXPECT_EQ(LastBox(), "Only one instance found for your search request.");
    EXPECT_EQ(ShownBoxes().back().Kind, 2);
}

TEST_F(FindTest, TopStartSkipsALastMatchInRowOne)
{
    Mem(0, 1, "x1");
    Mem(5, 1, "x2");
    Find("x", 1, 0);
    EXPECT_EQ(Status(), "Found item at memory : 0.");
    Find("x", 1, 0);
    EXPECT_EQ(Status(), "Found item at memory : 5.");
}

TEST_F(FindTest, CancelledBlankAndNothingToLookFor)
{
    Form1->FindNextMenuClick(nullptr);
    EXPECT_EQ(LastBox(), "Nothing to look for. Use <CTRL-F> instead.");
    Find("abc", 0, 0, false);
    EXPECT_EQ(Status(), "Search action canceled.");
    EXPECT_EQ(SearchText, "");
    Find("", 0, 0);
    EXPECT_EQ(LastBox(), "The search string cannot be blank.");
    EXPECT_EQ(SearchText, "");
}

TEST_F(FindTest, MenuGridIsSearchedOnTheMenuPage)
{
    Form1->MenuTabSheet->SetTabVisible(true);
    Form1->VYXPageControl->SetActivePage(Form1->MenuTabSheet);
    ASSERT_EQ(Form1->VYXPageControl->TabIndex(), 1);
    TStringGrid* g = Form1->MenuGrid;
    g->SetRowCount(4);
    for (int r = 1; r <= 3; ++r) {
        g->SetCell(0, r, std::to_string(r + 10));
        g->SetCell(1, r, "Menu " + std::to_string(r));
    }
    g->SetCell(4, 3, "hidden");
    Find("HIDDEN", 1, 0);
    EXPECT_EQ(Status(), "Found item at menu item: 2.") << "the hidden columns are searched";
    EXPECT_EQ(g->Row(), 3);
}

TEST_F(FindTest, MemoryRangeDialogIsPresetToTheSelection)
{
    Form1->Radio_Action->SetPopupComponent(Form1->MemChanClearFieldsButton);
    for (int m = 9; m <= 21; ++m)
        Mem(m, 1, "145.000");
    Form1->MemGrid->SetSelection(TGridRect{1, 11, 2, 20});
    int presetFirst = -1, presetLast = -1;
    PostCall([&] {
        presetFirst = Range_Selection->BegMemEdit->Value();
        presetLast = Range_Selection->EndMemEdit->Value();
        Range_Selection->BegMemEdit->SetValue(14);
        Range_Selection->EndMemEdit->SetValue(12);
        Range_Selection->SetModalResult(mrOk);
    });
    Form1->SelectRange1Click(nullptr);
    EXPECT_EQ(presetFirst, 10);
    EXPECT_EQ(presetLast, 19);
    // The reversed range clears memories 12 to 14 only.
    for (int m = 9; m <= 21; ++m)
        EXPECT_EQ(Form1->MemGrid->GetCell(1, m + 1).empty(), m >= 12 && m <= 14) << "memory " << m;

    // A cancelled dialog runs nothing.
    PostCall([] { Range_Selection->SetModalResult(mrCancel); });
    Form1->MemGrid->SetSelection(TGridRect{1, 10, 2, 22});
    Form1->SelectRange1Click(nullptr);
    EXPECT_FALSE(Form1->MemGrid->GetCell(1, 10).empty());
}

TEST_F(FindTest, CurrentItemAndGridPopupClear)
{
    Form1->Radio_Action->SetPopupComponent(Form1->MemChanClearFieldsButton);
    for (int m = 0; m <= 8; ++m)
        Mem(m, 1, "7.000");
    Form1->MemEdit->SetValue(5);
    Form1->CurrentLine1Click(nullptr);
    EXPECT_TRUE(Form1->MemGrid->GetCell(1, 6).empty());
    EXPECT_FALSE(Form1->MemGrid->GetCell(1, 5).empty());

    Form1->Grid_Popup->SetPopupComponent(Form1->MemGrid);
    Form1->MemGrid->SetSelection(TGridRect{1, 3, 3, 4});
    Form1->Clear1Click(nullptr);
    EXPECT_TRUE(Form1->MemGrid->GetCell(1, 3).empty());
    EXPECT_TRUE(Form1->MemGrid->GetCell(1, 4).empty());
    EXPECT_FALSE(Form1->MemGrid->GetCell(1, 2).empty());
    EXPECT_FALSE(Form1->MemGrid->GetCell(1, 5).empty());

    // A pop-up opened by no known control does nothing.
    Form1->Radio_Action->SetPopupComponent(nullptr);
    Form1->ALL1Click(nullptr);
    EXPECT_FALSE(Form1->MemGrid->GetCell(1, 1).empty());
}

TEST_F(FindTest, WheelStepsThroughTheMemories)
{
    Form1->MemEdit->SetValue(10);
    ExpectWheelSteps([] { return Form1->MemEdit->Value(); }, 11, 9);
}

TEST_F(FindTest, ResizeKeepsTheInputBoxUnderTheLog)
{
    Form1->SetHeight(500);
    Form1->FormResize(nullptr);
    EXPECT_EQ(Form1->CmdLineEditCB->Top(), 390);
    EXPECT_EQ(Form1->CmdLineWindow->Height(), 390);
}
