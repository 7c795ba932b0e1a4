// Keys, focus and tab order of windowed controls.
#include "framework/Controls.h"

#include <algorithm>
#include <cstdint>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

void TWinControl::WMSetFocus(TMessage& M)
{
    DefaultHandler(M);
    if (auto* f = GetParentForm())
        f->FocusControlChanged(this);
}

void TWinControl::WMKillFocus(TMessage& M) { DefaultHandler(M); }

void TWinControl::DoEnter() { OnEnter(this); }
void TWinControl::DoExit() { OnExit(this); }
void TWinControl::CMEnter(TMessage& M)
{
    DoEnter();
    DefaultHandler(M);
}
void TWinControl::CMExit(TMessage& M)
{
    DoExit();
    DefaultHandler(M);
}

void TWinControl::KeyDown(WORD& Key, TShiftState Shift) { OnKeyDown(this, Key, Shift); }
void TWinControl::KeyUp(WORD& Key, TShiftState Shift) { OnKeyUp(this, Key, Shift); }
void TWinControl::KeyPress(char& Key) { OnKeyPress(this, Key); }

bool TWinControl::DoKeyDown(TMessage& M) { return DoKey(M, &TWinControl::DoKeyDown, &TWinControl::KeyDown); }
bool TWinControl::DoKeyUp(TMessage& M) { return DoKey(M, &TWinControl::DoKeyUp, &TWinControl::KeyUp); }

bool TWinControl::FormPreviews(bool (TWinControl::*Preview)(TMessage&), TMessage& M)
{
    TCustomForm* form = GetParentForm();
    return form && form != this && form->KeyPreview() && (form->*Preview)(M);
}

bool TWinControl::DoKey(TMessage& M, bool (TWinControl::*Preview)(TMessage&),
                        void (TWinControl::*Handler)(WORD&, TShiftState))
{
    if (FormPreviews(Preview, M))
        return true;
    WORD key = static_cast<WORD>(M.WParam);
    (this->*Handler)(key, KeyDataToShiftState(M.LParam));
    M.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& M)
{
    if (FormPreviews(&TWinControl::DoKeyPress, M))
        return true;
    char key = static_cast<char>(M.WParam);
    KeyPress(key);
    M.WParam = static_cast<unsigned char>(key);
    return key == 0;
}

bool TWinControl::IsMenuKey(TMessage& M)
{
    WORD key = static_cast<WORD>(M.WParam);
    TShiftState shift = KeyDataToShiftState(M.LParam);
    TCustomForm* form = ::GetParentForm(this);
    if (auto* self = dynamic_cast<TCustomForm*>(this))
        form = self;
    if (form && form->IsShortCut(this, key, shift))
        return true;
    if (key == VK_APPS || (key == VK_F10 && shift == TShiftState{ssShift}))
        return Perform(WM_CONTEXTMENU, 0, MAKELPARAM(-1, -1)) != 0;
    return false;
}

void TWinControl::WMKeyDown(TMessage& M)
{
    // Menu shortcuts come before the control's and the form's own key handling.
    if (IsMenuKey(M))
        return;
    if (DoKeyDown(M))
        return;
    WORD key = static_cast<WORD>(M.WParam);
    if (key == VK_ESCAPE || key == VK_RETURN || key == VK_TAB) {
        // A control that asks for the key keeps it; otherwise the form has it first.
        LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
        bool wanted = (code & DLGC_WANTALLKEYS) != 0 || (key == VK_TAB && (code & DLGC_WANTTAB) != 0);
        TCustomForm* form = GetParentForm();
        if (!wanted && form && form->Perform(CM_DIALOGKEY, key, M.LParam) != 0)
            return;
    }
    DefaultHandler(M);
}

void TWinControl::WMKeyUp(TMessage& M)
{
    if (!DoKeyUp(M))
        DefaultHandler(M);
}

void TWinControl::WMChar(TMessage& M)
{
    if (!DoKeyPress(M))
        DefaultHandler(M);
}

// Every child may claim the key (a Default or Cancel button does), first come first served.
bool TWinControl::ChildClaims(TMessage& M)
{
    for (size_t i = 0; i < FControls.size(); ++i) {
        FControls[i]->WindowProc(M);
        if (M.Result != 0)
            return true;
    }
    return false;
}

void TWinControl::CMDialogKey(TMessage& M)
{
    if (!ChildClaims(M))
        DefaultHandler(M);
}

void TWinControl::CMDialogChar(TMessage& M) { ChildClaims(M); }

void TWinControl::WMSysChar(TMessage& M)
{
    TCustomForm* form = GetParentForm();
    if (auto* self = dynamic_cast<TCustomForm*>(this))
        form = self;
    if (form && form->Perform(CM_DIALOGCHAR, M.WParam, M.LParam) != 0) {
        M.Result = 1;
        return;
    }
    DefaultHandler(M);
}
void TWinControl::SetTabStop(bool v)
{
    if (v == FTabStop)
        return;
    FTabStop = v;
    if (FHandle)
        SetWindowLong(FHandle, GWL_STYLE, (GetWindowLong(FHandle, GWL_STYLE) & ~WS_TABSTOP) | (v ? WS_TABSTOP : 0));
}

int TWinControl::TabOrder() const
{
    if (!FParent)
        return FTabOrderHint;
    const auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int v)
{
    FTabOrderHint = v;
    // While reading, siblings may still be missing: the parent sorts them once loaded.
    if (!FParent || IsLoading() || FParent->IsLoading())
        return;
    auto& list = FParent->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end())
        return;
    int count = static_cast<int>(list.size());
    v = std::clamp(v, 0, count - 1);
    list.erase(it);
    list.insert(list.begin() + v, this);
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    // Apply the Tab order the description gave, lowest first; the others keep their place after.
    std::stable_sort(FTabList.begin(), FTabList.end(), [](TWinControl* a, TWinControl* b) {
        int x = a->FTabOrderHint < 0 ? INT32_MAX : a->FTabOrderHint;
        int y = b->FTabOrderHint < 0 ? INT32_MAX : b->FTabOrderHint;
        return x < y;
    });
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const
{
    for (TWinControl* c : FTabList) {
        List.push_back(c);
        c->GetTabOrderList(List);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) const
{
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty())
        return nullptr;
    const int n = static_cast<int>(list.size());
    auto it = std::find(list.begin(), list.end(), CurControl);
    // Without a current control the search starts just before the first (or after the last).
    const int start = it != list.end() ? static_cast<int>(it - list.begin()) : (GoForward ? n - 1 : 0);
    int i = start;
    do {
        i = GoForward ? (i + 1) % n : (i + n - 1) % n;
        TWinControl* c = list[static_cast<size_t>(i)];
        if (c->CanFocus() && (!CheckTabStop || c->IsTabStop()) &&
            (!CheckParent || c->Parent() == this))
            return c;
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop)
{
    if (TWinControl* c = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop))
        c->SetFocus();
}

void TWinControl::SetFocus()
{
    TCustomForm* f = GetParentForm();
    if (f && f != this && f->Showing() && !CanFocus())
        throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (f)
        f->SetActiveControl(this == f ? nullptr : this);
    HandleNeeded();
    if (!f || f == this || f->Showing())
        ::SetFocus(FHandle);
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::CanFocus() const
{
    const TCustomForm* form = ::GetParentForm(this);
    if (!form)
        return false;
    for (const TControl* c = this; c != form; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return true;
}
