#pragma once
// The disclaimer window; shown without blocking the main window.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TMemo;
class TBitBtn;

class TDisclaimForm : public TForm {
    QM_CLASS(TDisclaimForm, TForm)
public:
    explicit TDisclaimForm(TComponent* AOwner);
    ~TDisclaimForm() override;

    TMemo* Memo1 = nullptr;
    TBitBtn* BitBtn1 = nullptr;

    void BitBtn1Click(TObject* Sender);
};

extern TDisclaimForm* DisclaimForm;
