#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/ComCtrlsPrivate.h"
#include "framework/Grids.h"
#include "platform/Gdi.h"

// ---- Drawing helpers ---------------------------------------------------------------------

void Frame3D(TCanvas* cv, const TRect& r, TColor topLeft, TColor bottomRight)
{
    if (r.right - r.left < 2 || r.bottom - r.top < 2)
        return;
    cv->Pen()->SetColor(topLeft);
    cv->MoveTo(r.left, r.bottom - 1);
    cv->LineTo(r.left, r.top);
    cv->LineTo(r.right - 1, r.top);
    cv->Pen()->SetColor(bottomRight);
    cv->LineTo(r.right - 1, r.bottom - 1);
    cv->LineTo(r.left - 1, r.bottom - 1);
}

int MeasureText(TCustomControl* c, const std::string& s)
{
    if (s.empty())
        return 0;
    if (c->HandleAllocated()) {
        c->Canvas()->Font()->Assign(c->Font());
        return c->Canvas()->TextWidth(s);
    }
    return static_cast<int>(s.size()) * 7;
}

void DrawTextIn(TCanvas* cv, const TRect& r, const std::string& s, UINT align)
{
    RECT rc = r;
    // Changing a canvas tool deselects every tool from the context, so the font is selected
    // last, right before drawing; otherwise the text comes out in the context's default font.
    cv->Brush()->SetStyle(bsClear);
    cv->TextHeight("X");
    HDC dc = cv->GetHandle();
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &rc,
              align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    cv->Brush()->SetStyle(bsSolid);
}

// ---- TTabSheet ---------------------------------------------------------------------------

QM_CLASS_IMPL(TTabSheet, TCustomControl, [](TClassBuilder<TTabSheet>& b) {
    b.Property("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible).Default(true);
    // The index is limited to the owning control's pages.
    b.Property("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex).Stored(false).NoRoundTrip();
    b.Property("ImageIndex", &TTabSheet::ImageIndex, &TTabSheet::SetImageIndex).Default(-1);
})

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetColor(clBtnFace);
    SetBounds(0, 0, 200, 150);
}

TTabSheet::~TTabSheet()
{
    if (FPageControl)
        FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* v) { SetParent(v); }

void TTabSheet::SetParent(TWinControl* AParent)
{
    auto* pc = dynamic_cast<TPageControl*>(AParent);
    if (FPageControl && pc != FPageControl)
        FPageControl->RemovePage(this);
    TCustomControl::SetParent(AParent);
    if (pc && pc != FPageControl)
        pc->InsertPage(this);
}

void TTabSheet::SetTabVisible(bool v)
{
    if (v == FTabVisible)
        return;
    FTabVisible = v;
    if (FPageControl) {
        FPageControl->LayoutTabs();
        FPageControl->LayoutPages();
        FPageControl->Invalidate();
    }
}

int TTabSheet::PageIndex() const
{
    if (!FPageControl)
        return -1;
    auto& p = FPageControl->FPages;
    return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int v)
{
    if (!FPageControl)
        return;
    auto& p = FPageControl->FPages;
    v = std::clamp(v, 0, static_cast<int>(p.size()) - 1);
    p.erase(std::find(p.begin(), p.end(), this));
    p.insert(p.begin() + v, this);
    FPageControl->LayoutTabs();
    FPageControl->Invalidate();
}

int TTabSheet::TabIndex() const
{
    if (!FPageControl || !FTabVisible)
        return -1;
    int n = 0;
    for (TTabSheet* p : FPageControl->FPages) {
        if (p == this)
            return n;
        if (p->FTabVisible)
            ++n;
    }
    return -1;
}

void TTabSheet::SetText(const std::string& v)
{
    TCustomControl::SetText(v);
    if (FPageControl) {
        FPageControl->LayoutTabs();
        FPageControl->LayoutPages();
        FPageControl->Invalidate();
    }
}

void TTabSheet::Paint()
{
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}

// ---- TPageControl ------------------------------------------------------------------------

QM_CLASS_IMPL(TPageControl, TCustomControl, [](TClassBuilder<TPageControl>& b) {
    b.Property("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
    b.Property("MultiLine", &TPageControl::MultiLine, &TPageControl::SetMultiLine).Default(false);
    b.Property("TabHeight", &TPageControl::TabHeight, &TPageControl::SetTabHeight).Default(0);
    b.Property("Images", &TPageControl::Images, &TPageControl::SetImages);
    b.Property("OnChange", &TPageControl::OnChange);
    b.Property("OnChanging", &TPageControl::OnChanging);
})

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetColor(clBtnFace);
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl()
{
    for (TTabSheet* p : FPages)
        p->FPageControl = nullptr;
}

TTabSheet* TPageControl::Pages(int Index) const
{
    if (Index < 0 || Index >= PageCount())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
    return FPages[static_cast<size_t>(Index)];
}

void TPageControl::InsertPage(TTabSheet* Page)
{
    Page->FPageControl = this;
    FPages.push_back(Page);
    Page->FreeNotification(this);
    if (!FActivePage)
        ChangeActivePage(Page);
    else
        Page->SetVisible(false);
    LayoutTabs();
    LayoutPages();
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* Page)
{
    auto it = std::find(FPages.begin(), FPages.end(), Page);
    if (it == FPages.end())
        return;
    FPages.erase(it);
    Page->FPageControl = nullptr;
    if (FActivePage == Page) {
        FActivePage = nullptr;
        if (!(ComponentState().Contains(csDestroying)))
            ChangeActivePage(FindNextPage(nullptr, true, true));
    }
    LayoutTabs();
    Invalidate();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FImages)
        FImages = nullptr;
    if (auto* p = dynamic_cast<TTabSheet*>(AComponent); p && p->FPageControl == this)
        RemovePage(p);
}

void TPageControl::SetActivePage(TTabSheet* v)
{
    if (v && v->FPageControl != this)
        return;
    ChangeActivePage(v);
}

void TPageControl::ChangeActivePage(TTabSheet* Page)
{
    if (Page == FActivePage)
        return;
    FActivePage = Page;
    for (TTabSheet* p : FPages)
        p->SetVisible(p == Page);
    LayoutPages();
    Invalidate();
}

int TPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int v)
{
    if (v >= 0 && v < PageCount())
        ChangeActivePage(FPages[static_cast<size_t>(v)]);
    else
        ChangeActivePage(nullptr);
}

int TPageControl::TabIndex() const { return FActivePage ? FActivePage->TabIndex() : -1; }

void TPageControl::SetTabIndex(int v)
{
    for (TTabSheet* p : FPages)
        if (p->TabVisible() && v-- == 0) {
            ChangeActivePage(p);
            return;
        }
}

void TPageControl::SetMultiLine(bool v)
{
    FMultiLine = v;
    LayoutTabs();
    LayoutPages();
    Invalidate();
}

void TPageControl::SetTabHeight(int v)
{
    FTabHeight = std::max(v, 0);
    LayoutTabs();
    LayoutPages();
    Invalidate();
}

void TPageControl::SetImages(TImageList* v)
{
    SetReference(FImages, v);
    Invalidate();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* Current, bool GoForward, bool CheckTabVisible) const
{
    int n = PageCount();
    if (n == 0)
        return nullptr;
    auto it = std::find(FPages.begin(), FPages.end(), Current);
    int start = it == FPages.end() ? (GoForward ? n - 1 : 0) : static_cast<int>(it - FPages.begin());
    int i = start;
    for (int k = 0; k < n; ++k) {
        i = (i + (GoForward ? 1 : n - 1)) % n;
        TTabSheet* p = FPages[static_cast<size_t>(i)];
        if (!CheckTabVisible || p->TabVisible())
            return p;
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool GoForward)
{
    TTabSheet* p = FindNextPage(FActivePage, GoForward, true);
    if (p && p != FActivePage)
        UserSelectPage(p);
}

bool TPageControl::CanChange()
{
    bool allow = true;
    OnChanging(this, allow);
    return allow;
}

void TPageControl::Change() { OnChange(this); }

void TPageControl::UserSelectPage(TTabSheet* Page)
{
    if (!Page || Page == FActivePage || !CanChange())
        return;
    ChangeActivePage(Page);
    Change();
}

int TPageControl::TabTextWidth(const std::string& Caption) const
{
    return MeasureText(const_cast<TPageControl*>(this), StripAccelerator(Caption));
}

void TPageControl::LayoutTabs()
{
    int h = FTabHeight > 0 ? FTabHeight : 20;
    int cw = std::max(ClientWidth(), 1);
    FTabRects.assign(FPages.size(), TRect{0, 0, 0, 0});
    int x = 2, row = 0;
    for (size_t i = 0; i < FPages.size(); ++i) {
        if (!FPages[i]->TabVisible())
            continue;
        int w = TabTextWidth(FPages[i]->Caption()) + 16;
        if (FMultiLine && x > 2 && x + w > cw - 2) {
            x = 2;
            ++row;
        }
        FTabRects[i] = TRect{x, row * h + 2, x + w, row * h + 2 + h};
        x += w;
    }
    FRowCount = row + 1;
}

TRect TPageControl::DisplayRect() const
{
    int h = FTabHeight > 0 ? FTabHeight : 20;
    int top = FRowCount * h + 2;
    return TRect{2, top + 2, std::max(ClientWidth() - 2, 2), std::max(ClientHeight() - 2, top + 2)};
}

void TPageControl::LayoutPages()
{
    TRect r = DisplayRect();
    for (TTabSheet* p : FPages)
        p->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

TRect TPageControl::TabRect(int PageIndex) const
{
    if (PageIndex < 0 || PageIndex >= static_cast<int>(FTabRects.size()))
        return TRect{0, 0, 0, 0};
    return FTabRects[static_cast<size_t>(PageIndex)];
}

TTabSheet* TPageControl::PageAtPos(int X, int Y) const
{
    for (size_t i = 0; i < FTabRects.size() && i < FPages.size(); ++i) {
        const TRect& r = FTabRects[i];
        if (r.right > r.left && X >= r.left && X < r.right && Y >= r.top && Y < r.bottom)
            return FPages[i];
    }
    return nullptr;
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft) {
        if (TTabSheet* p = PageAtPos(X, Y)) {
            if (CanFocus() && !Focused())
                SetFocus();
            UserSelectPage(p);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPageControl::KeyDown(WORD& Key, TShiftState Shift)
{
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_TAB && Shift.Contains(ssCtrl))
        SelectNextPage(!Shift.Contains(ssShift));
    else if (Key == VK_RIGHT || Key == VK_LEFT)
        SelectNextPage(Key == VK_RIGHT);
}

void TPageControl::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    LayoutTabs();
    LayoutPages();
    Invalidate();
}

// The focus shows round the active tab's caption, where the arrows act: only that tab is
// painted again.
void TPageControl::WMSetFocus(TMessage& M)
{
    TCustomControl::WMSetFocus(M);
    InvalidateActiveTab();
}

void TPageControl::WMKillFocus(TMessage& M)
{
    TCustomControl::WMKillFocus(M);
    InvalidateActiveTab();
}

void TPageControl::InvalidateActiveTab()
{
    if (!HandleAllocated())
        return;
    const TRect r = TabRect(ActivePageIndex());
    if (r.right <= r.left) {
        Invalidate();
        return;
    }
    // The active tab is drawn two pixels larger than its place, its focus mark inside.
    const RECT area{r.left - 2, r.top - 2, r.right + 2, r.bottom + 2};
    InvalidateRect(Handle(), &area, TRUE);
}

void TPageControl::Loaded()
{
    TCustomControl::Loaded();
    LayoutTabs();
    LayoutPages();
}

void TPageControl::Paint()
{
    TCanvas* cv = Canvas();
    LayoutTabs();
    cv->Brush()->SetColor(Color());
    cv->FillRect(ClientRect());
    TRect d = DisplayRect();
    Frame3D(cv, TRect{d.left - 2, d.top - 2, d.right + 2, d.bottom + 2}, clBtnHighlight, clGray);
    cv->Font()->Assign(Font());
    for (size_t i = 0; i < FPages.size(); ++i) {
        TRect r = FTabRects[i];
        if (r.right <= r.left)
            continue;
        bool active = FPages[i] == FActivePage;
        if (active)
            r = TRect{r.left - 2, r.top - 2, r.right + 2, r.bottom + 1};
        cv->Brush()->SetColor(Color());
        cv->FillRect(r);
        Frame3D(cv, TRect{r.left, r.top, r.right, r.bottom + 1}, clBtnHighlight, clGray);
        if (active) {
            cv->Brush()->SetColor(Color());
            cv->FillRect(TRect{r.left + 1, r.bottom - 1, r.right - 1, r.bottom + 2});
        }
        cv->Font()->SetColor(Enabled() ? Font()->GetColor() : clGrayText);
        DrawTextIn(cv, r, StripAccelerator(FPages[i]->Caption()), DT_CENTER);
        if (active && Focused()) {
            cv->Pen()->SetColor(Font()->GetColor());
            cv->Pen()->SetStyle(psDot);
            cv->Brush()->SetStyle(bsClear);
            cv->Rectangle(r.left + 3, r.top + 3, r.right - 3, r.bottom - 2);
            cv->Pen()->SetStyle(psSolid);
            cv->Brush()->SetStyle(bsSolid);
        }
    }
}

void RegisterComControlsClasses()
{
    RegisterGridClasses();
    RegisterClasses({TImageList::StaticClassInfo(), TTabSheet::StaticClassInfo(), TPageControl::StaticClassInfo(),
                     TToolButton::StaticClassInfo(), TToolBar::StaticClassInfo(), TCoolBand::StaticClassInfo(),
                     TCoolBands::StaticClassInfo(), TCoolBar::StaticClassInfo(), TStatusPanel::StaticClassInfo(),
                     TStatusPanels::StaticClassInfo(), TStatusBar::StaticClassInfo()});
}
