#include "platform/WindowingInternal.h"

#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <map>

#include "platform/Gdi.h"

using namespace window_detail;

namespace {
// Shared cursors live for the whole run; kept behind a pointer so exit does not free them
// while their handles may still be in use.
std::map<uintptr_t, QCursor*>& SharedCursors()
{
    static auto* cursors = new std::map<uintptr_t, QCursor*>;
    return *cursors;
}
bool IsSharedCursor(const QCursor* c)
{
    for (auto& [id, shared] : SharedCursors())
        if (shared == c)
            return true;
    return false;
}
} // namespace

HCURSOR LoadCursorA(const void* instance, LPCSTR name)
{
    if (instance)
        return nullptr;
    const auto id = reinterpret_cast<uintptr_t>(name);
    Qt::CursorShape shape;
    switch (id) {
    case 32512: shape = Qt::ArrowCursor; break;
    case 32513: shape = Qt::IBeamCursor; break;
    case 32514: shape = Qt::WaitCursor; break;
    case 32515: shape = Qt::CrossCursor; break;
    case 32516: shape = Qt::UpArrowCursor; break;
    case 32642: shape = Qt::SizeFDiagCursor; break;
    case 32643: shape = Qt::SizeBDiagCursor; break;
    case 32644: shape = Qt::SizeHorCursor; break;
    case 32645: shape = Qt::SizeVerCursor; break;
    case 32646: shape = Qt::SizeAllCursor; break;
    case 32648: shape = Qt::ForbiddenCursor; break;
    case 32649: shape = Qt::PointingHandCursor; break;
    case 32650: shape = Qt::BusyCursor; break;
    case 32651: shape = Qt::WhatsThisCursor; break;
    default: return nullptr;
    }
    QCursor*& c = SharedCursors()[id];
    if (!c) {
        EnsureGuiApplication();
        c = new QCursor(shape);
    }
    return reinterpret_cast<HCURSOR>(c);
}

HCURSOR CreateCursor(int hotX, int hotY, int width, int height, const void* andBits, const void* xorBits)
{
    if (width <= 0 || height <= 0 || width > 256 || height > 256 || !andBits || !xorBits)
        return nullptr;
    if (hotX < 0 || hotY < 0 || hotX >= width || hotY >= height)
        return nullptr;
    EnsureGuiApplication();
    const int stride = (width + 15) / 16 * 2;
    const auto* andRows = static_cast<const unsigned char*>(andBits);
    const auto* xorRows = static_cast<const unsigned char*>(xorBits);
    // The toolkit's masks: a set mask bit is opaque, a set picture bit is black (inverted
    // where the mask is clear).
    QImage picture(width, height, QImage::Format_Mono), mask(width, height, QImage::Format_Mono);
    picture.setColor(0, qRgb(255, 255, 255));
    picture.setColor(1, qRgb(0, 0, 0));
    mask.setColor(0, qRgb(255, 255, 255));
    mask.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int byte = y * stride + x / 8, bit = 7 - x % 8;
            const bool a = (andRows[byte] >> bit) & 1, o = (xorRows[byte] >> bit) & 1;
            picture.setPixel(x, y, a == o ? 1 : 0);
            mask.setPixel(x, y, a ? 0 : 1);
        }
    auto* c = new QCursor(QBitmap::fromImage(picture), QBitmap::fromImage(mask), hotX, hotY);
    return reinterpret_cast<HCURSOR>(c);
}

BOOL DestroyCursor(HCURSOR cursor)
{
    auto* c = reinterpret_cast<QCursor*>(cursor);
    if (!c)
        return FALSE;
    if (!IsSharedCursor(c))
        delete c;
    return TRUE;
}

void SetWindowCursor(HWND h, HCURSOR cursor)
{
    QmWindow* w = Win(h);
    if (!w)
        return;
    auto* c = reinterpret_cast<const QCursor*>(cursor);
    for (QWidget* target : {static_cast<QWidget*>(w), static_cast<QWidget*>(w->Native.data())}) {
        if (!target)
            continue;
        if (c)
            target->setCursor(*c);
        else
            target->unsetCursor();
    }
}
