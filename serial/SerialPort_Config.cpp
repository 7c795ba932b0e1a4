// Configuration of the port: settings objects, property setters and the apply rules.
#include "serial/CommApi.h"
#include "serial/SerialPort.h"

#include "framework/Thread.h"

// ---- Settings objects --------------------------------------------------------------------

QM_CLASS_IMPL(TSerialTimeouts, TPersistent, [](TClassBuilder<TSerialTimeouts>& b) {
    using C = TSerialTimeouts;
    b.Property("ReadInterval", &C::ReadInterval, &C::SetReadInterval).Default(-1);
    b.Property("ReadTotalMultiplier", &C::ReadTotalMultiplier, &C::SetReadTotalMultiplier).Default(0);
    b.Property("ReadTotalConstant", &C::ReadTotalConstant, &C::SetReadTotalConstant).Default(0);
    b.Property("WriteTotalMultiplier", &C::WriteTotalMultiplier, &C::SetWriteTotalMultiplier)
        .Default(100);
    b.Property("WriteTotalConstant", &C::WriteTotalConstant, &C::SetWriteTotalConstant)
        .Default(1000);
})

void TSerialTimeouts::Set(int& Field, int Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (FPort)
        FPort->ApplyTimeoutSettings();
}

void TSerialTimeouts::CopyTo(TPersistent* Dest)
{
    auto* d = dynamic_cast<TSerialTimeouts*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->FReadInterval = FReadInterval;
    d->FReadTotalMultiplier = FReadTotalMultiplier;
    d->FReadTotalConstant = FReadTotalConstant;
    d->FWriteTotalMultiplier = FWriteTotalMultiplier;
    d->FWriteTotalConstant = FWriteTotalConstant;
}

QM_CLASS_IMPL(TSerialFlowControl, TPersistent, [](TClassBuilder<TSerialFlowControl>& b) {
    using C = TSerialFlowControl;
    // Computed from the other fields: writing fcCustom keeps them, so it is not a plain store.
    b.Property("FlowControl", &C::FlowControl, &C::SetFlowControl).Stored(false).NoRoundTrip();
    b.Property("OutCTSFlow", &C::OutCTSFlow, &C::SetOutCTSFlow);
    b.Property("OutDSRFlow", &C::OutDSRFlow, &C::SetOutDSRFlow);
    b.Property("ControlDTR", &C::ControlDTR, &C::SetControlDTR);
    b.Property("ControlRTS", &C::ControlRTS, &C::SetControlRTS);
    b.Property("XonXoffOut", &C::XonXoffOut, &C::SetXonXoffOut);
    b.Property("XonXoffIn", &C::XonXoffIn, &C::SetXonXoffIn);
    b.Property("DSRSensitivity", &C::DSRSensitivity, &C::SetDSRSensitivity).Default(false);
    b.Property("TxContinueOnXoff", &C::TxContinueOnXoff, &C::SetTxContinueOnXoff).Default(false);
    b.Property("XonChar", &C::XonChar, &C::SetXonChar).Default(char(17));
    b.Property("XoffChar", &C::XoffChar, &C::SetXoffChar).Default(char(19));
})

void TSerialFlowControl::Apply()
{
    if (FPort)
        FPort->ApplyLineSettings();
}

TFlowControl TSerialFlowControl::FlowControl() const
{
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !FXonXoffIn && !FXonXoffOut)
        return fcNone;
    return fcCustom;
}

void TSerialFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    Apply();
}

void TSerialFlowControl::CopyTo(TPersistent* Dest)
{
    auto* d = dynamic_cast<TSerialFlowControl*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->FOutCTSFlow = FOutCTSFlow;
    d->FOutDSRFlow = FOutDSRFlow;
    d->FControlDTR = FControlDTR;
    d->FControlRTS = FControlRTS;
    d->FXonXoffOut = FXonXoffOut;
    d->FXonXoffIn = FXonXoffIn;
    d->FDSRSensitivity = FDSRSensitivity;
    d->FTxContinueOnXoff = FTxContinueOnXoff;
    d->FXonChar = FXonChar;
    d->FXoffChar = FXoffChar;
}

QM_CLASS_IMPL(TSerialParity, TPersistent, [](TClassBuilder<TSerialParity>& b) {
    using C = TSerialParity;
    b.Property("Bits", &C::Bits, &C::SetBits);
    b.Property("Check", &C::Check, &C::SetCheck).Default(false);
    b.Property("Replace", &C::Replace, &C::SetReplace).Default(false);
    b.Property("ReplaceChar", &C::ReplaceChar, &C::SetReplaceChar).Default('\0');
})

void TSerialParity::Apply()
{
    if (FPort)
        FPort->ApplyLineSettings();
}

void TSerialParity::CopyTo(TPersistent* Dest)
{
    auto* d = dynamic_cast<TSerialParity*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->FBits = FBits;
    d->FCheck = FCheck;
    d->FReplace = FReplace;
    d->FReplaceChar = FReplaceChar;
}

QM_CLASS_IMPL(TSerialBuffer, TPersistent, [](TClassBuilder<TSerialBuffer>& b) {
    using C = TSerialBuffer;
    // Odd sizes are rounded down, so a written value may come back changed.
    b.Property("InputSize", &C::InputSize, &C::SetInputSize).Default(1024).NoRoundTrip();
    b.Property("OutputSize", &C::OutputSize, &C::SetOutputSize).Default(1024).NoRoundTrip();
})

void TSerialBuffer::Set(int& Field, int Value)
{
    if (Field == Value)
        return;
    const int before = Field;
    Field = Value;
    if (Field > 0 && Field % 2 != 0)
        --Field;
    if (Field != before && FPort)
        FPort->ApplyQueueSizes();
}

void TSerialBuffer::CopyTo(TPersistent* Dest)
{
    auto* d = dynamic_cast<TSerialBuffer*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);
        return;
    }
    d->FInputSize = FInputSize;
    d->FOutputSize = FOutputSize;
}

QM_CLASS_IMPL(TSerialLink, TObject)

// ---- The port: construction ------------------------------------------------------------

QM_CLASS_IMPL(TCustomSerialPort, TComponent)

QM_CLASS_IMPL(TSerialPort, TCustomSerialPort, [](TClassBuilder<TSerialPort>& b) {
    using C = TSerialPort;
    // Writing it opens a device: not a plain store.
    b.Property("Connected", &C::Connected, &C::SetConnected).Default(false).NoRoundTrip();
    b.Property("BaudRate", &C::BaudRate, &C::SetBaudRate);
    b.Property("Port", &C::Port, &C::SetPort);
    b.Property("Parity", &C::Parity, &C::SetParity);
    b.Property("StopBits", &C::StopBits, &C::SetStopBits);
    b.Property("DataBits", &C::DataBits, &C::SetDataBits);
    b.Property("DiscardNull", &C::DiscardNull, &C::SetDiscardNull).Default(false);
    b.Property("EventChar", &C::EventChar, &C::SetEventChar).Default('\0');
    b.Property("Events", &C::Events);
    b.Property("Buffer", &C::Buffer, &C::SetBuffer);
    b.Property("FlowControl", &C::FlowControl, &C::SetFlowControl);
    b.Property("Timeouts", &C::Timeouts, &C::SetTimeouts);
    b.Property("SyncMethod", &C::SyncMethod, &C::SetSyncMethod).Default(smThreadSync);
    b.Property("OnAfterOpen", &C::OnAfterOpen);
    b.Property("OnAfterClose", &C::OnAfterClose);
    b.Property("OnBeforeOpen", &C::OnBeforeOpen);
    b.Property("OnBeforeClose", &C::OnBeforeClose);
    b.Property("OnRxChar", &C::OnRxChar);
    b.Property("OnRxBuf", &C::OnRxBuf);
    b.Property("OnTxEmpty", &C::OnTxEmpty);
    b.Property("OnBreak", &C::OnBreak);
    b.Property("OnRing", &C::OnRing);
    b.Property("OnCTSChange", &C::OnCTSChange);
    b.Property("OnDSRChange", &C::OnDSRChange);
    b.Property("OnRLSDChange", &C::OnRLSDChange);
    b.Property("OnRxFlag", &C::OnRxFlag);
    b.Property("OnError", &C::OnError);
    b.Property("OnRx80Full", &C::OnRx80Full);
})

void RegisterSerialPortClasses()
{
    RegisterClasses({TSerialPort::StaticClassInfo(), TSerialTimeouts::StaticClassInfo(),
                     TSerialFlowControl::StaticClassInfo(), TSerialParity::StaticClassInfo(),
                     TSerialBuffer::StaticClassInfo()});
}

TCustomSerialPort::TCustomSerialPort(TComponent* AOwner) : TComponent(AOwner)
{
    FParity = new TSerialParity;
    FFlowControl = new TSerialFlowControl;
    FTimeouts = new TSerialTimeouts;
    FBuffer = new TSerialBuffer;
    FParity->BindPort(this);
    FFlowControl->BindPort(this);
    FTimeouts->BindPort(this);
    FBuffer->BindPort(this);
}

TCustomSerialPort::~TCustomSerialPort()
{
    // Normally closed in BeforeDestroy; this catches a port deleted directly. The owner
    // may be half gone by now, so no port event goes out.
    FInDestructor = true;
    try {
        ClosePort();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    FreeAndNil(FBuffer);
    FreeAndNil(FFlowControl);
    FreeAndNil(FTimeouts);
    FreeAndNil(FParity);
}

void TCustomSerialPort::BeforeDestroy()
{
    // Close while links and owner are whole, before free notifications go out (a terminal
    // detaches its link then) and before Links is freed.
    try {
        ClosePort();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    TComponent::BeforeDestroy();
}

void TCustomSerialPort::Loaded()
{
    TComponent::Loaded();
    FinishLoading();
}

void TCustomSerialPort::FinishLoading()
{
    if (FConnected && !IsDesigning()) {
        FConnected = false;
        try {
            OpenPort();
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
    }
}

bool TCustomSerialPort::CanFire() const
{
    if (FInDestructor)
        return false;
    return !(Owner() && Owner()->IsDestroying());
}

// ---- Setters -----------------------------------------------------------------------------

void TCustomSerialPort::SetBaudRate(TBaudRate Value)
{
    if (Value == FBaudRate)
        return;
    FBaudRate = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetCustomBaudRate(int Value)
{
    if (Value == FCustomBaudRate)
        return;
    FCustomBaudRate = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetDataBits(TDataBits Value)
{
    if (Value == FDataBits)
        return;
    FDataBits = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetStopBits(TStopBits Value)
{
    if (Value == FStopBits)
        return;
    FStopBits = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetDiscardNull(bool Value)
{
    if (Value == FDiscardNull)
        return;
    FDiscardNull = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetEventChar(char Value)
{
    if (Value == FEventChar)
        return;
    FEventChar = Value;
    ApplyLineSettings();
}

void TCustomSerialPort::SetPort(const std::string& Value)
{
    if (Value == FPort)
        return;
    FPort = Value;
    if (FConnected && !IsDesigning() && !IsLoading()) {
        ClosePort();
        OpenPort();
    }
}

void TCustomSerialPort::SetConnected(bool Value)
{
    if (IsDesigning() || IsLoading()) {
        FConnected = Value;
        return;
    }
    if (Value == FConnected)
        return;
    if (Value)
        OpenPort();
    else
        ClosePort();
}

void TCustomSerialPort::SetSyncMethod(TSyncMethod Value)
{
    if (Value == FSyncMethod)
        return;
    if (FConnected && !IsDesigning() && !IsLoading())
        throw ESerialPort::CreateNoWinCode(14);
    FSyncMethod = Value;
}

void TCustomSerialPort::SetParity(TSerialParity* Value)
{
    if (Value && Value != FParity)
        Value->CopyTo(FParity);
    ApplyLineSettings();
}

void TCustomSerialPort::SetFlowControl(TSerialFlowControl* Value)
{
    if (Value && Value != FFlowControl)
        Value->CopyTo(FFlowControl);
    ApplyLineSettings();
}

void TCustomSerialPort::SetTimeouts(TSerialTimeouts* Value)
{
    if (Value && Value != FTimeouts)
        Value->CopyTo(FTimeouts);
    ApplyTimeoutSettings();
}

void TCustomSerialPort::SetBuffer(TSerialBuffer* Value)
{
    if (Value && Value != FBuffer)
        Value->CopyTo(FBuffer);
    ApplyQueueSizes();
}

// ---- Applying ----------------------------------------------------------------------------

void TCustomSerialPort::DeferApply() { ++FDeferCount; }

void TCustomSerialPort::ResumeApply()
{
    if (FDeferCount <= 0)
        return;
    if (--FDeferCount == 0)
        ApplyAllSettings();
}

void TCustomSerialPort::ApplyAllSettings()
{
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

bool TCustomSerialPort::CanApply() const
{
    return FConnected && FDeferCount == 0 && !IsDesigning() && !IsLoading();
}

DCB TCustomSerialPort::BuildDCB() const
{
    static const DWORD rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                  14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = FBaudRate == brCustom ? static_cast<DWORD>(FCustomBaudRate) : rates[FBaudRate];
    dcb.fBinary = 1;
    dcb.fParity = FParity->Check() ? 1 : 0;
    dcb.fOutxCtsFlow = FFlowControl->OutCTSFlow() ? 1 : 0;
    dcb.fOutxDsrFlow = FFlowControl->OutDSRFlow() ? 1 : 0;
    dcb.fDtrControl = static_cast<DWORD>(FFlowControl->ControlDTR());
    dcb.fDsrSensitivity = FFlowControl->DSRSensitivity() ? 1 : 0;
    dcb.fTXContinueOnXoff = FFlowControl->TxContinueOnXoff() ? 1 : 0;
    dcb.fOutX = FFlowControl->XonXoffOut() ? 1 : 0;
    dcb.fInX = FFlowControl->XonXoffIn() ? 1 : 0;
    const bool replace = FParity->Check() && FParity->Replace();
    dcb.fErrorChar = replace ? 1 : 0;
    dcb.fNull = FDiscardNull ? 1 : 0;
    dcb.fRtsControl = static_cast<DWORD>(FFlowControl->ControlRTS());
    dcb.XonLim = static_cast<WORD>(FBuffer->InputSize() / 4);
    dcb.XoffLim = static_cast<WORD>(FBuffer->InputSize() / 4);
    dcb.ByteSize = static_cast<BYTE>(5 + FDataBits);
    dcb.Parity = static_cast<BYTE>(FParity->Bits());
    dcb.StopBits = static_cast<BYTE>(FStopBits);
    dcb.XonChar = FFlowControl->XonChar();
    dcb.XoffChar = FFlowControl->XoffChar();
    dcb.ErrorChar = replace ? FParity->ReplaceChar() : '\0';
    dcb.EvtChar = FEventChar;
    return dcb;
}

void TCustomSerialPort::ApplyLineSettings()
{
    if (!CanApply())
        return;
    DCB dcb = BuildDCB();
    if (!Comm().SetCommState(FHandle, &dcb))
        throw ESerialPort(7, static_cast<int>(GetLastError()));
}

void TCustomSerialPort::ApplyTimeoutSettings()
{
    if (!CanApply())
        return;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = static_cast<DWORD>(FTimeouts->ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(FTimeouts->WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(FTimeouts->WriteTotalConstant());
    if (!Comm().SetCommTimeouts(FHandle, &t))
        throw ESerialPort(8, static_cast<int>(GetLastError()));
}

void TCustomSerialPort::ApplyQueueSizes()
{
    if (!CanApply())
        return;
    if (!Comm().SetupComm(FHandle, static_cast<DWORD>(FBuffer->InputSize()),
                          static_cast<DWORD>(FBuffer->OutputSize())))
        throw ESerialPort(9, static_cast<int>(GetLastError()));
}
