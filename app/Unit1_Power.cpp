// Switching the radio on and off, on a model that takes the power command.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "serial/SerialPort.h"

#include <algorithm>

void TForm1::SendPowerCommand(const std::string& Status, const std::string& Command)
{
    ShowStatus(Status);
    if (!OpenLinkPort())
        return;
    bool left = false;
    try {
        ComPort->PurgeQueues(true, true);
        Send(Command);
        // Closing the port drops what it has not sent yet: wait until the command has left,
        // as long as it takes on the line plus the wait for an answer.
        constexpr int StepMs = 10;
        const int steps = (RecordTransferMs(*ComPort) + std::max(RxDelay, 0)) / StepMs + 1;
        for (int step = 0; step < steps && !TxEmpty; ++step)
            Delay(StepMs);
        left = TxEmpty;
    } catch (...) {
        ComPortClose();
        throw;
    }
    if (left)
        ComPortClose();
    else
        ReportLinkError();
}

void TForm1::RadioSwitchOnClick(TObject*)
{
    SendPowerCommand("Switch on command send to radio.", "PS1;");
}

void TForm1::RadioSwitchOffClick(TObject*)
{
    SendPowerCommand("Switch off command send to radio.", "PS0;");
}
