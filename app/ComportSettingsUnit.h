#pragma once
// The serial settings dialog: the port and the line settings of the radio link, exchanged
// with the main window as the texts of the serial-setting name lists.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TLabel;
class TComboBox;
class TRadioButton;
class TButton;
class TStrings;

class TComportSettingsForm : public TForm {
    QM_CLASS(TComportSettingsForm, TForm)
public:
    explicit TComportSettingsForm(TComponent* AOwner);
    ~TComportSettingsForm() override;

    TLabel* Label1 = nullptr;
    TComboBox* ComPortSelect = nullptr;
    TLabel* BaudRateSelectLabel = nullptr;
    TComboBox* BaudRateSelect = nullptr;
    TLabel* DataBitsSelectLabel = nullptr;
    TComboBox* DataBitsSelect = nullptr;
    TLabel* SlopBitsSelectLabel = nullptr;
    TComboBox* StopBitsSelect = nullptr;
    TLabel* ParitySelectLabel = nullptr;
    TComboBox* ParitySelect = nullptr;
    TRadioButton* HardwareRadioButton = nullptr;
    TRadioButton* SoftwareRadioButton = nullptr;
    TRadioButton* NoneRadioButton = nullptr;
    TRadioButton* CustomRadioButton = nullptr;
    TLabel* FlowDTRSelectLabel = nullptr;
    TComboBox* FlowDTRSelect = nullptr;
    TLabel* FlowRTSSelectLabel = nullptr;
    TComboBox* FlowRTSSelect = nullptr;
    TButton* OKButton = nullptr;
    TButton* CancelButton = nullptr;

    // Every selector is refilled, so each show reflects the caller's latest port list. A
    // text that is not among a selector's items leaves it without a selection.
    void SetAll(TStrings* Ports, const std::string& Port, const std::string& BaudRate,
                const std::string& DataBits, const std::string& StopBits,
                const std::string& Parity, const std::string& FlowControl,
                const std::string& DTRFlow, const std::string& RTSFlow);
    // The shown texts; "" for a selector without a selection.
    void GetAll(std::string& Port, std::string& BaudRate, std::string& DataBits);
    // The other line settings as shown, so the caller can apply them too.
    void GetLineSettings(std::string& StopBits, std::string& Parity, std::string& FlowControl,
                         std::string& DTRFlow, std::string& RTSFlow);

    void RadioButtonChange(TObject* Sender);
};

extern TComportSettingsForm* ComportSettingsForm;

// A baud rate given as a positive decimal number (up to 7 digits): the port's custom rate.
bool IsCustomBaudRate(const std::string& text);
