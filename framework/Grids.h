#pragma once
// The string grid: a custom-drawn table of texts with fixed title rows and columns, a
// current cell, a rectangular selection and its own scrolling. The cells are the data.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Controls.h"
#include "framework/StdCtrls.h" // TScrollStyle

QM_ENUM(TGridOption, goFixedVerticalLine, goFixedHorizontalLine, goVertLine, goHorzLine,
        goRangeSelect, goDrawFocusSelected, goRowSizing, goColSizing, goRowMoving, goColMoving,
        goEditing, goTabs, goRowSelect, goAlwaysShowEditor, goThumbTracking)
using TGridOptions = Set<TGridOption>;
QM_ENUM(TGridDrawStateFlag, gdSelected, gdFocused, gdFixed)
using TGridDrawState = Set<TGridDrawStateFlag>;

struct TGridCoord {
    int X = 0;
    int Y = 0;
    bool operator==(const TGridCoord&) const = default;
};
// Left/Right are columns, Top/Bottom rows, all inclusive.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

QM_EXCEPTION(EInvalidGridOperation, Exception)

using TSelectCellEvent = Event<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TDrawCellEvent = Event<void(TObject* Sender, int ACol, int ARow, TRect Rect, TGridDrawState State)>;

class TStringGrid;

// One cell as an assignable value: reading outside the grid gives "", writing outside the
// grid is ignored.
class TGridCellRef {
public:
    TGridCellRef(TStringGrid* Grid, int Col, int Row) : FGrid(Grid), FCol(Col), FRow(Row) {}
    operator std::string() const { return str(); }
    std::string str() const;
    TGridCellRef& operator=(const std::string& Value);
    TGridCellRef& operator=(const char* Value) { return *this = std::string(Value ? Value : ""); }
    TGridCellRef& operator=(const TGridCellRef& Other) { return *this = Other.str(); }
    bool empty() const { return str().empty(); }
    size_t length() const { return str().length(); }
    size_t size() const { return length(); }
    friend bool operator==(const TGridCellRef& a, const std::string& b) { return a.str() == b; }
    friend bool operator==(const TGridCellRef& a, const char* b) { return a.str() == b; }
    friend std::string operator+(const TGridCellRef& a, const std::string& b) { return a.str() + b; }
    friend std::string operator+(const std::string& a, const TGridCellRef& b) { return a + b.str(); }
    friend std::string operator+(const TGridCellRef& a, const char* b) { return a.str() + b; }
    friend std::string operator+(const char* a, const TGridCellRef& b) { return a + b.str(); }

private:
    TStringGrid* FGrid;
    int FCol, FRow;
};

// Cells[c][r]
class TGridCells {
public:
    explicit TGridCells(TStringGrid* Grid) : FGrid(Grid) {}
    class Column {
    public:
        Column(TStringGrid* Grid, int Col) : FGrid(Grid), FCol(Col) {}
        TGridCellRef operator[](int Row) const { return TGridCellRef(FGrid, FCol, Row); }

    private:
        TStringGrid* FGrid;
        int FCol;
    };
    Column operator[](int Col) const { return Column(FGrid, Col); }

private:
    TStringGrid* FGrid;
};

// ColWidths[i] / RowHeights[i] as assignable integers.
class TGridSizeRef {
public:
    TGridSizeRef(TStringGrid* Grid, bool Cols, int Index) : FGrid(Grid), FCols(Cols), FIndex(Index) {}
    operator int() const;
    TGridSizeRef& operator=(int Value);
    TGridSizeRef& operator=(const TGridSizeRef& Other) { return *this = static_cast<int>(Other); }

private:
    TStringGrid* FGrid;
    bool FCols;
    int FIndex;
};
class TGridSizes {
public:
    TGridSizes(TStringGrid* Grid, bool Cols) : FGrid(Grid), FCols(Cols) {}
    TGridSizeRef operator[](int Index) const { return TGridSizeRef(FGrid, FCols, Index); }

private:
    TStringGrid* FGrid;
    bool FCols;
};

// Cols[i] / Rows[i]: one line of cells as a string list of fixed length.
class TStringGridStrings : public TStrings {
    QM_CLASS(TStringGridStrings, TStrings)
public:
    TStringGridStrings(TStringGrid* Grid, bool IsCol, int Index)
        : FGrid(Grid), FIsCol(IsCol), FIndex(Index) {}
    int Count() const override;
    std::string Strings(int Index) const override;
    void Put(int Index, const std::string& S) override;
    // Fills the first empty cell; -1 when the line is full.
    int Add(const std::string& S) override;
    // The line's length is the grid's: inserting and deleting are not possible.
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    // Empties every cell of the line.
    void Clear() override;
    void Assign(TPersistent* Source) override;

private:
    TStringGrid* FGrid;
    bool FIsCol;
    int FIndex;
};
class TGridLines {
public:
    TGridLines(TStringGrid* Grid, bool Cols) : FGrid(Grid), FCols(Cols) {}
    TStrings* operator[](int Index) const;

private:
    TStringGrid* FGrid;
    bool FCols;
};

class TStringGrid : public TCustomControl {
    QM_CLASS(TStringGrid, TCustomControl)
    friend class TGridLines;

public:
    explicit TStringGrid(TComponent* AOwner);
    ~TStringGrid() override;

    TGridCells Cells{this};
    TGridSizes ColWidths{this, true};
    TGridSizes RowHeights{this, false};
    TGridLines Cols{this, true};
    TGridLines Rows{this, false};

    std::string GetCell(int ACol, int ARow) const;
    void SetCell(int ACol, int ARow, const std::string& Value);
    int ColWidth(int ACol) const;
    void SetColWidth(int ACol, int Value);
    int RowHeight(int ARow) const;
    void SetRowHeight(int ARow, int Value);

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    // Growing adds empty cells, shrinking drops the cells beyond; the rest stays.
    void SetColCount(int v);
    void SetRowCount(int v);
    int FixedCols() const { return FFixedCols; }
    int FixedRows() const { return FFixedRows; }
    void SetFixedCols(int v);
    void SetFixedRows(int v);
    int DefaultColWidth() const { return FDefaultColWidth; }
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    // Sets every column (row) to the new default.
    void SetDefaultColWidth(int v);
    void SetDefaultRowHeight(int v);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int v);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions v);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle v);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor v);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool v) { FDefaultDrawing = v; Invalidate(); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);

    int Row() const { return FCurrent.Y; }
    int Col() const { return FCurrent.X; }
    // A different value asks OnSelectCell, moves the current cell (with the selection)
    // and fires OnClick; the same value does nothing. Outside the grid raises
    // EInvalidGridOperation.
    void SetRow(int v);
    void SetCol(int v);
    TGridRect Selection() const;
    // Moves the anchor to the top-left and the current cell to the bottom-right corner
    // (clamped to the grid); fires no event.
    void SetSelection(const TGridRect& v);
    int TopRow() const { return FTopLeft.Y; }
    // Rows (columns) after the fixed ones that fit wholly in the client area.
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // The cell's rectangle in client coordinates; empty when the cell is not on screen.
    TRect CellRect(int ACol, int ARow) const;
    // The cell under a client point; -1, -1 outside every cell.
    void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
    TGridCoord MouseCoord(int X, int Y) const;

    TSelectCellEvent OnSelectCell;
    TDrawCellEvent OnDrawCell;
    TNotifyEvent OnTopLeftChanged;

protected:
    void Paint() override;
    virtual void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState);
    virtual bool SelectCell(int ACol, int ARow);
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void WMSize(TMessage& M) override;
    void WMVScroll(TMessage& M) override;
    void WMHScroll(TMessage& M) override;
    void WMGetDlgCode(TMessage& M) override;
    // The current cell shows the focus frame only while the grid has the focus.
    void WMSetFocus(TMessage& M) override;
    void WMKillFocus(TMessage& M) override;
    void CreateWnd() override;

private:
    void FocusCell(int ACol, int ARow, bool MoveAnchor);
    void MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show);
    void MoveAnchorTo(int ACol, int ARow);
    void ClampInView(TGridCoord Coord);
    void SetTopLeft(int ACol, int ARow);
    void ClampPositions();
    void ClampTopLeft();
    void UpdateScrollRange();
    void ScrollMessage(TMessage& M, bool Vert);
    int ColLeft(int ACol) const;  // client x of a visible column; -1 when scrolled away
    int RowTop(int ARow) const;
    int LastTopRow() const;
    int LastLeftCol() const;
    int BorderWidth() const { return FBorderStyle == bsNone ? 0 : 1; }
    int ColExtent(int ACol) const;
    int RowExtent(int ARow) const;
    int FixedWidth() const;
    int FixedHeight() const;

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FGridLineWidth = 1;
    TGridOptions FOptions{goFixedVerticalLine, goFixedHorizontalLine, goVertLine, goHorzLine,
                          goRangeSelect};
    TScrollStyle FScrollBars = ssBoth;
    TColor FFixedColor = clBtnFace;
    bool FDefaultDrawing = true;
    TBorderStyle FBorderStyle = bsSingle;
    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    std::vector<std::vector<std::string>> FCells; // [row][col]
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    TGridCoord FTopLeft{1, 1};
    bool FSelecting = false;
    bool FUpdatingScroll = false;
    std::map<std::pair<bool, int>, std::unique_ptr<TStringGridStrings>> FLineLists;
};

void RegisterGridClasses();
