#pragma once
// The picture of a window's client area, as the printout and the screenshots use it.
#include <string>

class TWinControl;
class TCanvas;

// Draws Control's client image on Canvas inside Width x Height, scaled to fit with its
// proportions kept, at the top left. False when the window has no image.
bool DrawFormImage(TWinControl* Control, TCanvas* Canvas, int Width, int Height);
// Saves Control's client image as a PNG file; false when that failed.
bool SaveFormImage(TWinControl* Control, const std::string& FileName);
