#pragma once
// Standard controls: labels, edits, memos, buttons, check and radio buttons, combo and list
// boxes. Windowed ones embed a toolkit widget; their state lives here so that it survives a
// recreated window, and the widget is refreshed from it. Which change fires which event is
// listed in framework/EventRules.h.
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Forms.h"

class QWidget;
class QLineEdit;

QM_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)
QM_ENUM(TTextLayout, tlTop, tlCenter, tlBottom)
QM_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth)
QM_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed)
QM_ENUM(TComboBoxStyle, csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)
QM_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase)
QM_ENUM(TStaticBorderStyle, sbsNone, sbsSingle, sbsSunken)

// A windowed control that embeds one toolkit widget. Keys typed into the widget pass
// through the window procedure first (OnKeyDown, OnKeyPress, dialog keys), and the widget
// sees a key only if no handler swallowed it.
class TWidgetControl : public TWinControl {
    QM_CLASS(TWidgetControl, TWinControl)
public:
    explicit TWidgetControl(TComponent* AOwner);
    ~TWidgetControl() override;
    // The embedded widget, creating the window if needed (tests drive it directly).
    QWidget* NativeWidget();

protected:
    QWidget* CreateNativeWidget() final;
    virtual QWidget* MakeWidget() = 0;
    // Copies this control's state into the freshly made widget.
    virtual void SyncWidget() {}
    QWidget* Widget() const { return FWidget; }
    // The focus last came by a mouse click inside the control.
    bool FocusedByMouse() const { return FFocusedByMouse; }
    void ApplyFontAndColor();
    void CMFontChanged(TMessage& M) override;
    void CMColorChanged(TMessage& M) override;
    void CMEnabledChanged(TMessage& M) override;
    void WMKeyDown(TMessage& M) override;
    void WMChar(TMessage& M) override;
    void DefaultHandler(TMessage& M) override;

private:
    friend class TWidgetKeyFilter;
    QWidget* FWidget = nullptr;
    bool FFocusedByMouse = false;
    bool FKeyPassed = false;
    WPARAM FPassedKey = 0;
};

class TCustomLabel : public TGraphicControl {
    QM_CLASS(TCustomLabel, TGraphicControl)
public:
    explicit TCustomLabel(TComponent* AOwner);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    bool ShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool v);
    void SetAutoSize(bool v) override;
    void SetText(const std::string& v) override;
    // The text as drawn, one entry per line, wrapped at the width when WordWrap is set.
    std::vector<std::string> DisplayLines(TCanvas* C) const;

protected:
    void Paint() override;
    void FontChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Loaded() override;
    void Dispatch(TMessage& Message) override;
    void AdjustBounds();

private:
    void SetExtentFlag(bool& Field, bool v);
    TWinControl* FFocusControl = nullptr;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FTransparent = false;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
};

class TLabel : public TCustomLabel {
    QM_CLASS(TLabel, TCustomLabel)
public:
    explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

class TStaticText : public TWidgetControl {
    QM_CLASS(TStaticText, TWidgetControl)
public:
    explicit TStaticText(TComponent* AOwner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    TStaticBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TStaticBorderStyle v);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* v) { FFocusControl = v; }
    void SetText(const std::string& v) override;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    void CMFontChanged(TMessage& M) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TAlignment FAlignment = taLeftJustify;
    TStaticBorderStyle FBorderStyle = sbsNone;
    TWinControl* FFocusControl = nullptr;
};

class TCustomEdit : public TWidgetControl {
    QM_CLASS(TCustomEdit, TWidgetControl)
public:
    explicit TCustomEdit(TComponent* AOwner);
    std::string GetText() const override;
    void SetText(const std::string& v) override;
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase v);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool v) { FAutoSelect = v; }
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char v);
    void SelectAll();
    void Clear() { SetText(""); }
    // Focused again by the program while it has the focus, an AutoSelect edit selects its text
    // as on entering.
    void SetFocus() override;
    int SelStart() const;
    void SetSelStart(int v);
    int SelLength() const;
    // Selects as many characters from SelStart on (as many as there are).
    void SetSelLength(int v);
    TNotifyEvent OnChange;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    // The line edit showing the text (the widget itself, or a part of it).
    virtual QLineEdit* LineEdit() const;
    // Connects the line edit's user edits and selection to this control.
    void HookLineEdit(QLineEdit* Edit);
    virtual void Change();
    // With AutoSelect the whole text is selected, ready to be typed over, unless a click
    // inside the edit brought the focus (it places the caret).
    void CMEnter(TMessage& M) override;
    // Ctrl+A selects the text, before any menu shortcut of the same key.
    void WMKeyDown(TMessage& M) override;
    // The text was changed, by the user (true) or by code.
    void TextChanged(const std::string& NewText, bool ByUser);
    std::string FEditText;
    int FSelStart = 0, FSelLength = 0;

private:
    int FMaxLength = 0;
    bool FReadOnly = false;
    TEditCharCase FCharCase = ecNormal;
    bool FAutoSelect = true;
    char FPasswordChar = 0;
    bool FInChange = false;
};

class TEdit : public TCustomEdit {
    QM_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

class TMemoStrings;

class TCustomMemo : public TWidgetControl {
    QM_CLASS(TCustomMemo, TWidgetControl)
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;
    TStrings* Lines() const;
    void SetLines(TStrings* v);
    std::string GetText() const override;
    void SetText(const std::string& v) override;
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int v) { FMaxLength = v; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool v) { FWantReturns = v; }
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool v) { FWantTabs = v; }
    void SelectAll();
    void Clear() { SetText(""); }
    TNotifyEvent OnChange;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    void CMColorChanged(TMessage& M) override;
    void CMEnabledChanged(TMessage& M) override;
    virtual void Change();
    void TextChanged(const std::string& NewText, bool ByUser);

private:
    friend class TMemoStrings;
    void ApplyPalette();
    std::string FMemoText;
    std::unique_ptr<TMemoStrings> FLines;
    bool FReadOnly = false;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssNone;
    TAlignment FAlignment = taLeftJustify;
    int FMaxLength = 0;
    bool FWantReturns = true;
    bool FWantTabs = false;
    bool FInChange = false;
};

class TMemo : public TCustomMemo {
    QM_CLASS(TMemo, TCustomMemo)
public:
    explicit TMemo(TComponent* AOwner) : TCustomMemo(AOwner) {}
};

class TButtonControl : public TWidgetControl {
    QM_CLASS(TButtonControl, TWidgetControl)
public:
    explicit TButtonControl(TComponent* AOwner);
    void SetText(const std::string& v) override;
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v) { FWordWrap = v; }

protected:
    // Clicks once, never re-entered from its own OnClick.
    void GuardedClick();
    // Shows the caption on the toolkit button.
    void SyncCaption();

private:
    bool FClicking = false;
    bool FWordWrap = false;
};

class TButton : public TButtonControl {
    QM_CLASS(TButton, TButtonControl)
public:
    explicit TButton(TComponent* AOwner);
    ~TButton() override;
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult v) { FModalResult = v; }
    bool Default() const { return FDefault; }
    void SetDefault(bool v);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool v);
    // A press from code or the user: OnClick, then the form's ModalResult.
    void Click() override;
    // Answers a dialog key (Enter for Default, Esc for Cancel); true when it clicked.
    bool DialogKey(WORD Key);

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    void CMDialogKey(TMessage& M) override;

private:
    TModalResult FModalResult = mrNone;
    bool FDefault = false;
    bool FCancel = false;
};

class TCustomCheckBox : public TButtonControl {
    QM_CLASS(TCustomCheckBox, TButtonControl)
public:
    explicit TCustomCheckBox(TComponent* AOwner);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState v);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) { FAlignment = v; }
    // What a user's click does: the next state in the cycle.
    void Toggle();

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;

private:
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
    QM_CLASS(TCheckBox, TCustomCheckBox)
public:
    explicit TCheckBox(TComponent* AOwner) : TCustomCheckBox(AOwner) {}
};

class TRadioButton : public TButtonControl {
    QM_CLASS(TRadioButton, TButtonControl)
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return FChecked; }
    // Checking a button unchecks its siblings; only a change to checked fires OnClick.
    void SetChecked(bool v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) { FAlignment = v; }
    // The radio buttons sharing a parent are one group and one Tab stop: the checked button,
    // or the first when none is checked (or the checked one cannot take the focus).
    bool IsTabStop() const override;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    // The arrows move the check and the focus round the group.
    void KeyDown(WORD& Key, TShiftState Shift) override;

private:
    bool FChecked = false;
    TAlignment FAlignment = taRightJustify;
};

class TCustomComboBox : public TWidgetControl {
    QM_CLASS(TCustomComboBox, TWidgetControl)
public:
    explicit TCustomComboBox(TComponent* AOwner);
    ~TCustomComboBox() override;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle v);
    TStrings* Items() const;
    void SetItems(TStrings* v);
    int ItemIndex() const { return FItemIndex; }
    // -1 (or any index out of range) selects nothing; a drop-down list then shows "".
    void SetItemIndex(int v);
    std::string GetText() const override;
    void SetText(const std::string& v) override;
    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    bool AutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(bool v);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int v);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);
    void Clear();
    TNotifyEvent OnChange;
    TNotifyEvent OnSelect;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    virtual void Change();
    virtual void Select();
    void ItemsChanged();
    void UserChose(int Index);
    void UserTyped(const std::string& Text);

private:
    std::unique_ptr<TStringList> FItems;
    TComboBoxStyle FStyle = csDropDown;
    int FItemIndex = -1;
    std::string FEditText;
    bool FSorted = false;
    bool FAutoComplete = true;
    int FDropDownCount = 8;
    int FMaxLength = 0;
    bool FSyncing = false;
    bool FInChange = false;
};

class TComboBox : public TCustomComboBox {
    QM_CLASS(TComboBox, TCustomComboBox)
public:
    explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

class TCustomListBox : public TWidgetControl {
    QM_CLASS(TCustomListBox, TWidgetControl)
public:
    explicit TCustomListBox(TComponent* AOwner);
    ~TCustomListBox() override;
    TStrings* Items() const;
    void SetItems(TStrings* v);
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int v);
    int Columns() const { return FColumns; }
    void SetColumns(int v);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool v);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool v);
    bool Selected(int Index) const;
    void SetSelected(int Index, bool v);
    int SelCount() const;
    int Count() const;
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int v);
    void Clear();
    // The index of the item at a client point, or -1.
    int ItemAtPos(const TPoint& Pos, bool Existing) const;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    void ItemsChanged();
    // Sizes the items: with columns, each takes an equal share of the client width.
    void LayoutColumns();
    void UserChose(int Index);
    void UserSelection();

private:
    std::unique_ptr<TStringList> FItems;
    std::vector<bool> FSelected;
    int FItemIndex = -1;
    int FColumns = 0;
    bool FMultiSelect = false;
    bool FSorted = false;
    int FItemHeight = 13;
    bool FSyncing = false;
};

class TListBox : public TCustomListBox {
    QM_CLASS(TListBox, TCustomListBox)
public:
    explicit TListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}
};

// Registers every class of the standard, extra, spin and bitmap-button controls.
void RegisterStdControlsClasses();
