// Start-up and shut-down: the windows in their order, the stored settings read and written
// under the program's key, and the close check.
#include "AppTestSupport.h"
#include "common/PostCall.h"
#include "textview/TextView.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace apptest;

namespace {

std::string FirstListedPort()
{
    TStringList ports;
    ListSerialPorts(&ports);
    return ports.Count() > 0 ? ports[0] : std::string();
}

} // namespace

class StartupFirstRun : public ProgramTest {};

TEST_F(StartupFirstRun, TenWindowsInTheirOrder)
{
    std::vector<std::string> created;
    for (int i = 0; i < Screen->FormCount(); ++i)
        created.push_back(Screen->Forms(i)->ClassName());
    const std::vector<std::string> expected = {
        "TForm1",    "TRadioTypeForm", "TAboutForm",       "TPrintMemForm", "TFindForm",
        "TDisclaimForm", "TRange_Selection", "TOptionsForm", "TSplashForm", "TComportSettingsForm"};
    EXPECT_EQ(created, expected);
    EXPECT_EQ(Form1->Caption(), "Quillmere");
    EXPECT_EQ(RadioTypeForm->Caption(), "Radio Type Settings");
    EXPECT_EQ(ComportSettingsForm->Caption(), "Comport Settings");
    EXPECT_EQ(SplashForm->BorderStyle(), bsNone);
    EXPECT_EQ(AboutForm->BorderStyle(), bsDialog);
    for (int i = 0; i < Screen->FormCount(); ++i)
        EXPECT_FALSE(Screen->Forms(i)->Visible()) << Screen->Forms(i)->ClassName();
}

TEST_F(StartupFirstRun, CursorsOfTheTextViewAndThePlacementAreInstalled)
{
    EXPECT_EQ(Screen->Cursors(101), static_cast<void*>(LoadCursorA(nullptr, IDC_HAND)));
    EXPECT_EQ(Screen->Cursors(14000), static_cast<void*>(LoadCursorA(nullptr, IDC_HAND)));
    EXPECT_EQ(Screen->Cursors(14001), static_cast<void*>(LoadCursorA(nullptr, IDC_SIZEALL)));
}

TEST_F(StartupFirstRun, DefaultsAndFirstListedPortAreStoredAtOnce)
{
    const std::string first = FirstListedPort();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Form1->ComPort->Port(), first);
    EXPECT_EQ(ReadValue("ComPort", "Port"), first);
    EXPECT_EQ(CurrentRadio, 3);
    EXPECT_EQ(std::string(CurrentRadioRecord().RadioName), "TS-570D");
    EXPECT_EQ(RxDelay, 600);
    EXPECT_EQ(TxDelay, 100);
    EXPECT_EQ(AutoLoadOption, 1);
    EXPECT_FALSE(AutoVink);
    EXPECT_FALSE(DisableSplashScreen);
    EXPECT_EQ(UIMode, 'G');
    EXPECT_TRUE(PendingAnswer.empty());
    // The options are not written before the window closes.
    EXPECT_EQ(ReadValue("Options", "AutoLoadOption"), "<missing>");
    // The stored flow control overrides the design value only when it was stored.
    EXPECT_EQ(Form1->ComPort->FlowControl()->FlowControl(), fcHardware);
}

TEST_F(StartupFirstRun, WindowAfterCreation)
{
    EXPECT_FALSE(Form1->ComDebugSheet->TabVisible());
    EXPECT_FALSE(Form1->DebugSheet->TabVisible());
    EXPECT_FALSE(Form1->CmdTabSheet->TabVisible());
    EXPECT_TRUE(Form1->MemoryTabSheet->TabVisible());
    EXPECT_EQ(Form1->VYXPageControl->ActivePage(), Form1->MemoryTabSheet);
    // The TS-570D has a menu set.
    EXPECT_TRUE(Form1->MenuTabSheet->TabVisible());

    EXPECT_EQ(Form1->MemGrid->GetCell(1, 0), "RX Freq.");
    EXPECT_EQ(Form1->MemGrid->GetCell(7, 0), "Description");
    EXPECT_EQ(Form1->MemGrid->GetCell(0, 1), "0");
    EXPECT_EQ(Form1->MemGrid->GetCell(0, 100), "99");
    EXPECT_EQ(Form1->MenuGrid->GetCell(3, 0), "#");
    EXPECT_EQ(Form1->ToneNumber->Items()->Count(), 40);
    EXPECT_EQ(Form1->ToneNumber->ItemIndex(), 0);
    EXPECT_EQ(Form1->MemLock->ItemIndex(), 1);

    // The width is fixed to the grid plus a scroll bar and a frame.
    const int width = Form1->MemGrid->Left() + Form1->MemGrid->Width() +
                      GetSystemMetrics(SM_CYVSCROLL) + GetSystemMetrics(SM_CYFRAME);
    EXPECT_GT(width, Form1->MemGrid->Width());
    EXPECT_EQ(Form1->Constraints()->MinWidth(), width);
    EXPECT_EQ(Form1->Constraints()->MaxWidth(), width);
    EXPECT_EQ(Form1->Constraints()->MinHeight(), 330);

    ASSERT_GT(Form1->CmdLineWindow->Items->Count(), 1);
    EXPECT_EQ(Form1->CmdLineWindow->Items->Strings(0), "Welcome to the VYX Command Line Interpreter.");
    EXPECT_EQ(Form1->CmdLineWindow->Items->Strings(1), "Use the command \"help\" to get started.");
    for (const auto& box : ShownBoxes())
        ADD_FAILURE() << "unexpected message: " << box.Text;
}

TEST_F(StartupFirstRun, ClosingWritesTheSettingsAndASecondStartReadsThem)
{
    CurrentRadio = FindRadioByField("TS-850SAT", 1);
    RxDelay = 750;
    TxDelay = 120;
    AutoVink = true;
    AutoLoadOption = 2;
    AutoStartMem = "/home/op/mem.vyx";
    ASSERT_TRUE(Form1->CloseQuery());
    ExpectValues("RadioType", {{"Name", "TS-850SAT"}, {"RxDelay", "750"}, {"TxDelay", "120"}});
    // A setting this run did not change is not written: another instance may have.
    ExpectValues("Options", {{"AutoVink", "1"}, {"DisableSplashScreen", "<missing>"}, {"AutoLoadOption", "2"},
                             {"AutoStartMem", "/home/op/mem.vyx"}});

    Restart();
    EXPECT_EQ(std::string(CurrentRadioRecord().RadioName), "TS-850SAT");
    EXPECT_EQ(RxDelay, 750);
    EXPECT_EQ(TxDelay, 120);
    EXPECT_TRUE(AutoVink);
    EXPECT_EQ(AutoLoadOption, 2);
    EXPECT_EQ(AutoStartMem, "/home/op/mem.vyx");
    EXPECT_EQ(Form1->ComPort->Port(), FirstListedPort());
}

// Two instances started on a settings file without the options and window settings, each
// changing another one: neither writes back the defaults it took and never changed, so both
// changes stay.
TEST_F(StartupFirstRun, TwoInstancesChangingSettingsAbsentFromTheFileBothKeepTheirs)
{
    ASSERT_EQ(ReadValue("Options", "MemoryFileDir"), "<missing>");
    ASSERT_EQ(ReadValue("Options", "AutoStartMem"), "<missing>");
    Form1->Show();
    const bool split = Form1->SplitData_Setting->Checked(), menuValue = Form1->MenuValue_setting->Checked();
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        MemoryFileDir = "/srv/club/";
        Form1->SplitData_Setting->SetChecked(!split);
        const bool closed = Form1->CloseQuery();
        RegistryShutdown();
        ::_exit(closed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    AutoStartMem = "/home/op/start.vyx";
    Form1->MenuValue_setting->SetChecked(!menuValue);
    ASSERT_TRUE(Form1->CloseQuery());
    Restart();
    Form1->Show();
    EXPECT_EQ(MemoryFileDir, "/srv/club/");
    EXPECT_EQ(AutoStartMem, "/home/op/start.vyx");
    EXPECT_EQ(Form1->SplitData_Setting->Checked(), !split);
    EXPECT_EQ(Form1->MenuValue_setting->Checked(), !menuValue);
}

// Another process holding the settings lock for a minute (an instance stopped with Ctrl+Z, a
// backup tool): the close waits a few seconds with the window's messages running, tells the
// user the settings were not saved rather than write round the lock, and the program ends
// within seconds.
TEST_F(StartupFirstRun, SettingsLockHeldElsewhereCostsSecondsAndIsTold)
{
    const std::string folder = configDir_ + "/quillmere";
    std::filesystem::create_directories(folder);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::write(ready[1], "L", 1) != 1)
            ::_exit(1);
        ::sleep(60);
        ::_exit(0);
    }
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper{holder};
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    RxDelay = 700;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point ran{};
    posttest::PostCall([&] { ran = std::chrono::steady_clock::now(); });
    EXPECT_TRUE(Form1->CloseQuery());
    const auto closed = std::chrono::steady_clock::now();
    Restart();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_GT(ran, start) << "the window's messages ran while the lock was waited for";
    EXPECT_LT(ran, closed);
    const auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "The settings could not be saved to " + folder +
                                 "/registry.txt (another program kept the settings locked for 3 seconds)."
                                 "\rThe settings changed in this run are lost.");
    EXPECT_EQ(RxDelay, 600);
    posttest::FreePostWindows();
}

class StartupStoredValues : public ProgramTest {
protected:
    void BeforeStart() override
    {
        WriteValue("ComPort", "Port", SecondTestPort);
        WriteValues("RadioType", {{"Name", "TS-9999"}, {"RxDelay", "six hundred"}, {"TxDelay", "250"}});
        WriteValues("Options", {{"DisableSplashScreen", "7"}, {"AutoLoadOption", ""}, {"MemoryFileDir", "/srv/channels/"}});
    }
};

TEST_F(StartupStoredValues, BadValuesFallBackAndAStoredPortStays)
{
    EXPECT_EQ(CurrentRadio, 3) << "an unknown model selects the TS-570D";
    EXPECT_EQ(RxDelay, 600);
    EXPECT_EQ(TxDelay, 250);
    EXPECT_TRUE(DisableSplashScreen) << "any non-zero number is set";
    EXPECT_EQ(AutoLoadOption, 1);
    EXPECT_EQ(MemoryFileDir, "/srv/channels/");
    EXPECT_EQ(Form1->ComPort->Port(), SecondTestPort);
    EXPECT_EQ(ReadValue("ComPort", "Port"), SecondTestPort);
}

class CloseCheck : public ProgramTest {};

TEST_F(CloseCheck, WaitingQuestionRefusesAtOnce)
{
    PendingAnswer = WaitingAnswer;
    AutoVink = true;
    Form1->MenuRadioType->SetDefault(true); // the link is open as well
    EXPECT_FALSE(Form1->CloseQuery());
    auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "no open-channel question before the refusal";
    EXPECT_EQ(boxes[0].Text, "You can not close VYX at this moment. There is an outstanding user responds.");
    EXPECT_EQ(boxes[0].Caption, "Information");
    EXPECT_EQ(ReadValue("Options", "AutoVink"), "<missing>");
    PendingAnswer.clear();
    Form1->MenuRadioType->SetDefault(false);
}

TEST_F(CloseCheck, OpenLinkAsksAndNoKeepsTheWindow)
{
    Form1->MenuRadioType->SetDefault(true);
    RxDelay = 700;
    QueueAnswer(7);
    EXPECT_FALSE(Form1->CloseQuery());
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Buttons, 2);
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(2)->Text(), "Exit canceled.");
    EXPECT_EQ(ReadValue("RadioType", "RxDelay"), "<missing>");

    QueueAnswer(6);
    EXPECT_TRUE(Form1->CloseQuery());
    EXPECT_EQ(ReadValue("RadioType", "RxDelay"), "700");
    Form1->MenuRadioType->SetDefault(false);
}

TEST_F(CloseCheck, ConfirmedDuringAnActionStopsItFirst)
{
    Form1->ChangeEnabled(false);
    RxDelay = 700;
    QueueAnswer(6);
    EXPECT_FALSE(Form1->CloseQuery()) << "the window must outlive the running action";
    EXPECT_TRUE(StopRequest);
    EXPECT_TRUE(Form1->CloseAfterAction());
    EXPECT_EQ(ReadValue("RadioType", "RxDelay"), "<missing>");

    Form1->Show();
    Form1->ChangeEnabled(true); // the action unwinds
    EXPECT_FALSE(Form1->CloseAfterAction());
    Application->ProcessMessages();
    EXPECT_FALSE(Form1->Visible()) << "the deferred close ran";
    EXPECT_EQ(ReadValue("RadioType", "RxDelay"), "700");
}

TEST_F(CloseCheck, UnsavedChanges)
{
    FileChanged = true;
    RxDelay = 700;
    QueueAnswer(2);
    EXPECT_FALSE(Form1->CloseQuery());
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "Changes are not saved.\rDo you want to save the changes ?");
    EXPECT_EQ(ShownBoxes()[0].Buttons, 3);

    QueueAnswer(7);
    EXPECT_TRUE(Form1->CloseQuery()) << "No closes without saving";
    EXPECT_EQ(ReadValue("RadioType", "RxDelay"), "700");
}

TEST(StartupPaths, LastPathPart)
{
    for (const char* path : {"C:\\radio\\mem\\ham.vyx", "/home/op/ham.vyx", "mixed/dir\\ham.vyx", "ham.vyx"})
        EXPECT_EQ(ExtractLastPathPart(path), "ham.vyx") << path;
    EXPECT_EQ(ExtractLastPathPart("/home/op/"), "");
    const std::string longName(400, 'x');
    EXPECT_EQ(ExtractLastPathPart("/d/" + longName), longName) << "no 255-character cut";
}

class StartupDamagedPortSettings : public ProgramTest {
protected:
    void BeforeStart() override
    {
        WriteValues("ComPort", {{"Port", SecondTestPort}, {"BaudRate", "very fast"}, {"Parity", "sometimes"}});
        WriteValue("RadioType", "Name", "TS-930");
    }
};

TEST_F(StartupDamagedPortSettings, KeepDefaultsAndStillApplyTheModel)
{
    for (const auto& box : ShownBoxes())
        ADD_FAILURE() << "unexpected message: " << box.Text;
    EXPECT_EQ(Form1->ComPort->Port(), SecondTestPort);
    EXPECT_EQ(Form1->ComPort->BaudRate(), br9600);
    EXPECT_EQ(Form1->ComPort->Parity()->Bits(), prNone);
    EXPECT_EQ(std::string(CurrentRadioRecord().RadioName), "TS-930");
    EXPECT_EQ(Form1->RXModeSelect->Items()->Count(), 1);
    EXPECT_FALSE(Form1->MenuTabSheet->TabVisible());
    EXPECT_FALSE(Form1->ComDebugSheet->TabVisible());
    EXPECT_FALSE(Form1->CmdTabSheet->TabVisible());
    EXPECT_FALSE(RadioBusy);
}

// A settings file holding a few values, then changed on disk as the test says before the start.
class StartupSettingsFileTest : public ProgramTest {
protected:
    void BeforeStart() override
    {
        WriteValue("ComPort", "Port", SecondTestPort);
        WriteValues("RadioType", {{"Name", "TS-850SAT"}, {"RxDelay", "750"}});
        WriteValue("Options", "AutoLoadOption", "3");
        file_ = configDir_ + "/quillmere/registry.txt";
        std::string text;
        {
            std::ifstream in(file_, std::ios::binary);
            text.assign(std::istreambuf_iterator<char>(in), {});
        }
        ASSERT_NE(text.find("RxDelay"), std::string::npos);
        Change(text);
        RegistryReload();
    }
    virtual void Change(const std::string& text) = 0;
    std::string file_;
};

// A settings file damaged in one line costs that setting only, and the user is told once.
class StartupDamagedSettingsFile : public StartupSettingsFileTest {
protected:
    void Change(const std::string& text) override
    {
        damagedLine_ = std::count(text.begin(), text.end(), '\n') + 2;
        // Cut short in its last line, as a full disk or a crash leaves it.
        std::ofstream(file_, std::ios::binary | std::ios::app) << "[Software\\Quillmere\\RadioType]\n\"TxDelay\"=sz:\"2";
    }
    std::size_t damagedLine_ = 0;
};

TEST_F(StartupDamagedSettingsFile, KeepsEveryOtherValueAndSaysSoOnce)
{
    EXPECT_EQ(std::string(CurrentRadioRecord().RadioName), "TS-850SAT");
    EXPECT_EQ(RxDelay, 750);
    EXPECT_EQ(TxDelay, 100);
    EXPECT_EQ(AutoLoadOption, 3);
    EXPECT_EQ(Form1->ComPort->Port(), SecondTestPort);
    const auto boxes = ShownBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Kind, 0);
    EXPECT_EQ(boxes[0].Text, "The settings file " + file_ + " was damaged. 1 line could not be read (" +
                                 std::to_string(damagedLine_) +
                                 "); those settings are back at their defaults, every other setting was kept.\r"
                                 "The damaged file was kept as " + file_ + ".damaged.");
    Restart();
    EXPECT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(RxDelay, 750);
}

// A settings file saved by a text editor, with CR LF line ends and a byte-order mark, is
// read whole and is no damaged file.
class StartupEditedSettingsFile : public StartupSettingsFileTest {
protected:
    void Change(const std::string& text) override
    {
        std::string edited = "\xEF\xBB\xBF";
        for (char c : text)
            edited += c == '\n' ? std::string("\r\n") : std::string(1, c);
        std::ofstream(file_, std::ios::binary | std::ios::trunc) << edited;
    }
};

TEST_F(StartupEditedSettingsFile, IsReadWhole)
{
    EXPECT_EQ(std::string(CurrentRadioRecord().RadioName), "TS-850SAT");
    EXPECT_EQ(RxDelay, 750);
    EXPECT_EQ(AutoLoadOption, 3);
    EXPECT_EQ(Form1->ComPort->Port(), SecondTestPort);
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_FALSE(std::filesystem::exists(file_ + ".damaged"));
}
