// Switching the radio on and off, on a model that takes the power command.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "platform/EventLoop.h"
#include "platform/Kernel.h"
#include "platform/ScopeExit.h"
#include "serial/SerialPort.h"

#include <algorithm>

void TForm1::SendPowerCommand(const std::string& Name, const std::string& Command)
{
    ShowStatus(Name + " command send to radio.");
    const std::string failed = Name + " command could not be sent to radio.";
    if (!OpenLinkPort()) {
        ShowStatus(failed);
        return;
    }
    // A write of its own: the command counts as sent only once all of it has left the
    // port, which closing would otherwise cut short.
    PAsyncRecord write = nullptr;
    NewAsyncRecord(write);
    auto done = [&write] { return WaitForSingleObject(write->Overlapped.hEvent, 0) == WAIT_OBJECT_0; };
    bool left = false;
    // A throw closes the port as well, once the record is gone.
    ScopeExit closeOnThrow([this] { ComPortClose(); });
    {
        ScopeExit dispose([&write] { DisposeAsyncRecord(write); });
        ComPort->PurgeQueues(true, true);
        ComPort->StartWriteText(Command, write);
        // As long as the command takes on the line, the wait for an answer, and a second
        // more for a busy machine; the port's own write time-out may end it sooner.
        const unsigned bound =
            static_cast<unsigned>(RecordTransferMs(*ComPort) + std::max(RxDelay, 0) + 1000);
        const unsigned start = EventLoopTicks();
        while (!done() && EventLoopTicks() - start < bound)
            Delay(10);
        left = done() && ComPort->FinishAsync(write) == static_cast<int>(Command.size());
    }
    closeOnThrow.Dismiss();
    if (left) {
        ComPortClose();
    } else {
        ReportLinkError();
        ShowStatus(failed);
    }
}

void TForm1::RadioSwitchOnClick(TObject*) { SendPowerCommand("Switch on", "PS1;"); }

void TForm1::RadioSwitchOffClick(TObject*) { SendPowerCommand("Switch off", "PS0;"); }
