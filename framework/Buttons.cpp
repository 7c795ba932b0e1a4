#include "framework/Buttons.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>

QM_CLASS_IMPL(TBitBtn, TButton, [](TClassBuilder<TBitBtn>& b) {
    b.Property("Kind", &TBitBtn::Kind, &TBitBtn::SetKind).Default(bkCustom);
    b.Property("Glyph", &TBitBtn::Glyph, &TBitBtn::SetGlyph);
    b.Property("Layout", &TBitBtn::Layout, &TBitBtn::SetLayout).Default(blGlyphLeft);
})

namespace {
struct KindInfo {
    const char* Caption;
    TModalResult Result;
    QStyle::StandardPixmap Pixmap;
};
KindInfo InfoOf(TBitBtnKind k)
{
    switch (k) {
    case bkOK: return {"OK", mrOk, QStyle::SP_DialogOkButton};
    case bkCancel: return {"Cancel", mrCancel, QStyle::SP_DialogCancelButton};
    case bkHelp: return {"&Help", mrNone, QStyle::SP_DialogHelpButton};
    case bkYes: return {"&Yes", mrYes, QStyle::SP_DialogYesButton};
    case bkNo: return {"&No", mrNo, QStyle::SP_DialogNoButton};
    case bkClose: return {"&Close", mrNone, QStyle::SP_DialogCloseButton};
    case bkAbort: return {"Abort", mrAbort, QStyle::SP_DialogAbortButton};
    case bkRetry: return {"&Retry", mrRetry, QStyle::SP_DialogRetryButton};
    case bkIgnore: return {"&Ignore", mrIgnore, QStyle::SP_DialogIgnoreButton};
    case bkAll: return {"&All", 8, QStyle::SP_DialogYesToAllButton};
    default: return {"", mrNone, QStyle::SP_CustomBase};
    }
}
} // namespace

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), FGlyph(std::make_unique<TBitmap>())
{
    FGlyph->OnChange = TNotifyEvent([this](TObject*) { SyncGlyph(); }, this);
}

TBitBtn::~TBitBtn() { FGlyph->OnChange = nullptr; }

void TBitBtn::SetKind(TBitBtnKind v)
{
    FKind = v;
    if (v != bkCustom) {
        KindInfo i = InfoOf(v);
        SetCaption(i.Caption);
        SetModalResult(i.Result);
        SetDefault(v == bkOK || v == bkYes);
        SetCancel(v == bkCancel || v == bkNo);
    }
    SyncGlyph();
}

void TBitBtn::SetLayout(TButtonLayout v)
{
    FLayout = v;
    SyncGlyph();
}

bool TBitBtn::HasGlyph() const { return !FGlyph->GetEmpty() || FKind != bkCustom; }

QWidget* TBitBtn::MakeWidget() { return TButton::MakeWidget(); }

void TBitBtn::SyncWidget()
{
    TButton::SyncWidget();
    SyncGlyph();
}

void TBitBtn::SyncGlyph()
{
    auto* b = qobject_cast<QPushButton*>(Widget());
    if (!b)
        return;
    QIcon icon;
    if (!FGlyph->GetEmpty()) {
        if (QImage* img = BitmapImage(FGlyph->GetHandle())) {
            QImage copy = img->convertToFormat(QImage::Format_ARGB32);
            // The bottom-left pixel's colour is the glyph's transparent colour.
            QRgb key = copy.pixel(0, copy.height() - 1);
            for (int y = 0; y < copy.height(); ++y)
                for (int x = 0; x < copy.width(); ++x)
                    if (copy.pixel(x, y) == key)
                        copy.setPixel(x, y, qRgba(0, 0, 0, 0));
            icon = QIcon(QPixmap::fromImage(copy));
        }
    } else if (FKind != bkCustom) {
        icon = QApplication::style()->standardIcon(InfoOf(FKind).Pixmap);
    }
    b->setIcon(icon);
    b->setLayoutDirection(FLayout == blGlyphRight ? Qt::RightToLeft : Qt::LeftToRight);
}
