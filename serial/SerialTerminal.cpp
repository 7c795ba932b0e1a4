#include "serial/SerialTerminal.h"

#include <algorithm>

namespace {
TFont* GDefaultFont = nullptr;
int GInitCount = 0;

const char* const DefaultFontName = "Fixedsys";
constexpr TColor DefaultFontColor = 0xFFFFFF;
constexpr int DefaultFontSize = 9;
} // namespace

void SerialTerminalInitialize()
{
    if (GInitCount++ > 0)
        return;
    GDefaultFont = new TFont();
    GDefaultFont->SetName(DefaultFontName);
    GDefaultFont->SetColor(DefaultFontColor);
    GDefaultFont->SetSize(DefaultFontSize);
}

void SerialTerminalFinalize()
{
    if (GInitCount == 0 || --GInitCount > 0)
        return;
    FreeAndNil(GDefaultFont);
}

TFont* SerialTerminalDefaultFont() { return GDefaultFont; }

QM_CLASS_IMPL(TCustomSerialTerminal, TCustomControl)

QM_CLASS_IMPL(TSerialTerminal, TCustomSerialTerminal, [](TClassBuilder<TSerialTerminal>& b) {
    using T = TCustomSerialTerminal;
    b.Property("AltColor", &T::AltColor, &T::SetAltColor).Default(0xA6A6A6).TypeName("TColor");
    b.Property("AppendLF", &T::AppendLF, &T::SetAppendLF).Default(false);
    b.Property("ArrowKeys", &T::ArrowKeys, &T::SetArrowKeys).Default(akTerminal);
    b.Property("BorderStyle", &T::BorderStyle, &T::SetBorderStyle).Default(bsSingle);
    b.Property("Caret", &T::Caret, &T::SetCaret).Default(tcBlock);
    b.Property("Columns", &T::Columns, &T::SetColumns).Default(80).NoRoundTrip();
    b.Property("ComPort", &T::ComPort, &T::SetComPort);
    b.Property("Connected", &T::Connected, &T::SetConnected).Stored(false);
    b.Property("Emulation", &T::Emulation, &T::SetEmulation).NoDefault();
    b.Property("Force7Bit", &T::Force7Bit, &T::SetForce7Bit).Default(false);
    b.Property("LocalEcho", &T::LocalEcho, &T::SetLocalEcho).Default(false);
    b.Property("Rows", &T::Rows, &T::SetRows).Default(24).NoRoundTrip();
    b.Property("ScrollBars", &T::ScrollBars, &T::SetScrollBars).NoDefault();
    b.Property("SendLF", &T::SendLF, &T::SetSendLF).Default(false);
    b.Property("SmoothScroll", &T::SmoothScroll, &T::SetSmoothScroll).Default(false);
    b.Property("WantTab", &T::WantTab, &T::SetWantTab).Default(false);
    b.Property("WrapLines", &T::WrapLines, &T::SetWrapLines).Default(false);

    b.Property("DragCursor", &T::DragCursor).Default(crDrag);
    b.Property("DragKind", &T::DragKind).Default(termpub::dkDrag);
    b.Property("DragMode", &T::DragMode).Default(termpub::dmManual);
    b.Property("ImeMode", &T::ImeMode).Default(termpub::imDontCare);
    b.Property("ImeName", &T::ImeName).Default(std::string());
    b.Property("ParentCtl3D", &T::ParentCtl3D).Default(true);
    b.Property("ParentShowHint", &T::ParentShowHint).Default(true);
    b.Property("OnDragDrop", &T::OnDragDrop);
    b.Property("OnDragOver", &T::OnDragOver);
    b.Property("OnEndDrag", &T::OnEndDrag);
    b.Property("OnStartDrag", &T::OnStartDrag);
    b.Property("OnConstrainedResize", &T::OnConstrainedResize);
    b.Property("OnDockDrop", &T::OnDockDrop);
    b.Property("OnEndDock", &T::OnEndDock);
    b.Property("OnStartDock", &T::OnStartDock);
    b.Property("OnUnDock", &T::OnUnDock);
    b.Property("OnContextPopup", &T::OnContextPopup);

    b.Property("OnChar", &T::OnChar);
    b.Property("OnGetEscapeCodes", &T::OnGetEscapeCodes);
    b.Property("OnStrReceived", &T::OnStrReceived);
    b.Property("OnUnhandledCode", &T::OnUnhandledCode);
})

void RegisterSerialTerminalClasses() { RegisterClass(TSerialTerminal::StaticClassInfo()); }

TCustomSerialTerminal::TCustomSerialTerminal(TComponent* AOwner) : TCustomControl(AOwner)
{
    // The cells and the link exist before anything below can reach them.
    CellBuffer = new TTermBuffer(this);
    Link = new TSerialLink();
    Link->BytesReceived = TRxBufEvent(QM_METHOD(this, TCustomSerialTerminal, PortBytesArrived));
    SetTabStop(true);
    SetBounds(Left(), Top(), 400, 250);
    SetColor(clBlack);
    if (GDefaultFont != nullptr) {
        Font()->Assign(GDefaultFont);
    } else {
        // Outside start-up (a test, a tool): the same look without the shared object.
        TFont f;
        f.SetName(DefaultFontName);
        f.SetColor(DefaultFontColor);
        f.SetSize(DefaultFontSize);
        Font()->Assign(&f);
    }
    DefaultAttributes();
    SavedAttributes = Attributes;
}

TCustomSerialTerminal::~TCustomSerialTerminal()
{
    delete CellBuffer;
    delete EscapeCodes;
    delete Link;
}

void TCustomSerialTerminal::BeforeDestroy()
{
    SetComPort(nullptr);
    DropCaret();
    TCustomControl::BeforeDestroy();
}

void TCustomSerialTerminal::Loaded()
{
    TCustomControl::Loaded();
    CreateInterpreter();
    if (!IsDesigning()) {
        CellBuffer->RebuildCells();
        PlaceCaret(CaretPos.x, CaretPos.y);
    }
}

void TCustomSerialTerminal::Notification(TComponent* AComponent, TOperation Operation)
{
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent != nullptr && AComponent == FComPort)
        SetComPort(nullptr);
}

void TCustomSerialTerminal::CreateInterpreter()
{
    if (IsDesigning())
        return;
    TEscapeParser* old = EscapeCodes;
    EscapeCodes = nullptr;
    if (old != nullptr) {
        if (FDisplayDepth > 0)
            FRetired.emplace_back(old);
        else
            delete old;
    }
    FInterpreterReady = true;
    switch (FEmulation) {
    case teVT100orANSI: EscapeCodes = new TVT100Parser(); break;
    case teVT52: EscapeCodes = new TVT52Parser(); break;
    case teNone: FireGetEscapeCodes(EscapeCodes); break;
    }
}

// ---- Properties ------------------------------------------------------------------------------

void TCustomSerialTerminal::SetAltColor(TColor Value)
{
    FAltColor = Value;
    if (IsDesigning())
        Invalidate();
}

void TCustomSerialTerminal::SetBorderStyle(TBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TCustomSerialTerminal::SetScrollBars(TScrollStyle Value)
{
    if (Value == FScrollBars)
        return;
    FScrollBars = Value;
    RecreateWnd();
}

void TCustomSerialTerminal::SetColumns(int Value)
{
    if (Value == FColumns)
        return;
    FColumns = std::clamp(Value, TTermBuffer::MinColumns, TTermBuffer::MaxColumns);
    GridSizeChanged();
}

void TCustomSerialTerminal::SetRows(int Value)
{
    if (Value == FRows)
        return;
    FRows = std::clamp(Value, TTermBuffer::MinRows, TTermBuffer::MaxRows);
    GridSizeChanged();
}

void TCustomSerialTerminal::GridSizeChanged()
{
    AdjustSize();
    UpdateScrollRanges();
    if (IsLoading() || IsDesigning())
        return;
    CellBuffer->RebuildCells();
    PlaceCaret(CaretPos.x, CaretPos.y);
    Invalidate();
}

void TCustomSerialTerminal::SetComPort(TCustomSerialPort* Value)
{
    if (Value == FComPort)
        return;
    if (FComPort != nullptr) {
        const auto& links = FComPort->Links();
        if (std::find(links.begin(), links.end(), Link) != links.end())
            FComPort->DetachLink(Link);
    }
    FComPort = Value;
    if (FComPort != nullptr) {
        FComPort->FreeNotification(this);
        FComPort->AttachLink(Link);
    }
}

bool TCustomSerialTerminal::Connected() const { return FComPort != nullptr && FComPort->Connected(); }

void TCustomSerialTerminal::SetConnected(bool Value)
{
    if (FComPort != nullptr)
        FComPort->SetConnected(Value);
}

void TCustomSerialTerminal::SetEmulation(TTermEmulation Value)
{
    if (Value == FEmulation)
        return;
    FEmulation = Value;
    if (IsLoading())
        FInterpreterReady = false;
    else
        CreateInterpreter();
}

void TCustomSerialTerminal::SetCaret(TTermCaret Value)
{
    if (Value == FCaret)
        return;
    FCaret = Value;
    if (HandleAllocated() && Focused()) {
        DropCaret();
        RemakeCaret();
    }
}

// ---- Events ------------------------------------------------------------------------------

void TCustomSerialTerminal::FireChar(char Ch) { OnChar(this, Ch); }
void TCustomSerialTerminal::FireGetEscapeCodes(TEscapeParser*& Codes) { OnGetEscapeCodes(this, Codes); }
void TCustomSerialTerminal::FireStrReceived(std::string& Str) { OnStrReceived(this, Str); }
void TCustomSerialTerminal::FireUnhandledCode(TEscapeCode Code, const std::string& Data)
{
    OnUnhandledCode(this, Code, Data);
}
