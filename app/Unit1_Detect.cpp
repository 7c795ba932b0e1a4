// Detecting the radio's model and the answer delay its link needs.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/SysUtils.h"
#include "platform/ScopeExit.h"
#include "serial/SerialPort.h"

#include <algorithm>

namespace {

// The answer delay is the mean of this many timed memory reads.
constexpr int DelayPasses = 5;

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
        OKMessage("No kenwood radio found.", MessageKind::Warning);
        return 0;
    }
    ScopeExit close([this] { ComPortClose(); });
    std::string message;
    MessageKind kind = MessageKind::Warning;
    MemProgressBar->SetPosition(2);
    std::string id = "ID;";
    MemProgressBar->SetPosition(3);
    if (!AskControlled(id, 3)) {
        message = "No kenwood radio found.";
    } else {
        MemProgressBar->SetPosition(4);
        result = FindRadio(rfRadioID, id);
        if (result == 0) {
            message = "Radio responded with unknown ID number: " + id + ".";
        } else {
            if (std::string(RadioTypeTable[result].RadioID) == "017") {
                Send("EQ;");
                std::string answer;
                Receive(answer);
                if (answer == "EQ;" && FindRadio(rfRadioID, "P17") != 0)
                    result = FindRadio(rfRadioID, "P17");
            }
            if (Copy(RadioTypeTable[result].RadioName, 1, 6) == "TS-570") {
                std::string old = "BC;";
                const bool oldKnown = AskControlled(old, 1);
                const bool setTwo = SendControlled("BC2;", 2);
                std::string now = "BC;";
                if (AskControlled(now, 1) && now == "2") {
                    std::string variant = id;
                    variant[0] = 'G';
                    if (const std::uint8_t g = FindRadio(rfRadioID, variant))
                        result = g;
                }
                // With the old value unknown, only a setting we made is undone: off.
                if (oldKnown)
                    SendControlled("BC" + old + ";", 2);
                else if (setTwo)
                    SendControlled("BC0;", 2);
            }
            message = std::string("Found Kenwood radio: ") + RadioTypeTable[result].RadioName + ".";
            kind = MessageKind::Information;
        }
    }
    OKMessage(message, kind);
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
    {
        ScopeExit close([this] { ComPortClose(); });
        for (int pass = 1; pass <= DelayPasses; ++pass) {
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
    }
    if (total <= 0)
        return 0;
    // However promptly the radio answered, the wait must hold a whole record on the line.
    return (std::max(total / DelayPasses, RecordTransferMs(*ComPort)) + 1) * 3;
}
