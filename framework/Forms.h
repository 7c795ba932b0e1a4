#pragma once
#include "platform/Services.h"
// Forms, the application object (`Application`) and the screen (`Screen`).
#include <functional>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Menus.h"

QM_ENUM(TFormStyle, fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)
QM_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)
QM_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
        poDesktopCenter, poMainFormCenter, poOwnerFormCenter)
QM_ENUM(TBorderIcon, biSystemMenu, biMinimize, biMaximize, biHelp)
using TBorderIcons = Set<TBorderIcon>;
QM_ENUM(TCloseAction, caNone, caHide, caFree, caMinimize)
enum TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = Set<TFormStateFlag>;

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

using TCloseEvent = Event<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = Event<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = Event<void(TObject* Sender, Exception* E)>;

class TCustomForm : public TWinControl {
    QM_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons v);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition v) { FPosition = v; }
    TWindowState WindowState() const;
    void SetWindowState(TWindowState v);
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle v);
    TFormState FormState() const { return FFormState; }
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool v) { FKeyPreview = v; }
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* v);
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult v) { FModalResult = v; }
    int PixelsPerInch() const { return 96; }
    // The main menu, shown as a bar above the client area (the window keeps its size).
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* v);
    // A key pressed in Control: the menu shortcuts (Control's pop-up menu first, then the
    // main menu's). True when a menu item took it.
    bool IsShortCut(TWinControl* Control, WORD Key, TShiftState Shift);

    void Show();
    void Hide();
    void Close();
    virtual bool CloseQuery();
    virtual TModalResult ShowModal();
    void Release();
    bool Active() const;
    void SetVisible(bool v) override;
    bool Showing() const override;
    // Reads the embedded description named after the form's class in upper case ("TFORM1")
    // when there is one, then fires OnCreate; shows the form if the description made it
    // visible. Runs once per class: TForm's constructor calls it, but C++ constructs the
    // derived part later, so a derived form calls it again at the end of its own
    // constructor (Application->CreateForm does that for it). A faulty description is
    // reported through Application->HandleException; the form keeps what was read.
    virtual void InitializeFromDescription();

    // Called by controls: focus moved to Control. Sends CM_EXIT to the controls losing the
    // focus, innermost first, up to the parent they share with Control, then CM_ENTER to
    // those gaining it, outermost first.
    void FocusControlChanged(TWinControl* Control);
    // Called by a parent losing Control: the form forgets it (and what it contains).
    void ControlRemoving(TControl* Control);
    // After a window recreation: shows the new window as the old one was.
    void RestoreShowState();

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateNonClientInsets(RECT& Insets) override;
    void CreateWnd() override;
    void BeforeDestroy() override;
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& Action);
    virtual void Activate();
    virtual void Deactivate();
    void WMClose(TMessage& M) override;
    void WMShowWindow(TMessage& M) override;
    void WMActivate(TMessage& M) override;
    void WMSize(TMessage& M) override;
    void WMGetMinMaxInfo(TMessage& M) override;
    void CMDialogKey(TMessage& M) override;
    void ConstraintsChanged() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void UpdateWindowState();
    void PlaceOnShow();
    void FocusOnShow();

    TFormState FFormState;

private:
    TBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
    TPosition FPosition = poDesigned;
    TWindowState FWindowState = wsNormal;
    TFormStyle FFormStyle = fsNormal;
    bool FKeyPreview = false;
    TWinControl* FActiveControl = nullptr;
    // The control the description names: each show starts there (or at the first Tab stop).
    TWinControl* FNamedActiveControl = nullptr;
    TWinControl* FFocusedControl = nullptr;
    bool FFocusOnActivate = false;
    TModalResult FModalResult = mrNone;
    bool FPlaced = false;
    TClass FDescribedClass = nullptr;
    TMainMenu* FMenu = nullptr;
    void UpdateMenuBar();
    // The forms in ShowModal, innermost last.
    static std::vector<TCustomForm*>& ModalForms();
    HWND ModalOwnerHandle() const;
};

class TForm : public TCustomForm {
    QM_CLASS(TForm, TCustomForm)
public:
    explicit TForm(TComponent* AOwner);
};

// The message-box service: without one, the desktop's message box (MessageBoxA) asks;
// tests install a recorder.
using TMessageBoxService = std::function<int(const std::string& Text, const std::string& Caption, UINT Flags)>;
void SetMessageBoxService(TMessageBoxService service);
int ShowMessageBox(const std::string& Text, const std::string& Caption, UINT Flags);

class TApplication : public TComponent {
    QM_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* AOwner);
    ~TApplication() override;

    // Creates the toolkit application; before this no window can be shown.
    void Initialize();
    template <class F> void CreateForm(F*& Reference)
    {
        F* f = new F(this);
        Reference = f;
        if (!FMainForm)
            FMainForm = f;
        f->InitializeFromDescription();
    }
    void CreateForm(TClass FormClass, void* Reference);
    TCustomForm* MainForm() const { return FMainForm; }
    void SetMainForm(TCustomForm* v) { FMainForm = v; }
    std::string Title() const { return FTitle; }
    void SetTitle(const std::string& v) { FTitle = v; }
    std::string ExeName() const;
    HWND Handle();
    int HintPause = 500;
    int HintHidePause = 2500;
    bool ShowHint = true;

    void ProcessMessages();
    void HandleMessage();
    // Shows the main form and runs the message loop until it closes or Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    void Minimize();
    void Restore();
    void HandleException(TObject* Sender);
    void ShowException(Exception* E);
    int MessageBox(const std::string& Text, const std::string& Caption, UINT Flags = MB_OK);

    TExceptionEvent OnException;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

public:
    // For toolkit entry points: handles e as HandleException does.
    void HandleExceptionPtr(std::exception_ptr e, TObject* Sender);

private:
    friend class TCustomForm;
        TCustomForm* FMainForm = nullptr;
    std::string FTitle;
    bool FTerminated = false;
    bool FRunning = false;
    HWND FHandle = nullptr;
};

class TScreen : public TComponent {
    QM_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* AOwner);
    ~TScreen() override;
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int Index) const { return FForms.at(static_cast<size_t>(Index)); }
    TCustomForm* FindForm(const std::string& Name) const;
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor v);
    // The toolkit cursor of a cursor number, created on first use (a QCursor*, opaque here).
    void* Cursors(int Index);
    void SetCursors(int Index, void* Cursor);
    int PixelsPerInch() const { return 96; }
    int Width() const;
    int Height() const;
    TStrings* Fonts();

private:
    friend class TCustomForm;
    friend class TApplication;
    std::vector<TCustomForm*> FForms;
    TCursor FCursor = crDefault;
    std::vector<std::pair<int, void*>> FCursors;
    TStringList* FFonts = nullptr;
};

extern TApplication* Application;
extern TScreen* Screen;
// Creates Application and Screen (no toolkit yet) and routes unhandled exceptions to
// Application->HandleException; DoneForms frees them.
void InitForms();
void DoneForms();
void RegisterFormClasses();
