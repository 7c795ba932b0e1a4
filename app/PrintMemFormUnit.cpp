#include "app/PrintMemFormUnit.h"

TPrintMemForm* PrintMemForm = nullptr;

QM_CLASS_IMPL(TPrintMemForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TPrintMemForm::TPrintMemForm(TComponent* AOwner) : TForm(AOwner) {}

TPrintMemForm::~TPrintMemForm()
{
    if (PrintMemForm == this)
        PrintMemForm = nullptr;
}
