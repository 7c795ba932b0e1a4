#pragma once
// The window TFindForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TFindForm : public TForm {
    QM_CLASS(TFindForm, TForm)
public:
    explicit TFindForm(TComponent* AOwner);
    ~TFindForm() override;
};

extern TFindForm* FindForm;
