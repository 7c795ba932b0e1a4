// The main window's menu bar (captions, shortcuts, handlers, the hidden menu, disabled
// menus), the form descriptions of all ten windows, and a screenshot of the main window.
#include "AppTestSupport.h"

#include "framework/ComCtrls.h"
#include "framework/FormCheck.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "placement/FormPlace.h"
#include "platform/Input.h"
#include "platform/Windowing.h"
#include "serial/SerialTerminal.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <unistd.h>

using namespace apptest;

namespace {

struct MenuRow {
    const char* Component;
    const char* Caption;
    const char* ShortCut; // as text; empty for none
    const char* Handler;
};

const MenuRow menuRows[] = {
    {"FileMenu", "&File", "", ""},
    {"LoadMenu", "&Open", "F2", "LoadMenuClick"},
    {"SaveMenu", "&Save", "Ctrl+S", "SaveMenuClick"},
    {"SaveAs", "Save As...", "", "SaveAsClick"},
    {"CloseMenu", "&Close", "", "CloseMenuClick"},
    {"N1", "-", "", ""},
    {"PrintMenu", "&Print...", "Ctrl+P", "PrintMenuClick"},
    {"N2", "-", "", ""},
    {"ExitMenu", "E&xit", "", "ExitMenuClick"},
    {"SearchMenu", "Searc&h", "", ""},
    {"FindMenu", "&Find...", "Ctrl+F", "FindMenuClick"},
    {"FindNextMenu", "Find &Next", "F3", "FindNextMenuClick"},
    {"SettingsMenu", "S&ettings", "", ""},
    {"RadioTypeSettingsMenu", "Radio Type...", "", "RadioTypeSettingsClick"},
    {"CommunicationSettingsMenu", "&Communication...", "", "CommunicationSettingsMenuClick"},
    {"OptionsSettingsMenu", "&Options...", "", "OptionsSettingsMenuClick"},
    {"InfoMenu", "&Info", "", ""},
    {"VYXHomepageSite", "Main VYX Website", "Ctrl+1", "VYXHomepageSiteClick"},
    {"VYXHomepageSite1", "Mirror VYX Website", "Ctrl+2", "VYXHomepageSite1Click"},
    {"N3", "-", "", ""},
    {"Disclaimer1", "&Disclaimer", "", "Disclaimer1Click"},
    {"AboutMenu", "&About", "", "AboutMenuClick"},
    {"SplashMenu", "Splash intro screen", "", "SplashMenuClick"},
    {"HiddenMenu", "Hidden Functies", "", ""},
    {"CtrlA", "Ctrl-A", "Ctrl+A", "CtrlAClick"},
    {"CtrlC", "Ctrl-C", "Ctrl+C", "Copywhichchannelnumbers1Click"},
    {"MenuRadioType", "[Radio]", "", ""},
    {"RadioSwitchOn", "Switch On", "", "RadioSwitchOnClick"},
    {"RadioSwitchOff", "Switch Off", "", "RadioSwitchOffClick"},
};

class MainWindow : public ProgramTest {
protected:
    std::string Status() const { return Form1->StatusBar->Panels()->Items(2)->Text(); }
    // A key typed in the memory grid, as the desktop delivers it; true when a menu took it.
    bool Press(int qtKey, bool ctrl)
    {
        const std::string before = Status();
        Form1->StatusBar->Panels()->Items(2)->SetText("");
        const auto urls = OpenedUrls().size();
        DeliverKeyPress(Form1->MemGrid->Handle(), qtKey, ctrl ? KEYMOD_CONTROL : 0u,
                        0);
        return !Status().empty() || OpenedUrls().size() != urls;
    }
};

std::string BuildFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    path[n] = 0;
    return std::filesystem::path(path).parent_path().string();
}

} // namespace

TEST_F(MainWindow, MenuBarAsDescribed)
{
    // The model item's caption is the current model's once the window is up.
    std::vector<std::string> topLevel;
    TMenuItem* root = Form1->MainMenu1->Items();
    for (int i = 0; i < root->Count(); ++i)
        topLevel.push_back(root->Items(i)->Name());
    EXPECT_EQ(topLevel, (std::vector<std::string>{"FileMenu", "SearchMenu", "SettingsMenu", "InfoMenu",
                                                 "HiddenMenu", "MenuRadioType"}));
    int order = 0;
    for (const MenuRow& row : menuRows) {
        SCOPED_TRACE(row.Component);
        auto* item = dynamic_cast<TMenuItem*>(Form1->FindComponent(row.Component));
        ASSERT_NE(item, nullptr);
        const bool modelItem = std::string(row.Component) == "MenuRadioType";
        EXPECT_EQ(item->Caption(), modelItem ? std::string("[TS-570D]") : std::string(row.Caption));
        EXPECT_EQ(item->ShortCut(), *row.ShortCut ? TextToShortCut(row.ShortCut) : TShortCut(0));
        EXPECT_EQ(item->OnClick.MethodName(), row.Handler);
        if (*row.Handler) {
            EXPECT_EQ(item->OnClick.Target(), Form1);
        }
        ++order;
    }
    EXPECT_EQ(order, 29);
    EXPECT_FALSE(Form1->HiddenMenu->Visible());
    EXPECT_FALSE(Form1->CtrlA->Visible());
    EXPECT_TRUE(Form1->CtrlC->Visible());
}

TEST_F(MainWindow, WindowEvents)
{
    EXPECT_EQ(Form1->OnCreate.MethodName(), "FormCreate");
    // The window store takes the close query over and calls the form's own handler after it.
    EXPECT_EQ(Form1->OnCloseQuery.MethodName(), "FormCloseQueryHandler");
    EXPECT_EQ(Form1->OnCloseQuery.Target(), static_cast<TObject*>(Form1->VYXFormStore));
    EXPECT_EQ(Form1->Menu(), Form1->MainMenu1);
    const char* pages[] = {"Memory Channels", "Menu Settings", "Command-Line", "Communication",
                           "Debug info"};
    ASSERT_EQ(Form1->VYXPageControl->PageCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Form1->VYXPageControl->Pages(i)->Caption(), pages[i]);
    EXPECT_EQ(Form1->StatusBar->Panels()->Count(), 3);
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(0)->Width(), 60);
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(1)->Width(), 80);
    EXPECT_EQ(Form1->ComTerminal->ComPort(), Form1->ComPort);
}

TEST_F(MainWindow, HiddenMenuShortCutsWork)
{
    // Ctrl+A selects the whole grid that opened the pop-up menu.
    Form1->Grid_Popup->SetPopupComponent(Form1->MemGrid);
    Form1->MemGrid->SetSelection(TGridRect{1, 1, 1, 1});
    Press(Qt::Key_A, true);
    const TGridRect all = Form1->MemGrid->Selection();
    EXPECT_EQ(all.Right, Form1->MemGrid->ColCount() - 1);
    EXPECT_EQ(all.Bottom, Form1->MemGrid->RowCount() - 1);
    EXPECT_TRUE(Press(Qt::Key_C, true));
    EXPECT_EQ(Status(), "Selection copied to clipboard.\rUse the \"paste\" function from another\r"
                        "application to get the selection.");
    EXPECT_TRUE(Press(Qt::Key_1, true));
    EXPECT_EQ(OpenedUrls(), std::vector<std::string>{ReadMeFile()});
    EXPECT_FALSE(Press(Qt::Key_Q, true));
    EXPECT_FALSE(Press(Qt::Key_A, false));
}

TEST_F(MainWindow, InfoMenuOpensTheReadMeShippedBesideTheProgram)
{
    auto text = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string readMe = ReadMeFile();
    EXPECT_EQ(std::filesystem::path(readMe).parent_path(), BuildFolder());
    const std::string shipped = text(readMe);
    EXPECT_FALSE(shipped.empty());
    EXPECT_EQ(shipped, text(apptest::SourceRoot() / "README.md"));

    Form1->VYXHomepageSite->Click();
    Form1->VYXHomepageSite1->Click();
    EXPECT_EQ(OpenedUrls(), (std::vector<std::string>{readMe, readMe}));
    EXPECT_TRUE(ShownBoxes().empty());

    ShellOpensNothing();
    Form1->VYXHomepageSite->Click();
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "Could not open " + readMe + ".");
    EXPECT_EQ(ShownBoxes()[0].Kind, 1);
}

TEST_F(MainWindow, DisabledMenuBlocksItsShortCuts)
{
    Form1->ChangeEnabled(false);
    EXPECT_FALSE(Press(Qt::Key_F2, false));
    EXPECT_FALSE(Press(Qt::Key_F3, false));
    EXPECT_FALSE(Press(Qt::Key_S, true));
    // The hidden and info menus stay usable during a radio action.
    EXPECT_TRUE(Press(Qt::Key_2, true));
    EXPECT_EQ(OpenedUrls(), std::vector<std::string>{ReadMeFile()});

    Form1->ChangeEnabled(true);
    EXPECT_TRUE(Press(Qt::Key_F3, false));
    EXPECT_EQ(Status(), "Nothing to look for. Use <CTRL-F> instead.");
}

TEST_F(MainWindow, ExitClosesThroughTheCloseCheck)
{
    Form1->Show();
    FileChanged = true;
    TxDelay = 150;
    QueueAnswer(2);
    Form1->ExitMenu->Click();
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(Status(), "Exit canceled.");
    FileChanged = false;
    Form1->ExitMenu->Click();
    EXPECT_FALSE(Form1->Visible());
    EXPECT_EQ(ReadValue("RadioType", "TxDelay"), "150");
}

TEST_F(MainWindow, AutoLoadSetsTheCaption)
{
    Form1->Show();
    Form1->AutoLoad();
    EXPECT_EQ(Form1->Caption(), "Quillmere - Version:2.4");
    EXPECT_TRUE(SplashForm->Visible()) << "shown unless switched off";
    SplashForm->Hide();
    DisableSplashScreen = true;
    Form1->AutoLoad();
    EXPECT_FALSE(SplashForm->Visible());
}

TEST_F(MainWindow, AutoLoadChoosesItsAction)
{
    DisableSplashScreen = true;
    AutoVink = false;
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "");

    // A file named on the command line wins over the start-up action.
    AutoVink = true;
    AutoLoadOption = 1;
    CommandLineFile = "/home/op/ham.vyx";
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "Could not load file /home/op/ham.vyx !");

    CommandLineFile.clear();
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "Error while trying to communicate with the radio");
    AutoLoadOption = 3;
    AutoStartMem.clear();
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "Load file canceled.") << "no file: the dialog";
    AutoStartMem = "/srv/start.vyx";
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "Could not load file /srv/start.vyx !");
    Form1->StatusBar->Panels()->Items(2)->SetText("");
    AutoLoadOption = 9;
    Form1->AutoLoad();
    EXPECT_EQ(Status(), "");
}

TEST(MainWindowDescriptions, EveryFormDescriptionReads)
{
    StartProgramModules();
    EXPECT_EQ(CheckAllFormDescriptions(apptest::SourceRoot() / "resources/forms"), 10);
}

TEST_F(MainWindow, Screenshot)
{
    CurrentRadio = FindRadioByField("TS-850SAT", 1);
    const char* rows[][8] = {
        {"0", "03.550.00", "LSB", "03.550.00", "LSB", "N/A", "FALSE", "80m net"},
        {"1", "07.050.00", "LSB", "07.050.00", "LSB", "N/A", "FALSE", "40m"},
        {"2", "14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "DX window"},
        {"3", "29.620.00", "FM", "28.520.00", "FM", "88.5", "TRUE", "10m repeater"},
    };
    for (int r = 0; r < 4; ++r)
        for (int c = 1; c < 8; ++c)
            Form1->MemGrid->SetCell(c, r + 1, rows[r][c]);
    Form1->ChangeRadioHandle(false);
    Form1->Show();
    Form1->AutoLoad();
    SplashForm->Hide();
    Application->ProcessMessages();

    QWidget* widget = WindowWidget(Form1->Handle());
    ASSERT_NE(widget, nullptr);
    const QImage image = widget->grab().toImage();
    ASSERT_FALSE(image.isNull());
    const std::string file = std::filesystem::temp_directory_path().string() + "/MainWindow.png";
    EXPECT_TRUE(image.save(QString::fromStdString(file)));

    // At the minimum height the grid still shows rows.
    Form1->SetHeight(330);
    Application->ProcessMessages();
    EXPECT_GT(Form1->MemGrid->Height(), 3 * 15) << "rows of the grid stay visible";
    EXPECT_TRUE(widget->grab().toImage().save(QString::fromStdString(std::filesystem::temp_directory_path().string() + "/MainWindowMin.png")));
}
