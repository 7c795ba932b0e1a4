#pragma once
// A string list's texts as one value, so that a whole list is checked in one comparison.
#include <string>
#include <vector>

#include "framework/Classes.h"

namespace stringstest {

inline std::vector<std::string> Texts(TStrings* list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list->Count(); ++i)
        texts.push_back(list->Strings(i));
    return texts;
}

} // namespace stringstest
