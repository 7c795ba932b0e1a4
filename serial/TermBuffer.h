#pragma once
// The character-cell store behind the terminal control, with the screen-wide moves and
// blanking that keep the terminal's window up to date.
#include <cstdint>
#include <vector>

#include "framework/Graphics.h"
#include "framework/System.h"

struct TTermCell {
    char Character = 0; // 0: empty, never drawn
    TColor TextColor = 0;
    TColor FillColor = 0;
    bool Underline = false;

    bool operator==(const TTermCell&) const = default;
};

// What the buffer reads from its terminal and asks of its window. The terminal control
// implements it; names are prefixed so they do not collide with the control's own.
class TTermBufferHost {
public:
    virtual ~TTermBufferHost() = default;
    virtual int TermColumns() const = 0;
    virtual int TermRows() const = 0;
    virtual int TermCharWidth() const = 0;
    virtual int TermCharHeight() const = 0;
    // Null while the control has no window; the buffer then skips window updates.
    virtual HWND TermWindow() const = 0;
    virtual int TermClientWidth() const = 0;
    virtual int TermClientHeight() const = 0;
    virtual bool TermDoubleBuffered() const = 0;
    virtual void TermInvalidate() = 0;
    // A rectangle of buffer cells, 1-based and inclusive.
    virtual void TermInvalidateCells(int Left, int Top, int Right, int Bottom) = 0;
};

class TTermBuffer : public TObject {
    QM_CLASS(TTermBuffer, TObject)
public:
    static constexpr int MinColumns = 2;
    static constexpr int MaxColumns = 256;
    static constexpr int MinRows = 2;
    static constexpr int MaxRows = 100;
    static constexpr int DefaultColumns = 80;
    static constexpr int DefaultRows = 24;

    // The cells exist from here on, sized as the terminal is now (80 x 24 without one),
    // so nothing can reach a buffer that has none.
    explicit TTermBuffer(TTermBufferHost* Terminal);

    // Every access checks its bounds: a cell outside the buffer is not stored, and
    // fetches as an empty cell.
    void StoreCell(int Column, int Row, const TTermCell& Cell);
    TTermCell FetchCell(int Column, int Row) const;

    void ScrollContentUp();
    void ScrollContentDown();
    void BlankLineFrom(int Column, int Row);
    void BlankScreenFrom(int Column, int Row);

    // New cells for the terminal's current size (clamped to 2..256 x 2..100), all empty,
    // with the default tab stops. Does not repaint.
    void RebuildCells();
    void RebuildCells(int AColumns, int ARows);

    bool TabStopAt(int Column) const;
    void MarkTabStop(int Column, bool Value);
    void ClearTabStops();
    // The first stop at or after Column, up to Columns; 0 when there is none.
    int NextTabStop(int Column) const;

    // The size as of the last rebuild, which the cells always match.
    int Columns() const { return FColumns; }
    int Rows() const { return FRows; }

    TTermBufferHost* Terminal = nullptr;
    std::vector<TTermCell> Cells;
    std::vector<uint8_t> TabStops;

private:
    bool InRange(int Column, int Row) const;
    size_t IndexOf(int Column, int Row) const;
    void ScrollWindowBy(int Direction);

    int FColumns = 0;
    int FRows = 0;
};
