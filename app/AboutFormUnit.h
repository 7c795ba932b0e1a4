#pragma once
// The window TAboutForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TAboutForm : public TForm {
    QM_CLASS(TAboutForm, TForm)
public:
    explicit TAboutForm(TComponent* AOwner);
    ~TAboutForm() override;
};

extern TAboutForm* AboutForm;
