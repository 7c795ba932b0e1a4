#pragma once
// Colours, fonts, brushes, pens, canvases and bitmaps of the component library, drawing
// through the device contexts of platform/Gdi.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "framework/Types.h"
#include "platform/Gdi.h"

QM_EXCEPTION(EInvalidGraphic, Exception)
QM_EXCEPTION(EInvalidGraphicOperation, Exception)

using TRect = RECT;
using TPoint = POINT;
inline TRect Rect(int left, int top, int right, int bottom) { return TRect{left, top, right, bottom}; }
inline TPoint Point(int x, int y) { return TPoint{x, y}; }

// ---- Colours -----------------------------------------------------------------------------
// $00BBGGRR for an RGB colour; $80000000 | COLOR_x for a system colour.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | COLOR_MENU;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours resolved, anything else its low 24 bits (so
// clNone reads as white and clDefault as black).
COLORREF ColorToRGB(TColor color);
// "clRed" for a named colour, else "$00BBGGRR".
std::string ColorToString(TColor color);
// A colour name, "$" hex or a decimal number; EConvertError otherwise.
TColor StringToColor(const std::string& s);
bool ColorToIdent(TColor color, std::string& ident);
bool IdentToColor(const std::string& ident, TColor& color);
// Makes colour names ("clBtnFace") readable and writable for properties of type TColor.
void RegisterColorIdents();

// ---- Fonts, brushes, pens ----------------------------------------------------------------
QM_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)
using TFontStyles = Set<TFontStyle>;
QM_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed)
using TFontName = std::string;
using TFontCharset = uint8_t;

// Base of the drawing tools: announces each change to its canvas and to OnChange.
class TGraphicsObject : public TPersistent {
    QM_CLASS(TGraphicsObject, TPersistent)
public:
    TNotifyEvent OnChange;

protected:
    virtual void Changed();
};

class TFont : public TGraphicsObject {
    QM_CLASS(TFont, TGraphicsObject)
public:
    TFont();
    ~TFont() override;
    void Assign(TPersistent* Source) override;

    std::string GetName() const { return FName; }
    void SetName(const std::string& v);
    int GetSize() const; // points at PixelsPerInch
    void SetSize(int v);
    int GetHeight() const { return FHeight; }
    void SetHeight(int v);
    TFontStyles GetStyle() const { return FStyle; }
    void SetStyle(TFontStyles v);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    TFontCharset GetCharset() const { return FCharset; }
    void SetCharset(TFontCharset v);
    TFontPitch GetPitch() const { return FPitch; }
    void SetPitch(TFontPitch v);
    // Resolution that converts Size to Height; the screen's 96 unless a printer canvas sets it.
    int PixelsPerInch = 96;
    // A font handle for the current attributes, owned by this object.
    HFONT GetHandle();

private:
    void FreeHandle();
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    TFontCharset FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    HFONT FHandle = nullptr;
};

QM_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
        bsDiagCross)

class TBrush : public TGraphicsObject {
    QM_CLASS(TBrush, TGraphicsObject)
public:
    TBrush() = default;
    ~TBrush() override;
    void Assign(TPersistent* Source) override;
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    TBrushStyle GetStyle() const { return FStyle; }
    void SetStyle(TBrushStyle v);
    HBRUSH GetHandle();

private:
    void FreeHandle();
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    HBRUSH FHandle = nullptr;
};

QM_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)
QM_ENUM(TPenMode, pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
        pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor)

class TPen : public TGraphicsObject {
    QM_CLASS(TPen, TGraphicsObject)
public:
    TPen() = default;
    ~TPen() override;
    void Assign(TPersistent* Source) override;
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    int GetWidth() const { return FWidth; }
    void SetWidth(int v);
    TPenStyle GetStyle() const { return FStyle; }
    void SetStyle(TPenStyle v);
    TPenMode GetMode() const { return FMode; }
    void SetMode(TPenMode v);
    HPEN GetHandle();

private:
    void FreeHandle();
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    HPEN FHandle = nullptr;
};

// ---- Canvas ------------------------------------------------------------------------------
class TGraphic;

class TCanvas : public TPersistent {
    QM_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    ~TCanvas() override;

    TFont* Font() const { return FFont.get(); }
    TBrush* Brush() const { return FBrush.get(); }
    TPen* Pen() const { return FPen.get(); }
    void SetFont(TFont* v) { FFont->Assign(v); }
    void SetBrush(TBrush* v) { FBrush->Assign(v); }
    void SetPen(TPen* v) { FPen->Assign(v); }

    // The context drawn on; not owned unless a subclass says so. Null until assigned, or
    // until CreateHandle supplies one on first use.
    HDC GetHandle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    void TextOut(int X, int Y, const std::string& Text);
    void TextRect(const TRect& Rect, int X, int Y, const std::string& Text);
    int TextWidth(const std::string& Text);
    int TextHeight(const std::string& Text);
    SIZE TextExtent(const std::string& Text);
    void FillRect(const TRect& Rect);
    void FrameRect(const TRect& Rect);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.left, R.top, R.right, R.bottom); }
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    TPoint GetPenPos();
    TColor GetPixel(int X, int Y);
    void SetPixel(int X, int Y, TColor Color);
    void Draw(int X, int Y, TGraphic* Graphic);
    void StretchDraw(const TRect& Rect, TGraphic* Graphic);
    DWORD CopyMode = SRCCOPY;
    TRect GetClipRect();

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    virtual void CreateHandle() {}
    // Selects the tools into the context and sets its colours and background mode.
    void RequireState(bool font, bool pen, bool brush);
    void Changing();
    void Changed();

private:
    void DeselectHandles();
    HDC FHandle = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
    HGDIOBJ FOldFont = nullptr;
    HGDIOBJ FOldBrush = nullptr;
    HGDIOBJ FOldPen = nullptr;
};

// ---- Graphics ----------------------------------------------------------------------------
class TGraphic : public TPersistent {
    QM_CLASS(TGraphic, TPersistent)
public:
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int v) = 0;
    virtual void SetHeight(int v) = 0;
    virtual bool GetEmpty() const = 0;
    virtual void LoadFromFile(const std::string& FileName) = 0;
    virtual void SaveToFile(const std::string& FileName) = 0;
    // Draws the whole graphic scaled into Rect.
    virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
    bool GetTransparent() const { return FTransparent; }
    virtual void SetTransparent(bool v) { FTransparent = v; }
    TNotifyEvent OnChange;

protected:
    void Changed();
    bool FTransparent = false;
};

QM_ENUM(TPixelFormat, pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom)
QM_ENUM(TTransparentMode, tmAuto, tmFixed)

class TBitmap : public TGraphic {
    QM_CLASS(TBitmap, TGraphic)
public:
    TBitmap();
    ~TBitmap() override;
    void Assign(TPersistent* Source) override;

    int GetWidth() const override;
    int GetHeight() const override;
    void SetWidth(int v) override;
    void SetHeight(int v) override;
    void SetSize(int w, int h);
    bool GetEmpty() const override;
    TCanvas* Canvas();
    HBITMAP GetHandle() const { return FHandle; }
    TPixelFormat PixelFormat = pfDevice;
    // Transparent drawing leaves out the pixels of TransparentColor: the bottom-left pixel
    // with tmAuto.
    TTransparentMode TransparentMode = tmAuto;
    TColor GetTransparentColor() const;
    void SetTransparentColor(TColor v);

    void LoadFromFile(const std::string& FileName) override;
    void SaveToFile(const std::string& FileName) override; // always as BMP
    void Draw(TCanvas* ACanvas, const TRect& Rect) override;

private:
    friend class TBitmapCanvas;
    void Replace(HBITMAP bmp);
    HBITMAP FHandle = nullptr; // null while empty
    std::unique_ptr<TCanvas> FCanvas;
    TColor FTransparentColor = clDefault;
};

class TPicture : public TPersistent {
    QM_CLASS(TPicture, TPersistent)
public:
    TPicture() = default;
    ~TPicture() override;
    void Assign(TPersistent* Source) override;
    TGraphic* GetGraphic() const { return FGraphic; }
    void SetGraphic(TGraphic* v); // takes a copy
    // The graphic as a bitmap, replacing any other graphic with an empty bitmap.
    TBitmap* Bitmap();
    int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
    int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);
    TNotifyEvent OnChange;

private:
    void Changed();
    TGraphic* FGraphic = nullptr;
};
