#include "TextViewFixture.h"

namespace {
using TextViewSelect = TextViewTest;
}

TEST_F(TextViewSelect, DragAcrossItemsCopiesTailWholeLinesAndHead)
{
    View->AddTextLines("first line\r\nitem three text\r\nmiddle item\r\nitem five text\r\nlast", 0);
    View->FormatDocument();
    TPoint a = PointIn(1, 6), b = PointIn(3, 5);
    Drag(a.x, a.y, b.x, b.y);
    ASSERT_TRUE(View->HasSelection());
    EXPECT_EQ(View->SelectedText(), "three text\r\nmiddle item\r\nitem");
    View->CopySelection();
    EXPECT_EQ(FakeClipboardText().value_or(""), "three text\r\nmiddle item\r\nitem");
    // Dragging upwards gives the same text.
    Drag(b.x, b.y, a.x, a.y);
    EXPECT_EQ(View->SelectedText(), "three text\r\nmiddle item\r\nitem");
}

TEST_F(TextViewSelect, ClickWithoutMovingSelectsNothingAndCopyLeavesTheClipboard)
{
    View->AddTextLines("some text here", 0);
    View->FormatDocument();
    SetFakeClipboardText("before");
    TPoint p = PointIn(0, 4);
    Drag(p.x, p.y, p.x, p.y);
    EXPECT_FALSE(View->HasSelection());
    EXPECT_EQ(View->SelectedText(), "");
    View->CopySelection();
    EXPECT_EQ(FakeClipboardText().value_or(""), "before");
}

TEST_F(TextViewSelect, RightEndOfLineExcludesLastCharacterUnlessDraggedPast)
{
    View->AddTextLines("abcdef\r\nsecond", 0);
    View->FormatDocument();
    TPoint a = PointIn(0, 1);
    int right = Piece(0)->Left + Piece(0)->Width;
    Drag(a.x, a.y, right, a.y);
    EXPECT_EQ(View->SelectedText(), "abcde");
    // Past the right end the end moves to the start of the next line.
    Drag(a.x, a.y, right + 30, a.y);
    EXPECT_EQ(View->SelectedText(), "abcdef\r\n");
    Drag(a.x, a.y, a.x + 2, Piece(0)->Top + Piece(0)->Height + 1);
    EXPECT_EQ(View->SelectedText(), "abcdef\r\n");
}

TEST_F(TextViewSelect, SelectionOverAWrapKeepsTheConsumedBlank)
{
    View->MaxTextWidth = Measure(0, "alpha beta g");
    View->AddTextLines("alpha beta gamma delta", 0);
    View->FormatDocument();
    ASSERT_EQ(PieceText(0), "alpha beta");
    TPoint a = PointIn(0, 7), b = PointIn(1, 4);
    Drag(a.x, a.y, b.x, b.y);
    EXPECT_EQ(View->SelectedText(), "beta gam");
}

TEST_F(TextViewSelect, SelectionSurvivesReformatting)
{
    View->AddTextLines("alpha beta gamma delta epsilon", 0);
    View->AddTextLines("zeta eta theta", 0);
    View->FormatDocument();
    TPoint a = PointIn(0, 7), b = PointIn(1, 5);
    Drag(a.x, a.y, b.x, b.y);
    std::string before = View->SelectedText();
    ASSERT_EQ(before, "beta gamma delta epsilon\r\nzeta");
    View->SetBounds(0, 0, 90, 200); // narrow: the first item now wraps
    ASSERT_GT(View->DrawItems->Count(), 2);
    EXPECT_EQ(View->SelectedText(), before);
    View->AddTextLines("appended", 0);
    View->FormatAppended();
    EXPECT_EQ(View->SelectedText(), before);
}

TEST_F(TextViewSelect, CtrlCAndCtrlInsertCopyAndSwallowCtrlKeys)
{
    View->AddTextLines("copy me please", 0);
    View->FormatDocument();
    std::vector<WORD> seen;
    View->OnKeyDown = TKeyEvent([&](TObject*, WORD& k, TShiftState) { seen.push_back(k); });
    SetKeyStateDown(VK_CONTROL, true);
    SendMessage(View->Handle(), WM_KEYDOWN, 'C', 0);
    EXPECT_EQ(seen.size(), 1u); // no selection: the key goes on
    EXPECT_FALSE(FakeClipboardText().has_value());
    SetKeyStateDown(VK_CONTROL, false);
    TPoint a = PointIn(0, 1), b = PointIn(0, 5);
    Drag(a.x, a.y, b.x, b.y);
    SetKeyStateDown(VK_CONTROL, true);
    SendMessage(View->Handle(), WM_KEYDOWN, 'C', 0);
    EXPECT_EQ(FakeClipboardText().value_or(""), "copy");
    SetFakeClipboardText("");
    SendMessage(View->Handle(), WM_KEYDOWN, VK_INSERT, 0);
    EXPECT_EQ(FakeClipboardText().value_or(""), "copy");
    SendMessage(View->Handle(), WM_KEYDOWN, 'X', 0);
    EXPECT_EQ(seen.size(), 1u);
    SetKeyStateDown(VK_CONTROL, false);
    SendMessage(View->Handle(), WM_KEYDOWN, 'X', 0);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(TextViewSelect, RightClickReportsWordAndScreenPoint)
{
    View->AddTextLines("call(radio.memory) now", 3);
    View->FormatDocument();
    std::string word = "unset";
    int style = -9, sx = 0, sy = 0;
    View->OnViewRightClick = TViewRightClickEvent([&](TTextView*, const std::string& w, int s, int x, int y) {
        word = w;
        style = s;
        sx = x;
        sy = y;
    });
    TPoint p = PointIn(0, 8); // inside "radio"
    p.x += 1;
    Send(WM_RBUTTONDOWN, 0, p.x, p.y);
    Send(WM_RBUTTONUP, 0, p.x, p.y);
    EXPECT_EQ(word, "radio");
    EXPECT_EQ(style, 3);
    TPoint screen = View->ClientToScreen(p);
    EXPECT_EQ(sx, screen.x);
    EXPECT_EQ(sy, screen.y);
    p = PointIn(0, 5); // on "("
    p.x += 1;
    Send(WM_RBUTTONDOWN, 0, p.x, p.y);
    Send(WM_RBUTTONUP, 0, p.x, p.y);
    EXPECT_EQ(word, "");
}

TEST_F(TextViewSelect, WordOnAnEmptyWrapPieceIsEmpty)
{
    View->MaxTextWidth = Measure(0, "ab ");
    View->AddTextLines("ab  cdefghijkl", 0);
    View->FormatDocument();
    ASSERT_EQ(PieceText(1), "");
    ASSERT_NE(Piece(1)->Top, Piece(2)->Top) << "the empty piece has its line to itself";
    std::vector<std::string> words;
    View->OnViewRightClick =
        TViewRightClickEvent([&](TTextView*, const std::string& w, int, int, int) { words.push_back(w); });
    const int x = Piece(1)->Left, y = Piece(1)->Top + 1;
    Send(WM_RBUTTONDOWN, 0, x, y);
    Send(WM_RBUTTONUP, 0, x, y);
    // A piece without width holds no point, so a right click there reports no word.
    EXPECT_EQ(words, std::vector<std::string>{});
}

TEST_F(TextViewSelect, DraggingBelowTheViewScrollsOneOrTenStepsPerTick)
{
    std::string lines;
    for (int i = 0; i < 100; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    View->AddTextLines(lines, 0);
    View->FormatDocument();
    TPoint a = PointIn(1, 2);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, a.x, a.y);
    ASSERT_NE(View->ScrollTimer, nullptr);
    int h = View->ClientHeight();
    Send(WM_MOUSEMOVE, MK_LBUTTON, a.x, h + 10);
    EXPECT_EQ(View->ScrollDelta, 1);
    int bottomPiece = View->SelEndNo;
    EXPECT_LE(Piece(bottomPiece)->Top, h);
    // The line at the view's bottom edge, in document coordinates.
    auto bottomLine = [&] {
        const int y = h + View->VPos * View->StepHeight;
        for (int i = 0; i < View->DrawItems->Count(); ++i)
            if (Piece(i)->Top <= y && y < Piece(i)->Top + Piece(i)->Height)
                return i;
        return -1;
    };
    View->AutoScrollTick(nullptr);
    EXPECT_EQ(View->VPos, 1);
    EXPECT_GT(View->SelEndNo, bottomPiece) << "the end follows the text that scrolled in";
    EXPECT_EQ(View->SelEndNo, bottomLine());
    Send(WM_MOUSEMOVE, MK_LBUTTON, a.x, h + 25);
    EXPECT_EQ(View->ScrollDelta, 10);
    View->AutoScrollTick(nullptr);
    EXPECT_EQ(View->VPos, 11);
    EXPECT_EQ(View->SelEndNo, bottomLine());
    Send(WM_MOUSEMOVE, MK_LBUTTON, a.x, -5);
    EXPECT_EQ(View->ScrollDelta, -1);
    // Above the top edge, the end is the view's top line until the timer scrolls.
    int topLinePiece = View->SelEndNo;
    EXPECT_GE(Piece(topLinePiece)->Top + Piece(topLinePiece)->Height, View->VPos * View->StepHeight);
    Send(WM_LBUTTONUP, 0, a.x, -5);
    EXPECT_EQ(View->ScrollTimer, nullptr);
    EXPECT_TRUE(View->HasSelection());
}

TEST_F(TextViewSelect, ClearDocumentDropsTheSelection)
{
    View->AddTextLines("some words here", 0);
    View->FormatDocument();
    int selects = 0;
    View->OnSelect = TNotifyEvent([&](TObject*) { ++selects; });
    TPoint a = PointIn(0, 1), b = PointIn(0, 6);
    Drag(a.x, a.y, b.x, b.y);
    EXPECT_EQ(selects, 1);
    View->ClearDocument();
    View->FormatDocument();
    EXPECT_FALSE(View->HasSelection());
    EXPECT_EQ(selects, 2);
    EXPECT_EQ(View->SelectedText(), "");
}

TEST_F(TextViewSelect, JumpClickAndHoverReportIdsWithFirstJumpNo)
{
    View->FirstJumpNo = 100;
    Styles->HoverColor = clRed;
    View->AddTextLines("plain", 0);
    View->AddTextLines("jump one", 4);
    View->AddTextLines("jump two", 5);
    View->FormatDocument();
    std::vector<int> moves, jumps;
    View->OnViewMouseMove = TViewMouseMoveEvent([&](TObject*, int id) { moves.push_back(id); });
    View->OnJump = TJumpEvent([&](TObject*, int id) { jumps.push_back(id); });
    TPoint j1 = PointIn(1, 2), j2 = PointIn(2, 2), plain = PointIn(0, 2);
    Send(WM_MOUSEMOVE, 0, j1.x, j1.y);
    EXPECT_EQ(View->Cursor(), Styles->JumpCursor);
    EXPECT_TRUE(View->HoverDrawn);
    Send(WM_MOUSEMOVE, 0, j2.x, j2.y);
    EXPECT_EQ(View->HoverJumpId, 1);
    Send(WM_MOUSEMOVE, 0, plain.x, plain.y);
    EXPECT_EQ(View->Cursor(), crDefault);
    EXPECT_EQ(moves, (std::vector<int>{100, 101, -1}));
    Drag(j2.x, j2.y, j2.x, j2.y);
    EXPECT_EQ(jumps, (std::vector<int>{101}));
    Drag(j1.x, j1.y, j2.x, j2.y); // released over another jump: no jump
    EXPECT_EQ(jumps.size(), 1u);
}
