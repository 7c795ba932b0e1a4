// The main window's side of the options dialog and of printing.
#include "app/Unit1.h"

#include "app/Globals.h"
#include "app/OptionsFormUnit.h"
#include "app/PrintMemFormUnit.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/Printers.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "platform/FileAssociation.h"
#include "platform/WinReg.h"

#include <filesystem>

namespace {
// The running program's own path, as the system reports it for the process.
std::string ProgramPath()
{
    std::string exe = ParamStr(0);
    if (!exe.empty() && exe[0] == '/')
        return exe;
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? exe : self.string();
}

// The association as the registry names it, kept beside the desktop's files so the
// program's own start-up check sees it.
void WriteClassesRoot(bool Associate, const std::string& exe)
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    if (Associate) {
        if (reg.OpenKey(".vyx", true)) {
            reg.WriteString("", "vyx_auto_file");
            reg.CloseKey();
        }
        if (reg.OpenKey("Applications\\Quillmere.exe", true)) {
            reg.WriteString("FriendlyAppName", "Quillmere");
            reg.CloseKey();
        }
        if (reg.OpenKey("Applications\\Quillmere.exe\\DefaultIcon", true)) {
            reg.WriteString("", "\"" + exe + "\",0");
            reg.CloseKey();
        }
        if (reg.OpenKey("Applications\\Quillmere.exe\\shell\\open\\command", true)) {
            reg.WriteString("", "\"" + exe + "\" \"%1\"");
            reg.CloseKey();
        }
    } else {
        reg.DeleteKey(".vyx");
        reg.DeleteKey("Applications\\Quillmere.exe");
    }
}
} // namespace

bool TForm1::ApplyFileAssociation(bool Associate)
{
    const std::string exe = ProgramPath();
    FileAssociation association;
    std::string error;
    const bool ok = Associate ? association.Register(exe, &error) : association.Unregister(&error);
    // What the desktop now holds, so a failure is not taken for success.
    FileAssociated = association.IsRegistered();
    WriteClassesRoot(FileAssociated, exe);
    if (!ok)
        OKMessage("The .vyx file association could not be " +
                      std::string(Associate ? "written" : "removed") + ".\r\r" + error,
                  MessageKind::Error);
    return ok;
}

void TForm1::OptionsSettingsMenuClick(TObject*)
{
    OptionsForm->SetAll();
    if (OptionsForm->ShowModal() != mrOk) {
        ShowStatus("Options settings canceled.");
        return;
    }
    std::string memoryFileDir, autoStartMem;
    bool autoVink = false, disableSplash = false, association = false;
    std::uint8_t autoLoadOption = 0;
    OptionsForm->GetALL(memoryFileDir, autoStartMem, autoVink, disableSplash, autoLoadOption,
                        association);
    if (memoryFileDir == MemoryFileDir && autoStartMem == AutoStartMem && autoVink == AutoVink &&
        autoLoadOption == AutoLoadOption && disableSplash == DisableSplashScreen &&
        association == FileAssociated) {
        ShowStatus("Nothing changed in the option settings.");
        return;
    }
    MemoryFileDir = memoryFileDir;
    AutoStartMem = autoStartMem;
    AutoVink = autoVink;
    DisableSplashScreen = disableSplash;
    AutoLoadOption = autoLoadOption;
    if (association != FileAssociated)
        ApplyFileAssociation(association);
    ShowStatus("Options settings changed.");
}

namespace {
TPrinterSetupDialog* SetupDialogOf(TForm1* form, std::unique_ptr<TPrinterSetupDialog>& own)
{
    if (auto* d = dynamic_cast<TPrinterSetupDialog*>(form->FindComponent("PrinterSetupDialog1")))
        return d;
    own = std::make_unique<TPrinterSetupDialog>(nullptr);
    return own.get();
}

// The page image is laid out while the window is shown.
void PreparePrint(TPrintTable Table)
{
    PrintMemForm->PrintTable = Table;
    PrintMemForm->setup();
    PrintMemForm->Show();
    PrintMemForm->DoUpdateAll(PrintMemForm);
    PrintMemForm->Hide();
}

TPrintTable ActiveTable(TForm1* form)
{
    return form->VYXPageControl->ActivePageIndex() == 1 ? TPrintTable::Menu : TPrintTable::Memories;
}
} // namespace

void TForm1::PrintMenuClick(TObject*)
{
    ChangeEnabled(false);
    std::string message = "Printing canceled.";
    try {
        const TPrintTable table = ActiveTable(this);
        ShowStatus("Opening printing example screen.");
        PreparePrint(table);
        if (PrintMemForm->ShowModal() == mrOk) {
            std::unique_ptr<TPrinterSetupDialog> own;
            // The dialog offers the pages this printout has; its range holds for this print.
            Printer()->MaxPage = PrintMemForm->PageCount();
            Printer()->FromPage = Printer()->ToPage = 0;
            if (SetupDialogOf(this, own)->Execute()) {
                ShowStatus("printing page.");
                PrintMemForm->DoPrint();
                message = "Print request send to print queue.";
            }
        }
    } catch (const EPrintCanceled&) {
        message = "Printing canceled.";
    } catch (const std::exception& e) {
        // A printer that fails is reported; the print is not claimed as sent.
        message = "Printing failed.";
        OKMessage(std::string("Printing failed.\r\r") + e.what(), MessageKind::Error);
    }
    ShowStatus(message);
    ChangeEnabled(true);
}

bool TForm1::PrintTableWithoutPreview(TPrintTable Table)
{
    try {
        PreparePrint(Table);
        Printer()->FromPage = Printer()->ToPage = 0;
        PrintMemForm->DoPrint();
        // Without a dialog nobody chose the file: say where it went.
        if (const std::string pdf = Printer()->OutputFileName(); !pdf.empty())
            ShowStatus("Printed to the file \"" + pdf + "\".");
        return true;
    } catch (const EPrintCanceled&) {
        ShowStatus("Printing canceled.");
        return false;
    } catch (const std::exception& e) {
        OKMessage(std::string("Printing failed.\r\r") + e.what(), MessageKind::Error);
        return false;
    }
}
