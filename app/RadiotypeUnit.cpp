#include "app/RadiotypeUnit.h"

TRadioTypeForm* RadioTypeForm = nullptr;

QM_CLASS_IMPL(TRadioTypeForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TRadioTypeForm::TRadioTypeForm(TComponent* AOwner) : TForm(AOwner) {}

TRadioTypeForm::~TRadioTypeForm()
{
    if (RadioTypeForm == this)
        RadioTypeForm = nullptr;
}

void TRadioTypeForm::SetAll(std::uint8_t Radio) { FRadio = Radio; }
void TRadioTypeForm::GetAll(std::uint8_t& Radio) { Radio = FRadio; }
