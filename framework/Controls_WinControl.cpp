#include "framework/Controls.h"

#include <algorithm>
#include <cstdint>

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "platform/AppException.h"
#include "platform/Input.h"
#include "platform/Windowing.h"
#include "platform/ScrollBar.h"

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

void TSizeConstraints::SetMaxHeight(int v)
{
    if (SetMaxLimit(v, FMaxHeight, FMinHeight))
        Change();
}
void TSizeConstraints::SetMaxWidth(int v)
{
    if (SetMaxLimit(v, FMaxWidth, FMinWidth))
        Change();
}
void TSizeConstraints::SetMinHeight(int v)
{
    if (SetMinLimit(v, FMinHeight, FMaxHeight))
        Change();
}
void TSizeConstraints::SetMinWidth(int v)
{
    if (SetMinLimit(v, FMinWidth, FMaxWidth))
        Change();
}
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

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ApplyConstraints(AWidth, AHeight);
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    if (FParent && Visible())
        FParent->Invalidate();
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FParent && Visible())
        FParent->Invalidate();
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

void TControl::SetParentColor(bool v)
{
    if (v == FParentColor)
        return;
    FParentColor = v;
    if (v && FParent)
        Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v)
{
    if (v == FParentFont)
        return;
    FParentFont = v;
    if (v && FParent)
        Perform(CM_PARENTFONTCHANGED, 0, 0);
}

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
    FPopupMenu = v;
    if (v)
        v->FreeNotification(this);
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

void TControl::BringToFront()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        BringWindowToTop(w->Handle());
    Invalidate();
}

void TControl::SendToBack()
{
    if (!FParent)
        return;
    auto& list = FParent->FControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        if (QWidget* q = WindowWidget(w->Handle()))
            (void)q;
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
void TControl::WMRButtonDown(TMessage& M)
{
    DefaultHandler(M);
    DoMouseDown(M, mbRight, {});
}
void TControl::WMRButtonUp(TMessage& M)
{
    DefaultHandler(M);
    DoMouseUp(M, mbRight);
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
void TControl::WMRButtonDblClk(TMessage& M)
{
    DefaultHandler(M);
    DoMouseDown(M, mbRight, {ssDouble});
}
void TControl::WMMButtonDown(TMessage& M)
{
    DefaultHandler(M);
    DoMouseDown(M, mbMiddle, {});
}
void TControl::WMMButtonUp(TMessage& M)
{
    DefaultHandler(M);
    DoMouseUp(M, mbMiddle);
}
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

// ---- TWinControl --------------------------------------------------------------------------

QM_CLASS_IMPL(TWinControl, TControl, [](TClassBuilder<TWinControl>& b) {
    b.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false);
    b.Property("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
    b.Property("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D).Default(true);
    b.Property("OnKeyDown", &TWinControl::OnKeyDown);
    b.Property("OnKeyPress", &TWinControl::OnKeyPress);
    b.Property("OnKeyUp", &TWinControl::OnKeyUp);
    b.Property("OnEnter", &TWinControl::OnEnter);
    b.Property("OnExit", &TWinControl::OnExit);
})

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner)
{
    FObjectInstance = MakeMessageProc([this](TMessage& M) { MainWndProc(M); });
}

TWinControl::~TWinControl()
{
    if (FHandle)
        DestroyHandle();
}

void TWinControl::BeforeDestroy()
{
    // Children are taken out of this parent first so none refers back to it.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        c->SetParent(nullptr);
    }
    if (FHandle)
        DestroyHandle();
    TControl::BeforeDestroy();
}

HWND TWinControl::Handle()
{
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded()
{
    if (FHandle)
        return;
    if (FParent)
        FParent->HandleNeeded();
    CreateHandle();
}

void TWinControl::CreateHandle()
{
    if (FHandle)
        return;
    CreateWnd();
    // Children follow the parent; one not visible (a page not shown, say) gets its window
    // when it is shown or its handle is asked for.
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible())
            w->CreateHandle();
    ShowHandle();
    // Made after its siblings: it goes below those that follow it.
    if (FParent) {
        auto& siblings = FParent->FControls;
        for (auto it = std::find(siblings.begin(), siblings.end(), this); it != siblings.end(); ++it)
            if (auto* w = dynamic_cast<TWinControl*>(*it); w && w != this && w->FHandle)
                BringWindowToTop(w->FHandle);
    }
}

void TWinControl::ShowHandle()
{
    if (FHandle && FParent)
        ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::CreateParams(TCreateParams& P)
{
    P.Caption = FText;
    P.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (FParent)
        P.Style |= WS_CHILD;
    if (FTabStop)
        P.Style |= WS_TABSTOP;
    if (!Enabled())
        P.Style |= WS_DISABLED;
    P.X = FLeft;
    P.Y = FTop;
    P.Width = FWidth;
    P.Height = FHeight;
    P.WndParent = FParent ? FParent->FHandle : nullptr;
}

void TWinControl::CreateNonClientInsets(RECT& Insets)
{
    TCreateParams p;
    CreateParams(p);
    if (p.ExStyle & WS_EX_CLIENTEDGE) {
        Insets = RECT{GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE), GetSystemMetrics(SM_CXEDGE),
                      GetSystemMetrics(SM_CYEDGE)};
    } else if (p.Style & WS_BORDER) {
        Insets = RECT{GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER), GetSystemMetrics(SM_CXBORDER),
                      GetSystemMetrics(SM_CYBORDER)};
    }
}

RECT TWinControl::NonClientInsets()
{
    RECT r{};
    CreateNonClientInsets(r);
    return r;
}

void TWinControl::CreateWnd()
{
    TCreateParams p;
    CreateParams(p);
    CreateWindowHandle(p);
    if (!FHandle)
        throw EOSError("Error creating window");
    SendMessage(FHandle, WM_CREATE, 0, 0);
    if (QWidget* n = CreateNativeWidget())
        SetWindowNativeChild(FHandle, n);
    ApplyCursor();
    SendCreationSize(FHandle);
}

void TWinControl::ApplyCursor()
{
    if (!FHandle)
        return;
    void* c = Cursor() != crDefault && Screen ? Screen->Cursors(Cursor()) : nullptr;
    SetWindowCursor(FHandle, static_cast<HCURSOR>(c));
}

void TWinControl::CreateWindowHandle(const TCreateParams& P)
{
    HWND h = ::CreateWindowHandle(FObjectInstance);
    WindowCreateInfo info;
    info.Parent = P.WndParent;
    info.Style = P.Style;
    info.ExStyle = P.ExStyle;
    info.Bounds = RECT{P.X, P.Y, P.X + P.Width, P.Y + P.Height};
    info.NonClient = NonClientInsets();
    info.Caption = P.Caption;
    SetWindowLong(h, GWL_STYLE, P.Style);
    SetWindowLong(h, GWL_EXSTYLE, P.ExStyle);
    FHandle = h;
    if (!AttachWindowWidget(h, info)) {
        FHandle = nullptr;
        DestroyWindow(h);
        return;
    }
}

void TWinControl::DestroyHandle()
{
    if (!FHandle)
        return;
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->DestroyHandle();
    DestroyWnd();
}

void TWinControl::DestroyWnd()
{
    HWND h = FHandle;
    if (!h)
        return;
    FControlState += csDestroyingHandle;
    DestroyWindow(h);
    DetachWindowWidget(h);
    ForgetWindowUpdate(h);
    FHandle = nullptr;
    FControlState -= csDestroyingHandle;
}

void TWinControl::WMNCDestroy(TMessage& M)
{
    DefaultHandler(M);
    // Someone destroyed the window directly: let go of it.
    HWND h = FHandle;
    FHandle = nullptr;
    if (h && !FControlState.Contains(csDestroyingHandle)) {
        for (TControl* c : FControls)
            if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle)
                w->DestroyHandle();
        DetachWindowWidget(h);
        ForgetWindowUpdate(h);
    }
}

void TWinControl::RecreateWnd()
{
    if (!FHandle)
        return;
    bool focused = Focused();
    DestroyHandle();
    HandleNeeded();
    if (auto* form = dynamic_cast<TCustomForm*>(this))
        form->RestoreShowState();
    if (focused)
        SetFocus();
}

LRESULT TWinControl::DefWndProc(UINT Msg, WPARAM WParam, LPARAM LParam)
{
    return DefWindowProc(FHandle, Msg, WParam, LParam);
}

void TWinControl::MainWndProc(TMessage& Message)
{
    try {
        if (WindowProc)
            WindowProc(Message);
    } catch (...) {
        ReportUnhandledException(std::current_exception());
    }
}

void TWinControl::WndProc(TMessage& M)
{
    switch (M.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        if (IsControlMouseMsg(M))
            return;
        break;
    default: break;
    }
    TControl::WndProc(M);
}

bool TWinControl::IsControlMouseMsg(TMessage& M)
{
    TPoint p{GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)};
    TControl* c = ControlAtPos(p, false);
    if (!c)
        return false;
    LPARAM lp = MAKELPARAM(p.x - c->Left(), p.y - c->Top());
    M.Result = c->Perform(M.Msg, M.WParam, lp);
    return true;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled, bool AllowWinControls) const
{
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!AllowWinControls && dynamic_cast<TWinControl*>(c))
            continue;
        if (!c->Visible() || (!AllowDisabled && !c->Enabled()))
            continue;
        if (Pos.x >= c->Left() && Pos.y >= c->Top() && Pos.x < c->Left() + c->Width() && Pos.y < c->Top() + c->Height())
            return c;
    }
    return nullptr;
}

void TWinControl::Dispatch(TMessage& M)
{
    switch (M.Msg) {
    case WM_SIZE: WMSize(M); break;
    case WM_MOVE: WMMove(M); break;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(M); break;
    case WM_PAINT: WMPaint(M); break;
    case WM_ERASEBKGND: WMEraseBkgnd(M); break;
    case WM_SETFOCUS: WMSetFocus(M); break;
    case WM_KILLFOCUS: WMKillFocus(M); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: WMKeyDown(M); break;
    case WM_KEYUP:
    case WM_SYSKEYUP: WMKeyUp(M); break;
    case WM_CHAR: WMChar(M); break;
    case WM_GETDLGCODE: WMGetDlgCode(M); break;
    case WM_HSCROLL: WMHScroll(M); break;
    case WM_VSCROLL: WMVScroll(M); break;
    case WM_GETMINMAXINFO: WMGetMinMaxInfo(M); break;
    case WM_NCDESTROY: WMNCDestroy(M); break;
    case WM_SHOWWINDOW: WMShowWindow(M); break;
    case WM_CLOSE: WMClose(M); break;
    case WM_ACTIVATE: WMActivate(M); break;
    case CM_DIALOGKEY: CMDialogKey(M); break;
    case CM_DIALOGCHAR: CMDialogChar(M); break;
    case WM_SYSCHAR: WMSysChar(M); break;
    case CM_CURSORCHANGED:
        ApplyCursor();
        DefaultHandler(M);
        break;
    case CM_ENTER: CMEnter(M); break;
    case CM_EXIT: CMExit(M); break;
    case CM_HINTSHOW: CMHintShow(M); break;
    default: TControl::Dispatch(M); break;
    }
}

void TWinControl::CMHintShow(TMessage& M)
{
    auto* q = reinterpret_cast<WindowHintQuery*>(M.LParam);
    if (!q || !Application || !Application->ShowHint)
        return;
    TControl* c = ControlAtPos(TPoint{q->Pos.x, q->Pos.y}, true);
    if (!c)
        c = this;
    // A control shows hints when it or a parent asks for them (ParentShowHint).
    bool show = false;
    for (TControl* p = c; p && !show; p = p->Parent())
        show = p->ShowHint();
    if (!show)
        return;
    for (TControl* p = c; p; p = p->Parent())
        if (!p->Hint().empty()) {
            // "short|long": the tooltip is the short part.
            const std::string& h = p->Hint();
            q->Text = h.substr(0, h.find('|'));
            break;
        }
    q->HidePause = Application->HintHidePause;
    M.Result = 1;
}

void TWinControl::DefaultHandler(TMessage& M)
{
    if (FHandle && IsWindow(FHandle))
        M.Result = DefWndProc(M.Msg, M.WParam, M.LParam);
}

void TWinControl::WMWindowPosChanged(TMessage& M)
{
    if (auto* pos = reinterpret_cast<WINDOWPOS*>(M.LParam)) {
        bool sized = pos->cx != FWidth || pos->cy != FHeight;
        FLeft = pos->x;
        FTop = pos->y;
        FWidth = pos->cx;
        FHeight = pos->cy;
        if (sized && FParent)
            FParent->Realign();
    }
    DefaultHandler(M);
}

void TWinControl::WMSize(TMessage& M)
{
    DefaultHandler(M);
    Realign();
    Resize();
}

void TWinControl::WMGetMinMaxInfo(TMessage& M)
{
    DefaultHandler(M);
    if (auto* mm = reinterpret_cast<MINMAXINFO*>(M.LParam)) {
        if (Constraints()->MinWidth() > 0)
            mm->ptMinTrackSize.x = Constraints()->MinWidth();
        if (Constraints()->MinHeight() > 0)
            mm->ptMinTrackSize.y = Constraints()->MinHeight();
        if (Constraints()->MaxWidth() > 0)
            mm->ptMaxTrackSize.x = Constraints()->MaxWidth();
        if (Constraints()->MaxHeight() > 0)
            mm->ptMaxTrackSize.y = Constraints()->MaxHeight();
    }
}

void TWinControl::WMPaint(TMessage& M) { PaintHandler(M); }

// A WM_PAINT that brings its own context (PaintTo) draws there instead of on the window.
void TWinControl::PaintHandler(TMessage& M)
{
    PAINTSTRUCT ps;
    HDC dc = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(FHandle, &ps);
    PaintControls(dc, nullptr);
    if (!M.WParam)
        EndPaint(FHandle, &ps);
}

void TWinControl::PaintTo(HDC DC)
{
    HandleNeeded();
    const int saved = SaveDC(DC);
    IntersectClipRect(DC, 0, 0, ClientWidth(), ClientHeight());
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
    Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    for (TControl* c : FControls) {
        auto* w = dynamic_cast<TWinControl*>(c);
        if (!w || !w->Visible())
            continue;
        const int inner = SaveDC(DC);
        OffsetViewportOrgEx(DC, w->Left(), w->Top(), nullptr);
        const RECT nc = w->NonClientInsets();
        if (nc.left || nc.top || nc.right || nc.bottom) {
            // The border as the window draws it on screen.
            HBRUSH frame = CreateSolidBrush(RGB(128, 128, 128));
            RECT all{0, 0, w->Width(), w->Height()};
            ::FillRect(DC, &all, frame);
            DeleteObject(frame);
            OffsetViewportOrgEx(DC, nc.left, nc.top, nullptr);
        }
        w->PaintTo(DC);
        RestoreDC(DC, inner);
    }
    RestoreDC(DC, saved);
}

void TWinControl::PaintControls(HDC DC, TControl*)
{
    for (TControl* c : FControls) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible())
            continue;
        int saved = SaveDC(DC);
        IntersectClipRect(DC, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
        RECT box;
        if (GetClipBox(DC, &box) != NULLREGION) {
            POINT old;
            OffsetViewportOrgEx(DC, g->Left(), g->Top(), &old);
            g->PaintOn(DC);
        }
        RestoreDC(DC, saved);
    }
}

void TWinControl::WMEraseBkgnd(TMessage& M)
{
    HDC dc = reinterpret_cast<HDC>(M.WParam);
    if (dc) {
        RECT r{0, 0, ClientWidth(), ClientHeight()};
        HBRUSH b = CreateSolidBrush(ColorToRGB(Color()));
        ::FillRect(dc, &r, b);
        DeleteObject(b);
    }
    M.Result = 1;
}

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

bool TWinControl::DoKeyDown(TMessage& M)
{
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyDown(M))
        return true;
    WORD key = static_cast<WORD>(M.WParam);
    TShiftState shift = KeyDataToShiftState(M.LParam);
    KeyDown(key, shift);
    M.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& M)
{
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyUp(M))
        return true;
    WORD key = static_cast<WORD>(M.WParam);
    KeyUp(key, KeyDataToShiftState(M.LParam));
    M.WParam = key;
    return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& M)
{
    TCustomForm* form = GetParentForm();
    if (form && form != this && form->KeyPreview() && form->DoKeyPress(M))
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

void TWinControl::CMDialogKey(TMessage& M)
{
    // Every child may claim the key (a Default or Cancel button does), first come first served.
    for (size_t i = 0; i < FControls.size(); ++i) {
        FControls[i]->WindowProc(M);
        if (M.Result != 0)
            return;
    }
    DefaultHandler(M);
}

void TWinControl::CMDialogChar(TMessage& M)
{
    for (size_t i = 0; i < FControls.size(); ++i) {
        FControls[i]->WindowProc(M);
        if (M.Result != 0)
            return;
    }
}

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

void TWinControl::CMColorChanged(TMessage& M)
{
    TControl::CMColorChanged(M);
    for (TControl* c : FControls)
        c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TWinControl::CMFontChanged(TMessage& M)
{
    TControl::CMFontChanged(M);
    for (TControl* c : FControls)
        c->Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TWinControl::InsertControl(TControl* AControl)
{
    if (!AControl || ContainsControl(AControl))
        return;
    FControls.push_back(AControl);
    AControl->FParent = this;
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
        FTabList.push_back(w);
        if (FHandle && w->Visible())
            w->HandleNeeded();
    }
    AControl->Invalidate();
    Realign();
}

void TWinControl::RemoveControl(TControl* AControl)
{
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end())
        return;
    if (TCustomForm* form = GetParentForm())
        form->ControlRemoving(AControl);
    AControl->Invalidate();
    if (auto* w = dynamic_cast<TWinControl*>(AControl))
        w->DestroyHandle();
    FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), AControl), FTabList.end());
    AControl->FParent = nullptr;
    Realign();
}

bool TWinControl::ContainsControl(TControl* Control) const
{
    return std::find(FControls.begin(), FControls.end(), Control) != FControls.end();
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root)
{
    for (TControl* c : FControls)
        if (c->Owner() == Root)
            Proc(c);
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
        if (c->CanFocus() && (!CheckTabStop || (c->TabStop() && !c->FocusGoesToChild())) &&
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

void TWinControl::SelectFirst()
{
    TCustomForm* form = GetParentForm();
    TWinControl* cur = form ? form->ActiveControl() : nullptr;
    if (TWinControl* c = FindNextControl(nullptr, true, true, false))
        cur = c;
    if (cur)
        cur->SetFocus();
}

void TWinControl::SetCtl3D(bool v)
{
    if (v == FCtl3D)
        return;
    FCtl3D = v;
    Perform(CM_CTL3DCHANGED, 0, 0);
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

bool TWinControl::Showing() const
{
    if (!FParent)
        return FHandle && IsWindowVisible(FHandle);
    return Visible() && FParent->Showing();
}

int TWinControl::ClientWidth() const
{
    if (FHandle) {
        RECT r;
        if (GetClientRect(FHandle, &r))
            return r.right;
    }
    RECT nc = const_cast<TWinControl*>(this)->NonClientInsets();
    return std::max(0, static_cast<int>(FWidth - nc.left - nc.right));
}

int TWinControl::ClientHeight() const
{
    if (FHandle) {
        RECT r;
        if (GetClientRect(FHandle, &r))
            return r.bottom;
    }
    RECT nc = const_cast<TWinControl*>(this)->NonClientInsets();
    return std::max(0, static_cast<int>(FHeight - nc.top - nc.bottom));
}

TPoint TWinControl::ClientOrigin() const
{
    if (FHandle) {
        POINT p{0, 0};
        if (::ClientToScreen(FHandle, &p))
            return p;
    }
    RECT nc = const_cast<TWinControl*>(this)->NonClientInsets();
    TPoint o = TControl::ClientOrigin();
    return TPoint{o.x + nc.left, o.y + nc.top};
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    ApplyConstraints(AWidth, AHeight);
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    if (FHandle) {
        // The window answers with WM_WINDOWPOSCHANGED (which updates our copy) and WM_SIZE.
        MoveWindow(FHandle, ALeft, ATop, AWidth, AHeight, TRUE);
        return;
    }
    bool sized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    RequestAlign();
    if (sized) {
        Realign();
        Resize();
    }
}

void TWinControl::SetParent(TWinControl* AParent)
{
    if (AParent == FParent)
        return;
    if (FHandle)
        DestroyHandle();
    TControl::SetParent(AParent);
}

void TWinControl::SetVisible(bool v)
{
    if (v == Visible())
        return;
    TControl::SetVisible(v);
    UpdateShowing();
}

void TWinControl::UpdateShowing()
{
    if (FParent && FHandle)
        ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
    else if (FParent && Visible() && FParent->HandleAllocated())
        HandleNeeded();
}

void TWinControl::SetEnabled(bool v)
{
    if (v == Enabled())
        return;
    TControl::SetEnabled(v);
    if (FHandle)
        EnableWindow(FHandle, v);
}

void TWinControl::SetText(const std::string& v)
{
    TControl::SetText(v);
    if (FHandle)
        SetWindowTextA(FHandle, v.c_str());
}

void TWinControl::Invalidate()
{
    if (FHandle)
        InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update()
{
    // A control not on screen paints what is pending when it is shown.
    if (FHandle && IsWindowVisible(FHandle))
        UpdateWindow(FHandle);
}

void TWinControl::Repaint()
{
    Invalidate();
    Update();
}

void TWinControl::RequestAlign() { TControl::RequestAlign(); }

void TWinControl::EnableAlign()
{
    if (FAlignLevel > 0 && --FAlignLevel == 0)
        Realign();
}

void TWinControl::Realign()
{
    if (FAlignLevel > 0 || FAligning || IsDestroying())
        return;
    FAligning = true;
    TRect r = ClientRect();
    try {
        AlignControls(nullptr, r);
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::AlignControls(TControl*, TRect& Rect)
{
    // Top, bottom, left, right, then client: each takes its strip from what is left.
    static const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
    for (TAlign a : order) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->Align() == a && c->Visible())
                list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case alTop: return x->Top() < y->Top();
            case alBottom: return x->Top() + x->Height() > y->Top() + y->Height();
            case alLeft: return x->Left() < y->Left();
            case alRight: return x->Left() + x->Width() > y->Left() + y->Width();
            default: return false;
            }
        });
        for (TControl* c : list) {
            int w = Rect.right - Rect.left, h = Rect.bottom - Rect.top;
            switch (a) {
            case alTop:
                c->SetBounds(Rect.left, Rect.top, w, c->Height());
                Rect.top += c->Height();
                break;
            case alBottom:
                c->SetBounds(Rect.left, Rect.bottom - c->Height(), w, c->Height());
                Rect.bottom -= c->Height();
                break;
            case alLeft:
                c->SetBounds(Rect.left, Rect.top, c->Width(), h);
                Rect.left += c->Width();
                break;
            case alRight:
                c->SetBounds(Rect.right - c->Width(), Rect.top, c->Width(), h);
                Rect.right -= c->Width();
                break;
            case alClient: c->SetBounds(Rect.left, Rect.top, std::max(0, w), std::max(0, h)); break;
            default: break;
            }
        }
    }
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

QM_CLASS_IMPL(TCustomControl, TWinControl)

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>())
{
    FCanvas->SetControl(this);
}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {}

void TCustomControl::PaintHandler(TMessage& M)
{
    PAINTSTRUCT ps;
    HDC dc = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(FHandle, &ps);
    auto end = [&] {
        if (!M.WParam)
            EndPaint(FHandle, &ps);
    };
    FCanvas->FreeHandle();
    FCanvas->SetHandle(dc);
    try {
        FCanvas->Font()->Assign(Font());
        FCanvas->Brush()->SetColor(Color());
        Paint();
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        end();
        throw;
    }
    FCanvas->SetHandle(nullptr);
    PaintControls(dc, nullptr);
    end();
}

// ---- TGraphicControl -----------------------------------------------------------------------

QM_CLASS_IMPL(TGraphicControl, TControl)

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintOn(HDC DC)
{
    FCanvas->SetHandle(DC);
    try {
        FCanvas->Font()->Assign(Font());
        FCanvas->Brush()->SetColor(Color());
        Paint();
    } catch (...) {
        FCanvas->SetHandle(nullptr);
        throw;
    }
    FCanvas->SetHandle(nullptr);
}

void RegisterControlClasses()
{
    RegisterClasses({TControl::StaticClassInfo(), TWinControl::StaticClassInfo(), TCustomControl::StaticClassInfo(),
                     TGraphicControl::StaticClassInfo()});
}

KeyboardFocusMove::KeyboardFocusMove() : Was(SetKeyboardFocusMove(true)) {}
KeyboardFocusMove::~KeyboardFocusMove() { SetKeyboardFocusMove(Was); }
