#include "framework/Controls.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "platform/AppException.h"
#include "platform/Input.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

TShiftState KeysToShiftState(WORD Keys)
{
    TShiftState s;
    if (Keys & MK_SHIFT)
        s += ssShift;
    if (Keys & MK_CONTROL)
        s += ssCtrl;
    if (Keys & MK_LBUTTON)
        s += ssLeft;
    if (Keys & MK_RBUTTON)
        s += ssRight;
    if (Keys & MK_MBUTTON)
        s += ssMiddle;
    if (GetKeyState(VK_MENU) < 0)
        s += ssAlt;
    return s;
}

TShiftState KeyboardStateToShiftState()
{
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0)
        s += ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        s += ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        s += ssAlt;
    return s;
}

TShiftState KeyDataToShiftState(LPARAM) { return KeyboardStateToShiftState(); }

// ---- Cursor names ------------------------------------------------------------------------

namespace {
struct CursorName {
    TCursor Value;
    const char* Name;
};
constexpr CursorName kCursorNames[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"},   {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};
} // namespace

bool CursorToIdent(TCursor Cursor, std::string& Ident)
{
    for (const auto& c : kCursorNames)
        if (c.Value == Cursor) {
            Ident = c.Name;
            return true;
        }
    return false;
}

bool IdentToCursor(const std::string& Ident, TCursor& Cursor)
{
    for (const auto& c : kCursorNames)
        if (SameText(Ident, c.Name)) {
            Cursor = c.Value;
            return true;
        }
    return false;
}

void RegisterCursorIdents()
{
    RegisterIntegerIdents(
        "TCursor",
        [](const std::string& ident, int64_t& value) {
            TCursor c;
            if (!IdentToCursor(ident, c))
                return false;
            value = c;
            return true;
        },
        [](int64_t value, std::string& ident) { return CursorToIdent(static_cast<TCursor>(value), ident); });
}

// ---- TSizeConstraints ---------------------------------------------------------------------

QM_CLASS_IMPL(TSizeConstraints, TPersistent, [](TClassBuilder<TSizeConstraints>& b) {
    b.Property("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight).Default(0);
    b.Property("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
    b.Property("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight).Default(0);
    b.Property("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0);
})

void TSizeConstraints::Assign(TPersistent* Source)
{
    if (auto* s = dynamic_cast<TSizeConstraints*>(Source)) {
        FMaxHeight = s->FMaxHeight;
        FMaxWidth = s->FMaxWidth;
        FMinHeight = s->FMinHeight;
        FMinWidth = s->FMinWidth;
        Change();
        return;
    }
    TPersistent::Assign(Source);
}

namespace {

// A maximum below the minimum pulls the minimum down with it; false when nothing changed.
bool SetMaxLimit(int v, int& Max, int& Min)
{
    if (v == Max)
        return false;
    Max = std::max(v, 0);
    if (Max > 0 && Max < Min)
        Min = Max;
    return true;
}

// A minimum above a set maximum pushes the maximum up with it; false when nothing changed.
bool SetMinLimit(int v, int& Min, int& Max)
{
    if (v == Min)
        return false;
    Min = std::max(v, 0);
    if (Max > 0 && Min > Max)
        Max = Min;
    return true;
}

} // namespace

void TSizeConstraints::SetMaxHeight(int v) { if (SetMaxLimit(v, FMaxHeight, FMinHeight)) Change(); }
void TSizeConstraints::SetMaxWidth(int v) { if (SetMaxLimit(v, FMaxWidth, FMinWidth)) Change(); }
void TSizeConstraints::SetMinHeight(int v) { if (SetMinLimit(v, FMinHeight, FMaxHeight)) Change(); }
void TSizeConstraints::SetMinWidth(int v) { if (SetMinLimit(v, FMinWidth, FMaxWidth)) Change(); }
void TSizeConstraints::Change() { OnChange(this); }

// ---- TControl -----------------------------------------------------------------------------

QM_CLASS_IMPL(TControl, TComponent, [](TClassBuilder<TControl>& b) {
    b.Property("Left", &TControl::Left, &TControl::SetLeft);
    b.Property("Top", &TControl::Top, &TControl::SetTop);
    b.Property("Width", &TControl::Width, &TControl::SetWidth);
    b.Property("Height", &TControl::Height, &TControl::SetHeight);
    b.Property("Align", &TControl::Align, &TControl::SetAlign).Default(alNone);
    b.Property("Anchors", &TControl::Anchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop});
    b.Property("Constraints", &TControl::Constraints, &TControl::SetConstraints);
    b.Property("AutoSize", &TControl::AutoSize, &TControl::SetAutoSize).Default(false);
    b.Property("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
    b.Property("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
    b.Property("Color", &TControl::Color, &TControl::SetColor)
        .TypeName("TColor")
        .Stored([](TControl& c) { return !c.ParentColor(); });
    b.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(true);
    b.Property("Font", &TControl::Font, &TControl::SetFont).Stored([](TControl& c) { return !c.ParentFont(); });
    b.Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
    b.Property("Hint", &TControl::Hint, &TControl::SetHint).Default(std::string());
    b.Property("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).Default(false);
    RegisterCursorIdents();
    b.Property("Cursor", &TControl::Cursor, &TControl::SetCursor).Default(crDefault).TypeName("TCursor");
    b.Property("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
    b.Property("Caption", &TControl::Caption, &TControl::SetCaption).Default(std::string());
    b.Property("OnClick", &TControl::OnClick);
    b.Property("OnDblClick", &TControl::OnDblClick);
    b.Property("OnMouseDown", &TControl::OnMouseDown);
    b.Property("OnMouseMove", &TControl::OnMouseMove);
    b.Property("OnMouseUp", &TControl::OnMouseUp);
    b.Property("OnMouseEnter", &TControl::OnMouseEnter);
    b.Property("OnMouseLeave", &TControl::OnMouseLeave);
    b.Property("OnMouseWheel", &TControl::OnMouseWheel);
    b.Property("OnMouseWheelUp", &TControl::OnMouseWheelUp);
    b.Property("OnMouseWheelDown", &TControl::OnMouseWheelDown);
    b.Property("OnResize", &TControl::OnResize);
    b.Property("OnCanResize", &TControl::OnCanResize);
})

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), FConstraints(std::make_unique<TSizeConstraints>(this)), FFont(std::make_unique<TFont>())
{
    FWidth = 0;
    FHeight = 0;
    FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    WindowProc = [this](TMessage& M) { WndProc(M); };
    FFont->OnChange = TNotifyEvent([this](TObject* s) { FontChangeNotify(s); }, this);
    FConstraints->OnChange = TNotifyEvent([this](TObject* s) { ConstraintsChangeNotify(s); }, this);
}

TControl::~TControl() = default;

void TControl::BeforeDestroy()
{
    if (MouseCapture())
        SetMouseCapture(false);
    SetParent(nullptr);
    TComponent::BeforeDestroy();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu)
        FPopupMenu = nullptr;
}

void TControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    if (AParent == this)
        throw EInvalidOperation("A control cannot have itself as its parent");
    if (FParent)
        FParent->RemoveControl(this);
    if (AParent) {
        AParent->InsertControl(this);
        if (FParentFont)
            FFont->Assign(AParent->Font());
        if (FParentColor)
            FColor = AParent->Color();
    }
}

TComponent* TControl::GetParentComponent() const { return FParent; }
void TControl::SetParentComponent(TComponent* Value)
{
    if (auto* w = dynamic_cast<TWinControl*>(Value))
        SetParent(w);
}

void TControl::ApplyConstraints(int& W, int& H) const
{
    if (FConstraints->MinWidth() > 0)
        W = std::max(W, FConstraints->MinWidth());
    if (FConstraints->MaxWidth() > 0)
        W = std::min(W, FConstraints->MaxWidth());
    if (FConstraints->MinHeight() > 0)
        H = std::max(H, FConstraints->MinHeight());
    if (FConstraints->MaxHeight() > 0)
        H = std::min(H, FConstraints->MaxHeight());
}

bool TControl::CanResize(int& NewWidth, int& NewHeight)
{
    bool r = true;
    OnCanResize(this, NewWidth, NewHeight, r);
    return r;
}

bool TControl::CanAutoSize(int&, int&) { return false; }

bool TControl::AcceptBounds(int ALeft, int ATop, int& AWidth, int& AHeight)
{
    ApplyConstraints(AWidth, AHeight);
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    return ALeft != FLeft || ATop != FTop || AWidth != FWidth || AHeight != FHeight;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    if (!AcceptBounds(ALeft, ATop, AWidth, AHeight))
        return;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    // The parent repaints where the control was and where it is now, not all of itself: a
    // picture moved twice a second repaints two small areas.
    TControl::Invalidate();
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    TControl::Invalidate();
    RequestAlign();
    if (sized)
        Resize();
}

int TControl::ClientWidth() const { return FWidth; }
int TControl::ClientHeight() const { return FHeight; }
void TControl::SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
void TControl::SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
void TControl::SetClientSize(int W, int H)
{
    SetBounds(FLeft, FTop, FWidth + W - ClientWidth(), FHeight + H - ClientHeight());
}

TPoint TControl::ClientOrigin() const
{
    if (!FParent)
        return TPoint{FLeft, FTop};
    TPoint p = FParent->ClientOrigin();
    return TPoint{p.x + FLeft, p.y + FTop};
}
TPoint TControl::ClientToScreen(const TPoint& P) const
{
    TPoint o = ClientOrigin();
    return TPoint{P.x + o.x, P.y + o.y};
}
TPoint TControl::ScreenToClient(const TPoint& P) const
{
    TPoint o = ClientOrigin();
    return TPoint{P.x - o.x, P.y - o.y};
}

void TControl::SetAlign(TAlign v)
{
    if (v == FAlign)
        return;
    FAlign = v;
    RequestAlign();
}

void TControl::RequestAlign()
{
    if (FParent)
        FParent->Realign();
}

void TControl::SetAutoSize(bool v)
{
    if (v == FAutoSize)
        return;
    FAutoSize = v;
    if (v)
        AdjustSize();
}

void TControl::AdjustSize()
{
    if (!FAutoSize || IsLoading())
        return;
    int w = FWidth, h = FHeight;
    if (CanAutoSize(w, h))
        SetBounds(FLeft, FTop, w, h);
}

void TControl::ConstraintsChanged()
{
    SetBounds(FLeft, FTop, FWidth, FHeight);
}
void TControl::ConstraintsChangeNotify(TObject*) { ConstraintsChanged(); }

void TControl::SetVisible(bool v)
{
    if (v == FVisible)
        return;
    VisibleChanging();
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v, 0);
    RequestAlign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool v)
{
    if (v == FEnabled)
        return;
    FEnabled = v;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor v)
{
    if (v == FColor && !FParentColor)
        return;
    FColor = v;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
}

// Turned on under a parent, the flag takes the parent's value at once (Msg).
void TControl::SetParentFlag(bool& Flag, bool v, UINT Msg)
{
    if (v == Flag)
        return;
    Flag = v;
    if (v && FParent)
        Perform(Msg, 0, 0);
}

void TControl::SetParentColor(bool v) { SetParentFlag(FParentColor, v, CM_PARENTCOLORCHANGED); }
void TControl::SetParentFont(bool v) { SetParentFlag(FParentFont, v, CM_PARENTFONTCHANGED); }

void TControl::FontChangeNotify(TObject*)
{
    FParentFont = false;
    FontChanged();
}
void TControl::FontChanged() { Perform(CM_FONTCHANGED, 0, 0); }

void TControl::SetCursor(TCursor v)
{
    if (v == FCursor)
        return;
    FCursor = v;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TComponent* v)
{
    SetReference(FPopupMenu, v);
}

void TControl::SetText(const std::string& v)
{
    if (v == FText)
        return;
    FText = v;
    Perform(CM_TEXTCHANGED, 0, 0);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage m{Msg, WParam, LParam, 0};
    if (WindowProc)
        WindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message)
{
    Dispatch(Message);
}

void TControl::Dispatch(TMessage& M)
{
    switch (M.Msg) {
    case WM_LBUTTONDOWN: WMLButtonDown(M); break;
    case WM_LBUTTONUP: WMLButtonUp(M); break;
    case WM_LBUTTONDBLCLK: WMLButtonDblClk(M); break;
    case WM_RBUTTONDOWN: WMRButtonDown(M); break;
    case WM_RBUTTONUP: WMRButtonUp(M); break;
    case WM_RBUTTONDBLCLK: WMRButtonDblClk(M); break;
    case WM_MBUTTONDOWN: WMMButtonDown(M); break;
    case WM_MBUTTONUP: WMMButtonUp(M); break;
    case WM_MOUSEMOVE: WMMouseMove(M); break;
    case WM_MOUSEWHEEL: WMMouseWheel(M); break;
    case WM_CAPTURECHANGED: WMCaptureChanged(M); break;
    case CM_MOUSEENTER: CMMouseEnter(M); break;
    case CM_MOUSELEAVE: CMMouseLeave(M); break;
    case CM_FONTCHANGED: CMFontChanged(M); break;
    case CM_COLORCHANGED: CMColorChanged(M); break;
    case CM_ENABLEDCHANGED: CMEnabledChanged(M); break;
    case CM_VISIBLECHANGED: CMVisibleChanged(M); break;
    case CM_TEXTCHANGED: CMTextChanged(M); break;
    case CM_CTL3DCHANGED: CMCtl3DChanged(M); break;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(M); break;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(M); break;
    case WM_CONTEXTMENU: WMContextMenu(M); break;
    default: DefaultHandler(M); break;
    }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Invalidate()
{
    if (FParent && FVisible && FParent->HandleAllocated()) {
        RECT r = BoundsRect();
        InvalidateRect(FParent->Handle(), &r, TRUE);
    }
}
void TControl::Update()
{
    if (FParent)
        FParent->Update();
}
void TControl::Repaint()
{
    Invalidate();
    Update();
}

void TControl::BringToFront() { MoveInZOrder(true); }


void TControl::MoveInZOrder(bool ToFront)
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(ToFront ? list.end() : list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); ToFront && w && w->HandleAllocated())
        BringWindowToTop(w->Handle());
    Invalidate();
}

TCustomForm* TControl::GetParentForm() const { return ::GetParentForm(this); }

TCustomForm* GetParentForm(const TControl* Control)
{
    const TControl* c = Control;
    while (c && c->Parent())
        c = c->Parent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::Click() { OnClick(this); }
void TControl::DblClick() { OnDblClick(this); }
void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) { OnMouseDown(this, Button, Shift, X, Y); }
void TControl::MouseMove(TShiftState Shift, int X, int Y) { OnMouseMove(this, Shift, X, Y); }
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) { OnMouseUp(this, Button, Shift, X, Y); }
void TControl::Resize() { OnResize(this); }

bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
    if (!handled)
        handled = WheelDelta < 0 ? DoMouseWheelDown(Shift, MousePos) : DoMouseWheelUp(Shift, MousePos);
    return handled;
}
bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheelDown(this, Shift, MousePos, handled);
    return handled;
}
bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos)
{
    bool handled = false;
    OnMouseWheelUp(this, Shift, MousePos, handled);
    return handled;
}

void TControl::SetMouseCapture(bool v)
{
    auto* w = dynamic_cast<TWinControl*>(this);
    TWinControl* host = w ? w : FParent;
    if (!host || !host->HandleAllocated())
        return;
    if (v)
        SetCapture(host->Handle());
    else if (GetCapture() == host->Handle())
        ReleaseCapture();
}
bool TControl::MouseCapture() const
{
    auto* w = dynamic_cast<const TWinControl*>(this);
    return w && w->HandleAllocated() && GetCapture() == const_cast<TWinControl*>(w)->Handle();
}

void TControl::DoMouseDown(TMessage& M, TMouseButton Button, TShiftState Shift)
{
    MouseDown(Button, KeysToShiftState(static_cast<WORD>(M.WParam)) + Shift, GET_X_LPARAM(M.LParam),
              GET_Y_LPARAM(M.LParam));
}
void TControl::DoMouseUp(TMessage& M, TMouseButton Button)
{
    MouseUp(Button, KeysToShiftState(static_cast<WORD>(M.WParam)), GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam));
}
void TControl::ButtonDown(TMessage& M, TMouseButton Button, TShiftState Shift)
{
    DefaultHandler(M);
    DoMouseDown(M, Button, Shift);
}
void TControl::ButtonUp(TMessage& M, TMouseButton Button)
{
    DefaultHandler(M);
    DoMouseUp(M, Button);
}

void TControl::WMLButtonDown(TMessage& M)
{
    DefaultHandler(M);
    if (FControlStyle.Contains(csClickEvents))
        FControlState += csClicked;
    DoMouseDown(M, mbLeft, {});
}
void TControl::WMLButtonDblClk(TMessage& M)
{
    DefaultHandler(M);
    if (FControlStyle.Contains(csClickEvents))
        DblClick();
    DoMouseDown(M, mbLeft, {ssDouble});
}
void TControl::WMLButtonUp(TMessage& M)
{
    DefaultHandler(M);
    if (FControlState.Contains(csClicked)) {
        FControlState -= csClicked;
        int x = GET_X_LPARAM(M.LParam), y = GET_Y_LPARAM(M.LParam);
        if (x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight())
            Click();
    }
    DoMouseUp(M, mbLeft);
}
void TControl::WMRButtonDown(TMessage& M) { ButtonDown(M, mbRight, {}); }
void TControl::WMRButtonUp(TMessage& M)
{
    ButtonUp(M, mbRight);
    // Releasing the right button asks for the context menu, at the mouse on the screen.
    TPoint p = ClientToScreen(TPoint{GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)});
    Perform(WM_CONTEXTMENU, 0, MAKELPARAM(p.x, p.y));
}

void TControl::WMContextMenu(TMessage& M)
{
    auto* menu = dynamic_cast<TPopupMenu*>(FPopupMenu);
    if (menu && menu->AutoPopup()) {
        POINT p{GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)};
        // (-1, -1): from the keyboard; the menu opens at the mouse.
        if (p.x == -1 && p.y == -1)
            GetCursorPos(&p);
        menu->SetPopupComponent(this);
        menu->Popup(p.x, p.y);
        M.Result = 1;
        return;
    }
    if (FParent) {
        M.Result = FParent->Perform(WM_CONTEXTMENU, M.WParam, M.LParam);
        return;
    }
    DefaultHandler(M);
}
void TControl::WMRButtonDblClk(TMessage& M) { ButtonDown(M, mbRight, {ssDouble}); }
void TControl::WMMButtonDown(TMessage& M) { ButtonDown(M, mbMiddle, {}); }
void TControl::WMMButtonUp(TMessage& M) { ButtonUp(M, mbMiddle); }
void TControl::WMMouseMove(TMessage& M)
{
    DefaultHandler(M);
    MouseMove(KeysToShiftState(static_cast<WORD>(M.WParam)), GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam));
}
void TControl::WMMouseWheel(TMessage& M)
{
    TShiftState shift = KeysToShiftState(static_cast<WORD>(M.WParam));
    int delta = GET_WHEEL_DELTA_WPARAM(M.WParam);
    TPoint pos{GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)};
    if (DoMouseWheel(shift, delta, pos)) {
        M.Result = 1;
        return;
    }
    // Unhandled: the parent chain (up to the form) gets its turn.
    if (FParent) {
        M.Result = FParent->Perform(M.Msg, M.WParam, M.LParam);
        return;
    }
    DefaultHandler(M);
}
void TControl::CMMouseEnter(TMessage& M)
{
    FMouseInControl = true;
    OnMouseEnter(this);
    DefaultHandler(M);
}
void TControl::CMMouseLeave(TMessage& M)
{
    FMouseInControl = false;
    OnMouseLeave(this);
    DefaultHandler(M);
}
void TControl::CMFontChanged(TMessage& M)
{
    Invalidate();
    DefaultHandler(M);
}
void TControl::CMColorChanged(TMessage& M)
{
    Invalidate();
    DefaultHandler(M);
}
void TControl::CMEnabledChanged(TMessage& M)
{
    Invalidate();
    DefaultHandler(M);
}
void TControl::CMVisibleChanged(TMessage& M)
{
    if (FParent)
        FParent->Invalidate();
    DefaultHandler(M);
}
void TControl::CMParentFontChanged(TMessage& M)
{
    if (FParentFont && FParent) {
        FFont->OnChange.Clear();
        FFont->Assign(FParent->Font());
        FFont->OnChange = TNotifyEvent([this](TObject* s) { FontChangeNotify(s); }, this);
        FontChanged();
    }
    DefaultHandler(M);
}
void TControl::CMParentColorChanged(TMessage& M)
{
    if (FParentColor && FParent) {
        FColor = FParent->Color();
        Perform(CM_COLORCHANGED, 0, 0);
        FParentColor = true;
    }
    DefaultHandler(M);
}
// ---- TControlCanvas ------------------------------------------------------------------------

QM_CLASS_IMPL(TControlCanvas, TCanvas)

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle()
{
    auto* w = dynamic_cast<TWinControl*>(FControl);
    if (!w)
        return;
    FOwnWnd = w->Handle();
    FOwnDC = GetDC(FOwnWnd);
    SetHandle(FOwnDC);
}

void TControlCanvas::FreeHandle()
{
    if (FOwnDC) {
        if (GetHandle() == FOwnDC)
            SetHandle(nullptr);
        ReleaseDC(FOwnWnd, FOwnDC);
        FOwnDC = nullptr;
        FOwnWnd = nullptr;
    }
}

// ---- TCustomControl ------------------------------------------------------------------------

namespace {
// Paint runs with the canvas on DC, in the control's font and colour; the canvas lets go of
// DC on every way out.
template <class PaintFn>
void PaintThroughCanvas(TCanvas& Canvas, HDC DC, const TControl& Control, PaintFn Paint)
{
    Canvas.SetHandle(DC);
    ScopeExit release([&] { Canvas.SetHandle(nullptr); });
    Canvas.Font()->Assign(Control.Font());
    Canvas.Brush()->SetColor(Control.Color());
    Paint();
}
} // namespace

QM_CLASS_IMPL(TCustomControl, TWinControl)

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>()), FPaintCanvas(std::make_unique<TCanvas>())
{
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {}

// A paint draws through a canvas of its own: it can run in the middle of a drawing call on the
// other one (the first drawing outside a paint has the window painted into its new image), and
// that call must find its context and tools as it left them.
void TCustomControl::PaintWindow(HDC DC)
{
    const bool was = std::exchange(FPainting, true);
    ScopeExit back([&] { FPainting = was; });
    PaintThroughCanvas(*FPaintCanvas, DC, *this, [this] { Paint(); });
}

// ---- TGraphicControl -----------------------------------------------------------------------

QM_CLASS_IMPL(TGraphicControl, TControl)

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC) { PaintThroughCanvas(*FCanvas, DC, *this, [this] { Paint(); }); }

void RegisterControlClasses()
{
    RegisterClasses({TControl::StaticClassInfo(), TWinControl::StaticClassInfo(), TCustomControl::StaticClassInfo(),
                     TGraphicControl::StaticClassInfo()});
}

KeyboardFocusMove::KeyboardFocusMove() : Was(SetKeyboardFocusMove(true)) {}
KeyboardFocusMove::~KeyboardFocusMove() { SetKeyboardFocusMove(Was); }
