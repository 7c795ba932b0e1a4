// Loading channel files: native round trip, versions 0 and 1, headerless exports, the
// separator guess, damaged files, the open dialog and the file named on the command line.
#include "test_fileload_support.h"

#include "app/FreqText.h"
#include "framework/Spin.h"

#include <map>
#include <sys/stat.h>

using namespace apptest;
using namespace filetest;

namespace {

class FileLoad : public ChannelFileTest {
protected:
    // A file of the given lines ended by CR LF.
    std::string Make(const std::string& name, const std::vector<std::string>& lines)
    {
        std::string bytes;
        for (const auto& l : lines)
            bytes += l + "\r\n";
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    using Cells = std::vector<std::string>;
};

TEST_F(FileLoad, NativeRoundTrip)
{
    SetMemory(0, {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "Home:net"});
    SetMemory(5, {"07.050.00", "LSB", "07.150.00", "CW", "88.5", "TRUE", "twenty characters.."});
    SetMemory(42, {"", "", "03.600.00", "AM", "", "", ""});
    Form1->SubRX_Action_Menu(Form1->MenuGrid->GetCell(0, 3), "1", false);
    const std::string menuValue = Form1->MenuGrid->GetCell(3, 3);
    ASSERT_TRUE(Form1->FileSaveAction(Path("rt.vyx"), TChannelFormat::Native));

    std::vector<Cells> before;
    for (int m = 0; m < 100; ++m)
        before.push_back(Row(m));
    Form1->CloseMenuClick(nullptr);
    ASSERT_TRUE(Mem()->GetCell(1, 1).empty());
    Form1->LoadFile(Path("rt.vyx"));

    for (int m = 0; m < 100; ++m) {
        Cells expected = before[std::size_t(m)];
        if (expected[1].empty() && expected[6].empty() && m != 0)
            expected[6] = "FALSE"; // an unused row's lock-out loads as FALSE
        EXPECT_EQ(Row(m), expected) << "memory " << m;
    }
    EXPECT_EQ(Form1->MenuGrid->GetCell(3, 3), menuValue);
    EXPECT_EQ(Form1->MenuGrid->GetCell(5, 3), "1");
    EXPECT_EQ(Status(), "File loaded. (VYX version: 2.X.)");
    EXPECT_EQ(Form1->Caption(), "Quillmere - rt.vyx");
    EXPECT_EQ(CurrentFileName, Path("rt.vyx"));
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(Mem()->Row(), 1);
    EXPECT_EQ(Form1->RXFreqEdit->Text(), "14.195.00");
}

TEST_F(FileLoad, OlderVersionsAndTheirFieldLayouts)
{
    // Version 1: no memory number, the row is the line's position among memory lines.
    std::vector<std::string> v1 = {"[Quillmere Version:1.0]", "MEM:14.100.00:USB:::67.0:TRUE:first",
                                   "MEM:::::::", "MEM:21.200.00:CW:21.300.00:LSB:bogus:yes:third"};
    for (int i = 3; i < 101; ++i)
        v1.push_back("MEM:::::::");
    v1.push_back("MEM:28.000.00:FM:::N/A:FALSE:one too many");
    Form1->LoadFile(Make("v1.vyx", v1));
    // Row 1 is current while loading, so it goes through the panel: the empty transmit
    // half takes the receive half. Other rows keep exactly what the file gave.
    EXPECT_EQ(Row(0), (Cells{"0", "14.100.00", "USB", "14.100.00", "USB", "67.0", "TRUE", "first"}));
    EXPECT_EQ(Row(2), (Cells{"2", "21.200.00", "CW", "21.300.00", "LSB", "N/A", "FALSE", "third"}));
    EXPECT_EQ(Row(99)[7], "");
    EXPECT_EQ(Status(), "File loaded. (VYX version: 1.X.)");

    // Version 0: columns 1 to 4 and the description; tone and lock-out stay as they were.
    SetMemory(1, {"", "", "", "", "88.5", "TRUE", ""});
    Form1->LoadFile(Make("v0.vyx", {"[Quillmere Version:0]", "MEM:01.900.00:LSB:::zero",
                                    "MEM:03.500.00:CW:03.600.00:CW:second of v0"}));
    EXPECT_EQ(Row(0)[1], "01.900.00");
    EXPECT_EQ(Row(0)[7], "zero");
    EXPECT_EQ(Row(1), (Cells{"1", "03.500.00", "CW", "03.600.00", "CW", "88.5", "TRUE", "second of v0"}));
}

// What the model cannot hold loads as its stand-in (the first mode, "N/A", FALSE, the first
// 20 characters), and the report names each such line; a frequency outside the model's
// bands loads as written, and the report names its memory.
TEST_F(FileLoad, ValuesAreCheckedAgainstTheModel)
{
    const auto shown = ShownBoxes().size();
    Form1->LoadFile(Make("c.vyx", {"[Quillmere Version:2.4]",
                                   "MEM:3:99.000.00:USB:14.000.00:XYZ:123.4:yes:cut after twenty chars",
                                   "MEM:150:14.000.00:USB::::::", "MEM:x:14.000.00:USB::::::",
                                   "MEM:4:14.000.00:usb:::::", "MEM:7:14.000.00:USB:::N/A:TRUE:twenty characters ok"}));
    // Out-of-band frequency as written, unknown mode the first one, unknown tone N/A.
    EXPECT_EQ(Row(3), (Cells{"3", "99.000.00", "USB", "14.000.00", "LSB", "N/A", "FALSE", "cut after twenty cha"}));
    EXPECT_EQ(Row(4)[2], "USB") << "letter case names no other mode";
    for (int m : {5, 50, 99})
        EXPECT_TRUE(Row(m)[1].empty());
    ASSERT_EQ(ShownBoxes().size(), shown + 1);
    EXPECT_EQ(ShownBoxes().back().Text,
              "Not every line of " + Path("c.vyx") + " was loaded as written."
              "\r2 lines dropped (memory number not 0 to 99, or menu option of another radio type): 3, 4"
              "\r1 line with a mode the TS-570D does not have, loaded as LSB: 2"
              "\r1 line with a tone not in the tone table, loaded as N/A: 2"
              "\r1 line with a memory lock other than TRUE or FALSE, loaded as FALSE: 2"
              "\r1 line with a description longer than 20 characters, cut to 20: 2"
              "\r97 memories not loaded, the line damaged or missing; a send leaves them as on the radio "
              "until their rows are changed: 00, 01, 02, 05, 06 and 92 more"
              "\r1 memory with a frequency outside the bands of the TS-570D, loaded as written: 03");
}

// Through the File menu: every model, its memories in its bands, its menus given values of
// each kind (list, range, tone, PF key) or left unread, and descriptions holding "#", ",",
// ";" and ":", saved natively or as either csv export under a bare name and opened again,
// give back the same grids without a word.
TEST_F(FileLoad, EveryModelsOwnFilesOpenBackToTheSameGrids)
{
    for (int model = 1; model <= RadioTypeCount; ++model) {
        UseModel(model);
        SCOPED_TRACE(RadioTypeTable[model].RadioName);
        const auto bands = CurrentRadioRecord().Bands();
        ASSERT_FALSE(bands.empty());
        const std::int64_t khz = (bands[0].Low + bands[0].High) / 2000;
        auto freq = [&](int offset) {
            std::string hz = std::to_string((khz + offset) * 1000);
            return HzToFreqText(std::string(11 - hz.size(), '0') + hz);
        };
        const std::string a = freq(0), b = freq(5), c = freq(-5);
        const std::string m0 = ModeNameByIndex(0), m1 = ModeNameByIndex(1), m2 = ModeNameByIndex(2);
        Form1->Clear_Action_Mem(0, 99);
        SetMemory(0, {a.c_str(), m1.c_str(), a.c_str(), m1.c_str(), "N/A", "FALSE", "Rep #2 Net"});
        SetMemory(18, {b.c_str(), m0.c_str(), c.c_str(), m2.c_str(), "88.5", "TRUE", "DX #1, 40m; late"});
        SetMemory(99, {c.c_str(), m2.c_str(), c.c_str(), m2.c_str(), "N/A", "FALSE", "#:"});
        // Each menu gets the highest of its first few codes the grid accepts; every fourth
        // stays unread.
        for (int r = 1; CurrentMenuSet != 0 && r < Form1->MenuGrid->RowCount(); ++r) {
            Form1->MenuGrid->SetCell(5, r, "");
            if (r % 4 == 0)
                continue;
            for (int code = r % 6 + 1; code >= 0; --code) {
                Form1->SubRX_Action_Menu(Form1->MenuGrid->GetCell(0, r), std::to_string(code), false);
                if (!Form1->MenuGrid->GetCell(2, r).empty())
                    break;
            }
        }
        auto grids = [&] {
            std::vector<Cells> rows;
            for (int m = 0; m < 100; ++m) {
                rows.push_back(Row(m));
                if (rows.back()[1].empty())
                    rows.back()[6].clear(); // an unused row's lock-out loads as FALSE
            }
            // A model without menu settings keeps none in its files.
            for (int r = 1; CurrentMenuSet != 0 && r < Form1->MenuGrid->RowCount(); ++r)
                rows.push_back({Form1->MenuGrid->GetCell(2, r), Form1->MenuGrid->GetCell(3, r),
                                Form1->MenuGrid->GetCell(5, r) == "1" ? "read" : "unread"});
            return rows;
        };
        const auto before = grids();
        for (int filter : {1, 2, 3}) {
            SCOPED_TRACE(filter);
            // A bare name takes the chosen filter's extension: no question about it.
            const std::string name = Path("e" + std::to_string(filter));
            const auto shown = ShownBoxes().size();
            ChooseFile(name, filter);
            Form1->SaveAsClick(nullptr);
            FileChanged = false;
            ChooseFile(name + (filter == 1 ? ".vyx" : ".csv"));
            Form1->LoadMenuClick(nullptr);
            EXPECT_EQ(ShownBoxes().size(), shown) << ShownBoxes().back().Text;
            const auto after = grids();
            ASSERT_EQ(after.size(), before.size());
            for (std::size_t i = 0; i < after.size(); ++i)
                EXPECT_EQ(after[i], before[i]) << (i < 100 ? "memory " : "menu row ") << (i < 100 ? i : i - 99);
            EXPECT_EQ(Status(), filter == 1 ? "File loaded. (VYX version: 2.X.)" : "None VYX File loaded.");
        }
    }
}

// Through File > Open under the TS-570D, a csv the TS-870S exported sets only the menus whose
// description both models share, to the same value, where the TS-570D has it: a menu number
// names another setting on another model. Every other menu row is reported as not loaded.
TEST_F(FileLoad, AnotherModelsCsvSetsOnlyTheMenusBothDescribe)
{
    TStringGrid* menus = Form1->MenuGrid;
    UseModel(FindRadioByField("TS-870S", 1));
    std::map<std::string, std::string> exported; // description -> value text
    for (int r = 1; r < menus->RowCount(); ++r) {
        for (int code = 1; code >= 0 && menus->GetCell(2, r).empty(); --code)
            Form1->SubRX_Action_Menu(menus->GetCell(0, r), std::to_string(code), false);
        ASSERT_FALSE(menus->GetCell(2, r).empty()) << menus->GetCell(1, r);
        exported[menus->GetCell(1, r)] = menus->GetCell(2, r);
    }
    ChooseFile(Path("ts870.csv"), 2);
    Form1->SaveAsClick(nullptr);

    UseModel(FindRadioByField("TS-570D", 1));
    FileChanged = false;
    const auto shown = ShownBoxes().size();
    ChooseFile(Path("ts870.csv"));
    Form1->LoadMenuClick(nullptr);
    std::size_t loaded = 0;
    for (int r = 1; r < menus->RowCount(); ++r) {
        SCOPED_TRACE(menus->GetCell(0, r) + " " + menus->GetCell(1, r));
        if (menus->GetCell(3, r).empty())
            continue;
        ++loaded;
        ASSERT_EQ(exported.count(menus->GetCell(1, r)), 1u);
        EXPECT_EQ(menus->GetCell(2, r), exported[menus->GetCell(1, r)]);
    }
    EXPECT_GT(loaded, 0u);
    EXPECT_FALSE(FileChanged);
    ASSERT_EQ(ShownBoxes().size(), shown + 1);
    EXPECT_NE(ShownBoxes().back().Text.find("\r" + std::to_string(exported.size() - loaded) +
                                            " lines dropped (menu option or value unknown to the TS-570D): "),
              std::string::npos)
        << ShownBoxes().back().Text;
}

TEST_F(FileLoad, SeparatorIsGuessedFromTheFirstDataLine)
{
    // The commas before the only ";" are never counted: ";" wins.
    Form1->LoadFile(Make("s1.csv", {"Mem#,RX,Mode,TX;rest", "5;14.000.00;USB;;;;;x,y"}));
    EXPECT_EQ(Row(5)[1], "14.000.00");
    EXPECT_EQ(Row(5)[7], "x,y");
    // One ";" followed by two ",": "," wins.
    Form1->LoadFile(Make("s2.csv", {"Mem#;b,c,d", "6,07.000.00,CW,,,,,semi;colon"}));
    EXPECT_EQ(Row(6)[2], "CW");
    EXPECT_EQ(Row(6)[7], "semi;colon");
    // Only a "#" in the first field makes a title line; one in a description does not.
    Form1->LoadFile(Make("s3.csv", {"Mem#,RX Freq.", "8,03.700.00,LSB,,,,,#1 net", "9,03.800.00,LSB,,,,,x"}));
    EXPECT_EQ(Row(8)[7], "#1 net");
    EXPECT_EQ(Row(9)[1], "03.800.00");
}

// A file without a single memory or menu line loads nothing, so it is refused like a damaged
// one instead of emptying the grids and taking the file's name.
TEST_F(FileLoad, FilesWithoutChannelLinesAreRefused)
{
    SetMemory(0, {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE", "keep"});
    ASSERT_TRUE(Form1->FileSaveAction(Path("t.txt"), TChannelFormat::Text));
    WriteFile(Path("notes.vyx"), "shopping list\r\nbread and milk\r\n");
    const std::string caption = Form1->Caption();
    for (const std::string& name : {Path("t.txt"), Path("notes.vyx")}) {
        SCOPED_TRACE(name);
        FileChanged = true;
        ChooseFile(name);
        QueueAnswer(6);
        Form1->LoadMenuClick(nullptr);
        EXPECT_EQ(ShownBoxes().back().Kind, 1);
        EXPECT_EQ(ShownBoxes().back().Text.rfind("Could not load file " + name + " !\rIt holds no memory", 0), 0u);
        EXPECT_EQ(Row(0)[7], "keep");
        EXPECT_TRUE(CurrentFileName.empty());
        EXPECT_TRUE(FileChanged);
        EXPECT_EQ(Form1->Caption(), caption);
    }
}

// A byte-order mark before the header marks UTF-8 text, which loads in the code page; what
// the code page cannot hold is reported. With "SplitData" unchecked, the rows the load passes
// through the edit panel keep their transmit halves. A name outside ASCII (the system's
// UTF-8) reads right in the caption and the status line.
TEST_F(FileLoad, ByteOrderMarkUncheckedSplitDataAndNamesOutsideAscii)
{
    Form1->SplitData_Setting->SetChecked(false);
    Mem()->SetRow(6);
    const auto shown = ShownBoxes().size();
    Form1->LoadFile(Make("Z\xC3\xBCrich.vyx", {"\xEF\xBB\xBF[Quillmere Version:2.4]",
                                      "MEM:0:01.800.00:LSB:01.805.00:FM:N/A:FALSE:split",
                                      "MEM:5:14.000.00:USB:14.100.00:CW:N/A:FALSE:selected split",
                                      "MEM:7:14.000.00:USB:::N/A:FALSE:Caf\xC3\xA9 \xE2\x82\xAC" "5",
                                      "MEM:8:14.000.00:USB:::N/A:FALSE:\xE6\x97\xA5\xE6\x9C\xAC net"}));
    EXPECT_EQ(Status(), "File loaded. (VYX version: 2.X.)");
    EXPECT_EQ(Row(7)[7], "Caf\xE9 \x80" "5");
    EXPECT_EQ(Row(8)[7], "?? net");
    ASSERT_EQ(ShownBoxes().size(), shown + 1);
    EXPECT_EQ(ShownBoxes().back().Text, "Not every line of " + dir_.string() + "/Z\xFCrich.vyx was loaded as written."
                                        "\r1 line with characters the code page cannot hold, loaded as \"?\": 5"
                                        "\r96 memories not loaded, the line damaged or missing; a send leaves them as "
                                        "on the radio until their rows are changed: 01, 02, 03, 04, 06 and 91 more");
    EXPECT_EQ(Row(0), (Cells{"0", "01.800.00", "LSB", "01.805.00", "FM", "N/A", "FALSE", "split"}));
    EXPECT_EQ(Row(5), (Cells{"5", "14.000.00", "USB", "14.100.00", "CW", "N/A", "FALSE", "selected split"}));
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(Form1->Caption(), "Quillmere - Z\xFCrich.vyx");
    Form1->SaveMenuClick(nullptr);
    EXPECT_EQ(Status(), "File \"" + dir_.string() + "/Z\xFCrich.vyx\" saved.");
    EXPECT_EQ(LineOf(Path("Z\xC3\xBCrich.vyx"), 1), "MEM:0:01.800.00:LSB:01.805.00:FM:N/A:FALSE:split");
}

TEST_F(FileLoad, MenuLinesOfAnotherSetAreIgnored)
{
    const std::string number = Form1->MenuGrid->GetCell(0, 4);
    Form1->LoadFile(Make("m.vyx", {"[Quillmere Version:2.4]", "MENU:3:" + number + ":1"}));
    EXPECT_TRUE(Form1->MenuGrid->GetCell(3, 4).empty());
    Form1->LoadFile(Make("m2.vyx", {"[Quillmere Version:2.4]", "MENU:1:" + number + ":1"}));
    EXPECT_EQ(Form1->MenuGrid->GetCell(3, 4), "1");
}

// File > Open reads and checks the whole file before it clears anything: a refused file
// leaves the open one as it was, and the next save writes the user's rows, not empty ones.
TEST_F(FileLoad, RefusedOpenLeavesTheOpenFileAndItsNextSaveWhole)
{
    const std::string current =
        Make("current.vyx", {"[Quillmere Version:2.4]", "MEM:10:14.200.00:USB:::N/A:FALSE:keep me"});
    Form1->LoadFile(current);
    SetMemory(11, {"14.300.00", "USB", "", "", "N/A", "FALSE", "edited"});
    FileChanged = true;
    auto snapshot = [&] {
        std::vector<Cells> rows;
        for (int m = 0; m < 100; ++m)
            rows.push_back(Row(m));
        for (int r = 1; r < Form1->MenuGrid->RowCount(); ++r)
            rows.push_back({Form1->MenuGrid->GetCell(3, r), Form1->MenuGrid->GetCell(5, r)});
        rows.push_back({Form1->RXFreqEdit->Text(), std::to_string(Mem()->Row())});
        return rows;
    };
    const auto before = snapshot();

    std::string binary = "[Quillmere Version:2.4]\r\nMEM:1:14.000.00:USB:::N/A:FALSE:x\r\n";
    binary += std::string("\0\0\x7f\x45LF", 6);
    WriteFile(Path("bin.vyx"), binary);
    // A named pipe would block the window until someone wrote to it.
    ASSERT_EQ(mkfifo(Path("pipe.vyx").c_str(), 0600), 0);
    for (const std::string& name : {Path("bin.vyx"), Path("missing.vyx"), Path("pipe.vyx")}) {
        SCOPED_TRACE(name);
        ChooseFile(name);
        QueueAnswer(6); // let the unsaved changes go
        const auto shown = ShownBoxes().size();
        Form1->LoadMenuClick(nullptr);
        ASSERT_EQ(ShownBoxes().size(), shown + 2);
        EXPECT_EQ(ShownBoxes().back().Kind, 1);
        EXPECT_EQ(ShownBoxes().back().Text.rfind("Could not load file " + name + " !", 0), 0u);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(CurrentFileName, current);
        EXPECT_TRUE(FileChanged);
        EXPECT_EQ(Form1->Caption(), "Quillmere - current.vyx");
        EXPECT_TRUE(Mem()->Visible());
    }

    // A folder named on the command line is refused the same way.
    Form1->LoadFile(dir_.string());
    EXPECT_EQ(ShownBoxes().back().Text, "Could not load file " + dir_.string() + " !");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(CurrentFileName, current);

    Form1->SaveMenuClick(nullptr);
    const auto lines = Lines(ReadFile(current));
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[11], "MEM:10:14.200.00:USB:::N/A:FALSE:keep me");
    EXPECT_EQ(lines[12], "MEM:11:14.300.00:USB:::N/A:FALSE:edited");
}

// Lines that do not load as written no longer refuse the file: each loads as far as it
// can, and one message after the load says what was dropped, shortened or emptied.
TEST_F(FileLoad, ImperfectLinesLoadAndAreReportedOnce)
{
    UseModel(FindRadioByField("TS-870S", 1));
    ASSERT_TRUE(MenuTable.ValidIndex(CurrentMenuSet));
    const std::string set = CurrentRadioRecord().MenuSet;
    const std::string name = Path("odd.vyx");
    WriteFile(name, "[Quillmere Version:2.4]\r\n"
                    "MENU:" + set + ":200:1\r\n"                     // no such menu
                    "MENU:" + set + ":0:250\r\n"                     // no such value
                    "NOTE:not a channel line\r\n"
                    "MEM:0:14.100.00:USB:14.100.00:USB:88.5:TRUE:full line\r\n"
                    "MEM:1:07.050.00:LSB\r\n"                          // short
                    "MEM:150:14.000.00:USB:::::\r\n"                   // no such memory
                    "MEM:x:14.000.00:USB:::::\r\n"                     // not a number
                    "MENU:9:5:1\r\n"                                   // another model's menus
                    "MEM:2:35.000.00:USB:14.000.00:USB:N/A:FALSE:6m\r\n" // out of this model's bands
                    "MEM:3:21.000.00:CW:21.000.00:CW:N/A:FALSE:last line"); // no line break
    const auto shown = ShownBoxes().size();
    Form1->LoadFile(name);

    // The short line's missing fields are empty, not the line before's.
    EXPECT_EQ(Row(1), (Cells{"1", "07.050.00", "LSB", "", "", "", "FALSE", ""}));
    EXPECT_EQ(Row(2), (Cells{"2", "35.000.00", "USB", "14.000.00", "USB", "N/A", "FALSE", "6m"}));
    EXPECT_EQ(Row(3), (Cells{"3", "21.000.00", "CW", "21.000.00", "CW", "N/A", "FALSE", "last line"}));
    EXPECT_EQ(CurrentFileName, name);
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(Status(), "File loaded. (VYX version: 2.X.)");
    ASSERT_EQ(ShownBoxes().size(), shown + 1);
    EXPECT_EQ(ShownBoxes().back().Kind, 0);
    EXPECT_EQ(ShownBoxes().back().Text,
              "Not every line of " + name + " was loaded as written."
              "\r3 lines dropped (memory number not 0 to 99, or menu option of another radio type): 7, 8, 9"
              "\r2 lines dropped (menu option or value unknown to the TS-870S): 2, 3"
              "\r1 line of no known kind, ignored: 4"
              "\r1 line incomplete, the missing fields left empty: 6"
              "\r96 memories not loaded, the line damaged or missing; a send leaves them as on the radio until "
              "their rows are changed: 04, 05, 06, 07, 08 and 91 more"
              "\r1 memory with a frequency outside the bands of the TS-870S, loaded as written: 02");
    EXPECT_EQ(LineNumberList({2, 4, 6, 8, 10, 12, 14}), "2, 4, 6, 8, 10 and 2 more");
}

TEST_F(FileLoad, OpenDialogAsksBeforeReplacingChanges)
{
    Make("o.vyx", {"[Quillmere Version:2.4]", "MEM:1:14.000.00:USB:::N/A:FALSE:loaded"});
    MemoryFileDir = dir_.string();
    CancelDialog();
    Form1->LoadMenuClick(nullptr);
    EXPECT_EQ(Status(), "Load file canceled.");
    auto requests = DialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Title, "Open VYX file");
    EXPECT_EQ(requests[0].FilterCount, 5);
    EXPECT_EQ(requests[0].Directory, dir_.string());

    SetMemory(20, {"14.300.00", "USB", "", "", "N/A", "FALSE", "unsaved"});
    FileChanged = true;
    ChooseFile(Path("o.vyx"));
    QueueAnswer(7);
    Form1->LoadMenuClick(nullptr);
    EXPECT_EQ(Status(), "Load file canceled.");
    EXPECT_EQ(Row(20)[7], "unsaved");
    EXPECT_EQ(ShownBoxes().back().Text, "Changes not saved, continue anyway ?");

    ChooseFile(Path("o.vyx"));
    QueueAnswer(6);
    Form1->LoadMenuClick(nullptr);
    EXPECT_TRUE(Row(20)[1].empty());
    EXPECT_EQ(Row(1)[7], "loaded");
    EXPECT_FALSE(FileChanged);
    // The next dialog starts at the loaded file.
    CancelDialog();
    Form1->LoadMenuClick(nullptr);
    EXPECT_EQ(DialogRequests().back().FileName, "o.vyx");
}

TEST_F(FileLoad, AutoLoadTakesTheFileNamedOnTheCommandLine)
{
    Make("start.vyx", {"[Quillmere Version:2.4]", "MEM:12:14.000.00:USB:::N/A:FALSE:from argv"});
    CommandLineFile = Path("start.vyx");
    DisableSplashScreen = true;
    Form1->AutoLoad();
    EXPECT_EQ(Row(12)[7], "from argv");
    EXPECT_EQ(CurrentFileName, Path("start.vyx"));
    EXPECT_EQ(Form1->Caption(), "Quillmere - start.vyx");
}

} // namespace
