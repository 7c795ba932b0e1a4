// Switching the radio to the memory of the grid row double-clicked.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/Grids.h"
#include "protocol/MemoryRecord.h"

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
    RunOnCheckedLink(std::string(), [&] {
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
    });
}
