// Reading memory channels from the radio into the memory grid, one "MR" query per memory
// and half, with retries on answers that are not the whole record asked for.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/SysUtils.h"
#include "platform/ScopeExit.h"
#include "protocol/MemoryRecord.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int MemoryRetries = 10;

namespace Rec = MemoryRecord;
using MemoryRecord::TwoDigits;

std::string MemoryQuery(int memory, int half)
{
    return Rec::Head("MR", char('0' + half), "0", memory) + ";";
}

std::string ToneTextOfAnswer(const std::string& answer)
{
    if (Rec::At(answer, Rec::ToneOn) == '0')
        return "N/A";
    const std::string code = Rec::Get(answer, Rec::Tone);
    for (int i = 1; i < ToneCount; ++i)
        if (code == ToneTable[std::size_t(i)].ToneCode)
            return ToneTable[std::size_t(i)].ToneText;
    return "";
}

std::string NotShownMessage(const std::vector<int>& memories)
{
    std::string list;
    for (int m : memories)
        list += (list.empty() ? "" : ", ") + TwoDigits(m);
    const bool one = memories.size() == 1;
    return std::string(one ? "Memory " : "Memories ") + list + (one ? " holds" : " hold") +
           " settings that the grid cannot show exactly.\rThe grid shows them as near as it "
           "can. Sending keeps " + (one ? "this memory" : "these memories") +
           " on the radio exactly as read until you change " + (one ? "its row." : "their rows.");
}

} // namespace

void TForm1::ShowMemoryAfterAction(int Memory)
{
    MemGrid->SetRow(std::clamp(Memory + 1, 1, MemoryCount));
    UpdateEditFields();
    UpdateMemGrid();
    UpdateTaskBarUsed();
}

void TForm1::EndInterruptedMemoryAction(const std::string& Status, int Memory)
{
    AbortRadioAction();
    try {
        ShowStatus(Status);
        ShowMemoryAfterAction(Memory);
    } catch (...) {
    }
}

void TForm1::PutMemoryInRow(int M, const std::string& RxAnswer, const std::string& TxAnswer)
{
    const int r = M + 1;
    const bool split = CurrentRadioRecord().HasSplitData();
    // A transmit half that reads as all zeros belongs to a memory written as its receive
    // half only: a simplex memory, whose lock-out and tone are the receive half's.
    const std::string& tx = !split ? RxAnswer : Rec::ZeroFrequency(TxAnswer) ? RxAnswer : TxAnswer;
    MemGrid->SetCell(mcRxFreq, r, HzToFreqText(Rec::Get(RxAnswer, Rec::Frequency)));
    MemGrid->SetCell(mcRxMode, r, ModeNameByCode(Rec::Get(RxAnswer, Rec::Mode)));
    // Without a transmit half the panel makes one of the receive half.
    MemGrid->SetCell(mcTxFreq, r, split ? HzToFreqText(Rec::Get(tx, Rec::Frequency)) : "");
    MemGrid->SetCell(mcTxMode, r, split ? ModeNameByCode(Rec::Get(tx, Rec::Mode)) : "");
    MemGrid->SetCell(mcLockOut, r, Rec::At(tx, Rec::LockOut) == '0' ? "FALSE" : "TRUE");
    MemGrid->SetCell(mcTone, r, ToneTextOfAnswer(tx));
    MemGrid->SetRow(r);
    UpdateEditFields();
    UpdateMemGrid();
}

void TForm1::RX_Action_Mem(std::uint8_t From, std::uint8_t To)
{
    const int start = MemEdit->Value();
    auto failedText = [](int m) {
        return "Reading memory: " + IntToStr(m) + " from radio failed.";
    };
    auto failedAt = [&](int m) { ShowStatus(failedText(m)); };
    std::vector<int> notShown;
    // Named once, after the read, however it ended; the status stays the read's own.
    auto tellNotShown = [&] {
        if (notShown.empty())
            return;
        const std::string status = StatusBar->Panels()->Items(2)->Text();
        OKMessage(NotShownMessage(notShown), MessageKind::Warning);
        if (UIMode == 'G')
            ShowStatus(status);
    };
    ChangeEnabled(false);
    ScopeExit enable([this] { ChangeEnabled(true); });
    SetProgressRange(From, static_cast<std::uint8_t>(To + 1));
    int m = From;
    try {
        if (!AskFileChange()) {
            ShowStatus("RX canceled.");
            UpdateTaskBarUsed();
            return;
        }
        Clear_Action_Mem(From, To);
        // Until the read reaches a memory, its empty row says nothing of the radio's.
        for (int r = From; r <= To; ++r)
            KeepMemoryWhileRowUnchanged(r, true);
        UpdateTaskBarUsed();
        if (!OpenAndCheckCom()) {
            ReportLinkError();
            ComPortClose();
            ShowMemoryAfterAction(start);
            return;
        }
        FileChanged = true;
        const int halves = CurrentRadioRecord().HasSplitData() ? 2 : 1;
        for (; m <= To && !StopRequest; ++m) {
            SetMemProgressBar(static_cast<std::uint8_t>(m + 1));
            ShowStatus("Reading memory: " + IntToStr(m) + " from radio.");
            // Both halves first: a memory that cannot be read whole leaves its row empty.
            std::string answers[2];
            for (int h = 0; h < halves; ++h) {
                if (!AskMemoryRecord(MemoryQuery(m, h), MemoryRetries, answers[h])) {
                    ReportLinkError();
                    failedAt(m);
                    ShowMemoryAfterAction(start);
                    tellNotShown();
                    return;
                }
            }
            PutMemoryInRow(m, answers[0], answers[1]);
            UpdateTaskBarUsed();
            if (RowShowsMemoryAsRead(m, answers[0], answers[1])) {
                KeepMemoryWhileRowUnchanged(m, false);
            } else {
                KeepMemoryAsRead(m, answers[0], answers[1]);
                notShown.push_back(m);
            }
        }
        ShowStatus("Ready reading from radio.");
        ComPortClose();
        ShowMemoryAfterAction(start);
        tellNotShown();
    } catch (...) {
        // Ending the interrupted read enables the controls itself.
        enable.Dismiss();
        EndInterruptedMemoryAction(failedText(std::min<int>(m, To)), start);
        try {
            tellNotShown();
        } catch (...) {
        }
        throw;
    }
}

void TForm1::MemChanRXButtonClick(TObject*) { RX_Action_Mem(0, LastMemory); }
