#include "TextViewFixture.h"

#include <QImage>
#include <filesystem>
#include <unistd.h>

namespace {
using TextViewPaint = TextViewTest;

// True when some pixel of the rectangle has colour c.
bool AnyPixel(TextViewTest& t, int left, int top, int right, int bottom, COLORREF c)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (t.PixelAt(x, y) == c)
                return true;
    return false;
}
} // namespace

TEST_F(TextViewPaint, StyledTextIsDrawnInItsColourOnTheBackground)
{
    View->AddTextLines("Blue bold text", 1);
    View->AddTextLines("Maroon italic", 3);
    View->FormatDocument();
    PaintNow();
    TDrawLineInfo* p = Piece(0);
    EXPECT_TRUE(AnyPixel(*this, p->Left, p->Top, p->Left + p->Width, p->Top + p->Height, ColorToRGB(clBlue)));
    EXPECT_FALSE(AnyPixel(*this, p->Left, p->Top, p->Left + p->Width, p->Top + p->Height, ColorToRGB(clMaroon)));
    TDrawLineInfo* q = Piece(1);
    EXPECT_TRUE(AnyPixel(*this, q->Left, q->Top, q->Left + q->Width, q->Top + q->Height, ColorToRGB(clMaroon)));
    EXPECT_EQ(PixelAt(View->ClientWidth() - 3, View->ClientHeight() - 3), ColorToRGB(clWindow));
}

// A control that did not grow is not erased: painting alone must lay the style's colour.
TEST_F(TextViewPaint, PaintingLaysTheBackgroundWhereNoEraseCame)
{
    Styles->Color = clYellow;
    View->AddTextLines("text", 0);
    View->FormatDocument();
    PaintNow();
    HDC dc = GetDC(View->Handle());
    RECT all{0, 0, View->ClientWidth(), View->ClientHeight()};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    DeleteObject(red);
    ReleaseDC(View->Handle(), dc);
    PaintNow();
    EXPECT_EQ(PixelAt(View->ClientWidth() - 3, View->ClientHeight() - 3), ColorToRGB(clYellow));
    TDrawLineInfo* p = Piece(0);
    EXPECT_EQ(PixelAt(p->Left + p->Width + 2, p->Top + 1), ColorToRGB(clYellow)) << "beside the text too";
}

TEST_F(TextViewPaint, SelectionHighlightCoversExactlyTheSelectedCharacters)
{
    View->AddTextLines("ABCDEFGHIJ", 0);
    View->FormatDocument();
    View->SelStartNo = View->SelEndNo = 0;
    View->SelStartOffs = 3;
    View->SelEndOffs = 6;
    EXPECT_EQ(View->SelectedText(), "CDE");
    PaintNow();
    TDrawLineInfo* p = Piece(0);
    int x3 = p->Left + Measure(0, "AB"), x6 = p->Left + Measure(0, "ABCDE");
    int y = p->Top + 1;
    COLORREF sel = ColorToRGB(clHighlight);
    EXPECT_EQ(PixelAt(x3, y), sel);
    EXPECT_EQ(PixelAt(x6 - 1, y), sel);
    EXPECT_NE(PixelAt(x3 - 1, y), sel);
    EXPECT_NE(PixelAt(x6, y), sel);
    EXPECT_TRUE(AnyPixel(*this, x3, p->Top, x6, p->Top + p->Height, ColorToRGB(clHighlightText)));
    EXPECT_TRUE(AnyPixel(*this, p->Left, p->Top, x3, p->Top + p->Height, ColorToRGB(clWindowText)));
    EXPECT_FALSE(AnyPixel(*this, x3, p->Top, x6, p->Top + p->Height, ColorToRGB(clWindowText)));
}

TEST_F(TextViewPaint, SelectionFromOffsetOneSelectsTheWholeFirstPiece)
{
    View->AddTextLines("first\r\nsecond", 0);
    View->FormatDocument();
    View->SelStartNo = 0;
    View->SelStartOffs = 1;
    View->SelEndNo = 1;
    View->SelEndOffs = 3;
    PaintNow();
    TDrawLineInfo* p = Piece(0);
    COLORREF sel = ColorToRGB(clHighlight);
    EXPECT_EQ(PixelAt(p->Left, p->Top + 1), sel);
    EXPECT_EQ(PixelAt(p->Left + p->Width - 1, p->Top + 1), sel);
    TDrawLineInfo* q = Piece(1);
    EXPECT_EQ(PixelAt(q->Left + Measure(0, "s"), q->Top + 1), sel);
    EXPECT_NE(PixelAt(q->Left + Measure(0, "se") + 1, q->Top + 1), sel);
}

TEST_F(TextViewPaint, WithoutStyleTheViewShowsAnErrorInAFrame)
{
    View->SetStyle(nullptr);
    PaintNow();
    EXPECT_EQ(PixelAt(0, 0), ColorToRGB(clWindowText));
    EXPECT_EQ(PixelAt(View->ClientWidth() - 1, 20), ColorToRGB(clWindowText));
    EXPECT_EQ(PixelAt(View->ClientWidth() - 4, View->ClientHeight() - 4), ColorToRGB(clWindow));
    TBitmap b;
    b.SetSize(10, 10);
    b.Canvas()->Font()->SetName("MS Sans Serif");
    b.Canvas()->Font()->SetSize(8);
    int w = b.Canvas()->TextWidth("Error: style is not assigned");
    // Smoothed small text may have no pixel of the exact colour: a near-black one counts.
    bool dark = false;
    for (int y = 1; y < 14; ++y)
        for (int x = 1; x < 1 + w; ++x)
            dark = dark || (GetRValue(PixelAt(x, y)) < 96 && GetGValue(PixelAt(x, y)) < 96 && GetBValue(PixelAt(x, y)) < 96);
    EXPECT_TRUE(dark);
}

TEST_F(TextViewPaint, FirstVisiblePieceIsBeforeTheLineAboveTheClip)
{
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += "row " + std::to_string(i) + "\r\n";
    View->AddTextLines(lines, 0);
    View->FormatDocument();
    int y = Piece(100)->Top + 2;
    int first = View->FirstVisibleDrawItem(y);
    EXPECT_LE(first, 99);
    EXPECT_GE(first, 97);
    EXPECT_EQ(View->FirstVisibleDrawItem(0), 0);
}

TEST_F(TextViewPaint, GrowingTheControlErasesOnceShrinkingNever)
{
    // Paints red, asks for an erase, and tells whether the red was painted over.
    auto erased = [&] {
        HDC dc = GetDC(View->Handle());
        RECT all{0, 0, View->ClientWidth(), View->ClientHeight()};
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &all, red);
        DeleteObject(red);
        SendMessage(View->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        bool result = GetPixel(dc, 5, 5) == ColorToRGB(clWindow);
        ReleaseDC(View->Handle(), dc);
        return result;
    };
    EXPECT_TRUE(erased());
    EXPECT_EQ(View->EraseWidth, View->ClientWidth());
    EXPECT_FALSE(erased());
    View->SetBounds(0, 0, 300, 150);
    EXPECT_FALSE(erased());
    View->SetBounds(0, 0, 350, 180);
    EXPECT_TRUE(erased());
    EXPECT_EQ(View->EraseHeight, View->ClientHeight());
}

TEST_F(TextViewPaint, NextPictureFileNameSkipsExistingFiles)
{
    auto dir = std::filesystem::temp_directory_path() / ("qm_tv_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = dir.string() + "/";
    { FILE* f = fopen((path + "1.bmp").c_str(), "w"); fclose(f); }
    EXPECT_EQ(View->NextPictureFileName(path), path + "2.bmp");
    View->ImageSaveCounter = 0;
    View->SaveOptions = TViewSaveOptions{vsoOverrideFiles};
    EXPECT_EQ(View->NextPictureFileName(path), path + "1.bmp");
    std::filesystem::remove_all(dir);
}

TEST_F(TextViewPaint, ScreenshotOfStylesAndSelection)
{
    Styles->TextStyles()->Items(0)->Size = 8;
    for (int i = 0; i < 5; ++i) {
        TFontInfo* fi = Styles->TextStyles()->Add();
        fi->Size = i == 0 ? 10 : 8;
    }
    Styles->TextStyles()->Items(6)->FontName = "System";
    Styles->TextStyles()->Items(6)->CharSet = ANSI_CHARSET;
    Styles->TextStyles()->Items(6)->Color = clTeal;
    Styles->TextStyles()->Items(6)->Style = TFontStyles{fsBold};
    Styles->TextStyles()->Items(7)->Color = clNavy;
    Styles->TextStyles()->Items(7)->Style = TFontStyles{fsBold};
    Styles->TextStyles()->Items(8)->Color = clRed;
    Styles->TextStyles()->Items(8)->Style = TFontStyles{fsBold};
    Styles->TextStyles()->Items(9)->Color = clMaroon;
    Styles->TextStyles()->Items(10)->Style = TFontStyles{fsItalic};
    View->AddTextLines("Welcome to the command line. Type HELP for a list of commands.", 1);
    View->AddTextLines("> READ 00 99", 6);
    View->AddTextLines("Reading memory: 12 from radio.\r\nReady reading from radio.", 0);
    View->AddTextLines("Warning - The radio did not answer; check the cable and the port settings.", 8);
    View->AddTextLines("Note - jump styles look like links", 4);
    View->AddTextLines("Information - bold navy", 7);
    View->AddTextLines("A maroon line in style nine", 9);
    View->AddTextLines("an italic remark", 10);
    View->FormatDocument();
    TPoint a = PointIn(2, 9), b = PointIn(4, 12);
    Drag(a.x, a.y, b.x, b.y);
    ASSERT_TRUE(View->HasSelection());
    PaintNow();
    int w = View->ClientWidth(), h = View->ClientHeight();
    TBitmap shot;
    shot.SetSize(w, h);
    HDC dc = GetDC(View->Handle());
    BitBlt(shot.Canvas()->GetHandle(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    ReleaseDC(View->Handle(), dc);
    std::string path = (std::filesystem::temp_directory_path() / "textview-sample.png").string();
    ASSERT_TRUE(BitmapImage(shot.GetHandle())->save(QString::fromStdString(path), "PNG"));
    EXPECT_TRUE(std::filesystem::exists(path));
}
