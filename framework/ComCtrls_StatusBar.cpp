// Status bars and their panels.
#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/ComCtrlsPrivate.h"
#include "platform/Gdi.h"

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
