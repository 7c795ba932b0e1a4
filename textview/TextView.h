#pragma once
// A read-only, scrolling view of styled text lines: items are appended by the owner,
// laid out into draw pieces with word wrap, painted, and selectable with the mouse.
#include <string>

#include "framework/Classes.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "textview/ViewScroll.h"
#include "textview/ViewStyle.h"

class TTimer;
class TTextView;

QM_ENUM(TBackgroundStyle, bsNoBitmap, bsStretched, bsTiled, bsTiledAndScrolled)
QM_ENUM(TViewSaveFormat, vsfText, vsfHTML, vsfRTF, vsfNative)
QM_ENUM(TViewSaveOption, vsoOverrideFiles)
using TViewSaveOptions = Set<TViewSaveOption>;

using TJumpEvent = Event<void(TObject* Sender, int id)>;
using TViewMouseMoveEvent = Event<void(TObject* Sender, int id)>;
using TViewDblClickEvent = Event<void(TTextView* Sender, const std::string& ClickedWord, int Style)>;
using TViewRightClickEvent =
    Event<void(TTextView* Sender, const std::string& ClickedWord, int Style, int X, int Y)>;
using TViewURLNeededEvent = Event<void(TTextView* Sender, int id, std::string& url)>;
using TViewSaveComponentToFileEvent = Event<void(TTextView* Sender, const std::string& Path, TPersistent* SaveMe,
                                                 TViewSaveFormat SaveFormat, std::string& OutStr)>;

// Item kinds other than text (text items carry a style number of 0 or more).
constexpr int ivBreak = -1;
constexpr int ivCheckpoint = -2;
constexpr int ivPicture = -3;
constexpr int ivHotspot = -4;
constexpr int ivControl = -5;
constexpr int ivBullet = -6;

// One item.
class TLineInfo : public TObject {
    QM_CLASS(TLineInfo, TObject)
public:
    int StyleNo = 0;
    bool SameAsPrev = false;
    bool Center = false;
    int ImageNo = 0;
    TObject* Obj = nullptr;
};

// One draw piece, in document pixels.
class TDrawLineInfo : public TObject {
    QM_CLASS(TDrawLineInfo, TObject)
public:
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int ItemNo = 0;
    int Offs = 1; // 1-based position of the piece's first character in its item
    bool FromNewLine = false;
};

class TJumpInfo : public TObject {
    QM_CLASS(TJumpInfo, TObject)
public:
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Id = 0;
    int DrawItemNo = 0;
};

class TCPInfo : public TObject {
    QM_CLASS(TCPInfo, TObject)
public:
    int Y = 0;
    int ItemNo = 0;
};

class TTextView : public TViewScroller {
    QM_CLASS(TTextView, TViewScroller)
public:
    explicit TTextView(TComponent* AOwner);
    ~TTextView() override;

    // ---- Properties ----
    TViewStyle* Style() const { return FStyle; }
    void SetStyle(TViewStyle* Value);
    int FirstJumpNo = 0;
    int MaxTextWidth = 0;
    int MinTextWidth = 0;
    int LeftMargin = 5;
    int RightMargin = 5;
    TBitmap* BackgroundBitmap() const { return FBackgroundBitmap; }
    void SetBackgroundBitmap(TBitmap* Value);
    TBackgroundStyle BackgroundStyle() const { return FBackgroundStyle; }
    void SetBackgroundStyle(TBackgroundStyle Value);
    std::string Delimiters = " .;,:(){}\"";
    bool AllowSelection = true;
    bool SingleClick = false;

    TJumpEvent OnJump;
    TViewMouseMoveEvent OnViewMouseMove;
    TViewDblClickEvent OnViewDblClick;
    TViewRightClickEvent OnViewRightClick;
    TNotifyEvent OnSelect;
    TNotifyEvent OnResized;
    TViewURLNeededEvent OnURLNeeded;
    TViewSaveComponentToFileEvent OnSaveComponentToFile;

    // ---- Document ----
    void AddParagraph(const std::string& Text, int StyleNo);
    void AddTextLines(const std::string& Text, int StyleNo);
    void FormatDocument();
    void FormatAppended();
    void ClearFormatting();
    void ClearDocument();

    // ---- Selection ----
    bool HasSelection() const;
    std::string SelectedText() const;
    void CopySelection();
    void DropSelection();
    void OrderedSelection(int& S, int& E, int& SO, int& EO) const;
    void SelectionToItems(int& StartItem, int& EndItem, int& StartOffs, int& EndOffs) const;
    void SelectionFromItems(int StartItem, int EndItem, int StartOffs, int EndOffs);
    void SelectionPointAt(int X, int Y, int& PieceNo, int& Offset);
    int DrawItemAtPoint(int X, int Y) const;
    bool WordAtPoint(std::string& Word, int& StyleNo);
    void InvalidateJump(int Id);
    void AutoScrollTick(TObject* Sender);

    // ---- Painting ----
    int FirstVisibleDrawItem(int Y) const;
    void DrawBackground(HDC DC, const TRect& Clip, int W, int H);
    virtual std::string NextPictureFileName(const std::string& Path);
    virtual std::string WritePictureFile(TViewSaveFormat SaveFormat, const std::string& Path, TGraphic* Graphic);

    // ---- State (read by the painting and selection code, and by tests) ----
    TStringList* Items = nullptr;
    TStringList* DrawItems = nullptr;
    TStringList* Checkpoints = nullptr;
    TStringList* Jumps = nullptr;
    int NextJumpId = 0;
    bool Formatting = false;
    int TextWidth = -1;
    int DocHeight = 0;
    int LastFormattedItem = -1;

    int SelStartNo = -1, SelEndNo = -1;
    int SelStartOffs = 0, SelEndOffs = 0;
    bool Selecting = false;
    int HoverJumpId = -1;
    bool HoverDrawn = false;
    int PressedJumpId = -1;
    int ClickX = 0, ClickY = 0;
    int DragX = 0, DragY = 0;
    int ScrollDelta = 0;
    TTimer* ScrollTimer = nullptr;

    int EraseWidth = 0, EraseHeight = 0;
    std::string ImageSavePrefix;
    int ImageSaveCounter = 0;
    TViewSaveOptions SaveOptions;

    TLineInfo* LineInfo(int ItemNo) const { return static_cast<TLineInfo*>(Items->Objects(ItemNo)); }
    TDrawLineInfo* Piece(int PieceNo) const { return static_cast<TDrawLineInfo*>(DrawItems->Objects(PieceNo)); }
    void BracketRowAt(int Y, int& lo, int& hi) const;
    void LeaveJump();
    TJumpInfo* Jump(int JumpNo) const { return static_cast<TJumpInfo*>(Jumps->Objects(JumpNo)); }

protected:
    void BeforeDestroy() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Paint() override;
    void Click() override;
    void DblClick() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void WMSize(TMessage& M) override;
    void WMEraseBkgnd(TMessage& M) override;
    void CMMouseLeave(TMessage& M) override;

private:
    struct Layout; // state carried from item to item while laying out
    void FormatItems(bool KeepPosition, int Depth, TCanvas* ACanvas, bool OnlyAppended);
    void FormatItem(int ItemNo, Layout& L, TCanvas* ACanvas);
    int WidestObject() const;
    void UpdateJumpPositions();
    void PlaceControls();
    void PaintPlainFrame();
    void DrawTextPiece(TCanvas* BC, int i, int X, int Y, int S, int E, int SO, int EO);
    int JumpAt(int X, int Y) const;
    void SelectFont(TCanvas* ACanvas, int StyleNo) const;
    int FitChars(TCanvas* ACanvas, const std::string& Text, int MaxExtent) const;

    TViewStyle* FStyle = nullptr;
    TBitmap* FBackgroundBitmap = nullptr;
    TBackgroundStyle FBackgroundStyle = bsNoBitmap;
};

void RegisterTextViewClasses();
