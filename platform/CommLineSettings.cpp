#include "platform/CommEngineInternal.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <termios.h>
#include <sys/ioctl.h>

using namespace comm_detail;

namespace {

void LogOnce(const std::string& what)
{
    static std::mutex mu;
    static std::set<std::string> said;
    std::lock_guard lk(mu);
    if (said.insert(what).second)
        std::fprintf(stderr, "comm: %s\n", what.c_str());
}

struct StandardRate {
    uint32_t baud;
    speed_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::optional<speed_t> StandardCode(uint32_t baud)
{
    for (const auto& r : kStandardRates)
        if (r.baud == baud)
            return r.code;
    return std::nullopt;
}

tcflag_t SizeFlag(BYTE bits)
{
    switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

}  // namespace

void CommTermiosFromDcb(const DCB& d, struct termios& t)
{
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= SizeFlag(d.ByteSize) | CLOCAL | CREAD;
    switch (d.Parity) {
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case EVENPARITY: t.c_cflag |= PARENB; break;
    case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (d.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    if (d.fOutxCtsFlow || d.fRtsControl == RTS_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | IGNPAR | ISTRIP | IGNBRK | BRKINT);
    t.c_iflag |= PARMRK;
    if (d.fParity)
        t.c_iflag |= INPCK;
    if (d.fOutX)
        t.c_iflag |= IXON;
    if (d.fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

BOOL CommPort::GetState(DCB* dcb)
{
    return ReadOut(mu_, dcb, [&] {
        DCB d = dcb_;
        d.DCBlength = sizeof(DCB);
        return d;
    });
}

BOOL CommPort::SetState(const DCB* in)
{
    if (!in)
        return Fail(ERROR_INVALID_PARAMETER);
    DCB d = *in;
    std::unique_lock lk(mu_);
    bool valid = d.ByteSize >= 5 && d.ByteSize <= 8 && d.Parity <= SPACEPARITY &&
                 d.StopBits <= TWOSTOPBITS && d.fDtrControl != 3 && d.BaudRate > 0 &&
                 d.BaudRate <= 12000000 && d.XonLim <= capacity_ && d.XoffLim <= capacity_;
    if (d.StopBits == ONE5STOPBITS && d.ByteSize != 5)
        valid = false;
    if (d.StopBits == TWOSTOPBITS && d.ByteSize == 5)
        valid = false;
    if ((d.fOutX || d.fInX) && d.XonChar == d.XoffChar)
        valid = false;
    if (!valid) {
        lk.unlock();
        return Fail(ERROR_INVALID_PARAMETER);
    }
    DWORD error = 0;
    if (!ApplyTermios(d, error)) {
        lk.unlock();
        return Fail(error);
    }
    d.fBinary = 1;
    d.DCBlength = sizeof(DCB);
    dcb_ = d;
    ApplyLines(d);
    CheckInputFlow();
    Wake();
    lk.unlock();
    return TRUE;
}

bool CommPort::ApplyTermios(const DCB& d, DWORD& error)
{
    struct termios old {};
    if (::tcgetattr(fd_, &old) != 0) {
        error = ERROR_GEN_FAILURE;
        return false;
    }
    uint32_t oldBaud = 0;
    bool haveOldBaud = CommGetBaudRate(fd_, oldBaud);

    struct termios t = old;
    CommTermiosFromDcb(d, t);
    bool rtsHandshake = d.fRtsControl == RTS_CONTROL_HANDSHAKE;
    if (d.fOutxCtsFlow != rtsHandshake)
        LogOnce("CTS output flow and RTS handshake can only be set together here; both are on");
    if (!d.fTXContinueOnXoff && d.fInX)
        LogOnce("transmission continues after XOFF is sent (fTXContinueOnXoff off is not kept)");
    if (d.fAbortOnError)
        LogOnce("fAbortOnError is not supported; errors do not abort operations");
    auto standard = StandardCode(d.BaudRate);
    if (standard)
        ::cfsetspeed(&t, *standard);
    // A pseudo-terminal always keeps eight bits without parity; there is no line to frame,
    // so the request is taken as it stands. Ask it only for what it holds: a request it
    // can take nothing of (data bits or parity alone) is refused with EINVAL.
    constexpr tcflag_t ptyFixed = CSIZE | PARENB;
    if (isPty_) {
        if ((t.c_cflag & ptyFixed) != (old.c_cflag & ptyFixed))
            LogOnce("a pseudo-terminal keeps 8 data bits and no parity");
        t.c_cflag = (t.c_cflag & ~ptyFixed) | (old.c_cflag & ptyFixed);
    }

    auto restore = [&] {
        ::tcsetattr(fd_, TCSANOW, &old);
        if (haveOldBaud)
            CommSetBaudRate(fd_, oldBaud);
    };
    if (::tcsetattr(fd_, TCSANOW, &t) != 0 || (!standard && !CommSetBaudRate(fd_, d.BaudRate))) {
        restore();
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    // tcsetattr succeeds when any part was taken; only a read-back shows the rest.
    struct termios back {};
    uint32_t baud = 0;
    // A pseudo-terminal holds no parity, so its odd flag means nothing.
    const tcflag_t cmask = CSIZE | PARENB | CMSPAR | CSTOPB | CRTSCTS | (isPty_ ? 0 : PARODD);
    const tcflag_t imask = INPCK | IXON | IXOFF | PARMRK;
    bool same = ::tcgetattr(fd_, &back) == 0 && CommGetBaudRate(fd_, baud) &&
                (back.c_cflag & cmask) == (t.c_cflag & cmask) &&
                (back.c_iflag & imask) == (t.c_iflag & imask) &&
                back.c_cc[VSTART] == t.c_cc[VSTART] && back.c_cc[VSTOP] == t.c_cc[VSTOP];
    if (same && baud != d.BaudRate) {
        // Hardware divisors round; a close rate is what the device can do.
        uint64_t diff = baud > d.BaudRate ? baud - d.BaudRate : d.BaudRate - baud;
        if (diff * 100 > uint64_t(d.BaudRate) * 3)
            same = false;
        else
            LogOnce("baud rate " + std::to_string(d.BaudRate) + " runs as " +
                    std::to_string(baud));
    }
    if (!same) {
        restore();
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    return true;
}

void CommPort::ApplyLines(const DCB& d)
{
    switch (d.fDtrControl) {
    case DTR_CONTROL_DISABLE: SetLine(TIOCM_DTR, false); break;
    case DTR_CONTROL_ENABLE: SetLine(TIOCM_DTR, true); break;
    default: SetLine(TIOCM_DTR, !inputHeld_); break;
    }
    switch (d.fRtsControl) {
    case RTS_CONTROL_DISABLE: SetLine(TIOCM_RTS, false); break;
    case RTS_CONTROL_ENABLE: SetLine(TIOCM_RTS, true); break;
    case RTS_CONTROL_HANDSHAKE: SetLine(TIOCM_RTS, !inputHeld_); break;
    default: SetLine(TIOCM_RTS, !writes_.empty()); break;
    }
}
