#include "app/ComportSettingsUnit.h"

#include "app/Globals.h"
#include "framework/Classes.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"

#include <span>

TComportSettingsForm* ComportSettingsForm = nullptr;

namespace {
void BuildTComportSettingsForm(TClassBuilder<TComportSettingsForm>& b)
{
#define QM_F(Name) b.Field(#Name, &TComportSettingsForm::Name)
    QM_F(Label1); QM_F(ComPortSelect); QM_F(BaudRateSelectLabel); QM_F(BaudRateSelect);
    QM_F(DataBitsSelectLabel); QM_F(DataBitsSelect); QM_F(SlopBitsSelectLabel);
    QM_F(StopBitsSelect); QM_F(ParitySelectLabel); QM_F(ParitySelect);
    QM_F(HardwareRadioButton); QM_F(SoftwareRadioButton); QM_F(NoneRadioButton);
    QM_F(CustomRadioButton); QM_F(FlowDTRSelectLabel); QM_F(FlowDTRSelect);
    QM_F(FlowRTSSelectLabel); QM_F(FlowRTSSelect); QM_F(OKButton); QM_F(CancelButton);
#undef QM_F
    b.Method("RadioButtonChange", &TComportSettingsForm::RadioButtonChange);
}

void Fill(TComboBox* box, std::span<const char* const> names)
{
    box->Items()->Clear();
    for (const char* n : names)
        box->Items()->Add(n);
}

// Exact, case-sensitive: a port name differing only in case is another device.
int ExactIndex(TStrings* items, const std::string& text)
{
    for (int i = 0; i < items->Count(); ++i)
        if (items->Strings(i) == text)
            return i;
    return -1;
}

void Select(TComboBox* box, const std::string& text)
{
    box->SetItemIndex(ExactIndex(box->Items(), text));
}

std::string Shown(TComboBox* box)
{
    return box->ItemIndex() < 0 ? std::string() : box->GetText();
}
} // namespace

bool IsCustomBaudRate(const std::string& text)
{
    if (text.empty() || text.size() > 7)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return text[0] != '0';
}

QM_CLASS_IMPL(TComportSettingsForm, TForm, BuildTComportSettingsForm)

TComportSettingsForm::TComportSettingsForm(TComponent* AOwner) : TForm(AOwner) {}

TComportSettingsForm::~TComportSettingsForm() { ForgetGlobal(ComportSettingsForm, this); }

void TComportSettingsForm::SetAll(TStrings* Ports, const std::string& Port,
                                  const std::string& BaudRate, const std::string& DataBits,
                                  const std::string& StopBits, const std::string& Parity,
                                  const std::string& FlowControl, const std::string& DTRFlow,
                                  const std::string& RTSFlow)
{
    ComPortSelect->Items()->Clear();
    if (Ports)
        ComPortSelect->Items()->Assign(Ports);
    Select(ComPortSelect, Port);
    Fill(BaudRateSelect, BaudRateNames);
    // A custom rate of the port is offered as one more item, so OK keeps it instead of
    // leaving the rate unselected.
    if (IsCustomBaudRate(BaudRate) && ExactIndex(BaudRateSelect->Items(), BaudRate) < 0)
        BaudRateSelect->Items()->Add(BaudRate);
    Select(BaudRateSelect, BaudRate);
    Fill(DataBitsSelect, DataBitsNames);
    Select(DataBitsSelect, DataBits);
    Fill(StopBitsSelect, StopBitsNames);
    Select(StopBitsSelect, StopBits);
    Fill(ParitySelect, ParityNames);
    Select(ParitySelect, Parity);

    char first = FlowControl.empty() ? '\0' : FlowControl[0];
    HardwareRadioButton->SetChecked(false);
    SoftwareRadioButton->SetChecked(false);
    NoneRadioButton->SetChecked(false);
    CustomRadioButton->SetChecked(false);
    if (first == 'C')
        CustomRadioButton->SetChecked(true);
    else if (first == 'H')
        HardwareRadioButton->SetChecked(true);
    else if (first == 'N')
        NoneRadioButton->SetChecked(true);
    else if (first == 'S')
        SoftwareRadioButton->SetChecked(true);

    Fill(FlowDTRSelect, DTRFlowNames);
    Select(FlowDTRSelect, DTRFlow);
    Fill(FlowRTSSelect, RTSFlowNames);
    Select(FlowRTSSelect, RTSFlow);
    RadioButtonChange(this);
}

void TComportSettingsForm::GetAll(std::string& Port, std::string& BaudRate, std::string& DataBits)
{
    Port = Shown(ComPortSelect);
    BaudRate = Shown(BaudRateSelect);
    DataBits = Shown(DataBitsSelect);
}

void TComportSettingsForm::GetLineSettings(std::string& StopBits, std::string& Parity,
                                           std::string& FlowControl, std::string& DTRFlow,
                                           std::string& RTSFlow)
{
    StopBits = Shown(StopBitsSelect);
    Parity = Shown(ParitySelect);
    FlowControl.clear();
    if (HardwareRadioButton->Checked())
        FlowControl = "Hardware";
    else if (SoftwareRadioButton->Checked())
        FlowControl = "Software";
    else if (NoneRadioButton->Checked())
        FlowControl = "None";
    else if (CustomRadioButton->Checked())
        FlowControl = "Custom";
    DTRFlow = Shown(FlowDTRSelect);
    RTSFlow = Shown(FlowRTSSelect);
}

void TComportSettingsForm::RadioButtonChange(TObject*)
{
    if (HardwareRadioButton->Checked()) {
        Select(FlowDTRSelect, "Disable");
        Select(FlowRTSSelect, "Handshake");
    }
    if (SoftwareRadioButton->Checked()) {
        Select(FlowDTRSelect, "Disable");
        Select(FlowRTSSelect, "Disable");
    }
    if (NoneRadioButton->Checked()) {
        Select(FlowDTRSelect, "Disable");
        Select(FlowRTSSelect, "Disable");
    }
    bool custom = CustomRadioButton->Checked();
    FlowDTRSelect->SetEnabled(custom);
    FlowRTSSelect->SetEnabled(custom);
    StopBitsSelect->SetEnabled(true);
    ParitySelect->SetEnabled(true);
}
