#pragma once
// Common controls: page control and tab sheets, tool bar and tool buttons, cool bar with
// its bands, status bar with its panels. All are drawn here; which change fires which
// event is listed in framework/EventRules.h.
#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/ImgList.h"
#include "framework/StdCtrls.h" // TAlignment

class TPopupMenu;
class TPageControl;

// ---- page control -------------------------------------------------------------------------

class TTabSheet : public TCustomControl {
    QM_CLASS(TTabSheet, TCustomControl)
    friend class TPageControl;

public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;

    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* v);
    // A page whose tab is hidden can still be the active page.
    bool TabVisible() const { return FTabVisible; }
    void SetTabVisible(bool v);
    int PageIndex() const;
    void SetPageIndex(int v);
    // The tab's index among the visible tabs; -1 when the tab is hidden.
    int TabIndex() const;
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v) { FImageIndex = v; }

    void SetParent(TWinControl* AParent) override;
    void SetText(const std::string& v) override;

protected:
    void Paint() override;

private:
    TPageControl* FPageControl = nullptr;
    bool FTabVisible = true;
    int FImageIndex = -1;
};

using TTabChangingEvent = Event<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public TCustomControl {
    QM_CLASS(TPageControl, TCustomControl)
    friend class TTabSheet;

public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;

    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int Index) const;
    TTabSheet* ActivePage() const { return FActivePage; }
    // From code: no OnChanging, no OnChange (those are for the user's tab clicks).
    void SetActivePage(TTabSheet* v);
    int ActivePageIndex() const;
    void SetActivePageIndex(int v);
    // Counted over the visible tabs; -1 when the active page's tab is hidden.
    int TabIndex() const;
    // Activates the page of the Index-th visible tab; out of range does nothing.
    void SetTabIndex(int v);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool v);
    int TabHeight() const { return FTabHeight; }
    void SetTabHeight(int v);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* v);
    // The page after (or before) Current among the pages with a visible tab; null if none.
    TTabSheet* FindNextPage(TTabSheet* Current, bool GoForward, bool CheckTabVisible) const;
    void SelectNextPage(bool GoForward);

    // The page of the visible tab at a client point, or null.
    TTabSheet* PageAtPos(int X, int Y) const;
    // The tab's rectangle for a page whose tab is visible; empty otherwise.
    TRect TabRect(int PageIndex) const;
    // The area where the pages sit.
    TRect DisplayRect() const;

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void WMSize(TMessage& M) override;
    void WMSetFocus(TMessage& M) override;
    void WMKillFocus(TMessage& M) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Loaded() override;
    virtual bool CanChange();
    virtual void Change();

private:
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void ChangeActivePage(TTabSheet* Page);
    // User action: OnChanging may veto, then OnChange.
    void UserSelectPage(TTabSheet* Page);
    void LayoutTabs();
    void InvalidateActiveTab();
    void LayoutPages();
    int TabTextWidth(const std::string& Caption) const;

    std::vector<TTabSheet*> FPages;
    TTabSheet* FActivePage = nullptr;
    bool FMultiLine = false;
    int FTabHeight = 0;
    int FRowCount = 1;
    TImageList* FImages = nullptr;
    std::vector<TRect> FTabRects; // per page; empty when the tab is hidden
};

// ---- tool bar -------------------------------------------------------------------------------

QM_ENUM(TToolButtonStyle, tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider)

class TToolBar;

class TToolButton : public TGraphicControl {
    QM_CLASS(TToolButton, TGraphicControl)
public:
    explicit TToolButton(TComponent* AOwner);
    ~TToolButton() override;

    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle v);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v);
    // Setting Down from code fires no event.
    bool Down() const { return FDown; }
    void SetDown(bool v);
    bool Grouped() const { return FGrouped; }
    void SetGrouped(bool v) { FGrouped = v; }
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool v) { FAllowAllUp = v; }
    bool Wrap() const { return FWrap; }
    void SetWrap(bool v);
    TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
    void SetDropdownMenu(TPopupMenu* v);
    TToolBar* ToolBar() const;

    void SetParent(TWinControl* AParent) override;
    void SetText(const std::string& v) override;
    // A check button toggles Down, then OnClick.
    void Click() override;
    // Shows DropdownMenu under the button (PopupComponent = this); false when none.
    bool CheckMenuDropdown();

    static constexpr int DropDownArrowWidth = 12;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Held down and dragged off, the button comes up; back over it, it goes down again.
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void RequestLayout();
    TToolButtonStyle FStyle = tbsButton;
    int FImageIndex = -1;
    bool FDown = false;
    bool FGrouped = false;
    bool FAllowAllUp = false;
    bool FWrap = false;
    bool FPressed = false;  // the left button went down on it and is held
    bool FHeldOff = false;  // ... with the pointer off the button
    TPopupMenu* FDropdownMenu = nullptr;
};

class TToolBar : public TCustomControl {
    QM_CLASS(TToolBar, TCustomControl)
public:
    explicit TToolBar(TComponent* AOwner);
    ~TToolBar() override;

    int ButtonCount() const;
    TToolButton* Buttons(int Index) const;
    int ButtonWidth() const { return FButtonWidth; }
    int ButtonHeight() const { return FButtonHeight; }
    void SetButtonWidth(int v);
    void SetButtonHeight(int v);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* v);
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool v);
    bool Flat() const { return FFlat; }
    void SetFlat(bool v);
    bool Wrapable() const { return FWrapable; }
    void SetWrapable(bool v);
    int Indent() const { return FIndent; }
    void SetIndent(int v);
    // Places the buttons left to right (wrapping when Wrapable), in creation order.
    void UpdateButtons();

protected:
    void Paint() override;
    void WMSize(TMessage& M) override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    int FButtonWidth = 23;
    int FButtonHeight = 22;
    TImageList* FImages = nullptr;
    bool FShowCaptions = false;
    bool FFlat = false;
    bool FWrapable = true;
    int FIndent = 0;
    bool FUpdating = false;
};

// ---- cool bar -----------------------------------------------------------------------------

class TCoolBar;

class TCoolBand : public TCollectionItem {
    QM_CLASS(TCoolBand, TCollectionItem)
public:
    explicit TCoolBand(TCollection* Collection);
    ~TCoolBand() override;
    void Assign(TPersistent* Source) override;

    TCoolBar* CoolBar() const;
    TBitmap* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap* v);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    bool Break() const { return FBreak; }
    void SetBreak(bool v);
    TColor Color() const;
    void SetColor(TColor v);
    // Binding a control takes it from any other band and makes the cool bar its parent;
    // the control a band held before stays where it is.
    TWinControl* Control() const { return FControl; }
    void SetControl(TWinControl* v);
    bool FixedBackground() const { return FFixedBackground; }
    void SetFixedBackground(bool v);
    bool FixedSize() const { return FFixedSize; }
    void SetFixedSize(bool v);
    bool HorizontalOnly() const { return FHorizontalOnly; }
    void SetHorizontalOnly(bool v);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v);
    int MinHeight() const { return FMinHeight; }
    void SetMinHeight(int v);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int v);
    bool ParentBitmap() const { return FParentBitmap; }
    void SetParentBitmap(bool v);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool v);
    std::string Text() const { return FText; }
    void SetText(const std::string& v);
    bool Visible() const { return FVisible; }
    void SetVisible(bool v);
    int Width() const { return FWidth; }
    void SetWidth(int v);
    // Where the last layout put the band (cool bar client coordinates).
    TRect BandRect() const { return FRect; }
    int HeaderWidth() const;

protected:
    std::string GetDisplayName() const override;

private:
    friend class TCoolBar;
    std::unique_ptr<TBitmap> FBitmap;
    TBorderStyle FBorderStyle = bsNone;
    bool FBreak = true;
    TColor FColor = clBtnFace;
    TWinControl* FControl = nullptr;
    bool FFixedBackground = true;
    bool FFixedSize = false;
    bool FHorizontalOnly = false;
    int FImageIndex = -1;
    int FMinHeight = 25;
    int FMinWidth = 0;
    bool FParentBitmap = true;
    bool FParentColor = true;
    std::string FText;
    bool FVisible = true;
    int FWidth = 0;
    TRect FRect{0, 0, 0, 0};
};

class TCoolBands : public TOwnedCollection {
    QM_CLASS(TCoolBands, TOwnedCollection)
public:
    explicit TCoolBands(TCoolBar* CoolBar);
    TCoolBand* Add() { return static_cast<TCoolBand*>(TCollection::Add()); }
    TCoolBand* Items(int Index) const { return static_cast<TCoolBand*>(TCollection::Items(Index)); }
    TCoolBand* operator[](int Index) const { return Items(Index); }
    TCoolBar* CoolBar() const { return FCoolBar; }
    // The band holding Control, or null.
    TCoolBand* FindBand(TControl* Control) const;
    // Each band holds one of the bar's controls. A layout stored by another design may
    // differ by a few bands, but more empty bands than the bar has controls or designed
    // bands is damage.
    int MaxPlausibleCount() const override;

protected:
    void Update(TCollectionItem* Item) override;
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

private:
    TCoolBar* FCoolBar;
};

class TCoolBar : public TCustomControl {
    QM_CLASS(TCoolBar, TCustomControl)
    friend class TCoolBand;
    friend class TCoolBands;

public:
    explicit TCoolBar(TComponent* AOwner);
    ~TCoolBar() override;

    TCoolBands* Bands() const { return FBands.get(); }
    void SetBands(TCoolBands* v);
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* v);
    TBitmap* Bitmap() const { return FBitmap.get(); }
    void SetBitmap(TBitmap* v);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool v);
    bool FixedSize() const { return FFixedSize; }
    void SetFixedSize(bool v) { FFixedSize = v; }
    bool FixedOrder() const { return FFixedOrder; }
    void SetFixedOrder(bool v) { FFixedOrder = v; }
    TBorderStyle BandBorderStyle() const { return FBandBorderStyle; }
    void SetBandBorderStyle(TBorderStyle v);
    bool Vertical() const { return FVertical; }
    void SetVertical(bool v);
    void BeginUpdate() { FBands->BeginUpdate(); }
    void EndUpdate() { FBands->EndUpdate(); }
    // Places the bands and their controls; AutoSize fits the height to the rows.
    void UpdateBands();
    // How many times the layout ran (layouts are deferred while updating).
    int LayoutCount() const { return FLayoutCount; }

    TNotifyEvent OnChange;

protected:
    void Paint() override;
    void WMSize(TMessage& M) override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;

private:
    std::unique_ptr<TCoolBands> FBands;
    TImageList* FImages = nullptr;
    std::unique_ptr<TBitmap> FBitmap;
    bool FShowText = true;
    bool FFixedSize = false;
    bool FFixedOrder = false;
    TBorderStyle FBandBorderStyle = bsSingle;
    bool FVertical = false;
    bool FInLayout = false;
    int FLayoutCount = 0;
};

// ---- status bar ---------------------------------------------------------------------------

QM_ENUM(TStatusPanelStyle, psText, psOwnerDraw)
QM_ENUM(TStatusPanelBevel, pbNone, pbLowered, pbRaised)

class TStatusBar;

class TStatusPanel : public TCollectionItem {
    QM_CLASS(TStatusPanel, TCollectionItem)
public:
    explicit TStatusPanel(TCollection* Collection);
    void Assign(TPersistent* Source) override;

    int Width() const { return FWidth; }
    void SetWidth(int v);
    std::string Text() const { return FText; }
    void SetText(const std::string& v);
    TStatusPanelStyle Style() const { return FStyle; }
    void SetStyle(TStatusPanelStyle v);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    TStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TStatusPanelBevel v);

protected:
    std::string GetDisplayName() const override;

private:
    int FWidth = 50;
    std::string FText;
    TStatusPanelStyle FStyle = psText;
    TAlignment FAlignment = taLeftJustify;
    TStatusPanelBevel FBevel = pbLowered;
};

class TStatusPanels : public TOwnedCollection {
    QM_CLASS(TStatusPanels, TOwnedCollection)
public:
    explicit TStatusPanels(TStatusBar* StatusBar);
    TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
    TStatusPanel* Items(int Index) const { return static_cast<TStatusPanel*>(TCollection::Items(Index)); }
    TStatusPanel* operator[](int Index) const { return Items(Index); }

protected:
    void Update(TCollectionItem* Item) override;

private:
    TStatusBar* FStatusBar;
};

using TDrawPanelEvent = Event<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TCustomControl {
    QM_CLASS(TStatusBar, TCustomControl)
public:
    explicit TStatusBar(TComponent* AOwner);
    ~TStatusBar() override;

    TStatusPanels* Panels() const { return FPanels.get(); }
    void SetPanels(TStatusPanels* v);
    // One panel across the bar showing SimpleText instead of Panels.
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool v);
    std::string SimpleText() const { return FSimpleText; }
    void SetSimpleText(const std::string& v);
    bool SizeGrip() const { return FSizeGrip; }
    void SetSizeGrip(bool v);
    // The panel's rectangle; the last panel reaches the right edge.
    TRect PanelRect(int Index) const;

    TDrawPanelEvent OnDrawPanel;

protected:
    void Paint() override;

private:
    std::unique_ptr<TStatusPanels> FPanels;
    bool FSimplePanel = false;
    std::string FSimpleText;
    bool FSizeGrip = true;
};

void RegisterComControlsClasses();
