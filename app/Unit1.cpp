// The main window: creation, stored settings, the close check and the deferred start-up.
#include "app/Unit1.h"
#include "platform/FileAssociation.h"
#include "platform/Files.h"

#include "app/AboutFormUnit.h"
#include "app/ComportSettingsUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/OptionsFormUnit.h"
#include "app/PrintMemFormUnit.h"
#include "app/ProgramMain.h"
#include "app/RadiotypeUnit.h"
#include "app/Range_Select.h"
#include "app/SplashFormUnit.h"
#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Registry.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/Gdi.h"
#include "platform/Messages.h"
#include "platform/WinReg.h"
#include "platform/Windowing.h"
#include "serial/SerialPort.h"
#include "serial/SerialTerminal.h"

TForm1* Form1 = nullptr;

namespace {
void BuildTForm1(TClassBuilder<TForm1>& b)
{
#define QM_F(Name) b.Field(#Name, &TForm1::Name)
    QM_F(MainMenu1); QM_F(FileMenu); QM_F(LoadMenu); QM_F(SaveMenu); QM_F(SaveAs);
    QM_F(CloseMenu); QM_F(PrintMenu); QM_F(ExitMenu); QM_F(SearchMenu); QM_F(FindMenu);
    QM_F(FindNextMenu); QM_F(SettingsMenu); QM_F(RadioTypeSettingsMenu);
    QM_F(CommunicationSettingsMenu); QM_F(OptionsSettingsMenu); QM_F(InfoMenu);
    QM_F(VYXHomepageSite); QM_F(VYXHomepageSite1); QM_F(Disclaimer1); QM_F(AboutMenu);
    QM_F(SplashMenu); QM_F(HiddenMenu); QM_F(CtrlA); QM_F(CtrlC); QM_F(MenuRadioType);
    QM_F(RadioSwitchOn); QM_F(RadioSwitchOff); QM_F(Radio_Action); QM_F(Grid_Popup);
    QM_F(Cmd_Popup);
    QM_F(VYXPageControl); QM_F(MemoryTabSheet); QM_F(MenuTabSheet); QM_F(CmdTabSheet);
    QM_F(ComDebugSheet); QM_F(DebugSheet);
    QM_F(MemChanCoolBar); QM_F(MemChanToolBar); QM_F(MemChanLoadButton);
    QM_F(MemChanSaveButton); QM_F(MemChanRXButton); QM_F(MemChanTXButton);
    QM_F(MemChanClearFieldsButton); QM_F(MemStopButton); QM_F(MemProgressBarPanel);
    QM_F(MemProgressBar); QM_F(MemSettingsPanel); QM_F(SplitData_Setting);
    QM_F(Description_Setting); QM_F(ToneNumber_Setting); QM_F(MemoryLockout_Setting);
    QM_F(MemEditPanel); QM_F(MemEdit); QM_F(RXeditPanel); QM_F(RXFreqEdit);
    QM_F(RXmodeLabel); QM_F(RXModeSelect); QM_F(TXeditPanel); QM_F(TXFreqEdit);
    QM_F(TXModeSelect); QM_F(FMSubTonePanel); QM_F(ToneNumber); QM_F(MemLockoutPanel);
    QM_F(MemLock); QM_F(MemDescriptionPanel); QM_F(Description); QM_F(MemGrid);
    QM_F(MenuSetCoolBar); QM_F(MenuSetToolBar); QM_F(MenuSetLoadButton);
    QM_F(MenuSetSaveButton); QM_F(MenuSetRXButton); QM_F(MenuSetTXButton);
    QM_F(MenuSetStopButton); QM_F(MenuClearFieldsButton); QM_F(MenuProgressBarPanel);
    QM_F(MenuProgressBar); QM_F(MenuSettingsPannel); QM_F(MenuValue_setting);
    QM_F(RXHelpMsg_Setting); QM_F(MenuEditPanel); QM_F(MenuEdit); QM_F(MenuValuePanel);
    QM_F(MenuValueEdit0); QM_F(MenuValueEdit1); QM_F(MenuValueEdit2); QM_F(MenuValueEdit3);
    QM_F(MenuGrid);
    QM_F(CmdLineEditCB); QM_F(ComTerminal); QM_F(DebugInfoMemo);
    QM_F(ComPort); QM_F(StatusBar);
#undef QM_F
#define QM_M(Name) b.Method(#Name, &TForm1::Name)
    QM_M(FormCreate); QM_M(FormCloseQuery); QM_M(ExitMenuClick); QM_M(AutoLoad);
    QM_M(RadioTypeSettingsClick); QM_M(CommunicationSettingsMenuClick);
    QM_M(UpdateMemCols); QM_M(MenuValue_settingClick);
    QM_M(LoadMenuClick); QM_M(SaveMenuClick); QM_M(SaveAsClick); QM_M(CloseMenuClick);
    QM_M(PrintMenuClick); QM_M(FindMenuClick); QM_M(FindNextMenuClick);
    QM_M(OptionsSettingsMenuClick); QM_M(VYXHomepageSiteClick); QM_M(VYXHomepageSite1Click);
    QM_M(Disclaimer1Click); QM_M(AboutMenuClick); QM_M(SplashMenuClick); QM_M(CtrlAClick);
    QM_M(Copywhichchannelnumbers1Click); QM_M(RadioSwitchOnClick); QM_M(RadioSwitchOffClick);
#undef QM_M
    // Each topic of the window publishes its own handlers and components.
    TForm1::PublishRadioLinkMembers(b);
    TForm1::PublishMemoryPanelMembers(b);
    TForm1::PublishMenuSetMembers(b);
    TForm1::PublishCmdLineMembers(b);
}
} // namespace

QM_CLASS_IMPL(TForm1, TForm, BuildTForm1)

void RegisterUnit1Classes() { RegisterClass(TForm1::StaticClassInfo()); }

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {}

TForm1::~TForm1()
{
    if (Form1 == this) {
        Form1 = nullptr;
        AutoDetectRadioTypeFn = nullptr;
        AutoDetectRxDelayTimeFn = nullptr;
        BrowseFileFn = nullptr;
    }
}

namespace {

std::string ReadText(TRegistry& reg, const std::string& name, const std::string& def)
{
    return reg.ValueExists(name) ? reg.ReadString(name) : def;
}

int ReadNumber(TRegistry& reg, const std::string& name, int def)
{
    return reg.ValueExists(name) ? StrToIntDef(Trim(reg.ReadString(name)), def) : def;
}

bool ReadFlag(TRegistry& reg, const std::string& name, bool def)
{
    return ReadNumber(reg, name, def ? 1 : 0) != 0;
}

const std::string PortSettingsPath = std::string("HKEY_CURRENT_USER\\") + SettingsKey;

// A setting the window stores at close, as the text it writes.
struct StoredSetting {
    const char* Key;
    const char* Name;
    std::string Text;
};

std::vector<StoredSetting> StoredSettings()
{
    const int radio = RadioTypeTable.ValidIndex(CurrentRadio) ? CurrentRadio : DefaultRadio;
    return {{"Options", "MemoryFileDir", MemoryFileDir},
            {"Options", "AutoStartMem", AutoStartMem},
            {"Options", "AutoVink", AutoVink ? "1" : "0"},
            {"Options", "DisableSplashScreen", DisableSplashScreen ? "1" : "0"},
            {"Options", "AutoLoadOption", IntToStr(AutoLoadOption)},
            {"RadioType", "Name", RadioTypeTable[radio].RadioName},
            {"RadioType", "RxDelay", IntToStr(RxDelay)},
            {"RadioType", "TxDelay", IntToStr(TxDelay)}};
}

// The settings as this run took them at start, a missing one as its default. Only what
// differs is written at close: another instance may have changed the rest meanwhile, and
// this run's unchanged copy must not undo that.
std::vector<StoredSetting> SettingsAsRead;

} // namespace

void TForm1::FormCreate(TObject*)
{
    Form1 = this;
    // A new window has been given nothing to find yet.
    SearchText.clear();
    LastFoundRow = 0;
    // The dialogs reach the main window's detection and file browsing through these.
    AutoDetectRadioTypeFn = [this] { return AutoDetectRadioType(); };
    AutoDetectRxDelayTimeFn = [this] { return AutoDetectRxDelayTime(); };
    BrowseFileFn = [this] {
        std::string name;
        BrowseFile(name);
        return name;
    };
    Application->HintPause = 500;
    Application->HintHidePause = 9000;

    RadioBusy = false;
    LastFoundRow = 0;
    FileChanged = false;

    ToneNumber->Items()->Clear();
    for (const auto& tone : ToneTable)
        ToneNumber->Items()->Add(tone.ToneText);
    ToneNumber->SetItemIndex(0);
    MemLock->SetItemIndex(1);

    ComPort->FlowControl()->SetFlowControl(fcHardware);

    MemGrid->SetColWidth(mcMemory, 22);
    MemGrid->SetColWidth(mcRxFreq, FreqColWidth());
    MemGrid->SetColWidth(mcRxMode, 40);
    static const char* const memTitles[] = {"RX Freq.", "Mode", "TX Freq.", "Mode",
                                            "Tone", "Mem.Lock", "Description"};
    for (int c = mcRxFreq; c <= mcDescription; ++c)
        MemGrid->SetCell(c, 0, memTitles[c - 1]);
    MemGrid->SetRow(1);
    MemGrid->SetCol(mcRxFreq);
    RXModeSelect->SetItemIndex(0);
    TXModeSelect->SetItemIndex(0);
    for (int r = 1; r <= MemoryCount; ++r)
        MemGrid->SetCell(mcMemory, r, IntToStr(r - 1));

    static const int menuWidths[] = {22, 366, 84, 27, 0, 0};
    for (int c = mnNumber; c <= mnReceived; ++c)
        MenuGrid->SetColWidth(c, menuWidths[c]);
    MenuGrid->SetCell(mnDescription, 0, "Description");
    MenuGrid->SetCell(mnValue, 0, "Value");
    MenuGrid->SetCell(mnCode, 0, "#");
    MenuGrid->SetCol(mnDescription);

    UIMode = 'G';
    PendingAnswer.clear();
    WriteCmdLineWindow("Welcome to the VYX Command Line Interpreter.;Use the command \"help\" to get started.",
                       logWelcome);

    // An installed program's folder is read-only: files then go to the user's documents.
    const std::string programDir = DefaultChannelFolder(ExtractFilePath(ParamStr(0)));
    MemoryFileDir = programDir;
    CommandLineFile = ParamStr(1);
    CurrentFileName.clear();

    ApplyStoredPortName();
    ReadOptions();
    ReportDamagedSettings();
    if (MemoryFileDir.empty())
        MemoryFileDir = programDir;
    SettingsAsRead = StoredSettings();

    // The association lives in the desktop's files, which outlast the run.
    FileAssociated = FileAssociation().IsRegistered();

    VYXPageControl->SetActivePageIndex(0);
    ChangeRadioHandle(false);

    const int width = MemGrid->Left() + MemGrid->Width() + GetSystemMetrics(SM_CYVSCROLL) +
                      GetSystemMetrics(SM_CYFRAME);
    Constraints()->SetMinWidth(width);
    Constraints()->SetMaxWidth(width);
    SetWidth(width);

    ComDebugSheet->SetTabVisible(false);
    DebugSheet->SetTabVisible(false);
    CmdTabSheet->SetTabVisible(false);

    ChangeEnabled(true);
}

// The stored port, or the first listed one at a first start. A failing port list or
// settings store is reported once; the window then works with the component's defaults.
void TForm1::ApplyStoredPortName()
{
    std::string problems;
    auto note = [&problems](const std::exception& e) {
        if (!problems.empty())
            problems += "\r";
        problems += e.what();
    };
    std::string port = "FOUT";
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (reg.OpenKeyReadOnly(std::string(SettingsKey) + "\\ComPort"))
            port = ReadText(reg, "Port", "FOUT");
    }
    if (port == "FOUT") {
        try {
            TStringList ports;
            ListSerialPorts(&ports);
            if (ports.Count() > 0) {
                ComPort->SetPort(ports[0]);
                ComPort->SaveSettings(false, PortSettingsPath);
            }
        } catch (const std::exception& e) {
            note(e);
        }
    }
    try {
        ComPort->RestoreSettings(false, PortSettingsPath);
    } catch (const std::exception& e) {
        note(e);
    }
    if (!problems.empty())
        OKMessage("The serial port settings could not be read or stored; the defaults are used.\r\r" +
                      problems,
                  MessageKind::Warning);
}

// Told once, at start: the settings that were lost are back at their defaults.
void TForm1::ReportDamagedSettings()
{
    const RegistryDamage damage = RegistryTakeDamage();
    if (damage.File.empty())
        return;
    OKMessage("The settings file " + damage.File + " was damaged. " + std::to_string(damage.Lines.size()) +
                  (damage.Lines.size() == 1 ? " line" : " lines") + " could not be read (" +
                  LineNumberList(damage.Lines) +
                  "); those settings are back at their defaults, every other setting was kept.\r" +
                  (damage.Copy.empty() ? std::string("The damaged file was left as it was.")
                                       : "The damaged file was kept as " + damage.Copy + "."),
              MessageKind::Warning);
}

void TForm1::ReadOptions()
{
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (reg.OpenKeyReadOnly(std::string(SettingsKey) + "\\Options")) {
        MemoryFileDir = ReadText(reg, "MemoryFileDir", MemoryFileDir);
        AutoStartMem = ReadText(reg, "AutoStartMem", "");
        AutoVink = ReadFlag(reg, "AutoVink", false);
        DisableSplashScreen = ReadFlag(reg, "DisableSplashScreen", false);
        int option = ReadNumber(reg, "AutoLoadOption", 1);
        AutoLoadOption = static_cast<std::uint8_t>(option >= 0 && option <= 255 ? option : 1);
    } else {
        AutoStartMem.clear();
        AutoVink = false;
        DisableSplashScreen = false;
        AutoLoadOption = 1;
    }
    reg.CloseKey();
    std::string name = RadioTypeTable[DefaultRadio].RadioName;
    RxDelay = DefaultRxDelay;
    TxDelay = DefaultTxDelay;
    if (reg.OpenKeyReadOnly(std::string(SettingsKey) + "\\RadioType")) {
        name = ReadText(reg, "Name", name);
        RxDelay = ReadNumber(reg, "RxDelay", DefaultRxDelay);
        TxDelay = ReadNumber(reg, "TxDelay", DefaultTxDelay);
    }
    CurrentRadio = FindRadio(rfRadioName, name);
    if (!RadioTypeTable.ValidIndex(CurrentRadio))
        CurrentRadio = DefaultRadio;
}

void TForm1::WriteSettings()
{
    const std::vector<StoredSetting> now = StoredSettings();
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    std::string open;
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (i < SettingsAsRead.size() && SettingsAsRead[i].Text == now[i].Text)
            continue;
        if (open != now[i].Key) {
            reg.CloseKey();
            open = reg.OpenKey(std::string(SettingsKey) + "\\" + now[i].Key, true) ? now[i].Key : "";
        }
        if (!open.empty())
            reg.WriteString(now[i].Name, now[i].Text);
    }
    reg.CloseKey();
    SettingsAsRead = now;
}

void TForm1::FormCloseQuery(TObject*, bool& CanClose)
{
    // A question waiting on the command line holds a nested wait: closing now would pull
    // the window from under it.
    if (!PendingAnswer.empty() && !FCloseUnasked) {
        OKMessage("You can not close VYX at this moment. There is an outstanding user responds.",
                  MessageKind::Information);
        CanClose = false;
        ShowStatus("Exit canceled.");
        return;
    }
    if (MenuRadioType->Default() || RadioBusy) {
        CanClose = FCloseUnasked ||
                   YesNoMessage("There is an open communication channel. You should\rend the "
                                "communication before exiting VYX!\r\rAre you sure you want to "
                                "exit VYX now?",
                                MessageKind::Warning);
        // A running action is inside a nested wait: ask it to stop and close once it has
        // unwound (ChangeEnabled(true) ends every action).
        if (CanClose && RadioBusy) {
            StopRequest = true;
            FCloseAfterAction = true;
            CanClose = false;
            ShowStatus("Stopping the current action before exit.");
            return;
        }
    }
    if (CanClose && FileChanged && !FCloseUnasked) {
        switch (YesNoCancelMessage("Changes are not saved.\rDo you want to save the changes ?")) {
        case mrCancel: CanClose = false; break;
        case mrYes: CanClose = SaveAction(); break;
        default: break;
        }
    }
    if (CanClose) {
        ProgramEnding = true;
        WriteSettings();
    } else {
        ShowStatus("Exit canceled.");
    }
}

void TForm1::ExitMenuClick(TObject*) { Close(); }

void TForm1::CloseOnRequest()
{
    FCloseUnasked = true;
    StopRequest = true;
    MenuReadActive = false;
    // Nobody will answer: a question waiting on the command line or in a box ends unanswered.
    if (PendingAnswer == WaitingAnswer)
        PendingAnswer.clear();
    CloseToolkitModalWindow();
    Close();
}

void TForm1::AutoLoad()
{
    UpdateTaskBarUsed();
    SetCaption(MainWindowCaption);
    if (!DisableSplashScreen && SplashForm)
        SplashForm->Show();
    // The start-up action is a step of the running program: its failure is shown like
    // any other, and the program goes on.
    try {
        if (!CommandLineFile.empty()) {
            LoadFile(CommandLineFile);
        } else if (AutoVink) {
            switch (AutoLoadOption) {
            case 1: RX_Action_Mem(0, LastMemory); break;
            case 2: LoadMenuClick(this); break;
            case 3:
                if (!AutoStartMem.empty())
                    LoadFile(AutoStartMem);
                else
                    LoadMenuClick(this);
                break;
            default: break;
            }
        }
    } catch (...) {
        Application->HandleException(this);
    }
    UpdateTaskBarUsed();
}

std::string ExtractLastPathPart(const std::string& Path)
{
    const auto pos = Path.find_last_of("\\/");
    return pos == std::string::npos ? Path : Path.substr(pos + 1);
}
