#pragma once
// The window TRadioTypeForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TRadioTypeForm : public TForm {
    QM_CLASS(TRadioTypeForm, TForm)
public:
    explicit TRadioTypeForm(TComponent* AOwner);
    ~TRadioTypeForm() override;

    // The dialog's controls come with its own unit; until then it keeps the model it was
    // given and hands it back unchanged.
    void SetAll(std::uint8_t Radio);
    void GetAll(std::uint8_t& Radio);

private:
    std::uint8_t FRadio = 0;
};

extern TRadioTypeForm* RadioTypeForm;
