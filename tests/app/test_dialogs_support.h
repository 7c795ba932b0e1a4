#pragma once
// Shared by the dialog and print tests: a program run with the dialog fakes on top, and a
// way to act inside a modal show.
#include "AppTestSupport.h"
#include "test_dialogs_fakes.h"

#include "app/FormImage.h"
#include "framework/ComCtrls.h"

#include <unistd.h>

namespace dlgtest {

inline std::string BuildFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = 0;
    return std::filesystem::path(path).parent_path().string();
}

// Runs action once, when form is next shown modally, after its own OnShow.
template <class F> void OnNextShow(TForm* form, F action)
{
    TNotifyEvent old = form->OnShow;
    form->OnShow = TNotifyEvent([form, old, action](TObject* sender) {
        old(sender);
        if (!form->FormState().Contains(fsModal))
            return;
        form->OnShow = old;
        action();
    });
}

class DialogTest : public apptest::ProgramTest {
protected:
    void SetUp() override
    {
        apptest::ProgramTest::SetUp();
        Install();
    }
    void TearDown() override
    {
        EXPECT_TRUE(Problems().empty()) << Problems().front();
        Remove();
        apptest::ProgramTest::TearDown();
    }
    static std::string Status() { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    static void Screenshot(TWinControl* form, const std::string& name)
    {
        Application->ProcessMessages();
        EXPECT_TRUE(SaveFormImage(form, BuildFolder() + "/" + name + ".png")) << name;
    }
};

} // namespace dlgtest
