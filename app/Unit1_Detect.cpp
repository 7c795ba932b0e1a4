// Small radio actions: detecting the model and the answer delay, power on and off,
// switching the radio to a grid row's memory, and the grids' select-all.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "protocol/MemoryRecord.h"
#include "serial/SerialPort.h"

#include <algorithm>

namespace {

// The detections always run with the default answer wait and give the user's back.
class TRxDelayKeeper {
public:
    TRxDelayKeeper() : FKept(RxDelay) { RxDelay = DefaultRxDelay; }
    ~TRxDelayKeeper() { RxDelay = FKept; }
    TRxDelayKeeper(const TRxDelayKeeper&) = delete;
    TRxDelayKeeper& operator=(const TRxDelayKeeper&) = delete;

private:
    int FKept;
};

} // namespace

std::uint8_t TForm1::AutoDetectRadioType()
{
    TRxDelayKeeper keep;
    MemProgressBar->SetMin(0);
    MemProgressBar->SetMax(4);
    MemProgressBar->SetPosition(1);
    std::uint8_t result = 0;
    if (!OpenAndCheckCom()) {
        OKMessage("No kenwood radio found.", 0);
        return 0;
    }
    std::string message;
    std::uint8_t kind = 0;
    try {
        MemProgressBar->SetPosition(2);
        std::string id = "ID;";
        MemProgressBar->SetPosition(3);
        if (!AskControlled(id, 3)) {
            message = "No kenwood radio found.";
        } else {
            MemProgressBar->SetPosition(4);
            result = FindRadioByField(id, 8);
            if (result == 0) {
                message = "Radio responded with unknown ID number: " + id + ".";
            } else {
                if (std::string(RadioTypeTable[result].RadioID) == "017") {
                    Send("EQ;");
                    std::string answer;
                    Receive(answer);
                    if (answer == "EQ;" && FindRadioByField("P17", 8) != 0)
                        result = FindRadioByField("P17", 8);
                }
                if (Copy(RadioTypeTable[result].RadioName, 1, 6) == "TS-570") {
                    std::string old = "BC;";
                    const bool oldKnown = AskControlled(old, 1);
                    const bool setTwo = SendControlled("BC2;", 2);
                    std::string now = "BC;";
                    if (AskControlled(now, 1) && now == "2") {
                        std::string variant = id;
                        variant[0] = 'G';
                        if (const std::uint8_t g = FindRadioByField(variant, 8))
                            result = g;
                    }
                    // With the old value unknown, only a setting we made is undone: off.
                    if (oldKnown)
                        SendControlled("BC" + old + ";", 2);
                    else if (setTwo)
                        SendControlled("BC0;", 2);
                }
                message = std::string("Found Kenwood radio: ") + RadioTypeTable[result].RadioName + ".";
                kind = 2;
            }
        }
    } catch (...) {
        ComPortClose();
        throw;
    }
    OKMessage(message, kind);
    ComPortClose();
    return result;
}

int TForm1::AutoDetectRxDelayTime()
{
    TRxDelayKeeper keep;
    MemProgressBar->SetMin(0);
    MemProgressBar->SetMax(9);
    MemProgressBar->SetPosition(1);
    MemProgressBar->SetPosition(2);
    int total = 0;
    if (!OpenAndCheckCom()) {
        ReportLinkError();
        return 0;
    }
    try {
        for (int pass = 1; pass <= 5; ++pass) {
            MemProgressBar->SetPosition(pass + 4);
            ClearReceiveBuf();
            ComPort->SendText("MR0000;");
            // Up to the whole answer: its first bytes come long before its ";" on a slow line.
            int count = 0;
            while (ReceiveBuffer.find(';') == std::string::npos && count < 600) {
                Delay(1);
                ++count;
            }
            ClearReceiveBuf();
            total += count;
        }
    } catch (...) {
        ComPortClose();
        throw;
    }
    ComPortClose();
    if (total <= 0)
        return 0;
    // However promptly the radio answered, the wait must hold a whole record on the line.
    return (std::max(total / 5, RecordTransferMs(*ComPort)) + 1) * 3;
}

void TForm1::RadioSwitchOnClick(TObject*)
{
    ShowStatus("Switch on command send to radio.");
    if (!OpenLinkPort())
        return;
    try {
        ComPort->PurgeQueues(true, true);
        Send("PS1;");
    } catch (...) {
        ComPortClose();
        throw;
    }
    ComPortClose();
}

void TForm1::RadioSwitchOffClick(TObject*)
{
    ShowStatus("Switch off command send to radio.");
    if (!OpenLinkPort())
        return;
    try {
        ComPort->PurgeQueues(true, true);
        Send("PS0;");
    } catch (...) {
        ComPortClose();
        throw;
    }
    ComPortClose();
}

void TForm1::MemGridDblClick(TObject*)
{
    if (!RadioTypeTable.ValidIndex(CurrentRadio))
        return;
    const TMemSelect method = CurrentRadioRecord().MemSelect();
    if (method == TMemSelect::None) {
        ShowStatus("Memory selection not supported for this radio");
        return;
    }
    const std::string number = MemoryRecord::TwoDigits(MemGrid->Row() - 1);
    ChangeEnabled(false);
    try {
        if (OpenAndCheckCom()) {
            if (method == TMemSelect::WithReadBack) {
                SendControlled("LK0;", 2);
                SendControlled("FR2;", 2);
                if (SendControlled("MC " + number + ";", 2))
                    ShowStatus("Radio switched to memory " + number + ".");
                else
                    ShowStatus("Could not switch radio to memory " + number + "!");
            } else {
                Send("LK0;");
                Send("MC " + number + ";");
                ShowStatus("Radio switched to memory " + number + ".");
            }
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

void TForm1::CtrlAClick(TObject*)
{
    TComponent* opener = Grid_Popup ? Grid_Popup->PopupComponent() : nullptr;
    TStringGrid* grid = nullptr;
    if (opener == MemGrid)
        grid = MemGrid;
    else if (opener == MenuGrid)
        grid = MenuGrid;
    if (!grid)
        return;
    grid->SetSelection(TGridRect{1, 1, grid->ColCount() - 1, grid->RowCount() - 1});
}
