// Writes offscreen pictures of every window of the program to PNG files, for a person to
// look at: the main window's memory and menu pages filled from channel files, the splash,
// and every dialog as its menu item opens it.
//
//   screenshots [output folder]      (default: ./screenshots)
//
// Runs on the offscreen platform with a settings folder of its own, so the user's settings
// are neither read nor changed.
#include "app/AboutFormUnit.h"
#include "app/ComportSettingsUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/FindFormUnit.h"
#include "app/Globals.h"
#include "app/OptionsFormUnit.h"
#include "app/PrintMemFormUnit.h"
#include "app/ProgramMain.h"
#include "app/RadiotypeUnit.h"
#include "app/Range_Select.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/Grids.h"
#include "framework/Modules.h"
#include "framework/Spin.h"
#include "platform/Windowing.h"
#include "platform/WinReg.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

void RegisterEmbeddedResources_screenshots();

namespace fs = std::filesystem;

namespace {

fs::path OutDir;
int Failures = 0;

void Settle()
{
    for (int i = 0; i < 5; ++i)
        Application->ProcessMessages();
}

void Grab(TForm* form, const std::string& name)
{
    Settle();
    QWidget* widget = form ? WindowWidget(form->Handle()) : nullptr;
    const fs::path file = OutDir / (name + ".png");
    if (!widget || !widget->grab().toImage().save(QString::fromStdString(file.string()))) {
        std::fprintf(stderr, "screenshots: could not write %s\n", file.c_str());
        ++Failures;
        return;
    }
    std::printf("%s\n", file.c_str());
}

// Opens a modal dialog through Open (the handler its menu item calls), takes its picture
// once it is up and closes it with Cancel, as a user would.
void GrabModal(TForm* dialog, const std::string& name, const std::function<void()>& Open)
{
    QTimer::singleShot(300, [dialog, name] {
        Grab(dialog, name);
        dialog->SetModalResult(mrCancel);
    });
    Open();
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Memories of a VHF/UHF radio: frequencies of 100 MHz and above in both halves.
std::string MemoryFile()
{
    const char* rows[] = {
        "MEM:0:144.800.00:FM:144.800.00:FM:N/A:FALSE:APRS",
        "MEM:1:145.500.00:FM:145.500.00:FM:N/A:FALSE:Calling 2m",
        "MEM:2:145.650.00:FM:145.050.00:FM:88.5:FALSE:Repeater R5",
        "MEM:3:433.500.00:FM:433.500.00:FM:N/A:TRUE:Calling 70cm",
        "MEM:4:439.175.00:FM:431.575.00:FM:123.0:FALSE:Repeater 70cm",
        "MEM:5:14.195.00:USB:14.195.00:USB:N/A:FALSE:DX window",
        "MEM:6:7.050.00:LSB:7.050.00:LSB:N/A:FALSE:40m",
        "MEM:7:50.150.00:USB:50.150.00:USB:N/A:FALSE:6m",
    };
    std::string text = "[Quillmere Version:2.4]\r\n";
    for (const char* r : rows)
        text += std::string(r) + "\r\n";
    return text;
}

// Menu values of a model with a menu set, every value kind among them.
std::string MenuFile()
{
    std::string text = "[Quillmere Version:2.4]\r\nMEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:DX\r\n";
    const char* values[][2] = {{"0", "1"},  {"1", "1"},  {"2", "5"},   {"7", "2"},  {"14", "3"},
                               {"24", "6"}, {"31", "1"}, {"45", "50"}, {"56", "4"}, {"57", "12"}};
    for (const auto& v : values)
        text += std::string("MENU:2:") + v[0] + ":" + v[1] + "\r\n";
    return text;
}

void SelectMenu(int number)
{
    Form1->MenuEdit->SetValue(number);
    Form1->MenuEditChange(Form1->MenuEdit);
}

} // namespace

int main(int argc, char** argv)
{
    OutDir = fs::absolute(argc > 1 ? argv[1] : "screenshots");
    fs::create_directories(OutDir);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The channel files' folder shows in the print preview: inside the output folder, the
    // same on every run, so that two runs' pictures can be compared pixel for pixel.
    const fs::path work = OutDir / ".work";
    std::error_code made;
    fs::remove_all(work, made);
    if (!fs::create_directories(work, made)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", work.c_str());
        return 1;
    }
    setenv("XDG_CONFIG_HOME", work.c_str(), 1);

    RegisterEmbeddedResources_screenshots();
    AddProgramModules();
    // The program would load its first argument as a channel file.
    InitModules(1, argv);
    Application->Initialize();
    Application->SetTitle("Quillmere");
    CreateProgramForms();
    DisableSplashScreen = true;
    Form1->Show();
    Form1->AutoLoad();

    // The memory page, from a channel file of a radio that reaches 100 MHz and above.
    CurrentRadio = FindRadioByField("TS-2000", 1);
    Form1->ChangeRadioHandle(false);
    WriteFile(work / "vhf.vyx", MemoryFile());
    Form1->LoadFile((work / "vhf.vyx").string());
    Form1->MemGrid->SetRow(3);
    Grab(Form1, "MainWindow-Memories");
    GrabModal(PrintMemForm, "Print-Memories", [] { Form1->PrintMenuClick(Form1); });

    // The menu page of a model with a menu set; one picture per kind of value editor.
    CurrentRadio = FindRadioByField("TS-870S", 1);
    Form1->ChangeRadioHandle(false);
    WriteFile(work / "menus.vyx", MenuFile());
    Form1->LoadFile((work / "menus.vyx").string());
    Form1->VYXPageControl->SetActivePageIndex(1);
    Form1->VYXPageControlChange(Form1->VYXPageControl);
    const std::pair<int, const char*> editors[] = {
        {24, "MainWindow-Menus-List"}, {7, "MainWindow-Menus-List5"}, {2, "MainWindow-Menus-Number"},
        {57, "MainWindow-Menus-Tone"}, {45, "MainWindow-Menus-Function"}};
    for (const auto& [menu, name] : editors) {
        SelectMenu(menu);
        Grab(Form1, name);
    }
    GrabModal(PrintMemForm, "Print-Menus", [] { Form1->PrintMenuClick(Form1); });

    // The menu set of another model, whose first menu has the short list "OFF,4,3,2,1".
    CurrentRadio = FindRadioByField("TS-570D", 1);
    Form1->ChangeRadioHandle(false);
    Form1->SubRX_Action_Menu("0", "2", false);
    SelectMenu(0);
    Grab(Form1, "MainWindow-Menus-TS570");
    Form1->VYXPageControl->SetActivePageIndex(0);
    Form1->VYXPageControlChange(Form1->VYXPageControl);

    SplashRandomPicture = [next = 0]() mutable { return next++ % 8 + 1; };
    Form1->SplashMenuClick(Form1);
    for (int tick = 0; tick < 3; ++tick)
        SplashForm->SplashTimerTimer(SplashForm);
    Grab(SplashForm, "Splash");
    SplashForm->Close();

    Form1->AboutMenuClick(Form1);
    Grab(AboutForm, "About");
    AboutForm->Close();
    Form1->Disclaimer1Click(Form1);
    Grab(DisclaimForm, "Disclaimer");
    DisclaimForm->Close();

    GrabModal(RadioTypeForm, "RadioType", [] { Form1->RadioTypeSettingsClick(Form1); });
    GrabModal(ComportSettingsForm, "SerialSettings",
              [] { Form1->CommunicationSettingsMenuClick(Form1); });
    GrabModal(OptionsForm, "Options", [] { Form1->OptionsSettingsMenuClick(Form1); });
    GrabModal(FindForm, "Find", [] { Form1->FindMenuClick(Form1); });
    GrabModal(Range_Selection, "SelectRange", [] {
        Range_Selection->SetSelection(10, 40);
        Range_Selection->ShowModal();
    });

    Application->DestroyComponents();
    FinalizeModules();
    std::error_code ec;
    fs::remove_all(work, ec);
    return Failures == 0 ? 0 : 1;
}
