#pragma once
// Shared by the dialog and print tests: a program run with the dialog fakes on top, and a
// way to act inside a modal show.
#include "AppTestSupport.h"
#include "test_dialogs_fakes.h"

#include "framework/ComCtrls.h"
#include "platform/Windowing.h"

#include <QImage>
#include <QWidget>

#include <filesystem>

namespace dlgtest {

// Pictures a test takes go to its own temporary folder.
inline std::string PictureFolder() { return std::filesystem::temp_directory_path().string(); }

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
        QWidget* widget = WindowWidget(form->Handle());
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_TRUE(widget->grab().toImage().save(QString::fromStdString(PictureFolder() + "/" + name + ".png")))
            << name;
    }
};

} // namespace dlgtest
