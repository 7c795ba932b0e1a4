#include "app/SplashFormUnit.h"

TSplashForm* SplashForm = nullptr;

QM_CLASS_IMPL(TSplashForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TSplashForm::TSplashForm(TComponent* AOwner) : TForm(AOwner) {}

TSplashForm::~TSplashForm()
{
    if (SplashForm == this)
        SplashForm = nullptr;
}
