#pragma once
// A push button with a glyph; the standard kinds bring their caption, glyph and result.
#include <memory>

#include "framework/StdCtrls.h"

QM_ENUM(TBitBtnKind, bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll)
QM_ENUM(TButtonLayout, blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom)

class TBitBtn : public TButton {
    QM_CLASS(TBitBtn, TButton)
public:
    explicit TBitBtn(TComponent* AOwner);
    ~TBitBtn() override;
    TBitBtnKind Kind() const { return FKind; }
    // A standard kind sets Caption, ModalResult, Default/Cancel and uses a standard glyph.
    void SetKind(TBitBtnKind v);
    TBitmap* Glyph() const { return FGlyph.get(); }
    void SetGlyph(TBitmap* v) { FGlyph->Assign(v); }
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout v);
    // Whether a glyph is shown (its own, or the kind's standard one).
    bool HasGlyph() const;

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;

private:
    void SyncGlyph();
    TBitBtnKind FKind = bkCustom;
    std::unique_ptr<TBitmap> FGlyph;
    TButtonLayout FLayout = blGlyphLeft;
};
