#include "textview/ViewScroll.h"

#include <algorithm>
#include <optional>
#include <string>

#include "framework/TypInfo.h"
#include "platform/Gdi.h"
#include "platform/ScrollBar.h"

QM_CLASS_IMPL(TViewScroller, TCustomControl, [](TClassBuilder<TViewScroller>& b) {
    b.Property("Tracking", &TViewScroller::Tracking).Default(true);
    b.Property("VScrollVisible", &TViewScroller::VScrollVisible, &TViewScroller::SetVScrollVisible).Default(true);
    b.Property("OnVScrolled", &TViewScroller::OnVScrolled);
})

TViewScroller::TViewScroller(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetTabStop(true);
}

void TViewScroller::CreateParams(TCreateParams& Params)
{
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL;
}

void TViewScroller::CreateWnd()
{
    TCustomControl::CreateWnd();
    StepHeight = 10;
    VPos = 0;
    HPos = 0;
    UpdateScrollRanges(ClientWidth(), ClientHeight() / StepHeight);
}

void TViewScroller::UpdateScrollRanges(int ADocWidth, int ADocSteps)
{
    DocWidth = ADocWidth;
    DocSteps = ADocSteps;
    if (!HandleAllocated() || StepHeight <= 0)
        return;
    HWND h = Handle();
    SCROLLINFO info;
    info.cbSize = 28;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    info.nMin = 0;
    info.nMax = DocSteps;
    info.nPage = static_cast<UINT>(std::max(0, ClientHeight() / StepHeight));
    info.nPos = 0;
    info.nTrackPos = 0;
    SetScrollInfo(h, SB_VERT, &info, TRUE);
    if (!FVScrollVisible)
        ShowScrollBar(h, SB_VERT, FALSE);
    info.nMax = DocWidth - 1;
    info.nPage = static_cast<UINT>(std::max(0, ClientWidth()));
    info.nPos = 0;
    SetScrollInfo(h, SB_HORZ, &info, TRUE);
}

void TViewScroller::VScrollToStep(int AStep)
{
    if (ScrollBarTo(SB_VERT, VPos, AStep, StepHeight))
        OnVScrolled(this);
}

void TViewScroller::HScrollToPixel(int AX) { ScrollBarTo(SB_HORZ, HPos, AX, 1); }

// Sets Pos to To, or where the bar stops it, and moves the contents by the difference (Pos
// counts Unit pixels); false when Pos stays.
bool TViewScroller::ScrollBarTo(int Bar, int& Pos, int To, int Unit)
{
    int old = Pos;
    Pos = To;
    if (HandleAllocated()) {
        SCROLLINFO info;
        info.cbSize = 28;
        info.fMask = SIF_POS;
        info.nPos = To;
        SetScrollInfo(Handle(), Bar, &info, TRUE);
        GetScrollInfo(Handle(), Bar, &info);
        Pos = info.nPos;
    }
    if (old == Pos)
        return false;
    int delta = (old - Pos) * Unit;
    int dx = Bar == SB_HORZ ? delta : 0, dy = Bar == SB_HORZ ? 0 : delta;
    if (FullRepaint) {
        MoveChildControls(dx, dy);
        Refresh();
    } else {
        RECT client = ClientRect();
        ScrollWindowEx(Handle(), dx, dy, nullptr, &client, nullptr, nullptr, SW_INVALIDATE);
        MoveChildControls(dx, dy);
    }
    return true;
}

void TViewScroller::ScrollToPixelY(int AY)
{
    // Without a window there are no steps yet.
    if (StepHeight > 0)
        VScrollToStep(AY / StepHeight);
}

void TViewScroller::ClampChildTop(TControl* Child)
{
    Child->SetTop(std::clamp(Child->Tag(), -10000, 10000));
}

void TViewScroller::MoveChildControls(int ADX, int ADY)
{
    if (ADX == 0 && ADY == 0)
        return;
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (ADY != 0) {
            c->SetTag(c->Tag() + ADY);
            ClampChildTop(c);
        }
        if (ADX != 0)
            c->SetLeft(c->Left() + ADX);
    }
}

void TViewScroller::SetVScrollVisible(bool Value)
{
    FVScrollVisible = Value;
    if (HandleAllocated())
        ShowScrollBar(Handle(), SB_VERT, Value);
}

namespace {
// Where a scroll bar request moves a bar standing at `at`: a page is ten lines; none when a
// dragged thumb is not followed, or for a request the view ignores.
std::optional<int> ScrollTarget(WPARAM request, bool tracking, int at, int line, int end)
{
    int thumb = static_cast<short>(HIWORD(request));
    switch (LOWORD(request)) {
    case SB_LINEUP: return at - line;
    case SB_LINEDOWN: return at + line;
    case SB_PAGEUP: return at - 10 * line;
    case SB_PAGEDOWN: return at + 10 * line;
    case SB_THUMBPOSITION: return thumb;
    case SB_THUMBTRACK: return tracking ? std::optional<int>(thumb) : std::nullopt;
    case SB_TOP: return 0;
    case SB_BOTTOM: return end;
    default: return std::nullopt;
    }
}
} // namespace

void TViewScroller::WMHScroll(TMessage& M)
{
    if (std::optional<int> to = ScrollTarget(M.WParam, Tracking, HPos, StepHeight, DocWidth))
        HScrollToPixel(*to);
}

void TViewScroller::WMVScroll(TMessage& M)
{
    if (std::optional<int> to = ScrollTarget(M.WParam, Tracking, VPos, 1, DocSteps))
        VScrollToStep(*to);
}

void TViewScroller::WMKeyDown(TMessage& M)
{
    UINT msg = 0;
    int code = 0;
    switch (static_cast<WORD>(M.WParam)) {
    case VK_PRIOR: msg = WM_VSCROLL; code = SB_PAGEUP; break;
    case VK_NEXT: msg = WM_VSCROLL; code = SB_PAGEDOWN; break;
    case VK_END: msg = WM_VSCROLL; code = SB_BOTTOM; break;
    case VK_HOME: msg = WM_VSCROLL; code = SB_TOP; break;
    case VK_UP: msg = WM_VSCROLL; code = SB_LINEUP; break;
    case VK_DOWN: msg = WM_VSCROLL; code = SB_LINEDOWN; break;
    case VK_LEFT: msg = WM_HSCROLL; code = SB_LINELEFT; break;
    case VK_RIGHT: msg = WM_HSCROLL; code = SB_LINERIGHT; break;
    default: break;
    }
    if (msg != 0)
        Perform(msg, static_cast<WPARAM>(code), 0);
    TCustomControl::WMKeyDown(M);
}

void TViewScroller::WMGetDlgCode(TMessage& M) { M.Result = DLGC_WANTARROWS; }

void TViewScroller::Paint()
{
    TCanvas* c = Canvas();
    c->Font()->SetColor(clRed);
    c->Font()->SetSize(2);
    TRect clip = c->GetClipRect();
    c->FillRect(clip);
    if (StepHeight <= 0)
        return;
    for (int row = clip.top / StepHeight - 1; row <= clip.bottom / StepHeight + 1; ++row)
        c->TextOut(-HPos, row * StepHeight, std::to_string(VPos + row));
}
