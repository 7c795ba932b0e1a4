#include "app/FindFormUnit.h"

#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"

TFindForm* FindForm = nullptr;

namespace {
void BuildTFindForm(TClassBuilder<TFindForm>& b)
{
    b.Field("Label2", &TFindForm::Label2);
    b.Field("SearchStr", &TFindForm::SearchStr);
    b.Field("RadioGroup1", &TFindForm::RadioGroup1);
    b.Field("RadioGroup2", &TFindForm::RadioGroup2);
    b.Field("BitBtn1", &TFindForm::BitBtn1);
    b.Field("BitBtn2", &TFindForm::BitBtn2);
    b.Method("FormCreate", &TFindForm::FormCreate);
    b.Method("FormShow", &TFindForm::FormShow);
    b.Method("SearchStrEnter", &TFindForm::SearchStrEnter);
    b.Method("Label2Click", &TFindForm::Label2Click);
    b.Method("RadioGroup1Click", &TFindForm::RadioGroup1Click);
}
} // namespace

QM_CLASS_IMPL(TFindForm, TForm, BuildTFindForm)

TFindForm::TFindForm(TComponent* AOwner) : TForm(AOwner) {}

TFindForm::~TFindForm() { ForgetGlobal(FindForm, this); }

void TFindForm::GetAll(std::uint8_t& StartAt, std::uint8_t& Direction, std::string& Text)
{
    StartAt = static_cast<std::uint8_t>(RadioGroup1->ItemIndex());
    Direction = static_cast<std::uint8_t>(RadioGroup2->ItemIndex());
    Text = SearchStr->GetText();
}

void TFindForm::FormCreate(TObject*)
{
    RadioGroup1->SetItemIndex(FindStartCurrent);
    RadioGroup2->SetItemIndex(FindForward);
    SearchStr->SetText("");
}

// Selecting the whole text lets the user type a new search over the old one.
void TFindForm::FormShow(TObject*)
{
    SearchStr->SelectAll();
}

void TFindForm::SearchStrEnter(TObject*)
{
    SearchStr->SelectAll();
}

void TFindForm::Label2Click(TObject*)
{
    if (SearchStr->CanFocus())
        SearchStr->SetFocus();
}

// Starting at the top only makes sense going down, and at the bottom going up.
void TFindForm::RadioGroup1Click(TObject*)
{
    if (RadioGroup1->ItemIndex() == FindStartTop)
        RadioGroup2->SetItemIndex(FindForward);
    else if (RadioGroup1->ItemIndex() == FindStartBottom)
        RadioGroup2->SetItemIndex(FindBackward);
}
