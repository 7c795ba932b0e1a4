#include "framework/Graphics.h"

#include <QFile>
#include <QImage>
#include <QString>

#include <cstring>

#include "framework/SysUtils.h"
#include "platform/Codepage.h"
#include "platform/HexDigit.h"

// ---- Colours -----------------------------------------------------------------------------

namespace {
struct ColorName {
    TColor Value;
    const char* Name;
};
const ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuText, "clMenuText"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};
} // namespace

COLORREF ColorToRGB(TColor color)
{
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

bool ColorToIdent(TColor color, std::string& ident)
{
    for (const ColorName& c : kColorNames)
        if (c.Value == color) {
            ident = c.Name;
            return true;
        }
    return false;
}

bool IdentToColor(const std::string& ident, TColor& color)
{
    for (const ColorName& c : kColorNames)
        if (SameText(ident, c.Name)) {
            color = c.Value;
            return true;
        }
    return false;
}

void RegisterColorIdents()
{
    RegisterIntegerIdents(
        "TColor",
        [](const std::string& ident, int64_t& value) {
            TColor c;
            if (!IdentToColor(ident, c))
                return false;
            value = c;
            return true;
        },
        [](int64_t value, std::string& ident) { return ColorToIdent(static_cast<TColor>(value), ident); });
}

std::string ColorToString(TColor color)
{
    std::string ident;
    if (ColorToIdent(color, ident))
        return ident;
    static const char kHex[] = "0123456789ABCDEF";
    std::string s = "$";
    auto v = static_cast<uint32_t>(color);
    for (int shift = 28; shift >= 0; shift -= 4)
        s.push_back(kHex[(v >> shift) & 0xF]);
    return s;
}

TColor StringToColor(const std::string& s)
{
    TColor c;
    if (IdentToColor(s, c))
        return c;
    int64_t v = 0;
    bool ok = false;
    if (s.size() > 1 && s.size() <= 9 && s[0] == '$') {
        ok = true;
        for (size_t i = 1; i < s.size() && ok; ++i) {
            int d = HexDigitValue(s[i]);
            ok = d >= 0;
            v = v * 16 + d;
        }
    } else {
        ok = TryStrToInt64(s, v);
    }
    if (ok && v >= INT32_MIN && v <= static_cast<int64_t>(UINT32_MAX))
        return static_cast<TColor>(static_cast<uint32_t>(v));
    throw EConvertError("'" + s + "' is not a valid integer value");
}

// ---- Drawing tools -----------------------------------------------------------------------

QM_CLASS_IMPL(TGraphicsObject, TPersistent)

void TGraphicsObject::Changed()
{
    OnChange(this);
}

namespace {
// Owners learn of a tool's handle being freed through this, so a canvas can deselect it
// before it is deleted.
std::unordered_map<const TGraphicsObject*, std::function<void()>>& ReleaseHooks()
{
    static std::unordered_map<const TGraphicsObject*, std::function<void()>> hooks;
    return hooks;
}

void DeleteToolHandle(const TGraphicsObject* tool, HGDIOBJ h)
{
    if (!h)
        return;
    if (!DeleteObject(h)) {
        // Still selected somewhere: have the owner let go of it, then delete it.
        if (auto it = ReleaseHooks().find(tool); it != ReleaseHooks().end() && it->second)
            it->second();
        DeleteObject(h);
    }
}
} // namespace

QM_CLASS_IMPL(TFont, TGraphicsObject, [](TClassBuilder<TFont>& b) {
    // Every control with a font reaches this, so colour names are known before any form
    // description is read.
    RegisterColorIdents();
    b.Property("Charset", &TFont::GetCharset, &TFont::SetCharset).Default(DEFAULT_CHARSET);
    b.Property("Color", &TFont::GetColor, &TFont::SetColor).Default(clWindowText).TypeName("TColor");
    b.Property("Height", &TFont::GetHeight, &TFont::SetHeight).NoDefault();
    b.Property("Name", &TFont::GetName, &TFont::SetName).NoDefault();
    b.Property("Pitch", &TFont::GetPitch, &TFont::SetPitch).Default(fpDefault);
    b.Property("Size", &TFont::GetSize, &TFont::SetSize).Stored(false).NoRoundTrip();
    b.Property("Style", &TFont::GetStyle, &TFont::SetStyle).Default(TFontStyles{});
    b.Property("OnChange", &TFont::OnChange);
})

TFont::TFont() = default;

TFont::~TFont()
{
    FreeHandle();
    ReleaseHooks().erase(this);
}

void TFont::FreeHandle()
{
    DeleteToolHandle(this, FHandle);
    FHandle = nullptr;
}

void TFont::Assign(TPersistent* Source)
{
    if (auto* f = dynamic_cast<TFont*>(Source)) {
        FreeHandle();
        FName = f->FName;
        FHeight = f->FHeight;
        if (f->PixelsPerInch != PixelsPerInch)
            FHeight = MulDiv(f->FHeight, PixelsPerInch, f->PixelsPerInch);
        FStyle = f->FStyle;
        FColor = f->FColor;
        FCharset = f->FCharset;
        FPitch = f->FPitch;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

#define QM_TOOL_SETTER(Cls, Setter, Type, Field)  \
    void Cls::Setter(Type v)                      \
    {                                             \
        if (Field == v)                           \
            return;                               \
        FreeHandle();                             \
        Field = v;                                \
        Changed();                                \
    }

QM_TOOL_SETTER(TFont, SetName, const std::string&, FName)
QM_TOOL_SETTER(TFont, SetHeight, int, FHeight)
QM_TOOL_SETTER(TFont, SetStyle, TFontStyles, FStyle)
QM_TOOL_SETTER(TFont, SetCharset, TFontCharset, FCharset)
QM_TOOL_SETTER(TFont, SetPitch, TFontPitch, FPitch)
QM_TOOL_SETTER(TBrush, SetStyle, TBrushStyle, FStyle)
QM_TOOL_SETTER(TPen, SetColor, TColor, FColor)
QM_TOOL_SETTER(TPen, SetStyle, TPenStyle, FStyle)
QM_TOOL_SETTER(TPen, SetWidth, int, FWidth)
#undef QM_TOOL_SETTER

void TFont::SetColor(TColor v)
{
    // The colour is not part of the font handle.
    if (FColor == v)
        return;
    FColor = v;
    Changed();
}

void TBrush::SetColor(TColor v)
{
    // A colour asks for a solid fill: a clear brush given a colour draws again, even when
    // the colour is the one it already had.
    if (FColor == v && FStyle != bsClear)
        return;
    FreeHandle();
    FColor = v;
    if (FStyle == bsClear)
        FStyle = bsSolid;
    Changed();
}

void TPen::SetMode(TPenMode v)
{
    if (FMode == v)
        return;
    FMode = v;
    Changed();
}

int TFont::GetSize() const
{
    return -MulDiv(FHeight, 72, PixelsPerInch);
}

void TFont::SetSize(int v)
{
    SetHeight(-MulDiv(v, PixelsPerInch, 72));
}

HFONT TFont::GetHandle()
{
    if (!FHandle) {
        LOGFONTA lf;
        lf.lfHeight = FHeight;
        lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = FStyle.Contains(fsItalic);
        lf.lfUnderline = FStyle.Contains(fsUnderline);
        lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
        lf.lfCharSet = FCharset;
        lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
        std::strncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
        FHandle = CreateFontIndirectA(&lf);
    }
    return FHandle;
}

QM_CLASS_IMPL(TBrush, TGraphicsObject, [](TClassBuilder<TBrush>& b) {
    b.Property("Color", &TBrush::GetColor, &TBrush::SetColor).Default(clWhite).TypeName("TColor");
    b.Property("Style", &TBrush::GetStyle, &TBrush::SetStyle).Default(bsSolid);
    b.Property("OnChange", &TBrush::OnChange);
})

TBrush::~TBrush()
{
    FreeHandle();
    ReleaseHooks().erase(this);
}

void TBrush::FreeHandle()
{
    DeleteToolHandle(this, FHandle);
    FHandle = nullptr;
}

void TBrush::Assign(TPersistent* Source)
{
    if (auto* b = dynamic_cast<TBrush*>(Source)) {
        FreeHandle();
        FColor = b->FColor;
        FStyle = b->FStyle;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

HBRUSH TBrush::GetHandle()
{
    if (FStyle == bsClear)
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (!FHandle) {
        if (FStyle == bsSolid)
            FHandle = CreateSolidBrush(ColorToRGB(FColor));
        else
            FHandle = CreateHatchBrush(static_cast<int>(FStyle) - bsHorizontal, ColorToRGB(FColor));
    }
    return FHandle;
}

QM_CLASS_IMPL(TPen, TGraphicsObject, [](TClassBuilder<TPen>& b) {
    b.Property("Color", &TPen::GetColor, &TPen::SetColor).Default(clBlack).TypeName("TColor");
    b.Property("Mode", &TPen::GetMode, &TPen::SetMode).Default(pmCopy);
    b.Property("Style", &TPen::GetStyle, &TPen::SetStyle).Default(psSolid);
    b.Property("Width", &TPen::GetWidth, &TPen::SetWidth).Default(1);
    b.Property("OnChange", &TPen::OnChange);
})

TPen::~TPen()
{
    FreeHandle();
    ReleaseHooks().erase(this);
}

void TPen::FreeHandle()
{
    DeleteToolHandle(this, FHandle);
    FHandle = nullptr;
}

void TPen::Assign(TPersistent* Source)
{
    if (auto* p = dynamic_cast<TPen*>(Source)) {
        FreeHandle();
        FColor = p->FColor;
        FWidth = p->FWidth;
        FStyle = p->FStyle;
        FMode = p->FMode;
        Changed();
        return;
    }
    TGraphicsObject::Assign(Source);
}

HPEN TPen::GetHandle()
{
    if (!FHandle)
        FHandle = CreatePen(static_cast<int>(FStyle) == psInsideFrame ? PS_INSIDEFRAME : static_cast<int>(FStyle),
                            FWidth, ColorToRGB(FColor));
    return FHandle;
}

// ---- Canvas ------------------------------------------------------------------------------

QM_CLASS_IMPL(TCanvas, TPersistent)

TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>())
{
    for (TGraphicsObject* tool : {static_cast<TGraphicsObject*>(FFont.get()), static_cast<TGraphicsObject*>(FBrush.get()),
                                  static_cast<TGraphicsObject*>(FPen.get())})
        ReleaseHooks()[tool] = [this] { DeselectHandles(); };
}

TCanvas::~TCanvas()
{
    DeselectHandles();
}

void TCanvas::DeselectHandles()
{
    if (!FHandle)
        return;
    if (FOldFont)
        SelectObject(FHandle, FOldFont);
    if (FOldBrush)
        SelectObject(FHandle, FOldBrush);
    if (FOldPen)
        SelectObject(FHandle, FOldPen);
    FOldFont = FOldBrush = FOldPen = nullptr;
}

HDC TCanvas::GetHandle()
{
    if (!FHandle)
        CreateHandle();
    if (!FHandle)
        throw EInvalidOperation("Canvas does not allow drawing");
    return FHandle;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == FHandle)
        return;
    DeselectHandles();
    FHandle = dc;
}

void TCanvas::RequireState(bool font, bool pen, bool brush)
{
    HDC dc = GetHandle();
    if (font) {
        HGDIOBJ old = SelectObject(dc, FFont->GetHandle());
        if (!FOldFont)
            FOldFont = old;
        SetTextColor(dc, ColorToRGB(FFont->GetColor()));
    }
    if (pen) {
        HGDIOBJ old = SelectObject(dc, FPen->GetHandle());
        if (!FOldPen)
            FOldPen = old;
        static constexpr int kRop2[] = {R2_BLACK, R2_WHITE, R2_NOP, R2_NOT, R2_COPYPEN, 4, 2, 3, 14, 5, 15, 9, 9, 8, R2_XORPEN, R2_NOTXORPEN};
        SetROP2(dc, kRop2[FPen->GetMode()]);
    }
    if (brush) {
        HGDIOBJ old = SelectObject(dc, FBrush->GetHandle());
        if (!FOldBrush)
            FOldBrush = old;
        SetBkColor(dc, ColorToRGB(FBrush->GetColor()));
        SetBkMode(dc, FBrush->GetStyle() == bsClear ? TRANSPARENT : OPAQUE);
    }
}

void TCanvas::Changing()
{
    OnChanging(this);
}

void TCanvas::Changed()
{
    OnChange(this);
}

void TCanvas::TextOut(int X, int Y, const std::string& Text)
{
    Changing();
    RequireState(true, false, true);
    ExtTextOutA(FHandle, X, Y, 0, nullptr, Text.data(), static_cast<UINT>(Text.size()), nullptr);
    MoveToEx(FHandle, X + TextWidth(Text), Y, nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::string& Text)
{
    Changing();
    RequireState(true, false, true);
    UINT options = ETO_CLIPPED | (FBrush->GetStyle() != bsClear ? ETO_OPAQUE : 0);
    ExtTextOutA(FHandle, X, Y, options, &R, Text.data(), static_cast<UINT>(Text.size()), nullptr);
    Changed();
}

SIZE TCanvas::TextExtent(const std::string& Text)
{
    RequireState(true, false, false);
    SIZE sz;
    GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &sz);
    return sz;
}

int TCanvas::TextWidth(const std::string& Text)
{
    return TextExtent(Text).cx;
}

int TCanvas::TextHeight(const std::string& Text)
{
    return TextExtent(Text).cy;
}

void TCanvas::FillRect(const TRect& R)
{
    Changing();
    RequireState(false, false, true);
    ::FillRect(FHandle, &R, FBrush->GetHandle());
    Changed();
}

void TCanvas::FrameRect(const TRect& R)
{
    Changing();
    RequireState(false, false, true);
    ::FrameRect(FHandle, &R, FBrush->GetHandle());
    Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    Changing();
    RequireState(false, true, true);
    ::Rectangle(FHandle, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2)
{
    Changing();
    RequireState(false, true, true);
    ::Ellipse(FHandle, X1, Y1, X2, Y2);
    Changed();
}

void TCanvas::MoveTo(int X, int Y)
{
    MoveToEx(GetHandle(), X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y)
{
    Changing();
    RequireState(false, true, true);
    ::LineTo(FHandle, X, Y);
    Changed();
}

TPoint TCanvas::GetPenPos()
{
    TPoint p;
    GetCurrentPositionEx(GetHandle(), &p);
    return p;
}

TColor TCanvas::GetPixel(int X, int Y)
{
    return static_cast<TColor>(::GetPixel(GetHandle(), X, Y));
}

void TCanvas::SetPixel(int X, int Y, TColor Color)
{
    Changing();
    ::SetPixel(GetHandle(), X, Y, ColorToRGB(Color));
    Changed();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic)
{
    if (!Graphic || Graphic->GetEmpty())
        return;
    Changing();
    Graphic->Draw(this, Rect(X, Y, X + Graphic->GetWidth(), Y + Graphic->GetHeight()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic)
{
    if (!Graphic || Graphic->GetEmpty())
        return;
    Changing();
    Graphic->Draw(this, R);
    Changed();
}

TRect TCanvas::GetClipRect()
{
    TRect r;
    GetClipBox(GetHandle(), &r);
    return r;
}

// ---- Graphics ----------------------------------------------------------------------------

QM_CLASS_IMPL(TGraphic, TPersistent)

void TGraphic::Changed()
{
    OnChange(this);
}

// A bitmap's canvas: a memory context holding the bitmap, made on first use.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* owner) : FOwner(owner) {}
    ~TBitmapCanvas() override { Release(); }
    void Release()
    {
        HDC dc = HandleAllocated() ? GetHandle() : nullptr;
        SetHandle(nullptr);
        if (dc) {
            SelectObject(dc, FOldBitmap);
            DeleteDC(dc);
        }
        FOldBitmap = nullptr;
    }

protected:
    void CreateHandle() override
    {
        // An empty bitmap still gets a 1x1 surface so drawing on it is harmless.
        if (!FOwner->FHandle)
            FOwner->FHandle = CreateBitmapFromImage(QImage(1, 1, QImage::Format_RGB32));
        HDC dc = CreateCompatibleDC(nullptr);
        FOldBitmap = SelectObject(dc, FOwner->FHandle);
        SetHandle(dc);
    }

private:
    TBitmap* FOwner;
    HGDIOBJ FOldBitmap = nullptr;
};

QM_CLASS_IMPL(TBitmap, TGraphic)

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    if (FCanvas)
        static_cast<TBitmapCanvas*>(FCanvas.get())->Release();
    FCanvas.reset();
    if (FHandle)
        DeleteObject(FHandle);
}

void TBitmap::Replace(HBITMAP bmp)
{
    if (FCanvas)
        static_cast<TBitmapCanvas*>(FCanvas.get())->Release();
    if (FHandle)
        DeleteObject(FHandle);
    FHandle = bmp;
    Changed();
}

TCanvas* TBitmap::Canvas()
{
    if (!FCanvas)
        FCanvas = std::make_unique<TBitmapCanvas>(this);
    return FCanvas.get();
}

int TBitmap::GetWidth() const
{
    QImage* img = BitmapImage(FHandle);
    return img ? img->width() : 0;
}

int TBitmap::GetHeight() const
{
    QImage* img = BitmapImage(FHandle);
    return img ? img->height() : 0;
}

bool TBitmap::GetEmpty() const
{
    return GetWidth() == 0 || GetHeight() == 0;
}

void TBitmap::SetWidth(int v)
{
    SetSize(v, GetHeight());
}

void TBitmap::SetHeight(int v)
{
    SetSize(GetWidth(), v);
}

void TBitmap::SetSize(int w, int h)
{
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == GetWidth() && h == GetHeight())
        return;
    if (w == 0 || h == 0) {
        Replace(nullptr);
        return;
    }
    // New area white, the old picture kept in the top-left corner.
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    if (QImage* old = BitmapImage(FHandle))
        for (int y = 0; y < std::min(h, old->height()); ++y)
            std::memcpy(img.scanLine(y), old->constScanLine(y), static_cast<size_t>(std::min(w, old->width())) * 4);
    Replace(CreateBitmapFromImage(std::move(img)));
}

TColor TBitmap::GetTransparentColor() const
{
    if (FTransparentColor != clDefault && TransparentMode == tmFixed)
        return FTransparentColor;
    QImage* img = BitmapImage(FHandle);
    if (!img || img->isNull())
        return clDefault;
    return static_cast<TColor>(QColorToColorRef(img->pixelColor(0, img->height() - 1)));
}

void TBitmap::SetTransparentColor(TColor v)
{
    FTransparentColor = v;
    TransparentMode = v == clDefault ? tmAuto : tmFixed;
    Changed();
}

void TBitmap::Assign(TPersistent* Source)
{
    if (!Source) {
        Replace(nullptr);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        if (b == this)
            return;
        QImage* img = BitmapImage(b->FHandle);
        PixelFormat = b->PixelFormat;
        FTransparent = b->FTransparent;
        TransparentMode = b->TransparentMode;
        FTransparentColor = b->FTransparentColor;
        Replace(img ? CreateBitmapFromImage(*img) : nullptr);
        return;
    }
    if (auto* p = dynamic_cast<TPicture*>(Source)) {
        Assign(p->GetGraphic());
        return;
    }
    TGraphic::Assign(Source);
}

namespace {
QString FilePath(const std::string& name)
{
    return QString::fromUtf8(Cp1252ToUtf8(name));
}
} // namespace

void TBitmap::LoadFromFile(const std::string& FileName)
{
    EnsureGuiApplication();
    QImage img;
    if (!img.load(FilePath(FileName)))
        throw EInvalidGraphic("Bitmap image is not valid");
    Replace(CreateBitmapFromImage(std::move(img)));
}

void TBitmap::SaveToFile(const std::string& FileName)
{
    QImage* img = BitmapImage(FHandle);
    QImage out = img ? img->convertToFormat(QImage::Format_RGB888) : QImage();
    if (out.isNull() || !out.save(FilePath(FileName), "BMP"))
        throw EInvalidGraphic("Cannot create file \"" + FileName + "\"");
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& R)
{
    if (GetEmpty() || !ACanvas)
        return;
    HDC src = Canvas()->GetHandle();
    HDC dst = ACanvas->GetHandle();
    int w = R.right - R.left;
    int h = R.bottom - R.top;
    bool sameSize = w == GetWidth() && h == GetHeight();
    if (!FTransparent || !sameSize) {
        StretchBlt(dst, R.left, R.top, w, h, src, 0, 0, GetWidth(), GetHeight(), ACanvas->CopyMode);
        return;
    }
    TransparentBlt(dst, R.left, R.top, w, h, src, 0, 0, w, h, ColorToRGB(GetTransparentColor()));
}

QM_CLASS_IMPL(TPicture, TPersistent)

TPicture::~TPicture()
{
    delete FGraphic;
}

void TPicture::Changed()
{
    OnChange(this);
}

void TPicture::SetGraphic(TGraphic* v)
{
    std::unique_ptr<TBitmap> copy;
    if (v) {
        copy = std::make_unique<TBitmap>();
        copy->Assign(v);
    }
    delete FGraphic;
    FGraphic = copy.release();
    Changed();
}

TBitmap* TPicture::Bitmap()
{
    auto* b = dynamic_cast<TBitmap*>(FGraphic);
    if (!b) {
        delete FGraphic;
        b = new TBitmap;
        FGraphic = b;
        Changed();
    }
    return b;
}

void TPicture::Assign(TPersistent* Source)
{
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    if (auto* p = dynamic_cast<TPicture*>(Source)) {
        SetGraphic(p->FGraphic);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName)
{
    auto b = std::make_unique<TBitmap>();
    b->LoadFromFile(FileName);
    delete FGraphic;
    FGraphic = b.release();
    Changed();
}

void TPicture::SaveToFile(const std::string& FileName)
{
    if (FGraphic)
        FGraphic->SaveToFile(FileName);
}
