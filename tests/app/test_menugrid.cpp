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

#include <set>
#include <sstream>
#include <utility>
#include <vector>

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

// The radios' named menu values in the order of their codes (item i is code i), written down
// from the radios' own menu lists, apart from the program's table; with the menus of each set
// (1: TS-570D/S, 2: TS-870S, 3: TS-570DG/SG) that offer them.
struct MenuValueNames {
    const char* Items; // separated by "|"
    std::vector<int> Set1, Set2, Set3;
};
const MenuValueNames RadioNamedValues[] = {
    {"OFF|4|3|2|1", {0}, {}, {0}},
    {"OFF|1|2|3|4|5|6|7|8|9", {1, 21, 25}, {}, {1, 21, 25, 47}},
    {"100|500|1000", {2}, {52}, {2}},
    {"1|5|10", {3}, {}, {3}},
    {"1|5|10|12.5|20|25", {4}, {}, {4}},
    {"OFF|ON",
     {5, 7, 8, 9, 11, 22, 23, 28, 36, 38, 39},
     {1, 8, 9, 10, 11, 12, 13, 18, 27, 32, 33, 34, 35, 36, 37, 39, 42, 44, 49, 53, 54, 55, 59, 60, 63, 65, 66, 67, 68},
     {5, 7, 8, 9, 11, 22, 23, 26, 27, 28, 36, 38, 39, 48}},
    {"10|9", {6}, {}, {6}},
    {"Time|Carrier", {10}, {}, {10}},
    {"7.5|20", {12}, {}, {12}},
    {"2.4|2.0", {13}, {}, {13}},
    {"OFF|High boost|Formant pass|Bass boost|Conventional", {14}, {}, {14}},
    {"0|5|10|15|20|25", {15}, {}, {15}},
    {"0|1|2|3|4|5|6|7|8|9", {16, 34}, {21, 38}, {16, 34}},
    {"Low|High", {17}, {}, {17}},
    {"B|C", {19}, {}, {19}},
    {"400|450|500|550|600|650|700|750|800|850|900|950|1000", {20}, {24}, {20}},
    {"170 Hz|200 Hz|425 Hz|850 Hz", {29}, {}, {29}},
    {"OFF(mark)|ON(space)", {30}, {}, {30}},
    {"1275 Hz mark|2125 Hz mark", {31}, {}, {31}},
    {"OFF|1200 bps|300 bps|PSK", {32}, {}, {32}},
    {"0|1|2", {33}, {}, {33}},
    {"12-1|24-1|48-1|48-2|96-1|192-1|384-1|576-1", {35}, {}, {35}},
    {"OFF = Transfer to VFO|ON = Transfer to quick memory", {37}, {}, {37}},
    {"OFF|50 MHz|144 MHz|430 MHz", {40}, {}, {40}},
    {"OFF|1800 Hz|500 Hz|270 Hz", {46}, {}, {46}},
    {"A|B", {}, {0}, {}},
    {"Slow|Med|Fast", {}, {6, 22}, {}},
    {"OFF|Min|Med|High|Max", {}, {7}, {}},
    {"0(Fast)|1|2|3|4(slow)", {}, {14, 16, 17}, {}},
    {"2|5|10|17", {}, {15}, {}},
    {"OFF|1200|300|P", {}, {19}, {}},
    {"100 (mV)|30 (mV)|10 (mV)", {}, {20}, {}},
    {"2|4|6|8", {}, {23}, {}},
    {"-6|-3|0|+3|+6", {}, {25, 26}, {}},
    {"0(Min)|1|2|3|4|5|6|7(Max)", {}, {28}, {}},
    {"1800|2000|2300|2600|3000", {}, {29}, {}},
    {"0|100|200|300|400|500", {}, {30}, {}},
    {"H=High Boost|C=Comb Filter|B=Bass Boost", {}, {31}, {}},
    {"1|2|3|4|5|10|15|20|25|30|35|40|45|50|55|60", {}, {40}, {}},
    {"5 (kHz)|10 (kHz)", {}, {41}, {}},
    {"1 (kHz)|5 (kHz)|10 (kHz)", {}, {43}, {}},
    {"L=Low|H=High", {}, {50, 61}, {}},
    {"OFF|Fast|Slow", {}, {51}, {}},
    {"12-1|14-1|48-1|48-2|96-1|192-1|384-1|576-1", {}, {56}, {}},
    {"B=Burst|C=Continuous", {}, {58}, {}},
    {"170|200|425|850", {}, {62}, {}},
    {"1275 (Hz)|2125 (Hz)", {}, {64}, {}},
    {"2.5|2.6|2.7|2.8|2.9|3.0|3.1|3.2|3.3|3.4|3.5|3.6|3.7|3.8|3.9|4.0", {}, {}, {49}},
    {"OFF=Flat|HB=High Boost|FP=Formant Pass|BB=Bass Boost|C=Conventional", {}, {}, {50}},
    {"Auto|1|2|3|4|5|6|7|8|9", {}, {}, {51}},
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

// Every value the radio can hold in a named-list menu is shown as the radio names it, and
// the code past the last name is refused; no named-list menu of a set goes unwitnessed.
TEST_F(MenuGridTest, ReceivedNamedValuesShowAsTheRadioNamesThem)
{
    const std::pair<const char*, std::vector<int> MenuValueNames::*> sets[] = {
        {"TS-570D", &MenuValueNames::Set1}, {"TS-870S", &MenuValueNames::Set2}, {"TS-570DG", &MenuValueNames::Set3}};
    for (const auto& [model, menusOf] : sets) {
        SCOPED_TRACE(model);
        Apply(model);
        std::set<int> witnessed;
        for (const MenuValueNames& v : RadioNamedValues) {
            std::vector<std::string> items;
            std::istringstream list(v.Items);
            for (std::string item; std::getline(list, item, '|');)
                items.push_back(item);
            for (int menu : v.*menusOf) {
                SCOPED_TRACE("menu " + std::to_string(menu));
                witnessed.insert(menu);
                for (std::size_t code = 0; code <= items.size(); ++code) {
                    Form1->SubRX_Action_Menu(std::to_string(menu), std::to_string(code), true);
                    EXPECT_EQ(Grid()->GetCell(2, RowOf(menu)), code < items.size() ? items[code] : "");
                }
                EXPECT_TRUE(Form1->MenuValueEdit0->Visible());
            }
        }
        for (int r = 1; r < Grid()->RowCount(); ++r) {
            const int menu = std::stoi(Grid()->GetCell(0, r));
            Form1->SubRX_Action_Menu(std::to_string(menu), "0", false);
            if (Form1->MenuValueEdit0->Visible()) {
                EXPECT_EQ(witnessed.count(menu), 1u) << "menu " << menu << " has named values";
            }
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
