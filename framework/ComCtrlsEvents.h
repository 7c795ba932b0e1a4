#pragma once
// Which change fires which event for the common controls and the string grid, written once.
// ByUser: the user's action on the control; otherwise the change is made by code. Fires
// lists the events in the order they fire ("" for none). The tests walk this table.

struct TComEventRule {
    const char* Control;
    const char* Change;
    bool ByUser;
    const char* Fires;
};

inline constexpr TComEventRule ComCtrlsEventRules[] = {
    {"TStringGrid", "Row", false, "OnSelectCell,OnClick"},
    {"TStringGrid", "Row (same value)", false, ""},
    {"TStringGrid", "Col", false, "OnSelectCell,OnClick"},
    {"TStringGrid", "Col (same value)", false, ""},
    {"TStringGrid", "Selection", false, ""},
    {"TStringGrid", "Cells", false, ""},
    {"TStringGrid", "RowCount", false, ""},
    {"TStringGrid", "click on a cell", true, "OnSelectCell,OnMouseDown,OnClick,OnMouseUp"},
    {"TStringGrid", "arrow key", true, "OnKeyDown,OnSelectCell,OnClick"},
    {"TPageControl", "ActivePage", false, ""},
    {"TPageControl", "ActivePageIndex", false, ""},
    {"TPageControl", "TabIndex", false, ""},
    {"TPageControl", "click on a tab", true, "OnChanging,OnChange"},
    {"TPageControl", "click on a tab (vetoed)", true, "OnChanging"},
    {"TToolButton", "Down", false, ""},
    {"TToolButton", "click", true, "OnClick"},
    {"TToolButton", "click (disabled)", true, ""},
    {"TCoolBar", "Bands (outside an update)", false, "OnChange"},
    {"TStatusBar", "Panels", false, ""},
};
