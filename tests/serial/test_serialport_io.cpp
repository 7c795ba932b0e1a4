#include "FakeComm.h"
#include "SerialTestSupport.h"

namespace {
class SerialOpenClose : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        port.Events = {};
        auto note = [this](const char* what) {
            return TNotifyEvent([this, what](TObject*) { fired.push_back(what); });
        };
        port.OnBeforeOpen = note("BeforeOpen");
        port.OnAfterOpen = note("AfterOpen");
        port.OnBeforeClose = note("BeforeClose");
        port.OnAfterClose = note("AfterClose");
        port.OnCTSChange = TSerialSignalEvent(
            [this](TObject*, bool on) { fired.push_back(on ? "CTS+" : "CTS-"); });
        port.OnDSRChange = TSerialSignalEvent(
            [this](TObject*, bool on) { fired.push_back(on ? "DSR+" : "DSR-"); });
        port.OnRLSDChange = TSerialSignalEvent(
            [this](TObject*, bool on) { fired.push_back(on ? "RLSD+" : "RLSD-"); });
    }
    FakeComm comm;
    TSerialPort port{nullptr};
    std::vector<std::string> fired;
};
using Strings = std::vector<std::string>;
} // namespace

TEST_F(SerialOpenClose, OpenAndCloseFireTheirEventsInOrder)
{
    port.OpenPort();
    EXPECT_EQ(fired, (Strings{"BeforeOpen", "AfterOpen", "CTS+", "DSR+", "RLSD+"}));
    EXPECT_NE(port.Handle(), INVALID_HANDLE_VALUE);
    fired.clear();
    port.OpenPort();
    EXPECT_TRUE(fired.empty()) << "already open";
    port.ClosePort();
    EXPECT_EQ(fired, (Strings{"CTS-", "DSR-", "RLSD-", "BeforeClose", "AfterClose"}));
    EXPECT_EQ(comm.lastPurge, PURGE_TXABORT | PURGE_RXABORT);
    EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
    fired.clear();
    port.ClosePort();
    EXPECT_TRUE(fired.empty()) << "already closed";
}

TEST_F(SerialOpenClose, AFailureAtEachOpeningCallClosesTheDevice)
{
    struct Case {
        const char* call;
        int portError;
    };
    for (Case c : {Case{"CreateFileA", 1}, Case{"SetupComm", 9}, Case{"SetCommState", 7},
                   Case{"SetCommTimeouts", 8}}) {
        SCOPED_TRACE(c.call);
        FakeComm local;
        local.FailOn(c.call, 31);
        fired.clear();
        ESerialPort e = ESerialPort::CreateNoWinCode(1);
        EXPECT_EQ(PortErrorOf([&] { port.OpenPort(); }, &e), c.portError);
        EXPECT_EQ(e.SystemErrorCode, 31);
        EXPECT_EQ(e.Message, PortErrorText(c.portError) + " (win error code: 31)");
        EXPECT_FALSE(port.Connected());
        EXPECT_EQ(port.Handle(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(fired, Strings{"BeforeOpen"});
        EXPECT_EQ(local.Count("CloseHandle"), std::string(c.call) == "CreateFileA" ? 0 : 1);
    }
}

TEST_F(SerialOpenClose, AModemLineFailureAfterOpeningLeavesThePortOpen)
{
    comm.FailOn("GetCommModemStatus", 5);
    EXPECT_EQ(PortErrorOf([&] { port.OpenPort(); }), 11);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fired, (Strings{"BeforeOpen", "AfterOpen"}));
}

TEST_F(SerialOpenClose, AFailedCancelStillClosesAndIsReportedAfterwards)
{
    port.Events = AllSerialEvents;
    port.OpenPort();
    ASSERT_TRUE(port.ThreadCreated());
    comm.FailOn("PurgeComm", 22);
    fired.clear();
    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    EXPECT_EQ(PortErrorOf([&] { port.ClosePort(); }, &e), 5);
    EXPECT_EQ(e.SystemErrorCode, 22);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(port.EventThread(), nullptr);
    EXPECT_EQ(comm.Count("CloseHandle"), 1);
    EXPECT_EQ(fired.back(), "AfterClose");
}

TEST_F(SerialOpenClose, DeviceOperationsOnAClosedPortFailWithInvalidHandle)
{
    port.OpenPort();
    port.ClosePort();
    comm.ClearCalls();
    struct Op {
        int code;
        std::function<void()> run;
    };
    std::string text;
    PAsyncRecord rec = nullptr;
    NewAsyncRecord(rec);
    for (const Op& op : {Op{10, [&] { port.BytesWaiting(); }}, Op{10, [&] { port.TakeLineErrors(); }},
                         Op{11, [&] { port.ReadModemLines(); }}, Op{5, [&] { port.PurgeQueues(true, true); }},
                         Op{2, [&] { port.SendText("abc"); }}, Op{3, [&] { port.ReceiveText(text, 4); }},
                         Op{2, [&] { port.StartWriteText("x", rec); }}}) {
        ESerialPort e = ESerialPort::CreateNoWinCode(1);
        EXPECT_EQ(PortErrorOf(op.run, &e), op.code);
        EXPECT_EQ(e.SystemErrorCode, 6);
    }
    DisposeAsyncRecord(rec);
    EXPECT_TRUE(comm.Calls().empty()) << "no call reached a stale handle";
}

TEST_F(SerialOpenClose, WithoutEventsNoThreadOrWindowExists)
{
    port.SetSyncMethod(smWindowSync);
    port.OpenPort();
    EXPECT_FALSE(port.ThreadCreated());
    EXPECT_EQ(port.EventWindow(), nullptr);
    EXPECT_EQ(comm.Count("SetCommMask"), 0);
    port.ClosePort();
}

namespace {
class SerialAsync : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        port.Events = {};
        port.OpenPort();
        link.BytesSent = TRxBufEvent([this](TObject*, const void* b, int n) {
            sent.append(static_cast<const char*>(b), static_cast<size_t>(n));
        });
        link.TransmitActivity = TSerialSignalEvent([this](TObject*, bool on) { activity.push_back(on); });
        port.AttachLink(&link);
        comm.ClearCalls();
    }
    void TearDown() override
    {
        port.DetachLink(&link);
        SerialFixture::TearDown();
    }
    FakeComm comm;
    TSerialPort port{nullptr};
    TSerialLink link;
    std::string sent;
    std::vector<bool> activity;
};
} // namespace

TEST_F(SerialAsync, SendTextWritesAndReportsTheBytesSent)
{
    EXPECT_EQ(port.SendText("hello"), 5);
    EXPECT_EQ(comm.written, "hello");
    EXPECT_EQ(sent, "hello");
    EXPECT_EQ(activity, std::vector<bool>{true});
    comm.ClearCalls();
    EXPECT_EQ(port.SendText(""), 0);
    EXPECT_EQ(comm.Count("WriteFile"), 0);
    EXPECT_EQ(sent, "hello") << "no notice for nothing";
}

TEST_F(SerialAsync, ReceiveTextOfZeroReadsNothing)
{
    std::string text = "old";
    EXPECT_EQ(port.ReceiveText(text, 0), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(comm.Count("ReadFile"), 0);
    comm.SetInput("abcdef");
    EXPECT_EQ(port.ReceiveText(text, 10), 6);
    EXPECT_EQ(text, "abcdef");
    EXPECT_TRUE(sent.empty()) << "reads give no BytesSent";
}

TEST_F(SerialAsync, RecordsStartWithoutKindAndWriteFromTheirOwnCopy)
{
    PAsyncRecord rec = nullptr;
    NewAsyncRecord(rec);
    EXPECT_EQ(rec->Kind, akNone);
    EXPECT_EQ(port.FinishAsync(rec), 0);
    EXPECT_EQ(port.StartWriteText("", rec), 0);
    EXPECT_EQ(rec->Data, nullptr);
    std::string text = "queued";
    port.StartWriteText(text, rec);
    EXPECT_NE(comm.lastWriteBuffer, static_cast<const void*>(text.data()));
    EXPECT_EQ(comm.lastWriteBuffer, rec->Data);
    EXPECT_EQ(port.FinishAsync(rec), 6);
    EXPECT_EQ(sent, "queued");
    DisposeAsyncRecord(rec);
    EXPECT_EQ(rec, nullptr);

    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    PAsyncRecord none = nullptr;
    EXPECT_EQ(PortErrorOf([&] { port.StartWrite("x", 1, none); }, &e), 4);
    EXPECT_EQ(e.Message, "Invalid Async parameter");
    EXPECT_EQ(PortErrorOf([&] { port.FinishAsync(none); }), 4);
}

TEST_F(SerialAsync, DisposingAWriteInFlightDetachesIt)
{
    comm.writesPend = true;
    PAsyncRecord rec = nullptr;
    NewAsyncRecord(rec);
    EXPECT_EQ(port.StartWriteText("pending", rec), 0);
    EXPECT_EQ(comm.Count("CancelOverlapped"), 0);
    DisposeAsyncRecord(rec);
    EXPECT_EQ(comm.Count("CancelOverlapped"), 1);
    EXPECT_EQ(rec, nullptr);
}

TEST_F(SerialAsync, PurgeFlagsFollowTheArguments)
{
    port.PurgeQueues(false, false);
    EXPECT_EQ(comm.Count("PurgeComm"), 0);
    port.PurgeQueues(true, true);
    EXPECT_EQ(comm.lastPurge, 12u);
    port.PurgeQueues(true, false);
    EXPECT_EQ(comm.lastPurge, 8u);
}

TEST_F(SerialAsync, ParityErrorsCountOnlyWithChecking)
{
    comm.lineErrors = CE_RXPARITY | CE_FRAME;
    EXPECT_EQ(port.TakeLineErrors(), TSerialErrors{ceFrame});
    port.Parity()->SetCheck(true);
    EXPECT_EQ(port.TakeLineErrors(), (TSerialErrors{ceFrame, ceRxParity}));
}

TEST_F(SerialAsync, LinksAttachOnceAndTrackInputTakers)
{
    TSerialLink other;
    EXPECT_FALSE(port.LinkTakesInput());
    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    EXPECT_EQ(PortErrorOf([&] { port.AttachLink(&link); }, &e), 18);
    EXPECT_EQ(e.Message, "Link (un)registration failed");
    EXPECT_EQ(port.Links().size(), 1u);
    EXPECT_EQ(PortErrorOf([&] { port.DetachLink(&other); }), 18);
    other.BytesReceived = TRxBufEvent([](TObject*, const void*, int) {});
    port.AttachLink(&other);
    EXPECT_TRUE(port.LinkTakesInput());
    port.DetachLink(&other);
    EXPECT_FALSE(port.LinkTakesInput());
}
