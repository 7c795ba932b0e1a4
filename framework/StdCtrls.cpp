#include "framework/StdCtrls.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextOption>
#include <QValidator>

#include <algorithm>

#include "platform/AppException.h"
#include "platform/Codepage.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

namespace {
// Runs fn with busy set, clearing it however fn ends; does nothing while busy is set, so a
// handler that repeats its own change does not fire its event again.
template <class F> void RunUnlessBusy(bool& busy, F&& fn)
{
    if (busy)
        return;
    busy = true;
    struct Reset {
        bool& Flag;
        ~Reset() { Flag = false; }
    } reset{busy};
    fn();
}
} // namespace

// ---- Helpers shared by the control units ----------------------------------------------------

QColor ToQColor(TColor c)
{
    COLORREF r = ColorToRGB(c);
    return QColor(static_cast<int>(r & 0xFF), static_cast<int>((r >> 8) & 0xFF), static_cast<int>((r >> 16) & 0xFF));
}

QString ToQ(const std::string& s) { return Cp1252ToQString(s); }
std::string FromQ(const QString& s) { return QStringToCp1252(s); }

std::string StripAccelerator(const std::string& Caption)
{
    std::string out;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Caption[i];
    }
    return out;
}

// The character after a single "&", or 0.
static char AcceleratorOf(const std::string& Caption)
{
    for (size_t i = 0; i + 1 < Caption.size(); ++i)
        if (Caption[i] == '&') {
            if (Caption[i + 1] != '&')
                return Caption[i + 1];
            ++i;
        }
    return 0;
}

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
        case QEvent::FocusIn: Send(WM_SETFOCUS); return false;
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
    if (FFocusControl)
        FFocusControl->RemoveFreeNotification(this);
    FFocusControl = v;
    if (v)
        v->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation)
{
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FFocusControl)
        FFocusControl = nullptr;
}

void TCustomLabel::SetAlignment(TAlignment v)
{
    if (v != FAlignment) {
        FAlignment = v;
        Invalidate();
    }
}
void TCustomLabel::SetLayout(TTextLayout v)
{
    if (v != FLayout) {
        FLayout = v;
        Invalidate();
    }
}
void TCustomLabel::SetTransparent(bool v)
{
    if (v != FTransparent) {
        FTransparent = v;
        Invalidate();
    }
}
void TCustomLabel::SetWordWrap(bool v)
{
    if (v != FWordWrap) {
        FWordWrap = v;
        AdjustBounds();
        Invalidate();
    }
}
void TCustomLabel::SetShowAccelChar(bool v)
{
    if (v != FShowAccelChar) {
        FShowAccelChar = v;
        AdjustBounds();
        Invalidate();
    }
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
    TEXTMETRICA tm{};
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
        const char accel = FShowAccelChar ? AcceleratorOf(FText) : 0;
        if (accel && FFocusControl && Enabled() && UpperCase(std::string(1, key)) == UpperCase(std::string(1, accel)) &&
            FFocusControl->CanFocus()) {
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

// ---- TCustomEdit --------------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomEdit, TWidgetControl, [](TClassBuilder<TCustomEdit>& b) {
    b.Property("Text", &TCustomEdit::GetText, &TCustomEdit::SetText).Default(std::string());
    b.Property("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength).Default(0);
    b.Property("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly).Default(false);
    b.Property("CharCase", &TCustomEdit::CharCase, &TCustomEdit::SetCharCase).Default(ecNormal);
    b.Property("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect).Default(true);
    b.Property("PasswordChar", &TCustomEdit::PasswordChar, &TCustomEdit::SetPasswordChar).Default('\0');
    b.Property("TabStop", &TCustomEdit::TabStop, &TCustomEdit::SetTabStop).Default(true);
    b.Property("Color", &TCustomEdit::Color, &TCustomEdit::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomEdit::ParentColor, &TCustomEdit::SetParentColor).Default(false);
    b.Property("OnChange", &TCustomEdit::OnChange);
})
QM_CLASS_IMPL(TEdit, TCustomEdit)

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWidgetControl(AOwner)
{
    SetBounds(0, 0, 121, 21);
    SetParentColor(false);
    SetColor(clWindow);
}

QWidget* TCustomEdit::MakeWidget()
{
    auto* e = new QLineEdit;
    e->setFrame(true);
    HookLineEdit(e);
    return e;
}

QLineEdit* TCustomEdit::LineEdit() const { return qobject_cast<QLineEdit*>(Widget()); }

namespace {
// The text is kept in the code page: a character it has no place for is refused as it is
// typed or pasted, rather than stored as "?".
class CodePageValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (char32_t cp : input.toUcs4())
            if (cp != U'?' && UnicodeToCp1252(cp, '?') == '?')
                return Invalid;
        return Acceptable;
    }
};
} // namespace

void TCustomEdit::HookLineEdit(QLineEdit* e)
{
    if (!e->validator())
        e->setValidator(new CodePageValidator(e));
    QObject::connect(e, &QLineEdit::textEdited, e, [this](const QString& t) {
        GuardedCall([&] { TextChanged(FromQ(t), true); });
    });
    QObject::connect(e, &QLineEdit::selectionChanged, e, [this, e] {
        FSelStart = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        FSelLength = static_cast<int>(e->selectedText().size());
    });
    QObject::connect(e, &QLineEdit::cursorPositionChanged, e, [this, e](int, int pos) {
        if (!e->hasSelectedText()) {
            FSelStart = pos;
            FSelLength = 0;
        }
    });
}

void TCustomEdit::SyncWidget()
{
    QLineEdit* e = LineEdit();
    if (!e)
        return;
    QSignalBlocker block(e);
    e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
    e->setReadOnly(FReadOnly);
    e->setEchoMode(FPasswordChar ? QLineEdit::Password : QLineEdit::Normal);
    if (FromQ(e->text()) != FEditText)
        e->setText(ToQ(FEditText));
    e->setSelection(FSelStart, FSelLength);
}

std::string TCustomEdit::GetText() const { return FEditText; }

void TCustomEdit::SetText(const std::string& v)
{
    std::string t = v;
    if (FCharCase == ecUpperCase)
        t = UpperCase(t);
    else if (FCharCase == ecLowerCase)
        t = LowerCase(t);
    if (t == FEditText)
        return;
    FSelStart = 0;
    FSelLength = 0;
    TextChanged(t, false);
}

void TCustomEdit::TextChanged(const std::string& NewText, bool ByUser)
{
    FEditText = NewText;
    FText = NewText;
    if (!ByUser)
        SyncWidget();
    FModified = ByUser ? true : FModified;
    // A handler that sets the text again gets its value, but no second OnChange.
    RunUnlessBusy(FInChange, [this] { Change(); });
}

void TCustomEdit::Change() { OnChange(this); }

void TCustomEdit::SetMaxLength(int v)
{
    FMaxLength = std::max(0, v);
    SyncWidget();
}
void TCustomEdit::SetReadOnly(bool v)
{
    FReadOnly = v;
    SyncWidget();
}
void TCustomEdit::SetCharCase(TEditCharCase v)
{
    FCharCase = v;
    if (v != ecNormal)
        SetText(FEditText);
}
void TCustomEdit::SetPasswordChar(char v)
{
    FPasswordChar = v;
    SyncWidget();
}

void TCustomEdit::SelectAll()
{
    FSelStart = 0;
    FSelLength = static_cast<int>(FEditText.size());
    SyncWidget();
}

int TCustomEdit::SelStart() const { return FSelStart; }
int TCustomEdit::SelLength() const { return FSelLength; }
void TCustomEdit::SetSelStart(int v)
{
    FSelStart = std::clamp(v, 0, static_cast<int>(FEditText.size()));
    FSelLength = 0;
    SyncWidget();
}
void TCustomEdit::SetSelLength(int v)
{
    FSelLength = std::clamp(v, 0, static_cast<int>(FEditText.size()) - FSelStart);
    SyncWidget();
}
std::string TCustomEdit::SelText() const
{
    return FEditText.substr(std::min<size_t>(FSelStart, FEditText.size()), FSelLength);
}

// ---- TCustomMemo --------------------------------------------------------------------------------

// The memo's lines, kept as the memo's text so the two never disagree.
class TMemoStrings : public TStringList {
public:
    explicit TMemoStrings(TCustomMemo* m) : FMemo(m) {}
    void Changed() override
    {
        TStringList::Changed();
        if (UpdateCount() == 0 && !FLoading)
            FMemo->SetText(JoinLines());
    }
    // The end of an update (as when a description fills the lines) tells the memo too.
    void SetUpdateState(bool Updating) override
    {
        TStringList::SetUpdateState(Updating);
        if (!Updating && !FLoading)
            FMemo->SetText(JoinLines());
    }
    void Load(const std::string& text)
    {
        // Text made from these very lines says nothing new, and reading it back would drop
        // the empty lines at its end. A line holding a break of its own is split, though.
        if (text == JoinLines() && !HasBreakInALine())
            return;
        FLoading = true;
        try {
            TStringList::SetText(text);
        } catch (...) {
            FLoading = false;
            throw;
        }
        FLoading = false;
    }
    bool HasBreakInALine() const
    {
        for (int i = 0; i < Count(); ++i)
            if (Strings(i).find_first_of("\r\n") != std::string::npos)
                return true;
        return false;
    }
    std::string JoinLines() const
    {
        std::string s;
        for (int i = 0; i < Count(); ++i) {
            if (i)
                s += "\r\n";
            s += Strings(i);
        }
        return s;
    }

private:
    TCustomMemo* FMemo;
    bool FLoading = false;
};

QM_CLASS_IMPL(TCustomMemo, TWidgetControl, [](TClassBuilder<TCustomMemo>& b) {
    b.Property("Lines", &TCustomMemo::Lines, &TCustomMemo::SetLines);
    b.Property("ReadOnly", &TCustomMemo::ReadOnly, &TCustomMemo::SetReadOnly).Default(false);
    b.Property("WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap).Default(true);
    b.Property("ScrollBars", &TCustomMemo::ScrollBars, &TCustomMemo::SetScrollBars).Default(ssNone);
    b.Property("Alignment", &TCustomMemo::Alignment, &TCustomMemo::SetAlignment).Default(taLeftJustify);
    b.Property("MaxLength", &TCustomMemo::MaxLength, &TCustomMemo::SetMaxLength).Default(0);
    b.Property("WantReturns", &TCustomMemo::WantReturns, &TCustomMemo::SetWantReturns).Default(true);
    b.Property("WantTabs", &TCustomMemo::WantTabs, &TCustomMemo::SetWantTabs).Default(false);
    b.Property("TabStop", &TCustomMemo::TabStop, &TCustomMemo::SetTabStop).Default(true);
    b.Property("Color", &TCustomMemo::Color, &TCustomMemo::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomMemo::ParentColor, &TCustomMemo::SetParentColor).Default(false);
    b.Property("OnChange", &TCustomMemo::OnChange);
})
QM_CLASS_IMPL(TMemo, TCustomMemo)

TCustomMemo::TCustomMemo(TComponent* AOwner) : TWidgetControl(AOwner), FLines(std::make_unique<TMemoStrings>(this))
{
    SetBounds(0, 0, 185, 89);
    SetParentColor(false);
    SetColor(clWindow);
}

TCustomMemo::~TCustomMemo() = default;

TStrings* TCustomMemo::Lines() const { return FLines.get(); }
void TCustomMemo::SetLines(TStrings* v) { FLines->Assign(v); }

QWidget* TCustomMemo::MakeWidget()
{
    auto* e = new QPlainTextEdit;
    QObject::connect(e, &QPlainTextEdit::textChanged, e, [this, e] {
        std::string t = FromQ(e->toPlainText());
        std::string crlf;
        for (char ch : t)
            crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        GuardedCall([&] { TextChanged(crlf, true); });
    });
    return e;
}

void TCustomMemo::ApplyPalette()
{
    auto* e = qobject_cast<QPlainTextEdit*>(Widget());
    if (!e)
        return;
    // A disabled memo keeps its own colours, so its text stays readable.
    QPalette p = e->palette();
    p.setColor(QPalette::Disabled, QPalette::Base, ToQColor(Color()));
    p.setColor(QPalette::Disabled, QPalette::Text, ToQColor(Font()->GetColor()));
    e->setPalette(p);
}

void TCustomMemo::SyncWidget()
{
    auto* e = qobject_cast<QPlainTextEdit*>(Widget());
    if (!e)
        return;
    QSignalBlocker block(e);
    e->setReadOnly(FReadOnly);
    e->setLineWrapMode(FWordWrap && FScrollBars != ssHorizontal && FScrollBars != ssBoth ? QPlainTextEdit::WidgetWidth
                                                                                          : QPlainTextEdit::NoWrap);
    bool v = FScrollBars == ssVertical || FScrollBars == ssBoth;
    bool h = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    e->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    e->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QTextOption opt = e->document()->defaultTextOption();
    opt.setAlignment(FAlignment == taCenter ? Qt::AlignHCenter : FAlignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft);
    e->document()->setDefaultTextOption(opt);
    std::string plain;
    for (char ch : FMemoText)
        if (ch != '\r')
            plain += ch;
    if (FromQ(e->toPlainText()) != plain)
        e->setPlainText(ToQ(plain));
    ApplyPalette();
}

void TCustomMemo::CMColorChanged(TMessage& M)
{
    TWidgetControl::CMColorChanged(M);
    ApplyPalette();
}

void TCustomMemo::CMEnabledChanged(TMessage& M)
{
    TWidgetControl::CMEnabledChanged(M);
    ApplyPalette();
}

std::string TCustomMemo::GetText() const { return FMemoText; }

void TCustomMemo::SetText(const std::string& v)
{
    if (v == FMemoText)
        return;
    TextChanged(v, false);
}

void TCustomMemo::TextChanged(const std::string& NewText, bool ByUser)
{
    if (NewText == FMemoText)
        return;
    FMemoText = NewText;
    FText = NewText;
    FLines->Load(NewText);
    if (!ByUser)
        SyncWidget();
    RunUnlessBusy(FInChange, [this] { Change(); });
}

void TCustomMemo::Change() { OnChange(this); }

void TCustomMemo::SetReadOnly(bool v)
{
    FReadOnly = v;
    SyncWidget();
}
void TCustomMemo::SetWordWrap(bool v)
{
    FWordWrap = v;
    SyncWidget();
}
void TCustomMemo::SetScrollBars(TScrollStyle v)
{
    FScrollBars = v;
    SyncWidget();
}
void TCustomMemo::SetAlignment(TAlignment v)
{
    FAlignment = v;
    SyncWidget();
}
void TCustomMemo::SelectAll()
{
    if (auto* e = qobject_cast<QPlainTextEdit*>(Widget()))
        e->selectAll();
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

QWidget* TButton::MakeWidget()
{
    auto* b = new QPushButton;
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
    if (v == FState) {
        SyncWidget();
        return;
    }
    FState = v;
    SyncWidget();
    // Code and user alike: a changed state clicks once.
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

void TRadioButton::SetChecked(bool v)
{
    if (v == FChecked) {
        SyncWidget();
        return;
    }
    FChecked = v;
    SyncWidget();
    if (!v)
        return;
    if (FParent)
        for (int i = 0; i < FParent->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i)); r && r != this && r->FChecked) {
                r->FChecked = false;
                r->SyncWidget();
            }
    GuardedClick();
}

// ---- TCustomComboBox ----------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomComboBox, TWidgetControl, [](TClassBuilder<TCustomComboBox>& b) {
    b.Property("Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle).Default(csDropDown);
    b.Property("AutoComplete", &TCustomComboBox::AutoComplete, &TCustomComboBox::SetAutoComplete).Default(true);
    b.Property("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount).Default(8);
    b.Property("MaxLength", &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength).Default(0);
    b.Property("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted).Default(false);
    b.Property("Items", &TCustomComboBox::Items, &TCustomComboBox::SetItems);
    // Read after Items; an index that is out of range reads back as -1.
    b.Property("ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex).Default(-1).NoRoundTrip();
    // Text of a drop-down list must be one of the items.
    b.Property("Text", &TCustomComboBox::GetText, &TCustomComboBox::SetText).Default(std::string()).NoRoundTrip();
    b.Property("TabStop", &TCustomComboBox::TabStop, &TCustomComboBox::SetTabStop).Default(true);
    b.Property("Color", &TCustomComboBox::Color, &TCustomComboBox::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomComboBox::ParentColor, &TCustomComboBox::SetParentColor).Default(false);
    b.Property("OnChange", &TCustomComboBox::OnChange);
    b.Property("OnSelect", &TCustomComboBox::OnSelect);
    b.Property("OnDropDown", &TCustomComboBox::OnDropDown);
    b.Property("OnCloseUp", &TCustomComboBox::OnCloseUp);
})
QM_CLASS_IMPL(TComboBox, TCustomComboBox)

TCustomComboBox::TCustomComboBox(TComponent* AOwner) : TWidgetControl(AOwner), FItems(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 145, 21);
    SetParentColor(false);
    SetColor(clWindow);
    FItems->OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); }, this);
}

TCustomComboBox::~TCustomComboBox() { FItems->OnChange = nullptr; }

TStrings* TCustomComboBox::Items() const { return FItems.get(); }
void TCustomComboBox::SetItems(TStrings* v) { FItems->Assign(v); }

class QmComboBox : public QComboBox {
public:
    std::function<void()> Opened, Closed;
    void showPopup() override
    {
        if (Opened)
            Opened();
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (Closed)
            Closed();
    }
};

QWidget* TCustomComboBox::MakeWidget()
{
    auto* c = new QmComboBox;
    c->Opened = [this] { GuardedCall([&] { OnDropDown(this); }); };
    c->Closed = [this] { GuardedCall([&] { OnCloseUp(this); }); };
    QObject::connect(c, &QComboBox::activated, c, [this](int i) { GuardedCall([&] { UserChose(i); }); });
    return c;
}

void TCustomComboBox::SyncWidget()
{
    auto* c = qobject_cast<QComboBox*>(Widget());
    if (!c || FSyncing)
        return;
    FSyncing = true;
    QSignalBlocker block(c);
    bool editable = FStyle == csDropDown || FStyle == csSimple;
    if (c->isEditable() != editable) {
        c->setEditable(editable);
        if (editable)
            QObject::connect(c->lineEdit(), &QLineEdit::textEdited, c,
                             [this](const QString& t) { GuardedCall([&] { UserTyped(FromQ(t)); }); });
    }
    c->clear();
    for (int i = 0; i < FItems->Count(); ++i)
        c->addItem(ToQ(FItems->Strings(i)));
    c->setMaxVisibleItems(std::max(1, FDropDownCount));
    c->setCurrentIndex(FItemIndex);
    if (editable) {
        QSignalBlocker b2(c->lineEdit());
        c->lineEdit()->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
        c->setEditText(ToQ(FEditText));
        // Off means no completion at all: a list of completions would take the Enter
        // meant for the box. On completes the typed text inline from the items.
        if (!FAutoComplete) {
            c->setCompleter(nullptr);
        } else if (!c->completer()) {
            auto* completer = new QCompleter(c->model(), c);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            completer->setCompletionMode(QCompleter::InlineCompletion);
            c->setCompleter(completer);
        }
    }
    FSyncing = false;
}

void TCustomComboBox::ItemsChanged()
{
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    if (FStyle == csDropDownList)
        FEditText = FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    SyncWidget();
}

void TCustomComboBox::SetStyle(TComboBoxStyle v)
{
    FStyle = v;
    ItemsChanged();
}

void TCustomComboBox::SetItemIndex(int v)
{
    if (v < 0 || v >= FItems->Count())
        v = -1;
    FItemIndex = v;
    if (v >= 0)
        FEditText = FItems->Strings(v);
    else if (FStyle == csDropDownList)
        FEditText.clear();
    SyncWidget();
}

std::string TCustomComboBox::GetText() const
{
    if (FStyle == csDropDownList)
        return FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    return FEditText;
}

void TCustomComboBox::SetText(const std::string& v)
{
    int i = FItems->IndexOf(v);
    if (FStyle == csDropDownList) {
        SetItemIndex(i);
        return;
    }
    FEditText = v;
    FText = v;
    FItemIndex = i;
    SyncWidget();
}

void TCustomComboBox::SetSorted(bool v)
{
    FSorted = v;
    std::string cur = FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
    bool had = FItemIndex >= 0;
    FItems->SetSorted(v);
    if (had)
        FItemIndex = FItems->IndexOf(cur);
    SyncWidget();
}

void TCustomComboBox::SetAutoComplete(bool v)
{
    FAutoComplete = v;
    SyncWidget();
}
void TCustomComboBox::SetDropDownCount(int v)
{
    FDropDownCount = v;
    SyncWidget();
}
void TCustomComboBox::SetMaxLength(int v)
{
    FMaxLength = std::max(0, v);
    SyncWidget();
}

bool TCustomComboBox::DroppedDown() const
{
    auto* c = qobject_cast<QComboBox*>(Widget());
    return c && c->view() && c->view()->isVisible();
}

void TCustomComboBox::Clear()
{
    FItems->Clear();
    FEditText.clear();
    FItemIndex = -1;
    SyncWidget();
}

void TCustomComboBox::Change()
{
    RunUnlessBusy(FInChange, [this] { OnChange(this); });
}

// A choice from the list: OnSelect when assigned, else OnChange.
void TCustomComboBox::Select()
{
    if (OnSelect)
        OnSelect(this);
    else
        Change();
}

void TCustomComboBox::UserChose(int Index)
{
    if (Index < 0 || Index >= FItems->Count())
        return;
    FItemIndex = Index;
    FEditText = FItems->Strings(Index);
    FText = FEditText;
    Click();
    Select();
}

void TCustomComboBox::UserTyped(const std::string& Text)
{
    FEditText = Text;
    FText = Text;
    FItemIndex = FItems->IndexOf(Text);
    Change();
}

// ---- TCustomListBox -----------------------------------------------------------------------------

QM_CLASS_IMPL(TCustomListBox, TWidgetControl, [](TClassBuilder<TCustomListBox>& b) {
    b.Property("Columns", &TCustomListBox::Columns, &TCustomListBox::SetColumns).Default(0);
    b.Property("MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect).Default(false);
    b.Property("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted).Default(false);
    b.Property("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight).Default(13);
    b.Property("Items", &TCustomListBox::Items, &TCustomListBox::SetItems);
    // An index that is out of range reads back as -1.
    b.Property("ItemIndex", &TCustomListBox::ItemIndex, &TCustomListBox::SetItemIndex).Default(-1).NoRoundTrip();
    b.Property("TabStop", &TCustomListBox::TabStop, &TCustomListBox::SetTabStop).Default(true);
    b.Property("Color", &TCustomListBox::Color, &TCustomListBox::SetColor).Default(clWindow).TypeName("TColor");
    b.Property("ParentColor", &TCustomListBox::ParentColor, &TCustomListBox::SetParentColor).Default(false);
})
QM_CLASS_IMPL(TListBox, TCustomListBox)

TCustomListBox::TCustomListBox(TComponent* AOwner) : TWidgetControl(AOwner), FItems(std::make_unique<TStringList>())
{
    SetBounds(0, 0, 121, 97);
    SetParentColor(false);
    SetColor(clWindow);
    FItems->OnChange = TNotifyEvent([this](TObject*) { ItemsChanged(); }, this);
}

TCustomListBox::~TCustomListBox() { FItems->OnChange = nullptr; }

TStrings* TCustomListBox::Items() const { return FItems.get(); }
void TCustomListBox::SetItems(TStrings* v) { FItems->Assign(v); }
int TCustomListBox::Count() const { return FItems->Count(); }

void TCustomListBox::SetItemHeight(int v)
{
    if (v == FItemHeight)
        return;
    FItemHeight = v;
    SyncWidget();
}

// A list widget that lays its columns out again whenever its size changes.
class QmListWidget : public QListWidget {
public:
    std::function<void()> Resized;

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QListWidget::resizeEvent(e);
        if (Resized)
            Resized();
    }
};

QWidget* TCustomListBox::MakeWidget()
{
    auto* l = new QmListWidget;
    l->Resized = [this] { GuardedCall([&] { LayoutColumns(); }); };
    QObject::connect(l, &QListWidget::currentRowChanged, l, [this](int row) { GuardedCall([&] { UserChose(row); }); });
    QObject::connect(l, &QListWidget::itemSelectionChanged, l, [this] { GuardedCall([&] { UserSelection(); }); });
    QObject::connect(l, &QListWidget::itemDoubleClicked, l, [this] { GuardedCall([&] { DblClick(); }); });
    return l;
}

void TCustomListBox::SyncWidget()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l || FSyncing)
        return;
    FSyncing = true;
    QSignalBlocker block(l);
    QSignalBlocker block2(l->selectionModel());
    l->clear();
    for (int i = 0; i < FItems->Count(); ++i)
        l->addItem(new QListWidgetItem(ToQ(FItems->Strings(i))));
    l->setSelectionMode(FMultiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    l->setFlow(QListView::TopToBottom);
    l->setWrapping(FColumns > 0);
    l->setResizeMode(FColumns > 0 ? QListView::Adjust : QListView::Fixed);
    l->setVerticalScrollBarPolicy(FColumns > 0 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    // A column shows what fits of its item's text, as the list box of the desktop draws it.
    l->setTextElideMode(Qt::ElideNone);
    LayoutColumns();
    l->setCurrentRow(FItemIndex, QItemSelectionModel::NoUpdate);
    for (int i = 0; i < FItems->Count(); ++i)
        l->item(i)->setSelected(FMultiSelect ? (i < static_cast<int>(FSelected.size()) && FSelected[i]) : i == FItemIndex);
    if (FTopIndex > 0 && FTopIndex < FItems->Count())
        l->scrollToItem(l->item(FTopIndex), QAbstractItemView::PositionAtTop);
    FSyncing = false;
}

void TCustomListBox::LayoutColumns()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l)
        return;
    const int rowH = FItemHeight > 0 ? FItemHeight : l->fontMetrics().height();
    QSize cell;
    Qt::ScrollBarPolicy across = Qt::ScrollBarAsNeeded;
    if (FColumns > 0) {
        // The client width shared out among the columns; the items fill each column from the
        // top, and only items beyond the columns shown need the scroll bar, which would
        // otherwise cover the row.
        l->ensurePolished();
        const QRect client = l->contentsRect();
        cell = QSize(std::max(1, client.width() / FColumns), rowH);
        const int rows = std::max(1, client.height() / rowH);
        const int shown = std::max(1, client.width() / cell.width());
        if ((l->count() + rows - 1) / rows <= shown)
            across = Qt::ScrollBarAlwaysOff;
    }
    l->setHorizontalScrollBarPolicy(across);
    l->setGridSize(cell);
    for (int i = 0; i < l->count(); ++i) {
        QListWidgetItem* item = l->item(i);
        item->setSizeHint(cell.isValid() ? cell : QSize(l->fontMetrics().horizontalAdvance(item->text()) + 6, rowH));
    }
}

void TCustomListBox::ItemsChanged()
{
    FSelected.assign(static_cast<size_t>(FItems->Count()), false);
    if (FItemIndex >= FItems->Count())
        FItemIndex = -1;
    SyncWidget();
}

void TCustomListBox::SetItemIndex(int v)
{
    if (v < 0 || v >= FItems->Count())
        v = -1;
    FItemIndex = v;
    if (!FMultiSelect)
        for (size_t i = 0; i < FSelected.size(); ++i)
            FSelected[i] = static_cast<int>(i) == v;
    SyncWidget();
}

void TCustomListBox::SetColumns(int v)
{
    FColumns = std::max(0, v);
    SyncWidget();
}
void TCustomListBox::SetMultiSelect(bool v)
{
    FMultiSelect = v;
    SyncWidget();
}
void TCustomListBox::SetSorted(bool v)
{
    FSorted = v;
    FItems->SetSorted(v);
}
void TCustomListBox::SetTopIndex(int v)
{
    FTopIndex = std::max(0, v);
    SyncWidget();
}

bool TCustomListBox::Selected(int Index) const
{
    if (Index < 0 || Index >= FItems->Count())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    if (!FMultiSelect)
        return Index == FItemIndex;
    return Index < static_cast<int>(FSelected.size()) && FSelected[Index];
}

void TCustomListBox::SetSelected(int Index, bool v)
{
    if (Index < 0 || Index >= FItems->Count())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    if (!FMultiSelect) {
        SetItemIndex(v ? Index : (Index == FItemIndex ? -1 : FItemIndex));
        return;
    }
    FSelected.resize(static_cast<size_t>(FItems->Count()), false);
    FSelected[Index] = v;
    SyncWidget();
}

int TCustomListBox::SelCount() const
{
    if (!FMultiSelect)
        return -1;
    return static_cast<int>(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::Clear() { FItems->Clear(); }

int TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) const
{
    if (auto* l = qobject_cast<QListWidget*>(Widget())) {
        QModelIndex i = l->indexAt(l->viewport()->mapFrom(l, QPoint(Pos.x, Pos.y)));
        if (i.isValid())
            return i.row();
        return Existing ? -1 : FItems->Count();
    }
    return -1;
}

void TCustomListBox::UserChose(int Index)
{
    if (FSyncing || Index == FItemIndex)
        return;
    FItemIndex = Index;
    Click();
}

void TCustomListBox::UserSelection()
{
    auto* l = qobject_cast<QListWidget*>(Widget());
    if (!l || FSyncing)
        return;
    FSelected.assign(static_cast<size_t>(FItems->Count()), false);
    for (int i = 0; i < l->count() && i < FItems->Count(); ++i)
        FSelected[i] = l->item(i)->isSelected();
}
