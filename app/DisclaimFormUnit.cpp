#include "app/DisclaimFormUnit.h"

#include "framework/Buttons.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"

TDisclaimForm* DisclaimForm = nullptr;

namespace {
void BuildTDisclaimForm(TClassBuilder<TDisclaimForm>& b)
{
    b.Field("Memo1", &TDisclaimForm::Memo1);
    b.Field("BitBtn1", &TDisclaimForm::BitBtn1);
    b.Method("BitBtn1Click", &TDisclaimForm::BitBtn1Click);
}
} // namespace

QM_CLASS_IMPL(TDisclaimForm, TForm, BuildTDisclaimForm)

TDisclaimForm::TDisclaimForm(TComponent* AOwner) : TForm(AOwner) {}

TDisclaimForm::~TDisclaimForm() { ForgetGlobal(DisclaimForm, this); }

void TDisclaimForm::BitBtn1Click(TObject*) { Close(); }
