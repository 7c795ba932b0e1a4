#pragma once
// A number edit with up and down buttons. Its text is free (it may be partial while the
// user types); Value reads the text as a number within MinValue..MaxValue.
#include "framework/StdCtrls.h"

class TSpinEdit : public TCustomEdit {
    QM_CLASS(TSpinEdit, TCustomEdit)
public:
    explicit TSpinEdit(TComponent* AOwner);
    int MinValue() const { return FMinValue; }
    void SetMinValue(int v) { FMinValue = v; }
    int MaxValue() const { return FMaxValue; }
    void SetMaxValue(int v) { FMaxValue = v; }
    // May be negative: the up button then lowers the value.
    int Increment() const { return FIncrement; }
    void SetIncrement(int v) { FIncrement = v; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool v);
    // The text as a number, MinValue when it is not one, clamped to the range (a range
    // with MinValue = MaxValue means no limits).
    int Value() const;
    void SetValue(int v);
    int CheckValue(int v) const;
    // What the up and down buttons (and arrow keys) do.
    void UpClick();
    void DownClick();

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;
    QLineEdit* LineEdit() const override;

private:
    int FMinValue = 0, FMaxValue = 0, FIncrement = 1;
    bool FEditorEnabled = true;
};
