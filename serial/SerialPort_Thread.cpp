// The event thread, the three delivery modes, the port's handlers and its links.
#include "serial/CommApi.h"
#include "serial/SerialPort.h"

#include "platform/Kernel.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace {
struct MaskBit {
    TSerialEvent Event;
    DWORD Mask;
};
// In the order a batch is handled.
const MaskBit kBatchOrder[] = {
    {evError, EV_ERR},   {evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY}, {evBreak, EV_BREAK},
    {evRing, EV_RING},   {evCTS, EV_CTS},       {evDSR, EV_DSR},         {evRxFlag, EV_RXFLAG},
    {evRLSD, EV_RLSD},   {evRx80Full, EV_RX80FULL},
};

// Threads stopped from inside their own batch cannot be waited for there; they end as soon
// as the batch returns and are freed later on the GUI thread.
std::mutex gRetiredLock;
std::vector<TSerialThread*> gRetired;
} // namespace

namespace serialport_detail {
void ReapRetiredThreads(bool wait)
{
    std::vector<TSerialThread*> done;
    {
        std::lock_guard<std::mutex> g(gRetiredLock);
        auto keep = std::stable_partition(gRetired.begin(), gRetired.end(), [wait](TSerialThread* t) {
            return !(wait || t->Finished()) || t->CallerIsHandingOver();
        });
        done.assign(keep, gRetired.end());
        gRetired.erase(keep, gRetired.end());
    }
    for (TSerialThread* t : done)
        FreeObject(t);
}
} // namespace serialport_detail

DWORD EventMaskOf(TSerialEvents Events)
{
    DWORD mask = 0;
    for (const MaskBit& b : kBatchOrder)
        if (Events.Contains(b.Event))
            mask |= b.Mask;
    return mask;
}

TSerialEvents EventsOfMask(DWORD Mask)
{
    TSerialEvents events;
    for (const MaskBit& b : kBatchOrder)
        if (Mask & b.Mask)
            events += b.Event;
    return events;
}

// ---- TSerialThread ---------------------------------------------------------------------------

QM_CLASS_IMPL(TSerialThread, TThread)

TSerialThread::TSerialThread(TCustomSerialPort* Port)
    : TThread(true), OwnerPort(Port), FDevice(Port->Handle()), FSyncMethod(Port->SyncMethod()),
      FWindow(Port->EventWindow())
{
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    FOverlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    SetPriority(Port->WatcherPriority);
    Comm().SetCommMask(FDevice, EventMaskOf(Port->Events));
    Start();
}

TSerialThread::~TSerialThread()
{
    SignalStop();
    Sleep(0);
    WaitFor();
    CloseHandle(FOverlapped.hEvent);
    CloseHandle(StopEvent);
}

void TSerialThread::SignalStop()
{
    FStopping = true;
    SetEvent(StopEvent);
}

bool TSerialThread::CallerIsHandingOver() const
{
    return FHandOverThread.load() == GetCurrentThreadId();
}

void TSerialThread::ReportWaitFailure(DWORD error)
{
    Queue([error] {
        HandleApplicationException(std::make_exception_ptr(ESerialPort(21, static_cast<int>(error))));
    });
}

void TSerialThread::WatchEvents()
{
    HANDLE list[2] = {StopEvent, FOverlapped.hEvent};
    bool pending = false;
    for (;;) {
        FMask = 0;
        if (!Comm().WaitCommEvent(FDevice, &FMask, &FOverlapped)) {
            DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                // The device is gone: say so once, then only wait to be stopped.
                if (!FStopping)
                    ReportWaitFailure(error);
                WaitForSingleObject(StopEvent, INFINITE);
                break;
            }
        }
        pending = true;
        DWORD r = WaitForMultipleObjects(2, list, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0 + 1)
            break;
        pending = false;
        DWORD count = 0;
        if (Comm().GetOverlappedResult(FDevice, &FOverlapped, &count, FALSE) && !FStopping) {
            ReceivedEvents = EventsOfMask(FMask);
            HandOverEvents();
        }
    }
    // The engine must not complete a wait into this object once the body has returned.
    if (pending)
        Comm().CancelOverlapped(FDevice, &FOverlapped);
    Comm().SetCommMask(FDevice, 0);
    Comm().PurgeComm(FDevice, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TSerialThread::HandOverEvents()
{
    switch (FSyncMethod) {
    case smThreadSync:
        Synchronize([this] { RunBatch(); });
        break;
    case smWindowSync:
        PostEventsToWindow();
        break;
    case smNone:
        try {
            RunBatch();
        } catch (...) {
            auto e = std::current_exception();
            Queue([e] { HandleApplicationException(e); });
        }
        break;
    }
}

void TSerialThread::RunBatch()
{
    if (FStopping)
        return;
    FHandOverThread = GetCurrentThreadId();
    try {
        RunEventHandlers();
    } catch (...) {
        FHandOverThread = 0;
        if (FSyncMethod == smNone) {
            auto e = std::current_exception();
            Queue([e] { HandleApplicationException(e); });
        } else {
            HandleApplicationException(std::current_exception());
        }
        return;
    }
    FHandOverThread = 0;
}

void TSerialThread::RunEventHandlers()
{
    for (const MaskBit& b : kBatchOrder) {
        // A handler may have closed (or freed) the port.
        if (FStopping)
            return;
        if (!ReceivedEvents.Contains(b.Event))
            continue;
        TCustomSerialPort* p = OwnerPort;
        switch (b.Event) {
        case evError: p->HandleLineError(); break;
        case evRxChar: p->HandleRxChar(); break;
        case evTxEmpty: p->HandleTxEmpty(); break;
        case evBreak: p->HandleBreak(); break;
        case evRing: p->HandleRing(); break;
        case evCTS: p->HandleCTSChange(); break;
        case evDSR: p->HandleDSRChange(); break;
        case evRxFlag: p->HandleRxFlag(); break;
        case evRLSD: p->HandleRLSDChange(); break;
        case evRx80Full: p->HandleRx80Full(); break;
        }
    }
}

void TSerialThread::PostEventsToWindow()
{
    for (const MaskBit& b : kBatchOrder) {
        if (FStopping)
            return;
        if (ReceivedEvents.Contains(b.Event))
            SendMessageA(FWindow, WM_USER + 1, b.Mask, 0);
    }
}

// ---- Stopping the thread and the window ------------------------------------------------------

void TCustomSerialPort::StopEventThread()
{
    if (FThreadCreated) {
        TSerialThread* t = FEventThread;
        FEventThread = nullptr;
        FThreadCreated = false;
        if (t) {
            t->SignalStop();
            if (t->CallerIsHandingOver()) {
                std::lock_guard<std::mutex> g(gRetiredLock);
                gRetired.push_back(t);
            } else {
                FreeObject(t);
            }
        }
    }
    ReleaseEventWindow();
}

void TCustomSerialPort::ReleaseEventWindow()
{
    if (!FEventWindow)
        return;
    if (FWindowProcDepth > 0) {
        // Inside the window's own procedure: let it return first.
        FWindowReleasePending = true;
        return;
    }
    DeallocateHWnd(FEventWindow);
    FEventWindow = nullptr;
}

void TCustomSerialPort::EventWindowProc(TMessage& Msg)
{
    if (Msg.Msg != WM_USER + 1) {
        Msg.Result = DefWindowProcA(FEventWindow, Msg.Msg, Msg.WParam, Msg.LParam);
        return;
    }
    if (InSendMessage())
        ReplyMessage(0);
    Msg.Result = 0;
    if (!FConnected || FClosing)
        return;
    HWND window = FEventWindow;
    ++FWindowProcDepth;
    try {
        switch (static_cast<DWORD>(Msg.WParam)) {
        case EV_RXCHAR: HandleRxChar(); break;
        case EV_RXFLAG: HandleRxFlag(); break;
        case EV_TXEMPTY: HandleTxEmpty(); break;
        case EV_CTS: HandleCTSChange(); break;
        case EV_DSR: HandleDSRChange(); break;
        case EV_RLSD: HandleRLSDChange(); break;
        case EV_BREAK: HandleBreak(); break;
        case EV_ERR: HandleLineError(); break;
        case EV_RING: HandleRing(); break;
        case EV_RX80FULL: HandleRx80Full(); break;
        default: break;
        }
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    --FWindowProcDepth;
    if (FWindowProcDepth == 0 && FWindowReleasePending) {
        FWindowReleasePending = false;
        if (FEventWindow == window)
            ReleaseEventWindow();
        else
            DeallocateHWnd(window);
    }
}

// ---- Handlers ------------------------------------------------------------------------------

void TCustomSerialPort::HandleLineError()
{
    TSerialErrors errors = TakeLineErrors();
    if (!errors.Empty())
        FireError(errors);
}

void TCustomSerialPort::HandleRxChar()
{
    int count = BytesWaiting();
    if (count <= 0)
        return;
    NotifyLinksState(lsReceiveActivity, true);
    DeliverInput(count);
    if (count > 0)
        FireRxChar(count);
}

void TCustomSerialPort::HandleTxEmpty()
{
    NotifyLinksState(lsTransmitActivity, false);
    NotifyLinksEvent(leSendQueueEmpty);
    FireTxEmpty();
}

void TCustomSerialPort::HandleBreak() { FireBreak(); }

void TCustomSerialPort::HandleRing()
{
    NotifyLinksEvent(leRing);
    FireRing();
}

void TCustomSerialPort::HandleCTSChange()
{
    bool state = ReadModemLines().Contains(mlCTS);
    NotifyLinksState(lsCTS, state);
    FireCTSChange(state);
}

void TCustomSerialPort::HandleDSRChange()
{
    bool state = ReadModemLines().Contains(mlDSR);
    NotifyLinksState(lsDSR, state);
    FireDSRChange(state);
}

void TCustomSerialPort::HandleRLSDChange()
{
    bool state = ReadModemLines().Contains(mlRLSD);
    NotifyLinksState(lsRLSD, state);
    FireRLSDChange(state);
}

void TCustomSerialPort::HandleRxFlag()
{
    NotifyLinksEvent(leEventChar);
    FireRxFlag();
}

void TCustomSerialPort::HandleRx80Full() { FireRx80Full(); }

template <class F> void TCustomSerialPort::ForEachLink(F&& Fn)
{
    // A slot may detach (and free) links: call only those still attached.
    std::vector<TSerialLink*> links = FLinks;
    for (TSerialLink* l : links)
        if (std::find(FLinks.begin(), FLinks.end(), l) != FLinks.end())
            Fn(l);
}

void TCustomSerialPort::DeliverInput(int& Count)
{
    if (Count < 1 || RxCharGetsData())
        return;
    std::vector<char> buffer;
    int got = -1; // bytes read; -1 while nothing was read
    ForEachLink([&](TSerialLink* link) {
        if (!link->BytesReceived)
            return;
        if (got < 0)
            got = ReadAllInput(buffer, Count);
        link->BytesReceived(this, buffer.data(), got);
    });
    if (got < 0 && !RaiseRxChar)
        got = ReadAllInput(buffer, Count);
    if (got >= 0)
        Count = 0;
}

int TCustomSerialPort::ReadAllInput(std::vector<char>& Buffer, int Count)
{
    Buffer.assign(static_cast<size_t>(std::max(Count, 0)), '\0');
    int got = ReceiveBytes(Buffer.data(), Count);
    // The count actually read, which a short read makes smaller than the one asked for.
    FireRxBuf(Buffer.data(), got);
    return got;
}


// ---- Events ----------------------------------------------------------------------------------

void TCustomSerialPort::FireAfterClose()
{
    if (CanFire())
        OnAfterClose(this);
}
void TCustomSerialPort::FireAfterOpen()
{
    if (CanFire())
        OnAfterOpen(this);
}
void TCustomSerialPort::FireBeforeClose()
{
    if (CanFire())
        OnBeforeClose(this);
}
void TCustomSerialPort::FireBeforeOpen()
{
    if (CanFire())
        OnBeforeOpen(this);
}
void TCustomSerialPort::FireRxChar(int Count)
{
    if (CanFire())
        OnRxChar(this, Count);
}
void TCustomSerialPort::FireRxBuf(const void* Buffer, int Count)
{
    if (CanFire())
        OnRxBuf(this, Buffer, Count);
}
void TCustomSerialPort::FireTxEmpty()
{
    if (CanFire())
        OnTxEmpty(this);
}
void TCustomSerialPort::FireBreak()
{
    if (CanFire())
        OnBreak(this);
}
void TCustomSerialPort::FireRing()
{
    if (CanFire())
        OnRing(this);
}
void TCustomSerialPort::FireRxFlag()
{
    if (CanFire())
        OnRxFlag(this);
}
void TCustomSerialPort::FireCTSChange(bool OnOff)
{
    if (CanFire())
        OnCTSChange(this, OnOff);
}
void TCustomSerialPort::FireDSRChange(bool OnOff)
{
    if (CanFire())
        OnDSRChange(this, OnOff);
}
void TCustomSerialPort::FireError(TSerialErrors Errors)
{
    if (CanFire())
        OnError(this, Errors);
}
void TCustomSerialPort::FireRLSDChange(bool OnOff)
{
    if (CanFire())
        OnRLSDChange(this, OnOff);
}
void TCustomSerialPort::FireRx80Full()
{
    if (CanFire())
        OnRx80Full(this);
}

// ---- Links -------------------------------------------------------------------------------------

void TCustomSerialPort::AttachLink(TSerialLink* Link)
{
    if (std::find(FLinks.begin(), FLinks.end(), Link) != FLinks.end())
        throw ESerialPort::CreateNoWinCode(18);
    FLinks.push_back(Link);
    FLinkTakesInput = AnyLinkTakesInput();
}

void TCustomSerialPort::DetachLink(TSerialLink* Link)
{
    auto it = std::find(FLinks.begin(), FLinks.end(), Link);
    if (it == FLinks.end())
        throw ESerialPort::CreateNoWinCode(18);
    FLinks.erase(it);
    FLinkTakesInput = AnyLinkTakesInput();
}

bool TCustomSerialPort::AnyLinkTakesInput() const
{
    return std::any_of(FLinks.begin(), FLinks.end(),
                       [](TSerialLink* l) { return l->BytesReceived.Assigned(); });
}

void TCustomSerialPort::NotifyLinksState(TLinkState Which, bool State)
{
    ForEachLink([&](TSerialLink* l) {
        switch (Which) {
        case lsConnection: l->ConnectionChanged(this, State); break;
        case lsCTS: l->CtsChanged(this, State); break;
        case lsDSR: l->DsrChanged(this, State); break;
        case lsRLSD: l->RlsdChanged(this, State); break;
        case lsReceiveActivity: l->ReceiveActivity(this, State); break;
        case lsTransmitActivity: l->TransmitActivity(this, State); break;
        }
    });
}

void TCustomSerialPort::NotifyLinksEvent(TLinkEvent Which)
{
    ForEachLink([&](TSerialLink* l) {
        switch (Which) {
        case leRing: l->RingSeen(this); break;
        case leSendQueueEmpty: l->SendQueueEmptied(this); break;
        case leEventChar: l->EventCharSeen(this); break;
        }
    });
}

void TCustomSerialPort::NotifyLinksSent(const void* Buffer, int Count)
{
    ForEachLink([&](TSerialLink* l) { l->BytesSent(this, Buffer, Count); });
}
