#include "serial/SerialTerminal.h"

#include <algorithm>
#include <climits>

#include "framework/Thread.h"
#include "platform/Caret.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

namespace {
// Caret arithmetic on parameters that may be as large as an int holds.
int SaturatedAdd(int a, int b)
{
    long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

// The colour table of the attribute codes 30..39 and 40..49.
constexpr TColor AttributeColors[10] = {0x000000, 0x0000FF, 0x008000, 0x00FFFF, 0xFF0000,
                                        0x800080, 0x0080FF, 0xFFFFFF, 0x000080, 0x808080};
} // namespace

// ---- Receive path ----------------------------------------------------------------------------

std::string TCustomSerialTerminal::InsertLineFeeds(const std::string& Str)
{
    std::string out;
    out.reserve(Str.size() + Str.size() / 8);
    for (char c : Str) {
        out += c;
        if (c == '\r')
            out += '\n';
    }
    return out;
}

void TCustomSerialTerminal::PortBytesArrived(TObject*, const void* Buffer, int Count)
{
    if (Buffer == nullptr || Count <= 0)
        return;
    std::string text(static_cast<const char*>(Buffer), static_cast<size_t>(Count));
    if (FAppendLF)
        text = InsertLineFeeds(text);
    if (FForce7Bit)
        for (char& c : text)
            c = static_cast<char>(static_cast<unsigned char>(c) & 0x7F);
    FireStrReceived(text);
    // A reply that cannot be sent must not stop the port's deliveries: it is reported, and
    // the next block is displayed as usual.
    try {
        DisplayText(text);
    } catch (const ESerialPort&) {
        HandleApplicationException(std::current_exception());
    }
}

void TCustomSerialTerminal::DisplayText(const std::string& Str)
{
    DisplayBytes(Str.data(), static_cast<int>(Str.size()));
}

void TCustomSerialTerminal::DisplayBytes(const void* Buffer, int Count)
{
    if (Buffer == nullptr || Count <= 0)
        return;
    EnsureInterpreter();
    const auto* bytes = static_cast<const char*>(Buffer);
    HideCaretIfMade();
    ++FDisplayDepth;
    ScopeExit done([this] {
        if (--FDisplayDepth == 0)
            FRetired.clear();
        ShowCaretIfMade();
    });
    for (int i = 0; i < Count; ++i) {
        TEscapeParser* parser = EscapeCodes;
        if (parser == nullptr) {
            PlaceChar(bytes[i]);
            continue;
        }
        switch (parser->FeedChar(bytes[i])) {
        case frCharacter: PlaceChar(parser->LastChar); break;
        case frCodeReady: {
            // The list is the parser's until cleared; a handler may replace the parser.
            if (!ExecuteCode(parser->LastCode, parser->ParamList))
                FireUnhandledCode(parser->LastCode, parser->SequenceText);
            if (parser->ParamList != nullptr)
                parser->ParamList->Clear();
            break;
        }
        case frPending: break;
        }
    }
}

// ---- Characters and the caret -------------------------------------------------------------

TTermCell TCustomSerialTerminal::CurrentCell(char Ch) const
{
    TTermCell cell;
    cell.Character = Ch;
    if (Attributes.Bold)
        cell.TextColor = FAltColor;
    else if (Attributes.Reverse)
        cell.TextColor = Attributes.FillColor;
    else
        cell.TextColor = Attributes.TextColor;
    cell.FillColor = Attributes.Reverse ? Attributes.TextColor : Attributes.FillColor;
    cell.Underline = Attributes.Underline;
    return cell;
}

void TCustomSerialTerminal::PlaceChar(char Ch)
{
    const auto byte = static_cast<unsigned char>(Ch);
    switch (byte) {
    case 8: StepCaret(TCaretStep::Left); break;
    case 9: StepCaret(TCaretStep::Tab); break;
    case 10: StepCaret(TCaretStep::LineFeed); break;
    case 12: StepCaret(TCaretStep::FormFeed); break;
    case 13: StepCaret(TCaretStep::CarriageReturn); break;
    default:
        if (byte >= 32) {
            TTermCell cell = CurrentCell(Ch);
            CellBuffer->StoreCell(CaretPos.x, CaretPos.y, cell);
            // A hidden terminal only notes the cell; it is drawn from the buffer when shown.
            if (HandleAllocated() && !DoubleBuffered && IsWindowVisible(FHandle)) {
                CanvasTakesControlLook();
                DrawCell(CaretPos.x - ViewPos.x + 1, CaretPos.y - ViewPos.y + 1, cell);
            } else if (HandleAllocated()) {
                InvalidateCells(CaretPos.x, CaretPos.y, CaretPos.x, CaretPos.y);
            }
            StepCaret(TCaretStep::AfterChar);
        }
        break;
    }
    FireChar(Ch);
}

void TCustomSerialTerminal::StepCaret(TCaretStep Kind)
{
    const int x = CaretPos.x;
    const int y = CaretPos.y;
    switch (Kind) {
    case TCaretStep::AfterChar:
        if (x < FColumns) {
            PlaceCaret(x + 1, y);
        } else if (FWrapLines) {
            if (y < FRows) {
                PlaceCaret(1, y + 1);
            } else {
                CellBuffer->ScrollContentUp();
                PlaceCaret(1, y);
            }
        }
        break;
    case TCaretStep::CarriageReturn: PlaceCaret(1, y); break;
    case TCaretStep::LineFeed:
        if (y < FRows)
            PlaceCaret(x, y + 1);
        else
            CellBuffer->ScrollContentUp();
        break;
    case TCaretStep::ReverseLineFeed:
        if (y > 1)
            PlaceCaret(x, y - 1);
        else
            CellBuffer->ScrollContentDown();
        break;
    case TCaretStep::Tab: {
        int stop = CellBuffer->NextTabStop(x + 1);
        if (stop > 0)
            PlaceCaret(stop, y);
        break;
    }
    case TCaretStep::Left: PlaceCaret(x - 1, y); break;
    case TCaretStep::FormFeed: ResetScreen(); break;
    }
}

void TCustomSerialTerminal::PlaceCaret(int Column, int Row)
{
    CaretPos.x = std::clamp(Column, 1, FColumns);
    CaretPos.y = std::clamp(Row, 1, FRows);
    if (CaretMade)
        SetCaretPos((CaretPos.x - ViewPos.x) * CharWidth,
                    (CaretPos.y - ViewPos.y) * CharHeight + CharHeight - CaretHeight);
}

void TCustomSerialTerminal::ResetScreen()
{
    CellBuffer->RebuildCells();
    PlaceCaret(1, 1);
    Invalidate();
}

void TCustomSerialTerminal::FillScreen(char Ch)
{
    TTermCell cell{Ch, Font()->GetColor(), Color(), false};
    for (int row = 1; row <= CellBuffer->Rows(); ++row)
        for (int col = 1; col <= CellBuffer->Columns(); ++col)
            CellBuffer->StoreCell(col, row, cell);
    Invalidate();
}

// ---- Escape codes ------------------------------------------------------------------------------

bool TCustomSerialTerminal::ExecuteCode(TEscapeCode Code, TStrings* Params)
{
    // Codes that answer or reset write into the list; a caller without one gets a local list.
    TStringList local;
    TStrings* list = Params != nullptr ? Params : &local;
    const int p1 = TEscapeParser::ParamAsInteger(1, Params);
    const int p2 = TEscapeParser::ParamAsInteger(2, Params);
    const int x = CaretPos.x;
    const int y = CaretPos.y;
    switch (Code) {
    case ecCursorUp:
    case ecAppCursorUp: PlaceCaret(x, SaturatedAdd(y, -std::max(p1, -INT_MAX))); break;
    case ecCursorDown:
    case ecAppCursorDown: PlaceCaret(x, SaturatedAdd(y, p1)); break;
    case ecCursorRight:
    case ecAppCursorRight: PlaceCaret(SaturatedAdd(x, p1), y); break;
    case ecCursorLeft:
    case ecAppCursorLeft: PlaceCaret(SaturatedAdd(x, -std::max(p1, -INT_MAX)), y); break;
    case ecCursorHome:
    case ecCursorMove: PlaceCaret(p2, p1); break;
    case ecReverseLineFeed: StepCaret(TCaretStep::ReverseLineFeed); break;
    case ecEraseLineFrom: CellBuffer->BlankLineFrom(x, y); break;
    case ecEraseScreenFrom: CellBuffer->BlankScreenFrom(x, y); break;
    case ecEraseLine:
        CellBuffer->BlankLineFrom(1, y);
        PlaceCaret(1, y);
        break;
    case ecEraseScreen:
        CellBuffer->BlankScreenFrom(1, 1);
        PlaceCaret(1, 1);
        break;
    case ecSetTab: CellBuffer->MarkTabStop(x, true); break;
    case ecClearTab: CellBuffer->MarkTabStop(x, false); break;
    case ecClearAllTabs: CellBuffer->ClearTabStops(); break;
    case ecIdentify:
        list->Clear();
        list->Add("2");
        TransmitReply(ecIdentResponse, list);
        break;
    case ecQueryDevice: TransmitReply(ecReportDeviceOK, nullptr); break;
    case ecQueryCursorPos:
        list->Clear();
        list->Add(std::to_string(y));
        list->Add(std::to_string(x));
        TransmitReply(ecReportCursorPos, list);
        break;
    case ecAttributes: ApplyAttributes(Params); break;
    case ecSetMode: ChangeMode(Params, true); break;
    case ecResetMode: ChangeMode(Params, false); break;
    case ecReset:
        list->Clear();
        list->Add("0");
        ApplyAttributes(list);
        break;
    case ecSaveCaretAndAttr:
        SaveCaretSpot();
        SaveAttributes();
        break;
    case ecRestoreCaretAndAttr:
        RestoreCaretSpot();
        RestoreAttributes();
        break;
    case ecSaveCaret: SaveCaretSpot(); break;
    case ecRestoreCaret: RestoreCaretSpot(); break;
    case ecTest: FillScreen('E'); break;
    default: return false;
    }
    return true;
}

void TCustomSerialTerminal::DefaultAttributes()
{
    Attributes.TextColor = Font()->GetColor();
    Attributes.FillColor = Color();
    Attributes.Reverse = false;
    Attributes.Bold = false;
    Attributes.Underline = false;
}

void TCustomSerialTerminal::ApplyAttributes(TStrings* Params)
{
    if (Params == nullptr || Params->Count() == 0) {
        DefaultAttributes();
        return;
    }
    for (int i = 1; i <= Params->Count(); ++i) {
        const int v = TEscapeParser::ParamAsInteger(i, Params);
        switch (v) {
        case 0: DefaultAttributes(); break;
        case 1: Attributes.Bold = true; break;
        case 4: Attributes.Underline = true; break;
        case 7: Attributes.Reverse = true; break;
        case 21: Attributes.Bold = false; break;
        case 24: Attributes.Underline = false; break;
        case 27: Attributes.Reverse = false; break;
        default:
            if (v >= 30 && v <= 39)
                Attributes.TextColor = AttributeColors[v - 30];
            else if (v >= 40 && v <= 49)
                Attributes.FillColor = AttributeColors[v - 40];
            break;
        }
    }
}

void TCustomSerialTerminal::ChangeMode(TStrings* Params, bool On)
{
    if (Params == nullptr || Params->Count() == 0)
        return;
    const std::string mode = Params->Strings(0);
    if (mode == "?1")
        AppCursorKeys = On;
    else if (mode == "7")
        FWrapLines = On;
    else if (mode == "?3")
        SetColumns(On ? 132 : 80);
}
