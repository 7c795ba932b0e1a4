// Handlers whose actions belong to units not built yet (channel files, printing, find,
// options, radio power and memory actions). They are bound in the form description so the
// menu bar is complete; each says plainly that the action is not available.
#include "app/Unit1.h"

namespace {
void NotAvailable(const std::string& what) { ShowStatus(what + " is not available yet."); }
} // namespace

void TForm1::LoadMenuClick(TObject*) { NotAvailable("Opening a channel file"); }
void TForm1::SaveMenuClick(TObject*) { NotAvailable("Saving a channel file"); }
void TForm1::SaveAsClick(TObject*) { NotAvailable("Saving a channel file"); }
void TForm1::CloseMenuClick(TObject*) { NotAvailable("Closing a channel file"); }
void TForm1::PrintMenuClick(TObject*) { NotAvailable("Printing"); }
void TForm1::FindMenuClick(TObject*) { NotAvailable("Find"); }
void TForm1::FindNextMenuClick(TObject*) { NotAvailable("Find next"); }
void TForm1::OptionsSettingsMenuClick(TObject*) { NotAvailable("The options dialog"); }
void TForm1::CtrlAClick(TObject*) { NotAvailable("Radio detection"); }
void TForm1::Copywhichchannelnumbers1Click(TObject*) { NotAvailable("Copying"); }
void TForm1::RadioSwitchOnClick(TObject*) { NotAvailable("Switching the radio on"); }
void TForm1::RadioSwitchOffClick(TObject*) { NotAvailable("Switching the radio off"); }

void TForm1::LoadFile(const std::string& FileName)
{
    NotAvailable("Loading \"" + FileName + "\"");
}

// Nothing can be saved yet, so a close that asked to save stays open: no data is lost.
bool TForm1::SaveAction()
{
    NotAvailable("Saving a channel file");
    return false;
}

void TForm1::RX_Action_Mem(std::uint8_t, std::uint8_t) { NotAvailable("Reading memories from the radio"); }
