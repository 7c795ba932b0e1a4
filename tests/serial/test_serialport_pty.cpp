#include "common/PtyPair.h"
#include "SerialTestSupport.h"

#include "platform/CommEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace {
class SerialOnPty : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        port.SetPort(pty.Path());
        port.FlowControl()->SetFlowControl(fcNone);
    }
    PtyPair pty;
    TSerialPort port{nullptr};
};
} // namespace

TEST_F(SerialOnPty, SendAndReceiveTextRoundTrip)
{
    port.Events = {};
    port.OpenPort();
    EXPECT_EQ(port.SendText("FA;"), 3);
    EXPECT_EQ(pty.Receive(3), "FA;");
    ASSERT_TRUE(pty.Send("FA00014250000;"));
    std::string answer;
    ASSERT_TRUE(PumpUntil([&] {
        std::string part;
        port.ReceiveText(part, port.BytesWaiting());
        answer += part;
        return answer.size() >= 14;
    }));
    EXPECT_EQ(answer, "FA00014250000;");
    port.ClosePort();
}

// A pseudo-terminal holds only eight bits without parity; changing data bits or parity alone
// at an unchanged speed must still be taken and read back as set, also on the next opening.
TEST_F(SerialOnPty, DataBitsOrParityAloneChangeAtTheSameSpeed)
{
    port.Events = {};
    port.OpenPort();
    struct Step {
        const char* name;
        std::function<void()> change;
        BYTE bits;
        BYTE parity;
    } steps[] = {
        {"7 data bits", [&] { port.SetDataBits(dbSeven); }, 7, NOPARITY},
        {"even parity", [&] { port.Parity()->SetBits(prEven); }, 7, EVENPARITY},
        {"reopened", [&] { port.ClosePort(); port.OpenPort(); }, 7, EVENPARITY},
        {"odd parity", [&] { port.Parity()->SetBits(prOdd); }, 7, ODDPARITY},
        {"8 data bits", [&] { port.SetDataBits(dbEight); }, 8, ODDPARITY},
        {"no parity", [&] { port.Parity()->SetBits(prNone); }, 8, NOPARITY},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_NO_THROW(s.change());
        ASSERT_TRUE(port.Connected());
        DCB d{};
        ASSERT_TRUE(GetCommState(port.Handle(), &d));
        EXPECT_EQ(d.BaudRate, 9600u);
        EXPECT_EQ(d.ByteSize, s.bits);
        EXPECT_EQ(d.Parity, s.parity);
    }
    port.ClosePort();
}

// Every rate of the list reaches the device as itself, open or at the next opening: the
// speed is read back from the pseudo-terminal's own settings.
TEST_F(SerialOnPty, EveryListedRateReachesTheDevice)
{
    const std::pair<TBaudRate, uint32_t> rates[] = {
        {br110, 110},       {br300, 300},       {br600, 600},       {br1200, 1200},
        {br2400, 2400},     {br4800, 4800},     {br9600, 9600},     {br14400, 14400},
        {br19200, 19200},   {br38400, 38400},   {br56000, 56000},   {br57600, 57600},
        {br115200, 115200}, {br128000, 128000}, {br256000, 256000}};
    auto deviceBaud = [&] {
        uint32_t baud = 0;
        EXPECT_TRUE(CommGetBaudRate(pty.Master(), baud));
        return baud;
    };
    port.Events = {};
    port.OpenPort();
    for (const auto& [rate, baud] : rates) {
        SCOPED_TRACE(baud);
        port.SetBaudRate(rate);
        EXPECT_EQ(deviceBaud(), baud);
    }
    port.ClosePort();
    for (const auto& [rate, baud] : rates) {
        SCOPED_TRACE(baud);
        port.SetBaudRate(rate);
        port.OpenPort();
        EXPECT_EQ(deviceBaud(), baud);
        port.ClosePort();
    }
}

TEST_F(SerialOnPty, WithALinkEveryBlockIsReadOnceAndRxCharStaysQuiet)
{
    std::string viaBuf, viaLink;
    std::vector<std::string> order;
    int rxChar = 0;
    TSerialLink link;
    link.BytesReceived = TRxBufEvent([&](TObject*, const void* b, int n) {
        viaLink.append(static_cast<const char*>(b), static_cast<size_t>(n));
        order.push_back("link");
    });
    port.AttachLink(&link);
    port.OnRxBuf = TRxBufEvent([&](TObject*, const void* b, int n) {
        viaBuf.append(static_cast<const char*>(b), static_cast<size_t>(n));
        order.push_back("buf");
    });
    port.OnRxChar = TRxCharEvent([&](TObject*, int) { ++rxChar; });
    port.OpenPort();
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        std::string block = "IF" + std::to_string(i) + ";";
        sent += block;
        ASSERT_TRUE(pty.Send(block));
        ASSERT_TRUE(PumpUntil([&] { return viaLink.size() == sent.size(); }));
    }
    port.ClosePort();
    port.DetachLink(&link);
    EXPECT_EQ(viaLink, sent);
    EXPECT_EQ(viaBuf, sent);
    EXPECT_EQ(rxChar, 0);
    for (size_t i = 0; i + 1 < order.size(); i += 2) {
        EXPECT_EQ(order[i], "buf");
        EXPECT_EQ(order[i + 1], "link");
    }
}

// What the device reports reaches the link's slots and the port's events: the event
// character, a filling input queue, a write leaving, a ring and a line error.
TEST_F(SerialOnPty, LinkSlotsAndPortEventsFollowTheDevice)
{
    std::vector<std::string> log;
    auto count = [&](const std::string& e) { return std::count(log.begin(), log.end(), e); };
    auto note = [&](const char* e) { return [&log, e](TObject*) { log.push_back(e); }; };
    auto state = [&](const char* e) {
        return [&log, e](TObject*, bool on) { log.push_back(std::string(e) + (on ? " on" : " off")); };
    };
    TSerialLink link; // takes no input: the bytes stay queued until read here
    link.EventCharSeen = TNotifyEvent(note("event char"));
    link.SendQueueEmptied = TNotifyEvent(note("queue emptied"));
    link.RingSeen = TNotifyEvent(note("ring"));
    link.ReceiveActivity = TSerialSignalEvent(state("receiving"));
    port.AttachLink(&link);
    port.OnRxFlag = TNotifyEvent(note("OnRxFlag"));
    port.OnRx80Full = TNotifyEvent(note("OnRx80Full"));
    TSerialErrors errors;
    port.OnError = TSerialErrorEvent([&](TObject*, TSerialErrors e) {
        errors = e;
        log.push_back("OnError");
    });
    port.SetEventChar(';');
    port.OpenPort();
    auto readAll = [&](int n) {
        ASSERT_TRUE(PumpUntil([&] { return port.BytesWaiting() >= n; }));
        std::string got;
        EXPECT_EQ(port.ReceiveText(got, port.BytesWaiting()), n);
    };

    ASSERT_TRUE(pty.Send("FA"));
    ASSERT_TRUE(PumpUntil([&] { return count("receiving on") > 0; }));
    EXPECT_EQ(count("event char"), 0);
    ASSERT_TRUE(pty.Send(";"));
    ASSERT_TRUE(PumpUntil([&] { return count("OnRxFlag") == 1; }));
    EXPECT_EQ(count("event char"), 1);
    readAll(3);
    EXPECT_EQ(count("receiving off"), 1) << "the read left the queue empty";

    // 80% of the engine's 4096-byte queue.
    ASSERT_TRUE(pty.Send(std::string(3277, 'x')));
    ASSERT_TRUE(PumpUntil([&] { return count("OnRx80Full") == 1; }));
    readAll(3277);

    EXPECT_EQ(count("queue emptied"), 0);
    EXPECT_EQ(port.SendText("ID;"), 3);
    EXPECT_EQ(pty.Receive(3), "ID;");
    ASSERT_TRUE(PumpUntil([&] { return count("queue emptied") == 1; }));

    ASSERT_TRUE(SetSimulatedModemStatus(port.Handle(), MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON | MS_RING_ON));
    ASSERT_TRUE(PumpUntil([&] { return count("ring") == 1; }));

    pty.CloseMaster(); // the far end hangs up
    ASSERT_TRUE(PumpUntil([&] { return count("OnError") == 1; }));
    EXPECT_TRUE(errors.Contains(ceIO));
    EXPECT_EQ(count("OnRxFlag"), 1);
    EXPECT_EQ(count("event char"), 1);
    EXPECT_EQ(count("OnRx80Full"), 1);
    port.ClosePort();
    port.DetachLink(&link);
}

TEST_F(SerialOnPty, AThousandPendingWritesLoseNoTxEmpty)
{
    PAsyncRecord pending = nullptr;
    int emptied = 0;
    port.OnTxEmpty = TNotifyEvent([&](TObject*) {
        ++emptied;
        if (pending)
            DisposeAsyncRecord(pending);
    });
    port.OpenPort();
    for (int i = 0; i < 1000; ++i) {
        const int before = emptied;
        NewAsyncRecord(pending);
        port.StartWriteText("X", pending);
        ASSERT_TRUE(PumpUntil([&] { return emptied > before; })) << "exchange " << i;
        ASSERT_EQ(pending, nullptr);
    }
    EXPECT_EQ(pty.Receive(1000).size(), 1000u);
    port.ClosePort();
}

TEST_F(SerialOnPty, ClosingWhileBytesArriveDoesNotHang)
{
    port.OnRxChar = TRxCharEvent([&](TObject*, int n) { EXPECT_GT(n, 0); });
    for (int round = 0; round < 20; ++round) {
        port.OpenPort();
        ASSERT_TRUE(pty.Send("ABC"));
        port.ClosePort();
        EXPECT_FALSE(port.Connected());
    }
}

// On a real device, in every delivery mode: a handler may close its own port, and the main
// thread may close while the event thread waits to hand a batch over.
namespace {
class SerialOnPtyModes : public SerialOnPty, public ::testing::WithParamInterface<TSyncMethod> {};
} // namespace

TEST_P(SerialOnPtyModes, ClosingFromAHandlerAndDuringAHandOver)
{
    port.SetSyncMethod(GetParam());
    std::atomic<int> handled{0};
    std::atomic<bool> closeInHandler{true};
    port.OnRxChar = TRxCharEvent([&](TObject*, int n) {
        std::string part;
        port.ReceiveText(part, n);
        ++handled;
        if (closeInHandler)
            port.ClosePort();
    });
    port.OpenPort();
    ASSERT_TRUE(pty.Send("IF;"));
    ASSERT_TRUE(PumpUntil([&] { return !port.Connected(); }));
    EXPECT_EQ(handled.load(), 1);
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);

    closeInHandler = false;
    handled = 0;
    port.OpenPort();
    ASSERT_TRUE(port.Connected());
    std::atomic<bool> stop{false};
    std::thread radio([&] {
        while (!stop) {
            pty.Send("FA00014250000;");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return handled.load() > 0; }));
    // Not pumping now, so the next batch waits for the main thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    port.ClosePort();
    stop = true;
    radio.join();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
    const int afterClose = handled.load();
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(handled.load(), afterClose) << "no batch is delivered after the close";
    port.OpenPort();
    EXPECT_TRUE(port.Connected()) << "the port opens again";
    port.ClosePort();
}

INSTANTIATE_TEST_SUITE_P(AllModes, SerialOnPtyModes,
                         ::testing::Values(smThreadSync, smWindowSync, smNone));
