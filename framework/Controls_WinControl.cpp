// Windowed controls: the window, its procedure and messages, painting, children and alignment.
#include "framework/Controls.h"

#include <algorithm>

#include "framework/Forms.h"
#include "platform/AppException.h"
#include "platform/Input.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

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
    // A new press ends the hold, and so does the mouse without the button held: its release
    // went elsewhere (as to a menu the press opened).
    if (M.Msg == WM_LBUTTONDOWN || (M.Msg != WM_LBUTTONUP && !(M.WParam & MK_LBUTTON)))
        FMouseHolder = nullptr;
    TControl* c = FMouseHolder ? FMouseHolder : ControlAtPos(p, false);
    if (M.Msg == WM_LBUTTONUP)
        FMouseHolder = nullptr;
    else if (M.Msg == WM_LBUTTONDOWN && c && c->ControlStyle().Contains(csCaptureMouse))
        FMouseHolder = c;
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
    const bool own = !M.WParam;
    HDC dc = own ? BeginPaint(FHandle, &ps) : reinterpret_cast<HDC>(M.WParam);
    // The paint ends however the painting of this window or of its children goes.
    ScopeExit end([&] {
        if (own)
            EndPaint(FHandle, &ps);
    });
    PaintWindow(dc);
    PaintControls(dc, nullptr);
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
    if (FMouseHolder == AControl)
        FMouseHolder = nullptr;
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

void TWinControl::SetCtl3D(bool v)
{
    if (v == FCtl3D)
        return;
    FCtl3D = v;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

bool TWinControl::Showing() const
{
    if (!FParent)
        return FHandle && IsWindowVisible(FHandle);
    return Visible() && FParent->Showing();
}

SIZE TWinControl::ClientExtent() const
{
    if (FHandle) {
        RECT r;
        if (GetClientRect(FHandle, &r))
            return SIZE{r.right, r.bottom};
    }
    RECT nc = const_cast<TWinControl*>(this)->NonClientInsets();
    return SIZE{std::max<LONG>(0, FWidth - nc.left - nc.right), std::max<LONG>(0, FHeight - nc.top - nc.bottom)};
}

int TWinControl::ClientWidth() const { return static_cast<int>(ClientExtent().cx); }
int TWinControl::ClientHeight() const { return static_cast<int>(ClientExtent().cy); }

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
    if (!AcceptBounds(ALeft, ATop, AWidth, AHeight))
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
    // Disabled, the control loses the focus to no other control: handed on, the focus would
    // run the enter and exit events of controls the user never went to.
    if (!v && Focused())
        ::SetFocus(nullptr);
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

void TWinControl::Realign()
{
    if (FAligning || IsDestroying())
        return;
    FAligning = true;
    ScopeExit aligned([this] { FAligning = false; });
    TRect r = ClientRect();
    AlignControls(nullptr, r);
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
