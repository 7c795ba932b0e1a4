#pragma once
// The window TRange_Selection: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TRange_Selection : public TForm {
    QM_CLASS(TRange_Selection, TForm)
public:
    explicit TRange_Selection(TComponent* AOwner);
    ~TRange_Selection() override;
};

extern TRange_Selection* Range_Selection;
