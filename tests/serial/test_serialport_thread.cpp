#include "FakeComm.h"
#include "SerialTestSupport.h"

#include <atomic>

namespace {
class SerialDelivery : public SerialFixture, public ::testing::WithParamInterface<TSyncMethod> {
protected:
    FakeComm comm;
    TSerialPort port{nullptr};
};
} // namespace

TEST_P(SerialDelivery, RxCharIsHandledBeforeTxEmptyAndLinksReadOnce)
{
    std::mutex m;
    std::vector<std::string> seen;
    auto note = [&](std::string s) {
        std::lock_guard<std::mutex> g(m);
        seen.push_back(std::move(s));
    };
    TSerialLink link;
    link.BytesReceived = TRxBufEvent([&](TObject*, const void* b, int n) {
        note("link:" + std::string(static_cast<const char*>(b), static_cast<size_t>(n)));
    });
    port.AttachLink(&link);
    port.OnRxBuf = TRxBufEvent([&](TObject*, const void* b, int n) {
        note("rxbuf:" + std::string(static_cast<const char*>(b), static_cast<size_t>(n)));
    });
    port.OnRxChar = TRxCharEvent([&](TObject*, int) { note("rxchar"); });
    std::atomic<int> txEmpty{0};
    port.OnTxEmpty = TNotifyEvent([&](TObject*) {
        note("txempty");
        ++txEmpty;
    });
    port.SetSyncMethod(GetParam());
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.SetInput("abc");
    comm.FireEvents(EV_TXEMPTY | EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return txEmpty.load() == 1; }));
    port.ClosePort();
    port.DetachLink(&link);
    std::lock_guard<std::mutex> g(m);
    EXPECT_EQ(seen, (std::vector<std::string>{"rxbuf:abc", "link:abc", "txempty"}));
    EXPECT_EQ(comm.Count("ReadFile"), 1);
}

TEST_P(SerialDelivery, AHandlerExceptionReachesTheApplicationAndDeliveryGoesOn)
{
    std::atomic<int> calls{0};
    port.OnBreak = TNotifyEvent([&](TObject*) {
        if (++calls == 1)
            throw Exception("handler failed");
    });
    port.SetSyncMethod(GetParam());
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.FireEvents(EV_BREAK);
    ASSERT_TRUE(PumpUntil([&] { return !appErrors.empty(); }));
    comm.FireEvents(EV_BREAK);
    ASSERT_TRUE(PumpUntil([&] { return calls.load() == 2; }));
    port.ClosePort();
    EXPECT_EQ(appErrors, std::vector<std::string>{"handler failed"});
}

TEST_P(SerialDelivery, ClosingFromInsideAHandlerNeitherHangsNorCrashes)
{
    std::atomic<bool> closed{false};
    port.OnTxEmpty = TNotifyEvent([&](TObject*) {
        port.ClosePort();
        closed = true;
    });
    std::atomic<int> after{0};
    port.OnRing = TNotifyEvent([&](TObject*) { ++after; });
    port.SetSyncMethod(GetParam());
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.FireEvents(EV_TXEMPTY | EV_RING);
    ASSERT_TRUE(PumpUntil([&] { return closed.load(); }));
    EXPECT_TRUE(PumpUntil([&] { return !port.Connected(); }));
    EXPECT_EQ(after.load(), 0) << "nothing after the close in the same batch";
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    port.OpenPort();
    EXPECT_TRUE(port.Connected()) << "the port opens again";
    port.ClosePort();
}

INSTANTIATE_TEST_SUITE_P(AllModes, SerialDelivery,
                         ::testing::Values(smThreadSync, smWindowSync, smNone));

namespace {
class SerialEventThread : public SerialFixture {
protected:
    FakeComm comm;
    TSerialPort port{nullptr};
};
} // namespace

TEST_F(SerialEventThread, ClosingDuringAHandOverCompletes)
{
    std::atomic<int> handled{0};
    port.OnTxEmpty = TNotifyEvent([&](TObject*) { ++handled; });
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.FireEvents(EV_TXEMPTY);
    ASSERT_TRUE(comm.WaitForCalls("GetOverlappedResult", 1));
    port.ClosePort(); // no pumping before: the batch may be waiting on this thread
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(handled.load(), 0) << "a stopping port delivers no batch";
}

TEST_F(SerialEventThread, AFailingWaitIsReportedOnceAndDoesNotSpin)
{
    comm.FailOn("WaitCommEvent", ERROR_GEN_FAILURE);
    port.OpenPort();
    ASSERT_TRUE(PumpUntil([&] { return !appErrors.empty(); }));
    PumpMessages();
    EXPECT_EQ(comm.Count("WaitCommEvent"), 1);
    port.ClosePort();
    ASSERT_EQ(appErrors.size(), 1u);
    EXPECT_EQ(appErrors[0], "WaitForEvent method failed (win error code: 31)");
}

TEST_F(SerialEventThread, MaskFollowsTheEventsAndRlsdAloneRunsItsHandler)
{
    port.Events = {evRLSD, evRing};
    std::vector<bool> rlsd;
    port.OnRLSDChange = TSerialSignalEvent([&](TObject*, bool on) { rlsd.push_back(on); });
    port.SetSyncMethod(smWindowSync);
    port.OpenPort();
    EXPECT_EQ(comm.lastMask, EV_RLSD | EV_RING);
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    rlsd.clear();
    comm.modemStatus = 0;
    comm.FireEvents(EV_RLSD);
    ASSERT_TRUE(PumpUntil([&] { return !rlsd.empty(); }));
    EXPECT_EQ(rlsd, std::vector<bool>{false});
    port.ClosePort();
    EXPECT_EQ(comm.lastMask, 0u) << "the thread clears the mask when it ends";
}

TEST_F(SerialEventThread, WithoutLinksRxCharGetsTheCountOrThePortReads)
{
    std::vector<int> counts;
    std::string buf;
    port.OnRxChar = TRxCharEvent([&](TObject*, int n) { counts.push_back(n); });
    port.OnRxBuf = TRxBufEvent([&](TObject*, const void* b, int n) {
        buf.append(static_cast<const char*>(b), static_cast<size_t>(n));
    });
    port.OpenPort();
    ASSERT_TRUE(comm.WaitForCalls("WaitCommEvent", 1));
    comm.SetInput("xy");
    comm.FireEvents(EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return !counts.empty(); }));
    EXPECT_EQ(counts, std::vector<int>{2});
    EXPECT_TRUE(buf.empty());
    EXPECT_EQ(comm.Count("ReadFile"), 0);

    port.RaiseRxChar = false;
    comm.FireEvents(EV_RXCHAR);
    ASSERT_TRUE(PumpUntil([&] { return !buf.empty(); }));
    EXPECT_EQ(buf, "xy");
    EXPECT_EQ(counts.size(), 1u);
    port.ClosePort();
}

TEST_F(SerialEventThread, DestroyingAnOpenPortTellsLinksButNotAnOwnerBeingDestroyed)
{
    auto* owner = new TComponent(nullptr);
    auto* p = new TSerialPort(owner);
    bool ownerHeard = false;
    std::vector<bool> connection;
    TSerialLink link;
    link.ConnectionChanged = TSerialSignalEvent([&](TObject*, bool on) { connection.push_back(on); });
    p->AttachLink(&link);
    p->OnAfterClose = TNotifyEvent([&](TObject*) { ownerHeard = true; });
    p->OpenPort();
    FreeObject(owner);
    EXPECT_EQ(connection, (std::vector<bool>{true, false}));
    EXPECT_FALSE(ownerHeard);
}
