#pragma once
// The window TSplashForm: built from its form description; its own controls and handlers come
// with its dialog unit.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TSplashForm : public TForm {
    QM_CLASS(TSplashForm, TForm)
public:
    explicit TSplashForm(TComponent* AOwner);
    ~TSplashForm() override;
};

extern TSplashForm* SplashForm;
