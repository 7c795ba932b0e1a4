#include "app/AboutFormUnit.h"

TAboutForm* AboutForm = nullptr;

QM_CLASS_IMPL(TAboutForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TAboutForm::TAboutForm(TComponent* AOwner) : TForm(AOwner) {}

TAboutForm::~TAboutForm()
{
    if (AboutForm == this)
        AboutForm = nullptr;
}
