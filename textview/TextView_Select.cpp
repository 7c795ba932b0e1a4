#include <algorithm>
#include <climits>

#include "framework/Clipbrd.h"
#include "framework/ExtCtrls.h"
#include "framework/SysUtils.h"
#include "platform/Gdi.h"
#include "textview/TextView.h"

bool TTextView::HasSelection() const
{
    int s, e, so, eo;
    OrderedSelection(s, e, so, eo);
    return s != -1 && e != -1 && (s != e || so != eo);
}

void TTextView::OrderedSelection(int& S, int& E, int& SO, int& EO) const
{
    if (SelEndNo < SelStartNo) {
        S = SelEndNo;
        E = SelStartNo;
        SO = SelEndOffs;
        EO = SelStartOffs;
        return;
    }
    S = SelStartNo;
    E = SelEndNo;
    SO = SelStartOffs;
    EO = SelEndOffs;
    if (S == E && SelStartOffs > SelEndOffs)
        std::swap(SO, EO);
}

void TTextView::SelectionToItems(int& StartItem, int& EndItem, int& StartOffs, int& EndOffs) const
{
    int s, e, so, eo;
    OrderedSelection(s, e, so, eo);
    StartItem = s;
    EndItem = e;
    StartOffs = so;
    EndOffs = eo;
    if (s == -1 || e == -1 || s >= DrawItems->Count() || e >= DrawItems->Count()) {
        StartItem = EndItem = -1;
        return;
    }
    auto convert = [&](int piece, int offs, int& item, int& itemOffs) {
        TDrawLineInfo* p = Piece(piece);
        item = p->ItemNo;
        itemOffs = LineInfo(p->ItemNo)->StyleNo >= 0 ? offs + p->Offs - 1 : offs;
    };
    convert(s, so, StartItem, StartOffs);
    convert(e, eo, EndItem, EndOffs);
}

void TTextView::SelectionFromItems(int StartItem, int EndItem, int StartOffs, int EndOffs)
{
    if (StartItem == -1)
        return;
    int count = DrawItems->Count();
    // Returns the piece and offset that take an item end, or -1 when none does.
    auto take = [&](int item, int offs, int& pieceOut, int& offsOut) {
        pieceOut = -1;
        for (int i = 0; i < count; ++i) {
            TDrawLineInfo* p = Piece(i);
            if (p->ItemNo != item)
                continue;
            bool takes;
            if (LineInfo(item)->StyleNo < 0) {
                takes = true;
            } else {
                int len = static_cast<int>(DrawItems->Strings(i).size());
                int itemLen = static_cast<int>(Items->Strings(item).size());
                bool nextOther = i + 1 >= count || Piece(i + 1)->ItemNo != item;
                bool prevOther = i == 0 || Piece(i - 1)->ItemNo != item;
                takes = (offs >= p->Offs && offs < p->Offs + len) || (offs > itemLen && nextOther) ||
                        (offs < p->Offs && prevOther);
            }
            if (takes) {
                pieceOut = i;
                offsOut = LineInfo(item)->StyleNo < 0 ? offs : std::max(0, offs - p->Offs + 1);
            }
        }
        if (pieceOut != -1)
            return;
        // An end on a blank consumed by wrapping: after the last piece of the item before it.
        for (int i = 0; i < count; ++i) {
            TDrawLineInfo* p = Piece(i);
            if (p->ItemNo == item && p->Offs <= offs) {
                pieceOut = i;
                offsOut = static_cast<int>(DrawItems->Strings(i).size()) + 1;
            }
        }
    };
    int piece, offs;
    take(StartItem, StartOffs, piece, offs);
    if (piece != -1) {
        SelStartNo = piece;
        SelStartOffs = offs;
    } else {
        SelStartNo = -1;
    }
    take(EndItem, EndOffs, piece, offs);
    if (piece != -1 && SelStartNo != -1) {
        SelEndNo = piece;
        SelEndOffs = offs;
    } else {
        SelStartNo = SelEndNo = -1;
        SelStartOffs = SelEndOffs = 0;
    }
}

std::string TTextView::SelectedText() const
{
    if (!HasSelection())
        return std::string();
    int si, ei, so, eo;
    SelectionToItems(si, ei, so, eo);
    if (si == -1)
        return std::string();
    auto isText = [&](int item) { return LineInfo(item)->StyleNo >= 0; };
    if (si == ei)
        return isText(si) ? Copy(Items->Strings(si), so, eo - so) : std::string();
    std::string r = isText(si) ? Copy(Items->Strings(si), so, INT_MAX) : std::string();
    for (int i = si + 1; i <= ei; ++i) {
        TLineInfo* li = LineInfo(i);
        if (li->StyleNo != ivCheckpoint && !li->SameAsPrev)
            r += '\r';
        if (li->StyleNo >= 0)
            r += i == ei ? Copy(Items->Strings(i), 1, eo - 1) : Items->Strings(i);
    }
    return AdjustLineBreaks(r, tlbsCRLF);
}

void TTextView::CopySelection()
{
    if (!HasSelection())
        return;
    std::string text = SelectedText();
    Clipboard()->Clear();
    Clipboard()->SetTextBuf(text.c_str());
}

void TTextView::DropSelection()
{
    Selecting = false;
    SelStartNo = SelEndNo = -1;
    SelStartOffs = SelEndOffs = 0;
    OnSelect(this);
}

// Bisects pieces 1..Count-1, ordered by Top, down to a neighbouring lo..hi around Y.
void TTextView::BracketRowAt(int Y, int& lo, int& hi) const
{
    lo = 1;
    hi = DrawItems->Count() - 1;
    while (hi - lo >= 2) {
        int mid = (lo + hi) / 2;
        if (Piece(mid)->Top > Y)
            hi = mid;
        else
            lo = mid;
    }
}

void TTextView::SelectionPointAt(int X, int Y, int& PieceNo, int& Offset)
{
    int count = DrawItems->Count();
    if (count == 0) {
        PieceNo = -1;
        return;
    }
    int idx;
    if (Y < Piece(0)->Top + Piece(0)->Height) {
        idx = 0;
    } else {
        int lo, hi;
        BracketRowAt(Y, lo, hi);
        idx = Piece(hi)->Top <= Y ? hi : std::min(lo, count - 1);
    }
    int t = Piece(idx)->Top, b = t + Piece(idx)->Height;
    int first = idx, last = idx;
    while (first > 0 && Piece(first - 1)->Top + Piece(first - 1)->Height > t)
        --first;
    while (last + 1 < count && Piece(last + 1)->Top < b)
        ++last;
    TRect box{Piece(first)->Left, Piece(first)->Top, Piece(first)->Left + Piece(first)->Width,
              Piece(first)->Top + Piece(first)->Height};
    for (int i = first + 1; i <= last; ++i) {
        TDrawLineInfo* p = Piece(i);
        box.left = std::min<int>(box.left, p->Left);
        box.top = std::min<int>(box.top, p->Top);
        box.right = std::max<int>(box.right, p->Left + p->Width);
        box.bottom = std::max<int>(box.bottom, p->Top + p->Height);
    }
    auto isText = [&](int i) { return LineInfo(Piece(i)->ItemNo)->StyleNo >= 0; };
    auto textLen = [&](int i) { return static_cast<int>(DrawItems->Strings(i).size()); };

    if (Y < box.top || X < box.left) {
        PieceNo = first;
        Offset = isText(first) ? 1 : 0;
        return;
    }
    if (Y <= box.bottom && X <= box.right) {
        int found = -1, nearest = first, nearestDist = INT_MAX;
        for (int i = first; i <= last; ++i) {
            TDrawLineInfo* p = Piece(i);
            if (p->Left <= X && X <= p->Left + p->Width) {
                found = i;
                if (isText(i)) {
                    SelectFont(Canvas(), LineInfo(p->ItemNo)->StyleNo);
                    int fit = FitChars(Canvas(), DrawItems->Strings(i), X - p->Left);
                    Offset = std::min(fit + 1, textLen(i));
                } else {
                    Offset = 1;
                }
            } else {
                int d = X < p->Left ? p->Left - X : X - (p->Left + p->Width);
                if (d < nearestDist) {
                    nearestDist = d;
                    nearest = i;
                }
            }
        }
        if (found != -1) {
            PieceNo = found;
            return;
        }
        // A gap between two pieces of the line: the nearest piece's near edge.
        TDrawLineInfo* p = Piece(nearest);
        PieceNo = nearest;
        if (X < p->Left)
            Offset = isText(nearest) ? 1 : 0;
        else
            Offset = isText(nearest) ? textLen(nearest) + 1 : 1;
        return;
    }
    PieceNo = last + 1;
    Offset = 1;
    if (PieceNo >= count) {
        PieceNo = count - 1;
        Offset = textLen(PieceNo) + 1;
    }
    if (!isText(PieceNo))
        Offset = 0;
}

int TTextView::DrawItemAtPoint(int X, int Y) const
{
    int count = DrawItems->Count();
    if (count == 0)
        return -1;
    auto contains = [&](int i) {
        TDrawLineInfo* p = Piece(i);
        return p->Top <= Y && Y < p->Top + p->Height && p->Left <= X && X < p->Left + p->Width;
    };
    if (contains(0))
        return 0;
    if (count == 1)
        return -1;
    int lo, hi;
    BracketRowAt(Y, lo, hi);
    int foundTop = Piece(lo)->Top;
    while (lo > 0 && Piece(lo - 1)->Top + Piece(lo - 1)->Height > foundTop)
        --lo;
    int start = lo;
    for (int line = 0; line < 2 && start < count; ++line) {
        TDrawLineInfo* f = Piece(start);
        int end = start + 1;
        while (end < count && Piece(end)->Top <= f->Top + f->Height - 1)
            ++end;
        for (int i = start; i < end; ++i)
            if (contains(i))
                return i;
        start = end;
    }
    return -1;
}

bool TTextView::WordAtPoint(std::string& Word, int& StyleNo)
{
    int i = DrawItemAtPoint(ClickX + HPos, ClickY + VPos * StepHeight);
    if (i == -1)
        return false;
    TDrawLineInfo* p = Piece(i);
    Word = DrawItems->Strings(i);
    StyleNo = LineInfo(p->ItemNo)->StyleNo;
    if (StyleNo < 0) {
        Word.clear();
        return true;
    }
    // A piece left empty by a blank consumed at a wrap has no word.
    if (Word.empty())
        return true;
    SelectFont(Canvas(), StyleNo);
    int fit = FitChars(Canvas(), Word, ClickX + HPos - p->Left);
    int pos = std::min(fit + 1, static_cast<int>(Word.size())); // 1-based
    auto isDelim = [&](char c) { return Delimiters.find(c) != std::string::npos; };
    if (isDelim(Word[static_cast<size_t>(pos - 1)])) {
        Word.clear();
        return true;
    }
    int from = pos, to = pos;
    while (from > 1 && !isDelim(Word[static_cast<size_t>(from - 2)]))
        --from;
    while (to < static_cast<int>(Word.size()) && !isDelim(Word[static_cast<size_t>(to)]))
        ++to;
    Word = Word.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
    return true;
}

int TTextView::JumpAt(int X, int Y) const
{
    int vy = VPos * StepHeight;
    for (int k = 0; k < Jumps->Count(); ++k) {
        TJumpInfo* j = Jump(k);
        if (j->Left - HPos <= X && X <= j->Left + j->Width - HPos && j->Top - vy <= Y && Y <= j->Top + j->Height - vy)
            return k;
    }
    return -1;
}

void TTextView::InvalidateJump(int Id)
{
    if (FStyle && FStyle->FullRedraw) {
        Invalidate();
    } else if (HandleAllocated()) {
        int vy = VPos * StepHeight;
        for (int k = 0; k < Jumps->Count(); ++k) {
            TJumpInfo* j = Jump(k);
            if (j->Id != Id)
                continue;
            RECT r{j->Left - HPos - 5, j->Top - vy - 5, j->Left - HPos + j->Width + 5, j->Top - vy + j->Height + 5};
            InvalidateRect(Handle(), &r, FALSE);
        }
    }
    Update();
}

// ---- Mouse and keys ------------------------------------------------------------------------

void TTextView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (Button != mbLeft)
        return;
    ClickX = X;
    ClickY = Y;
    int j = JumpAt(X, Y);
    PressedJumpId = j == -1 ? -1 : Jump(j)->Id;
    if (AllowSelection) {
        int piece = -1;
        SelectionPointAt(X + HPos, Y + VPos * StepHeight, piece, SelStartOffs);
        SelStartNo = piece;
        SelEndNo = piece;
        Selecting = piece != -1;
        SelEndOffs = SelStartOffs;
        Invalidate();
        if (!ScrollTimer) {
            ScrollTimer = new TTimer(nullptr);
            ScrollTimer->OnTimer = TNotifyEvent([this](TObject* s) { AutoScrollTick(s); }, this, "AutoScrollTick");
            ScrollTimer->SetInterval(100);
            ScrollTimer->SetEnabled(true);
        }
    }
    std::string word;
    int style = 0;
    if (SingleClick && OnViewDblClick && WordAtPoint(word, style))
        OnViewDblClick(this, word, style);
    TViewScroller::MouseDown(Button, Shift, X, Y);
}

void TTextView::MouseMove(TShiftState Shift, int X, int Y)
{
    ScrollDelta = 0;
    if (Y < 0)
        ScrollDelta = -1;
    if (Y < -20)
        ScrollDelta = -10;
    if (Y > ClientHeight())
        ScrollDelta = 1;
    if (Y > ClientHeight() + 20)
        ScrollDelta = 10;
    TViewScroller::MouseMove(Shift, X, Y);
    if (Selecting) {
        DragX = X;
        DragY = Y;
        int yc = std::clamp(Y, 0, ClientHeight());
        int piece = SelEndNo;
        SelectionPointAt(X + HPos, yc + VPos * StepHeight, piece, SelEndOffs);
        SelEndNo = piece;
        Invalidate();
    }
    int k = JumpAt(X, Y);
    if (k != -1) {
        int id = Jump(k)->Id;
        SetCursor(FStyle ? FStyle->JumpCursor : crJumpCursor);
        if (OnViewMouseMove && id != HoverJumpId)
            OnViewMouseMove(this, id + FirstJumpNo);
        if (HoverDrawn && HoverJumpId != -1 && id != HoverJumpId) {
            HoverDrawn = false;
            InvalidateJump(HoverJumpId);
        }
        HoverJumpId = id;
        if (FStyle && FStyle->HoverColor != clNone && !HoverDrawn) {
            HoverDrawn = true;
            InvalidateJump(HoverJumpId);
        }
    } else {
        SetCursor(crDefault);
        LeaveJump();
        if (Selecting)
            Invalidate();
    }
}

void TTextView::AutoScrollTick(TObject*)
{
    if (ScrollDelta == 0)
        return;
    SetVerticalPosition(GetVerticalPosition() + ScrollDelta);
    MouseMove(TShiftState{}, DragX, DragY);
}

void TTextView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    FreeAndNil(ScrollTimer);
    ClickX = X;
    ClickY = Y;
    if (Selecting && Button == mbLeft) {
        int yc = std::clamp(Y, 0, ClientHeight());
        int piece = SelEndNo;
        SelectionPointAt(X + HPos, yc + VPos * StepHeight, piece, SelEndOffs);
        SelEndNo = piece;
        Selecting = false;
        Invalidate();
        OnSelect(this);
    }
    if (Button == mbRight) {
        TViewScroller::MouseUp(Button, Shift, X, Y);
        std::string word;
        int style = 0;
        if (OnViewRightClick && WordAtPoint(word, style)) {
            TPoint sp = ClientToScreen(Point(X, Y));
            OnViewRightClick(this, word, style, sp.x, sp.y);
        }
    }
    if (Button == mbLeft && PressedJumpId != -1 && OnJump) {
        int vy = VPos * StepHeight;
        for (int k = 0; k < Jumps->Count(); ++k) {
            TJumpInfo* j = Jump(k);
            if (j->Id == PressedJumpId && j->Left - HPos <= X && X <= j->Left + j->Width - HPos &&
                j->Top - vy <= Y && Y <= j->Top + j->Height - vy) {
                OnJump(this, j->Id + FirstJumpNo);
                break;
            }
        }
        PressedJumpId = -1;
        TViewScroller::MouseUp(Button, Shift, X, Y);
    }
}

// The mouse is off any jump: its hover drawing goes, and a listener hears -1 once.
void TTextView::LeaveJump()
{
    if (HoverDrawn && HoverJumpId != -1) {
        HoverDrawn = false;
        InvalidateJump(HoverJumpId);
    }
    if (OnViewMouseMove && HoverJumpId != -1) {
        HoverJumpId = -1;
        OnViewMouseMove(this, -1);
    }
}

void TTextView::CMMouseLeave(TMessage& M)
{
    LeaveJump();
    TViewScroller::CMMouseLeave(M);
}

void TTextView::Click()
{
    if (CanFocus())
        SetFocus();
    TViewScroller::Click();
}

void TTextView::DblClick()
{
    TViewScroller::DblClick();
    std::string word;
    int style = 0;
    if (!SingleClick && OnViewDblClick && WordAtPoint(word, style))
        OnViewDblClick(this, word, style);
}

void TTextView::KeyDown(WORD& Key, TShiftState Shift)
{
    if (HasSelection() && Shift.Contains(ssCtrl)) {
        if (Key == 67 || Key == VK_INSERT)
            CopySelection();
        return;
    }
    TViewScroller::KeyDown(Key, Shift);
}
