// The memory grid's edit panel: committing a row, following the grid's current cell, the
// edit fields' exits, clearing rows, the progress bar, the widths of the frequency and
// description columns and the Exit button.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/Gdi.h"
#include "protocol/MemoryRecord.h"

#include <algorithm>

void TForm1::UpdateButtonClick(TObject*)
{
    char key = EnterKey;
    MemoryActivateChanges(this, key);
}

void TForm1::MemoryActivateChanges(TObject*, char& Key)
{
    if (Key != EnterKey)
        return;
    Key = 0;
    const int r = MemGrid->Row();
    UpdateMemGrid();
    UpdateEditFields();
    UpdateMemGrid();
    UpdateEditFields();
    FileChanged = true;
    ShowStatus("Memory " + MemoryRecord::TwoDigits(r - 1) + " updated.");
    UpdateTaskBarUsed();
    if (r < MemoryCount)
        MemGrid->SetRow(r + 1);
    if (RXFreqEdit->CanFocus())
        RXFreqEdit->SetFocus();
}

void TForm1::MemGridClick(TObject*)
{
    UpdateEditFields();
    if (!MemGrid->Focused())
        return;
    TWinControl* editors[] = {nullptr,   RXFreqEdit, RXModeSelect, TXFreqEdit,
                              TXModeSelect, ToneNumber, MemLock,   Description};
    const int col = MemGrid->Selection().Right;
    if (col < mcRxFreq || col > mcDescription)
        return;
    // A hidden column's editor sits on a hidden panel and cannot take the focus.
    if (editors[col]->CanFocus())
        editors[col]->SetFocus();
}

void TForm1::MemEditChange(TObject*)
{
    int value = 0;
    if (!TryStrToInt(MemEdit->Text(), value))
        return;
    if (value < MemEdit->MinValue() || value > MemEdit->MaxValue())
        return;
    if (value + 1 < MemGrid->RowCount())
        MemGrid->SetRow(value + 1);
}

void TForm1::MemEditExit(TObject*) { MemEdit->SetValue(MemGrid->Row() - 1); }

void TForm1::RXFreqEditExit(TObject*) { RXFreqEdit->SetText(PanelFrequency(RXFreqEdit->Text())); }

void TForm1::TXFreqEditExit(TObject*) { TXFreqEdit->SetText(PanelFrequency(TXFreqEdit->Text())); }

void TForm1::TXFreqEditEnter(TObject*)
{
    if (!TXFreqEdit->Text().empty())
        return;
    TXFreqEdit->SetText(RXFreqEdit->Text());
    TXModeSelect->SetItemIndex(RXModeSelect->ItemIndex());
    TXFreqEdit->SelectAll();
}

void TForm1::Clear_Action_Mem(std::uint8_t From, std::uint8_t To)
{
    // Callers pass memory numbers; anything past the last memory stays inside the grid.
    const int last = std::min<int>(To, MemGrid->RowCount() - 2);
    for (int r = From + 1; r <= last + 1; ++r) {
        for (int c = mcRxFreq; c <= mcDescription; ++c)
            MemGrid->SetCell(c, r, "");
        // Cleared on purpose: the next send clears the memory, kept or not.
        KeepMemoryWhileRowUnchanged(r - 1, false);
    }
    FileChanged = true;
}

void TForm1::MemChanClearFieldsButtonClick(TObject*)
{
    const int m = MemEdit->Value();
    Clear_Action_Mem(static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m));
    UpdateTaskBarUsed();
    UpdateEditFields();
}

void TForm1::ClearFieldsButtonClick(TObject* Sender) { MemChanClearFieldsButtonClick(Sender); }

void TForm1::ExitButtonClick(TObject*) { Close(); }

void TForm1::MemChanClearButtonClick(TObject*)
{
    if (!AskFileChange()) {
        ShowStatus("Delete of all memory entries canceled.");
        return;
    }
    Clear_Action_Mem(0, LastMemory);
    FileChanged = true;
    UpdateEditFields();
    ShowStatus("ALL memory entries deleted.");
    UpdateTaskBarUsed();
}

void TForm1::SetMemProgressBar(std::uint8_t Position)
{
    const int lo = std::min(MemProgressBar->Min(), MemProgressBar->Max());
    const int hi = std::max(MemProgressBar->Min(), MemProgressBar->Max());
    MemProgressBar->SetPosition(std::clamp<int>(Position, lo, hi));
}

int TForm1::FreqColWidth() const
{
    // The cell's text stands 2 pixels in from its left edge; keep as much room on the right.
    constexpr int margins = 4;
    TBitmap measure;
    measure.SetSize(1, 1);
    measure.Canvas()->Font()->Assign(MemGrid->Font());
    return std::max(70, measure.Canvas()->TextWidth("9999.999.99") + margins);
}

int TForm1::DescriptionColWidth() const
{
    constexpr int ownWidth = 155;
    // The grid's frame lies inside its client area; a grid line follows each shown column.
    int left = MemGrid->Width() - GetSystemMetrics(SM_CXVSCROLL) - (MemGrid->BorderStyle() == bsNone ? 0 : 2);
    for (int c = mcMemory; c < mcDescription; ++c)
        if (MemGrid->ColWidth(c) > 0)
            left -= MemGrid->ColWidth(c) + MemGrid->GridLineWidth();
    return std::clamp(left, 0, ownWidth);
}

void TForm1::PublishMemoryPanelMembers(TClassBuilder<TForm1>& b)
{
#define QM_M(Name) b.Method(#Name, &TForm1::Name)
    QM_M(MemoryActivateChanges); QM_M(MemGridClick); QM_M(MemEditChange);
    QM_M(MemEditExit); QM_M(RXFreqEditExit); QM_M(TXFreqEditExit); QM_M(TXFreqEditEnter);
    QM_M(MemChanClearFieldsButtonClick); QM_M(UpdateButtonClick);
    QM_M(ClearFieldsButtonClick); QM_M(ExitButtonClick); QM_M(MemChanClearButtonClick);
#undef QM_M
}
