#pragma once
// The main window: the memory-channel and menu-settings pages, the menu bar, the status
// bar and the link components. Its components come from its form description; the
// handlers below are bound there by name.
#include "framework/Controls.h"
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TMainMenu;
class TMenuItem;
class TPopupMenu;
class TPageControl;
class TTabSheet;
class TStringGrid;
class TCoolBar;
class TToolBar;
class TToolButton;
class TPanel;
class TLabel;
class TEdit;
class TLabeledEdit;
class TComboBox;
class TCheckBox;
class TListBox;
class TMemo;
class TProgressBar;
class TStatusBar;
class TSpinEdit;
class TSerialPort;
class TSerialTerminal;
class TCustomSerialPort;

class TForm1 : public TForm {
    QM_CLASS(TForm1, TForm)
public:
    explicit TForm1(TComponent* AOwner);
    ~TForm1() override;

    // ---- components (published fields, filled by the form reader) ----
    TMainMenu* MainMenu1 = nullptr;
    TMenuItem* FileMenu = nullptr;
    TMenuItem* LoadMenu = nullptr;
    TMenuItem* SaveMenu = nullptr;
    TMenuItem* SaveAs = nullptr;
    TMenuItem* CloseMenu = nullptr;
    TMenuItem* PrintMenu = nullptr;
    TMenuItem* ExitMenu = nullptr;
    TMenuItem* SearchMenu = nullptr;
    TMenuItem* FindMenu = nullptr;
    TMenuItem* FindNextMenu = nullptr;
    TMenuItem* SettingsMenu = nullptr;
    TMenuItem* RadioTypeSettingsMenu = nullptr;
    TMenuItem* CommunicationSettingsMenu = nullptr;
    TMenuItem* OptionsSettingsMenu = nullptr;
    TMenuItem* InfoMenu = nullptr;
    TMenuItem* VYXHomepageSite = nullptr;
    TMenuItem* VYXHomepageSite1 = nullptr;
    TMenuItem* Disclaimer1 = nullptr;
    TMenuItem* AboutMenu = nullptr;
    TMenuItem* SplashMenu = nullptr;
    TMenuItem* HiddenMenu = nullptr;
    TMenuItem* CtrlA = nullptr;
    TMenuItem* CtrlC = nullptr;
    TMenuItem* MenuRadioType = nullptr;
    TMenuItem* RadioSwitchOn = nullptr;
    TMenuItem* RadioSwitchOff = nullptr;
    TPopupMenu* Radio_Action = nullptr;
    TPopupMenu* Grid_Popup = nullptr;
    TPopupMenu* Cmd_Popup = nullptr;

    TPageControl* VYXPageControl = nullptr;
    TTabSheet* MemoryTabSheet = nullptr;
    TTabSheet* MenuTabSheet = nullptr;
    TTabSheet* CmdTabSheet = nullptr;
    TTabSheet* ComDebugSheet = nullptr;
    TTabSheet* DebugSheet = nullptr;

    TCoolBar* MemChanCoolBar = nullptr;
    TToolBar* MemChanToolBar = nullptr;
    TToolButton* MemChanLoadButton = nullptr;
    TToolButton* MemChanSaveButton = nullptr;
    TToolButton* MemChanRXButton = nullptr;
    TToolButton* MemChanTXButton = nullptr;
    TToolButton* MemChanClearFieldsButton = nullptr;
    TToolButton* MemStopButton = nullptr;
    TPanel* MemProgressBarPanel = nullptr;
    TProgressBar* MemProgressBar = nullptr;
    TPanel* MemSettingsPanel = nullptr;
    TCheckBox* SplitData_Setting = nullptr;
    TCheckBox* Description_Setting = nullptr;
    TCheckBox* ToneNumber_Setting = nullptr;
    TCheckBox* MemoryLockout_Setting = nullptr;
    TPanel* MemEditPanel = nullptr;
    TSpinEdit* MemEdit = nullptr;
    TPanel* RXeditPanel = nullptr;
    TLabeledEdit* RXFreqEdit = nullptr;
    TLabel* RXmodeLabel = nullptr;
    TComboBox* RXModeSelect = nullptr;
    TPanel* TXeditPanel = nullptr;
    TLabeledEdit* TXFreqEdit = nullptr;
    TComboBox* TXModeSelect = nullptr;
    TPanel* FMSubTonePanel = nullptr;
    TComboBox* ToneNumber = nullptr;
    TPanel* MemLockoutPanel = nullptr;
    TComboBox* MemLock = nullptr;
    TPanel* MemDescriptionPanel = nullptr;
    TEdit* Description = nullptr;
    TStringGrid* MemGrid = nullptr;

    TCoolBar* MenuSetCoolBar = nullptr;
    TToolBar* MenuSetToolBar = nullptr;
    TToolButton* MenuSetLoadButton = nullptr;
    TToolButton* MenuSetSaveButton = nullptr;
    TToolButton* MenuSetRXButton = nullptr;
    TToolButton* MenuSetTXButton = nullptr;
    TToolButton* MenuSetStopButton = nullptr;
    TToolButton* MenuClearFieldsButton = nullptr;
    TPanel* MenuProgressBarPanel = nullptr;
    TProgressBar* MenuProgressBar = nullptr;
    TPanel* MenuSettingsPannel = nullptr;
    TCheckBox* MenuValue_setting = nullptr;
    TCheckBox* RXHelpMsg_Setting = nullptr;
    TPanel* MenuEditPanel = nullptr;
    TSpinEdit* MenuEdit = nullptr;
    TPanel* MenuValuePanel = nullptr;
    TListBox* MenuValueEdit0 = nullptr;
    TSpinEdit* MenuValueEdit1 = nullptr;
    TComboBox* MenuValueEdit2 = nullptr;
    TComboBox* MenuValueEdit3 = nullptr;
    TStringGrid* MenuGrid = nullptr;

    TComboBox* CmdLineEditCB = nullptr;
    TMemo* CmdLineMemo = nullptr; // the command-line log until the styled text view exists
    TSerialTerminal* ComTerminal = nullptr;
    TMemo* DebugInfoMemo = nullptr;
    TSerialPort* ComPort = nullptr;
    TStatusBar* StatusBar = nullptr;

    // ---- start-up and shut-down ----
    void FormCreate(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void ExitMenuClick(TObject* Sender);
    void AutoLoad();

    // ---- messages, status and enabling ----
    void OKMessage(const std::string& Text, std::uint8_t Kind);
    bool YesNoMessage(const std::string& Text, std::uint8_t Kind);
    int YesNoCancelMessage(const std::string& Text);
    void ChangeEnabled(bool Enabled);
    std::uint8_t UpdateTaskBarUsed();
    // Appends to the command-line log; ";" starts a new line. The plain log ignores Style.
    void WriteCmdLineWindow(const std::string& Text, int Style);

    // ---- radio model ----
    void ChangeRadioHandle(bool AskUser);
    void RadioTypeSettingsClick(TObject* Sender);
    void CommunicationSettingsMenuClick(TObject* Sender);

    // ---- grid and panel layout that the model change relies on ----
    void UpdateEditFields();
    void UpdateMemGrid();
    void UpdateMemCols(TObject* Sender);
    void UpdateMenuCols();
    void MenuValue_settingClick(TObject* Sender);

    // ---- menu bar ----
    void LoadMenuClick(TObject* Sender);
    void SaveMenuClick(TObject* Sender);
    void SaveAsClick(TObject* Sender);
    void CloseMenuClick(TObject* Sender);
    void PrintMenuClick(TObject* Sender);
    void FindMenuClick(TObject* Sender);
    void FindNextMenuClick(TObject* Sender);
    void OptionsSettingsMenuClick(TObject* Sender);
    void VYXHomepageSiteClick(TObject* Sender);
    void VYXHomepageSite1Click(TObject* Sender);
    void Disclaimer1Click(TObject* Sender);
    void AboutMenuClick(TObject* Sender);
    void SplashMenuClick(TObject* Sender);
    void CtrlAClick(TObject* Sender);
    void Copywhichchannelnumbers1Click(TObject* Sender);
    void RadioSwitchOnClick(TObject* Sender);
    void RadioSwitchOffClick(TObject* Sender);

    // ---- actions of the channel-file and radio units, called from start-up and close ----
    void LoadFile(const std::string& FileName);
    bool SaveAction();
    void RX_Action_Mem(std::uint8_t From, std::uint8_t To);

    // Set while the deferred close waits for a running radio action to end.
    bool CloseAfterAction() const { return FCloseAfterAction; }

    // ---- radio link, detection, power, memory selection, reading and writing memories ----
    // (end of radio link members)

    // ---- memory grid and edit panel, channel files ----
    // (end of channel file members)

    // ---- menu settings grid, reading and writing menus ----
    // (end of menu settings members)

    // ---- find, range actions, clipboard, command line ----
    // (end of command line members)

    // ---- dialogs, printing ----
    // (end of dialog members)

private:
    void ApplyStoredPortName();
    void ReadOptions();
    void WriteSettings();
    bool FCloseAfterAction = false;
};

extern TForm1* Form1;

// ---- plain routines on the main window ----
void ShowStatus(const std::string& Text);
std::string MessageKindName(std::uint8_t Kind);
// The desktop's message box for a message kind (0 warning, 1 error, 2 information); gives
// the button's modal result (1 OK, 6 yes, 7 no, 2 cancel).
enum class MessageBoxChoice { OK, YesNo, YesNoCancel };
int ShowKindMessageBox(const std::string& Text, std::uint8_t Kind, MessageBoxChoice Buttons);
// Opens a web address with the desktop's browser; false when that failed.
bool OpenWebsite(const std::string& Url);
std::string AskOnCommandLine(const std::string& Question, const std::string& Answers);
void SetProgressRange(std::uint8_t From, std::uint8_t To);
void SetMenuProgressRange(std::uint8_t From, std::uint8_t To);
std::uint8_t FindInGridColumn(int Row);
// The part after the last "\" or "/"; the whole text when there is none.
std::string ExtractLastPathPart(const std::string& Path);

// The text the find function searches for (kept here until the find dialog exists).
extern std::string SearchText;
extern int LastFoundRow;

// The program's web sites.
constexpr const char* MainWebsite = "https://www.example.org/quillmere/";
constexpr const char* MirrorWebsite = "https://mirror.example.org/quillmere/";

// The window caption after start-up and after File > Close.
constexpr const char* MainWindowCaption = "Quillmere - Version:2.4";
// Where the program's own settings live under HKEY_CURRENT_USER.
constexpr const char* SettingsKey = "Software\\Quillmere";

// Registers TForm1 with the class registry.
void RegisterUnit1Classes();
