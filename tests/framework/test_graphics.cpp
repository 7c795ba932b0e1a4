#include <gtest/gtest.h>

#include <QImage>

#include <cstdio>
#include <filesystem>
#include <string>

#include "framework/Graphics.h"

namespace {

COLORREF PixelAt(TBitmap& b, int x, int y)
{
    return QColorToColorRef(BitmapImage(b.GetHandle())->pixelColor(x, y));
}

TCanvas* CanvasOfSize(TBitmap& b, int width, int height)
{
    b.SetSize(width, height);
    return b.Canvas();
}

void Fill(TCanvas* c, TColor colour, const TRect& r)
{
    c->Brush()->SetColor(colour);
    c->FillRect(r);
}

TEST(GraphicsColor, NamesSystemColoursAndRgb)
{
    EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
    EXPECT_EQ(ColorToRGB(clNavy), RGB(0, 0, 128));
    EXPECT_EQ(ColorToRGB(clWindow), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(static_cast<uint32_t>(clWindowText), 0x80000008u);
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(clInfoBk), "clInfoBk");
    EXPECT_EQ(ColorToString(clNone), "clNone");
    EXPECT_EQ(ColorToString(0x00123456), "$00123456");
    EXPECT_EQ(StringToColor("clTeal"), clTeal);
    EXPECT_EQ(StringToColor("CLTEAL"), clTeal);
    EXPECT_EQ(StringToColor("$00123456"), 0x00123456);
    EXPECT_EQ(StringToColor("8421376"), clTeal); // stored settings write decimal numbers
    EXPECT_EQ(StringToColor(ColorToString(clBtnShadow)), clBtnShadow);
    EXPECT_THROW(StringToColor("clNoSuchColour"), EConvertError);
    TColor c = 0;
    EXPECT_FALSE(IdentToColor("red", c));
    std::string ident;
    EXPECT_FALSE(ColorToIdent(0x00010203, ident));
}

TEST(GraphicsFont, SizeHeightAndChange)
{
    TFont f;
    EXPECT_EQ(f.GetName(), "MS Sans Serif");
    EXPECT_EQ(f.GetSize(), 8);
    int changes = 0;
    f.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    f.SetSize(10);
    EXPECT_EQ(f.GetHeight(), -13);
    EXPECT_EQ(f.GetSize(), 10);
    f.SetSize(10);
    EXPECT_EQ(changes, 1); // no event without a change
    f.SetStyle({fsBold, fsItalic});
    TFont g;
    g.Assign(&f);
    EXPECT_EQ(g.GetHeight(), -13);
    EXPECT_TRUE(g.GetStyle().Contains(fsItalic));
    // Published for form descriptions and stored settings.
    EXPECT_NE(GetPropInfo(TFont::StaticClassInfo(), "Height"), nullptr);
    EXPECT_NE(GetPropInfo(TFont::StaticClassInfo(), "style"), nullptr);
    EXPECT_NE(GetPropInfo(TBrush::StaticClassInfo(), "Color"), nullptr);
    EXPECT_NE(GetPropInfo(TPen::StaticClassInfo(), "Mode"), nullptr);
}

TEST(GraphicsCanvas, OpaqueTextCellAndClearBrush)
{
    TBitmap b;
    TCanvas* c = CanvasOfSize(b, 120, 40);
    c->Font()->SetName("Arial");
    c->Font()->SetSize(10);
    c->Font()->SetColor(clBlack);
    c->Brush()->SetColor(clLime);
    int w = c->TextWidth("Cell");
    int h = c->TextHeight("Cell");
    c->TextOut(10, 5, "Cell");
    EXPECT_EQ(PixelAt(b, 10, 5), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(b, 10 + w - 1, 5 + h - 1), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(b, 10 + w, 5), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(b, 10, 5 + h), RGB(255, 255, 255));
    EXPECT_EQ(c->GetPenPos(), (TPoint{10 + w, 5}));
    // A clear brush draws the text without its background.
    c->Brush()->SetStyle(bsClear);
    c->TextOut(10, 22, "Cell");
    EXPECT_EQ(PixelAt(b, 10, 22), RGB(255, 255, 255));
    // Changing the font while it is selected must not leak or break later drawing.
    c->Font()->SetSize(14);
    EXPECT_GT(c->TextHeight("Cell"), h);
}

TEST(GraphicsCanvas, ShapesInNamedColours)
{
    TBitmap b;
    TCanvas* c = CanvasOfSize(b, 30, 30);
    Fill(c, clRed, Rect(0, 0, 10, 10));
    EXPECT_EQ(PixelAt(b, 0, 0), RGB(255, 0, 0)); // red in the image, not blue
    c->Pen()->SetColor(clBlue);
    c->MoveTo(0, 20);
    c->LineTo(30, 20);
    EXPECT_EQ(PixelAt(b, 29, 20), RGB(0, 0, 255));
    EXPECT_EQ(c->GetPixel(29, 20), static_cast<TColor>(RGB(0, 0, 255)));
    c->Pen()->SetMode(pmNot);
    c->MoveTo(0, 0);
    c->LineTo(5, 0);
    EXPECT_EQ(PixelAt(b, 0, 0), RGB(0, 255, 255));
    TRect clip = c->GetClipRect();
    EXPECT_EQ(clip, Rect(0, 0, 30, 30));
}

TEST(GraphicsBitmap, SaveLoadRoundTripAndAssign)
{
    TBitmap b;
    b.SetSize(7, 5);
    Fill(b.Canvas(), clNavy, Rect(0, 0, 3, 5));
    b.Canvas()->SetPixel(6, 4, clYellow);
    std::string path = (std::filesystem::temp_directory_path() / "qm-graphics-roundtrip.bmp").string();
    b.SaveToFile(path);
    TBitmap c;
    c.LoadFromFile(path);
    std::remove(path.c_str());
    ASSERT_EQ(c.GetWidth(), 7);
    ASSERT_EQ(c.GetHeight(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(PixelAt(c, x, y), PixelAt(b, x, y)) << x << "," << y;
    EXPECT_THROW(c.LoadFromFile(path), EInvalidGraphic);
    EXPECT_EQ(c.GetWidth(), 7); // a failed load keeps the picture

    TBitmap d;
    EXPECT_TRUE(d.GetEmpty());
    d.Assign(&b);
    EXPECT_EQ(PixelAt(d, 6, 4), RGB(255, 255, 0));
    b.Canvas()->SetPixel(6, 4, clBlack);
    EXPECT_EQ(PixelAt(d, 6, 4), RGB(255, 255, 0)); // a copy, not shared pixels
    // Growing keeps the old picture and fills the rest with white.
    d.SetSize(10, 10);
    EXPECT_EQ(PixelAt(d, 0, 0), RGB(0, 0, 128));
    EXPECT_EQ(PixelAt(d, 9, 9), RGB(255, 255, 255));
}

TEST(GraphicsBitmap, DrawStretchAndTransparent)
{
    TBitmap src;
    src.SetSize(4, 4);
    Fill(src.Canvas(), clFuchsia, Rect(0, 0, 4, 4));
    Fill(src.Canvas(), clGreen, Rect(1, 1, 3, 3));
    TBitmap dst;
    dst.SetSize(20, 20);
    dst.Canvas()->StretchDraw(Rect(0, 0, 8, 8), &src);
    EXPECT_EQ(PixelAt(dst, 0, 0), RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(dst, 3, 3), RGB(0, 128, 0));
    src.SetTransparent(true); // the bottom-left pixel's colour is left out
    dst.Canvas()->Draw(10, 10, &src);
    EXPECT_EQ(PixelAt(dst, 10, 10), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(dst, 11, 11), RGB(0, 128, 0));
    // What is left out follows a change of the picture and of the transparent colour.
    src.Canvas()->SetPixel(1, 1, clFuchsia);
    dst.Canvas()->Draw(14, 0, &src);
    EXPECT_EQ(PixelAt(dst, 15, 1), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(dst, 16, 2), RGB(0, 128, 0));
    src.SetTransparentColor(clGreen);
    dst.Canvas()->Draw(14, 6, &src);
    EXPECT_EQ(PixelAt(dst, 14, 6), RGB(255, 0, 255));
    EXPECT_EQ(PixelAt(dst, 16, 8), RGB(255, 255, 255));
    TPicture pic;
    pic.Assign(&src);
    EXPECT_EQ(pic.GetWidth(), 4);
    EXPECT_EQ(pic.Bitmap()->GetHeight(), 4);
}

TEST(GraphicsSample, WritesTextInSeveralFontsAndColours)
{
    TBitmap b;
    TCanvas* c = CanvasOfSize(b, 420, 230);
    Fill(c, clWindow, Rect(0, 0, 420, 230));
    struct Line {
        const char* Face;
        int Size;
        TFontStyles Style;
        TColor Color;
        TColor Back;
        const char* Text;
    };
    const Line lines[] = {
        {"Arial", 8, {}, clWindowText, clWindow, "Arial 8: Quillmere memory channels 00-99"},
        {"Arial", 10, {fsBold}, clBlue, clWindow, "Arial 10 bold, blue"},
        {"Arial", 10, {fsItalic}, clMaroon, clWindow, "Arial 10 italic, maroon"},
        {"Arial", 10, {fsUnderline}, clGreen, clWindow, "Arial 10 underlined jump, green"},
        {"System", 10, {fsBold}, clTeal, clWindow, "System 10, teal"},
        {"Fixedsys", 9, {}, clWhite, clNavy, "Fixedsys: 145.500 FM  TX 145.500"},
        {"Courier New", 10, {}, clHighlightText, clHighlight, "Courier New, selected colours"},
        {"Times New Roman", 12, {}, clRed, clWindow, "Times New Roman 12, red \x80 \xE4\xF6\xFC"},
        {"MS Sans Serif", 8, {}, clWindowText, clBtnFace, "MS Sans Serif 8 on clBtnFace"},
    };
    int y = 4;
    for (const Line& l : lines) {
        c->Font()->SetName(l.Face);
        c->Font()->SetSize(l.Size);
        c->Font()->SetStyle(l.Style);
        c->Font()->SetColor(l.Color);
        c->Brush()->SetColor(l.Back);
        c->TextOut(6, y, l.Text);
        y += c->TextHeight(l.Text) + 4;
    }
    c->Pen()->SetColor(clGray);
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(0, 0, 420, 230);
    EXPECT_LE(y, 230);
    std::string path = (std::filesystem::temp_directory_path() / "gdi-sample.png").string();
    ASSERT_TRUE(BitmapImage(b.GetHandle())->save(QString::fromStdString(path), "PNG"));
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
