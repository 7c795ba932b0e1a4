#pragma once
// The window TPrintMemForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TPrintMemForm : public TForm {
    QM_CLASS(TPrintMemForm, TForm)
public:
    explicit TPrintMemForm(TComponent* AOwner);
    ~TPrintMemForm() override;
};

extern TPrintMemForm* PrintMemForm;
