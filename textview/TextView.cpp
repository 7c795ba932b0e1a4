#include "textview/TextView.h"

#include <algorithm>

#include "framework/ExtCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/Gdi.h"

QM_CLASS_IMPL(TLineInfo, TObject)
QM_CLASS_IMPL(TDrawLineInfo, TObject)
QM_CLASS_IMPL(TJumpInfo, TObject)
QM_CLASS_IMPL(TCPInfo, TObject)

QM_CLASS_IMPL(TTextView, TViewScroller, [](TClassBuilder<TTextView>& b) {
    b.Property("Style", &TTextView::Style, &TTextView::SetStyle);
    b.Property("FirstJumpNo", &TTextView::FirstJumpNo).Default(0);
    b.Property("MaxTextWidth", &TTextView::MaxTextWidth).Default(0);
    b.Property("MinTextWidth", &TTextView::MinTextWidth).Default(0);
    b.Property("LeftMargin", &TTextView::LeftMargin).Default(5);
    b.Property("RightMargin", &TTextView::RightMargin).Default(5);
    b.Property("BackgroundBitmap", &TTextView::BackgroundBitmap, &TTextView::SetBackgroundBitmap);
    b.Property("BackgroundStyle", &TTextView::BackgroundStyle, &TTextView::SetBackgroundStyle).Default(bsNoBitmap);
    b.Property("Delimiters", &TTextView::Delimiters).Default(std::string(" .;,:(){}\""));
    b.Property("AllowSelection", &TTextView::AllowSelection).Default(true);
    b.Property("SingleClick", &TTextView::SingleClick).Default(false);
    b.Property("OnJump", &TTextView::OnJump);
    b.Property("OnViewMouseMove", &TTextView::OnViewMouseMove);
    b.Property("OnViewDblClick", &TTextView::OnViewDblClick);
    b.Property("OnViewRightClick", &TTextView::OnViewRightClick);
    b.Property("OnSelect", &TTextView::OnSelect);
    b.Property("OnResized", &TTextView::OnResized);
    b.Property("OnURLNeeded", &TTextView::OnURLNeeded);
    b.Property("OnSaveComponentToFile", &TTextView::OnSaveComponentToFile);
})

TTextView::TTextView(TComponent* AOwner) : TViewScroller(AOwner)
{
    Items = new TStringList();
    DrawItems = new TStringList();
    Checkpoints = new TStringList();
    Jumps = new TStringList();
    FBackgroundBitmap = new TBitmap();
    SetWidth(100);
    SetHeight(40);
}

void TTextView::BeforeDestroy()
{
    FreeAndNil(FBackgroundBitmap);
    ClearDocument();
    TViewScroller::BeforeDestroy();
}

TTextView::~TTextView()
{
    if (Items)
        ClearDocument();
    FreeAndNil(DrawItems);
    FreeAndNil(Checkpoints);
    FreeAndNil(Jumps);
    FreeAndNil(Items);
    FreeAndNil(FBackgroundBitmap);
}

void TTextView::SetStyle(TViewStyle* Value)
{
    if (FStyle == Value)
        return;
    if (FStyle)
        FStyle->RemoveFreeNotification(this);
    FStyle = Value;
    if (FStyle)
        FStyle->FreeNotification(this);
}

void TTextView::Notification(TComponent* AComponent, TOperation Operation)
{
    TViewScroller::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FStyle)
        FStyle = nullptr;
}

void TTextView::Loaded()
{
    TViewScroller::Loaded();
    FormatDocument();
}

// ---- Items ---------------------------------------------------------------------------------

void TTextView::AddParagraph(const std::string& Text, int StyleNo)
{
    auto* li = new TLineInfo();
    li->StyleNo = StyleNo;
    Items->AddObject(Text, li);
}

void TTextView::AddTextLines(const std::string& Text, int StyleNo)
{
    std::string s = AdjustLineBreaks(Text, tlbsCRLF);
    if (s.find("\r\n") == std::string::npos) {
        AddParagraph(s, StyleNo);
        return;
    }
    for (;;) {
        if (s.empty())
            return; // a trailing line break adds no empty item
        size_t p = s.find("\r\n");
        if (p == std::string::npos)
            break;
        AddParagraph(s.substr(0, p), StyleNo);
        s.erase(0, p + 2);
    }
    AddParagraph(s, StyleNo);
}

void TTextView::ClearFormatting()
{
    FreeAndNil(ScrollTimer);
    for (TStringList* list : {DrawItems, Checkpoints, Jumps}) {
        list->BeginUpdate();
        for (int i = 0; i < list->Count(); ++i) {
            TObject* o = list->Objects(i);
            list->PutObject(i, nullptr);
            FreeObject(o);
        }
        list->Clear();
        list->EndUpdate();
    }
    NextJumpId = 0;
}

void TTextView::ClearDocument()
{
    DropSelection();
    Items->BeginUpdate();
    for (int i = 0; i < Items->Count(); ++i) {
        TLineInfo* li = LineInfo(i);
        if (!li)
            continue;
        if (li->StyleNo == ivPicture) {
            FreeObject(li->Obj);
        } else if (li->StyleNo == ivControl) {
            if (auto* c = dynamic_cast<TControl*>(li->Obj)) {
                RemoveControl(c);
                FreeObject(c);
            }
        }
        Items->PutObject(i, nullptr);
        FreeObject(li);
    }
    Items->Clear();
    Items->EndUpdate();
    ClearFormatting();
    // An appended format after a clear must start from the top, not from the old end.
    LastFormattedItem = -1;
    DocHeight = 0;
}

// ---- Formatting ----------------------------------------------------------------------------

struct TTextView::Layout {
    int X = 0;
    int Y = 0;
    int LineAbove = 0;
    int PrevDesc = 0;
    int Margin = 0;
    int ScreenDpiX = 96, ScreenDpiY = 96, CanvasDpiX = 96, CanvasDpiY = 96;
    int FirstPieceOfLine = 0;
};

namespace {
constexpr int kMaxPieceChars = 1000;

// Restores the re-entry guard however formatting ends.
struct FormattingGuard {
    bool& Flag;
    explicit FormattingGuard(bool& f) : Flag(f) { Flag = true; }
    ~FormattingGuard() { Flag = false; }
};
} // namespace

void TTextView::FormatDocument() { FormatItems(false, 0, Canvas(), false); }

void TTextView::FormatAppended() { FormatItems(false, 0, Canvas(), true); }

void TTextView::SelectFont(TCanvas* ACanvas, int StyleNo) const
{
    ApplyFontInfo(ACanvas->Font(), FStyle->TextStyles()->Items(StyleNo));
    ACanvas->TextExtent(std::string()); // selects the font into the context
}

int TTextView::FitChars(TCanvas* ACanvas, const std::string& Text, int MaxExtent) const
{
    int fit = 0;
    SIZE sz;
    GetTextExtentExPointA(ACanvas->GetHandle(), Text.data(), static_cast<int>(Text.size()), std::max(0, MaxExtent),
                          &fit, nullptr, &sz);
    return fit;
}

int TTextView::WidestObject() const
{
    int w = 0;
    for (int i = 0; i < Items->Count(); ++i) {
        TLineInfo* li = LineInfo(i);
        if (li->StyleNo == ivPicture) {
            if (auto* g = dynamic_cast<TGraphic*>(li->Obj))
                w = std::max(w, g->GetWidth());
        } else if (li->StyleNo == ivControl) {
            if (auto* c = dynamic_cast<TControl*>(li->Obj))
                w = std::max(w, c->Width());
        }
    }
    return w;
}

void TTextView::UpdateJumpPositions()
{
    for (int i = 0; i < Jumps->Count(); ++i) {
        TJumpInfo* j = Jump(i);
        TDrawLineInfo* p = Piece(j->DrawItemNo);
        j->Left = p->Left;
        j->Top = p->Top;
    }
}

void TTextView::PlaceControls()
{
    for (int i = 0; i < DrawItems->Count(); ++i) {
        TDrawLineInfo* p = Piece(i);
        TLineInfo* li = LineInfo(p->ItemNo);
        if (li->StyleNo != ivControl)
            continue;
        if (auto* c = dynamic_cast<TControl*>(li->Obj)) {
            c->SetLeft(p->Left);
            c->SetTag(p->Top);
            ClampChildTop(c);
        }
    }
}

void TTextView::FormatItems(bool KeepPosition, int Depth, TCanvas* ACanvas, bool OnlyAppended)
{
    if (StepHeight == 0 || IsDesigning() || !FStyle || Formatting || Depth >= 2)
        return;
    int selS = -1, selE = -1, selSO = 0, selEO = 0;
    bool sizeChanged = false;
    int savedY = 0;
    {
        FormattingGuard guard(Formatting);
        if (Depth == 0)
            SelectionToItems(selS, selE, selSO, selEO);
        savedY = VPos * StepHeight;
        int oldWidth = TextWidth;
        int avail = ClientWidth() - (LeftMargin + RightMargin);
        int width = std::max(avail, WidestObject());
        if (MinTextWidth > width)
            width = MinTextWidth;
        TextWidth = (MaxTextWidth >= 1 && MaxTextWidth < width) ? MaxTextWidth : width;

        if (!KeepPosition || TextWidth != oldWidth) {
            Layout L;
            int first = 0;
            if (OnlyAppended) {
                first = LastFormattedItem + 1;
                L.Y = DocHeight;
            } else {
                ClearFormatting();
            }
            L.FirstPieceOfLine = DrawItems->Count();
            HDC screen = CreateCompatibleDC(nullptr);
            L.ScreenDpiX = GetDeviceCaps(screen, LOGPIXELSX);
            L.ScreenDpiY = GetDeviceCaps(screen, LOGPIXELSY);
            DeleteDC(screen);
            L.CanvasDpiX = GetDeviceCaps(ACanvas->GetHandle(), LOGPIXELSX);
            L.CanvasDpiY = GetDeviceCaps(ACanvas->GetHandle(), LOGPIXELSY);
            L.Margin = MulDiv(LeftMargin, L.CanvasDpiX, L.ScreenDpiX);
            for (int i = std::max(0, first); i < Items->Count(); ++i)
                FormatItem(i, L, ACanvas);
            DocHeight = L.Y + L.PrevDesc + 1;
            if (DocHeight / StepHeight > 30000)
                StepHeight = std::max(StepHeight, DocHeight / 30000);
            UpdateJumpPositions();
        } else {
            PlaceControls();
        }

        HPos = 0;
        VPos = 0;
        int oldCW = ClientWidth(), oldCH = ClientHeight();
        UpdateScrollRanges(width + LeftMargin + RightMargin, DocHeight / StepHeight);
        sizeChanged = oldCW != ClientWidth() || oldCH != ClientHeight();
    }
    if (sizeChanged) {
        ScrollToPixelY(savedY);
        FormatItems(KeepPosition, Depth + 1, ACanvas, false);
    }
    FormattingGuard guard(Formatting);
    if (KeepPosition)
        ScrollToPixelY(savedY);
    if (OnlyAppended)
        ScrollToPixelY(DocHeight);
    if (Depth == 0)
        SelectionFromItems(selS, selE, selSO, selEO);
    LastFormattedItem = Items->Count() - 1;
}

void TTextView::FormatItem(int ItemNo, Layout& L, TCanvas* ACanvas)
{
    TLineInfo* li = LineInfo(ItemNo);
    auto scaleW = [&](int w) { return MulDiv(w, L.CanvasDpiX, L.ScreenDpiX); };
    auto scaleH = [&](int h) { return MulDiv(h, L.CanvasDpiY, L.ScreenDpiY); };
    auto addPiece = [&](const std::string& text, int left, int top, int w, int h, int offs, bool fromNewLine) {
        auto* p = new TDrawLineInfo();
        p->Left = left;
        p->Top = top;
        p->Width = w;
        p->Height = h;
        p->ItemNo = ItemNo;
        p->Offs = offs;
        p->FromNewLine = fromNewLine;
        return DrawItems->AddObject(text, p);
    };

    if (li->StyleNo >= 0) {
        SelectFont(ACanvas, li->StyleNo);
        HDC dc = ACanvas->GetHandle();
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        const int ascent = tm.tmAscent, descent = tm.tmDescent, leading = tm.tmExternalLeading;
        const bool jump = li->StyleNo == 4 || li->StyleNo == 5;
        const std::string text = Items->Strings(ItemNo);
        bool newLine = !li->SameAsPrev;
        size_t restStart = 0; // 0-based start of the rest in text
        while (restStart < text.size()) {
            if (newLine)
                L.X = 0;
            std::string rest = text.substr(restStart, kMaxPieceChars);
            int fit = std::max(1, FitChars(ACanvas, rest, TextWidth - L.X));
            size_t restLen = text.size() - restStart;
            size_t pieceLen = static_cast<size_t>(std::min<int>(fit, static_cast<int>(rest.size())));
            bool consumeBlank = false;
            if (pieceLen < restLen) {
                size_t blank = rest.substr(0, pieceLen).find_last_of(' ');
                if (blank != std::string::npos) {
                    pieceLen = blank;
                    consumeBlank = true;
                } else if (!newLine) {
                    L.X = 0;
                    newLine = true;
                    continue;
                }
            }
            std::string piece = text.substr(restStart, pieceLen);
            int offs = static_cast<int>(restStart) + 1;
            restStart += pieceLen + (consumeBlank ? 1 : 0);

            SIZE sz{0, 0};
            int dummyFit = 0;
            GetTextExtentExPointA(dc, piece.data(), static_cast<int>(piece.size()), std::max(0, TextWidth - L.X),
                                  &dummyFit, nullptr, &sz);
            int top;
            if (newLine) {
                L.X = li->Center ? (TextWidth - sz.cx) / 2 : 0;
                top = L.Y + L.PrevDesc + leading;
                L.Y = L.Y + L.PrevDesc + leading + ascent;
                L.LineAbove = leading + ascent;
                L.PrevDesc = descent;
                L.FirstPieceOfLine = DrawItems->Count();
            } else {
                if (L.LineAbove < leading + ascent) {
                    int diff = leading + ascent - L.LineAbove;
                    for (int k = DrawItems->Count() - 1; k >= L.FirstPieceOfLine && k >= 0; --k)
                        Piece(k)->Top += diff;
                    L.Y += diff;
                    L.LineAbove = leading + ascent;
                }
                top = L.Y - ascent;
                L.PrevDesc = std::max(L.PrevDesc, descent);
            }
            int idx = addPiece(piece, L.X + L.Margin, top, sz.cx, sz.cy, offs, newLine);
            if (jump) {
                auto* j = new TJumpInfo();
                j->Left = L.X + L.Margin;
                j->Top = top;
                j->Width = sz.cx;
                j->Height = sz.cy;
                j->Id = NextJumpId;
                j->DrawItemNo = idx;
                Jumps->AddObject(std::string(), j);
                li->ImageNo = NextJumpId;
            }
            L.X += sz.cx;
            newLine = true;
        }
        if (jump)
            ++NextJumpId;
        return;
    }

    switch (li->StyleNo) {
    case ivBreak: {
        int b = scaleH(5);
        addPiece(Items->Strings(ItemNo), L.Margin, L.Y + L.PrevDesc, TextWidth, 2 * b + 1, 1, false);
        L.Y += L.PrevDesc + 2 * b + 1;
        L.PrevDesc = b;
        L.LineAbove = b;
        L.FirstPieceOfLine = DrawItems->Count();
        break;
    }
    case ivCheckpoint: {
        auto* cp = new TCPInfo();
        cp->Y = L.Y + L.PrevDesc;
        cp->ItemNo = ItemNo;
        Checkpoints->AddObject(Items->Strings(ItemNo), cp);
        break;
    }
    case ivPicture:
    case ivControl: {
        int w = 0, h = 0;
        if (auto* g = dynamic_cast<TGraphic*>(li->Obj)) {
            w = g->GetWidth();
            h = g->GetHeight();
        } else if (auto* c = dynamic_cast<TControl*>(li->Obj)) {
            w = c->Width();
            h = c->Height();
        }
        w = scaleW(w);
        h = scaleH(h);
        bool centred = li->StyleNo == ivPicture || li->Center;
        int left = (centred ? std::max(0, (TextWidth - w) / 2) : 0) + L.Margin;
        int top = L.Y + L.PrevDesc + 1;
        addPiece(std::string(), left, top, w, h + 1, 1, false);
        if (auto* c = dynamic_cast<TControl*>(li->Obj); c && li->StyleNo == ivControl) {
            c->SetLeft(left);
            c->SetTag(top);
            ClampChildTop(c);
        }
        L.Y += L.PrevDesc + h + 1;
        L.PrevDesc = 1;
        L.LineAbove = h + 1;
        L.FirstPieceOfLine = DrawItems->Count();
        break;
    }
    default: // bullets and hotspots need an image list, which no item of this view carries
        break;
    }
}

void TTextView::WMSize(TMessage& M)
{
    (void)M;
    FormatItems(true, 0, Canvas(), false);
    OnResized(this);
}

void RegisterTextViewClasses()
{
    RegisterClasses({TFontInfo::StaticClassInfo(), TFontInfos::StaticClassInfo(), TViewStyle::StaticClassInfo(),
                     TViewScroller::StaticClassInfo(), TTextView::StaticClassInfo()});
}
