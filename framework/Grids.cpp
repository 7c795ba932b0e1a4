#include "framework/Grids.h"

#include <algorithm>

#include "framework/TypInfo.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"

// ---- cell and size references -------------------------------------------------------

std::string TGridCellRef::str() const { return FGrid->GetCell(FCol, FRow); }
TGridCellRef& TGridCellRef::operator=(const std::string& Value)
{
    FGrid->SetCell(FCol, FRow, Value);
    return *this;
}

TGridSizeRef::operator int() const { return FCols ? FGrid->ColWidth(FIndex) : FGrid->RowHeight(FIndex); }
TGridSizeRef& TGridSizeRef::operator=(int Value)
{
    if (FCols)
        FGrid->SetColWidth(FIndex, Value);
    else
        FGrid->SetRowHeight(FIndex, Value);
    return *this;
}

// ---- one line as a string list ------------------------------------------------------

QM_CLASS_IMPL(TStringGridStrings, TStrings)

int TStringGridStrings::Count() const { return FIsCol ? FGrid->RowCount() : FGrid->ColCount(); }
std::string TStringGridStrings::Strings(int Index) const
{
    return FIsCol ? FGrid->GetCell(FIndex, Index) : FGrid->GetCell(Index, FIndex);
}
void TStringGridStrings::Put(int Index, const std::string& S)
{
    if (FIsCol)
        FGrid->SetCell(FIndex, Index, S);
    else
        FGrid->SetCell(Index, FIndex, S);
}
int TStringGridStrings::Add(const std::string& S)
{
    for (int i = 0; i < Count(); ++i)
        if (Strings(i).empty()) {
            Put(i, S);
            return i;
        }
    return -1;
}
void TStringGridStrings::Insert(int, const std::string&)
{
    throw EInvalidGridOperation("Cannot insert into a grid line");
}
void TStringGridStrings::Delete(int) { throw EInvalidGridOperation("Cannot delete from a grid line"); }
void TStringGridStrings::Clear()
{
    for (int i = 0; i < Count(); ++i)
        Put(i, "");
}
void TStringGridStrings::Assign(TPersistent* Source)
{
    auto* src = dynamic_cast<TStrings*>(Source);
    if (!src) {
        TStrings::Assign(Source);
        return;
    }
    // Line by line: extra source lines are dropped, missing ones leave empty cells.
    for (int i = 0; i < Count(); ++i)
        Put(i, i < src->Count() ? src->Strings(i) : std::string());
}

TStrings* TGridLines::operator[](int Index) const
{
    auto& slot = FGrid->FLineLists[{FCols, Index}];
    if (!slot)
        slot = std::make_unique<TStringGridStrings>(FGrid, FCols, Index);
    return slot.get();
}

// ---- the grid --------------------------------------------------------------------------

QM_CLASS_IMPL(TStringGrid, TCustomControl, [](TClassBuilder<TStringGrid>& b) {
    b.Property("ColCount", &TStringGrid::ColCount, &TStringGrid::SetColCount).Default(5);
    b.Property("RowCount", &TStringGrid::RowCount, &TStringGrid::SetRowCount).Default(5);
    b.Property("FixedCols", &TStringGrid::FixedCols, &TStringGrid::SetFixedCols).Default(1);
    b.Property("FixedRows", &TStringGrid::FixedRows, &TStringGrid::SetFixedRows).Default(1);
    b.Property("DefaultColWidth", &TStringGrid::DefaultColWidth, &TStringGrid::SetDefaultColWidth).Default(64);
    b.Property("DefaultRowHeight", &TStringGrid::DefaultRowHeight, &TStringGrid::SetDefaultRowHeight).Default(24);
    b.Property("GridLineWidth", &TStringGrid::GridLineWidth, &TStringGrid::SetGridLineWidth).Default(1);
    b.Property("Options", &TStringGrid::Options, &TStringGrid::SetOptions)
        .Default(TGridOptions{goFixedVerticalLine, goFixedHorizontalLine, goVertLine, goHorzLine, goRangeSelect});
    b.Property("ScrollBars", &TStringGrid::ScrollBars, &TStringGrid::SetScrollBars).Default(ssBoth);
    b.Property("FixedColor", &TStringGrid::FixedColor, &TStringGrid::SetFixedColor).Default(clBtnFace).TypeName("TColor");
    b.Property("DefaultDrawing", &TStringGrid::DefaultDrawing, &TStringGrid::SetDefaultDrawing).Default(true);
    b.Property("BorderStyle", &TStringGrid::BorderStyle, &TStringGrid::SetBorderStyle).Default(bsSingle);
    b.Property("OnSelectCell", &TStringGrid::OnSelectCell);
    b.Property("OnDrawCell", &TStringGrid::OnDrawCell);
    b.Property("OnTopLeftChanged", &TStringGrid::OnTopLeftChanged);
})

TStringGrid::TStringGrid(TComponent* AOwner) : TCustomControl(AOwner)
{
    // Clicks come from the grid's own cell logic (mouse up after selecting, moves by
    // code or keys), not from the generic button-up rule.
    FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks};
    SetColor(clWindow);
    SetTabStop(true);
    FColWidths.assign(static_cast<size_t>(FColCount), FDefaultColWidth);
    FRowHeights.assign(static_cast<size_t>(FRowCount), FDefaultRowHeight);
    FCells.assign(static_cast<size_t>(FRowCount), std::vector<std::string>(static_cast<size_t>(FColCount)));
    SetBounds(0, 0, 320, 120);
}

TStringGrid::~TStringGrid() = default;

std::string TStringGrid::GetCell(int ACol, int ARow) const
{
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        return {};
    return FCells[static_cast<size_t>(ARow)][static_cast<size_t>(ACol)];
}

void TStringGrid::SetCell(int ACol, int ARow, const std::string& Value)
{
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        return;
    std::string& cell = FCells[static_cast<size_t>(ARow)][static_cast<size_t>(ACol)];
    if (cell == Value)
        return;
    cell = Value;
    Invalidate();
}

int TStringGrid::ColWidth(int ACol) const
{
    if (ACol < 0 || ACol >= FColCount)
        return 0;
    return FColWidths[static_cast<size_t>(ACol)];
}

void TStringGrid::SetColWidth(int ACol, int Value)
{
    if (ACol < 0 || ACol >= FColCount)
        return;
    FColWidths[static_cast<size_t>(ACol)] = std::max(Value, 0);
    ClampTopLeft();
    UpdateScrollRange();
    Invalidate();
}

int TStringGrid::RowHeight(int ARow) const
{
    if (ARow < 0 || ARow >= FRowCount)
        return 0;
    return FRowHeights[static_cast<size_t>(ARow)];
}

void TStringGrid::SetRowHeight(int ARow, int Value)
{
    if (ARow < 0 || ARow >= FRowCount)
        return;
    FRowHeights[static_cast<size_t>(ARow)] = std::max(Value, 0);
    ClampTopLeft();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetColCount(int v)
{
    v = std::max(v, 1);
    if (v == FColCount)
        return;
    if (FFixedCols >= v)
        FFixedCols = v - 1;
    FColCount = v;
    FColWidths.resize(static_cast<size_t>(v), FDefaultColWidth);
    for (auto& row : FCells)
        row.resize(static_cast<size_t>(v));
    ClampPositions();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetRowCount(int v)
{
    v = std::max(v, 1);
    if (v == FRowCount)
        return;
    if (FFixedRows >= v)
        FFixedRows = v - 1;
    FRowCount = v;
    FRowHeights.resize(static_cast<size_t>(v), FDefaultRowHeight);
    FCells.resize(static_cast<size_t>(v), std::vector<std::string>(static_cast<size_t>(FColCount)));
    ClampPositions();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetFixedCols(int v)
{
    if (v < 0 || v >= FColCount)
        throw EInvalidGridOperation("Fixed column count must be less than column count");
    FFixedCols = v;
    ClampPositions();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetFixedRows(int v)
{
    if (v < 0 || v >= FRowCount)
        throw EInvalidGridOperation("Fixed row count must be less than row count");
    FFixedRows = v;
    ClampPositions();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetDefaultColWidth(int v)
{
    v = std::max(v, 0);
    FDefaultColWidth = v;
    std::fill(FColWidths.begin(), FColWidths.end(), v);
    ClampTopLeft();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int v)
{
    v = std::max(v, 0);
    FDefaultRowHeight = v;
    std::fill(FRowHeights.begin(), FRowHeights.end(), v);
    ClampTopLeft();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetGridLineWidth(int v)
{
    FGridLineWidth = std::max(v, 0);
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::SetOptions(TGridOptions v)
{
    if (v == FOptions)
        return;
    FOptions = v;
    if (FOptions.Contains(goRowSelect)) {
        FCurrent.X = std::min(FFixedCols, FColCount - 1);
        FAnchor.X = FColCount - 1;
    } else if (!FOptions.Contains(goRangeSelect)) {
        FAnchor = FCurrent;
    }
    Invalidate();
}

void TStringGrid::SetScrollBars(TScrollStyle v)
{
    if (v == FScrollBars)
        return;
    FScrollBars = v;
    UpdateScrollRange();
}

void TStringGrid::SetFixedColor(TColor v)
{
    FFixedColor = v;
    Invalidate();
}

void TStringGrid::SetBorderStyle(TBorderStyle v)
{
    FBorderStyle = v;
    UpdateScrollRange();
    Invalidate();
}

// ---- current cell and selection -------------------------------------------------------

void TStringGrid::SetRow(int v)
{
    if (v != FCurrent.Y)
        FocusCell(FCurrent.X, v, true);
}

void TStringGrid::SetCol(int v)
{
    if (v != FCurrent.X)
        FocusCell(v, FCurrent.Y, true);
}

bool TStringGrid::SelectCell(int ACol, int ARow)
{
    bool can = true;
    OnSelectCell(this, ACol, ARow, can);
    return can;
}

void TStringGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    MoveCurrent(ACol, ARow, MoveAnchor, true);
    Click();
}

void TStringGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show)
{
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        throw EInvalidGridOperation("Grid index out of range");
    if (!SelectCell(ACol, ARow))
        return;
    FCurrent = {ACol, ARow};
    if (MoveAnchor || !FOptions.Contains(goRangeSelect)) {
        FAnchor = FCurrent;
        if (FOptions.Contains(goRowSelect))
            FAnchor.X = FColCount - 1;
    }
    if (FOptions.Contains(goRowSelect))
        FCurrent.X = std::min(FFixedCols, FColCount - 1);
    if (Show)
        ClampInView(FCurrent);
    Invalidate();
}

void TStringGrid::MoveAnchorTo(int ACol, int ARow)
{
    if (!FOptions.Contains(goRangeSelect)) {
        MoveCurrent(ACol, ARow, true, true);
        return;
    }
    FAnchor = {ACol, ARow};
    if (FOptions.Contains(goRowSelect))
        FAnchor.X = FColCount - 1;
    ClampInView(FAnchor);
    Invalidate();
}

TGridRect TStringGrid::Selection() const
{
    TGridRect r;
    r.Left = std::min(FCurrent.X, FAnchor.X);
    r.Right = std::max(FCurrent.X, FAnchor.X);
    r.Top = std::min(FCurrent.Y, FAnchor.Y);
    r.Bottom = std::max(FCurrent.Y, FAnchor.Y);
    return r;
}

void TStringGrid::SetSelection(const TGridRect& v)
{
    auto clampC = [this](int c) { return std::clamp(c, 0, FColCount - 1); };
    auto clampR = [this](int r) { return std::clamp(r, 0, FRowCount - 1); };
    FAnchor = {clampC(std::min(v.Left, v.Right)), clampR(std::min(v.Top, v.Bottom))};
    FCurrent = {clampC(std::max(v.Left, v.Right)), clampR(std::max(v.Top, v.Bottom))};
    Invalidate();
}

// ---- geometry ---------------------------------------------------------------------------

int TStringGrid::ColExtent(int ACol) const
{
    int w = ColWidth(ACol);
    return w > 0 ? w + FGridLineWidth : 0;
}

int TStringGrid::RowExtent(int ARow) const
{
    int h = RowHeight(ARow);
    return h > 0 ? h + FGridLineWidth : 0;
}

int TStringGrid::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < FFixedCols; ++c)
        w += ColExtent(c);
    return w;
}

int TStringGrid::FixedHeight() const
{
    int h = 0;
    for (int r = 0; r < FFixedRows; ++r)
        h += RowExtent(r);
    return h;
}

int TStringGrid::ColLeft(int ACol) const
{
    if (ACol < 0 || ACol >= FColCount)
        return -1;
    int x = BorderWidth();
    if (ACol < FFixedCols) {
        for (int c = 0; c < ACol; ++c)
            x += ColExtent(c);
        return x;
    }
    if (ACol < FTopLeft.X)
        return -1;
    x += FixedWidth();
    for (int c = FTopLeft.X; c < ACol; ++c)
        x += ColExtent(c);
    return x;
}

int TStringGrid::RowTop(int ARow) const
{
    if (ARow < 0 || ARow >= FRowCount)
        return -1;
    int y = BorderWidth();
    if (ARow < FFixedRows) {
        for (int r = 0; r < ARow; ++r)
            y += RowExtent(r);
        return y;
    }
    if (ARow < FTopLeft.Y)
        return -1;
    y += FixedHeight();
    for (int r = FTopLeft.Y; r < ARow; ++r)
        y += RowExtent(r);
    return y;
}

int TStringGrid::VisibleRowCount() const
{
    int avail = ClientHeight() - 2 * BorderWidth() - FixedHeight();
    int n = 0, used = 0;
    for (int r = FTopLeft.Y; r < FRowCount; ++r) {
        used += RowExtent(r);
        if (used > avail + FGridLineWidth)
            break;
        ++n;
    }
    return n;
}

int TStringGrid::VisibleColCount() const
{
    int avail = ClientWidth() - 2 * BorderWidth() - FixedWidth();
    int n = 0, used = 0;
    for (int c = FTopLeft.X; c < FColCount; ++c) {
        used += ColExtent(c);
        if (used > avail + FGridLineWidth)
            break;
        ++n;
    }
    return n;
}

int TStringGrid::LastTopRow() const
{
    int avail = ClientHeight() - 2 * BorderWidth() - FixedHeight() + FGridLineWidth;
    int top = FRowCount - 1, used = 0;
    for (int r = FRowCount - 1; r >= FFixedRows; --r) {
        used += RowExtent(r);
        if (used > avail)
            break;
        top = r;
    }
    return std::max(top, FFixedRows);
}

int TStringGrid::LastLeftCol() const
{
    int avail = ClientWidth() - 2 * BorderWidth() - FixedWidth() + FGridLineWidth;
    int left = FColCount - 1, used = 0;
    for (int c = FColCount - 1; c >= FFixedCols; --c) {
        used += ColExtent(c);
        if (used > avail)
            break;
        left = c;
    }
    return std::max(left, FFixedCols);
}

TRect TStringGrid::CellRect(int ACol, int ARow) const
{
    int x = ColLeft(ACol), y = RowTop(ARow);
    if (x < 0 || y < 0 || x >= ClientWidth() || y >= ClientHeight())
        return TRect{0, 0, 0, 0};
    return TRect{x, y, x + ColWidth(ACol), y + RowHeight(ARow)};
}

void TStringGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const
{
    TGridCoord c = MouseCoord(X, Y);
    ACol = c.X;
    ARow = c.Y;
}

TGridCoord TStringGrid::MouseCoord(int X, int Y) const
{
    TGridCoord res{-1, -1};
    if (X < 0 || Y < 0 || X >= ClientWidth() || Y >= ClientHeight())
        return res;
    auto find = [](int pos, int count, int fixed, int first, auto left, auto size) {
        for (int i = 0; i < count; ++i) {
            if (i >= fixed && i < first)
                continue;
            int l = left(i), s = size(i);
            if (l < 0 || s <= 0)
                continue;
            if (pos >= l && pos < l + s)
                return i;
        }
        return -1;
    };
    int c = find(X, FColCount, FFixedCols, FTopLeft.X, [this](int i) { return ColLeft(i); },
                 [this](int i) { return ColExtent(i); });
    int r = find(Y, FRowCount, FFixedRows, FTopLeft.Y, [this](int i) { return RowTop(i); },
                 [this](int i) { return RowExtent(i); });
    if (c >= 0 && r >= 0)
        res = {c, r};
    return res;
}

// ---- scrolling --------------------------------------------------------------------------

void TStringGrid::SetTopLeft(int ACol, int ARow)
{
    ACol = std::clamp(ACol, std::min(FFixedCols, FColCount - 1), LastLeftCol());
    ARow = std::clamp(ARow, std::min(FFixedRows, FRowCount - 1), LastTopRow());
    if (ACol == FTopLeft.X && ARow == FTopLeft.Y)
        return;
    FTopLeft = {ACol, ARow};
    UpdateScrollRange();
    Invalidate();
    OnTopLeftChanged(this);
}

void TStringGrid::ClampInView(TGridCoord Coord)
{
    if (!HandleAllocated() && ClientHeight() <= 0)
        return;
    int col = FTopLeft.X, row = FTopLeft.Y;
    if (Coord.Y >= FFixedRows) {
        if (Coord.Y < row)
            row = Coord.Y;
        else {
            int avail = ClientHeight() - 2 * BorderWidth() - FixedHeight() + FGridLineWidth;
            int top = Coord.Y, used = 0;
            for (int r = Coord.Y; r >= FFixedRows; --r) {
                used += RowExtent(r);
                if (used > avail)
                    break;
                top = r;
            }
            if (top > FTopLeft.Y)
                row = top;
        }
    }
    if (Coord.X >= FFixedCols) {
        if (Coord.X < col)
            col = Coord.X;
        else {
            int avail = ClientWidth() - 2 * BorderWidth() - FixedWidth() + FGridLineWidth;
            int left = Coord.X, used = 0;
            for (int c = Coord.X; c >= FFixedCols; --c) {
                used += ColExtent(c);
                if (used > avail)
                    break;
                left = c;
            }
            if (left > FTopLeft.X)
                col = left;
        }
    }
    SetTopLeft(col, row);
}

void TStringGrid::ClampPositions()
{
    auto clampC = [this](int c) { return std::clamp(c, 0, FColCount - 1); };
    auto clampR = [this](int r) { return std::clamp(r, 0, FRowCount - 1); };
    FCurrent = {clampC(std::max(FCurrent.X, FFixedCols)), clampR(std::max(FCurrent.Y, FFixedRows))};
    FAnchor = {clampC(std::max(FAnchor.X, FFixedCols)), clampR(std::max(FAnchor.Y, FFixedRows))};
    ClampTopLeft();
}

// Sizes change what can scroll, not which cell is current: a current cell placed on a fixed
// row stays there (where it is not drawn as selected).
void TStringGrid::ClampTopLeft()
{
    FTopLeft.X = std::clamp(FTopLeft.X, std::min(FFixedCols, FColCount - 1), LastLeftCol());
    FTopLeft.Y = std::clamp(FTopLeft.Y, std::min(FFixedRows, FRowCount - 1), LastTopRow());
}

void TStringGrid::UpdateScrollRange()
{
    if (!HandleAllocated() || FUpdatingScroll)
        return;
    FUpdatingScroll = true;
    HWND h = FHandle;
    auto apply = [h](int bar, bool wanted, int count, int page, int pos) {
        if (!wanted || count <= page) {
            ShowScrollBar(h, bar, FALSE);
            return;
        }
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = count - 1;
        si.nPage = static_cast<UINT>(std::max(page, 1));
        si.nPos = pos;
        SetScrollInfo(h, bar, &si, TRUE);
        ShowScrollBar(h, bar, TRUE);
    };
    // Twice: a bar appearing narrows the client area, which may call for the other one.
    for (int pass = 0; pass < 2; ++pass) {
        apply(SB_VERT, FScrollBars == ssVertical || FScrollBars == ssBoth, FRowCount - FFixedRows,
              VisibleRowCount(), FTopLeft.Y - FFixedRows);
        apply(SB_HORZ, FScrollBars == ssHorizontal || FScrollBars == ssBoth, FColCount - FFixedCols,
              VisibleColCount(), FTopLeft.X - FFixedCols);
    }
    FUpdatingScroll = false;
}

void TStringGrid::ScrollMessage(TMessage& M, bool Vert)
{
    int code = static_cast<int>(LOWORD(M.WParam));
    int pos = Vert ? FTopLeft.Y : FTopLeft.X;
    int fixed = Vert ? FFixedRows : FFixedCols;
    int page = std::max(Vert ? VisibleRowCount() : VisibleColCount(), 1);
    switch (code) {
    case SB_LINEUP: --pos; break;
    case SB_LINEDOWN: ++pos; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = fixed; break;
    case SB_BOTTOM: pos = Vert ? FRowCount : FColCount; break;
    case SB_THUMBTRACK:
        if (!FOptions.Contains(goThumbTracking))
            return;
        [[fallthrough]];
    case SB_THUMBPOSITION: {
        SCROLLINFO si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(FHandle, Vert ? SB_VERT : SB_HORZ, &si);
        pos = si.nTrackPos + fixed;
        break;
    }
    default: return;
    }
    if (Vert)
        SetTopLeft(FTopLeft.X, pos);
    else
        SetTopLeft(pos, FTopLeft.Y);
}

void TStringGrid::WMVScroll(TMessage& M) { ScrollMessage(M, true); }
void TStringGrid::WMHScroll(TMessage& M) { ScrollMessage(M, false); }

void TStringGrid::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    ClampTopLeft();
    UpdateScrollRange();
    Invalidate();
}

void TStringGrid::CreateWnd()
{
    TCustomControl::CreateWnd();
    UpdateScrollRange();
}

void TStringGrid::WMSetFocus(TMessage& M)
{
    TCustomControl::WMSetFocus(M);
    Invalidate();
}

void TStringGrid::WMKillFocus(TMessage& M)
{
    TCustomControl::WMKillFocus(M);
    Invalidate();
}

void TStringGrid::WMGetDlgCode(TMessage& M)
{
    M.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (FOptions.Contains(goTabs) ? DLGC_WANTTAB : 0);
}

// ---- mouse and keys ----------------------------------------------------------------------

void TStringGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && Shift.Contains(ssDouble)) {
        DblClick();
    } else if (Button == mbLeft) {
        if (CanFocus() && !Focused())
            SetFocus();
        TGridCoord hit = MouseCoord(X, Y);
        if (hit.X >= FFixedCols && hit.Y >= FFixedRows) {
            if (Shift.Contains(ssShift) && FOptions.Contains(goRangeSelect))
                MoveAnchorTo(hit.X, hit.Y);
            else
                MoveCurrent(hit.X, hit.Y, true, true);
            FSelecting = true;
            SetMouseCapture(true);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TStringGrid::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FSelecting && FOptions.Contains(goRangeSelect)) {
        TGridCoord hit = MouseCoord(X, Y);
        if (hit.X >= FFixedCols && hit.Y >= FFixedRows && !(hit == FAnchor))
            MoveAnchorTo(hit.X, hit.Y);
    }
    TCustomControl::MouseMove(Shift, X, Y);
}

void TStringGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FSelecting && Button == mbLeft) {
        FSelecting = false;
        SetMouseCapture(false);
        Click();
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TStringGrid::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0 || FRowCount <= FFixedRows || FColCount <= FFixedCols)
        return;
    int col = FCurrent.X, row = FCurrent.Y;
    int page = std::max(VisibleRowCount(), 1);
    bool ctrl = Shift.Contains(ssCtrl);
    switch (Key) {
    case VK_UP: --row; break;
    case VK_DOWN: ++row; break;
    case VK_LEFT: --col; break;
    case VK_RIGHT: ++col; break;
    case VK_PRIOR: row -= page; break;
    case VK_NEXT: row += page; break;
    case VK_HOME:
        if (ctrl)
            row = FFixedRows;
        else
            col = FFixedCols;
        break;
    case VK_END:
        if (ctrl)
            row = FRowCount - 1;
        else
            col = FColCount - 1;
        break;
    case VK_TAB:
        if (!FOptions.Contains(goTabs))
            return;
        if (Shift.Contains(ssShift)) {
            if (--col < FFixedCols) {
                col = FColCount - 1;
                --row;
            }
        } else if (++col >= FColCount) {
            col = FFixedCols;
            ++row;
        }
        break;
    default: return;
    }
    if (FOptions.Contains(goRowSelect))
        col = FCurrent.X;
    col = std::clamp(col, FFixedCols, FColCount - 1);
    row = std::clamp(row, FFixedRows, FRowCount - 1);
    if (col == FCurrent.X && row == FCurrent.Y)
        return;
    if (Shift.Contains(ssShift) && Key != VK_TAB && FOptions.Contains(goRangeSelect))
        MoveAnchorTo(col, row);
    else
        FocusCell(col, row, true);
}

// ---- painting ----------------------------------------------------------------------------

void TStringGrid::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState)
{
    if (FDefaultDrawing) {
        TCanvas* cv = Canvas();
        TRect r = ARect;
        // Disabled grids keep their colours: the data must stay readable.
        if (AState.Contains(gdFixed)) {
            cv->Brush()->SetColor(FFixedColor);
            cv->Font()->SetColor(Font()->GetColor());
        } else if (AState.Contains(gdSelected)) {
            cv->Brush()->SetColor(clHighlight);
            cv->Font()->SetColor(clHighlightText);
        } else {
            cv->Brush()->SetColor(Color());
            cv->Font()->SetColor(Font()->GetColor());
        }
        cv->TextRect(r, r.left + 2, r.top + 2, GetCell(ACol, ARow));
        if (AState.Contains(gdFixed) && FGridLineWidth > 0) {
            cv->Pen()->SetColor(clBtnHighlight);
            cv->MoveTo(r.left, r.bottom - 1);
            cv->LineTo(r.left, r.top);
            cv->LineTo(r.right, r.top);
        }
    }
    OnDrawCell(this, ACol, ARow, ARect, AState);
}

void TStringGrid::Paint()
{
    TCanvas* cv = Canvas();
    int cw = ClientWidth(), ch = ClientHeight();
    cv->Brush()->SetColor(Color());
    cv->FillRect(TRect{0, 0, cw, ch});
    TGridRect sel = Selection();
    bool focused = Focused();
    int B = BorderWidth();
    int gridRight = B, gridBottom = B;
    std::vector<int> cols, rows;
    for (int c = 0; c < FColCount; ++c)
        if ((c < FFixedCols || c >= FTopLeft.X) && ColWidth(c) > 0 && ColLeft(c) >= 0 && ColLeft(c) < cw)
            cols.push_back(c);
    for (int r = 0; r < FRowCount; ++r)
        if ((r < FFixedRows || r >= FTopLeft.Y) && RowHeight(r) > 0 && RowTop(r) >= 0 && RowTop(r) < ch)
            rows.push_back(r);
    for (int r : rows) {
        int y = RowTop(r), h = RowHeight(r);
        gridBottom = std::max(gridBottom, y + h + FGridLineWidth);
        for (int c : cols) {
            int x = ColLeft(c), w = ColWidth(c);
            gridRight = std::max(gridRight, x + w + FGridLineWidth);
            TGridDrawState st;
            bool fixed = c < FFixedCols || r < FFixedRows;
            if (fixed)
                st += gdFixed;
            else {
                bool inSel = c >= sel.Left && c <= sel.Right && r >= sel.Top && r <= sel.Bottom;
                bool current = c == FCurrent.X && r == FCurrent.Y;
                if (current && focused)
                    st += gdFocused;
                if (inSel && (!current || !focused || FOptions.Contains(goDrawFocusSelected) ||
                              FOptions.Contains(goRowSelect)))
                    st += gdSelected;
            }
            DrawCell(c, r, TRect{x, y, x + w, y + h}, st);
            if (FGridLineWidth > 0) {
                bool vline = fixed ? FOptions.Contains(goFixedVerticalLine) : FOptions.Contains(goVertLine);
                bool hline = fixed ? FOptions.Contains(goFixedHorizontalLine) : FOptions.Contains(goHorzLine);
                cv->Brush()->SetColor(fixed ? clGray : clSilver);
                if (vline)
                    cv->FillRect(TRect{x + w, y, x + w + FGridLineWidth, y + h + FGridLineWidth});
                if (hline)
                    cv->FillRect(TRect{x, y + h, x + w + FGridLineWidth, y + h + FGridLineWidth});
            }
            if (st.Contains(gdFocused) && !FOptions.Contains(goRowSelect)) {
                cv->Brush()->SetColor(clBlack);
                cv->FrameRect(TRect{x, y, x + w, y + h});
            }
        }
    }
    if (B > 0) {
        cv->Brush()->SetColor(clGray);
        cv->FrameRect(TRect{0, 0, cw, ch});
    }
}

void RegisterGridClasses()
{
    RegisterClasses({TStringGrid::StaticClassInfo()});
}
