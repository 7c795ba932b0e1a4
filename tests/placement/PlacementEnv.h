#pragma once
// Test set-up shared by the placement tests: forms with the offscreen toolkit and an
// in-memory registry.
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
