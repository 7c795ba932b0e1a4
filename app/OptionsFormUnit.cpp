#include "app/OptionsFormUnit.h"

#include "app/Globals.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "platform/FileAssociation.h"

TOptionsForm* OptionsForm = nullptr;
std::function<std::string()> BrowseFileFn;

namespace {
void BuildTOptionsForm(TClassBuilder<TOptionsForm>& b)
{
#define QM_F(Name) b.Field(#Name, &TOptionsForm::Name)
    QM_F(Bevel1); QM_F(Label1); QM_F(Edit1); QM_F(BrowseButton2); QM_F(Bevel2);
    QM_F(SplashScreenCheckBox); QM_F(FileAssociationCheckBox); QM_F(Bevel3); QM_F(OnStartup);
    QM_F(RadioButton1); QM_F(RadioButton2); QM_F(RadioButton3); QM_F(Edit2);
    QM_F(BrowseButton1); QM_F(OKButton); QM_F(CancelButton);
#undef QM_F
#define QM_M(Name) b.Method(#Name, &TOptionsForm::Name)
    QM_M(OnStartupClick); QM_M(RadioButton1Click); QM_M(RadioButton2Click);
    QM_M(RadioButton3Click); QM_M(BrowseButton1Click); QM_M(BrowseButton2Click);
#undef QM_M
}
} // namespace

QM_CLASS_IMPL(TOptionsForm, TForm, BuildTOptionsForm)

bool IsAdmin()
{
    return FileAssociation().MayAssociate();
}

TOptionsForm::TOptionsForm(TComponent* AOwner) : TForm(AOwner) {}

TOptionsForm::~TOptionsForm() { ForgetGlobal(OptionsForm, this); }

void TOptionsForm::SetAll()
{
    Edit1->SetText(MemoryFileDir);
    Edit2->SetText(AutoStartMem);
    OnStartup->SetChecked(AutoVink);
    if (AutoLoadOption == 1)
        RadioButton1->SetChecked(true);
    else if (AutoLoadOption == 2)
        RadioButton2->SetChecked(true);
    else if (AutoLoadOption == 3)
        RadioButton3->SetChecked(true);
    else {
        // A stored value outside 1..3 selects no start-up action.
        RadioButton1->SetChecked(false);
        RadioButton2->SetChecked(false);
        RadioButton3->SetChecked(false);
    }
    SplashScreenCheckBox->SetChecked(DisableSplashScreen);
    FileAssociationCheckBox->SetEnabled(IsAdmin());
    FileAssociationCheckBox->SetChecked(FileAssociated);
    UpdateCheckBox();
}

void TOptionsForm::GetALL(std::string& MemoryFileDir, std::string& AutoStartMem, bool& AutoVink,
                          bool& DisableSplashScreen, std::uint8_t& AutoLoadOption,
                          bool& FileAssociation)
{
    MemoryFileDir = Edit1->GetText();
    AutoStartMem = Edit2->GetText();
    AutoVink = OnStartup->Checked();
    DisableSplashScreen = SplashScreenCheckBox->Checked();
    if (RadioButton1->Checked())
        AutoLoadOption = 1;
    else if (RadioButton2->Checked())
        AutoLoadOption = 2;
    else if (RadioButton3->Checked())
        AutoLoadOption = 3;
    FileAssociation = FileAssociationCheckBox->Checked();
}

void TOptionsForm::UpdateCheckBox()
{
    bool startup = OnStartup->Checked();
    RadioButton1->SetEnabled(startup);
    RadioButton2->SetEnabled(startup);
    RadioButton3->SetEnabled(startup);
    Edit2->SetEnabled(startup);
    if (startup && RadioButton3->Checked()) {
        Edit2->SetColor(clWindow);
        BrowseButton1->SetEnabled(true);
    } else {
        Edit2->SetColor(clInactiveBorder);
        Edit2->SetEnabled(false);
        BrowseButton1->SetEnabled(false);
    }
}

void TOptionsForm::OnStartupClick(TObject*) { UpdateCheckBox(); }
void TOptionsForm::RadioButton1Click(TObject*) { UpdateCheckBox(); }
void TOptionsForm::RadioButton2Click(TObject*) { UpdateCheckBox(); }
void TOptionsForm::RadioButton3Click(TObject*) { UpdateCheckBox(); }

void TOptionsForm::BrowseButton1Click(TObject*)
{
    std::string chosen = BrowseFileFn ? BrowseFileFn() : std::string();
    if (!chosen.empty())
        Edit2->SetText(chosen);
}

void TOptionsForm::BrowseButton2Click(TObject*)
{
    std::string folder = Edit1->GetText();
    if (SelectDirectory("Select a directory", "", folder))
        Edit1->SetText(folder);
}
