#include "platform/SerialPortList.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// A fake /sys/class/tty with devices of every kind.
struct FakeSysfs {
    fs::path root = fs::temp_directory_path() / ("qm-tty-" + std::to_string(::getpid()));
    FakeSysfs()
    {
        fs::remove_all(root);
        Add("ttyUSB1", nullptr);
        Add("ttyUSB0", nullptr);
        Add("ttyACM0", nullptr);
        Add("ttyS0", "4");   // a detected 16550A
        Add("ttyS1", "0");   // a placeholder without hardware
        Add("ttyS2", nullptr);
        Add("tty1", nullptr);
        Add("console", nullptr);
    }
    ~FakeSysfs() { fs::remove_all(root); }
    void Add(const char* name, const char* type)
    {
        fs::create_directories(root / name);
        if (type)
            std::ofstream(root / name / "type") << type << "\n";
    }
};

std::map<std::string, std::string> SerialCommValues()
{
    std::map<std::string, std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256], data[256];
        DWORD nameLen = sizeof name, dataLen = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data),
                          &dataLen) != ERROR_SUCCESS)
            break;
        EXPECT_EQ(type, REG_SZ);
        values[std::string(name, nameLen)] = std::string(data, dataLen ? dataLen - 1 : 0);
    }
    RegCloseKey(key);
    return values;
}

}  // namespace

TEST(SerialPortList, ScansUsbAcmAndRealUartsThenExtras)
{
    FakeSysfs sys;
    auto ports = ScanSerialPorts(sys.root.string(), "/dev/pts/7::/dev/ttyUSB0:/tmp/radio");
    std::vector<std::string> got;
    for (const auto& p : ports)
        got.push_back(p.name + "=" + p.path);
    EXPECT_EQ(got, (std::vector<std::string>{"ttyACM0=/dev/ttyACM0", "ttyS0=/dev/ttyS0",
                                             "ttyUSB0=/dev/ttyUSB0", "ttyUSB1=/dev/ttyUSB1",
                                             "pts/7=/dev/pts/7", "/tmp/radio=/tmp/radio"}));
    EXPECT_TRUE(ScanSerialPorts((sys.root / "missing").string(), nullptr).empty());
}

TEST(SerialPortList, RefillReplacesTheRegistryList)
{
    ::setenv("QUILLMERE_SERIAL_PORTS", "/dev/pts/41:/dev/pts/42", 1);
    ASSERT_EQ(RefreshSerialPortList(), ERROR_SUCCESS);
    auto values = SerialCommValues();
    EXPECT_EQ(values["pts/41"], "/dev/pts/41");
    EXPECT_EQ(values["pts/42"], "/dev/pts/42");

    ::setenv("QUILLMERE_SERIAL_PORTS", "/dev/pts/43", 1);
    ASSERT_EQ(RefreshSerialPortList(), ERROR_SUCCESS);
    values = SerialCommValues();
    EXPECT_EQ(values.count("pts/41"), 0u);
    EXPECT_EQ(values.count("pts/42"), 0u);
    EXPECT_EQ(values["pts/43"], "/dev/pts/43");
    ::unsetenv("QUILLMERE_SERIAL_PORTS");
}
