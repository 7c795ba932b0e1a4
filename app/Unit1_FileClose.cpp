// Closing the channel file: both grids emptied, no file named.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/Grids.h"
#include "framework/Spin.h"

void TForm1::CloseMenuClick(TObject*)
{
    if (!AskFileChange())
        return;
    Clear_Action_Menu(static_cast<std::uint8_t>(MenuEdit->MinValue()),
                      static_cast<std::uint8_t>(MenuEdit->MaxValue()));
    Clear_Action_Mem(0, LastMemory);
    UpdateEditFields();
    SetCaption(MainWindowCaption);
    CurrentFileName.clear();
    MemGrid->SetRow(1);
    MemGrid->SetCol(mcRxFreq);
    if (MenuGrid->RowCount() > 1) {
        MenuGrid->SetRow(1);
        MenuGrid->SetCol(mnDescription);
    }
    ChangeRadioHandle(false);
    FileChanged = false;
    ShowStatus("File closed.");
}
