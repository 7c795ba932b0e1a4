#pragma once
// The range dialog: the first and last memory or menu number of a range action.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TLabel;
class TSpinEdit;
class TButton;

class TRange_Selection : public TForm {
    QM_CLASS(TRange_Selection, TForm)
public:
    explicit TRange_Selection(TComponent* AOwner);
    ~TRange_Selection() override;

    TLabel* Label1 = nullptr;
    TSpinEdit* BegMemEdit = nullptr;
    TLabel* Label2 = nullptr;
    TSpinEdit* EndMemEdit = nullptr;
    TButton* OKButton = nullptr;
    TButton* CancelButton = nullptr;

    // Each value is held within 0..LastMemory.
    void SetSelection(std::uint8_t First, std::uint8_t Last);
    // A reversed range is put in order, visibly, before it is handed back.
    void GetSelection(std::uint8_t& First, std::uint8_t& Last);
};

extern TRange_Selection* Range_Selection;
