#pragma once
// How the drawing layer reaches the pixels of a window: the window adaptor answers these
// hooks (a test may put its own in their place). The program itself only draws through
// contexts and asks for paints.
#include <functional>

#include "platform/WinTypes.h"

class QImage;
class QPainter;

// Why a window's image is asked for: to draw on or read what the window shows (a new image
// then starts as the window's paint), or to paint or move all of it (a new image then waits,
// all of it, for the window's next paint).
enum class ImageUse { Shown, Repainted };

struct WindowPaintHooks {
    // The window's own image, made when first asked for; null for a window that has none (a
    // host of a native widget).
    std::function<QImage*(HWND, ImageUse)> Image;
    // The size the window's image has or will have, so that asking for it makes none; false
    // for no such window.
    std::function<bool(HWND, SIZE*)> Size;
    // While a window without an image paints straight into the toolkit's buffer: the painter
    // its contexts draw with (in client coordinates, clipped to what is being painted).
    std::function<QPainter*(HWND)> Painter;
    // An area was invalidated (null: all of it): a paint is to be scheduled.
    std::function<void(HWND, const RECT*, BOOL erase)> Invalidated;
    // Pixels of the window's image changed (drawn on or scrolled): they are to be shown.
    std::function<void(HWND, const RECT&)> Drawn;
};

// Puts hooks in place and hands back those they replace.
WindowPaintHooks SetWindowPaintHooks(WindowPaintHooks hooks);

// Adds an area (null: all of it) to the window's update area without telling the window
// layer: for the paint about to run, which covers it.
void AddToUpdateArea(HWND hwnd, const RECT* rect, BOOL erase);
