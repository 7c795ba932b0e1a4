#include "placement/WinHook.h"

#include "framework/Filer.h"
#include "framework/Forms.h"
#include "framework/TypInfo.h"

#include <memory>

namespace {
THookList* GHookList = nullptr;

void ReportException(TObject* Sender)
{
    if (Application)
        Application->HandleException(Sender);
}
} // namespace

THookList* HookList() { return GHookList; }

THookList* HookListInstance()
{
    if (!GHookList)
        GHookList = new THookList();
    return GHookList;
}

void FreeHookList()
{
    THookList* list = GHookList;
    GHookList = nullptr;
    delete list;
}

// ---- TWindowHook -----------------------------------------------------------------------

QM_CLASS_IMPL(TWindowHook, TComponent, [](TClassBuilder<TWindowHook>& b) {
    b.Property("Active", &TWindowHook::Active, &TWindowHook::SetActive).Default(true);
    b.Property("WinControl", &TWindowHook::WinControl, &TWindowHook::SetWinControl)
        .Stored([](TWindowHook& h) { return h.WinControl() && !dynamic_cast<TCustomForm*>(h.WinControl()); });
    b.Property("BeforeMessage", &TWindowHook::BeforeMessage);
    b.Property("AfterMessage", &TWindowHook::AfterMessage);
})

TWindowHook::TWindowHook(TComponent* AOwner) : TComponent(AOwner) { FActive = true; }

TWindowHook::~TWindowHook() = default;

void TWindowHook::BeforeDestroy()
{
    SetActive(false);
    SetWinControl(nullptr);
    inherited::BeforeDestroy();
}

void TWindowHook::SetActive(bool Value)
{
    if (FActive == Value)
        return;
    if (Value)
        HookControl();
    else
        UnhookControl();
}

TWinControl* TWindowHook::WinControl() const
{
    return FControlHook ? FControlHook->Control() : FControl;
}

void TWindowHook::SetWinControl(TWinControl* Value)
{
    if (Value == WinControl())
        return;
    bool wasActive = FActive;
    TControlHook* oldHook = FControlHook;
    UnhookControl();
    FControl = Value;
    if (Value)
        Value->FreeNotification(this);
    // Freed later, from the hook list's window: we may be inside one of its messages now.
    if (oldHook && oldHook->ListenerCount() == 0 && HookList())
        PostMessage(HookList()->Handle(), CM_RELEASEHOOK, 0, reinterpret_cast<LPARAM>(oldHook));
    if (wasActive)
        HookControl();
}

void TWindowHook::HookControl()
{
    if (FControl && !IsDestroying())
        HookListInstance()->ControlHookFor(FControl)->AddHookListener(this);
    FActive = true;
}

void TWindowHook::UnhookControl()
{
    if (FControlHook)
        FControlHook->RemoveHookListener(this);
    FActive = false;
}

bool TWindowHook::IsForm() const
{
    return WinControl() && WinControl() == Owner() && dynamic_cast<TCustomForm*>(Owner());
}

void TWindowHook::DefineProperties(TFiler* Filer)
{
    inherited::DefineProperties(Filer);
    bool hasData;
    if (auto* ancestor = dynamic_cast<TWindowHook*>(Filer->Ancestor()))
        hasData = ancestor->IsForm() != IsForm();
    else
        hasData = IsForm();
    Filer->DefineProperty(
        "IsForm",
        [this](TReader* R) {
            if (R->ReadBoolean())
                if (auto* form = dynamic_cast<TCustomForm*>(Owner()))
                    SetWinControl(form);
        },
        [this](TWriter* W) { W->WriteBoolean(IsForm()); }, hasData);
}

void TWindowHook::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove &&
        (AComponent == WinControl() || AComponent == FControl || AComponent == Owner() || !Owner()))
        SetWinControl(nullptr);
}

void TWindowHook::DoAfterMessage(TMessage& Msg, bool& Handled) { AfterMessage(this, Msg, Handled); }

void TWindowHook::DoBeforeMessage(TMessage& Msg, bool& Handled) { BeforeMessage(this, Msg, Handled); }

// ---- TControlHook ----------------------------------------------------------------------

QM_CLASS_IMPL(TControlHook, TObject)

TControlHook::TControlHook() : FCell(std::make_shared<TProcCell>())
{
    FCell->Hook = this;
    FNewWndProc = MakeWindowProc([cell = FCell](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
        if (cell->Hook) {
            TMessage m{msg, wp, lp, 0};
            cell->Hook->HookedWndProc(m);
            return m.Result;
        }
        return CallWindowProc(cell->Prev, h, msg, wp, lp);
    });
}

TControlHook::~TControlHook()
{
    FDestroying = true;
    if (GHookList)
        GHookList->Remove(this);
    while (FList.Count() > 0)
        RemoveHookListener(static_cast<TWindowHook*>(FList.Last()));
    // Left in a chain under someone else's procedure: pass messages on from now on.
    FCell->Prev = FBuried ? FPrevWndProc : nullptr;
    FCell->Hook = nullptr;
    FControl = nullptr;
}

bool TControlHook::ControlDestroying() const { return FControl && FControl->IsDestroying(); }

void TControlHook::AddHookListener(TWindowHook* Listener)
{
    if (FList.IndexOf(Listener) < 0) {
        FList.Add(Listener);
        Listener->FControlHook = this;
        SetHookedControl(Listener->FControl);
    }
    InstallHook();
}

void TControlHook::RemoveHookListener(TWindowHook* Listener)
{
    Listener->FControlHook = nullptr;
    FList.Remove(Listener);
    if (FList.Count() == 0)
        RemoveHook();
}

void TControlHook::SetHookedControl(TWinControl* Control)
{
    if (Control == FControl)
        return;
    RemoveHook();
    FControl = Control;
    if (FList.Count() > 0)
        InstallHook();
}

void TControlHook::InstallHook()
{
    if (!FControl || FControl->IsDesigning() || FControl->IsDestroying() || FDestroying)
        return;
    if (FBuried)
        return;
    HWND h = FControl->Handle();
    WNDPROC current = GetWindowLong(h, GWL_WNDPROC);
    if (current != FNewWndProc) {
        FPrevWndProc = current;
        SetWindowLong(h, GWL_WNDPROC, FNewWndProc);
    }
}

void TControlHook::RemoveHook(bool WindowGone)
{
    if (FControl && FPrevWndProc && FControl->HandleAllocated()) {
        HWND h = FControl->Handle();
        if (GetWindowLong(h, GWL_WNDPROC) == FNewWndProc) {
            SetWindowLong(h, GWL_WNDPROC, FPrevWndProc);
        } else if (!WindowGone) {
            // A procedure installed on top of ours stays, and ours under it: keep passing
            // messages to the previous one, or the control would lose its own procedure.
            FBuried = true;
            return;
        }
    }
    FBuried = false;
    FPrevWndProc = nullptr;
}

void TControlHook::HookedWndProc(TMessage& Msg)
{
    bool handled = false;
    if (!FControl)
        return;
    // Kept alive: a listener may unhook (and so release) the previous procedure.
    WNDPROC prev = FPrevWndProc;
    TWinControl* control = FControl;
    if (Msg.Msg != WM_QUIT)
        DispatchToListeners(hpBeforeMessage, Msg, handled);
    if (!handled || Msg.Msg == WM_DESTROY) {
        HWND h = control->HandleAllocated() ? control->Handle() : nullptr;
        if (prev)
            Msg.Result = CallWindowProc(prev, h, Msg.Msg, Msg.WParam, Msg.LParam);
        else
            Msg.Result = control->DefWndProc(Msg.Msg, Msg.WParam, Msg.LParam);
        DispatchToListeners(hpAfterMessage, Msg, handled);
    }
    if (Msg.Msg == WM_DESTROY) {
        RemoveHook(true);
        // The control gets a new window after this one (a recreation): hook that one later.
        if (GHookList && !FDestroying && !ControlDestroying())
            PostMessage(GHookList->Handle(), CM_REHOOKCONTROL, 0, reinterpret_cast<LPARAM>(this));
    }
}

void TControlHook::DispatchToListeners(THookPhase Phase, TMessage& Msg, bool& Handled)
{
    if (FList.Count() == 0 || !FControl || FDestroying || ControlDestroying())
        return;
    try {
        for (int i = FList.Count() - 1; i >= 0; --i) {
            if (i >= FList.Count())
                continue;
            auto* listener = static_cast<TWindowHook*>(FList.Items(i));
            if (Phase == hpBeforeMessage)
                listener->DoBeforeMessage(Msg, Handled);
            else
                listener->DoAfterMessage(Msg, Handled);
            if (Handled)
                break;
        }
    } catch (...) {
        ReportException(this);
    }
}

// ---- THookList -------------------------------------------------------------------------

QM_CLASS_IMPL(THookList, TList)

THookList::THookList()
{
    FHandle = AllocateHWnd([this](TMessage& Msg) { HookListWndProc(Msg); });
}

THookList::~THookList()
{
    while (Count() > 0) {
        auto* hook = static_cast<TControlHook*>(Last());
        Remove(hook);
        delete hook;
    }
    if (FHandle)
        DeallocateHWnd(FHandle);
}

TControlHook* THookList::FindControlHook(TWinControl* Control) const
{
    if (!Control)
        return nullptr;
    for (int i = 0; i < Count(); ++i) {
        auto* hook = static_cast<TControlHook*>(Items(i));
        if (hook->Control() == Control)
            return hook;
    }
    return nullptr;
}

TControlHook* THookList::ControlHookFor(TWinControl* Control)
{
    TControlHook* hook = FindControlHook(Control);
    if (!hook) {
        auto made = std::make_unique<TControlHook>();
        Add(made.get());
        made->SetHookedControl(Control);
        hook = made.release();
    }
    return hook;
}

void THookList::HookListWndProc(TMessage& Msg)
{
    try {
        auto* hook = reinterpret_cast<TControlHook*>(Msg.LParam);
        switch (Msg.Msg) {
        case CM_REHOOKCONTROL:
            if (IndexOf(hook) >= 0)
                hook->InstallHook();
            break;
        case CM_RELEASEHOOK:
            if (IndexOf(hook) >= 0 && hook->ListenerCount() == 0)
                delete hook;
            break;
        default:
            Msg.Result = DefWindowProc(FHandle, Msg.Msg, Msg.WParam, Msg.LParam);
        }
    } catch (...) {
        ReportException(this);
    }
}
