#include "serial/SerialTerminal.h"

#include <algorithm>

#include "platform/Caret.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"
#include "platform/ScopeExit.h"

namespace {
// Our windows are always drawn in the new style (client edges rather than plain borders).
constexpr bool NewStyleControls = true;
const char* const DesignCaption = "Serial terminal";
} // namespace

void TCustomSerialTerminal::TermInvalidate() { Invalidate(); }

// ---- Font, colours and window style -----------------------------------------------------------

bool TCustomSerialTerminal::MeasureFont()
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font()->GetHandle());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    // A degenerate font must not give a zero cell (every cell sum divides by these).
    CharHeight = std::max<int>(1, tm.tmHeight);
    CharWidth = std::max<int>(1, tm.tmMaxCharWidth);
    return (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
}

void TCustomSerialTerminal::CMFontChanged(TMessage& M)
{
    TCustomControl::CMFontChanged(M);
    // Renaming or restyling the font below comes back here; the outer call finishes.
    if (FMeasuring)
        return;
    {
        FMeasuring = true;
        ScopeExit done([this] { FMeasuring = false; });
        Attributes.TextColor = Font()->GetColor();
        if (!MeasureFont()) {
            const std::string fallback =
                SerialTerminalDefaultFont() ? SerialTerminalDefaultFont()->GetName() : "Fixedsys";
            if (Font()->GetName() != fallback) {
                Font()->SetName(fallback);
                MeasureFont();
            }
        }
        if (Font()->GetStyle().Contains(fsUnderline))
            Font()->SetStyle(Font()->GetStyle() - fsUnderline);
    }
    AdjustSize();
    UpdateScrollRanges();
}

void TCustomSerialTerminal::CMColorChanged(TMessage& M)
{
    TCustomControl::CMColorChanged(M);
    Attributes.FillColor = Color();
}

void TCustomSerialTerminal::CMCtl3DChanged(TMessage& M)
{
    if (NewStyleControls && FBorderStyle == bsSingle)
        RecreateWnd();
    TCustomControl::CMCtl3DChanged(M);
}

void TCustomSerialTerminal::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    if (FBorderStyle == bsSingle) {
        Params.Style |= WS_BORDER;
        if (NewStyleControls && Ctl3D()) {
            Params.Style &= ~WS_BORDER;
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        }
    }
    if (FScrollBars == ssVertical || FScrollBars == ssBoth)
        Params.Style |= WS_VSCROLL;
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
        Params.Style |= WS_HSCROLL;
}

bool TCustomSerialTerminal::CanAutoSize(int& NewWidth, int& NewHeight)
{
    const TAlign a = Align();
    const bool single = FBorderStyle == bsSingle;
    if (a == alNone || a == alLeft || a == alRight) {
        NewWidth = CharWidth * FColumns;
        if (single)
            NewWidth += 2 * GetSystemMetrics(Ctl3D() ? SM_CXEDGE : SM_CXBORDER);
    }
    if (a == alNone || a == alTop || a == alBottom) {
        NewHeight = CharHeight * FRows;
        if (single)
            NewHeight += 2 * GetSystemMetrics(Ctl3D() ? SM_CYEDGE : SM_CYBORDER);
    }
    return true;
}

// ---- Scroll bars ---------------------------------------------------------------------------

namespace {
int Positions(int visible, int total) { return visible < total ? total - visible + 1 : 1; }
} // namespace

void TCustomSerialTerminal::UpdateScrollRanges()
{
    if (FScrollBars == ssNone || !HandleAllocated())
        return;
    HWND h = FHandle;
    const TScrollStyle bars = FScrollBars;
    const bool horz = bars == ssHorizontal || bars == ssBoth;
    const bool vert = bars == ssVertical || bars == ssBoth;
    auto shown = [h](int bar) {
        int lo = 0, hi = 0;
        GetScrollRange(h, bar, &lo, &hi);
        return lo != hi;
    };
    int width = ClientWidth();
    if (vert && shown(SB_VERT))
        width += GetSystemMetrics(SM_CXVSCROLL);

    // Size messages caused by the range changes must not come back in here; the field is
    // restored however this ends.
    ScopeExit restore([this, bars] { FScrollBars = bars; });
    FScrollBars = ssNone;

    if (horz)
        SetScrollRange(h, SB_HORZ, 0, Positions(width / CharWidth, FColumns) - 1, FALSE);
    if (vert)
        SetScrollRange(h, SB_VERT, 0, Positions(ClientHeight() / CharHeight, FRows) - 1, FALSE);
    if (horz && ClientWidth() != width)
        SetScrollRange(h, SB_HORZ, 0, Positions(ClientWidth() / CharWidth, FColumns) - 1, FALSE);

    FScrollBars = bars;
    if (horz) {
        int pos = GetScrollPos(h, SB_HORZ);
        ViewPos.x = pos + 1;
        SetScrollPos(h, SB_HORZ, pos, TRUE);
    }
    if (vert) {
        int pos = GetScrollPos(h, SB_VERT);
        ViewPos.y = pos + 1;
        SetScrollPos(h, SB_VERT, pos, TRUE);
    }
}

void TCustomSerialTerminal::ScrollView(int Bar, int Code, int Pos)
{
    if (Code == SB_ENDSCROLL || !HandleAllocated())
        return;
    if (Code == SB_THUMBTRACK && !FSmoothScroll)
        return;
    HWND h = FHandle;
    const bool vertical = Bar == SB_VERT;
    const int unit = vertical ? CharHeight : CharWidth;
    // A page is what the window shows along the bar's own direction.
    const int page = (vertical ? ClientHeight() : ClientWidth()) / unit;
    const int old = GetScrollPos(h, Bar);
    int wanted = old;
    switch (Code) {
    case SB_LINEUP: wanted = old - 1; break;
    case SB_LINEDOWN: wanted = old + 1; break;
    case SB_PAGEUP: wanted = old - page; break;
    case SB_PAGEDOWN: wanted = old + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: wanted = Pos; break;
    default: break;
    }
    SetScrollPos(h, Bar, wanted, TRUE);
    const int actual = GetScrollPos(h, Bar);
    if (vertical)
        ViewPos.y = actual + 1;
    else
        ViewPos.x = actual + 1;
    const int shift = (old - actual) * unit;
    if (shift == 0)
        return;
    if (DoubleBuffered)
        Invalidate();
    else if (vertical)
        ScrollWindowEx(h, 0, shift, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    else
        ScrollWindowEx(h, shift, 0, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
    if (CaretMade)
        PlaceCaret(CaretPos.x, CaretPos.y);
}

void TCustomSerialTerminal::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    UpdateScrollRanges();
}

void TCustomSerialTerminal::WMHScroll(TMessage& M)
{
    ScrollView(SB_HORZ, LOWORD(static_cast<uint64_t>(M.WParam)),
               static_cast<short>(HIWORD(static_cast<uint64_t>(M.WParam))));
}

void TCustomSerialTerminal::WMVScroll(TMessage& M)
{
    ScrollView(SB_VERT, LOWORD(static_cast<uint64_t>(M.WParam)),
               static_cast<short>(HIWORD(static_cast<uint64_t>(M.WParam))));
}

// ---- Painting ------------------------------------------------------------------------------

void TCustomSerialTerminal::CanvasTakesControlLook()
{
    Canvas()->Font()->Assign(Font());
    Canvas()->Brush()->SetColor(Color());
}

void TCustomSerialTerminal::Paint()
{
    CanvasTakesControlLook();
    if (IsDesigning()) {
        DrawDesignSample();
        return;
    }
    PlaceCaret(CaretPos.x, CaretPos.y);
    const TRect clip = Canvas()->GetClipRect();
    const int left = clip.left / CharWidth + 1;
    const int right = std::min(clip.right / CharWidth + 1, FColumns);
    const int top = clip.top / CharHeight + 1;
    const int bottom = std::min(clip.bottom / CharHeight + 1, FRows);
    PaintCells(left, top, right, bottom);
}

void TCustomSerialTerminal::PaintCells(int Left, int Top, int Right, int Bottom)
{
    for (int y = Top; y <= Bottom; ++y) {
        const int row = ViewPos.y + y - 1;
        if (row > CellBuffer->Rows())
            break;
        for (int x = Left; x <= Right; ++x) {
            const int column = ViewPos.x + x - 1;
            if (column > CellBuffer->Columns())
                break;
            const TTermCell cell = CellBuffer->FetchCell(column, row);
            if (cell.Character != 0)
                DrawCell(x, y, cell);
        }
    }
}

void TCustomSerialTerminal::DrawCell(int X, int Y, const TTermCell& Cell)
{
    TCanvas* c = Canvas();
    const TColor brush = c->Brush()->GetColor();
    const TColor text = c->Font()->GetColor();
    c->Brush()->SetColor(Cell.FillColor);
    c->Font()->SetColor(Cell.TextColor);
    TFontStyles style = c->Font()->GetStyle();
    if (Cell.Underline != style.Contains(fsUnderline))
        c->Font()->SetStyle(Cell.Underline ? style + fsUnderline : style - fsUnderline);
    c->TextOut((X - 1) * CharWidth, (Y - 1) * CharHeight, std::string(1, Cell.Character));
    c->Brush()->SetColor(brush);
    c->Font()->SetColor(text);
}

void TCustomSerialTerminal::InvalidateCells(int Left, int Top, int Right, int Bottom)
{
    if (!HandleAllocated())
        return;
    RECT r{std::max(0, (Left - ViewPos.x) * CharWidth), std::max(0, (Top - ViewPos.y) * CharHeight),
           std::max(0, (Right - ViewPos.x + 1) * CharWidth), std::max(0, (Bottom - ViewPos.y + 1) * CharHeight)};
    InvalidateRect(FHandle, &r, TRUE);
}

void TCustomSerialTerminal::DrawDesignSample()
{
    TCanvas* c = Canvas();
    c->TextOut(0, 0, DesignCaption);
    const TColor text = c->Font()->GetColor();
    c->Font()->SetColor(FAltColor);
    c->TextOut(0, CharHeight, DesignCaption);
    c->Font()->SetColor(text);
    PatBlt(c->GetHandle(), 0, 0, CharWidth, 2 * CharHeight, DSTINVERT);
}
