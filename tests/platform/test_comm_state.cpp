#include "PtyPair.h"
#include "platform/Comm.h"
#include "platform/CommEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

HANDLE OpenPty(const PtyPair& pty)
{
    return CreateFileA(pty.Win32Name().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

uint32_t MasterBaud(const PtyPair& pty)
{
    uint32_t baud = 0;
    CommGetBaudRate(pty.Master(), baud);
    return baud;
}

}  // namespace

TEST(CommOpen, ErrorsAndExclusiveUse)
{
    SetLastError(0);
    HANDLE h = CreateFileA("\\\\.\\/dev/no-such-serial-port", GENERIC_READ | GENERIC_WRITE, 0,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    PtyPair pty;
    HANDLE first = OpenPty(pty);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = OpenPty(pty);
    EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CloseHandle(first));
    // Once closed, the device is free again, also by its bare path.
    HANDLE again = CreateFileA(pty.Path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
    // A file that is no terminal is refused.
    EXPECT_EQ(CreateFileA("/dev/null", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
}

TEST(CommOpen, StartsInRawMode)
{
    PtyPair pty;
    HANDLE h = OpenPty(pty);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    termios t = pty.Settings();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    // CR and LF pass unchanged both ways.
    DWORD n = 0;
    OVERLAPPED ov{};
    ASSERT_TRUE(WriteFile(h, "a\r\nb", 4, &n, &ov) || GetLastError() == ERROR_IO_PENDING);
    EXPECT_EQ(pty.Receive(4), "a\r\nb");
    CloseHandle(h);
}

struct DcbCase {
    const char* name;
    DWORD baud;
    BYTE bits, parity, stop;
    bool check, outX, inX, cts;
    tcflag_t cflag;  // expected among CSIZE|PARENB|PARODD|CMSPAR|CSTOPB|CRTSCTS
    tcflag_t iflag;  // expected among INPCK|IXON|IXOFF
};

TEST(CommState, DcbMapsOntoTerminalSettings)
{
    const DcbCase cases[] = {
        {"8N1 9600", 9600, 8, NOPARITY, ONESTOPBIT, false, false, false, false, CS8, 0},
        {"7E1 19200", 19200, 7, EVENPARITY, ONESTOPBIT, true, false, false, false, CS7 | PARENB,
         INPCK},
        {"7O2 14400", 14400, 7, ODDPARITY, TWOSTOPBITS, false, false, false, false,
         CS7 | PARENB | PARODD | CSTOPB, 0},
        {"5N1.5 56000", 56000, 5, NOPARITY, ONE5STOPBITS, false, false, false, false,
         CS5 | CSTOPB, 0},
        {"6M1 128000", 128000, 6, MARKPARITY, ONESTOPBIT, false, false, false, false,
         CS6 | PARENB | PARODD | CMSPAR, 0},
        {"8S1 256000", 256000, 8, SPACEPARITY, ONESTOPBIT, false, false, false, false,
         CS8 | PARENB | CMSPAR, 0},
        {"xon/xoff 115200", 115200, 8, NOPARITY, ONESTOPBIT, false, true, true, false, CS8,
         IXON | IXOFF},
        {"rts/cts 31250", 31250, 8, NOPARITY, ONESTOPBIT, false, false, false, true,
         CS8 | CRTSCTS, 0},
    };
    PtyPair pty;
    HANDLE h = OpenPty(pty);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DCB d{};
        d.DCBlength = sizeof d;
        d.BaudRate = c.baud;
        d.fBinary = 1;
        d.fParity = c.check;
        d.fOutX = c.outX;
        d.fInX = c.inX;
        d.fOutxCtsFlow = c.cts;
        d.fRtsControl = c.cts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
        d.ByteSize = c.bits;
        d.Parity = c.parity;
        d.StopBits = c.stop;
        d.XonLim = 256;
        d.XoffLim = 256;
        d.XonChar = 0x11;
        d.XoffChar = 0x13;
        ASSERT_TRUE(SetCommState(h, &d)) << GetLastError();
        // The full mapping, then what the pty keeps of it: a pseudo-terminal always has
        // eight bits without parity.
        termios mapped{};
        CommTermiosFromDcb(d, mapped);
        const tcflag_t cmask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
        EXPECT_EQ(mapped.c_cflag & cmask, c.cflag);
        EXPECT_EQ(mapped.c_iflag & (INPCK | IXON | IXOFF), c.iflag);
        termios t = pty.Settings();
        const tcflag_t kept = CMSPAR | CSTOPB | CRTSCTS;
        EXPECT_EQ(t.c_cflag & kept, c.cflag & kept);
        EXPECT_EQ(t.c_iflag & (INPCK | IXON | IXOFF), c.iflag);
        EXPECT_EQ(t.c_cc[VSTART], 0x11);
        EXPECT_EQ(t.c_cc[VSTOP], 0x13);
        EXPECT_EQ(MasterBaud(pty), c.baud);
        DCB back{};
        ASSERT_TRUE(GetCommState(h, &back));
        EXPECT_EQ(back.BaudRate, c.baud);
        EXPECT_EQ(back.ByteSize, c.bits);
        EXPECT_EQ(back.Parity, c.parity);
        EXPECT_EQ(back.StopBits, c.stop);
        EXPECT_EQ(back.DCBlength, 28u);
    }
    CloseHandle(h);
}

TEST(CommState, FlagBitsKeepTheirWin32Places)
{
    DCB d{};
    DWORD flags = 0;
    d.fBinary = 1;
    d.fParity = 1;
    d.fDtrControl = DTR_CONTROL_HANDSHAKE;
    d.fInX = 1;
    d.fRtsControl = RTS_CONTROL_TOGGLE;
    std::memcpy(&flags, reinterpret_cast<const char*>(&d) + 8, 4);
    EXPECT_EQ(flags, 0x1u | 0x2u | 0x20u | 0x200u | 0x3000u);
    EXPECT_EQ(offsetof(DCB, XonLim), 14u);
    EXPECT_EQ(offsetof(DCB, ByteSize), 18u);
    EXPECT_EQ(offsetof(DCB, EvtChar), 25u);
}

TEST(CommState, InvalidSettingsChangeNothing)
{
    PtyPair pty;
    HANDLE h = OpenPty(pty);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DCB good{};
    ASSERT_TRUE(GetCommState(h, &good));
    good.BaudRate = 19200;
    good.ByteSize = 7;
    good.Parity = EVENPARITY;
    good.XonLim = 256;
    good.XoffLim = 256;
    ASSERT_TRUE(SetCommState(h, &good));
    termios before = pty.Settings();

    struct Bad {
        const char* name;
        void (*spoil)(DCB&);
    } bad[] = {
        {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
        {"9 data bits", [](DCB& d) { d.ByteSize = 9; }},
        {"parity 5", [](DCB& d) { d.Parity = 5; }},
        {"stop bits 3", [](DCB& d) { d.StopBits = 3; }},
        {"1.5 stop with 8 bits", [](DCB& d) { d.StopBits = ONE5STOPBITS; }},
        {"2 stop with 5 bits", [](DCB& d) { d.ByteSize = 5; d.StopBits = TWOSTOPBITS; }},
        {"dtr control 3", [](DCB& d) { d.fDtrControl = 3; }},
        {"xon limit beyond queue", [](DCB& d) { d.XonLim = 60000; }},
        {"xoff limit beyond queue", [](DCB& d) { d.XoffLim = 60000; }},
        {"baud 0", [](DCB& d) { d.BaudRate = 0; }},
        {"same xon and xoff", [](DCB& d) { d.fOutX = 1; d.XoffChar = d.XonChar; }},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.name);
        DCB d = good;
        d.BaudRate = 57600;  // a valid change that must not be applied either
        b.spoil(d);
        SetLastError(0);
        EXPECT_FALSE(SetCommState(h, &d));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        DCB now{};
        ASSERT_TRUE(GetCommState(h, &now));
        EXPECT_EQ(std::memcmp(&now, &good, sizeof now), 0);
        termios after = pty.Settings();
        EXPECT_EQ(after.c_cflag, before.c_cflag);
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(MasterBaud(pty), 19200u);
    }
    CloseHandle(h);
}

TEST(CommState, SetupCommGrowsTheQueueOnly)
{
    PtyPair pty;
    HANDLE h = OpenPty(pty);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetupComm(h, 0x7FFFFFFF, 1024));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    DCB d{};
    ASSERT_TRUE(GetCommState(h, &d));
    d.XonLim = 6000;
    EXPECT_FALSE(SetCommState(h, &d));  // beyond the default 4096-byte queue
    ASSERT_TRUE(pty.Send("keep"));
    DWORD errors = 0;
    COMSTAT st{};
    for (int i = 0; i < 200 && st.cbInQue < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ClearCommError(h, &errors, &st);
    }
    ASSERT_EQ(st.cbInQue, 4u);
    ASSERT_TRUE(SetupComm(h, 8192, 1024));
    EXPECT_TRUE(SetCommState(h, &d));
    ASSERT_TRUE(SetupComm(h, 16, 16));  // never shrinks: the limit above stays valid
    EXPECT_TRUE(SetCommState(h, &d));
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    char buf[8] = {};
    DWORD n = 0;
    OVERLAPPED ov{};
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "keep");
    CloseHandle(h);
}

TEST(CommState, TimeoutsRoundTripAndRejectTheImpossible)
{
    PtyPair pty;
    HANDLE h = OpenPty(pty);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    COMMTIMEOUTS t{MAXDWORD, 0, 0, 100, 1000};
    ASSERT_TRUE(SetCommTimeouts(h, &t));
    COMMTIMEOUTS back{};
    ASSERT_TRUE(GetCommTimeouts(h, &back));
    EXPECT_EQ(std::memcmp(&t, &back, sizeof t), 0);
    COMMTIMEOUTS bad{MAXDWORD, MAXDWORD, MAXDWORD, 0, 0};
    EXPECT_FALSE(SetCommTimeouts(h, &bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    CloseHandle(h);
}

TEST(CommHandles, CallsOnAForeignHandleFail)
{
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DCB d{};
    EXPECT_FALSE(GetCommState(ev, &d));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(PurgeComm(ev, PURGE_RXCLEAR));
    CloseHandle(ev);
}

TEST(MarkedInput, SplitsBytesErrorsAndBreaks)
{
    using K = MarkedInputDecoder::Kind;
    MarkedInputDecoder dec;
    std::vector<MarkedInputDecoder::Item> out;
    const uint8_t stream[] = {'a', 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 'x', 'b'};
    // Fed one byte at a time: markers cut by read boundaries must still be seen.
    for (uint8_t b : stream)
        dec.Feed(&b, 1, out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].kind, K::Byte);
    EXPECT_EQ(out[0].byte, 'a');
    EXPECT_EQ(out[1].kind, K::Byte);
    EXPECT_EQ(out[1].byte, 0xFF);
    EXPECT_EQ(out[2].kind, K::Break);
    EXPECT_EQ(out[3].kind, K::Error);
    EXPECT_EQ(out[3].byte, 'x');
    EXPECT_EQ(out[4].byte, 'b');

    out.clear();
    const uint8_t odd[] = {0xFF, 'q'};
    dec.Feed(odd, 2, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].byte, 0xFF);
    EXPECT_EQ(out[1].byte, 'q');

    out.clear();
    const uint8_t cut[] = {0xFF, 0x00};
    dec.Feed(cut, 2, out);
    dec.Reset();
    const uint8_t next[] = {'z'};
    dec.Feed(next, 1, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, K::Byte);
}
