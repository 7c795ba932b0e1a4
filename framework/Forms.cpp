#include "framework/Forms.h"

#include <QApplication>
#include <QCursor>
#include <QFontDatabase>
#include <QMenuBar>
#include <cstdio>

#include "framework/FormReader.h"
#include "framework/MenusQt.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "framework/Thread.h"
#include "platform/AppException.h"
#include "platform/EventLoop.h"
#include "platform/Input.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {
TMessageBoxService& MessageBoxHook()
{
    static TMessageBoxService s;
    return s;
}
} // namespace

void SetMessageBoxService(TMessageBoxService service) { MessageBoxHook() = std::move(service); }

int ShowMessageBox(const std::string& Text, const std::string& Caption, UINT Flags)
{
    if (MessageBoxHook())
        return MessageBoxHook()(Text, Caption, Flags);
    return MessageBoxA(nullptr, Text.c_str(), Caption.c_str(), Flags);
}

// ---- TCustomForm ---------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomForm, TWinControl, [](TClassBuilder<TCustomForm>& b) {
    b.Property("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle).Default(bsSizeable);
    b.Property("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons)
        .Default(TBorderIcons{biSystemMenu, biMinimize, biMaximize});
    b.Property("Position", &TCustomForm::Position, &TCustomForm::SetPosition).Default(poDesigned);
    b.Property("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState).Default(wsNormal);
    b.Property("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle).Default(fsNormal);
    b.Property("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview).Default(false);
    b.Property("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth).Stored(false);
    b.Property("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight).Stored(false);
    b.Property("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    b.Property("Menu", &TCustomForm::Menu, &TCustomForm::SetMenu);
    b.Property("OnCreate", &TCustomForm::OnCreate);
    b.Property("OnShow", &TCustomForm::OnShow);
    b.Property("OnHide", &TCustomForm::OnHide);
    b.Property("OnActivate", &TCustomForm::OnActivate);
    b.Property("OnDeactivate", &TCustomForm::OnDeactivate);
    b.Property("OnCloseQuery", &TCustomForm::OnCloseQuery);
    b.Property("OnClose", &TCustomForm::OnClose);
    b.Property("OnDestroy", &TCustomForm::OnDestroy);
})

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner)
{
    FLeft = 0;
    FTop = 0;
    FWidth = 320;
    FHeight = 240;
    SetColor(clBtnFace);
    TControl::SetVisible(false);
    if (Screen)
        Screen->FForms.push_back(this);
}

TCustomForm::~TCustomForm()
{
    if (Screen) {
        auto& f = Screen->FForms;
        f.erase(std::remove(f.begin(), f.end(), this), f.end());
    }
}

void TCustomForm::BeforeDestroy()
{
    // OnDestroy runs while the form and its controls are whole.
    try {
        OnDestroy(this);
    } catch (...) {
        ReportUnhandledException(std::current_exception());
    }
    if (Screen) {
        auto& f = Screen->FForms;
        f.erase(std::remove(f.begin(), f.end(), this), f.end());
    }
    if (Application && Application->FMainForm == this)
        Application->FMainForm = nullptr;
    TWinControl::BeforeDestroy();
}

void TCustomForm::DoCreate() { OnCreate(this); }

void TCustomForm::CreateParams(TCreateParams& P)
{
    TWinControl::CreateParams(P);
    P.Style &= ~WS_CHILD;
    switch (FBorderStyle) {
    case bsNone: P.Style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: P.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: P.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
        P.Style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME;
        P.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    }
    if (FBorderIcons.Contains(biSystemMenu))
        P.Style |= WS_SYSMENU;
    // Dialogs and tool windows have no minimise or maximise buttons, whatever the icons say.
    const bool boxes = FBorderStyle == bsNone || FBorderStyle == bsSingle || FBorderStyle == bsSizeable;
    if (FBorderIcons.Contains(biMinimize) && boxes)
        P.Style |= WS_MINIMIZEBOX;
    if (FBorderIcons.Contains(biMaximize) && boxes)
        P.Style |= WS_MAXIMIZEBOX;
    if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin)
        P.ExStyle |= WS_EX_TOOLWINDOW;
    if (FFormStyle == fsStayOnTop)
        P.ExStyle |= WS_EX_TOPMOST;
}

void TCustomForm::CreateNonClientInsets(RECT& R)
{
    int fx = 0, fy = 0, cap = 0;
    switch (FBorderStyle) {
    case bsNone: break;
    case bsSingle:
        fx = GetSystemMetrics(SM_CXFIXEDFRAME);
        fy = GetSystemMetrics(SM_CYFIXEDFRAME);
        cap = GetSystemMetrics(SM_CYCAPTION);
        break;
    case bsDialog:
        fx = GetSystemMetrics(SM_CXDLGFRAME);
        fy = GetSystemMetrics(SM_CYDLGFRAME);
        cap = GetSystemMetrics(SM_CYCAPTION);
        break;
    case bsToolWindow:
        fx = GetSystemMetrics(SM_CXFIXEDFRAME);
        fy = GetSystemMetrics(SM_CYFIXEDFRAME);
        cap = GetSystemMetrics(SM_CYSMCAPTION);
        break;
    case bsSizeable:
        fx = GetSystemMetrics(SM_CXFRAME);
        fy = GetSystemMetrics(SM_CYFRAME);
        cap = GetSystemMetrics(SM_CYCAPTION);
        break;
    case bsSizeToolWin:
        fx = GetSystemMetrics(SM_CXFRAME);
        fy = GetSystemMetrics(SM_CYFRAME);
        cap = GetSystemMetrics(SM_CYSMCAPTION);
        break;
    }
    const int menu = FMenu ? GetSystemMetrics(SM_CYMENU) : 0;
    R = RECT{fx, fy + cap + menu, fx, fy};
}

void TCustomForm::SetMenu(TMainMenu* v)
{
    if (SetReference(FMenu, v))
        UpdateMenuBar();
}

void TCustomForm::UpdateMenuBar()
{
    if (!HandleAllocated() || ComponentState().Contains(csDestroying))
        return;
    QWidget* bar = FMenu ? CreateQtMenuBar(FMenu, WindowWidget(FHandle)) : nullptr;
    SetWindowMenuBar(FHandle, bar, bar ? GetSystemMetrics(SM_CYMENU) : 0);
    // The window keeps its size: the client area gives the bar its rows.
    SetWindowNonClient(FHandle, NonClientInsets());
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMenu) {
        FMenu = nullptr;
        UpdateMenuBar();
    }
}

bool TCustomForm::IsShortCut(TWinControl* Control, WORD Key, TShiftState Shift)
{
    auto* popup = Control ? dynamic_cast<TPopupMenu*>(Control->PopupMenu()) : nullptr;
    return DispatchMenuShortCut(popup, FMenu, Key, Shift);
}

void TCustomForm::CreateWnd()
{
    TWinControl::CreateWnd();
    RefreshMinMaxInfo(FHandle);
    if (FMenu)
        UpdateMenuBar();
}

void TCustomForm::SetBorderStyle(TBorderStyle v)
{
    if (v == FBorderStyle)
        return;
    // The client area keeps its size; the frame changes around it.
    int cw = ClientWidth(), ch = ClientHeight();
    FBorderStyle = v;
    RECT nc = NonClientInsets();
    if (!IsLoading())
        SetBounds(FLeft, FTop, cw + nc.left + nc.right, ch + nc.top + nc.bottom);
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons v)
{
    if (v == FBorderIcons)
        return;
    FBorderIcons = v;
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle v)
{
    if (v == FFormStyle)
        return;
    FFormStyle = v;
    RecreateWnd();
}

TWindowState TCustomForm::WindowState() const
{
    if (FHandle && IsWindowVisible(FHandle)) {
        if (IsIconic(FHandle))
            return wsMinimized;
        if (IsZoomed(FHandle))
            return wsMaximized;
        return wsNormal;
    }
    return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState v)
{
    FWindowState = v;
    if (FHandle && IsWindowVisible(FHandle))
        UpdateWindowState();
}

void TCustomForm::UpdateWindowState()
{
    static const int cmd[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
    ShowWindow(FHandle, cmd[FWindowState]);
}

void TCustomForm::SetActiveControl(TWinControl* v)
{
    if (v == this)
        v = nullptr;
    FActiveControl = v;
    if (v && !IsLoading() && FHandle && IsWindowVisible(FHandle) && v->CanFocus())
        ::SetFocus(v->Handle());
}

namespace {
bool ContainsOrIs(const TControl* outer, const TControl* inner)
{
    for (const TControl* c = inner; c; c = c->Parent())
        if (c == outer)
            return true;
    return false;
}
} // namespace

void TCustomForm::FocusControlChanged(TWinControl* Control)
{
    if (Control == FFocusedControl)
        return;
    TWinControl* old = FFocusedControl;
    FFocusedControl = Control;
    if (Control != this)
        FActiveControl = Control;
    // The nearest control holding both keeps the focus inside it: it neither exits nor enters.
    const TControl* shared = old;
    while (shared && Control && !ContainsOrIs(shared, Control))
        shared = shared->Parent();
    for (TWinControl* c = old; c && c != this && c != shared; c = c->Parent())
        c->Perform(CM_EXIT, 0, 0);
    std::vector<TWinControl*> entering;
    for (TWinControl* c = Control; c && c != this && c != shared; c = c->Parent())
        entering.push_back(c);
    for (auto it = entering.rbegin(); it != entering.rend(); ++it) {
        if (FFocusedControl != Control)
            return; // a handler moved the focus on
        (*it)->Perform(CM_ENTER, 0, 0);
    }
}

void TCustomForm::ControlRemoving(TControl* Control)
{
    if (FActiveControl && ContainsOrIs(Control, FActiveControl))
        FActiveControl = nullptr;
    if (FNamedActiveControl && ContainsOrIs(Control, FNamedActiveControl))
        FNamedActiveControl = nullptr;
    if (FFocusedControl && ContainsOrIs(Control, FFocusedControl))
        FFocusedControl = nullptr;
}

void TCustomForm::PlaceOnShow()
{
    if (FPlaced)
        return;
    FPlaced = true;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    TCustomForm* ref = nullptr;
    if (FPosition == poMainFormCenter && Application)
        ref = Application->MainForm();
    if (FPosition == poOwnerFormCenter)
        ref = dynamic_cast<TCustomForm*>(Owner());
    if (ref == this)
        ref = nullptr;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter: SetBounds((sw - FWidth) / 2, (sh - FHeight) / 2, FWidth, FHeight); break;
    case poMainFormCenter:
    case poOwnerFormCenter:
        if (ref)
            SetBounds(ref->Left() + (ref->Width() - FWidth) / 2, ref->Top() + (ref->Height() - FHeight) / 2, FWidth,
                      FHeight);
        else
            SetBounds((sw - FWidth) / 2, (sh - FHeight) / 2, FWidth, FHeight);
        break;
    default: break;
    }
}

void TCustomForm::SetVisible(bool v)
{
    if (v == Visible() && (!FHandle || IsWindowVisible(FHandle) == (v ? TRUE : FALSE)))
        return;
    TControl::SetVisible(v);
    if (v) {
        FFormState += fsShowing;
        ScopeExit shown([this] { FFormState -= fsShowing; });
        HandleNeeded();
        PlaceOnShow();
        DoShow();
        // The other windows stay above the main window (a modal run names its own owner).
        if (!FFormState.Contains(fsModal)) {
            TCustomForm* main = Application ? Application->MainForm() : nullptr;
            const bool owned = main && main != this && main->HandleAllocated() && IsWindowVisible(main->FHandle);
            SetWindowOwner(FHandle, owned ? main->FHandle : nullptr);
        }
        static const int cmd[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
        FFocusOnActivate = true;
        ShowWindow(FHandle, cmd[FWindowState]);
        FFormState += fsVisible;
        FocusOnShow();
    } else {
        if (FHandle) {
            FWindowState = WindowState();
            ShowWindow(FHandle, SW_HIDE);
        }
        FFormState -= fsVisible;
        FFocusOnActivate = false;
        FActiveControl = FNamedActiveControl;
        DoHide();
    }
}

// The focus a window opens with is marked as a keyboard user's would be: whoever opens it
// sees at once where a key goes. Until the window manager has made the window active the
// toolkit may hand the focus elsewhere, so activation sets it again.
void TCustomForm::FocusOnShow()
{
    if (!FActiveControl || !FActiveControl->CanFocus())
        FActiveControl = FindNextControl(nullptr, true, true, false);
    if (FActiveControl) {
        KeyboardFocusMove byKeyboard;
        ::SetFocus(FActiveControl->Handle());
    }
}

bool TCustomForm::Showing() const { return FHandle && IsWindowVisible(FHandle); }

void TCustomForm::RestoreShowState()
{
    if (Visible() && FHandle) {
        static const int cmd[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
        ShowWindow(FHandle, cmd[FWindowState]);
    }
}

void TCustomForm::Show()
{
    SetVisible(true);
    if (FHandle)
        BringWindowToTop(FHandle);
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::DoShow() { OnShow(this); }
void TCustomForm::DoHide() { OnHide(this); }
void TCustomForm::DoClose(TCloseAction& Action) { OnClose(this, Action); }

bool TCustomForm::CloseQuery()
{
    bool can = true;
    OnCloseQuery(this, can);
    return can;
}

void TCustomForm::Close()
{
    if (FFormState.Contains(fsModal)) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = (Application && Application->MainForm() == this) ? caFree : caHide;
    DoClose(action);
    switch (action) {
    case caNone: return;
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree:
        if (Application && Application->MainForm() == this) {
            Hide();
            Application->Terminate();
        } else {
            Release();
        }
        break;
    }
}

void TCustomForm::Release()
{
    // Freed from the message loop, after the handler that asked for it has returned.
    HWND h = Application ? Application->Handle() : nullptr;
    TCustomForm* self = this;
    if (h)
        PostMessage(h, CM_RELEASE, 0, reinterpret_cast<LPARAM>(self));
}

std::vector<TCustomForm*>& TCustomForm::ModalForms()
{
    static std::vector<TCustomForm*> forms;
    return forms;
}

HWND TCustomForm::ModalOwnerHandle() const
{
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (main && main != this && main->HandleAllocated() && IsWindowVisible(main->FHandle))
        return main->FHandle;
    if (!ModalForms().empty() && ModalForms().back() != this && ModalForms().back()->HandleAllocated())
        return ModalForms().back()->FHandle;
    if (Screen)
        for (TCustomForm* f : Screen->FForms)
            if (f != this && f->HandleAllocated() && IsWindowVisible(f->FHandle))
                return f->FHandle;
    return nullptr;
}

TModalResult TCustomForm::ShowModal()
{
    if (Visible() || FFormState.Contains(fsModal))
        throw EInvalidOperation("Cannot make a visible window modal");
    FFormState += fsModal;
    FModalResult = mrNone;
    // The other windows are blocked by the toolkit's modality, not disabled: they keep
    // their look, and a disabled control still means what the program made it mean.
    HandleNeeded();
    BeginModalWindow(FHandle, ModalOwnerHandle());
    ModalForms().push_back(this);
    ScopeExit restore([this] {
        auto& m = ModalForms();
        m.erase(std::remove(m.begin(), m.end(), this), m.end());
        if (FHandle)
            EndModalWindow(FHandle);
        FFormState -= fsModal;
    });
    Show();
    // The loop waits for the user: the window must really be there to answer.
    if (FHandle && IsWindowVisible(FHandle))
        WaitWindowOnScreen(FHandle, 5000);
    for (;;) {
        if (FModalResult == mrNone && (!FHandle || !IsWindowVisible(FHandle)))
            FModalResult = mrCancel;
        if (Application && Application->Terminated() && FModalResult == mrNone)
            FModalResult = mrCancel;
        if (FModalResult != mrNone) {
            if (CloseQuery()) {
                TCloseAction action = caHide;
                DoClose(action);
                if (action != caNone)
                    break;
            }
            FModalResult = mrNone;
        }
        // Blocks until an event arrives; handlers may nest their own waits.
        WaitAndPumpMessages();
    }
    const TModalResult result = FModalResult;
    Hide();
    return result;
}

bool TCustomForm::Active() const { return FHandle && GetActiveWindow() == FHandle; }

void TCustomForm::Activate() { OnActivate(this); }
void TCustomForm::Deactivate() { OnDeactivate(this); }

void TCustomForm::WMClose(TMessage&)
{
    // A close request for a window blocked by a modal one ends the modal window: the action
    // that opened it is waiting for it, not for the radio.
    auto& modal = ModalForms();
    if (!modal.empty() && !FFormState.Contains(fsModal)) {
        modal.back()->FModalResult = mrCancel;
        return;
    }
    // The close box: never DefWindowProc, which would destroy the window.
    Close();
}

void TCustomForm::WMShowWindow(TMessage& M) { DefaultHandler(M); }

void TCustomForm::WMActivate(TMessage& M)
{
    DefaultHandler(M);
    if (LOWORD(M.WParam) != WA_INACTIVE) {
        FFormState += fsActivated;
        if (FFocusOnActivate) {
            FFocusOnActivate = false;
            FocusOnShow();
        }
        Activate();
    } else {
        Deactivate();
    }
}

void TCustomForm::WMSize(TMessage& M)
{
    TWinControl::WMSize(M);
    // A hidden window's size (as when it is made) says nothing of the state it shows in.
    if (!FHandle || !IsWindowVisible(FHandle))
        return;
    if (M.WParam == SIZE_MINIMIZED)
        FWindowState = wsMinimized;
    else if (M.WParam == SIZE_MAXIMIZED)
        FWindowState = wsMaximized;
    else
        FWindowState = wsNormal;
}

void TCustomForm::WMGetMinMaxInfo(TMessage& M) { TWinControl::WMGetMinMaxInfo(M); }

void TCustomForm::ConstraintsChanged()
{
    TWinControl::ConstraintsChanged();
    if (FHandle)
        RefreshMinMaxInfo(FHandle);
}

void TCustomForm::CMDialogKey(TMessage& M)
{
    if (M.WParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
        KeyboardFocusMove byKeyboard;
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        M.Result = 1;
        return;
    }
    // The controls have the key first: a Cancel button's own result wins over the plain Esc.
    TWinControl::CMDialogKey(M);
    if (M.Result == 0 && M.WParam == VK_ESCAPE && FFormState.Contains(fsModal)) {
        FModalResult = mrCancel;
        M.Result = 1;
    }
}

// ---- TForm ---------------------------------------------------------------------------------

QM_CLASS_IMPL(TForm, TCustomForm)

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) { InitializeFromDescription(); }

void TCustomForm::InitializeFromDescription()
{
    TClass cls = ClassType();
    if (cls == FDescribedClass)
        return;
    FDescribedClass = cls;
    const std::string name = UpperCase(cls->Name);
    if (FindResource(name)) {
        // A visible form shows only once it is complete.
        const bool wasVisible = Visible();
        try {
            ReadComponentResource(this, name);
        } catch (...) {
            ReportUnhandledException(std::current_exception());
        }
        if (Visible() && !wasVisible) {
            TControl::SetVisible(false);
            FFormState += fsVisible;
        }
    }
    try {
        DoCreate();
    } catch (...) {
        ReportUnhandledException(std::current_exception());
    }
    if (FFormState.Contains(fsVisible) && !Visible()) {
        FFormState -= fsVisible;
        try {
            Show();
        } catch (...) {
            ReportUnhandledException(std::current_exception());
        }
    }
}

void TCustomForm::Loaded()
{
    TWinControl::Loaded();
    // The focus goes where the description said once every control exists.
    if (FActiveControl && FActiveControl->GetParentForm() != this)
        FActiveControl = nullptr;
    FNamedActiveControl = FActiveControl;
}

// ---- TApplication --------------------------------------------------------------------------

QM_CLASS_IMPL(TApplication, TComponent)

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}

TApplication::~TApplication()
{
    if (FHandle)
        DeallocateHWnd(FHandle);
}

void TApplication::Initialize()
{
    EnsureGuiApplication();
    InitWindowAdaptor();
    SetHintPauseSource([] { return Application ? Application->HintPause : 500; });
    WatchBlockedCloseRequests();
}

void TApplication::CreateForm(TClass FormClass, void* Reference)
{
    if (!FormClass || !FormClass->CreateComponent)
        throw EInvalidOperation("Cannot create a form of this class");
    auto* f = dynamic_cast<TCustomForm*>(FormClass->CreateComponent(this));
    if (Reference)
        *static_cast<TCustomForm**>(Reference) = f;
    if (!FMainForm)
        FMainForm = f;
    if (f)
        f->InitializeFromDescription();
}

std::string TApplication::ExeName() const { return ParamStr(0); }

HWND TApplication::Handle()
{
    if (!FHandle)
        FHandle = AllocateHWnd([this](TMessage& M) {
            try {
                if (M.Msg == CM_RELEASE) {
                    auto* f = reinterpret_cast<TCustomForm*>(M.LParam);
                    if (Screen && std::find(Screen->FForms.begin(), Screen->FForms.end(), f) != Screen->FForms.end())
                        FreeObject(f);
                    return;
                }
                if (M.Msg == WM_SYSCOMMAND && (M.WParam & 0xFFF0) == SC_MINIMIZE) {
                    Minimize();
                    return;
                }
                M.Result = DefWindowProc(FHandle, M.Msg, M.WParam, M.LParam);
            } catch (...) {
                HandleExceptionPtr(std::current_exception(), this);
            }
        });
    return FHandle;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm)
        FMainForm = nullptr;
}

void TApplication::ProcessMessages() { PumpMessages(); }

void TApplication::HandleMessage() { WaitAndPumpMessages(); }

void TApplication::Run()
{
    Initialize();
    FRunning = true;
    // A main form shown already stays where it is: a window shown after it (the splash)
    // keeps its place on top.
    if (FMainForm && !FMainForm->Visible())
        FMainForm->Show();
    while (!FTerminated) {
        if (FMainForm && !FMainForm->Visible())
            break;
        if (!FMainForm)
            break;
        WaitAndPumpMessages();
    }
    FRunning = false;
}

void TApplication::Terminate()
{
    FTerminated = true;
    WakeMainThread();
}

void TApplication::Minimize()
{
    if (FMainForm && FMainForm->HandleAllocated())
        ShowWindow(FMainForm->Handle(), SW_SHOWMINIMIZED);
}

void TApplication::Restore()
{
    if (FMainForm && FMainForm->HandleAllocated())
        ShowWindow(FMainForm->Handle(), SW_RESTORE);
}

void TApplication::HandleException(TObject* Sender) { HandleExceptionPtr(std::current_exception(), Sender); }

void TApplication::HandleExceptionPtr(std::exception_ptr e, TObject* Sender)
{
    if (!e)
        return;
    try {
        std::rethrow_exception(e);
    } catch (EAbort&) {
        return;
    } catch (Exception& ex) {
        if (OnException)
            OnException(Sender, &ex);
        else
            ShowException(&ex);
    } catch (const std::exception& ex) {
        Exception wrapped(ex.what());
        if (OnException)
            OnException(Sender, &wrapped);
        else
            ShowException(&wrapped);
    } catch (...) {
        Exception wrapped("Unknown exception");
        if (OnException)
            OnException(Sender, &wrapped);
        else
            ShowException(&wrapped);
    }
}

void TApplication::ShowException(Exception* E)
{
    std::string msg = E ? E->Message : std::string();
    if (!msg.empty() && msg.back() != '.')
        msg += '.';
    MessageBox(msg, FTitle, MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const std::string& Text, const std::string& Caption, UINT Flags)
{
    return ShowMessageBox(Text, Caption, Flags);
}

// ---- TScreen -------------------------------------------------------------------------------

QM_CLASS_IMPL(TScreen, TComponent)

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen()
{
    for (auto& c : FCursors)
        DestroyCursor(static_cast<HCURSOR>(c.second));
    delete FFonts;
}

TCustomForm* TScreen::FindForm(const std::string& Name) const
{
    for (TCustomForm* f : FForms)
        if (SameText(f->Name(), Name))
            return f;
    return nullptr;
}

void TScreen::SetCursor(TCursor v)
{
    if (v == FCursor)
        return;
    if (QApplication::instance()) {
        if (FCursor != crDefault)
            QApplication::restoreOverrideCursor();
        if (v != crDefault)
            if (auto* c = static_cast<QCursor*>(Cursors(v)))
                QApplication::setOverrideCursor(*c);
    }
    FCursor = v;
}

void* TScreen::Cursors(int Index)
{
    for (auto& c : FCursors)
        if (c.first == Index)
            return c.second;
    if (!QApplication::instance())
        return nullptr;
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (Index) {
    case crNone: shape = Qt::BlankCursor; break;
    case crCross: shape = Qt::CrossCursor; break;
    case crIBeam: shape = Qt::IBeamCursor; break;
    case crSizeNESW: shape = Qt::SizeBDiagCursor; break;
    case crSizeNS: shape = Qt::SizeVerCursor; break;
    case crSizeNWSE: shape = Qt::SizeFDiagCursor; break;
    case crSizeWE: shape = Qt::SizeHorCursor; break;
    case crUpArrow: shape = Qt::UpArrowCursor; break;
    case crHourGlass:
    case crSQLWait: shape = Qt::WaitCursor; break;
    case crDrag:
    case crMultiDrag: shape = Qt::DragCopyCursor; break;
    case crNoDrop:
    case crNo: shape = Qt::ForbiddenCursor; break;
    case crHSplit: shape = Qt::SplitHCursor; break;
    case crVSplit: shape = Qt::SplitVCursor; break;
    case crAppStart: shape = Qt::BusyCursor; break;
    case crHelp: shape = Qt::WhatsThisCursor; break;
    case crHandPoint: shape = Qt::PointingHandCursor; break;
    case crSizeAll: shape = Qt::SizeAllCursor; break;
    default: break;
    }
    auto* c = new QCursor(shape);
    FCursors.emplace_back(Index, c);
    return c;
}

void TScreen::SetCursors(int Index, void* Cursor)
{
    for (auto& c : FCursors)
        if (c.first == Index) {
            // Handing the same cursor again must not free the one being kept.
            if (c.second != Cursor)
                DestroyCursor(static_cast<HCURSOR>(c.second));
            c.second = Cursor;
            return;
        }
    FCursors.emplace_back(Index, Cursor);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TStrings* TScreen::Fonts()
{
    if (!FFonts) {
        FFonts = new TStringList();
        EnsureGuiApplication();
        for (const QString& f : QFontDatabase::families())
            FFonts->Add(f.toStdString());
    }
    return FFonts;
}

// ---- Module --------------------------------------------------------------------------------

void RegisterFormClasses()
{
    // Descriptions name colours ("clBtnFace").
    RegisterColorIdents();
    RegisterControlClasses();
    RegisterClasses({TCustomForm::StaticClassInfo(), TForm::StaticClassInfo()});
}

void InitForms()
{
    if (!Application)
        Application = new TApplication(nullptr);
    if (!Screen)
        Screen = new TScreen(nullptr);
    SetUnhandledExceptionHandler([](std::exception_ptr e) {
        if (Application)
            Application->HandleExceptionPtr(e, nullptr);
    });
    SetApplicationExceptionHandler([](std::exception_ptr e) { ReportUnhandledException(e); });
    // "Form2.Edit1" in a description names a component of another existing form.
    RegisterFindGlobalComponentProc(
        [](const std::string& Name) -> TComponent* { return Screen ? Screen->FindForm(Name) : nullptr; });
    RegisterFormClasses();
}

void DoneForms()
{
    RegisterFindGlobalComponentProc(nullptr);
    SetUnhandledExceptionHandler(nullptr);
    SetApplicationExceptionHandler(nullptr);
    TScreen* s = Screen;
    TApplication* a = Application;
    FreeObject(a);
    Application = nullptr;
    Screen = nullptr;
    FreeObject(s);
}
