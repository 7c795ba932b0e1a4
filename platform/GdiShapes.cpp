#include "platform/GdiInternal.h"

#include <cstdlib>

using namespace gdi_detail;

namespace {
// Fills or frames rect with a brush: a null brush draws nothing and succeeds, one that is no
// brush fails.
template <class Draw>
int BrushRect(HDC dc, const RECT* rect, HBRUSH brush, Draw draw)
{
    if (!Valid(dc) || !rect)
        return 0;
    const auto qb = QtBrush(BrushArg(brush));
    if (!qb)
        return BrushArg(brush) ? 1 : 0;
    draw(ToQRect(*rect), *qb);
    return 1;
}
} // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    return BrushRect(dc, rect, brush, [&](const QRect& r, const QBrush& b) {
        Paint p(dc, r);
        FillWith(p, r, b, dc);
    });
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    return BrushRect(dc, rect, brush, [&](const QRect& r, const QBrush& b) {
        if (r.isEmpty())
            return;
        Paint p(dc, r);
        p->fillRect(QRect(r.left(), r.top(), r.width(), 1), b);
        p->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), b);
        p->fillRect(QRect(r.left(), r.top(), 1, r.height()), b);
        p->fillRect(QRect(r.right(), r.top(), 1, r.height()), b);
    });
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

// A shape bounded by the rectangle: an empty one draws nothing and succeeds.
template <class Draw>
BOOL Shape(HDC dc, int left, int top, int right, int bottom, Draw draw)
{
    if (!Valid(dc))
        return FALSE;
    const QRect r = Normalized(left, top, right, bottom);
    if (r.isEmpty())
        return TRUE;
    Paint p(dc, r);
    draw(p, r);
    return TRUE;
}
} // namespace

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom)
{
    return Shape(dc, left, top, right, bottom, [&](Paint& p, const QRect& r) {
        auto qb = QtBrush(dc->St.Brush);
        if (qb)
            FillWith(p, r, *qb, dc);
        if (!PenVisible(dc))
            return;
        // The outline lies inside the rectangle, so a shape never exceeds its bounds.
        int w = std::clamp<int>(dc->St.Pen->Log.lopnWidth.x, 1, std::max(1, std::min(r.width(), r.height()) / 2));
        p.SetRop2(dc->St.Rop2);
        QColor c = PenColor(dc);
        p->fillRect(QRect(r.left(), r.top(), r.width(), w), c);
        p->fillRect(QRect(r.left(), r.bottom() - w + 1, r.width(), w), c);
        p->fillRect(QRect(r.left(), r.top() + w, w, r.height() - 2 * w), c);
        p->fillRect(QRect(r.right() - w + 1, r.top() + w, w, r.height() - 2 * w), c);
    });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom)
{
    return Shape(dc, left, top, right, bottom, [&](Paint& p, const QRect& r) {
        p.SetRop2(dc->St.Rop2);
        auto qb = QtBrush(dc->St.Brush);
        p->setBrush(qb ? *qb : QBrush());
        if (PenVisible(dc))
            p->setPen(QPen(PenColor(dc), std::max<int>(1, dc->St.Pen->Log.lopnWidth.x)));
        else
            p->setPen(Qt::NoPen);
        p->drawEllipse(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
    });
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

