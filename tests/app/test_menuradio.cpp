// Reading and writing menu settings against the simulated radio on a pseudo-terminal,
// through the real serial port: the guided read while the radio's menu steps, the stop
// button, the write of every non-empty row (twice, nothing read back) and link failures.
#include "test_link_support.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "serial/SerialPort.h"
#include "tools/radiosim/RadioSim.h"
#include "tools/radiosim/RadioSimPty.h"

#include <algorithm>
#include <memory>

using namespace apptest;

namespace {

class MenuRadioTest : public RadioLinkTest {
protected:
    void ConnectMenus(const std::string& model)
    {
        Connect(model);
        RxDelay = 150;
        TxDelay = 5;
        Form1->RXHelpMsg_Setting->SetChecked(false);
    }

    TStringGrid* Grid() const { return Form1->MenuGrid; }
    int RowOf(int menu) const { return Form1->FromMenuOptionToMenuGrid(static_cast<std::uint8_t>(menu)); }
    std::string Code(int menu) const { return Grid()->GetCell(3, RowOf(menu)); }
    std::string Flag(int menu) const { return Grid()->GetCell(5, RowOf(menu)); }
    int HeardExactly(const std::string& command) const
    {
        const auto heard = sim_->Received();
        return static_cast<int>(std::count(heard.begin(), heard.end(), command));
    }
    void ExpectIdle() const
    {
        EXPECT_FALSE(RadioBusy);
        EXPECT_FALSE(MenuReadActive);
        EXPECT_FALSE(Form1->MenuRadioType->Default()) << "the link is closed";
        EXPECT_TRUE(Form1->MenuGrid->Enabled());
        EXPECT_FALSE(Form1->MenuSetStopButton->Enabled());
    }
};

} // namespace

TEST_F(MenuRadioTest, ReadFollowsTheUserStepping)
{
    ConnectMenus("TS-570D");
    Form1->RXHelpMsg_Setting->SetChecked(true);
    sim_->SetMenuValue(5, 1);
    sim_->SetMenuValue(6, 1);
    // The radio shows 5 when reading starts, then the user steps to 6 and back to 5.
    sim_->SetMenuScript({5, 6, 5}, 2);
    Grid()->SetCell(5, RowOf(30), "1");
    FileChanged = false;

    Form1->RX_Action_Menu(5, 6);

    EXPECT_EQ(Code(5), "1");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(5)), "ON");
    EXPECT_EQ(Code(6), "1");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(6)), "9");
    EXPECT_EQ(Flag(5), "1");
    EXPECT_EQ(Flag(6), "1");
    EXPECT_EQ(Flag(30), "0") << "flags are reset when a read starts";
    EXPECT_TRUE(FileChanged);
    const auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Text, "It is not possible for VYX to read the menu settings automatically.\r"
                             "Please enter the menu on the radio and scroll through the menus.\r"
                             "This way VYX can discover the menu settings on the radio.");
    EXPECT_EQ(boxes[1].Text, "All (selected) memory entries have been red successfully.");
    EXPECT_EQ(boxes[1].Kind, 2);
    EXPECT_GE(HeardExactly("EX"), 5);
    ExpectIdle();
}

TEST_F(MenuRadioTest, ReadIgnoresMenusOutsideTheRange)
{
    ConnectMenus("TS-570D");
    for (int m : {9, 10, 11, 12, 20})
        sim_->SetMenuValue(m, 1);
    sim_->SetMenuScript({9, 10, 20, 11, 12}, 1);

    Form1->RX_Action_Menu(10, 12);

    EXPECT_EQ(Code(9), "") << "the menu shown at the start only sets the starting point";
    EXPECT_EQ(Code(10), "1");
    EXPECT_EQ(Code(11), "1");
    EXPECT_EQ(Code(12), "1");
    EXPECT_EQ(Code(20), "");
    EXPECT_EQ(Flag(20), "0");
    ExpectIdle();
}

TEST_F(MenuRadioTest, StopButtonEndsTheRead)
{
    ConnectMenus("TS-570D");
    sim_->SetMenuValue(4, 3);
    // The user reaches menu 4 and stays there: the read of the whole set never completes.
    sim_->SetMenuScript({3, 4}, 1);
    // The user presses stop once menu 4 has arrived.
    TTimer* timer = new TTimer(Form1);
    timer->SetInterval(10);
    timer->OnTimer = TNotifyEvent([this, timer](TObject*) {
        if (Code(4).empty())
            return;
        timer->SetEnabled(false);
        EXPECT_TRUE(Form1->MenuSetStopButton->Enabled());
        Form1->MenuSetStopButton->Click();
    });
    timer->SetEnabled(true);

    Form1->MenuSetRXButton->Click();

    EXPECT_EQ(Code(4), "3");
    EXPECT_EQ(Grid()->GetCell(2, RowOf(4)), "12.5");
    EXPECT_TRUE(ShownBoxes().empty());
    ExpectIdle();
    FreeObject(timer);
}

TEST_F(MenuRadioTest, WriteSendsEveryNonEmptyRowTwice)
{
    ConnectMenus("TS-570D");
    Grid()->SetCell(3, RowOf(5), "1");
    Grid()->SetCell(3, RowOf(24), "12");
    Grid()->SetCell(3, RowOf(41), "50");
    Grid()->SetCell(3, RowOf(6), "5"); // illegal for "10,9": emptied, never sent
    for (int m : {5, 24, 41, 6})
        Grid()->SetRow(RowOf(m));
    Form1->MenuEdit->SetText("10");
    ASSERT_EQ(Grid()->Row(), RowOf(10));

    Form1->MenuSetTXButton->Click();

    EXPECT_EQ(HeardExactly("EX0050001"), 2);
    EXPECT_EQ(HeardExactly("EX0240012"), 2);
    EXPECT_EQ(HeardExactly("EX0410050"), 2);
    EXPECT_EQ(HeardExactly("EX"), 0) << "nothing is read back";
    const auto heard = sim_->Received();
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                            [](const std::string& c) { return c.rfind("EX", 0) == 0; }),
              6);
    EXPECT_EQ(sim_->MenuValue(24), 12);
    EXPECT_EQ(sim_->MenuValue(41), 50);
    EXPECT_EQ(Code(6), "");
    EXPECT_EQ(Grid()->Row(), RowOf(10)) << "the row current before the write is current again";
    ExpectIdle();
}

TEST_F(MenuRadioTest, WriteStopsBeforeTheNextRow)
{
    ConnectMenus("TS-570D");
    for (int m = 0; m <= 46; ++m)
        if (RowOf(m) != 0)
            Grid()->SetCell(3, RowOf(m), "0");
    Form1->UpdateMenuEditFields();
    for (int r = 1; r < Grid()->RowCount(); ++r)
        Grid()->SetRow(r);
    TxDelay = 40;
    // The user presses stop once the radio has heard the first rows.
    TTimer* timer = new TTimer(Form1);
    timer->SetInterval(10);
    timer->OnTimer = TNotifyEvent([this, timer](TObject*) {
        if (Heard("EX0").size() < 4)
            return;
        timer->SetEnabled(false);
        Form1->MenuSetStopButton->Click();
    });
    timer->SetEnabled(true);

    Form1->TX_Action_Menu(0, 46);

    const auto heard = sim_->Received();
    const auto sent = std::count_if(heard.begin(), heard.end(),
                                    [](const std::string& c) { return c.rfind("EX0", 0) == 0; });
    EXPECT_GE(sent, 4);
    EXPECT_LT(sent, 2 * 45) << "the stop ended the write early";
    EXPECT_EQ(sent % 2, 0) << "a row is never cut between its two sends";
    ExpectIdle();
    FreeObject(timer);
}

TEST_F(MenuRadioTest, UnlistedPortFailsCleanly)
{
    ConnectMenus("TS-570D");
    Form1->ComPort->SetPort("/nowhere/ttyX");

    Form1->RX_Action_Menu(0, 46);
    auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].Kind, 0);
    EXPECT_EQ(boxes[1].Text, "Error while trying to communicate with the radio");
    ExpectIdle();

    Form1->TX_Action_Menu(0, 46);
    boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[3].Text, "Error while trying to communicate with the radio");
    EXPECT_TRUE(sim_->Received().empty());
    ExpectIdle();

    // A radio that does not answer is told the same way when writing.
    RadioSimOptions quiet;
    quiet.Silence = true;
    Connect("TS-570D", quiet);
    RxDelay = 100;
    Form1->MenuSetTXButtonClick(Form1);
    boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[4].Text, "Error while trying to communicate with the radio");
    EXPECT_EQ(boxes[4].Kind, 1);
    ExpectIdle();
}
