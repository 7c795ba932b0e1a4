#include "framework/ImgList.h"

#include <algorithm>

#include "framework/TypInfo.h"

QM_CLASS_IMPL(TImageList, TComponent, [](TClassBuilder<TImageList>& b) {
    b.Property("Width", &TImageList::Width, &TImageList::SetWidth).Default(16);
    b.Property("Height", &TImageList::Height, &TImageList::SetHeight).Default(16);
    b.Property("OnChange", &TImageList::OnChange);
})

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}
TImageList::~TImageList() = default;

void TImageList::SetWidth(int v)
{
    v = std::max(v, 1);
    if (v == FWidth)
        return;
    FWidth = v;
    Clear();
}

void TImageList::SetHeight(int v)
{
    v = std::max(v, 1);
    if (v == FHeight)
        return;
    FHeight = v;
    Clear();
}

int TImageList::Add(TBitmap* Image, TBitmap*)
{
    if (!Image || Image->GetEmpty())
        return -1;
    auto copy = std::make_unique<TBitmap>();
    copy->SetSize(FWidth, FHeight);
    copy->Canvas()->Brush()->SetColor(Image->GetTransparentColor());
    copy->Canvas()->FillRect(TRect{0, 0, FWidth, FHeight});
    copy->Canvas()->StretchDraw(TRect{0, 0, FWidth, FHeight}, Image);
    copy->SetTransparentColor(Image->GetTransparentColor());
    copy->SetTransparent(Image->GetTransparent());
    FImages.push_back(std::move(copy));
    Change();
    return Count() - 1;
}

void TImageList::Delete(int Index)
{
    if (Index < 0 || Index >= Count())
        return;
    FImages.erase(FImages.begin() + Index);
    Change();
}

void TImageList::Clear()
{
    if (FImages.empty())
        return;
    FImages.clear();
    Change();
}

void TImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) const
{
    if (!Canvas || Index < 0 || Index >= Count())
        return;
    TBitmap* img = FImages[static_cast<size_t>(Index)].get();
    if (Enabled) {
        Canvas->Draw(X, Y, img);
        return;
    }
    // Greyed: every pixel that is not transparent becomes a mid grey.
    TBitmap grey;
    grey.Assign(img);
    TColor transparent = img->GetTransparentColor();
    for (int y = 0; y < FHeight; ++y)
        for (int x = 0; x < FWidth; ++x)
            if (grey.Canvas()->GetPixel(x, y) != transparent)
                grey.Canvas()->SetPixel(x, y, clGray);
    grey.SetTransparent(true);
    Canvas->Draw(X, Y, &grey);
}

void TImageList::Change() { OnChange(this); }
