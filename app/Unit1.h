#pragma once
// The main window: the memory-channel and menu-settings pages, the menu bar, the status
// bar and the link components. Its components come from its form description; the
// handlers below are bound there by name.
#include "app/Globals.h"
#include "app/Version.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "platform/Files.h"
#include "platform/Services.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

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
class TTextView;
class TViewStyle;
class TFormStore;

template <class Cls> class TClassBuilder;

// The character a key press of Enter hands to the key-press handlers.
constexpr char EnterKey = '\r';

// The formats a channel file is saved in, numbered as the save dialog lists them.
enum class TChannelFormat : std::uint8_t { Native = 1, CommaSeparated, SemicolonSeparated, Text };

// The styles of the command-line log's lines, numbered as ViewStyle1's text styles.
enum TLogStyle : int {
    logText = 0,      // results, messages and questions
    logSeparator = 1, // the blank line between listed memories
    logEcho = 6,      // the line the user typed
    logHelp = 7,
    logError = 8,
    logWelcome = 9,
    logStatus = 10,
};

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
    TTextView* CmdLineWindow = nullptr;
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
    void OKMessage(const std::string& Text, MessageKind Kind);
    bool YesNoMessage(const std::string& Text, MessageKind Kind);
    int YesNoCancelMessage(const std::string& Text);
    void ChangeEnabled(bool Enabled);
    std::uint8_t UpdateTaskBarUsed();
    // Appends to the command-line log; ";" starts a new line, Style picks the log's style.
    void WriteCmdLineWindow(const std::string& Text, int Style);

    // ---- radio model ----
    void ChangeRadioHandle(bool AskUser);
    void RadioTypeSettingsClick(TObject* Sender);
    void CommunicationSettingsMenuClick(TObject* Sender);

    // ---- grid and panel layout that the model change relies on ----
    void UpdateEditFields();
    void UpdateMemGrid();
    // A frequency text of the edit panel as the row takes it: normalised, and emptied when
    // it is new to the row and outside the model's bands.
    std::string PanelFrequency(const std::string& Text) const;
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
    // Shows the read-me with the desktop's default handler, or says why it cannot.
    void OpenReadMe();
    void SplashMenuClick(TObject* Sender);
    void CtrlAClick(TObject* Sender);
    void Copywhichchannelnumbers1Click(TObject* Sender);
    void RadioSwitchOnClick(TObject* Sender);
    void RadioSwitchOffClick(TObject* Sender);

    // ---- actions of the channel-file and radio units, called from start-up and close ----
    void LoadFile(const std::string& FileName);
    // Keep: a send leaves memory M as it is on the radio until its row changes from what
    // it holds now. Not keep: the row is sent as any other.
    void KeepMemoryWhileRowUnchanged(int M, bool Keep);
    bool SaveAction();
    void RX_Action_Mem(std::uint8_t From, std::uint8_t To);

    // Set while the deferred close waits for a running radio action to end.
    bool CloseAfterAction() const { return FCloseAfterAction; }
    // A request to end the program that nobody can be asked about (a signal): a running
    // action stops after the memory it is on, then the window closes without a question,
    // writing the settings; unsaved changes are lost.
    void CloseOnRequest();

    // ---- radio link, detection, power, memory selection, reading and writing memories ----
    void Send(const std::string& Command);
    void Receive(std::string& Answer);
    void ClearReceiveBuf();
    bool OpenAndCheckCom();
    void ComPortClose();
    void ReportLinkError();
    bool AskControlled(std::string& Command, std::uint8_t N);
    bool SendControlled(const std::string& Command, std::uint8_t N);
    // Sends an "MR" query and waits for the whole 24-character record answering it (the
    // same half and memory), up to Tries answer waits; false and an empty record after.
    bool AskMemoryRecord(const std::string& Query, int Tries, std::string& Record);
    void StopAllCom();
    void ComPortTxEmpty(TObject* Sender);
    void ComTerminalStrReceived(TObject* Sender, std::string& Str);
    void MemStopButtonClick(TObject* Sender);
    std::uint8_t AutoDetectRadioType();
    int AutoDetectRxDelayTime();
    void MemGridDblClick(TObject* Sender);
    void MemChanRXButtonClick(TObject* Sender);
    void MemChanTXButtonClick(TObject* Sender);
    void TX_Action_Mem(std::uint8_t From, std::uint8_t To);
    std::string BuildMemoryWriteCommand(int M, int H);
    bool DiffFreq(const std::string& W);
    bool SendSubTX(const std::string& W);
    // Publishes the handlers above for the form description; runs once.
    static void PublishRadioLinkMembers(TClassBuilder<TForm1>& b);
private:
    // Sets the port-open marker and opens the port; a port that will not open leaves the
    // link closed and its error shown, and gives false.
    bool OpenLinkPort();
    // Sends a power command ("Switch on", "Switch off") on a port opened for it alone.
    void SendPowerCommand(const std::string& Name, const std::string& Command);
    // Ends a radio action that an exception interrupted: link closed, controls back.
    void AbortRadioAction();
    // Runs Action on a link opened and checked for it, with the controls disabled and
    // Status (when not empty) shown meanwhile; a link that does not open is reported.
    void RunOnCheckedLink(const std::string& Status, const std::function<void()>& Action);
    // Ends a memory transfer, however it ended: the grid back on the memory that was
    // current, the panel showing that row and the counters counting the grid.
    void ShowMemoryAfterAction(int Memory);
    // Ends a memory transfer that an exception interrupted, with Status shown; the
    // exception itself goes on to the caller.
    void EndInterruptedMemoryAction(const std::string& Status, int Memory);
    // Whether row M + 1, as a send would write it, holds what the radio's answers for the
    // memory say (TxAnswer is not looked at on a model without transmit half).
    bool RowShowsMemoryAsRead(int M, const std::string& RxAnswer, const std::string& TxAnswer);
    // Fills row M + 1 from the radio's records of the memory as a read does, through the
    // edit panel.
    void PutMemoryInRow(int M, const std::string& RxAnswer, const std::string& TxAnswer);
    // Whether a read of the radio's records would show row M + 1 as it is now.
    bool RowReadsAsRadioHolds(int M, const std::string& RxAnswer, const std::string& TxAnswer);
    // A memory a send leaves as it is on the radio while its row keeps Cells (cells 1 to 6):
    // one a read never reached, one a channel file could not say, or one a read could not
    // show, with the radio's records of it then.
    struct TKeptMemory {
        std::vector<std::string> Cells;
        // The read's "MR" answers, receive and transmit half; empty when nothing was read.
        std::string Records[2];
    };
    std::map<int, TKeptMemory> FKeptWhileUnchanged;
    std::vector<std::string> MemoryRowCells(int M) const;
    // Keeps memory M as the read found it, with its records.
    void KeepMemoryAsRead(int M, const std::string& RxAnswer, const std::string& TxAnswer);
    // Clears and writes memory M from its row where the radio holds something else. False
    // when a write failed (and was reported).
    bool SendRow(int M);
    // Leaves a kept memory alone while the radio holds the read's records; else clears it
    // and writes them as they were read. False when a write failed (and was reported).
    bool SendReadRecords(int M, const TKeptMemory& Kept);
    // Sends the write command W until a read-back shows it taken, up to RadioTries times,
    // then reports why not (a frequency outside the model's bands: the radio refused it).
    // Exact: taken only when the radio answers W's record character for character.
    bool WriteAndCheck(const std::string& W, bool Exact);
    // Sets AnswerComplete and FOnlyErrorAnswers from ReceiveBuffer.
    void NoteReceiveBuffer();
    // The received text is whole error answers only, the last of it arriving at this tick:
    // a real answer behind them would be on the line within one record's time.
    bool FOnlyErrorAnswers = false;
    unsigned FLastArrivalTick = 0;
public:
    // (end of radio link members)

    // ---- memory grid and edit panel, channel files ----
    // The file dialogs are made on first use, owned by the window.
    class TOpenDialog* OpenDialog = nullptr;
    class TSaveDialog* SaveDialog = nullptr;
    // The channel file as this window last read or wrote it: a save asks before it
    // overwrites what another program wrote there since.
    struct TFileOnDisk {
        std::string Name;
        FileStamp Stamp;
    } FileOnDisk;

    void MemoryActivateChanges(TObject* Sender, char& Key);
    void MemGridClick(TObject* Sender);
    void MemEditChange(TObject* Sender);
    void MemEditExit(TObject* Sender);
    void RXFreqEditExit(TObject* Sender);
    void TXFreqEditExit(TObject* Sender);
    void TXFreqEditEnter(TObject* Sender);
    void Clear_Action_Mem(std::uint8_t From, std::uint8_t To);
    void MemChanClearFieldsButtonClick(TObject* Sender);
    void SetMemProgressBar(std::uint8_t Position);
    // Width of a frequency column: the widest frequency text fits in the grid's font.
    int FreqColWidth() const;
    // Width of the description column: its own, or what the other columns leave of the grid
    // beside its vertical scroll bar. The grid has no horizontal scroll bar, so a column
    // beyond its right edge, once scrolled to, could never be brought back.
    int DescriptionColWidth() const;
    void UpdateButtonClick(TObject* Sender);
    void ClearFieldsButtonClick(TObject* Sender);
    void ExitButtonClick(TObject* Sender);
    void MemChanClearButtonClick(TObject* Sender);
    // Publishes the memory panel's handlers above for the form description; runs before
    // it is read.
    static void PublishMemoryPanelMembers(TClassBuilder<TForm1>& b);

    // True when there are no unsaved changes or the user lets them go.
    bool AskFileChange();
    // The chosen file's full path; empty when the dialog was cancelled.
    void BrowseFile(std::string& FileName);
    // False when nothing was written (the extension question declined); a failed write
    // raises EInOutError and leaves the old file as it was.
    bool FileSaveAction(const std::string& FileName, TChannelFormat Format);
    // True only when the file was written.
    bool SaveAsAction();
    // Blanks added until the text is Width long; never cuts.
    static std::string PadRight(const std::string& Text, std::uint8_t Width);
    // (end of channel file members)

    // ---- menu settings grid, reading and writing menus ----
    // Row of the menu number (the last match); 0 when the grid shows no such menu.
    std::uint8_t FromMenuOptionToMenuGrid(std::uint8_t MenuNumber);
    int FromMenuGridToMenuOption(std::uint8_t Row);
    void UpdateMenuEditFields();
    void Clear_Action_Menu(std::uint8_t From, std::uint8_t To);
    void MenuGridClick(TObject* Sender);
    void MenuEditChange(TObject* Sender);
    void MenuValueEdit0Click(TObject* Sender);
    void MenuValueEdit1Change(TObject* Sender);
    void MenuValueEdit1Exit(TObject* Sender);
    void MenuValueEdit2Change(TObject* Sender);
    void MenuValueEdit3Change(TObject* Sender);
    void MenuClearFieldsButtonClick(TObject* Sender);
    void VYXPageControlChange(TObject* Sender);
    void RX_Action_Menu(std::uint8_t From, std::uint8_t To);
    void SubRX_Action_Menu(const std::string& MenuNumber, const std::string& Value, bool Report);
    void TX_Action_Menu(std::uint8_t From, std::uint8_t To);
    void SetMenuProgressBar(std::uint8_t N);
    void MenuSetRXButtonClick(TObject* Sender);
    void MenuSetTXButtonClick(TObject* Sender);
    void MenuSetStopButtonClick(TObject* Sender);
    // The grid rows first..last of the shown menus within From..To; false when none is.
    bool MenuRangeRows(std::uint8_t From, std::uint8_t To, int& First, int& Last) const;
    // Set while the editors are refilled from the grid, so their change events do not
    // write back into the row.
    bool FMenuEditorsUpdating = false;
    // Publishes the handlers above for the form description; runs before it is read.
    static void PublishMenuSetMembers(TClassBuilder<TForm1>& b);
    // (end of menu settings members)

    // ---- find, range actions, clipboard, command line ----
    TViewStyle* ViewStyle1 = nullptr;
    TFormStore* VYXFormStore = nullptr;

    // Search modes: 0 from the current row, 1 from the top, 2 from the bottom.
    void SearchInMemGrid(std::uint8_t Start);
    void SearchInMenuGrid(std::uint8_t Start);
    // Row 0 means no match.
    void DoFind(std::uint8_t Start, std::uint8_t& Row, std::uint8_t& Column);
    void ALL1Click(TObject* Sender);
    void SelectRange1Click(TObject* Sender);
    void CurrentLine1Click(TObject* Sender);
    void RX1Click(TObject* Sender);
    void TX1Click(TObject* Sender);
    void Clear1Click(TObject* Sender);
    void MemGridToClipBoard(bool WithNumbers);
    void MenuGridToClipBoard(bool WithNumbers);
    void Copy1Click(TObject* Sender);
    void FormResize(TObject* Sender);
    void FormMouseWheelDown(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);
    void FormMouseWheelUp(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);
    void RXButtonClick(TObject* Sender);

    void Cmdinterpreter(const std::string& Line);
    void CmdLineEditCBKeyPress(TObject* Sender, char& Key);
    void Cmd_Popup_ClearClick(TObject* Sender);
    void Cmd_Popup_CopyClick(TObject* Sender);
    void PrintMemoryRow(std::uint8_t Row);
    void ShowCommandHelp(std::uint8_t Id, const std::string& Name, const std::string& Bad);
    // The command tree: ids of CommandTable, 0 when none.
    static std::uint8_t FindSubCommand(std::uint8_t ParentId, const std::string& Name);
    static std::uint8_t CommandIndexById(std::uint8_t Id);
    static std::string ListSubCommands(std::uint8_t Id);
    // Walks Words from FirstWord (1-based); Path gets the command words, Bad the first word
    // that is not a sub-command (empty when the line ends there).
    static std::uint8_t ResolveCommandPath(std::uint8_t FirstWord, const std::vector<std::string>& Words,
                                           std::string& Path, std::string& Bad);
    // Binds the handlers and components above for the form description.
    static void PublishCmdLineMembers(TClassBuilder<TForm1>& b);
    // (end of command line members)

    // ---- dialogs, printing ----
    // Prints a table (0 memory channels, 1 menu settings) without the preview, as the
    // typed print commands do; true when every page was printed, else false and a message.
    // A printout that went to a PDF file names the file in the status.
    bool PrintTableWithoutPreview(TPrintTable Table);
    // Writes or removes the channel-file association; false (and a message) on a failure.
    bool ApplyFileAssociation(bool Associate);
    // (end of dialog members)

private:
    void ApplyStoredPortName();
    void ReadOptions();
    void ReportDamagedSettings();
    void WriteSettings();
    bool FCloseAfterAction = false;
    bool FCloseUnasked = false;
    // The control that had the focus when an action disabled the window's controls; for an
    // edit, also its text and selection then.
    struct FocusBeforeAction {
        TWinControl* Control = nullptr;
        std::string Text;
        int SelStart = 0, SelLength = 0;
    } FFocusBeforeAction;
};

extern TForm1* Form1;

// ---- plain routines on the main window ----
void ShowStatus(const std::string& Text);
// The desktop's message box for a message kind, with the kind's caption; gives the button's
// modal result (1 OK, 6 yes, 7 no, 2 cancel).
enum class MessageBoxChoice { OK, YesNo, YesNoCancel };
int ShowKindMessageBox(const std::string& Text, MessageKind Kind, MessageBoxChoice Buttons);
// Opens a file or address with the desktop's default handler; false when that failed.
bool OpenWithDesktop(const std::string& Target);
std::string AskOnCommandLine(const std::string& Question, const std::string& Answers);
void SetProgressRange(std::uint8_t From, std::uint8_t To);
void SetMenuProgressRange(std::uint8_t From, std::uint8_t To);
// The part after the last "\" or "/"; the whole text when there is none.
std::string ExtractLastPathPart(const std::string& Path);
// A file name as the user reads it in a caption or message: the system's bytes are UTF-8,
// the program's texts Windows-1252. Bytes that are not UTF-8 are shown as they are.
std::string ShownFileName(const std::string& Name);
struct TMenuEntry;
// The text a menu's value code shows in the menu grid; empty when the code is none of the
// menu's values.
std::string MenuValueText(const TMenuEntry& Entry, int Code, int MenuSet);
// The first few of a list of line numbers, for a message: "3, 7, 9, 12, 15 and 4 more".
std::string LineNumberList(const std::vector<std::size_t>& Lines);
// Milliseconds that a whole memory record (24 characters with their start, parity and stop
// bits) takes on the line at the port's speed; 0 when the speed is unknown.
int RecordTransferMs(const TCustomSerialPort& Port);

// What the find dialog was last given, and the row of the last match: Find Next and the
// in-row search go on from there.
extern std::string SearchText;
extern int LastFoundRow;
// The first column of the active grid's row that holds SearchText, case ignored; 0: none.
std::uint8_t FindInGridColumn(int Row);

// The read-me shipped beside the executable; the program has no web site of its own.
std::string ReadMeFile();

// The window caption after start-up and after File > Close.
constexpr const char* MainWindowCaption = "Quillmere - Version:" QM_VERSION;
// Where the program's own settings live under HKEY_CURRENT_USER.
constexpr const char* SettingsKey = "Software\\Quillmere";

// Registers TForm1 with the class registry.
void RegisterUnit1Classes();
