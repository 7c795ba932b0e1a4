#include "serial/SerialEscape.h"

#include <algorithm>
#include <cstdint>
#include <limits>

QM_CLASS_IMPL(TEscapeParser, TObject)
QM_CLASS_IMPL(TVT52Parser, TEscapeParser)
QM_CLASS_IMPL(TVT100Parser, TEscapeParser)

namespace {

constexpr unsigned char Esc = 27;

// ASCII letters only: bytes from 128 up are never the end of a CSI sequence.
bool IsFinalLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string EscText(const char* tail) { return std::string(1, static_cast<char>(Esc)) + tail; }

} // namespace

TEscapeParser::TEscapeParser() : ParamList(new TStringList) {}

TEscapeParser::~TEscapeParser() { FreeAndNil(ParamList); }

int TEscapeParser::ParamAsInteger(int Index, TStrings* Params)
{
    if (Params == nullptr || Index < 1 || Index > Params->Count())
        return 1;
    const std::string s = Params->Strings(Index - 1);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i == s.size())
        return 1;
    // Accumulated as a magnitude so that the most negative int still converts.
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int>::min())
                                   : std::numeric_limits<int>::max();
    int64_t value = 0;
    for (; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < '0' || c > '9')
            return 1;
        value = value * 10 + (c - '0');
        if (value > limit)
            return 1;
    }
    return static_cast<int>(negative ? -value : value);
}

template <class Classify> TFeedResult TEscapeParser::FeedWith(char Ch, bool& Open, Classify classify)
{
    if (!Open) {
        if (static_cast<unsigned char>(Ch) == Esc) {
            SequenceText.clear();
            Open = true;
            return frPending;
        }
        LastChar = Ch;
        return frCharacter;
    }
    SequenceText += Ch;
    TEscapeCode code = classify();
    if (code == ecNotCompleted) {
        if (static_cast<int>(SequenceText.size()) < MaxSequenceLength)
            return frPending;
        code = ecUnknown;
    }
    LastCode = code;
    Open = false;
    return frCodeReady;
}

// ---- VT52 -------------------------------------------------------------------------------

TFeedResult TVT52Parser::FeedChar(char Ch)
{
    return FeedWith(Ch, SequenceOpen, [this] { return Classify(); });
}

TEscapeCode TVT52Parser::Classify()
{
    switch (SequenceText[0]) {
    case 'A': return ecCursorUp;
    case 'B': return ecCursorDown;
    case 'C': return ecCursorRight;
    case 'D': return ecCursorLeft;
    case 'H': return ecCursorHome;
    case 'I': return ecReverseLineFeed;
    case 'J': return ecEraseScreenFrom;
    case 'K': return ecEraseLineFrom;
    case 'Z': return ecIdentify;
    case '/':
        if (SequenceText.size() == 1)
            return ecNotCompleted;
        return SequenceText == "/Z" ? ecIdentResponse : ecUnknown;
    case 'Y':
        if (SequenceText.size() < 3)
            return ecNotCompleted;
        // Unsigned bytes: row and column bytes run from 32 up to 255.
        ParamList->Add(std::to_string(static_cast<unsigned char>(SequenceText[1]) - 31));
        ParamList->Add(std::to_string(static_cast<unsigned char>(SequenceText[2]) - 31));
        return ecCursorMove;
    default: return ecUnknown;
    }
}

std::string TVT52Parser::SequenceFor(TEscapeCode Code, TStrings* Params)
{
    switch (Code) {
    case ecCursorUp: return EscText("A");
    case ecCursorDown: return EscText("B");
    case ecCursorRight: return EscText("C");
    case ecCursorLeft: return EscText("D");
    case ecCursorHome: return EscText("H");
    case ecCursorMove: {
        // One byte each: positions beyond what a byte can carry are clamped, not wrapped.
        auto coordinate = [](int p) { return static_cast<char>(std::clamp(p, 1, 255 - 31) + 31); };
        std::string s = EscText("Y");
        s += coordinate(ParamAsInteger(1, Params));
        s += coordinate(ParamAsInteger(2, Params));
        return s;
    }
    case ecReverseLineFeed: return EscText("I");
    case ecEraseLineFrom: return EscText("K");
    case ecEraseScreenFrom: return EscText("J");
    case ecIdentify: return EscText("Z");
    case ecIdentResponse: return EscText("/Z");
    default: return "";
    }
}

// ---- VT100 ------------------------------------------------------------------------------

TFeedResult TVT100Parser::FeedChar(char Ch)
{
    const TFeedResult result = FeedWith(Ch, SequenceOpen, [this] { return Classify(); });
    if (!SequenceOpen)
        CsiOpen = false;
    return result;
}

TEscapeCode TVT100Parser::Classify()
{
    if (CsiOpen)
        return ClassifyCsi();
    if (SequenceText[0] == '[') {
        CsiOpen = true;
        return ecNotCompleted;
    }
    return ClassifyTwoByte();
}

TEscapeCode TVT100Parser::ClassifyTwoByte() const
{
    const std::string& t = SequenceText;
    if (t.size() == 1) {
        switch (t[0]) {
        case 'H': return ecSetTab;
        case 'c': return ecReset;
        case '7': return ecSaveCaretAndAttr;
        case '8': return ecRestoreCaretAndAttr;
        case '#':
        case 'O': return ecNotCompleted;
        default: return ecUnknown;
        }
    }
    if (t == "#8")
        return ecTest;
    if (t[0] == 'O') {
        switch (t[1]) {
        case 'A': return ecAppCursorUp;
        case 'B': return ecAppCursorDown;
        case 'C': return ecAppCursorRight;
        case 'D': return ecAppCursorLeft;
        default: break;
        }
    }
    return ecUnknown;
}

TEscapeCode TVT100Parser::ClassifyCsi()
{
    const std::string& t = SequenceText;
    const auto final = static_cast<unsigned char>(t.back());
    if (!IsFinalLetter(final))
        return ecNotCompleted;

    TStringList params;
    const std::string text = t.substr(1, t.size() - 2);
    if (!text.empty()) {
        size_t start = 0;
        for (;;) {
            const size_t sep = text.find(';', start);
            params.Add(text.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
            if (sep == std::string::npos)
                break;
            start = sep + 1;
        }
    }
    const char first = params.Count() > 0 && !params.Strings(0).empty() ? params.Strings(0)[0] : '\0';
    const bool noFirst = first == '\0';

    TEscapeCode code = ecUnknown;
    bool emptyList = false;
    switch (final) {
    case 'A': code = ecCursorUp; break;
    case 'B': code = ecCursorDown; break;
    case 'C': code = ecCursorRight; break;
    case 'D': code = ecCursorLeft; break;
    case 'H': code = ecCursorHome; break;
    case 'f': code = ecCursorMove; break;
    case 'J':
        code = noFirst || first == '0' ? ecEraseScreenFrom : first == '2' ? ecEraseScreen : ecUnknown;
        emptyList = true;
        break;
    case 'K':
        code = noFirst || first == '0' ? ecEraseLineFrom : first == '2' ? ecEraseLine : ecUnknown;
        emptyList = true;
        break;
    case 'g':
        code = noFirst || first == '0' ? ecClearTab : first == '3' ? ecClearAllTabs : ecUnknown;
        emptyList = true;
        break;
    case 'n':
        switch (first) {
        case '5': code = ecQueryDevice; break;
        case '0': code = ecReportDeviceOK; break;
        case '3': code = ecReportDeviceFailure; break;
        case '6': code = ecQueryCursorPos; break;
        default: code = ecUnknown; break;
        }
        emptyList = true;
        break;
    case 'c':
        if (params.Count() == 0 || (params.Count() == 1 && params.Strings(0) == "0"))
            code = ecIdentify;
        else if (params.Count() == 2 && params.Strings(0) == "?1")
            code = ecIdentResponse;
        break;
    case 'm': code = ecAttributes; break;
    case 'h': code = ecSetMode; break;
    case 'l': code = ecResetMode; break;
    case 's': code = ecSaveCaret; break;
    case 'u': code = ecRestoreCaret; break;
    case 'R': code = ecReportCursorPos; break;
    default: break;
    }
    if (emptyList)
        params.Clear();
    ParamList->Assign(&params);
    return code;
}

std::string TVT100Parser::SequenceFor(TEscapeCode Code, TStrings* Params)
{
    const std::string p1 = std::to_string(ParamAsInteger(1, Params));
    const std::string p2 = std::to_string(ParamAsInteger(2, Params));
    switch (Code) {
    case ecCursorUp: return EscText("[A");
    case ecCursorDown: return EscText("[B");
    case ecCursorRight: return EscText("[C");
    case ecCursorLeft: return EscText("[D");
    case ecCursorHome: return EscText("[H");
    case ecCursorMove: return EscText("[") + p1 + ";" + p2 + "f";
    case ecAppCursorLeft: return EscText("OD");
    case ecAppCursorRight: return EscText("OC");
    case ecAppCursorUp: return EscText("OA");
    case ecAppCursorDown: return EscText("OB");
    case ecEraseLineFrom: return EscText("[K");
    case ecEraseScreenFrom: return EscText("[J");
    case ecEraseLine: return EscText("[2K");
    case ecEraseScreen: return EscText("[2J");
    case ecSetTab: return EscText("H");
    case ecClearTab: return EscText("[g");
    case ecClearAllTabs: return EscText("[3g");
    case ecIdentify: return EscText("[c");
    case ecIdentResponse: return EscText("[?1;") + p1 + "c";
    case ecQueryDevice: return EscText("[5n");
    case ecReportDeviceOK: return EscText("[0n");
    case ecReportDeviceFailure: return EscText("[3n");
    case ecQueryCursorPos: return EscText("[6n");
    case ecReportCursorPos: return EscText("[") + p1 + ";" + p2 + "R";
    case ecAttributes: return EscText("[m");
    case ecSetMode: return EscText("[h");
    case ecResetMode: return EscText("[l");
    case ecReset: return EscText("c");
    case ecSaveCaretAndAttr: return EscText("7");
    case ecRestoreCaretAndAttr: return EscText("8");
    case ecSaveCaret: return EscText("[s");
    case ecRestoreCaret: return EscText("[u");
    case ecTest: return EscText("#8");
    default: return "";
    }
}
