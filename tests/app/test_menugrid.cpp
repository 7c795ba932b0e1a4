// The menu-settings grid: value codes shown per value kind, the four editors writing the
// code back, navigation by menu number, clearing ranges, storing a received value and the
// page-change handler.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

#include <QListWidget>
#include <QScrollBar>

using namespace apptest;

namespace {

class MenuGridTest : public ProgramTest {
protected:
    void Apply(const std::string& name)
    {
        CurrentRadio = FindRadioByField(name, 1);
        ASSERT_NE(CurrentRadio, 0) << name;
        Form1->ChangeRadioHandle(false);
    }
    TStringGrid* Grid() const { return Form1->MenuGrid; }
    int RowOf(int menu) const { return Form1->FromMenuOptionToMenuGrid(static_cast<std::uint8_t>(menu)); }
    // Puts a code into a menu's row and shows the row, as loading or reading does.
    std::string Show(int menu, const std::string& code)
    {
        const int row = RowOf(menu);
        EXPECT_NE(row, 0) << menu;
        Grid()->SetCell(3, row, code);
        if (Grid()->Row() != row)
            Grid()->SetRow(row);
        else
            Form1->UpdateMenuEditFields();
        return Grid()->GetCell(2, row);
    }
    std::string Code(int menu) const { return Grid()->GetCell(3, RowOf(menu)); }
    std::string Status() const { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    std::string Illegal(const std::string& code, int menu) const
    {
        return "ERROR: Value " + code + " is an illegal value for menu option " + std::to_string(menu) + "!";
    }
    std::vector<std::string> Items(TStrings* s) const
    {
        std::vector<std::string> v;
        for (int i = 0; i < s->Count(); ++i)
            v.push_back(s->Strings(i));
        return v;
    }
};

} // namespace

TEST_F(MenuGridTest, NamedListValues)
{
    Apply("TS-570D");
    EXPECT_EQ(Show(5, "1"), "ON");
    EXPECT_TRUE(Form1->MenuValueEdit0->Visible());
    EXPECT_FALSE(Form1->MenuValueEdit1->Visible());
    EXPECT_EQ(Items(Form1->MenuValueEdit0->Items()), (std::vector<std::string>{"OFF", "ON"}));
    EXPECT_EQ(Form1->MenuValueEdit0->Columns(), 2);
    EXPECT_EQ(Form1->MenuValueEdit0->ItemIndex(), 1);

    // Items in quotes keep their blanks.
    EXPECT_EQ(Show(14, "1"), "High boost");
    EXPECT_EQ(Form1->MenuValueEdit0->Items()->Count(), 5);

    // A code equal to the item count names no item: reported, and the row is emptied.
    EXPECT_EQ(Show(5, "2"), "");
    EXPECT_EQ(Code(5), "");
    EXPECT_EQ(Status(), Illegal("2", 5));
    // A number beyond a byte must not wrap onto a legal code (256 would become 0).
    EXPECT_EQ(Show(5, "256"), "");
    EXPECT_EQ(Code(5), "");
    // An empty code is no value: nothing reported, nothing changed.
    Form1->StatusBar->Panels()->Items(2)->SetText("");
    EXPECT_EQ(Show(5, ""), "");
    EXPECT_EQ(Status(), "");
}

// The named-list editor is one row high and shows every value side by side: each in a
// column of its own, whole, with no scroll bar over the row.
TEST_F(MenuGridTest, NamedListShowsEveryValueWholeInItsOneRow)
{
    Form1->Show();
    Form1->VYXPageControl->SetActivePageIndex(1);
    const struct {
        const char* model;
        int menu;
        int values;
    } cases[] = {{"TS-570D", 0, 5}, {"TS-870S", 24, 13}, {"TS-570D", 5, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " menu " + std::to_string(c.menu));
        Apply(c.model);
        Show(c.menu, "1");
        Application->ProcessMessages();
        auto* list = qobject_cast<QListWidget*>(Form1->MenuValueEdit0->NativeWidget());
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), c.values);
        EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
        const QRect client = list->viewport()->rect();
        const int top = list->visualItemRect(list->item(0)).top();
        for (int i = 0; i < list->count(); ++i) {
            const QRect cell = list->visualItemRect(list->item(i));
            EXPECT_TRUE(client.contains(cell)) << "item " << i;
            EXPECT_EQ(cell.top(), top) << "item " << i;
            EXPECT_GE(cell.width(), list->fontMetrics().horizontalAdvance(list->item(i)->text())) << "item " << i;
        }
    }
}

TEST_F(MenuGridTest, NumericRangeAndToneValues)
{
    Apply("TS-570D");
    EXPECT_EQ(Show(24, "60"), "60");
    EXPECT_TRUE(Form1->MenuValueEdit1->Visible());
    EXPECT_EQ(Form1->MenuValueEdit1->MinValue(), 0);
    EXPECT_EQ(Form1->MenuValueEdit1->MaxValue(), 60);
    EXPECT_EQ(Show(24, "61"), "");
    EXPECT_EQ(Code(24), "");
    EXPECT_EQ(Status(), Illegal("61", 24));

    EXPECT_EQ(Show(18, "0"), "N/A");
    EXPECT_TRUE(Form1->MenuValueEdit2->Visible());
    EXPECT_EQ(Show(18, "38"), "250.3");
    EXPECT_EQ(Form1->MenuValueEdit2->ItemIndex(), 38);
    // The editor offers only the codes a menu accepts.
    EXPECT_EQ(Form1->MenuValueEdit2->Items()->Count(), 39);
    EXPECT_EQ(Show(18, "39"), "");
    EXPECT_EQ(Status(), Illegal("39", 18));
    // An empty tone row shows the first tone without getting a value.
    EXPECT_EQ(Show(18, ""), "");
    EXPECT_EQ(Form1->MenuValueEdit2->ItemIndex(), 0);
}

TEST_F(MenuGridTest, PFKeyBlocksPerSet)
{
    Apply("TS-570D");
    EXPECT_EQ(Show(41, "5"), "[Menu 5]");
    EXPECT_TRUE(Form1->MenuValueEdit3->Visible());
    EXPECT_EQ(Form1->MenuValueEdit3->Items()->Strings(5), "5 = [Menu 5] Freq. rounding off when using MULTI/CH in vfo mode");
    EXPECT_EQ(Show(41, "50"), "Monitor");
    EXPECT_EQ(Show(41, "99"), "OFF");
    EXPECT_EQ(Show(41, "45"), "");
    EXPECT_EQ(Status(), Illegal("45", 41));
    // 300 would wrap to 44, a menu of the block.
    EXPECT_EQ(Show(41, "300"), "");

    Apply("TS-870S");
    EXPECT_EQ(Show(45, "0"), "OFF");
    EXPECT_EQ(Form1->MenuValueEdit3->Items()->Strings(1), "1 = [Menu 0] Menu A or B selection");
    EXPECT_EQ(Show(45, "69"), "[Menu 68]");
    EXPECT_EQ(Show(45, "74"), "[Voice]");

    Apply("TS-570DG");
    EXPECT_EQ(Show(41, "80"), "[Menu 48]");
    EXPECT_EQ(Show(41, "83"), "[Menu 51]");
    EXPECT_EQ(Show(41, "84"), "[Errors]");
    EXPECT_EQ(Form1->MenuValueEdit3->Items()->Count(), 25 - 2 + 41 + 4);
}

TEST_F(MenuGridTest, EditorsChangeTheCode)
{
    Apply("TS-570D");
    FileChanged = false;
    Show(5, "");
    TListBox* list = Form1->MenuValueEdit0;
    list->SetItemIndex(1);
    list->OnClick(list);
    EXPECT_EQ(Code(5), "1");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(5)), "ON");
    EXPECT_TRUE(FileChanged);

    FileChanged = false;
    Show(24, "10");
    EXPECT_FALSE(FileChanged) << "showing a row is no change";
    TSpinEdit* spin = Form1->MenuValueEdit1;
    spin->SetText("42");
    EXPECT_EQ(Code(24), "42");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(24)), "42");
    EXPECT_TRUE(FileChanged);
    // Out of range or not a number yet: the code stays, the text is left to the user.
    spin->SetText("70");
    EXPECT_EQ(Code(24), "42");
    spin->SetText("");
    EXPECT_EQ(Code(24), "42");
    EXPECT_EQ(spin->Text(), "");
    // Leaving the editor with such a text puts its minimum there, and that is a choice.
    spin->OnExit(spin);
    EXPECT_EQ(spin->Text(), "0");
    EXPECT_EQ(Code(24), "0");

    Show(18, "");
    TComboBox* tones = Form1->MenuValueEdit2;
    tones->SetItemIndex(38);
    tones->OnChange(tones);
    EXPECT_EQ(Code(18), "38");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(18)), "250.3");

    Show(42, "");
    TComboBox* keys = Form1->MenuValueEdit3;
    const int monitor = keys->Items()->IndexOf("50 = Monitor");
    ASSERT_GE(monitor, 0);
    keys->SetItemIndex(monitor);
    keys->OnChange(keys);
    EXPECT_EQ(Code(42), "50");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(42)), "Monitor");
    keys->SetItemIndex(7);
    keys->OnChange(keys);
    EXPECT_EQ(Code(42), "7");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(42)), "[Menu 7]");
}

TEST_F(MenuGridTest, ShowingRowsOfOtherValuesMarksNothing)
{
    Apply("TS-870S");
    // Menus 2 to 5 are numeric: the editor's value differs from row to row.
    Grid()->SetCell(3, RowOf(2), "3");
    Grid()->SetCell(3, RowOf(3), "17");
    FileChanged = false;
    Grid()->SetRow(RowOf(2));
    Grid()->SetRow(RowOf(3));
    Grid()->SetRow(RowOf(4));
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(Code(2), "3");
    EXPECT_EQ(Code(3), "17");
    EXPECT_EQ(Code(4), "");
    EXPECT_EQ(Form1->MenuEdit->Text(), "4");
}

TEST_F(MenuGridTest, NavigationByMenuNumberSkipsUnshownMenus)
{
    Apply("TS-570D");
    TSpinEdit* edit = Form1->MenuEdit;
    EXPECT_EQ(edit->MinValue(), 0);
    EXPECT_EQ(edit->MaxValue(), 46);
    edit->SetText("25");
    EXPECT_EQ(Grid()->Row(), RowOf(25));
    edit->SetText("26");
    EXPECT_EQ(Grid()->Row(), RowOf(28));
    EXPECT_EQ(edit->Text(), "28");
    edit->SetText("27");
    EXPECT_EQ(Grid()->Row(), RowOf(25));
    EXPECT_EQ(edit->Text(), "25");
    // Running off the end puts back the current row's number.
    edit->SetText("46");
    edit->SetText("47");
    EXPECT_EQ(Grid()->Row(), RowOf(46));
    EXPECT_EQ(edit->Text(), "46");
    // A click on a row shows its number.
    Grid()->SetRow(RowOf(10));
    EXPECT_EQ(edit->Text(), "10");
    EXPECT_TRUE(Form1->MenuValueEdit0->Visible());
}

TEST_F(MenuGridTest, ClearingRanges)
{
    Apply("TS-570D");
    for (int r = 1; r < Grid()->RowCount(); ++r) {
        Grid()->SetCell(2, r, "x");
        Grid()->SetCell(3, r, "1");
        Grid()->SetCell(5, r, "1");
    }
    Form1->MenuEdit->SetText("7");
    FileChanged = false;
    Form1->MenuClearFieldsButton->Click();
    EXPECT_EQ(Code(7), "");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(7)), "");
    EXPECT_EQ(Grid()->GetCell(5, RowOf(7)), "1") << "the read flag stays";
    EXPECT_EQ(Code(6), "1");
    EXPECT_EQ(Code(8), "1");
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(Form1->MenuEdit->Text(), "7");
    EXPECT_EQ(Form1->MenuValueEdit0->ItemIndex(), -1) << "the editor follows the emptied row";

    // Ends that name no shown menu: the menus inside are cleared, the titles never.
    Form1->Clear_Action_Menu(26, 30);
    EXPECT_EQ(Code(25), "1");
    EXPECT_EQ(Code(28), "");
    EXPECT_EQ(Code(30), "");
    EXPECT_EQ(Code(31), "1");
    Form1->Clear_Action_Menu(26, 27);
    EXPECT_EQ(Grid()->GetCell(2, 0), "Value");
    EXPECT_EQ(Grid()->GetCell(3, 0), "#");
    EXPECT_EQ(Code(25), "1");
    Form1->Clear_Action_Menu(12, 10);
    EXPECT_EQ(Code(11), "1");
    EXPECT_TRUE(Form1->MenuGrid->Enabled());
}

TEST_F(MenuGridTest, StoringAReceivedValue)
{
    Apply("TS-570D");
    Form1->SubRX_Action_Menu("10", "1", true);
    EXPECT_EQ(Grid()->Row(), RowOf(10));
    EXPECT_EQ(Code(10), "1");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(10)), "Carrier");
    EXPECT_EQ(Grid()->GetCell(5, RowOf(10)), "1");
    EXPECT_EQ(Status(), "Menu (10) received.");

    // Illegal: stored, reported and emptied, yet received.
    Form1->SubRX_Action_Menu("10", "7", true);
    EXPECT_EQ(Code(10), "");
    EXPECT_EQ(Grid()->GetCell(5, RowOf(10)), "1");

    Form1->SubRX_Action_Menu("26", "1", false);
    EXPECT_EQ(Status(), "Unknown memory option (26) received.");
    EXPECT_EQ(Grid()->GetCell(2, 0), "Value");
}

TEST_F(MenuGridTest, ColumnOptionProgressBarAndPageChange)
{
    Apply("TS-570D");
    Form1->MenuValue_setting->SetChecked(false);
    EXPECT_EQ(Grid()->ColWidth(3), 0);
    EXPECT_EQ(Grid()->ColWidth(2), 111);
    Form1->MenuValue_setting->SetChecked(true);
    EXPECT_EQ(Grid()->ColWidth(3), 27);
    EXPECT_EQ(Grid()->ColWidth(2), 84);

    SetMenuProgressRange(3, 9);
    Form1->SetMenuProgressBar(20);
    EXPECT_EQ(Form1->MenuProgressBar->Position(), 9);
    Form1->SetMenuProgressBar(1);
    EXPECT_EQ(Form1->MenuProgressBar->Position(), 3);
    Form1->SetMenuProgressBar(5);
    EXPECT_EQ(Form1->MenuProgressBar->Position(), 5);

    TPageControl* pages = Form1->VYXPageControl;
    pages->SetActivePageIndex(2);
    pages->OnChange(pages);
    EXPECT_FALSE(Form1->PrintMenu->Enabled());
    EXPECT_EQ(Form1->ActiveControl(), Form1->CmdLineEditCB);
    pages->SetActivePageIndex(1);
    pages->OnChange(pages);
    EXPECT_TRUE(Form1->PrintMenu->Enabled());
}

TEST_F(MenuGridTest, FocusGoesToTheMenuNumberButStaysInAValueEditor)
{
    Apply("TS-570D");
    Form1->VYXPageControl->SetActivePageIndex(1);
    Grid()->SetRow(RowOf(24));
    EXPECT_EQ(Form1->ActiveControl(), Form1->MenuEdit);
    // Typing "15" needs the spin edit to keep the focus after its first digit.
    Form1->MenuValueEdit1->SetFocus();
    Form1->MenuValueEdit1->SetText("1");
    Form1->MenuValueEdit1->SetText("15");
    EXPECT_EQ(Form1->ActiveControl(), Form1->MenuValueEdit1);
    EXPECT_EQ(Code(24), "15");
}
