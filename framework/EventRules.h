#pragma once
// Which change fires which event, for every control of the framework. The controls follow
// this table and the tests replay every row: the change is made (by code, as the user would
// make it, or by the clock) and exactly the events listed fire, in that order, once each.
// Mouse-button events are listed only where their order against the others matters (the
// grid). A handler that makes the same change again never re-enters its own event; rows named
// "..., again in On..." show what such a handler sees.
#include <cstddef>
#include <string_view>

enum class TChangeBy { Code, User, Clock };

struct TEventRule {
    std::string_view ClassName;
    std::string_view Change;  // a property set from code, a user action, or time passing
    TChangeBy By;
    std::string_view Events;  // fired in this order, space separated; "" fires none
};

inline constexpr TEventRule EventRules[] = {
    // Edits: every change of the text, from code or typed.
    {"TEdit", "Text", TChangeBy::Code, "OnChange"},
    {"TEdit", "Text (same value)", TChangeBy::Code, ""},
    {"TEdit", "Text, again in OnChange", TChangeBy::Code, "OnChange"},
    {"TEdit", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TEdit", "Focus", TChangeBy::User, "OnEnter"},
    {"TLabeledEdit", "Text", TChangeBy::Code, "OnChange"},
    {"TLabeledEdit", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TLabeledEdit", "EditLabel.Caption", TChangeBy::Code, ""},
    {"TMemo", "Lines", TChangeBy::Code, "OnChange"},
    {"TMemo", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TSpinEdit", "Value", TChangeBy::Code, "OnChange"},
    {"TSpinEdit", "Text", TChangeBy::Code, "OnChange"},
    {"TSpinEdit", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TSpinEdit", "UpArrow", TChangeBy::User, "OnKeyDown OnChange"},
    // Check and radio buttons click when the state changes, whoever changes it.
    {"TCheckBox", "Checked", TChangeBy::Code, "OnClick"},
    {"TCheckBox", "Checked (same value)", TChangeBy::Code, ""},
    {"TCheckBox", "Checked, again in OnClick", TChangeBy::Code, "OnClick"},
    {"TCheckBox", "Click", TChangeBy::User, "OnClick"},
    {"TRadioButton", "Checked", TChangeBy::Code, "OnClick"},
    {"TRadioButton", "Unchecked", TChangeBy::Code, ""},
    {"TRadioButton", "Click", TChangeBy::User, "OnClick"},
    {"TRadioGroup", "ItemIndex", TChangeBy::Code, "OnClick"},
    {"TRadioGroup", "ItemIndex (same value)", TChangeBy::Code, ""},
    // The handler's different index clicks once more, then the group settles.
    {"TRadioGroup", "ItemIndex, another in OnClick", TChangeBy::Code, "OnClick OnClick"},
    {"TRadioGroup", "Click", TChangeBy::User, "OnClick"},
    // Buttons click only when pressed.
    {"TButton", "Caption", TChangeBy::Code, ""},
    {"TButton", "Click", TChangeBy::User, "OnClick"},
    {"TBitBtn", "Kind", TChangeBy::Code, ""},
    {"TBitBtn", "Click", TChangeBy::User, "OnClick"},
    // Lists: only the user's choice tells; code setting the index or text is silent.
    {"TComboBox", "ItemIndex", TChangeBy::Code, ""},
    {"TComboBox", "Text", TChangeBy::Code, ""},
    {"TComboBox", "Items", TChangeBy::Code, ""},
    {"TComboBox", "Choose", TChangeBy::User, "OnClick OnSelect"},
    {"TComboBox", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TListBox", "ItemIndex", TChangeBy::Code, ""},
    {"TListBox", "Choose", TChangeBy::User, "OnClick"},
    {"TListBox", "DoubleClick", TChangeBy::User, "OnClick OnDblClick"},
    // The grid clicks whenever the current cell moves, also when code moves it, so that
    // whatever mirrors the current row follows every move.
    {"TStringGrid", "Row", TChangeBy::Code, "OnSelectCell OnClick"},
    {"TStringGrid", "Row (same value)", TChangeBy::Code, ""},
    {"TStringGrid", "Col", TChangeBy::Code, "OnSelectCell OnClick"},
    {"TStringGrid", "Col (same value)", TChangeBy::Code, ""},
    {"TStringGrid", "Row, another in OnClick", TChangeBy::Code, "OnSelectCell OnClick OnSelectCell OnClick"},
    {"TStringGrid", "Selection", TChangeBy::Code, ""},
    {"TStringGrid", "Cells", TChangeBy::Code, ""},
    {"TStringGrid", "RowCount", TChangeBy::Code, ""},
    // The user's clicks, on a grid that has the focus; a click on an unfocused grid focuses it
    // first, so its click handler can tell a user's click from a move by code.
    {"TStringGrid", "click on a cell", TChangeBy::User, "OnSelectCell OnMouseDown OnClick OnMouseUp"},
    {"TStringGrid", "click on a cell of an unfocused grid", TChangeBy::User, "OnEnter OnSelectCell OnMouseDown OnClick OnMouseUp"},
    {"TStringGrid", "click on the current cell", TChangeBy::User, "OnSelectCell OnMouseDown OnClick OnMouseUp"},
    {"TStringGrid", "click on a fixed cell", TChangeBy::User, "OnMouseDown OnMouseUp"},
    {"TStringGrid", "arrow key", TChangeBy::User, "OnKeyDown OnSelectCell OnClick"},
    // Pages change silently from code; the user's tab click asks first and may be vetoed, and
    // is then a click on the control like any other.
    {"TPageControl", "ActivePage", TChangeBy::Code, ""},
    {"TPageControl", "ActivePageIndex", TChangeBy::Code, ""},
    {"TPageControl", "TabIndex", TChangeBy::Code, ""},
    {"TPageControl", "click on a tab", TChangeBy::User, "OnChanging OnChange OnClick"},
    {"TPageControl", "click on a tab (vetoed)", TChangeBy::User, "OnChanging OnClick"},
    {"TPageControl", "click on the active tab", TChangeBy::User, "OnClick"},
    {"TTabSheet", "TabVisible", TChangeBy::Code, ""},
    {"TTabSheet", "TabVisible (active page)", TChangeBy::Code, ""},
    // Tool buttons click when pressed; Down from code is silent.
    {"TToolButton", "Down", TChangeBy::Code, ""},
    {"TToolButton", "click", TChangeBy::User, "OnClick"},
    {"TToolButton", "click (disabled)", TChangeBy::User, ""},
    {"TToolButton", "click (check style)", TChangeBy::User, "OnClick"},
    // Menu items click when chosen or clicked from code; check marks change silently.
    {"TMenuItem", "Click", TChangeBy::Code, "OnClick"},
    {"TMenuItem", "Click (disabled)", TChangeBy::Code, ""},
    {"TMenuItem", "Checked", TChangeBy::Code, ""},
    {"TMenuItem", "Checked (radio item)", TChangeBy::Code, ""},
    {"TMenuItem", "Choose", TChangeBy::User, "OnClick"},
    {"TMenuItem", "Choose (radio item)", TChangeBy::User, "OnClick"},
    {"TMenuItem", "ShortCut", TChangeBy::User, "OnClick"},
    {"TCoolBar", "Bands (outside an update)", TChangeBy::Code, "OnChange"},
    {"TStatusBar", "Panels", TChangeBy::Code, ""},
    // Passive controls.
    {"TProgressBar", "Position", TChangeBy::Code, ""},
    {"TProgressBar", "Min and Max", TChangeBy::Code, ""},
    {"TProgressBar", "StepIt", TChangeBy::Code, ""},
    {"TLabel", "Caption", TChangeBy::Code, ""},
    {"TStaticText", "Caption", TChangeBy::Code, ""},
    {"TStaticText", "Click", TChangeBy::User, "OnClick"},
    {"TPanel", "Caption", TChangeBy::Code, ""},
    // A timer never fires on being switched on or re-timed, only when the interval ends.
    {"TTimer", "Enabled", TChangeBy::Code, ""},
    {"TTimer", "Interval", TChangeBy::Code, ""},
    {"TTimer", "Interval elapses", TChangeBy::Clock, "OnTimer"},
};

inline constexpr std::size_t EventRuleCount = sizeof(EventRules) / sizeof(EventRules[0]);

// The row for a class and change, or nullptr.
constexpr const TEventRule* FindEventRule(std::string_view ClassName, std::string_view Change)
{
    for (const TEventRule& r : EventRules)
        if (r.ClassName == ClassName && r.Change == Change)
            return &r;
    return nullptr;
}
