// The main window's resize and mouse-wheel handlers.
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "textview/TextView.h"

namespace {

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
