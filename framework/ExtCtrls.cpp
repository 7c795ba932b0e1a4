#include "framework/ExtCtrls.h"

#include <QProgressBar>
#include <QWidget>

#include <algorithm>

#include "framework/Buttons.h"
#include "framework/Spin.h"
#include "platform/AppException.h"
#include "platform/Gdi.h"

// ---- Drawing helpers ----------------------------------------------------------------------------

void Frame3D(TCanvas* Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width)
{
    Canvas->Pen()->SetWidth(1);
    for (int i = 0; i < Width; ++i) {
        --R.right;
        --R.bottom;
        Canvas->Pen()->SetColor(TopColor);
        Canvas->MoveTo(R.left, R.bottom);
        Canvas->LineTo(R.left, R.top);
        Canvas->LineTo(R.right, R.top);
        Canvas->Pen()->SetColor(BottomColor);
        Canvas->MoveTo(R.right, R.top);
        Canvas->LineTo(R.right, R.bottom);
        Canvas->LineTo(R.left - 1, R.bottom);
        ++R.left;
        ++R.top;
    }
}

// ---- TBevel -------------------------------------------------------------------------------------

QM_CLASS_IMPL(TBevel, TGraphicControl, [](TClassBuilder<TBevel>& b) {
    b.Property("Shape", &TBevel::Shape, &TBevel::SetShape).Default(bsBox);
    b.Property("Style", &TBevel::Style, &TBevel::SetStyle).Default(bsLowered);
})

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }

void TBevel::SetShape(TBevelShape v)
{
    FShape = v;
    Invalidate();
}
void TBevel::SetStyle(TBevelStyle v)
{
    FStyle = v;
    Invalidate();
}

void TBevel::Paint()
{
    TCanvas* c = Canvas();
    TColor hi = FStyle == bsLowered ? clBtnShadow : clBtnHighlight;
    TColor lo = FStyle == bsLowered ? clBtnHighlight : clBtnShadow;
    int w = Width(), h = Height();
    auto line = [c](TColor col, int x1, int y1, int x2, int y2) {
        c->Pen()->SetColor(col);
        c->MoveTo(x1, y1);
        c->LineTo(x2, y2);
    };
    switch (FShape) {
    case bsBox: {
        TRect r{0, 0, w, h};
        Frame3D(c, r, hi, lo, 1);
        break;
    }
    case bsFrame: {
        TRect r{0, 0, w - 1, h - 1};
        Frame3D(c, r, hi, hi, 1);
        r = TRect{1, 1, w, h};
        Frame3D(c, r, lo, lo, 1);
        break;
    }
    case bsTopLine: line(hi, 0, 0, w, 0), line(lo, 0, 1, w, 1); break;
    case bsBottomLine: line(hi, 0, h - 2, w, h - 2), line(lo, 0, h - 1, w, h - 1); break;
    case bsLeftLine: line(hi, 0, 0, 0, h), line(lo, 1, 0, 1, h); break;
    case bsRightLine: line(hi, w - 2, 0, w - 2, h), line(lo, w - 1, 0, w - 1, h); break;
    case bsSpacer: break;
    }
}

// ---- TCustomPanel -------------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomPanel, TCustomControl, [](TClassBuilder<TCustomPanel>& b) {
    b.Property("Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment).Default(taCenter);
    b.Property("BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    b.Property("BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    b.Property("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth).Default(1).NoRoundTrip();
    b.Property("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth).Default(0).NoRoundTrip();
    b.Property("Color", &TCustomPanel::Color, &TCustomPanel::SetColor).Default(clBtnFace).TypeName("TColor");
    b.Property("ParentColor", &TCustomPanel::ParentColor, &TCustomPanel::SetParentColor).Default(false);
})
QM_CLASS_IMPL(TPanel, TCustomPanel)

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner)
{
    SetControlStyle(ControlStyle() + csAcceptsControls);
    SetBounds(0, 0, 185, 41);
    SetParentColor(false);
    SetColor(clBtnFace);
}

void TCustomPanel::SetBevelOuter(TPanelBevel v)
{
    FBevelOuter = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelInner(TPanelBevel v)
{
    FBevelInner = v;
    Realign();
    Invalidate();
}
void TCustomPanel::SetBevelWidth(int v)
{
    FBevelWidth = std::max(1, v);
    Realign();
    Invalidate();
}
void TCustomPanel::SetBorderWidth(int v)
{
    FBorderWidth = std::max(0, v);
    Realign();
    Invalidate();
}
void TCustomPanel::SetAlignment(TAlignment v)
{
    FAlignment = v;
    Invalidate();
}
void TCustomPanel::SetText(const std::string& v)
{
    TCustomControl::SetText(v);
    Invalidate();
}

void TCustomPanel::AlignControls(TControl* AControl, TRect& Rect)
{
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone)
        inset += FBevelWidth;
    if (FBevelInner != bvNone)
        inset += FBevelWidth;
    Rect.left += inset;
    Rect.top += inset;
    Rect.right -= inset;
    Rect.bottom -= inset;
    TCustomControl::AlignControls(AControl, Rect);
}

void TCustomPanel::Paint()
{
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    auto bevel = [&](TPanelBevel b) {
        if (b == bvNone)
            return;
        if (b == bvSpace) {
            r.left += FBevelWidth, r.top += FBevelWidth, r.right -= FBevelWidth, r.bottom -= FBevelWidth;
            return;
        }
        Frame3D(c, r, b == bvLowered ? clBtnShadow : clBtnHighlight, b == bvLowered ? clBtnHighlight : clBtnShadow,
                FBevelWidth);
    };
    bevel(FBevelOuter);
    r.left += FBorderWidth, r.top += FBorderWidth, r.right -= FBorderWidth, r.bottom -= FBorderWidth;
    bevel(FBevelInner);
    std::string text = StripAccelerator(FText);
    if (text.empty())
        return;
    c->Brush()->SetStyle(bsClear);
    if (!Enabled())
        c->Font()->SetColor(clGrayText);
    int tw = c->TextWidth(text), th = c->TextHeight(text);
    int x = FAlignment == taLeftJustify ? r.left + 2 : FAlignment == taRightJustify ? r.right - tw - 2 : (r.left + r.right - tw) / 2;
    c->TextOut(x, (r.top + r.bottom - th) / 2, text);
}

// ---- TImage -------------------------------------------------------------------------------------

QM_CLASS_IMPL(TImage, TGraphicControl, [](TClassBuilder<TImage>& b) {
    b.Property("Picture", &TImage::Picture, &TImage::SetPicture);
    b.Property("Stretch", &TImage::Stretch, &TImage::SetStretch).Default(false);
    b.Property("Proportional", &TImage::Proportional, &TImage::SetProportional).Default(false);
    b.Property("Center", &TImage::Center, &TImage::SetCenter).Default(false);
    b.Property("Transparent", &TImage::Transparent, &TImage::SetTransparent).Default(false);
})

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>())
{
    SetBounds(0, 0, 105, 105);
    FPicture->OnChange = TNotifyEvent([this](TObject* s) { PictureChanged(s); }, this);
}

TImage::~TImage() { FPicture->OnChange = nullptr; }

void TImage::PictureChanged(TObject*)
{
    if (FPicture->GetGraphic())
        FPicture->GetGraphic()->SetTransparent(FTransparent);
    if (AutoSize() && FPicture->GetWidth() > 0 && FPicture->GetHeight() > 0)
        SetBounds(FLeft, FTop, FPicture->GetWidth(), FPicture->GetHeight());
    Invalidate();
}

void TImage::SetStretch(bool v)
{
    FStretch = v;
    Invalidate();
}
void TImage::SetProportional(bool v)
{
    FProportional = v;
    Invalidate();
}
void TImage::SetCenter(bool v)
{
    FCenter = v;
    Invalidate();
}
void TImage::SetTransparent(bool v)
{
    FTransparent = v;
    if (FPicture->GetGraphic())
        FPicture->GetGraphic()->SetTransparent(v);
    Invalidate();
}

TRect TImage::DestRect() const
{
    int pw = FPicture->GetWidth(), ph = FPicture->GetHeight();
    int cw = FWidth, ch = FHeight;
    int w = pw, h = ph;
    if (pw <= 0 || ph <= 0)
        return TRect{0, 0, 0, 0};
    if (FStretch || (FProportional && (pw > cw || ph > ch))) {
        if (FProportional) {
            // Scale to fit while keeping the aspect ratio.
            if (static_cast<long long>(cw) * ph > static_cast<long long>(ch) * pw) {
                h = ch;
                w = static_cast<int>(static_cast<long long>(pw) * ch / ph);
            } else {
                w = cw;
                h = static_cast<int>(static_cast<long long>(ph) * cw / pw);
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int x = 0, y = 0;
    if (FCenter) {
        x = (cw - w) / 2;
        y = (ch - h) / 2;
    }
    return TRect{x, y, x + w, y + h};
}

void TImage::Paint()
{
    TGraphic* g = FPicture->GetGraphic();
    if (!g || g->GetEmpty())
        return;
    TRect r = DestRect();
    if (r.right - r.left == g->GetWidth() && r.bottom - r.top == g->GetHeight())
        Canvas()->Draw(r.left, r.top, g);
    else
        Canvas()->StretchDraw(r, g);
}

// ---- TShape -------------------------------------------------------------------------------------

QM_CLASS_IMPL(TShape, TGraphicControl, [](TClassBuilder<TShape>& b) {
    b.Property("Shape", &TShape::Shape, &TShape::SetShape).Default(stRectangle);
    b.Property("Brush", &TShape::Brush, &TShape::SetBrush);
    b.Property("Pen", &TShape::Pen, &TShape::SetPen);
})

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>())
{
    SetBounds(0, 0, 65, 65);
    FBrush->SetColor(clWhite);
    FPen->SetColor(clBlack);
    FBrush->OnChange = TNotifyEvent([this](TObject*) { Invalidate(); }, this);
    FPen->OnChange = TNotifyEvent([this](TObject*) { Invalidate(); }, this);
}

TShape::~TShape()
{
    FBrush->OnChange = nullptr;
    FPen->OnChange = nullptr;
}

void TShape::SetShape(TShapeType v)
{
    FShape = v;
    Invalidate();
}

// The drawing layer has no rounded rectangle: the straight parts are a rectangle clipped to
// the two bands between the corners, each corner a quarter of an ellipse clipped to its box.
static void RoundRectOn(TCanvas* c, int x, int y, int w, int h, int radius)
{
    int rx = std::max(1, std::min(radius, w / 2));
    int ry = std::max(1, std::min(radius, h / 2));
    HDC dc = c->GetHandle();
    auto clipped = [&](int l, int t, int r, int b, auto draw) {
        int saved = SaveDC(dc);
        IntersectClipRect(dc, l, t, r, b);
        draw();
        RestoreDC(dc, saved);
    };
    clipped(x, y + ry, x + w, y + h - ry, [&] { c->Rectangle(x, y, x + w, y + h); });
    clipped(x + rx, y, x + w - rx, y + h, [&] { c->Rectangle(x, y, x + w, y + h); });
    for (int right = 0; right < 2; ++right)
        for (int bottom = 0; bottom < 2; ++bottom) {
            int l = right ? x + w - rx : x, t = bottom ? y + h - ry : y;
            int ex = right ? x + w - 2 * rx : x, ey = bottom ? y + h - 2 * ry : y;
            clipped(l, t, l + rx, t + ry, [&] { c->Ellipse(ex, ey, ex + 2 * rx, ey + 2 * ry); });
        }
}


void TShape::Paint()
{
    TCanvas* c = Canvas();
    c->Pen()->Assign(FPen.get());
    c->Brush()->Assign(FBrush.get());
    int pw = FPen->GetWidth();
    int x = pw / 2, y = pw / 2;
    int w = Width() - pw + 1, h = Height() - pw + 1;
    if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
        int s = std::min(w, h);
        x += (w - s) / 2;
        y += (h - s) / 2;
        w = h = s;
    }
    if (FShape == stEllipse || FShape == stCircle)
        c->Ellipse(x, y, x + w, y + h);
    else if (FShape == stRoundRect || FShape == stRoundSquare)
        RoundRectOn(c, x, y, w, h, std::min(w, h) / 4);
    else
        c->Rectangle(x, y, x + w, y + h);
}


// ---- TCustomRadioGroup --------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomRadioGroup, TCustomControl, [](TClassBuilder<TCustomRadioGroup>& b) {
    b.Property("Columns", &TCustomRadioGroup::Columns, &TCustomRadioGroup::SetColumns).Default(1).NoRoundTrip();
    b.Property("Items", &TCustomRadioGroup::Items, &TCustomRadioGroup::SetItems);
    // Out of range clamps to the items there are.
    b.Property("ItemIndex", &TCustomRadioGroup::ItemIndex, &TCustomRadioGroup::SetItemIndex).Default(-1).NoRoundTrip();
    b.Property("Color", &TCustomRadioGroup::Color, &TCustomRadioGroup::SetColor).Default(clBtnFace).TypeName("TColor");
    b.Property("ParentColor", &TCustomRadioGroup::ParentColor, &TCustomRadioGroup::SetParentColor).Default(false);
})
QM_CLASS_IMPL(TRadioGroup, TCustomRadioGroup)

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner) : TCustomControl(AOwner), FItems(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 185, 105);
    SetParentColor(false);
    SetColor(clBtnFace);
    SetTabStop(true);
    FItems->OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); }, this);
}

TCustomRadioGroup::~TCustomRadioGroup() { FItems->OnChange = nullptr; }

TStrings* TCustomRadioGroup::Items() const { return FItems.get(); }
void TCustomRadioGroup::SetItems(TStrings* v) { FItems->Assign(v); }

void TCustomRadioGroup::ItemsChanged()
{
    // The buttons are this group's own parts: owned by it, so never streamed with the form.
    FUpdating = true;
    while (static_cast<int>(FButtons.size()) > FItems->Count()) {
        TRadioButton* b = FButtons.back();
        FButtons.pop_back();
        FreeObject(b);
    }
    while (static_cast<int>(FButtons.size()) < FItems->Count()) {
        auto* b = new TRadioButton(this);
        b->OnClick = TNotifyEvent([this](TObject* s) { ButtonClick(s); }, this);
        b->SetParent(this);
        FButtons.push_back(b);
    }
    for (size_t i = 0; i < FButtons.size(); ++i) {
        FButtons[i]->SetCaption(FItems->Strings(static_cast<int>(i)));
        FButtons[i]->SetEnabled(Enabled());
    }
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    for (size_t i = 0; i < FButtons.size(); ++i)
        FButtons[i]->SetChecked(static_cast<int>(i) == FItemIndex);
    FUpdating = false;
    ArrangeButtons();
}

void TCustomRadioGroup::WMSetFocus(TMessage& M)
{
    TCustomControl::WMSetFocus(M);
    for (TRadioButton* b : FButtons)
        if (b->IsTabStop() && b->CanFocus()) {
            b->SetFocus();
            break;
        }
}

void TCustomRadioGroup::ArrangeButtons()
{
    if (FButtons.empty())
        return;
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas m;
    m.SetHandle(dc);
    m.Font()->Assign(Font());
    int th = m.TextHeight("Wg");
    m.SetHandle(nullptr);
    DeleteDC(dc);
    int cols = std::max(1, FColumns);
    int count = static_cast<int>(FButtons.size());
    int rows = (count + cols - 1) / cols;
    int top = th + 2;
    int avail = std::max(1, ClientHeight() - top - 4);
    int rowH = std::max(th + 2, avail / std::max(1, rows));
    int colW = std::max(1, (ClientWidth() - 16) / cols);
    for (int i = 0; i < count; ++i) {
        int col = i / rows, row = i % rows;
        FButtons[i]->SetBounds(8 + col * colW, top + row * rowH + (rowH - th - 2) / 2, colW - 4, th + 4);
    }
}

void TCustomRadioGroup::ButtonClick(TObject* Sender)
{
    if (FUpdating)
        return;
    auto it = std::find(FButtons.begin(), FButtons.end(), Sender);
    if (it == FButtons.end())
        return;
    FItemIndex = static_cast<int>(it - FButtons.begin());
    Click();
}

void TCustomRadioGroup::SetItemIndex(int v)
{
    if (IsLoading()) {
        FItemIndex = v;
        return;
    }
    v = std::clamp(v, -1, FItems->Count() - 1);
    if (v == FItemIndex)
        return;
    if (v < 0) {
        FUpdating = true;
        for (TRadioButton* b : FButtons)
            b->SetChecked(false);
        FUpdating = false;
        FItemIndex = -1;
        return;
    }
    // Checking the button clicks it, which sets the index and fires OnClick.
    FButtons[static_cast<size_t>(v)]->SetChecked(true);
}

void TCustomRadioGroup::Loaded()
{
    TCustomControl::Loaded();
    int v = FItemIndex;
    FItemIndex = -1;
    FUpdating = true;
    if (v >= 0 && v < ButtonCount()) {
        FButtons[static_cast<size_t>(v)]->SetChecked(true);
        FItemIndex = v;
    }
    FUpdating = false;
    ArrangeButtons();
}

void TCustomRadioGroup::SetColumns(int v)
{
    FColumns = std::clamp(v, 1, 16);
    ArrangeButtons();
}

void TCustomRadioGroup::SetText(const std::string& v)
{
    TCustomControl::SetText(v);
    Invalidate();
}

void TCustomRadioGroup::WMSize(TMessage& M)
{
    TCustomControl::WMSize(M);
    ArrangeButtons();
}

void TCustomRadioGroup::CMFontChanged(TMessage& M)
{
    TCustomControl::CMFontChanged(M);
    ArrangeButtons();
}

void TCustomRadioGroup::CMEnabledChanged(TMessage& M)
{
    TCustomControl::CMEnabledChanged(M);
    for (TRadioButton* b : FButtons)
        b->SetEnabled(Enabled());
}

void TCustomRadioGroup::Paint()
{
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
    int th = c->TextHeight("Wg");
    TRect f{0, th / 2, r.right, r.bottom};
    Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
    f = TRect{1, th / 2 + 1, r.right, r.bottom};
    Frame3D(c, f, clBtnHighlight, clBtnShadow, 1);
    std::string text = StripAccelerator(FText);
    if (!text.empty()) {
        c->Brush()->SetColor(Color());
        c->Brush()->SetStyle(bsSolid);
        if (!Enabled())
            c->Font()->SetColor(clGrayText);
        c->TextOut(8, 0, " " + text + " ");
    }
}

// ---- TLabeledEdit -------------------------------------------------------------------------------

QM_CLASS_IMPL(TBoundLabel, TCustomLabel)

TBoundLabel::TBoundLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}

QM_CLASS_IMPL(TCustomLabeledEdit, TCustomEdit, [](TClassBuilder<TCustomLabeledEdit>& b) {
    b.Property("EditLabel", &TCustomLabeledEdit::EditLabel);
    b.Property("LabelPosition", &TCustomLabeledEdit::LabelPosition, &TCustomLabeledEdit::SetLabelPosition).Default(lpAbove);
    b.Property("LabelSpacing", &TCustomLabeledEdit::LabelSpacing, &TCustomLabeledEdit::SetLabelSpacing).Default(3);
})
QM_CLASS_IMPL(TLabeledEdit, TCustomLabeledEdit)

TCustomLabeledEdit::TCustomLabeledEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    // Owned by the edit: a part of it, streamed through the EditLabel property.
    FEditLabel = new TBoundLabel(this);
    FEditLabel->FreeNotification(this);
    FEditLabel->SetFocusControl(this);
}

TCustomLabeledEdit::~TCustomLabeledEdit() = default;

void TCustomLabeledEdit::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomEdit::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FEditLabel)
        FEditLabel = nullptr;
}

void TCustomLabeledEdit::PlaceLabel()
{
    if (!FEditLabel)
        return;
    int lw = FEditLabel->Width(), lh = FEditLabel->Height();
    int x = FLeft, y = FTop;
    switch (FLabelPosition) {
    case lpAbove: y = FTop - lh - FLabelSpacing; break;
    case lpBelow: y = FTop + FHeight + FLabelSpacing; break;
    case lpLeft:
        x = FLeft - lw - FLabelSpacing;
        y = FTop + (FHeight - lh) / 2;
        break;
    case lpRight:
        x = FLeft + FWidth + FLabelSpacing;
        y = FTop + (FHeight - lh) / 2;
        break;
    }
    FEditLabel->SetBounds(x, y, lw, lh);
}

void TCustomLabeledEdit::SetLabelPosition(TLabelPosition v)
{
    FLabelPosition = v;
    PlaceLabel();
}
void TCustomLabeledEdit::SetLabelSpacing(int v)
{
    FLabelSpacing = v;
    PlaceLabel();
}
void TCustomLabeledEdit::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
    PlaceLabel();
}
void TCustomLabeledEdit::SetParent(TWinControl* AParent)
{
    TCustomEdit::SetParent(AParent);
    if (FEditLabel) {
        FEditLabel->SetParent(AParent);
        PlaceLabel();
    }
}
void TCustomLabeledEdit::SetVisible(bool v)
{
    TCustomEdit::SetVisible(v);
    if (FEditLabel)
        FEditLabel->SetVisible(v);
}
void TCustomLabeledEdit::SetEnabled(bool v)
{
    TCustomEdit::SetEnabled(v);
    if (FEditLabel)
        FEditLabel->SetEnabled(v);
}

// ---- TProgressBar -------------------------------------------------------------------------------

QM_CLASS_IMPL(TProgressBar, TWidgetControl, [](TClassBuilder<TProgressBar>& b) {
    b.Property("Min", &TProgressBar::Min, &TProgressBar::SetMin).Default(0);
    b.Property("Max", &TProgressBar::Max, &TProgressBar::SetMax).Default(100);
    // Clamped to the range.
    b.Property("Position", &TProgressBar::Position, &TProgressBar::SetPosition).Default(0).NoRoundTrip();
    b.Property("Step", &TProgressBar::Step, &TProgressBar::SetStep).Default(10);
    b.Property("Smooth", &TProgressBar::Smooth, &TProgressBar::SetSmooth).Default(false);
    b.Property("Orientation", &TProgressBar::Orientation, &TProgressBar::SetOrientation).Default(pbHorizontal);
    b.Property("TabStop", &TProgressBar::TabStop, &TProgressBar::SetTabStop).Default(false);
})

TProgressBar::TProgressBar(TComponent* AOwner) : TWidgetControl(AOwner)
{
    SetTabStop(false);
    SetBounds(0, 0, 150, 16);
}

QWidget* TProgressBar::MakeWidget()
{
    auto* p = new QProgressBar;
    p->setTextVisible(false);
    return p;
}

void TProgressBar::SyncWidget()
{
    auto* p = qobject_cast<QProgressBar*>(Widget());
    if (!p)
        return;
    p->setOrientation(FOrientation == pbHorizontal ? Qt::Horizontal : Qt::Vertical);
    p->setRange(Lo(), Hi());
    p->setValue(FPosition);
}

void TProgressBar::SetMin(int v)
{
    FMin = v;
    FPosition = std::clamp(FPosition, Lo(), Hi());
    SyncWidget();
}
void TProgressBar::SetMax(int v)
{
    FMax = v;
    FPosition = std::clamp(FPosition, Lo(), Hi());
    SyncWidget();
}
void TProgressBar::SetPosition(int v)
{
    FPosition = std::clamp(v, Lo(), Hi());
    SyncWidget();
}
void TProgressBar::SetSmooth(bool v)
{
    FSmooth = v;
    SyncWidget();
}
void TProgressBar::SetOrientation(TProgressBarOrientation v)
{
    FOrientation = v;
    SyncWidget();
}
void TProgressBar::StepIt() { StepBy(FStep); }
void TProgressBar::StepBy(int Delta)
{
    long long p = static_cast<long long>(FPosition) + Delta;
    if (p > Hi())
        p = Lo() + (p - Hi() - 1) % (static_cast<long long>(Hi()) - Lo() + 1);
    else if (p < Lo())
        p = Hi() - (Lo() - p - 1) % (static_cast<long long>(Hi()) - Lo() + 1);
    SetPosition(static_cast<int>(p));
}

// ---- TTimer -------------------------------------------------------------------------------------

// What the hidden window's procedure reaches; it outlives the timer while a tick runs.
struct TTimer::State {
    TTimer* Owner = nullptr;
    HWND Wnd = nullptr;
};

QM_CLASS_IMPL(TTimer, TComponent, [](TClassBuilder<TTimer>& b) {
    b.Property("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
    b.Property("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000u);
    b.Property("OnTimer", &TTimer::OnTimer);
})

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FState(std::make_shared<State>())
{
    FState->Owner = this;
    std::weak_ptr<State> weak = FState;
    FState->Wnd = AllocateHWnd([weak](TMessage& M) {
        std::shared_ptr<State> s = weak.lock();
        if (!s || !s->Owner)
            return;
        if (M.Msg == WM_TIMER) {
            GuardedCall([&] { s->Owner->Timer(); });
            // The handler may have freed the timer: only the state is touched from here on.
        } else {
            M.Result = DefWindowProc(s->Wnd, M.Msg, M.WParam, M.LParam);
        }
    });
}

void TTimer::BeforeDestroy()
{
    if (FState) {
        FState->Owner = nullptr;
        if (FState->Wnd) {
            KillTimer(FState->Wnd, 1);
            DeallocateHWnd(FState->Wnd);
            FState->Wnd = nullptr;
        }
    }
    TComponent::BeforeDestroy();
}

TTimer::~TTimer()
{
    if (FState && FState->Wnd) {
        FState->Owner = nullptr;
        KillTimer(FState->Wnd, 1);
        DeallocateHWnd(FState->Wnd);
        FState->Wnd = nullptr;
    }
}

void TTimer::UpdateTimer()
{
    if (!FState || !FState->Wnd)
        return;
    KillTimer(FState->Wnd, 1);
    if (FInterval != 0 && FEnabled && !IsLoading())
        SetTimer(FState->Wnd, 1, FInterval, nullptr);
}

void TTimer::SetEnabled(bool v)
{
    if (v == FEnabled)
        return;
    FEnabled = v;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned v)
{
    if (v == FInterval)
        return;
    FInterval = v;
    UpdateTimer();
}

void TTimer::Loaded()
{
    TComponent::Loaded();
    UpdateTimer();
}

void TTimer::Timer() { OnTimer(this); }

void RegisterStdControlsClasses()
{
    RegisterClasses({TLabel::StaticClassInfo(), TStaticText::StaticClassInfo(), TEdit::StaticClassInfo(),
                     TMemo::StaticClassInfo(), TButton::StaticClassInfo(), TCheckBox::StaticClassInfo(),
                     TRadioButton::StaticClassInfo(), TComboBox::StaticClassInfo(), TListBox::StaticClassInfo(),
                     TBevel::StaticClassInfo(), TPanel::StaticClassInfo(), TImage::StaticClassInfo(),
                     TShape::StaticClassInfo(), TRadioGroup::StaticClassInfo(), TBoundLabel::StaticClassInfo(),
                     TLabeledEdit::StaticClassInfo(), TProgressBar::StaticClassInfo(), TTimer::StaticClassInfo(),
                     TSpinEdit::StaticClassInfo(), TBitBtn::StaticClassInfo()});
}
