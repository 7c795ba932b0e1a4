#include "app/OptionsFormUnit.h"

TOptionsForm* OptionsForm = nullptr;

QM_CLASS_IMPL(TOptionsForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TOptionsForm::TOptionsForm(TComponent* AOwner) : TForm(AOwner) {}

TOptionsForm::~TOptionsForm()
{
    if (OptionsForm == this)
        OptionsForm = nullptr;
}
