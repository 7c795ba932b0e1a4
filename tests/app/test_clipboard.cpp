// Copying grid selections to the clipboard, with and without the row numbers.
#include "AppTestSupport.h"

#include "framework/Clipbrd.h"
#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

using namespace apptest;

namespace {

class ClipboardCopy : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Clipboard()->SetAsText("old contents");
        TStringGrid* g = Form1->MemGrid;
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 7; ++c)
                g->SetCell(c, r, "m" + std::to_string(r - 1) + "c" + std::to_string(c));
        Form1->VYXPageControl->SetActivePage(Form1->MemoryTabSheet);
        for (TCheckBox* b : {Form1->SplitData_Setting, Form1->ToneNumber_Setting, Form1->MemoryLockout_Setting,
                             Form1->Description_Setting})
            b->SetChecked(true);
    }
};

} // namespace

TEST_F(ClipboardCopy, WithNumbersEveryCellEndsInATab)
{
    Form1->MemGrid->SetSelection(TGridRect{1, 3, 2, 4});
    Form1->Copywhichchannelnumbers1Click(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "2\tm2c1\tm2c2\t\r\n3\tm3c1\tm3c2\t\r\n");
    ExpectCopyNotice(1);
}

TEST_F(ClipboardCopy, PopupCopyLeavesTheNumbersOut)
{
    Form1->MemGrid->SetSelection(TGridRect{2, 1, 2, 1});
    Form1->Grid_Popup->SetPopupComponent(Form1->MemGrid);
    Form1->Copy1Click(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "m0c2\t\r\n");
}

TEST_F(ClipboardCopy, HiddenOptionColumnsAreNotCopied)
{
    Form1->MemGrid->SetSelection(TGridRect{1, 2, 7, 2});
    Form1->SplitData_Setting->SetChecked(false);
    Form1->MemGridToClipBoard(false);
    EXPECT_EQ(Clipboard()->AsText(), "m1c1\tm1c2\tm1c5\tm1c6\tm1c7\t\r\n");

    Form1->SplitData_Setting->SetChecked(true);
    Form1->ToneNumber_Setting->SetChecked(false);
    Form1->MemoryLockout_Setting->SetChecked(false);
    Form1->Description_Setting->SetChecked(false);
    Form1->MemGridToClipBoard(true);
    EXPECT_EQ(Clipboard()->AsText(), "1\tm1c1\tm1c2\tm1c3\tm1c4\t\r\n");
}

TEST_F(ClipboardCopy, MenuGridNeverCopiesItsBookkeepingColumns)
{
    Form1->MenuTabSheet->SetTabVisible(true);
    Form1->VYXPageControl->SetActivePage(Form1->MenuTabSheet);
    TStringGrid* g = Form1->MenuGrid;
    g->SetRowCount(3);
    for (int r = 1; r <= 2; ++r)
        for (int c = 0; c <= 5; ++c)
            g->SetCell(c, r, "n" + std::to_string(r) + "c" + std::to_string(c));
    g->SetSelection(TGridRect{1, 1, 5, 2});
    Form1->Copywhichchannelnumbers1Click(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "n1c0\tn1c1\tn1c2\tn1c3\t\r\nn2c0\tn2c1\tn2c2\tn2c3\t\r\n");
    Form1->Grid_Popup->SetPopupComponent(g);
    Form1->Copy1Click(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "n1c1\tn1c2\tn1c3\t\r\nn2c1\tn2c2\tn2c3\t\r\n");
}

TEST_F(ClipboardCopy, NoGridOnOtherPages)
{
    Form1->VYXPageControl->SetActivePage(Form1->CmdTabSheet);
    Form1->Copywhichchannelnumbers1Click(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "old contents");
    EXPECT_TRUE(ShownBoxes().empty());
}
