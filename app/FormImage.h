#pragma once
// The picture of a window's client area, as the printout uses it.

class TWinControl;
class TCanvas;

// Draws Control's client area on Canvas (a printer's) inside Width x Height, scaled to fit
// with its proportions kept, at the top and centred across: drawn anew at the device's
// resolution, so text stays text. ImageWidth, when given, is the width of the client area the
// image was laid out in (its columns further right are left out). False when there is nothing
// to draw or Canvas cannot take a scaled drawing.
bool DrawFormImage(TWinControl* Control, TCanvas* Canvas, int Width, int Height, int ImageWidth = 0);
