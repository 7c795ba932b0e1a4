#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/TypInfo.h"
#include "platform/Gdi.h"

namespace {

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

// Text width for layout: measured on the control's canvas once it has a window, else an
// estimate (layout is redone when the window appears).
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

} // namespace

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
    FImages = v;
    if (v)
        v->FreeNotification(this);
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
    }
}

// ---- TToolButton -------------------------------------------------------------------------

QM_CLASS_IMPL(TToolButton, TGraphicControl, [](TClassBuilder<TToolButton>& b) {
    b.Property("Style", &TToolButton::Style, &TToolButton::SetStyle).Default(tbsButton);
    b.Property("ImageIndex", &TToolButton::ImageIndex, &TToolButton::SetImageIndex).Default(-1);
    b.Property("Down", &TToolButton::Down, &TToolButton::SetDown).Default(false);
    b.Property("Grouped", &TToolButton::Grouped, &TToolButton::SetGrouped).Default(false);
    b.Property("AllowAllUp", &TToolButton::AllowAllUp, &TToolButton::SetAllowAllUp).Default(false);
    b.Property("Wrap", &TToolButton::Wrap, &TToolButton::SetWrap).Default(false);
    b.Property("DropdownMenu", &TToolButton::DropdownMenu, &TToolButton::SetDropdownMenu);
})

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption};
    SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() = default;

TToolBar* TToolButton::ToolBar() const { return dynamic_cast<TToolBar*>(Parent()); }

void TToolButton::RequestLayout()
{
    if (TToolBar* tb = ToolBar())
        tb->UpdateButtons();
    Invalidate();
}

void TToolButton::SetParent(TWinControl* AParent)
{
    TToolBar* old = ToolBar();
    TGraphicControl::SetParent(AParent);
    if (old && old != AParent)
        old->UpdateButtons();
    RequestLayout();
}

void TToolButton::SetStyle(TToolButtonStyle v)
{
    if (v == FStyle)
        return;
    FStyle = v;
    if (v == tbsSeparator || v == tbsDivider)
        SetWidth(8);
    RequestLayout();
}

void TToolButton::SetImageIndex(int v)
{
    FImageIndex = v;
    Invalidate();
}

void TToolButton::SetDown(bool v)
{
    if (v == FDown)
        return;
    FDown = v;
    // Grouped check buttons are exclusive among their neighbours on the bar.
    if (v && FGrouped && FStyle == tbsCheck)
        if (TToolBar* tb = ToolBar())
            for (int i = 0; i < tb->ButtonCount(); ++i) {
                TToolButton* o = tb->Buttons(i);
                if (o != this && o->FGrouped && o->FStyle == tbsCheck)
                    o->SetDown(false);
            }
    Invalidate();
}

void TToolButton::SetWrap(bool v)
{
    FWrap = v;
    RequestLayout();
}

void TToolButton::SetDropdownMenu(TPopupMenu* v)
{
    FDropdownMenu = v;
    if (v)
        v->FreeNotification(this);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDropdownMenu)
        FDropdownMenu = nullptr;
}

void TToolButton::SetText(const std::string& v)
{
    TGraphicControl::SetText(v);
    Invalidate();
}

void TToolButton::Click()
{
    if (!Enabled() || FStyle == tbsSeparator || FStyle == tbsDivider)
        return;
    if (FStyle == tbsCheck) {
        if (!FDown)
            SetDown(true);
        else if (!FGrouped || FAllowAllUp)
            SetDown(false);
    }
    TGraphicControl::Click();
}

bool TToolButton::CheckMenuDropdown()
{
    if (!FDropdownMenu)
        return false;
    FDropdownMenu->SetPopupComponent(this);
    TPoint p = ClientToScreen(TPoint{0, Height()});
    FDropdownMenu->Popup(p.x, p.y);
    return true;
}

void TToolButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && Enabled()) {
        bool onArrow = FStyle == tbsDropDown && X >= Width() - DropDownArrowWidth;
        if (onArrow || (FStyle == tbsButton && FDropdownMenu)) {
            // The menu replaces the click.
            FControlState -= csClicked;
            CheckMenuDropdown();
        } else {
            FPressed = true;
            Invalidate();
        }
    }
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FPressed) {
        FPressed = false;
        Invalidate();
    }
    // The right button's pop-up menu comes from the control's context-menu handling.
    TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TToolButton::Paint()
{
    TCanvas* cv = Canvas();
    TRect r{0, 0, Width(), Height()};
    TToolBar* tb = ToolBar();
    if (FStyle == tbsSeparator || FStyle == tbsDivider) {
        if (FStyle == tbsDivider || (tb && tb->Flat())) {
            int x = Width() / 2 - 1;
            Frame3D(cv, TRect{x, 2, x + 2, Height() - 2}, clGray, clBtnHighlight);
        }
        return;
    }
    bool sunken = FDown || FPressed;
    if (sunken) {
        cv->Brush()->SetColor(FDown && !FPressed ? clBtnHighlight : clBtnFace);
        cv->FillRect(r);
        Frame3D(cv, r, clGray, clBtnHighlight);
    } else if (!tb || !tb->Flat()) {
        Frame3D(cv, r, clBtnHighlight, clGray);
    }
    int contentRight = FStyle == tbsDropDown ? r.right - DropDownArrowWidth : r.right;
    int off = sunken ? 1 : 0;
    TImageList* images = tb ? tb->Images() : nullptr;
    bool captions = tb && tb->ShowCaptions();
    int imageBottom = 0;
    if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
        int x = (contentRight - images->Width()) / 2 + off;
        int y = captions ? 3 + off : (Height() - images->Height()) / 2 + off;
        images->Draw(cv, x, y, FImageIndex, Enabled());
        imageBottom = y + images->Height();
    }
    if (captions || !images) {
        cv->Font()->Assign(tb ? tb->Font() : Font());
        cv->Font()->SetColor(Enabled() ? clBtnText : clGrayText);
        TRect tr{off, imageBottom + off, contentRight + off, Height() + off};
        DrawTextIn(cv, tr, StripAccelerator(Caption()), DT_CENTER);
    }
    if (FStyle == tbsDropDown) {
        int cx = r.right - DropDownArrowWidth / 2 - 1, cy = Height() / 2;
        cv->Pen()->SetColor(Enabled() ? clBlack : clGray);
        for (int i = 0; i < 3; ++i) {
            cv->MoveTo(cx - 2 + i, cy - 1 + i);
            cv->LineTo(cx + 3 - i, cy - 1 + i);
        }
        if (!tb || !tb->Flat() || sunken) {
            int x = contentRight;
            Frame3D(cv, TRect{x, 0, x + 2, Height()}, clGray, clBtnHighlight);
        }
    }
}

// ---- TToolBar ----------------------------------------------------------------------------

QM_CLASS_IMPL(TToolBar, TCustomControl, [](TClassBuilder<TToolBar>& b) {
    b.Property("ButtonWidth", &TToolBar::ButtonWidth, &TToolBar::SetButtonWidth).Default(23);
    b.Property("ButtonHeight", &TToolBar::ButtonHeight, &TToolBar::SetButtonHeight).Default(22);
    b.Property("Images", &TToolBar::Images, &TToolBar::SetImages);
    b.Property("ShowCaptions", &TToolBar::ShowCaptions, &TToolBar::SetShowCaptions).Default(false);
    b.Property("Flat", &TToolBar::Flat, &TToolBar::SetFlat).Default(false);
    b.Property("Wrapable", &TToolBar::Wrapable, &TToolBar::SetWrapable).Default(true);
    b.Property("Indent", &TToolBar::Indent, &TToolBar::SetIndent).Default(0);
})

TToolBar::TToolBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetColor(clBtnFace);
    SetBounds(0, 0, 150, 29);
}

TToolBar::~TToolBar() = default;

int TToolBar::ButtonCount() const
{
    int n = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (dynamic_cast<TToolButton*>(Controls(i)))
            ++n;
    return n;
}

TToolButton* TToolBar::Buttons(int Index) const
{
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && Index-- == 0)
            return b;
    return nullptr;
}

void TToolBar::SetButtonWidth(int v)
{
    FButtonWidth = std::max(v, 1);
    UpdateButtons();
}

void TToolBar::SetButtonHeight(int v)
{
    FButtonHeight = std::max(v, 1);
    UpdateButtons();
}

void TToolBar::SetImages(TImageList* v)
{
    FImages = v;
    if (v)
        v->FreeNotification(this);
    Invalidate();
    for (int i = 0; i < ButtonCount(); ++i)
        Buttons(i)->Invalidate();
}

void TToolBar::SetShowCaptions(bool v)
{
    FShowCaptions = v;
    UpdateButtons();
}

void TToolBar::SetFlat(bool v)
{
    FFlat = v;
    Invalidate();
    for (int i = 0; i < ButtonCount(); ++i)
        Buttons(i)->Invalidate();
}

void TToolBar::SetWrapable(bool v)
{
    FWrapable = v;
    UpdateButtons();
}

void TToolBar::SetIndent(int v)
{
    FIndent = std::max(v, 0);
    UpdateButtons();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages)
        FImages = nullptr;
}

void TToolBar::UpdateButtons()
{
    if (FUpdating || ComponentState().Contains(csDestroying))
        return;
    FUpdating = true;
    int x = FIndent, y = 0, cw = ClientWidth();
    for (int i = 0; i < ButtonCount(); ++i) {
        TToolButton* b = Buttons(i);
        if (!b->Visible())
            continue;
        bool sep = b->Style() == tbsSeparator || b->Style() == tbsDivider;
        int w = sep ? (b->Width() > 0 ? b->Width() : 8) : FButtonWidth;
        if (FWrapable && x > FIndent && x + w > cw) {
            x = FIndent;
            y += FButtonHeight;
        }
        b->SetBounds(x, y, w, FButtonHeight);
        x += w;
        if (b->Wrap()) {
            x = FIndent;
            y += FButtonHeight;
        }
    }
    if (AutoSize() && ButtonCount() > 0)
        SetHeight(y + FButtonHeight + (x == FIndent && y > 0 ? -FButtonHeight : 0) + 2);
    FUpdating = false;
    Invalidate();
}

void TToolBar::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    UpdateButtons();
}

void TToolBar::Loaded()
{
    TCustomControl::Loaded();
    UpdateButtons();
}

void TToolBar::Paint()
{
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}

// ---- TCoolBand ---------------------------------------------------------------------------

QM_CLASS_IMPL(TCoolBand, TCollectionItem, [](TClassBuilder<TCoolBand>& b) {
    b.Property("Bitmap", &TCoolBand::Bitmap, &TCoolBand::SetBitmap);
    b.Property("BorderStyle", &TCoolBand::BorderStyle, &TCoolBand::SetBorderStyle).Default(bsNone);
    b.Property("Break", &TCoolBand::Break, &TCoolBand::SetBreak).Default(true);
    b.Property("Color", &TCoolBand::Color, &TCoolBand::SetColor).Default(clBtnFace).TypeName("TColor")
        .Stored([](TCoolBand& band) { return !band.ParentColor(); });
    b.Property("Control", &TCoolBand::Control, &TCoolBand::SetControl);
    b.Property("FixedBackground", &TCoolBand::FixedBackground, &TCoolBand::SetFixedBackground).Default(true);
    b.Property("FixedSize", &TCoolBand::FixedSize, &TCoolBand::SetFixedSize).Default(false);
    b.Property("HorizontalOnly", &TCoolBand::HorizontalOnly, &TCoolBand::SetHorizontalOnly).Default(false);
    b.Property("ImageIndex", &TCoolBand::ImageIndex, &TCoolBand::SetImageIndex).Default(-1);
    b.Property("MinHeight", &TCoolBand::MinHeight, &TCoolBand::SetMinHeight).Default(25);
    b.Property("MinWidth", &TCoolBand::MinWidth, &TCoolBand::SetMinWidth).Default(0);
    b.Property("ParentBitmap", &TCoolBand::ParentBitmap, &TCoolBand::SetParentBitmap).Default(true);
    b.Property("ParentColor", &TCoolBand::ParentColor, &TCoolBand::SetParentColor).Default(true);
    b.Property("Text", &TCoolBand::Text, &TCoolBand::SetText).Default(std::string());
    b.Property("Visible", &TCoolBand::Visible, &TCoolBand::SetVisible).Default(true);
    b.Property("Width", &TCoolBand::Width, &TCoolBand::SetWidth);
})

TCoolBand::TCoolBand(TCollection* Collection)
    : TCollectionItem(nullptr), FBitmap(std::make_unique<TBitmap>())
{
    // Join the collection only once the band is whole, so the layout it triggers sees
    // initialised fields.
    SetCollection(Collection);
}

TCoolBand::~TCoolBand() = default;

TCoolBar* TCoolBand::CoolBar() const
{
    auto* bands = dynamic_cast<TCoolBands*>(Collection());
    return bands ? bands->CoolBar() : nullptr;
}

void TCoolBand::Assign(TPersistent* Source)
{
    auto* s = dynamic_cast<TCoolBand*>(Source);
    if (!s) {
        TCollectionItem::Assign(Source);
        return;
    }
    FBitmap->Assign(s->FBitmap.get());
    FBorderStyle = s->FBorderStyle;
    FBreak = s->FBreak;
    FColor = s->FColor;
    FFixedBackground = s->FFixedBackground;
    FFixedSize = s->FFixedSize;
    FHorizontalOnly = s->FHorizontalOnly;
    FImageIndex = s->FImageIndex;
    FMinHeight = s->FMinHeight;
    FMinWidth = s->FMinWidth;
    FParentBitmap = s->FParentBitmap;
    FParentColor = s->FParentColor;
    FText = s->FText;
    FVisible = s->FVisible;
    FWidth = s->FWidth;
    SetControl(s->FControl);
    Changed(false);
}

std::string TCoolBand::GetDisplayName() const
{
    if (!FText.empty())
        return FText;
    if (FControl)
        return FControl->ClassName();
    return TCollectionItem::GetDisplayName();
}

void TCoolBand::SetBitmap(TBitmap* v)
{
    FBitmap->Assign(v);
    if (v && !v->GetEmpty())
        FParentBitmap = false;
    Changed(false);
}
void TCoolBand::SetBorderStyle(TBorderStyle v)
{
    FBorderStyle = v;
    Changed(false);
}
void TCoolBand::SetBreak(bool v)
{
    FBreak = v;
    Changed(false);
}
TColor TCoolBand::Color() const
{
    TCoolBar* cb = CoolBar();
    return FParentColor && cb ? cb->TControl::Color() : FColor;
}
void TCoolBand::SetColor(TColor v)
{
    FColor = v;
    FParentColor = false;
    Changed(false);
}
void TCoolBand::SetControl(TWinControl* v)
{
    if (v == FControl)
        return;
    TCoolBar* cb = CoolBar();
    if (v && cb)
        if (TCoolBand* other = cb->Bands()->FindBand(v); other && other != this)
            other->FControl = nullptr;
    FControl = v;
    if (v && cb) {
        v->FreeNotification(cb);
        if (v->Parent() != cb)
            v->SetParent(cb);
    }
    Changed(false);
}
void TCoolBand::SetFixedBackground(bool v)
{
    FFixedBackground = v;
    Changed(false);
}
void TCoolBand::SetFixedSize(bool v)
{
    FFixedSize = v;
    Changed(false);
}
void TCoolBand::SetHorizontalOnly(bool v)
{
    FHorizontalOnly = v;
    Changed(false);
}
void TCoolBand::SetImageIndex(int v)
{
    FImageIndex = v;
    Changed(false);
}
void TCoolBand::SetMinHeight(int v)
{
    FMinHeight = v;
    Changed(false);
}
void TCoolBand::SetMinWidth(int v)
{
    FMinWidth = v;
    Changed(false);
}
void TCoolBand::SetParentBitmap(bool v)
{
    FParentBitmap = v;
    Changed(false);
}
void TCoolBand::SetParentColor(bool v)
{
    if (v == FParentColor)
        return;
    FParentColor = v;
    Changed(false);
}
void TCoolBand::SetText(const std::string& v)
{
    FText = v;
    Changed(false);
}
void TCoolBand::SetVisible(bool v)
{
    FVisible = v;
    if (FControl)
        FControl->SetVisible(v);
    Changed(false);
}
void TCoolBand::SetWidth(int v)
{
    FWidth = v;
    Changed(false);
}

int TCoolBand::HeaderWidth() const
{
    int w = 10; // the grip
    TCoolBar* cb = CoolBar();
    if (cb && cb->ShowText() && !FText.empty())
        w += MeasureText(cb, StripAccelerator(FText)) + 6;
    if (cb && cb->Images() && FImageIndex >= 0 && FImageIndex < cb->Images()->Count())
        w += cb->Images()->Width() + 4;
    return w;
}

// ---- TCoolBands --------------------------------------------------------------------------

QM_CLASS_IMPL(TCoolBands, TOwnedCollection)

TCoolBands::TCoolBands(TCoolBar* CoolBar)
    : TOwnedCollection(CoolBar, TCoolBand::StaticClassInfo()), FCoolBar(CoolBar)
{
}

TCoolBand* TCoolBands::FindBand(TControl* Control) const
{
    if (!Control)
        return nullptr;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Control() == Control)
            return Items(i);
    return nullptr;
}

int TCoolBands::MaxPlausibleCount() const
{
    return 2 * std::max(Count(), FCoolBar ? FCoolBar->ControlCount() : 0);
}

void TCoolBands::Update(TCollectionItem*)
{
    if (FCoolBar)
        FCoolBar->UpdateBands();
}

void TCoolBands::Notify(TCollectionItem*, TCollectionNotification) {}

// ---- TCoolBar ----------------------------------------------------------------------------

QM_CLASS_IMPL(TCoolBar, TCustomControl, [](TClassBuilder<TCoolBar>& b) {
    b.Property("Bands", &TCoolBar::Bands, &TCoolBar::SetBands);
    b.Property("Images", &TCoolBar::Images, &TCoolBar::SetImages);
    b.Property("Bitmap", &TCoolBar::Bitmap, &TCoolBar::SetBitmap);
    b.Property("ShowText", &TCoolBar::ShowText, &TCoolBar::SetShowText).Default(true);
    b.Property("FixedSize", &TCoolBar::FixedSize, &TCoolBar::SetFixedSize).Default(false);
    b.Property("FixedOrder", &TCoolBar::FixedOrder, &TCoolBar::SetFixedOrder).Default(false);
    b.Property("BandBorderStyle", &TCoolBar::BandBorderStyle, &TCoolBar::SetBandBorderStyle).Default(bsSingle);
    b.Property("Vertical", &TCoolBar::Vertical, &TCoolBar::SetVertical).Default(false);
    b.Property("OnChange", &TCoolBar::OnChange);
})

TCoolBar::TCoolBar(TComponent* AOwner)
    : TCustomControl(AOwner), FBitmap(std::make_unique<TBitmap>())
{
    FBands = std::make_unique<TCoolBands>(this);
    FBands->SetPropName("Bands");
    SetColor(clBtnFace);
    SetBounds(0, 0, 150, 75);
}

TCoolBar::~TCoolBar()
{
    // The bands must not reach back into a half-destroyed bar.
    FInLayout = true;
}

void TCoolBar::SetBands(TCoolBands* v) { FBands->Assign(v); }

void TCoolBar::SetImages(TImageList* v)
{
    FImages = v;
    if (v)
        v->FreeNotification(this);
    UpdateBands();
}

void TCoolBar::SetBitmap(TBitmap* v)
{
    FBitmap->Assign(v);
    Invalidate();
}

void TCoolBar::SetShowText(bool v)
{
    FShowText = v;
    UpdateBands();
}

void TCoolBar::SetBandBorderStyle(TBorderStyle v)
{
    FBandBorderStyle = v;
    Invalidate();
}

void TCoolBar::SetVertical(bool v)
{
    FVertical = v;
    UpdateBands();
}

void TCoolBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FImages)
        FImages = nullptr;
    if (FBands)
        for (int i = 0; i < FBands->Count(); ++i)
            if (FBands->Items(i)->FControl == AComponent)
                FBands->Items(i)->FControl = nullptr;
}

void TCoolBar::UpdateBands()
{
    if (FInLayout || !FBands || FBands->UpdateCount() > 0 || ComponentState().Contains(csDestroying) ||
        IsLoading())
        return;
    FInLayout = true;
    ++FLayoutCount;
    int cw = ClientWidth();
    int y = 0;
    std::vector<TCoolBand*> row;
    auto flushRow = [&]() {
        if (row.empty())
            return;
        int h = 0;
        for (TCoolBand* b : row)
            h = std::max({h, b->FMinHeight, b->FControl ? b->FControl->Height() + 4 : 0});
        int x = 0;
        for (size_t i = 0; i < row.size(); ++i) {
            TCoolBand* b = row[i];
            int header = b->HeaderWidth();
            int w = b->FWidth > 0 ? b->FWidth
                                  : (b->FControl ? b->FControl->Width() + header + 4 : header + 50);
            w = std::max(w, b->FMinWidth + header);
            if (i + 1 == row.size())
                w = std::max(w, cw - x);
            b->FRect = TRect{x, y, x + w, y + h};
            if (TWinControl* c = b->FControl) {
                int ch = std::min(c->Height(), h - 4);
                c->SetBounds(x + header, y + (h - ch) / 2, std::max(w - header - 4, 0), ch);
            }
            x += w;
        }
        y += h + 2;
        row.clear();
    };
    for (int i = 0; i < FBands->Count(); ++i) {
        TCoolBand* b = FBands->Items(i);
        if (!b->FVisible) {
            b->FRect = TRect{0, 0, 0, 0};
            continue;
        }
        if (b->FBreak && !row.empty())
            flushRow();
        row.push_back(b);
    }
    flushRow();
    if (AutoSize() && y > 0)
        SetHeight(y + 2);
    FInLayout = false;
    Invalidate();
    OnChange(this);
}

void TCoolBar::AlignControls(TControl* AControl, TRect& Rect)
{
    TCustomControl::AlignControls(AControl, Rect);
    UpdateBands();
}

void TCoolBar::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    UpdateBands();
}

void TCoolBar::Loaded()
{
    TCustomControl::Loaded();
    UpdateBands();
}

void TCoolBar::Paint()
{
    TCanvas* cv = Canvas();
    cv->Brush()->SetColor(TControl::Color());
    cv->FillRect(ClientRect());
    for (int i = 0; i < FBands->Count(); ++i) {
        TCoolBand* b = FBands->Items(i);
        TRect r = b->FRect;
        if (!b->FVisible || r.right <= r.left)
            continue;
        cv->Brush()->SetColor(b->Color());
        cv->FillRect(r);
        if (FBandBorderStyle != bsNone)
            Frame3D(cv, r, clBtnHighlight, clGray);
        // The grip: two raised bars.
        for (int g = 0; g < 2; ++g)
            Frame3D(cv, TRect{r.left + 3 + g * 3, r.top + 3, r.left + 6 + g * 3, r.bottom - 3}, clBtnHighlight, clGray);
        int x = r.left + 10;
        if (FImages && b->FImageIndex >= 0 && b->FImageIndex < FImages->Count()) {
            FImages->Draw(cv, x + 2, r.top + (r.bottom - r.top - FImages->Height()) / 2, b->FImageIndex);
            x += FImages->Width() + 4;
        }
        if (FShowText && !b->FText.empty()) {
            cv->Font()->Assign(Font());
            DrawTextIn(cv, TRect{x + 2, r.top, r.right, r.bottom}, StripAccelerator(b->FText), DT_LEFT);
        }
    }
}

// ---- status bar --------------------------------------------------------------------------

QM_CLASS_IMPL(TStatusPanel, TCollectionItem, [](TClassBuilder<TStatusPanel>& b) {
    b.Property("Alignment", &TStatusPanel::Alignment, &TStatusPanel::SetAlignment).Default(taLeftJustify);
    b.Property("Bevel", &TStatusPanel::Bevel, &TStatusPanel::SetBevel).Default(pbLowered);
    b.Property("Style", &TStatusPanel::Style, &TStatusPanel::SetStyle).Default(psText);
    b.Property("Text", &TStatusPanel::Text, &TStatusPanel::SetText).Default(std::string());
    b.Property("Width", &TStatusPanel::Width, &TStatusPanel::SetWidth);
})

TStatusPanel::TStatusPanel(TCollection* Collection) : TCollectionItem(Collection) {}

void TStatusPanel::Assign(TPersistent* Source)
{
    auto* s = dynamic_cast<TStatusPanel*>(Source);
    if (!s) {
        TCollectionItem::Assign(Source);
        return;
    }
    FWidth = s->FWidth;
    FText = s->FText;
    FStyle = s->FStyle;
    FAlignment = s->FAlignment;
    FBevel = s->FBevel;
    Changed(false);
}

std::string TStatusPanel::GetDisplayName() const
{
    return FText.empty() ? TCollectionItem::GetDisplayName() : FText;
}

void TStatusPanel::SetWidth(int v)
{
    FWidth = v;
    Changed(false);
}
void TStatusPanel::SetText(const std::string& v)
{
    if (v == FText)
        return;
    FText = v;
    Changed(false);
}
void TStatusPanel::SetStyle(TStatusPanelStyle v)
{
    FStyle = v;
    Changed(false);
}
void TStatusPanel::SetAlignment(TAlignment v)
{
    FAlignment = v;
    Changed(false);
}
void TStatusPanel::SetBevel(TStatusPanelBevel v)
{
    FBevel = v;
    Changed(false);
}

QM_CLASS_IMPL(TStatusPanels, TOwnedCollection)

TStatusPanels::TStatusPanels(TStatusBar* StatusBar)
    : TOwnedCollection(StatusBar, TStatusPanel::StaticClassInfo()), FStatusBar(StatusBar)
{
}

void TStatusPanels::Update(TCollectionItem*)
{
    if (FStatusBar)
        FStatusBar->Invalidate();
}

QM_CLASS_IMPL(TStatusBar, TCustomControl, [](TClassBuilder<TStatusBar>& b) {
    b.Property("Panels", &TStatusBar::Panels, &TStatusBar::SetPanels);
    b.Property("SimplePanel", &TStatusBar::SimplePanel, &TStatusBar::SetSimplePanel).Default(false);
    b.Property("SimpleText", &TStatusBar::SimpleText, &TStatusBar::SetSimpleText).Default(std::string());
    b.Property("SizeGrip", &TStatusBar::SizeGrip, &TStatusBar::SetSizeGrip).Default(true);
    b.Property("OnDrawPanel", &TStatusBar::OnDrawPanel);
})

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner)
{
    FPanels = std::make_unique<TStatusPanels>(this);
    FPanels->SetPropName("Panels");
    SetColor(clBtnFace);
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::SetPanels(TStatusPanels* v) { FPanels->Assign(v); }

void TStatusBar::SetSimplePanel(bool v)
{
    FSimplePanel = v;
    Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& v)
{
    FSimpleText = v;
    Invalidate();
}

void TStatusBar::SetSizeGrip(bool v)
{
    FSizeGrip = v;
    Invalidate();
}

TRect TStatusBar::PanelRect(int Index) const
{
    if (Index < 0 || Index >= FPanels->Count())
        return TRect{0, 0, 0, 0};
    int x = 0;
    for (int i = 0; i < Index; ++i)
        x += std::max(FPanels->Items(i)->Width(), 0);
    int right = Index + 1 == FPanels->Count() ? ClientWidth() : x + std::max(FPanels->Items(Index)->Width(), 0);
    return TRect{x, 2, std::max(right - 2, x), ClientHeight()};
}

void TStatusBar::Paint()
{
    TCanvas* cv = Canvas();
    cv->Brush()->SetColor(Color());
    cv->FillRect(ClientRect());
    cv->Font()->Assign(Font());
    auto drawText = [cv](const TRect& r, const std::string& s, TAlignment a) {
        UINT align = a == taCenter ? DT_CENTER : a == taRightJustify ? DT_RIGHT : DT_LEFT;
        DrawTextIn(cv, TRect{r.left + 3, r.top, r.right - 3, r.bottom}, s, align);
    };
    if (FSimplePanel) {
        TRect r{0, 2, ClientWidth(), ClientHeight()};
        Frame3D(cv, r, clGray, clBtnHighlight);
        drawText(r, FSimpleText, taLeftJustify);
    } else {
        for (int i = 0; i < FPanels->Count(); ++i) {
            TStatusPanel* p = FPanels->Items(i);
            TRect r = PanelRect(i);
            if (p->Bevel() == pbLowered)
                Frame3D(cv, r, clGray, clBtnHighlight);
            else if (p->Bevel() == pbRaised)
                Frame3D(cv, r, clBtnHighlight, clGray);
            if (p->Style() == psOwnerDraw)
                OnDrawPanel(this, p, r);
            else
                drawText(r, p->Text(), p->Alignment());
        }
    }
    if (FSizeGrip) {
        int w = ClientWidth(), h = ClientHeight();
        for (int i = 0; i < 3; ++i) {
            int d = 4 + i * 4;
            cv->Pen()->SetColor(clGray);
            cv->MoveTo(w - d, h - 1);
            cv->LineTo(w, h - 1 - d);
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
