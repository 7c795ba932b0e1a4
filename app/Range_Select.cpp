#include "app/Range_Select.h"

TRange_Selection* Range_Selection = nullptr;

QM_CLASS_IMPL(TRange_Selection, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TRange_Selection::TRange_Selection(TComponent* AOwner) : TForm(AOwner) {}

TRange_Selection::~TRange_Selection()
{
    if (Range_Selection == this)
        Range_Selection = nullptr;
}
