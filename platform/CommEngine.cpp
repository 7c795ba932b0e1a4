#include "platform/CommEngineInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

using namespace comm_detail;

void MarkedInputDecoder::Feed(const uint8_t* data, size_t n, std::vector<Item>& out)
{
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = data[i];
        switch (state_) {
        case State::Normal:
            if (c == 0xFF)
                state_ = State::GotFF;
            else
                out.push_back({Kind::Byte, c});
            break;
        case State::GotFF:
            if (c == 0xFF) {
                out.push_back({Kind::Byte, 0xFF});
                state_ = State::Normal;
            } else if (c == 0x00) {
                state_ = State::GotFF00;
            } else {
                // Not a marker after all: keep both bytes.
                out.push_back({Kind::Byte, 0xFF});
                out.push_back({Kind::Byte, c});
                state_ = State::Normal;
            }
            break;
        case State::GotFF00:
            // The terminal cannot tell a break from a faulty NUL; both come as FF 00 00.
            out.push_back(c == 0x00 ? Item{Kind::Break, 0} : Item{Kind::Error, c});
            state_ = State::Normal;
            break;
        }
    }
}

std::shared_ptr<CommPort> CommPort::Open(const std::string& path, DWORD& error)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR: error = ERROR_FILE_NOT_FOUND; break;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK: error = ERROR_ACCESS_DENIED; break;
        default: error = ERROR_GEN_FAILURE; break;
        }
        return nullptr;
    }
    if (!::isatty(fd)) {
        ::close(fd);
        error = ERROR_GEN_FAILURE;
        return nullptr;
    }
    // The exclusive flag stops other users; the lock also stops a second open by root,
    // which the flag lets through.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    ::ioctl(fd, TIOCEXCL);

    struct termios t {};
    if (::tcgetattr(fd, &t) != 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        error = ERROR_GEN_FAILURE;
        return nullptr;
    }
    t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK);
    t.c_iflag |= PARMRK;  // errors and breaks arrive marked in the byte stream
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        error = ERROR_GEN_FAILURE;
        return nullptr;
    }

    std::shared_ptr<CommPort> port(new CommPort(fd, path));
    if (port->wakeFd_ < 0) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        port->Close();
        return nullptr;
    }
    uint32_t baud = 9600;
    CommGetBaudRate(fd, baud);
    DCB& d = port->dcb_;
    d.DCBlength = sizeof(DCB);
    d.BaudRate = baud;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.ByteSize = 8;
    d.XonChar = 17;
    d.XoffChar = 19;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
        unsigned major = ::major(st.st_rdev);
        port->isPty_ = (major >= 136 && major <= 143) || major == 3;
    }
    int lines = 0;
    port->modemReal_ = ::ioctl(fd, TIOCMGET, &lines) == 0;
    port->lastModem_ = port->CurrentModem();
    port->engine_ = std::thread([p = port.get()] { p->Run(); });
    return port;
}

CommPort::CommPort(int fd, std::string path) : fd_(fd), path_(std::move(path))
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CommPort::~CommPort()
{
    Close();
}

void CommPort::Close()
{
    std::unique_lock lk(mu_);
    if (closed_)
        return;
    closed_ = true;
    // Dropping unsent output first means close() never waits on the driver's drain. Only
    // bytes still queued: a pseudo-terminal's queue always reads empty, and a flush there
    // would take bytes already sent out of the far end's input.
    if (OutQueueBytes() > 0)
        ::tcflush(fd_, TCOFLUSH);
    CancelReads();
    EndWrites(kStatusCancelled);
    ReleaseWait();
    stopping_ = true;
    Wake();
    FlushSignals(lk);
    if (engine_.joinable() && engine_.get_id() != std::this_thread::get_id())
        engine_.join();
    lk.lock();
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    wakeFd_ = -1;
    fd_ = -1;
}

void CommPort::Wake()
{
    uint64_t one = 1;
    if (wakeFd_ >= 0) {
        ssize_t r = ::write(wakeFd_, &one, sizeof one);
        (void)r;
    }
}

// Events are set outside our lock, so the kernel's own locks never nest inside ours.
void CommPort::FlushSignals(std::unique_lock<std::mutex>& lk)
{
    if (toSignal_.empty()) {
        lk.unlock();
        return;
    }
    std::vector<HANDLE> events;
    events.swap(toSignal_);
    lk.unlock();
    for (HANDLE e : events)
        SetEvent(e);
}

void CommPort::Finish(OVERLAPPED* ov, HANDLE event, DWORD status, DWORD count)
{
    if (ov) {
        ov->InternalHigh = count;
        ov->Internal = status;
    }
    if (event)
        toSignal_.push_back(event);
    done_.notify_all();
}

void CommPort::CompleteRead(ReadOp& op, DWORD status)
{
    DWORD n = static_cast<DWORD>(op.got.size());
    if (status == kStatusSuccess && op.ov && n)
        std::memcpy(op.buffer, op.got.data(), n);
    else if (status != kStatusSuccess && n) {
        // Bytes taken for a read that did not succeed go back to the front of the queue.
        ring_.insert(ring_.begin(), op.got.begin(), op.got.end());
        n = 0;
    }
    Finish(op.ov, op.event, status, n);
}

void CommPort::CompleteWrite(WriteOp& op, DWORD status, DWORD count)
{
    Finish(op.ov, op.event, status, count);
}

void CommPort::CompleteWait(WaitOp& op, DWORD events)
{
    if (op.mask)
        *op.mask = events;
    Finish(op.ov, op.event, kStatusSuccess, 0);
}

void CommPort::CancelReads()
{
    for (auto& r : reads_)
        CompleteRead(r, kStatusCancelled);
    reads_.clear();
}

void CommPort::EndWrites(DWORD status)
{
    for (auto& w : writes_)
        CompleteWrite(w, status, static_cast<DWORD>(w.sent));
    writes_.clear();
}

void CommPort::ReleaseWait()
{
    if (wait_) {
        CompleteWait(*wait_, 0);
        wait_.reset();
    }
}

bool CommPort::IsTracked(OVERLAPPED* ov) const
{
    for (const auto& r : reads_)
        if (r.ov == ov)
            return true;
    for (const auto& w : writes_)
        if (w.ov == ov)
            return true;
    return wait_ && wait_->ov == ov;
}

// ---- engine thread -------------------------------------------------------------------

void CommPort::Run()
{
    std::unique_lock lk(mu_);
    while (!stopping_) {
        TimePoint now = Clock::now();
        Service(now);
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
        nfds_t count = 1;
        if (!hungUp_) {
            // A hung-up terminal reports POLLHUP forever: it leaves the poll set for good.
            if (ring_.size() < capacity_)
                fds[1].events |= POLLIN;
            if (wantOut_)
                fds[1].events |= POLLOUT;
            count = 2;
        }
        int timeout = PollTimeout(now);
        FlushSignals(lk);
        int r = ::poll(fds, count, timeout);
        lk.lock();
        if (stopping_)
            break;
        if (r <= 0)
            continue;
        if (fds[0].revents) {
            uint64_t v;
            ssize_t got = ::read(wakeFd_, &v, sizeof v);
            (void)got;
        }
        if (count == 2 && fds[1].revents)
            ReadDevice(fds[1].revents, Clock::now());
    }
    FlushSignals(lk);
}

int CommPort::PollTimeout(TimePoint now)
{
    std::optional<TimePoint> next;
    auto consider = [&](const std::optional<TimePoint>& t) {
        if (t && (!next || *t < *next))
            next = t;
    };
    for (const auto& r : reads_)
        consider(r.total);
    if (!reads_.empty() && reads_.front().interval && !reads_.front().got.empty())
        consider(reads_.front().lastByte + Ms(reads_.front().interval));
    for (const auto& w : writes_)
        consider(w.deadline);
    consider(drainCheck_);
    consider(nextModemPoll_);
    if (!next)
        return -1;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 60000));
}

void CommPort::Service(TimePoint now)
{
    FeedReads(now);
    // Time-outs of reads: the total limit for every queued read, the interval for the one
    // receiving.
    for (auto it = reads_.begin(); it != reads_.end();) {
        bool expired = it->total && now >= *it->total;
        if (it == reads_.begin() && it->interval && !it->got.empty() &&
            now >= it->lastByte + Ms(it->interval))
            expired = true;
        if (expired) {
            CompleteRead(*it, kStatusSuccess);
            it = reads_.erase(it);
        } else {
            ++it;
        }
    }
    ServiceWrites(now);
    PollModem(now);
}

void CommPort::ReadDevice(short revents, TimePoint now)
{
    if (revents & POLLIN) {
        uint8_t buf[4096];
        size_t room = std::min(sizeof buf, capacity_ - std::min(capacity_, ring_.size()));
        if (room == 0)
            return;
        ssize_t n = ::read(fd_, buf, room);
        if (n > 0) {
            Deliver(buf, static_cast<size_t>(n), now);
            return;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            HangUp();
        return;
    }
    if (revents & (POLLHUP | POLLERR | POLLNVAL))
        HangUp();
}

void CommPort::Deliver(const uint8_t* raw, size_t n, TimePoint now)
{
    std::vector<MarkedInputDecoder::Item> items;
    decoder_.Feed(raw, n, items);
    if (items.empty())
        return;
    DWORD raised = 0;
    bool errorMarked = false;
    DWORD modem = CurrentModem();
    const size_t before = ring_.size();
    for (auto item : items) {
        if (item.kind == MarkedInputDecoder::Kind::Break) {
            errors_ |= CE_BREAK;
            raised |= EV_BREAK;
            continue;
        }
        uint8_t c = item.byte;
        if (item.kind == MarkedInputDecoder::Kind::Error) {
            errorMarked = true;
            raised |= EV_ERR;
            if (dcb_.fErrorChar)
                c = static_cast<uint8_t>(dcb_.ErrorChar);
        }
        if (dcb_.fNull && c == 0)
            continue;
        if (dcb_.fDsrSensitivity && !(modem & MS_DSR_ON))
            continue;
        if (ring_.size() >= capacity_) {
            errors_ |= CE_RXOVER;
            raised |= EV_ERR;
            continue;
        }
        ring_.push_back(c);
        raised |= EV_RXCHAR;
        if (c == static_cast<uint8_t>(dcb_.EvtChar))
            raised |= EV_RXFLAG;
    }
    if (errorMarked) {
        // The markers do not say which error it was; the driver's counters do, when kept.
        Counters old = counters_.value_or(Counters{});
        serial_icounter_struct ic {};
        bool classified = false;
        if (::ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
            if (ic.frame != old.frame) {
                errors_ |= CE_FRAME;
                classified = true;
            }
            if (ic.parity != old.parity) {
                errors_ |= CE_RXPARITY;
                classified = true;
            }
        }
        if (!classified)
            errors_ |= dcb_.fParity ? CE_RXPARITY : CE_FRAME;
    }
    size_t mark = capacity_ * 8 / 10;
    if (before < mark && ring_.size() >= mark)
        raised |= EV_RX80FULL;
    FeedReads(now);
    CheckInputFlow();
    if (raised)
        Raise(raised);
}

void CommPort::FeedReads(TimePoint now)
{
    while (!reads_.empty()) {
        ReadOp& r = reads_.front();
        size_t take = std::min<size_t>(r.want - r.got.size(), ring_.size());
        if (take) {
            r.got.insert(r.got.end(), ring_.begin(), ring_.begin() + take);
            ring_.erase(ring_.begin(), ring_.begin() + take);
            r.lastByte = now;
        }
        if (r.got.size() >= r.want || (r.firstByteReturns && !r.got.empty())) {
            CompleteRead(r, kStatusSuccess);
            reads_.pop_front();
            continue;
        }
        break;
    }
    CheckInputFlow();
}

void CommPort::CheckInputFlow()
{
    bool flow = dcb_.fInX || dcb_.fDtrControl == DTR_CONTROL_HANDSHAKE ||
                dcb_.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (!flow || fd_ < 0) {
        inputHeld_ = false;
        return;
    }
    size_t queued = ring_.size();
    size_t stopAt = capacity_ > dcb_.XoffLim ? capacity_ - dcb_.XoffLim : 0;
    // Stops or restarts the sender through every input flow control the port uses.
    auto hold = [this](bool held) {
        inputHeld_ = held;
        if (dcb_.fInX)
            ::tcflow(fd_, held ? TCIOFF : TCION);
        if (dcb_.fDtrControl == DTR_CONTROL_HANDSHAKE)
            SetLine(TIOCM_DTR, !held);
        if (dcb_.fRtsControl == RTS_CONTROL_HANDSHAKE)
            SetLine(TIOCM_RTS, !held);
    };
    if (!inputHeld_ && queued >= stopAt)
        hold(true);
    else if (inputHeld_ && queued <= dcb_.XonLim)
        hold(false);
}

size_t CommPort::OutQueueBytes()
{
    int q = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCOUTQ, &q) != 0 || q < 0)
        return 0;
    return static_cast<size_t>(q);
}

bool CommPort::OutputHeld()
{
    return dcb_.fOutxDsrFlow && !(CurrentModem() & MS_DSR_ON);
}

void CommPort::ServiceWrites(TimePoint now)
{
    wantOut_ = false;
    drainCheck_.reset();
    // Expired writes complete with what actually left; the rest is dropped.
    for (auto it = writes_.begin(); it != writes_.end();) {
        if (it->deadline && now >= *it->deadline) {
            size_t left = it == writes_.begin() ? OutQueueBytes() : 0;
            DWORD count = static_cast<DWORD>(it->sent > left ? it->sent - left : 0);
            if (it == writes_.begin() && it->sent)
                ::tcflush(fd_, TCOFLUSH);
            CompleteWrite(*it, kStatusSuccess, count);
            it = writes_.erase(it);
            if (writes_.empty()) {
                if (dcb_.fRtsControl == RTS_CONTROL_TOGGLE)
                    SetLine(TIOCM_RTS, false);
                Raise(EV_TXEMPTY);
            }
        } else {
            ++it;
        }
    }
    while (!writes_.empty() && !hungUp_) {
        WriteOp& w = writes_.front();
        if (OutputHeld())
            return;
        while (w.sent < w.data.size()) {
            ssize_t n = ::write(fd_, w.data.data() + w.sent, w.data.size() - w.sent);
            if (n > 0) {
                w.sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                wantOut_ = true;
                return;
            }
            HangUp();
            return;
        }
        size_t queued = OutQueueBytes();
        if (queued) {
            // No readiness signal exists for "drained": look again when it should be.
            uint64_t bitsPerByte = 10;
            uint64_t ms = queued * bitsPerByte * 1000 / std::max<DWORD>(dcb_.BaudRate, 1);
            drainCheck_ = now + Ms(std::clamp<uint64_t>(ms, 1, 50));
            return;
        }
        CompleteWrite(w, kStatusSuccess, static_cast<DWORD>(w.sent));
        writes_.pop_front();
        if (writes_.empty()) {
            if (dcb_.fRtsControl == RTS_CONTROL_TOGGLE)
                SetLine(TIOCM_RTS, false);
            Raise(EV_TXEMPTY);
        }
    }
}

DWORD CommPort::CurrentModem()
{
    if (!modemReal_)
        return simulatedModem_;
    int lines = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &lines) != 0)
        return 0;
    static constexpr std::pair<unsigned, DWORD> kLines[] = {
        {TIOCM_CTS, MS_CTS_ON}, {TIOCM_DSR, MS_DSR_ON}, {TIOCM_RNG, MS_RING_ON}, {TIOCM_CAR, MS_RLSD_ON}};
    return MapBits(static_cast<unsigned>(lines), kLines);
}

void CommPort::PollModem(TimePoint now)
{
    // Real lines have no readiness signal either; they are sampled while anyone cares.
    bool care = (mask_ & (EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR)) || dcb_.fOutxDsrFlow ||
                dcb_.fDsrSensitivity;
    if (!modemReal_ || hungUp_ || !care) {
        nextModemPoll_.reset();
        return;
    }
    if (nextModemPoll_ && now < *nextModemPoll_)
        return;
    nextModemPoll_ = now + Ms(50);
    DWORD m = CurrentModem();
    DWORD raised = ModemEvents(lastModem_, m);
    lastModem_ = m;
    serial_icounter_struct ic {};
    if (::ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
        Counters c{ic.cts, ic.dsr, ic.rng, ic.dcd, ic.frame, ic.parity, ic.overrun, ic.brk,
                   ic.buf_overrun};
        if (counters_) {
            const Counters& o = *counters_;
            if (c.cts != o.cts)
                raised |= EV_CTS;
            if (c.dsr != o.dsr)
                raised |= EV_DSR;
            if (c.dcd != o.dcd)
                raised |= EV_RLSD;
            if (c.rng != o.rng)
                raised |= EV_RING;
            if (c.overrun != o.overrun) {
                errors_ |= CE_OVERRUN;
                raised |= EV_ERR;
            }
            if (c.bufOverrun != o.bufOverrun) {
                errors_ |= CE_RXOVER;
                raised |= EV_ERR;
            }
        }
        counters_ = c;
    }
    if (raised)
        Raise(raised);
}

void CommPort::SetLine(int bit, bool on)
{
    if (!modemReal_ || fd_ < 0)
        return;
    ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void CommPort::HangUp()
{
    if (hungUp_)
        return;
    hungUp_ = true;
    errors_ |= CE_IOE;
    for (auto& r : reads_) {
        if (r.got.empty()) {
            Finish(r.ov, r.event, kStatusFailed, 0);
        } else {
            CompleteRead(r, kStatusSuccess);
        }
    }
    reads_.clear();
    EndWrites(kStatusFailed);
    Raise(EV_ERR);
}

void CommPort::Raise(DWORD events)
{
    history_ |= events;
    TryCompleteWait();
}

void CommPort::TryCompleteWait()
{
    if (!wait_)
        return;
    DWORD ready = history_ & mask_;
    if (!ready)
        return;
    history_ &= ~ready;
    CompleteWait(*wait_, ready);
    wait_.reset();
}
