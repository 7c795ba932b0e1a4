#include "FakeComm.h"
#include "SerialTestSupport.h"

#include "framework/RoundTrip.h"

namespace {
class SerialConfig : public SerialFixture {
protected:
    void OpenQuietly()
    {
        port.Events = {};
        port.OpenPort();
        comm.ClearCalls();
    }
    FakeComm comm;
    TSerialPort port{nullptr};
};
} // namespace

TEST_F(SerialConfig, UnchangedValuesMakeNoCallAndChangesApplyOnce)
{
    OpenQuietly();
    port.SetBaudRate(br9600);
    port.SetDataBits(dbEight);
    port.Parity()->SetBits(prNone);
    port.FlowControl()->SetXonChar(17);
    port.Timeouts()->SetReadInterval(-1);
    port.Buffer()->SetInputSize(1024);
    port.SetPort("COM1");
    EXPECT_TRUE(comm.Calls().empty());

    port.SetBaudRate(br57600);
    EXPECT_EQ(comm.Calls(), std::vector<std::string>{"SetCommState"});
    EXPECT_EQ(comm.lastDcb.BaudRate, 57600u);
    comm.ClearCalls();
    port.Timeouts()->SetWriteTotalConstant(50);
    port.Buffer()->SetOutputSize(2048);
    EXPECT_EQ(comm.Calls(), (std::vector<std::string>{"SetCommTimeouts", "SetupComm"}));
    EXPECT_EQ(comm.setupOut, 2048u);
}

TEST_F(SerialConfig, AClosedPortOnlyStoresAndTheNextOpenAppliesEverything)
{
    port.SetEventChar('!');
    port.Parity()->SetCheck(true);
    port.Timeouts()->SetReadTotalConstant(7);
    EXPECT_TRUE(comm.Calls().empty());
    port.Events = {};
    port.OpenPort();
    EXPECT_EQ(comm.Calls(), (std::vector<std::string>{"CreateFileA", "SetupComm", "SetCommState",
                                                      "SetCommTimeouts", "GetCommModemStatus",
                                                      "GetCommModemStatus", "GetCommModemStatus"}));
    EXPECT_EQ(comm.openedName, "\\\\.\\COM1");
    EXPECT_EQ(comm.lastDcb.EvtChar, '!');
    EXPECT_EQ(comm.lastDcb.fParity, 1u);
    EXPECT_EQ(comm.lastTimeouts.ReadTotalTimeoutConstant, 7u);
}

TEST_F(SerialConfig, ResumeApplyAppliesQueueLineAndTimeoutsOnceInOrder)
{
    OpenQuietly();
    port.DeferApply();
    port.DeferApply();
    port.SetBaudRate(br1200);
    port.SetStopBits(sbTwoStopBits);
    port.Buffer()->SetInputSize(4096);
    port.Timeouts()->SetReadInterval(5);
    port.ResumeApply();
    EXPECT_TRUE(comm.Calls().empty()) << "still deferred once";
    port.ResumeApply();
    EXPECT_EQ(comm.Calls(), (std::vector<std::string>{"SetupComm", "SetCommState", "SetCommTimeouts"}));
    EXPECT_EQ(comm.lastDcb.BaudRate, 1200u);
    EXPECT_EQ(comm.lastDcb.StopBits, 2);
    EXPECT_EQ(comm.setupIn, 4096u);
    comm.ClearCalls();
    port.ResumeApply();
    EXPECT_EQ(port.DeferCount(), 0);
    EXPECT_TRUE(comm.Calls().empty()) << "at 0 it does nothing";
}

TEST_F(SerialConfig, PortChangeReopensUnderTheNewName)
{
    OpenQuietly();
    port.SetPort("/dev/ttyFAKE1");
    auto calls = comm.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "CloseHandle"), calls.end());
    EXPECT_LT(std::find(calls.begin(), calls.end(), "CloseHandle"),
              std::find(calls.begin(), calls.end(), "CreateFileA"));
    EXPECT_EQ(comm.openedName, "\\\\.\\/dev/ttyFAKE1");
    EXPECT_TRUE(port.Connected());
}

TEST_F(SerialConfig, SyncMethodWhileOpenRaises14AndKeepsTheValue)
{
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone) << "closed: stored";
    OpenQuietly();
    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    EXPECT_EQ(PortErrorOf([&] { port.SetSyncMethod(smWindowSync); }, &e), 14);
    EXPECT_EQ(e.Message, "Cannot set property while connected");
    EXPECT_EQ(e.SystemErrorCode, -1);
    EXPECT_EQ(port.SyncMethod(), smNone);
    EXPECT_EQ(PortErrorOf([&] { port.SetSyncMethod(smNone); }), 0) << "same value";
}

TEST_F(SerialConfig, InputSizeRoundsOddPositiveSizesDown)
{
    TSerialBuffer* b = port.Buffer();
    b->SetInputSize(1025);
    EXPECT_EQ(b->InputSize(), 1024);
    b->SetInputSize(1023);
    EXPECT_EQ(b->InputSize(), 1022);
    b->SetInputSize(-3);
    EXPECT_EQ(b->InputSize(), -3);
    b->SetOutputSize(1);
    EXPECT_EQ(b->OutputSize(), 0);
}

TEST_F(SerialConfig, DcbCarriesEveryLineSetting)
{
    DCB d = port.BuildDCB();
    EXPECT_EQ(d.DCBlength, 28u);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_EQ(d.XonLim, 256);
    EXPECT_EQ(d.XoffLim, 256);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);

    port.SetCustomBaudRate(31250);
    EXPECT_EQ(port.BuildDCB().BaudRate, 9600u) << "a table rate ignores the custom one";
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.BuildDCB().BaudRate, 31250u);

    port.Parity()->SetReplace(true);
    port.Parity()->SetReplaceChar('?');
    d = port.BuildDCB();
    EXPECT_EQ(d.fErrorChar, 0u) << "replace needs parity checking";
    EXPECT_EQ(d.ErrorChar, 0);
    port.Parity()->SetCheck(true);
    port.Parity()->SetBits(prMark);
    port.FlowControl()->SetFlowControl(fcHardware);
    port.FlowControl()->SetControlDTR(dtrHandshake);
    port.SetDiscardNull(true);
    port.SetDataBits(dbSeven);
    d = port.BuildDCB();
    EXPECT_EQ(d.fErrorChar, 1u);
    EXPECT_EQ(d.ErrorChar, '?');
    EXPECT_EQ(d.Parity, 3);
    EXPECT_EQ(d.ByteSize, 7);
    uint32_t flags;
    std::memcpy(&flags, reinterpret_cast<const char*>(&d) + 8, 4);
    EXPECT_EQ(flags, 0x1u | 0x2u | 0x4u | 0x20u | 0x400u | 0x800u | 0x2000u);
}

TEST_F(SerialConfig, TimeoutsPassThroughAsUnsignedWords)
{
    OpenQuietly();
    port.Timeouts()->SetReadTotalMultiplier(3);
    EXPECT_EQ(comm.lastTimeouts.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(comm.lastTimeouts.ReadTotalTimeoutMultiplier, 3u);
    EXPECT_EQ(comm.lastTimeouts.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(comm.lastTimeouts.WriteTotalTimeoutConstant, 1000u);
}

TEST_F(SerialConfig, FlowControlIsComputedAndWritingItReapplies)
{
    TSerialFlowControl* f = port.FlowControl();
    EXPECT_EQ(f->FlowControl(), fcNone);
    f->SetFlowControl(fcSoftware);
    EXPECT_TRUE(f->XonXoffIn() && f->XonXoffOut());
    EXPECT_EQ(f->FlowControl(), fcSoftware);
    f->SetFlowControl(fcHardware);
    EXPECT_FALSE(f->XonXoffIn());
    EXPECT_EQ(f->ControlRTS(), rtsHandshake);
    EXPECT_EQ(f->FlowControl(), fcHardware);
    f->SetOutDSRFlow(true);
    EXPECT_EQ(f->FlowControl(), fcHardware) << "DSR flow plays no part";
    f->SetControlRTS(rtsToggle);
    EXPECT_EQ(f->FlowControl(), fcCustom);

    OpenQuietly();
    f->SetFlowControl(fcCustom);
    EXPECT_EQ(f->ControlRTS(), rtsToggle);
    EXPECT_EQ(comm.Count("SetCommState"), 1) << "fcCustom still re-applies";
}

TEST_F(SerialConfig, SettingsObjectsCopyOnlyToTheirOwnClass)
{
    TSerialParity other;
    other.SetBits(prEven);
    other.SetReplaceChar('x');
    OpenQuietly();
    port.SetParity(&other);
    EXPECT_EQ(port.Parity()->Bits(), prEven);
    EXPECT_EQ(port.Parity()->ReplaceChar(), 'x');
    EXPECT_EQ(comm.Count("SetCommState"), 1);
    other.SetBits(prOdd);
    EXPECT_EQ(comm.Count("SetCommState"), 1) << "the unbound copy only stores";

    TSerialTimeouts t;
    EXPECT_THROW(t.CopyTo(&other), EConvertError);
    EXPECT_THROW(other.Assign(&t), EConvertError);
}

TEST_F(SerialConfig, EveryPublishedPropertyRoundTrips)
{
    EXPECT_GE(roundtrip::CheckClass(TSerialPort::StaticClassInfo()), 8);
    EXPECT_EQ(roundtrip::CheckClass(TSerialTimeouts::StaticClassInfo()), 5);
    EXPECT_GE(roundtrip::CheckClass(TSerialFlowControl::StaticClassInfo()), 10);
    EXPECT_EQ(roundtrip::CheckClass(TSerialParity::StaticClassInfo()), 4);
    PPropInfo sync = GetPropInfo(TSerialPort::StaticClassInfo(), "SyncMethod");
    ASSERT_NE(sync, nullptr);
    EXPECT_TRUE(sync->HasDefault);
    PPropInfo baud = GetPropInfo(TSerialPort::StaticClassInfo(), "BaudRate");
    ASSERT_NE(baud, nullptr);
    EXPECT_FALSE(baud->HasDefault);
    EXPECT_EQ(GetSetProp(&port, "Events"),
              "[evRxChar,evTxEmpty,evRxFlag,evRing,evBreak,evCTS,evDSR,evError,evRLSD,evRx80Full]");
    EXPECT_EQ(GetPropInfos(TSerialPort::StaticClassInfo()).back()->Name, "OnRx80Full");
}

TEST_F(SerialConfig, ConnectedWhileLoadingOnlyStoresAndLoadedOpens)
{
    port.Events = {};
    port.Loading();
    port.SetConnected(true);
    EXPECT_TRUE(comm.Calls().empty());
    port.Loaded();
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(comm.Count("CreateFileA"), 1);
}

TEST_F(SerialConfig, AFailedOpenWhileLoadingGoesToTheApplicationHandler)
{
    comm.FailOn("CreateFileA", ERROR_FILE_NOT_FOUND);
    port.Loading();
    port.SetConnected(true);
    port.Loaded();
    EXPECT_FALSE(port.Connected());
    ASSERT_EQ(appErrors.size(), 1u);
    EXPECT_EQ(appErrors[0], "Unable to open com port (win error code: 2)");
}
