// Every model on the line: what the program knows of a model against what the simulated
// radio does by its own facts. A slip in either table shows here as a disagreement.
#include "test_link_support.h"

#include "app/FreqText.h"
#include "framework/StdCtrls.h"
#include "tools/radiosim/ModelFacts.h"

#include <cctype>
#include <map>

using namespace apptest;

namespace {

class ModelCrossCheck : public RadioLinkTest, public testing::WithParamInterface<int> {
protected:
    static std::string FreqText(long long hz)
    {
        std::string digits = std::to_string(hz);
        return HzToFreqText(std::string(11 - digits.size(), '0') + digits);
    }

    // Enters a memory through the edit panel, as the user does.
    static void Enter(int memory, const std::string& rx, const std::string& tx)
    {
        Form1->MemGrid->SetRow(memory + 1);
        Form1->UpdateEditFields();
        Form1->RXFreqEdit->SetText(rx);
        Form1->RXFreqEditExit(nullptr);
        Form1->RXModeSelect->SetItemIndex(0);
        if (Form1->TXeditPanel->Visible()) {
            Form1->TXFreqEdit->SetText(tx);
            Form1->TXFreqEditExit(nullptr);
            Form1->TXModeSelect->SetItemIndex(0);
        }
        Form1->UpdateMemGrid();
    }
};

} // namespace

TEST_P(ModelCrossCheck, DetectionPowerSelectionBandEdgesAndMenusAgree)
{
    const RadioModelFacts& radio = ModelFacts(GetParam());
    Connect(radio.Name);
    RxDelay = 150;
    const std::size_t boxesBefore = ShownBoxes().size();

    const std::uint8_t found = Form1->AutoDetectRadioType();
    ASSERT_TRUE(RadioTypeTable.ValidIndex(found));
    EXPECT_EQ(std::string(RadioTypeTable[found].RadioName), radio.Name);

    // The power items are offered exactly when the radio obeys them.
    EXPECT_EQ(Form1->RadioSwitchOff->Enabled(), radio.PowerSwitch);
    if (Form1->RadioSwitchOff->Enabled()) {
        // The radio acts on a command once it has heard it, a little after it left.
        Form1->RadioSwitchOff->Click();
        EXPECT_TRUE(WaitFor([this] { return !sim_->PowerOn(); }));
        Form1->RadioSwitchOn->Click();
        EXPECT_TRUE(WaitFor([this] { return sim_->PowerOn(); }));
    }

    Form1->MemGrid->SetRow(7);
    Form1->MemGridDblClick(Form1->MemGrid);
    if (radio.MemorySelect) {
        EXPECT_TRUE(WaitFor([this] { return sim_->SelectedMemory() == 6; })) << sim_->SelectedMemory();
        EXPECT_EQ(Status(), "Radio switched to memory 06.");
    } else {
        EXPECT_EQ(Status(), "Memory selection not supported for this radio");
    }

    // The lowest and highest frequency of every band, and a split memory across the
    // first band where the radio has a transmit half: all of it is taken by the
    // program's grid, written and read back the same.
    // Split data can be switched on exactly where the radio keeps a transmit half.
    EXPECT_EQ(Form1->SplitData_Setting->Enabled(), radio.TransmitHalf);
    if (Form1->SplitData_Setting->Enabled()) {
        Form1->SplitData_Setting->SetChecked(true);
        Form1->UpdateMemCols(nullptr);
    }
    Form1->Clear_Action_Mem(0, 99);
    auto inBand = [&radio](long long hz) {
        for (const RadioBand& band : radio.Bands)
            if (band.High > 0 && hz >= band.Low && hz <= band.High)
                return true;
        return false;
    };
    int memory = 0;
    for (const RadioBand& band : radio.Bands) {
        if (band.High == 0)
            continue;
        for (long long hz : {band.Low - 10, band.High + 10}) {
            if (inBand(hz))
                continue;
            Enter(memory, FreqText(hz), FreqText(hz));
            EXPECT_EQ(Cell(1, memory + 1), "") << FreqText(hz) << " is outside the radio's bands";
        }
        for (long long hz : {band.Low, band.High}) {
            Enter(memory, FreqText(hz), FreqText(hz));
            EXPECT_EQ(Cell(1, memory + 1), FreqText(hz)) << "inside the radio's band";
            ++memory;
        }
    }
    if (radio.TransmitHalf) {
        Enter(memory, FreqText(radio.Bands[0].Low), FreqText(radio.Bands[0].High));
        ++memory;
    }
    // What owners of the VHF/UHF sets type, written down apart from both tables.
    const std::map<std::string, long long> typed{
        {"TS-711", 145000000}, {"TS-811", 435000000}, {"TS-790", 1296000000}, {"TS-2000", 1296000000}};
    if (const auto it = typed.find(radio.Name); it != typed.end()) {
        Enter(memory, FreqText(it->second), FreqText(it->second));
        EXPECT_EQ(Cell(1, memory + 1), FreqText(it->second));
        ++memory;
    }
    std::vector<std::string> entered;
    for (int r = 1; r <= memory; ++r)
        for (int col = 1; col <= 4; ++col)
            entered.push_back(Cell(col, r));
    Form1->TX_Action_Mem(0, std::uint8_t(memory - 1));
    EXPECT_EQ(Status(), "Finished memory TX.");
    Form1->Clear_Action_Mem(0, 99);
    FileChanged = false;
    Form1->RX_Action_Mem(0, std::uint8_t(memory - 1));
    EXPECT_EQ(Status(), "Ready reading from radio.");
    std::vector<std::string> read;
    for (int r = 1; r <= memory; ++r)
        for (int col = 1; col <= 4; ++col)
            read.push_back(Cell(col, r));
    EXPECT_EQ(read, entered);

    // The menu page lists the radio's menus up to its last, and a value set on the last
    // row reaches the radio.
    EXPECT_EQ(Form1->MenuTabSheet->TabVisible(), radio.MenuCount > 0);
    if (radio.MenuCount > 0) {
        TStringGrid* menus = Form1->MenuGrid;
        const int last = menus->RowCount() - 1;
        EXPECT_EQ(menus->GetCell(0, last), IntToStr(radio.MenuCount - 1));
        menus->SetCell(3, last, "1");
        menus->SetRow(last);
        Form1->MenuSetTXButton->Click();
        const int menu = StrToIntDef(menus->GetCell(0, last), -1);
        EXPECT_TRUE(WaitFor([this, menu] { return sim_->MenuValue(menu) == 1; })) << sim_->MenuValue(menu);
    }
    const auto boxes = ShownBoxes();
    for (std::size_t i = boxesBefore; i < boxes.size(); ++i)
        if (boxes[i].Text.rfind("Found Kenwood radio", 0) != 0)
            ADD_FAILURE() << "unexpected message: " << boxes[i].Text;
}

// One test per model, so that the models run side by side.
INSTANTIATE_TEST_SUITE_P(EveryModel, ModelCrossCheck, testing::Range(1, RadioModelCount + 1),
                         [](const testing::TestParamInfo<int>& info) {
                             std::string name = ModelFacts(info.param).Name;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });
