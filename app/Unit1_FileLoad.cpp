// Reading channel files: the native format of every version and the csv exports, by one
// line parser that guesses the separator and the kind of each line. The whole file is
// read and parsed first; only a file that will load touches the grids, and whatever did
// not load as written is reported.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "protocol/MemoryRecord.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>
#include <vector>

namespace {

constexpr const char* HeaderText = "[Quillmere Version:";
// The digit after the header says what a memory line holds. A file without a header is a
// comma or semicolon export, whose memory lines hold what today's native lines hold.
constexpr int FirstVersion = 0;      // neither tone nor lock-out, no memory number
constexpr int UnnumberedVersion = 1; // no memory number: the lines fill the memories in order
constexpr int ExportVersion = 9;     // no header (yet)
// A channel file is a few kilobytes; anything far larger is not one.
constexpr std::size_t MaxChannelFileSize = 16u * 1024u * 1024u;
// The columns an export's memory and menu rows have: number to description, number to
// setting.
constexpr std::size_t MemoryColumns = MemColumnCount;
constexpr std::size_t MenuColumns = 3;
// A line's fields, counted from 1, the kind ("MEM" or "MENU") first. A memory line goes on
// with the memory grid's cells in its column order (ChannelParser::MemoryField); a menu line
// with the menu set, the menu's number and its value's code.
constexpr int KindField = 1;
enum TMenuField : int { mfMenuSet = KindField + 1, mfMenuNumber, mfMenuCode };
// The most a line has: a numbered memory line, up to its description.
constexpr int LastField = KindField + 1 + mcDescription;

struct MemWrite {
    int Row = 0;
    std::array<std::optional<std::string>, MemColumnCount> Cells; // unset ones stay
};
struct MenuWrite {
    std::string Number;
    std::string Value;
};
struct StatusNote {
    std::string Text;
};
using LoadStep = std::variant<MemWrite, MenuWrite, StatusNote>;

struct ParsedFile {
    std::vector<LoadStep> Steps; // in file order
    bool HeaderSeen = false;
    char VersionChar = '0';
    // Line numbers of what did not load as written.
    std::vector<std::size_t> Dropped;     // bad memory number, menu of another radio type
    std::vector<std::size_t> MenuDropped; // menu or value the model does not have
    std::vector<std::size_t> Unknown;     // of no known kind
    std::vector<std::size_t> Incomplete;  // missing fields loaded empty
    std::vector<std::size_t> OtherMode;   // a mode the model does not have
    std::vector<std::size_t> OtherTone;   // a tone not in the tone table
    std::vector<std::size_t> OtherLock;   // a memory lock other than TRUE or FALSE
    std::vector<std::size_t> Cut;         // a description longer than a memory holds
    std::vector<std::size_t> Unconverted; // UTF-8 characters the code page has not
    std::vector<std::size_t> Extra;       // cells after the last column
    std::vector<std::size_t> Duplicated;  // a memory number another line has too
    // Memory numbers: loaded as written though outside the model's bands; not loaded,
    // their line refused or not found, so that a send must leave them as they are.
    std::vector<int> OutOfBand;
    std::vector<int> Refused;
    std::size_t ChannelLines = 0; // memory and menu lines that name a memory or menu
    FileStamp Stamp;              // the file as it was read
};

enum class ReadOutcome { Read, CannotOpen, Damaged };

ReadOutcome ReadWholeFile(const std::string& name, std::string& data, std::string& reason, FileStamp& stamp)
{
    // Without O_NONBLOCK, opening a named pipe would wait for a writer.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ReadOutcome::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadOutcome::CannotOpen;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = std::string("The file could not be read to its end (") + std::strerror(errno) + ").";
            ::close(fd);
            return ReadOutcome::Damaged;
        }
        if (n == 0)
            break;
        data.append(buffer, std::size_t(n));
        if (data.size() > MaxChannelFileSize) {
            reason = "The file is far too large to be a channel file.";
            ::close(fd);
            return ReadOutcome::Damaged;
        }
    }
    // Taken once the whole file is read: a save then asks before it overwrites another
    // program's change made after this.
    stamp = StampOfFile(fd);
    ::close(fd);
    if (data.find('\0') != std::string::npos) {
        reason = "The file holds binary data, not channel lines.";
        return ReadOutcome::Damaged;
    }
    return ReadOutcome::Read;
}

// Lines end at CR LF, LF or a lone CR.
std::vector<std::string> SplitLines(const std::string& data)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\r' && data[i] != '\n')
            continue;
        lines.push_back(data.substr(start, i - start));
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < data.size())
        lines.push_back(data.substr(start));
    return lines;
}

char ChooseSeparator(std::string copy)
{
    int best = 0;
    char candidate = ':';
    for (char ch : {';', ':', ','}) {
        int count = 0;
        for (auto pos = copy.find(ch); pos != std::string::npos; pos = copy.find(ch)) {
            ++count;
            copy = copy.substr(pos + 1, 100);
            if (count > best) {
                candidate = ch;
                best = count;
            }
        }
    }
    return candidate;
}

// The cells of an export's line. A cell in double quotes, as a spreadsheet writes one that
// holds the separator or a quote, is read as its content, two quotes in it as one. Any other
// quote is an ordinary character: the program's own exports never quote.
std::vector<std::string> SplitCells(const std::string& line, char sep)
{
    std::vector<std::string> cells;
    for (std::size_t at = 0;;) {
        if (at < line.size() && line[at] == '"') {
            std::string content;
            std::size_t i = at + 1;
            for (; i < line.size(); ++i) {
                if (line[i] != '"')
                    content += line[i];
                else if (i + 1 < line.size() && line[i + 1] == '"')
                    content += line[++i];
                else
                    break;
            }
            // Quoted only when the closing quote ends the cell.
            if (i < line.size() && (i + 1 == line.size() || line[i + 1] == sep)) {
                cells.push_back(std::move(content));
                if (i + 1 == line.size())
                    return cells;
                at = i + 2;
                continue;
            }
        }
        const auto end = line.find(sep, at);
        cells.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            return cells;
        at = end + 1;
    }
}

std::string Joined(std::vector<std::string>::const_iterator from, std::vector<std::string>::const_iterator to,
                   char sep)
{
    std::string text;
    for (auto it = from; it != to; ++it)
        text += (it == from ? "" : std::string(1, sep)) + *it;
    return text;
}

// A plain decimal number ("67", "67.0", "2,0" with a decimal comma); nothing else is.
std::optional<double> DecimalNumber(std::string text)
{
    text = Trim(text);
    if (const auto comma = text.find(','); comma != std::string::npos && text.find('.') == std::string::npos)
        text[comma] = '.';
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text.find_first_of("0123456789") == std::string::npos)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Whether a field names a listed text as a spreadsheet may have rewritten it: in other
// letter case, with blanks around it, or as another way of writing the same number.
bool NamesAsRewritten(const std::string& listed, const std::string& field)
{
    if (CompareIgnoringCase(listed, Trim(field)) == 0)
        return true;
    const auto a = DecimalNumber(listed), b = DecimalNumber(field);
    return a && b && *a == *b;
}

// Which of count listed texts a field names: the first it equals, else the only one it
// names as rewritten; nothing when none, or when several could be meant.
std::optional<int> ListedIndex(int count, const std::function<std::string(int)>& listed, const std::string& field)
{
    for (int i = 0; i < count; ++i)
        if (const std::string text = listed(i); !text.empty() && text == field)
            return i;
    std::optional<int> found;
    for (int i = 0; i < count; ++i) {
        const std::string text = listed(i);
        if (text.empty() || !NamesAsRewritten(text, field))
            continue;
        if (found)
            return std::nullopt;
        found = i;
    }
    return found;
}

// The model's mode a field names; nothing when it names none.
std::optional<std::string> LoadedMode(const std::string& field)
{
    if (field.empty())
        return field;
    const auto i = ListedIndex(
        ModeTableSize,
        [](int i) {
            const TMode& mode = ModeTable[std::size_t(i)];
            return mode.ModeCode.empty() ? std::string() : mode.ModeName;
        },
        field);
    return i ? std::optional(ModeNameByIndex(*i)) : std::nullopt;
}

std::optional<std::string> LoadedTone(const std::string& field)
{
    if (field.empty())
        return field;
    const auto i = ListedIndex(ToneCount, [](int i) { return std::string(ToneTable[std::size_t(i)].ToneText); },
                               field);
    return i ? std::optional(std::string(ToneTable[std::size_t(*i)].ToneText)) : std::nullopt;
}

std::optional<std::string> LoadedLock(const std::string& field)
{
    static const std::string states[] = {"TRUE", "FALSE"};
    if (field.empty())
        return std::string("FALSE");
    const auto i = ListedIndex(2, [](int i) { return states[i]; }, field);
    return i ? std::optional(states[*i]) : std::nullopt;
}

// A frequency cell as the file gives it, whatever the model's bands: a file may be the
// backup of a read, and the radio holds what it says. Nothing when the text is not a
// frequency.
std::optional<std::string> LoadedFrequency(const std::string& text)
{
    if (text.empty())
        return text;
    const std::string hz = FreqTextToHz(text);
    if (hz.find_first_not_of('0') == std::string::npos)
        return std::nullopt;
    return HzToFreqText(hz);
}

class ChannelParser {
public:
    ParsedFile Parse(const std::vector<std::string>& lines)
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            ParseLine(lines[i], i + 1);
        RefuseMemoriesOfSeveralLines();
        RefuseMemoriesWithoutLine();
        RefuseUnfilledRowsOfDamagedLines();
        std::sort(result_.Refused.begin(), result_.Refused.end());
        result_.Refused.erase(std::unique(result_.Refused.begin(), result_.Refused.end()), result_.Refused.end());
        return std::move(result_);
    }

private:
    void ParseLine(const std::string& text, std::size_t lineNo)
    {
        if (text.size() <= 3)
            return;
        const std::size_t headerLength = std::strlen(HeaderText);
        if (text.compare(0, headerLength, HeaderText) == 0) {
            const char c = text.size() > headerLength ? text[headerLength] : '0';
            version_ = (c >= '0' && c <= '9') ? c - '0' : FirstVersion;
            result_.HeaderSeen = true;
            result_.VersionChar = c;
            separator_ = ':';
            return;
        }
        if (!separator_)
            separator_ = ChooseSeparator(text);

        if (version_ == ExportVersion) {
            ExportLine(text, lineNo);
            return;
        }
        // A short line must not take another memory's fields from the line before.
        fields_.fill(std::string());
        std::string line = text;
        int k = KindField;
        for (auto pos = line.find(*separator_); k < LastField && pos != std::string::npos;
             pos = line.find(*separator_)) {
            fields_[std::size_t(k)] = line.substr(0, pos);
            line = line.substr(pos + 1, 100);
            ++k;
        }
        fields_[std::size_t(k)] = line;

        if (Field(KindField) == "MEM")
            MemoryLine(k, lineNo);
        else if (Field(KindField) == "MENU")
            NativeMenuLine(k, lineNo);
        else
            result_.Unknown.push_back(lineNo);
    }

    // A line of a comma or semicolon export, or of such a file a spreadsheet saved.
    void ExportLine(const std::string& text, std::size_t lineNo)
    {
        const char sep = *separator_;
        const std::vector<std::string> cells = SplitCells(text, sep);
        // A spreadsheet writes the empty line between the sections as separators alone.
        if (std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); }))
            return;
        // The title rows ("Mem#", "Menu#") hold the "#" in their first cell; a description
        // may hold one anywhere. A spreadsheet writes every row as wide as the widest: a title
        // wider than the export's says that cells after the last column are not part of it.
        if (const auto hash = cells[0].find('#'); hash != std::string::npos) {
            defaultKind_ = UpperCase(cells[0].substr(0, hash));
            const std::size_t columns = defaultKind_ == "MEM" ? MemoryColumns : MenuColumns;
            widened_ = cells.size() > columns;
            return;
        }
        if (defaultKind_ == "MENU") {
            ExportedMenuLine(cells, lineNo);
            return;
        }
        fields_.fill(std::string());
        fields_[KindField] = defaultKind_;
        const std::size_t known = std::min(cells.size(), MemoryColumns);
        for (std::size_t i = 0; i < known; ++i)
            fields_[std::size_t(MemoryField(TMemColumn(i)))] = cells[i];
        if (cells.size() > MemoryColumns) {
            const auto after = cells.begin() + long(MemoryColumns);
            if (widened_) {
                if (std::any_of(after, cells.end(), [](const std::string& c) { return !c.empty(); }))
                    result_.Extra.push_back(lineNo);
            } else {
                // The program's own export writes a description holding the separator as it is.
                fields_[std::size_t(MemoryField(mcDescription))] = Joined(after - 1, cells.end(), sep);
            }
        }
        if (Field(KindField) == "MEM")
            MemoryLine(KindField + int(known), lineNo);
        else
            result_.Unknown.push_back(lineNo);
    }

    // Two lines that name one memory: which is meant is not known, so neither is taken.
    void RefuseMemoriesOfSeveralLines()
    {
        std::vector<std::size_t> lines;
        std::array<bool, MemoryCount> refused{};
        for (int m = 0; m < MemoryCount; ++m) {
            const auto& named = linesOf_[std::size_t(m)];
            if (named.size() < 2)
                continue;
            refused[std::size_t(m)] = true;
            result_.Refused.push_back(m);
            lines.insert(lines.end(), named.begin(), named.end());
            auto& out = result_.OutOfBand;
            out.erase(std::remove(out.begin(), out.end(), m), out.end());
        }
        if (lines.empty())
            return;
        std::vector<LoadStep> kept;
        for (LoadStep& step : result_.Steps) {
            const auto* w = std::get_if<MemWrite>(&step);
            if (!w || !refused[std::size_t(w->Row - 1)])
                kept.push_back(std::move(step));
        }
        result_.Steps = std::move(kept);
        std::sort(lines.begin(), lines.end());
        // What else the report would say of those lines no longer matters.
        for (auto* list : {&result_.Incomplete, &result_.OtherMode, &result_.OtherTone, &result_.OtherLock,
                           &result_.Cut, &result_.Extra})
            list->erase(std::remove_if(list->begin(), list->end(),
                                       [&](std::size_t l) { return std::binary_search(lines.begin(), lines.end(), l); }),
                        list->end());
        result_.Duplicated = std::move(lines);
    }

    // The program writes every memory into its native file: one without a line was lost
    // from a copy cut short, or renumbered, and its row says nothing of it. Older versions
    // and the exports are not held to it.
    void RefuseMemoriesWithoutLine()
    {
        if (!result_.HeaderSeen || version_ == FirstVersion || version_ == UnnumberedVersion ||
            version_ == ExportVersion)
            return;
        for (int m = 0; m < MemoryCount; ++m)
            if (linesOf_[std::size_t(m)].empty())
                result_.Refused.push_back(m);
    }

    // A line whose memory number or kind is damaged may have been any memory that no line
    // filled. When there are at least as many such lines as such memories (a backup holds
    // a line for every memory), those memories are refused rather than sent as empty.
    void RefuseUnfilledRowsOfDamagedLines()
    {
        std::vector<int> unfilled;
        for (int m = 0; m < MemoryCount; ++m)
            if (!filled_[std::size_t(m)] &&
                std::find(result_.Refused.begin(), result_.Refused.end(), m) == result_.Refused.end())
                unfilled.push_back(m);
        if (unfilled.empty() || unfilled.size() > unplacedMemoryLines_ + result_.Unknown.size())
            return;
        result_.Refused.insert(result_.Refused.end(), unfilled.begin(), unfilled.end());
        std::sort(result_.Refused.begin(), result_.Refused.end());
    }

    const std::string& Field(int n) const { return fields_[std::size_t(n)]; }

    // The field of a memory line that holds a grid column's cell. Lines of the versions
    // without a memory number start at the receive frequency; the first version's lines
    // have neither tone nor lock-out, their description following the transmit mode.
    int MemoryField(TMemColumn column) const
    {
        if (version_ == FirstVersion && column == mcDescription)
            column = mcTone;
        return KindField + (Numbered() ? 1 : 0) + column;
    }
    const std::string& MemoryCell(TMemColumn column) const { return Field(MemoryField(column)); }
    bool Numbered() const { return version_ != FirstVersion && version_ != UnnumberedVersion; }

    void MemoryLine(int reached, std::size_t lineNo)
    {
        ++memoryLines_;
        int row = memoryLines_;
        if (Numbered()) {
            int n = 0;
            row = TryStrToInt(MemoryCell(mcMemory), n) && n >= 0 && n < MemoryCount ? n + 1 : 0;
        }
        if (row < 1 || row > MemoryCount) {
            result_.Steps.push_back(StatusNote{"Error when loading file: Incorrect Memory number found"});
            result_.Dropped.push_back(lineNo);
            ++unplacedMemoryLines_;
            return;
        }
        ++result_.ChannelLines;
        const int memory = row - 1;
        linesOf_[std::size_t(memory)].push_back(lineNo);
        const auto rx = LoadedFrequency(MemoryCell(mcRxFreq));
        const auto tx = LoadedFrequency(MemoryCell(mcTxFreq));
        // The line does not say what the memory holds: the row stays as it was.
        if (reached < MemoryField(mcRxFreq) || !rx || !tx) {
            result_.Refused.push_back(memory);
            return;
        }
        filled_[std::size_t(memory)] = true;
        if (reached < MemoryField(mcDescription))
            result_.Incomplete.push_back(lineNo);
        MemWrite w;
        w.Row = row;
        w.Cells[mcRxFreq] = *rx;
        w.Cells[mcTxFreq] = *tx;
        if ((!rx->empty() && CheckFreqInBands(*rx).empty()) || (!tx->empty() && CheckFreqInBands(*tx).empty()))
            result_.OutOfBand.push_back(memory);
        const auto rxMode = LoadedMode(MemoryCell(mcRxMode)), txMode = LoadedMode(MemoryCell(mcTxMode));
        w.Cells[mcRxMode] = rxMode.value_or(ModeNameByIndex(0));
        w.Cells[mcTxMode] = txMode.value_or(ModeNameByIndex(0));
        if (!rxMode || !txMode)
            result_.OtherMode.push_back(lineNo);
        const std::string& description = MemoryCell(mcDescription);
        if (version_ != FirstVersion) {
            const auto tone = LoadedTone(MemoryCell(mcTone));
            const auto lock = LoadedLock(MemoryCell(mcLockOut));
            w.Cells[mcTone] = tone.value_or(ToneTable[0].ToneText);
            w.Cells[mcLockOut] = lock.value_or("FALSE");
            if (!tone)
                result_.OtherTone.push_back(lineNo);
            if (!lock)
                result_.OtherLock.push_back(lineNo);
        }
        w.Cells[mcDescription] = Copy(description, 1, 20);
        if (*w.Cells[mcDescription] != description)
            result_.Cut.push_back(lineNo);
        result_.Steps.push_back(std::move(w));
    }

    void NativeMenuLine(int reached, std::size_t lineNo)
    {
        ++result_.ChannelLines;
        if (Field(mfMenuSet) != IntToStr(CurrentMenuSet)) {
            result_.Steps.push_back(StatusNote{"Menu option " + Field(mfMenuNumber) +
                                               " ignored. Menu option is for other radio type."});
            result_.Dropped.push_back(lineNo);
            return;
        }
        if (reached < mfMenuCode)
            result_.Incomplete.push_back(lineNo);
        int number = -1;
        const TMenuEntry* entry = TryStrToInt(Field(mfMenuNumber), number) ? ShownEntry(IntToStr(number)) : nullptr;
        int code = -1;
        if (!entry) {
            result_.MenuDropped.push_back(lineNo);
        } else if (Trim(Field(mfMenuCode)).empty()) {
            // A menu never read stays unread: a menu write must not send it.
        } else if (!TryStrToInt(Trim(Field(mfMenuCode)), code) || MenuValueText(*entry, code, CurrentMenuSet).empty()) {
            result_.MenuDropped.push_back(lineNo);
        } else {
            result_.Steps.push_back(MenuWrite{entry->MenuNumber, IntToStr(code)});
        }
    }

    // An exported menu row: number, description and the value's text. A description may
    // hold the separator, so the row is matched against the model's descriptions whole. A
    // row whose description names no menu of this model is not loaded by its number, which
    // here may be another setting altogether (another model's export).
    void ExportedMenuLine(std::vector<std::string> cells, std::size_t lineNo)
    {
        const char sep = *separator_;
        const std::string number = cells[0];
        // A spreadsheet's padding; an unread menu's empty value goes with it.
        while (cells.size() > 1 && cells.back().empty())
            cells.pop_back();
        const auto first = cells.begin() + 1;
        const TMenuEntry* entry = nullptr;
        auto valueAt = cells.end();
        if (MenuTable.ValidIndex(CurrentMenuSet)) {
            for (const TMenuEntry& e : MenuTable[CurrentMenuSet]) {
                if (e.MenuValueKind == '9' || (entry && number != e.MenuNumber))
                    continue;
                for (auto end = first; end != cells.end(); ++end)
                    if (Joined(first, end + 1, sep) == e.MenuDescription) {
                        entry = &e;
                        valueAt = end + 1;
                        break;
                    }
            }
        }
        if (!entry) {
            result_.MenuDropped.push_back(lineNo);
            return;
        }
        ++result_.ChannelLines;
        std::string value = Joined(valueAt, cells.end(), sep);
        if (widened_ && cells.end() - valueAt > 1) {
            value = *valueAt;
            result_.Extra.push_back(lineNo);
        }
        if (value.empty())
            return; // never read: stays unread
        const auto code = ListedIndex(256, [entry](int c) { return MenuValueText(*entry, c, CurrentMenuSet); }, value);
        if (code)
            result_.Steps.push_back(MenuWrite{entry->MenuNumber, IntToStr(*code)});
        else
            result_.MenuDropped.push_back(lineNo);
    }

    // The current model's menu of that number that the menu grid shows.
    static const TMenuEntry* ShownEntry(const std::string& number)
    {
        if (!MenuTable.ValidIndex(CurrentMenuSet) || number.empty())
            return nullptr;
        for (const TMenuEntry& e : MenuTable[CurrentMenuSet])
            if (e.MenuValueKind != '9' && number == e.MenuNumber)
                return &e;
        return nullptr;
    }

    ParsedFile result_;
    int version_ = ExportVersion;
    std::optional<char> separator_;
    std::string defaultKind_ = "MEM";
    int memoryLines_ = 0;
    std::size_t unplacedMemoryLines_ = 0;    // memory lines without a memory number 0..LastMemory
    std::array<bool, MemoryCount> filled_{}; // memories a line filled
    std::array<std::vector<std::size_t>, MemoryCount> linesOf_; // the lines naming each memory
    bool widened_ = false; // the last title is wider than the export's
    std::array<std::string, LastField + 1> fields_; // the current line's, from KindField on
};

// Hides a control for its lifetime, whatever way the scope is left.
class HiddenWhile {
public:
    explicit HiddenWhile(TControl* c) : c_(c), wasVisible_(c->Visible()) { c_->SetVisible(false); }
    ~HiddenWhile() { c_->SetVisible(wasVisible_); }
    HiddenWhile(const HiddenWhile&) = delete;
    HiddenWhile& operator=(const HiddenWhile&) = delete;

private:
    TControl* c_;
    bool wasVisible_;
};

constexpr const char* ChannelFileFilter =
    "Quillmere, (*.vyx)|*.vyx|Comma Separated Value, (*.csv)|*.csv|Dot/Semi Colon Separated "
    "Value, (*.csv)|*.csv|Text file, (*.txt)|*.txt|All Files, (*.*)|*.*";

// The whole file read and parsed; nothing when it cannot be loaded, which is told.
std::optional<ParsedFile> ReadChannelFile(TForm1& form, const std::string& name)
{
    std::string data, reason;
    FileStamp stamp;
    auto refuse = [&] {
        form.OKMessage("Could not load file " + ShownFileName(name) + " !\r" + reason +
                           "\rThe memory channels and menu settings were left as they were.",
                       MessageKind::Error);
    };
    switch (ReadWholeFile(name, data, reason, stamp)) {
    case ReadOutcome::CannotOpen:
        form.OKMessage("Could not load file " + ShownFileName(name) + " !", MessageKind::Error);
        return std::nullopt;
    case ReadOutcome::Damaged: refuse(); return std::nullopt;
    case ReadOutcome::Read: break;
    }
    // Editors that save UTF-8 put a byte-order mark before the first line, or none (as on
    // Linux): high bytes that all form UTF-8 characters are taken for UTF-8, which this code
    // page's own text practically never is. The text is then taken into the code page, and
    // what it cannot hold is named in the report.
    const bool marked = StartsWithByteOrderMark(data);
    if (marked)
        data.erase(0, Utf8ByteOrderMark.size());
    const bool utf8 = marked || IsWideUtf8(data);
    std::vector<std::string> lines = SplitLines(data);
    std::vector<std::size_t> unconverted;
    if (utf8)
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string converted = Utf8ToCp1252(lines[i]);
            if (Cp1252ToUtf8(converted) != lines[i])
                unconverted.push_back(i + 1);
            lines[i] = std::move(converted);
        }
    ParsedFile parsed = ChannelParser().Parse(lines);
    parsed.Unconverted = std::move(unconverted);
    parsed.Stamp = stamp;
    if (parsed.ChannelLines == 0) {
        reason = "It holds no memory channel or menu setting line (a text export cannot be loaded).";
        refuse();
        return std::nullopt;
    }
    return parsed;
}

std::string CountedLines(std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

std::string CountedMemories(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " memory" : " memories");
}

// The first few of a list, for a message: "3, 7, 9, 12, 15 and 4 more".
std::string ShortList(const std::vector<std::string>& items)
{
    constexpr std::size_t shown = 5;
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < shown; ++i)
        text += (i ? ", " : "") + items[i];
    if (items.size() > shown)
        text += " and " + std::to_string(items.size() - shown) + " more";
    return text;
}

// Memories as the radio numbers them: "01, 08".
std::string MemoryList(const std::vector<int>& memories)
{
    std::vector<std::string> items;
    for (int m : memories)
        items.push_back(MemoryRecord::TwoDigits(m));
    return ShortList(items);
}

// Empty when everything loaded as written; else one row per way lines did not, then the
// memories that a send leaves alone or that the edit panel would not take.
std::string LoadReport(const std::string& name, const ParsedFile& parsed)
{
    const std::string radio = CurrentRadioRecord().RadioName;
    const std::pair<const std::vector<std::size_t>&, std::string> rows[] = {
        {parsed.Dropped, "dropped (memory number not 0 to 99, or menu option of another radio type)"},
        {parsed.MenuDropped, "dropped (menu option or value unknown to the " + radio + ")"},
        {parsed.Unknown, "of no known kind, ignored"},
        {parsed.Incomplete, "incomplete, the missing fields left empty"},
        {parsed.OtherMode, "with a mode the " + radio + " does not have, loaded as " + ModeNameByIndex(0)},
        {parsed.OtherTone, "with a tone not in the tone table, loaded as " + std::string(ToneTable[0].ToneText)},
        {parsed.OtherLock, "with a memory lock other than TRUE or FALSE, loaded as FALSE"},
        {parsed.Cut, "with a description longer than 20 characters, cut to 20"},
        {parsed.Unconverted, "with characters the code page cannot hold, loaded as \"?\""},
        {parsed.Extra, "with cells after the Description or Setting column, those cells not loaded"},
        {parsed.Duplicated, "with a memory number another line has too, neither loaded"},
    };
    std::string text;
    for (const auto& [lines, what] : rows)
        if (!lines.empty())
            text += "\r" + CountedLines(lines.size()) + " " + what + ": " + LineNumberList(lines);
    if (!parsed.Refused.empty()) {
        const bool one = parsed.Refused.size() == 1;
        text += "\r" + CountedMemories(parsed.Refused.size()) +
                " not loaded, the line damaged or missing; a send leaves " + (one ? "it" : "them") +
                " as on the radio until " + (one ? "its row is" : "their rows are") +
                " changed: " + MemoryList(parsed.Refused);
    }
    // Loaded as written, but the edit panel would not take them.
    std::string notes;
    if (!parsed.OutOfBand.empty())
        notes += "\r" + CountedMemories(parsed.OutOfBand.size()) + " with a frequency outside the bands of the " +
                 radio + ", loaded as written: " + MemoryList(parsed.OutOfBand);
    if (text.empty() && notes.empty())
        return {};
    return (text.empty() ? ShownFileName(name) + " was loaded."
                         : "Not every line of " + ShownFileName(name) + " was loaded as written.") +
           text + notes;
}

// The panel's normalisation of the current row, except that a loaded transmit half stays:
// with "SplitData" unchecked the panel would make a split memory simplex, and the box only
// chooses what is shown.
void NormaliseLoadedRow(TForm1& form)
{
    TStringGrid* grid = form.MemGrid;
    const int r = grid->Row();
    const std::string tx = grid->GetCell(mcTxFreq, r), txMode = grid->GetCell(mcTxMode, r);
    form.UpdateEditFields();
    form.UpdateMemGrid();
    if (!form.SplitData_Setting->Checked() && !tx.empty() && !grid->GetCell(mcRxFreq, r).empty()) {
        grid->SetCell(mcTxFreq, r, tx);
        grid->SetCell(mcTxMode, r, txMode);
    }
}

void LoadParsedFile(TForm1& form, const std::string& name, const ParsedFile& parsed)
{
    const std::string loaded = parsed.HeaderSeen
                                   ? std::string("File loaded. (VYX version: ") + parsed.VersionChar + ".X.)"
                                   : std::string("None VYX File loaded.");
    {
        HiddenWhile hideMem(form.MemGrid);
        HiddenWhile hideMenu(form.MenuGrid);
        CurrentFileName = name;
        form.FileOnDisk = {name, parsed.Stamp};
        for (const LoadStep& step : parsed.Steps) {
            if (const auto* w = std::get_if<MemWrite>(&step)) {
                for (int c = mcRxFreq; c <= mcDescription; ++c)
                    if (w->Cells[std::size_t(c)])
                        form.MemGrid->SetCell(c, w->Row, *w->Cells[std::size_t(c)]);
            } else if (const auto* m = std::get_if<MenuWrite>(&step)) {
                form.SubRX_Action_Menu(m->Number, m->Value, false);
            } else {
                ShowStatus(std::get<StatusNote>(step).Text);
            }
        }
        NormaliseLoadedRow(form);
        ShowStatus(loaded);
        form.UpdateTaskBarUsed();
    }

    form.SetCaption("Quillmere - " + ShownFileName(ExtractLastPathPart(CurrentFileName)));
    form.MemGrid->SetRow(1);
    form.MemGrid->SetCol(mcRxFreq);
    if (form.MenuGrid->RowCount() > 1) {
        form.MenuGrid->SetRow(1);
        form.MenuGrid->SetCol(mnDescription);
    }
    NormaliseLoadedRow(form);
    // Rows the file filled are sent as they are; those it could not fill are not sent.
    for (const LoadStep& step : parsed.Steps)
        if (const auto* w = std::get_if<MemWrite>(&step))
            form.KeepMemoryWhileRowUnchanged(w->Row - 1, false);
    for (int m : parsed.Refused)
        form.KeepMemoryWhileRowUnchanged(m, true);
    FileChanged = false;
    // Told after the load, so that a later save cannot lose those lines unnoticed. The
    // message box puts its text in the status line; the load's own status stays there.
    if (const std::string report = LoadReport(name, parsed); !report.empty()) {
        form.OKMessage(report, MessageKind::Warning);
        if (UIMode == 'G')
            ShowStatus(loaded);
    }
}

} // namespace

bool TForm1::AskFileChange()
{
    if (!FileChanged)
        return true;
    return YesNoMessage("Changes not saved, continue anyway ?", MessageKind::Warning);
}

void TForm1::BrowseFile(std::string& FileName)
{
    if (!OpenDialog) {
        OpenDialog = new TOpenDialog(this);
        OpenDialog->DefaultExt = "vyx";
        OpenDialog->Filter = ChannelFileFilter;
        OpenDialog->Title = "Open VYX file";
        OpenDialog->Options = TOpenOptions{ofHideReadOnly, ofShowHelp, ofEnableSizing};
    }
    if (!CurrentFileName.empty()) {
        OpenDialog->FileName = ExtractLastPathPart(CurrentFileName);
        OpenDialog->InitialDir = CurrentFileName;
    } else {
        OpenDialog->InitialDir = MemoryFileDir;
    }
    OpenDialog->FilterIndex = 1;
    FileName = OpenDialog->Execute() ? OpenDialog->FileName : std::string();
}

void TForm1::LoadMenuClick(TObject*)
{
    ChangeEnabled(false);
    std::string name;
    BrowseFile(name);
    if (name.empty() || !AskFileChange()) {
        ShowStatus("Load file canceled.");
    } else if (const auto parsed = ReadChannelFile(*this, name)) {
        Clear_Action_Menu(static_cast<std::uint8_t>(MenuEdit->MinValue()),
                          static_cast<std::uint8_t>(MenuEdit->MaxValue()));
        Clear_Action_Mem(0, LastMemory);
        LoadParsedFile(*this, name, *parsed);
    }
    ChangeEnabled(true);
}

void TForm1::LoadFile(const std::string& FileName)
{
    if (const auto parsed = ReadChannelFile(*this, FileName))
        LoadParsedFile(*this, FileName, *parsed);
}

std::string LineNumberList(const std::vector<std::size_t>& Lines)
{
    std::vector<std::string> items;
    for (std::size_t line : Lines)
        items.push_back(std::to_string(line));
    return ShortList(items);
}

std::string ShownFileName(const std::string& Name)
{
    return IsWideUtf8(Name) ? Utf8ToCp1252(Name) : Name;
}
