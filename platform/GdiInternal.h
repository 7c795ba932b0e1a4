#pragma once
// What the parts of the drawing layer share: the objects behind the handles, the state of a
// device context, and the painter that applies that state to one drawing call.
#include "platform/Gdi.h"

#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/Codepage.h"
#include "platform/WindowPaintHooks.h"

namespace gdi_detail {

constexpr int kDotsPerMeter96 = 3780; // 96 dpi

struct ObjectInfo {
    UINT Type = 0;
    bool Stock = false;
    int Selected = 0; // how many contexts hold it
};

// A character's advance is measured when first asked for, and the widths over the whole
// character set when the text metrics are: measuring loads the glyph, and most fonts only
// ever draw a few letters.
class FontData {
public:
    explicit FontData(const QFont& font) : Font(font), Metrics(font) { Advances.fill(-1); }
    QFont Font;
    QFontMetrics Metrics;
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0;
    int ExternalLeading = 0;

    int Advance(unsigned char c) const
    {
        int& a = Advances[c];
        if (a < 0)
            a = c < 0x20 ? 0 : std::max(0, Metrics.horizontalAdvance(Cp1252ToQChar(c)));
        return a;
    }
    int AveWidth() const { return Summary().Ave; }
    int MaxWidth() const { return Summary().Max; }
    bool Fixed() const { return Summary().Fixed; }

private:
    struct Widths {
        int Ave = 0;
        int Max = 0;
        bool Fixed = true;
    };
    const Widths& Summary() const
    {
        if (Summarized)
            return Sum;
        const int first = Advance(' ');
        for (int c = 0x20; c < 256; ++c) {
            // The bytes the code page leaves undefined and DEL are in no font: asking for
            // them makes the toolkit search every installed font for a stand-in.
            if (c >= 0x7F && !Cp1252ToQChar(static_cast<unsigned char>(c)).isPrint())
                continue;
            const int adv = Advance(static_cast<unsigned char>(c));
            if (c >= 0x20 && c < 0x7F && adv != first)
                Sum.Fixed = false;
            Sum.Max = std::max(Sum.Max, adv);
        }
        // The weighted average of the lower-case letters and the blank, as the Win32 value
        // is commonly defined; for a fixed font it is the cell width.
        if (Sum.Fixed) {
            Sum.Ave = first;
        } else {
            int sum = Advance(' ');
            for (int c = 'a'; c <= 'z'; ++c)
                sum += Advance(static_cast<unsigned char>(c));
            Sum.Ave = (sum + 13) / 27;
        }
        Summarized = true;
        return Sum;
    }
    mutable std::array<int, 256> Advances;
    mutable bool Summarized = false;
    mutable Widths Sum;
};

struct FontObj : HFONT__ {
    LOGFONTA Log;
    std::shared_ptr<FontData> Data;
};
struct BrushObj : HBRUSH__ {
    LOGBRUSH Log;
};
struct PenObj : HPEN__ {
    LOGPEN Log;
};
struct BitmapObj : HBITMAP__ {
    QImage Image;
    // Where the picture is not of its transparent colour: made by the first TransparentBlt
    // and kept while neither the picture nor the colour changes.
    QRegion Opaque;
    qint64 OpaqueKey = 0;
    COLORREF OpaqueColor = 0;
};
struct RgnObj : HRGN__ {
    QRect Rect;
};

std::unordered_map<HGDIOBJ, ObjectInfo>& Objects();
ObjectInfo* InfoOf(HGDIOBJ obj);

template <class T> T* Register(T* obj, UINT type, bool stock = false)
{
    Objects()[obj] = ObjectInfo{type, stock, 0};
    return obj;
}

template <class T> T* As(HGDIOBJ obj, UINT type)
{
    ObjectInfo* info = InfoOf(obj);
    return info && info->Type == type ? static_cast<T*>(obj) : nullptr;
}

QImage NewImage(int w, int h);

inline QRect ToQRect(const RECT& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}


inline RECT ToRECT(const QRect& r)
{
    if (r.isEmpty())
        return RECT{};
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}


inline QRect Normalized(int l, int t, int r, int b)
{
    return QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1));
}

FontData& DataOf(FontObj* f);

struct Stock {
    HGDIOBJ Objects[18] = {};
    BitmapObj* DefaultBitmap = nullptr;
    Stock();
};
Stock& Stocks();

struct DcState {
    FontObj* Font = nullptr;
    BrushObj* Brush = nullptr;
    PenObj* Pen = nullptr;
    BitmapObj* Bitmap = nullptr; // memory contexts only
    COLORREF Text = RGB(0, 0, 0);
    COLORREF Bk = RGB(255, 255, 255);
    int BkMode = OPAQUE;
    int Rop2 = R2_COPYPEN;
    UINT Align = TA_LEFT | TA_TOP;
    POINT Pos;
    POINT Origin;
    POINT BrushOrg;
    bool Clipped = false;
    QRect Clip; // device coordinates
    int StretchMode = BLACKONWHITE;
};

} // namespace gdi_detail

struct HDC__ {
    enum KindType { Memory, Image, Painter, Window, Screen } Kind = Memory;
    // A window context asks its window what to draw on at each call (see Surface).
    QImage* Target = nullptr;     // Image contexts
    QPainter* External = nullptr; // Painter contexts
    double Scale = 1.0;           // Painter contexts: device pixels per unit
    PaintDeviceInfo Device;
    HWND Hwnd = nullptr;
    QImage Scratch; // the screen, and windows without a backing image
    gdi_detail::DcState St;
    std::vector<gdi_detail::DcState> Saved;
};

namespace gdi_detail {

bool Valid(HDC dc);

WindowPaintHooks& TheHooks();
struct PendingUpdate {
    QRect Rect;
    bool Erase = false;
};
std::unordered_map<HWND, PendingUpdate>& Updates();

HDC NewDC(HDC__::KindType kind);
void FreeDC(HDC dc);

// The window's own image, or null when it has none (a host of a native widget).
QImage* WindowSurface(HWND hwnd, ImageUse use);
// What a context draws with instead of an image of its own, if anything: a painter context's
// painter, or the toolkit's painter of a window that paints straight into the toolkit's buffer
// now.
QPainter* ExternalPainter(HDC dc);
// The image a context draws on, or null when it draws through an external painter. A window
// context gets its window's image, made when first drawn on or read (one that only measures
// text leaves the window without one).
QImage* Surface(HDC dc, ImageUse use = ImageUse::Shown);
// A window's backing image may hold more than one pixel per unit (a high-density screen);
// contexts address it in units.
QRect LogicalRect(const QImage& img);
// The image's pixels covering the logical rectangle r.
QRect PixelRect(const QImage& img, const QRect& r);
// A copy of the logical rectangle r of img, at img's own density.
QImage CopyLogical(const QImage& img, const QRect& r);
QRect SurfaceRect(HDC dc);
QRect DeviceClip(HDC dc);
QRect ToDevice(HDC dc, const QRect& logical);

// A painter for one drawing operation, with the context's clip and origin applied. `area` is
// the logical bounding box of what will be drawn; it is reported as changed for windows.
class Paint {
public:
    Paint(HDC dc, const QRect& area);
    ~Paint();
    QPainter* operator->() { return p_; }
    QPainter& operator*() { return *p_; }
    void SetRop2(int rop);

private:
    HDC dc_;
    std::optional<QPainter> own_;
    QPainter* p_ = nullptr;
    QRect changed_;
    bool drawsOnWindow_ = false; // on a window's image, outside the toolkit's paint
};

// Brushes given as COLOR_x + 1 stand for the system colours.
BrushObj* BrushArg(HBRUSH br);
std::optional<QBrush> QtBrush(const BrushObj* b);
void FillWith(Paint& p, const QRect& r, const QBrush& brush, HDC dc);

// Point settings of a DC are set and read alike: the old value is handed back on request.
BOOL SetPointState(HDC dc, POINT DcState::*field, int x, int y, POINT* old);
BOOL GetPointState(HDC dc, POINT DcState::*field, POINT* out);

} // namespace gdi_detail
