// Model detection, delay measurement, power and memory selection against the simulated
// radio, and the grids' select-all.
#include "test_link_support.h"

#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace apptest;

namespace {
class RadioDetect : public RadioLinkTest {};
} // namespace

TEST_F(RadioDetect, PlainModelByItsIdentification)
{
    Connect("TS-850SAT");
    RxDelay = 123;
    EXPECT_EQ(Form1->AutoDetectRadioType(), FindRadioByField("TS-850SAT", 1));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Found Kenwood radio: TS-850SAT."});
    EXPECT_EQ(ShownBoxes()[0].Kind, 2);
    EXPECT_EQ(RxDelay, 123);
    EXPECT_FALSE(Form1->ComPort->Connected());
}

TEST_F(RadioDetect, InterfaceBoardProbeFindsTheTS930)
{
    Connect("TS-930");
    EXPECT_EQ(Form1->AutoDetectRadioType(), FindRadioByField("TS-930", 1));
    EXPECT_EQ(Heard("EQ").size(), 1u);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Found Kenwood radio: TS-930."});
}

TEST_F(RadioDetect, BeatCancelTellsTheGVariantAndIsRestored)
{
    Connect("TS-570SG");
    sim_->Feed("BC1;");
    EXPECT_EQ(Form1->AutoDetectRadioType(), FindRadioByField("TS-570SG", 1));
    EXPECT_EQ(sim_->BeatCancel(), '1');
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Found Kenwood radio: TS-570SG."});
    const auto bc = Heard("BC");
    EXPECT_EQ(bc.front(), "BC1"); // fed by the test
    EXPECT_EQ(bc.back(), "BC");   // the restore's read-back
    EXPECT_NE(std::find(bc.begin(), bc.end(), "BC2"), bc.end());
}

TEST_F(RadioDetect, PlainTS570RefusesTheSecondCanceller)
{
    Connect("TS-570S");
    RxDelay = 100;
    EXPECT_EQ(Form1->AutoDetectRadioType(), FindRadioByField("TS-570S", 1));
    EXPECT_EQ(sim_->BeatCancel(), '0');
}

TEST_F(RadioDetect, NoRadioNoModel)
{
    Form1->ComPort->SetPort("/nowhere/ttyX9");
    EXPECT_EQ(Form1->AutoDetectRadioType(), 0);
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[1].Text, "No kenwood radio found.");
    EXPECT_EQ(ShownBoxes()[1].Kind, 0);
}

TEST_F(RadioDetect, AnswerDelayIsMeasured)
{
    RadioSimOptions slow;
    slow.LatencyMs = 40;
    Connect("TS-570D", slow);
    RxDelay = 250;
    const int proposed = Form1->AutoDetectRxDelayTime();
    // Each step lasts at least 1 ms, so the count only bounds the latency from above:
    // some steps were counted, and far fewer than a silent radio's 600 a pass (1803).
    EXPECT_GT(proposed, 3);
    EXPECT_LT(proposed, 1803);
    EXPECT_EQ(proposed % 3, 0);
    EXPECT_EQ(RxDelay, 250);
    EXPECT_EQ(Heard("MR0000").size(), 6u);
    EXPECT_FALSE(Form1->ComPort->Connected());

    Form1->ComPort->SetPort("/nowhere/ttyX9");
    EXPECT_EQ(Form1->AutoDetectRxDelayTime(), 0);
    EXPECT_EQ(ShownBoxes().back().Text, "Error while trying to communicate with the radio");
}

TEST_F(RadioDetect, DetectedDelayCarriesAWholeReadOnASlowLine)
{
    const struct {
        TBaudRate Rate;
        int Baud;
    } speeds[] = {{br4800, 4800}, {br9600, 9600}};
    for (const auto& speed : speeds) {
        SCOPED_TRACE(speed.Baud);
        RadioSimOptions paced;
        paced.Baud = speed.Baud; // a prompt radio: the line's speed is all the delay
        Connect("TS-440", paced);
        Form1->ComPort->SetBaudRate(speed.Rate);
        std::vector<std::string> expected;
        for (int m = 0; m < 100; ++m) {
            const std::string nn = (m < 10 ? "0" : "") + std::to_string(m);
            sim_->SetMemory(m, 0, "000070" + nn + "000" "1" "0" "0" "00" " ");
            expected.push_back("07.0" + nn + ".00");
        }
        RxDelay = Form1->AutoDetectRxDelayTime();
        // Room for at least three records' time on the line (24 x 10 bits each).
        EXPECT_GE(RxDelay, 3 * 24 * 10 * 1000 / speed.Baud);
        FileChanged = false;
        Form1->MemChanRXButtonClick(Form1);
        EXPECT_EQ(Status(), "Ready reading from radio.");
        std::vector<std::string> read;
        for (int r = 1; r <= 100; ++r)
            read.push_back(Cell(1, r));
        EXPECT_EQ(read, expected);
        EXPECT_TRUE(ShownBoxes().empty());
    }
}

TEST_F(RadioDetect, PowerOffAndOn)
{
    Connect("TS-570D");
    Form1->RadioSwitchOffClick(Form1);
    EXPECT_EQ(Status(), "Switch off command send to radio.");
    EXPECT_FALSE(Form1->MenuRadioType->Default());
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_TRUE(WaitFor([this] { return !sim_->PowerOn(); }));
    Form1->RadioSwitchOnClick(Form1);
    EXPECT_EQ(Status(), "Switch on command send to radio.");
    EXPECT_TRUE(WaitFor([this] { return sim_->PowerOn(); }));
    // Neither sends the link test.
    EXPECT_TRUE(Heard("AI").empty());

    // With the line held (as by XOFF) for a while, the command still leaves before the
    // port is closed; held past the wait, it is not reported as sent.
    const int line = ::open(pty_->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(line, 0);
    RxDelay = 400;
    for (const int heldMs : {300, 2500}) {
        SCOPED_TRACE(heldMs);
        ASSERT_EQ(::tcflow(line, TCOOFF), 0);
        std::thread release([line, heldMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(heldMs));
            ::tcflow(line, TCOON);
        });
        const std::size_t heard = Heard("PS0").size();
        Form1->RadioSwitchOffClick(Form1);
        release.join();
        if (heldMs < RxDelay) {
            EXPECT_EQ(Status(), "Switch off command send to radio.");
            EXPECT_TRUE(WaitFor([&] { return Heard("PS0").size() == heard + 1; }));
            EXPECT_TRUE(ShownBoxes().empty());
        } else {
            EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error while trying to communicate with the radio"});
            EXPECT_EQ(Heard("PS0").size(), heard);
            EXPECT_EQ(Status(), "Switch off command could not be sent to radio.");
        }
        EXPECT_FALSE(Form1->ComPort->Connected());
    }
    ::close(line);

    // A listed port that will not open: the error is shown, and the status says so too.
    Form1->ComPort->SetPort(FirstTestPort);
    Form1->RadioSwitchOnClick(Form1);
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[1].Text.rfind("Unable to open com port", 0), 0u) << ShownBoxes()[1].Text;
    EXPECT_EQ(Status(), "Switch on command could not be sent to radio.");
    EXPECT_FALSE(Form1->MenuRadioType->Default());
}

TEST_F(RadioDetect, DoubleClickSelectsTheRowsMemory)
{
    Connect("TS-570D"); // selection with read-back
    sim_->Feed("LK1;");
    Form1->MemGrid->SetRow(6);
    Form1->MemGridDblClick(Form1);
    EXPECT_EQ(sim_->SelectedMemory(), 5);
    EXPECT_EQ(sim_->Lock(), '0');
    EXPECT_EQ(sim_->Receiver(), '2');
    EXPECT_EQ(Heard("MC ").front(), "MC 05");
    EXPECT_EQ(Status(), "Radio switched to memory 05.");
    EXPECT_TRUE(Form1->MemGrid->Enabled());
    EXPECT_FALSE(Form1->ComPort->Connected());
}

TEST_F(RadioDetect, DoubleClickByModelMethod)
{
    Connect("TS-440"); // selection without read-back
    Form1->MemGrid->SetRow(13);
    Form1->MemGridDblClick(Form1);
    EXPECT_EQ(sim_->SelectedMemory(), 12);
    EXPECT_TRUE(Heard("MC;").empty());
    EXPECT_EQ(Status(), "Radio switched to memory 12.");

    Connect("TS-450S"); // no memory selection
    Form1->MemGridDblClick(Form1);
    EXPECT_EQ(Status(), "Memory selection not supported for this radio");
    EXPECT_TRUE(sim_->Received().empty());
}

TEST_F(RadioDetect, DoubleClickWithoutLinkReportsAndReenables)
{
    Form1->ComPort->SetPort("/nowhere/ttyX9");
    Form1->MemGridDblClick(Form1);
    EXPECT_EQ(ShownBoxes().back().Text, "Error while trying to communicate with the radio");
    EXPECT_TRUE(Form1->MemGrid->Enabled());
    EXPECT_FALSE(RadioBusy);
}

TEST_F(RadioDetect, SelectAllOnTheGridThatOpenedThePopup)
{
    Form1->Grid_Popup->SetPopupComponent(Form1->MemGrid);
    Form1->CtrlAClick(Form1);
    EXPECT_EQ(Form1->MemGrid->Selection(), (TGridRect{1, 1, 7, 100}));
    const TGridRect before = Form1->MenuGrid->Selection();
    Form1->Grid_Popup->SetPopupComponent(nullptr);
    Form1->CtrlAClick(Form1);
    EXPECT_EQ(Form1->MenuGrid->Selection(), before);
}
