#pragma once
// Test set-up shared by the placement tests: forms with the offscreen toolkit and an
// in-memory registry, and the main window's class, whose name heads its stored sections.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "placement/FormPlace.h"
#include "platform/WinReg.h"

struct PlacementEnv : ::testing::Test {
    void SetUp() override
    {
        RegistrySetInMemory(true);
        InitForms();
        Application->Initialize();
        RegisterPlacementClasses();
    }
    void TearDown() override
    {
        FreeHookList();
        DoneForms();
    }
};

class TForm1 : public TForm {
    QM_CLASS(TForm1, TForm)
public:
    using TForm::TForm;
};
inline QM_CLASS_IMPL(TForm1, TForm)

inline TForm1* NewForm1()
{
    auto* form = new TForm1(Application);
    form->SetName("Form1");
    return form;
}
