#pragma once
// Escape-code interpreters: turn received bytes into plain characters and named escape
// sequences, and turn a named sequence back into the bytes of one terminal dialect.
#include <string>

#include "framework/Classes.h"
#include "framework/System.h"
#include "framework/TypInfo.h"

QM_ENUM(TEscapeCode, ecUnknown, ecNotCompleted, ecCursorUp, ecCursorDown, ecCursorLeft,
        ecCursorRight, ecCursorHome, ecCursorMove, ecReverseLineFeed, ecAppCursorLeft,
        ecAppCursorRight, ecAppCursorUp, ecAppCursorDown, ecEraseLineFrom, ecEraseScreenFrom,
        ecEraseLine, ecEraseScreen, ecSetTab, ecClearTab, ecClearAllTabs, ecIdentify,
        ecIdentResponse, ecQueryDevice, ecReportDeviceOK, ecReportDeviceFailure,
        ecQueryCursorPos, ecReportCursorPos, ecAttributes, ecSetMode, ecResetMode, ecReset,
        ecSaveCaretAndAttr, ecRestoreCaretAndAttr, ecSaveCaret, ecRestoreCaret, ecTest)

QM_ENUM(TFeedResult, frCharacter, frCodeReady, frPending)

class TEscapeParser : public TObject {
    QM_CLASS(TEscapeParser, TObject)
public:
    // A sequence still open after this many bytes (the ESC not counted) ends as ecUnknown,
    // so a stream that never brings the final byte neither grows memory nor swallows
    // everything that follows.
    static constexpr int MaxSequenceLength = 256;

    TEscapeParser();
    ~TEscapeParser() override;

    virtual TFeedResult FeedChar(char Ch) = 0;
    // Params may be null; a code the dialect cannot express gives "".
    virtual std::string SequenceFor(TEscapeCode Code, TStrings* Params) = 0;

    // The 1-based Index-th parameter: an optional sign and decimal digits, nothing else.
    // A missing list or entry, any other text and an out-of-range number all read as 1.
    static int ParamAsInteger(int Index, TStrings* Params);

    char LastChar = 0;
    TEscapeCode LastCode = ecUnknown;
    std::string SequenceText;
    TStringList* ParamList = nullptr;

protected:
    // The steps both dialects share: idle bytes, collecting, the length cap and closing.
    // Classify sees the whole SequenceText and may set further state of the dialect.
    template <class Classify> TFeedResult FeedWith(char Ch, bool& Open, Classify classify);
};

class TVT52Parser : public TEscapeParser {
    QM_CLASS(TVT52Parser, TEscapeParser)
public:
    TFeedResult FeedChar(char Ch) override;
    std::string SequenceFor(TEscapeCode Code, TStrings* Params) override;

    bool SequenceOpen = false;

private:
    TEscapeCode Classify();
};

class TVT100Parser : public TEscapeParser {
    QM_CLASS(TVT100Parser, TEscapeParser)
public:
    TFeedResult FeedChar(char Ch) override;
    std::string SequenceFor(TEscapeCode Code, TStrings* Params) override;

    bool SequenceOpen = false;
    bool CsiOpen = false;

private:
    TEscapeCode Classify();
    TEscapeCode ClassifyTwoByte() const;
    TEscapeCode ClassifyCsi();
};
