// Applying a radio model to the main window: mode lists, split option, menu page and
// rows, power items, grid hint and the band trimming of every memory row.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

using namespace apptest;

namespace {

std::vector<std::string> Items(TComboBox* box)
{
    std::vector<std::string> items;
    for (int i = 0; i < box->Items()->Count(); ++i)
        items.push_back(box->Items()->Strings(i));
    return items;
}

class RadioModel : public ProgramTest {
protected:
    void Apply(const std::string& name, bool askUser = false)
    {
        CurrentRadio = FindRadioByField(name, 1);
        ASSERT_NE(CurrentRadio, 0) << name;
        Form1->ChangeRadioHandle(askUser);
    }
    TStringGrid* Mem() const { return Form1->MemGrid; }
};

} // namespace

TEST_F(RadioModel, SplitModelWithMenuSet)
{
    Apply("TS-570D");
    EXPECT_TRUE(Form1->SplitData_Setting->Enabled());
    EXPECT_TRUE(Form1->SplitData_Setting->Checked());
    const std::vector<std::string> modes{"LSB", "USB", "CW", "FM", "AM", "FSK", "CW-R", "FSK-R"};
    EXPECT_EQ(Items(Form1->RXModeSelect), modes);
    EXPECT_EQ(Items(Form1->TXModeSelect), modes);
    EXPECT_EQ(Form1->RXModeSelect->ItemIndex(), 0);
    EXPECT_EQ(Form1->TXModeSelect->ItemIndex(), 0);
    EXPECT_TRUE(Form1->RadioSwitchOn->Enabled());
    EXPECT_EQ(Form1->MemGrid->Hint(),
              "Use right mouse button for more options or double click to activate memory on radio.");

    // Set 1: menus 0 to 46 without 26 and 27.
    EXPECT_EQ(CurrentMenuSet, 1);
    EXPECT_TRUE(Form1->MenuTabSheet->TabVisible());
    TStringGrid* menu = Form1->MenuGrid;
    ASSERT_EQ(menu->RowCount(), 46);
    EXPECT_EQ(menu->GetCell(0, 1), "0");
    EXPECT_EQ(menu->GetCell(1, 1), "Display Brightness");
    EXPECT_EQ(menu->GetCell(0, 26), "25");
    EXPECT_EQ(menu->GetCell(0, 27), "28");
    EXPECT_EQ(menu->GetCell(4, 27), "28");
    EXPECT_EQ(menu->GetCell(0, 45), "46");
    EXPECT_EQ(menu->GetCell(2, 45), "");
    EXPECT_EQ(menu->Row(), 1);
    EXPECT_EQ(Form1->MenuEdit->MinValue(), 0);
    EXPECT_EQ(Form1->MenuEdit->MaxValue(), 46);
}

TEST_F(RadioModel, MenuRowsAreRebuiltEmpty)
{
    Apply("TS-870S");
    EXPECT_EQ(CurrentMenuSet, 2);
    EXPECT_EQ(Form1->MenuGrid->RowCount(), 70);
    EXPECT_EQ(Form1->MenuEdit->MaxValue(), 68);
    Form1->MenuGrid->SetCell(2, 3, "ON");
    Form1->MenuGrid->SetCell(3, 3, "1");
    Apply("TS-570DG");
    EXPECT_EQ(CurrentMenuSet, 3);
    EXPECT_EQ(Form1->MenuGrid->RowCount(), 53);
    EXPECT_EQ(Form1->MenuGrid->GetCell(2, 3), "");
    EXPECT_EQ(Form1->MenuGrid->GetCell(3, 3), "");
    EXPECT_EQ(Form1->MenuGrid->GetCell(1, 52), "Noise reduction 1 level change");
}

TEST_F(RadioModel, NonSplitModelWithoutMenuSet)
{
    Form1->VYXPageControl->SetActivePage(Form1->MenuTabSheet);
    Apply("TS-440");
    EXPECT_FALSE(Form1->SplitData_Setting->Enabled());
    EXPECT_FALSE(Form1->SplitData_Setting->Checked());
    EXPECT_EQ(CurrentMenuSet, 0);
    EXPECT_FALSE(Form1->MenuTabSheet->TabVisible());
    EXPECT_EQ(Form1->VYXPageControl->ActivePage(), Form1->MemoryTabSheet);
    EXPECT_EQ(Form1->VYXPageControl->TabIndex(), 0);
    // Only the memory tab is left among the tabs.
    EXPECT_EQ(Form1->VYXPageControl->FindNextPage(Form1->MemoryTabSheet, true, true),
              Form1->MemoryTabSheet);
    // Without a transmit half the TX column and panel go.
    EXPECT_EQ(Mem()->ColWidth(3), 0);
    EXPECT_EQ(Mem()->ColWidth(4), 0);
    EXPECT_EQ(Mem()->GetCell(1, 0), "Frequency");
    EXPECT_FALSE(Form1->TXeditPanel->Visible());
    EXPECT_EQ(Form1->MemGrid->Hint(), "Use right mouse button for more options or double click to activate memory on radio.");

    Apply("TS-570D");
    EXPECT_TRUE(Form1->SplitData_Setting->Enabled());
    EXPECT_FALSE(Form1->SplitData_Setting->Checked()) << "the user's choice is not undone";
    EXPECT_TRUE(Form1->MenuTabSheet->TabVisible());
}

TEST_F(RadioModel, Ts930TrimsEveryRow)
{
    // Row 1 is the current row, which the panel writes back; the others are trimmed only.
    // A row with either frequency outside the bands goes whole, mode to description.
    auto row = [this](int r) {
        std::vector<std::string> cells;
        for (int c = 1; c <= 7; ++c)
            cells.push_back(Mem()->GetCell(c, r));
        return cells;
    };
    const std::vector<std::string> empty(7, "");
    auto set = [this](int r, const std::vector<std::string>& cells) {
        for (int c = 1; c <= 7; ++c)
            Mem()->SetCell(c, r, cells[std::size_t(c - 1)]);
    };
    set(2, {"29.000.00", "AM", "30.000.00", "AM", "N/A", "TRUE", "split"});
    set(50, {"30.000.00", "FM", "29.999.99", "FM", "88.5", "FALSE", "repeater"});
    set(100, {"7.05", "AM", "7.05", "AM", "N/A", "FALSE", "40 m"});
    set(60, {"0.057.99", "AM", "0.057.99", "AM", "N/A", "FALSE", "low"});
    set(70, {"29.000.00", "AM", "29.000.00", "AM", "N/A", "FALSE", "kept"});
    FileChanged = false;
    Apply("TS-930");
    EXPECT_EQ(Items(Form1->RXModeSelect), std::vector<std::string>{"AM"});
    EXPECT_EQ(Items(Form1->TXModeSelect), std::vector<std::string>{"AM"});
    EXPECT_EQ(row(2), empty);
    EXPECT_EQ(row(50), empty);
    EXPECT_EQ(row(100), (std::vector<std::string>{"07.050.00", "AM", "07.050.00", "AM", "N/A", "FALSE", "40 m"}));
    EXPECT_EQ(row(60), empty) << "below the lower band edge";
    EXPECT_EQ(row(70), (std::vector<std::string>{"29.000.00", "AM", "29.000.00", "AM", "N/A", "FALSE", "kept"}));
    EXPECT_TRUE(FileChanged);
    EXPECT_FALSE(Form1->MenuTabSheet->TabVisible());
    EXPECT_EQ(Form1->UpdateTaskBarUsed(), 2);

    // Applied again, nothing changes and the file is not marked.
    FileChanged = false;
    Apply("TS-930");
    EXPECT_FALSE(FileChanged);
}

TEST_F(RadioModel, HundredsOfMegahertzSurvive)
{
    Mem()->SetCell(1, 2, "144.300.00");
    Mem()->SetCell(3, 2, "430.050.00");
    Apply("TS-2000");
    EXPECT_EQ(Mem()->GetCell(1, 2), "144.300.00");
    EXPECT_EQ(Mem()->GetCell(3, 2), "430.050.00");
    Apply("TS-850SAT");
    EXPECT_EQ(Mem()->GetCell(1, 2), "") << "outside the HF bands";
}

TEST_F(RadioModel, AskingTheUser)
{
    Apply("TS-440", true);
    auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "no split note for a model without a transmit half";
    EXPECT_EQ(boxes[0].Caption, "Information");
    EXPECT_EQ(boxes[0].Text, "You have requested to change the Radio type.\r\rAll memory entries will be "
                             "checked. Frequencies\rnot supported by sellected radio will be deleted!\rAll "
                             "Menu options will be deleted!");

    Apply("TS-850SAT", true);
    boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].Text, "Currently splitmode is switched off. The TS-850SAT does support splitmode.\r"
                             "You can switch splitmode on by checking the \"SplitData\" box.");

    Apply("TS-570D", false);
    EXPECT_EQ(ShownBoxes().size(), 3u);
}

TEST_F(RadioModel, NoSelectionNeverIndexesTheTable)
{
    Apply("TS-930");
    CurrentRadio = 0;
    EXPECT_NO_THROW(Form1->ChangeRadioHandle(true));
    EXPECT_EQ(Items(Form1->RXModeSelect), std::vector<std::string>{"AM"});
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_NO_THROW(Form1->ChangeEnabled(true));
    EXPECT_NO_THROW(Form1->UpdateTaskBarUsed());
    CurrentRadio = 19;
    EXPECT_NO_THROW(Form1->ChangeRadioHandle(false));
}

TEST_F(RadioModel, ColumnOptions)
{
    Mem()->SetCell(7, 3, "Local repeater");
    Form1->Description_Setting->SetChecked(false);
    Form1->UpdateMemCols(nullptr);
    EXPECT_EQ(Mem()->ColWidth(7), 0);
    EXPECT_FALSE(Form1->MemDescriptionPanel->Visible());
    EXPECT_EQ(Mem()->GetCell(7, 3), "Local repeater") << "a hidden column keeps its texts";
    Form1->Description_Setting->SetChecked(true);
    Form1->UpdateMemCols(nullptr);
    EXPECT_GT(Mem()->ColWidth(7), 0) << "shown again, in the room the other columns leave";

    Form1->MenuValue_setting->SetChecked(false);
    Form1->UpdateMenuCols();
    EXPECT_EQ(Form1->MenuGrid->ColWidth(3), 0);
    EXPECT_EQ(Form1->MenuGrid->ColWidth(2), 111);
}

TEST_F(RadioModel, PanelCommitNormalisesTheRow)
{
    Apply("TS-850SAT");
    Mem()->SetRow(5);
    Form1->RXFreqEdit->SetText("");
    Form1->TXFreqEdit->SetText("14.2");
    Form1->TXModeSelect->SetItemIndex(1);
    Form1->ToneNumber->SetItemIndex(3);
    Form1->MemLock->SetItemIndex(0);
    Form1->Description->SetText("DX");
    Form1->UpdateMemGrid();
    EXPECT_EQ(Mem()->GetCell(1, 5), "14.200.00") << "the TX half moves into the empty RX half";
    EXPECT_EQ(Mem()->GetCell(2, 5), "USB");
    EXPECT_EQ(Mem()->GetCell(5, 5), ToneTable[3].ToneText);
    EXPECT_EQ(Mem()->GetCell(6, 5), "TRUE");
    EXPECT_EQ(Mem()->GetCell(7, 5), "DX");

    Form1->RXFreqEdit->SetText("144.3");
    Form1->TXFreqEdit->SetText("7.1");
    Form1->UpdateMemGrid();
    EXPECT_EQ(Mem()->GetCell(1, 5), "");
    for (int c : {2, 5, 6, 7})
        EXPECT_EQ(Mem()->GetCell(c, 5), "") << c;
    EXPECT_EQ(Mem()->GetCell(3, 5), "07.100.00") << "the transmit half survives inside a band";

    Form1->UpdateEditFields();
    EXPECT_EQ(Form1->MemEdit->Value(), 4);
    EXPECT_EQ(Form1->RXFreqEdit->Text(), "");
    EXPECT_EQ(Form1->TXFreqEdit->Text(), "07.100.00");
    EXPECT_EQ(Form1->ToneNumber->ItemIndex(), 0);
    EXPECT_EQ(Form1->MemLock->ItemIndex(), 1);
}
