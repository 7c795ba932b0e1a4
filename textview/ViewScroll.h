#pragma once
// A custom control with its own scroll bars: vertical in steps of StepHeight pixels,
// horizontal in pixels. Child controls move along with the contents.
#include "framework/Controls.h"

class TViewScroller : public TCustomControl {
    QM_CLASS(TViewScroller, TCustomControl)
public:
    explicit TViewScroller(TComponent* AOwner);

    bool Tracking = true;
    bool VScrollVisible() const { return FVScrollVisible; }
    void SetVScrollVisible(bool Value);
    TNotifyEvent OnVScrolled;

    // A document point (x, y) shows at client point (x - HPos, y - VPos * StepHeight).
    bool FullRepaint = false;
    int StepHeight = 0; // 0 until the window exists
    int HPos = 0;       // pixels
    int VPos = 0;       // steps
    int DocWidth = 0;   // pixels
    int DocSteps = 0;   // steps

    void UpdateScrollRanges(int ADocWidth, int ADocSteps);
    void VScrollToStep(int AStep);
    void HScrollToPixel(int AX);
    void ScrollToPixelY(int AY);
    int GetVerticalPosition() const { return VPos; }
    void SetVerticalPosition(int AStep) { VScrollToStep(AStep); }
    void MoveChildControls(int ADX, int ADY);
    // A child's Tag holds its true top; Top is that clamped to -10000..10000.
    static void ClampChildTop(TControl* Child);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void Paint() override;
    void WMHScroll(TMessage& M) override;
    void WMVScroll(TMessage& M) override;
    void WMKeyDown(TMessage& M) override;
    void WMGetDlgCode(TMessage& M) override;

private:
    bool ScrollBarTo(int Bar, int& Pos, int To, int Unit);
    bool FVScrollVisible = true;
};
