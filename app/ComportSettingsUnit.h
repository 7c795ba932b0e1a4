#pragma once
// The window TComportSettingsForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TComportSettingsForm : public TForm {
    QM_CLASS(TComportSettingsForm, TForm)
public:
    explicit TComportSettingsForm(TComponent* AOwner);
    ~TComportSettingsForm() override;

    // The dialog's controls come with its own unit; until then it hands back the port,
    // baud rate and data bits it was given.
    void SetAll(TStrings* Ports, const std::string& Port, const std::string& BaudRate,
                const std::string& DataBits, const std::string& StopBits,
                const std::string& Parity, const std::string& FlowControl,
                const std::string& DTRFlow, const std::string& RTSFlow);
    void GetAll(std::string& Port, std::string& BaudRate, std::string& DataBits);

private:
    std::string FPort, FBaudRate, FDataBits;
};

extern TComportSettingsForm* ComportSettingsForm;
