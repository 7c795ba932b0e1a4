// Channel files another program had in hand: an export saved back by a spreadsheet, a
// native backup cut short or renumbered and then sent to the radio, a file replaced on disk
// before a save.
#include "test_fileload_support.h"
#include "test_link_support.h"

#include "platform/Codepage.h"

#include <functional>

using namespace apptest;
using namespace filetest;

namespace {

using Cells = std::vector<std::string>;
using Sheet = std::vector<Cells>;
using Texts = std::vector<std::string>;

// The texts of the message boxes shown after the first count.
Texts TextsShownSince(std::size_t count)
{
    Texts texts;
    const auto boxes = ShownBoxes();
    for (std::size_t i = count; i < boxes.size(); ++i)
        texts.push_back(boxes[i].Text);
    return texts;
}

class EditedFiles : public ChannelFileTest {
protected:
    // Memory rows (an unused row's lock-out loads as FALSE, so it is left out) and menu rows
    // (value, code, read).
    std::vector<Cells> Grids() const
    {
        std::vector<Cells> rows;
        for (int m = 0; m < 100; ++m) {
            rows.push_back(Row(m));
            if (rows.back()[1].empty())
                rows.back()[6].clear();
        }
        TStringGrid* menus = Form1->MenuGrid;
        for (int r = 1; r < menus->RowCount(); ++r)
            rows.push_back({menus->GetCell(2, r), menus->GetCell(3, r), menus->GetCell(5, r)});
        return rows;
    }
    static int MenuRow(const std::string& number)
    {
        for (int r = 1; r < Form1->MenuGrid->RowCount(); ++r)
            if (Form1->MenuGrid->GetCell(0, r) == number)
                return r;
        return 0;
    }
};

enum class Quoting { AsNeeded, Always };

// A sheet as a spreadsheet writes it: every cell that holds the separator or a quote in
// quotes (or every cell), quotes in it doubled.
std::string Written(const Sheet& sheet, char sep, Quoting quoting)
{
    std::string text;
    for (const Cells& row : sheet) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const std::string& cell = row[i];
            if (i > 0)
                text += sep;
            if (quoting == Quoting::AsNeeded && cell.find_first_of(std::string(1, sep) + "\"") == std::string::npos) {
                text += cell;
                continue;
            }
            text += '"';
            for (char c : cell)
                text += c == '"' ? std::string("\"\"") : std::string(1, c);
            text += '"';
        }
        text += "\r\n";
    }
    return text;
}

// A spreadsheet writes every row as wide as the widest.
void Pad(Sheet& sheet)
{
    std::size_t width = 0;
    for (const Cells& row : sheet)
        width = std::max(width, row.size());
    for (Cells& row : sheet)
        row.resize(width);
}

} // namespace

// One export of memories and menus (a quote, the separator and "#" in descriptions, tones,
// lock-outs, menu values of each kind) in the forms a spreadsheet saves it: each loads back
// to the grids it came from, or the one message after the load names every line it could
// not take as written, and the memory it could not load is left out rather than guessed.
TEST_F(EditedFiles, SpreadsheetFormsOfAnExportLoadAsMeantOrAreNamed)
{
    SetMemory(0, {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "Forty metres"});
    SetMemory(5, {"29.620.00", "FM", "29.520.00", "FM", "67.0", "TRUE", "Rep \"A\""});
    SetMemory(6, {"07.050.00", "LSB", "07.050.00", "LSB", "88.5", "FALSE", "DX #1, 40m; late"});
    SetMemory(18, {"21.200.00", "CW", "21.200.00", "CW", "N/A", "TRUE", "Z\xFCrich"});
    for (const auto& [number, code] : {std::pair{"13", "1"}, {"5", "1"}, {"18", "1"}, {"24", "30"}})
        Form1->SubRX_Action_Menu(number, code, false);
    ASSERT_EQ(Form1->MenuGrid->GetCell(2, MenuRow("13")), "2.0");
    ASSERT_EQ(Form1->MenuGrid->GetCell(2, MenuRow("18")), "67.0");
    const auto original = Grids();

    // The export as a sheet: a title, 100 memory rows, an empty row, a title, the menu rows.
    Sheet exported{{"Mem#", "RX Freq.", "RX Mode", "TX Freq.", "RX Mode", "Tone", "Mem.Lock", "Description"}};
    for (int m = 0; m < 100; ++m)
        exported.push_back(Row(m));
    exported.push_back({});
    exported.push_back({"Menu#", "Description", "Setting"});
    for (int r = 1; r < Form1->MenuGrid->RowCount(); ++r)
        exported.push_back({Form1->MenuGrid->GetCell(0, r), Form1->MenuGrid->GetCell(1, r),
                            Form1->MenuGrid->GetCell(2, r)});
    // Sheet rows: memory m at m + 1, menu grid row r at 102 + r.
    const std::size_t filter = 102 + std::size_t(MenuRow("13")), rounding = 102 + std::size_t(MenuRow("5")),
                      tone = 102 + std::size_t(MenuRow("18")), interval = 102 + std::size_t(MenuRow("24"));
    ASSERT_EQ(exported[filter][2], "2.0");

    struct Case {
        const char* Form;
        std::function<void(Sheet&)> Edit;
        char Separator;
        Quoting Quotes;
        bool Utf8;
        std::string Report;                        // after the file's name; empty: no message
        std::function<void(std::vector<Cells>&)> Loaded; // the grids, where not the original
    };
    const Case cases[] = {
        {"rows padded to the widest", [](Sheet& s) { s[1].resize(11); Pad(s); }, ',', Quoting::AsNeeded, false, "", {}},
        {"every cell quoted", Pad, ';', Quoting::Always, false, "", {}},
        {"a notes column",
         [](Sheet& s) {
             s[0].push_back("Notes");
             s[1].push_back("bring the log");
             Pad(s);
         },
         ',', Quoting::AsNeeded, false, "\r1 line with cells after the Description or Setting column, those cells not loaded: 2",
         {}},
        {"a description split at its separator",
         [](Sheet& s) {
             s[7][7] = "DX #1";
             s[7].push_back(" 40m; late");
             Pad(s);
         },
         ',', Quoting::AsNeeded, false, "\r1 line with cells after the Description or Setting column, those cells not loaded: 8",
         [](std::vector<Cells>& g) { g[6][7] = "DX #1"; }},
        {"values reformatted",
         [&](Sheet& s) {
             s[6][2] = "fm", s[6][5] = "67", s[6][6] = "True", s[1][4] = "usb", s[1][6] = "false", s[7][5] = "88.50";
             s[filter][2] = "2", s[rounding][2] = "On", s[tone][2] = "67", s[interval][2] = "30.0";
         },
         ',', Quoting::AsNeeded, false, "", {}},
        {"decimal commas between semicolons",
         [](Sheet& s) { s[6][5] = "67,0", s[7][5] = "88,5"; },
         ';', Quoting::AsNeeded, false, "", {}},
        {"a row copied, its number not changed",
         [](Sheet& s) {
             Cells copy = s[6];
             copy[7] = "copy";
             s.insert(s.begin() + 8, copy);
         },
         ',', Quoting::AsNeeded, false,
         "\r2 lines with a memory number another line has too, neither loaded: 7, 9"
         "\r1 memory not loaded, the line damaged or missing; a send leaves it as on the radio until its row is "
         "changed: 05",
         [](std::vector<Cells>& g) { g[5] = {"5", "", "", "", "", "", "", ""}; }},
        {"UTF-8 without a byte-order mark", {}, ';', Quoting::AsNeeded, true, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Form);
        Sheet sheet = exported;
        if (c.Edit)
            c.Edit(sheet);
        std::string text = Written(sheet, c.Separator, c.Quotes);
        if (c.Utf8)
            text = Cp1252ToUtf8(text);
        const std::string name = Path("sheet.csv");
        WriteFile(name, text);
        const auto shown = ShownBoxes().size();
        ChooseFile(name);
        Form1->LoadMenuClick(nullptr);
        auto expected = original;
        if (c.Loaded)
            c.Loaded(expected);
        EXPECT_EQ(Grids(), expected);
        EXPECT_FALSE(FileChanged);
        EXPECT_EQ(TextsShownSince(shown), c.Report.empty() ? Texts{}
                                                           : Texts{"Not every line of " + name +
                                                                   " was loaded as written." + c.Report});
    }
}

// A file another program wrote or replaced after it was opened (or last saved) here is not
// overwritten by File > Save unasked: No keeps that program's file; Yes writes, and the
// next save, of a file then as this window left it, asks nothing.
TEST_F(EditedFiles, SaveAsksBeforeOverwritingWhatAnotherProgramWrote)
{
    const std::string name = Path("club.vyx");
    const std::function<void()> otherPrograms[] = {
        [&] { // an editor that saves beside the file and renames over it
            WriteFile(Path("club.vyx.new"), "[Quillmere Version:2.4]\r\nother\r\n");
            std::filesystem::rename(Path("club.vyx.new"), name);
        },
        [&] { std::ofstream(name, std::ios::binary | std::ios::app) << "MEM:0:::::::\r\n"; }, // in place
    };
    for (const auto& otherProgram : otherPrograms) {
        SetMemory(0, {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "mine"});
        ChooseFile(name, 1);
        Form1->SaveAsClick(nullptr);
        ASSERT_EQ(CurrentFileName, name);
        otherProgram();
        const std::string theirs = ReadFile(name);
        FileChanged = true;
        const auto shown = ShownBoxes().size();
        QueueAnswer(7);
        Form1->SaveMenuClick(nullptr);
        ASSERT_EQ(ShownBoxes().size(), shown + 1);
        EXPECT_EQ(ShownBoxes().back().Text, name + " was changed by another program since Quillmere opened or saved "
                                                   "it.\rDo you want to overwrite it?");
        EXPECT_EQ(ShownBoxes().back().Buttons, 2);
        EXPECT_EQ(ReadFile(name), theirs);
        EXPECT_TRUE(FileChanged);
        EXPECT_EQ(Status(), "File Save canceled");

        QueueAnswer(6);
        Form1->SaveMenuClick(nullptr);
        const auto lines = Lines(ReadFile(name));
        ASSERT_GT(lines.size(), 1u);
        EXPECT_EQ(lines[1], "MEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:mine");
        EXPECT_FALSE(FileChanged);
        Form1->SaveMenuClick(nullptr);
        EXPECT_EQ(ShownBoxes().size(), shown + 2);
    }
}

namespace {

class EditedBackup : public RadioLinkTest {
protected:
    void SetUp() override
    {
        RadioLinkTest::SetUp();
        InstallDialogFake();
    }
    void TearDown() override
    {
        RemoveDialogFake();
        RadioLinkTest::TearDown();
    }
    std::vector<std::string> Records() const
    {
        std::vector<std::string> records;
        for (int m = 0; m < 100; ++m)
            for (int h = 0; h < 2; ++h)
                records.push_back(sim_->MemoryRecord(m, h));
        return records;
    }
};

} // namespace

// A native backup of a full radio, cut short after line 52 (memories 51 to 99 lost) or with
// the line of memory 03 renumbered to 05: opened with File > Open and sent, it names the
// memories it could not load, and the send leaves them on the radio as they were.
TEST_F(EditedBackup, CutOrRenumberedBackupLeavesItsMissingMemoriesOnTheRadio)
{
    Connect("TS-570D");
    RxDelay = 150; // the radio answers at once
    for (int m = 0; m < 100; ++m)
        for (int h = 0; h < 2; ++h)
            sim_->SetMemory(m, h, Body("000140" + std::string(m < 10 ? "0" : "") + std::to_string(m) + "000", '2', '0', '0', "00"));
    const auto before = Records();
    FileChanged = false;
    Form1->MemChanRXButtonClick(Form1);
    ASSERT_EQ(Status(), "Ready reading from radio.");
    const std::string backup = configDir_ + "/backup.vyx";
    ChooseFile(backup);
    Form1->SaveAsClick(Form1);
    std::stringstream saved;
    saved << std::ifstream(backup, std::ios::binary).rdbuf();
    const std::string whole = saved.str();

    struct Case {
        const char* Damage;
        std::string Text;
        std::string Report;
    };
    const std::size_t cut = [&] {
        std::size_t at = 0;
        for (int line = 0; line < 52; ++line)
            at = whole.find("\r\n", at) + 2;
        return at;
    }();
    ASSERT_EQ(std::count(whole.begin(), whole.begin() + long(cut), '\n'), 52);
    std::string renumbered = whole;
    const auto line3 = renumbered.find("\r\nMEM:3:");
    ASSERT_NE(line3, std::string::npos);
    renumbered[line3 + 6] = '5';
    const Case cases[] = {
        {"cut short", whole.substr(0, cut),
         "\r49 memories not loaded, the line damaged or missing; a send leaves them as on the radio until their rows "
         "are changed: 51, 52, 53, 54, 55 and 44 more"},
        {"renumbered", renumbered,
         "\r2 lines with a memory number another line has too, neither loaded: 5, 7"
         "\r2 memories not loaded, the line damaged or missing; a send leaves them as on the radio until their rows "
         "are changed: 03, 05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Damage);
        std::ofstream(backup, std::ios::binary | std::ios::trunc) << c.Text;
        const auto shown = ShownBoxes().size();
        ChooseFile(backup);
        Form1->LoadMenuClick(Form1);
        EXPECT_EQ(TextsShownSince(shown), Texts{"Not every line of " + backup + " was loaded as written." + c.Report});
        Form1->MemChanTXButtonClick(Form1);
        EXPECT_EQ(Status(), "Finished memory TX.");
        EXPECT_EQ(Records(), before);
        EXPECT_EQ(Heard("MW"), std::vector<std::string>{});
    }
}
