#include "app/FormImage.h"

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "platform/Gdi.h"
#include "platform/ScopeExit.h"

#include <algorithm>

bool DrawFormImage(TWinControl* Control, TCanvas* Canvas, int Width, int Height, int ImageWidth)
{
    if (!Control || !Canvas || Width <= 0 || Height <= 0)
        return false;
    Control->HandleNeeded();
    const int h = Control->ClientHeight();
    const int w = ImageWidth > 0 ? std::min(ImageWidth, Control->ClientWidth()) : Control->ClientWidth();
    if (w <= 0 || h <= 0)
        return false;
    const double scale = std::min(double(Width) / w, double(Height) / h);
    HDC dc = CreateScaledDC(Canvas->GetHandle(), scale);
    if (!dc)
        return false;
    // Centred across the width: equal margins left and right of an image narrower than the page.
    SetViewportOrgEx(dc, int((Width / scale - w) / 2), 0, nullptr);
    IntersectClipRect(dc, 0, 0, w, h);
    ScopeExit deleteDc([dc] { DeleteDC(dc); });
    Control->PaintTo(dc);
    return true;
}
