// The "Menu Settings" page: the value editors that show and change the current row, the
// navigation by menu number, clearing a range of values and the page-change handler.
// Column 3 of MenuGrid holds a row's value code; column 2 is only ever derived from it here.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"

namespace {

// The tone editor offers only the codes that a menu accepts; "1750" (the last tone text)
// is a memory tone, and offering it would only let the user empty the row by choosing it.
constexpr int MenuToneCount = ToneCount - 1;

constexpr int MenuSettingsPageIndex = 1;
constexpr int CommandLinePageIndex = 2;

// Keeps a flag set for one scope and puts back what it was, also when an exception passes.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = old_; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

// A value code as the grid keeps it: a whole number 0..255. Anything else is no code.
bool ParseValueCode(const std::string& text, int& code)
{
    return TryStrToInt(Trim(text), code);
}

std::string TextBefore(const std::string& text, char c)
{
    const auto p = text.find(c);
    return p == std::string::npos ? text : text.substr(0, p);
}

std::string TextAfter(const std::string& text, char c)
{
    const auto p = text.find(c);
    return p == std::string::npos ? std::string() : text.substr(p + 1);
}

// The PF-key editor's items for one block: named functions, and every menu of a numbered
// range that the current set has, each as "code = text".
void FillPFKeyItems(TStrings* items, int block, int menuSet)
{
    items->Clear();
    if (block < 0 || block >= PFKeyBlockCount || !MenuTable.ValidIndex(menuSet))
        return;
    const TMenuSet& entries = MenuTable[menuSet];
    for (const TPFKey& key : PFKeyTable[std::size_t(block)]) {
        if (key.PFKind == 'N') {
            items->Add(std::string(key.PFCode) + " = " + key.PFName);
        } else if (key.PFKind == 'M') {
            const std::string range = key.PFName;
            const int lo = StrToIntDef(TextBefore(range, '~'), 0);
            const int hi = StrToIntDef(TextAfter(range, '~'), -1);
            const int base = StrToIntDef(key.PFCode, 0);
            for (int n = lo; n <= hi; ++n)
                for (const TMenuEntry& e : entries)
                    if (e.MenuNumber == IntToStr(n))
                        items->Add(IntToStr(n + base) + " = [Menu " + IntToStr(n) + "] " +
                                   e.MenuDescription);
        }
    }
}

// The shown text of a PF-key item: what follows "= ", cut after "]" for a menu.
std::string PFKeyItemText(const std::string& item)
{
    const auto eq = item.find('=');
    std::string text = eq == std::string::npos ? std::string() : item.substr(std::min(eq + 2, item.size()));
    if (text.rfind("[Menu", 0) == 0) {
        const auto close = text.find(']');
        if (close != std::string::npos)
            text.erase(close + 1);
    }
    return text;
}

} // namespace

std::string MenuValueText(const TMenuEntry& Entry, int Code, int MenuSet)
{
    if (Code < 0 || Code > 255)
        return std::string();
    switch (Entry.MenuValueKind) {
    case '0': {
        TStringList items;
        items.SetCommaText(Entry.MenuValueList);
        return Code < items.Count() ? items.Strings(Code) : std::string();
    }
    case '1': {
        const std::string list = Entry.MenuValueList;
        const int lo = StrToIntDef(TextBefore(list, ','), 0);
        const int hi = StrToIntDef(TextAfter(list, ','), 0);
        return Code >= lo && Code <= hi ? IntToStr(Code) : std::string();
    }
    case '2': return Code < MenuToneCount ? std::string(ToneTable[std::size_t(Code)].ToneText) : std::string();
    case '3': {
        TStringList items;
        FillPFKeyItems(&items, StrToIntDef(Entry.MenuValueList, -1), MenuSet);
        std::string key = IntToStr(Code);
        if (key.size() == 1)
            key += ' ';
        for (int i = 0; i < items.Count(); ++i)
            if (items.Strings(i).compare(0, 2, key) == 0)
                return PFKeyItemText(items.Strings(i));
        return std::string();
    }
    default: return std::string();
    }
}

std::uint8_t TForm1::FromMenuOptionToMenuGrid(std::uint8_t MenuNumber)
{
    const std::string key = IntToStr(MenuNumber);
    std::uint8_t row = 0;
    for (int r = 1; r < MenuGrid->RowCount() && r <= 255; ++r)
        if (MenuGrid->GetCell(mnNumber, r) == key)
            row = static_cast<std::uint8_t>(r);
    return row;
}

int TForm1::FromMenuGridToMenuOption(std::uint8_t Row)
{
    if (Row >= MenuGrid->RowCount())
        return 0;
    return StrToIntDef(MenuGrid->GetCell(mnNumber, Row), 0);
}

bool TForm1::MenuRangeRows(std::uint8_t From, std::uint8_t To, int& First, int& Last) const
{
    First = 0;
    Last = -1;
    for (int r = 1; r < MenuGrid->RowCount(); ++r) {
        int n = 0;
        if (!TryStrToInt(MenuGrid->GetCell(mnNumber, r), n) || n < From || n > To)
            continue;
        if (First == 0)
            First = r;
        Last = r;
    }
    return First != 0;
}

void TForm1::UpdateMenuEditFields()
{
    const int r = MenuGrid->Row();
    {
        TFlagScope updating(FMenuEditorsUpdating);
        MenuValueEdit0->SetVisible(false);
        MenuValueEdit1->SetVisible(false);
        MenuValueEdit2->SetVisible(false);
        MenuValueEdit3->SetVisible(false);

        int index = -1;
        const bool rowValid = r >= 1 && r < MenuGrid->RowCount() && MenuTable.ValidIndex(CurrentMenuSet) &&
                              TryStrToInt(MenuGrid->GetCell(mnEntry, r), index) && index >= 0 &&
                              index < MenuEntryCount;
        if (rowValid) {
            const TMenuEntry& e = MenuTable[CurrentMenuSet][std::size_t(index)];
            const std::string code = MenuGrid->GetCell(mnCode, r);
            int v = 0;
            const bool ok = ParseValueCode(code, v);
            // A number beyond a byte would wrap into some other legal code: it is illegal.
            const bool inByte = ok && v >= 0 && v <= 255;
            auto reportIllegal = [&] {
                ShowStatus("ERROR: Value " + code + " is an illegal value for menu option " +
                           MenuGrid->GetCell(mnNumber, r) + "!");
                MenuGrid->SetCell(mnValue, r, "");
                MenuGrid->SetCell(mnCode, r, "");
            };

            switch (e.MenuValueKind) {
            case '0': {
                MenuValueEdit0->SetVisible(true);
                MenuValueEdit0->Items()->SetCommaText(e.MenuValueList);
                const int count = MenuValueEdit0->Items()->Count();
                MenuValueEdit0->SetColumns(count);
                if (ok) {
                    if (inByte && v < count) {
                        MenuValueEdit0->SetItemIndex(v);
                        MenuGrid->SetCell(mnValue, r, MenuValueEdit0->Items()->Strings(v));
                    } else {
                        reportIllegal();
                        MenuValueEdit0->SetItemIndex(0);
                    }
                } else {
                    // A row without a value selects none of the values.
                    MenuValueEdit0->SetItemIndex(-1);
                }
                break;
            }
            case '1': {
                MenuValueEdit1->SetVisible(true);
                const std::string list = e.MenuValueList;
                const int lo = StrToIntDef(TextBefore(list, ','), 0);
                const int hi = StrToIntDef(TextAfter(list, ','), 0);
                MenuValueEdit1->SetMinValue(lo);
                MenuValueEdit1->SetMaxValue(hi);
                if (ok) {
                    if (inByte && v >= lo && v <= hi) {
                        MenuValueEdit1->SetValue(v);
                        MenuGrid->SetCell(mnValue, r, MenuValueEdit1->Text());
                    } else {
                        reportIllegal();
                        MenuValueEdit1->SetValue(lo);
                    }
                }
                break;
            }
            case '2': {
                MenuValueEdit2->SetVisible(true);
                TStrings* items = MenuValueEdit2->Items();
                items->Clear();
                for (int i = 0; i < MenuToneCount; ++i)
                    items->Add(ToneTable[std::size_t(i)].ToneText);
                if (!ok) {
                    MenuValueEdit2->SetItemIndex(0);
                } else if (inByte && v < MenuToneCount) {
                    MenuValueEdit2->SetItemIndex(v);
                    MenuGrid->SetCell(mnValue, r, MenuValueEdit2->Text());
                } else {
                    reportIllegal();
                    MenuValueEdit2->SetItemIndex(0);
                }
                break;
            }
            case '3': {
                MenuValueEdit3->SetVisible(true);
                TStrings* items = MenuValueEdit3->Items();
                FillPFKeyItems(items, StrToIntDef(e.MenuValueList, -1), CurrentMenuSet);
                if (!ok) {
                    MenuValueEdit3->SetItemIndex(0);
                    break;
                }
                int found = -1;
                if (inByte) {
                    std::string key = IntToStr(v);
                    if (key.size() == 1)
                        key += ' ';
                    for (int i = 0; i < items->Count() && found < 0; ++i)
                        if (items->Strings(i).compare(0, 2, key) == 0)
                            found = i;
                }
                if (found >= 0) {
                    MenuValueEdit3->SetItemIndex(found);
                    MenuGrid->SetCell(mnValue, r, PFKeyItemText(items->Strings(found)));
                } else {
                    reportIllegal();
                    MenuValueEdit3->SetItemIndex(0);
                }
                break;
            }
            default: break;
            }
        }
    }
    // A value editor the user is working in keeps the focus: a spin edit would otherwise
    // lose it after the first digit typed.
    TWinControl* active = ActiveControl();
    const bool inValueEditor = active == MenuValueEdit0 || active == MenuValueEdit1 ||
                               active == MenuValueEdit2 || active == MenuValueEdit3;
    if (VYXPageControl->ActivePageIndex() == MenuSettingsPageIndex && !inValueEditor &&
        MenuEdit->CanFocus())
        MenuEdit->SetFocus();
    UpdateTaskBarUsed();
}

void TForm1::MenuGridClick(TObject*)
{
    MenuEdit->SetText(MenuGrid->GetCell(mnNumber, MenuGrid->Row()));
    UpdateMenuEditFields();
}

void TForm1::MenuEditChange(TObject*)
{
    int t0 = 0;
    if (!TryStrToInt(MenuEdit->Text(), t0))
        return;
    const int c = StrToIntDef(MenuGrid->GetCell(mnNumber, MenuGrid->Row()), 0);
    const bool up = t0 >= c;
    int t = t0;
    for (;;) {
        const std::string key = IntToStr(t);
        int row = 0;
        for (int r = 1; r < MenuGrid->RowCount(); ++r)
            if (MenuGrid->GetCell(mnNumber, r) == key)
                row = r;
        if (row != 0) {
            MenuGrid->SetRow(row);
            if (t != t0)
                MenuEdit->SetValue(t);
            return;
        }
        // Numbers the set does not show are skipped in the direction of the change;
        // running off either end puts back the current row's number.
        if (up) {
            if (t >= MenuEdit->MaxValue()) {
                MenuEdit->SetValue(c);
                return;
            }
            ++t;
        } else {
            if (t < 1) {
                MenuEdit->SetValue(c);
                return;
            }
            --t;
        }
    }
}

void TForm1::MenuValueEdit0Click(TObject*)
{
    if (FMenuEditorsUpdating || MenuValueEdit0->ItemIndex() < 0)
        return;
    MenuGrid->SetCell(mnCode, MenuGrid->Row(), IntToStr(MenuValueEdit0->ItemIndex()));
    FileChanged = true;
    UpdateMenuEditFields();
}

void TForm1::MenuValueEdit1Change(TObject*)
{
    if (FMenuEditorsUpdating)
        return;
    int v = 0;
    // A text that is no value yet is left alone while the user types; leaving the editor
    // puts it right.
    if (!TryStrToInt(Trim(MenuValueEdit1->Text()), v) || v < MenuValueEdit1->MinValue() ||
        v > MenuValueEdit1->MaxValue())
        return;
    MenuGrid->SetCell(mnCode, MenuGrid->Row(), IntToStr(v));
    FileChanged = true;
    UpdateMenuEditFields();
}

void TForm1::MenuValueEdit1Exit(TObject*)
{
    int v = 0;
    if (!TryStrToInt(Trim(MenuValueEdit1->Text()), v) || v < MenuValueEdit1->MinValue() ||
        v > MenuValueEdit1->MaxValue())
        MenuValueEdit1->SetValue(MenuValueEdit1->MinValue());
}

void TForm1::MenuValueEdit2Change(TObject*)
{
    if (FMenuEditorsUpdating || MenuValueEdit2->ItemIndex() < 0)
        return;
    MenuGrid->SetCell(mnCode, MenuGrid->Row(), IntToStr(MenuValueEdit2->ItemIndex()));
    FileChanged = true;
    UpdateMenuEditFields();
}

void TForm1::MenuValueEdit3Change(TObject*)
{
    const int i = MenuValueEdit3->ItemIndex();
    if (FMenuEditorsUpdating || i < 0)
        return;
    MenuGrid->SetCell(mnCode, MenuGrid->Row(), TextBefore(MenuValueEdit3->Items()->Strings(i), ' '));
    FileChanged = true;
    UpdateMenuEditFields();
}

void TForm1::Clear_Action_Menu(std::uint8_t From, std::uint8_t To)
{
    const int remembered = MenuEdit->Value();
    ChangeEnabled(false);
    FileChanged = true;
    // Ends that name no shown menu narrow the range to the menus within it; the title row
    // is never part of a range.
    int first = 0, last = -1;
    if (MenuRangeRows(From, To, first, last))
        for (int r = first; r <= last; ++r) {
            MenuGrid->SetCell(mnValue, r, "");
            MenuGrid->SetCell(mnCode, r, "");
        }
    ChangeEnabled(true);
    MenuEdit->SetValue(remembered);
    // The editor still shows the value of a row that may just have been emptied.
    UpdateMenuEditFields();
}

void TForm1::MenuClearFieldsButtonClick(TObject*)
{
    const int v = MenuEdit->Value();
    if (v < 0 || v > 255)
        return;
    Clear_Action_Menu(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v));
}

void TForm1::VYXPageControlChange(TObject*)
{
    UpdateTaskBarUsed();
    PrintMenu->SetEnabled(true);
    if (VYXPageControl->ActivePageIndex() == CommandLinePageIndex) {
        SetActiveControl(CmdLineEditCB);
        PrintMenu->SetEnabled(false);
    }
}

void TForm1::PublishMenuSetMembers(TClassBuilder<TForm1>& b)
{
#define QM_M(Name) b.Method(#Name, &TForm1::Name)
    QM_M(MenuGridClick); QM_M(MenuEditChange); QM_M(MenuValueEdit0Click);
    QM_M(MenuValueEdit1Change); QM_M(MenuValueEdit1Exit); QM_M(MenuValueEdit2Change);
    QM_M(MenuValueEdit3Change); QM_M(MenuClearFieldsButtonClick); QM_M(VYXPageControlChange);
    QM_M(MenuSetRXButtonClick); QM_M(MenuSetTXButtonClick); QM_M(MenuSetStopButtonClick);
#undef QM_M
}
