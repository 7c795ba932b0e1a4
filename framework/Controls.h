#pragma once
// Visual controls: TControl (bounds, alignment, mouse and keys), TWinControl (a window
// handle created on demand, with a replaceable window procedure chain), TCustomControl
// (painted on a canvas) and TGraphicControl (painted on its parent).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/TypInfo.h"
#include "framework/Types.h"
#include "platform/Messages.h"

class TWinControl;
class TCustomForm;
class QWidget;

QM_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom)
QM_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom)
using TAnchors = Set<TAnchorKind>;
QM_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle)
QM_ENUM(TShiftStateFlag, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble)
using TShiftState = Set<TShiftStateFlag>;
QM_ENUM(TBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)
using TFormBorderStyle = TBorderStyle;

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
// Cursor names ("crHandPoint") for form descriptions; registered as the idents of "TCursor".
bool CursorToIdent(TCursor Cursor, std::string& Ident);
bool IdentToCursor(const std::string& Ident, TCursor& Cursor);
void RegisterCursorIdents();

enum TControlStateFlag { csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded,
                         csFocusing, csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle,
                         csDocking };
using TControlState = Set<TControlStateFlag>;
enum TControlStyleFlag { csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents,
                         csFramed, csSetCaption, csOpaque, csDoubleClicks, csFixedWidth,
                         csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
                         csDisplayDragImage, csReflector, csActionClient, csMenuEvents };
using TControlStyle = Set<TControlStyleFlag>;

using TMouseEvent = Event<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = Event<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = Event<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = Event<void(TObject* Sender, char& Key)>;
using TMouseWheelEvent = Event<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = Event<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TCanResizeEvent = Event<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;
using TWndMethod = std::function<void(TMessage& Message)>;

// The shift state of a mouse message's key flags, or of the keyboard now.
TShiftState KeysToShiftState(WORD Keys);
TShiftState KeyboardStateToShiftState();
TShiftState KeyDataToShiftState(LPARAM KeyData);

class TControl;

class TSizeConstraints : public TPersistent {
    QM_CLASS(TSizeConstraints, TPersistent)
public:
    explicit TSizeConstraints(TControl* Control = nullptr) : FControl(Control) {}
    void Assign(TPersistent* Source) override;
    int MaxHeight() const { return FMaxHeight; }
    int MaxWidth() const { return FMaxWidth; }
    int MinHeight() const { return FMinHeight; }
    int MinWidth() const { return FMinWidth; }
    void SetMaxHeight(int v);
    void SetMaxWidth(int v);
    void SetMinHeight(int v);
    void SetMinWidth(int v);
    TNotifyEvent OnChange;

private:
    void Change();
    TControl* FControl;
    int FMaxHeight = 0, FMaxWidth = 0, FMinHeight = 0, FMinWidth = 0;
};

class TControl : public TComponent {
    QM_CLASS(TControl, TComponent)
    friend class TWinControl;

public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }
    void SetParentComponent(TComponent* Value) override;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    virtual int ClientWidth() const;
    virtual int ClientHeight() const;
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    virtual void SetClientSize(int W, int H);
    TRect ClientRect() const { return TRect{0, 0, ClientWidth(), ClientHeight()}; }
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(const TPoint& P) const;
    TPoint ScreenToClient(const TPoint& P) const;

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign v);
    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors v) { FAnchors = v; }
    TSizeConstraints* Constraints() const { return FConstraints.get(); }
    void SetConstraints(TSizeConstraints* v) { FConstraints->Assign(v); }
    bool AutoSize() const { return FAutoSize; }
    virtual void SetAutoSize(bool v);

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and the parent chain is showing.
    virtual bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool v);
    TColor Color() const { return FColor; }
    void SetColor(TColor v);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool v);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* v) { FFont->Assign(v); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    std::string Hint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool v) { FShowHint = v; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor v);
    TComponent* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TComponent* v);
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& v) { SetText(v); }
    std::string Text() const { return GetText(); }
    virtual std::string GetText() const { return FText; }
    virtual void SetText(const std::string& v);

    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle v) { FControlStyle = v; }

    // Sends a message straight to this control's WindowProc.
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // Handles the messages this class knows, else DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    TCustomForm* GetParentForm() const;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseWheelEvent OnMouseWheel;
    TMouseWheelUpDownEvent OnMouseWheelUp;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TNotifyEvent OnResize;
    TCanResizeEvent OnCanResize;

    virtual void Click();
    virtual void DblClick();

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual bool DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos);
    virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
    virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
    virtual void Resize();
    virtual bool CanResize(int& NewWidth, int& NewHeight);
    virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
    void AdjustSize();
    virtual void ConstraintsChanged();
    void ApplyConstraints(int& W, int& H) const;
    void SetParentFlag(bool& Flag, bool v, UINT Msg);
    // New bounds after the constraints and OnCanResize; false when they are the present ones.
    bool AcceptBounds(int ALeft, int ATop, int& AWidth, int& AHeight);
    virtual void FontChanged();
    virtual void RequestAlign();
    virtual void VisibleChanging() {}
    void SetMouseCapture(bool v);
    bool MouseCapture() const;
    void BeforeDestroy() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Message handlers; each ends in DefaultHandler unless a subclass does otherwise.
    virtual void WMLButtonDown(TMessage& M);
    virtual void WMLButtonUp(TMessage& M);
    virtual void WMLButtonDblClk(TMessage& M);
    virtual void WMRButtonDown(TMessage& M);
    virtual void WMRButtonUp(TMessage& M);
    virtual void WMRButtonDblClk(TMessage& M);
    virtual void WMMButtonDown(TMessage& M);
    virtual void WMMButtonUp(TMessage& M);
    virtual void WMMouseMove(TMessage& M);
    virtual void WMMouseWheel(TMessage& M);
    virtual void WMCaptureChanged(TMessage& M) { DefaultHandler(M); }
    virtual void CMMouseEnter(TMessage& M);
    virtual void CMMouseLeave(TMessage& M);
    virtual void CMFontChanged(TMessage& M);
    virtual void CMColorChanged(TMessage& M);
    virtual void CMEnabledChanged(TMessage& M);
    virtual void CMVisibleChanged(TMessage& M);
    virtual void CMTextChanged(TMessage& M) { DefaultHandler(M); }
    virtual void CMCtl3DChanged(TMessage& M) { DefaultHandler(M); }
    virtual void CMParentFontChanged(TMessage& M);
    virtual void CMParentColorChanged(TMessage& M);
    // Pops up the first pop-up menu with AutoPopup from here up the parents.
    virtual void WMContextMenu(TMessage& M);

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TControlState FControlState;
    TControlStyle FControlStyle;
    std::string FText;

private:
    void MoveInZOrder(bool ToFront);
    void DoMouseDown(TMessage& M, TMouseButton Button, TShiftState Shift);
    void DoMouseUp(TMessage& M, TMouseButton Button);
    // The default handling, then the mouse event: a button message that does nothing else.
    void ButtonDown(TMessage& M, TMouseButton Button, TShiftState Shift);
    void ButtonUp(TMessage& M, TMouseButton Button);
    void FontChangeNotify(TObject* Sender);
    void ConstraintsChangeNotify(TObject* Sender);
    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    std::unique_ptr<TSizeConstraints> FConstraints;
    bool FAutoSize = false;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    std::string FHint;
    bool FShowHint = false;
    TCursor FCursor = crDefault;
    TComponent* FPopupMenu = nullptr;
    bool FMouseInControl = false;
};

struct TCreateParams {
    std::string Caption;
    LONG_PTR Style = 0;
    LONG_PTR ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
};

class TWinControl : public TControl {
    QM_CLASS(TWinControl, TControl)
    friend class TControl;

public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    HWND Handle();
    HWND GetHandle() { return Handle(); }
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    // Gives the control a new window (same state, new handle).
    void RecreateWnd();
    // The control's default procedure: what its own handling falls back to.
    LRESULT DefWndProc(UINT Msg, WPARAM WParam, LPARAM LParam);

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const { return FControls.at(static_cast<size_t>(Index)); }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(TControl* Control) const;
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls = false) const;
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;

    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool v);
    // The position among the parent's windowed children in Tab order (-1 without a parent).
    // Setting it moves this control and renumbers the siblings; values are clamped.
    int TabOrder() const;
    void SetTabOrder(int v);
    // Every windowed descendant in Tab order: each child followed by its own descendants.
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    // The control after (or before) CurControl in Tab order, wrapping around, that can take
    // the focus; CheckTabStop skips controls without TabStop, CheckParent those whose parent
    // is not this control. Null when there is none.
    TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) const;
    // Moves the focus to the next control, as Tab and Shift+Tab do.
    void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool v);
    bool DoubleBuffered = false;

    // Raises EInvalidOperation when the control cannot take the focus in a showing form.
    virtual void SetFocus();
    bool Focused() const;
    // This control and its parents up to the form are visible and enabled.
    virtual bool CanFocus() const;
    // Tab stops here now. A radio group hands its stop to a button; of the radio buttons
    // that share a parent only one is a stop.
    virtual bool IsTabStop() const { return FTabStop; }
    bool Showing() const override;

    int ClientWidth() const override;
    int ClientHeight() const override;
    TPoint ClientOrigin() const override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetParent(TWinControl* AParent) override;
    void SetVisible(bool v) override;
    void SetEnabled(bool v) override;
    void SetText(const std::string& v) override;
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    // Draws the client area and the visible children (with their borders) on DC, the client's
    // top-left corner at the DC's origin; the window's own image is left alone (printing).
    // Controls the toolkit draws itself show only their background.
    void PaintTo(HDC DC);
    // Lays out the aligned children over the client area.
    void Realign();

    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    void MainWndProc(TMessage& Message);
    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    // Whether the key is handled by the form before the focused control sees it.
    bool DoKeyDown(TMessage& M);
    bool DoKeyPress(TMessage& M);
    bool DoKeyUp(TMessage& M);

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    // Standard controls embed their toolkit widget here; custom-drawn ones have none.
    virtual QWidget* CreateNativeWidget() { return nullptr; }
    virtual void CreateHandle();
    virtual void DestroyWnd();
    void DestroyHandle();
    virtual void CreateNonClientInsets(RECT& Insets);
    RECT NonClientInsets();
    // The client area's size: the window's once there is one, else the bounds less the frame.
    SIZE ClientExtent() const;
    virtual void AlignControls(TControl* AControl, TRect& Rect);
    void RequestAlign() override;
    void BeforeDestroy() override;
    void Loaded() override;
    virtual void UpdateShowing();
    virtual void DoEnter();
    virtual void DoExit();
    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void PaintControls(HDC DC, TControl* First);
    virtual void PaintHandler(TMessage& M);
    // Paints the window itself on DC, before its graphic children.
    virtual void PaintWindow(HDC) {}
    // Gives a mouse message over a graphic child to that child; true when it did. The child
    // the left button went down on hears the mouse until the button comes up, wherever the
    // pointer goes (this window holds the mouse meanwhile).
    bool IsControlMouseMsg(TMessage& M);

    virtual void WMSize(TMessage& M);
    virtual void WMMove(TMessage& M) { DefaultHandler(M); }
    virtual void WMWindowPosChanged(TMessage& M);
    virtual void WMPaint(TMessage& M);
    virtual void WMEraseBkgnd(TMessage& M);
    virtual void WMSetFocus(TMessage& M);
    virtual void WMKillFocus(TMessage& M);
    virtual void WMKeyDown(TMessage& M);
    virtual void WMKeyUp(TMessage& M);
    virtual void WMChar(TMessage& M);
    virtual void WMGetDlgCode(TMessage& M) { DefaultHandler(M); }
    virtual void WMHScroll(TMessage& M) { DefaultHandler(M); }
    virtual void WMVScroll(TMessage& M) { DefaultHandler(M); }
    virtual void WMGetMinMaxInfo(TMessage& M);
    virtual void WMNCDestroy(TMessage& M);
    virtual void WMShowWindow(TMessage& M) { DefaultHandler(M); }
    virtual void WMClose(TMessage& M) { DefaultHandler(M); }
    virtual void WMActivate(TMessage& M) { DefaultHandler(M); }
    void CMColorChanged(TMessage& M) override;
    void CMFontChanged(TMessage& M) override;
    virtual void CMDialogKey(TMessage& M);
    // Alt+letter: offered to every child until one takes it (a label's accelerator).
    virtual void CMDialogChar(TMessage& M);
    virtual void WMSysChar(TMessage& M);
    virtual void CMEnter(TMessage& M);
    virtual void CMExit(TMessage& M);
    // The hint shown where the mouse rests: of the control there, or the nearest parent with one.
    virtual void CMHintShow(TMessage& M);

    HWND FHandle = nullptr;
    std::vector<TControl*> FControls;

private:
    void ShowHandle();
    void ApplyCursor();
    bool FormPreviews(bool (TWinControl::*Preview)(TMessage&), TMessage& M);
    bool ChildClaims(TMessage& M);
    bool DoKey(TMessage& M, bool (TWinControl::*Preview)(TMessage&), void (TWinControl::*Handler)(WORD&, TShiftState));
    // Menu shortcuts and the context-menu key; true when one took the key.
    bool IsMenuKey(TMessage& M);
    WNDPROC FObjectInstance;
    // Windowed children in Tab order (FControls holds the stacking order).
    std::vector<TWinControl*> FTabList;
    bool FTabStop = false;
    int FTabOrderHint = -1;
    bool FCtl3D = true;
    bool FAligning = false;
    TControl* FMouseHolder = nullptr;
};

// A canvas that draws on a control's window: the paint context while painting, else a
// window context taken on first use.
class TControlCanvas : public TCanvas {
    QM_CLASS(TControlCanvas, TCanvas)
public:
    TControlCanvas() = default;
    ~TControlCanvas() override;
    void SetControl(TControl* c) { FControl = c; }
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* FControl = nullptr;
    HDC FOwnDC = nullptr;
    HWND FOwnWnd = nullptr;
};

class TCustomControl : public TWinControl {
    QM_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    // While the control paints, the paint's canvas; else one on a context of the control's own.
    TCanvas* Canvas() const { return FPainting ? FPaintCanvas.get() : FCanvas.get(); }

protected:
    virtual void Paint();
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TControlCanvas> FCanvas;
    std::unique_ptr<TCanvas> FPaintCanvas;
    bool FPainting = false;
};

class TGraphicControl : public TControl {
    QM_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }
    // Paints on DC, whose origin is this control's top-left corner.
    void PaintOn(HDC DC);

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// Finds the form a control sits on, or null.
TCustomForm* GetParentForm(const TControl* Control);
void RegisterControlClasses();

// Focus set while one lives was moved by the keyboard, and shows the keyboard focus mark.
struct KeyboardFocusMove {
    KeyboardFocusMove();
    ~KeyboardFocusMove();
    KeyboardFocusMove(const KeyboardFocusMove&) = delete;
    KeyboardFocusMove& operator=(const KeyboardFocusMove&) = delete;
    bool Was;
};
