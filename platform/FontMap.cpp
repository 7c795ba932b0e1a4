#include "platform/FontMap.h"

#include <algorithm>

#include "platform/Codepage.h"

namespace {
struct Entry {
    const char* Name;
    FontFace Face;
};
const Entry kTable[] = {
    {"Fixedsys", {"DejaVu Sans Mono", false, true}},
    {"Terminal", {"DejaVu Sans Mono", false, true}},
    {"System", {"DejaVu Sans", true, false}},
    // A narrow face: 8 points average 5 pixels a character, which Liberation Sans reaches
    // at 10 pixels rather than 11 (the default font of every dialog).
    {"MS Sans Serif", {"Liberation Sans", false, false, 91}},
    {"Microsoft Sans Serif", {"Liberation Sans", false, false, 91}},
    {"Arial", {"Liberation Sans", false, false}},
    {"Arial Black", {"Liberation Sans", true, false}},
    {"Tahoma", {"Liberation Sans", false, false}},
    {"Verdana", {"Liberation Sans", false, false}},
    {"Courier New", {"Liberation Mono", false, true}},
    {"Courier", {"Liberation Mono", false, true}},
    {"Times New Roman", {"Liberation Serif", false, false}},
    {"MS Serif", {"Liberation Serif", false, false}},
};

bool SameName(const std::string& a, const char* b)
{
    return CompareIgnoringCase(a, b) == 0;
}
} // namespace

FontFace MapFontFace(const std::string& requested)
{
    std::string name = requested;
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (const Entry& e : kTable)
        if (SameName(name, e.Name))
            return e.Face;
    FontFace f;
    f.Family = name.empty() ? "Liberation Sans" : name;
    return f;
}

std::vector<std::string> MappedFaceNames(const std::vector<std::string>& installed)
{
    std::vector<std::string> names;
    for (const Entry& e : kTable)
        if (std::any_of(installed.begin(), installed.end(),
                        [&](const std::string& f) { return SameName(f, e.Face.Family.c_str()); }))
            names.push_back(e.Name);
    return names;
}
