#pragma once
// Which change fires which event, for the standard controls. The controls follow this table
// and the tests replay every row: the change is made (by code, or as the user would make
// it) and exactly the events listed fire, in that order, once each. A handler that makes
// the same change again never re-enters its own event.
#include <cstddef>
#include <string_view>

enum class TChangeBy { Code, User };

struct TEventRule {
    std::string_view ClassName;
    std::string_view Change;  // a property set from code, or a user action
    TChangeBy By;
    std::string_view Events;  // fired in this order, space separated; "" fires none
};

inline constexpr TEventRule StdEventRules[] = {
    // Edits: every change of the text, from code or typed.
    {"TEdit", "Text", TChangeBy::Code, "OnChange"},
    {"TEdit", "SameText", TChangeBy::Code, ""},
    {"TEdit", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TEdit", "Focus", TChangeBy::User, "OnEnter"},
    {"TMemo", "Lines", TChangeBy::Code, "OnChange"},
    {"TMemo", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TSpinEdit", "Value", TChangeBy::Code, "OnChange"},
    {"TSpinEdit", "Text", TChangeBy::Code, "OnChange"},
    {"TSpinEdit", "Type", TChangeBy::User, "OnKeyDown OnKeyPress OnChange"},
    {"TSpinEdit", "UpArrow", TChangeBy::User, "OnKeyDown OnChange"},
    // Check and radio buttons click when the state changes, whoever changes it.
    {"TCheckBox", "Checked", TChangeBy::Code, "OnClick"},
    {"TCheckBox", "SameChecked", TChangeBy::Code, ""},
    {"TCheckBox", "Click", TChangeBy::User, "OnClick"},
    {"TRadioButton", "Checked", TChangeBy::Code, "OnClick"},
    {"TRadioButton", "Unchecked", TChangeBy::Code, ""},
    {"TRadioButton", "Click", TChangeBy::User, "OnClick"},
    {"TRadioGroup", "ItemIndex", TChangeBy::Code, "OnClick"},
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
    // Passive controls.
    {"TProgressBar", "Position", TChangeBy::Code, ""},
    {"TLabel", "Caption", TChangeBy::Code, ""},
    {"TPanel", "Caption", TChangeBy::Code, ""},
};

inline constexpr std::size_t StdEventRuleCount = sizeof(StdEventRules) / sizeof(StdEventRules[0]);
