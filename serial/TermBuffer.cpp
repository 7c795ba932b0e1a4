#include "serial/TermBuffer.h"

#include <algorithm>

QM_CLASS_IMPL(TTermBuffer, TObject)

TTermBuffer::TTermBuffer(TTermBufferHost* Terminal) : Terminal(Terminal) { RebuildCells(); }

bool TTermBuffer::InRange(int Column, int Row) const
{
    return Column >= 1 && Column <= FColumns && Row >= 1 && Row <= FRows;
}

size_t TTermBuffer::IndexOf(int Column, int Row) const
{
    return static_cast<size_t>(Row - 1) * static_cast<size_t>(FColumns) + static_cast<size_t>(Column - 1);
}

void TTermBuffer::StoreCell(int Column, int Row, const TTermCell& Cell)
{
    if (InRange(Column, Row))
        Cells[IndexOf(Column, Row)] = Cell;
}

TTermCell TTermBuffer::FetchCell(int Column, int Row) const
{
    return InRange(Column, Row) ? Cells[IndexOf(Column, Row)] : TTermCell{};
}

void TTermBuffer::ScrollWindowBy(int Direction)
{
    if (Terminal == nullptr)
        return;
    if (Terminal->TermDoubleBuffered()) {
        Terminal->TermInvalidate();
        return;
    }
    HWND window = Terminal->TermWindow();
    if (window == nullptr)
        return;
    const int cw = Terminal->TermCharWidth();
    const int ch = Terminal->TermCharHeight();
    RECT area{0, 0, std::min(Terminal->TermClientWidth(), FColumns * cw),
              std::min(Terminal->TermClientHeight(), FRows * ch)};
    ScrollWindowEx(window, 0, Direction * ch, &area, nullptr, nullptr, nullptr, SW_INVALIDATE | SW_ERASE);
}

void TTermBuffer::ScrollContentUp()
{
    const auto width = static_cast<ptrdiff_t>(FColumns);
    // Moving towards lower addresses, a forward copy never reads a cell it already wrote.
    std::copy(Cells.begin() + width, Cells.end(), Cells.begin());
    std::fill(Cells.end() - width, Cells.end(), TTermCell{});
    ScrollWindowBy(-1);
}

void TTermBuffer::ScrollContentDown()
{
    const auto width = static_cast<ptrdiff_t>(FColumns);
    std::copy_backward(Cells.begin(), Cells.end() - width, Cells.end());
    std::fill(Cells.begin(), Cells.begin() + width, TTermCell{});
    ScrollWindowBy(1);
}

void TTermBuffer::BlankLineFrom(int Column, int Row)
{
    if (Row < 1 || Row > FRows || Column > FColumns)
        return;
    Column = std::max(Column, 1);
    std::fill(Cells.begin() + static_cast<ptrdiff_t>(IndexOf(Column, Row)),
              Cells.begin() + static_cast<ptrdiff_t>(IndexOf(FColumns, Row)) + 1, TTermCell{});
    if (Terminal != nullptr) {
        if (Terminal->TermDoubleBuffered())
            Terminal->TermInvalidate();
        else
            Terminal->TermInvalidateCells(Column, Row, FColumns, Row);
    }
}

void TTermBuffer::BlankScreenFrom(int Column, int Row)
{
    if (Row < 1) {
        Row = 1;
        Column = 1;
    }
    if (Row > FRows)
        return;
    if (Column > FColumns) {
        // Nothing left on this row: the blanking starts on the next one.
        if (Row == FRows)
            return;
        ++Row;
        Column = 1;
    }
    Column = std::max(Column, 1);
    std::fill(Cells.begin() + static_cast<ptrdiff_t>(IndexOf(Column, Row)), Cells.end(), TTermCell{});
    if (Terminal == nullptr)
        return;
    if (Terminal->TermDoubleBuffered()) {
        Terminal->TermInvalidate();
        return;
    }
    Terminal->TermInvalidateCells(Column, Row, FColumns, Row);
    if (Row < FRows)
        Terminal->TermInvalidateCells(1, Row + 1, FColumns, FRows);
}

void TTermBuffer::RebuildCells()
{
    if (Terminal != nullptr)
        RebuildCells(Terminal->TermColumns(), Terminal->TermRows());
    else
        RebuildCells(FColumns > 0 ? FColumns : DefaultColumns, FRows > 0 ? FRows : DefaultRows);
}

void TTermBuffer::RebuildCells(int AColumns, int ARows)
{
    FColumns = std::clamp(AColumns, MinColumns, MaxColumns);
    FRows = std::clamp(ARows, MinRows, MaxRows);
    Cells.assign(static_cast<size_t>(FColumns) * static_cast<size_t>(FRows), TTermCell{});
    TabStops.assign(static_cast<size_t>(FColumns), 0);
    for (int c = 1; c <= FColumns; c += 8)
        TabStops[static_cast<size_t>(c - 1)] = 1;
}

bool TTermBuffer::TabStopAt(int Column) const
{
    return Column >= 1 && Column <= FColumns && TabStops[static_cast<size_t>(Column - 1)] != 0;
}

void TTermBuffer::MarkTabStop(int Column, bool Value)
{
    if (Column >= 1 && Column <= FColumns)
        TabStops[static_cast<size_t>(Column - 1)] = Value ? 1 : 0;
}

void TTermBuffer::ClearTabStops() { std::fill(TabStops.begin(), TabStops.end(), uint8_t{0}); }

int TTermBuffer::NextTabStop(int Column) const
{
    for (int c = std::max(Column, 1); c <= FColumns; ++c)
        if (TabStops[static_cast<size_t>(c - 1)] != 0)
            return c;
    return 0;
}
