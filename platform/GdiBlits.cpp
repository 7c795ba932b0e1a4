#include "platform/GdiInternal.h"

#include <QTransform>

#include <iterator>
#include <utility>

using namespace gdi_detail;

namespace {
bool IsPatternRop(DWORD rop)
{
    return rop == PATCOPY || rop == PATINVERT || rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS;
}

// Draws src (already cut to the source rectangle) into target with the raster operation.
bool BlitImage(HDC dst, const QRect& target, const QImage& src, DWORD rop, bool smooth)
{
    static constexpr std::pair<DWORD, QPainter::CompositionMode> kModes[] = {
        {SRCCOPY, QPainter::CompositionMode_Source},
        {SRCPAINT, QPainter::RasterOp_SourceOrDestination},
        {SRCAND, QPainter::RasterOp_SourceAndDestination},
        {SRCINVERT, QPainter::RasterOp_SourceXorDestination},
        {SRCERASE, QPainter::RasterOp_SourceAndNotDestination},
        {NOTSRCCOPY, QPainter::RasterOp_NotSource},
    };
    const auto mode =
        std::find_if(std::begin(kModes), std::end(kModes), [&](const auto& m) { return m.first == rop; });
    if (mode == std::end(kModes))
        return false;
    Paint p(dst, target);
    p->setCompositionMode(mode->second);
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

// A blit onto the rectangle (x, y, w, h): a pattern operation fills it, any other draws what
// `draw` takes from its source (false when there is nothing to take).
template <class Draw>
BOOL Blit(HDC dst, int x, int y, int w, int h, DWORD rop, Draw draw)
{
    if (!Valid(dst))
        return FALSE;
    const QRect target = Normalized(x, y, x + w, y + h);
    if (target.isEmpty())
        return TRUE;
    if (IsPatternRop(rop))
        return PatternBlit(dst, target, rop) ? TRUE : FALSE;
    return draw(target) ? TRUE : FALSE;
}
} // namespace

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop)
{
    return Blit(dst, x, y, w, h, rop, [&](const QRect& target) {
        if (!Valid(src))
            return false;
        const QImage part = SourceImage(src, sx, sy, target.width(), target.height());
        return !part.isNull() && BlitImage(dst, target, part, rop, false);
    });
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop)
{
    return Blit(dst, x, y, w, h, rop, [&](const QRect& target) {
        if (!Valid(src) || sw == 0 || sh == 0)
            return false;
        const QRect from = Normalized(sx, sy, sx + sw, sy + sh);
        QImage part = SourceImage(src, from.x(), from.y(), from.width(), from.height());
        if (part.isNull())
            return false;
        // Opposite signs of the two sizes mirror the image.
        const bool flipX = (w < 0) != (sw < 0);
        const bool flipY = (h < 0) != (sh < 0);
        if (flipX || flipY)
            part = part.mirrored(flipX, flipY);
        return BlitImage(dst, target, part, rop, dst->St.StretchMode == HALFTONE);
    });
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
    p->setCompositionMode(QPainter::CompositionMode_Source);
    if (w == sw && h == sh) {
        // A plain copy of each opaque run that the context's clip lets through: under a clip
        // region of many rows the raster engine blends span by span on helper threads, and a
        // picture that is repainted twice a second would wake them each time.
        if (p->hasClipping())
            opaque &= p->clipBoundingRect().toAlignedRect();
        const QPoint shift = from.topLeft() - target.topLeft();
        for (const QRect& run : opaque)
            p->drawImage(run, b->Image, run.translated(shift));
        return TRUE;
    }
    p->setClipRegion(opaque, Qt::IntersectClip);
    p->drawImage(target, b->Image, from);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop)
{
    if (!IsPatternRop(rop))
        return FALSE;
    return Blit(dc, x, y, w, h, rop, [](const QRect&) { return false; });
}
