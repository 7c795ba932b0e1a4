// The command-line interpreter: typed lines walk the command tree of CommandTable and drive
// the same functions as the menus; the dialogue goes to the styled log CmdLineWindow.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "placement/FormPlace.h"
#include "platform/Services.h"
#include "serial/SerialPort.h"
#include "textview/TextView.h"

namespace {

constexpr int WordCount = 10;
constexpr const char* Quote = "\"";

// Set while a typed line runs, so that a second line typed meanwhile is refused instead of
// running inside the first.
bool CommandRunning = false;

struct CommandModeScope {
    CommandModeScope()
    {
        UIMode = 'C';
        CommandRunning = true;
    }
    ~CommandModeScope()
    {
        UIMode = 'G';
        CommandRunning = false;
    }
    CommandModeScope(const CommandModeScope&) = delete;
    CommandModeScope& operator=(const CommandModeScope&) = delete;
};

// Words 1..10 of the line (index 0 unused), separated by single blanks. A word that begins
// with a double quote runs to the next one, blanks included, so a file name may hold blanks.
// Commands and keywords are matched in lower case; file names keep the case they were typed
// in, as the file system tells them apart.
struct TypedWords {
    std::vector<std::string> AsTyped = std::vector<std::string>(WordCount + 1);
    std::vector<std::string> Lower = std::vector<std::string>(WordCount + 1);
};

TypedWords SplitWords(const std::string& Line)
{
    TypedWords words;
    std::string rest = Line + " ";
    for (int i = 1; i <= WordCount && !rest.empty(); ++i) {
        std::string word;
        std::size_t next = 0;
        if (rest[0] == '"') {
            const auto close = rest.find('"', 1);
            // An unclosed quote takes the rest of the line, without the blank added above.
            word = rest.substr(1, close == std::string::npos ? rest.size() - 2 : close - 1);
            next = close == std::string::npos ? rest.size() : close + 1;
            if (next < rest.size() && rest[next] == ' ')
                ++next;
        } else {
            const auto blank = rest.find(' ');
            word = rest.substr(0, blank);
            next = blank == std::string::npos ? rest.size() : blank + 1;
        }
        // No length limit: a long path must not be cut short.
        rest.erase(0, next);
        words.AsTyped[i] = word;
        words.Lower[i] = LowerCase(word);
    }
    return words;
}

// ".vyx" is added to a name without an extension; a dot in a folder name does not count.
std::string WithDefaultExtension(const std::string& Name)
{
    return ExtractFileName(Name).find('.') == std::string::npos ? Name + ".vyx" : Name;
}

void ClearLog(TTextView* View)
{
    if (!View)
        return;
    View->ClearDocument();
    View->FormatDocument();
    View->Invalidate();
}

void ReportPowerSwitch(TForm1* Form)
{
    Form->MenuRadioType->SetDefault(true);
    // The port is closed and the marker cleared however the exchange ends.
    struct CloseLink {
        TForm1* Form;
        ~CloseLink()
        {
            try {
                Form->ComPortClose();
            } catch (const std::exception&) {
                // Closing is best effort here; the exchange's own error is already reported.
            }
            Form->MenuRadioType->SetDefault(false);
        }
    } closeLink{Form};
    Form->ComPort->OpenPort();
    Form->ComPort->PurgeQueues(true, true);
    std::string q = "PS;";
    Form->AskControlled(q, 1);
    if (q == "0")
        Form->WriteCmdLineWindow("Radio is OFF", logText);
    else if (q == "1")
        Form->WriteCmdLineWindow("Radio is ON", logText);
    else
        Form->WriteCmdLineWindow("Error: Could not read radio switch status!", logError);
}

} // namespace

std::uint8_t TForm1::FindSubCommand(std::uint8_t ParentId, const std::string& Name)
{
    std::uint8_t id = cmdNone;
    for (const TMainCmd& cmd : CommandTable)
        if (cmd.ParentId == ParentId && Name == cmd.CmdName)
            id = cmd.CmdId;
    return id;
}

std::uint8_t TForm1::CommandIndexById(std::uint8_t Id)
{
    std::uint8_t index = 0;
    for (int i = 1; i <= CommandTable.Count(); ++i)
        if (CommandTable[i].CmdId == Id)
            index = static_cast<std::uint8_t>(i);
    return index;
}

std::string TForm1::ListSubCommands(std::uint8_t Id)
{
    std::string s;
    int n = 0;
    for (const TMainCmd& cmd : CommandTable) {
        if (cmd.ParentId != Id)
            continue;
        s += std::string(cmd.CmdName) + ", ";
        if (++n == 3) {
            s += ";  ";
            n = 0;
        }
    }
    const std::size_t cut = n != 0 ? 2 : 5;
    s.erase(s.size() >= cut ? s.size() - cut : 0);
    return s;
}

std::uint8_t TForm1::ResolveCommandPath(std::uint8_t FirstWord, const std::vector<std::string>& Words,
                                        std::string& Path, std::string& Bad)
{
    Path.clear();
    Bad.clear();
    std::uint8_t current = cmdRoot;
    for (std::size_t i = FirstWord; i <= 9 && i < Words.size(); ++i) {
        const std::uint8_t id = FindSubCommand(current, Words[i]);
        if (id == cmdNone) {
            Bad = Words[i];
            break;
        }
        current = id;
        Path += Words[i] + " ";
    }
    if (!Path.empty())
        Path.pop_back();
    return current;
}

void TForm1::ShowCommandHelp(std::uint8_t Id, const std::string& Name, const std::string& Bad)
{
    if (!Bad.empty())
        WriteCmdLineWindow("Error: invalid (Sub)command " + std::string(Quote) + Bad + Quote + ".", logError);
    std::string subs = ListSubCommands(Id);
    if (!subs.empty())
        subs = ";;Sub-commands:;  " + subs;
    const std::uint8_t index = CommandIndexById(Id);
    const std::string help = index != 0 ? CommandTable[index].HelpText : "";
    WriteCmdLineWindow("Help on Command " + std::string(Quote) + Name + Quote + ":;  " + help + subs, logHelp);
}

void TForm1::PrintMemoryRow(std::uint8_t Row)
{
    auto pair = [this, Row](int c) { return MemGrid->GetCell(c, 0) + " = " + MemGrid->GetCell(c, Row); };
    WriteCmdLineWindow(pair(mcRxFreq) + "   " + pair(mcRxMode), logText);
    if (SplitData_Setting->Checked())
        WriteCmdLineWindow(pair(mcTxFreq) + "   " + pair(mcTxMode), logText);
    WriteCmdLineWindow(pair(mcTone) + "   " + pair(mcLockOut) + "   " + pair(mcDescription), logText);
}

void TForm1::Cmdinterpreter(const std::string& Line)
{
    const TypedWords typed = SplitWords(Line);
    const std::vector<std::string>& words = typed.Lower;
    const std::string& fileName = typed.AsTyped[3];
    std::string path;
    std::string bad;
    const std::uint8_t id = ResolveCommandPath(1, words, path, bad);
    const std::string& arg = bad;

    switch (id) {
    case cmdRoot:
        WriteCmdLineWindow("Incorrect command: " + arg +
                               ".;Please use command \"help\" to get a list of valid commands.",
                           logError);
        break;
    case cmdHelp: {
        const std::uint8_t id2 = ResolveCommandPath(2, words, path, bad);
        if (id2 <= cmdHelp) {
            ShowCommandHelp(cmdHelp, "help", bad);
            WriteCmdLineWindow("Available commands are:;  " + ListSubCommands(cmdRoot), logHelp);
        } else {
            ShowCommandHelp(id2, path, bad);
        }
        break;
    }
    case cmdFileClose: CloseMenuClick(this); break;
    case cmdFileOpen:
        // Without a name there is nothing to open: show the syntax instead.
        if (fileName.empty())
            ShowCommandHelp(id, path, bad);
        else
            LoadFile(WithDefaultExtension(fileName));
        break;
    case cmdFileSave:
        if (!fileName.empty())
            FileSaveAction(WithDefaultExtension(fileName), TChannelFormat::Native);
        else if (!CurrentFileName.empty())
            FileSaveAction(CurrentFileName, TChannelFormat::Native);
        else
            WriteCmdLineWindow("No filename specified and no current filename available.", logError);
        break;
    case cmdFileStatus:
        WriteCmdLineWindow(CurrentFileName.empty()
                               ? std::string("No Open file.")
                               : "Current open file = " + std::string(Quote) + CurrentFileName + Quote + ".",
                           logText);
        WriteCmdLineWindow(FileChanged ? "Changes not saved." : "No unsaved changed.", logText);
        break;
    case cmdQuit: ExitMenuClick(this); break;
    case cmdPrintMemory:
        if (PrintTableWithoutPreview(TPrintTable::Memories))
            WriteCmdLineWindow("Memory channels printed", logText);
        break;
    case cmdPrintMenu:
        if (MenuTabSheet->TabVisible()) {
            if (PrintTableWithoutPreview(TPrintTable::Menu))
                WriteCmdLineWindow("Menu items printed", logText);
        } else
            WriteCmdLineWindow("Menu items not supported on current radio!", logError);
        break;
    case cmdSettingsRadio:
        if (arg.empty()) {
            WriteCmdLineWindow(std::string("Radio Type is ") + CurrentRadioRecord().RadioName, logText);
        } else if (arg == "detect") {
            if (const std::uint8_t r = AutoDetectRadioType(); r != 0) {
                CurrentRadio = r;
                ChangeRadioHandle(false);
                ShowStatus("Radio type changed.");
            }
        } else if (arg == "list") {
            for (const TRadioType& radio : RadioTypeTable)
                WriteCmdLineWindow(radio.RadioName, logText);
        } else {
            const std::string name = AnsiUpperCase(arg);
            const std::uint8_t r = FindRadio(rfRadioName, name);
            if (r != 0) {
                CurrentRadio = r;
                ChangeRadioHandle(false);
                ShowStatus("Radio type changed.");
            } else {
                WriteCmdLineWindow(name + " is not a valid radio type!", logError);
            }
        }
        break;
    case cmdRadioSwitch:
        if (words[3].empty())
            ReportPowerSwitch(this);
        else
            ShowCommandHelp(id, path, bad);
        break;
    case cmdSwitchOn: RadioSwitchOnClick(this); break;
    case cmdSwitchOff: RadioSwitchOffClick(this); break;
    case cmdMemoryGet:
        if (words[3] == "channel") {
            int n = 0;
            if (!TryStrToInt(words[4], n) || n < MemEdit->MinValue() || n > MemEdit->MaxValue())
                WriteCmdLineWindow("Incorrect channel nummer!", logError);
            else
                PrintMemoryRow(static_cast<std::uint8_t>(n + 1));
        } else if (words[3] == "all") {
            for (int row = MemEdit->MinValue() + 1; row <= MemEdit->MaxValue() + 1; ++row) {
                PrintMemoryRow(static_cast<std::uint8_t>(row));
                WriteCmdLineWindow(" ", logSeparator);
            }
        }
        break;
    case cmdCommandLineClear: ClearLog(CmdLineWindow); break;
    default: ShowCommandHelp(id, path, bad); break;
    }

    WriteCmdLineWindow("", logText);
    VYXPageControl->SetActivePage(CmdTabSheet);
}

void TForm1::CmdLineEditCBKeyPress(TObject*, char& Key)
{
    if (Key != EnterKey)
        return;
    const std::string line = CmdLineEditCB->Text();
    if (line.empty())
        return;
    if (PendingAnswer == WaitingAnswer) {
        WriteCmdLineWindow(" ;ANS> " + line, logEcho);
        CmdLineEditCB->SetText("");
        PendingAnswer = line;
        return;
    }
    if (CommandRunning) {
        WriteCmdLineWindow("A command is still running; please wait until it ends.", logError);
        return;
    }
    CommandModeScope scope;
    CmdLineEditCB->Items()->Add(line);
    WriteCmdLineWindow(" ;> " + line, logEcho);
    CmdLineEditCB->SetText("");
    try {
        Cmdinterpreter(line);
    } catch (const std::exception& e) {
        // Reported where the user typed, as every message of a typed command is.
        WriteCmdLineWindow(MessageKindCaption(MessageKind::Error) + " - " + e.what(), logError);
        WriteCmdLineWindow("", logText);
    }
}

void TForm1::Cmd_Popup_ClearClick(TObject*) { ClearLog(CmdLineWindow); }

void TForm1::Cmd_Popup_CopyClick(TObject*)
{
    if (CmdLineWindow && CmdLineWindow->HasSelection()) {
        CmdLineWindow->CopySelection();
        OKMessage("Selection copied to clipboard.\rUse the \"paste\" function from another\r"
                  "application to get the selection.",
                  MessageKind::Information);
    } else {
        OKMessage("No selection to copy!", MessageKind::Warning);
    }
}

void TForm1::PublishCmdLineMembers(TClassBuilder<TForm1>& b)
{
    b.Field("CmdLineWindow", &TForm1::CmdLineWindow);
    b.Field("ViewStyle1", &TForm1::ViewStyle1);
    b.Field("VYXFormStore", &TForm1::VYXFormStore);
#define QM_M(Name) b.Method(#Name, &TForm1::Name)
    QM_M(ALL1Click); QM_M(SelectRange1Click); QM_M(CurrentLine1Click);
    QM_M(RX1Click); QM_M(TX1Click); QM_M(Clear1Click); QM_M(Copy1Click);
    QM_M(FormResize); QM_M(FormMouseWheelDown); QM_M(FormMouseWheelUp); QM_M(RXButtonClick);
    QM_M(CmdLineEditCBKeyPress); QM_M(Cmd_Popup_ClearClick); QM_M(Cmd_Popup_CopyClick);
#undef QM_M
}
