// Status, messages and questions in window and command-line mode, enabling for radio
// actions, the status-bar counters, the progress bars and the in-row search.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "platform/EventLoop.h"
#include "platform/Windowing.h"
#include "textview/TextView.h"

#include <deque>

using namespace apptest;

namespace {

// Typed lines, handed to a waiting question one per wait step, as the command box does.
std::deque<std::string> typedLines;
int waitSteps = 0;

bool TypeNextLine()
{
    if (PendingAnswer != WaitingAnswer)
        return false;
    ++waitSteps;
    if (typedLines.empty())
        return false;
    PendingAnswer = typedLines.front();
    typedLines.pop_front();
    return true;
}

class Messages : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        typedLines.clear();
        waitSteps = 0;
        AddMessagePumpHook(&TypeNextLine);
        Form1->CmdLineWindow->ClearDocument();
    }
    void TearDown() override
    {
        RemoveMessagePumpHook(&TypeNextLine);
        UIMode = 'G';
        ProgramTest::TearDown();
    }
    // The log's non-empty lines.
    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        for (int i = 0; i < Form1->CmdLineWindow->Items->Count(); ++i)
            if (!Form1->CmdLineWindow->Items->Strings(i).empty())
                lines.push_back(Form1->CmdLineWindow->Items->Strings(i));
        return lines;
    }
    std::string Panel(int i) const { return Form1->StatusBar->Panels()->Items(i)->Text(); }
};

} // namespace

TEST_F(Messages, WindowModeUsesTheMessageBox)
{
    Form1->OKMessage("Error while trying to communicate with the radio", MessageKind::Error);
    auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Kind, 1);
    EXPECT_EQ(boxes[0].Buttons, 0);
    EXPECT_EQ(Panel(2), "Error while trying to communicate with the radio");
    EXPECT_TRUE(Log().empty());

    QueueAnswer(6);
    EXPECT_TRUE(Form1->YesNoMessage("Go on?", MessageKind::Warning));
    QueueAnswer(7);
    EXPECT_FALSE(Form1->YesNoMessage("Go on?", MessageKind::Warning));
    QueueAnswer(2);
    EXPECT_EQ(Form1->YesNoCancelMessage("Save?"), 2);
    boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[1].Caption, "Warning");
    EXPECT_EQ(boxes[1].Buttons, 2);
    EXPECT_EQ(boxes[3].Kind, 0);
    EXPECT_EQ(boxes[3].Buttons, 3);

    Form1->OKMessage("odd kind", MessageKind::Custom);
    EXPECT_EQ(ShownBoxes().back().Caption, "Note");
}

TEST_F(Messages, CommandModeWritesToTheLog)
{
    UIMode = 'C';
    Form1->OKMessage("Error while trying to communicate with the radio", MessageKind::Error);
    ShowStatus("Ready reading from radio.");
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_EQ(Log(), (std::vector<std::string>{"Error - Error while trying to communicate with the radio",
                                              "Ready reading from radio."}));
    EXPECT_EQ(Panel(2), "Ready reading from radio.");

    UIMode = 'G';
    ShowStatus("only the status bar");
    EXPECT_EQ(Log().size(), 2u);
}

TEST_F(Messages, QuestionAnsweredByTypedText)
{
    UIMode = 'C';
    typedLines = {"maybe", "YES"};
    EXPECT_TRUE(Form1->YesNoMessage("Overwrite?", MessageKind::Warning));
    EXPECT_TRUE(PendingAnswer.empty());
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_EQ(Log(), (std::vector<std::string>{"Warning - Overwrite? [Yes/No] ?",
                                              "Invalid answer: maybe.", "Warning - Overwrite? [Yes/No] ?"}));

    typedLines = {"No"};
    EXPECT_FALSE(Form1->YesNoMessage("Overwrite?", MessageKind::Information));
    typedLines = {"ja", "nO"};
    EXPECT_EQ(Form1->YesNoCancelMessage("Save?"), 7);
    typedLines = {"CANCEL"};
    EXPECT_EQ(Form1->YesNoCancelMessage("Save?"), 2);
    typedLines = {"yes"};
    EXPECT_EQ(Form1->YesNoCancelMessage("Save?"), 6);
}

TEST_F(Messages, EmptyAnswerIsNeverConsent)
{
    UIMode = 'C';
    typedLines.assign(1, std::string());
    EXPECT_EQ(Form1->YesNoCancelMessage("Save?"), 2);
    typedLines.assign(1, std::string());
    EXPECT_FALSE(Form1->YesNoMessage("Exit?", MessageKind::Warning));
    EXPECT_TRUE(PendingAnswer.empty());
}

TEST_F(Messages, AnswerListWalk)
{
    UIMode = 'C';
    typedLines = {"b"};
    EXPECT_EQ(AskOnCommandLine("Pick", "a/B/c"), "b");
    typedLines = {"a/b", "C"};
    EXPECT_EQ(AskOnCommandLine("Pick", "a/B/c"), "c") << "a typed line is one answer, not a list";
    EXPECT_GE(waitSteps, 2);
}

TEST_F(Messages, ChangeEnabledForARadioAction)
{
    Form1->ChangeEnabled(false);
    EXPECT_TRUE(RadioBusy);
    EXPECT_TRUE(Form1->MemStopButton->Enabled());
    EXPECT_TRUE(Form1->MenuSetStopButton->Enabled());
    for (TControl* c : std::initializer_list<TControl*>{
             Form1->MemChanLoadButton, Form1->MemChanRXButton, Form1->MemChanTXButton,
             Form1->RXFreqEdit, Form1->RXModeSelect, Form1->MemLock, Form1->Description,
             Form1->MemGrid, Form1->MenuSetRXButton, Form1->MenuGrid, Form1->CmdLineEditCB})
        EXPECT_FALSE(c->Enabled()) << c->Name();
    EXPECT_FALSE(Form1->FileMenu->Enabled());
    EXPECT_FALSE(Form1->MenuRadioType->Enabled());
    EXPECT_EQ(Form1->RXModeSelect->Font()->GetColor(), TColor(0x808080));
    // The TS-570D takes the power command: its items stay usable during the action.
    ASSERT_EQ(std::string(CurrentRadioRecord().PowerSwitch), "1");
    EXPECT_TRUE(Form1->RadioSwitchOn->Enabled());
    EXPECT_TRUE(Form1->RadioSwitchOff->Enabled());

    StopRequest = true;
    Form1->ChangeEnabled(true);
    EXPECT_FALSE(RadioBusy);
    EXPECT_FALSE(StopRequest);
    EXPECT_FALSE(Form1->MemStopButton->Enabled());
    EXPECT_TRUE(Form1->MemGrid->Enabled());
    EXPECT_TRUE(Form1->SettingsMenu->Enabled());
    EXPECT_EQ(Form1->RXModeSelect->Font()->GetColor(), clWindowText);

    // A model without it keeps them off whatever the argument.
    CurrentRadio = FindRadioByField("0", rfPowerSwitch + 1);
    ASSERT_NE(CurrentRadio, 0);
    Form1->ChangeEnabled(true);
    EXPECT_FALSE(Form1->RadioSwitchOn->Enabled());
    EXPECT_FALSE(Form1->RadioSwitchOff->Enabled());
}

// While a radio action runs no control has the keyboard: the disabled edit that had it hands
// it to no other control (whose enter and exit events would run). Afterwards the edit has it
// back, with its caret where it was.
TEST_F(Messages, FocusDuringAndAfterARadioAction)
{
    Form1->Show();
    Application->ProcessMessages();
    Form1->Description->SetText("club");
    Form1->Description->SetFocus();
    Form1->Description->SetSelStart(2);
    Form1->ChangeEnabled(false);
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), nullptr);
    Form1->ChangeEnabled(true);
    Application->ProcessMessages();
    EXPECT_TRUE(Form1->Description->Focused());
    EXPECT_EQ(Form1->Description->SelStart(), 2);
    EXPECT_EQ(Form1->Description->SelLength(), 0);
}

TEST_F(Messages, UsedCounters)
{
    TStringGrid* g = Form1->MemGrid;
    for (int r : {1, 5, 100}) {
        g->SetCell(1, r, "14.195.00");
        g->SetCell(3, r, "14.195.00");
    }
    g->SetCell(1, 7, "07.050.00"); // receive half only
    EXPECT_EQ(Form1->UpdateTaskBarUsed(), 3);
    EXPECT_EQ(Panel(0), "Used: 3");
    EXPECT_EQ(Panel(1), "Not Used: 97");
    EXPECT_EQ(Form1->MenuRadioType->Caption(), "[TS-570D]");

    Form1->VYXPageControl->SetActivePage(Form1->MenuTabSheet);
    const int rows = Form1->MenuGrid->RowCount() - 1;
    Form1->MenuGrid->SetCell(2, 1, "OFF");
    Form1->MenuGrid->SetCell(2, rows, "ON");
    EXPECT_EQ(Form1->UpdateTaskBarUsed(), 2);
    EXPECT_EQ(Panel(1), "Not Used: " + std::to_string(rows - 2));

    Form1->VYXPageControl->SetActivePage(Form1->DebugSheet); // its tab is hidden
    EXPECT_EQ(Form1->UpdateTaskBarUsed(), 0);
    EXPECT_EQ(Panel(0), "Used: 0");
    EXPECT_EQ(Panel(1), "Not Used: 0");
}

TEST_F(Messages, ProgressRanges)
{
    SetProgressRange(10, 50);
    EXPECT_EQ(Form1->MemProgressBar->Min(), 10);
    EXPECT_EQ(Form1->MemProgressBar->Max(), 50);
    EXPECT_EQ(Form1->MemProgressBar->Position(), 10);
    EXPECT_TRUE(Form1->MemProgressBar->Enabled());

    SetMenuProgressRange(3, 40);
    EXPECT_EQ(Form1->MenuProgressBar->Min(), 3);
    EXPECT_EQ(Form1->MenuProgressBar->Max(), 40);
    EXPECT_EQ(Form1->MenuProgressBar->Position(), 3);

    SetMenuProgressRange(5, 2);
    EXPECT_EQ(Form1->MenuProgressBar->Min(), 3);
    EXPECT_EQ(Form1->MenuProgressBar->Max(), 40);
    EXPECT_EQ(Panel(2), "Error in SetMenuProgressBarSettings: 5 > 2");
}

TEST_F(Messages, FindInRow)
{
    TStringGrid* g = Form1->MemGrid;
    g->SetCell(1, 4, "14.195.00");
    g->SetCell(2, 4, "USB");
    g->SetCell(7, 4, "Net usb");
    SearchText = "usb";
    EXPECT_EQ(FindInGridColumn(4), 2) << "leftmost match, case ignored";
    SearchText = "3";
    EXPECT_EQ(FindInGridColumn(4), 0) << "column 0 holds the number 3 but is not searched";
    SearchText = "";
    EXPECT_EQ(FindInGridColumn(4), 0);

    Form1->MenuGrid->SetCell(1, 2, "Beep Output level");
    Form1->VYXPageControl->SetActivePage(Form1->MenuTabSheet);
    SearchText = "beep";
    EXPECT_EQ(FindInGridColumn(2), 1);
    EXPECT_EQ(FindInGridColumn(4), 0);
    SearchText.clear();
}
