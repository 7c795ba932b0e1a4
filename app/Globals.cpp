// Lookups on the built-in tables, the mode table and the shared run-time state, and the
// link's wait and answer cleaning.
#include "app/Globals.h"

#include "app/FreqText.h"

#include "framework/SysUtils.h"
#include "platform/EventLoop.h"

std::uint8_t CurrentRadio = DefaultRadio;
std::uint8_t CurrentMenuSet = 0;
char UIMode = 'G';
std::string PendingAnswer;
bool RadioBusy = false;
bool StopRequest = false;
bool FileChanged = false;
bool ProgramEnding = false;
std::string CurrentFileName;
bool MenuReadActive = false;

std::string ReceiveBuffer;
bool AnswerComplete = false;
bool TxEmpty = false;
AsyncRecord* PendingWrite = nullptr;
int RxDelay = DefaultRxDelay;
int TxDelay = DefaultTxDelay;

std::string MemoryFileDir;
std::string AutoStartMem;
bool AutoVink = false;
bool DisableSplashScreen = false;
std::uint8_t AutoLoadOption = 1;
std::string CommandLineFile;
bool FileAssociated = false;

std::array<TMode, ModeTableSize> ModeTable;

void RaiseTableIndexError(int index, int count)
{
    throw EListError(Format("Table index out of bounds (%d, 1..%d)", {index, count}));
}

std::string TRadioType::Field(int n) const
{
    static constexpr const char* TRadioType::*Fields[RadioFieldCount] = {
        &TRadioType::RadioName,     &TRadioType::FreqRanges,     &TRadioType::RadioNotes,
        &TRadioType::TestedBy,      &TRadioType::PictureNumber,  &TRadioType::MemWriteFiller,
        &TRadioType::MemClearTail,  &TRadioType::RadioID,        &TRadioType::NoSplitData,
        &TRadioType::MenuSet,       &TRadioType::PowerSwitch,    &TRadioType::MemSelectMethod,
        &TRadioType::ModeList,
    };
    if (n < 0 || n >= RadioFieldCount)
        return {};
    return this->*Fields[n];
}

bool TRadioType::HasSplitData() const { return std::string(NoSplitData) == "0"; }

bool TRadioType::HasPowerSwitch() const { return std::string(PowerSwitch) == "1"; }

int TRadioType::MenuSetNumber() const
{
    const int n = StrToIntDef(MenuSet, 0);
    return MenuTable.ValidIndex(n) ? n : 0;
}

TMemSelect TRadioType::MemSelect() const
{
    const std::string method = MemSelectMethod;
    if (method == "1")
        return TMemSelect::WithReadBack;
    if (method == "2")
        return TMemSelect::WithoutCheck;
    return TMemSelect::None;
}

std::vector<TFreqBand> TRadioType::Bands() const { return ParseBands(FreqRanges); }

const TRadioType& CurrentRadioRecord()
{
    return RadioTypeTable[CurrentRadio];
}

void RebuildModeTable(const std::string& modeList)
{
    ModeTable.fill(TMode{});
    std::string rest = modeList + ",";
    int filled = 0;
    while (rest.size() >= 2 && filled < ModeTableSize) {
        int comma = Pos(",", rest);
        std::string item = Copy(rest, 1, comma - 1);
        rest = Copy(rest, comma + 1, int(rest.size()));
        int colon = Pos(":", item);
        if (colon == 0)
            continue;
        std::string name = Copy(item, 1, colon - 1);
        std::string code = Copy(item, colon + 1, int(item.size()));
        // An entry without a name or a code could not be chosen or sent.
        if (name.empty() || code.empty())
            continue;
        ModeTable[std::size_t(filled)] = TMode{name, code};
        ++filled;
    }
}

namespace {
bool Filled(const TMode& m)
{
    return !m.ModeName.empty() && !m.ModeCode.empty();
}
} // namespace

int ModeCount()
{
    int n = 0;
    for (const TMode& m : ModeTable)
        if (Filled(m))
            ++n;
    return n;
}

std::vector<std::string> ModeNames()
{
    std::vector<std::string> names;
    for (const TMode& m : ModeTable)
        if (Filled(m))
            names.push_back(m.ModeName);
    return names;
}

std::uint8_t FindRadio(TRadioField field, const std::string& text)
{
    std::uint8_t found = 0;
    for (int i = 1; i <= RadioTypeCount; ++i)
        if (RadioTypeTable[i].Field(field) == text)
            found = std::uint8_t(i);
    return found;
}

std::uint8_t FindRadioByField(const std::string& text, int n)
{
    if (n < 1 || n > RadioFieldCount)
        return 0;
    return FindRadio(static_cast<TRadioField>(n - 1), text);
}

std::uint8_t ModeIndexByName(const std::string& name)
{
    std::uint8_t found = 0;
    for (int i = 0; i < ModeTableSize; ++i)
        if (Filled(ModeTable[std::size_t(i)]) && ModeTable[std::size_t(i)].ModeName == name)
            found = std::uint8_t(i);
    return found;
}

std::string ModeNameByIndex(int index)
{
    if (index >= 0 && index < ModeTableSize && Filled(ModeTable[std::size_t(index)]))
        return ModeTable[std::size_t(index)].ModeName;
    return ModeTable[0].ModeName;
}

std::string ModeNameByCode(const std::string& code)
{
    std::string name = ModeTable[0].ModeName;
    for (const TMode& m : ModeTable)
        if (Filled(m) && m.ModeCode == code)
            name = m.ModeName;
    return name;
}

std::string ModeCodeByName(const std::string& name)
{
    std::string code = "0";
    for (const TMode& m : ModeTable)
        if (Filled(m) && m.ModeName == name)
            code = m.ModeCode;
    return code;
}

std::uint8_t ToneIndexByText(const std::string& text)
{
    std::uint8_t found = 0;
    for (int i = 0; i < ToneCount; ++i)
        if (text == ToneTable[std::size_t(i)].ToneText)
            found = std::uint8_t(i);
    return found;
}

std::string SerialNameOfValue(std::span<const char* const> names, std::span<const int> values,
                              int ordinal)
{
    if (names.empty())
        return {};
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        if (values[i] == ordinal)
            return names[i];
    return names[0];
}

int SerialValueOfName(std::span<const char* const> names, std::span<const int> values,
                      const std::string& text)
{
    if (values.empty())
        return 0;
    std::size_t found = 0;
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        if (text == names[i])
            found = i;
    return values[found];
}

void GlobalsInitialization()
{
    // The main window's radio handlers are published before any window is read.
    CurrentRadio = DefaultRadio;
    CurrentMenuSet = 0;
    UIMode = 'G';
    PendingAnswer.clear();
    RadioBusy = false;
    StopRequest = false;
    FileChanged = false;
    ProgramEnding = false;
    CurrentFileName.clear();
    MenuReadActive = false;
    ReceiveBuffer.clear();
    AnswerComplete = false;
    TxEmpty = false;
    PendingWrite = nullptr;
    RxDelay = DefaultRxDelay;
    TxDelay = DefaultTxDelay;
    MemoryFileDir.clear();
    AutoStartMem.clear();
    AutoVink = false;
    DisableSplashScreen = false;
    AutoLoadOption = 1;
    CommandLineFile.clear();
    FileAssociated = false;
    ModeTable.fill(TMode{});
}

void GlobalsFinalization()
{
    for (std::string* s : {&PendingAnswer, &CurrentFileName, &ReceiveBuffer, &MemoryFileDir,
                           &AutoStartMem, &CommandLineFile}) {
        s->clear();
        s->shrink_to_fit();
    }
    ModeTable.fill(TMode{});
}

void Delay(unsigned milliseconds)
{
    DelayWithMessages(milliseconds);
}

std::string DeleteSubstring(const std::string& token, const std::string& text)
{
    const int at = Pos(token, text);
    if (at == 0)
        return text;
    return Copy(text, 1, at - 1) + Copy(text, at + 2, 255);
}
