#include "TextViewFixture.h"

#include <algorithm>

namespace {
using TextViewFormat = TextViewTest;

std::vector<std::string> ItemTexts(TTextView* v)
{
    std::vector<std::string> r;
    for (int i = 0; i < v->Items->Count(); ++i)
        r.push_back(v->Items->Strings(i));
    return r;
}
} // namespace

TEST_F(TextViewFormat, AddTextLinesSplitsOnEveryKindOfLineBreak)
{
    View->AddTextLines("a\r\n\r\nb", 1);
    EXPECT_EQ(ItemTexts(View), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(View->LineInfo(2)->StyleNo, 1);
    View->ClearDocument();
    View->AddTextLines("a\r\n", 0);
    EXPECT_EQ(ItemTexts(View), (std::vector<std::string>{"a"}));
    View->ClearDocument();
    View->AddTextLines("", 0);
    EXPECT_EQ(ItemTexts(View), (std::vector<std::string>{""}));
    View->ClearDocument();
    View->AddTextLines("a\nb", 0);
    View->AddTextLines("c\rd", 0);
    EXPECT_EQ(ItemTexts(View), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_FALSE(View->LineInfo(0)->SameAsPrev);
}

TEST_F(TextViewFormat, OneLineHeightComesFromTheFontMetrics)
{
    View->AddTextLines("Hello", 0);
    View->FormatDocument();
    TEXTMETRICA tm = Metrics(0);
    EXPECT_EQ(View->DocHeight, tm.tmExternalLeading + tm.tmAscent + tm.tmDescent + 1);
    ASSERT_EQ(View->DrawItems->Count(), 1);
    EXPECT_EQ(Piece(0)->Left, 5);
    EXPECT_EQ(Piece(0)->Top, tm.tmExternalLeading);
    EXPECT_EQ(Piece(0)->Width, Measure(0, "Hello"));
    EXPECT_TRUE(Piece(0)->FromNewLine);
}

TEST_F(TextViewFormat, EmptyItemTakesNoPieceAndNoHeight)
{
    View->AddTextLines("one\r\ntwo", 0);
    View->FormatDocument();
    int withoutEmpty = Piece(1)->Top;
    View->ClearDocument();
    View->AddTextLines("one\r\n\r\ntwo", 0);
    View->FormatDocument();
    ASSERT_EQ(View->DrawItems->Count(), 2);
    EXPECT_EQ(Piece(1)->Top, withoutEmpty);
    EXPECT_EQ(Piece(1)->ItemNo, 2);
}

TEST_F(TextViewFormat, WrapsAtTheLastBlankThatFitsWithExactWidths)
{
    std::string text = "alpha beta gamma delta epsilon zeta eta theta";
    // Room for "alpha beta gamma" and a bit of the next word, not all of it.
    View->MaxTextWidth = Measure(0, "alpha beta gamma d");
    View->AddTextLines(text, 0);
    View->FormatDocument();
    ASSERT_GE(View->DrawItems->Count(), 3);
    EXPECT_EQ(PieceText(0), "alpha beta gamma");
    EXPECT_EQ(Piece(0)->Width, Measure(0, "alpha beta gamma"));
    EXPECT_EQ(Piece(1)->Offs, 18); // the blank at 17 belongs to no piece
    EXPECT_TRUE(Piece(1)->FromNewLine);
    EXPECT_GT(Piece(1)->Top, Piece(0)->Top);
    std::string joined;
    for (int i = 0; i < View->DrawItems->Count(); ++i) {
        EXPECT_LE(Piece(i)->Width, View->TextWidth);
        joined += (i ? " " : "") + PieceText(i);
    }
    EXPECT_EQ(joined, text);
}

TEST_F(TextViewFormat, WordWiderThanTheLineIsCutAndLeadingBlankGivesEmptyPiece)
{
    View->MaxTextWidth = Measure(0, "WWWW");
    View->AddTextLines("WWWWWWWWWW", 0);
    View->FormatDocument();
    ASSERT_EQ(View->DrawItems->Count(), 3);
    EXPECT_EQ(PieceText(0), "WWWW");
    EXPECT_EQ(PieceText(1), "WWWW");
    EXPECT_EQ(PieceText(2), "WW");

    View->ClearDocument();
    View->MaxTextWidth = Measure(0, "ab ");
    View->AddTextLines("ab  cdefghijkl", 0); // after "ab" the rest starts with a blank
    View->FormatDocument();
    ASSERT_GE(View->DrawItems->Count(), 3);
    EXPECT_EQ(PieceText(0), "ab");
    EXPECT_EQ(PieceText(1), "");
    EXPECT_TRUE(Piece(1)->FromNewLine);
    EXPECT_EQ(PieceText(2).substr(0, 1), "c");
    EXPECT_EQ(Piece(2)->Offs, 5);
}

TEST_F(TextViewFormat, PieceNeverHoldsMoreThanAThousandCharacters)
{
    View->MinTextWidth = Measure(0, std::string(1500, 'i')) + 50;
    View->AddTextLines(std::string(2500, 'i'), 0);
    View->FormatDocument();
    int total = 0;
    for (int i = 0; i < View->DrawItems->Count(); ++i) {
        EXPECT_LE(PieceText(i).size(), 1000u);
        total += static_cast<int>(PieceText(i).size());
    }
    EXPECT_EQ(total, 2500);
}

TEST_F(TextViewFormat, AppendedFormattingKeepsOldPiecesAndAddsOnePixelPerBatch)
{
    View->AddTextLines("first", 0);
    View->FormatDocument();
    TDrawLineInfo* old = Piece(0);
    int h = View->DocHeight;
    View->FormatAppended();
    EXPECT_EQ(View->DocHeight, h + 1);
    View->AddTextLines("second", 1);
    View->FormatAppended();
    ASSERT_EQ(View->DrawItems->Count(), 2);
    EXPECT_EQ(Piece(0), old);
    TEXTMETRICA tm = Metrics(1);
    EXPECT_EQ(Piece(1)->Top, h + 1 + tm.tmExternalLeading);
    EXPECT_EQ(View->LastFormattedItem, 1);
}

TEST_F(TextViewFormat, AppendingScrollsToTheEnd)
{
    for (int i = 0; i < 60; ++i) {
        View->AddTextLines("line " + std::to_string(i), 0);
        View->FormatAppended();
    }
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    GetScrollInfo(View->Handle(), SB_VERT, &si);
    EXPECT_GT(View->VPos, 0);
    EXPECT_EQ(View->VPos, si.nMax - static_cast<int>(si.nPage) + 1);
}

TEST_F(TextViewFormat, ClearThenAppendShowsTheNewItems)
{
    for (int i = 0; i < 5; ++i)
        View->AddTextLines("old " + std::to_string(i), 0);
    View->FormatDocument();
    View->ClearDocument();
    View->AddTextLines("new", 0);
    View->FormatAppended();
    ASSERT_EQ(View->DrawItems->Count(), 1);
    EXPECT_EQ(PieceText(0), "new");
    EXPECT_EQ(Piece(0)->Top, Metrics(0).tmExternalLeading);
}

TEST_F(TextViewFormat, TallDocumentRaisesTheStepHeight)
{
    Styles->TextStyles()->Items(0)->Size = 300;
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += "x\r\n";
    View->AddTextLines(lines, 0);
    View->FormatDocument();
    ASSERT_GT(View->DocHeight / 10, 30000);
    EXPECT_EQ(View->StepHeight, View->DocHeight / 30000);
    EXPECT_EQ(View->DocSteps, View->DocHeight / View->StepHeight);
    EXPECT_LE(View->DocSteps, 30000 + 30000 / View->StepHeight + 1);
    int step = View->StepHeight;
    View->ClearDocument();
    View->FormatDocument();
    EXPECT_EQ(View->StepHeight, step); // never goes back down
}

TEST_F(TextViewFormat, MaxTextWidthCapsWrappingButNotTheHorizontalRange)
{
    View->SetBounds(0, 0, 500, 200);
    View->MaxTextWidth = 200;
    View->AddTextLines(std::string(60, 'a') + " " + std::string(60, 'b'), 0);
    View->FormatDocument();
    EXPECT_EQ(View->TextWidth, 200);
    for (int i = 0; i < View->DrawItems->Count(); ++i)
        EXPECT_LE(Piece(i)->Width, 200);
    EXPECT_EQ(View->DocWidth, View->ClientWidth());
    View->MaxTextWidth = 0;
    View->FormatDocument();
    EXPECT_EQ(View->TextWidth, View->ClientWidth() - 10);
    View->MaxTextWidth = -3;
    View->FormatDocument();
    EXPECT_EQ(View->TextWidth, View->ClientWidth() - 10);
}

TEST_F(TextViewFormat, RemovedStyleComponentStopsFormatting)
{
    View->AddTextLines("text", 0);
    View->FormatDocument();
    FreeObject(Styles);
    Styles = nullptr;
    EXPECT_EQ(View->Style(), nullptr);
    View->AddTextLines("more", 0);
    View->FormatDocument();
    EXPECT_EQ(View->DrawItems->Count(), 1);
}

TEST_F(TextViewFormat, UnknownStyleNumberRaisesAndLeavesTheViewUsable)
{
    View->AddTextLines("bad", 42);
    EXPECT_THROW(View->FormatDocument(), Exception);
    EXPECT_FALSE(View->Formatting);
    View->ClearDocument();
    View->AddTextLines("good", 0);
    View->FormatDocument();
    EXPECT_EQ(View->DrawItems->Count(), 1);
}

TEST_F(TextViewFormat, ResizeReformatsAndKeepsThePixelPosition)
{
    std::string lines;
    for (int i = 0; i < 80; ++i)
        lines += "a longer line of text number " + std::to_string(i) + "\r\n";
    View->AddTextLines(lines, 0);
    View->FormatDocument();
    int resized = 0;
    View->OnResized = TNotifyEvent([&](TObject*) { ++resized; });
    View->SetVerticalPosition(20);
    int y = View->VPos * View->StepHeight;
    View->SetBounds(0, 0, 300, 200);
    EXPECT_EQ(resized, 1);
    EXPECT_EQ(View->TextWidth, View->ClientWidth() - 10);
    EXPECT_EQ(View->VPos * View->StepHeight, y);
}

TEST_F(TextViewFormat, JumpStylePiecesShareOneJumpId)
{
    View->MaxTextWidth = Measure(4, "click here");
    View->AddTextLines("click here please now", 4);
    View->AddTextLines("plain", 0);
    View->AddTextLines("other", 5);
    View->FormatDocument();
    ASSERT_GE(View->Jumps->Count(), 3);
    EXPECT_EQ(View->Jump(0)->Id, 0);
    EXPECT_EQ(View->Jump(1)->Id, 0);
    EXPECT_EQ(View->Jump(View->Jumps->Count() - 1)->Id, 1);
    EXPECT_EQ(View->NextJumpId, 2);
    TJumpInfo* j = View->Jump(1);
    EXPECT_EQ(j->Left, Piece(j->DrawItemNo)->Left);
    EXPECT_EQ(j->Top, Piece(j->DrawItemNo)->Top);
}
