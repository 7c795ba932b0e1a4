#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Codepage.h"
#include "platform/FontMap.h"
#include "platform/Gdi.h"
#include "platform/WindowPaintHooks.h"

namespace {

// A 32-bit image-backed context, filled white, with one font selected.
struct Canvas {
    QImage Image;
    HDC Dc = nullptr;
    HFONT Font = nullptr;
    Canvas(int w, int h, int fontHeight = -13, const char* face = "Arial", int weight = FW_NORMAL)
    {
        EnsureGuiApplication();
        Image = QImage(w, h, QImage::Format_RGB32);
        Image.fill(Qt::white);
        Dc = CreateDCOnImage(&Image);
        Font = CreateFontA(fontHeight, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
        SelectObject(Dc, Font);
    }
    ~Canvas()
    {
        SelectObject(Dc, GetStockObject(SYSTEM_FONT));
        DeleteObject(Font);
        DeleteDC(Dc);
    }
    COLORREF At(int x, int y) const { return QColorToColorRef(Image.pixelColor(x, y)); }
    int Width(const std::string& s)
    {
        SIZE sz;
        GetTextExtentPoint32A(Dc, s.data(), static_cast<int>(s.size()), &sz);
        return sz.cx;
    }
};

TEST(GdiColour, ByteOrderConvertsInOnePlace)
{
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(GetRValue(0x00563412u), 0x12);
    EXPECT_EQ(GetBValue(0x00563412u), 0x56);
    QColor q = ColorRefToQColor(RGB(255, 0, 0));
    EXPECT_EQ(q.red(), 255);
    EXPECT_EQ(q.blue(), 0);
    EXPECT_EQ(QColorToColorRef(QColor(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(COLOR_INFOBK), RGB(255, 255, 225));
    EXPECT_EQ(GetSysColor(99), 0u);
}

TEST(GdiColour, RedBrushPaintsRedPixels)
{
    Canvas c(20, 20);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT r{2, 3, 6, 8};
    FillRect(c.Dc, &r, red);
    QColor px = c.Image.pixelColor(2, 3);
    EXPECT_EQ(px, QColor(255, 0, 0));
    // Right and bottom edges are exclusive.
    EXPECT_EQ(c.At(6, 3), RGB(255, 255, 255));
    EXPECT_EQ(c.At(2, 8), RGB(255, 255, 255));
    EXPECT_EQ(c.At(5, 7), RGB(255, 0, 0));
    // A system-colour brush given as COLOR_x + 1.
    FillRect(c.Dc, &r, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_HIGHLIGHT + 1)));
    EXPECT_EQ(c.At(2, 3), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_TRUE(DeleteObject(red));
}

TEST(GdiText, OpaqueTextFillsExactlyItsCell)
{
    Canvas c(200, 60);
    SetBkMode(c.Dc, OPAQUE);
    SetBkColor(c.Dc, RGB(0, 0, 255));
    SetTextColor(c.Dc, RGB(255, 255, 0));
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(c.Dc, &tm));
    const std::string s = "Hello";
    int w = c.Width(s);
    ASSERT_GT(w, 10);
    TextOutA(c.Dc, 10, 20, s.data(), static_cast<int>(s.size()));
    int blue = 0;
    for (int y = 0; y < c.Image.height(); ++y)
        for (int x = 0; x < c.Image.width(); ++x) {
            bool inside = x >= 10 && x < 10 + w && y >= 20 && y < 20 + tm.tmHeight;
            COLORREF px = c.At(x, y);
            if (!inside)
                ASSERT_EQ(px, RGB(255, 255, 255)) << "outside the cell at " << x << "," << y;
            else if (px == RGB(0, 0, 255))
                ++blue;
        }
    // The cell's corners are background; the glyphs cover some of the rest.
    EXPECT_EQ(c.At(10, 20), RGB(0, 0, 255));
    EXPECT_EQ(c.At(10 + w - 1, 20 + tm.tmHeight - 1), RGB(0, 0, 255));
    EXPECT_LT(blue, w * tm.tmHeight);
}

TEST(GdiText, TransparentTextDrawsNoBackground)
{
    Canvas c(200, 60);
    SetBkMode(c.Dc, TRANSPARENT);
    SetBkColor(c.Dc, RGB(0, 0, 255));
    SetTextColor(c.Dc, RGB(0, 0, 0));
    TextOutA(c.Dc, 10, 20, "Hello", 5);
    int dark = 0;
    for (int y = 0; y < c.Image.height(); ++y)
        for (int x = 0; x < c.Image.width(); ++x) {
            QColor px = c.Image.pixelColor(x, y);
            EXPECT_FALSE(px.blue() > 200 && px.red() < 50) << x << "," << y;
            if (px.red() < 100)
                ++dark;
        }
    EXPECT_GT(dark, 10); // the glyphs were drawn
}

TEST(GdiText, ExtentsAreAdditive)
{
    const char* faces[] = {"Arial", "Courier New", "Times New Roman", "Fixedsys", "System"};
    const std::string samples[] = {"Hello, World", "AVAVAV WAWA To", "iiiWWW.,;:", "\xE4\xF6\xFC\x80 fj"};
    for (const char* face : faces)
        for (int height : {-11, -13, -17, 20}) {
            Canvas c(10, 10, height, face);
            for (const std::string& s : samples) {
                int sum = 0;
                for (char ch : s)
                    sum += c.Width(std::string(1, ch));
                EXPECT_EQ(c.Width(s), sum) << face << " " << height << " " << s;
                std::vector<int> dx(s.size());
                int fit = -1;
                SIZE sz;
                GetTextExtentExPointA(c.Dc, s.data(), static_cast<int>(s.size()), 100000, &fit, dx.data(), &sz);
                EXPECT_EQ(fit, static_cast<int>(s.size()));
                EXPECT_EQ(dx.back(), sz.cx);
                for (size_t i = 0; i < s.size(); ++i)
                    EXPECT_EQ(dx[i], c.Width(s.substr(0, i + 1)));
            }
        }
}

TEST(GdiText, GlyphsLandAtMeasuredOffsets)
{
    // Drawing a prefix and then the rest at the prefix's width gives the same pixels as
    // drawing the whole string: highlights never drift from the text.
    Canvas whole(300, 40, -15, "Arial");
    Canvas split(300, 40, -15, "Arial");
    const std::string s = "Wavy Toast. jiffy AV";
    SetBkMode(whole.Dc, TRANSPARENT);
    SetBkMode(split.Dc, TRANSPARENT);
    TextOutA(whole.Dc, 5, 5, s.data(), static_cast<int>(s.size()));
    for (size_t cut : {size_t(3), size_t(9)}) {
        split.Image.fill(Qt::white);
        int w = split.Width(s.substr(0, cut));
        TextOutA(split.Dc, 5, 5, s.data(), static_cast<int>(cut));
        TextOutA(split.Dc, 5 + w, 5, s.data() + cut, static_cast<int>(s.size() - cut));
        EXPECT_EQ(whole.Image, split.Image) << "cut at " << cut;
    }
}

TEST(GdiText, FitCountAtExactBoundaries)
{
    Canvas c(10, 10, -13, "Courier New");
    const std::string s = "abcdef";
    int cw = c.Width("a");
    ASSERT_GT(cw, 0);
    int fit = -1;
    std::vector<int> dx(s.size(), -7);
    SIZE sz;
    GetTextExtentExPointA(c.Dc, s.data(), 6, 3 * cw, &fit, dx.data(), &sz);
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(dx[2], 3 * cw);
    EXPECT_EQ(dx[3], -7); // only the fitting characters are filled
    EXPECT_EQ(sz.cx, 6 * cw);
    GetTextExtentExPointA(c.Dc, s.data(), 6, 3 * cw - 1, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 2);
    GetTextExtentExPointA(c.Dc, s.data(), 6, 0, &fit, nullptr, nullptr);
    EXPECT_EQ(fit, 0);
    GetTextExtentExPointA(c.Dc, s.data(), 0, 50, &fit, nullptr, &sz);
    EXPECT_EQ(fit, 0);
    EXPECT_EQ(sz.cx, 0);
}

TEST(GdiText, MetricsAndPitchFlag)
{
    Canvas fixed(10, 10, -13, "Fixedsys");
    Canvas prop(10, 10, -13, "Arial");
    TEXTMETRICA tf, tp;
    ASSERT_TRUE(GetTextMetricsA(fixed.Dc, &tf));
    ASSERT_TRUE(GetTextMetricsA(prop.Dc, &tp));
    EXPECT_EQ(tf.tmHeight, tf.tmAscent + tf.tmDescent);
    EXPECT_EQ(tp.tmHeight, tp.tmAscent + tp.tmDescent);
    // Inverted meaning: set for variable pitch.
    EXPECT_EQ(tf.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_NE(tp.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    // A fixed font's widest character is its cell width.
    EXPECT_EQ(tf.tmMaxCharWidth, fixed.Width("W"));
    EXPECT_EQ(tf.tmMaxCharWidth, fixed.Width("i"));
    EXPECT_EQ(tf.tmAveCharWidth, tf.tmMaxCharWidth);
    EXPECT_GE(tp.tmMaxCharWidth, prop.Width("W"));
    // Character height -13 means a 13-pixel em; the leading is what the cell adds.
    EXPECT_EQ(tp.tmHeight - tp.tmInternalLeading, 13);
    // A positive height asks for the cell height.
    Canvas cell(10, 10, 20, "Arial");
    TEXTMETRICA tc;
    GetTextMetricsA(cell.Dc, &tc);
    EXPECT_LE(tc.tmHeight, 20);
    EXPECT_GE(tc.tmHeight, 18);
}

TEST(GdiText, DrawTextAlignsWrapsAndMeasures)
{
    Canvas c(200, 100, -13, "Arial");
    TEXTMETRICA tm;
    GetTextMetricsA(c.Dc, &tm);
    RECT r{0, 0, 60, 0};
    int h = DrawTextA(c.Dc, "one two three four", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(h % tm.tmHeight, 0);
    EXPECT_GE(h / tm.tmHeight, 2);
    EXPECT_EQ(r.bottom, h);
    EXPECT_LE(r.right, 60);
    // "&" marks the next character and is not drawn; "&&" is one ampersand.
    RECT a{0, 0, 0, 0};
    DrawTextA(c.Dc, "&File", -1, &a, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(a.right, c.Width("File"));
    DrawTextA(c.Dc, "A&&B", -1, &a, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(a.right, c.Width("A&B"));
    DrawTextA(c.Dc, "A&&B", -1, &a, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
    EXPECT_EQ(a.right, c.Width("A&&B"));
    // Right alignment puts the last pixel column of the text's cell at the right edge.
    SetBkMode(c.Dc, OPAQUE);
    SetBkColor(c.Dc, RGB(0, 255, 0));
    RECT box{10, 10, 150, 40};
    DrawTextA(c.Dc, "Hi", -1, &box, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    int w = c.Width("Hi");
    int top = 10 + (30 - tm.tmHeight) / 2;
    EXPECT_EQ(c.At(149, top), RGB(0, 255, 0));
    EXPECT_EQ(c.At(150 - w - 1, top), RGB(255, 255, 255));
    EXPECT_EQ(c.At(150 - w, top), RGB(0, 255, 0));
}

TEST(GdiText, ClippedAndOpaqueRectangle)
{
    Canvas c(100, 40);
    SetBkColor(c.Dc, RGB(255, 0, 0));
    SetBkMode(c.Dc, TRANSPARENT);
    RECT r{5, 5, 20, 15};
    ExtTextOutA(c.Dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWW", 8, nullptr);
    int red = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 40; ++y) {
            bool inside = x >= 5 && x < 20 && y >= 5 && y < 15;
            if (!inside)
                ASSERT_EQ(c.At(x, y), RGB(255, 255, 255)) << x << "," << y;
            else if (c.At(x, y) == RGB(255, 0, 0))
                ++red;
        }
    EXPECT_GT(red, 20);
}

TEST(GdiShapes, LinesRectanglesAndPixels)
{
    Canvas c(30, 30);
    MoveToEx(c.Dc, 2, 2, nullptr);
    LineTo(c.Dc, 10, 2);
    EXPECT_EQ(c.At(2, 2), RGB(0, 0, 0));
    EXPECT_EQ(c.At(9, 2), RGB(0, 0, 0));
    EXPECT_EQ(c.At(10, 2), RGB(255, 255, 255)); // the end point is not drawn
    POINT pos;
    GetCurrentPositionEx(c.Dc, &pos);
    EXPECT_EQ(pos, (POINT{10, 2}));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldBrush = SelectObject(c.Dc, green);
    Rectangle(c.Dc, 5, 5, 15, 12);
    EXPECT_EQ(c.At(5, 5), RGB(0, 0, 0));
    EXPECT_EQ(c.At(14, 11), RGB(0, 0, 0));
    EXPECT_EQ(c.At(15, 11), RGB(255, 255, 255));
    EXPECT_EQ(c.At(8, 8), RGB(0, 255, 0));
    // Still selected: deleting must fail rather than leave the context dangling.
    EXPECT_FALSE(DeleteObject(green));
    SelectObject(c.Dc, oldBrush);
    EXPECT_TRUE(DeleteObject(green));
    EXPECT_FALSE(DeleteObject(green));
    EXPECT_EQ(SetPixel(c.Dc, 20, 20, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(c.Dc, 20, 20), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(c.Dc, 30, 0), CLR_INVALID);
}

TEST(GdiClip, IntersectSaveRestore)
{
    Canvas c(40, 40);
    int level = SaveDC(c.Dc);
    EXPECT_EQ(IntersectClipRect(c.Dc, 10, 10, 20, 20), SIMPLEREGION);
    RECT box;
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (RECT{10, 10, 20, 20}));
    HBRUSH b = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT all{0, 0, 40, 40};
    FillRect(c.Dc, &all, b);
    EXPECT_EQ(c.At(9, 9), RGB(255, 255, 255));
    EXPECT_EQ(c.At(10, 10), RGB(0, 0, 0));
    EXPECT_EQ(c.At(20, 20), RGB(255, 255, 255));
    EXPECT_TRUE(RestoreDC(c.Dc, level));
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (RECT{0, 0, 40, 40}));
    EXPECT_FALSE(RestoreDC(c.Dc, -1)); // nothing left to restore
    HRGN rgn = CreateRectRgn(0, 0, 5, 5);
    SelectClipRgn(c.Dc, rgn);
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (RECT{0, 0, 5, 5}));
    SelectClipRgn(c.Dc, nullptr);
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (RECT{0, 0, 40, 40}));
    DeleteObject(rgn);
}

TEST(GdiBlit, RasterOperations)
{
    Canvas dst(20, 20);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dst.Dc, 10, 10);
    HGDIOBJ old = SelectObject(mem, bmp);
    RECT all{0, 0, 10, 10};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(mem, &all, red);
    EXPECT_TRUE(BitBlt(dst.Dc, 5, 5, 10, 10, mem, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.At(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(dst.At(4, 4), RGB(255, 255, 255));
    EXPECT_TRUE(BitBlt(dst.Dc, 0, 0, 20, 20, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(dst.At(5, 5), RGB(0, 255, 255));
    EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 0));
    EXPECT_TRUE(BitBlt(dst.Dc, 5, 5, 10, 10, mem, 0, 0, SRCINVERT));
    EXPECT_EQ(dst.At(5, 5), RGB(255, 255, 255));
    EXPECT_TRUE(PatBlt(dst.Dc, 0, 0, 2, 2, WHITENESS));
    EXPECT_TRUE(PatBlt(dst.Dc, 0, 0, 1, 1, DSTINVERT));
    EXPECT_EQ(dst.At(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(dst.At(1, 1), RGB(255, 255, 255));
    // Stretching a 10x10 red square over 20x20.
    EXPECT_TRUE(StretchBlt(dst.Dc, 0, 0, 20, 20, mem, 0, 0, 10, 10, SRCCOPY));
    EXPECT_EQ(dst.At(19, 19), RGB(255, 0, 0));
    SelectObject(mem, old);
    EXPECT_TRUE(DeleteObject(bmp));
    DeleteObject(red);
    DeleteDC(mem);
}

TEST(GdiState, SaveRestoreBringsBackToolsAndColours)
{
    Canvas c(20, 20);
    int level = SaveDC(c.Dc);
    HFONT other = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Courier New");
    HGDIOBJ prev = SelectObject(c.Dc, other);
    EXPECT_EQ(prev, c.Font);
    SetTextColor(c.Dc, RGB(9, 9, 9));
    SetBkMode(c.Dc, TRANSPARENT);
    TEXTMETRICA big;
    GetTextMetricsA(c.Dc, &big);
    ASSERT_TRUE(RestoreDC(c.Dc, level));
    EXPECT_EQ(GetCurrentObject(c.Dc, OBJ_FONT), c.Font);
    EXPECT_EQ(GetTextColor(c.Dc), RGB(0, 0, 0));
    EXPECT_EQ(GetBkMode(c.Dc), OPAQUE);
    TEXTMETRICA small;
    GetTextMetricsA(c.Dc, &small);
    EXPECT_LT(small.tmHeight, big.tmHeight);
    // Restoring released the saved selection, so the font can go.
    EXPECT_TRUE(DeleteObject(other));
    EXPECT_EQ(SetBkMode(c.Dc, 99), 0); // an unknown mode is refused
    EXPECT_EQ(GetBkMode(c.Dc), OPAQUE);
}

TEST(GdiState, ViewportOriginShiftsDrawingAndClipBox)
{
    Canvas c(30, 30);
    SetViewportOrgEx(c.Dc, 10, 5, nullptr);
    RECT r{0, 0, 2, 2};
    FillRect(c.Dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.At(10, 5), RGB(0, 0, 0));
    EXPECT_EQ(c.At(0, 0), RGB(255, 255, 255));
    RECT box;
    GetClipBox(c.Dc, &box);
    EXPECT_EQ(box, (RECT{-10, -5, 20, 25}));
    EXPECT_EQ(GetPixel(c.Dc, 0, 0), RGB(0, 0, 0));
}

TEST(GdiObjects, InvalidHandlesAndSectionsAreSafe)
{
    EXPECT_FALSE(DeleteObject(nullptr));
    EXPECT_FALSE(DeleteDC(nullptr));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // stock objects stay
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), OBJ_BRUSH);
    EXPECT_EQ(GetStockObject(99), nullptr);
    EXPECT_EQ(CreatePen(42, 1, 0), nullptr);
    BITMAPINFO bi;
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = -2;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(bits, nullptr);
    // B, G, R order in memory: the first pixel becomes pure red.
    static_cast<uint8_t*>(bits)[2] = 0xFF;
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, dib);
    EXPECT_EQ(GetPixel(mem, 0, 0), RGB(255, 0, 0));
    BITMAP bm;
    EXPECT_EQ(GetObjectA(dib, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    // A bitmap belongs to one memory context at a time.
    HDC mem2 = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(mem2, dib), nullptr);
    DeleteDC(mem2);
    SelectObject(mem, old);
    DeleteDC(mem);
    EXPECT_TRUE(DeleteObject(dib));
    bi.bmiHeader.biHeight = 2; // bottom-up rows are not offered
    EXPECT_EQ(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(GdiShapes, DottedPenAndHatchBrush)
{
    Canvas c(20, 20);
    HPEN dot = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(c.Dc, dot);
    MoveToEx(c.Dc, 0, 0, nullptr);
    LineTo(c.Dc, 12, 0);
    int on = 0;
    for (int x = 0; x < 12; ++x)
        on += c.At(x, 0) == RGB(0, 0, 0);
    EXPECT_GT(on, 0);
    EXPECT_LT(on, 12);
    SelectObject(c.Dc, oldPen);
    DeleteObject(dot);
    HBRUSH hatch = CreateHatchBrush(HS_CROSS, RGB(255, 0, 0));
    SetBkMode(c.Dc, TRANSPARENT);
    RECT r{0, 5, 20, 20};
    FillRect(c.Dc, &r, hatch);
    int red = 0, white = 0;
    for (int y = 5; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            red += c.At(x, y) == RGB(255, 0, 0);
            white += c.At(x, y) == RGB(255, 255, 255);
        }
    EXPECT_GT(red, 0);
    EXPECT_GT(white, red); // transparent gaps keep what was there
    DeleteObject(hatch);
}

TEST(GdiText, PrefixCharacterIsUnderlined)
{
    Canvas c(100, 30, -13, "Arial");
    SetBkMode(c.Dc, TRANSPARENT);
    RECT r{0, 0, 100, 30};
    DrawTextA(c.Dc, "&Hi", -1, &r, DT_SINGLELINE);
    TEXTMETRICA tm;
    GetTextMetricsA(c.Dc, &tm);
    int w = c.Width("H");
    for (int x = 0; x < w; ++x)
        EXPECT_EQ(c.At(x, tm.tmAscent + 1), RGB(0, 0, 0)) << x;
    Canvas plain(100, 30, -13, "Arial");
    SetBkMode(plain.Dc, TRANSPARENT);
    DrawTextA(plain.Dc, "&Hi", -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_NE(plain.Image, c.Image);
}

TEST(GdiMath, MulDivRoundsAndRejects)
{
    EXPECT_EQ(MulDiv(10, 96, 72), 13);
    EXPECT_EQ(MulDiv(8, 96, 72), 11);
    EXPECT_EQ(MulDiv(-11, 72, 96), -8);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 1), -1);
}

TEST(GdiWindow, ScrollMovesPixelsAndReportsExposedArea)
{
    EnsureGuiApplication();
    QImage surface(100, 50, QImage::Format_RGB32);
    surface.fill(Qt::white);
    auto* hwnd = reinterpret_cast<HWND>(0x1234);
    std::vector<RECT> invalidated;
    std::vector<RECT> changed;
    WindowPaintHooks hooks;
    hooks.Image = [&](HWND h, ImageUse) { return h == hwnd ? &surface : nullptr; };
    hooks.Invalidated = [&](HWND, const RECT* r, BOOL) { invalidated.push_back(r ? *r : RECT{-1, -1, -1, -1}); };
    hooks.Drawn = [&](HWND, const RECT& r) { changed.push_back(r); };
    WindowPaintHooks saved = SetWindowPaintHooks(std::move(hooks));

    HDC dc = GetDC(hwnd);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT row{0, 20, 100, 30};
    FillRect(dc, &row, red);
    ReleaseDC(hwnd, dc);
    ASSERT_FALSE(changed.empty()); // drawing outside WM_PAINT is shown
    EXPECT_EQ(changed.back(), row);
    EXPECT_EQ(invalidated.size(), 0u);

    RECT update;
    int kind = ScrollWindowEx(hwnd, 0, -10, nullptr, nullptr, nullptr, &update, SW_INVALIDATE | SW_ERASE);
    EXPECT_EQ(kind, SIMPLEREGION);
    EXPECT_EQ(update, (RECT{0, 40, 100, 50}));
    EXPECT_EQ(QColorToColorRef(surface.pixelColor(50, 10)), RGB(255, 0, 0));
    EXPECT_EQ(QColorToColorRef(surface.pixelColor(50, 19)), RGB(255, 0, 0));
    EXPECT_EQ(QColorToColorRef(surface.pixelColor(50, 20)), RGB(255, 255, 255));
    ASSERT_EQ(invalidated.size(), 1u);
    EXPECT_EQ(invalidated[0], update);

    // The invalidated area becomes BeginPaint's clip, once.
    PAINTSTRUCT ps;
    HDC pdc = BeginPaint(hwnd, &ps);
    EXPECT_EQ(ps.rcPaint, update);
    EXPECT_TRUE(ps.fErase);
    RECT clip;
    GetClipBox(pdc, &clip);
    EXPECT_EQ(clip, update);
    EndPaint(hwnd, &ps);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE));

    // Both directions at once uncover an L shape; its bounding box is reported.
    kind = ScrollWindowEx(hwnd, 5, 5, nullptr, nullptr, nullptr, &update, 0);
    EXPECT_EQ(kind, COMPLEXREGION);
    EXPECT_EQ(update, (RECT{0, 0, 100, 50}));

    // Without a backing image the whole window is invalidated.
    invalidated.clear();
    EXPECT_EQ(ScrollWindowEx(reinterpret_cast<HWND>(0x99), 0, 5, nullptr, nullptr, nullptr, &update, SW_INVALIDATE),
              RGN_ERROR);
    ASSERT_EQ(invalidated.size(), 1u);
    EXPECT_EQ(invalidated[0].left, -1);

    DeleteObject(red);
    ForgetWindowUpdate(hwnd);
    ForgetWindowUpdate(reinterpret_cast<HWND>(0x99));
    SetWindowPaintHooks(std::move(saved));
}

TEST(GdiMetrics, ScreenMetricsAndDeviceCaps)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
    EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
    SetSystemMetricsOverride(SM_CXVSCROLL, 21);
    SetSystemMetricsOverride(SM_CXSCREEN, 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 21);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
    EXPECT_EQ(GetDeviceCaps(screen, PHYSICALWIDTH), 0);
    ReleaseDC(nullptr, screen);
    ClearSystemMetricsOverrides();
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
}

TEST(FontMapping, KnownFacesAndFallback)
{
    EXPECT_EQ(MapFontFace("Fixedsys").Family, "DejaVu Sans Mono");
    EXPECT_TRUE(MapFontFace("Fixedsys").FixedPitch);
    EXPECT_EQ(MapFontFace("MS Sans Serif").Family, "Liberation Sans");
    EXPECT_EQ(MapFontFace("arial").Family, "Liberation Sans");
    EXPECT_EQ(MapFontFace("Tahoma").Family, "Liberation Sans");
    EXPECT_EQ(MapFontFace("Courier New").Family, "Liberation Mono");
    EXPECT_EQ(MapFontFace("Courier").Family, "Liberation Mono");
    EXPECT_EQ(MapFontFace("Times New Roman").Family, "Liberation Serif");
    EXPECT_EQ(MapFontFace("System").Family, "DejaVu Sans");
    EXPECT_TRUE(MapFontFace("System").ForceBold);
    EXPECT_EQ(MapFontFace("Arial Black").Family, "Liberation Sans");
    EXPECT_TRUE(MapFontFace("Arial Black").ForceBold);
    EXPECT_EQ(MapFontFace("No Such Face").Family, "No Such Face");
    EXPECT_FALSE(MapFontFace("No Such Face").ForceBold);
    EXPECT_EQ(MapFontFace("").Family, "Liberation Sans");
}

TEST(Codepage, RoundTripsAndSubstitutes)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(QStringToCp1252(Cp1252ToQString(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC\xC3\xA4"), "\x80\xE4");
    EXPECT_EQ(Utf8ToCp1252("a\xE4z"), "a?z");             // a stray Latin-1 byte is not UTF-8
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");            // overlong
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5", '#'), "#");    // no such character in the code page
}

} // namespace

// The toolkit is told not to share pixels with the X server through shared memory; programs
// started later (the browser showing the read-me) must not inherit that. A value the user set
// before the start is theirs and stays.
TEST(GuiApplication, StartedProgramsDoNotInheritTheSharedMemorySetting)
{
    EnsureGuiApplication();
    std::ifstream start("/proc/self/environ", std::ios::binary);
    const std::string atStart{std::istreambuf_iterator<char>(start), std::istreambuf_iterator<char>()};
    const std::string name = "QT_XCB_NO_MITSHM=";
    const bool userSet = atStart.starts_with(name) || atStart.find('\0' + name) != std::string::npos;
    EXPECT_EQ(std::getenv("QT_XCB_NO_MITSHM") != nullptr, userSet);
}
