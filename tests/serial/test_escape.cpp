#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "serial/SerialEscape.h"

static void PrintTo(TEscapeCode code, std::ostream* os)
{
    *os << QmEnumDesc(static_cast<TEscapeCode*>(nullptr)).Names.at(static_cast<size_t>(code));
}

namespace {

const std::string ESC = "\x1b";
using Params = std::vector<std::string>;

Params ListOf(TStrings* list)
{
    Params p;
    for (int i = 0; i < list->Count(); ++i)
        p.push_back(list->Strings(i));
    return p;
}

struct FeedCase {
    std::string after; // the bytes after the opening ESC
    TEscapeCode code;
    Params params;
};

// Feeds ESC + c.after and checks that every byte but the last is pending and the last
// finishes the sequence with the expected code and parameters.
void ExpectSequence(TEscapeParser& p, const FeedCase& c)
{
    SCOPED_TRACE("ESC " + c.after);
    ASSERT_EQ(p.FeedChar('\x1b'), frPending);
    for (size_t i = 0; i + 1 < c.after.size(); ++i)
        ASSERT_EQ(p.FeedChar(c.after[i]), frPending) << "byte " << i;
    ASSERT_EQ(p.FeedChar(c.after.back()), frCodeReady);
    EXPECT_EQ(p.LastCode, c.code);
    EXPECT_EQ(ListOf(p.ParamList), c.params);
    EXPECT_EQ(p.SequenceText, c.after);
    p.ParamList->Clear(); // as the terminal does
}

std::vector<TFeedResult> FeedAll(TEscapeParser& p, const std::string& bytes)
{
    std::vector<TFeedResult> r;
    for (char ch : bytes)
        r.push_back(p.FeedChar(ch));
    return r;
}

TEST(EscapeVT100, SequencesFromTable)
{
    const std::vector<FeedCase> cases = {
        {"[5;10f", ecCursorMove, {"5", "10"}},
        {"[;5H", ecCursorHome, {"", "5"}},
        {"[H", ecCursorHome, {}},
        {"[3A", ecCursorUp, {"3"}},
        {"[B", ecCursorDown, {}},
        {"[12C", ecCursorRight, {"12"}},
        {"[D", ecCursorLeft, {}},
        {"[1;2;3A", ecCursorUp, {"1", "2", "3"}},
        {"[5;A", ecCursorUp, {"5", ""}},
        {"[?1;2c", ecIdentResponse, {"?1", "2"}},
        {"[c", ecIdentify, {}},
        {"[0c", ecIdentify, {"0"}},
        {"[1c", ecUnknown, {"1"}},
        {"[?1c", ecUnknown, {"?1"}},
        {"[J", ecEraseScreenFrom, {}},
        {"[0J", ecEraseScreenFrom, {}},
        {"[;2J", ecEraseScreenFrom, {}},
        {"[2J", ecEraseScreen, {}},
        {"[20J", ecEraseScreen, {}},
        {"[1J", ecUnknown, {}},
        {"[K", ecEraseLineFrom, {}},
        {"[2K", ecEraseLine, {}},
        {"[1K", ecUnknown, {}},
        {"[g", ecClearTab, {}},
        {"[0g", ecClearTab, {}},
        {"[3g", ecClearAllTabs, {}},
        {"[2g", ecUnknown, {}},
        {"[5n", ecQueryDevice, {}},
        {"[0n", ecReportDeviceOK, {}},
        {"[3n", ecReportDeviceFailure, {}},
        {"[6n", ecQueryCursorPos, {}},
        {"[n", ecUnknown, {}},
        {"[;n", ecUnknown, {}},
        {"[7n", ecUnknown, {}},
        {"[0;31;1m", ecAttributes, {"0", "31", "1"}},
        {"[m", ecAttributes, {}},
        {"[?1h", ecSetMode, {"?1"}},
        {"[?3l", ecResetMode, {"?3"}},
        {"[s", ecSaveCaret, {}},
        {"[u", ecRestoreCaret, {}},
        {"[12;40R", ecReportCursorPos, {"12", "40"}},
        {"[5q", ecUnknown, {"5"}},
        {"H", ecSetTab, {}},
        {"c", ecReset, {}},
        {"7", ecSaveCaretAndAttr, {}},
        {"8", ecRestoreCaretAndAttr, {}},
        {"#8", ecTest, {}},
        {"#9", ecUnknown, {}},
        {"OA", ecAppCursorUp, {}},
        {"OB", ecAppCursorDown, {}},
        {"OC", ecAppCursorRight, {}},
        {"OD", ecAppCursorLeft, {}},
        {"Ox", ecUnknown, {}},
        {"Z", ecUnknown, {}},
        {"M", ecUnknown, {}},
        // Carriage return and line feed inside a CSI sequence are collected, not shown.
        {"[5\r\nA", ecCursorUp, {"5\r\n"}},
        // High bytes are not letters (bytes are unsigned), NUL is data.
        {std::string("[\xC1\x00" "A", 4), ecCursorUp, {std::string("\xC1\x00", 2)}},
        // An ESC inside an open sequence is swallowed into it.
        {"[5\x1b[A", ecCursorUp, {"5\x1b["}},
    };
    TVT100Parser p;
    for (const FeedCase& c : cases) {
        ExpectSequence(p, c);
        EXPECT_FALSE(p.SequenceOpen);
        EXPECT_FALSE(p.CsiOpen);
    }
}

TEST(EscapeVT100, OpeningBytesArePendingAndStateFollows)
{
    TVT100Parser p;
    EXPECT_EQ(p.FeedChar('\x1b'), frPending);
    EXPECT_TRUE(p.SequenceOpen);
    EXPECT_FALSE(p.CsiOpen);
    EXPECT_EQ(p.FeedChar('['), frPending);
    EXPECT_TRUE(p.CsiOpen);
    EXPECT_EQ(FeedAll(p, "5;10"), (std::vector<TFeedResult>(4, frPending)));
    EXPECT_EQ(p.FeedChar('f'), frCodeReady);
    EXPECT_FALSE(p.SequenceOpen);
    EXPECT_FALSE(p.CsiOpen);
    // The text stays until the next ESC; a digit now is a plain character again.
    EXPECT_EQ(p.FeedChar('7'), frCharacter);
    EXPECT_EQ(p.LastChar, '7');
    EXPECT_EQ(p.SequenceText, "[5;10f");
    EXPECT_EQ(p.FeedChar('\x1b'), frPending);
    EXPECT_EQ(p.SequenceText, "");
}

TEST(EscapeParsers, PlainBytesOfEveryValueAreCharacters)
{
    TVT100Parser vt100;
    TVT52Parser vt52;
    for (TEscapeParser* p : std::initializer_list<TEscapeParser*>{&vt100, &vt52}) {
        for (int b = 0; b < 256; ++b) {
            if (b == 27)
                continue;
            ASSERT_EQ(p->FeedChar(static_cast<char>(b)), frCharacter) << b;
            EXPECT_EQ(static_cast<unsigned char>(p->LastChar), b);
        }
    }
}

TEST(EscapeVT100, SequenceOfNonLettersEndsAtTheCapAndLaterSequencesWork)
{
    TVT100Parser p;
    const int cap = TEscapeParser::MaxSequenceLength;
    ASSERT_EQ(p.FeedChar('\x1b'), frPending);
    ASSERT_EQ(p.FeedChar('['), frPending);
    int pending = 1;
    TFeedResult r = frPending;
    for (int i = 0; i < 100000 && r == frPending; ++i) {
        r = p.FeedChar(static_cast<char>('0' + i % 10));
        ASSERT_LE(static_cast<int>(p.SequenceText.size()), cap);
        if (r == frPending)
            ++pending;
    }
    EXPECT_EQ(r, frCodeReady);
    EXPECT_EQ(p.LastCode, ecUnknown);
    EXPECT_EQ(pending + 1, cap);
    EXPECT_EQ(static_cast<int>(p.SequenceText.size()), cap);
    EXPECT_LE(p.SequenceText.capacity(), 4u * cap);
    EXPECT_FALSE(p.SequenceOpen);
    EXPECT_FALSE(p.CsiOpen);
    p.ParamList->Clear();

    // What follows the cap is text again, and a later sequence is recognised.
    EXPECT_EQ(FeedAll(p, "12;"), (std::vector<TFeedResult>(3, frCharacter)));
    ExpectSequence(p, {"[2J", ecEraseScreen, {}});
}

TEST(EscapeVT100, FinalLetterAtTheCapStillCounts)
{
    TVT100Parser p;
    const int cap = TEscapeParser::MaxSequenceLength;
    ExpectSequence(p, {"[" + std::string(cap - 2, '7') + "A", ecCursorUp, {std::string(cap - 2, '7')}});
    // One byte more and the cap ends it first: the letter then is a plain character.
    FeedAll(p, "\x1b[" + std::string(cap - 1, '7'));
    EXPECT_EQ(p.LastCode, ecUnknown);
    EXPECT_EQ(p.FeedChar('A'), frCharacter);
}

TEST(EscapeVT52, SequencesFromTable)
{
    const std::vector<FeedCase> cases = {
        {"A", ecCursorUp, {}},
        {"B", ecCursorDown, {}},
        {"C", ecCursorRight, {}},
        {"D", ecCursorLeft, {}},
        {"H", ecCursorHome, {}},
        {"I", ecReverseLineFeed, {}},
        {"J", ecEraseScreenFrom, {}},
        {"K", ecEraseLineFrom, {}},
        {"Z", ecIdentify, {}},
        {"/Z", ecIdentResponse, {}},
        {"/X", ecUnknown, {}},
        {"[", ecUnknown, {}},
        {"E", ecUnknown, {}},
        {"Y\x20\x28", ecCursorMove, {"1", "9"}},
        // Unsigned bytes: the largest offsets, not negative ones.
        {"Y\xff\xfe", ecCursorMove, {"224", "223"}},
        // Bytes below 32 are passed on as they compute; the terminal clamps.
        {std::string("Y\x00\x1f", 3), ecCursorMove, {"-31", "0"}},
        {"Y\x1b\x1b", ecCursorMove, {"-4", "-4"}},
    };
    TVT52Parser p;
    for (const FeedCase& c : cases) {
        ExpectSequence(p, c);
        EXPECT_FALSE(p.SequenceOpen);
    }
}

TEST(EscapeVT52, CursorAddressIsRowThenColumn)
{
    TVT52Parser p;
    TStringList params;
    params.Add("1");
    params.Add("9");
    EXPECT_EQ(p.SequenceFor(ecCursorMove, &params), ESC + "Y\x20\x28");
    // Beyond what one byte carries the address is clamped rather than wrapped.
    params.Clear();
    params.Add("1000");
    params.Add("-5");
    EXPECT_EQ(p.SequenceFor(ecCursorMove, &params), ESC + "Y\xff\x20");
    EXPECT_EQ(p.SequenceFor(ecCursorMove, nullptr), ESC + "Y\x20\x20");
}

TEST(EscapeParsers, ParamAsIntegerAcceptsSignAndDigitsOnly)
{
    struct Case {
        std::string text;
        int value;
    };
    const std::vector<Case> cases = {
        {"0", 0},         {"5", 5},           {"+7", 7},          {"-7", -7},
        {"007", 7},       {"", 1},            {"abc", 1},         {"-", 1},
        {"+", 1},         {" 5", 1},          {"5 ", 1},          {"5x", 1},
        {"1e3", 1},       {"0x10", 1},        {"?1", 1},          {"--5", 1},
        {"2147483647", 2147483647},           {"2147483648", 1},
        {"-2147483648", -2147483647 - 1},     {"-2147483649", 1},
        {"99999999999999999999999", 1},       {"5\r\n", 1},
        {std::string("5\x00", 2), 1},         {"\xB5", 1},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.Add("x");
        list.Add(c.text);
        EXPECT_EQ(TEscapeParser::ParamAsInteger(2, &list), c.value) << "text '" << c.text << "'";
    }
    TStringList two;
    two.Add("4");
    two.Add("6");
    EXPECT_EQ(TEscapeParser::ParamAsInteger(1, &two), 4);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(2, &two), 6);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(3, &two), 1);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(0, &two), 1);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(-1, &two), 1);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(1, nullptr), 1);
}

TEST(EscapeVT100, EmptyParameterReadsAsOne)
{
    TVT100Parser p;
    FeedAll(p, "\x1b[;5H");
    EXPECT_EQ(TEscapeParser::ParamAsInteger(1, p.ParamList), 1);
    EXPECT_EQ(TEscapeParser::ParamAsInteger(2, p.ParamList), 5);
}

// The texts each dialect sends, with parameters 5 and 10 offered to every code.
TEST(EscapeParsers, SequenceForEveryCodeInBothDialects)
{
    const std::vector<std::string> vt100 = {
        "",        "",       "\x1b[A",  "\x1b[B",      "\x1b[D",  "\x1b[C",  "\x1b[H",  "\x1b[5;10f",
        "",        "\x1bOD", "\x1bOC",  "\x1bOA",      "\x1bOB",  "\x1b[K",  "\x1b[J",  "\x1b[2K",
        "\x1b[2J", "\x1bH",  "\x1b[g",  "\x1b[3g",     "\x1b[c",  "\x1b[?1;5c", "\x1b[5n", "\x1b[0n",
        "\x1b[3n", "\x1b[6n", "\x1b[5;10R", "\x1b[m",  "\x1b[h",  "\x1b[l",  "\x1b" "c", "\x1b" "7",
        "\x1b" "8", "\x1b[s", "\x1b[u", "\x1b#8"};
    const std::vector<std::string> vt52 = {
        "", "", "\x1b" "A", "\x1b" "B", "\x1b" "D", "\x1b" "C", "\x1b" "H", "\x1bY\x24\x29",
        "\x1bI", "", "", "", "", "\x1bK", "\x1bJ", "", "", "", "", "", "\x1bZ", "\x1b/Z",
        "", "", "", "", "", "", "", "", "", "", "", "", "", ""};
    ASSERT_EQ(vt100.size(), 36u);
    ASSERT_EQ(vt52.size(), 36u);
    TStringList params;
    params.Add("5");
    params.Add("10");
    TVT100Parser p100;
    TVT52Parser p52;
    for (int code = 0; code < 36; ++code) {
        const auto c = static_cast<TEscapeCode>(code);
        EXPECT_EQ(p100.SequenceFor(c, &params), vt100[static_cast<size_t>(code)]) << testing::PrintToString(c);
        EXPECT_EQ(p52.SequenceFor(c, &params), vt52[static_cast<size_t>(code)]) << testing::PrintToString(c);
    }
    // Without a list every number is 1.
    EXPECT_EQ(p100.SequenceFor(ecCursorMove, nullptr), "\x1b[1;1f");
    EXPECT_EQ(p100.SequenceFor(ecIdentResponse, nullptr), "\x1b[?1;1c");
}

// Every code a dialect can send comes back as the same code with the same numbers.
void RoundTrip(TEscapeParser& p, int low, int high)
{
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> number(low, high);
    int checked = 0;
    for (int round = 0; round < 50; ++round) {
        for (int code = 0; code < 36; ++code) {
            const auto c = static_cast<TEscapeCode>(code);
            const int p1 = number(rng);
            const int p2 = number(rng);
            TStringList params;
            params.Add(std::to_string(p1));
            params.Add(std::to_string(p2));
            const std::string text = p.SequenceFor(c, &params);
            if (text.empty())
                continue;
            SCOPED_TRACE(testing::PrintToString(c) + " " + std::to_string(p1) + "," + std::to_string(p2));
            p.ParamList->Clear();
            ASSERT_EQ(text[0], '\x1b');
            std::vector<TFeedResult> results = FeedAll(p, text);
            ASSERT_EQ(results.back(), frCodeReady);
            results.pop_back();
            EXPECT_EQ(results, std::vector<TFeedResult>(text.size() - 1, frPending));
            EXPECT_EQ(p.LastCode, c);
            if (c == ecCursorMove || c == ecReportCursorPos) {
                EXPECT_EQ(TEscapeParser::ParamAsInteger(1, p.ParamList), p1);
                EXPECT_EQ(TEscapeParser::ParamAsInteger(2, p.ParamList), p2);
            } else if (c == ecIdentResponse && p.ParamList->Count() > 0) {
                // The value follows the "?1" that marks the answer.
                EXPECT_EQ(p.ParamList->Strings(0), "?1");
                EXPECT_EQ(TEscapeParser::ParamAsInteger(2, p.ParamList), p1);
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(EscapeVT100, RoundTripOfEveryCodeWithRandomParameters)
{
    TVT100Parser p;
    RoundTrip(p, -2147483647 - 1, 2147483647);
}

TEST(EscapeVT52, RoundTripOfEveryCodeWithRandomParameters)
{
    TVT52Parser p;
    RoundTrip(p, 1, 224);
}

TEST(EscapeParsers, ClassesAreRegisteredByName)
{
    std::unique_ptr<TEscapeParser> p(new TVT100Parser);
    EXPECT_EQ(p->ClassName(), "TVT100Parser");
    EXPECT_TRUE(p->InheritsFrom(TEscapeParser::StaticClassInfo()));
    EXPECT_EQ(QmEnumDesc(static_cast<TEscapeCode*>(nullptr)).Names.size(), 36u);
    EXPECT_EQ(QmEnumDesc(static_cast<TEscapeCode*>(nullptr)).Names[35], "ecTest");
}

} // namespace
