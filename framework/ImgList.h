#pragma once
// A list of equally sized images, drawn by index (tool buttons, cool bands).
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"

class TImageList : public TComponent {
    QM_CLASS(TImageList, TComponent)
public:
    explicit TImageList(TComponent* AOwner);
    ~TImageList() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changing the size empties the list, as the stored images no longer fit.
    void SetWidth(int v);
    void SetHeight(int v);
    int Count() const { return static_cast<int>(FImages.size()); }

    // Adds a copy of Image scaled to the list's size; Mask is accepted for the usual call
    // shape and ignored (transparency comes from the image's own transparent colour).
    // Returns the new index, or -1 for a missing or empty image.
    int Add(TBitmap* Image, TBitmap* Mask = nullptr);
    void Delete(int Index);
    void Clear();
    // Draws image Index with its top-left corner at (X, Y); a disabled image is drawn
    // greyed. An index out of range draws nothing.
    void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true) const;

    TNotifyEvent OnChange;

private:
    void Change();
    int FWidth = 16;
    int FHeight = 16;
    std::vector<std::unique_ptr<TBitmap>> FImages;
};
