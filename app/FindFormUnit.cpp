#include "app/FindFormUnit.h"

TFindForm* FindForm = nullptr;

QM_CLASS_IMPL(TFindForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TFindForm::TFindForm(TComponent* AOwner) : TForm(AOwner) {}

TFindForm::~TFindForm()
{
    if (FindForm == this)
        FindForm = nullptr;
}
