#include "app/FormImage.h"

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "platform/Gdi.h"

#include <algorithm>

bool DrawFormImage(TWinControl* Control, TCanvas* Canvas, int Width, int Height)
{
    if (!Control || !Canvas || Width <= 0 || Height <= 0)
        return false;
    Control->HandleNeeded();
    const int w = Control->ClientWidth(), h = Control->ClientHeight();
    if (w <= 0 || h <= 0)
        return false;
    HDC dc = CreateScaledDC(Canvas->GetHandle(), std::min(double(Width) / w, double(Height) / h));
    if (!dc)
        return false;
    try {
        Control->PaintTo(dc);
    } catch (...) {
        DeleteDC(dc);
        throw;
    }
    DeleteDC(dc);
    return true;
}
