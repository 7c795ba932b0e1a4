// Port errors, opening and closing, overlapped I/O, device queries.
#include "serial/CommApi.h"
#include "serial/SerialPort.h"

#include "platform/Intl.h"
#include "platform/ScopeExit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

// ---- Errors ------------------------------------------------------------------------------

namespace {
const char* const kEnglishTexts[PortErrorCount] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
const char kEnglishSuffix[] = " (win error code: %d)";
const char kDomain[] = "serialport";

std::mutex gTextLock;
std::vector<std::string> gPortErrorTexts; // empty until start-up: English then
std::string gSuffix = kEnglishSuffix;
} // namespace

namespace serialport_detail {
bool ValidWinCodeSuffix(const std::string& suffix)
{
    int directives = 0;
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (suffix[i] != '%')
            continue;
        if (i + 1 >= suffix.size() || suffix[i + 1] != 'd')
            return false;
        ++directives;
        ++i;
    }
    return directives == 1;
}

std::string WinCodeMessage(const std::string& text, const std::string& suffix, int winCode)
{
    const std::string& fmt = ValidWinCodeSuffix(suffix) ? suffix : std::string(kEnglishSuffix);
    return text + Format(fmt, {winCode});
}
} // namespace serialport_detail

std::string PortErrorText(int code)
{
    if (code < 1 || code > PortErrorCount)
        return {};
    std::lock_guard<std::mutex> g(gTextLock);
    if (gPortErrorTexts.empty())
        return kEnglishTexts[code - 1];
    return gPortErrorTexts[static_cast<size_t>(code - 1)];
}

ESerialPort::ESerialPort(int code, int winCode) : SystemErrorCode(winCode), PortErrorCode(code)
{
    std::string suffix;
    {
        std::lock_guard<std::mutex> g(gTextLock);
        suffix = gSuffix;
    }
    Message = serialport_detail::WinCodeMessage(PortErrorText(code), suffix, winCode);
}

ESerialPort::ESerialPort(int code, NoWinCode) : SystemErrorCode(-1), PortErrorCode(code)
{
    Message = PortErrorText(code);
}

ESerialPort ESerialPort::CreateNoWinCode(int code) { return ESerialPort(code, NoWinCode{}); }

void SerialPortInitialize()
{
    AddDomain(kDomain);
    std::vector<std::string> texts;
    for (const char* english : kEnglishTexts)
        texts.push_back(DomainTranslate(kDomain, english));
    std::string suffix = DomainTranslate(kDomain, kEnglishSuffix);
    std::lock_guard<std::mutex> g(gTextLock);
    gPortErrorTexts = std::move(texts);
    gSuffix = serialport_detail::ValidWinCodeSuffix(suffix) ? suffix : kEnglishSuffix;
}

namespace serialport_detail {
void ReapRetiredThreads(bool wait);
}

void SerialPortFinalize()
{
    serialport_detail::ReapRetiredThreads(true);
    std::lock_guard<std::mutex> g(gTextLock);
    gPortErrorTexts.clear();
    gSuffix = kEnglishSuffix;
}

namespace {
[[noreturn]] void RaiseWin(int code) { throw ESerialPort(code, static_cast<int>(GetLastError())); }
} // namespace

// ---- Async records -------------------------------------------------------------------------

void NewAsyncRecord(PAsyncRecord& Record)
{
    Record = new AsyncRecord{};
    Record->Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    Record->Kind = akNone;
    Record->Data = nullptr;
    Record->Size = 0;
    Record->Device = nullptr;
}

void DisposeAsyncRecord(PAsyncRecord& Record)
{
    if (!Record)
        return;
    // An operation still in flight would write into freed memory: detach it first. When it
    // has just completed, the detach fails harmlessly.
    if (Record->Device && Record->Overlapped.Internal == STATUS_PENDING)
        Comm().CancelOverlapped(Record->Device, &Record->Overlapped);
    CloseHandle(Record->Overlapped.hEvent);
    std::free(Record->Data);
    delete Record;
    Record = nullptr;
}

void FillAsyncRecord(uint8_t Kind, const void* Bytes, int Count, PAsyncRecord Record)
{
    Record->Kind = Kind;
    std::free(Record->Data);
    Record->Data = nullptr;
    Record->Size = 0;
    if (Count > 0) {
        Record->Data = std::malloc(static_cast<size_t>(Count));
        if (!Record->Data)
            throw EOutOfMemory("Out of memory");
        std::memcpy(Record->Data, Bytes, static_cast<size_t>(Count));
    }
    Record->Size = Count;
}

int AsyncErrorCode(PAsyncRecord Record) { return Record && Record->Kind == akRead ? 3 : 2; }

// ---- Opening and closing -------------------------------------------------------------------

void TCustomSerialPort::OpenDeviceHandle()
{
    std::string name = "\\\\.\\" + FPort;
    FHandle = Comm().CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
        RaiseWin(1);
}

void TCustomSerialPort::CloseDeviceHandle()
{
    if (FHandle != INVALID_HANDLE_VALUE)
        Comm().CloseHandle(FHandle);
    // A closed port must never reach a stale handle.
    FHandle = INVALID_HANDLE_VALUE;
}

void TCustomSerialPort::OpenPort()
{
    if (FConnected || IsDesigning())
        return;
    serialport_detail::ReapRetiredThreads(false);
    NotifyOpening();
    OpenDeviceHandle();
    FConnected = true;
    try {
        ApplyAllSettings();
        if (!Events.Empty()) {
            if (FSyncMethod == smWindowSync)
                FEventWindow = AllocateHWnd([this](TMessage& m) { EventWindowProc(m); });
            FEventThread = new TSerialThread(this);
            FThreadCreated = true;
        } else {
            FThreadCreated = false;
        }
    } catch (...) {
        ReleaseEventWindow();
        CloseDeviceHandle();
        FConnected = false;
        throw;
    }
    NotifyOpened();
}

void TCustomSerialPort::ClosePort()
{
    if (!FConnected || IsDesigning() || FClosing)
        return;
    FClosing = true;
    // Every step runs; the first failure is reported once the port is closed.
    std::exception_ptr failure;
    auto step = [&failure](auto&& action) {
        try {
            action();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };
    step([this] { NotifyClosing(); });
    step([this] { CancelPendingIo(); });
    StopEventThread();
    CloseDeviceHandle();
    FConnected = false;
    FClosing = false;
    step([this] { NotifyClosed(); });
    if (failure)
        std::rethrow_exception(failure);
}

void TCustomSerialPort::NotifyOpening() { FireBeforeOpen(); }

void TCustomSerialPort::NotifyOpened()
{
    NotifyLinksState(lsConnection, true);
    FireAfterOpen();
    ReportModemLines(true);
}

void TCustomSerialPort::NotifyClosing()
{
    ReportModemLines(false);
    FireBeforeClose();
}

void TCustomSerialPort::NotifyClosed()
{
    NotifyLinksState(lsConnection, false);
    FireAfterClose();
}

void TCustomSerialPort::ReportModemLines(bool Live)
{
    if (Live) {
        HandleCTSChange();
        HandleDSRChange();
        HandleRLSDChange();
        return;
    }
    NotifyLinksState(lsCTS, false);
    NotifyLinksState(lsDSR, false);
    NotifyLinksState(lsRLSD, false);
    FireCTSChange(false);
    FireDSRChange(false);
    FireRLSDChange(false);
}

// ---- Overlapped I/O ----------------------------------------------------------------------

HANDLE TCustomSerialPort::DeviceOr(int PortErrorCode) const
{
    if (FHandle == INVALID_HANDLE_VALUE)
        throw ESerialPort(PortErrorCode, static_cast<int>(ERROR_INVALID_HANDLE));
    return FHandle;
}

int TCustomSerialPort::StartWrite(const void* Bytes, int Count, PAsyncRecord& Record)
{
    if (!Record)
        throw ESerialPort::CreateNoWinCode(4);
    HANDLE h = DeviceOr(2);
    FillAsyncRecord(akWrite, Bytes, Count, Record);
    Record->Device = h;
    DWORD written = 0;
    // The record's own copy: the caller's bytes may be gone before the write ends.
    if (Comm().WriteFile(h, Record->Data, static_cast<DWORD>(Record->Size), &written,
                         &Record->Overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        NotifyLinksState(lsTransmitActivity, true);
        return static_cast<int>(written);
    }
    RaiseWin(2);
}

int TCustomSerialPort::StartWriteText(const std::string& Text, PAsyncRecord& Record)
{
    if (Text.empty())
        return 0;
    return StartWrite(Text.data(), static_cast<int>(Text.size()), Record);
}

int TCustomSerialPort::StartRead(void* Buffer, int Count, PAsyncRecord& Record)
{
    if (!Record)
        throw ESerialPort::CreateNoWinCode(4);
    HANDLE h = DeviceOr(3);
    Record->Kind = akRead;
    Record->Device = h;
    DWORD read = 0;
    if (Comm().ReadFile(h, Buffer, static_cast<DWORD>(std::max(Count, 0)), &read,
                        &Record->Overlapped) ||
        GetLastError() == ERROR_IO_PENDING)
        return static_cast<int>(read);
    RaiseWin(3);
}

int TCustomSerialPort::StartReadText(std::string& Text, int Count, PAsyncRecord& Record)
{
    Text.assign(static_cast<size_t>(std::max(Count, 0)), '\0');
    if (Count < 1)
        return 0;
    return StartRead(Text.data(), Count, Record);
}

int TCustomSerialPort::FinishAsync(PAsyncRecord& Record)
{
    if (!Record)
        throw ESerialPort::CreateNoWinCode(4);
    if (Record->Kind == akNone)
        return 0;
    DWORD transferred = 0;
    if (WaitForSingleObject(Record->Overlapped.hEvent, INFINITE) != WAIT_OBJECT_0 ||
        !Comm().GetOverlappedResult(Record->Device, &Record->Overlapped, &transferred, FALSE))
        throw ESerialPort(AsyncErrorCode(Record), static_cast<int>(GetLastError()));
    if (Record->Kind == akRead) {
        if (BytesWaiting() == 0)
            NotifyLinksState(lsReceiveActivity, false);
        return static_cast<int>(transferred);
    }
    if (Record->Data)
        NotifyLinksSent(Record->Data, Record->Size);
    return static_cast<int>(transferred);
}

namespace {
// One blocking transfer on a record of its own, freed whatever happens.
template <class Transfer> int OnOwnRecord(Transfer transfer)
{
    PAsyncRecord rec = nullptr;
    NewAsyncRecord(rec);
    ScopeExit dispose([&rec] { DisposeAsyncRecord(rec); });
    return transfer(rec);
}
} // namespace

int TCustomSerialPort::SendText(const std::string& Text)
{
    return OnOwnRecord([&](PAsyncRecord& rec) {
        StartWriteText(Text, rec);
        return FinishAsync(rec);
    });
}

int TCustomSerialPort::ReceiveBytes(void* Buffer, int Count)
{
    return OnOwnRecord([&](PAsyncRecord& rec) {
        StartRead(Buffer, Count, rec);
        return FinishAsync(rec);
    });
}

int TCustomSerialPort::ReceiveText(std::string& Text, int Count)
{
    return OnOwnRecord([&](PAsyncRecord& rec) {
        StartReadText(Text, Count, rec);
        int n = FinishAsync(rec);
        Text.resize(static_cast<size_t>(std::max(n, 0)));
        return n;
    });
}

// ---- Queries and purges --------------------------------------------------------------------

namespace {
template <typename E>
struct FlagBit {
    E Value;
    DWORD Mask;
};

const FlagBit<TSerialError> kErrorBits[] = {
    {ceFrame, CE_FRAME}, {ceRxParity, CE_RXPARITY}, {ceOverrun, CE_OVERRUN}, {ceBreak, CE_BREAK},
    {ceIO, CE_IOE},      {ceMode, CE_MODE},         {ceRxOver, CE_RXOVER},   {ceTxFull, CE_TXFULL},
};

const FlagBit<TModemLine> kModemBits[] = {
    {mlCTS, MS_CTS_ON}, {mlDSR, MS_DSR_ON}, {mlRing, MS_RING_ON}, {mlRLSD, MS_RLSD_ON},
};

template <typename E, size_t N>
Set<E> SetOfBits(DWORD flags, const FlagBit<E> (&table)[N])
{
    Set<E> result;
    for (const FlagBit<E>& b : table)
        if (flags & b.Mask)
            result += b.Value;
    return result;
}
} // namespace

COMSTAT TCustomSerialPort::ClearLineErrors(DWORD& Errors)
{
    HANDLE h = DeviceOr(10);
    COMSTAT stat{};
    if (!Comm().ClearCommError(h, &Errors, &stat))
        RaiseWin(10);
    return stat;
}

int TCustomSerialPort::BytesWaiting()
{
    DWORD errors = 0;
    return static_cast<int>(ClearLineErrors(errors).cbInQue);
}

TSerialErrors TCustomSerialPort::TakeLineErrors()
{
    DWORD errors = 0;
    ClearLineErrors(errors);
    TSerialErrors result = SetOfBits(errors, kErrorBits);
    if (result.Contains(ceRxParity) && !FParity->Check())
        result -= ceRxParity;
    return result;
}

TModemLines TCustomSerialPort::ReadModemLines()
{
    HANDLE h = DeviceOr(11);
    DWORD status = 0;
    if (!Comm().GetCommModemStatus(h, &status))
        RaiseWin(11);
    return SetOfBits(status, kModemBits);
}

void TCustomSerialPort::PurgeQueues(bool Input, bool Output)
{
    DWORD flags = (Input ? PURGE_RXCLEAR : 0) | (Output ? PURGE_TXCLEAR : 0);
    if (flags == 0)
        return;
    HANDLE h = DeviceOr(5);
    if (!Comm().PurgeComm(h, flags))
        RaiseWin(5);
}

void TCustomSerialPort::CancelPendingIo()
{
    HANDLE h = DeviceOr(5);
    if (!Comm().PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT))
        RaiseWin(5);
}
