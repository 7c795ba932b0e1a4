#include "app/ComportSettingsUnit.h"

TComportSettingsForm* ComportSettingsForm = nullptr;

QM_CLASS_IMPL(TComportSettingsForm, TForm)

// The description is read by InitializeFromDescription once the object is whole
// (Application->CreateForm calls it).
TComportSettingsForm::TComportSettingsForm(TComponent* AOwner) : TForm(AOwner) {}

TComportSettingsForm::~TComportSettingsForm()
{
    if (ComportSettingsForm == this)
        ComportSettingsForm = nullptr;
}

void TComportSettingsForm::SetAll(TStrings*, const std::string& Port, const std::string& BaudRate,
                                  const std::string& DataBits, const std::string&,
                                  const std::string&, const std::string&, const std::string&,
                                  const std::string&)
{
    FPort = Port;
    FBaudRate = BaudRate;
    FDataBits = DataBits;
}

void TComportSettingsForm::GetAll(std::string& Port, std::string& BaudRate, std::string& DataBits)
{
    Port = FPort;
    BaudRate = FBaudRate;
    DataBits = FDataBits;
}
