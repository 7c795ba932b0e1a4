// Cool bars and their bands.
#include "framework/ComCtrls.h"

#include <algorithm>

#include "framework/ComCtrlsPrivate.h"
#include "platform/Gdi.h"

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
    SetReference(FImages, v);
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
