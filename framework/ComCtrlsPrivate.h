#pragma once
// Drawing helpers shared by the common controls' files only.
#include <string>

#include "framework/ComCtrls.h"

// A one-pixel frame just inside R.
void Frame3D(TCanvas* cv, const TRect& r, TColor topLeft, TColor bottomRight);
// Text width for layout: measured on the control's canvas once it has a window, else an
// estimate (layout is redone when the window appears).
int MeasureText(TCustomControl* c, const std::string& s);
// One line of text in R, cut with an ellipsis where it does not fit.
void DrawTextIn(TCanvas* cv, const TRect& r, const std::string& s, UINT align);
