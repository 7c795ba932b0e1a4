#include "platform/GdiInternal.h"

#include <unordered_set>

using namespace gdi_detail;

namespace {

std::unordered_set<HDC>& Contexts()
{
    static std::unordered_set<HDC> contexts;
    return contexts;
}

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

} // namespace

bool gdi_detail::Valid(HDC dc) { return dc && Contexts().count(dc) != 0; }

HDC gdi_detail::NewDC(HDC__::KindType kind)
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

void gdi_detail::FreeDC(HDC dc)
{
    HoldState(dc->St, -1);
    for (const DcState& s : dc->Saved)
        HoldState(s, -1);
    Contexts().erase(dc);
    delete dc;
}

QPainter* gdi_detail::ExternalPainter(HDC dc)
{
    if (dc->Kind == HDC__::Painter)
        return dc->External;
    if (dc->Kind == HDC__::Window && TheHooks().Painter)
        return TheHooks().Painter(dc->Hwnd);
    return nullptr;
}

QImage* gdi_detail::Surface(HDC dc, ImageUse use)
{
    switch (dc->Kind) {
    case HDC__::Memory:
        return dc->St.Bitmap->Image.isNull() ? &dc->Scratch : &dc->St.Bitmap->Image;
    case HDC__::Window:
        if (ExternalPainter(dc))
            return nullptr;
        if (QImage* img = WindowSurface(dc->Hwnd, use))
            return img;
        return &dc->Scratch;
    case HDC__::Image:
        return dc->Target ? dc->Target : &dc->Scratch;
    case HDC__::Screen:
        return &dc->Scratch;
    case HDC__::Painter:
        return nullptr;
    }
    return nullptr;
}

QRect gdi_detail::LogicalRect(const QImage& img)
{
    const qreal ratio = img.devicePixelRatio();
    if (ratio == 1.0)
        return img.rect();
    return QRect(0, 0, static_cast<int>(img.width() / ratio), static_cast<int>(img.height() / ratio));
}

QRect gdi_detail::PixelRect(const QImage& img, const QRect& r)
{
    const qreal ratio = img.devicePixelRatio();
    if (ratio == 1.0)
        return r;
    const int left = static_cast<int>(std::floor(r.left() * ratio));
    const int top = static_cast<int>(std::floor(r.top() * ratio));
    return QRect(left, top, static_cast<int>(std::floor((r.left() + r.width()) * ratio)) - left,
                 static_cast<int>(std::floor((r.top() + r.height()) * ratio)) - top);
}

QImage gdi_detail::CopyLogical(const QImage& img, const QRect& r)
{
    QImage part = img.copy(PixelRect(img, r));
    part.setDevicePixelRatio(img.devicePixelRatio());
    return part;
}

QRect gdi_detail::SurfaceRect(HDC dc)
{
    if (QImage* img = Surface(dc))
        return LogicalRect(*img);
    if (SIZE client{}; dc->Kind == HDC__::Window && TheHooks().Size && TheHooks().Size(dc->Hwnd, &client))
        return QRect(0, 0, client.cx, client.cy);
    return QRect(0, 0, dc->Device.Width, dc->Device.Height);
}

QRect gdi_detail::DeviceClip(HDC dc)
{
    QRect r = SurfaceRect(dc);
    return dc->St.Clipped ? r & dc->St.Clip : r;
}

QRect gdi_detail::ToDevice(HDC dc, const QRect& logical)
{
    return logical.translated(dc->St.Origin.x, dc->St.Origin.y);
}

Paint::Paint(HDC dc, const QRect& area) : dc_(dc)
{
    if (QPainter* external = ExternalPainter(dc)) {
        p_ = external;
        p_->save();
    } else {
        QImage* img = Surface(dc);
        drawsOnWindow_ = dc->Kind == HDC__::Window && img != &dc->Scratch;
        own_.emplace(img);
        p_ = &*own_;
    }
    if (dc->Scale != 1.0)
        p_->scale(dc->Scale, dc->Scale);
    p_->setRenderHint(QPainter::Antialiasing, false);
    p_->setRenderHint(QPainter::TextAntialiasing, true);
    // A window's painter is already clipped to what its paint may touch.
    if (dc->St.Clipped)
        p_->setClipRect(dc->St.Clip, dc->Kind == HDC__::Window ? Qt::IntersectClip : Qt::ReplaceClip);
    p_->translate(dc->St.Origin.x, dc->St.Origin.y);
    changed_ = ToDevice(dc, area) & DeviceClip(dc);
}

Paint::~Paint()
{
    if (own_)
        own_->end();
    else
        p_->restore();
    if (drawsOnWindow_ && !changed_.isEmpty() && TheHooks().Drawn)
        TheHooks().Drawn(dc_->Hwnd, ToRECT(changed_));
}

void Paint::SetRop2(int rop)
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

BrushObj* gdi_detail::BrushArg(HBRUSH br)
{
    auto v = reinterpret_cast<uintptr_t>(br);
    if (v >= 1 && v <= static_cast<uintptr_t>(COLOR_INFOBK) + 1)
        return static_cast<BrushObj*>(GetSysColorBrush(static_cast<int>(v - 1)));
    return As<BrushObj>(br, OBJ_BRUSH);
}

std::optional<QBrush> gdi_detail::QtBrush(const BrushObj* b)
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

void gdi_detail::FillWith(Paint& p, const QRect& r, const QBrush& brush, HDC dc)
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

BOOL gdi_detail::SetPointState(HDC dc, POINT DcState::*field, int x, int y, POINT* old)
{
    if (!Valid(dc))
        return FALSE;
    if (old)
        *old = dc->St.*field;
    dc->St.*field = POINT{x, y};
    return TRUE;
}

BOOL gdi_detail::GetPointState(HDC dc, POINT DcState::*field, POINT* out)
{
    if (!Valid(dc) || !out)
        return FALSE;
    *out = dc->St.*field;
    return TRUE;
}

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

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old)
{
    return SetPointState(dc, &DcState::Origin, x, y, old);
}

BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old)
{
    if (!Valid(dc))
        return FALSE;
    return SetViewportOrgEx(dc, dc->St.Origin.x + dx, dc->St.Origin.y + dy, old);
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
