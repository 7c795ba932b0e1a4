#include "app/FreqText.h"
#include "app/Globals.h"
#include "framework/Classes.h"
#include "framework/SysUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string StdModes = "LSB:1,USB:2,CW:3,FM:4,AM:5,FSK:6,CW-R:7,FSK-R:9";

bool IsNumber(const std::string& s, int64_t lo, int64_t hi)
{
    int64_t v = 0;
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos &&
           TryStrToInt64(s, v) && v >= lo && v <= hi;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

std::vector<std::string> CommaItems(const std::string& list)
{
    TStringList items;
    items.SetCommaText(list);
    std::vector<std::string> out;
    for (int i = 0; i < items.Count(); ++i)
        out.push_back(items[i]);
    return out;
}

class GlobalsState : public ::testing::Test {
protected:
    void SetUp() override { GlobalsInitialization(); }
    void TearDown() override { GlobalsInitialization(); }
};

} // namespace

// ---- Radio-type table ---------------------------------------------------------------

TEST(GlobalsRadioTypes, EveryRecordHasWellFormedFields)
{
    ASSERT_EQ(RadioTypeTable.Count(), 18);
    std::set<std::string> names, ids;
    for (int i = 1; i <= 18; ++i) {
        const TRadioType& r = RadioTypeTable[i];
        SCOPED_TRACE(r.RadioName);
        EXPECT_TRUE(Pos("TS-", r.RadioName) == 1 || Pos("R-", r.RadioName) == 1);
        EXPECT_TRUE(names.insert(r.RadioName).second);
        EXPECT_TRUE(ids.insert(r.RadioID).second);
        EXPECT_EQ(std::string(r.MemClearTail).size(), 4u);
        EXPECT_EQ(std::string(r.MemWriteFiller).size(), 1u);
        EXPECT_EQ(std::string(r.RadioID).size(), 3u);
        EXPECT_TRUE(IsNumber(r.PictureNumber, 0, 10));
        EXPECT_TRUE(IsNumber(r.NoSplitData, 0, 1));
        EXPECT_TRUE(IsNumber(r.MenuSet, 0, 3));
        EXPECT_TRUE(IsNumber(r.PowerSwitch, 0, 1));
        EXPECT_TRUE(IsNumber(r.MemSelectMethod, 0, 2));
        EXPECT_FALSE(std::string(r.TestedBy).empty());
        for (const std::string& pair : Split(r.FreqRanges, ',')) {
            std::vector<std::string> b = Split(pair, ':');
            ASSERT_EQ(b.size(), 2u) << pair;
            EXPECT_TRUE(IsNumber(b[0], 1, 99'999'999'999)) << pair;
            EXPECT_TRUE(IsNumber(b[1], 1, 99'999'999'999)) << pair;
            EXPECT_LT(StrToInt64(b[0]), StrToInt64(b[1])) << pair;
        }
        RebuildModeTable(r.ModeList);
        EXPECT_GE(ModeCount(), 1);
    }
    ModeTable.fill(TMode{});
}

TEST(GlobalsRadioTypes, RecordsAsTranscribed)
{
    const TRadioType& ts440 = RadioTypeTable[1];
    EXPECT_STREQ(ts440.MemWriteFiller, " ");
    EXPECT_STREQ(ts440.MemClearTail, "    ");
    EXPECT_STREQ(ts440.ModeList, StdModes.c_str());
    EXPECT_STREQ(RadioTypeTable[2].MemClearTail, "0   ");
    EXPECT_STREQ(RadioTypeTable[3].MemClearTail, "002 ");
    EXPECT_STREQ(RadioTypeTable[3].RadioName, "TS-570D");

    const TRadioType& ts930 = RadioTypeTable[13];
    EXPECT_STREQ(ts930.RadioName, "TS-930");
    EXPECT_STREQ(ts930.FreqRanges, "58000:29999999");
    EXPECT_STREQ(ts930.PictureNumber, "10");
    EXPECT_STREQ(ts930.RadioID, "P17");
    EXPECT_STREQ(ts930.ModeList, "AM:5");

    EXPECT_STREQ(RadioTypeTable[5].FreqRanges, "500000:30000000,50000000:54000000");
    EXPECT_STREQ(RadioTypeTable[17].FreqRanges, "10000:800000000,1240000000:1300000000");
    EXPECT_STREQ(RadioTypeTable[18].RadioName, "R-5000");
    EXPECT_STREQ(RadioTypeTable[11].RadioNotes, "");
    EXPECT_STREQ(RadioTypeTable[17].RadioNotes,
                 "Download the Kenwood program \"mcp_2000.exe\";This program is specially made "
                 "for the TS-2000;Maybe VYX will support this radio in the future.");
    EXPECT_STREQ(RadioTypeTable[8].RadioNotes, "VYX does not support this radio at this moment..");

    // Menu sets of the models with menu settings.
    std::map<std::string, std::string> sets;
    for (const TRadioType& r : RadioTypeTable)
        if (std::string(r.MenuSet) != "0")
            sets[r.RadioName] = r.MenuSet;
    EXPECT_EQ(sets, (std::map<std::string, std::string>{{"TS-570D", "1"}, {"TS-570S", "1"},
                                                       {"TS-870S", "2"}, {"TS-570DG", "3"},
                                                       {"TS-570SG", "3"}}));
}

TEST(GlobalsRadioTypes, FieldNumbersMatchNamedFields)
{
    const TRadioType& r = RadioTypeTable[4];
    EXPECT_EQ(r.Field(rfRadioName), r.RadioName);
    EXPECT_EQ(r.Field(rfRadioID), "G17");
    EXPECT_EQ(r.Field(rfMenuSet), "3");
    EXPECT_EQ(r.Field(rfModeList), StdModes);
    EXPECT_EQ(r.Field(-1), "");
    EXPECT_EQ(r.Field(13), "");
}

TEST(GlobalsRadioTypes, IndexZeroNeverReachesARecord)
{
    EXPECT_THROW(RadioTypeTable[0], EListError);
    EXPECT_THROW(RadioTypeTable[19], EListError);
    EXPECT_THROW(CommandTable[0], EListError);
    EXPECT_THROW(MenuTable[4], EListError);
    std::uint8_t saved = CurrentRadio;
    CurrentRadio = 0;
    EXPECT_THROW(CurrentRadioRecord(), EListError);
    EXPECT_EQ(CheckFreqInBands("14.195.00"), "");
    CurrentRadio = saved;
}

TEST(GlobalsRadioTypes, FindRadioByFieldIsExactAndLastMatchWins)
{
    EXPECT_EQ(FindRadioByField("P17", 8), 13);
    EXPECT_EQ(FindRadioByField("G17", 8), 4);
    EXPECT_EQ(FindRadioByField("017", 8), 3);
    EXPECT_EQ(FindRadioByField("TS-870S", 1), 12);
    EXPECT_EQ(FindRadioByField("TS-999", 1), 0);
    EXPECT_EQ(FindRadioByField("ts-870s", 1), 0);
    EXPECT_EQ(FindRadioByField("TS-870", 1), 0);
    EXPECT_EQ(FindRadioByField("TS-870S ", 1), 0);
    EXPECT_EQ(FindRadioByField("", 1), 0);
    // Several records share these values: the last one is taken.
    EXPECT_EQ(FindRadioByField("1", 9), 18);  // NoSplitData
    EXPECT_EQ(FindRadioByField("2", 12), 17); // MemSelectMethod
    EXPECT_EQ(FindRadioByField("7", 5), 18);  // PictureNumber
    EXPECT_EQ(FindRadioByField("TS-570D", 0), 0);
    EXPECT_EQ(FindRadioByField("TS-570D", 14), 0);
}

// ---- Tones and modes ----------------------------------------------------------------

TEST(GlobalsTones, CodesAndTexts)
{
    std::set<std::string> texts;
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(ToneTable[i].ToneCode, Format("%.2d", {i}));
        EXPECT_TRUE(texts.insert(ToneTable[i].ToneText).second);
    }
    EXPECT_STREQ(ToneTable[0].ToneText, "N/A");
    EXPECT_STREQ(ToneTable[1].ToneText, "67.0");
    EXPECT_STREQ(ToneTable[12].ToneText, "100.0");
    EXPECT_STREQ(ToneTable[38].ToneText, "250.3");
    EXPECT_STREQ(ToneTable[39].ToneText, "1750");

    EXPECT_EQ(ToneIndexByText("1750"), 39);
    EXPECT_EQ(ToneIndexByText("67.0"), 1);
    EXPECT_EQ(ToneIndexByText("N/A"), 0);
    EXPECT_EQ(ToneIndexByText("67"), 0);
    EXPECT_EQ(ToneIndexByText("n/a"), 0);
    EXPECT_EQ(ToneIndexByText(""), 0);
}

TEST_F(GlobalsState, ModeTableFromStandardList)
{
    RebuildModeTable(StdModes);
    EXPECT_EQ(ModeCount(), 8);
    EXPECT_EQ(ModeNames(), (std::vector<std::string>{"LSB", "USB", "CW", "FM", "AM", "FSK",
                                                     "CW-R", "FSK-R"}));
    EXPECT_EQ(ModeTable[7].ModeCode, "9");
    EXPECT_EQ(ModeIndexByName("FSK-R"), 7);
    EXPECT_EQ(ModeIndexByName("USB"), 1);
    EXPECT_EQ(ModeIndexByName("usb"), 0);
    EXPECT_EQ(ModeNameByIndex(2), "CW");
    EXPECT_EQ(ModeNameByCode("9"), "FSK-R");
    EXPECT_EQ(ModeNameByCode("8"), "LSB");
    EXPECT_EQ(ModeCodeByName("CW-R"), "7");
    EXPECT_EQ(ModeCodeByName("CW-r"), "0");
}

TEST_F(GlobalsState, EmptySlotsNeverMatch)
{
    RebuildModeTable(StdModes);
    RebuildModeTable("AM:5");
    ASSERT_EQ(ModeCount(), 1);
    EXPECT_TRUE(ModeTable[1].ModeName.empty());
    for (const char* code : {"1", "5", "9", "", "x"})
        EXPECT_EQ(ModeNameByCode(code), "AM") << code;
    // An empty name would match the seven empty slots: never an empty code, never an
    // index past the one selector item.
    EXPECT_EQ(ModeCodeByName(""), "0");
    EXPECT_EQ(ModeIndexByName(""), 0);
    EXPECT_EQ(ModeIndexByName("USB"), 0);
    EXPECT_EQ(ModeCodeByName("AM"), "5");
    EXPECT_EQ(ModeNameByIndex(0), "AM");
    EXPECT_EQ(ModeNameByIndex(5), "AM");
    EXPECT_EQ(ModeNameByIndex(-1), "AM");
    EXPECT_EQ(ModeNameByIndex(8), "AM");
}

TEST_F(GlobalsState, ModeListEdgeCases)
{
    RebuildModeTable("A:1,B:2,A:3,C:2");
    EXPECT_EQ(ModeIndexByName("A"), 2);
    EXPECT_EQ(ModeCodeByName("A"), "3");
    EXPECT_EQ(ModeNameByCode("2"), "C");

    // Items without a name or code are left out; the rest stay contiguous.
    RebuildModeTable("LSB:1,bad,:3,USB:,CW:3");
    EXPECT_EQ(ModeNames(), (std::vector<std::string>{"LSB", "CW"}));
    EXPECT_EQ(ModeIndexByName("CW"), 1);

    RebuildModeTable("A:1,B:2,C:3,D:4,E:5,F:6,G:7,H:8,I:9");
    EXPECT_EQ(ModeCount(), 8);
    EXPECT_EQ(ModeCodeByName("I"), "0");

    RebuildModeTable("");
    EXPECT_EQ(ModeCount(), 0);
    EXPECT_EQ(ModeNameByCode("1"), "");
    EXPECT_EQ(ModeCodeByName(""), "0");
}

// ---- Menu and PF-key tables ---------------------------------------------------------

TEST(GlobalsMenus, SetsAreWellFormed)
{
    const int used[] = {47, 69, 52};
    const int shown[] = {45, 69, 52};
    for (int s = 1; s <= 3; ++s) {
        SCOPED_TRACE(s);
        int u = 0, v = 0;
        for (int i = 0; i < 69; ++i) {
            const TMenuEntry& e = MenuTable[s][i];
            std::string number = e.MenuNumber, list = e.MenuValueList;
            ASSERT_NE(std::string("01239").find(e.MenuValueKind), std::string::npos) << i;
            if (number.empty()) {
                EXPECT_STREQ(e.MenuDescription, "");
                EXPECT_EQ(list, "");
                EXPECT_EQ(e.MenuValueKind, '9');
                continue;
            }
            ++u;
            EXPECT_EQ(number, IntToStr(i));
            EXPECT_FALSE(std::string(e.MenuDescription).empty());
            if (e.MenuValueKind != '9')
                ++v;
            switch (e.MenuValueKind) {
            case '0': {
                std::vector<std::string> items = CommaItems(list);
                EXPECT_GE(items.size(), 2u) << list;
                EXPECT_LE(items.size(), 256u) << list;
                for (const std::string& item : items)
                    EXPECT_FALSE(item.empty()) << list;
                break;
            }
            case '1': {
                std::vector<std::string> b = Split(list, ',');
                ASSERT_EQ(b.size(), 2u) << list;
                EXPECT_TRUE(IsNumber(b[0], 0, 255) && IsNumber(b[1], 0, 255)) << list;
                EXPECT_LT(StrToInt(b[0]), StrToInt(b[1]));
                break;
            }
            case '2':
                EXPECT_EQ(list, "");
                break;
            case '3':
                EXPECT_EQ(list, IntToStr(s - 1));
                break;
            }
        }
        EXPECT_EQ(u, used[s - 1]);
        EXPECT_EQ(v, shown[s - 1]);
    }
}

TEST(GlobalsMenus, EntriesAsTranscribed)
{
    EXPECT_STREQ(MenuTable[1][0].MenuDescription, "Display Brightness");
    EXPECT_STREQ(MenuTable[1][0].MenuValueList, "OFF,4,3,2,1");
    EXPECT_STREQ(MenuTable[1][10].MenuDescription, "Scan resume methode");
    EXPECT_EQ(MenuTable[1][26].MenuValueKind, '9');
    EXPECT_EQ(MenuTable[1][27].MenuValueKind, '9');
    EXPECT_EQ(MenuTable[3][26].MenuValueKind, '0');
    EXPECT_STREQ(MenuTable[2][63].MenuDescription, "Key Down polarity for FSK ");
    EXPECT_STREQ(MenuTable[2][3].MenuDescription,
                 "Automatic AGC release time for CW Mode  0=OFF");
    EXPECT_STREQ(MenuTable[2][57].MenuValueList, "");
    EXPECT_EQ(MenuTable[2][57].MenuValueKind, '2');
    EXPECT_STREQ(MenuTable[3][51].MenuDescription, "Noise reduction 1 level change");
    EXPECT_STREQ(MenuTable[3][51].MenuValueList, "Auto,1,2,3,4,5,6,7,8,9");

    // Lists whose items hold blanks are stored quoted, so the items stay whole.
    EXPECT_EQ(CommaItems(MenuTable[1][14].MenuValueList),
              (std::vector<std::string>{"OFF", "High boost", "Formant pass", "Bass boost",
                                        "Conventional"}));
    EXPECT_EQ(CommaItems(MenuTable[1][37].MenuValueList),
              (std::vector<std::string>{"OFF = Transfer to VFO", "ON = Transfer to quick memory"}));
    EXPECT_EQ(CommaItems(MenuTable[2][20].MenuValueList).size(), 3u);
    EXPECT_EQ(CommaItems(MenuTable[2][25].MenuValueList),
              (std::vector<std::string>{"-6", "-3", "0", "+3", "+6"}));

    // Set 3 repeats set 1 up to 46, apart from the shown weighting entries and PF block.
    for (int i = 0; i <= 46; ++i) {
        SCOPED_TRACE(i);
        const TMenuEntry& a = MenuTable[1][i];
        const TMenuEntry& b = MenuTable[3][i];
        EXPECT_STREQ(a.MenuNumber, b.MenuNumber);
        EXPECT_STREQ(a.MenuDescription, b.MenuDescription);
        if (i < 41 || i > 45) {
            EXPECT_STREQ(a.MenuValueList, b.MenuValueList);
        }
        if (i != 26 && i != 27) {
            EXPECT_EQ(a.MenuValueKind, b.MenuValueKind);
        }
    }
}

TEST(GlobalsMenus, PFKeyBlocks)
{
    const int filled[] = {22, 7, 25};
    for (int b = 0; b < 3; ++b) {
        SCOPED_TRACE(b);
        int n = 0;
        bool blankSeen = false;
        std::set<int> codes; // every function code a block offers, ranges expanded
        for (const TPFKey& k : PFKeyTable[b]) {
            if (k.PFKind == ' ') {
                blankSeen = true;
                EXPECT_STREQ(k.PFCode, "");
                EXPECT_STREQ(k.PFName, "");
                continue;
            }
            EXPECT_FALSE(blankSeen) << "filled entries come first";
            ++n;
            ASSERT_TRUE(IsNumber(k.PFCode, 0, 255)) << k.PFCode;
            int code = StrToInt(k.PFCode);
            if (k.PFKind == 'N') {
                EXPECT_TRUE(codes.insert(code).second) << code;
            } else {
                ASSERT_EQ(k.PFKind, 'M');
                std::vector<std::string> r = Split(k.PFName, '~');
                ASSERT_EQ(r.size(), 2u) << k.PFName;
                int lo = StrToInt(r[0]), hi = StrToInt(r[1]);
                EXPECT_LE(lo, hi);
                EXPECT_LE(code + hi, 255);
                for (int m = lo; m <= hi; ++m)
                    EXPECT_TRUE(codes.insert(code + m).second) << code + m;
            }
        }
        EXPECT_EQ(n, filled[b]);
    }
    EXPECT_STREQ(PFKeyTable[0][7].PFName, "[TF-SET");
    EXPECT_STREQ(PFKeyTable[1][1].PFName, "00~68");
    EXPECT_STREQ(PFKeyTable[2][22].PFName, "48~51");
    EXPECT_STREQ(PFKeyTable[2][24].PFName, "OFF");
}

// ---- Command table ------------------------------------------------------------------

TEST(GlobalsCommands, TreeResolves)
{
    ASSERT_EQ(CommandTable.Count(), 25);
    std::vector<int> ids;
    std::set<int> idSet;
    std::set<std::pair<int, std::string>> keys;
    for (const TMainCmd& c : CommandTable) {
        ids.push_back(c.CmdId);
        idSet.insert(c.CmdId);
        EXPECT_EQ(std::string(c.CmdName), LowerCase(c.CmdName));
        EXPECT_TRUE(keys.insert({c.ParentId, c.CmdName}).second) << c.CmdName;
    }
    EXPECT_EQ(ids, (std::vector<int>{2, 50, 3, 15, 20, 30, 40, 10, 11, 12, 13, 14, 15, 16, 17,
                                     21, 31, 32, 33, 41, 44, 42, 43, 45, 51}));
    EXPECT_EQ(idSet.count(1), 0u);
    EXPECT_STREQ(CommandTable[4].CmdName, "quit");
    EXPECT_STREQ(CommandTable[13].CmdName, "exit");
    EXPECT_EQ(CommandTable[4].CmdId, CommandTable[13].CmdId);

    // Every parent exists and every chain of parents ends at the root.
    for (int i = 1; i <= 25; ++i) {
        int p = CommandTable[i].ParentId, steps = 0;
        while (p != 1 && steps < 25) {
            int parent = 0;
            for (int j = 1; j <= 25; ++j)
                if (CommandTable[j].CmdId == p)
                    parent = j;
            ASSERT_NE(parent, 0) << CommandTable[i].CmdName;
            p = CommandTable[parent].ParentId;
            ++steps;
        }
        EXPECT_EQ(p, 1) << CommandTable[i].CmdName;
    }

    EXPECT_STREQ(CommandTable[1].HelpText,
                 "VYX command-line interpreter help:;  \"help <command>\" will give you help on "
                 "the specified command.;");
    EXPECT_STREQ(CommandTable[20].HelpText, "");
    EXPECT_STREQ(CommandTable[25].HelpText, "Clear command-line window");
}

// ---- Serial-setting names -----------------------------------------------------------

TEST(GlobalsSerialNames, NamesMapToEnumerationOrdinals)
{
    EXPECT_EQ(SerialNameOfValue(BaudRateNames, BaudRateValues, 7), "9600");
    EXPECT_EQ(SerialNameOfValue(BaudRateNames, BaudRateValues, 15), "256000");
    EXPECT_EQ(SerialNameOfValue(BaudRateNames, BaudRateValues, 0), "110"); // custom rate
    EXPECT_EQ(SerialValueOfName(BaudRateNames, BaudRateValues, "9600"), 7);
    EXPECT_EQ(SerialValueOfName(BaudRateNames, BaudRateValues, "9601"), 1);
    EXPECT_EQ(SerialValueOfName(BaudRateNames, BaudRateValues, ""), 1);

    EXPECT_EQ(SerialValueOfName(StopBitsNames, StopBitsValues, "1.5"), 1);
    EXPECT_EQ(SerialValueOfName(StopBitsNames, StopBitsValues, "2"), 2);
    EXPECT_EQ(SerialNameOfValue(StopBitsNames, StopBitsValues, 1), "1.5");
    EXPECT_EQ(SerialNameOfValue(StopBitsNames, StopBitsValues, 2), "2");
    EXPECT_EQ(SerialValueOfName(DataBitsNames, DataBitsValues, "8"), 3);
    EXPECT_EQ(SerialNameOfValue(ParityNames, ParityValues, 4), "Space");
    EXPECT_EQ(SerialValueOfName(ParityNames, ParityValues, "even"), 0);
    EXPECT_EQ(SerialNameOfValue(FlowControlNames, FlowControlValues, 3), "Custom");
    EXPECT_EQ(SerialNameOfValue(DTRFlowNames, DTRFlowValues, 9), "Disable");
    EXPECT_EQ(SerialNameOfValue(RTSFlowNames, RTSFlowValues, 3), "Toggle");

    const std::array<const char*, 3> dup{"a", "b", "a"};
    const std::array<int, 3> vals{10, 20, 30};
    EXPECT_EQ(SerialValueOfName(dup, vals, "a"), 30);
}

// ---- State --------------------------------------------------------------------------

TEST_F(GlobalsState, StartUpDefaultsAndCleanUp)
{
    EXPECT_EQ(CurrentRadio, 3);
    EXPECT_EQ(UIMode, 'G');
    EXPECT_EQ(RxDelay, 600);
    EXPECT_EQ(TxDelay, 100);
    EXPECT_EQ(AutoLoadOption, 1);
    EXPECT_EQ(PendingWrite, nullptr);
    EXPECT_STREQ(CurrentRadioRecord().RadioName, "TS-570D");

    CurrentFileName = "a.vyx";
    ReceiveBuffer = "ID017;";
    PendingAnswer = WaitingAnswer;
    RebuildModeTable(StdModes);
    GlobalsFinalization();
    EXPECT_EQ(CurrentFileName, "");
    EXPECT_EQ(ReceiveBuffer, "");
    EXPECT_EQ(PendingAnswer, "");
    EXPECT_EQ(ModeCount(), 0);
}

// ---- Frequency texts ----------------------------------------------------------------

TEST(FreqText, TextToHz)
{
    struct Case {
        const char* text;
        const char* hz;
    };
    const Case cases[] = {
        {"14.195.00", "00014195000"},
        {"7.05", "00007050000"},
        {"7", "00007000000"},
        {"", "00000000000"},
        {".500", "00000500000"},
        {"144.300.00", "00144300000"},
        {"800.000.00", "00800000000"},
        {"14.195.009", "00014195009"},
        {"14.1956.001", "00014195001"}, // parts beyond three digits are cut
        {"14..", "00014000000"},
        {"99999.999.99", "99999999990"},
        // Garbage in any part: not a frequency.
        {"abc", "00000000000"},
        {"abc.100.00", "00000000000"},
        {"14.x.00", "00000000000"},
        {"14.195.0x", "00000000000"},
        {"-7.05", "00000000000"},
        {" 7.05", "00000000000"},
        // Overflow of 64 bits, and values past 11 digits.
        {"99999999999999999999.000.00", "00000000000"},
        {"9223372036854.775.80", "00000000000"},
        {"100000.000.00", "00000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FreqTextToHz(c.text), c.hz) << '"' << c.text << '"';
}

TEST(FreqText, HzToText)
{
    struct Case {
        const char* hz;
        const char* text;
    };
    const Case cases[] = {
        {"00014195000", "14.195.00"},
        {"00007050000", "07.050.00"},
        {"00144300000", "144.300.00"}, // the hundreds of MHz are kept
        {"00800000000", "800.000.00"},
        {"00014195009", "14.195.00"},  // units of Hz are not shown
        {"00000000000", "00.000.00"},
        {"99999999999", "99999.999.99"},
        {"", ""},
        {"0001419X000", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HzToFreqText(c.hz), c.text) << '"' << c.hz << '"';

    // A grid text written back gives the same frequency.
    for (const char* text : {"00.030.00", "07.050.00", "29.999.99", "144.300.00", "1234.567.89"})
        EXPECT_EQ(HzToFreqText(FreqTextToHz(text)), text);
}

TEST(FreqText, BandCheck)
{
    struct Case {
        int radio;
        const char* text;
        const char* result;
    };
    const Case cases[] = {
        {13, "29.000.00", "29.000.00"},  // TS-930: 58000..29999999
        {13, "29.999.99", "29.999.99"},
        {13, "30.000.00", ""},
        {13, "00.058.00", "00.058.00"},  // lower bound included
        {13, "0.058", "00.058.00"},
        {13, "00.057.99", ""},
        {17, "144.300.00", "144.300.00"}, // TS-2000: 10000..800000000
        {17, "800.000.00", "800.000.00"},
        {17, "800.000.01", ""},
        {17, "00.010.00", "00.010.00"},
        {3, "7.05", "07.050.00"},
        {3, "30.000.00", "30.000.00"},   // upper bound included
        {5, "50.000.00", "50.000.00"},   // TS-570S second band
        {5, "40.000.00", ""},
        {5, "00.400.00", ""},
        {3, "", ""},
        {3, "abc", ""},
        {17, "99999999999999999999.000.00", ""},
    };
    for (const Case& c : cases) {
        CurrentRadio = std::uint8_t(c.radio);
        EXPECT_EQ(CheckFreqInBands(c.text), c.result)
            << RadioTypeTable[c.radio].RadioName << " \"" << c.text << '"';
    }
    CurrentRadio = DefaultRadio;

    // Zero is never a frequency, even inside a band; damaged band lists select nothing.
    EXPECT_EQ(CheckFreqInBands("0", "0:1000"), "");
    EXPECT_EQ(CheckFreqInBands("00.000.50", "0:1000"), "00.000.50");
    EXPECT_EQ(CheckFreqInBands("14.000.00", "x:y,,14000000"), "");
    EXPECT_EQ(CheckFreqInBands("14.000.00", ""), "");
}
