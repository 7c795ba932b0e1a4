#pragma once
// Maps the face names forms and settings ask for to the fonts this system ships.
#include <string>
#include <vector>

struct FontFace {
    std::string Family;
    bool ForceBold = false;
    bool FixedPitch = false;
    // The size drawn, in percent of the size asked: a stand-in wider than the face it
    // replaces is drawn smaller, so text keeps the width its windows were laid out for.
    int SizePercent = 100;
};

// Known names map to a fixed family (ASCII case ignored); anything else keeps its own name
// with no forced style, so Qt's matching falls back through fontconfig; an empty name
// gives the default sans-serif face.
FontFace MapFontFace(const std::string& requested);
// The known names whose family is among the installed ones (ASCII case ignored), in table
// order: a font list offers them beside the installed families, since they resolve here.
std::vector<std::string> MappedFaceNames(const std::vector<std::string>& installed);
