// Switching the radio on and off, on a model that takes the power command.
#include "app/Unit1.h"

#include "serial/SerialPort.h"

void TForm1::SendPowerCommand(const std::string& Status, const std::string& Command)
{
    ShowStatus(Status);
    if (!OpenLinkPort())
        return;
    try {
        ComPort->PurgeQueues(true, true);
        Send(Command);
    } catch (...) {
        ComPortClose();
        throw;
    }
    ComPortClose();
}

void TForm1::RadioSwitchOnClick(TObject*)
{
    SendPowerCommand("Switch on command send to radio.", "PS1;");
}

void TForm1::RadioSwitchOffClick(TObject*)
{
    SendPowerCommand("Switch off command send to radio.", "PS0;");
}
