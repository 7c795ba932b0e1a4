// Reading memories from the simulated radio into the memory grid.
#include "test_link_support.h"

#include <fstream>

using namespace apptest;

namespace {

class MemoryRead : public RadioLinkTest {
protected:
    void FillSplitRadio()
    {
        sim_->SetMemory(0, 0, Body("00014195000", '2', '0', '0', "00"));
        sim_->SetMemory(0, 1, Body("00014295000", '3', '1', '1', "08"));
        sim_->SetMemory(1, 0, Body("00007050000", '1', '0', '0', "00"));
        sim_->SetMemory(1, 1, Body("00007050000", '1', '0', '0', "00"));
        // Memory 2 stays empty; memory 3 has a tone number outside the table.
        sim_->SetMemory(3, 0, Body("00029600000", '4', '0', '1', "45"));
        sim_->SetMemory(3, 1, Body("00029600000", '4', '0', '1', "45"));
    }

    // Memory 00's halves differ in lock-out and its transmit half carries a tone outside FM;
    // memory 03's tone number is not in the table: rows cannot say either as the radio does.
    static std::string NamedNotShown()
    {
        return "Memories 00, 03 hold settings that the grid cannot show exactly.\rThe grid shows "
               "them as near as it can. Sending keeps these memories on the radio exactly as read "
               "until you change their rows.";
    }

    void ExpectFilledRows()
    {
        EXPECT_EQ(Cell(1, 1), "14.195.00");
        EXPECT_EQ(Cell(2, 1), "USB");
        EXPECT_EQ(Cell(3, 1), "14.295.00");
        EXPECT_EQ(Cell(4, 1), "CW");
        EXPECT_EQ(Cell(5, 1), "88.5"); // from the transmit half, the last answer
        EXPECT_EQ(Cell(6, 1), "TRUE");
        EXPECT_EQ(Cell(1, 2), "07.050.00");
        EXPECT_EQ(Cell(2, 2), "LSB");
        EXPECT_EQ(Cell(5, 2), "N/A");
        EXPECT_EQ(Cell(6, 2), "FALSE");
        for (int c = 1; c <= 7; ++c)
            EXPECT_EQ(Cell(c, 3), "") << "empty memory, column " << c;
        EXPECT_EQ(Cell(0, 3), "2");
        EXPECT_EQ(Cell(1, 4), "29.600.00");
        EXPECT_EQ(Cell(2, 4), "FM");
        EXPECT_EQ(Cell(5, 4), "N/A"); // unknown tone number, normalised by the panel
    }
};

} // namespace

TEST_F(MemoryRead, SplitModelAsksBothHalvesOfEachMemory)
{
    Connect("TS-570D");
    FillSplitRadio();
    Form1->MemGrid->SetCell(7, 2, "old description");
    Form1->RX_Action_Mem(0, 3);
    EXPECT_EQ(Heard("MR"), (std::vector<std::string>{"MR0000", "MR0000", "MR1000", "MR0001",
                                                     "MR1001", "MR0002", "MR1002", "MR0003",
                                                     "MR1003"}));
    ExpectFilledRows();
    EXPECT_EQ(Cell(7, 2), "");
    EXPECT_EQ(Status(), "Ready reading from radio.");
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{NamedNotShown()});
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_FALSE(Form1->MenuRadioType->Default());
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
    EXPECT_FALSE(Form1->MemStopButton->Enabled());
    EXPECT_EQ(Form1->MemGrid->Row(), 1);
}

TEST_F(MemoryRead, NonSplitModelAsksOnceAndCopiesTheReceiveHalf)
{
    Connect("TS-440");
    sim_->SetMemory(5, 0, Body("00003550000", '3', '0', '0', "00"));
    Form1->RX_Action_Mem(4, 6);
    EXPECT_EQ(Heard("MR"), (std::vector<std::string>{"MR0000", "MR0004", "MR0005", "MR0006"}));
    EXPECT_EQ(Cell(1, 6), "03.550.00");
    EXPECT_EQ(Cell(2, 6), "CW");
    EXPECT_EQ(Cell(3, 6), "03.550.00");
    EXPECT_EQ(Cell(4, 6), "CW");
    EXPECT_EQ(Cell(1, 5), "");
    EXPECT_EQ(Cell(1, 7), "");
}

TEST_F(MemoryRead, ErrorAndSplitAnswersAreRetried)
{
    RadioSimOptions opts;
    opts.SplitAnswers = true;
    opts.SplitGapMs = 15;
    opts.ErrorEvery = 3;
    opts.ErrorEveryInjection = {"?;", ErrorPlacement::Replace};
    // The link test's answer, then a record one character too long, then the good one.
    opts.ErrorScript = {{"", ErrorPlacement::Prefix},
                        {"MR0000001419500020000000;", ErrorPlacement::Replace},
                        {"E;", ErrorPlacement::Prefix}};
    Connect("TS-570D", opts);
    FillSplitRadio();
    Form1->RX_Action_Mem(0, 3);
    ExpectFilledRows();
    EXPECT_GE(Heard("MR").size(), 11u);
    EXPECT_EQ(Status(), "Ready reading from radio.");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{NamedNotShown()});
}

TEST_F(MemoryRead, TenBadAnswersEndTheRun)
{
    RadioSimOptions opts;
    opts.ErrorScript.push_back({"", ErrorPlacement::Prefix}); // the link test passes
    opts.ErrorScript.push_back({"", ErrorPlacement::Prefix}); // memory 0, receive half
    opts.ErrorScript.push_back({"", ErrorPlacement::Prefix}); // memory 0, transmit half
    for (int i = 0; i < 10; ++i)
        opts.ErrorScript.push_back({"O;", ErrorPlacement::Replace});
    Connect("TS-570D", opts);
    FillSplitRadio();
    Form1->MemGrid->SetCell(1, 3, "07.000.00");
    Form1->RX_Action_Mem(0, 3);
    EXPECT_EQ(Heard("MR0001").size(), 10u);
    EXPECT_TRUE(Heard("MR0002").empty());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Error while trying to communicate with the radio",
                                                    "Memory 00 holds settings that the grid cannot show "
                                                    "exactly.\rThe grid shows them as near as it can. "
                                                    "Sending keeps this memory on the radio exactly as "
                                                    "read until you change its row."}));
    EXPECT_EQ(ShownBoxes()[0].Kind, 1);
    EXPECT_EQ(Cell(1, 1), "14.195.00");
    EXPECT_EQ(Cell(1, 2), "");
    EXPECT_EQ(Cell(1, 3), ""); // cleared before the radio was asked
    EXPECT_NE(Status(), "Ready reading from radio.");
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
}

TEST_F(MemoryRead, StopButtonEndsAfterTheCurrentMemory)
{
    Connect("TS-570D");
    FillSplitRadio();
    TStrRecvEvent original = Form1->ComTerminal->OnStrReceived;
    Form1->ComTerminal->OnStrReceived = TStrRecvEvent([original](TObject* sender, std::string& text) {
        original(sender, text);
        if (ReceiveBuffer.find("MR0001") != std::string::npos && Form1->MemStopButton->Enabled())
            Form1->MemStopButton->Click();
    });
    Form1->RX_Action_Mem(0, 99);
    EXPECT_EQ(Heard("MR").back(), "MR1001");
    EXPECT_EQ(Cell(1, 2), "07.050.00");
    EXPECT_EQ(Cell(1, 4), "");
    EXPECT_EQ(Status(), "Ready reading from radio.");
    EXPECT_FALSE(StopRequest);
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
}

TEST_F(MemoryRead, NoLinkEmptiesTheChosenRowsOnly)
{
    Form1->MemGrid->SetCell(1, 1, "14.000.00");
    Form1->MemGrid->SetCell(1, 3, "07.000.00");
    Form1->ComPort->SetPort("/nowhere/ttyX9");
    Form1->RX_Action_Mem(1, 2);
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[1].Text, "Error while trying to communicate with the radio");
    EXPECT_EQ(Cell(1, 1), "14.000.00");
    EXPECT_EQ(Cell(1, 3), "");
    EXPECT_TRUE(FileChanged);
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
}

TEST_F(MemoryRead, DeclinedUnsavedChangesLeaveTheGrid)
{
    Form1->MemGrid->SetCell(1, 1, "14.000.00");
    FileChanged = true;
    QueueAnswer(7);
    Form1->MemChanRXButtonClick(Form1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Changes not saved, continue anyway ?"});
    EXPECT_EQ(Status(), "RX canceled.");
    EXPECT_EQ(Cell(1, 1), "14.000.00");
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
}

TEST_F(MemoryRead, ALateAnswerStillLandsEachMemoryInItsRow)
{
    // Answer 1 is the link test's. The late one is memory 3's receive half; it comes long
    // after its wait gave up, and the answers to the query's repeats follow it one by one.
    // Without a transmit half only the memory number tells a late answer from the awaited.
    struct Case {
        const char* Model;
        int Late;
        bool Split;
    };
    for (const Case& c : {Case{"TS-570D", 8, true}, Case{"TS-440", 5, false}}) {
        SCOPED_TRACE(c.Model);
        RadioSimOptions opts;
        opts.LatencyMs = 20;
        opts.Baud = 9600;
        opts.LateAnswer = c.Late;
        opts.LateMs = 1000;
        Connect(c.Model, opts);
        RxDelay = 400;
        for (int m = 0; m < 10; ++m) {
            sim_->SetMemory(m, 0, Body("000141" + std::to_string(10 + m) + "000", '2', '0', '0', "00"));
            if (c.Split)
                sim_->SetMemory(m, 1, Body("000142" + std::to_string(10 + m) + "000", '3', '0', '0', "00"));
        }
        FileChanged = false;
        Form1->RX_Action_Mem(0, 9);
        EXPECT_EQ(Status(), "Ready reading from radio.");
        for (int m = 0; m < 10; ++m) {
            SCOPED_TRACE(m);
            EXPECT_EQ(Cell(1, m + 1), "14.1" + std::to_string(10 + m) + ".00");
            EXPECT_EQ(Cell(2, m + 1), "USB");
            EXPECT_EQ(Cell(3, m + 1), (c.Split ? "14.2" : "14.1") + std::to_string(10 + m) + ".00");
            EXPECT_EQ(Cell(4, m + 1), c.Split ? "CW" : "USB");
        }
        EXPECT_TRUE(ShownBoxes().empty());
    }
}

// The tone of a memory reads as the radio's code means it, up to the highest code; a
// memory without the tone flag reads "N/A" whatever its code.
TEST_F(MemoryRead, EveryToneCodeReadsAsItsFrequency)
{
    const std::vector<std::string> texts{
        "67.0",  "71.9",  "74.4",  "77.0",  "79.7",  "82.5",  "85.4",  "88.5",  "91.5",  "94.8",
        "97.4",  "100.0", "103.5", "107.2", "110.9", "114.8", "118.8", "123.0", "127.3", "131.8",
        "136.5", "141.3", "146.2", "151.4", "156.7", "162.2", "167.9", "173.8", "179.9", "186.2",
        "192.8", "203.5", "210.7", "218.1", "225.7", "233.6", "241.8", "250.3", "1750"};
    Connect("TS-440");
    RxDelay = 150;
    const int count = int(texts.size());
    for (int m = 0; m < count; ++m) {
        const std::string code = (m + 1 < 10 ? "0" : "") + std::to_string(m + 1);
        sim_->SetMemory(m, 0, Body("00029600000", '4', '0', '1', code));
    }
    sim_->SetMemory(count, 0, Body("00029600000", '4', '0', '0', "39"));
    Form1->RX_Action_Mem(0, std::uint8_t(count));
    ASSERT_EQ(Status(), "Ready reading from radio.");
    for (int m = 0; m < count; ++m)
        EXPECT_EQ(Cell(5, m + 1), texts[std::size_t(m)]) << "code " << m + 1;
    EXPECT_EQ(Cell(5, count + 1), "N/A");
}

TEST_F(MemoryRead, RadioVanishingDuringTheStartUpReadLeavesTheProgramRunning)
{
    Connect("TS-570D");
    FillSplitRadio();
    sim_->SetMemory(4, 0, Body("00007100000", '1', '0', '0', "00"));
    sim_->SetMemory(5, 0, Body("00007200000", '1', '0', '0', "00"));
    AutoVink = true;
    AutoLoadOption = 1;
    DisableSplashScreen = true;
    // The radio goes away while memory 5 is being read: its transmit half is never asked.
    TStrRecvEvent original = Form1->ComTerminal->OnStrReceived;
    Form1->ComTerminal->OnStrReceived = TStrRecvEvent([this, original](TObject* sender, std::string& text) {
        original(sender, text);
        if (ReceiveBuffer.find("MR0005") != std::string::npos && pty_)
            Disconnect();
    });
    EXPECT_NO_THROW(Form1->AutoLoad());

    // Memories 00 and 03, read before the radio went, are named, then the failure shown.
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[0].Text, NamedNotShown());
    EXPECT_EQ(ShownBoxes()[1].Kind, 1);
    EXPECT_EQ(Status(), "Reading memory: 5 from radio failed.");
    // Memories 0 to 4 read (2 empty), memory 5 not read whole and left empty.
    EXPECT_EQ(Cell(1, 5), "07.100.00");
    EXPECT_EQ(Cell(1, 6), "");
    EXPECT_EQ(Cell(3, 6), "");
    EXPECT_EQ(Form1->StatusBar->Panels()->Items(0)->Text(), "Used: 4");
    // Back on the first row, the panel showing it.
    EXPECT_EQ(Form1->MemGrid->Row(), 1);
    EXPECT_EQ(Form1->RXFreqEdit->Text(), "14.195.00");
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_FALSE(RadioBusy);
    EXPECT_TRUE(Form1->MemChanRXButton->Enabled());
}

TEST_F(MemoryRead, WhatTheRadioHoldsIsShownOrNamedAndASendLeavesItAlone)
{
    Connect("TS-2000"); // bands up to 800 MHz
    const std::string file = configDir_ + "/radio.txt";
    {
        std::ofstream f(file);
        auto mw = [&f](char half, const char* nn, const char* hz, char mode, const char* tone) {
            f << "MW" << half << '0' << nn << Body(hz, mode, '0', std::string(tone) == "00" ? '0' : '1', tone) << ";\n";
        };
        mw('0', "00", "00145500000", '4', "00"); // 145.500.00 FM
        mw('0', "03", "01296000000", '2', "00"); // 1296.000.00 USB, beyond the band table
        mw('0', "04", "01240012345", '4', "00"); // 1240.012.345 FM, finer than the grid shows
        mw('0', "05", "00014195000", '2', "00"); // 14.195.00 USB
        mw('0', "06", "01270000000", '4', "08"); // split 1270 / 1290 MHz FM with a tone
        mw('1', "06", "01290000000", '4', "08");
    }
    ASSERT_TRUE(sim_->LoadFile(file));
    auto radio = [this] {
        std::vector<std::string> records;
        for (int m = 0; m < 8; ++m)
            for (int h = 0; h < 2; ++h)
                records.push_back(sim_->MemoryRecord(m, h));
        return records;
    };
    auto grid = [] { return Cells(1, 8, 6); };
    const auto loaded = radio();
    const std::string named = "Memory 04 holds settings that the grid cannot show exactly.\rThe grid "
                              "shows them as near as it can. Sending keeps this memory on the "
                              "radio exactly as read until you change its row.";

    Form1->RX_Action_Mem(0, 7);
    EXPECT_EQ(Status(), "Ready reading from radio.");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{named});
    const auto read = grid();
    const std::vector<std::vector<std::string>> rows{
        {"1296.000.00", "USB", "1296.000.00", "USB", "N/A", "FALSE"},
        {"1240.012.34", "FM", "1240.012.34", "FM", "N/A", "FALSE"},
        {"14.195.00", "USB", "14.195.00", "USB", "N/A", "FALSE"},
        {"1270.000.00", "FM", "1290.000.00", "FM", "88.5", "FALSE"}};
    for (int m = 3; m <= 6; ++m)
        EXPECT_EQ(std::vector<std::string>(read.begin() + 6 * m, read.begin() + 6 * m + 6), rows[m - 3]) << m;

    // A description typed for memory 03 and committed keeps the frequency the radio holds.
    Form1->MemGrid->SetRow(4);
    Form1->Description->SetText("23 cm");
    char enter = 13;
    Form1->MemoryActivateChanges(Form1, enter);
    EXPECT_EQ(Cell(1, 4), "1296.000.00");
    EXPECT_EQ(Cell(7, 4), "23 cm");

    Form1->TX_Action_Mem(0, 7);
    EXPECT_EQ(Status(), "Finished memory TX.");
    EXPECT_TRUE(Heard("MW").empty());
    EXPECT_EQ(radio(), loaded);

    FileChanged = false;
    Form1->RX_Action_Mem(0, 7);
    EXPECT_EQ(grid(), read);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{named, named}));

    // A row the user empties is cleared on the radio; the others stay as they are.
    Form1->MemGrid->SetRow(5);
    Form1->MemChanClearFieldsButtonClick(Form1);
    Form1->TX_Action_Mem(0, 7);
    EXPECT_TRUE(sim_->MemoryEmpty(4, 0));
    auto now = radio();
    auto others = loaded;
    now.erase(now.begin() + 8, now.begin() + 10);
    others.erase(others.begin() + 8, others.begin() + 10);
    EXPECT_EQ(now, others);
    for (const std::string& w : Heard("MW"))
        EXPECT_EQ(w.compare(0, 6, w[2] == '0' ? "MW0004" : "MW1004"), 0) << w;
}
