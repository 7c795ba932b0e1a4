// Selecting all of a grid, and copying its selected cells to the clipboard as
// tab-separated text.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/Clipbrd.h"
#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

#include <algorithm>
#include <functional>

namespace {

// Both grids show the row's memory or menu number first.
constexpr int NumberColumn = mcMemory;
static_assert(NumberColumn == mnNumber);

// Every copied cell ends with a TAB, every row with CR LF, the last ones included.
std::string SelectionText(TStringGrid* Grid, bool WithNumbers, int RightEnd, const std::function<bool(int)>& Shown)
{
    const TGridRect sel = Grid->Selection();
    const int right = std::min(sel.Right, RightEnd);
    std::string text;
    for (int r = sel.Top; r <= sel.Bottom; ++r) {
        if (WithNumbers)
            text += Grid->GetCell(NumberColumn, r) + "\t";
        for (int c = sel.Left; c <= right; ++c)
            if (Shown(c))
                text += Grid->GetCell(c, r) + "\t";
        text += "\r\n";
    }
    return text;
}

void PutOnClipboard(TForm1* Form, const std::string& Text)
{
    Clipboard()->SetAsText(Text);
    Form->OKMessage("Selection copied to clipboard.\rUse the \"paste\" function from another\r"
                    "application to get the selection.",
                    MessageKind::Information);
}

} // namespace

void TForm1::MemGridToClipBoard(bool WithNumbers)
{
    auto shown = [this](int c) {
        switch (c) {
        case mcTxFreq:
        case mcTxMode: return SplitData_Setting->Checked();
        case mcTone: return ToneNumber_Setting->Checked();
        case mcLockOut: return MemoryLockout_Setting->Checked();
        case mcDescription: return Description_Setting->Checked();
        default: return true;
        }
    };
    PutOnClipboard(this, SelectionText(MemGrid, WithNumbers, MemGrid->ColCount() - 1, shown));
}

// The menu grid's columns after the code are bookkeeping, never user text: they are not copied.
void TForm1::MenuGridToClipBoard(bool WithNumbers)
{
    PutOnClipboard(this, SelectionText(MenuGrid, WithNumbers, mnCode, [](int) { return true; }));
}

void TForm1::Copy1Click(TObject*)
{
    TComponent* grid = Grid_Popup->PopupComponent();
    if (grid && grid == MemGrid)
        MemGridToClipBoard(false);
    else if (grid && grid == MenuGrid)
        MenuGridToClipBoard(false);
}

void TForm1::Copywhichchannelnumbers1Click(TObject*)
{
    switch (VYXPageControl->TabIndex()) {
    case 0: MemGridToClipBoard(true); break;
    case 1: MenuGridToClipBoard(true); break;
    default: break;
    }
}

void TForm1::CtrlAClick(TObject*)
{
    TComponent* opener = Grid_Popup ? Grid_Popup->PopupComponent() : nullptr;
    TStringGrid* grid = nullptr;
    if (opener == MemGrid)
        grid = MemGrid;
    else if (opener == MenuGrid)
        grid = MenuGrid;
    if (!grid)
        return;
    grid->SetSelection(TGridRect{1, 1, grid->ColCount() - 1, grid->RowCount() - 1});
}
