#include "platform/GdiInternal.h"

#include <utility>

using namespace gdi_detail;

WindowPaintHooks& gdi_detail::TheHooks()
{
    static WindowPaintHooks h;
    return h;
}

std::unordered_map<HWND, PendingUpdate>& gdi_detail::Updates()
{
    static std::unordered_map<HWND, PendingUpdate> updates;
    return updates;
}

WindowPaintHooks SetWindowPaintHooks(WindowPaintHooks hooks)
{
    return std::exchange(TheHooks(), std::move(hooks));
}

QImage* gdi_detail::WindowSurface(HWND hwnd, ImageUse use)
{
    if (!hwnd || !TheHooks().Image)
        return nullptr;
    QImage* img = TheHooks().Image(hwnd, use);
    return img && !img->isNull() ? img : nullptr;
}

HDC GetDC(HWND hwnd)
{
    HDC dc = NewDC(hwnd ? HDC__::Window : HDC__::Screen);
    dc->Hwnd = hwnd;
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
    // The paint draws all it is asked to: a new image of the window needs no paint first.
    Surface(dc, ImageUse::Repainted);
    QRect whole = SurfaceRect(dc);
    auto& updates = Updates();
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

void AddToUpdateArea(HWND hwnd, const RECT* rect, BOOL erase)
{
    if (!hwnd)
        return;
    QRect r = rect ? ToQRect(*rect) : QRect(-0x4000000, -0x4000000, 0x8000000, 0x8000000);
    if (SIZE size{}; !rect && TheHooks().Size && TheHooks().Size(hwnd, &size))
        r = QRect(0, 0, size.cx, size.cy);
    else if (QImage* img = rect ? nullptr : WindowSurface(hwnd, ImageUse::Repainted))
        r = LogicalRect(*img);
    PendingUpdate& pending = Updates()[hwnd];
    pending.Rect |= r;
    pending.Erase = pending.Erase || erase;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase)
{
    AddToUpdateArea(hwnd, rect, erase);
    if (TheHooks().Invalidated)
        TheHooks().Invalidated(hwnd, rect, erase);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect)
{
    auto& updates = Updates();
    auto it = updates.find(hwnd);
    if (it == updates.end())
        return TRUE;
    if (!rect || ToQRect(*rect).contains(it->second.Rect))
        updates.erase(it);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL)
{
    auto& updates = Updates();
    auto it = updates.find(hwnd);
    bool any = it != updates.end() && !it->second.Rect.isEmpty();
    if (rect)
        *rect = any ? ToRECT(it->second.Rect) : RECT{};
    return any ? TRUE : FALSE;
}

void ForgetWindowUpdate(HWND hwnd)
{
    Updates().erase(hwnd);
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN updateRgn, RECT* update,
                   UINT flags)
{
    // A window's new image has no pixels worth moving: all of it is painted.
    QImage* img = WindowSurface(hwnd, ImageUse::Repainted);
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
    auto& updates = Updates();
    if (auto it = updates.find(hwnd); it != updates.end() && !it->second.Rect.isEmpty())
        it->second.Rect |= it->second.Rect.translated(dx, dy) & valid;
    if ((flags & SW_INVALIDATE) && !exposed.isEmpty())
        InvalidateRect(hwnd, &out, (flags & SW_ERASE) ? TRUE : FALSE);
    if (TheHooks().Drawn && !valid.isEmpty())
        TheHooks().Drawn(hwnd, ToRECT(valid));
    if (pieces == 0)
        return NULLREGION;
    return pieces == 1 ? SIMPLEREGION : COMPLEXREGION;
}

