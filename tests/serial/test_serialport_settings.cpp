#include "FakeComm.h"
#include "common/TempFolder.h"
#include "SerialTestSupport.h"

#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "platform/Intl.h"
#include "platform/WinReg.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <unistd.h>

namespace {
class SerialSettings : public SerialFixture {
protected:
    void SetUp() override
    {
        SerialFixture::SetUp();
        RegistrySetInMemory(true);
        port.SetName("ComPort");
        dir = commontest::MakeTempDir("qm_serial");
        ASSERT_FALSE(dir.empty());
        ini = dir + "/port.ini";
    }
    void TearDown() override
    {
        std::remove(ini.c_str());
        ::rmdir(dir.c_str());
        SerialFixture::TearDown();
    }
    FakeComm comm;
    TSerialPort port{nullptr};
    std::string dir, ini;
};
} // namespace

TEST_F(SerialSettings, DefaultSettingsWriteTheBasicTexts)
{
    port.SaveSettings(false, "HKEY_CURRENT_USER\\Software\\Quillmere");
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("Software\\Quillmere\\ComPort", false));
    std::vector<std::string> names;
    r.GetValueNames(names);
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(r.ReadString("Port"), "COM1");
    EXPECT_EQ(r.ReadString("BaudRate"), "9600");
    EXPECT_EQ(r.ReadString("StopBits"), "1");
    EXPECT_EQ(r.ReadString("DataBits"), "8");
    EXPECT_EQ(r.ReadString("Parity"), "None");
    EXPECT_EQ(r.ReadString("FlowControl"), "None");
    EXPECT_FALSE(r.ValueExists("CustomBaudRate"));
}

TEST_F(SerialSettings, EveryGroupRoundTripsThroughTheRegistry)
{
    port.StoredGroups = TStoredGroups::FromBits(0x3F);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.SetEventChar(' ');
    port.Parity()->SetReplaceChar(';');
    port.Buffer()->SetInputSize(4096);
    port.Timeouts()->SetReadInterval(20);
    port.FlowControl()->SetControlRTS(rtsToggle);
    port.FlowControl()->SetXonChar('\r');
    port.SaveSettings(false, "hkey_local_machine\\Software\\Test\\");
    TRegistry r;
    r.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(r.OpenKey("Software\\Test\\ComPort", false));
    EXPECT_EQ(r.ReadInteger("CustomBaudRate"), 31250);
    EXPECT_EQ(r.ReadString("BaudRate"), "Custom");
    EXPECT_EQ(r.ReadString("EventChar"), "#32");
    EXPECT_EQ(r.ReadString("Parity.ReplaceChar"), ";");
    EXPECT_EQ(r.ReadInteger("Buffer.InputSize"), 4096);
    EXPECT_EQ(r.ReadInteger("Timeouts.ReadInterval"), 20);
    EXPECT_EQ(r.ReadString("FlowControl"), "Custom");
    EXPECT_EQ(r.ReadString("FlowControl.ControlRTS"), "Toggle");
    EXPECT_EQ(r.ReadString("FlowControl.XonChar"), "#13");
    EXPECT_EQ(r.ReadString("DiscardNull"), "No");

    TSerialPort back(nullptr);
    back.SetName("ComPort");
    back.StoredGroups = port.StoredGroups;
    back.RestoreSettings(false, "HKEY_LOCAL_MACHINE\\Software\\Test");
    EXPECT_EQ(back.BaudRate(), brCustom);
    EXPECT_EQ(back.CustomBaudRate(), 31250);
    EXPECT_EQ(back.EventChar(), ' ');
    EXPECT_EQ(back.Parity()->ReplaceChar(), ';');
    EXPECT_EQ(back.Buffer()->InputSize(), 4096);
    EXPECT_EQ(back.Timeouts()->ReadInterval(), 20);
    EXPECT_EQ(back.FlowControl()->ControlRTS(), rtsToggle);
    EXPECT_EQ(back.FlowControl()->XonChar(), '\r');
}

TEST_F(SerialSettings, RestoringAnOpenPortAppliesOnceAtTheEnd)
{
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey("Software\\Q\\ComPort", true));
        r.WriteString("Port", "COM1");
        r.WriteString("BaudRate", "57600");
        r.WriteString("StopBits", "2");
        r.WriteString("DataBits", "7");
        r.WriteString("Parity", "even");
        r.WriteString("FlowControl", "software");
    }
    port.Events = {};
    port.OpenPort();
    comm.ClearCalls();
    port.RestoreSettings(false, "HKEY_CURRENT_USER\\Software\\Q");
    EXPECT_EQ(comm.Calls(), (std::vector<std::string>{"SetupComm", "SetCommState", "SetCommTimeouts"}));
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_EQ(port.Parity()->Bits(), prEven);
    EXPECT_EQ(port.FlowControl()->FlowControl(), fcSoftware);
    EXPECT_EQ(comm.lastDcb.ByteSize, 7);
    EXPECT_EQ(port.DeferCount(), 0);
}

TEST_F(SerialSettings, MissingCustomRateFailsFromTheRegistryButNotFromIni)
{
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey("Software\\Q\\ComPort", true));
        r.WriteString("BaudRate", "Custom");
        r.WriteString("Port", "COM7");
    }
    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    EXPECT_EQ(PortErrorOf([&] { port.RestoreSettings(false, "Elsewhere\\Software\\Q"); }, &e), 17);
    EXPECT_EQ(e.Message, "Failed to load settings");
    EXPECT_EQ(port.Port(), "COM7") << "values before the failure stay assigned";
    EXPECT_EQ(port.DeferCount(), 0);

    {
        std::ofstream f(ini);
        f << "[ComPort]\nBaudRate=custom\n";
    }
    port.SetCustomBaudRate(1234);
    port.RestoreSettings(true, ini);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM7") << "a missing entry keeps the setting";
}

TEST_F(SerialSettings, IniFilesHoldTheSameTexts)
{
    port.StoredGroups = {sgBasic, sgParityDetails};
    port.Parity()->SetCheck(true);
    port.SaveSettings(true, ini);
    TIniFile f(ini);
    EXPECT_EQ(f.ReadString("ComPort", "BaudRate", ""), "9600");
    EXPECT_EQ(f.ReadString("ComPort", "Parity.Check", ""), "Yes");
    EXPECT_EQ(f.ReadString("ComPort", "Parity.ReplaceChar", ""), "#0");
    EXPECT_FALSE(f.ValueExists("ComPort", "CustomBaudRate"));
}

TEST_F(SerialSettings, PathsWithoutAKeyFailInsteadOfWritingTheHiveRoot)
{
    EXPECT_EQ(PortErrorOf([&] { port.SaveSettings(false, "HKEY_CURRENT_USER"); }), 16);
    EXPECT_EQ(PortErrorOf([&] { port.RestoreSettings(false, "nokey"); }), 17);
    TRegistry r;
    EXPECT_FALSE(r.OpenKey("\\ComPort", false));
    std::ofstream(ini) << "not a folder\n";
    EXPECT_EQ(PortErrorOf([&] { port.SaveSettings(true, ini + "/x.ini"); }), 16);
}

TEST(SerialTexts, ConvertersMatchNamesIgnoringCase)
{
    EXPECT_EQ(BaudRateValue("57600"), br57600);
    EXPECT_EQ(BaudRateValue("fast"), br9600);
    EXPECT_EQ(FlowControlValue("software"), fcSoftware);
    EXPECT_EQ(FlowControlValue(""), fcCustom);
    EXPECT_EQ(StopBitsValue("1.5"), sbOne5StopBits);
    EXPECT_EQ(RtsModeValue("TOGGLE"), rtsToggle);
    EXPECT_TRUE(YesNoValue("yes"));
    EXPECT_FALSE(YesNoValue("1"));
    const std::pair<char, const char*> texts[] = {{';', ";"}, {'\r', "#13"}, {'\x7f', "\x7f"}, {'\x80', "#128"}};
    for (const auto& [c, text] : texts)
        EXPECT_EQ(CharText(c), text) << int(c);
    const std::pair<const char*, char> values[] = {
        {"#59", ';'}, {"#a", '\0'}, {"#", '#'}, {"#300", static_cast<char>(300 & 0xFF)}, {"", '\0'}, {"xyz", 'x'}};
    for (const auto& [text, c] : values)
        EXPECT_EQ(CharValue(text), c) << text;
}

TEST_F(SerialSettings, PortListIsSortedAndCutAtTheNul)
{
    ::setenv("QUILLMERE_SERIAL_PORTS", "/dev/qmtest/COM2:/dev/qmtest/COM10:/dev/qmtest/COM1", 1);
    TStringList list;
    list.Add("stale");
    ListSerialPorts(&list);
    std::vector<std::string> ours;
    for (int i = 0; i < list.Count(); ++i)
        if (list[i].rfind("/dev/qmtest/", 0) == 0)
            ours.push_back(list[i]);
    EXPECT_EQ(ours, (std::vector<std::string>{"/dev/qmtest/COM1", "/dev/qmtest/COM10",
                                              "/dev/qmtest/COM2"}));
    EXPECT_EQ(list.IndexOf("stale"), -1);

    ::setenv("QUILLMERE_SERIAL_PORTS", ("/dev/" + std::string(300, 'x')).c_str(), 1);
    ESerialPort e = ESerialPort::CreateNoWinCode(1);
    EXPECT_EQ(PortErrorOf([&] { ListSerialPorts(&list); }, &e), 23);
    EXPECT_EQ(e.Message, "Registry error (win error code: " + IntToStr(e.SystemErrorCode) + ")");
    EXPECT_GT(e.SystemErrorCode, 0);
    ::unsetenv("QUILLMERE_SERIAL_PORTS");
}

TEST(SerialErrors, MessagesFormatOnlyTheirSuffix)
{
    EXPECT_EQ(ESerialPort(1, 2).Message, "Unable to open com port (win error code: 2)");
    EXPECT_EQ(ESerialPort::CreateNoWinCode(17).Message, "Failed to load settings");
    EXPECT_EQ(ESerialPort::CreateNoWinCode(17).SystemErrorCode, -1);
    using serialport_detail::WinCodeMessage;
    EXPECT_EQ(WinCodeMessage("100% failed", " (code %d)", 5), "100% failed (code 5)");
    EXPECT_EQ(WinCodeMessage("x", " (%s %d)", 5), "x (win error code: 5)");
    EXPECT_EQ(WinCodeMessage("x", " (%d/%d)", 5), "x (win error code: 5)");
    EXPECT_EQ(WinCodeMessage("x", " (none)", 5), "x (win error code: 5)");
    EXPECT_EQ(PortErrorText(0), "");
    EXPECT_EQ(PortErrorText(24), "");
}

TEST(SerialErrors, TheCatalogTranslatesMessagesAndSuffix)
{
    const char* lcAll = std::getenv("LC_ALL");
    std::string savedLcAll = lcAll ? lcAll : "";
    ::setenv("LC_ALL", "C.UTF-8", 1);
    InitTranslation();
    SetLocaleDirectory("");
    ClearDomains();
    UseLanguage("de");
    SerialPortInitialize();
    EXPECT_EQ(ESerialPort(23, 2).Message, "Registrierungsfehler (Windows-Fehlercode: 2)");
    EXPECT_EQ(ESerialPort::CreateNoWinCode(16).Message,
              "Einstellungen konnten nicht gespeichert werden");
    SerialPortFinalize();
    ClearDomains();
    UseLanguage("");
    if (lcAll)
        ::setenv("LC_ALL", savedLcAll.c_str(), 1);
    else
        ::unsetenv("LC_ALL");
    EXPECT_EQ(ESerialPort(23, 2).Message, "Registry error (win error code: 2)");
}
