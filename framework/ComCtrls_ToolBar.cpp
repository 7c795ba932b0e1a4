// Tool buttons and tool bars.
#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/ComCtrlsPrivate.h"
#include "platform/Gdi.h"

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
    SetReference(FDropdownMenu, v);
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
            FHeldOff = false;
            Invalidate();
        }
    }
    TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TToolButton::MouseMove(TShiftState Shift, int X, int Y)
{
    const bool off = X < 0 || Y < 0 || X >= Width() || Y >= Height();
    if (FPressed && off != FHeldOff) {
        FHeldOff = off;
        Invalidate();
    }
    TGraphicControl::MouseMove(Shift, X, Y);
}

void TToolButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button == mbLeft && FPressed) {
        FPressed = false;
        FHeldOff = false;
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
    const bool pressed = FPressed && !FHeldOff;
    bool sunken = FDown || pressed;
    if (sunken) {
        cv->Brush()->SetColor(FDown && !pressed ? clBtnHighlight : clBtnFace);
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
    SetReference(FImages, v);
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
