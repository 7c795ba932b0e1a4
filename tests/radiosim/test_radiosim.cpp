// The simulated radio in-process: each command answered as the program relies on, per model.
#include "tools/radiosim/RadioSim.h"
#include "protocol/MemoryRecord.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace {

int M(const char* name)
{
    const int m = RadioSim::ModelByName(name);
    EXPECT_NE(m, 0) << name;
    return m;
}

// A write command as the program builds it: "MW" + half + filler + memory + record body.
std::string Mw(char half, char filler, const std::string& mem, const std::string& body)
{
    return std::string("MW") + half + filler + mem + body + ";";
}

} // namespace

TEST(RadioSimCommands, IdentifiesEachModelAndTheBoardAndVariants)
{
    EXPECT_EQ(RadioSim(M("TS-2000")).Feed("ID;"), "ID019;");
    EXPECT_EQ(RadioSim(M("ts-440")).Feed("ID;"), "ID004;");
    EXPECT_EQ(RadioSim::ModelByName("TS-9999"), 0);

    // The board-equipped TS-930 reports the TS-570D's number and answers the probe.
    RadioSim board(M("TS-930"));
    EXPECT_EQ(board.Feed("ID;EQ;"), "ID017;EQ;");
    RadioSim plain(M("TS-570D"));
    EXPECT_EQ(plain.Feed("ID;EQ;"), "ID017;?;");

    // Only the G variant accepts beat cancel 2; the plain one keeps its old value.
    RadioSim g(M("TS-570SG"));
    EXPECT_EQ(g.Feed("ID;BC;BC2;BC;"), "ID018;BC0;BC2;");
    EXPECT_EQ(plain.Feed("BC1;BC2;BC;"), "?;BC1;");
}

TEST(RadioSimCommands, LinkTestLockReceiverAndMemorySelect)
{
    RadioSim sim(M("TS-2000"));
    EXPECT_EQ(sim.Feed("AI0;"), "");
    const std::string mr = sim.Feed("MR0000;");
    EXPECT_EQ(mr.substr(0, 3), "MR0");
    EXPECT_EQ(mr.size(), 24u);

    sim.Feed("LK1;");
    EXPECT_EQ(sim.Feed("LK0;LK;"), "LK0;");
    EXPECT_EQ(sim.Feed("FR2;FR;"), "FR2;");
    EXPECT_EQ(sim.Feed("MC 05;MC;"), "MC 05;");
    EXPECT_EQ(sim.SelectedMemory(), 5);
    EXPECT_EQ(sim.Feed("MC 5;MC;"), "?;MC 05;");

    // A model that cannot select memories refuses the command.
    EXPECT_EQ(RadioSim(M("TS-450S")).Feed("MC 05;"), "?;");
}

TEST(RadioSimCommands, PowerOffSilencesAllButThePowerCommand)
{
    RadioSim sim(M("TS-2000"));
    EXPECT_EQ(sim.Feed("PS;"), "PS1;");
    EXPECT_EQ(sim.Feed("PS0;"), "");
    EXPECT_FALSE(sim.PowerOn());
    EXPECT_EQ(sim.Feed("ID;MR0000;PS;"), "PS0;");
    EXPECT_EQ(sim.Feed("PS1;ID;"), "ID019;");

    // A model without the power switch refuses it and stays on.
    RadioSim noSwitch(M("TS-450S"));
    EXPECT_EQ(noSwitch.Feed("PS0;PS;"), "?;PS1;");
}

TEST(RadioSimCommands, CommandsSplitAcrossFeedsAndGarbage)
{
    RadioSim sim(M("TS-2000"));
    EXPECT_EQ(sim.Feed("I"), "");
    EXPECT_EQ(sim.Feed("D"), "");
    EXPECT_EQ(sim.Feed(";\r\nXX;;"), "ID019;?;?;");
    // An endless line is bounded and still ends in one refusal.
    EXPECT_EQ(sim.Feed(std::string(10000, 'A') + ";ID;"), "?;ID019;");
    EXPECT_EQ(sim.Received().back(), "ID");
}

TEST(RadioSimMemories, WriteThenReadBackAndClear)
{
    RadioSim sim(M("TS-2000"));
    const std::string body = "00145500000" "4" "1" "1" "08" " "; // 144.55 MHz FM, tone 08
    EXPECT_EQ(sim.Feed(Mw('0', '0', "42", body)), "");
    // A read-back query carries the filler; the answer shows the record as written.
    EXPECT_EQ(sim.Feed("MR0042;"), "MR0042" + body + ";");
    EXPECT_EQ(sim.MemoryRecord(42, 0), "MR0042" + body + ";");
    EXPECT_TRUE(sim.MemoryEmpty(42, 1));

    const std::string tx = "00145000000" "4" "1" "0" "00" "2";
    sim.Feed(Mw('1', '0', "42", tx));
    EXPECT_EQ(sim.Feed("MR1042;"), "MR1042" + tx + ";");

    // Clearing: 13 zeros and the model's tail empty the half; it reads back all zeros.
    sim.Feed("MW0042" + std::string(13, '0') + "002 ;");
    EXPECT_TRUE(sim.MemoryEmpty(42, 0));
    EXPECT_EQ(sim.Feed("MR0042;"), "MR0042" + std::string(17, '0') + ";");
    EXPECT_FALSE(sim.MemoryEmpty(42, 1));
}

TEST(RadioSimMemories, FillerAndNonSplitModel)
{
    // TS-440: filler " ", no transmit half.
    RadioSim sim(M("TS-440"));
    const std::string body = "00014250000" "2" "0" "0" "00" " ";
    EXPECT_EQ(sim.Feed(Mw('0', ' ', "07", body)), "");
    const std::string back = sim.Feed("MR0 07;");
    ASSERT_EQ(back.size(), 24u);
    EXPECT_EQ(back[3], ' ');
    EXPECT_EQ(back.substr(4, 18), "07" + body.substr(0, 16));
    EXPECT_EQ(sim.Feed("MR0007;")[3], '0');
    EXPECT_EQ(sim.Feed("MR1007;"), "?;");
    EXPECT_EQ(sim.Feed(Mw('1', ' ', "07", body)), "?;");

    // With the option, every answer shows the model's filler, whatever the query sent.
    RadioSimOptions o;
    o.FillerInAnswers = true;
    sim.SetOptions(o);
    EXPECT_EQ(sim.Feed("MR0007;")[3], ' ');
}

TEST(RadioSimMemories, InvalidNumbersAndOutOfBandAreRefused)
{
    RadioSim sim(M("TS-570S")); // 0.5-30 and 50-54 MHz
    EXPECT_EQ(sim.Feed("MR00A1;"), "?;");
    EXPECT_EQ(sim.Feed("MR00100;"), "?;");
    EXPECT_EQ(sim.Feed("MR2000;"), "?;");
    EXPECT_EQ(sim.Feed("MR0099;").substr(0, 6), "MR0099");

    EXPECT_EQ(sim.Feed(Mw('0', '0', "01", "00144000000" "4" "00000")), "?;");
    EXPECT_TRUE(sim.MemoryEmpty(1, 0));
    // Band edges are inside.
    EXPECT_EQ(sim.Feed(Mw('0', '0', "01", "00054000000" "4" "00000")), "");
    EXPECT_EQ(sim.Feed(Mw('0', '0', "02", "00000500000" "1" "00000")), "");
    EXPECT_EQ(sim.Feed(Mw('0', '0', "03", "00000499999" "1" "00000")), "?;");
    // A short write is refused and changes nothing.
    EXPECT_EQ(sim.Feed("MW00010001400000;"), "?;");
    EXPECT_EQ(MemoryRecord::Get(sim.MemoryRecord(1, 0), MemoryRecord::Frequency), "00054000000");
}

TEST(RadioSimMenus, DisplayedMenuSettingsAndScript)
{
    // TS-2000 has no menu set.
    EXPECT_EQ(RadioSim(M("TS-2000")).Feed("EX;EX0050001;"), "?;?;");

    RadioSim sim(M("TS-870S"));
    EXPECT_EQ(sim.Feed("EX0050001;EX0410050;"), "");
    EXPECT_EQ(sim.MenuValue(5), 1);
    EXPECT_EQ(sim.MenuValue(41), 50);
    sim.ShowMenu(5);
    EXPECT_EQ(sim.Feed("EX;"), "EX0050001;");
    // A menu that the set does not have, and a malformed set command, are refused.
    EXPECT_EQ(sim.Feed("EX9990001;EX00501;"), "?;?;");
    EXPECT_EQ(sim.MenuValue(999), -1);

    // Two polls per menu: 5, 5, 6, 6, 10, 10, and the display stays on the last.
    sim.SetMenuValue(10, 12);
    sim.SetMenuScript({5, 6, 10}, 2);
    std::string seen;
    for (int i = 0; i < 8; ++i)
        seen += sim.Feed("EX;");
    EXPECT_EQ(seen, "EX0050001;EX0050001;EX0060000;EX0060000;"
                    "EX0100012;EX0100012;EX0100012;EX0100012;");
    EXPECT_EQ(sim.DisplayedMenu(), 10);
    ASSERT_EQ(sim.Menus().size(), 69u);
    EXPECT_EQ(sim.Menus().back(), 68);
    EXPECT_TRUE(RadioSim(M("TS-2000")).Menus().empty());
}

TEST(RadioSimOptions, ErrorAnswersPrefixReplaceAndScript)
{
    RadioSimOptions o;
    o.ErrorEvery = 2;
    RadioSim sim(M("TS-2000"), o);
    // Set commands are not answers and do not count.
    EXPECT_EQ(sim.Feed("ID;LK0;ID;ID;ID;"), "ID019;?;ID019;ID019;?;ID019;");

    o.ErrorEveryInjection = {"E;", ErrorPlacement::Replace};
    o.ErrorEvery = 1;
    sim.SetOptions(o);
    EXPECT_EQ(sim.Feed("LK;"), "E;");

    o.ErrorEvery = 0;
    o.ErrorScript = {{"O;", ErrorPlacement::Prefix}, {"", ErrorPlacement::Prefix},
                     {"?;", ErrorPlacement::Replace}};
    sim.SetOptions(o);
    EXPECT_EQ(sim.Feed("ID;ID;ID;ID;"), "O;ID019;ID019;?;ID019;");

    o.ErrorScript = {{"?;", ErrorPlacement::Prefix, 30}};
    sim.SetOptions(o);
    const auto writes = sim.FeedTimed("ID;");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].Bytes, "?;");
    EXPECT_EQ(writes[1].Bytes, "ID019;");
    EXPECT_EQ(writes[1].AfterMs, 30);
    EXPECT_TRUE(writes[1].Continues);
}

TEST(RadioSimOptions, SplitAnswersSilenceAndDroppedWrites)
{
    RadioSimOptions o;
    o.SplitAnswers = true;
    RadioSim sim(M("TS-2000"), o);
    const auto writes = sim.FeedWrites("MR0000;ID;");
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0] + writes[1], sim.MemoryRecord(0, 0));
    EXPECT_FALSE(writes[0].empty());
    EXPECT_EQ(writes[0].find(';'), std::string::npos);
    EXPECT_EQ(writes[2] + writes[3], "ID019;");

    o = {};
    o.Silence = true;
    sim.SetOptions(o);
    EXPECT_EQ(sim.Feed("ID;MR0000;"), "");

    // Every second write is lost, so a read-back shows the old contents.
    o = {};
    o.DropEvery = 2;
    sim.SetOptions(o);
    const std::string a = "00007050000" "1" "0" "0" "00" "2";
    const std::string b = "00007100000" "1" "0" "0" "00" "2";
    sim.Feed(Mw('0', '0', "10", a));
    sim.Feed(Mw('0', '0', "10", b));
    EXPECT_EQ(sim.Feed("MR0010;"), "MR0010" + a + ";");
    EXPECT_EQ(sim.WritesDropped(), 1);
    sim.Feed(Mw('0', '0', "10", b));
    EXPECT_EQ(sim.Feed("MR0010;"), "MR0010" + b + ";");
}

TEST(RadioSimLoad, FileOfCommandsFillsTheStore)
{
    const std::string path = ::testing::TempDir() + "radiosim_load.txt";
    {
        std::ofstream f(path, std::ios::binary);
        std::string noEnd = Mw('0', '0', "03", "00145000000" "4" "00000");
        noEnd.pop_back(); // a line may leave out its ";"
        f << "# two memories and a menu\r\n"
          << noEnd << "\n"
          << Mw('0', '0', "04", "00007000000" "1" "00000") << "\n\n"
          << "EX0050001;\n";
    }
    RadioSimOptions o;
    o.DropEvery = 1; // loading is not traffic: nothing is dropped
    RadioSim sim(M("TS-870S"), o);
    ASSERT_TRUE(sim.LoadFile(path));
    EXPECT_EQ(MemoryRecord::Get(sim.MemoryRecord(4, 0), MemoryRecord::Frequency), "00007000000");
    // Outside the model's band table, as a memory set on the radio itself may be.
    EXPECT_EQ(MemoryRecord::Get(sim.MemoryRecord(3, 0), MemoryRecord::Frequency), "00145000000");
    EXPECT_EQ(sim.MenuValue(5), 1);
    EXPECT_EQ(sim.Options().DropEvery, 1);
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_FALSE(sim.LoadFile(path + ".missing"));
    // Over the line the same write is refused.
    EXPECT_EQ(sim.Feed(Mw('0', '0', "05", "00145000000" "4" "00000")), "?;");
    std::remove(path.c_str());
}

TEST(RadioSimMemories, UnwrittenTransmitHalfReadsAsCopyOrZeros)
{
    const std::string rx = "00014195000" "2" "1" "0" "00" "2";
    RadioSim copy(M("TS-570D"));
    copy.Feed(Mw('0', '0', "05", rx));
    // By default as a copy of the receive half, under its own half digit.
    EXPECT_EQ(copy.Feed("MR1005;"), "MR1005" + rx + ";");
    EXPECT_TRUE(copy.MemoryEmpty(5, 1));
    // A memory with nothing in either half reads as zeros either way.
    EXPECT_EQ(copy.Feed("MR1006;"), "MR1006" + std::string(17, '0') + ";");

    RadioSimOptions o;
    o.SimplexTx = SimplexTransmitHalf::Zeros;
    RadioSim zeros(M("TS-570D"), o);
    zeros.Feed(Mw('0', '0', "05", rx));
    EXPECT_EQ(zeros.Feed("MR1005;"), "MR1005" + std::string(17, '0') + ";");
    // A written transmit half reads as written in both.
    const std::string tx = "00014295000" "3" "1" "0" "00" "2";
    zeros.Feed(Mw('1', '0', "05", tx));
    copy.Feed(Mw('1', '0', "05", tx));
    EXPECT_EQ(zeros.Feed("MR1005;"), "MR1005" + tx + ";");
    EXPECT_EQ(copy.Feed("MR1005;"), "MR1005" + tx + ";");
}

TEST(RadioSimOptions, OneLateAnswerAndItsTiming)
{
    RadioSimOptions o;
    o.LatencyMs = 60;
    o.LateAnswer = 2;
    o.LateMs = 500;
    o.SplitAnswers = true;
    o.SplitGapMs = 15;
    RadioSim sim(M("TS-2000"), o);
    // Set commands are not answers: the second answer is the second "ID;".
    const auto w = sim.FeedTimed("ID;AI0;ID;ID;");
    ASSERT_EQ(w.size(), 6u);
    const std::vector<int> after{w[0].AfterMs, w[1].AfterMs, w[2].AfterMs, w[3].AfterMs,
                                 w[4].AfterMs, w[5].AfterMs};
    EXPECT_EQ(after, (std::vector<int>{60, 15, 500, 15, 60, 15}));
    EXPECT_FALSE(w[0].Continues);
    EXPECT_TRUE(w[1].Continues);
    EXPECT_EQ(w[2].Bytes + w[3].Bytes, "ID019;");
}
