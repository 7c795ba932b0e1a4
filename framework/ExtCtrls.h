#pragma once
// Extra controls: bevels, panels, images, shapes, radio groups, labelled edits, the
// progress bar and the timer.
#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/StdCtrls.h"

QM_ENUM(TBevelShape, bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer)
QM_ENUM(TBevelStyle, bsLowered, bsRaised)
QM_ENUM(TPanelBevel, bvNone, bvLowered, bvRaised, bvSpace)
QM_ENUM(TShapeType, stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle)
QM_ENUM(TLabelPosition, lpAbove, lpBelow, lpLeft, lpRight)
QM_ENUM(TProgressBarOrientation, pbHorizontal, pbVertical)

// Draws a raised or lowered 3-D frame just inside R and shrinks R by its width.
void Frame3D(TCanvas* Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width);

class TBevel : public TGraphicControl {
    QM_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(TComponent* AOwner);
    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape v);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle v);

protected:
    void Paint() override;

private:
    TBevelShape FShape = bsBox;
    TBevelStyle FStyle = bsLowered;
};

class TCustomPanel : public TCustomControl {
    QM_CLASS(TCustomPanel, TCustomControl)
public:
    explicit TCustomPanel(TComponent* AOwner);
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel v);
    TPanelBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(TPanelBevel v);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int v);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    void SetText(const std::string& v) override;

protected:
    void Paint() override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

private:
    TPanelBevel FBevelOuter = bvRaised;
    TPanelBevel FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TAlignment FAlignment = taCenter;
};

class TPanel : public TCustomPanel {
    QM_CLASS(TPanel, TCustomPanel)
public:
    explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

class TImage : public TGraphicControl {
    QM_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(TPicture* v) { FPicture->Assign(v); }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool v);
    bool Proportional() const { return FProportional; }
    void SetProportional(bool v);
    bool Center() const { return FCenter; }
    void SetCenter(bool v);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    // Where the picture is drawn within the control.
    TRect DestRect() const;

protected:
    void Paint() override;

private:
    void PictureChanged(TObject* Sender);
    std::unique_ptr<TPicture> FPicture;
    bool FStretch = false;
    bool FProportional = false;
    bool FCenter = false;
    bool FTransparent = false;
};

class TShape : public TGraphicControl {
    QM_CLASS(TShape, TGraphicControl)
public:
    explicit TShape(TComponent* AOwner);
    ~TShape() override;
    TShapeType Shape() const { return FShape; }
    void SetShape(TShapeType v);
    TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(TBrush* v) { FBrush->Assign(v); }
    TPen* Pen() const { return FPen.get(); }
    void SetPen(TPen* v) { FPen->Assign(v); }

protected:
    void Paint() override;

private:
    TShapeType FShape = stRectangle;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
};

class TCustomRadioGroup : public TCustomControl {
    QM_CLASS(TCustomRadioGroup, TCustomControl)
public:
    explicit TCustomRadioGroup(TComponent* AOwner);
    ~TCustomRadioGroup() override;
    TStrings* Items() const;
    void SetItems(TStrings* v);
    int ItemIndex() const { return FItemIndex; }
    // Checks that button; from code too this fires OnClick when the index changes.
    void SetItemIndex(int v);
    int Columns() const { return FColumns; }
    void SetColumns(int v);
    void SetText(const std::string& v) override;
    int ButtonCount() const { return static_cast<int>(FButtons.size()); }
    TRadioButton* Buttons(int Index) const { return FButtons.at(static_cast<size_t>(Index)); }
    bool IsTabStop() const override { return TabStop() && FButtons.empty(); }

protected:
    void Paint() override;
    void Loaded() override;
    void WMSize(TMessage& M) override;
    void CMFontChanged(TMessage& M) override;
    void CMEnabledChanged(TMessage& M) override;
    void WMSetFocus(TMessage& M) override;

private:
    void ItemsChanged();
    void ArrangeButtons();
    void ButtonClick(TObject* Sender);
    std::unique_ptr<TStringList> FItems;
    std::vector<TRadioButton*> FButtons;
    int FItemIndex = -1;
    int FColumns = 1;
    bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
    QM_CLASS(TRadioGroup, TCustomRadioGroup)
public:
    explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
};

// The label of a labelled edit: a part of the edit, placed next to it.
class TBoundLabel : public TCustomLabel {
    QM_CLASS(TBoundLabel, TCustomLabel)
public:
    explicit TBoundLabel(TComponent* AOwner);
};

class TCustomLabeledEdit : public TCustomEdit {
    QM_CLASS(TCustomLabeledEdit, TCustomEdit)
public:
    explicit TCustomLabeledEdit(TComponent* AOwner);
    ~TCustomLabeledEdit() override;
    TBoundLabel* EditLabel() const { return FEditLabel; }
    TLabelPosition LabelPosition() const { return FLabelPosition; }
    void SetLabelPosition(TLabelPosition v);
    int LabelSpacing() const { return FLabelSpacing; }
    void SetLabelSpacing(int v);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetParent(TWinControl* AParent) override;
    void SetVisible(bool v) override;
    void SetEnabled(bool v) override;
    // Puts the label beside the edit as LabelPosition says.
    void PlaceLabel();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TBoundLabel* FEditLabel = nullptr;
    TLabelPosition FLabelPosition = lpAbove;
    int FLabelSpacing = 3;
};

class TLabeledEdit : public TCustomLabeledEdit {
    QM_CLASS(TLabeledEdit, TCustomLabeledEdit)
public:
    explicit TLabeledEdit(TComponent* AOwner) : TCustomLabeledEdit(AOwner) {}
};

class TProgressBar : public TWidgetControl {
    QM_CLASS(TProgressBar, TWidgetControl)
public:
    explicit TProgressBar(TComponent* AOwner);
    int Min() const { return FMin; }
    // Min above Max (or Max below Min) is allowed while the two are set one by one; the
    // position stays within the range the two make.
    void SetMin(int v);
    int Max() const { return FMax; }
    void SetMax(int v);
    int Position() const { return FPosition; }
    void SetPosition(int v);
    int Step() const { return FStep; }
    void SetStep(int v) { FStep = v; }
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool v);
    TProgressBarOrientation Orientation() const { return FOrientation; }
    void SetOrientation(TProgressBarOrientation v);
    // Advances by Step; past the end it starts over from Min.
    void StepIt();
    void StepBy(int Delta);

protected:
    QWidget* MakeWidget() override;
    void SyncWidget() override;

private:
    int Lo() const { return FMin < FMax ? FMin : FMax; }
    int Hi() const { return FMin < FMax ? FMax : FMin; }
    int FMin = 0, FMax = 100, FPosition = 0, FStep = 10;
    bool FSmooth = false;
    TProgressBarOrientation FOrientation = pbHorizontal;
};

class TTimer : public TComponent {
    QM_CLASS(TTimer, TComponent)
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v);
    unsigned Interval() const { return FInterval; }
    void SetInterval(unsigned v);
    TNotifyEvent OnTimer;

protected:
    void Loaded() override;
    void BeforeDestroy() override;
    virtual void Timer();

private:
    struct State;
    void UpdateTimer();
    std::shared_ptr<State> FState;
    bool FEnabled = true;
    unsigned FInterval = 1000;
};
