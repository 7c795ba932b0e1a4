#pragma once
// Watching and handling a window control's messages without deriving from it: the control's
// window procedure is subclassed once per control, and every TWindowHook on it is asked
// before and after the control's own procedure.
#include "framework/Classes.h"
#include "framework/Controls.h"
#include "platform/Messages.h"

class TControlHook;
class THookList;

using THookMessageEvent = Event<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

// Private messages of the hook list's utility window (the TControlHook in LParam).
constexpr UINT CM_REHOOKCONTROL = 0xB052;
constexpr UINT CM_RELEASEHOOK = 0xB053;

class TWindowHook : public TComponent {
    QM_CLASS(TWindowHook, TComponent)
public:
    explicit TWindowHook(TComponent* AOwner);
    ~TWindowHook() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value);
    TWinControl* WinControl() const;
    void SetWinControl(TWinControl* Value);
    void HookControl();
    void UnhookControl();
    void DefineProperties(TFiler* Filer) override;

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

protected:
    void BeforeDestroy() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void DoAfterMessage(TMessage& Msg, bool& Handled);
    virtual void DoBeforeMessage(TMessage& Msg, bool& Handled);

private:
    friend class TControlHook;
    bool IsForm() const;
    bool FActive = true;
    TWinControl* FControl = nullptr;
    TControlHook* FControlHook = nullptr;
};

class TControlHook : public TObject {
    QM_CLASS(TControlHook, TObject)
public:
    enum THookPhase { hpBeforeMessage, hpAfterMessage };

    TControlHook();
    ~TControlHook() override;

    void AddHookListener(TWindowHook* Listener);
    void RemoveHookListener(TWindowHook* Listener);
    void SetHookedControl(TWinControl* Control);
    void InstallHook();
    // WindowGone: the window is being destroyed, so nothing of ours stays in its chain.
    void RemoveHook(bool WindowGone = false);
    void DispatchToListeners(THookPhase Phase, TMessage& Msg, bool& Handled);
    void HookedWndProc(TMessage& Msg);

    TWinControl* Control() const { return FControl; }
    int ListenerCount() const { return FList.Count(); }

private:
    bool ControlDestroying() const;
    struct TProcCell {
        TControlHook* Hook = nullptr;
        WNDPROC Prev;
    };
    TWinControl* FControl = nullptr;
    // Shared with the installed procedure, which may outlive this hook inside a chain.
    std::shared_ptr<TProcCell> FCell;
    // Our procedure is still in the chain, under one installed later by someone else.
    bool FBuried = false;
    WNDPROC FNewWndProc;
    WNDPROC FPrevWndProc;
    TList FList;
    bool FDestroying = false;
};

class THookList : public TList {
    QM_CLASS(THookList, TList)
public:
    THookList();
    ~THookList() override;

    TControlHook* FindControlHook(TWinControl* Control) const;
    TControlHook* ControlHookFor(TWinControl* Control);
    HWND Handle() const { return FHandle; }

private:
    void HookListWndProc(TMessage& Msg);
    HWND FHandle = nullptr;
};

// The one hook list, created on first use; null before that and after FreeHookList.
THookList* HookList();
THookList* HookListInstance();
void FreeHookList();
