#pragma once
// The window TOptionsForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TOptionsForm : public TForm {
    QM_CLASS(TOptionsForm, TForm)
public:
    explicit TOptionsForm(TComponent* AOwner);
    ~TOptionsForm() override;
};

extern TOptionsForm* OptionsForm;
