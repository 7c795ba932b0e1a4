#include <algorithm>

#include "framework/SysUtils.h"
#include "platform/Gdi.h"
#include "textview/TextView.h"

void TTextView::SetBackgroundBitmap(TBitmap* Value)
{
    if (Value)
        FBackgroundBitmap->Assign(Value);
    else
        FBackgroundBitmap->Assign(nullptr);
    FullRepaint = Value && !Value->GetEmpty() &&
                  (FBackgroundStyle == bsStretched || FBackgroundStyle == bsTiled);
}

void TTextView::SetBackgroundStyle(TBackgroundStyle Value)
{
    FBackgroundStyle = Value;
    FullRepaint = !FBackgroundBitmap->GetEmpty() && (Value == bsStretched || Value == bsTiled);
}

void TTextView::WMEraseBkgnd(TMessage& M)
{
    if (IsDesigning())
        return;
    M.Result = 1;
    int cw = ClientWidth(), ch = ClientHeight();
    if (cw > EraseWidth || ch > EraseHeight) {
        HDC dc = reinterpret_cast<HDC>(M.WParam);
        RECT clip{};
        if (dc && GetClipBox(dc, &clip) != RGN_ERROR) {
            // The background is drawn relative to the clip's corner; move the origin there.
            POINT old;
            OffsetViewportOrgEx(dc, clip.left, clip.top, &old);
            DrawBackground(dc, clip, cw, ch);
            SetViewportOrgEx(dc, old.x, old.y, nullptr);
        }
    }
    EraseWidth = cw;
    EraseHeight = ch;
}

void TTextView::DrawBackground(HDC DC, const TRect& Clip, int W, int H)
{
    if (!FStyle)
        return;
    TBitmap* bmp = FBackgroundBitmap;
    if (FBackgroundStyle == bsNoBitmap || bmp->GetEmpty()) {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(FStyle->Color));
        RECT r{0, 0, Clip.right - Clip.left, Clip.bottom - Clip.top};
        ::FillRect(DC, &r, brush);
        DeleteObject(brush);
        return;
    }
    HDC src = bmp->Canvas()->GetHandle();
    int w = bmp->GetWidth(), h = bmp->GetHeight();
    switch (FBackgroundStyle) {
    case bsStretched:
        StretchBlt(DC, -Clip.left, -Clip.top, W, H, src, 0, 0, w, h, SRCCOPY);
        break;
    case bsTiled:
        for (int j = Clip.top / h; j <= Clip.bottom / h; ++j)
            for (int i = Clip.left / w; i <= Clip.right / w; ++i)
                BitBlt(DC, i * w - Clip.left, j * h - Clip.top, w, h, src, 0, 0, SRCCOPY);
        break;
    case bsTiledAndScrolled: {
        int vy = VPos * StepHeight;
        for (int j = (vy + Clip.top) / h; j <= (vy + Clip.bottom) / h; ++j)
            for (int i = (Clip.left + HPos) / w; i <= (Clip.right + HPos) / w; ++i)
                BitBlt(DC, i * w - HPos - Clip.left, j * h - vy - Clip.top, w, h, src, 0, 0, SRCCOPY);
        break;
    }
    default:
        break;
    }
}

int TTextView::FirstVisibleDrawItem(int Y) const
{
    int count = DrawItems->Count();
    if (count == 0 || Y <= Piece(0)->Top)
        return 0;
    int lo = 1, hi = count - 1, mid = 1;
    while (hi - lo >= 2) {
        mid = (hi + lo) / 2;
        if (Y > Piece(mid)->Top)
            lo = mid;
        else if (Y > Piece(mid - 1)->Top)
            break;
        else
            hi = mid;
    }
    if (mid >= count)
        mid = count - 1;
    for (int round = 0; round < 2; ++round) {
        while (mid > 0 && !Piece(mid)->FromNewLine)
            --mid;
        if (mid > 0)
            --mid;
    }
    return mid;
}

void TTextView::PaintPlainFrame()
{
    TCanvas* c = Canvas();
    TColor oldBrush = c->Brush()->GetColor();
    c->Brush()->SetColor(FStyle ? FStyle->Color : clWindow);
    c->Brush()->SetStyle(bsSolid);
    c->Pen()->SetColor(clWindowText);
    c->Font()->SetColor(clWindowText);
    c->Font()->SetName("MS Sans Serif");
    c->Font()->SetSize(8);
    c->Font()->SetStyle({});
    c->FillRect(c->GetClipRect());
    TRect client = ClientRect();
    if (IsDesigning())
        c->TextOut(client.left + 1, client.top + 1, "TTextView " + Name() + " - styled text view");
    else
        c->TextOut(client.left + 1, client.top + 1, "Error: style is not assigned");
    c->Brush()->SetColor(clWindowText);
    c->FrameRect(client);
    c->Brush()->SetColor(oldBrush);
}

void TTextView::DrawTextPiece(TCanvas* BC, int i, int X, int Y, int S, int E, int SO, int EO)
{
    TDrawLineInfo* p = Piece(i);
    TLineInfo* li = LineInfo(p->ItemNo);
    const TFontInfo* fi = FStyle->TextStyles()->Items(li->StyleNo);
    ApplyFontInfo(BC->Font(), fi);
    TColor colour = fi->Color;
    bool hover = false;
    if ((li->StyleNo == 4 || li->StyleNo == 5) && HoverDrawn && HoverJumpId != -1 && li->ImageNo == HoverJumpId) {
        colour = FStyle->HoverColor;
        hover = true;
    }
    BC->Font()->SetColor(colour);
    const std::string t = DrawItems->Strings(i);
    const int len = static_cast<int>(t.size());

    // Draws characters from..to (1-based, inclusive) at their place within the piece.
    auto run = [&](int from, int to, bool selected) {
        from = std::max(from, 1);
        to = std::min(to, len);
        if (to < from)
            return;
        int x = X + BC->TextWidth(t.substr(0, static_cast<size_t>(from - 1)));
        std::string part = t.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
        if (selected) {
            BC->Brush()->SetStyle(bsSolid);
            BC->Brush()->SetColor(FStyle->SelColor);
            if (!hover)
                BC->Font()->SetColor(FStyle->SelTextColor);
        }
        BC->TextOut(x, Y, part);
        if (selected) {
            BC->Brush()->SetStyle(bsClear);
            BC->Font()->SetColor(colour);
        }
    };

    if (i < S || i > E) {
        run(1, len, false);
    } else if ((S < i && i < E) || (i == S && i != E && SO < 2) || (i == E && i != S && len < EO)) {
        run(1, len, true);
    } else if (i == E && i != S) {
        run(1, EO - 1, true);
        run(EO, len, false);
    } else {
        run(1, std::min(SO - 1, len), false);
        if (i == E && EO <= len) {
            run(SO, EO - 1, true);
            run(std::max(EO, SO), len, false);
        } else {
            run(SO, len, true);
        }
    }
}

void TTextView::Paint()
{
    if (!FStyle || IsDesigning()) {
        PaintPlainFrame();
        return;
    }
    int S, E, SO, EO;
    OrderedSelection(S, E, SO, EO);
    TRect clip = Canvas()->GetClipRect();
    TBitmap bmp;
    bmp.SetSize(clip.right - clip.left + 1, clip.bottom - clip.top + 1);
    TCanvas* BC = bmp.Canvas();
    DrawBackground(BC->GetHandle(), clip, ClientWidth(), ClientHeight());
    const int vy = VPos * StepHeight;
    const int docTop = clip.top + vy;
    const int docBottom = clip.bottom + vy;
    const int dx = clip.left + HPos, dy = clip.top + vy;
    BC->Brush()->SetStyle(bsClear);
    bool pastBottom = false;
    for (int i = FirstVisibleDrawItem(docTop); i < DrawItems->Count(); ++i) {
        TDrawLineInfo* p = Piece(i);
        if (pastBottom && i > 0 && Piece(i - 1)->Left >= p->Left)
            break;
        if (p->Top > docBottom)
            pastBottom = true;
        TLineInfo* li = LineInfo(p->ItemNo);
        int x = p->Left - dx, y = p->Top - dy;
        if (li->StyleNo >= 0) {
            DrawTextPiece(BC, i, x, y, S, E, SO, EO);
        } else if (li->StyleNo == ivPicture) {
            BC->Draw(x, y, dynamic_cast<TGraphic*>(li->Obj));
        } else if (li->StyleNo == ivBreak) {
            BC->Pen()->SetColor(FStyle->TextStyles()->Items(0)->Color);
            BC->MoveTo(p->Left + 5 - dx, p->Top + 5 - dy);
            BC->LineTo(DocWidth - 5 - RightMargin - dx, p->Top + 5 - dy);
        }
    }
    Canvas()->Draw(clip.left, clip.top, &bmp);
}

std::string TTextView::NextPictureFileName(const std::string& Path)
{
    for (;;) {
        ++ImageSaveCounter;
        std::string name = Path + ImageSavePrefix + IntToStr(ImageSaveCounter) + ".bmp";
        if (!FileExists(name))
            return name;
        if (SaveOptions.Contains(vsoOverrideFiles) && (FileGetAttr(name) & faReadOnly) == 0)
            return name;
    }
}

std::string TTextView::WritePictureFile(TViewSaveFormat, const std::string& Path, TGraphic* Graphic)
{
    std::string name = NextPictureFileName(Path);
    if (auto* b = dynamic_cast<TBitmap*>(Graphic)) {
        b->SaveToFile(name);
    } else if (Graphic) {
        TBitmap bmp;
        bmp.SetSize(Graphic->GetWidth(), Graphic->GetHeight());
        TColor back = FStyle ? FStyle->Color : clWindow;
        bmp.Canvas()->Brush()->SetColor(back);
        bmp.Canvas()->Pen()->SetColor(back);
        bmp.Canvas()->FillRect(Rect(0, 0, Width(), Height()));
        bmp.Canvas()->Draw(0, 0, Graphic);
        bmp.SaveToFile(name);
    }
    return ExtractFileName(name);
}
