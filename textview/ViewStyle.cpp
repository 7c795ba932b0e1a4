#include "textview/ViewStyle.h"

#include "framework/Forms.h"
#include "framework/TypInfo.h"
#include "platform/Windowing.h"

// ---- TFontInfo -----------------------------------------------------------------------------

QM_CLASS_IMPL(TFontInfo, TCollectionItem, [](TClassBuilder<TFontInfo>& b) {
    b.Property("CharSet", &TFontInfo::CharSet).Default(DEFAULT_CHARSET);
    b.Property("FontName", &TFontInfo::FontName).Default(std::string("Arial"));
    b.Property("Size", &TFontInfo::Size).Default(10);
    b.Property("Color", &TFontInfo::Color).TypeName("TColor").Default(clWindowText);
    b.Property("Style", &TFontInfo::Style).Default(TFontStyles{});
})

TFontInfo::TFontInfo(TCollection* Collection) : TCollectionItem(Collection) {}

void TFontInfo::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TFontInfo*>(Source)) {
        FontName = src->FontName;
        Size = src->Size;
        Color = src->Color;
        Style = src->Style;
        CharSet = src->CharSet;
        return;
    }
    TCollectionItem::Assign(Source);
}

// ---- TFontInfos ----------------------------------------------------------------------------

QM_CLASS_IMPL(TFontInfos, TCollection)

TFontInfos::TFontInfos() : TCollection(TFontInfo::StaticClassInfo()) {}

TFontInfo* TFontInfos::Add() { return static_cast<TFontInfo*>(TCollection::Add()); }

TFontInfo* TFontInfos::Items(int Index) const { return static_cast<TFontInfo*>(TCollection::Items(Index)); }

// ---- TViewStyle ----------------------------------------------------------------------------

QM_CLASS_IMPL(TViewStyle, TComponent, [](TClassBuilder<TViewStyle>& b) {
    b.Property("TextStyles", &TViewStyle::TextStyles, &TViewStyle::SetTextStyles);
    b.Property("JumpCursor", &TViewStyle::JumpCursor).Default(crJumpCursor);
    b.Property("Color", &TViewStyle::Color).TypeName("TColor").Default(clWindow);
    b.Property("HoverColor", &TViewStyle::HoverColor).TypeName("TColor").Default(clNone);
    b.Property("FullRedraw", &TViewStyle::FullRedraw).Default(false);
    b.Property("SelColor", &TViewStyle::SelColor).TypeName("TColor").Default(clHighlight);
    b.Property("SelTextColor", &TViewStyle::SelTextColor).TypeName("TColor").Default(clHighlightText);
})

TViewStyle::TViewStyle(TComponent* AOwner) : TComponent(AOwner), FTextStyles(new TFontInfos())
{
    struct Default {
        TColor Color;
        TFontStyles Style;
    };
    static const Default defaults[] = {
        {clWindowText, {}},          {clBlue, {fsBold}},        {clNavy, {fsBold}},
        {clMaroon, {fsItalic}},      {clGreen, {fsUnderline}},  {clGreen, {fsUnderline}},
    };
    for (const Default& d : defaults) {
        TFontInfo* fi = FTextStyles->Add();
        fi->Color = d.Color;
        fi->Style = d.Style;
    }
    InstallJumpCursor();
}

TViewStyle::~TViewStyle() { FreeAndNil(FTextStyles); }

void TViewStyle::SetTextStyles(TFontInfos* Value) { FTextStyles->Assign(Value); }

// ---- Helpers -------------------------------------------------------------------------------

void ApplyFontInfo(TFont* Font, const TFontInfo* Info)
{
    Font->SetStyle(Info->Style);
    Font->SetSize(Info->Size);
    Font->SetName(Info->FontName);
    Font->SetCharset(Info->CharSet);
}

void InstallJumpCursor()
{
    // The desktop's pointing hand (a hand with a raised index finger, hot spot on the
    // fingertip). It is a shared cursor: installing it again, or under a later screen object,
    // never frees it.
    if (Screen)
        Screen->SetCursors(crJumpCursor, LoadCursorA(nullptr, IDC_HAND));
}
