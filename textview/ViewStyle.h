#pragma once
// Numbered text styles and the colours a text view paints with.
#include <string>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"

// One text style.
class TFontInfo : public TCollectionItem {
    QM_CLASS(TFontInfo, TCollectionItem)
public:
    explicit TFontInfo(TCollection* Collection);
    void Assign(TPersistent* Source) override;

    TFontCharset CharSet = DEFAULT_CHARSET;
    TFontName FontName = "Arial";
    int Size = 10;
    TColor Color = clWindowText;
    TFontStyles Style;
};

class TFontInfos : public TCollection {
    QM_CLASS(TFontInfos, TCollection)
public:
    TFontInfos();
    TFontInfo* Add();
    // Raises the collection's list-index error outside 0..Count-1.
    TFontInfo* Items(int Index) const;
};

// Cursor number under which the jump cursor is installed.
constexpr TCursor crJumpCursor = 101;

class TViewStyle : public TComponent {
    QM_CLASS(TViewStyle, TComponent)
public:
    explicit TViewStyle(TComponent* AOwner);
    ~TViewStyle() override;

    TFontInfos* TextStyles() const { return FTextStyles; }
    // Copies the items; the owned collection object stays the same.
    void SetTextStyles(TFontInfos* Value);

    TCursor JumpCursor = crJumpCursor;
    TColor Color = clWindow;
    TColor HoverColor = clNone;
    bool FullRedraw = false;
    TColor SelColor = clHighlight;
    TColor SelTextColor = clHighlightText;

private:
    TFontInfos* FTextStyles = nullptr;
};

// Applies a style's Style, Size, FontName and CharSet to a font, in that order; the colour
// is left to the caller.
void ApplyFontInfo(TFont* Font, const TFontInfo* Info);

// Installs the view's jump cursor as Screen cursor 101 (once per run; later calls keep it).
void InstallJumpCursor();
