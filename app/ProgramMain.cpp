#include "app/ProgramMain.h"

#include "app/AboutFormUnit.h"
#include "app/ComportSettingsUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/OptionsFormUnit.h"
#include "app/PrintMemFormUnit.h"
#include "app/RadiotypeUnit.h"
#include "app/Range_Select.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"
#include "framework/ComCtrls.h"
#include "framework/Dialogs.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Modules.h"
#include "framework/Resources.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/Windowing.h"
#include "platform/SerialPortList.h"
#include "platform/TerminationSignals.h"
#include "placement/FormPlace.h"
#include "platform/WinReg.h"
#include "serial/SerialPort.h"
#include "serial/SerialTerminal.h"
#include "textview/TextView.h"

void RegisterDialogFormClasses()
{
    RegisterClasses({TRadioTypeForm::StaticClassInfo(), TAboutForm::StaticClassInfo(),
                     TPrintMemForm::StaticClassInfo(), TFindForm::StaticClassInfo(),
                     TDisclaimForm::StaticClassInfo(), TRange_Selection::StaticClassInfo(),
                     TOptionsForm::StaticClassInfo(), TSplashForm::StaticClassInfo(),
                     TComportSettingsForm::StaticClassInfo()});
    RegisterPrintMemFormClasses();
}

namespace {

void InitFormsModule()
{
    GetFormatSettings();
    RegisterFormClasses();
    RegisterStdControlsClasses();
    RegisterComControlsClasses();
    RegisterMenusUnitClasses();
    RegisterDialogsUnitClasses();
    InitForms();
}

void DoneFormsModule() { DoneForms(); }

void InitSerialPortModule()
{
    SerialPortInitialize();
    RegisterSerialPortClasses();
}

void InitTerminalModule()
{
    SerialTerminalInitialize();
    RegisterSerialTerminalClasses();
}

// The placement's two cursors under their numbers; nothing shows them, so the desktop's
// hand and move cursors serve.
void InitPlacementModule()
{
    if (!Screen)
        return;
    Screen->SetCursors(14000, LoadCursorA(nullptr, IDC_HAND));
    Screen->SetCursors(14001, LoadCursorA(nullptr, IDC_SIZEALL));
}

void InitMainWindowModule()
{
    RegisterTextViewClasses();
    RegisterPlacementClasses();
    RegisterUnit1Classes();
    RegisterDialogFormClasses();
    // Settings that do not reach the disk are lost at the end of the run: the user hears
    // of it, not only the terminal. Once the run ends there is no later save to try again.
    RegistrySetWriteFailureReport([](const std::string& file, const std::string& reason) {
        ShowKindMessageBox("The settings could not be saved to " + file + " (" + reason + ").\r" +
                               (ProgramEnding ? "The settings changed in this run are lost."
                                              : "Changed settings are kept only until Quillmere ends."),
                           MessageKind::Warning, MessageBoxChoice::OK);
    });
}

void DoneMainWindowModule() { RegistrySetWriteFailureReport(nullptr); }

} // namespace

void AddProgramModules()
{
    AddModule({"Forms", &InitFormsModule, &DoneFormsModule});
    AddModule({"SerialPortList", [] { RefreshSerialPortList(); }, nullptr});
    AddModule({"SerialTerminal", &InitTerminalModule, &SerialTerminalFinalize});
    AddModule({"SerialPort", &InitSerialPortModule, &SerialPortFinalize});
    AddModule({"Globals", &GlobalsInitialization, &GlobalsFinalization});
    // The window-hook list and the storage helpers of the form placement.
    AddModule({"Placement", &InitPlacementModule, &DonePlacement});
    AddModule({"Unit1", &InitMainWindowModule, &DoneMainWindowModule});
}

void CreateProgramForms()
{
    Application->CreateForm(Form1);
    Application->CreateForm(RadioTypeForm);
    Application->CreateForm(AboutForm);
    Application->CreateForm(PrintMemForm);
    Application->CreateForm(FindForm);
    Application->CreateForm(DisclaimForm);
    Application->CreateForm(Range_Selection);
    Application->CreateForm(OptionsForm);
    Application->CreateForm(SplashForm);
    Application->CreateForm(ComportSettingsForm);
}

void WatchProgramSignals()
{
    WatchTerminationSignals([](int) {
        if (Form1)
            Form1->CloseOnRequest();
    });
}

int ProgramMain(int argc, char** argv)
{
    AddProgramModules();
    int exitCode = 0;
    try {
        InitModules(argc, argv);
        Application->Initialize();
        Application->SetTitle("Quillmere");
        CreateProgramForms();
        WatchProgramSignals();
        Form1->Show();
        Form1->AutoLoad();
        Application->Run();
    } catch (const std::exception& e) {
        if (Application)
            Application->MessageBox(e.what(), "Quillmere", MB_OK | MB_ICONERROR);
        exitCode = 1;
    }
    StopWatchingTerminationSignals();
    // The windows go first, while every module they use (port, terminal, hooks, settings)
    // is still up; then the modules end in reverse order.
    if (Application)
        Application->DestroyComponents();
    // Written once while a failure can still be shown, and again for what the modules
    // store as they end.
    ProgramEnding = true;
    RegistryShutdown();
    FinalizeModules();
    RegistryShutdown();
    return exitCode;
}
