#include "framework/StdCtrls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>

#include <algorithm>

#include "framework/StdCtrlsPrivate.h"
#include "platform/AppException.h"
#include "platform/Codepage.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

// ---- Helpers shared by the standard controls ---------------------------------------------------

QColor ToQColor(TColor c)
{
    COLORREF r = ColorToRGB(c);
    return QColor(static_cast<int>(r & 0xFF), static_cast<int>((r >> 8) & 0xFF), static_cast<int>((r >> 16) & 0xFF));
}

QString ToQ(const std::string& s) { return Cp1252ToQString(s); }
std::string FromQ(const QString& s) { return QStringToCp1252(s); }

// Its place in the text as shown (StripAccelerator), or -1.
static int AcceleratorIndex(const std::string& Caption)
{
    int shown = 0;
    for (size_t i = 0; i < Caption.size(); ++i, ++shown)
        if (Caption[i] == '&') {
            if (i + 1 >= Caption.size())
                return -1;
            if (Caption[i + 1] != '&')
                return shown;
            ++i;
        }
    return -1;
}

// Toolkit widgets show "&&" as "&" and underline after "&", as our captions mean.
static QString QtCaption(const std::string& Caption) { return ToQ(Caption); }

// ---- TWidgetControl ---------------------------------------------------------------------------

// Sends the widget's keys and focus changes through the control's window procedure.
class TWidgetKeyFilter : public QObject {
public:
    explicit TWidgetKeyFilter(TWidgetControl* c) : FControl(c) {}
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (FBypass)
            return false;
        switch (e->type()) {
        case QEvent::FocusIn:
            FControl->FFocusedByMouse = static_cast<QFocusEvent*>(e)->reason() == Qt::MouseFocusReason;
            Send(WM_SETFOCUS);
            return false;
        case QEvent::FocusOut: Send(WM_KILLFOCUS); return false;
        case QEvent::KeyPress: return Key(watched, static_cast<QKeyEvent*>(e));
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            WORD vk = QtKeyToVirtualKey(k->key(), Mods(k));
            if (vk) {
                SetKeyStateDown(vk, false);
                return !Pass(WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
            }
            return false;
        }
        default: return false;
        }
    }

private:
    static unsigned Mods(QKeyEvent* k)
    {
        unsigned m = 0;
        if (k->modifiers() & Qt::ShiftModifier)
            m |= KEYMOD_SHIFT;
        if (k->modifiers() & Qt::ControlModifier)
            m |= KEYMOD_CONTROL;
        if (k->modifiers() & Qt::AltModifier)
            m |= KEYMOD_ALT;
        if (k->modifiers() & Qt::KeypadModifier)
            m |= KEYMOD_KEYPAD;
        return m;
    }
    void Send(UINT msg)
    {
        if (!FControl->HandleAllocated())
            return;
        HWND h = FControl->Handle();
        GuardedCall([&] { SendMessage(h, msg, 0, 0); });
    }
    // True when the message reached the default handling (no one swallowed it).
    bool Pass(UINT msg, WPARAM wp, LPARAM lp)
    {
        if (!FControl->HandleAllocated())
            return true;
        HWND h = FControl->Handle();
        FControl->FKeyPassed = false;
        FControl->FPassedKey = wp;
        QPointer<QObject> guard(this);
        GuardedCall([&] { SendMessage(h, msg, wp, lp); });
        if (!guard || !IsWindow(h))
            return false;
        return FControl->FKeyPassed;
    }
    bool Key(QObject* watched, QKeyEvent* k)
    {
        unsigned mods = Mods(k);
        WORD vk = QtKeyToVirtualKey(k->key(), mods);
        QPointer<QObject> guard(this);
        if (vk) {
            bool repeat = GetKeyState(vk) < 0;
            SetKeyStateDown(vk, true);
            bool alt = (mods & KEYMOD_ALT) != 0;
            if (!Pass(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, repeat ? (1 | (LPARAM{1} << 30)) : 1))
                return true;
        }
        QString t = k->text();
        int code = KeyPressCharCode(k->key(), mods, t.isEmpty() ? 0 : t.toUcs4().value(0));
        if (code < 0)
            return false;
        if ((mods & KEYMOD_ALT) && !(mods & KEYMOD_CONTROL)) {
            // Alt and a letter is an accelerator, never typed.
            Pass(WM_SYSCHAR, static_cast<WPARAM>(code), 1);
            return true;
        }
        if (!Pass(WM_CHAR, static_cast<WPARAM>(code), 1))
            return true;
        if (!guard)
            return true;
        int now = static_cast<int>(FControl->FPassedKey & 0xFF);
        if (now == code)
            return false;
        // A handler replaced the character: the widget types the new one instead.
        QString nt = Cp1252ToQString(std::string(1, static_cast<char>(now)));
        QKeyEvent replaced(QEvent::KeyPress, 0, k->modifiers() & ~Qt::ShiftModifier, nt);
        FBypass = true;
        QApplication::sendEvent(watched, &replaced);
        FBypass = false;
        return true;
    }

    TWidgetControl* FControl;
    bool FBypass = false;
};

QM_CLASS_IMPL(TWidgetControl, TWinControl)

TWidgetControl::TWidgetControl(TComponent* AOwner) : TWinControl(AOwner)
{
    SetTabStop(true);
}

TWidgetControl::~TWidgetControl() = default;

QWidget* TWidgetControl::NativeWidget()
{
    HandleNeeded();
    return FWidget;
}

QWidget* TWidgetControl::CreateNativeWidget()
{
    QWidget* w = MakeWidget();
    FWidget = w;
    QObject::connect(w, &QObject::destroyed, [this, w] {
        if (FWidget == w)
            FWidget = nullptr;
    });
    // The filter belongs to the widget, so it goes when the widget goes.
    auto* filter = new TWidgetKeyFilter(this);
    filter->setParent(w);
    w->installEventFilter(filter);
    w->setFocusPolicy(TabStop() ? Qt::StrongFocus : Qt::ClickFocus);
    ApplyFontAndColor();
    SyncWidget();
    return w;
}

void TWidgetControl::ApplyFontAndColor()
{
    if (!FWidget)
        return;
    // The face and size the drawing layer maps the font to: a widget's text measures as
    // the same font drawn on a canvas, whatever the screen's resolution.
    FWidget->setFont(FontOfHandle(Font()->GetHandle()));
    QPalette p = FWidget->palette();
    QColor text = ToQColor(Font()->GetColor());
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Active, role, text), p.setColor(QPalette::Inactive, role, text);
    QColor back = ToQColor(Color());
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Window, FParent ? ToQColor(FParent->Color()) : back);
    p.setColor(QPalette::Button, ToQColor(clBtnFace));
    FWidget->setPalette(p);
    FWidget->setAutoFillBackground(true);
}

void TWidgetControl::CMFontChanged(TMessage& M)
{
    TWinControl::CMFontChanged(M);
    ApplyFontAndColor();
}

void TWidgetControl::CMColorChanged(TMessage& M)
{
    TWinControl::CMColorChanged(M);
    ApplyFontAndColor();
}

void TWidgetControl::CMEnabledChanged(TMessage& M)
{
    TWinControl::CMEnabledChanged(M);
    if (FWidget)
        FWidget->setEnabled(Enabled());
}

void TWidgetControl::WMKeyDown(TMessage& M) { TWinControl::WMKeyDown(M); }
void TWidgetControl::WMChar(TMessage& M) { TWinControl::WMChar(M); }

void TWidgetControl::DefaultHandler(TMessage& M)
{
    switch (M.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
        // Nobody swallowed the key: the widget gets it (possibly changed by a handler).
        FKeyPassed = true;
        FPassedKey = M.WParam;
        break;
    default: break;
    }
    TWinControl::DefaultHandler(M);
}

// ---- TCustomLabel -------------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomLabel, TGraphicControl, [](TClassBuilder<TCustomLabel>& b) {
    b.Property("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize).Default(true);
    b.Property("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
    b.Property("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment).Default(taLeftJustify);
    b.Property("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout).Default(tlTop);
    b.Property("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent).Default(false);
    b.Property("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap).Default(false);
    b.Property("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar).Default(true);
})
QM_CLASS_IMPL(TLabel, TCustomLabel)

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    SetBounds(0, 0, 65, 17);
    TControl::SetAutoSize(true);
}

void TCustomLabel::SetFocusControl(TWinControl* v)
{
    SetReference(FFocusControl, v);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

namespace {
// Stores v in field; true when it differed.
template <class T> bool Store(T& field, T v)
{
    if (field == v)
        return false;
    field = v;
    return true;
}
} // namespace

void TCustomLabel::SetAlignment(TAlignment v) { if (Store(FAlignment, v)) Invalidate(); }
void TCustomLabel::SetLayout(TTextLayout v) { if (Store(FLayout, v)) Invalidate(); }
void TCustomLabel::SetTransparent(bool v) { if (Store(FTransparent, v)) Invalidate(); }
void TCustomLabel::SetWordWrap(bool v) { SetExtentFlag(FWordWrap, v); }
void TCustomLabel::SetShowAccelChar(bool v) { SetExtentFlag(FShowAccelChar, v); }
// A flag that changes the text's extent resizes an auto-sized label.
void TCustomLabel::SetExtentFlag(bool& Field, bool v)
{
    if (!Store(Field, v))
        return;
    AdjustBounds();
    Invalidate();
}
void TCustomLabel::SetAutoSize(bool v)
{
    TGraphicControl::SetAutoSize(v);
    AdjustBounds();
}
void TCustomLabel::SetText(const std::string& v)
{
    if (v == FText)
        return;
    TGraphicControl::SetText(v);
    AdjustBounds();
    Invalidate();
}
void TCustomLabel::FontChanged()
{
    TGraphicControl::FontChanged();
    AdjustBounds();
}
void TCustomLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustBounds();
}

std::vector<std::string> TCustomLabel::DisplayLines(TCanvas* C) const
{
    std::string text = FShowAccelChar ? StripAccelerator(FText) : FText;
    std::vector<std::string> paragraphs;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r')
            continue;
        if (text[i] == '\n') {
            paragraphs.push_back(cur);
            cur.clear();
        } else {
            cur += text[i];
        }
    }
    paragraphs.push_back(cur);
    if (!FWordWrap)
        return paragraphs;
    std::vector<std::string> lines;
    int width = std::max(1, FWidth);
    for (const std::string& p : paragraphs) {
        std::string line;
        size_t i = 0;
        while (i <= p.size()) {
            size_t sp = p.find(' ', i);
            std::string word = p.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
            std::string trial = line.empty() ? word : line + " " + word;
            if (!line.empty() && C->TextWidth(trial) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = trial;
            }
            if (sp == std::string::npos)
                break;
            i = sp + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

void TCustomLabel::AdjustBounds()
{
    if (!AutoSize() || IsLoading())
        return;
    HDC dc = CreateCompatibleDC(nullptr);
    TCanvas c;
    c.SetHandle(dc);
    c.Font()->Assign(Font());
    std::vector<std::string> lines = DisplayLines(&c);
    int lh = c.TextHeight("Wg");
    int w = 0;
    for (const auto& l : lines)
        w = std::max(w, c.TextWidth(l));
    c.SetHandle(nullptr);
    DeleteDC(dc);
    int h = lh * static_cast<int>(lines.size());
    if (FWordWrap)
        w = FWidth;
    int left = FLeft;
    if (!FWordWrap && FAlignment == taRightJustify)
        left = FLeft + FWidth - w;
    else if (!FWordWrap && FAlignment == taCenter)
        left = FLeft + (FWidth - w) / 2;
    SetBounds(left, FTop, w, h);
}

void TCustomLabel::Paint()
{
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    if (!FTransparent) {
        c->Brush()->SetColor(Color());
        c->Brush()->SetStyle(bsSolid);
        c->FillRect(r);
    }
    c->Brush()->SetStyle(bsClear);
    if (!Enabled())
        c->Font()->SetColor(clGrayText);
    std::vector<std::string> lines = DisplayLines(c);
    int lh = c->TextHeight("Wg");
    int total = lh * static_cast<int>(lines.size());
    int y = FLayout == tlTop ? 0 : FLayout == tlCenter ? (r.bottom - total) / 2 : r.bottom - total;
    // The accelerator is underlined, counted through the lines (a break takes one character).
    int accel = FShowAccelChar ? AcceleratorIndex(FText) : -1;
    // The metrics measure the whole character set: only a label with an accelerator needs them.
    TEXTMETRICA tm{};
    if (accel >= 0)
        GetTextMetricsA(c->GetHandle(), &tm);
    for (const auto& l : lines) {
        int w = c->TextWidth(l);
        int x = FAlignment == taLeftJustify ? 0 : FAlignment == taCenter ? (r.right - w) / 2 : r.right - w;
        c->TextOut(x, y, l);
        if (accel >= 0 && accel < static_cast<int>(l.size())) {
            int ux = x + c->TextWidth(l.substr(0, static_cast<size_t>(accel)));
            int uw = c->TextWidth(l.substr(static_cast<size_t>(accel), 1));
            int uy = y + (tm.tmAscent > 0 ? tm.tmAscent + 1 : lh - 1);
            c->Pen()->SetColor(c->Font()->GetColor());
            c->Pen()->SetStyle(psSolid);
            c->MoveTo(ux, uy);
            c->LineTo(ux + uw, uy);
        }
        accel -= static_cast<int>(l.size()) + 1;
        y += lh;
    }
}

void TCustomLabel::Dispatch(TMessage& M)
{
    if (M.Msg == CM_DIALOGCHAR) {
        // Alt and the underlined letter move the focus to the control the label names.
        const char key = static_cast<char>(M.WParam);
        const char accel = FShowAccelChar ? GetHotkey(FText) : 0;
        if (accel && FFocusControl && Enabled() && AsciiUpper(key) == accel && FFocusControl->CanFocus()) {
            KeyboardFocusMove byKeyboard;
            FFocusControl->SetFocus();
            M.Result = 1;
        }
        return;
    }
    TGraphicControl::Dispatch(M);
}

// ---- TStaticText --------------------------------------------------------------------------------

QM_CLASS_IMPL(TStaticText, TWidgetControl, [](TClassBuilder<TStaticText>& b) {
    b.Property("Alignment", &TStaticText::Alignment, &TStaticText::SetAlignment).Default(taLeftJustify);
    b.Property("BorderStyle", &TStaticText::BorderStyle, &TStaticText::SetBorderStyle).Default(sbsNone);
    b.Property("FocusControl", &TStaticText::FocusControl, &TStaticText::SetFocusControl);
    b.Property("TabStop", &TStaticText::TabStop, &TStaticText::SetTabStop).Default(false);
})

TStaticText::TStaticText(TComponent* AOwner) : TWidgetControl(AOwner)
{
    SetTabStop(false);
    SetBounds(0, 0, 65, 17);
}

void TStaticText::Notification(TComponent* AComponent, TOperation Operation)
{
    TWidgetControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

QWidget* TStaticText::MakeWidget()
{
    auto* l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    return l;
}

void TStaticText::SyncWidget()
{
    auto* l = qobject_cast<QLabel*>(Widget());
    if (!l)
        return;
    l->setText(ToQ(StripAccelerator(FText)));
    l->setAlignment((FAlignment == taLeftJustify ? Qt::AlignLeft : FAlignment == taCenter ? Qt::AlignHCenter : Qt::AlignRight) |
                    Qt::AlignTop);
    l->setFrameStyle(FBorderStyle == sbsNone ? QFrame::NoFrame : FBorderStyle == sbsSingle ? (QFrame::Box | QFrame::Plain)
                                                                                          : (QFrame::Panel | QFrame::Sunken));
    // A link-styled text (underlined, with the hand cursor) looks clickable.
    if (Cursor() == crHandPoint)
        l->setCursor(Qt::PointingHandCursor);
    else
        l->unsetCursor();
}

void TStaticText::CMFontChanged(TMessage& M)
{
    TWidgetControl::CMFontChanged(M);
    SyncWidget();
}

void TStaticText::SetText(const std::string& v)
{
    TWidgetControl::SetText(v);
    SyncWidget();
}
void TStaticText::SetAlignment(TAlignment v)
{
    FAlignment = v;
    SyncWidget();
}
void TStaticText::SetBorderStyle(TStaticBorderStyle v)
{
    FBorderStyle = v;
    SyncWidget();
}

// ---- Buttons ------------------------------------------------------------------------------------

QM_CLASS_IMPL(TButtonControl, TWidgetControl, [](TClassBuilder<TButtonControl>& b) {
    b.Property("TabStop", &TButtonControl::TabStop, &TButtonControl::SetTabStop).Default(true);
    b.Property("WordWrap", &TButtonControl::WordWrap, &TButtonControl::SetWordWrap).Default(false);
})

TButtonControl::TButtonControl(TComponent* AOwner) : TWidgetControl(AOwner) {}

void TButtonControl::SetText(const std::string& v)
{
    TWidgetControl::SetText(v);
    SyncCaption();
}

// Push, check and radio buttons all show their caption as the toolkit button's text.
void TButtonControl::SyncCaption()
{
    if (auto* b = qobject_cast<QAbstractButton*>(Widget()))
        b->setText(QtCaption(FText));
}

void TButtonControl::GuardedClick()
{
    RunUnlessBusy(FClicking, [this] { Click(); });
}

QM_CLASS_IMPL(TButton, TButtonControl, [](TClassBuilder<TButton>& b) {
    b.Property("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).Default(mrNone);
    b.Property("Default", &TButton::Default, &TButton::SetDefault).Default(false);
    b.Property("Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
})

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 75, 25); }
TButton::~TButton() = default;

namespace {
// The style draws a default button's frame in its focus colour whether it has the focus or
// not, so Tab onto it would change nothing: a focused default button adds the focus mark.
class TDefaultMarkingButton : public QPushButton {
protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPushButton::paintEvent(e);
        if (!isDefault() || !hasFocus())
            return;
        QStyleOptionButton button;
        initStyleOption(&button);
        QStyleOptionFocusRect mark;
        mark.initFrom(this);
        mark.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &button, this);
        QPainter p(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &p, this);
    }
};
} // namespace

QWidget* TButton::MakeWidget()
{
    auto* b = new TDefaultMarkingButton;
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, b, [this] { GuardedCall([&] { GuardedClick(); }); });
    return b;
}

void TButton::SyncWidget()
{
    SyncCaption();
    if (auto* b = qobject_cast<QPushButton*>(Widget()))
        b->setDefault(FDefault);
}

void TButton::Click()
{
    TButtonControl::Click();
    if (FModalResult != mrNone)
        if (TCustomForm* f = GetParentForm())
            f->SetModalResult(FModalResult);
}

bool TButton::DialogKey(WORD Key)
{
    if ((Key == VK_RETURN && FDefault) || (Key == VK_ESCAPE && FCancel)) {
        GuardedClick();
        return true;
    }
    return false;
}

void TButton::CMDialogKey(TMessage& M)
{
    if (CanFocus() && DialogKey(static_cast<WORD>(M.WParam))) {
        M.Result = 1;
        return;
    }
    TButtonControl::CMDialogKey(M);
}

void TButton::SetDefault(bool v)
{
    FDefault = v;
    SyncWidget();
}
void TButton::SetCancel(bool v) { FCancel = v; }

QM_CLASS_IMPL(TCustomCheckBox, TButtonControl, [](TClassBuilder<TCustomCheckBox>& b) {
    b.Property("Alignment", &TCustomCheckBox::Alignment, &TCustomCheckBox::SetAlignment).Default(taRightJustify);
    b.Property("AllowGrayed", &TCustomCheckBox::AllowGrayed, &TCustomCheckBox::SetAllowGrayed).Default(false);
    b.Property("Checked", &TCustomCheckBox::Checked, &TCustomCheckBox::SetChecked).Default(false).Stored(false);
    b.Property("State", &TCustomCheckBox::State, &TCustomCheckBox::SetState).Default(cbUnchecked);
})
QM_CLASS_IMPL(TCheckBox, TCustomCheckBox)

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 97, 17); }

QWidget* TCustomCheckBox::MakeWidget()
{
    auto* b = new QCheckBox;
    QObject::connect(b, &QCheckBox::clicked, b, [this] { GuardedCall([&] { Toggle(); }); });
    return b;
}

void TCustomCheckBox::SyncWidget()
{
    auto* b = qobject_cast<QCheckBox*>(Widget());
    if (!b)
        return;
    QSignalBlocker block(b);
    b->setTristate(FAllowGrayed || FState == cbGrayed);
    b->setCheckState(FState == cbChecked ? Qt::Checked : FState == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked);
    b->setLayoutDirection(FAlignment == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
    SyncCaption();
}

void TCustomCheckBox::SetState(TCheckBoxState v)
{
    bool changed = Store(FState, v);
    SyncWidget();
    // Code and user alike: a changed state clicks once.
    if (changed)
        GuardedClick();
}

void TCustomCheckBox::SetAllowGrayed(bool v)
{
    FAllowGrayed = v;
    SyncWidget();
}

void TCustomCheckBox::Toggle()
{
    switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

QM_CLASS_IMPL(TRadioButton, TButtonControl, [](TClassBuilder<TRadioButton>& b) {
    b.Property("Alignment", &TRadioButton::Alignment, &TRadioButton::SetAlignment).Default(taRightJustify);
    b.Property("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked).Default(false);
})

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 113, 17); }

QWidget* TRadioButton::MakeWidget()
{
    auto* b = new QRadioButton;
    b->setAutoExclusive(false);
    QObject::connect(b, &QRadioButton::clicked, b, [this] { GuardedCall([&] { SetChecked(true); }); });
    return b;
}

void TRadioButton::SyncWidget()
{
    auto* b = qobject_cast<QRadioButton*>(Widget());
    if (!b)
        return;
    QSignalBlocker block(b);
    b->setChecked(FChecked);
    b->setLayoutDirection(FAlignment == taLeftJustify ? Qt::RightToLeft : Qt::LeftToRight);
    SyncCaption();
}

namespace {
// The radio buttons of b's group that Tab may stop at, in Tab order.
std::vector<TRadioButton*> RadioGroupOf(const TRadioButton* b)
{
    std::vector<TRadioButton*> group;
    TWinControl* parent = b->Parent();
    if (!parent)
        return group;
    std::vector<TWinControl*> list;
    parent->GetTabOrderList(list);
    for (TWinControl* c : list)
        if (auto* r = dynamic_cast<TRadioButton*>(c); r && r->Parent() == parent && r->TabStop())
            group.push_back(r);
    return group;
}
} // namespace

bool TRadioButton::IsTabStop() const
{
    if (!TabStop())
        return false;
    const std::vector<TRadioButton*> group = RadioGroupOf(this);
    for (TRadioButton* r : group)
        if (r->Checked() && r->CanFocus())
            return r == this;
    for (TRadioButton* r : group)
        if (r->CanFocus())
            return r == this;
    return false;
}

void TRadioButton::KeyDown(WORD& Key, TShiftState Shift)
{
    TButtonControl::KeyDown(Key, Shift);
    if (Key != VK_UP && Key != VK_DOWN && Key != VK_LEFT && Key != VK_RIGHT)
        return;
    const bool forward = Key == VK_DOWN || Key == VK_RIGHT;
    Key = 0;
    const std::vector<TRadioButton*> group = RadioGroupOf(this);
    const auto at = std::find(group.begin(), group.end(), this);
    if (at == group.end())
        return;
    const std::size_t n = group.size(), i = static_cast<std::size_t>(at - group.begin());
    for (std::size_t step = 1; step < n; ++step) {
        TRadioButton* next = group[(forward ? i + step : i + n - step) % n];
        if (next->CanFocus()) {
            KeyboardFocusMove byKeyboard;
            next->SetFocus();
            next->SetChecked(true);
            return;
        }
    }
}

void TRadioButton::SetChecked(bool v)
{
    bool changed = Store(FChecked, v);
    SyncWidget();
    if (!changed || !v)
        return;
    if (FParent)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i)); r && r != this && r->FChecked) {
                r->FChecked = false;
                r->SyncWidget();
            }
    GuardedClick();
}
