// The main window's placement, option check boxes and cool-bar layout survive a restart.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
#include "placement/FormPlace.h"

using namespace apptest;

namespace {

class FormStore : public ProgramTest {};

} // namespace

TEST_F(FormStore, WindowComesBackAsItWasLeft)
{
    ASSERT_NE(Form1->VYXFormStore, nullptr);
    EXPECT_EQ(Form1->VYXFormStore->StoredProps()->Count(), 10);

    Form1->Show();
    const bool split = Form1->SplitData_Setting->Checked();
    const bool menuValue = Form1->MenuValue_setting->Checked();
    Form1->SplitData_Setting->SetChecked(!split);
    Form1->MenuValue_setting->SetChecked(!menuValue);
    Form1->RXHelpMsg_Setting->SetChecked(false);
    TCoolBand* moved = Form1->MemChanCoolBar->Bands()->Items(3);
    moved->SetWidth(300);
    moved->SetBreak(false);
    Form1->SetBounds(140, 90, Form1->Width(), 520);
    const int width = Form1->Width();
    Form1->Close();

    ExpectValues("TForm1", {{"SplitData_Setting_Checked", !split ? "True" : "False"},
                            {"RXHelpMsg_Setting_Checked", "False"},
                            {"MemChanCoolBar_Bands.Count", "5"}});
    ExpectValues("TForm1.MemChanCoolBar_Bands", {{"Item3_Width", "300"}, {"Item3_Control", "Form1.MemDescriptionPanel"}});
    // What this run did not change is not written: another instance may have changed it.
    EXPECT_EQ(ReadValue("TForm1.MenuSetCoolBar_Bands", "Item0_Control"), "<missing>");
    EXPECT_EQ(ReadValue("TForm1", "MenuSetCoolBar_Width"), "<missing>");
    EXPECT_EQ(ReadValue("TForm1", "MemoryLockout_Setting_Checked"), "<missing>");

    Restart();
    // Nothing is restored before the window is shown.
    EXPECT_EQ(Form1->SplitData_Setting->Checked(), split);
    Form1->Show();
    EXPECT_EQ(Form1->SplitData_Setting->Checked(), !split);
    EXPECT_EQ(Form1->MenuValue_setting->Checked(), !menuValue);
    EXPECT_FALSE(Form1->RXHelpMsg_Setting->Checked());
    EXPECT_EQ(Form1->MemChanCoolBar->Bands()->Items(3)->Width(), 300);
    EXPECT_FALSE(Form1->MemChanCoolBar->Bands()->Items(3)->Break());
    EXPECT_EQ(Form1->MemChanCoolBar->Bands()->Items(3)->Control(), static_cast<TWinControl*>(Form1->MemDescriptionPanel));
    EXPECT_EQ(Form1->Left(), 140);
    EXPECT_EQ(Form1->Top(), 90);
    EXPECT_EQ(Form1->Height(), 520);
    EXPECT_EQ(Form1->Width(), width);
    EXPECT_EQ(Form1->WindowState(), wsNormal);
}

TEST_F(FormStore, MaximizedStateIsKept)
{
    Form1->Show();
    Form1->SetWindowState(wsMaximized);
    Form1->Close();
    EXPECT_NE(ReadValue("TForm1", "ShowCmd"), "<missing>");
    Restart();
    Form1->Show();
    EXPECT_EQ(Form1->WindowState(), wsMaximized);
}

TEST_F(FormStore, DamagedStoredValuesLeaveTheDefaults)
{
    WriteValues("TForm1", {{"SplitData_Setting_Checked", "perhaps"}, {"MemChanCoolBar_Width", "wide"}});
    // A damaged band count, as a damaged run would also have written its bands back.
    WriteValue("TForm1", "MemChanCoolBar_Bands.Count", "3000");
    WriteValue("TForm1.MemChanCoolBar_Bands", "Item2999_Width", "80");
    Restart();
    const bool split = Form1->SplitData_Setting->Checked();
    const int width = Form1->MemChanCoolBar->Width();
    TCoolBands* bands = Form1->MemChanCoolBar->Bands();
    std::vector<TWinControl*> designed;
    for (int i = 0; i < bands->Count(); ++i)
        designed.push_back(bands->Items(i)->Control());
    Form1->Show();
    EXPECT_EQ(Form1->SplitData_Setting->Checked(), split);
    EXPECT_EQ(Form1->MemChanCoolBar->Width(), width);
    ASSERT_EQ(bands->Count(), static_cast<int>(designed.size()));
    for (int i = 0; i < bands->Count(); ++i)
        EXPECT_EQ(bands->Items(i)->Control(), designed[i]) << "band " << i;
    Form1->Close();
    EXPECT_EQ(ReadValue("TForm1", "MemChanCoolBar_Bands.Count"), std::to_string(designed.size()));
    EXPECT_EQ(ReadValue("TForm1.MemChanCoolBar_Bands", "Item2999_Width"), "<missing>");
    EXPECT_EQ(ReadValue("TForm1.MemChanCoolBar_Bands", "Item0_Control"), "Form1.MemChanToolBar");
}
