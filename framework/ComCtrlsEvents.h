#pragma once
// The event table's rows for the common controls and the grid, in the form their older tests
// read: events joined by ",". The table itself is framework/EventRules.h.
#include <string>
#include <string_view>
#include <vector>

#include "framework/EventRules.h"

struct TComEventRule {
    std::string Control;
    std::string Change;
    bool ByUser;
    std::string Fires;
};

inline const std::vector<TComEventRule> ComCtrlsEventRules = [] {
    std::vector<TComEventRule> rows;
    for (const TEventRule& r : EventRules) {
        std::string_view c = r.ClassName;
        if (c != "TStringGrid" && c != "TPageControl" && c != "TTabSheet" && c != "TToolButton" &&
            c != "TCoolBar" && c != "TStatusBar")
            continue;
        std::string fires(r.Events);
        for (char& ch : fires)
            if (ch == ' ')
                ch = ',';
        rows.push_back({std::string(c), std::string(r.Change), r.By == TChangeBy::User, fires});
    }
    return rows;
}();
