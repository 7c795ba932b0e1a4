#include "platform/Gdi.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QScreen>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Codepage.h"
#include "platform/FontMap.h"

// ---- Colours -----------------------------------------------------------------------------

QColor ColorRefToQColor(COLORREF c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF QColorToColorRef(const QColor& c)
{
    return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

DWORD GetSysColor(int index)
{
    static constexpr COLORREF kScheme[] = {
        RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128),
        RGB(212, 208, 200), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
        RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(212, 208, 200),
        RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
        RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),
        RGB(255, 255, 225),
    };
    if (index < 0 || index >= static_cast<int>(std::size(kScheme)))
        return 0;
    return kScheme[index];
}

// ---- Objects -----------------------------------------------------------------------------

namespace {

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
        for (int c = 0; c < 256; ++c) {
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

std::unordered_map<HGDIOBJ, ObjectInfo>& Objects()
{
    static std::unordered_map<HGDIOBJ, ObjectInfo> objects;
    return objects;
}

ObjectInfo* InfoOf(HGDIOBJ obj)
{
    auto it = Objects().find(obj);
    return it == Objects().end() ? nullptr : &it->second;
}

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

QImage NewImage(int w, int h)
{
    EnsureGuiApplication();
    QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setDotsPerMeterX(kDotsPerMeter96);
    img.setDotsPerMeterY(kDotsPerMeter96);
    return img;
}

QRect ToQRect(const RECT& r)
{
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

RECT ToRECT(const QRect& r)
{
    if (r.isEmpty())
        return RECT{};
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

QRect Normalized(int l, int t, int r, int b)
{
    return QRect(QPoint(std::min(l, r), std::min(t, b)), QPoint(std::max(l, r) - 1, std::max(t, b) - 1));
}

// Face height of a font whose cell (ascent + descent) is to be cellHeight pixels.
int PixelSizeForCell(const QFont& base, int cellHeight)
{
    QFont probe = base;
    probe.setPixelSize(100);
    QFontMetrics fm(probe);
    int cell100 = std::max(1, fm.ascent() + fm.descent());
    int px = (cellHeight * 100 + cell100 / 2) / cell100;
    for (int tries = 0; tries < 4 && px > 1; ++tries) {
        probe.setPixelSize(px);
        QFontMetrics m(probe);
        if (m.ascent() + m.descent() <= cellHeight)
            break;
        --px;
    }
    return std::max(1, px);
}

// Every control makes its own font handle, most of them for the same few faces: the face and
// its metrics are worked out once per description and shared.
std::string FontKey(const LOGFONTA& lf)
{
    std::string key(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    const long fields[] = {lf.lfHeight, lf.lfWeight, lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfPitchAndFamily};
    for (long v : fields)
        key += '|' + std::to_string(v);
    return key;
}

FontData& DataOf(FontObj* f)
{
    if (f->Data)
        return *f->Data;
    EnsureGuiApplication();
    static std::unordered_map<std::string, std::weak_ptr<FontData>> known;
    const std::string key = FontKey(f->Log);
    if (auto it = known.find(key); it != known.end())
        if (auto shared = it->second.lock()) {
            f->Data = std::move(shared);
            return *f->Data;
        }
    const LOGFONTA& lf = f->Log;
    std::string name(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    FontFace face = MapFontFace(name);
    QFont q;
    q.setFamilies({QString::fromUtf8(Cp1252ToUtf8(face.Family))});
    if (face.FixedPitch || (lf.lfPitchAndFamily & 0x3) == FIXED_PITCH) {
        q.setStyleHint(QFont::TypeWriter);
        q.setFixedPitch(true);
    } else if ((lf.lfPitchAndFamily & 0xF0) == FF_ROMAN) {
        q.setStyleHint(QFont::Serif);
    } else {
        q.setStyleHint(QFont::SansSerif);
    }
    int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 100, 900);
    if (face.ForceBold)
        weight = std::max(weight, static_cast<int>(FW_BOLD));
    q.setWeight(static_cast<QFont::Weight>(weight));
    q.setItalic(lf.lfItalic != 0);
    q.setUnderline(lf.lfUnderline != 0);
    q.setStrikeOut(lf.lfStrikeOut != 0);
    q.setKerning(false);
    q.setHintingPreference(QFont::PreferFullHinting);
    int px = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight > 0 ? PixelSizeForCell(q, lf.lfHeight) : 13;
    q.setPixelSize(std::max(1, (px * face.SizePercent + 50) / 100));
    auto d = std::make_shared<FontData>(q);
    d->Ascent = d->Metrics.ascent();
    d->Descent = d->Metrics.descent();
    d->InternalLeading = std::max(0, d->Ascent + d->Descent - q.pixelSize());
    d->ExternalLeading = std::max(0, d->Metrics.leading());
    known[key] = d;
    f->Data = std::move(d);
    return *f->Data;
}

FontObj* NewFont(const LOGFONTA& lf, bool stock = false)
{
    auto* f = new FontObj;
    f->Log = lf;
    f->Log.lfFaceName[LF_FACESIZE - 1] = 0;
    return Register(f, OBJ_FONT, stock);
}

LOGFONTA MakeLog(int height, int weight, const char* face)
{
    LOGFONTA lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

BrushObj* NewBrush(const LOGBRUSH& lb, bool stock = false)
{
    auto* b = new BrushObj;
    b->Log = lb;
    return Register(b, OBJ_BRUSH, stock);
}

PenObj* NewPen(int style, int width, COLORREF color, bool stock = false)
{
    auto* p = new PenObj;
    p->Log.lopnStyle = static_cast<UINT>(style);
    p->Log.lopnWidth = POINT{std::max(width, 0), 0};
    p->Log.lopnColor = color;
    return Register(p, OBJ_PEN, stock);
}

BitmapObj* NewBitmap(QImage img, bool stock = false)
{
    auto* b = new BitmapObj;
    b->Image = std::move(img);
    return Register(b, OBJ_BITMAP, stock);
}

struct Stock {
    HGDIOBJ Objects[18] = {};
    BitmapObj* DefaultBitmap = nullptr;
    Stock()
    {
        auto brush = [](COLORREF c) { return NewBrush(LOGBRUSH{BS_SOLID, c, 0}, true); };
        Objects[WHITE_BRUSH] = brush(RGB(255, 255, 255));
        Objects[LTGRAY_BRUSH] = brush(RGB(192, 192, 192));
        Objects[GRAY_BRUSH] = brush(RGB(128, 128, 128));
        Objects[DKGRAY_BRUSH] = brush(RGB(64, 64, 64));
        Objects[BLACK_BRUSH] = brush(RGB(0, 0, 0));
        Objects[NULL_BRUSH] = NewBrush(LOGBRUSH{BS_NULL, 0, 0}, true);
        Objects[WHITE_PEN] = NewPen(PS_SOLID, 1, RGB(255, 255, 255), true);
        Objects[BLACK_PEN] = NewPen(PS_SOLID, 1, RGB(0, 0, 0), true);
        Objects[NULL_PEN] = NewPen(PS_NULL, 1, 0, true);
        HGDIOBJ fixed = NewFont(MakeLog(15, FW_NORMAL, "Fixedsys"), true);
        Objects[OEM_FIXED_FONT] = fixed;
        Objects[ANSI_FIXED_FONT] = NewFont(MakeLog(-13, FW_NORMAL, "Courier New"), true);
        Objects[ANSI_VAR_FONT] = NewFont(MakeLog(-11, FW_NORMAL, "MS Sans Serif"), true);
        Objects[SYSTEM_FONT] = NewFont(MakeLog(16, FW_BOLD, "System"), true);
        Objects[DEVICE_DEFAULT_FONT] = Objects[SYSTEM_FONT];
        Objects[SYSTEM_FIXED_FONT] = fixed;
        Objects[DEFAULT_GUI_FONT] = NewFont(MakeLog(-11, FW_NORMAL, "MS Sans Serif"), true);
        DefaultBitmap = NewBitmap(QImage(), true);
    }
};

Stock& Stocks()
{
    static Stock s;
    return s;
}

} // namespace

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index >= 18)
        return nullptr;
    return Stocks().Objects[index];
}

HFONT CreateFontIndirectA(const LOGFONTA* lf)
{
    return lf ? NewFont(*lf) : nullptr;
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName)
{
    LOGFONTA lf = MakeLog(height, weight, faceName ? faceName : "");
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfItalic = static_cast<BYTE>(italic != 0);
    lf.lfUnderline = static_cast<BYTE>(underline != 0);
    lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    lf.lfCharSet = static_cast<BYTE>(charSet);
    lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    lf.lfQuality = static_cast<BYTE>(quality);
    lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    return NewFont(lf);
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    return NewBrush(LOGBRUSH{BS_SOLID, color & 0xFFFFFF, 0});
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color)
{
    if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS)
        return nullptr;
    return NewBrush(LOGBRUSH{BS_HATCHED, color & 0xFFFFFF, static_cast<ULONG_PTR>(hatch)});
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb)
{
    return lb ? NewBrush(*lb) : nullptr;
}

HBRUSH GetSysColorBrush(int index)
{
    // Stock objects live for the whole run; kept behind a pointer so exit does not free them.
    static auto* brushes = new std::map<int, BrushObj*>;
    if (index < 0 || index > COLOR_INFOBK)
        return nullptr;
    auto& b = (*brushes)[index];
    if (!b)
        b = NewBrush(LOGBRUSH{BS_SOLID, GetSysColor(index), 0}, true);
    return b;
}

HPEN CreatePen(int style, int width, COLORREF color)
{
    if (style < PS_SOLID || style > PS_INSIDEFRAME)
        return nullptr;
    return NewPen(style, width, color & 0xFFFFFF);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width < 0 || height < 0)
        return nullptr;
    return NewBitmap(NewImage(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits)
{
    if (width < 0 || height < 0)
        return nullptr;
    QImage img = NewImage(width, height);
    if (bits && bitsPerPixel == 32 && width > 0 && height > 0)
        for (int y = 0; y < height; ++y)
            std::memcpy(img.scanLine(y), static_cast<const uchar*>(bits) + static_cast<size_t>(y) * width * 4,
                        static_cast<size_t>(width) * 4);
    return NewBitmap(std::move(img));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD)
{
    if (!info || info->bmiHeader.biBitCount != 32 || info->bmiHeader.biCompression != BI_RGB ||
        info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight > 0)
        return nullptr;
    auto* b = NewBitmap(NewImage(info->bmiHeader.biWidth, -info->bmiHeader.biHeight));
    if (bits)
        *bits = b->Image.bits();
    return b;
}

QImage* BitmapImage(HBITMAP bmp)
{
    auto* b = As<BitmapObj>(bmp, OBJ_BITMAP);
    return b ? &b->Image : nullptr;
}

HBITMAP CreateBitmapFromImage(const QImage& image)
{
    EnsureGuiApplication();
    QImage img = image.convertToFormat(QImage::Format_RGB32);
    img.setDotsPerMeterX(kDotsPerMeter96);
    img.setDotsPerMeterY(kDotsPerMeter96);
    return NewBitmap(std::move(img));
}

QFont FontOfHandle(HFONT font)
{
    auto* f = As<FontObj>(font, OBJ_FONT);
    if (!f)
        f = static_cast<FontObj*>(Stocks().Objects[SYSTEM_FONT]);
    return DataOf(f).Font;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto* r = new RgnObj;
    r->Rect = Normalized(left, top, right, bottom);
    return Register(r, OBJ_REGION);
}

HRGN CreateRectRgnIndirect(const RECT* r)
{
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

BOOL DeleteObject(HGDIOBJ obj)
{
    ObjectInfo* info = InfoOf(obj);
    if (!info)
        return FALSE;
    if (info->Stock)
        return TRUE;
    if (info->Selected > 0)
        return FALSE;
    Objects().erase(obj);
    delete obj;
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ obj)
{
    ObjectInfo* info = InfoOf(obj);
    return info ? info->Type : 0;
}

int GetObjectA(HGDIOBJ obj, int size, void* out)
{
    auto copy = [&](const auto& value) {
        int n = static_cast<int>(sizeof(value));
        if (!out)
            return n;
        if (size < n)
            return 0;
        std::memcpy(out, &value, sizeof(value));
        return n;
    };
    switch (GetObjectType(obj)) {
    case OBJ_FONT:
        return copy(static_cast<FontObj*>(obj)->Log);
    case OBJ_BRUSH:
        return copy(static_cast<BrushObj*>(obj)->Log);
    case OBJ_PEN:
        return copy(static_cast<PenObj*>(obj)->Log);
    case OBJ_BITMAP: {
        QImage& img = static_cast<BitmapObj*>(obj)->Image;
        BITMAP bm;
        bm.bmWidth = img.isNull() ? 1 : img.width();
        bm.bmHeight = img.isNull() ? 1 : img.height();
        bm.bmWidthBytes = bm.bmWidth * 4;
        bm.bmBits = img.isNull() ? nullptr : img.bits();
        return copy(bm);
    }
    default:
        return 0;
    }
}

// ---- Device contexts ---------------------------------------------------------------------

namespace {
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
} // namespace

struct HDC__ {
    enum KindType { Memory, Image, Painter, Window, Screen } Kind = Memory;
    QImage* Target = nullptr;    // Image and Window contexts
    // A window context looks its window's image up when first drawn on: one that only
    // measures text leaves the window without one.
    bool TargetPending = false;
    QPainter* External = nullptr; // Painter contexts
    double Scale = 1.0;           // Painter contexts: device pixels per unit
    PaintDeviceInfo Device;
    HWND Hwnd = nullptr;
    QImage Scratch; // the screen, and windows without a backing image
    DcState St;
    std::vector<DcState> Saved;
};

namespace {

std::unordered_set<HDC>& Contexts()
{
    static std::unordered_set<HDC> contexts;
    return contexts;
}

bool Valid(HDC dc) { return dc && Contexts().count(dc) != 0; }

void Hold(HGDIOBJ obj, int delta)
{
    if (ObjectInfo* info = InfoOf(obj))
        info->Selected += delta;
}

void HoldState(const DcState& s, int delta)
{
    Hold(s.Font, delta);
    Hold(s.Brush, delta);
    Hold(s.Pen, delta);
    Hold(s.Bitmap, delta);
}

struct Hooks {
    std::function<QImage*(HWND)> Surface;
    std::function<bool(HWND, SIZE*)> SurfaceSize;
    std::function<void(HWND, const RECT*, BOOL)> Invalidate;
    std::function<void(HWND, const RECT&)> Changed;
    struct Pending {
        QRect Rect;
        bool Erase = false;
    };
    std::unordered_map<HWND, Pending> Updates;
};

Hooks& TheHooks()
{
    static Hooks h;
    return h;
}

HDC NewDC(HDC__::KindType kind)
{
    EnsureGuiApplication();
    auto* dc = new HDC__;
    dc->Kind = kind;
    dc->Scratch = NewImage(1, 1);
    dc->St.Font = static_cast<FontObj*>(Stocks().Objects[SYSTEM_FONT]);
    dc->St.Brush = static_cast<BrushObj*>(Stocks().Objects[WHITE_BRUSH]);
    dc->St.Pen = static_cast<PenObj*>(Stocks().Objects[BLACK_PEN]);
    if (kind == HDC__::Memory)
        dc->St.Bitmap = Stocks().DefaultBitmap;
    dc->Device.Width = GetSystemMetrics(SM_CXSCREEN);
    dc->Device.Height = GetSystemMetrics(SM_CYSCREEN);
    HoldState(dc->St, +1);
    Contexts().insert(dc);
    return dc;
}

void FreeDC(HDC dc)
{
    HoldState(dc->St, -1);
    for (const DcState& s : dc->Saved)
        HoldState(s, -1);
    Contexts().erase(dc);
    delete dc;
}

QImage* WindowSurface(HWND hwnd);

// The image a context draws on, or null when it draws through an external painter.
QImage* Surface(HDC dc)
{
    switch (dc->Kind) {
    case HDC__::Memory:
        return dc->St.Bitmap->Image.isNull() ? &dc->Scratch : &dc->St.Bitmap->Image;
    case HDC__::Window:
        if (dc->TargetPending) {
            dc->TargetPending = false;
            dc->Target = WindowSurface(dc->Hwnd);
        }
        return dc->Target ? dc->Target : &dc->Scratch;
    case HDC__::Image:
        return dc->Target ? dc->Target : &dc->Scratch;
    case HDC__::Screen:
        return &dc->Scratch;
    case HDC__::Painter:
        return nullptr;
    }
    return nullptr;
}

// A window's backing image may hold more than one pixel per unit (a high-density screen);
// contexts address it in units.
QRect LogicalRect(const QImage& img)
{
    const qreal ratio = img.devicePixelRatio();
    if (ratio == 1.0)
        return img.rect();
    return QRect(0, 0, static_cast<int>(img.width() / ratio), static_cast<int>(img.height() / ratio));
}

// The image's pixels covering the logical rectangle r.
QRect PixelRect(const QImage& img, const QRect& r)
{
    const qreal ratio = img.devicePixelRatio();
    if (ratio == 1.0)
        return r;
    const int left = static_cast<int>(std::floor(r.left() * ratio));
    const int top = static_cast<int>(std::floor(r.top() * ratio));
    return QRect(left, top, static_cast<int>(std::floor((r.left() + r.width()) * ratio)) - left,
                 static_cast<int>(std::floor((r.top() + r.height()) * ratio)) - top);
}

// A copy of the logical rectangle r of img, at img's own density.
QImage CopyLogical(const QImage& img, const QRect& r)
{
    QImage part = img.copy(PixelRect(img, r));
    part.setDevicePixelRatio(img.devicePixelRatio());
    return part;
}

QRect SurfaceRect(HDC dc)
{
    if (QImage* img = Surface(dc))
        return LogicalRect(*img);
    return QRect(0, 0, dc->Device.Width, dc->Device.Height);
}

QRect DeviceClip(HDC dc)
{
    QRect r = SurfaceRect(dc);
    return dc->St.Clipped ? r & dc->St.Clip : r;
}

QRect ToDevice(HDC dc, const QRect& logical)
{
    return logical.translated(dc->St.Origin.x, dc->St.Origin.y);
}

// A painter for one drawing operation, with the context's clip and origin applied. `area` is
// the logical bounding box of what will be drawn; it is reported as changed for windows.
class Paint {
public:
    Paint(HDC dc, const QRect& area) : dc_(dc)
    {
        if (dc->External) {
            p_ = dc->External;
            p_->save();
        } else {
            own_.emplace(Surface(dc));
            p_ = &*own_;
        }
        if (dc->Scale != 1.0)
            p_->scale(dc->Scale, dc->Scale);
        p_->setRenderHint(QPainter::Antialiasing, false);
        p_->setRenderHint(QPainter::TextAntialiasing, true);
        if (dc->St.Clipped)
            p_->setClipRect(dc->St.Clip);
        p_->translate(dc->St.Origin.x, dc->St.Origin.y);
        changed_ = ToDevice(dc, area) & DeviceClip(dc);
    }
    ~Paint()
    {
        if (own_)
            own_->end();
        else
            p_->restore();
        if (dc_->Kind == HDC__::Window && dc_->Target && !changed_.isEmpty() && TheHooks().Changed)
            TheHooks().Changed(dc_->Hwnd, ToRECT(changed_));
    }
    QPainter* operator->() { return p_; }
    QPainter& operator*() { return *p_; }
    void SetRop2(int rop)
    {
        switch (rop) {
        case R2_NOT:
            p_->setCompositionMode(QPainter::RasterOp_NotDestination);
            break;
        case R2_XORPEN:
            p_->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            break;
        case R2_NOTXORPEN:
            p_->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
            break;
        default:
            p_->setCompositionMode(QPainter::CompositionMode_SourceOver);
            break;
        }
    }

private:
    HDC dc_;
    std::optional<QPainter> own_;
    QPainter* p_ = nullptr;
    QRect changed_;
};

// Brushes given as COLOR_x + 1 stand for the system colours.
BrushObj* BrushArg(HBRUSH br)
{
    auto v = reinterpret_cast<uintptr_t>(br);
    if (v >= 1 && v <= static_cast<uintptr_t>(COLOR_INFOBK) + 1)
        return static_cast<BrushObj*>(GetSysColorBrush(static_cast<int>(v - 1)));
    return As<BrushObj>(br, OBJ_BRUSH);
}

std::optional<QBrush> QtBrush(const BrushObj* b)
{
    if (!b || b->Log.lbStyle == BS_NULL)
        return std::nullopt;
    QColor c = ColorRefToQColor(b->Log.lbColor);
    if (b->Log.lbStyle == BS_HATCHED) {
        static constexpr Qt::BrushStyle kHatch[] = {Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern,
                                                    Qt::FDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(c, kHatch[std::min<ULONG_PTR>(b->Log.lbHatch, 5)]);
    }
    return QBrush(c);
}

void FillWith(Paint& p, const QRect& r, const QBrush& brush, HDC dc)
{
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush) {
        // Hatches in Win32 leave the gaps as they are in TRANSPARENT mode and fill them with
        // the background colour in OPAQUE mode.
        if (dc->St.BkMode == OPAQUE)
            p->fillRect(r, ColorRefToQColor(dc->St.Bk));
        p->setBrushOrigin(dc->St.BrushOrg.x, dc->St.BrushOrg.y);
    }
    p->fillRect(r, brush);
}

FontData& CurrentFont(HDC dc)
{
    return DataOf(dc->St.Font);
}

int Extent(const FontData& fd, const char* s, int n)
{
    int w = 0;
    for (int i = 0; i < n; ++i)
        w += fd.Advance(static_cast<unsigned char>(s[i]));
    return w;
}

// Draws text whose cell's top-left corner is (x, y), glyph by glyph at whole-pixel advances.
void DrawGlyphs(Paint& p, const FontData& fd, int x, int y, const char* s, int n, const int* dx, COLORREF color)
{
    p->setFont(fd.Font);
    p->setPen(ColorRefToQColor(color));
    int baseline = y + fd.Ascent;
    int cx = x;
    for (int i = 0; i < n; ++i) {
        auto ch = static_cast<unsigned char>(s[i]);
        int adv = dx ? dx[i] : fd.Advance(ch);
        if (ch != ' ' || fd.Font.underline() || fd.Font.strikeOut())
            p->drawText(QPointF(cx, baseline), QString(Cp1252ToQChar(ch)));
        cx += adv;
    }
}

} // namespace

HDC CreateCompatibleDC(HDC)
{
    return NewDC(HDC__::Memory);
}

HDC CreateDCOnImage(QImage* image)
{
    HDC dc = NewDC(HDC__::Image);
    dc->Target = image;
    if (image) {
        dc->Device.Width = image->width();
        dc->Device.Height = image->height();
    }
    return dc;
}

HDC CreateDCOnPainter(QPainter* painter, const PaintDeviceInfo& info)
{
    if (!painter || !painter->isActive())
        return nullptr;
    HDC dc = NewDC(HDC__::Painter);
    dc->External = painter;
    dc->Device = info;
    return dc;
}

HDC CreateScaledDC(HDC dc, double scale)
{
    if (!Valid(dc) || dc->Kind != HDC__::Painter || !dc->External || !(scale > 0))
        return nullptr;
    HDC scaled = CreateDCOnPainter(dc->External, dc->Device);
    if (!scaled)
        return nullptr;
    scaled->Scale = dc->Scale * scale;
    PaintDeviceInfo& d = scaled->Device;
    for (int* v : {&d.Width, &d.Height, &d.PhysicalWidth, &d.PhysicalHeight, &d.PhysicalOffsetX,
                   &d.PhysicalOffsetY})
        *v = int(*v / scale);
    d.DpiX = std::max(1, int(d.DpiX / scale + 0.5));
    d.DpiY = std::max(1, int(d.DpiY / scale + 0.5));
    return scaled;
}

BOOL DeleteDC(HDC dc)
{
    if (!Valid(dc))
        return FALSE;
    FreeDC(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj)
{
    if (!Valid(dc))
        return nullptr;
    ObjectInfo* info = InfoOf(obj);
    if (!info)
        return nullptr;
    HGDIOBJ old = nullptr;
    auto swap = [&](auto*& slot) {
        using T = std::remove_reference_t<decltype(*slot)>;
        old = slot;
        Hold(old, -1);
        slot = static_cast<T*>(obj);
        Hold(obj, +1);
    };
    switch (info->Type) {
    case OBJ_FONT:
        swap(dc->St.Font);
        break;
    case OBJ_BRUSH:
        swap(dc->St.Brush);
        break;
    case OBJ_PEN:
        swap(dc->St.Pen);
        break;
    case OBJ_BITMAP:
        if (dc->Kind != HDC__::Memory)
            return nullptr;
        // A bitmap can be selected into one memory context at a time.
        if (info->Selected > 0 && obj != dc->St.Bitmap && !info->Stock)
            return nullptr;
        swap(dc->St.Bitmap);
        dc->St.Clipped = false;
        break;
    case OBJ_REGION:
        return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(SelectClipRgn(dc, static_cast<HRGN>(obj))));
    default:
        return nullptr;
    }
    return old;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type)
{
    if (!Valid(dc))
        return nullptr;
    switch (type) {
    case OBJ_FONT:
        return dc->St.Font;
    case OBJ_BRUSH:
        return dc->St.Brush;
    case OBJ_PEN:
        return dc->St.Pen;
    case OBJ_BITMAP:
        return dc->St.Bitmap;
    default:
        return nullptr;
    }
}

int SaveDC(HDC dc)
{
    if (!Valid(dc))
        return 0;
    dc->Saved.push_back(dc->St);
    HoldState(dc->St, +1);
    return static_cast<int>(dc->Saved.size());
}

BOOL RestoreDC(HDC dc, int saved)
{
    if (!Valid(dc))
        return FALSE;
    int count = static_cast<int>(dc->Saved.size());
    int level = saved < 0 ? count + 1 + saved : saved;
    if (level < 1 || level > count)
        return FALSE;
    DcState s = dc->Saved[level - 1];
    for (int i = level - 1; i < count; ++i)
        HoldState(dc->Saved[i], -1);
    dc->Saved.resize(level - 1);
    HoldState(s, +1);
    HoldState(dc->St, -1);
    dc->St = s;
    return TRUE;
}

namespace {
// Point settings of a DC are set and read alike: the old value is handed back on request.
BOOL SetPointState(HDC dc, POINT DcState::*field, int x, int y, POINT* old)
{
    if (!Valid(dc))
        return FALSE;
    if (old)
        *old = dc->St.*field;
    dc->St.*field = POINT{x, y};
    return TRUE;
}

BOOL GetPointState(HDC dc, POINT DcState::*field, POINT* out)
{
    if (!Valid(dc) || !out)
        return FALSE;
    *out = dc->St.*field;
    return TRUE;
}
} // namespace

#define QM_DC_ACCESSOR(Set, Get, Type, Field, Fail)   \
    Type Set(HDC dc, Type value)                      \
    {                                                 \
        if (!Valid(dc))                               \
            return Fail;                              \
        Type old = dc->St.Field;                      \
        dc->St.Field = value;                         \
        return old;                                   \
    }                                                 \
    Type Get(HDC dc) { return Valid(dc) ? dc->St.Field : Fail; }

QM_DC_ACCESSOR(SetTextColor, GetTextColor, COLORREF, Text, CLR_INVALID)
QM_DC_ACCESSOR(SetBkColor, GetBkColor, COLORREF, Bk, CLR_INVALID)
QM_DC_ACCESSOR(SetROP2, GetROP2, int, Rop2, 0)
QM_DC_ACCESSOR(SetTextAlign, GetTextAlign, UINT, Align, 0xFFFFFFFF)
#undef QM_DC_ACCESSOR

int SetBkMode(HDC dc, int mode)
{
    if (!Valid(dc) || (mode != OPAQUE && mode != TRANSPARENT))
        return 0;
    int old = dc->St.BkMode;
    dc->St.BkMode = mode;
    return old;
}

int GetBkMode(HDC dc)
{
    return Valid(dc) ? dc->St.BkMode : 0;
}

int SetStretchBltMode(HDC dc, int mode)
{
    if (!Valid(dc))
        return 0;
    int old = dc->St.StretchMode;
    dc->St.StretchMode = mode;
    return old;
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old)
{
    return SetPointState(dc, &DcState::Origin, x, y, old);
}

BOOL GetViewportOrgEx(HDC dc, POINT* org)
{
    return GetPointState(dc, &DcState::Origin, org);
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old)
{
    if (!Valid(dc))
        return FALSE;
    return SetViewportOrgEx(dc, dc->St.Origin.x + dx, dc->St.Origin.y + dy, old);
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* old)
{
    return SetPointState(dc, &DcState::BrushOrg, x, y, old);
}

// ---- Clipping ----------------------------------------------------------------------------

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom)
{
    if (!Valid(dc))
        return RGN_ERROR;
    QRect r = ToDevice(dc, Normalized(left, top, right, bottom));
    dc->St.Clip = dc->St.Clipped ? (dc->St.Clip & r) : (SurfaceRect(dc) & r);
    dc->St.Clipped = true;
    return dc->St.Clip.isEmpty() ? NULLREGION : SIMPLEREGION;
}

int SelectClipRgn(HDC dc, HRGN rgn)
{
    if (!Valid(dc))
        return RGN_ERROR;
    if (!rgn) {
        dc->St.Clipped = false;
        return SIMPLEREGION;
    }
    auto* r = As<RgnObj>(rgn, OBJ_REGION);
    if (!r)
        return RGN_ERROR;
    dc->St.Clipped = true;
    dc->St.Clip = r->Rect;
    return r->Rect.isEmpty() ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC dc, RECT* rect)
{
    if (!Valid(dc) || !rect)
        return RGN_ERROR;
    QRect c = DeviceClip(dc).translated(-dc->St.Origin.x, -dc->St.Origin.y);
    *rect = ToRECT(c);
    return c.isEmpty() ? NULLREGION : SIMPLEREGION;
}

int GetDeviceCaps(HDC dc, int index)
{
    if (!Valid(dc))
        return 0;
    const PaintDeviceInfo& d = dc->Device;
    bool screenLike = dc->Kind != HDC__::Painter;
    int w = screenLike ? GetSystemMetrics(SM_CXSCREEN) : d.Width;
    int h = screenLike ? GetSystemMetrics(SM_CYSCREEN) : d.Height;
    int dpiX = screenLike ? 96 : d.DpiX;
    int dpiY = screenLike ? 96 : d.DpiY;
    switch (index) {
    case HORZRES:
        return w;
    case VERTRES:
        return h;
    case HORZSIZE:
        return MulDiv(w, 254, dpiX * 10);
    case VERTSIZE:
        return MulDiv(h, 254, dpiY * 10);
    case LOGPIXELSX:
        return dpiX;
    case LOGPIXELSY:
        return dpiY;
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case TECHNOLOGY:
        return d.Printer ? DT_RASPRINTER : DT_RASDISPLAY;
    case PHYSICALWIDTH:
        return d.Printer ? d.PhysicalWidth : 0;
    case PHYSICALHEIGHT:
        return d.Printer ? d.PhysicalHeight : 0;
    case PHYSICALOFFSETX:
        return d.Printer ? d.PhysicalOffsetX : 0;
    case PHYSICALOFFSETY:
        return d.Printer ? d.PhysicalOffsetY : 0;
    default:
        return 0;
    }
}

// ---- Text --------------------------------------------------------------------------------

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm)
{
    if (!Valid(dc) || !tm)
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    const LOGFONTA& lf = dc->St.Font->Log;
    *tm = TEXTMETRICA{};
    tm->tmAscent = fd.Ascent;
    tm->tmDescent = fd.Descent;
    tm->tmHeight = fd.Ascent + fd.Descent;
    tm->tmInternalLeading = fd.InternalLeading;
    tm->tmExternalLeading = fd.ExternalLeading;
    tm->tmAveCharWidth = fd.AveWidth();
    tm->tmMaxCharWidth = fd.MaxWidth();
    tm->tmWeight = fd.Font.weight();
    tm->tmItalic = lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    BYTE family = fd.Fixed() ? FF_MODERN : (fd.Font.styleHint() == QFont::Serif ? FF_ROMAN : FF_SWISS);
    tm->tmPitchAndFamily = static_cast<BYTE>(family | TMPF_TRUETYPE | TMPF_VECTOR | (fd.Fixed() ? 0 : TMPF_FIXED_PITCH));
    tm->tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size)
{
    return GetTextExtentExPointA(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointA(HDC dc, LPCSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size)
{
    if (!Valid(dc) || count < 0 || (count > 0 && !text))
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    int w = 0;
    int fitting = 0;
    for (int i = 0; i < count; ++i) {
        w += fd.Advance(static_cast<unsigned char>(text[i]));
        bool fits = w <= maxExtent;
        if (fit && fits && fitting == i)
            fitting = i + 1;
        if (dx && (!fit || fits))
            dx[i] = w;
    }
    if (fit)
        *fit = fitting;
    if (size)
        *size = SIZE{w, fd.Ascent + fd.Descent};
    return TRUE;
}

int GetTextFaceA(HDC dc, int count, LPSTR face)
{
    if (!Valid(dc))
        return 0;
    std::string name = QStringToCp1252(QFontInfo(CurrentFont(dc).Font).family());
    if (!face)
        return static_cast<int>(name.size()) + 1;
    if (count <= 0)
        return 0;
    size_t n = std::min(name.size(), static_cast<size_t>(count - 1));
    std::memcpy(face, name.data(), n);
    face[n] = 0;
    return static_cast<int>(n);
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const int* dx)
{
    if (!Valid(dc) || (count > 0 && !text))
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    int n = static_cast<int>(count);
    int width = 0;
    for (int i = 0; i < n; ++i)
        width += dx ? dx[i] : fd.Advance(static_cast<unsigned char>(text[i]));
    int height = fd.Ascent + fd.Descent;
    UINT align = dc->St.Align;
    if ((align & TA_CENTER) == TA_CENTER)
        x -= width / 2;
    else if (align & TA_RIGHT)
        x -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= fd.Ascent;
    else if (align & TA_BOTTOM)
        y -= height;

    QRect cell(x, y, width, height);
    QRect optRect = rect ? ToQRect(*rect) : QRect();
    QRect area = cell;
    if (rect && (options & ETO_OPAQUE))
        area |= optRect;
    if (rect && (options & ETO_CLIPPED))
        area &= optRect;
    Paint p(dc, area.adjusted(-height, 0, height, 0));
    if (rect && (options & ETO_CLIPPED))
        p->setClipRect(optRect, Qt::IntersectClip);
    QColor bk = ColorRefToQColor(dc->St.Bk);
    if (rect && (options & ETO_OPAQUE))
        p->fillRect(optRect, bk);
    if (dc->St.BkMode == OPAQUE && width > 0)
        p->fillRect(cell, bk);
    DrawGlyphs(p, fd, x, y, text, n, dx, dc->St.Text);
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count)
{
    if (count < 0)
        return FALSE;
    return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

namespace {
struct TextLine {
    std::string Text;
    int Prefix = -1; // index of the character to underline
};

// Splits text into display lines: prefixes removed, tabs expanded, word-wrapped to width.
std::vector<TextLine> LayoutText(const FontData& fd, std::string_view text, UINT format, int width)
{
    std::vector<std::string> paragraphs;
    if (format & DT_SINGLELINE) {
        std::string one;
        for (char c : text)
            one.push_back(c == '\r' || c == '\n' ? ' ' : c);
        paragraphs.push_back(one);
    } else {
        std::string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c == '\r' || c == '\n') {
                paragraphs.push_back(cur);
                cur.clear();
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                cur.push_back(c);
            }
        }
        paragraphs.push_back(cur);
    }
    std::vector<TextLine> lines;
    int tabWidth = std::max(1, fd.AveWidth() * 8);
    for (const std::string& para : paragraphs) {
        TextLine line;
        for (size_t i = 0; i < para.size(); ++i) {
            char c = para[i];
            if (c == '&' && !(format & DT_NOPREFIX)) {
                if (i + 1 < para.size() && para[i + 1] == '&') {
                    line.Text.push_back('&');
                    ++i;
                } else if (i + 1 < para.size()) {
                    line.Prefix = static_cast<int>(line.Text.size());
                }
                continue;
            }
            if (c == '\t' && (format & DT_EXPANDTABS)) {
                int w = Extent(fd, line.Text.data(), static_cast<int>(line.Text.size()));
                int target = (w / tabWidth + 1) * tabWidth;
                while (w < target && fd.Advance(' ') > 0) {
                    line.Text.push_back(' ');
                    w += fd.Advance(' ');
                }
                continue;
            }
            line.Text.push_back(c);
        }
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            lines.push_back(line);
            continue;
        }
        // Greedy word wrap: break at the last blank that fits; a word longer than the line
        // stays whole, as in Win32.
        std::string& s = line.Text;
        size_t start = 0;
        while (true) {
            size_t end = start;
            size_t lastBreak = std::string::npos;
            int w = 0;
            while (end < s.size()) {
                int adv = fd.Advance(static_cast<unsigned char>(s[end]));
                if (s[end] == ' ')
                    lastBreak = end;
                if (w + adv > width && end > start && s[end] != ' ')
                    break;
                w += adv;
                ++end;
            }
            TextLine part;
            size_t next;
            if (end >= s.size()) {
                part.Text = s.substr(start);
                next = s.size();
            } else if (lastBreak != std::string::npos && lastBreak >= start) {
                part.Text = s.substr(start, lastBreak - start);
                next = lastBreak + 1;
            } else {
                while (end < s.size() && s[end] != ' ')
                    ++end;
                part.Text = s.substr(start, end - start);
                next = end < s.size() ? end + 1 : end;
            }
            while (!part.Text.empty() && part.Text.back() == ' ')
                part.Text.pop_back();
            if (line.Prefix >= static_cast<int>(start) && line.Prefix < static_cast<int>(start + part.Text.size()))
                part.Prefix = line.Prefix - static_cast<int>(start);
            lines.push_back(part);
            if (next >= s.size())
                break;
            start = next;
            while (start < s.size() && s[start] == ' ')
                ++start;
            if (start >= s.size())
                break;
        }
    }
    return lines;
}
} // namespace

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format)
{
    if (!Valid(dc) || !rect || (!text && count != 0))
        return 0;
    std::string_view sv = count < 0 ? std::string_view(text ? text : "") : std::string_view(text, static_cast<size_t>(count));
    const FontData& fd = CurrentFont(dc);
    int lineH = fd.Ascent + fd.Descent;
    int width = rect->right - rect->left;
    std::vector<TextLine> lines = LayoutText(fd, sv, format, width);
    int total = lineH * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& l : lines)
            widest = std::max(widest, Extent(fd, l.Text.data(), static_cast<int>(l.Text.size())));
        if (!(format & DT_WORDBREAK) || widest > width || (format & DT_SINGLELINE))
            rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineH) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineH;
    }
    QRect box = ToQRect(*rect);
    QRect area = (format & DT_NOCLIP) ? QRect(rect->left - 10000, y, 20000, total) : box;
    Paint p(dc, area);
    if (!(format & DT_NOCLIP))
        p->setClipRect(box, Qt::IntersectClip);
    QColor bk = ColorRefToQColor(dc->St.Bk);
    for (const TextLine& l : lines) {
        int n = static_cast<int>(l.Text.size());
        int w = Extent(fd, l.Text.data(), n);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        if (dc->St.BkMode == OPAQUE && w > 0)
            p->fillRect(QRect(x, y, w, lineH), bk);
        DrawGlyphs(p, fd, x, y, l.Text.data(), n, nullptr, dc->St.Text);
        if (l.Prefix >= 0 && l.Prefix < n) {
            int ux = x + Extent(fd, l.Text.data(), l.Prefix);
            int uw = fd.Advance(static_cast<unsigned char>(l.Text[l.Prefix]));
            p->fillRect(QRect(ux, y + fd.Ascent + 1, uw, 1), ColorRefToQColor(dc->St.Text));
        }
        y += lineH;
    }
    return total;
}

// ---- Shapes and pixels -------------------------------------------------------------------

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!Valid(dc) || !rect)
        return 0;
    auto qb = QtBrush(BrushArg(brush));
    if (!qb)
        return BrushArg(brush) ? 1 : 0;
    QRect r = ToQRect(*rect);
    Paint p(dc, r);
    FillWith(p, r, *qb, dc);
    return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    if (!Valid(dc) || !rect)
        return 0;
    auto qb = QtBrush(BrushArg(brush));
    if (!qb)
        return BrushArg(brush) ? 1 : 0;
    QRect r = ToQRect(*rect);
    if (r.isEmpty())
        return 1;
    Paint p(dc, r);
    p->fillRect(QRect(r.left(), r.top(), r.width(), 1), *qb);
    p->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), *qb);
    p->fillRect(QRect(r.left(), r.top(), 1, r.height()), *qb);
    p->fillRect(QRect(r.right(), r.top(), 1, r.height()), *qb);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect)
{
    if (!rect)
        return FALSE;
    return PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

namespace {
QColor PenColor(HDC dc)
{
    switch (dc->St.Rop2) {
    case R2_BLACK:
        return Qt::black;
    case R2_WHITE:
        return Qt::white;
    default:
        return ColorRefToQColor(dc->St.Pen->Log.lopnColor);
    }
}

bool PenVisible(HDC dc)
{
    return dc->St.Pen->Log.lopnStyle != PS_NULL && dc->St.Rop2 != R2_NOP;
}

// Pixels of a one-pixel line from a to b, b itself excluded, with the pen's dash pattern.
void LinePixels(HDC dc, POINT a, POINT b, std::vector<QPoint>& out)
{
    static const std::vector<int> kDash[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
    UINT style = dc->St.Pen->Log.lopnStyle;
    const std::vector<int>& pattern = style < 5 ? kDash[style] : kDash[0];
    int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
    int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    int x = a.x, y = a.y;
    size_t seg = 0;
    int left = pattern.empty() ? 0 : pattern[0];
    while (x != b.x || y != b.y) {
        if (pattern.empty() || seg % 2 == 0)
            out.emplace_back(x, y);
        if (!pattern.empty() && --left == 0) {
            seg = (seg + 1) % pattern.size();
            left = pattern[seg];
        }
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void DrawSegments(HDC dc, const POINT* pts, int count)
{
    if (!PenVisible(dc) || count < 2)
        return;
    int width = std::max<int>(1, dc->St.Pen->Log.lopnWidth.x);
    QRect bounds(QPoint(pts[0].x, pts[0].y), QSize(1, 1));
    for (int i = 1; i < count; ++i)
        bounds |= QRect(QPoint(pts[i].x, pts[i].y), QSize(1, 1));
    Paint p(dc, bounds.adjusted(-width, -width, width, width));
    p.SetRop2(dc->St.Rop2);
    if (width == 1) {
        std::vector<QPoint> pixels;
        for (int i = 1; i < count; ++i)
            LinePixels(dc, pts[i - 1], pts[i], pixels);
        p->setPen(QPen(PenColor(dc), 0));
        if (!pixels.empty())
            p->drawPoints(pixels.data(), static_cast<int>(pixels.size()));
    } else {
        QPen pen(PenColor(dc), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p->setPen(pen);
        QPolygon poly;
        for (int i = 0; i < count; ++i)
            poly << QPoint(pts[i].x, pts[i].y);
        p->drawPolyline(poly);
    }
}
} // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    if (!Valid(dc))
        return FALSE;
    QRect r = Normalized(left, top, right, bottom);
    if (r.isEmpty())
        return TRUE;
    Paint p(dc, r);
    auto qb = QtBrush(dc->St.Brush);
    if (qb)
        FillWith(p, r, *qb, dc);
    if (PenVisible(dc)) {
        // The outline lies inside the rectangle, so a shape never exceeds its bounds.
        int w = std::clamp<int>(dc->St.Pen->Log.lopnWidth.x, 1, std::max(1, std::min(r.width(), r.height()) / 2));
        p.SetRop2(dc->St.Rop2);
        QColor c = PenColor(dc);
        p->fillRect(QRect(r.left(), r.top(), r.width(), w), c);
        p->fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), c);
        p->fillRect(QRect(r.left(), r.top() + w, w, r.height() - 2 * w), c);
        p->fillRect(QRect(r.right() - w + 1, r.top() + w, w, r.height() - 2 * w), c);
    }
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    if (!Valid(dc))
        return FALSE;
    QRect r = Normalized(left, top, right, bottom);
    if (r.isEmpty())
        return TRUE;
    Paint p(dc, r);
    p.SetRop2(dc->St.Rop2);
    auto qb = QtBrush(dc->St.Brush);
    p->setBrush(qb ? *qb : QBrush());
    if (PenVisible(dc))
        p->setPen(QPen(PenColor(dc), std::max<int>(1, dc->St.Pen->Log.lopnWidth.x)));
    else
        p->setPen(Qt::NoPen);
    p->drawEllipse(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* old)
{
    return SetPointState(dc, &DcState::Pos, x, y, old);
}

BOOL GetCurrentPositionEx(HDC dc, POINT* pos)
{
    return GetPointState(dc, &DcState::Pos, pos);
}

BOOL LineTo(HDC dc, int x, int y)
{
    if (!Valid(dc))
        return FALSE;
    POINT pts[2] = {dc->St.Pos, POINT{x, y}};
    DrawSegments(dc, pts, 2);
    dc->St.Pos = pts[1];
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count)
{
    if (!Valid(dc) || !points || count < 2)
        return FALSE;
    DrawSegments(dc, points, count);
    return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color)
{
    if (!Valid(dc))
        return CLR_INVALID;
    QPoint d(x + dc->St.Origin.x, y + dc->St.Origin.y);
    if (!DeviceClip(dc).contains(d))
        return CLR_INVALID;
    Paint p(dc, QRect(x, y, 1, 1));
    p->fillRect(QRect(x, y, 1, 1), ColorRefToQColor(color));
    return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    if (!Valid(dc))
        return CLR_INVALID;
    QImage* img = Surface(dc);
    QPoint d(x + dc->St.Origin.x, y + dc->St.Origin.y);
    if (!img || img->isNull() || !DeviceClip(dc).contains(d))
        return CLR_INVALID;
    return QColorToColorRef(img->pixelColor(PixelRect(*img, QRect(d, QSize(1, 1))).topLeft()));
}

namespace {
bool IsPatternRop(DWORD rop)
{
    return rop == PATCOPY || rop == PATINVERT || rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS;
}

// Draws src (already cut to the source rectangle) into target with the raster operation.
bool BlitImage(HDC dst, const QRect& target, const QImage& src, DWORD rop, bool smooth)
{
    QPainter::CompositionMode mode;
    switch (rop) {
    case SRCCOPY:
        mode = QPainter::CompositionMode_Source;
        break;
    case SRCPAINT:
        mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case SRCAND:
        mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case SRCINVERT:
        mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case SRCERASE:
        mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case NOTSRCCOPY:
        mode = QPainter::RasterOp_NotSource;
        break;
    default:
        return false;
    }
    Paint p(dst, target);
    p->setCompositionMode(mode);
    p->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    p->drawImage(target, src);
    return true;
}

bool PatternBlit(HDC dc, const QRect& r, DWORD rop)
{
    Paint p(dc, r);
    switch (rop) {
    case BLACKNESS:
        p->fillRect(r, Qt::black);
        return true;
    case WHITENESS:
        p->fillRect(r, Qt::white);
        return true;
    case DSTINVERT:
        p->setCompositionMode(QPainter::RasterOp_NotDestination);
        p->fillRect(r, Qt::black);
        return true;
    case PATCOPY:
    case PATINVERT: {
        auto qb = QtBrush(dc->St.Brush);
        if (!qb)
            return true;
        if (rop == PATINVERT)
            p->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        FillWith(p, r, *qb, dc);
        return true;
    }
    default:
        return false;
    }
}

QImage SourceImage(HDC src, int sx, int sy, int sw, int sh)
{
    QImage* img = Surface(src);
    if (!img || img->isNull())
        return QImage();
    QRect r(sx + src->St.Origin.x, sy + src->St.Origin.y, sw, sh);
    // Parts outside the source read as black, as an empty bitmap does.
    return CopyLogical(*img, r);
}
} // namespace

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop)
{
    if (!Valid(dst))
        return FALSE;
    QRect target = Normalized(x, y, x + w, y + h);
    if (target.isEmpty())
        return TRUE;
    if (IsPatternRop(rop))
        return PatternBlit(dst, target, rop) ? TRUE : FALSE;
    if (!Valid(src))
        return FALSE;
    QImage part = SourceImage(src, sx, sy, target.width(), target.height());
    if (part.isNull())
        return FALSE;
    return BlitImage(dst, target, part, rop, false) ? TRUE : FALSE;
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop)
{
    if (!Valid(dst))
        return FALSE;
    QRect target = Normalized(x, y, x + w, y + h);
    if (target.isEmpty())
        return TRUE;
    if (IsPatternRop(rop))
        return PatternBlit(dst, target, rop) ? TRUE : FALSE;
    if (!Valid(src) || sw == 0 || sh == 0)
        return FALSE;
    QRect from = Normalized(sx, sy, sx + sw, sy + sh);
    QImage part = SourceImage(src, from.x(), from.y(), from.width(), from.height());
    if (part.isNull())
        return FALSE;
    // Opposite signs of the two sizes mirror the image.
    bool flipX = (w < 0) != (sw < 0);
    bool flipY = (h < 0) != (sh < 0);
    if (flipX || flipY)
        part = part.mirrored(flipX, flipY);
    return BlitImage(dst, target, part, rop, dst->St.StretchMode == HALFTONE) ? TRUE : FALSE;
}

namespace {
QRegion OpaquePart(const QImage& image, COLORREF transparent)
{
    const QImage img = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    const QRgb key = qRgb(GetRValue(transparent), GetGValue(transparent), GetBValue(transparent));
    std::vector<QRect> runs;
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width();) {
            while (x < img.width() && (row[x] | 0xff000000u) == key)
                ++x;
            const int start = x;
            while (x < img.width() && (row[x] | 0xff000000u) != key)
                ++x;
            if (x > start)
                runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion r;
    r.setRects(runs.data(), static_cast<int>(runs.size()));
    return r;
}

const QRegion& OpaqueRegion(BitmapObj* b, COLORREF transparent)
{
    if (b->OpaqueKey != b->Image.cacheKey() || b->OpaqueColor != transparent || b->OpaqueKey == 0) {
        b->Opaque = OpaquePart(b->Image, transparent);
        b->OpaqueKey = b->Image.cacheKey();
        b->OpaqueColor = transparent;
    }
    return b->Opaque;
}
} // namespace

BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent)
{
    if (!Valid(dst) || !Valid(src) || w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return FALSE;
    if (src->Kind != HDC__::Memory || !src->St.Bitmap || src->St.Bitmap->Image.isNull())
        return FALSE;
    BitmapObj* b = src->St.Bitmap;
    const QRect from(sx + src->St.Origin.x, sy + src->St.Origin.y, sw, sh);
    const QRect target(x, y, w, h);
    QRegion opaque = OpaqueRegion(b, transparent & 0xffffff) & from;
    opaque.translate(x - from.x(), y - from.y());
    if (w != sw || h != sh) {
        QTransform stretch;
        stretch.translate(x, y);
        stretch.scale(double(w) / sw, double(h) / sh);
        stretch.translate(-x, -y);
        opaque = stretch.map(opaque);
    }
    Paint p(dst, target);
    p->setClipRegion(opaque, Qt::IntersectClip);
    p->setCompositionMode(QPainter::CompositionMode_Source);
    p->drawImage(target, b->Image, from);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop)
{
    if (!Valid(dc) || !IsPatternRop(rop))
        return FALSE;
    QRect r = Normalized(x, y, x + w, y + h);
    if (r.isEmpty())
        return TRUE;
    return PatternBlit(dc, r, rop) ? TRUE : FALSE;
}

// ---- Windows -----------------------------------------------------------------------------

void SetWindowSurfaceProvider(std::function<QImage*(HWND)> provider)
{
    TheHooks().Surface = std::move(provider);
}

void SetWindowSurfaceSizeProvider(std::function<bool(HWND, SIZE*)> provider)
{
    TheHooks().SurfaceSize = std::move(provider);
}

void SetInvalidateHandler(std::function<void(HWND, const RECT*, BOOL)> handler)
{
    TheHooks().Invalidate = std::move(handler);
}

void SetSurfaceChangedHandler(std::function<void(HWND, const RECT&)> handler)
{
    TheHooks().Changed = std::move(handler);
}

namespace {
QImage* WindowSurface(HWND hwnd)
{
    if (!hwnd || !TheHooks().Surface)
        return nullptr;
    QImage* img = TheHooks().Surface(hwnd);
    return img && !img->isNull() ? img : nullptr;
}
} // namespace

HDC GetDC(HWND hwnd)
{
    HDC dc = NewDC(hwnd ? HDC__::Window : HDC__::Screen);
    dc->Hwnd = hwnd;
    dc->TargetPending = hwnd != nullptr;
    return dc;
}

int ReleaseDC(HWND, HDC dc)
{
    if (!Valid(dc) || (dc->Kind != HDC__::Window && dc->Kind != HDC__::Screen))
        return 0;
    FreeDC(dc);
    return 1;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps)
{
    if (!ps)
        return nullptr;
    HDC dc = GetDC(hwnd);
    QRect whole = SurfaceRect(dc);
    auto& updates = TheHooks().Updates;
    auto it = updates.find(hwnd);
    QRect area = whole;
    bool erase = true;
    if (it != updates.end()) {
        area = it->second.Rect & whole;
        erase = it->second.Erase;
        updates.erase(it);
    }
    dc->St.Clipped = true;
    dc->St.Clip = area;
    ps->hdc = dc;
    ps->fErase = erase ? TRUE : FALSE;
    ps->rcPaint = ToRECT(area);
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* ps)
{
    if (!ps || !Valid(ps->hdc))
        return FALSE;
    FreeDC(ps->hdc);
    return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (hwnd) {
        QRect r = rect ? ToQRect(*rect) : QRect(-0x4000000, -0x4000000, 0x8000000, 0x8000000);
        if (SIZE size{}; !rect && TheHooks().SurfaceSize && TheHooks().SurfaceSize(hwnd, &size))
            r = QRect(0, 0, size.cx, size.cy);
        else if (QImage* img = rect ? nullptr : WindowSurface(hwnd))
            r = LogicalRect(*img);
        auto& pending = TheHooks().Updates[hwnd];
        pending.Rect |= r;
        pending.Erase = pending.Erase || erase;
    }
    if (TheHooks().Invalidate)
        TheHooks().Invalidate(hwnd, rect, erase);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    auto& updates = TheHooks().Updates;
    auto it = updates.find(hwnd);
    if (it == updates.end())
        return TRUE;
    if (!rect || ToQRect(*rect).contains(it->second.Rect))
        updates.erase(it);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    auto& updates = TheHooks().Updates;
    auto it = updates.find(hwnd);
    bool any = it != updates.end() && !it->second.Rect.isEmpty();
    if (rect)
        *rect = any ? ToRECT(it->second.Rect) : RECT{};
    return any ? TRUE : FALSE;
}

void ForgetWindowUpdate(HWND hwnd)
{
    TheHooks().Updates.erase(hwnd);
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRgn, RECT* update,
                   UINT flags)
{
    QImage* img = WindowSurface(hwnd);
    if (!img) {
        if (update)
            *update = RECT{};
        if (flags & SW_INVALIDATE)
            InvalidateRect(hwnd, nullptr, (flags & SW_ERASE) ? TRUE : FALSE);
        return RGN_ERROR;
    }
    QRect whole = LogicalRect(*img);
    QRect valid = (scroll ? ToQRect(*scroll) : whole) & (clip ? ToQRect(*clip) : whole) & whole;
    QRect dest = valid.translated(dx, dy) & valid;
    if (!dest.isEmpty()) {
        QImage moved = CopyLogical(*img, dest.translated(-dx, -dy));
        QPainter p(img);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(dest.topLeft(), moved);
    }
    // What the move uncovered: valid minus dest, as a bounding box (an L shape when both
    // offsets are non-zero).
    QRect exposed;
    int pieces = 0;
    if (dest.isEmpty()) {
        exposed = valid;
        pieces = valid.isEmpty() ? 0 : 1;
    } else {
        const QRect strips[] = {
            QRect(QPoint(valid.left(), valid.top()), QPoint(valid.right(), dest.top() - 1)),
            QRect(QPoint(valid.left(), dest.bottom() + 1), QPoint(valid.right(), valid.bottom())),
            QRect(QPoint(valid.left(), valid.top()), QPoint(dest.left() - 1, valid.bottom())),
            QRect(QPoint(dest.right() + 1, valid.top()), QPoint(valid.right(), valid.bottom())),
        };
        for (const QRect& s : strips)
            if (s.isValid() && !s.isEmpty()) {
                exposed |= s;
                ++pieces;
            }
    }
    RECT out = ToRECT(exposed);
    if (update)
        *update = out;
    if (auto* rgn = As<RgnObj>(updateRgn, OBJ_REGION))
        rgn->Rect = exposed;
    // A pending update area travels with the pixels it covers.
    auto& updates = TheHooks().Updates;
    if (auto it = updates.find(hwnd); it != updates.end() && !it->second.Rect.isEmpty())
        it->second.Rect |= it->second.Rect.translated(dx, dy) & valid;
    if ((flags & SW_INVALIDATE) && !exposed.isEmpty())
        InvalidateRect(hwnd, &out, (flags & SW_ERASE) ? TRUE : FALSE);
    if (TheHooks().Changed && !valid.isEmpty())
        TheHooks().Changed(hwnd, ToRECT(valid));
    if (pieces == 0)
        return NULLREGION;
    return pieces == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// ---- Screen metrics ----------------------------------------------------------------------

namespace {
std::map<int, int>& MetricOverrides()
{
    static std::map<int, int> overrides;
    return overrides;
}

QSize ScreenSize()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = QGuiApplication::primaryScreen())
            return s->geometry().size();
    return QSize(1024, 768);
}
} // namespace

void SetSystemMetricsOverride(int index, int value)
{
    MetricOverrides()[index] = value;
}

void ClearSystemMetricsOverrides()
{
    MetricOverrides().clear();
}

int GetSystemMetrics(int index)
{
    if (auto it = MetricOverrides().find(index); it != MetricOverrides().end())
        return it->second;
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
        return ScreenSize().width();
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return ScreenSize().height();
    case SM_CYFULLSCREEN:
        return ScreenSize().height() - 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
        return 16;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CYSMCAPTION:
        return 15;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    case SM_CMONITORS:
        return 1;
    default:
        return 0;
    }
}

// ---- Application -------------------------------------------------------------------------

void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "quillmere";
    static char* argv[] = {name, nullptr};
    // Lives for the rest of the process: fonts and images created from it stay valid.
    new QApplication(argc, argv);
}
