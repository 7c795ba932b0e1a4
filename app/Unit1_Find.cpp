// Searching the active grid: the find dialog, Find Next and the in-row search.
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/SysUtils.h"

std::string SearchText;
int LastFoundRow = 0;

namespace {

// 0 forward, 1 backward: the find dialog's last choice, used again by Find Next.
std::uint8_t SearchDirection = 0;

// The grid of the active page, counted over the visible tabs: 0 memories, 1 menus.
TStringGrid* ActiveGrid(TForm1* Form)
{
    switch (Form->VYXPageControl->TabIndex()) {
    case 0: return Form->MemGrid;
    case 1: return Form->MenuGrid;
    default: return nullptr;
    }
}

} // namespace

void TForm1::DoFind(std::uint8_t Start, std::uint8_t& Row, std::uint8_t& Column)
{
    Row = 0;
    Column = 0;
    TStringGrid* grid = ActiveGrid(this);
    if (!grid)
        return;
    const int last = grid->RowCount() - 1;
    const int r0 = Start == 0 ? grid->Row() : Start == 1 ? 1 : last;
    const int step = SearchDirection == 0 ? 1 : -1;
    int r = r0 == LastFoundRow ? r0 + step : r0;
    bool wrapped = false;
    for (;;) {
        if (r > last || r < 1) {
            if (wrapped)
                return;
            wrapped = true;
            r = step > 0 ? 1 : last;
            continue;
        }
        if (const std::uint8_t c = FindInGridColumn(r); c != 0) {
            Row = static_cast<std::uint8_t>(r);
            Column = c;
            return;
        }
        r += step;
    }
}

namespace {

void ReportSearch(TForm1* Form, TStringGrid* Grid, const std::string& Found, std::uint8_t Start)
{
    std::uint8_t row = 0;
    std::uint8_t column = 0;
    Form->DoFind(Start, row, column);
    if (row == 0) {
        Form->OKMessage("Search string \"" + SearchText + "\" not found.", MessageKind::Information);
        return;
    }
    ShowStatus(Found + IntToStr(row - 1) + ".");
    if (row == LastFoundRow)
        Form->OKMessage("Only one instance found for your search request.", MessageKind::Information);
    LastFoundRow = row;
    Grid->SetRow(row);
    Grid->SetCol(column);
}

} // namespace

void TForm1::SearchInMemGrid(std::uint8_t Start) { ReportSearch(this, MemGrid, "Found item at memory : ", Start); }

void TForm1::SearchInMenuGrid(std::uint8_t Start) { ReportSearch(this, MenuGrid, "Found item at menu item: ", Start); }

void TForm1::FindMenuClick(TObject*)
{
    if (!FindForm || FindForm->ShowModal() != mrOk) {
        ShowStatus("Search action canceled.");
        return;
    }
    std::uint8_t start = 0;
    std::uint8_t direction = 0;
    std::string text;
    FindForm->GetAll(start, direction, text);
    if (text.empty()) {
        OKMessage("The search string cannot be blank.", MessageKind::Information);
        return;
    }
    SearchDirection = direction;
    SearchText = text;
    ShowStatus("Searching ...");
    TStringGrid* grid = ActiveGrid(this);
    if (grid == MemGrid)
        SearchInMemGrid(start);
    else if (grid == MenuGrid)
        SearchInMenuGrid(start);
}

void TForm1::FindNextMenuClick(TObject*)
{
    if (SearchText.empty()) {
        OKMessage("Nothing to look for. Use <CTRL-F> instead.", MessageKind::Information);
        return;
    }
    TStringGrid* grid = ActiveGrid(this);
    if (grid == MemGrid)
        SearchInMemGrid(0);
    else if (grid == MenuGrid)
        SearchInMenuGrid(0);
}

std::uint8_t FindInGridColumn(int Row)
{
    const std::string text = UpperCase(SearchText);
    if (text.empty() || !Form1)
        return 0;
    TStringGrid* grid = ActiveGrid(Form1);
    if (!grid)
        return 0;
    for (int c = 1; c < grid->ColCount(); ++c)
        if (UpperCase(grid->GetCell(c, Row)).find(text) != std::string::npos)
            return static_cast<std::uint8_t>(c);
    return 0;
}
