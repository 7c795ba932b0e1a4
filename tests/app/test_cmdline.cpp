// The command-line interpreter: the command tree, help, typed commands (those that reach a
// file or the simulated radio included), questions answered by typing, and the styled log
// with its pop-up menu and wheel.
#include "test_link_support.h"

#include "framework/Clipbrd.h"
#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/StdCtrls.h"
#include "platform/EventLoop.h"
#include "textview/TextView.h"

#include <set>
#include <utility>

using namespace apptest;

namespace {

using Line = std::pair<std::string, int>; // text, style

// The line typed into the input box when a question waits (one per wait).
std::string typedAnswer;
bool TypeAnswer()
{
    if (PendingAnswer != WaitingAnswer || typedAnswer.empty() || !Form1)
        return false;
    Form1->CmdLineEditCB->SetText(typedAnswer);
    typedAnswer.clear();
    char key = 13;
    Form1->CmdLineEditCBKeyPress(Form1->CmdLineEditCB, key);
    return true;
}

class CmdLine : public RadioLinkTest {
protected:
    void SetUp() override
    {
        RadioLinkTest::SetUp();
        typedAnswer.clear();
        AddMessagePumpHook(&TypeAnswer);
        Form1->CmdLineWindow->ClearDocument();
    }
    void TearDown() override
    {
        RemoveMessagePumpHook(&TypeAnswer);
        RadioLinkTest::TearDown();
    }
    // Types a line and presses Enter; gives the log lines it added.
    std::vector<Line> Type(const std::string& text)
    {
        const int before = Form1->CmdLineWindow->Items->Count();
        Form1->CmdLineEditCB->SetText(text);
        char key = 13;
        Form1->CmdLineEditCBKeyPress(Form1->CmdLineEditCB, key);
        return LogFrom(before);
    }
    static std::vector<Line> LogFrom(int first)
    {
        std::vector<Line> lines;
        TTextView* v = Form1->CmdLineWindow;
        for (int i = first; i < v->Items->Count(); ++i)
            lines.emplace_back(v->Items->Strings(i), v->LineInfo(i)->StyleNo);
        return lines;
    }
    // The lines after the echo of the typed line.
    std::vector<Line> Run(const std::string& text)
    {
        auto lines = Type(text);
        if (lines.size() < 2) {
            ADD_FAILURE() << "no echo of " << text;
            return lines;
        }
        EXPECT_EQ(lines[0], Line(" ", 6));
        EXPECT_EQ(lines[1], Line("> " + text, 6));
        lines.erase(lines.begin(), lines.begin() + 2);
        return lines;
    }
    static bool Contains(const std::vector<Line>& lines, const Line& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The command words leading to a record of the table.
std::string PathOf(int index)
{
    std::string path = CommandTable[index].CmdName;
    int parent = CommandTable[index].ParentId;
    while (parent != 1) {
        const int i = TForm1::CommandIndexById(static_cast<std::uint8_t>(parent));
        path = std::string(CommandTable[i].CmdName) + " " + path;
        parent = CommandTable[i].ParentId;
    }
    return path;
}

} // namespace

TEST_F(CmdLine, TreeLookupsAndLists)
{
    EXPECT_EQ(TForm1::FindSubCommand(1, "file"), 3);
    EXPECT_EQ(TForm1::FindSubCommand(3, "exit"), 15);
    EXPECT_EQ(TForm1::FindSubCommand(1, "exit"), 0);
    EXPECT_EQ(TForm1::FindSubCommand(1, ""), 0);
    EXPECT_EQ(TForm1::FindSubCommand(40, "clear"), 45);
    EXPECT_EQ(TForm1::FindSubCommand(50, "clear"), 51);
    // "quit" and "file exit" share an id: the last record wins.
    EXPECT_EQ(TForm1::CommandIndexById(15), 13);
    EXPECT_EQ(TForm1::CommandIndexById(1), 0);
    EXPECT_EQ(TForm1::CommandIndexById(51), 25);

    EXPECT_EQ(TForm1::ListSubCommands(1), "help, cmd, file, ;  quit, settings, radio, ;  memory");
    EXPECT_EQ(TForm1::ListSubCommands(3), "close, open, save, ;  print, status, exit");
    EXPECT_EQ(TForm1::ListSubCommands(40), "get, set, rx, ;  tx, clear");
    EXPECT_EQ(TForm1::ListSubCommands(31), "on, off");
    EXPECT_EQ(TForm1::ListSubCommands(2), "");
}

TEST_F(CmdLine, PathWalkStopsAtTheFirstUnknownOrEmptyWord)
{
    std::string path, bad;
    auto words = [](std::vector<std::string> w) {
        w.insert(w.begin(), "");
        w.resize(11);
        return w;
    };
    EXPECT_EQ(TForm1::ResolveCommandPath(1, words({"file", "print", "memory"}), path, bad), 16);
    EXPECT_EQ(path, "file print memory");
    EXPECT_EQ(bad, "");
    EXPECT_EQ(TForm1::ResolveCommandPath(1, words({"file", "", "status"}), path, bad), 3);
    EXPECT_EQ(path, "file");
    EXPECT_EQ(TForm1::ResolveCommandPath(1, words({"radio", "switch", "maybe", "on"}), path, bad), 31);
    EXPECT_EQ(bad, "maybe");
    EXPECT_EQ(TForm1::ResolveCommandPath(2, words({"help", "memory", "rx"}), path, bad), 42);
    EXPECT_EQ(path, "memory rx");
    EXPECT_EQ(TForm1::ResolveCommandPath(1, words({"nope"}), path, bad), 1);
    EXPECT_EQ(path, "");
    EXPECT_EQ(bad, "nope");
}

TEST_F(CmdLine, HelpListsTheTopLevelCommands)
{
    const std::vector<Line> expected = {
        {"Help on Command \"help\":", 7},
        {"  VYX command-line interpreter help:", 7},
        {"  \"help <command>\" will give you help on the specified command.", 7},
        {"Available commands are:", 7},
        {"  help, cmd, file, ", 7},
        {"  quit, settings, radio, ", 7},
        {"  memory", 7},
        {"", 0},
    };
    EXPECT_EQ(Run("help"), expected);
    EXPECT_EQ(Form1->VYXPageControl->ActivePage(), Form1->CmdTabSheet);

    auto withError = Run("help foo");
    ASSERT_FALSE(withError.empty());
    EXPECT_EQ(withError[0], Line("Error: invalid (Sub)command \"foo\".", 8));
    withError.erase(withError.begin());
    EXPECT_EQ(withError, expected);
}

TEST_F(CmdLine, HelpOnACommandShowsItsSubCommands)
{
    const std::vector<Line> expected = {
        {"Help on Command \"file\":", 7},
        {"  Use this command for file handling. [Menu - File]", 7},
        {"", 7},
        {"Sub-commands:", 7},
        {"  close, open, save, ", 7},
        {"  print, status, exit", 7},
        {"", 0},
    };
    EXPECT_EQ(Run("help file"), expected);
    // A command without an action of its own shows the same help.
    EXPECT_EQ(Run("file"), expected);
    // Two blanks give an empty word, which ends the command path.
    EXPECT_EQ(Run("file  status"), expected);
}

TEST_F(CmdLine, EveryCommandHasItsHelp)
{
    for (int i = 1; i <= CommandTable.Count(); ++i) {
        const std::string path = PathOf(i);
        SCOPED_TRACE(path);
        const auto lines = Run("help " + path);
        // "help help" is the general help; every other record's heading names its path.
        const std::string name = i == 1 ? "help" : path;
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], Line("Help on Command \"" + name + "\":", 7));
        const std::string help = CommandTable[TForm1::CommandIndexById(CommandTable[i].CmdId)].HelpText;
        EXPECT_EQ(lines[1].first, "  " + help.substr(0, help.find(';')));
        EXPECT_EQ(lines.back(), Line("", 0));
    }
    // A command with an empty help text still gets its heading.
    const auto rx = Run("memory rx");
    ASSERT_GE(rx.size(), 2u);
    EXPECT_EQ(rx[0], Line("Help on Command \"memory rx\":", 7));
    EXPECT_EQ(rx[1], Line("  ", 7));
}

TEST_F(CmdLine, UnknownCommandsAndArguments)
{
    EXPECT_EQ(Run("frobnicate now"),
              (std::vector<Line>{{"Incorrect command: frobnicate.", 8},
                                 {"Please use command \"help\" to get a list of valid commands.", 8},
                                 {"", 0}}));
    const auto sw = Run("radio switch maybe");
    ASSERT_FALSE(sw.empty());
    EXPECT_EQ(sw[0], Line("Error: invalid (Sub)command \"maybe\".", 8));
    EXPECT_EQ(sw[1], Line("Help on Command \"radio switch\":", 7));
}

TEST_F(CmdLine, FileStatusIgnoresCaseOfTheWords)
{
    EXPECT_EQ(Run("FILE Status"),
              (std::vector<Line>{{"No Open file.", 0}, {"No unsaved changed.", 0}, {"", 0}}));
    CurrentFileName = "/tmp/x.vyx";
    FileChanged = true;
    EXPECT_EQ(Run("file status"), (std::vector<Line>{{"Current open file = \"/tmp/x.vyx\".", 0},
                                                     {"Changes not saved.", 0},
                                                     {"", 0}}));
    FileChanged = false;
    CurrentFileName.clear();
    EXPECT_TRUE(Contains(Run("file save"), Line("No filename specified and no current filename available.", 8)));
}

TEST_F(CmdLine, FileNamesKeepTheirCaseAndMayBeQuoted)
{
    const std::string dir = configDir_ + "/Channels";
    std::filesystem::create_directories(dir + "/.radios");
    Form1->MemGrid->SetCell(1, 1, "14.195.00");
    Form1->MemGrid->SetCell(2, 1, "USB");
    struct Row {
        std::string Typed;
        std::string File;
    };
    // ".vyx" is added to a name without one; a dot in a folder's name is no extension.
    const Row saves[] = {
        {"file save " + dir + "/MyRadio", dir + "/MyRadio.vyx"},
        {"FILE SAVE \"" + dir + "/My Radio\"", dir + "/My Radio.vyx"},
        {"file save " + dir + "/.radios/Club", dir + "/.radios/Club.vyx"},
    };
    for (const Row& row : saves) {
        typedAnswer = "No"; // to a question about the extension, which none of these needs
        Run(row.Typed);
        typedAnswer.clear();
        EXPECT_EQ(CurrentFileName, row.File) << row.Typed;
    }
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            written.insert(entry.path().string());
    EXPECT_EQ(written, (std::set<std::string>{dir + "/MyRadio.vyx", dir + "/My Radio.vyx",
                                              dir + "/.radios/Club.vyx"}));

    const Row opens[] = {
        {"file open " + dir + "/MyRadio", dir + "/MyRadio.vyx"},
        {"File Open \"" + dir + "/My Radio\"", dir + "/My Radio.vyx"},
        {"file open " + dir + "/.radios/Club", dir + "/.radios/Club.vyx"},
        {"file open " + dir + "/MyRadio.vyx", dir + "/MyRadio.vyx"},
    };
    for (const Row& row : opens) {
        Form1->MemGrid->SetCell(1, 1, "");
        Run(row.Typed);
        EXPECT_EQ(CurrentFileName, row.File) << row.Typed;
        EXPECT_EQ(Form1->MemGrid->GetCell(1, 1), "14.195.00") << row.Typed;
    }
    EXPECT_TRUE(ShownBoxes().empty());
}

// The commands that reach the radio, and the one that ends the run.
TEST_F(CmdLine, RadioAndExitCommandsReachTheirTargets)
{
    Connect("TS-2000");
    // The radio acts on a command once it has heard it, a little after it left.
    Run("radio switch off");
    EXPECT_TRUE(WaitFor([this] { return !sim_->PowerOn(); }));
    EXPECT_TRUE(Contains(Run("radio switch"), Line("Radio is OFF", 0)));
    Run("Radio Switch ON");
    EXPECT_TRUE(WaitFor([this] { return sim_->PowerOn(); }));
    EXPECT_TRUE(Contains(Run("radio switch"), Line("Radio is ON", 0)));
    EXPECT_EQ(Heard("PS"), (std::vector<std::string>{"PS0", "PS", "PS1", "PS"}));
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_FALSE(Form1->MenuRadioType->Default());

    CurrentRadio = FindRadioByField("TS-440", 1);
    Form1->ChangeRadioHandle(false);
    const auto detect = Run("settings radio detect");
    EXPECT_EQ(CurrentRadio, FindRadioByField("TS-2000", 1));
    EXPECT_TRUE(Contains(detect, Line("Information - Found Kenwood radio: TS-2000.", 0)));
    EXPECT_TRUE(Contains(detect, Line("Radio type changed.", 10)));

    Form1->Show();
    Run("file exit");
    EXPECT_FALSE(Form1->Visible());
    EXPECT_EQ(ReadValue("RadioType", "Name"), "TS-2000") << "the detected model is kept";
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(CmdLine, RadioTypeCommands)
{
    const std::string current = CurrentRadioRecord().RadioName;
    EXPECT_EQ(Run("settings radio"), (std::vector<Line>{{"Radio Type is " + current, 0}, {"", 0}}));

    const auto list = Run("settings radio list");
    ASSERT_EQ(list.size(), std::size_t(RadioTypeCount) + 1);
    for (int i = 1; i <= RadioTypeCount; ++i)
        EXPECT_EQ(list[std::size_t(i - 1)], Line(RadioTypeTable[i].RadioName, 0));

    const auto set = Run("settings radio ts-870s");
    EXPECT_EQ(CurrentRadio, FindRadioByField("TS-870S", 1));
    EXPECT_TRUE(Contains(set, Line("Radio type changed.", 10)));
    EXPECT_EQ(UIMode, 'G');

    const auto bad = Run("settings radio xx-1");
    EXPECT_TRUE(Contains(bad, Line("XX-1 is not a valid radio type!", 8)));
    EXPECT_EQ(CurrentRadio, FindRadioByField("TS-870S", 1));
}

TEST_F(CmdLine, MemoryRowsAreListed)
{
    Form1->MemGrid->SetCell(1, 1, "145.500");
    Form1->MemGrid->SetCell(2, 1, "FM");
    Form1->MemGrid->SetCell(3, 1, "145.600");
    Form1->MemGrid->SetCell(4, 1, "AM");
    Form1->MemGrid->SetCell(7, 1, "Repeater");
    Form1->SplitData_Setting->SetChecked(false);
    const auto two = Run("memory get channel 0");
    ASSERT_EQ(two.size(), 3u);
    const std::string title = Form1->MemGrid->GetCell(1, 0);
    EXPECT_EQ(two[0], Line(title + " = 145.500   Mode = FM", 0));
    EXPECT_EQ(two[1].first.substr(0, 7), "Tone = ");
    EXPECT_NE(two[1].first.find("   Description = Repeater"), std::string::npos);

    Form1->SplitData_Setting->SetChecked(true);
    const auto three = Run("memory get channel 0");
    ASSERT_EQ(three.size(), 4u);
    EXPECT_EQ(three[1], Line("TX Freq. = 145.600   Mode = AM", 0));

    for (const char* bad : {"memory get channel 100", "memory get channel x", "memory get channel -1",
                            "memory get channel"})
        EXPECT_EQ(Run(bad), (std::vector<Line>{{"Incorrect channel nummer!", 8}, {"", 0}})) << bad;

    const auto all = Run("memory get all");
    // Three lines and a separator per memory, then the closing empty line.
    ASSERT_EQ(all.size(), 100u * 4 + 1);
    EXPECT_EQ(all[3], Line(" ", 1));
    EXPECT_EQ(all[4].first.rfind(Form1->MemGrid->GetCell(1, 0) + " = ", 0), 0u);
}

TEST_F(CmdLine, HistoryAndClear)
{
    Run("file status");
    Run("file status");
    Run("bogus");
    TStrings* history = Form1->CmdLineEditCB->Items();
    ASSERT_EQ(history->Count(), 3);
    EXPECT_EQ(history->Strings(1), "file status");
    EXPECT_EQ(history->Strings(2), "bogus");
    EXPECT_EQ(Form1->CmdLineEditCB->Text(), "");

    Type("cmd clear");
    EXPECT_EQ(LogFrom(0), (std::vector<Line>{{"", 0}}));
    Form1->WriteCmdLineWindow("x", 0);
    Form1->Cmd_Popup_ClearClick(nullptr);
    EXPECT_EQ(Form1->CmdLineWindow->Items->Count(), 0);

    // Only Enter with a non-empty box acts.
    Form1->CmdLineEditCB->SetText("help");
    char key = 'a';
    Form1->CmdLineEditCBKeyPress(nullptr, key);
    EXPECT_EQ(Form1->CmdLineWindow->Items->Count(), 0);
    Form1->CmdLineEditCB->SetText("");
    key = 13;
    Form1->CmdLineEditCBKeyPress(nullptr, key);
    EXPECT_EQ(Form1->CmdLineWindow->Items->Count(), 0);
}

TEST_F(CmdLine, QuestionAnsweredByTypedText)
{
    // quit with unsaved changes asks; the typed answer "cancel" keeps the window.
    FileChanged = true;
    Form1->Show();
    typedAnswer = "Cancel";
    const auto lines = Run("quit");
    EXPECT_TRUE(Contains(lines, Line("Warning - Changes are not saved.", 0)));
    EXPECT_TRUE(Contains(lines, Line("Do you want to save the changes ? [Yes/No/Cancel] ?", 0)));
    EXPECT_TRUE(Contains(lines, Line("ANS> Cancel", 6))) << "the answer's echo";
    EXPECT_TRUE(Form1->Visible());
    EXPECT_EQ(UIMode, 'G');
    EXPECT_EQ(PendingAnswer, "");
    EXPECT_TRUE(ShownBoxes().empty()) << "no message box in command mode";
    FileChanged = false;
}

TEST_F(CmdLine, MessagesOfACommandGoToTheLog)
{
    // In command mode a message is logged with its kind's caption instead of a box.
    UIMode = 'C';
    Form1->OKMessage("Something happened.", MessageKind::Information);
    UIMode = 'G';
    EXPECT_EQ(LogFrom(0), (std::vector<Line>{{"Information - Something happened.", 0}}));
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(CmdLine, LogStylesAndLineBreaks)
{
    Form1->WriteCmdLineWindow("a;b", 8);
    Form1->WriteCmdLineWindow("c", 11);
    Form1->WriteCmdLineWindow("d", -1);
    Form1->WriteCmdLineWindow("", 10);
    EXPECT_EQ(LogFrom(0), (std::vector<Line>{{"a", 8}, {"b", 8}, {"c", 0}, {"d", 0}, {"", 10}}));

    TViewStyle* styles = Form1->ViewStyle1;
    ASSERT_NE(styles, nullptr);
    EXPECT_EQ(Form1->CmdLineWindow->Style(), styles);
    ASSERT_EQ(styles->TextStyles()->Count(), 11);
    const TFontInfo* echo = styles->TextStyles()->Items(6);
    EXPECT_EQ(echo->FontName, "System");
    EXPECT_EQ(echo->CharSet, 0);
    EXPECT_EQ(echo->Color, clTeal);
    EXPECT_TRUE(echo->Style.Contains(fsBold));
    EXPECT_EQ(styles->TextStyles()->Items(8)->Color, clRed);
    EXPECT_EQ(styles->TextStyles()->Items(10)->Size, 8);
    EXPECT_TRUE(styles->TextStyles()->Items(10)->Style.Contains(fsItalic));
    EXPECT_TRUE(Form1->CmdLineWindow->VScrollVisible());
}

TEST_F(CmdLine, PopupCopyOfTheSelection)
{
    Form1->Cmd_Popup_CopyClick(nullptr);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text, "No selection to copy!");
    EXPECT_EQ(ShownBoxes()[0].Kind, 0);

    Form1->Show();
    Form1->VYXPageControl->SetActivePage(Form1->CmdTabSheet);
    Form1->WriteCmdLineWindow("first line;second line", 0);
    Form1->CmdLineWindow->SelectionFromItems(0, 1, 1, 7);
    ASSERT_TRUE(Form1->CmdLineWindow->HasSelection());
    Form1->Cmd_Popup_CopyClick(nullptr);
    EXPECT_EQ(Clipboard()->AsText(), "first line\r\nsecond");
    ExpectCopyNotice(2);
}

TEST_F(CmdLine, WheelScrollsTheLogTwoStepsANotch)
{
    Form1->Show();
    Form1->SetHeight(400);
    for (int i = 0; i < 200; ++i)
        Form1->WriteCmdLineWindow("line " + std::to_string(i), 0);
    Form1->VYXPageControl->SetActivePage(Form1->CmdTabSheet);
    Form1->CmdLineWindow->SetVerticalPosition(10);
    const int start = Form1->CmdLineWindow->GetVerticalPosition();
    ASSERT_EQ(start, 10);
    ExpectWheelSteps([] { return Form1->CmdLineWindow->GetVerticalPosition(); }, 12, 8);
}
