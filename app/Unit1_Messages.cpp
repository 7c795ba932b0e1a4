// Status line, messages and questions (message box, or the command-line log while a typed
// command runs), enabling for radio actions and the progress bars.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "platform/EventLoop.h"
#include "platform/Messages.h"
#include "platform/WinMessages.h"
#include "platform/Windowing.h"
#include "textview/TextView.h"

#include <utility>

void ShowStatus(const std::string& Text)
{
    if (!Form1)
        return;
    if (Form1->StatusBar && Form1->StatusBar->Panels()->Count() > 2)
        Form1->StatusBar->Panels()->Items(2)->SetText(Text);
    if (UIMode != 'G')
        Form1->WriteCmdLineWindow(Text, logStatus);
}

void TForm1::WriteCmdLineWindow(const std::string& Text, int Style)
{
    if (!CmdLineWindow)
        return;
    std::string text = Text;
    for (char& c : text)
        if (c == ';')
            c = '\r';
    if (Style < 0 || Style > 10)
        Style = 0;
    CmdLineWindow->AddTextLines(text, Style);
    CmdLineWindow->FormatAppended();
    CmdLineWindow->Invalidate();
}

void TForm1::OKMessage(const std::string& Text, MessageKind Kind)
{
    if (UIMode == 'G') {
        ShowStatus(Text);
        ShowKindMessageBox(Text, Kind, MessageBoxChoice::OK);
    } else {
        WriteCmdLineWindow(MessageKindCaption(Kind) + " - " + Text, logText);
    }
}

bool TForm1::YesNoMessage(const std::string& Text, MessageKind Kind)
{
    if (UIMode == 'G') {
        ShowStatus(Text);
        return ShowKindMessageBox(Text, Kind, MessageBoxChoice::YesNo) == mrYes;
    }
    return AskOnCommandLine(MessageKindCaption(Kind) + " - " + Text, "Yes/No") == "yes";
}

int TForm1::YesNoCancelMessage(const std::string& Text)
{
    if (UIMode == 'G') {
        ShowStatus(Text);
        return ShowKindMessageBox(Text, MessageKind::Warning, MessageBoxChoice::YesNoCancel);
    }
    const std::string answer =
        AskOnCommandLine(MessageKindCaption(MessageKind::Warning) + " - " + Text, "Yes/No/Cancel");
    if (answer == "yes")
        return mrYes;
    if (answer == "no")
        return mrNo;
    // An empty or unexpected answer must never be taken as consent.
    return mrCancel;
}

namespace {

bool MatchesAnswer(const std::string& typedLower, const std::string& answers)
{
    std::string rest = answers + "/";
    while (rest.size() >= 2) {
        const auto slash = rest.find('/');
        if (AnsiLowerCase(rest.substr(0, slash)) == typedLower)
            return true;
        rest.erase(0, slash + 1);
    }
    return false;
}

} // namespace

std::string AskOnCommandLine(const std::string& Question, const std::string& Answers)
{
    if (!Form1)
        return {};
    const std::string prompt = Question + " [" + Answers + "] ?";
    PendingAnswer = WaitingAnswer;
    Form1->WriteCmdLineWindow(";" + prompt, logText);
    std::string result;
    while (!PendingAnswer.empty()) {
        DelayWithMessages(10);
        // A program that is ending answers nothing: leave the wait instead of hanging.
        if (Application && Application->Terminated()) {
            PendingAnswer.clear();
            break;
        }
        // Cleared from outside (an empty line, a cancelled command): no answer.
        if (PendingAnswer.empty() || PendingAnswer == WaitingAnswer)
            continue;
        const std::string typed = PendingAnswer;
        const std::string lower = AnsiLowerCase(typed);
        if (MatchesAnswer(lower, Answers)) {
            PendingAnswer.clear();
            result = lower;
        } else {
            Form1->WriteCmdLineWindow(";Invalid answer: " + typed + ".", logError);
            Form1->WriteCmdLineWindow(prompt + ";", logError);
            PendingAnswer = WaitingAnswer;
        }
    }
    return result;
}

void TForm1::ChangeEnabled(bool Enabled)
{
    RadioBusy = !Enabled;
    StopRequest = false;
    if (!Enabled && !FFocusBeforeAction.Control) {
        FFocusBeforeAction.Control = ActiveControl();
        if (auto* edit = dynamic_cast<TCustomEdit*>(ActiveControl()))
            FFocusBeforeAction = {edit, edit->Text(), edit->SelStart(), edit->SelLength()};
    }
    TControl* const controls[] = {
        MemChanLoadButton, MemChanSaveButton, MemChanRXButton, MemChanTXButton,
        MemChanClearFieldsButton, MemEdit, RXFreqEdit, TXFreqEdit, RXModeSelect, TXModeSelect,
        ToneNumber, MemLock, Description, MemGrid, MenuSetLoadButton, MenuSetSaveButton,
        MenuSetRXButton, MenuSetTXButton, MenuClearFieldsButton, MenuGrid, CmdLineEditCB};
    for (TControl* c : controls)
        if (c)
            c->SetEnabled(Enabled);
    for (TMenuItem* m : {FileMenu, SearchMenu, SettingsMenu, MenuRadioType})
        if (m)
            m->SetEnabled(Enabled);
    MemStopButton->SetEnabled(!Enabled);
    MenuSetStopButton->SetEnabled(!Enabled);

    const bool power =
        RadioTypeTable.ValidIndex(CurrentRadio) && CurrentRadioRecord().HasPowerSwitch();
    RadioSwitchOn->SetEnabled(power);
    RadioSwitchOff->SetEnabled(RadioSwitchOn->Enabled());

    const TColor textColor = Enabled ? clWindowText : TColor(0x808080);
    for (TComboBox* c : {RXModeSelect, TXModeSelect, ToneNumber, MemLock})
        c->Font()->SetColor(textColor);

    // Disabled, the control that had the focus lost it: it gets it back, unless the user has
    // gone on to another window meanwhile. An edit whose text the action left alone gets its
    // selection back; a new text is selected, ready to be typed over.
    if (Enabled && FFocusBeforeAction.Control) {
        const FocusBeforeAction had = std::exchange(FFocusBeforeAction, {});
        if (had.Control->CanFocus() && !had.Control->Focused() && (!GetFocus() || GetActiveWindow() == Handle())) {
            had.Control->SetFocus();
            if (auto* edit = dynamic_cast<TCustomEdit*>(had.Control); edit && edit->Text() == had.Text) {
                edit->SetSelStart(had.SelStart);
                edit->SetSelLength(had.SelLength);
            } else if (edit && edit->AutoSelect()) {
                edit->SelectAll();
            }
        }
    }

    // A close confirmed during the action happens now that the action has unwound.
    if (Enabled && FCloseAfterAction) {
        FCloseAfterAction = false;
        PostMessage(Handle(), WM_CLOSE, 0, 0);
    }
}

std::uint8_t TForm1::UpdateTaskBarUsed()
{
    int total = 0;
    int used = 0;
    switch (VYXPageControl->TabIndex()) {
    case 0:
        total = MemoryCount;
        for (int r = 1; r <= MemoryCount; ++r)
            if (!MemGrid->GetCell(mcRxFreq, r).empty() && !MemGrid->GetCell(mcTxFreq, r).empty())
                ++used;
        break;
    case 1:
        total = MenuGrid->RowCount() - 1;
        for (int r = 1; r < MenuGrid->RowCount(); ++r)
            if (!MenuGrid->GetCell(mnValue, r).empty())
                ++used;
        break;
    default: break;
    }
    StatusBar->Panels()->Items(0)->SetText("Used: " + IntToStr(used));
    StatusBar->Panels()->Items(1)->SetText("Not Used: " + IntToStr(total - used));
    if (RadioTypeTable.ValidIndex(CurrentRadio))
        MenuRadioType->SetCaption(std::string("[") + CurrentRadioRecord().RadioName + "]");
    return static_cast<std::uint8_t>(used);
}

void SetProgressRange(std::uint8_t From, std::uint8_t To)
{
    TProgressBar* bar = Form1->MemProgressBar;
    bar->SetEnabled(false);
    bar->SetMax(255);
    bar->SetMin(0);
    bar->SetPosition(From);
    bar->SetMin(From);
    bar->SetMax(To);
    bar->SetEnabled(true);
}

void SetMenuProgressRange(std::uint8_t From, std::uint8_t To)
{
    if (From > To) {
        ShowStatus("Error in SetMenuProgressBarSettings: " + IntToStr(From) + " > " + IntToStr(To));
        return;
    }
    TProgressBar* bar = Form1->MenuProgressBar;
    bar->SetEnabled(false);
    bar->SetMax(255);
    bar->SetMin(0);
    bar->SetPosition(0);
    bar->SetMin(From);
    bar->SetMax(To);
    bar->SetPosition(From);
    bar->SetEnabled(true);
}
