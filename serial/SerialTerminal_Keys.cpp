#include "serial/SerialTerminal.h"

#include "platform/Caret.h"
#include "platform/ScopeExit.h"

// ---- Sending -------------------------------------------------------------------------------

void TCustomSerialTerminal::TypeChar(char Ch)
{
    if (FComPort == nullptr || !FComPort->Connected())
        return;
    FComPort->SendText(std::string(1, Ch));
    if (FLocalEcho) {
        HideCaretIfMade();
        ScopeExit show([this] { ShowCaretIfMade(); });
        PlaceChar(Ch);
    }
    if (Ch == '\r' && FSendLF)
        TypeChar('\n');
}

void TCustomSerialTerminal::TransmitReply(TEscapeCode Code, TStrings* Params)
{
    EnsureInterpreter();
    if (FComPort == nullptr || !FComPort->Connected() || EscapeCodes == nullptr)
        return;
    const std::string text = EscapeCodes->SequenceFor(Code, Params);
    // A code the dialect cannot express has no text, and nothing goes out.
    if (!text.empty())
        FComPort->SendText(text);
}

void TCustomSerialTerminal::TransmitCode(TEscapeCode Code, TStrings* Params)
{
    EnsureInterpreter();
    if (FComPort == nullptr || !FComPort->Connected() || EscapeCodes == nullptr)
        return;
    TransmitReply(Code, Params);
    if (FLocalEcho) {
        HideCaretIfMade();
        ScopeExit show([this] { ShowCaretIfMade(); });
        ExecuteCode(Code, Params);
    }
}

// ---- Keys ----------------------------------------------------------------------------------

void TCustomSerialTerminal::KeyPress(char& Key)
{
    TCustomControl::KeyPress(Key);
    // A handler that cleared the key has taken it.
    if (Key != 0)
        TypeChar(Key);
}

void TCustomSerialTerminal::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    EnsureInterpreter();
    TEscapeCode code = ecUnknown;
    switch (Key) {
    case VK_HOME: code = ecCursorHome; break;
    case VK_LEFT: code = ecCursorLeft; break;
    case VK_UP: code = ecCursorUp; break;
    case VK_RIGHT: code = ecCursorRight; break;
    case VK_DOWN: code = ecCursorDown; break;
    default: return;
    }
    if (AppCursorKeys) {
        switch (code) {
        case ecCursorUp: TransmitCode(ecAppCursorUp, nullptr); break;
        case ecCursorDown: TransmitCode(ecAppCursorDown, nullptr); break;
        case ecCursorLeft: TransmitCode(ecAppCursorLeft, nullptr); break;
        case ecCursorRight: TransmitCode(ecAppCursorRight, nullptr); break;
        default: break;
        }
        return;
    }
    if (FArrowKeys == akTerminal) {
        TransmitCode(code, nullptr);
    } else {
        HideCaretIfMade();
        ExecuteCode(code, nullptr);
        ShowCaretIfMade();
    }
}

void TCustomSerialTerminal::WMGetDlgCode(TMessage& M)
{
    M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
    if (FWantTab)
        M.Result |= DLGC_WANTTAB;
}

// ---- Caret ---------------------------------------------------------------------------------

void TCustomSerialTerminal::MakeCaret()
{
    switch (FCaret) {
    case tcBlock: CaretHeight = CharHeight; break;
    case tcUnderline: CaretHeight = CharHeight / 8; break;
    case tcNone: CaretHeight = 0; break;
    }
    if (CaretHeight > 0 && HandleAllocated()) {
        CreateCaret(FHandle, nullptr, CharWidth, CaretHeight);
        CaretMade = true;
    }
}

void TCustomSerialTerminal::RemakeCaret()
{
    MakeCaret();
    PlaceCaret(CaretPos.x, CaretPos.y);
    if (CaretMade)
        ShowCaret(FHandle);
}

void TCustomSerialTerminal::DropCaret()
{
    if (CaretMade)
        DestroyCaret();
    CaretMade = false;
}

void TCustomSerialTerminal::HideCaretIfMade()
{
    if (CaretMade)
        HideCaret(FHandle);
}

void TCustomSerialTerminal::ShowCaretIfMade()
{
    if (CaretMade)
        ShowCaret(FHandle);
}

void TCustomSerialTerminal::WMSetFocus(TMessage& M)
{
    TCustomControl::WMSetFocus(M);
    RemakeCaret();
}

void TCustomSerialTerminal::WMKillFocus(TMessage& M)
{
    DropCaret();
    TCustomControl::WMKillFocus(M);
}

void TCustomSerialTerminal::WMLButtonDown(TMessage& M)
{
    if (CanFocus() && TabStop())
        SetFocus();
    TCustomControl::WMLButtonDown(M);
}
