// Writing memories to the simulated radio: only differing memories are cleared and
// written, every write is read back, and dropped writes end in the warning and a reopen.
#include "test_fileload_support.h"
#include "test_link_support.h"

#include "platform/ScopeExit.h"
#include "platform/TerminationSignals.h"
#include "protocol/MemoryRecord.h"

#include <csignal>
#include <fstream>
#include <sstream>

using namespace apptest;

namespace {

class MemoryWrite : public RadioLinkTest {
protected:
    static void SetRow(int memory, const std::string& rx, const std::string& rxMode,
                       const std::string& tx, const std::string& txMode,
                       const std::string& tone = "N/A", const std::string& lock = "FALSE")
    {
        const int r = memory + 1;
        Form1->MemGrid->SetCell(1, r, rx);
        Form1->MemGrid->SetCell(2, r, rxMode);
        Form1->MemGrid->SetCell(3, r, tx);
        Form1->MemGrid->SetCell(4, r, txMode);
        Form1->MemGrid->SetCell(5, r, tone);
        Form1->MemGrid->SetCell(6, r, lock);
    }

    // Both halves of memories 0 to count - 1 as the radio holds them.
    std::vector<std::string> Records(int count) const
    {
        std::vector<std::string> records;
        for (int m = 0; m < count; ++m)
            for (int h = 0; h < 2; ++h)
                records.push_back(sim_->MemoryRecord(m, h));
        return records;
    }

    // Memory m at kHz m of the band that starts at mhz (two digits), on the receive half,
    // and on the transmit half 100 kHz up when split.
    void FillRadio(const std::string& mhz, bool split)
    {
        for (int m = 0; m < 100; ++m) {
            const std::string khz = (m < 10 ? "0" : "") + IntToStr(m);
            sim_->SetMemory(m, 0, Body("000" + mhz + "0" + khz + "000", '2', '0', '0', "00"));
            if (split)
                sim_->SetMemory(m, 1, Body("000" + mhz + "1" + khz + "000", '2', '0', '0', "00"));
        }
    }

    // Memories 02 to 05, which the grid shows only as near as it can (a TS-2000's bands).
    void SetOddMemories()
    {
        sim_->SetMemory(2, 0, Body("00145500001", '4', '0', '0', "00")); // a 1 Hz digit
        sim_->SetMemory(3, 0, Body("00145600000", '4', '0', '1', "44")); // no such tone number
        sim_->SetMemory(4, 0, Body("00007050000", '1', '0', '1', "08")); // a tone on LSB
        sim_->SetMemory(5, 0, Body("00145700000", '4', '0', '0', "00")); // locked out on one half
        sim_->SetMemory(5, 1, Body("00145100000", '4', '1', '0', "00"));
    }

    // Calls act once, when the radio's whole answer to the command (with its ";") is in.
    static void OnceAnswered(const std::string& command, std::function<void()> act)
    {
        TStrRecvEvent original = Form1->ComTerminal->OnStrReceived;
        auto done = std::make_shared<bool>(false);
        Form1->ComTerminal->OnStrReceived = TStrRecvEvent([=](TObject* sender, std::string& text) {
            original(sender, text);
            const auto at = ReceiveBuffer.find(command);
            if (!*done && at != std::string::npos && ReceiveBuffer.find(';', at) != std::string::npos) {
                *done = true;
                act();
            }
        });
    }

    // Commands heard after the link test and the unlock.
    std::vector<std::string> WritesAndReads() const
    {
        std::vector<std::string> out;
        for (const auto& c : sim_->Received())
            if (c.compare(0, 2, "MW") == 0 || c.compare(0, 2, "MR") == 0)
                out.push_back(c);
        out.erase(out.begin()); // the link test's "MR0000"
        return out;
    }
};

} // namespace

TEST_F(MemoryWrite, SentGridReadsBackAsSentAndIsNotWrittenAgain)
{
    struct Case {
        const char* Model;
        SimplexTransmitHalf Tx;
        int Halves;
    };
    const Case cases[] = {{"TS-570D", SimplexTransmitHalf::Copy, 2},
                          {"TS-570D", SimplexTransmitHalf::Zeros, 2},
                          {"TS-440", SimplexTransmitHalf::Copy, 1}}; // blank filler, no split
    const int last = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Model) + (c.Tx == SimplexTransmitHalf::Copy ? " copy" : " zeros"));
        RadioSimOptions opts;
        opts.SimplexTx = c.Tx;
        Connect(c.Model, opts);
        RxDelay = 150; // the radio answers at once; the link test's waits stay short
        Form1->Clear_Action_Mem(0, 99);
        SetRow(0, "14.195.00", "USB", "14.195.00", "USB");
        SetRow(1, "29.600.00", "FM", "29.600.00", "FM", "88.5", "TRUE");
        SetRow(2, "14.195.00", "USB", "14.295.00", "CW");
        SetRow(3, "29.620.00", "FM", "29.520.00", "FM", "100.0", "TRUE");
        SetRow(4, "21.200.00", "USB", "21.200.00", "CW"); // split by its transmit mode alone
        SetRow(5, "07.050.00", "LSB", "07.050.00", "LSB", "N/A", "TRUE"); // locked, no tone
        SetRow(6, "29.640.00", "FM", "29.640.00", "FM", "71.9");          // tone, unlocked
        Form1->TX_Action_Mem(0, last);
        ASSERT_EQ(Status(), "Finished memory TX.");
        // The grid as sent: each row as the send normalised it (one half on the TS-440).
        std::vector<std::string> sent;
        int used = 0;
        for (int r = 1; r <= last + 1; ++r) {
            for (int col = 1; col <= 6; ++col)
                sent.push_back(Cell(col, r));
            used += Cell(1, r).empty() ? 0 : 1;
        }
        EXPECT_EQ(Cell(3, 3), c.Halves == 2 ? "14.295.00" : "14.195.00");

        FileChanged = false;
        Form1->RX_Action_Mem(0, last);
        ASSERT_EQ(Status(), "Ready reading from radio.");
        std::vector<std::string> read;
        for (int r = 1; r <= last + 1; ++r)
            for (int col = 1; col <= 6; ++col)
                read.push_back(Cell(col, r));
        EXPECT_EQ(read, sent);
        EXPECT_EQ(used, 7);
        EXPECT_EQ(Form1->StatusBar->Panels()->Items(0)->Text(), "Used: " + IntToStr(used));

        // Sent again, nothing differs: only the read-back queries go out.
        const std::size_t before = sim_->Received().size();
        Form1->TX_Action_Mem(0, last);
        const auto all = sim_->Received();
        std::vector<std::string> heard(all.begin() + long(before), all.end());
        heard.erase(std::remove_if(heard.begin(), heard.end(),
                                   [](const std::string& x) { return x.compare(0, 2, "MR") != 0 &&
                                                                     x.compare(0, 2, "MW") != 0; }),
                    heard.end());
        std::vector<std::string> queries{"MR0000"}; // the link test
        const std::string filler = CurrentRadioRecord().MemWriteFiller;
        for (int m = 0; m <= last; ++m)
            for (int h = 0; h < c.Halves; ++h)
                queries.push_back("MR" + IntToStr(h) + filler + "0" + IntToStr(m));
        EXPECT_EQ(heard, queries);

        // A new tone number alone is a difference: the memory is written and reads back so.
        Form1->MemGrid->SetCell(5, 2, "100.0");
        Form1->TX_Action_Mem(1, 1);
        EXPECT_FALSE(Heard("MW0" + filler + "0100029600000" "41112").empty());
        FileChanged = false;
        Form1->RX_Action_Mem(1, 1);
        EXPECT_EQ(Cell(5, 2), "100.0");
        EXPECT_EQ(Cell(6, 2), "TRUE");

        // So is lock-out switched on or off, or the tone switched off and on again, alone
        // (a radio keeps a tone number with the tone off: 71.9 is the clearing tail's).
        for (const char* tone : {"N/A", "71.9"}) {
            SCOPED_TRACE(tone);
            const bool off = std::string(tone) == "N/A";
            Form1->MemGrid->SetCell(6, 1, off ? "TRUE" : "FALSE");
            Form1->MemGrid->SetCell(6, 2, off ? "FALSE" : "TRUE");
            Form1->MemGrid->SetCell(5, 7, tone);
            Form1->TX_Action_Mem(0, 6);
            ASSERT_EQ(Status(), "Finished memory TX.");
            FileChanged = false;
            Form1->RX_Action_Mem(0, 6);
            EXPECT_EQ(Cell(6, 1), off ? "TRUE" : "FALSE");
            EXPECT_EQ(Cell(6, 2), off ? "FALSE" : "TRUE");
            EXPECT_EQ(Cell(5, 7), tone);
        }
    }
}

TEST_F(MemoryWrite, WriteCommandLayout)
{
    Connect("TS-450S"); // filler " ", clearing tail "0   "
    SetRow(7, "14.195.00", "FM", "14.295.00", "USB", "88.5", "TRUE");
    EXPECT_EQ(Form1->BuildMemoryWriteCommand(7, 1), "MW0 07" "00014195000" "4" "1" "108 ;");
    // Not FM: the tail instead of the tone; any lock text but "FALSE" locks.
    EXPECT_EQ(Form1->BuildMemoryWriteCommand(7, 2), "MW1 07000142950002" "1" "0   ;");
    SetRow(8, "", "", "", "nonsense", "", "FALSE");
    EXPECT_EQ(Form1->BuildMemoryWriteCommand(8, 2), "MW1 08" "0000000000000" "0   ;");
}

TEST_F(MemoryWrite, OnlyDifferingMemoriesAreClearedAndWritten)
{
    Connect("TS-570D");
    // Memory 0 already as the row says; memory 1 holds data but the row is empty;
    // memory 2 is a split memory with a tone.
    sim_->SetMemory(0, 0, Body("00014195000", '2', '0', '0', "00"));
    sim_->SetMemory(0, 1, Body("00014195000", '2', '0', '0', "00"));
    sim_->SetMemory(1, 0, Body("00007050000", '1', '0', '0', "00"));
    SetRow(0, "14.195.00", "USB", "14.195.00", "USB");
    SetRow(2, "29.600.00", "FM", "29.500.00", "FM", "88.5");
    Form1->TX_Action_Mem(0, 2);

    const std::vector<std::string> expected{
        "MR0000", "MR1000",                                    // memory 0: equal, read only
        "MR0001", "MR1001",                                    // memory 1 differs
        "MW0001" "0000000000000" "002 ", "MR0001",             // cleared, read back
        "MW1001" "0000000000000" "002 ", "MR1001",
        "MR0002", "MR1002",                                    // memory 2 differs
        "MW0002" "0000000000000" "002 ", "MR0002",
        "MW1002" "0000000000000" "002 ", "MR1002",
        "MW000200029600000" "40108 ", "MR0002",
        "MW100200029500000" "40108 ", "MR1002"};
    EXPECT_EQ(WritesAndReads(), expected);
    EXPECT_TRUE(sim_->MemoryEmpty(1, 0));
    EXPECT_EQ(sim_->MemoryRecord(2, 1), "MR1002" "00029500000" "40108" " ;");
    EXPECT_EQ(Heard("LK"), (std::vector<std::string>{"LK0", "LK"}));
    EXPECT_EQ(Status(), "Finished memory TX.");
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_TRUE(Form1->MemChanTXButton->Enabled());
}

TEST_F(MemoryWrite, BlankFillerReachesTheReadBackQueries)
{
    Connect("TS-450S");
    SetRow(3, "07.050.00", "LSB", "07.050.00", "LSB");
    Form1->TX_Action_Mem(3, 3);
    const auto heard = WritesAndReads();
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), "MR0 03");
    EXPECT_NE(std::find(heard.begin(), heard.end(), "MW0 03" "00007050000" "10" "0   "), heard.end());
    EXPECT_FALSE(sim_->MemoryEmpty(3, 0));
}

TEST_F(MemoryWrite, DroppedWritesWarnReopenAndEndTheRun)
{
    RadioSimOptions opts;
    opts.DropEvery = 1; // the radio ignores every write
    Connect("TS-570D", opts);
    RxDelay = 150;
    TxDelay = 10;
    SetRow(0, "14.195.00", "USB", "14.195.00", "USB");
    SetRow(1, "07.050.00", "LSB", "07.050.00", "LSB");
    const auto t0 = std::chrono::steady_clock::now();
    Form1->MemChanTXButtonClick(Form1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[0].Text,
              "Communication problem!\r\rPlease increase the \"TX delay\" to solve this problem!");
    EXPECT_EQ(ShownBoxes()[0].Kind, 0);
    EXPECT_EQ(ShownBoxes()[1].Text, "Error while trying to communicate with the radio");
    // Both clearing commands find the memory empty already; the receive-half write is
    // tried five times.
    EXPECT_EQ(Heard("MW000100").size(), 0u);
    EXPECT_EQ(Heard("MW000000014195000").size(), 5u);
    EXPECT_EQ(sim_->WritesDropped(), 7);
    // The link was reopened after the pause; the run ended there, without waiting on the
    // closed link for the 99 memories left.
    EXPECT_EQ(Heard("AI0").size(), 2u);
    EXPECT_TRUE(Heard("MR0001").empty());
    EXPECT_GE(seconds, 2.0);
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(Status(), "Sending memory: 0 to radio failed.");
    EXPECT_FALSE(Form1->ComPort->Connected());
    EXPECT_TRUE(Form1->MemChanTXButton->Enabled());
    EXPECT_FALSE(RadioBusy);
}

// A read-back whose answers are lost is asked again, up to five times; when all five are
// lost the write counts as not taken and is sent again.
TEST_F(MemoryWrite, LostReadBackAnswersAreAskedAgainThenTheWriteRepeated)
{
    struct Case {
        int Lost;
        std::size_t Writes;
        std::size_t Queries; // after the memory's first read and its clearing's read-back
    };
    for (const Case& c : {Case{4, 1, 5}, Case{5, 2, 6}}) {
        SCOPED_TRACE(c.Lost);
        RadioSimOptions opts;
        // Answered: the link test, the lock's read-back, the memory's first read and the
        // read-back of its clearing; lost: the next answers, to the write's read-back.
        opts.ErrorScript.assign(4, ErrorInjection{"", ErrorPlacement::Prefix});
        opts.ErrorScript.insert(opts.ErrorScript.end(), std::size_t(c.Lost),
                                ErrorInjection{"", ErrorPlacement::Lost});
        Connect("TS-440", opts);
        RxDelay = 150;
        Form1->Clear_Action_Mem(0, 99);
        SetRow(0, "14.195.00", "USB", "14.195.00", "USB");
        Form1->TX_Action_Mem(0, 0);
        EXPECT_EQ(Status(), "Finished memory TX.");
        EXPECT_EQ(Heard("MW0 0000014195000").size(), c.Writes);
        EXPECT_EQ(Heard("MR0 00").size(), 2 + c.Queries);
        EXPECT_EQ(MemoryRecord::Get(sim_->MemoryRecord(0, 0), MemoryRecord::Frequency), "00014195000");
        EXPECT_TRUE(ShownBoxes().empty());
    }
}

TEST_F(MemoryWrite, NoLinkWritesNothing)
{
    Form1->ComPort->SetPort("/nowhere/ttyX9");
    SetRow(0, "14.195.00", "USB", "14.195.00", "USB");
    Form1->MemChanTXButtonClick(Form1);
    ASSERT_EQ(ShownBoxes().size(), 2u);
    EXPECT_EQ(ShownBoxes()[1].Text, "Error while trying to communicate with the radio");
    EXPECT_NE(Status(), "Finished memory TX.");
    EXPECT_TRUE(Form1->MemChanTXButton->Enabled());
}

TEST_F(MemoryWrite, ARefusedUnlockCostsNoMoreThanARecordsTimeATry)
{
    // A TS-440 on a line paced at 19200 baud both ways, holding what the grid holds: the
    // send only reads back. Refused, the unlock is tried five times; each "?;" may hold
    // the wait only as long as a record takes on the line, never the whole RxDelay.
    RadioSimOptions opts;
    opts.Baud = 19200;
    opts.LatencyMs = 5;
    Connect("TS-440", opts);
    Form1->ComPort->SetBaudRate(br19200);
    RxDelay = DefaultRxDelay;
    for (int m = 0; m < 100; ++m) {
        const std::string khz = (m < 10 ? "0" : "") + IntToStr(m);
        sim_->SetMemory(m, 0, Body("000141" + khz + "000", '2', '0', ' ', "  "));
        SetRow(m, "14.1" + khz + "0.00", "USB", "14.1" + khz + "0.00", "USB");
    }
    auto timedSend = [] {
        const auto t0 = std::chrono::steady_clock::now();
        Form1->MemChanTXButtonClick(Form1);
        EXPECT_EQ(Status(), "Finished memory TX.");
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    const double answered = timedSend();
    EXPECT_EQ(Heard("LK"), (std::vector<std::string>{"LK0", "LK"}));

    opts.ErrorScript = {{"", ErrorPlacement::Prefix}}; // the link test's answer
    for (int i = 0; i < 5; ++i)
        opts.ErrorScript.push_back({"?;", ErrorPlacement::Replace});
    sim_->SetOptions(opts);
    const double refused = timedSend();
    EXPECT_EQ(Heard("LK").size(), 2u + 10u);
    EXPECT_LT(refused, 1.2 * answered) << "answered " << answered << " s, refused " << refused << " s";
    EXPECT_TRUE(Heard("MW").empty());
    EXPECT_TRUE(ShownBoxes().empty());
}

// A model that writes a blank where the radio answers "0" for the tone being off: after a
// read, a send writes the one memory the user changed (a tone switched on) and no other.
TEST_F(MemoryWrite, AfterAReadOnlyTheChangedMemoryIsWritten)
{
    for (const char* model : {"TS-440", "R-5000"}) {
        SCOPED_TRACE(model);
        Connect(model);
        RxDelay = 150;
        for (int m = 0; m < 10; ++m)
            sim_->SetMemory(m, 0, Body("000296" + IntToStr(m) + "0000", '4', m == 7 ? '1' : '0', '0', "00"));
        const auto before = Records(10);
        FileChanged = false;
        Form1->MemChanRXButtonClick(Form1);
        ASSERT_EQ(Status(), "Ready reading from radio.");
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{}); // the grid shows every memory

        Form1->MemGrid->SetRow(5);
        Form1->ToneNumber->SetItemIndex(ToneIndexByText("88.5"));
        char enter = 13;
        Form1->MemoryActivateChanges(Form1, enter);
        Form1->MemChanTXButtonClick(Form1);
        EXPECT_EQ(Status(), "Finished memory TX.");
        EXPECT_EQ(Heard("MW"), (std::vector<std::string>{"MW0 04" "0000000000000" "    ",
                                                         "MW0 04" "00029640000" "40" "108 "}));
        auto after = Records(10);
        EXPECT_EQ(after[8], "MR0004" "00029640000" "40" "108 ;");
        after[8] = before[8];
        after[9] = before[9]; // the copy the radio shows for the missing transmit half
        EXPECT_EQ(after, before);
    }
}

// A backup: the radio read, saved with Save As, opened in a fresh window with File > Open
// and sent. Memories the grid shows only as near as it can, and memories outside the
// model's bands, stay on the radio byte for byte; a damaged line leaves its memory alone
// until the user changes its row.
TEST_F(MemoryWrite, ABackupOfAReadIsSentBackWithoutLoss)
{
    filetest::InstallDialogFake();
    Connect("TS-2000");
    RxDelay = 150; // the radio answers at once
    sim_->SetMemory(1, 0, Body("01310000000", '4', '0', '0', "00")); // beyond the bands
    SetOddMemories();
    sim_->SetMemory(6, 0, Body("01296000000", '4', '0', '0', "00"));
    sim_->SetMemory(7, 0, Body("00014195000", '2', '0', '0', "00"));
    sim_->SetMemory(8, 0, Body("00900000000", '2', '0', '0', "00")); // beyond the bands
    const auto before = Records(100);
    auto grid = [] { return Cells(2, 9, 7); }; // memories 1 to 8

    FileChanged = false;
    Form1->MemChanRXButtonClick(Form1);
    ASSERT_EQ(Status(), "Ready reading from radio.");
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].Text.rfind("Memories 02, 03, 04, 05 hold", 0), 0u) << ShownBoxes()[0].Text;
    const auto read = grid();
    const std::string backup = configDir_ + "/backup.vyx";
    filetest::ChooseFile(backup);
    Form1->SaveAsClick(Form1);
    std::stringstream saved;
    saved << std::ifstream(backup, std::ios::binary).rdbuf();
    const std::string outOfBand = "\r2 memories with a frequency outside the bands of the TS-2000, loaded as written: 01, 08";

    // Then the lines of memories 06 and 07 damaged: a memory number and a frequency.
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "whole");
        std::string text = saved.str();
        if (damaged) {
            const std::pair<const char*, std::size_t> spots[] = {{"MEM:6:1296.000.00:FM:", 4},
                                                                 {"MEM:7:14.195.00:USB:", 9}};
            for (const auto& [line, offset] : spots) {
                const auto at = text.find(line);
                ASSERT_NE(at, std::string::npos) << line;
                text[at + offset] = '?';
            }
            std::ofstream(backup, std::ios::binary | std::ios::trunc) << text;
        }

        // Quit and start again, on the same radio.
        Restart();
        Form1->ComPort->SetPort(pty_->SlavePath());
        Form1->ComPort->SetBaudRate(br9600);
        Form1->ComPort->FlowControl()->SetFlowControl(fcNone);
        CurrentRadio = FindRadioByField("TS-2000", 1);
        Form1->ChangeRadioHandle(false);
        RxDelay = 150;
        const std::size_t boxes = ShownBoxes().size();
        filetest::ChooseFile(backup);
        Form1->LoadMenuClick(Form1);
        ASSERT_EQ(ShownBoxes().size(), boxes + 1);
        const std::string report = ShownBoxes().back().Text;
        EXPECT_EQ(report, damaged ? "Not every line of " + backup + " was loaded as written.\r1 line dropped "
                                    "(memory number not 0 to 99, or menu option of another radio type): 8"
                                    "\r2 memories not loaded, the line damaged or missing; a send leaves them "
                                    "as on the radio until their rows are changed: 06, 07" + outOfBand
                                  : backup + " was loaded." + outOfBand);
        auto expected = read;
        if (damaged)
            std::fill(expected.begin() + 5 * 7, expected.begin() + 7 * 7, "");
        EXPECT_EQ(grid(), expected);

        const std::size_t heard = sim_->Received().size();
        Form1->MemChanTXButtonClick(Form1);
        EXPECT_EQ(Status(), "Finished memory TX.");
        EXPECT_EQ(Records(100), before);
        EXPECT_EQ(Heard("MW"), std::vector<std::string>{});
        EXPECT_GT(sim_->Received().size(), heard);
    }

    // Once the user fills the refused row, it is sent.
    Form1->MemGrid->SetRow(8);
    Form1->RXFreqEdit->SetText("14.200.00");
    char enter = 13;
    Form1->MemoryActivateChanges(Form1, enter);
    Form1->MemChanTXButtonClick(Form1);
    EXPECT_EQ(sim_->MemoryRecord(7, 0), "MR0007" "00014200000" "20" "002 ;");
    filetest::RemoveDialogFake();
}

// A read that ends early, stopped at memory 20 or failing there, leaves the memories it
// never reached to the next send as the radio holds them; a row the user clears is a
// change all the same.
TEST_F(MemoryWrite, ASendAfterAReadEndedEarlyLeavesTheUnreadMemories)
{
    for (const bool stopped : {true, false}) {
        SCOPED_TRACE(stopped ? "stopped" : "failed");
        Connect("TS-570D");
        RxDelay = 150;
        FillRadio("14", true);
        const auto before = Records(100);
        OnceAnswered(stopped ? "MR1020" : "MR1019", [this, stopped] {
            if (stopped) {
                Form1->MemStopButton->Click();
                return;
            }
            RadioSimOptions silent = sim_->Options();
            silent.Silence = true;
            sim_->SetOptions(silent);
        });
        FileChanged = false;
        Form1->MemChanRXButtonClick(Form1);
        EXPECT_EQ(Status(), stopped ? "Ready reading from radio." : "Reading memory: 20 from radio failed.");
        EXPECT_EQ(BoxTexts(), stopped ? std::vector<std::string>{}
                                      : std::vector<std::string>{"Error while trying to communicate with the radio"});
        EXPECT_EQ(Cell(1, 20), "14.019.00");
        EXPECT_EQ(Cell(1, 21), stopped ? "14.020.00" : "");
        EXPECT_EQ(Cell(1, 22), "");
        sim_->SetOptions({});

        Form1->MemChanTXButtonClick(Form1);
        EXPECT_EQ(Status(), "Finished memory TX.");
        EXPECT_EQ(Records(100), before);
        EXPECT_EQ(Heard("MW"), std::vector<std::string>{});

        // Memory 50's row, never read, cleared on purpose: the send clears the memory.
        Form1->MemGrid->SetRow(51);
        Form1->MemChanClearFieldsButtonClick(Form1);
        Form1->MemChanTXButtonClick(Form1);
        EXPECT_TRUE(sim_->MemoryEmpty(50, 0));
        EXPECT_TRUE(sim_->MemoryEmpty(50, 1));
        auto after = Records(100);
        after.erase(after.begin() + 100, after.begin() + 102);
        auto others = before;
        others.erase(others.begin() + 100, others.begin() + 102);
        EXPECT_EQ(after, others);
    }
}

// A clone: radio A read, an empty radio B of the same model chosen on another port, sent:
// B holds every memory A held, those the grid shows only as near as it can byte for byte,
// and a second send writes nothing. A memory outside the model's bands, which the radio
// does not take, ends the send naming it.
TEST_F(MemoryWrite, AReadRadioIsClonedToAnEmptyRadioOfTheSameModel)
{
    Connect("TS-2000");
    RxDelay = 150;
    SetOddMemories();
    sim_->SetMemory(6, 0, Body("00430000000", '4', '0', '1', "08")); // split, with a tone
    sim_->SetMemory(6, 1, Body("00435000000", '4', '0', '1', "08"));
    sim_->SetMemory(7, 0, Body("00014195000", '2', '0', '0', "00"));
    auto grid = [] { return Cells(1, 100, 6); };
    FileChanged = false;
    Form1->MemChanRXButtonClick(Form1);
    ASSERT_EQ(Status(), "Ready reading from radio.");
    ASSERT_EQ(ShownBoxes().size(), 1u);
    const std::string named = ShownBoxes()[0].Text;
    EXPECT_EQ(named.rfind("Memories 02, 03, 04, 05 hold", 0), 0u) << named;
    const auto a = Records(100);
    const auto readFromA = grid();

    PlugInRadio(sim_->Model());
    Form1->MemChanTXButtonClick(Form1);
    EXPECT_EQ(Status(), "Finished memory TX.");
    const auto b = Records(100);
    EXPECT_EQ(std::vector<std::string>(b.begin() + 4, b.begin() + 12),
              std::vector<std::string>(a.begin() + 4, a.begin() + 12));
    const std::size_t writes = Heard("MW").size();
    Form1->MemChanTXButtonClick(Form1);
    EXPECT_EQ(Heard("MW").size(), writes);
    FileChanged = false;
    Form1->MemChanRXButtonClick(Form1);
    EXPECT_EQ(grid(), readFromA);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{named, named}));

    Form1->MemGrid->SetCell(1, 51, "1310.000.00");
    Form1->MemGrid->SetCell(2, 51, "FM");
    Form1->MemGrid->SetCell(3, 51, "1310.000.00");
    Form1->MemGrid->SetCell(4, 51, "FM");
    Form1->MemGrid->SetRow(52);
    Form1->RXFreqEdit->SetText("145.000.00");
    char enter = EnterKey;
    Form1->MemoryActivateChanges(Form1, enter);
    Form1->MemChanTXButtonClick(Form1);
    ASSERT_EQ(ShownBoxes().size(), 3u);
    EXPECT_EQ(ShownBoxes()[2].Text, "The radio refused memory 50: 1310.000.00 lies outside the bands of the "
                                    "TS-2000.\rThe send ended at this memory.");
    EXPECT_EQ(Status(), "Sending memory: 50 to radio failed.");
    EXPECT_TRUE(sim_->MemoryEmpty(51, 0));
    EXPECT_FALSE(Form1->ComPort->Connected());
}

// SIGTERM, SIGHUP and SIGINT close the window as a request nobody can be asked about: a send
// stops after the memory it is on, never leaving one cleared; the settings are written and
// unsaved changes given up without a question.
TEST_F(MemoryWrite, ATerminationSignalEndsTheSendAfterTheCurrentMemoryAndCloses)
{
    WatchProgramSignals();
    ScopeExit unwatch([] { StopWatchingTerminationSignals(); });
    Connect("TS-440");
    RxDelay = 150;
    FillRadio("14", false);
    for (int m = 0; m < 100; ++m) {
        const std::string khz = (m < 10 ? "0" : "") + IntToStr(m);
        SetRow(m, "07.0" + khz + ".00", "LSB", "07.0" + khz + ".00", "LSB");
    }
    Form1->Show();
    FileChanged = true;
    TxDelay = 30;
    OnceAnswered("MR0 20", [] { ::raise(SIGTERM); });
    Form1->MemChanTXButtonClick(Form1);
    ASSERT_TRUE(WaitFor([] { return !Form1->Visible(); }));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
    EXPECT_EQ(ReadValue("RadioType", "TxDelay"), "30");
    // Memories up to the one the signal came in are written whole, the others untouched.
    int written = 0;
    while (written < 100 && MemoryRecord::Get(sim_->MemoryRecord(written, 0), MemoryRecord::Frequency)
                                .compare(0, 6, "000070") == 0)
        ++written;
    EXPECT_GE(written, 21);
    EXPECT_LE(written, 22);
    for (int m = written; m < 100; ++m)
        EXPECT_EQ(MemoryRecord::Get(sim_->MemoryRecord(m, 0), MemoryRecord::Frequency).compare(0, 6, "000140"), 0) << m;

    for (const int signal : {SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        Restart();
        Form1->Show();
        FileChanged = true;
        RxDelay = 700 + signal;
        ::raise(signal);
        ASSERT_TRUE(WaitFor([] { return !Form1->Visible(); }));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
        EXPECT_EQ(ReadValue("RadioType", "RxDelay"), IntToStr(700 + signal));
    }
}

