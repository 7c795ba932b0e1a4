#pragma once
// The terminal control: shows what a linked serial port receives in a grid of character
// cells, optionally through an escape-code interpreter, and sends what the user types.
#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/StdCtrls.h"
#include "serial/SerialEscape.h"
#include "serial/SerialPort.h"
#include "serial/TermBuffer.h"

QM_ENUM(TTermEmulation, teVT100orANSI, teVT52, teNone)
QM_ENUM(TTermCaret, tcBlock, tcUnderline, tcNone)
QM_ENUM(TArrowKeys, akTerminal, akWindows)

using TChScreenEvent = Event<void(TObject* Sender, char Ch)>;
using TEscapeEvent = Event<void(TObject* Sender, TEscapeParser*& EscapeCodes)>;
using TUnhandledEvent = Event<void(TObject* Sender, TEscapeCode Code, std::string Data)>;
using TStrRecvEvent = Event<void(TObject* Sender, std::string& Str)>;

// Drag, dock and input-method properties the terminal publishes: a form description may set
// them and they are kept, but they change nothing. Kept apart so they cannot collide with the
// controls layer's own declarations.
namespace termpub {
QM_ENUM(TDragMode, dmManual, dmAutomatic)
QM_ENUM(TDragKind, dkDrag, dkDock)
QM_ENUM(TImeMode, imDisable, imClose, imOpen, imDontCare, imSAlpha, imAlpha, imHira, imSKata,
        imKata, imChinese, imSHanguel, imHanguel)
using TDragDropEvent = Event<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TDragOverEvent = Event<void(TObject* Sender, TObject* Source, int X, int Y, int State, bool& Accept)>;
using TEndDragEvent = Event<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = Event<void(TObject* Sender, TObject*& DragObject)>;
using TConstrainedResizeEvent =
    Event<void(TObject* Sender, int& MinWidth, int& MinHeight, int& MaxWidth, int& MaxHeight)>;
using TUnDockEvent = Event<void(TObject* Sender, TControl* Client, TWinControl* NewTarget, bool& Allow)>;
using TContextPopupEvent = Event<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
} // namespace termpub

struct TTermAttributes {
    TColor TextColor = 0;
    TColor FillColor = 0;
    bool Reverse = false;
    bool Bold = false;
    bool Underline = false;
};

class TCustomSerialTerminal : public TCustomControl, public TTermBufferHost {
    QM_CLASS(TCustomSerialTerminal, TCustomControl)
public:
    explicit TCustomSerialTerminal(TComponent* AOwner);
    ~TCustomSerialTerminal() override;

    // ---- Properties
    TColor AltColor() const { return FAltColor; }
    void SetAltColor(TColor Value);
    bool AppendLF() const { return FAppendLF; }
    void SetAppendLF(bool Value) { FAppendLF = Value; }
    TArrowKeys ArrowKeys() const { return FArrowKeys; }
    void SetArrowKeys(TArrowKeys Value) { FArrowKeys = Value; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    TTermCaret Caret() const { return FCaret; }
    void SetCaret(TTermCaret Value);
    int Columns() const { return FColumns; }
    void SetColumns(int Value);
    TCustomSerialPort* ComPort() const { return FComPort; }
    void SetComPort(TCustomSerialPort* Value);
    bool Connected() const;
    void SetConnected(bool Value);
    TTermEmulation Emulation() const { return FEmulation; }
    void SetEmulation(TTermEmulation Value);
    bool Force7Bit() const { return FForce7Bit; }
    void SetForce7Bit(bool Value) { FForce7Bit = Value; }
    bool LocalEcho() const { return FLocalEcho; }
    void SetLocalEcho(bool Value) { FLocalEcho = Value; }
    int Rows() const { return FRows; }
    void SetRows(int Value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    bool SendLF() const { return FSendLF; }
    void SetSendLF(bool Value) { FSendLF = Value; }
    bool SmoothScroll() const { return FSmoothScroll; }
    void SetSmoothScroll(bool Value) { FSmoothScroll = Value; }
    bool WantTab() const { return FWantTab; }
    void SetWantTab(bool Value) { FWantTab = Value; }
    bool WrapLines() const { return FWrapLines; }
    void SetWrapLines(bool Value) { FWrapLines = Value; }

    TChScreenEvent OnChar;
    TEscapeEvent OnGetEscapeCodes;
    TStrRecvEvent OnStrReceived;
    TUnhandledEvent OnUnhandledCode;

    // ---- Operations
    void DisplayText(const std::string& Str);
    void DisplayBytes(const void* Buffer, int Count);
    void ResetScreen();
    void PlaceCaret(int Column, int Row);
    // Params may be null.
    bool ExecuteCode(TEscapeCode Code, TStrings* Params);
    void PortBytesArrived(TObject* Sender, const void* Buffer, int Count);

    void TypeChar(char Ch);
    void TransmitCode(TEscapeCode Code, TStrings* Params);
    void TransmitReply(TEscapeCode Code, TStrings* Params);
    void MakeCaret();
    void RemakeCaret();
    bool MeasureFont();
    void UpdateScrollRanges();
    void ScrollView(int Bar, int Code, int Pos);
    void PaintCells(int Left, int Top, int Right, int Bottom);
    void DrawCell(int X, int Y, const TTermCell& Cell);
    void InvalidateCells(int Left, int Top, int Right, int Bottom);

    void Loaded() override;

    // ---- Fields
    TSerialLink* Link = nullptr;
    int CharHeight = 16;
    int CharWidth = 8;
    TPoint CaretPos{1, 1};
    TPoint SavedPos{0, 0};
    bool CaretMade = false;
    TPoint ViewPos{1, 1};
    int CaretHeight = 0;
    TTermAttributes SavedAttributes;
    TTermBuffer* CellBuffer = nullptr;
    TEscapeParser* EscapeCodes = nullptr;
    TTermAttributes Attributes;
    bool AppCursorKeys = false;

    // ---- Published properties the controls layer has no use for: kept, without effect
    TCursor DragCursor = crDrag;
    termpub::TDragKind DragKind = termpub::dkDrag;
    termpub::TDragMode DragMode = termpub::dmManual;
    termpub::TImeMode ImeMode = termpub::imDontCare;
    std::string ImeName;
    bool ParentCtl3D = true;
    bool ParentShowHint = true;
    termpub::TDragDropEvent OnDragDrop;
    termpub::TDragOverEvent OnDragOver;
    termpub::TEndDragEvent OnEndDrag;
    termpub::TStartDragEvent OnStartDrag;
    termpub::TConstrainedResizeEvent OnConstrainedResize;
    termpub::TDragDropEvent OnDockDrop;
    termpub::TEndDragEvent OnEndDock;
    termpub::TStartDragEvent OnStartDock;
    termpub::TUnDockEvent OnUnDock;
    termpub::TContextPopupEvent OnContextPopup;

    // ---- The buffer's view of the terminal
    int TermColumns() const override { return FColumns; }
    int TermRows() const override { return FRows; }
    int TermCharWidth() const override { return CharWidth; }
    int TermCharHeight() const override { return CharHeight; }
    HWND TermWindow() const override { return FHandle; }
    int TermClientWidth() const override { return ClientWidth(); }
    int TermClientHeight() const override { return ClientHeight(); }
    bool TermDoubleBuffered() const override { return DoubleBuffered; }
    void TermInvalidate() override;
    void TermInvalidateCells(int Left, int Top, int Right, int Bottom) override
    {
        InvalidateCells(Left, Top, Right, Bottom);
    }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;
    void CreateParams(TCreateParams& Params) override;
    void Paint() override;
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void BeforeDestroy() override;

    virtual void FireChar(char Ch);
    virtual void FireGetEscapeCodes(TEscapeParser*& Codes);
    virtual void FireStrReceived(std::string& Str);
    virtual void FireUnhandledCode(TEscapeCode Code, const std::string& Data);

    void WMSize(TMessage& M) override;
    void WMSetFocus(TMessage& M) override;
    void WMKillFocus(TMessage& M) override;
    void WMGetDlgCode(TMessage& M) override;
    void WMHScroll(TMessage& M) override;
    void WMVScroll(TMessage& M) override;
    void WMLButtonDown(TMessage& M) override;
    void CMFontChanged(TMessage& M) override;
    void CMColorChanged(TMessage& M) override;
    void CMCtl3DChanged(TMessage& M) override;

    enum class TCaretStep { AfterChar, CarriageReturn, LineFeed, ReverseLineFeed, Tab, Left, FormFeed };
    void CreateInterpreter();
    // A control made at run time gets its interpreter on first use.
    void EnsureInterpreter()
    {
        if (!FInterpreterReady && !IsLoading())
            CreateInterpreter();
    }
    void PlaceChar(char Ch);
    void StepCaret(TCaretStep Kind);
    TTermCell CurrentCell(char Ch) const;
    void ApplyAttributes(TStrings* Params);
    void DefaultAttributes();
    void ChangeMode(TStrings* Params, bool On);
    void SaveCaretSpot() { SavedPos = CaretPos; }
    void RestoreCaretSpot() { PlaceCaret(SavedPos.x, SavedPos.y); }
    void SaveAttributes() { SavedAttributes = Attributes; }
    void RestoreAttributes() { Attributes = SavedAttributes; }
    void FillScreen(char Ch);
    static std::string InsertLineFeeds(const std::string& Str);
    void HideCaretIfMade();
    void ShowCaretIfMade();
    void DrawDesignSample();

private:
    void DropCaret();
    void CanvasTakesControlLook();
    // The grid's size changed: the control, the scroll ranges and the cells follow.
    void GridSizeChanged();

    TColor FAltColor = 0xA6A6A6;
    bool FAppendLF = false;
    TArrowKeys FArrowKeys = akTerminal;
    TBorderStyle FBorderStyle = bsSingle;
    TTermCaret FCaret = tcBlock;
    int FColumns = TTermBuffer::DefaultColumns;
    TCustomSerialPort* FComPort = nullptr;
    TTermEmulation FEmulation = teVT100orANSI;
    bool FForce7Bit = false;
    bool FLocalEcho = false;
    int FRows = TTermBuffer::DefaultRows;
    TScrollStyle FScrollBars = ssBoth;
    bool FSendLF = false;
    bool FSmoothScroll = false;
    bool FWantTab = false;
    bool FWrapLines = false;

    // The interpreter follows Emulation once the control is whole (after Loaded, or on
    // first use for a control made at run time).
    bool FInterpreterReady = false;
    // An interpreter replaced while bytes are being fed through it is freed afterwards.
    int FDisplayDepth = 0;
    std::vector<std::unique_ptr<TEscapeParser>> FRetired;
    bool FMeasuring = false;
};

class TSerialTerminal : public TCustomSerialTerminal {
    QM_CLASS(TSerialTerminal, TCustomSerialTerminal)
public:
    using TCustomSerialTerminal::TCustomSerialTerminal;
};

// Module start-up and clean-up (the default font); counted, so repeated calls are harmless.
void SerialTerminalInitialize();
void SerialTerminalFinalize();
// The font every new terminal starts with, or null outside start-up and clean-up.
TFont* SerialTerminalDefaultFont();
void RegisterSerialTerminalClasses();
