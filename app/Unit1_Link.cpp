// The radio link: opening and testing the port, sending one command, waiting for the
// answer and cleaning it of error answers, the two controlled exchanges, stopping and
// closing. Answers arrive through the terminal's string-received event while Delay pumps.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/EventLoop.h"
#include "protocol/MemoryRecord.h"
#include "serial/SerialPort.h"
#include "serial/SerialTerminal.h"

#include <algorithm>
#include <vector>

void TForm1::PublishRadioLinkMembers(TClassBuilder<TForm1>& b)
{
    b.Method("ComPortTxEmpty", &TForm1::ComPortTxEmpty);
    b.Method("ComTerminalStrReceived", &TForm1::ComTerminalStrReceived);
    b.Method("MemStopButtonClick", &TForm1::MemStopButtonClick);
    b.Method("MemChanRXButtonClick", &TForm1::MemChanRXButtonClick);
    b.Method("MemChanTXButtonClick", &TForm1::MemChanTXButtonClick);
    b.Method("MemGridDblClick", &TForm1::MemGridDblClick);
}

void TForm1::Send(const std::string& Command)
{
    ReceiveBuffer.clear();
    AnswerComplete = false;
    FOnlyErrorAnswers = false;
    // A write whose transmit-empty notice never came is freed (detached if still in
    // flight) rather than leaked.
    if (PendingWrite)
        DisposeAsyncRecord(PendingWrite);
    PendingWrite = nullptr;
    if (!MenuRadioType->Default())
        return;
    NewAsyncRecord(PendingWrite);
    TxEmpty = false;
    ComPort->StartWriteText(Command, PendingWrite);
    for (int step = 0; step < 5 && !TxEmpty; ++step)
        Delay(10);
}

void TForm1::ComPortTxEmpty(TObject*)
{
    if (PendingWrite) {
        DisposeAsyncRecord(PendingWrite);
        TxEmpty = true;
    }
}

namespace {
// The ";"-terminated answers in text, each with its ";"; rest is what follows the last.
std::vector<std::string> SplitAnswers(const std::string& text, std::string& rest)
{
    std::vector<std::string> answers;
    std::size_t start = 0;
    for (std::size_t end = text.find(';'); end != std::string::npos;
         start = end + 1, end = text.find(';', start))
        answers.push_back(text.substr(start, end - start + 1));
    rest = text.substr(start);
    return answers;
}

std::vector<std::string> SplitAnswers(const std::string& text)
{
    std::string rest;
    return SplitAnswers(text, rest);
}

// Whether the text holds a ";"-terminated answer other than the error answers "?;", "O;"
// and "E;". An error answer alone does not end the wait at once: the radio may send the
// real answer right behind it, and a wait ended early would take that answer for the next
// command's.
bool HoldsRealAnswer(const std::string& text)
{
    for (const std::string& piece : SplitAnswers(text))
        if (piece != "?;" && piece != "O;" && piece != "E;")
            return true;
    return false;
}
} // namespace

int RecordTransferMs(const TCustomSerialPort& Port)
{
    int baud = Port.CustomBaudRate();
    if (Port.BaudRate() != brCustom && !TryStrToInt(BaudRateText(Port.BaudRate()), baud))
        return 0;
    if (baud <= 0)
        return 0;
    // In half bits, for one and a half stop bits.
    const int stopHalfBits[] = {2, 3, 4};
    const int charHalfBits = 2 * (1 + 5 + int(Port.DataBits())) +
                             (Port.Parity()->Bits() == prNone ? 0 : 2) +
                             stopHalfBits[Port.StopBits()];
    return (int(MemoryRecord::Length) * charHalfBits * 1000 + 2 * baud - 1) / (2 * baud);
}

void TForm1::NoteReceiveBuffer()
{
    if (HoldsRealAnswer(ReceiveBuffer))
        AnswerComplete = true;
    FOnlyErrorAnswers = !AnswerComplete && !ReceiveBuffer.empty() && ReceiveBuffer.back() == ';';
}

void TForm1::ComTerminalStrReceived(TObject*, std::string& Str)
{
    if (ReceiveBuffer.empty())
        ComTerminal->DisplayText("\n\r");
    ReceiveBuffer += Str;
    FLastArrivalTick = EventLoopTicks();
    NoteReceiveBuffer();
}

void TForm1::Receive(std::string& Answer)
{
    // A radio that refuses a command says so at once; the whole RxDelay is for answers.
    const unsigned quiet = static_cast<unsigned>(RecordTransferMs(*ComPort));
    for (int step = 0; step < RxDelay && !AnswerComplete; ++step) {
        if (FOnlyErrorAnswers && quiet > 0 && EventLoopTicks() - FLastArrivalTick >= quiet)
            break;
        Delay(1);
    }
    FOnlyErrorAnswers = false;
    Answer = ReceiveBuffer;
    ReceiveBuffer.clear();
    Answer = DeleteSubstring("?;", Answer);
    Answer = DeleteSubstring("O;", Answer);
    Answer = DeleteSubstring("E;", Answer);
}

void TForm1::ClearReceiveBuf()
{
    if (!MenuRadioType->Default())
        return;
    Delay(static_cast<unsigned>(std::max(RxDelay, 0)));
    const int waiting = ComPort->BytesWaiting();
    if (waiting > 0) {
        std::string dropped;
        ComPort->ReceiveText(dropped, waiting);
    }
    ComPort->PurgeQueues(true, true);
    ReceiveBuffer.clear();
    FOnlyErrorAnswers = false;
}

bool TForm1::OpenLinkPort()
{
    MenuRadioType->SetDefault(true);
    try {
        ComPort->OpenPort();
    } catch (Exception& e) {
        ComPortClose();
        Application->ShowException(&e);
        return false;
    }
    return true;
}

bool TForm1::OpenAndCheckCom()
{
    TStringList ports;
    try {
        ListSerialPorts(&ports);
    } catch (Exception& e) {
        Application->ShowException(&e);
        return false;
    }
    // Whole names: every device path shares its first characters ("/dev").
    bool present = false;
    for (int i = 0; i < ports.Count() && !present; ++i)
        present = ports[i] == ComPort->Port();
    if (!present) {
        OKMessage("Error: None or incorrect communication port selected.\rPlease use the "
                  "\"Communication\" dialog to set the correct port.",
                  MessageKind::Warning);
        return false;
    }
    ComPort->SetEventChar(';');
    ReceiveBuffer.clear();
    if (!OpenLinkPort())
        return false;
    ClearReceiveBuf();
    Send("AI0;");
    ClearReceiveBuf();
    Send("MR0000;");
    std::string answer;
    Receive(answer);
    if (Copy(answer, 1, 3) == "MR0")
        return true;
    ComPortClose();
    return false;
}

void TForm1::ComPortClose()
{
    MenuRadioType->SetDefault(false);
    MemProgressBar->SetMin(0);
    MemProgressBar->SetPosition(0);
    MenuProgressBar->SetMin(0);
    MenuProgressBar->SetPosition(0);
    // The last write goes with the port: its record must not outlive the device.
    if (PendingWrite)
        DisposeAsyncRecord(PendingWrite);
    PendingWrite = nullptr;
    if (ComPort->Connected())
        ComPort->ClosePort();
}

void TForm1::ReportLinkError()
{
    OKMessage("Error while trying to communicate with the radio", MessageKind::Error);
    ComPortClose();
}

void TForm1::AbortRadioAction()
{
    try {
        ComPortClose();
    } catch (...) {
        MenuRadioType->SetDefault(false);
    }
    ChangeEnabled(true);
}

void TForm1::RunOnCheckedLink(const std::string& Status, const std::function<void()>& Action)
{
    ChangeEnabled(false);
    if (!Status.empty())
        ShowStatus(Status);
    try {
        if (OpenAndCheckCom()) {
            Action();
            ComPortClose();
        } else {
            ReportLinkError();
        }
    } catch (...) {
        AbortRadioAction();
        throw;
    }
    ChangeEnabled(true);
}

bool TForm1::AskControlled(std::string& Command, std::uint8_t N)
{
    Command = UpperCase(Command);
    for (int attempt = 0; attempt < RadioTries; ++attempt) {
        Send(Command);
        std::string answer;
        Receive(answer);
        if (Copy(answer, 1, 2) == Copy(Command, 1, 2) && int(answer.size()) == N + 3) {
            Command = Copy(answer, 3, N);
            return true;
        }
    }
    return false;
}

bool TForm1::SendControlled(const std::string& Command, std::uint8_t N)
{
    for (int attempt = 0; attempt < RadioTries; ++attempt) {
        Send(Command);
        Send(Copy(Command, 1, N) + ";");
        std::string answer;
        Receive(answer);
        for (const std::string& piece : SplitAnswers(answer))
            if (piece == Command)
                return true;
    }
    return false;
}

bool TForm1::AskMemoryRecord(const std::string& Query, int Tries, std::string& Record)
{
    Record.clear();
    bool ask = true;
    for (int attempt = 0; attempt < Tries; ++attempt) {
        if (ask)
            Send(Query);
        std::string text;
        Receive(text);
        bool stale = false;
        bool other = false;
        std::string rest;
        for (const std::string& piece : SplitAnswers(text, rest)) {
            if (MemoryRecord::Whole(piece) && MemoryRecord::Answers(piece, Query)) {
                Record = piece;
                return true;
            }
            (MemoryRecord::Whole(piece) ? stale : other) = true;
        }
        // Only late answers to earlier queries: this query's answer is still on its way
        // behind them. Asking again would only add one more late answer, so wait on, with
        // the start of a record that came with them kept.
        ask = !stale || other;
        if (!ask) {
            ReceiveBuffer = rest + ReceiveBuffer;
            AnswerComplete = false;
            NoteReceiveBuffer();
        }
    }
    return false;
}

void TForm1::StopAllCom()
{
    ShowStatus("Closing communicatiom. One moment please!");
    StopRequest = true;
    MenuReadActive = false;
}

void TForm1::MemStopButtonClick(TObject*) { StopAllCom(); }
