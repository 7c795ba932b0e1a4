// The range actions of the tool buttons' and grids' pop-up menus: read, write or clear
// all memories or menus, the current line, a chosen range or the grid's selection.
#include "app/Globals.h"
#include "app/Range_Select.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"

namespace {

enum class RangeAction { Read, Write, Clear };

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

} // namespace

void TForm1::ALL1Click(TObject*)
{
    bool memory = false;
    RangeAction action{};
    if (!ButtonAction(this, memory, action))
        return;
    if (memory)
        RunMemAction(this, action, 0, LastMemory);
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

void TForm1::RXButtonClick(TObject*) { RX_Action_Mem(0, LastMemory); }
