#pragma once
// The application's fixed knowledge (radio models, tones, modes, menus, PF keys, the
// command tree, serial-setting names) and the run-time state shared by the main window's
// parts: the current model, the link state and the flags of a running action.
#include "protocol/MemoryRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One pending overlapped write of the serial port; owned by the serial port unit.
struct AsyncRecord;

// A constant table addressed from 1, as the program counts its models and commands.
// Index 0 means "no selection" and never reaches a record: it raises EListError like
// every index outside 1..N.
template <class T, std::size_t N> struct TOneBasedTable {
    std::array<T, N> Items;

    const T& operator[](int index) const;
    static constexpr int Count() { return int(N); }
    static constexpr bool ValidIndex(int index) { return index >= 1 && index <= int(N); }
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }
};

[[noreturn]] void RaiseTableIndexError(int index, int count);

template <class T, std::size_t N> const T& TOneBasedTable<T, N>::operator[](int index) const
{
    if (!ValidIndex(index))
        RaiseTableIndexError(index, int(N));
    return Items[std::size_t(index - 1)];
}

// ---- Radio types --------------------------------------------------------------------

constexpr int RadioTypeCount = 18;
constexpr int RadioFieldCount = 13;

// Field numbers of a radio-type record, as FindRadioByField counts them (minus one).
enum TRadioField : int {
    rfRadioName = 0,
    rfFreqRanges,
    rfRadioNotes,
    rfTestedBy,
    rfPictureNumber,
    rfMemWriteFiller,
    rfMemClearTail,
    rfRadioID,
    rfNoSplitData,
    rfMenuSet,
    rfPowerSwitch,
    rfMemSelectMethod,
    rfModeList,
};

// A band a model takes, in Hz, bounds included.
struct TFreqBand {
    std::int64_t Low;
    std::int64_t High;
};

// How a model switches to a memory on a double click in the grid.
enum class TMemSelect { None, WithReadBack, WithoutCheck };

// One record per model, kept as text the way the model data are written; the typed
// accessors below are how the program reads it.
struct TRadioType {
    const char* RadioName;
    const char* FreqRanges;      // "low:high" pairs in Hz joined by ","; bounds included
    const char* RadioNotes;      // ";" stands for a line break
    const char* TestedBy;
    const char* PictureNumber;   // "0".."10"
    const char* MemWriteFiller;  // one character after "MW0"/"MW1"
    const char* MemClearTail;    // 4 characters ending a write without tone data
    const char* RadioID;         // 3-character answer to "ID;"
    const char* NoSplitData;     // "1": no transmit half
    const char* MenuSet;         // "0": none, "1".."3": set of MenuTable
    const char* PowerSwitch;     // "1": accepts "PS1;"/"PS0;"
    const char* MemSelectMethod; // "0" unsupported, "1" with read-back, "2" without check
    const char* ModeList;        // "name:code" pairs joined by ","

    // Field n (0..12); an empty text for any other n.
    std::string Field(int n) const;

    bool HasSplitData() const;
    bool HasPowerSwitch() const;
    // The model's set of MenuTable, 1..MenuSetCount; 0 when it has no menu settings.
    int MenuSetNumber() const;
    TMemSelect MemSelect() const;
    std::vector<TFreqBand> Bands() const;
};

extern const TOneBasedTable<TRadioType, RadioTypeCount> RadioTypeTable;

// The record of CurrentRadio; EListError when CurrentRadio selects none.
const TRadioType& CurrentRadioRecord();

// ---- The memory grid ------------------------------------------------------------------

// Row r shows memory r - 1, rows 1..MemoryCount; row 0 holds the titles.
using MemoryRecord::LastMemory;
using MemoryRecord::MemoryCount;

// The memory grid's columns.
enum TMemColumn : int {
    mcMemory,
    mcRxFreq,
    mcRxMode,
    mcTxFreq,
    mcTxMode,
    mcTone,
    mcLockOut,
    mcDescription,
};
constexpr int MemColumnCount = mcDescription + 1;

// ---- The menu grid --------------------------------------------------------------------

// The menu grid's columns; row 0 holds the titles. The last two are bookkeeping, hidden.
enum TMenuColumn : int {
    mnNumber,
    mnDescription,
    mnValue,    // the value as the user reads it
    mnCode,     // the value's code, as the radio sends and takes it
    mnEntry,    // index of the row's entry in the current menu set
    mnReceived, // MenuReceived once a menu read heard the menu, else MenuAwaited or empty
};
constexpr const char* MenuReceived = "1";
constexpr const char* MenuAwaited = "0";

// The tables the program prints, in the order of the main window's pages.
enum class TPrintTable : std::uint8_t { Memories, Menu };

// ---- Tones and modes ----------------------------------------------------------------

constexpr int ToneCount = 40;
struct TTone {
    const char* ToneCode; // two digits, as in the radio's memory commands
    const char* ToneText;
};
extern const std::array<TTone, ToneCount> ToneTable;

constexpr int ModeTableSize = 8;
struct TMode {
    std::string ModeName;
    std::string ModeCode;
};
// Rebuilt from the current model's ModeList; unused entries stay empty.
extern std::array<TMode, ModeTableSize> ModeTable;

// Empties ModeTable and fills it from a "name:code,..." list, entries 0 upward, at most 8.
// An item without a name or a code is skipped, so the filled entries are always 0..count-1
// and match the mode selectors item for item.
void RebuildModeTable(const std::string& modeList);
int ModeCount();                      // filled entries
std::vector<std::string> ModeNames(); // names of the filled entries, in order

// ---- Menus, PF keys, commands -------------------------------------------------------

constexpr int MenuSetCount = 3;
constexpr int MenuEntryCount = 69;
struct TMenuEntry {
    const char* MenuNumber;      // "0".."68"; empty in an empty slot
    const char* MenuDescription;
    const char* MenuValueList;   // coded by the kind
    char MenuValueKind;          // '0' list, '1' range, '2' tone, '3' PF key, '9' not shown
};
using TMenuSet = std::array<TMenuEntry, MenuEntryCount>;
extern const TOneBasedTable<TMenuSet, MenuSetCount> MenuTable;

constexpr int PFKeyBlockCount = 3;
constexpr int PFKeyEntryCount = 25;
struct TPFKey {
    char PFKind;        // 'M' range of menus, 'N' named function, ' ' empty entry
    const char* PFCode; // function code; for 'M' the code of the range's first menu
    const char* PFName; // for 'N' the name; for 'M' "low~high" menu numbers
};
using TPFKeyBlock = std::array<TPFKey, PFKeyEntryCount>;
extern const std::array<TPFKeyBlock, PFKeyBlockCount> PFKeyTable;

constexpr int CommandCount = 25;
// The ids of the command tree, by the words that reach them.
enum TCommandId : std::uint8_t {
    cmdNone = 0,
    cmdRoot = 1, // the top level, and where a line whose first word is no command stops
    cmdHelp = 2,
    cmdFile = 3,
    cmdFileClose = 10,
    cmdFileOpen = 11,
    cmdFileSave = 12,
    cmdFilePrint = 13,
    cmdFileStatus = 14,
    cmdQuit = 15, // "quit" and "file exit"
    cmdPrintMemory = 16,
    cmdPrintMenu = 17,
    cmdSettings = 20,
    cmdSettingsRadio = 21,
    cmdRadio = 30,
    cmdRadioSwitch = 31,
    cmdSwitchOn = 32,
    cmdSwitchOff = 33,
    cmdMemory = 40,
    cmdMemoryGet = 41,
    cmdMemoryRx = 42,
    cmdMemoryTx = 43,
    cmdMemorySet = 44,
    cmdMemoryClear = 45,
    cmdCommandLine = 50,
    cmdCommandLineClear = 51,
};
struct TMainCmd {
    TCommandId ParentId;
    const char* CmdName; // lower case, compared exactly
    TCommandId CmdId;
    const char* HelpText; // ";" stands for a line break
};
extern const TOneBasedTable<TMainCmd, CommandCount> CommandTable;

// ---- Serial-setting names -----------------------------------------------------------
// Each list comes with the ordinal of the serial port's enumeration value per index.

extern const std::array<const char*, 15> BaudRateNames;
extern const std::array<int, 15> BaudRateValues; // br110..br256000 (brCustom is 0)
extern const std::array<const char*, 3> StopBitsNames;
extern const std::array<int, 3> StopBitsValues;  // "1.5" is the enumeration's middle value
extern const std::array<const char*, 4> DataBitsNames;
extern const std::array<int, 4> DataBitsValues;
extern const std::array<const char*, 5> ParityNames;
extern const std::array<int, 5> ParityValues;
extern const std::array<const char*, 4> FlowControlNames;
extern const std::array<int, 4> FlowControlValues;
extern const std::array<const char*, 3> DTRFlowNames;
extern const std::array<int, 3> DTRFlowValues;
extern const std::array<const char*, 4> RTSFlowNames;
extern const std::array<int, 4> RTSFlowValues;

// The text of the entry whose value is the given ordinal; the text of index 0 when none.
std::string SerialNameOfValue(std::span<const char* const> names, std::span<const int> values,
                              int ordinal);
// The value of the last entry whose text equals the given text exactly; index 0's when none.
int SerialValueOfName(std::span<const char* const> names, std::span<const int> values,
                      const std::string& text);

// ---- Lookups (exact, case-sensitive, last match wins) -------------------------------

// Index 1..18 of the last record whose field equals the text; 0 when none.
std::uint8_t FindRadio(TRadioField field, const std::string& text);
// The same with the field counted from 1; 0 when n is not 1..13.
std::uint8_t FindRadioByField(const std::string& text, int n);
// Filled entries only: an empty slot never matches, so an empty name gives 0 / "0".
std::uint8_t ModeIndexByName(const std::string& name);
std::string ModeNameByIndex(int index);   // entry 0's name for an empty or outside index
std::string ModeNameByCode(const std::string& code); // entry 0's name when none matches
std::string ModeCodeByName(const std::string& name); // "0" when none matches
std::uint8_t ToneIndexByText(const std::string& text);

// ---- Run-time state -----------------------------------------------------------------

extern std::uint8_t CurrentRadio;   // 1-based index into RadioTypeTable
extern std::uint8_t CurrentMenuSet; // the applied model's MenuSetNumber()
extern char UIMode;                 // 'G' window, 'C' typed command running
extern std::string PendingAnswer;   // "", "WaIt" while a question waits, or the answer
extern bool RadioBusy;
extern bool StopRequest;
extern bool FileChanged;
// Set once the main window may close: a setting not saved from then on is lost.
extern bool ProgramEnding;
extern std::string CurrentFileName;
extern bool MenuReadActive;

// Link state.
extern std::string ReceiveBuffer;
extern bool AnswerComplete;
extern bool TxEmpty;
extern AsyncRecord* PendingWrite;
extern int RxDelay;
extern int TxDelay;

// How often an exchange with the radio is tried before it counts as failed: a controlled
// command or question, a memory write, the read-back of a write.
constexpr int RadioTries = 5;

// Waits until the tick counter has passed now + milliseconds, processing the window's
// messages meanwhile (the port's events arrive that way); blocks between events.
void Delay(unsigned milliseconds);
// The text without the first occurrence of the two-character token; unchanged when absent.
std::string DeleteSubstring(const std::string& token, const std::string& text);

// Stored options.
extern std::string MemoryFileDir;
extern std::string AutoStartMem;
extern bool AutoVink;
extern bool DisableSplashScreen;
extern std::uint8_t AutoLoadOption;
extern std::string CommandLineFile;
extern bool FileAssociated;

constexpr int DefaultRadio = 3;
constexpr int DefaultRxDelay = 600;
constexpr int DefaultTxDelay = 100;
constexpr const char* WaitingAnswer = "WaIt";

// Module start-up and clean-up: start-up sets every variable to its default, clean-up
// releases the texts and empties the mode table. PendingWrite is not disposed here: its
// owner is the link, which disposes of it before the port goes.
void GlobalsInitialization();
void GlobalsFinalization();
