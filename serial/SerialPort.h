#pragma once
// The serial port component: configuration and line settings, opening and overlapped I/O,
// the event thread with its three delivery modes and the links other controls plug in
// with, and the settings store.
#include "framework/Classes.h"
#include "framework/SysUtils.h"
#include "framework/Thread.h"
#include "framework/TypInfo.h"
#include "platform/Comm.h"
#include "platform/Messages.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class TRegistry;
class TCustomIniFile;
class TCustomSerialPort;

QM_ENUM_TYPED(TBaudRate, uint8_t, brCustom, br110, br300, br600, br1200, br2400, br4800, br9600,
              br14400, br19200, br38400, br56000, br57600, br115200, br128000, br256000)
QM_ENUM_TYPED(TStopBits, uint8_t, sbOneStopBit, sbOne5StopBits, sbTwoStopBits)
QM_ENUM_TYPED(TDataBits, uint8_t, dbFive, dbSix, dbSeven, dbEight)
QM_ENUM_TYPED(TParityBits, uint8_t, prNone, prOdd, prEven, prMark, prSpace)
QM_ENUM_TYPED(TDTRFlowControl, uint8_t, dtrDisable, dtrEnable, dtrHandshake)
QM_ENUM_TYPED(TRTSFlowControl, uint8_t, rtsDisable, rtsEnable, rtsHandshake, rtsToggle)
QM_ENUM_TYPED(TFlowControl, uint8_t, fcHardware, fcSoftware, fcNone, fcCustom)
QM_ENUM_TYPED(TSerialEvent, uint8_t, evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR,
              evError, evRLSD, evRx80Full)
QM_ENUM_TYPED(TSyncMethod, uint8_t, smThreadSync, smWindowSync, smNone)
QM_ENUM_TYPED(TSerialError, uint8_t, ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode,
              ceRxOver, ceTxFull)
QM_ENUM_TYPED(TModemLine, uint8_t, mlCTS, mlDSR, mlRing, mlRLSD)
QM_ENUM_TYPED(TStoredGroup, uint8_t, sgBasic, sgFlowDetails, sgBuffer, sgTimeouts,
              sgParityDetails, sgEventChar)

using TSerialEvents = Set<TSerialEvent>;
using TSerialErrors = Set<TSerialError>;
using TModemLines = Set<TModemLine>;
using TStoredGroups = Set<TStoredGroup>;

inline constexpr TSerialEvents AllSerialEvents = TSerialEvents::FromBits(0x3FF);

using TRxCharEvent = Event<void(TObject* Sender, int Count)>;
using TRxBufEvent = Event<void(TObject* Sender, const void* Buffer, int Count)>;
using TSerialSignalEvent = Event<void(TObject* Sender, bool OnOff)>;
using TSerialErrorEvent = Event<void(TObject* Sender, TSerialErrors Errors)>;

// ---- Errors ------------------------------------------------------------------------------

class ESerialPort : public Exception {
public:
    // The port error's text followed by the formatted " (win error code: %d)".
    ESerialPort(int code, int winCode);
    static ESerialPort CreateNoWinCode(int code);
    std::string ClassName() const override { return "ESerialPort"; }

    int SystemErrorCode = -1;
    int PortErrorCode = 0;

private:
    struct NoWinCode {};
    ESerialPort(int code, NoWinCode);
};

// The (translated) text of port error code 1..23; "" for any other code.
std::string PortErrorText(int code);
constexpr int PortErrorCount = 23;

namespace serialport_detail {
// The message of an error with a Windows code: text as it stands, then the suffix
// formatted with the code. A suffix that does not hold exactly one %d (and no other %)
// is replaced by the English one.
std::string WinCodeMessage(const std::string& text, const std::string& suffix, int winCode);
bool ValidWinCodeSuffix(const std::string& suffix);
} // namespace serialport_detail

// The module's start-up and clean-up: the "serialport" text domain and the translated
// messages; clean-up also frees event threads retired while a handler was running.
void SerialPortInitialize();
void SerialPortFinalize();

// ---- Settings objects --------------------------------------------------------------------

class TSerialTimeouts : public TPersistent {
    QM_CLASS(TSerialTimeouts, TPersistent)
public:
    TSerialTimeouts() = default;
    void BindPort(TCustomSerialPort* Port) { FPort = Port; }
    virtual void CopyTo(TPersistent* Dest);

    int ReadInterval() const { return FReadInterval; }
    int ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int ReadTotalConstant() const { return FReadTotalConstant; }
    int WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetReadInterval(int Value) { Set(FReadInterval, Value); }
    void SetReadTotalMultiplier(int Value) { Set(FReadTotalMultiplier, Value); }
    void SetReadTotalConstant(int Value) { Set(FReadTotalConstant, Value); }
    void SetWriteTotalMultiplier(int Value) { Set(FWriteTotalMultiplier, Value); }
    void SetWriteTotalConstant(int Value) { Set(FWriteTotalConstant, Value); }

protected:
    void AssignTo(TPersistent* Dest) override { CopyTo(Dest); }

private:
    void Set(int& Field, int Value);
    TCustomSerialPort* FPort = nullptr;
    int FReadInterval = -1;
    int FReadTotalMultiplier = 0;
    int FReadTotalConstant = 0;
    int FWriteTotalMultiplier = 100;
    int FWriteTotalConstant = 1000;
};

class TSerialFlowControl : public TPersistent {
    QM_CLASS(TSerialFlowControl, TPersistent)
public:
    TSerialFlowControl() = default;
    void BindPort(TCustomSerialPort* Port) { FPort = Port; }
    virtual void CopyTo(TPersistent* Dest);

    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl Value);

    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    char XonChar() const { return FXonChar; }
    char XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value) { Set(FOutCTSFlow, Value); }
    void SetOutDSRFlow(bool Value) { Set(FOutDSRFlow, Value); }
    void SetControlDTR(TDTRFlowControl Value) { Set(FControlDTR, Value); }
    void SetControlRTS(TRTSFlowControl Value) { Set(FControlRTS, Value); }
    void SetXonXoffOut(bool Value) { Set(FXonXoffOut, Value); }
    void SetXonXoffIn(bool Value) { Set(FXonXoffIn, Value); }
    void SetDSRSensitivity(bool Value) { Set(FDSRSensitivity, Value); }
    void SetTxContinueOnXoff(bool Value) { Set(FTxContinueOnXoff, Value); }
    void SetXonChar(char Value) { Set(FXonChar, Value); }
    void SetXoffChar(char Value) { Set(FXoffChar, Value); }

protected:
    void AssignTo(TPersistent* Dest) override { CopyTo(Dest); }

private:
    template <class T> void Set(T& Field, T Value)
    {
        if (Field == Value)
            return;
        Field = Value;
        Apply();
    }
    void Apply();
    TCustomSerialPort* FPort = nullptr;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    char FXonChar = 17;
    char FXoffChar = 19;
};

class TSerialParity : public TPersistent {
    QM_CLASS(TSerialParity, TPersistent)
public:
    TSerialParity() = default;
    void BindPort(TCustomSerialPort* Port) { FPort = Port; }
    virtual void CopyTo(TPersistent* Dest);

    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    char ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits Value) { Set(FBits, Value); }
    void SetCheck(bool Value) { Set(FCheck, Value); }
    void SetReplace(bool Value) { Set(FReplace, Value); }
    void SetReplaceChar(char Value) { Set(FReplaceChar, Value); }

protected:
    void AssignTo(TPersistent* Dest) override { CopyTo(Dest); }

private:
    template <class T> void Set(T& Field, T Value)
    {
        if (Field == Value)
            return;
        Field = Value;
        Apply();
    }
    void Apply();
    TCustomSerialPort* FPort = nullptr;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    char FReplaceChar = 0;
};

class TSerialBuffer : public TPersistent {
    QM_CLASS(TSerialBuffer, TPersistent)
public:
    TSerialBuffer() = default;
    void BindPort(TCustomSerialPort* Port) { FPort = Port; }
    virtual void CopyTo(TPersistent* Dest);

    int InputSize() const { return FInputSize; }
    int OutputSize() const { return FOutputSize; }
    // Odd positive sizes are lowered to the even size below.
    void SetInputSize(int Value) { Set(FInputSize, Value); }
    void SetOutputSize(int Value) { Set(FOutputSize, Value); }

protected:
    void AssignTo(TPersistent* Dest) override { CopyTo(Dest); }

private:
    void Set(int& Field, int Value);
    TCustomSerialPort* FPort = nullptr;
    int FInputSize = 1024;
    int FOutputSize = 1024;
};

// ---- Links -------------------------------------------------------------------------------

// How another control plugs into a port; every slot is optional. Sender is the port.
class TSerialLink : public TObject {
    QM_CLASS(TSerialLink, TObject)
public:
    TSerialSignalEvent ConnectionChanged;
    TRxBufEvent BytesReceived;
    TRxBufEvent BytesSent;
    TNotifyEvent SendQueueEmptied;
    TNotifyEvent EventCharSeen;
    TSerialSignalEvent CtsChanged;
    TSerialSignalEvent DsrChanged;
    TSerialSignalEvent RlsdChanged;
    TNotifyEvent RingSeen;
    TSerialSignalEvent TransmitActivity;
    TSerialSignalEvent ReceiveActivity;
};

enum TLinkState { lsConnection, lsCTS, lsDSR, lsRLSD, lsReceiveActivity, lsTransmitActivity };
enum TLinkEvent { leRing, leSendQueueEmpty, leEventChar };

// ---- Overlapped I/O records --------------------------------------------------------------

constexpr uint8_t akWrite = 0;
constexpr uint8_t akRead = 1;
constexpr uint8_t akNone = 2; // nothing started yet

struct AsyncRecord {
    OVERLAPPED Overlapped; // first: its address is the record's
    uint8_t Kind;
    void* Data;
    int Size;
    // The device an operation was started on, so that freeing a record in flight can
    // detach it from that device.
    HANDLE Device;
};
using PAsyncRecord = AsyncRecord*;

void NewAsyncRecord(PAsyncRecord& Record);
// Safe at any time: a record whose operation is still in flight is detached first.
void DisposeAsyncRecord(PAsyncRecord& Record);
void FillAsyncRecord(uint8_t Kind, const void* Bytes, int Count, PAsyncRecord Record);
int AsyncErrorCode(PAsyncRecord Record);

DWORD EventMaskOf(TSerialEvents Events);
TSerialEvents EventsOfMask(DWORD Mask);

// ---- Event thread ------------------------------------------------------------------------

class TSerialThread : public TThread {
    QM_CLASS(TSerialThread, TThread)
public:
    explicit TSerialThread(TCustomSerialPort* Port);
    ~TSerialThread() override;

    // Asks the thread to end; it delivers no further batch. GUI thread (or, under smNone,
    // the event thread itself).
    void SignalStop();
    // True while the calling thread is running this thread's batch of handlers.
    bool CallerIsHandingOver() const;

    TCustomSerialPort* OwnerPort;
    HANDLE StopEvent = nullptr;
    TSerialEvents ReceivedEvents;

protected:
    void Execute() override { WatchEvents(); }
    virtual void WatchEvents();
    void HandOverEvents();
    void RunEventHandlers();
    void PostEventsToWindow();

private:
    void RunBatch();
    void ReportWaitFailure(DWORD error);

    // Copied at creation: a stopped thread never touches the port again.
    HANDLE FDevice;
    TSyncMethod FSyncMethod;
    HWND FWindow;
    std::atomic<bool> FStopping{false};
    std::atomic<DWORD> FHandOverThread{0};
    OVERLAPPED FOverlapped{};
    DWORD FMask = 0;
};

// ---- The port ----------------------------------------------------------------------------

class TCustomSerialPort : public TComponent {
    QM_CLASS(TCustomSerialPort, TComponent)
public:
    explicit TCustomSerialPort(TComponent* AOwner);
    ~TCustomSerialPort() override;

    // Line settings.
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int Value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    char EventChar() const { return FEventChar; }
    void SetEventChar(char Value);
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);

    TSerialParity* Parity() const { return FParity; }
    void SetParity(TSerialParity* Value);
    TSerialFlowControl* FlowControl() const { return FFlowControl; }
    void SetFlowControl(TSerialFlowControl* Value);
    TSerialTimeouts* Timeouts() const { return FTimeouts; }
    void SetTimeouts(TSerialTimeouts* Value);
    TSerialBuffer* Buffer() const { return FBuffer; }
    void SetBuffer(TSerialBuffer* Value);

    HANDLE Handle() const { return FHandle; }
    HWND EventWindow() const { return FEventWindow; }
    TSerialThread* EventThread() const { return FEventThread; }
    bool ThreadCreated() const { return FThreadCreated; }
    int DeferCount() const { return FDeferCount; }
    bool LinkTakesInput() const { return FLinkTakesInput; }
    const std::vector<TSerialLink*>& Links() const { return FLinks; }

    // Read and written directly; later changes do not reach an open port.
    TSerialEvents Events = AllSerialEvents;
    bool RaiseRxChar = true;
    TThreadPriority WatcherPriority = tpNormal;
    TStoredGroups StoredGroups = {sgBasic};

    // Applying settings.
    void DeferApply();
    void ResumeApply();
    virtual void ApplyAllSettings();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyQueueSizes();
    // The device control block the line settings give.
    DCB BuildDCB() const;

    // Opening and closing.
    void OpenPort();
    // Always stops the event thread and closes the device; a failure to cancel pending I/O
    // is raised once the port is closed.
    void ClosePort();

    // Overlapped I/O; every record passed must come from NewAsyncRecord.
    int StartWrite(const void* Bytes, int Count, PAsyncRecord& Record);
    int StartWriteText(const std::string& Text, PAsyncRecord& Record);
    int StartRead(void* Buffer, int Count, PAsyncRecord& Record);
    int StartReadText(std::string& Text, int Count, PAsyncRecord& Record);
    int FinishAsync(PAsyncRecord& Record);
    int SendText(const std::string& Text);
    int ReceiveBytes(void* Buffer, int Count);
    int ReceiveText(std::string& Text, int Count);

    // Device queries and purges; on a closed port they fail with Windows code 6.
    int BytesWaiting();
    TSerialErrors TakeLineErrors();
    TModemLines ReadModemLines();
    void PurgeQueues(bool Input, bool Output);
    void CancelPendingIo();

    // Links.
    void AttachLink(TSerialLink* Link);
    void DetachLink(TSerialLink* Link);
    bool AnyLinkTakesInput() const;
    void NotifyLinksState(TLinkState Which, bool State);
    void NotifyLinksEvent(TLinkEvent Which);
    void NotifyLinksSent(const void* Buffer, int Count);

    // Handlers of the event thread's batches.
    void HandleLineError();
    void HandleRxChar();
    void HandleTxEmpty();
    void HandleBreak();
    void HandleRing();
    void HandleCTSChange();
    void HandleDSRChange();
    void HandleRLSDChange();
    void HandleRxFlag();
    void HandleRx80Full();

    // Settings store.
    void SaveSettings(bool ToIni, const std::string& Path);
    void RestoreSettings(bool FromIni, const std::string& Path);
    virtual void SaveToRegistry(TRegistry* Reg);
    virtual void SaveToIni(TCustomIniFile* Ini);
    virtual void LoadFromRegistry(TRegistry* Reg);
    virtual void LoadFromIni(TCustomIniFile* Ini);

    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TSerialSignalEvent OnCTSChange;
    TSerialSignalEvent OnDSRChange;
    TSerialSignalEvent OnRLSDChange;
    TSerialErrorEvent OnError;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnRx80Full;

    void Loaded() override;

    // One value of the settings store, with its text or integer form.
    struct StoredValue;
    static const std::vector<StoredValue>& StoredValues();

protected:
    virtual void FinishLoading();
    void BeforeDestroy() override;
    virtual void OpenDeviceHandle();
    virtual void CloseDeviceHandle();

    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(int Count);
    virtual void FireRxBuf(const void* Buffer, int Count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool OnOff);
    virtual void FireDSRChange(bool OnOff);
    virtual void FireError(TSerialErrors Errors);
    virtual void FireRLSDChange(bool OnOff);
    virtual void FireRx80Full();

    void NotifyOpening();
    void NotifyOpened();
    void NotifyClosing();
    void NotifyClosed();
    void ReportModemLines(bool Live);
    void DeliverInput(int& Count);
    int ReadAllInput(std::vector<char>& Buffer, int Count);
    bool RxCharGetsData() const { return RaiseRxChar && !FLinkTakesInput; }

private:
    friend class TSerialThread;
    bool CanApply() const;
    template <class F> void ForEachLink(F&& Fn);
    // Port events reach the owner only while it is whole.
    bool CanFire() const;
    HANDLE DeviceOr(int PortErrorCode) const;
    // Reads and clears the line errors (port error 10 on failure); the queue counts come back.
    COMSTAT ClearLineErrors(DWORD& Errors);
    void StopEventThread();
    void ReleaseEventWindow();
    void EventWindowProc(TMessage& Msg);

    TSerialThread* FEventThread = nullptr;
    bool FThreadCreated = false;
    HANDLE FHandle = INVALID_HANDLE_VALUE;
    HWND FEventWindow = nullptr;
    int FDeferCount = 0;
    std::vector<TSerialLink*> FLinks;
    bool FLinkTakesInput = false;
    // A handler that runs on the event thread may close the port while the GUI thread reads it.
    std::atomic<bool> FConnected{false};
    TBaudRate FBaudRate = br9600;
    int FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TSerialBuffer* FBuffer = nullptr;
    TSerialParity* FParity = nullptr;
    TSerialTimeouts* FTimeouts = nullptr;
    TSerialFlowControl* FFlowControl = nullptr;
    TSyncMethod FSyncMethod = smThreadSync;
    bool FClosing = false;
    bool FInDestructor = false;
    int FWindowProcDepth = 0;
    bool FWindowReleasePending = false;
};

class TSerialPort : public TCustomSerialPort {
    QM_CLASS(TSerialPort, TCustomSerialPort)
public:
    using TCustomSerialPort::TCustomSerialPort;
};

// ---- Text forms of the settings ------------------------------------------------------------

std::string BaudRateText(TBaudRate Value);
TBaudRate BaudRateValue(const std::string& Text);
std::string StopBitsText(TStopBits Value);
TStopBits StopBitsValue(const std::string& Text);
std::string DataBitsText(TDataBits Value);
TDataBits DataBitsValue(const std::string& Text);
std::string ParityText(TParityBits Value);
TParityBits ParityValue(const std::string& Text);
std::string FlowControlText(TFlowControl Value);
TFlowControl FlowControlValue(const std::string& Text);
std::string DtrModeText(TDTRFlowControl Value);
TDTRFlowControl DtrModeValue(const std::string& Text);
std::string RtsModeText(TRTSFlowControl Value);
TRTSFlowControl RtsModeValue(const std::string& Text);
std::string YesNoText(bool Value);
bool YesNoValue(const std::string& Text);
std::string CharText(char Value);
char CharValue(const std::string& Text);

// Opens the key "<path after the root>\<name>" below the root the path names (unknown
// roots mean HKEY_CURRENT_USER), creating it. Raises when the path has no "\" or the key
// cannot be opened.
void OpenSettingsKey(TRegistry* Reg, const std::string& Path, const std::string& Name);

// Fills List with the names of the machine's serial ports, sorted.
void ListSerialPorts(TStrings* List);

void RegisterSerialPortClasses();
