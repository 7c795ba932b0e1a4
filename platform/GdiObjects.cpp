#include "platform/GdiInternal.h"

#include <QColor>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/FontMap.h"

using namespace gdi_detail;

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

namespace gdi_detail {

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

QImage NewImage(int w, int h)
{
    EnsureGuiApplication();
    QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setDotsPerMeterX(kDotsPerMeter96);
    img.setDotsPerMeterY(kDotsPerMeter96);
    return img;
}

} // namespace gdi_detail

namespace {

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

} // namespace

FontData& gdi_detail::DataOf(FontObj* f)
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

namespace {

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

} // namespace

gdi_detail::Stock::Stock()
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

Stock& gdi_detail::Stocks()
{
    static Stock s;
    return s;
}

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

HBITMAP CreateBitmapFromImage(QImage image)
{
    EnsureGuiApplication();
    // An image handed over is taken as it is: converting or setting the density of pixels
    // shared with the caller would copy them.
    if (image.format() != QImage::Format_RGB32)
        image = std::move(image).convertToFormat(QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMeter96);
    image.setDotsPerMeterY(kDotsPerMeter96);
    return NewBitmap(std::move(image));
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
