#include "framework/Spin.h"

#include <QAbstractSpinBox>
#include <QLineEdit>

#include <algorithm>
#include <functional>

#include "platform/AppException.h"

QM_CLASS_IMPL(TSpinEdit, TCustomEdit, [](TClassBuilder<TSpinEdit>& b) {
    b.Property("MinValue", &TSpinEdit::MinValue, &TSpinEdit::SetMinValue).Default(0);
    b.Property("MaxValue", &TSpinEdit::MaxValue, &TSpinEdit::SetMaxValue).Default(0);
    b.Property("Increment", &TSpinEdit::Increment, &TSpinEdit::SetIncrement).Default(1);
    b.Property("EditorEnabled", &TSpinEdit::EditorEnabled, &TSpinEdit::SetEditorEnabled).Default(true);
    // Stored as text; read back clamped to the range.
    b.Property("Value", &TSpinEdit::Value, &TSpinEdit::SetValue).Default(0).NoRoundTrip();
})

namespace {
// The toolkit's spin frame with our own stepping: the text stays what the user typed.
class QmSpinBox : public QAbstractSpinBox {
public:
    std::function<void(int)> Step;
    QLineEdit* Edit() const { return lineEdit(); }
    void stepBy(int steps) override
    {
        if (Step)
            Step(steps);
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};
} // namespace

TSpinEdit::TSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner)
{
    SetBounds(0, 0, 121, 22);
    SetText("0");
}

QWidget* TSpinEdit::MakeWidget()
{
    auto* s = new QmSpinBox;
    s->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    s->setKeyboardTracking(true);
    s->Step = [this](int steps) {
        GuardedCall([&] {
            for (int i = 0; i < std::abs(steps); ++i)
                steps > 0 ? UpClick() : DownClick();
        });
    };
    HookLineEdit(s->Edit());
    return s;
}

QLineEdit* TSpinEdit::LineEdit() const
{
    auto* s = dynamic_cast<QmSpinBox*>(Widget());
    return s ? s->Edit() : nullptr;
}

void TSpinEdit::SyncWidget()
{
    TCustomEdit::SyncWidget();
    if (QLineEdit* e = LineEdit())
        e->setReadOnly(ReadOnly() || !FEditorEnabled);
}

void TSpinEdit::SetEditorEnabled(bool v)
{
    FEditorEnabled = v;
    SyncWidget();
}

int TSpinEdit::CheckValue(int v) const
{
    if (FMaxValue != FMinValue)
        return std::clamp(v, std::min(FMinValue, FMaxValue), std::max(FMinValue, FMaxValue));
    return v;
}

int TSpinEdit::Value() const
{
    int v;
    std::string t = Trim(GetText());
    if (!TryStrToInt(t, v))
        v = FMinValue;
    return CheckValue(v);
}

void TSpinEdit::SetValue(int v) { SetText(IntToStr(CheckValue(v))); }

void TSpinEdit::UpClick()
{
    if (ReadOnly())
        return;
    SetValue(static_cast<int>(std::clamp<long long>(static_cast<long long>(Value()) + FIncrement, INT32_MIN, INT32_MAX)));
}

void TSpinEdit::DownClick()
{
    if (ReadOnly())
        return;
    SetValue(static_cast<int>(std::clamp<long long>(static_cast<long long>(Value()) - FIncrement, INT32_MIN, INT32_MAX)));
}
