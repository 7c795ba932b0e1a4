#include "platform/CommEngineInternal.h"

#include <algorithm>
#include <sys/ioctl.h>
#include <termios.h>

using namespace comm_detail;

namespace {

constexpr DWORD kAllEvents = 0x1FFF;
constexpr DWORD kMaxQueue = 16u * 1024u * 1024u;

// Runs a call without an OVERLAPPED as a synchronous one on a private record.
template <class Start>
BOOL RunSynchronous(CommPort& port, DWORD* done, Start start)
{
    OVERLAPPED ov{};
    BOOL ok = start(&ov);
    if (!ok && GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    DWORD n = 0;
    ok = port.OverlappedResult(&ov, &n, TRUE);
    if (done)
        *done = n;
    return ok;
}

}  // namespace

std::unique_lock<std::mutex> CommPort::BeginCall(OVERLAPPED* ov, const void* buffer, DWORD count, bool live)
{
    if (!buffer && count) {
        SetLastError(ERROR_NOACCESS);
        return {};
    }
    if (ov->hEvent)
        ResetEvent(ov->hEvent);
    std::unique_lock lk(mu_);
    if (closed_ || (live && hungUp_)) {
        const DWORD error = closed_ ? ERROR_INVALID_HANDLE : ERROR_GEN_FAILURE;
        lk.unlock();
        SetLastError(error);
        return {};
    }
    return lk;
}

BOOL CommPort::Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* ov)
{
    if (!ov)
        return RunSynchronous(*this, done, [&](OVERLAPPED* o) { return Read(buffer, count, nullptr, o); });
    auto lk = BeginCall(ov, buffer, count, false);
    if (!lk)
        return FALSE;
    const COMMTIMEOUTS& t = timeouts_;
    TimePoint now = Clock::now();
    bool immediate = t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
                     t.ReadTotalTimeoutConstant == 0;
    bool firstByte = t.ReadIntervalTimeout == MAXDWORD &&
                     t.ReadTotalTimeoutMultiplier == MAXDWORD &&
                     t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < MAXDWORD;
    size_t avail = reads_.empty() ? ring_.size() : 0;
    if (count == 0 || immediate || avail >= count || (firstByte && avail > 0) ||
        (hungUp_ && avail > 0)) {
        DWORD n = static_cast<DWORD>(std::min<size_t>(count, avail));
        std::copy(ring_.begin(), ring_.begin() + n, static_cast<uint8_t*>(buffer));
        ring_.erase(ring_.begin(), ring_.begin() + n);
        CheckInputFlow();
        ov->InternalHigh = n;
        ov->Internal = kStatusSuccess;
        if (done)
            *done = n;
        if (ov->hEvent)
            toSignal_.push_back(ov->hEvent);
        FlushSignals(lk);
        return TRUE;
    }
    if (hungUp_) {
        lk.unlock();
        return Fail(ERROR_GEN_FAILURE);
    }
    ReadOp op{ov, ov->hEvent, static_cast<uint8_t*>(buffer), count, {}, std::nullopt, 0, now,
              firstByte};
    if (firstByte) {
        op.total = now + Ms(t.ReadTotalTimeoutConstant);
    } else {
        uint64_t total = uint64_t(t.ReadTotalTimeoutMultiplier) * count +
                         t.ReadTotalTimeoutConstant;
        if (total)
            op.total = now + Ms(total);
        if (t.ReadIntervalTimeout != MAXDWORD)
            op.interval = t.ReadIntervalTimeout;
    }
    ov->InternalHigh = 0;
    ov->Internal = STATUS_PENDING;
    reads_.push_back(std::move(op));
    FeedReads(now);
    Wake();
    bool pending = IsTracked(ov);
    DWORD n = static_cast<DWORD>(ov->InternalHigh);
    FlushSignals(lk);
    if (!pending) {
        if (done)
            *done = n;
        return TRUE;
    }
    if (done)
        *done = 0;
    return Fail(ERROR_IO_PENDING);
}

BOOL CommPort::Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* ov)
{
    if (!ov)
        return RunSynchronous(*this, done, [&](OVERLAPPED* o) { return Write(buffer, count, nullptr, o); });
    auto lk = BeginCall(ov, buffer, count, true);
    if (!lk)
        return FALSE;
    TimePoint now = Clock::now();
    WriteOp op{ov, ov->hEvent, {}, 0, std::nullopt};
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    op.data.assign(bytes, bytes + count);
    uint64_t total = uint64_t(timeouts_.WriteTotalTimeoutMultiplier) * count +
                     timeouts_.WriteTotalTimeoutConstant;
    if (total)
        op.deadline = now + Ms(total);
    ov->InternalHigh = 0;
    ov->Internal = STATUS_PENDING;
    if (writes_.empty() && dcb_.fRtsControl == RTS_CONTROL_TOGGLE)
        SetLine(TIOCM_RTS, true);
    writes_.push_back(std::move(op));
    ServiceWrites(now);
    Wake();
    bool pending = IsTracked(ov);
    DWORD n = static_cast<DWORD>(ov->InternalHigh);
    DWORD status = static_cast<DWORD>(ov->Internal);
    FlushSignals(lk);
    if (!pending) {
        if (status != kStatusSuccess)
            return Fail(ERROR_GEN_FAILURE);
        if (done)
            *done = n;
        return TRUE;
    }
    if (done)
        *done = 0;
    return Fail(ERROR_IO_PENDING);
}

BOOL CommPort::WaitEvent(DWORD* mask, OVERLAPPED* ov)
{
    if (!ov)
        return RunSynchronous(*this, nullptr, [&](OVERLAPPED* o) { return WaitEvent(mask, o); });
    auto lk = BeginCall(ov, nullptr, 0, false);
    if (!lk)
        return FALSE;
    if (wait_ || mask_ == 0) {
        lk.unlock();
        return Fail(ERROR_INVALID_PARAMETER);
    }
    ov->InternalHigh = 0;
    ov->Internal = STATUS_PENDING;
    wait_ = WaitOp{ov, ov->hEvent, mask};
    TryCompleteWait();
    bool pending = wait_.has_value();
    FlushSignals(lk);
    if (!pending)
        return TRUE;
    return Fail(ERROR_IO_PENDING);
}

BOOL CommPort::OverlappedResult(OVERLAPPED* ov, DWORD* transferred, BOOL wait)
{
    if (!ov)
        return Fail(ERROR_INVALID_PARAMETER);
    std::unique_lock lk(mu_);
    if (wait) {
        done_.wait(lk, [&] { return ov->Internal != STATUS_PENDING || !IsTracked(ov); });
    }
    DWORD status = static_cast<DWORD>(ov->Internal);
    DWORD n = static_cast<DWORD>(ov->InternalHigh);
    lk.unlock();
    if (transferred)
        *transferred = n;
    switch (status) {
    case kStatusSuccess: return TRUE;
    case STATUS_PENDING:
        return Fail(wait ? ERROR_OPERATION_ABORTED : ERROR_IO_INCOMPLETE);
    case kStatusCancelled: return Fail(ERROR_OPERATION_ABORTED);
    default: return Fail(ERROR_GEN_FAILURE);
    }
}

BOOL CommPort::Detach(OVERLAPPED* ov)
{
    std::unique_lock lk(mu_);
    bool found = false;
    for (auto it = reads_.begin(); it != reads_.end(); ++it) {
        if (it->ov == ov) {
            ring_.insert(ring_.begin(), it->got.begin(), it->got.end());
            reads_.erase(it);
            found = true;
            break;
        }
    }
    for (auto& w : writes_) {
        if (w.ov == ov) {
            // The bytes were copied at call time; they still go out, unreported.
            w.ov = nullptr;
            w.event = nullptr;
            found = true;
        }
    }
    if (wait_ && wait_->ov == ov) {
        wait_.reset();
        found = true;
    }
    if (found)
        FeedReads(Clock::now());
    done_.notify_all();
    Wake();
    FlushSignals(lk);
    if (!found)
        return Fail(ERROR_NOT_FOUND);
    return TRUE;
}

BOOL CommPort::Setup(DWORD inQueue, DWORD outQueue)
{
    if (inQueue > kMaxQueue || outQueue > kMaxQueue)
        return Fail(ERROR_INVALID_PARAMETER);
    std::unique_lock lk(mu_);
    if (inQueue > capacity_)
        capacity_ = inQueue;
    Wake();
    lk.unlock();
    return TRUE;
}

BOOL CommPort::GetTimeouts(COMMTIMEOUTS* t)
{
    return ReadOut(mu_, t, [&] { return timeouts_; });
}

BOOL CommPort::SetTimeouts(const COMMTIMEOUTS* t)
{
    if (!t || (t->ReadIntervalTimeout == MAXDWORD && t->ReadTotalTimeoutMultiplier == MAXDWORD &&
               t->ReadTotalTimeoutConstant == MAXDWORD))
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lk(mu_);
    timeouts_ = *t;
    return TRUE;
}

BOOL CommPort::SetMask(DWORD mask)
{
    if (mask & ~kAllEvents)
        return Fail(ERROR_INVALID_PARAMETER);
    std::unique_lock lk(mu_);
    mask_ = mask;
    ReleaseWait();
    Wake();
    FlushSignals(lk);
    return TRUE;
}

BOOL CommPort::GetMask(DWORD* mask)
{
    return ReadOut(mu_, mask, [&] { return mask_; });
}

BOOL CommPort::ClearError(DWORD* errors, COMSTAT* stat)
{
    std::lock_guard lk(mu_);
    if (errors)
        *errors = errors_;
    errors_ = 0;
    if (stat) {
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(ring_.size());
        size_t out = OutQueueBytes();
        for (const auto& w : writes_)
            out += w.data.size() - w.sent;
        stat->cbOutQue = static_cast<DWORD>(out);
        DWORD m = CurrentModem();
        stat->fCtsHold = dcb_.fOutxCtsFlow && !(m & MS_CTS_ON);
        stat->fDsrHold = dcb_.fOutxDsrFlow && !(m & MS_DSR_ON);
        stat->fXoffSent = inputHeld_ && dcb_.fInX;
    }
    return TRUE;
}

BOOL CommPort::Purge(DWORD flags)
{
    if (flags == 0 || (flags & ~0xFu))
        return Fail(ERROR_INVALID_PARAMETER);
    std::unique_lock lk(mu_);
    if (flags & PURGE_TXABORT) {
        bool sending = !writes_.empty() && writes_.front().sent;
        EndWrites(kStatusCancelled);
        if (sending)
            ::tcflush(fd_, TCOFLUSH);
    }
    if (flags & PURGE_RXABORT)
        CancelReads();
    // Only bytes still queued, as on closing.
    if ((flags & PURGE_TXCLEAR) && OutQueueBytes() > 0)
        ::tcflush(fd_, TCOFLUSH);
    if (flags & PURGE_RXCLEAR) {
        ring_.clear();
        ::tcflush(fd_, TCIFLUSH);
        decoder_.Reset();
        CheckInputFlow();
    }
    Wake();
    FlushSignals(lk);
    return TRUE;
}

BOOL CommPort::ModemStatus(DWORD* status)
{
    return ReadOut(mu_, status, [&] { return CurrentModem(); });
}

BOOL CommPort::Escape(DWORD func)
{
    std::lock_guard lk(mu_);
    switch (func) {
    case SETDTR: SetLine(TIOCM_DTR, true); return TRUE;
    case CLRDTR: SetLine(TIOCM_DTR, false); return TRUE;
    case SETRTS: SetLine(TIOCM_RTS, true); return TRUE;
    case CLRRTS: SetLine(TIOCM_RTS, false); return TRUE;
    case SETBREAK: ::ioctl(fd_, TIOCSBRK); return TRUE;
    case CLRBREAK: ::ioctl(fd_, TIOCCBRK); return TRUE;
    case SETXOFF: ::tcflow(fd_, TCOOFF); return TRUE;
    case SETXON: ::tcflow(fd_, TCOON); return TRUE;
    case RESETDEV: return TRUE;
    default: return Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL CommPort::SetSimulatedModem(DWORD status)
{
    std::unique_lock lk(mu_);
    DWORD old = simulatedModem_;
    simulatedModem_ = status & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    if (modemReal_) {
        lk.unlock();
        return TRUE;
    }
    DWORD raised = ModemEvents(old, simulatedModem_);
    if (raised)
        Raise(raised);
    Wake();
    FlushSignals(lk);
    return TRUE;
}
