// The settings dialogs (serial port, radio type, options) and the small windows (find,
// range, splash, about, disclaimer): their exchange with the main window, OK and Cancel.
#include "test_dialogs_support.h"
#include "common/TempFolder.h"

#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/FileAssociation.h"
#include "platform/Windowing.h"
#include "serial/SerialPort.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace dlgtest;

namespace {

TStringList* PortList(std::initializer_list<const char*> names)
{
    static TStringList list;
    list.Clear();
    for (const char* n : names)
        list.Add(n);
    return &list;
}

std::vector<std::string> ItemsOf(TComboBox* box)
{
    std::vector<std::string> items;
    for (int i = 0; i < box->Items()->Count(); ++i)
        items.push_back(box->Items()->Strings(i));
    return items;
}

class SerialDialog : public DialogTest {};

TEST_F(SerialDialog, FillsTheNameListsInTableOrderAndSelectsTheGivenTexts)
{
    TComportSettingsForm* f = ComportSettingsForm;
    f->SetAll(PortList({"/dev/ttyS0", "/dev/ttyUSB0"}), "/dev/ttyUSB0", "4800", "8", "2", "None",
              "Custom", "Enable", "Toggle");
    EXPECT_EQ(ItemsOf(f->ComPortSelect), (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB0"}));
    EXPECT_EQ(f->BaudRateSelect->Items()->Count(), 15);
    EXPECT_EQ(ItemsOf(f->StopBitsSelect), (std::vector<std::string>{"1", "2", "1.5"}));
    EXPECT_EQ(ItemsOf(f->FlowDTRSelect), (std::vector<std::string>{"Disable", "Enable", "Handshake"}));
    EXPECT_EQ(ItemsOf(f->FlowRTSSelect),
              (std::vector<std::string>{"Disable", "Enable", "Handshake", "Toggle"}));
    EXPECT_EQ(f->StopBitsSelect->GetText(), "2");
    EXPECT_EQ(f->ParitySelect->GetText(), "None");
    EXPECT_TRUE(f->CustomRadioButton->Checked());
    // Custom keeps the given DTR and RTS and lets the user change them.
    EXPECT_EQ(f->FlowDTRSelect->GetText(), "Enable");
    EXPECT_EQ(f->FlowRTSSelect->GetText(), "Toggle");
    EXPECT_TRUE(f->FlowDTRSelect->Enabled());
    std::string port, baud, bits;
    f->GetAll(port, baud, bits);
    EXPECT_EQ(port, "/dev/ttyUSB0");
    EXPECT_EQ(baud, "4800");
    EXPECT_EQ(bits, "8");
}

TEST_F(SerialDialog, FlowButtonsOverrideAndGreyTheLineSelectors)
{
    TComportSettingsForm* f = ComportSettingsForm;
    f->SetAll(PortList({"/dev/ttyS0"}), "/dev/ttyS0", "9600", "8", "1", "None", "Hardware",
              "Enable", "Toggle");
    EXPECT_EQ(f->FlowDTRSelect->GetText(), "Disable");
    EXPECT_EQ(f->FlowRTSSelect->GetText(), "Handshake");
    EXPECT_FALSE(f->FlowDTRSelect->Enabled());
    EXPECT_FALSE(f->FlowRTSSelect->Enabled());

    f->CustomRadioButton->SetChecked(true);
    EXPECT_TRUE(f->FlowDTRSelect->Enabled());
    EXPECT_EQ(f->FlowRTSSelect->GetText(), "Handshake") << "Custom keeps the selections";
    f->NoneRadioButton->SetChecked(true);
    EXPECT_EQ(f->FlowDTRSelect->GetText(), "Disable");
    EXPECT_EQ(f->FlowRTSSelect->GetText(), "Disable");
    EXPECT_FALSE(f->FlowRTSSelect->Enabled());
    EXPECT_TRUE(f->StopBitsSelect->Enabled());
    EXPECT_TRUE(f->ParitySelect->Enabled());
}

TEST_F(SerialDialog, AnUnlistedPortGivesAnEmptyNameAndACustomRateIsKept)
{
    TComportSettingsForm* f = ComportSettingsForm;
    f->SetAll(PortList({"/dev/ttyS0"}), "/dev/ttyGONE", "31250", "7", "1", "Odd", "None",
              "Disable", "Disable");
    EXPECT_EQ(f->ComPortSelect->ItemIndex(), -1);
    EXPECT_EQ(f->BaudRateSelect->Items()->Count(), 16);
    std::string port, baud, bits;
    f->GetAll(port, baud, bits);
    EXPECT_EQ(port, "");
    EXPECT_EQ(baud, "31250");
    EXPECT_EQ(bits, "7");
    // The next show without a custom rate has the plain list again.
    f->SetAll(PortList({"/dev/ttyS0"}), "/dev/ttyS0", "bogus", "8", "1", "None", "None",
              "Disable", "Disable");
    EXPECT_EQ(f->BaudRateSelect->Items()->Count(), 15);
    f->GetAll(port, baud, bits);
    EXPECT_EQ(baud, "") << "an unknown rate leaves no selection";
}

TEST_F(SerialDialog, OkAppliesTheChoiceToThePortAndCancelLeavesIt)
{
    Form1->ComPort->SetPort(apptest::FirstTestPort);
    Form1->ComPort->SetBaudRate(brCustom);
    Form1->ComPort->SetCustomBaudRate(31250);
    OnNextShow(ComportSettingsForm, [] {
        EXPECT_EQ(ComportSettingsForm->BaudRateSelect->GetText(), "31250");
        ComportSettingsForm->ComPortSelect->SetItemIndex(
            ComportSettingsForm->ComPortSelect->Items()->IndexOf(apptest::SecondTestPort));
        ComportSettingsForm->ParitySelect->SetItemIndex(2);
        ComportSettingsForm->OKButton->Click();
    });
    Form1->CommunicationSettingsMenuClick(nullptr);
    EXPECT_EQ(Form1->ComPort->Port(), apptest::SecondTestPort);
    EXPECT_EQ(Form1->ComPort->BaudRate(), brCustom);
    EXPECT_EQ(Form1->ComPort->CustomBaudRate(), 31250);
    EXPECT_EQ(Form1->ComPort->Parity()->Bits(), TParityBits(ParityValues[2]));

    OnNextShow(ComportSettingsForm, [] {
        ComportSettingsForm->ComPortSelect->SetItemIndex(
            ComportSettingsForm->ComPortSelect->Items()->IndexOf(apptest::FirstTestPort));
        ComportSettingsForm->CancelButton->Click();
    });
    Form1->CommunicationSettingsMenuClick(nullptr);
    EXPECT_EQ(Form1->ComPort->Port(), apptest::SecondTestPort);
}

// Settings the dialog stores that cannot reach the disk are told to the user, with the file,
// once for a kind of failure: the superuser too is stopped by a file where a folder must be.
TEST_F(SerialDialog, SettingsThatCannotBeWrittenAreReportedOnce)
{
    std::ofstream(configDir_ + "/blocked") << "x";
    setenv("XDG_CONFIG_HOME", (configDir_ + "/blocked").c_str(), 1);
    RegistryReload();
    auto failures = [] {
        const auto texts = MessageTexts();
        return std::count_if(texts.begin(), texts.end(), [](const std::string& t) {
            return t.find("The settings could not be saved to") != std::string::npos;
        });
    };
    for (const char* rate : {"4800", "1200"}) {
        OnNextShow(ComportSettingsForm, [rate] {
            ComportSettingsForm->BaudRateSelect->SetItemIndex(
                ComportSettingsForm->BaudRateSelect->Items()->IndexOf(rate));
            ComportSettingsForm->OKButton->Click();
        });
        Form1->CommunicationSettingsMenuClick(nullptr);
        EXPECT_EQ(failures(), 1) << rate;
    }
    const auto texts = MessageTexts();
    EXPECT_NE(std::find_if(texts.begin(), texts.end(),
                           [&](const std::string& t) {
                               return t.find(configDir_ + "/blocked/quillmere/registry.txt") != std::string::npos;
                           }),
              texts.end());
}

class RadioDialog : public DialogTest {};

TEST_F(RadioDialog, ListsTheModelsAndShowsNotesCreditAndPicture)
{
    TRadioTypeForm* f = RadioTypeForm;
    ASSERT_EQ(f->TypeSelect->Items()->Count(), RadioTypeCount);
    EXPECT_EQ(f->TypeSelect->Items()->Strings(0), RadioTypeTable[1].RadioName);
    EXPECT_EQ(f->ClientWidth(), 322);
    const int tsIndex = FindRadioByField("TS-850SAT", 1);
    ASSERT_NE(tsIndex, 0);
    f->SetAll(std::uint8_t(tsIndex));
    EXPECT_EQ(f->GeneralNotes->Lines()->Count(), 1);
    EXPECT_EQ(f->GeneralNotes->Lines()->Strings(0), "");
    EXPECT_TRUE(f->Image8->Visible());
    EXPECT_EQ(f->Image8->Left(), 80);
    EXPECT_EQ(f->TestedBy->GetText(), std::string(" ") + RadioTypeTable[tsIndex].TestedBy);

    // A note with ";" breaks; TS-811 has no picture.
    const int ts811 = FindRadioByField("TS-811", 1);
    ASSERT_NE(ts811, 0);
    f->TypeSelect->SetItemIndex(ts811 - 1);
    f->TypeSelectChange(nullptr);
    for (int n = 1; n <= RadioPictureCount; ++n)
        EXPECT_FALSE(f->Picture(n)->Visible()) << n;
    EXPECT_GE(f->GeneralNotes->Lines()->Count(), 1);
    EXPECT_NE(f->GeneralNotes->Lines()->Strings(0), "");
    const int ts440 = FindRadioByField("TS-440", 1);
    f->SetAll(std::uint8_t(ts440));
    EXPECT_EQ(f->GeneralNotes->Lines()->Strings(0), "You need to set the communication settings to:");
    EXPECT_EQ(f->GeneralNotes->Lines()->Count(), 4);
    EXPECT_TRUE(f->Image7->Visible());
}

TEST_F(RadioDialog, DelaysRoundTripAndAreHeldToThreeDigits)
{
    RxDelay = 1500;
    TxDelay = 40;
    RadioTypeForm->SetAll(5);
    EXPECT_EQ(RadioTypeForm->RxDelaySelect->Value(), 999);
    RadioTypeForm->TxDelaySelect->SetValue(70);
    std::uint8_t radio = 0;
    RadioTypeForm->GetAll(radio);
    EXPECT_EQ(radio, 5);
    EXPECT_EQ(RxDelay, 999);
    EXPECT_EQ(TxDelay, 70);
}

TEST_F(RadioDialog, OkWithANewDelayOnlyAndCancelAfterDetection)
{
    const std::uint8_t before = CurrentRadio;
    TxDelay = 100;
    OnNextShow(RadioTypeForm, [] {
        RadioTypeForm->TxDelaySelect->SetValue(250);
        RadioTypeForm->OKButton->Click();
    });
    Form1->RadioTypeSettingsClick(nullptr);
    EXPECT_EQ(TxDelay, 250);
    EXPECT_EQ(CurrentRadio, before);
    EXPECT_NE(Status(), "Radio type changed.");

    const int rx = RxDelay;
    AutoDetectRadioTypeFn = [] { return std::uint8_t(1); };
    AutoDetectRxDelayTimeFn = [] {
        EXPECT_FALSE(RadioTypeForm->OKButton->Enabled()) << "controls are off while it runs";
        return 1234;
    };
    OnNextShow(RadioTypeForm, [] {
        RadioTypeForm->AutoDetectRadio->Click();
        RadioTypeForm->AutoDetectRxDelay->Click();
        EXPECT_EQ(RadioTypeForm->TypeSelect->ItemIndex(), 0);
        EXPECT_EQ(RadioTypeForm->RxDelaySelect->Value(), 999);
        EXPECT_TRUE(RadioTypeForm->OKButton->Enabled());
        RadioTypeForm->CancelButton->Click();
    });
    Form1->RadioTypeSettingsClick(nullptr);
    AutoDetectRadioTypeFn = nullptr;
    AutoDetectRxDelayTimeFn = nullptr;
    EXPECT_EQ(CurrentRadio, before);
    EXPECT_EQ(RxDelay, rx);
    EXPECT_EQ(TxDelay, 250);
}

TEST_F(RadioDialog, DetectionFindingNothingKeepsTheSelection)
{
    RadioTypeForm->SetAll(4);
    AutoDetectRadioTypeFn = [] { return std::uint8_t(0); };
    RadioTypeForm->AutoDetectRadioClick(nullptr);
    AutoDetectRadioTypeFn = nullptr;
    EXPECT_EQ(RadioTypeForm->TypeSelect->ItemIndex(), 3);
    EXPECT_TRUE(RadioTypeForm->AutoDetectRadio->Enabled());
    RadioTypeForm->HelpTxDelayButtonClick(nullptr);
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_EQ(MessageTexts().back().rfind("TX delay is the time in milliseconds VYX waits", 0), 0u);
}

// ---- options ----

class OptionsDialog : public DialogTest {
protected:
    void SetUp() override
    {
        DialogTest::SetUp();
        xdg_ = commontest::MakeTempDir("quillmere-xdg");
        ASSERT_FALSE(xdg_.empty());
        oldData_ = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
        setenv("XDG_DATA_HOME", (xdg_ + "/data").c_str(), 1);
        MemoryFileDir = "/tmp/vyx";
        AutoStartMem = "/tmp/vyx/start.vyx";
        AutoVink = true;
        AutoLoadOption = 3;
        DisableSplashScreen = false;
        FileAssociated = false;
    }
    void TearDown() override
    {
        if (oldData_.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", oldData_.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(xdg_, ec);
        DialogTest::TearDown();
    }
    void RunOptions(std::function<void()> change, bool ok = true)
    {
        OnNextShow(OptionsForm, [change, ok] {
            change();
            (ok ? OptionsForm->OKButton : OptionsForm->CancelButton)->Click();
        });
        Form1->OptionsSettingsMenuClick(nullptr);
    }
    std::string xdg_, oldData_;
};

TEST_F(OptionsDialog, SetAllAndGetAllRoundTrip)
{
    OptionsForm->SetAll();
    EXPECT_EQ(OptionsForm->Edit1->GetText(), "/tmp/vyx");
    EXPECT_TRUE(OptionsForm->RadioButton3->Checked());
    EXPECT_TRUE(OptionsForm->Edit2->Enabled());
    EXPECT_TRUE(OptionsForm->BrowseButton1->Enabled());
    EXPECT_TRUE(OptionsForm->FileAssociationCheckBox->Enabled()) << "the data folder is writable";
    std::string dir, start;
    bool vink = false, splash = true, assoc = true;
    std::uint8_t option = 9;
    OptionsForm->GetALL(dir, start, vink, splash, option, assoc);
    EXPECT_EQ(dir, "/tmp/vyx");
    EXPECT_EQ(start, "/tmp/vyx/start.vyx");
    EXPECT_TRUE(vink);
    EXPECT_FALSE(splash);
    EXPECT_EQ(option, 3);
    EXPECT_FALSE(assoc);
}

TEST_F(OptionsDialog, StartupControlsFollowTheCheckBox)
{
    AutoVink = false;
    AutoLoadOption = 3;
    OptionsForm->SetAll();
    EXPECT_FALSE(OptionsForm->RadioButton1->Enabled());
    EXPECT_FALSE(OptionsForm->Edit2->Enabled());
    EXPECT_FALSE(OptionsForm->BrowseButton1->Enabled());
    EXPECT_EQ(OptionsForm->Edit2->Color(), clInactiveBorder);
    OptionsForm->OnStartup->SetChecked(true);
    EXPECT_TRUE(OptionsForm->RadioButton1->Enabled());
    EXPECT_TRUE(OptionsForm->Edit2->Enabled());
    EXPECT_EQ(OptionsForm->Edit2->Color(), clWindow);
    OptionsForm->RadioButton1->SetChecked(true);
    EXPECT_FALSE(OptionsForm->BrowseButton1->Enabled());
}

TEST_F(OptionsDialog, NothingChangedCancelAndAnOutOfRangeOption)
{
    RunOptions([] {});
    EXPECT_EQ(Status(), "Nothing changed in the option settings.");
    RunOptions([] { OptionsForm->Edit1->SetText("/elsewhere"); }, false);
    EXPECT_EQ(Status(), "Options settings canceled.");
    EXPECT_EQ(MemoryFileDir, "/tmp/vyx");

    AutoLoadOption = 7;
    RunOptions([] {
        EXPECT_FALSE(OptionsForm->RadioButton1->Checked() || OptionsForm->RadioButton2->Checked() ||
                     OptionsForm->RadioButton3->Checked());
        OptionsForm->SplashScreenCheckBox->SetChecked(true);
    });
    EXPECT_EQ(Status(), "Options settings changed.");
    EXPECT_TRUE(DisableSplashScreen);
    EXPECT_EQ(AutoLoadOption, 0) << "no start-up action";
    EXPECT_FALSE(FileAssociation().IsRegistered()) << "the association is left alone";
}

TEST_F(OptionsDialog, TheAssociationIsWrittenAndRemoved)
{
    RunOptions([] { OptionsForm->FileAssociationCheckBox->SetChecked(true); });
    EXPECT_TRUE(FileAssociated);
    FileAssociation assoc;
    EXPECT_TRUE(assoc.IsRegistered());
    EXPECT_EQ(assoc.DesktopEntryPath().rfind(xdg_, 0), 0u) << assoc.DesktopEntryPath();
    EXPECT_TRUE(std::filesystem::exists(assoc.DesktopEntryPath()));
    {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        EXPECT_TRUE(reg.KeyExists("Applications\\Quillmere.exe\\shell\\open\\command"));
    }

    RunOptions([] { OptionsForm->FileAssociationCheckBox->SetChecked(false); });
    EXPECT_FALSE(FileAssociated);
    EXPECT_FALSE(assoc.IsRegistered());
    EXPECT_FALSE(std::filesystem::exists(assoc.DesktopEntryPath()));
    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(reg.KeyExists(".vyx"));
    EXPECT_FALSE(reg.KeyExists("Applications\\Quillmere.exe"));
}

TEST_F(OptionsDialog, AnUnwritableDataFolderGreysTheBoxAndAFailureIsReported)
{
    // A file where the data folder should be: nothing can be created below it.
    std::ofstream(xdg_ + "/blocked") << "x";
    setenv("XDG_DATA_HOME", (xdg_ + "/blocked/data").c_str(), 1);
    OptionsForm->SetAll();
    EXPECT_FALSE(OptionsForm->FileAssociationCheckBox->Enabled());
    EXPECT_FALSE(Form1->ApplyFileAssociation(true));
    EXPECT_FALSE(FileAssociated) << "a failed association is not recorded as made";
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_NE(MessageTexts().back().find("could not be written"), std::string::npos);
}

TEST_F(OptionsDialog, BrowseButtonsFillTheEdits)
{
    QueueFolder(std::string("/tmp/chosen"));
    OptionsForm->SetAll();
    OptionsForm->BrowseButton2Click(nullptr);
    EXPECT_EQ(OptionsForm->Edit1->GetText(), "/tmp/chosen");
    ASSERT_EQ(FolderCaptions().size(), 1u);
    EXPECT_EQ(FolderCaptions()[0], "Select a directory|/tmp/vyx");
    QueueFolder(std::nullopt);
    OptionsForm->BrowseButton2Click(nullptr);
    EXPECT_EQ(OptionsForm->Edit1->GetText(), "/tmp/chosen");

    BrowseFileFn = [] { return std::string("/tmp/x.vyx"); };
    OptionsForm->BrowseButton1Click(nullptr);
    BrowseFileFn = [] { return std::string(); };
    OptionsForm->BrowseButton1Click(nullptr);
    BrowseFileFn = nullptr;
    EXPECT_EQ(OptionsForm->Edit2->GetText(), "/tmp/x.vyx");
}

// ---- find and range ----

class SmallDialogs : public DialogTest {};

TEST_F(SmallDialogs, FindStartsEmptyAndTheStartPicksTheDirection)
{
    std::uint8_t start = 9, dir = 9;
    std::string text = "x";
    FindForm->GetAll(start, dir, text);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(dir, 0);
    EXPECT_EQ(text, "");
    FindForm->RadioGroup1->SetItemIndex(FindStartBottom);
    EXPECT_EQ(FindForm->RadioGroup2->ItemIndex(), FindBackward);
    FindForm->RadioGroup1->SetItemIndex(FindStartTop);
    EXPECT_EQ(FindForm->RadioGroup2->ItemIndex(), FindForward);
    FindForm->RadioGroup2->SetItemIndex(FindBackward);
    FindForm->RadioGroup1->SetItemIndex(FindStartCurrent);
    EXPECT_EQ(FindForm->RadioGroup2->ItemIndex(), FindBackward) << "the user may still change it";

    OnNextShow(FindForm, [] {
        FindForm->SearchStr->SetText("14.250");
        FindForm->BitBtn1->Click();
    });
    EXPECT_EQ(FindForm->ShowModal(), mrOk);
    FindForm->GetAll(start, dir, text);
    EXPECT_EQ(text, "14.250");
    EXPECT_EQ(FindForm->SearchStr->MaxLength(), 20);
    OnNextShow(FindForm, [] {
        EXPECT_EQ(FindForm->SearchStr->SelLength(), 6) << "the old text is selected";
        FindForm->BitBtn2->Click();
    });
    EXPECT_EQ(FindForm->ShowModal(), mrCancel);
}

// By keyboard alone: Tab visits the edit, one button per radio group (the checked one) and
// the two buttons, each showing the keyboard focus mark; arrows move and check inside a group.
TEST_F(SmallDialogs, FindTabStopsAreOnePerGroupAndShowTheKeyboardMark)
{
    std::vector<HWND> stops;
    bool allMarked = true;
    int indexAfterDown = -1;
    OnNextShow(FindForm, [&] {
        QTimer::singleShot(0, [&] {
            if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000)) {
                ADD_FAILURE() << "the dialog never had the focus";
                FindForm->BitBtn2->Click();
                return;
            }
            const HWND first = GetFocus();
            for (int i = 0; i < 20; ++i) {
                stops.push_back(GetFocus());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                allMarked = allMarked && QApplication::focusWidget() &&
                            QApplication::focusWidget()->window()->testAttribute(Qt::WA_KeyboardFocusChange);
                if (GetFocus() == first)
                    break;
            }
            FindForm->RadioGroup1->Buttons(0)->SetFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            indexAfterDown = FindForm->RadioGroup1->ItemIndex();
            FindForm->BitBtn2->Click();
        });
    });
    FindForm->RadioGroup1->SetItemIndex(FindStartCurrent);
    FindForm->RadioGroup2->SetItemIndex(FindBackward);
    EXPECT_EQ(FindForm->ShowModal(), mrCancel);
    EXPECT_EQ(stops, (std::vector<HWND>{FindForm->SearchStr->Handle(), FindForm->RadioGroup1->Buttons(0)->Handle(),
                                        FindForm->RadioGroup2->Buttons(1)->Handle(), FindForm->BitBtn1->Handle(),
                                        FindForm->BitBtn2->Handle()}));
    EXPECT_TRUE(allMarked);
    EXPECT_EQ(indexAfterDown, FindStartTop);
}

TEST_F(SmallDialogs, RangePutsAReversedRangeInOrderVisibly)
{
    Range_Selection->SetSelection(40, 10);
    std::uint8_t first = 0, last = 0;
    Range_Selection->GetSelection(first, last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 40);
    EXPECT_EQ(Range_Selection->BegMemEdit->Value(), 10);
    EXPECT_EQ(Range_Selection->EndMemEdit->Value(), 40);
    Range_Selection->SetSelection(0, 250);
    Range_Selection->GetSelection(first, last);
    EXPECT_EQ(last, 99);
    OnNextShow(Range_Selection, [] { Range_Selection->CancelButton->Click(); });
    EXPECT_EQ(Range_Selection->ShowModal(), mrCancel);
}

// ---- splash, about, disclaimer ----

TEST_F(SmallDialogs, SplashNeverRepeatsAPictureExceptEight)
{
    const auto original = SplashRandomPicture;
    std::vector<int> draws{3, 3, 3, 5, 8, 8, 2, 2, 7};
    std::size_t next = 0;
    SplashRandomPicture = [&] { return draws[next++ % draws.size()]; };
    LastSplashPicture = 0;
    std::vector<int> shown;
    for (int i = 0; i < 5; ++i) {
        SplashForm->SplashTimerTimer(nullptr);
        shown.push_back(SplashForm->ShownPicture());
    }
    EXPECT_EQ(shown, (std::vector<int>{3, 5, 8, 8, 2}));
    EXPECT_EQ(SplashForm->RadioImage->Top(), 70);
    EXPECT_EQ(SplashForm->RadioImage->Left(), 157);
    SplashRandomPicture = [] { return 6; };
    SplashForm->SplashTimerTimer(nullptr);
    EXPECT_EQ(SplashForm->RadioImage->Top(), 142);
    EXPECT_EQ(SplashForm->RadioImage->Left(), 157);
    EXPECT_EQ(SplashForm->RadioImage->Picture()->GetWidth(), 153);
    SplashRandomPicture = original;
}

// The splash draws every radio into one reused bitmap: each drawing must cover the last.
TEST_F(SmallDialogs, RadioPictureDrawnOverAnotherEqualsAFreshOne)
{
    TBitmap reused, fresh;
    DrawRadioPicture(&reused, 3);
    DrawRadioPicture(&reused, 6);
    DrawRadioPicture(&fresh, 6);
    ASSERT_EQ(reused.GetWidth(), fresh.GetWidth());
    ASSERT_EQ(reused.GetHeight(), fresh.GetHeight());
    int differing = 0;
    for (int y = 0; y < fresh.GetHeight(); ++y)
        for (int x = 0; x < fresh.GetWidth(); ++x)
            differing += reused.Canvas()->GetPixel(x, y) != fresh.Canvas()->GetPixel(x, y);
    EXPECT_EQ(differing, 0);
    // Every model name keeps clear of the tuning knob.
    for (int n = 1; n <= RadioPictureCount; ++n) {
        DrawRadioPicture(&fresh, n);
        int light = 0;
        for (int y = 18; y < 58; ++y)
            for (int x = 96; x < 140; ++x) {
                const TColor p = fresh.Canvas()->GetPixel(x, y);
                light += GetRValue(p) > 0xB0 && GetGValue(p) > 0xB0 && GetBValue(p) > 0xB0;
            }
        EXPECT_EQ(light, 0) << "picture " << n;
    }
}

TEST_F(SmallDialogs, SplashAboutAndDisclaimerShowWithoutBlocking)
{
    DisableSplashScreen = true;
    Form1->Show();
    Form1->SplashMenuClick(nullptr);
    EXPECT_TRUE(SplashForm->Visible());
    SplashForm->FormActivate(nullptr);
    EXPECT_EQ(SplashForm->MainLabel->GetText(), "Quillmere 2.4");
    EXPECT_TRUE(SplashForm->SplashTimer->Enabled());
    SplashForm->SplashTimerTimer(nullptr);
    Screenshot(SplashForm, "SplashForm");
    SplashForm->MainLabelClick(nullptr);
    EXPECT_FALSE(SplashForm->Visible());
    EXPECT_FALSE(SplashForm->SplashTimer->Enabled());

    Form1->AboutMenuClick(nullptr);
    EXPECT_TRUE(AboutForm->Visible());
    EXPECT_EQ(AboutForm->StaticText2->GetText(), "Version: 2.4");
    EXPECT_EQ(AboutForm->Memo1->Lines()->Strings(2), "program.");
    Screenshot(AboutForm, "AboutForm");
    AboutForm->StaticText7Click(nullptr);
    AboutForm->EMailImageClick(nullptr);
    EXPECT_EQ(Opened(), std::vector<std::string>(2, ReadMeFile())) << "both links show the read-me";
    AboutForm->OkButton->Click();
    EXPECT_FALSE(AboutForm->Visible());

    Form1->Disclaimer1Click(nullptr);
    EXPECT_TRUE(DisclaimForm->Visible());
    EXPECT_EQ(DisclaimForm->Memo1->Lines()->Strings(0),
              "This program is for editing memory channels of a KENWOOD");
    EXPECT_EQ(DisclaimForm->Memo1->Lines()->Strings(DisclaimForm->Memo1->Lines()->Count() - 1),
              "Thanks for using Quillmere.");
    Screenshot(DisclaimForm, "DisclaimForm");
    DisclaimForm->BitBtn1->Click();
    EXPECT_FALSE(DisclaimForm->Visible());
}

TEST_F(SmallDialogs, MessengerContactFile)
{
    SetUinHandler(false);
    AboutForm->ICQImageClick(nullptr);
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_EQ(MessageTexts()[0], "Error, could not find ICQ.");

    SetUinHandler(true);
    MemoryFileDir = "/nonexistent-qm-dir";
    AboutForm->ICQImageClick(nullptr);
    EXPECT_EQ(MessageTexts().back(), std::string("Could not write temp. file /nonexistent-qm-dir/") +
                                         AuthorContactName + ".uin.");

    MemoryFileDir = configDir_;
    AboutForm->ICQImageClick(nullptr);
    EXPECT_EQ(MessageTexts().back(), "ICQ contact information added.");
    ASSERT_FALSE(Opened().empty());
    EXPECT_EQ(Opened().back(), configDir_ + "/" + AuthorContactName + ".uin");
    EXPECT_FALSE(std::filesystem::exists(Opened().back())) << "the file is removed afterwards";
}

TEST_F(SmallDialogs, ScreenshotsOfTheModalDialogs)
{
    ComportSettingsForm->SetAll(PortList({"/dev/ttyS0"}), "/dev/ttyS0", "9600", "8", "1", "None",
                                "Hardware", "Disable", "Handshake");
    RadioTypeForm->SetAll(3);
    OptionsForm->SetAll();
    TForm* forms[] = {ComportSettingsForm, RadioTypeForm, OptionsForm, FindForm, Range_Selection};
    for (TForm* f : forms) {
        OnNextShow(f, [f] {
            Screenshot(f, f->ClassName());
            f->SetModalResult(mrCancel);
        });
        EXPECT_EQ(f->ShowModal(), mrCancel);
    }
}

} // namespace
