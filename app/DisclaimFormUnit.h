#pragma once
// The window TDisclaimForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TDisclaimForm : public TForm {
    QM_CLASS(TDisclaimForm, TForm)
public:
    explicit TDisclaimForm(TComponent* AOwner);
    ~TDisclaimForm() override;
};

extern TDisclaimForm* DisclaimForm;
