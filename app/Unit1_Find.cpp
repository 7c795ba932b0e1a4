// Searching the active grid, the range actions of the tool buttons' and grids' pop-up
// menus, the window's resize handler and the mouse wheel.
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/Range_Select.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "textview/TextView.h"

namespace {

// 0 forward, 1 backward: the find dialog's last choice, used again by Find Next.
std::uint8_t SearchDirection = 0;

enum class RangeAction { Read, Write, Clear };

// The grid of the active page, counted over the visible tabs: 0 memories, 1 menus.
TStringGrid* ActiveGrid(TForm1* Form)
{
    switch (Form->VYXPageControl->TabIndex()) {
    case 0: return Form->MemGrid;
    case 1: return Form->MenuGrid;
    default: return nullptr;
    }
}

void RunMemAction(TForm1* Form, RangeAction Action, std::uint8_t From, std::uint8_t To)
{
    switch (Action) {
    case RangeAction::Read: Form->RX_Action_Mem(From, To); break;
    case RangeAction::Write: Form->TX_Action_Mem(From, To); break;
    case RangeAction::Clear: Form->Clear_Action_Mem(From, To); break;
    }
}

void RunMenuAction(TForm1* Form, RangeAction Action, std::uint8_t From, std::uint8_t To)
{
    switch (Action) {
    case RangeAction::Read: Form->RX_Action_Menu(From, To); break;
    case RangeAction::Write: Form->TX_Action_Menu(From, To); break;
    case RangeAction::Clear: Form->Clear_Action_Menu(From, To); break;
    }
}

std::uint8_t MenuNumberOfRow(TForm1* Form, int Row)
{
    const int n = Form->FromMenuGridToMenuOption(static_cast<std::uint8_t>(Row));
    return static_cast<std::uint8_t>(n < 0 ? 0 : n > 255 ? 255 : n);
}

// Which button opened Radio_Action, as (is a memory button, action); false when none of
// the six did.
bool ButtonAction(TForm1* Form, bool& Memory, RangeAction& Action)
{
    TComponent* b = Form->Radio_Action->PopupComponent();
    const struct {
        TComponent* Button;
        bool Memory;
        RangeAction Action;
    } buttons[] = {
        {Form->MemChanRXButton, true, RangeAction::Read},
        {Form->MemChanTXButton, true, RangeAction::Write},
        {Form->MemChanClearFieldsButton, true, RangeAction::Clear},
        {Form->MenuSetRXButton, false, RangeAction::Read},
        {Form->MenuSetTXButton, false, RangeAction::Write},
        {Form->MenuClearFieldsButton, false, RangeAction::Clear},
    };
    for (const auto& entry : buttons)
        if (b && entry.Button == b) {
            Memory = entry.Memory;
            Action = entry.Action;
            return true;
        }
    return false;
}

void GridPopupAction(TForm1* Form, RangeAction Action)
{
    TComponent* grid = Form->Grid_Popup->PopupComponent();
    if (grid && grid == Form->MemGrid) {
        const TGridRect sel = Form->MemGrid->Selection();
        RunMemAction(Form, Action, static_cast<std::uint8_t>(sel.Top - 1), static_cast<std::uint8_t>(sel.Bottom - 1));
    } else if (grid && grid == Form->MenuGrid) {
        const TGridRect sel = Form->MenuGrid->Selection();
        RunMenuAction(Form, Action, MenuNumberOfRow(Form, sel.Top), MenuNumberOfRow(Form, sel.Bottom));
    } else {
        return;
    }
    if (Action == RangeAction::Clear)
        Form->UpdateEditFields();
}

void StepWheel(TForm1* Form, int Step)
{
    if (Form->VYXPageControl->ActivePage() == Form->CmdTabSheet) {
        // The log's page has a hidden tab, so its tab index cannot name it.
        Form->CmdLineWindow->SetVerticalPosition(Form->CmdLineWindow->GetVerticalPosition() + 2 * Step);
        return;
    }
    switch (Form->VYXPageControl->TabIndex()) {
    case 0: Form->MemEdit->SetValue(Form->MemEdit->Value() + Step); break;
    case 1: Form->MenuEdit->SetValue(Form->MenuEdit->Value() + Step); break;
    default: break;
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
        Form->OKMessage("Search string \"" + SearchText + "\" not found.", 2);
        return;
    }
    ShowStatus(Found + IntToStr(row - 1) + ".");
    if (row == LastFoundRow)
        Form->OKMessage("Only one instance found for your search request.", 2);
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
        OKMessage("The search string cannot be blank.", 2);
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
        OKMessage("Nothing to look for. Use <CTRL-F> instead.", 2);
        return;
    }
    TStringGrid* grid = ActiveGrid(this);
    if (grid == MemGrid)
        SearchInMemGrid(0);
    else if (grid == MenuGrid)
        SearchInMenuGrid(0);
}

void TForm1::ALL1Click(TObject*)
{
    bool memory = false;
    RangeAction action{};
    if (!ButtonAction(this, memory, action))
        return;
    if (memory)
        RunMemAction(this, action, 0, 99);
    else
        RunMenuAction(this, action, static_cast<std::uint8_t>(MenuEdit->MinValue()),
                      static_cast<std::uint8_t>(MenuEdit->MaxValue()));
    UpdateTaskBarUsed();
    UpdateEditFields();
}

void TForm1::CurrentLine1Click(TObject*)
{
    bool memory = false;
    RangeAction action{};
    if (!ButtonAction(this, memory, action))
        return;
    if (memory) {
        const auto m = static_cast<std::uint8_t>(MemEdit->Value());
        RunMemAction(this, action, m, m);
    } else {
        const auto n = static_cast<std::uint8_t>(MenuEdit->Value());
        RunMenuAction(this, action, n, n);
    }
    UpdateTaskBarUsed();
    UpdateEditFields();
}

void TForm1::SelectRange1Click(TObject*)
{
    bool memory = false;
    RangeAction action{};
    if (!ButtonAction(this, memory, action) || !Range_Selection)
        return;
    std::uint8_t first = 0;
    std::uint8_t last = 0;
    if (memory) {
        const TGridRect sel = MemGrid->Selection();
        Range_Selection->SetSelection(static_cast<std::uint8_t>(sel.Top - 1), static_cast<std::uint8_t>(sel.Bottom - 1));
        if (Range_Selection->ShowModal() != mrOk)
            return;
        Range_Selection->GetSelection(first, last);
        RunMemAction(this, action, first, last);
        return;
    }
    TGridRect sel = MenuGrid->Selection();
    Range_Selection->SetSelection(MenuNumberOfRow(this, sel.Top), MenuNumberOfRow(this, sel.Bottom));
    if (Range_Selection->ShowModal() == mrOk) {
        Range_Selection->GetSelection(first, last);
        const int top = FromMenuOptionToMenuGrid(first);
        const int bottom = FromMenuOptionToMenuGrid(last);
        // A number the grid does not show names no row; the title row is never selected.
        if (top != 0 && bottom != 0) {
            sel.Top = top;
            sel.Bottom = bottom;
            MenuGrid->SetSelection(sel);
        }
        RunMenuAction(this, action, first, last);
    }
    UpdateTaskBarUsed();
    UpdateEditFields();
}

void TForm1::RX1Click(TObject*) { GridPopupAction(this, RangeAction::Read); }
void TForm1::TX1Click(TObject*) { GridPopupAction(this, RangeAction::Write); }
void TForm1::Clear1Click(TObject*) { GridPopupAction(this, RangeAction::Clear); }

void TForm1::RXButtonClick(TObject*) { RX_Action_Mem(0, 99); }

void TForm1::FormResize(TObject*)
{
    if (!CmdLineEditCB || !CmdLineWindow)
        return;
    CmdLineEditCB->SetTop(Height() - 110);
    CmdLineWindow->SetHeight(Height() - 110);
}

void TForm1::FormMouseWheelDown(TObject*, TShiftState, TPoint, bool& Handled)
{
    StepWheel(this, 1);
    Handled = true;
}

void TForm1::FormMouseWheelUp(TObject*, TShiftState, TPoint, bool& Handled)
{
    StepWheel(this, -1);
    Handled = true;
}
