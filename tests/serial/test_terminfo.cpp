// The escape texts checked against the system's terminal database. Where the interpreters
// deliberately differ from the database, the test's name says so.
#include <gtest/gtest.h>

#include <set>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "serial/SerialEscape.h"

// The terminal database header defines a macro for every capability name; it comes last.
#include <term.h>

static void PrintTo(TEscapeCode code, std::ostream* os)
{
    *os << QmEnumDesc(static_cast<TEscapeCode*>(nullptr)).Names.at(static_cast<size_t>(code));
}

namespace {

using ParamTexts = std::vector<std::string>;

struct Parsed {
    TEscapeCode code;
    ParamTexts params;
    bool operator==(const Parsed&) const = default;
};

void PrintTo(const Parsed& p, std::ostream* os)
{
    PrintTo(p.code, os);
    for (const auto& s : p.params)
        *os << " '" << s << "'";
}

// Every finished sequence in the text, in order; plain characters are left out.
std::vector<Parsed> ParseAll(TEscapeParser& parser, const std::string& text)
{
    std::vector<Parsed> out;
    for (char ch : text) {
        if (parser.FeedChar(ch) == frCodeReady) {
            Parsed p{parser.LastCode, {}};
            for (int i = 0; i < parser.ParamList->Count(); ++i)
                p.params.push_back(parser.ParamList->Strings(i));
            parser.ParamList->Clear();
            out.push_back(p);
        }
    }
    return out;
}

std::string StripPadding(const char* s)
{
    std::string out;
    for (const char* p = s; *p != 0; ++p) {
        if (p[0] == '$' && p[1] == '<') {
            const char* end = p;
            while (*end != 0 && *end != '>')
                ++end;
            if (*end == '>') {
                p = end;
                continue;
            }
        }
        out += *p;
    }
    return out;
}

// One loaded database entry; capabilities are read with it made current.
class TermEntry {
public:
    explicit TermEntry(const char* name)
    {
        int err = 0;
        TERMINAL* previous = cur_term;
        if (setupterm(const_cast<char*>(name), STDOUT_FILENO, &err) == 0)
            term_ = cur_term;
        set_curterm(previous);
    }
    bool Loaded() const { return term_ != nullptr; }

    std::string Str(const char* cap) const
    {
        set_curterm(term_);
        const char* s = tigetstr(const_cast<char*>(cap));
        if (s == nullptr || s == reinterpret_cast<const char*>(-1)) {
            ADD_FAILURE() << "no string capability " << cap;
            return "";
        }
        return StripPadding(s);
    }
    std::string Param(const char* cap, long a, long b = 0) const
    {
        const std::string pattern = Str(cap);
        if (pattern.empty())
            return "";
        const char* s = tiparm(pattern.c_str(), a, b);
        return s ? std::string(s) : std::string();
    }

private:
    TERMINAL* term_ = nullptr;
};

const TermEntry& Vt100()
{
    static const TermEntry e("vt100");
    return e;
}
const TermEntry& Vt52()
{
    static const TermEntry e("vt52");
    return e;
}
const TermEntry& Ansi()
{
    static const TermEntry e("ansi");
    return e;
}

std::string Seq(TEscapeParser& p, TEscapeCode code, ParamTexts params = {})
{
    TStringList list;
    for (const auto& s : params)
        list.Add(s);
    return p.SequenceFor(code, &list);
}

class TerminfoVT100 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Vt100().Loaded());
        ASSERT_TRUE(Ansi().Loaded());
    }
    TVT100Parser p;
};

TEST_F(TerminfoVT100, SingleStepCursorMovesAndHome)
{
    EXPECT_EQ(Seq(p, ecCursorUp), Vt100().Str("cuu1"));
    EXPECT_EQ(Seq(p, ecCursorRight), Vt100().Str("cuf1"));
    EXPECT_EQ(Seq(p, ecCursorHome), Vt100().Str("home"));
    EXPECT_EQ(ParseAll(p, Vt100().Str("home")), (std::vector<Parsed>{{ecCursorHome, {}}}));
}

TEST_F(TerminfoVT100, CountedCursorMovesParse)
{
    const std::pair<const char*, TEscapeCode> caps[] = {
        {"cuu", ecCursorUp}, {"cud", ecCursorDown}, {"cuf", ecCursorRight}, {"cub", ecCursorLeft}};
    for (const auto& [cap, code] : caps)
        for (int n : {1, 2, 9, 23, 79, 255}) {
            const auto parsed = ParseAll(p, Vt100().Param(cap, n));
            ASSERT_EQ(parsed.size(), 1u) << cap;
            EXPECT_EQ(parsed[0].code, code) << cap;
            EXPECT_EQ(parsed[0].params, ParamTexts{std::to_string(n)}) << cap;
        }
}

TEST_F(TerminfoVT100, CursorAddressIsSentWithFinalFWhereTerminfoUsesH)
{
    for (int row = 0; row < 24; ++row)
        for (int col = 0; col < 80; ++col) {
            std::string cup = Vt100().Param("cup", row, col);
            const ParamTexts numbers{std::to_string(row + 1), std::to_string(col + 1)};
            // The database's H form is read as home with the address as its parameters.
            ASSERT_EQ(ParseAll(p, cup), (std::vector<Parsed>{{ecCursorHome, numbers}}));
            ASSERT_EQ(cup.back(), 'H');
            cup.back() = 'f';
            ASSERT_EQ(Seq(p, ecCursorMove, numbers), cup);
        }
}

TEST_F(TerminfoVT100, EraseLineAndScreen)
{
    EXPECT_EQ(Seq(p, ecEraseLineFrom), Vt100().Str("el"));
    EXPECT_EQ(Seq(p, ecEraseScreenFrom), Vt100().Str("ed"));
    EXPECT_EQ(ParseAll(p, Vt100().Str("el")), (std::vector<Parsed>{{ecEraseLineFrom, {}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("ed")), (std::vector<Parsed>{{ecEraseScreenFrom, {}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("clear")),
              (std::vector<Parsed>{{ecCursorHome, {}}, {ecEraseScreenFrom, {}}}));
}

TEST_F(TerminfoVT100, EraseToLineStartIsUnknownInThisDialect)
{
    EXPECT_EQ(ParseAll(p, Vt100().Str("el1")), (std::vector<Parsed>{{ecUnknown, {}}}));
}

TEST_F(TerminfoVT100, TabSetAndClearAll)
{
    EXPECT_EQ(Seq(p, ecSetTab), Vt100().Str("hts"));
    EXPECT_EQ(Seq(p, ecClearAllTabs), Vt100().Str("tbc"));
    EXPECT_EQ(ParseAll(p, Vt100().Str("hts")), (std::vector<Parsed>{{ecSetTab, {}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("tbc")), (std::vector<Parsed>{{ecClearAllTabs, {}}}));
}

TEST_F(TerminfoVT100, SaveAndRestoreCaret)
{
    EXPECT_EQ(Seq(p, ecSaveCaretAndAttr), Vt100().Str("sc"));
    EXPECT_EQ(Seq(p, ecRestoreCaretAndAttr), Vt100().Str("rc"));
    EXPECT_EQ(ParseAll(p, Vt100().Str("sc")), (std::vector<Parsed>{{ecSaveCaretAndAttr, {}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("rc")), (std::vector<Parsed>{{ecRestoreCaretAndAttr, {}}}));
}

TEST_F(TerminfoVT100, CursorPositionQueryAndReport)
{
    EXPECT_EQ(Seq(p, ecQueryCursorPos), Vt100().Str("u7"));
    EXPECT_EQ(ParseAll(p, Vt100().Str("u7")), (std::vector<Parsed>{{ecQueryCursorPos, {}}}));
    // The report pattern takes its numbers 0-based and adds one; on the diagonal the
    // order in which the library hands them over does not matter.
    for (int n = 1; n <= 24; ++n)
        EXPECT_EQ(Seq(p, ecReportCursorPos, {std::to_string(n), std::to_string(n)}),
                  Vt100().Param("u6", n - 1, n - 1));
    const auto parsed = ParseAll(p, Vt100().Param("u6", 4, 9));
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed[0].code, ecReportCursorPos);
    EXPECT_EQ(std::multiset<std::string>(parsed[0].params.begin(), parsed[0].params.end()),
              (std::multiset<std::string>{"5", "10"}));
}

TEST_F(TerminfoVT100, ArrowKeysInApplicationMode)
{
    const std::pair<const char*, TEscapeCode> keys[] = {{"kcuu1", ecAppCursorUp},
                                                        {"kcud1", ecAppCursorDown},
                                                        {"kcuf1", ecAppCursorRight},
                                                        {"kcub1", ecAppCursorLeft}};
    for (const auto& [cap, code] : keys) {
        EXPECT_EQ(Seq(p, code), Vt100().Str(cap)) << cap;
        EXPECT_EQ(ParseAll(p, Vt100().Str(cap)), (std::vector<Parsed>{{code, {}}})) << cap;
    }
    // Keypad transmit mode is what switches the cursor keys to these codes.
    const auto on = ParseAll(p, Vt100().Str("smkx"));
    ASSERT_FALSE(on.empty());
    EXPECT_EQ(on[0], (Parsed{ecSetMode, {"?1"}}));
    const auto off = ParseAll(p, Vt100().Str("rmkx"));
    ASSERT_FALSE(off.empty());
    EXPECT_EQ(off[0], (Parsed{ecResetMode, {"?1"}}));
}

TEST_F(TerminfoVT100, ArrowKeysInNormalMode)
{
    const std::pair<const char*, TEscapeCode> keys[] = {
        {"kcuu1", ecCursorUp}, {"kcud1", ecCursorDown}, {"kcuf1", ecCursorRight}, {"kcub1", ecCursorLeft}};
    for (const auto& [cap, code] : keys) {
        EXPECT_EQ(Seq(p, code), Ansi().Str(cap)) << cap;
        EXPECT_EQ(ParseAll(p, Ansi().Str(cap)), (std::vector<Parsed>{{code, {}}})) << cap;
    }
}

TEST_F(TerminfoVT100, IdentifyRequestIsCsiCWhereTerminfoHasEscZ)
{
    EXPECT_EQ(ParseAll(p, Vt100().Str("u9")), (std::vector<Parsed>{{ecUnknown, {}}}));
    EXPECT_EQ(Seq(p, ecIdentify), "\x1b[c");
}

TEST_F(TerminfoVT100, ReverseIndexIsUnknownInThisDialect)
{
    EXPECT_EQ(ParseAll(p, Vt100().Str("ri")), (std::vector<Parsed>{{ecUnknown, {}}}));
    EXPECT_EQ(Seq(p, ecReverseLineFeed), "");
}

TEST_F(TerminfoVT100, AttributeSequencesCarryTheirNumbers)
{
    EXPECT_EQ(ParseAll(p, Vt100().Str("bold")), (std::vector<Parsed>{{ecAttributes, {"1"}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("rev")), (std::vector<Parsed>{{ecAttributes, {"7"}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("smul")), (std::vector<Parsed>{{ecAttributes, {"4"}}}));
    EXPECT_EQ(ParseAll(p, Vt100().Str("sgr0")), (std::vector<Parsed>{{ecAttributes, {}}}));
}

class TerminfoVT52 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Vt52().Loaded()); }
    TVT52Parser p;
};

TEST_F(TerminfoVT52, CursorMovesHomeEraseAndReverseLineFeed)
{
    const std::pair<const char*, TEscapeCode> caps[] = {
        {"cuu1", ecCursorUp},     {"cud1", ecCursorDown},     {"cuf1", ecCursorRight},
        {"cub1", ecCursorLeft},   {"home", ecCursorHome},     {"ed", ecEraseScreenFrom},
        {"el", ecEraseLineFrom},  {"ri", ecReverseLineFeed},  {"u9", ecIdentify}};
    for (const auto& [cap, code] : caps) {
        EXPECT_EQ(Seq(p, code), Vt52().Str(cap)) << cap;
        EXPECT_EQ(ParseAll(p, Vt52().Str(cap)), (std::vector<Parsed>{{code, {}}})) << cap;
    }
    EXPECT_EQ(ParseAll(p, Vt52().Str("clear")),
              (std::vector<Parsed>{{ecCursorHome, {}}, {ecEraseScreenFrom, {}}}));
}

TEST_F(TerminfoVT52, ArrowKeysAreTheCursorMoves)
{
    const std::pair<const char*, TEscapeCode> keys[] = {
        {"kcuu1", ecCursorUp}, {"kcud1", ecCursorDown}, {"kcuf1", ecCursorRight}, {"kcub1", ecCursorLeft}};
    for (const auto& [cap, code] : keys)
        EXPECT_EQ(Seq(p, code), Vt52().Str(cap)) << cap;
}

TEST_F(TerminfoVT52, ApplicationModeArrowsHaveNoTextInThisDialect)
{
    for (TEscapeCode code : {ecAppCursorUp, ecAppCursorDown, ecAppCursorRight, ecAppCursorLeft})
        EXPECT_EQ(Seq(p, code), "");
}

TEST_F(TerminfoVT52, DirectCursorAddressOverTheWholeScreen)
{
    // Every cell of the largest screen the terminal allows (100 rows), and every column
    // one byte can address.
    for (int row = 0; row < 100; ++row)
        for (int col = 0; col < 224; ++col) {
            const std::string cup = Vt52().Param("cup", row, col);
            const ParamTexts numbers{std::to_string(row + 1), std::to_string(col + 1)};
            ASSERT_EQ(Seq(p, ecCursorMove, numbers), cup) << row << "," << col;
            ASSERT_EQ(ParseAll(p, cup), (std::vector<Parsed>{{ecCursorMove, numbers}})) << row << "," << col;
        }
}

TEST_F(TerminfoVT52, IdentifyAnswerIsSlashZWhereTerminfoExpectsSlashKOrL)
{
    EXPECT_EQ(Vt52().Str("u8"), "\x1b/[KL]");
    EXPECT_EQ(ParseAll(p, "\x1b/K"), (std::vector<Parsed>{{ecUnknown, {}}}));
    EXPECT_EQ(Seq(p, ecIdentResponse), "\x1b/Z");
}

} // namespace
