#include "SerialTestSupport.h"
#include "common/PtyPair.h"

#include <QImage>
#include <QPixmap>
#include <QScrollBar>
#include <QWidget>

#include <filesystem>
#include <unistd.h>

#include "framework/Forms.h"
#include "platform/Caret.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"
#include "serial/SerialTerminal.h"

namespace {
const std::string ESC = "\x1b";

// A visible terminal on a form, linked to a port on a pseudo-terminal.
class TerminalView : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        InitForms();
        Application->Initialize();
        SerialTerminalInitialize();
        form = new TForm(Application);
        form->SetBounds(0, 0, 900, 700);
        term = new TSerialTerminal(form);
        term->SetParent(form);
        port = new TSerialPort(nullptr);
        port->SetPort(pty.Path());
        term->SetComPort(port);
        form->Show();
        h = term->Handle();
    }
    void TearDown() override
    {
        FreeObject(port);
        FreeObject(form);
        SerialTerminalFinalize();
        DoneForms();
        SerialFixture::TearDown();
    }
    // Gives the client area exactly cols x rows cells.
    void SizeClient(int cols, int rows)
    {
        term->SetBounds(0, 0, 10, 10);
        const int w = 10 - term->ClientWidth();
        const int hgt = 10 - term->ClientHeight();
        term->SetBounds(0, 0, cols * term->CharWidth + w, rows * term->CharHeight + hgt);
    }
    void Key(WORD vk) { SendMessage(h, WM_KEYDOWN, vk, 0); }
    void Char(char c) { SendMessage(h, WM_CHAR, static_cast<unsigned char>(c), 0); }
    QImage Grab()
    {
        UpdateWindow(h);
        return WindowWidget(h)->grab().toImage();
    }

    PtyPair pty;
    TForm* form = nullptr;
    TSerialTerminal* term = nullptr;
    TSerialPort* port = nullptr;
    HWND h = nullptr;
};
} // namespace

// ---- Keys ----------------------------------------------------------------------------------

TEST_F(TerminalView, ArrowKeysInBothDialectsAndModes)
{
    port->OpenPort();
    Key(VK_UP);
    EXPECT_EQ(pty.Receive(3), ESC + "[A");
    Key(VK_HOME);
    EXPECT_EQ(pty.Receive(3), ESC + "[H");

    term->DisplayText(ESC + "[?1h");
    Key(VK_UP);
    Key(VK_RIGHT);
    Key(VK_HOME);
    EXPECT_EQ(pty.Receive(6, 500), ESC + "OA" + ESC + "OC") << "Home sends nothing in application mode";
    term->DisplayText(ESC + "[?1l");

    term->SetArrowKeys(akWindows);
    term->PlaceCaret(5, 5);
    Key(VK_UP);
    Key(VK_LEFT);
    EXPECT_EQ(term->CaretPos.y, 4);
    EXPECT_EQ(term->CaretPos.x, 4);
    EXPECT_EQ(pty.Receive(1, 300), "") << "Windows arrows only move the caret";

    term->SetArrowKeys(akTerminal);
    term->SetEmulation(teVT52);
    Key(VK_UP);
    Key(VK_DOWN);
    EXPECT_EQ(pty.Receive(4), ESC + "A" + ESC + "B");

    term->OnKeyDown = TKeyEvent([](TObject*, WORD& k, TShiftState) { k = 0; });
    Key(VK_UP);
    EXPECT_EQ(pty.Receive(1, 300), "") << "a handler that clears the key stops it";
}

TEST_F(TerminalView, TypingWithEchoAndLineFeeds)
{
    Char('x');
    EXPECT_EQ(term->CellBuffer->FetchCell(1, 1).Character, 0) << "closed port: no echo";
    port->OpenPort();
    term->SetLocalEcho(true);
    term->SetSendLF(true);
    Char('h');
    Char('\r');
    EXPECT_EQ(pty.Receive(3), "h\r\n");
    EXPECT_EQ(term->CellBuffer->FetchCell(1, 1).Character, 'h');
    EXPECT_EQ(term->CaretPos.x, 1);
    EXPECT_EQ(term->CaretPos.y, 2);

    term->OnKeyPress = TKeyPressEvent([](TObject*, char& k) { k = k == 'a' ? 'b' : 0; });
    Char('a');
    Char('q');
    EXPECT_EQ(pty.Receive(2, 300), "b");

    term->SetLocalEcho(true);
    term->TransmitCode(ecCursorDown, nullptr);
    EXPECT_EQ(pty.Receive(3), ESC + "[B");
    EXPECT_EQ(term->CaretPos.y, 3) << "echoed codes are carried out";
}

TEST_F(TerminalView, DialogCodeWantsArrowsCharsAndOptionallyTab)
{
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE, 0, 0), 129);
    term->SetWantTab(true);
    EXPECT_EQ(SendMessage(h, WM_GETDLGCODE, 0, 0), 131);
}

// ---- Caret ---------------------------------------------------------------------------------

TEST_F(TerminalView, CaretExistsOnlyWithFocusAndSitsAtTheCellBottom)
{
    term->CharHeight = 16;
    term->CharWidth = 8;
    term->SetCaret(tcUnderline);
    term->PlaceCaret(3, 2);
    term->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return term->CaretMade; }));
    EXPECT_EQ(term->CaretHeight, 2);
    POINT p{};
    GetCaretPos(&p);
    EXPECT_EQ(p.x, 16);
    EXPECT_EQ(p.y, 16 + 14);
    EXPECT_EQ(GetCaretWindow(), h);

    term->SetCaret(tcNone);
    EXPECT_FALSE(term->CaretMade);
    EXPECT_EQ(GetCaretWindow(), nullptr);
    term->SetCaret(tcBlock);
    EXPECT_TRUE(term->CaretMade);
    EXPECT_EQ(term->CaretHeight, 16);

    SendMessage(h, WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(term->CaretMade);
}

TEST_F(TerminalView, FontOfVariablePitchIsReplacedAndLosesUnderline)
{
    term->Font()->SetName("Sans Serif");
    term->Font()->SetStyle(TFontStyles{fsUnderline});
    EXPECT_EQ(term->Font()->GetName(), "Fixedsys");
    EXPECT_FALSE(term->Font()->GetStyle().Contains(fsUnderline));
    EXPECT_TRUE(term->MeasureFont());
    term->Font()->SetColor(clYellow);
    EXPECT_EQ(term->Attributes.TextColor, clYellow);
    term->SetColor(clNavy);
    EXPECT_EQ(term->Attributes.FillColor, clNavy);
}

// ---- Size, scroll bars and painting ---------------------------------------------------------

TEST_F(TerminalView, AutoSizeFitsTheCells)
{
    term->SetBorderStyle(bsNone);
    term->SetScrollBars(ssNone);
    term->SetAutoSize(true);
    term->SetColumns(80);
    term->SetRows(10);
    EXPECT_EQ(term->Width(), 80 * term->CharWidth);
    EXPECT_EQ(term->Height(), 10 * term->CharHeight);
}

TEST_F(TerminalView, VerticalBarCoversTheRowsBeyondTheWindow)
{
    term->SetBorderStyle(bsNone);
    term->SetScrollBars(ssVertical);
    term->SetRows(100);
    h = term->Handle(); // the window was recreated for the new style
    SizeClient(80, 25);
    term->UpdateScrollRanges();
    int lo = -1, hi = -1;
    GetScrollRange(h, SB_VERT, &lo, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 75);
    EXPECT_EQ(term->ScrollBars(), ssVertical) << "restored after the update";

    SendMessage(h, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(term->ViewPos.y, 26);
    SendMessage(h, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(term->ViewPos.y, 25);
    SendMessage(h, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 10), 0);
    EXPECT_EQ(term->ViewPos.y, 25) << "thumb tracking needs SmoothScroll";
    term->SetSmoothScroll(true);
    SendMessage(h, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 10), 0);
    EXPECT_EQ(term->ViewPos.y, 11);
    SendMessage(h, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 500), 0);
    EXPECT_EQ(term->ViewPos.y, 76) << "clamped: the last row shown is row 100";
    SendMessage(h, WM_VSCROLL, SB_ENDSCROLL, 0);
    EXPECT_EQ(term->ViewPos.y, 76);
}

// The ranges come from the size the window is made with: no resize by the user is needed,
// neither at the first show nor when a style change makes the window anew.
TEST_F(TerminalView, HundredRowsInTenScrollFromTheFirstShowAndAfterARecreation)
{
    TForm* f = new TForm(Application);
    f->SetBounds(0, 0, 900, 400);
    auto* t = new TSerialTerminal(f);
    t->SetBorderStyle(bsNone);
    t->SetScrollBars(ssVertical);
    t->SetRows(100);
    t->SetBounds(0, 0, 80 * t->CharWidth + GetSystemMetrics(SM_CXVSCROLL), 10 * t->CharHeight);
    t->SetParent(f);
    auto shownBar = [t](Qt::Orientation o) -> QScrollBar* {
        for (QScrollBar* b : WindowWidget(t->Handle())->findChildren<QScrollBar*>())
            if (b->orientation() == o && b->isVisible())
                return b;
        return nullptr;
    };
    for (const char* when : {"first show", "re-created"}) {
        SCOPED_TRACE(when);
        if (std::string(when) == "first show")
            f->Show();
        else
            t->SetScrollBars(ssBoth); // a new window; 80 columns still fit
        int lo = -1, hi = -1;
        GetScrollRange(t->Handle(), SB_VERT, &lo, &hi);
        EXPECT_EQ(hi - lo, 90);
        QScrollBar* bar = shownBar(Qt::Vertical);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->maximum(), 90);
        EXPECT_EQ(shownBar(Qt::Horizontal), nullptr);
        SendMessage(t->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
        EXPECT_EQ(t->ViewPos.y, 11);
        SendMessage(t->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    }
    FreeObject(f);
}

TEST_F(TerminalView, HorizontalPageIsTheClientWidth)
{
    term->SetBorderStyle(bsNone);
    term->SetScrollBars(ssHorizontal);
    term->SetColumns(256);
    h = term->Handle();
    SizeClient(50, 10);
    term->UpdateScrollRanges();
    int lo = -1, hi = -1;
    GetScrollRange(h, SB_HORZ, &lo, &hi);
    EXPECT_EQ(hi, 256 - 50);
    SendMessage(h, WM_HSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(term->ViewPos.x, 51);
}

TEST_F(TerminalView, InvalidatedRectangleFollowsTheScrolledView)
{
    term->ViewPos = TPoint{3, 5};
    ValidateRect(h, nullptr);
    term->InvalidateCells(4, 6, 5, 6);
    RECT r{};
    ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
    const int cw = term->CharWidth, ch = term->CharHeight;
    EXPECT_EQ(r.left, cw);
    EXPECT_EQ(r.top, ch);
    EXPECT_EQ(r.right, 3 * cw);
    EXPECT_EQ(r.bottom, 2 * ch);
    ValidateRect(h, nullptr);
    term->InvalidateCells(1, 1, 3, 5);
    ASSERT_TRUE(GetUpdateRect(h, &r, FALSE));
    EXPECT_EQ(r.left, 0) << "cells left of the view clamp to 0";
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, cw);
    EXPECT_EQ(r.bottom, ch);
}

// A received character is drawn at once, without a repaint, where the scrolled view shows it.
TEST_F(TerminalView, CharacterPlacedInAScrolledViewIsDrawnAtItsScreenCell)
{
    term->SetBorderStyle(bsNone);
    term->SetScrollBars(ssVertical);
    term->SetRows(100);
    h = term->Handle();
    SizeClient(80, 25);
    term->UpdateScrollRanges();
    SendMessage(h, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 10), 0);
    ASSERT_EQ(term->ViewPos.y, 11);
    UpdateWindow(h);
    ValidateRect(h, nullptr);
    term->DisplayText(ESC + "[12;3H" + ESC + "[42mW");
    const int cw = term->CharWidth, ch = term->CharHeight;
    HDC dc = GetDC(h);
    // The top edge of a cell shows its fill: row 12 is the view's second row.
    const COLORREF shown = GetPixel(dc, 2 * cw + cw / 2, ch);
    const COLORREF unscrolled = GetPixel(dc, 2 * cw + cw / 2, 11 * ch);
    ReleaseDC(h, dc);
    EXPECT_EQ(shown, 0x008000u);
    EXPECT_NE(unscrolled, 0x008000u);
}

// A terminal on a page not shown keeps what it receives and draws it once shown.
TEST_F(TerminalView, HiddenTerminalDrawsWhatItReceivedWhenShown)
{
    term->SetBorderStyle(bsNone);
    h = term->Handle();
    UpdateWindow(h);
    term->SetVisible(false);
    term->DisplayText(ESC + "[2;3H" + ESC + "[42mW");
    const int cw = term->CharWidth, ch = term->CharHeight;
    HDC dc = GetDC(h);
    EXPECT_NE(GetPixel(dc, 2 * cw + cw / 2, ch), 0x008000u) << "drawn while hidden";
    ReleaseDC(h, dc);
    term->SetVisible(true);
    EXPECT_EQ(Grab().pixelColor(2 * cw + cw / 2, ch).rgb() & 0xFFFFFF, 0x008000u);
}

TEST_F(TerminalView, ColouredCellIsPaintedWithItsColours)
{
    term->SetBorderStyle(bsNone);
    h = term->Handle();
    term->DisplayText(ESC + "[2;3H" + ESC + "[31;42m" + "\xDB" + "W");
    term->Invalidate();
    QImage img = Grab();
    const int cw = term->CharWidth, ch = term->CharHeight;
    // The fill of the W cell, at its top edge (above any glyph).
    EXPECT_EQ(img.pixelColor(3 * cw + cw / 2, ch).rgb() & 0xFFFFFF, 0x008000u);
    // Somewhere in the W cell the text colour shows.
    bool red = false;
    for (int y = ch; y < 2 * ch && !red; ++y)
        for (int x = 3 * cw; x < 4 * cw && !red; ++x)
            red = (img.pixelColor(x, y).rgb() & 0xFFFFFF) == 0xFF0000u;
    EXPECT_TRUE(red);
    // An empty cell shows the control's colour.
    EXPECT_EQ(img.pixelColor(cw / 2, ch / 2).rgb() & 0xFFFFFF, 0x000000u);
}

TEST_F(TerminalView, ScreenshotOfColouredTextAndTheCaret)
{
    term->SetBounds(0, 0, 82 * term->CharWidth, 14 * term->CharHeight);
    term->DisplayText("Quillmere terminal\r\n");
    const char* names[] = {"black", "red", "green", "yellow", "blue", "purple", "orange", "white"};
    for (int i = 0; i < 8; ++i)
        term->DisplayText(ESC + "[4" + std::to_string(i == 7 ? 0 : 7) + ";3" + std::to_string(i) + "m " +
                          names[i] + " " + ESC + "[0m ");
    term->DisplayText("\r\n" + ESC + "[1mbold in AltColor" + ESC + "[0m " + ESC + "[4munderlined" + ESC +
                      "[0m " + ESC + "[7mreverse" + ESC + "[0m\r\n> ");
    term->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return term->CaretMade; }));
    RECT caret{};
    if (!GetCaretOverlay(h, &caret))
        BlinkCaret();
    ASSERT_TRUE(GetCaretOverlay(h, &caret));
    QImage img = Grab();
    const std::string file = (std::filesystem::temp_directory_path() / "terminal_screenshot.png").string();
    ASSERT_TRUE(img.save(QString::fromStdString(file), "PNG"));
    // The caret inverts the cell it sits on (column 3, row 4: black becomes white).
    const int cw = term->CharWidth, ch = term->CharHeight;
    EXPECT_EQ(img.pixelColor(2 * cw + cw / 2, 3 * ch + ch / 2).rgb() & 0xFFFFFF, 0xFFFFFFu);
}
