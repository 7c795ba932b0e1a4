#include "FakeComm.h"
#include "SerialTestSupport.h"
#include "common/PtyPair.h"

#include "framework/FormReader.h"
#include "framework/TypInfo.h"
#include "platform/Gdi.h"
#include "platform/Messages.h"
#include "serial/SerialTerminal.h"

#include <QTimer>

namespace {
const std::string ESC = "\x1b";

std::string RowText(TCustomSerialTerminal& t, int row)
{
    std::string s;
    for (int c = 1; c <= t.CellBuffer->Columns(); ++c)
        s += t.CellBuffer->FetchCell(c, row).Character;
    while (!s.empty() && s.back() == 0)
        s.pop_back();
    return s;
}

// A terminal on its own, displaying without a port.
class TerminalModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureGuiApplication();
        SerialTerminalInitialize();
        term = new TSerialTerminal(nullptr);
    }
    void TearDown() override
    {
        FreeObject(term);
        SerialTerminalFinalize();
    }
    TSerialTerminal* term = nullptr;
};

// A terminal linked to a real port on a pseudo-terminal.
class TerminalOnPty : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        EnsureGuiApplication();
        SerialTerminalInitialize();
        port = new TSerialPort(nullptr);
        port->SetPort(pty.Path());
        term = new TSerialTerminal(nullptr);
        term->SetComPort(port);
        term->OnStrReceived = TStrRecvEvent([this](TObject*, std::string& s) {
            blocks.push_back(s);
            shownWhenReceived.push_back(RowText(*term, 1));
            if (handler)
                handler(s);
        });
    }
    void TearDown() override
    {
        FreeObject(term);
        FreeObject(port);
        SerialTerminalFinalize();
        SerialFixture::TearDown();
    }
    void Open()
    {
        port->OpenPort();
        ASSERT_TRUE(port->Connected());
    }
    // Sends bytes from the radio's side and waits until the terminal has taken one more block.
    void Receive(const std::string& bytes)
    {
        const size_t before = blocks.size();
        ASSERT_TRUE(pty.Send(bytes));
        ASSERT_TRUE(PumpUntil([&] { return blocks.size() > before; }));
    }

    PtyPair pty;
    TSerialPort* port = nullptr;
    TSerialTerminal* term = nullptr;
    std::vector<std::string> blocks;
    std::vector<std::string> shownWhenReceived;
    std::function<void(std::string&)> handler;
};
} // namespace

// ---- The model -----------------------------------------------------------------------------

TEST_F(TerminalModel, StartsAsTheControlDescribesAndRegistersItsProperties)
{
    EXPECT_EQ(term->Columns(), 80);
    EXPECT_EQ(term->Rows(), 24);
    EXPECT_EQ(term->Emulation(), teVT100orANSI);
    EXPECT_EQ(term->ScrollBars(), ssBoth);
    EXPECT_EQ(term->BorderStyle(), bsSingle);
    EXPECT_EQ(term->Color(), clBlack);
    EXPECT_TRUE(term->TabStop());
    EXPECT_EQ(term->Width(), 400);
    EXPECT_EQ(term->Height(), 250);
    EXPECT_EQ(term->Font()->GetName(), "Fixedsys");
    EXPECT_EQ(term->Font()->GetColor(), 0xFFFFFF);
    EXPECT_EQ(term->Attributes.TextColor, 0xFFFFFF);
    EXPECT_EQ(term->Attributes.FillColor, clBlack);
    // The cells exist before any form description was read.
    EXPECT_EQ(term->CellBuffer->Columns(), 80);
    EXPECT_EQ(term->CellBuffer->Rows(), 24);

    struct Def {
        const char* name;
        int64_t value;
    };
    for (Def d : {Def{"AltColor", 0xA6A6A6}, Def{"AppendLF", 0}, Def{"ArrowKeys", akTerminal},
                  Def{"BorderStyle", bsSingle}, Def{"Caret", tcBlock}, Def{"Columns", 80},
                  Def{"Force7Bit", 0}, Def{"LocalEcho", 0}, Def{"Rows", 24}, Def{"SendLF", 0},
                  Def{"SmoothScroll", 0}, Def{"WantTab", 0}, Def{"WrapLines", 0}}) {
        SCOPED_TRACE(d.name);
        PPropInfo p = GetPropInfo(term, d.name);
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(p->HasDefault);
        EXPECT_EQ(p->Default, d.value);
        EXPECT_TRUE(IsDefaultPropValue(term, p));
    }
    for (const char* name : {"Emulation", "ScrollBars"}) {
        PPropInfo p = GetPropInfo(term, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_FALSE(p->HasDefault) << name << " is always stored";
    }
    EXPECT_FALSE(IsStoredProp(term, "Connected"));
    for (const char* name : {"ComPort", "OnChar", "OnGetEscapeCodes", "OnStrReceived", "OnUnhandledCode",
                             "Align", "Font", "TabStop", "DragMode", "ParentCtl3D", "OnContextPopup"})
        EXPECT_TRUE(IsPublishedProp(term, name)) << name;
    EXPECT_EQ(GetEnumProp(term, "Emulation"), "teVT100orANSI");
}

TEST_F(TerminalModel, TeletypeLineFeedKeepsTheColumnAndReturnGoesToColumnOne)
{
    term->SetEmulation(teNone);
    term->DisplayText("MR0\n");
    EXPECT_EQ(RowText(*term, 1), "MR0");
    EXPECT_EQ(term->CaretPos.x, 4);
    EXPECT_EQ(term->CaretPos.y, 2);
    term->DisplayText("\r");
    EXPECT_EQ(term->CaretPos.x, 1);
    // Without an interpreter ESC is a control byte like any other; NUL and high bytes are data.
    term->DisplayText(ESC + "[2J" + std::string("\0\xE9", 2));
    EXPECT_EQ(RowText(*term, 2), "[2J\xE9");
}

// Bytes in, screen and caret out, over the codes the terminal acts on, on a 12 x 3 screen
// (default tab stops at 1 and 9; '.' is an empty cell).
TEST_F(TerminalModel, BytesInGiveRowsAndCaretOut)
{
    using Colours = std::vector<std::pair<TColor, TColor>>; // text and fill of row 1's cells
    struct Case {
        const char* what;
        TTermEmulation emulation;
        std::string in;
        std::vector<std::string> rows;
        TPoint caret;
        Colours colours = {};
    };
    const std::string setRow2Col5 = ESC + "Y" + char(32 + 1) + char(32 + 4);
    std::string textColours, fillColours;
    for (char d = '0'; d <= '9'; ++d) {
        textColours += ESC + "[3" + d + "m" + d;
        fillColours += ESC + "[4" + d + "m" + d;
    }
    const TColor white = 0xFFFFFF, black = 0x000000, alt = 0xA6A6A6;
    const TColor table[10] = {0x000000, 0x0000FF, 0x008000, 0x00FFFF, 0xFF0000,
                              0x800080, 0x0080FF, 0xFFFFFF, 0x000080, 0x808080};
    Colours textTable, fillTable;
    for (TColor c : table) {
        textTable.emplace_back(c, black);
        fillTable.emplace_back(white, c);
    }
    const Case cases[] = {
        {"line feed keeps the column and scrolls up on the last row", teVT100orANSI, "a\nb\nc\nd",
         {".b..........", "..c.........", "...d........"}, {5, 3}},
        {"reverse line feed moves up", teVT52, "\n\nz" + ESC + "Iw",
         {"............", ".w..........", "z..........."}, {3, 2}},
        {"reverse line feed on row 1 scrolls down", teVT52, "a" + ESC + "Ib",
         {".b..........", "a...........", "............"}, {3, 1}},
        {"cursor moves, home and the clamp", teVT100orANSI,
         ESC + "[2;5Ha" + ESC + "[Ab" + ESC + "[2Dc" + ESC + "[B" + ESC + "[3Cd" + ESC + "[He" + ESC + "[9;99H",
         {"e...cb......", "....a...d...", "............"}, {12, 3}},
        {"VT52 cursor moves", teVT52,
         setRow2Col5 + "a" + ESC + "Ab" + ESC + "D" + ESC + "Dc" + ESC + "B" + ESC + "Cd" + ESC + "He",
         {"e...cb......", "....a.d.....", "............"}, {2, 1}},
        {"erase line from the caret takes the caret's cell", teVT100orANSI, "abc\r\ndefgh" + ESC + "[3D" + ESC + "[K",
         {"abc.........", "de..........", "............"}, {3, 2}},
        {"erase the whole line and go to its start", teVT100orANSI, "abc\r\ndefgh" + ESC + "[3D" + ESC + "[2K",
         {"abc.........", "............", "............"}, {1, 2}},
        {"erase screen from the caret", teVT100orANSI, "abcdef\r\nghi" + ESC + "[A" + ESC + "[J",
         {"abc.........", "............", "............"}, {4, 1}},
        {"erase the whole screen and go home", teVT100orANSI, "abc\r\ndefgh" + ESC + "[3D" + ESC + "[2J",
         {"............", "............", "............"}, {1, 1}},
        {"tab stop set at 5, the one at 9 cleared", teVT100orANSI,
         ESC + "[1;5H" + ESC + "H" + ESC + "[1;9H" + ESC + "[g\r\tx\ty",
         {"....xy......", "............", "............"}, {7, 1}},
        {"all tab stops cleared", teVT100orANSI, ESC + "[3g\tx",
         {"x...........", "............", "............"}, {2, 1}},
        {"caret saved and restored both ways", teVT100orANSI,
         ESC + "[2;3H" + ESC + "7" + ESC + "[Ha" + ESC + "8b" + ESC + "[3;4H" + ESC + "[s" + ESC + "[H" + ESC + "[uc",
         {"a...........", "..b.........", "...c........"}, {5, 3}},
        {"wrap mode", teVT100orANSI, ESC + "[7habcdefghijklm",
         {"abcdefghijkl", "m...........", "............"}, {2, 2}},
        {"screen test fills and keeps the caret", teVT100orANSI, ESC + "[2;2H" + ESC + "#8",
         {"EEEEEEEEEEEE", "EEEEEEEEEEEE", "EEEEEEEEEEEE"}, {2, 2}},
        {"bold shows AltColor also reversed; reverse swaps; reset restores", teVT100orANSI,
         ESC + "[1;7mA" + ESC + "[0mB" + ESC + "[7mC" + ESC + "cD",
         {"ABCD........", "............", "............"}, {5, 1},
         {{alt, white}, {white, black}, {black, white}, {white, black}}},
        {"text colour table", teVT100orANSI, textColours,
         {"0123456789..", "............", "............"}, {11, 1}, textTable},
        {"fill colour table", teVT100orANSI, fillColours,
         {"0123456789..", "............", "............"}, {11, 1}, fillTable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* t = new TSerialTerminal(nullptr);
        t->SetEmulation(c.emulation);
        t->SetColumns(12);
        t->SetRows(3);
        t->DisplayText(c.in);
        std::vector<std::string> rows;
        for (int r = 1; r <= 3; ++r) {
            std::string row;
            for (int col = 1; col <= 12; ++col) {
                const char ch = t->CellBuffer->FetchCell(col, r).Character;
                row += ch == 0 ? '.' : ch;
            }
            rows.push_back(row);
        }
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(std::make_pair(t->CaretPos.x, t->CaretPos.y), std::make_pair(c.caret.x, c.caret.y)) << "caret";
        Colours colours;
        for (size_t i = 1; i <= c.colours.size(); ++i) {
            const TTermCell cell = t->CellBuffer->FetchCell(static_cast<int>(i), 1);
            colours.emplace_back(cell.TextColor, cell.FillColor);
        }
        EXPECT_EQ(colours, c.colours);
        FreeObject(t);
    }
}

TEST_F(TerminalModel, SizeChangesClampAndClearOnlyWhenTheValueDiffers)
{
    term->DisplayText("keep");
    term->SetColumns(80);
    EXPECT_EQ(RowText(*term, 1), "keep") << "same value: nothing happens";
    term->SetRows(1);
    EXPECT_EQ(term->Rows(), 2);
    EXPECT_EQ(RowText(*term, 1), "");
    term->SetColumns(300);
    EXPECT_EQ(term->Columns(), 256);
    EXPECT_EQ(term->CellBuffer->Columns(), 256);
    term->SetRows(1000);
    EXPECT_EQ(term->Rows(), 100);
    term->DisplayText(ESC + "[200;300H");
    EXPECT_EQ(term->CaretPos.x, 256);
    EXPECT_EQ(term->CaretPos.y, 100);
    term->SetColumns(10);
    EXPECT_EQ(term->CaretPos.x, 10) << "the caret follows the new bounds";
}

TEST_F(TerminalModel, WrapTabsAndLastColumn)
{
    term->DisplayText(std::string(80, 'a') + "b");
    EXPECT_EQ(term->CellBuffer->FetchCell(80, 1).Character, 'b');
    EXPECT_EQ(term->CaretPos.y, 1);
    term->SetWrapLines(true);
    term->DisplayText("\r" + std::string(80, 'a') + "c");
    EXPECT_EQ(term->CellBuffer->FetchCell(1, 2).Character, 'c');
    term->DisplayText(ESC + "[24;1H" + "last" + ESC + "[24;80H" + "xy");
    EXPECT_EQ(RowText(*term, 23).substr(0, 4), "last") << "the screen scrolled up";
    EXPECT_EQ(term->CellBuffer->FetchCell(80, 23).Character, 'x');
    EXPECT_EQ(term->CellBuffer->FetchCell(1, 24).Character, 'y');
    term->DisplayText(ESC + "[1;74H\t");
    EXPECT_EQ(term->CaretPos.x, 74);
    term->DisplayText("\r\t");
    EXPECT_EQ(term->CaretPos.x, 9);
    term->DisplayText("\b\b");
    EXPECT_EQ(term->CaretPos.x, 7);
    term->DisplayText("\f");
    EXPECT_EQ(RowText(*term, 1), "");
    EXPECT_EQ(term->CaretPos.x, 1);
}

TEST_F(TerminalModel, AttributesColourWhatIsPlacedAfterwards)
{
    term->DisplayText(ESC + "[31mA" + ESC + "[1mB" + ESC + "[0m" + ESC + "[7mC" + ESC + "[0mD" +
                      ESC + "[44;4mE");
    auto cell = [&](int c) { return term->CellBuffer->FetchCell(c, 1); };
    EXPECT_EQ(cell(1).TextColor, 0x0000FF);
    EXPECT_EQ(cell(2).TextColor, 0xA6A6A6);
    EXPECT_EQ(cell(3).TextColor, clBlack);
    EXPECT_EQ(cell(3).FillColor, 0xFFFFFF);
    EXPECT_EQ(cell(4).TextColor, 0xFFFFFF);
    EXPECT_EQ(cell(4).FillColor, clBlack);
    EXPECT_EQ(cell(5).FillColor, 0xFF0000);
    EXPECT_TRUE(cell(5).Underline);
    EXPECT_EQ(cell(1).FillColor, clBlack) << "earlier cells keep theirs";
}

TEST_F(TerminalModel, RestoreBeforeAnySaveGivesReadableText)
{
    term->DisplayText(ESC + "[5;5H" + ESC + "8" + "x");
    const TTermCell c = term->CellBuffer->FetchCell(1, 1);
    EXPECT_EQ(c.Character, 'x') << "the saved spot starts as (0,0), clamped to (1,1)";
    EXPECT_NE(c.TextColor, c.FillColor);
}

TEST_F(TerminalModel, ModesFillAndUnknownSequences)
{
    term->DisplayText("text" + ESC + "[?3h");
    EXPECT_EQ(term->Columns(), 132);
    EXPECT_EQ(RowText(*term, 1), "");
    term->DisplayText(ESC + "[?3l");
    EXPECT_EQ(term->Columns(), 80);
    term->DisplayText(ESC + "[?1h");
    EXPECT_TRUE(term->AppCursorKeys);
    term->DisplayText(ESC + "[7l");
    EXPECT_FALSE(term->WrapLines());
    term->DisplayText(ESC + "#8");
    const TTermCell c = term->CellBuffer->FetchCell(80, 24);
    EXPECT_EQ(c.Character, 'E');
    EXPECT_EQ(c.TextColor, 0xFFFFFF);
    EXPECT_EQ(c.FillColor, clBlack);

    std::vector<std::pair<TEscapeCode, std::string>> unhandled;
    term->OnUnhandledCode = TUnhandledEvent(
        [&](TObject*, TEscapeCode code, std::string data) { unhandled.emplace_back(code, data); });
    term->DisplayText(ESC + "[5q" + "z");
    ASSERT_EQ(unhandled.size(), 1u);
    EXPECT_EQ(unhandled[0].first, ecUnknown);
    EXPECT_EQ(unhandled[0].second, "[5q");
}

TEST_F(TerminalModel, HugeParametersSaturateAndCodesWorkWithoutAList)
{
    term->DisplayText(ESC + "[2147483647B" + ESC + "[2147483647C");
    EXPECT_EQ(term->CaretPos.y, 24);
    EXPECT_EQ(term->CaretPos.x, 80);
    term->DisplayText(ESC + "[2147483647A" + ESC + "[-2147483648D");
    EXPECT_EQ(term->CaretPos.y, 1);
    EXPECT_EQ(term->CaretPos.x, 80);
    for (TEscapeCode code : {ecIdentify, ecQueryCursorPos, ecReset, ecAttributes, ecSetMode})
        EXPECT_TRUE(term->ExecuteCode(code, nullptr)) << GetEnumName(TypeInfoOf<TEscapeCode>(), code);
    EXPECT_FALSE(term->ExecuteCode(ecReportCursorPos, nullptr));
}

TEST_F(TerminalModel, OnCharSeesEveryPlacedByteAndOnGetEscapeCodesSuppliesAnInterpreter)
{
    std::string seen;
    term->OnChar = TChScreenEvent([&](TObject*, char c) { seen += c; });
    term->DisplayText(std::string("a\x01\n", 3));
    EXPECT_EQ(seen, std::string("a\x01\n", 3));

    int asked = 0;
    term->OnGetEscapeCodes = TEscapeEvent([&](TObject*, TEscapeParser*& codes) {
        ++asked;
        codes = new TVT52Parser();
    });
    term->SetEmulation(teNone);
    EXPECT_EQ(asked, 1);
    ASSERT_NE(term->EscapeCodes, nullptr);
    term->DisplayText(ESC + "Y" + char(32 + 4) + char(32 + 9));
    EXPECT_EQ(term->CaretPos.y, 5);
    EXPECT_EQ(term->CaretPos.x, 10);
}

TEST_F(TerminalModel, ReplacingTheInterpreterFromAHandlerMidBlockIsSafe)
{
    term->OnUnhandledCode = TUnhandledEvent([&](TObject*, TEscapeCode, std::string) { term->SetEmulation(teVT52); });
    term->DisplayText(ESC + "[5q" + ESC + "H" + "ok");
    EXPECT_EQ(term->EscapeCodes->ClassName(), "TVT52Parser");
    EXPECT_EQ(RowText(*term, 1), "ok");
}

TEST_F(TerminalModel, ReadFromADescriptionGetsItsInterpreterAndCellsWhenLoaded)
{
    RegisterSerialTerminalClasses();
    RegisterClass(TSerialPort::StaticClassInfo());
    RegisterColorIdents();
    auto* root = new TComponent(nullptr);
    ReadComponentFromText(root,
                          "object Root: TComponent\n"
                          "  object Port: TSerialPort\n  end\n"
                          "  object Term: TSerialTerminal\n"
                          "    ComPort = Port\n    Emulation = teNone\n    Rows = 100\n"
                          "    Columns = 300\n    ScrollBars = ssVertical\n    AltColor = clRed\n"
                          "  end\nend\n",
                          "terminal.qfm");
    auto* t = dynamic_cast<TSerialTerminal*>(root->FindComponent("Term"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->ComPort(), root->FindComponent("Port"));
    EXPECT_EQ(t->EscapeCodes, nullptr) << "teNone: a plain teletype";
    EXPECT_EQ(t->CellBuffer->Rows(), 100);
    EXPECT_EQ(t->CellBuffer->Columns(), 256);
    EXPECT_EQ(t->AltColor(), clRed);
    EXPECT_EQ(t->ScrollBars(), ssVertical);
    FreeObject(root);
}

// ---- The receive path on a port ------------------------------------------------------------

TEST_F(TerminalOnPty, BurstsArriveAsSeparateBlocksInOrderBeforeDisplay)
{
    term->SetEmulation(teNone);
    Open();
    Receive("MR0");
    Receive(";1\r");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], "MR0");
    EXPECT_EQ(blocks[1], ";1\r");
    EXPECT_EQ(shownWhenReceived[0], "") << "the handler runs before the block is displayed";
    EXPECT_EQ(shownWhenReceived[1], "MR0");
    EXPECT_EQ(RowText(*term, 1), "MR0;1");
    EXPECT_EQ(term->CaretPos.x, 1);
}

TEST_F(TerminalOnPty, HandlerCanSuppressOrPrefixTheBlock)
{
    term->SetEmulation(teNone);
    Open();
    handler = [](std::string& s) { s.clear(); };
    Receive("hidden");
    EXPECT_EQ(RowText(*term, 1), "");
    handler = [this](std::string&) { term->DisplayText("\n\r"); };
    Receive("FA;");
    EXPECT_EQ(RowText(*term, 2), "FA;") << "the handler's own text came first";
}

TEST_F(TerminalOnPty, AppendLFAndForce7BitTreatTheBlockBeforeTheHandler)
{
    term->SetEmulation(teNone);
    term->SetAppendLF(true);
    term->SetForce7Bit(true);
    Open();
    Receive(std::string("a\r\n\xC1", 4));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], "a\r\n\nA");
    EXPECT_EQ(term->CaretPos.y, 3);
}

TEST_F(TerminalOnPty, QueryAnswersGoBackToTheRadio)
{
    Open();
    Receive(ESC + "[c");
    EXPECT_EQ(pty.Receive(7), ESC + "[?1;2c");
    Receive(ESC + "[5n");
    EXPECT_EQ(pty.Receive(4), ESC + "[0n");
    Receive(ESC + "[10;5H" + ESC + "[6n");
    EXPECT_EQ(pty.Receive(7), ESC + "[10;5R");
    term->SetEmulation(teVT52);
    Receive(ESC + "Z");
    EXPECT_EQ(pty.Receive(3), ESC + "/Z");
}

// A reply goes out from inside the display; pumping events there could start a nested
// receive in the middle of a half-parsed sequence.
TEST_F(TerminalOnPty, RepliesWhileDisplayingProcessNoOtherEvents)
{
    Open();
    bool posted = false, queued = false;
    HWND w = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 7)
            posted = true;
    });
    PostMessage(w, WM_USER + 7, 0, 0);
    QTimer::singleShot(0, [&] { queued = true; });
    term->DisplayText(ESC + "[5n" + ESC + "[6n");
    EXPECT_FALSE(posted);
    EXPECT_FALSE(queued);
    EXPECT_EQ(pty.Receive(10), ESC + "[0n" + ESC + "[1;1R");
    // They were only held back, not lost.
    EXPECT_TRUE(PumpUntil([&] { return posted && queued; }));
    DeallocateHWnd(w);
}

TEST_F(TerminalOnPty, NothingIsSentWhileThePortIsClosed)
{
    term->DisplayText(ESC + "[c" + ESC + "[6n");
    term->TypeChar('x');
    Open();
    EXPECT_EQ(pty.Receive(1, 300), "");
    EXPECT_EQ(RowText(*term, 1), "") << "no echo either";
}

TEST_F(TerminalOnPty, FreeingThePortUnlinksTheTerminal)
{
    Open();
    FreeAndNil(port);
    EXPECT_EQ(term->ComPort(), nullptr);
    EXPECT_FALSE(term->Connected());
    term->TypeChar('x');
    term->DisplayText(ESC + "[c");
}

TEST_F(TerminalOnPty, ConnectedOpensAndClosesTheLinkedPort)
{
    term->SetConnected(true);
    EXPECT_TRUE(port->Connected());
    EXPECT_TRUE(term->Connected());
    term->SetConnected(false);
    EXPECT_FALSE(port->Connected());
    term->SetComPort(nullptr);
    EXPECT_TRUE(port->Links().empty());
    term->SetConnected(true);
    EXPECT_FALSE(port->Connected());
}

// A reply the port cannot send is reported, and the next block is displayed as usual.
TEST_F(SerialFixture, TerminalReplyFailureIsReportedAndReceivingGoesOn)
{
    EnsureGuiApplication();
    SerialTerminalInitialize();
    FakeComm comm;
    TSerialPort port(nullptr);
    auto* term = new TSerialTerminal(nullptr);
    term->SetComPort(&port);
    int blocks = 0;
    term->OnStrReceived = TStrRecvEvent([&](TObject*, std::string&) { ++blocks; });
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.FailOn("WriteFile", 5);
    comm.SetInput(ESC + "[c");
    comm.FireEvents(EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return !appErrors.empty(); }));
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 2));
    comm.SetInput("next");
    comm.FireEvents(EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return blocks == 2; }));
    EXPECT_EQ(RowText(*term, 1), "next");
    port.ClosePort();
    FreeObject(term);
    SerialTerminalFinalize();
}
