// Edits and memos.
#include "framework/StdCtrls.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextOption>
#include <QValidator>

#include <algorithm>

#include "framework/StdCtrlsPrivate.h"
#include "platform/AppException.h"
#include "platform/Codepage.h"
#include "platform/Gdi.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

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

void TCustomEdit::SetFocus()
{
    const bool had = Focused();
    TWidgetControl::SetFocus();
    if (had && FAutoSelect)
        SelectAll();
}

void TCustomEdit::CMEnter(TMessage& M)
{
    if (FAutoSelect && !FocusedByMouse())
        SelectAll();
    TWidgetControl::CMEnter(M);
}

void TCustomEdit::WMKeyDown(TMessage& M)
{
    if (M.WParam == 'A' && KeyDataToShiftState(M.LParam) == TShiftState{ssCtrl}) {
        SelectAll();
        return;
    }
    TWidgetControl::WMKeyDown(M);
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
        ScopeExit loaded([this] { FLoading = false; });
        TStringList::SetText(text);
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
    // Read-only text keeps its caret, so a keyboard user sees where the focus is (and the
    // keys still select and copy).
    if (FReadOnly)
        e->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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
