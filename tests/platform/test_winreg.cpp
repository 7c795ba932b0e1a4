#include "common/TempFolder.h"
#include "platform/EventLoop.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Gives every test its own configuration folder and a fresh, persistent HKEY_CURRENT_USER.
class WinRegFile : public commontest::TempFolderTest {
protected:
    WinRegFile() : TempFolderTest("qm-winreg") {}
    void SetUp() override
    {
        ASSERT_TRUE(folder_.Made());
        root_ = folder_.Path();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld_ = old != nullptr;
        if (old)
            old_ = old;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        RegistrySetInMemory(false);
        RegistryReload();
    }
    void TearDown() override
    {
        RegistrySetInMemory(true);
        if (hadOld_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string File() const { return root_ + "/quillmere/registry.txt"; }
    static std::string ReadFile(const std::string& p) { return commontest::ReadFileText(p); }
    static void WriteFile(const std::string& p, const std::string& text) { commontest::WriteFileText(p, text); }

    std::string root_;
    std::string old_;
    bool hadOld_ = false;
};

HKEY Create(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS)
{
    HKEY k = nullptr;
    DWORD disp = 0;
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, sam, nullptr, &k, &disp), 0) << path;
    return k;
}

void SetString(HKEY k, const char* name, const std::string& text)
{
    ASSERT_EQ(RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              0);
}

// Reads a value's raw bytes and type; missing values give type REG_NONE.
std::string Query(HKEY k, const char* name, DWORD* type = nullptr)
{
    DWORD t = REG_NONE, size = 0;
    if (RegQueryValueExA(k, name, nullptr, &t, nullptr, &size) != 0) {
        if (type)
            *type = REG_NONE;
        return {};
    }
    std::string data(size, '\0');
    EXPECT_EQ(RegQueryValueExA(k, name, nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &size), 0);
    if (type)
        *type = t;
    return data;
}

} // namespace

TEST_F(WinRegFile, AllValueKindsSurviveARestartByteForByte)
{
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += static_cast<char>(c);
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Quillmere\\Odd [key] 100%");
    SetString(k, "Port", "COM1");
    SetString(k, "", "default \"quoted\" C:\\path\r\nnext\x80\xff");
    DWORD ten = 10;
    ASSERT_EQ(RegSetValueExA(k, "Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&ten), 4), 0);
    ASSERT_EQ(RegSetValueExA(k, "Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(every.data()), 256), 0);
    ASSERT_EQ(RegSetValueExA(k, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5), 0);
    ASSERT_EQ(RegSetValueExA(k, "Empty", 0, REG_BINARY, nullptr, 0), 0);
    ASSERT_EQ(RegSetValueExA(k, "Odd\"name=\\", 0, 11, reinterpret_cast<const BYTE*>("\x01\x02"), 2), 0);
    RegCloseKey(Create(HKEY_CURRENT_USER, "Software\\Quillmere\\EmptyKey"));
    RegCloseKey(k);

    RegistryReload();

    HKEY r = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillmere\\Odd [key] 100%", 0, KEY_READ, &r), 0);
    DWORD type = 0;
    EXPECT_EQ(Query(r, "Port", &type), std::string("COM1", 5));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Query(r, nullptr), std::string("default \"quoted\" C:\\path\r\nnext\x80\xff") + '\0');
    std::string count = Query(r, "Count", &type);
    EXPECT_EQ(type, REG_DWORD);
    ASSERT_EQ(count.size(), 4u);
    DWORD back = 0;
    std::memcpy(&back, count.data(), 4);
    EXPECT_EQ(back, 10u);
    EXPECT_EQ(Query(r, "Blob", &type), every);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(Query(r, "Multi", &type), std::string("a\0b\0", 5));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(Query(r, "Empty", &type), "");
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(Query(r, "Odd\"name=\\", &type), "\x01\x02");
    EXPECT_EQ(type, 11u);
    RegCloseKey(r);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillmere\\EmptyKey", 0, KEY_READ, &r), 0);
    RegCloseKey(r);

    struct stat st {};
    ASSERT_EQ(stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((root_ + "/quillmere").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_NE(ReadFile(File()).find("[Software\\Quillmere\\EmptyKey]"), std::string::npos);
}

TEST_F(WinRegFile, ChangeThroughPredefinedKeyIsSavedAtOnce)
{
    SetString(HKEY_CURRENT_USER, "TopLevel", "x");
    RegistryReload();
    EXPECT_EQ(Query(HKEY_CURRENT_USER, "TopLevel"), std::string("x", 2));
}

TEST_F(WinRegFile, UnclosedChangesAreSavedAtShutdownButLostOnACrash)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\A");
    SetString(k, "V", "1");
    RegistryReload(); // a crash before any close: the value never reached the file
    EXPECT_EQ(RegCloseKey(k), 0);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_ALL_ACCESS, &k), 0);
    EXPECT_EQ(Query(k, "V"), "");

    SetString(k, "V", "2");
    RegistryShutdown();
    RegistryReload();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &k), 0);
    EXPECT_EQ(Query(k, "V"), std::string("2", 2));
    RegCloseKey(k);
}

TEST_F(WinRegFile, ChangesAreSavedInBatchesWhenTheLastHandleCloses)
{
    HKEY outer = Create(HKEY_CURRENT_USER, "Software\\Quillmere");
    HKEY section = Create(outer, "TForm1");
    SetString(section, "FormVersion", "0");
    RegCloseKey(section);
    EXPECT_EQ(ReadFile(File()).find("FormVersion"), std::string::npos); // outer still open
    SetString(outer, "Last", "1");
    EXPECT_EQ(ReadFile(File()).find("Last"), std::string::npos);
    RegCloseKey(outer);
    // Text values are written without their terminating NUL, which reading restores.
    EXPECT_NE(ReadFile(File()).find("\"FormVersion\"=sz:\"0\"\n"), std::string::npos);
    EXPECT_NE(ReadFile(File()).find("\"Last\"=sz:"), std::string::npos);
}

namespace {
// A clock that moves on 100 ms each time it is read: a wait costs reads, not time.
DWORD gTicks = 0;
DWORD TickingClock() { return gTicks += 100; }
} // namespace

// Another program holding the settings lock (a stopped instance, a backup tool): a save waits
// for it a while and fails; the saves after it only try, costing the user no further wait,
// until one finds the lock free, writes every change kept meanwhile and waits again next time.
TEST_F(WinRegFile, AfterOneLockWaitRunsOutLaterSavesOnlyTry)
{
    const std::string folder = root_ + "/quillmere";
    fs::create_directories(folder);
    // flock belongs to each opening of the folder: this one competes with the registry's own.
    const int other = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    struct Restore {
        int fd;
        ~Restore()
        {
            SetEventLoopClock(nullptr);
            ::close(fd);
        }
    } restore{other};
    SetEventLoopClock(&TickingClock);
    const auto save = [](const char* name, LONG result) {
        const DWORD before = gTicks;
        EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), result)
            << name;
        return gTicks - before;
    };
    EXPECT_GE(save("First", ERROR_CANTWRITE), 3000u);
    EXPECT_LT(save("Second", ERROR_CANTWRITE), 1000u);
    EXPECT_LT(save("Third", ERROR_CANTWRITE), 1000u);
    ASSERT_EQ(::flock(other, LOCK_UN), 0);
    EXPECT_LT(save("Fourth", ERROR_SUCCESS), 1000u);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_GE(save("Fifth", ERROR_CANTWRITE), 3000u);
    ASSERT_EQ(::flock(other, LOCK_UN), 0);

    RegistryReload();
    for (const char* name : {"First", "Second", "Third", "Fourth"})
        EXPECT_EQ(Query(HKEY_CURRENT_USER, name), std::string("1", 2)) << name;
    EXPECT_EQ(Query(HKEY_CURRENT_USER, "Fifth"), "");
}

TEST_F(WinRegFile, NamesIgnoreCaseButKeepIt)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\MiXed");
    SetString(k, "ValName", "one");
    SetString(k, "VALNAME", "two"); // same value: the first spelling stays
    RegCloseKey(k);
    RegCloseKey(Create(HKEY_CURRENT_USER, "\\SOFTWARE\\mixed\\Sub")); // leading "\" ignored
    RegistryReload();

    HKEY r = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\MIXED", 0, KEY_READ, &r), 0);
    EXPECT_EQ(Query(r, "valname"), std::string("two", 4));
    char name[64];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumValueA(r, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(name, "ValName");
    cch = sizeof name;
    EXPECT_EQ(RegEnumValueA(r, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), static_cast<LONG>(ERROR_NO_MORE_ITEMS));
    cch = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(HKEY_CURRENT_USER, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(name, "Software");
    RegCloseKey(r);
}

// A temporary file left by a crash, or a file of the user's that happens to have the name,
// is neither read nor touched; each save uses a temporary name of its own and leaves none.
TEST_F(WinRegFile, LeftoverTemporaryFileLeavesTheSavedFileInForce)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Q");
    SetString(k, "Keep", "old");
    RegCloseKey(k);
    std::string before = ReadFile(File());
    EXPECT_FALSE(fs::exists(File() + ".tmp"));
    // A crash between writing the temporary file and renaming it.
    WriteFile(File() + ".tmp", "[garbage\n\"half=");
    RegistryReload();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Q", 0, KEY_ALL_ACCESS, &k), 0);
    EXPECT_EQ(Query(k, "Keep"), std::string("old", 4));
    EXPECT_FALSE(fs::exists(File() + ".damaged"));
    EXPECT_EQ(ReadFile(File()), before);
    SetString(k, "Keep", "new");
    RegCloseKey(k);
    EXPECT_EQ(ReadFile(File() + ".tmp"), "[garbage\n\"half=");
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(File()).parent_path()), fs::directory_iterator()), 2);
    RegistryReload();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Q", 0, KEY_READ, &k), 0);
    EXPECT_EQ(Query(k, "Keep"), std::string("new", 4));
    RegCloseKey(k);
}

// A damaged line costs that line only (or, for a key line, the values under it): every
// other value is kept, the damaged file is kept aside as it was, and the damage is told
// once. Values in the format written by earlier versions (with the NUL spelt out) load.
TEST_F(WinRegFile, DamagedLinesAreLeftOutAndEverythingElseKept)
{
    std::string deep = "[Software";
    for (int i = 0; i < 50000; ++i)
        deep += "\\k";
    const std::string longName = "[Software\\" + std::string(256, 'n') + "]";
    const std::vector<std::string> damages = {
        "\"V\"=sz:\"unterminated", "\"V\"=dword:12", "\"V\"=sz:\"\\q\"", "\"V\"=hex:0g", "\"Port\"=sz:\"dup\"",
        "[Software\\Q\n\"V\"=sz:\"lost with its key\"", "[Software\\\\Q]\n\"V\"=sz:\"x\"", deep + "]", longName,
        "[Software\\Nul%00Name]", "\"RxDelay\"=sz:\"6"};
    for (const std::string& damage : damages) {
        SCOPED_TRACE(damage.substr(0, 60));
        fs::create_directories(root_ + "/quillmere");
        fs::remove(File() + ".damaged");
        const std::string text = "[Software\\Q]\n\"Port\"=sz:\"/dev/ttyS0\\x00\"\n\"Delay\"=dword:0000000a\n" +
                                 damage + "\n[Software\\Q\\Sub]\n\"Name\"=sz:\"TS-570D\"\n";
        WriteFile(File(), text);
        RegistryReload();
        testing::internal::CaptureStderr();
        HKEY q = nullptr, sub = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Q", 0, KEY_READ, &q), 0);
        ASSERT_EQ(RegOpenKeyExA(q, "Sub", 0, KEY_READ, &sub), 0);
        EXPECT_EQ(Query(q, "Port"), std::string("/dev/ttyS0", 11));
        EXPECT_EQ(Query(q, "Delay"), std::string("\x0a\0\0\0", 4));
        EXPECT_EQ(Query(q, "V"), "");
        EXPECT_EQ(Query(sub, "Name"), std::string("TS-570D", 8));
        RegCloseKey(sub);
        RegCloseKey(q);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("is damaged"), std::string::npos);
        EXPECT_EQ(err.find("is damaged"), err.rfind("is damaged")); // reported once
        EXPECT_EQ(ReadFile(File() + ".damaged"), text);
        const RegistryDamage told = RegistryTakeDamage();
        EXPECT_EQ(told.File, File());
        EXPECT_EQ(told.Copy, File() + ".damaged");
        EXPECT_EQ(told.Lines.front(), 4u);
        EXPECT_TRUE(RegistryTakeDamage().File.empty());
        // What read well is in the settings file again, in today's format.
        EXPECT_NE(ReadFile(File()).find("\"Port\"=sz:\"/dev/ttyS0\"\n"), std::string::npos);
    }
    // Nor can such a key be made through the registry's calls.
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, deep.substr(1).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));

    // A key name holding an escaped backslash is written back escaped by the repair: its
    // value stays under that one key and no other key appears.
    WriteFile(File(), "[Software\\Back%5cslash]\n\"V\"=sz:\"kept\"\ndamaged\n");
    RegistryReload();
    RegistryTakeDamage();
    RegistryReload();
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &software), 0);
    char name[64];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(software, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(name), "Back\\slash");
    cch = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(software, 1, name, &cch, nullptr, nullptr, nullptr, nullptr),
              static_cast<LONG>(ERROR_NO_MORE_ITEMS));
    RegCloseKey(software);
}

TEST(WinReg, QueryValueSizeProtocol)
{
    RegistrySetInMemory(true);
    HKEY k = Create(HKEY_LOCAL_MACHINE, "Test\\Query");
    SetString(k, "S", "hello");
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(k, "S", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    char buf[16] = "xxxxxxxxxxxxxx";
    size = 3;
    EXPECT_EQ(RegQueryValueExA(k, "S", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size), static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(size, 6u);
    size = 6;
    EXPECT_EQ(RegQueryValueExA(k, "S", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), 0);
    EXPECT_STREQ(buf, "hello");
    EXPECT_EQ(RegQueryValueExA(k, "S", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExA(k, "Missing", nullptr, &type, nullptr, &size), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    DWORD small = 1;
    EXPECT_EQ(RegSetValueExA(k, "D", 0, REG_DWORD, reinterpret_cast<BYTE*>(&small), 2), static_cast<LONG>(ERROR_INVALID_PARAMETER));
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Test"), 0);
}

TEST(WinReg, EnumValueCodesAndNulInclusiveLength)
{
    // A key of our own: the port list fills the real SERIALCOMM key in other tests.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Test\\EnumValues");
    HKEY k = Create(HKEY_LOCAL_MACHINE, "Test\\EnumValues");
    SetString(k, "/dev/ttyS0", "COM1");
    SetString(k, "/dev/ttyUSB0", "COM10");
    char name[256], data[256];
    DWORD cch = 256, cb = 256, type = 0;
    ASSERT_EQ(RegEnumValueA(k, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb), 0);
    EXPECT_STREQ(name, "/dev/ttyS0");
    EXPECT_EQ(cch, 10u); // characters, without the NUL
    EXPECT_EQ(cb, 5u);   // bytes, with the NUL
    EXPECT_EQ(std::string(data, cb - 1), "COM1");
    EXPECT_EQ(type, REG_SZ);

    cch = 12; // "/dev/ttyUSB0" is 12 characters: no room for the NUL
    cb = 256;
    EXPECT_EQ(RegEnumValueA(k, 1, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb), static_cast<LONG>(ERROR_MORE_DATA));
    cch = 13;
    cb = 5;
    EXPECT_EQ(RegEnumValueA(k, 1, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb), static_cast<LONG>(ERROR_MORE_DATA));
    EXPECT_EQ(cb, 6u);
    cch = 256;
    cb = 256;
    EXPECT_EQ(RegEnumValueA(k, 2, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb), static_cast<LONG>(ERROR_NO_MORE_ITEMS));

    DWORD subKeys = 9, maxSub = 9, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxName, &maxData,
                               nullptr, nullptr),
              0);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(maxSub, 0u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 12u);
    EXPECT_EQ(maxData, 6u);
    RegCloseKey(k);

    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\NOPE", 0, KEY_READ, &missing), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Test\\EnumValues"), 0);
}

TEST(WinReg, DeletionIsRecursiveOnlyWhenAskedAndInvalidatesHandles)
{
    HKEY top = Create(HKEY_LOCAL_MACHINE, "Tree");
    HKEY deep = Create(HKEY_LOCAL_MACHINE, "Tree\\A\\B\\C");
    SetString(deep, "V", "x");
    HKEY sibling = Create(top, "Z");
    DWORD disp = 0;
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyExA(top, "a\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, &disp), 0);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    RegCloseKey(again);

    EXPECT_EQ(RegDeleteKeyA(top, "A"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKeyA(top, "Z"), 0);
    EXPECT_EQ(RegSetValueExA(sibling, "V", 0, REG_BINARY, nullptr, 0), static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(RegDeleteTreeA(top, "a"), 0);
    EXPECT_EQ(Query(deep, "V"), "");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(deep, "V", nullptr, nullptr, nullptr, &size), static_cast<LONG>(ERROR_KEY_DELETED));
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(top, "A", 0, KEY_READ, &gone), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteTreeA(top, "A"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    // A key made again under the same name is a new key: the old handle stays dead.
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "Tree\\A\\B\\C"));
    EXPECT_EQ(RegSetValueExA(deep, "V", 0, REG_BINARY, nullptr, 0), static_cast<LONG>(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCloseKey(deep), 0);
    EXPECT_EQ(RegCloseKey(deep), static_cast<LONG>(ERROR_INVALID_HANDLE));
    RegCloseKey(sibling);
    RegCloseKey(top);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Tree"), 0);
}

TEST(WinReg, ReadOnlyHandleRefusesChanges)
{
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, "RO\\Existing"));
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "RO", 0, KEY_READ, &k), 0);
    EXPECT_EQ(RegSetValueExA(k, "V", 0, REG_BINARY, nullptr, 0), static_cast<LONG>(ERROR_ACCESS_DENIED));
    HKEY sub = nullptr;
    DWORD disp = 0;
    EXPECT_EQ(RegCreateKeyExA(k, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disp), static_cast<LONG>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(RegCreateKeyExA(k, "Existing", 0, nullptr, 0, KEY_READ, nullptr, &sub, &disp), 0);
    EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegDeleteTreeA(k, "Existing"), static_cast<LONG>(ERROR_ACCESS_DENIED));
    RegCloseKey(sub);
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "RO"), 0);
}

TEST(WinReg, ConcurrentWritersLoseNothing)
{
    HKEY k = Create(HKEY_LOCAL_MACHINE, "Threads");
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([k, t] {
            for (int i = 0; i < 200; ++i) {
                std::string name = std::to_string(t) + "_" + std::to_string(i);
                HKEY sub = Create(k, ("S" + std::to_string(t)).c_str());
                SetString(sub, name.c_str(), name);
                RegCloseKey(sub);
            }
        });
    for (auto& t : ts)
        t.join();
    DWORD total = 0;
    for (int t = 0; t < 4; ++t) {
        HKEY sub = nullptr;
        ASSERT_EQ(RegOpenKeyExA(k, ("S" + std::to_string(t)).c_str(), 0, KEY_READ, &sub), 0);
        DWORD values = 0;
        RegQueryInfoKeyA(sub, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        total += values;
        RegCloseKey(sub);
    }
    EXPECT_EQ(total, 800u);
    RegCloseKey(k);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Threads"), 0);
}

// Two instances, each started on the same settings file and each changing its own value
// many times, keep each other's: a save writes its own changes over the file as it is then.
TEST_F(WinRegFile, TwoInstancesKeepEachOthersChanges)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Q");
    SetString(k, "Shared", "start");
    RegCloseKey(k);
    pid_t instances[2];
    for (int w = 0; w < 2; ++w) {
        instances[w] = ::fork();
        ASSERT_GE(instances[w], 0);
        if (instances[w] == 0) {
            RegistryReload();
            const std::string name = w == 0 ? "Baud" : "Port";
            for (int i = 1; i <= 200; ++i) {
                HKEY h = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Q", 0, KEY_ALL_ACCESS, &h) != 0)
                    ::_exit(2);
                SetString(h, name.c_str(), std::to_string(i));
                if (RegCloseKey(h) != 0)
                    ::_exit(3);
            }
            RegistryShutdown();
            ::_exit(0);
        }
    }
    for (pid_t p : instances) {
        int status = 0;
        ASSERT_EQ(::waitpid(p, &status, 0), p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    RegistryReload();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Q", 0, KEY_READ, &k), 0);
    EXPECT_EQ(Query(k, "Baud"), std::string("200", 4));
    EXPECT_EQ(Query(k, "Port"), std::string("200", 4));
    EXPECT_EQ(Query(k, "Shared"), std::string("start", 6));
    RegCloseKey(k);
}
