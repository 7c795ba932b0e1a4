#include "app/DisclaimFormUnit.h"

TDisclaimForm* DisclaimForm = nullptr;

QM_CLASS_IMPL(TDisclaimForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TDisclaimForm::TDisclaimForm(TComponent* AOwner) : TForm(AOwner) {}

TDisclaimForm::~TDisclaimForm()
{
    if (DisclaimForm == this)
        DisclaimForm = nullptr;
}
