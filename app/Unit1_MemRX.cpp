// Reading memory channels from the radio into the memory grid, one "MR" query per memory
// and half, with retries on answers that are not a whole memory record.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/SysUtils.h"

#include <algorithm>

namespace {

constexpr int MemoryRetries = 10;

std::string TwoDigits(int n)
{
    return n < 10 ? "0" + IntToStr(n) : IntToStr(n);
}

// A whole memory record: exactly 24 characters, "MR" first and ";" last.
bool AcceptedMemoryAnswer(const std::string& answer)
{
    return answer.size() == 24 && answer.compare(0, 2, "MR") == 0 && answer[23] == ';';
}

std::string ToneTextOfAnswer(const std::string& answer)
{
    if (answer[19] == '0')
        return "N/A";
    const std::string code = answer.substr(20, 2);
    for (int i = 1; i < ToneCount; ++i)
        if (code == ToneTable[std::size_t(i)].ToneCode)
            return ToneTable[std::size_t(i)].ToneText;
    return "";
}

} // namespace

void TForm1::RX_Action_Mem(std::uint8_t From, std::uint8_t To)
{
    const int start = MemEdit->Value();
    ChangeEnabled(false);
    SetProgressRange(From, static_cast<std::uint8_t>(To + 1));
    try {
        if (!AskFileChange()) {
            ShowStatus("RX canceled.");
            UpdateTaskBarUsed();
            ChangeEnabled(true);
            return;
        }
        Clear_Action_Mem(From, To);
        UpdateTaskBarUsed();
        auto backToStart = [this, start] {
            MemGrid->SetRow(std::clamp(start + 1, 1, 100));
            UpdateEditFields();
            UpdateMemGrid();
            UpdateTaskBarUsed();
        };
        if (!OpenAndCheckCom()) {
            ReportLinkError();
            ComPortClose();
            backToStart();
            ChangeEnabled(true);
            return;
        }
        FileChanged = true;
        const bool split = std::string(CurrentRadioRecord().NoSplitData) == "0";
        for (int m = From; m <= To && !StopRequest; ++m) {
            SetMemProgressBar(static_cast<std::uint8_t>(m + 1));
            ShowStatus("Reading memory: " + IntToStr(m) + " from radio.");
            std::string answer;
            for (int h = 1; h <= (split ? 2 : 1); ++h) {
                const std::string query = "MR" + IntToStr(h - 1) + "0" + TwoDigits(m) + ";";
                bool accepted = false;
                for (int attempt = 0; attempt < MemoryRetries && !accepted; ++attempt) {
                    Send(query);
                    Receive(answer);
                    accepted = AcceptedMemoryAnswer(answer);
                }
                if (!accepted) {
                    ReportLinkError();
                    ComPortClose();
                    ChangeEnabled(true);
                    return;
                }
                MemGrid->SetCell(2 * h - 1, m + 1, HzToFreqText(answer.substr(6, 11)));
                MemGrid->SetCell(2 * h, m + 1, ModeNameByCode(answer.substr(17, 1)));
                UpdateTaskBarUsed();
            }
            MemGrid->SetCell(6, m + 1, answer[18] == '0' ? "FALSE" : "TRUE");
            MemGrid->SetCell(5, m + 1, ToneTextOfAnswer(answer));
            MemGrid->SetRow(m + 1);
            UpdateEditFields();
            UpdateMemGrid();
        }
        ShowStatus("Ready reading from radio.");
        ComPortClose();
        backToStart();
    } catch (...) {
        AbortRadioAction();
        throw;
    }
    ChangeEnabled(true);
}

void TForm1::MemChanRXButtonClick(TObject*) { RX_Action_Mem(0, 99); }
