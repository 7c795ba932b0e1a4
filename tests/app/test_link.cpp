// The radio link layer: sending, receiving and cleaning answers, the port test, the
// controlled exchanges and closing, against the simulated radio on a pty.
#include "test_link_support.h"

#include <ctime>
#include <filesystem>

using namespace apptest;

namespace {

class RadioLink : public RadioLinkTest {
protected:
    // The terminal hands the window a piece of the radio's text.
    static void Arrive(std::string text) { Form1->ComTerminalStrReceived(Form1, text); }
};

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

TEST(LinkDeleteSubstring, RemovesOnlyTheFirstOccurrence)
{
    EXPECT_EQ(DeleteSubstring("?;", "?;MR0;"), "MR0;");
    EXPECT_EQ(DeleteSubstring("?;", "?;?;MR0;"), "?;MR0;");
    EXPECT_EQ(DeleteSubstring("E;", "MR0E;X"), "MR0X");
    EXPECT_EQ(DeleteSubstring("O;", "ID017;"), "ID017;");
    EXPECT_EQ(DeleteSubstring("?;", ""), "");
}

TEST_F(RadioLink, ReceiveStripsEachErrorAnswerOnce)
{
    RxDelay = 50;
    Arrive("?;?;O;MR0;E;");
    EXPECT_TRUE(AnswerComplete);
    std::string answer;
    Form1->Receive(answer);
    EXPECT_EQ(answer, "?;MR0;");
    EXPECT_EQ(ReceiveBuffer, "");
}

TEST_F(RadioLink, AnswerCompleteOnlyOnceASemicolonArrived)
{
    Arrive("MR00");
    EXPECT_FALSE(AnswerComplete);
    Arrive("01;");
    EXPECT_TRUE(AnswerComplete);
    EXPECT_EQ(ReceiveBuffer, "MR0001;");
}

TEST_F(RadioLink, SendWithTheLinkClosedWritesNothingButResetsTheAnswer)
{
    ReceiveBuffer = "stale;";
    AnswerComplete = true;
    Form1->Send("AI0;");
    EXPECT_EQ(ReceiveBuffer, "");
    EXPECT_FALSE(AnswerComplete);
    EXPECT_EQ(PendingWrite, nullptr);
    EXPECT_FALSE(Form1->ComPort->Connected());
}

TEST_F(RadioLink, UnlistedPortIsReportedAndLeftAlone)
{
    // A listed pseudo-terminal under /dev: a missing device there shares its first
    // characters, so only its whole name tells it is not listed.
    Connect("TS-570D");
    ASSERT_EQ(pty_->SlavePath().compare(0, 5, "/dev/"), 0);
    ASSERT_FALSE(std::filesystem::exists("/dev/ttyUSB7"));
    const std::string ports[] = {"/nowhere/ttyX9", "/dev/ttyUSB7"};
    for (const std::string& port : ports) {
        SCOPED_TRACE(port);
        const std::size_t before = ShownBoxes().size();
        Form1->ComPort->SetPort(port);
        EXPECT_FALSE(Form1->OpenAndCheckCom());
        ASSERT_EQ(ShownBoxes().size(), before + 1);
        EXPECT_EQ(ShownBoxes().back().Text, "Error: None or incorrect communication port selected.\rPlease "
                                            "use the \"Communication\" dialog to set the correct port.");
        EXPECT_EQ(ShownBoxes().back().Kind, 0);
        EXPECT_FALSE(Form1->ComPort->Connected());
        EXPECT_FALSE(Form1->MenuRadioType->Default());
    }
    EXPECT_TRUE(sim_->Received().empty());
}

TEST_F(RadioLink, PortThatWillNotOpenLeavesTheLinkClosed)
{
    // Listed, but no such device.
    Form1->ComPort->SetPort(FirstTestPort);
    EXPECT_FALSE(Form1->OpenAndCheckCom());
    EXPECT_FALSE(Form1->MenuRadioType->Default());
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_EQ(ShownBoxes().size(), 1u); // the port's own error
}

TEST_F(RadioLink, OpenTestsTheRadioAndCloseResets)
{
    Connect("TS-570D");
    ASSERT_TRUE(Form1->OpenAndCheckCom());
    EXPECT_TRUE(Form1->MenuRadioType->Default());
    EXPECT_TRUE(Form1->ComPort->Connected());
    EXPECT_EQ(Form1->ComPort->EventChar(), ';');
    EXPECT_EQ(Heard(), (std::vector<std::string>{"AI0", "MR0000"}));
    Form1->MemProgressBar->SetPosition(5);
    Form1->ComPortClose();
    EXPECT_FALSE(Form1->MenuRadioType->Default());
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_EQ(Form1->MemProgressBar->Position(), 0);
    EXPECT_EQ(Form1->MemProgressBar->Min(), 0);
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(RadioLink, SilentRadioFailsTheTestAndClosesTheLink)
{
    RadioSimOptions quiet;
    quiet.Silence = true;
    Connect("TS-570D", quiet);
    RxDelay = 100;
    EXPECT_FALSE(Form1->OpenAndCheckCom());
    EXPECT_FALSE(Form1->MenuRadioType->Default());
    EXPECT_FALSE(Form1->ComPort->Connected());
}

TEST_F(RadioLink, ControlledQueryAndSetting)
{
    Connect("TS-570D");
    ASSERT_TRUE(Form1->OpenAndCheckCom());
    std::string id = "id;";
    EXPECT_TRUE(Form1->AskControlled(id, 3));
    EXPECT_EQ(id, "017");
    EXPECT_EQ(Heard("ID"), std::vector<std::string>{"ID"});

    sim_->Feed("LK1;");
    EXPECT_TRUE(Form1->SendControlled("LK0;", 2));
    EXPECT_EQ(sim_->Lock(), '0');
    EXPECT_EQ(Heard("LK"), (std::vector<std::string>{"LK1", "LK0", "LK"}));

    // A wrong length is a failed try: "ID;" asked for a four-character value.
    std::string longer = "ID;";
    EXPECT_FALSE(Form1->AskControlled(longer, 4));
    EXPECT_EQ(longer, "ID;");
    EXPECT_EQ(Heard("ID").size(), 6u);
    // A setting the radio refuses never reads back.
    EXPECT_FALSE(Form1->SendControlled("FR7;", 2));
    Form1->ComPortClose();
}

TEST_F(RadioLink, SplitAndErrorAnswersStillConfirm)
{
    RadioSimOptions opts;
    opts.SplitAnswers = true;
    opts.ErrorEvery = 2;
    Connect("TS-570D", opts);
    ASSERT_TRUE(Form1->OpenAndCheckCom());
    std::string id = "ID;";
    EXPECT_TRUE(Form1->AskControlled(id, 3));
    EXPECT_EQ(id, "017");
    Form1->ComPortClose();
}

TEST_F(RadioLink, StopButtonAsksTheActionToEnd)
{
    MenuReadActive = true;
    StopRequest = false;
    Form1->MemStopButtonClick(Form1);
    EXPECT_TRUE(StopRequest);
    EXPECT_FALSE(MenuReadActive);
    EXPECT_EQ(Status(), "Closing communicatiom. One moment please!");
}

TEST_F(RadioLink, TheFormBindsTheLinkEvents)
{
    EXPECT_EQ(Form1->ComPort->OnTxEmpty.MethodName(), "ComPortTxEmpty");
    EXPECT_EQ(Form1->ComTerminal->OnStrReceived.MethodName(), "ComTerminalStrReceived");
    EXPECT_EQ(Form1->MemStopButton->OnClick.MethodName(), "MemStopButtonClick");
    EXPECT_EQ(Form1->MemChanRXButton->OnClick.MethodName(), "MemChanRXButtonClick");
    EXPECT_EQ(Form1->MemChanTXButton->OnClick.MethodName(), "MemChanTXButtonClick");
    EXPECT_EQ(Form1->MemGrid->OnDblClick.MethodName(), "MemGridDblClick");
}

TEST_F(RadioLink, WaitingForASilentRadioBlocks)
{
    RadioSimOptions quiet;
    quiet.Silence = true;
    Connect("TS-570D", quiet);
    Form1->MenuRadioType->SetDefault(true);
    Form1->ComPort->OpenPort();
    RxDelay = 800;
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = ProcessCpuSeconds();
    Form1->Send("MR0000;");
    std::string answer;
    Form1->Receive(answer);
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    EXPECT_EQ(answer, "");
    EXPECT_GE(wall, 0.75);
    // A spinning wait would burn a whole core for the whole wait.
    EXPECT_LT(cpu, wall * 0.5);
    Form1->ComPortClose();
}

TEST_F(RadioLink, AnErrorAnswerAloneDoesNotEndTheWait)
{
    Arrive("?;");
    EXPECT_FALSE(AnswerComplete);
    Arrive("ID0");
    EXPECT_FALSE(AnswerComplete);
    Arrive("17;");
    EXPECT_TRUE(AnswerComplete);
    std::string answer;
    Form1->Receive(answer);
    EXPECT_EQ(answer, "ID017;");
}

// An answer may follow an error answer after a pause: up to a record's time on the line is
// waited for it, while an error answer alone ends the wait after about that long.
TEST_F(RadioLink, AnErrorAnswerWaitsARecordsTimeOnTheLine)
{
    RadioSimOptions paced;
    paced.Baud = 1200; // 200 ms a record
    paced.ErrorScript = {{"?;", ErrorPlacement::Prefix, 100}, {"?;", ErrorPlacement::Replace}};
    Connect("TS-440", paced);
    Form1->ComPort->SetBaudRate(br1200);
    Form1->MenuRadioType->SetDefault(true);
    Form1->ComPort->OpenPort();
    RxDelay = 2000;
    std::string answer;
    Form1->Send("MR0 00;");
    Form1->Receive(answer);
    EXPECT_EQ(answer.substr(0, 6), "MR0 00");
    EXPECT_EQ(answer.size(), 24u);

    const auto start = std::chrono::steady_clock::now();
    Form1->Send("MR0 00;");
    Form1->Receive(answer);
    EXPECT_EQ(answer, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    Form1->ComPortClose();
}
