#include "StringsTestUtil.h"
#include "common/TempFolder.h"
#include "framework/Classes.h"
#include "framework/Registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

// Every test starts on an empty in-memory HKEY_CURRENT_USER.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RegistrySetInMemory(true); }
    void TearDown() override
    {
        RegistrySetInMemory(true);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software");
    }
};

// The raw type and bytes of a value, as another program would see them.
std::string RawValue(HKEY root, const char* key, const char* name, DWORD& type)
{
    HKEY k = nullptr;
    type = REG_NONE;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != 0)
        return "<no key>";
    DWORD size = 0;
    std::string data;
    if (RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) == 0) {
        data.resize(size);
        RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    } else {
        data = "<no value>";
    }
    RegCloseKey(k);
    return data;
}

template <class F> std::string RegistryError(F f)
{
    try {
        f();
    } catch (const ERegistryException& e) {
        return e.Message;
    }
    return "<no exception>";
}

} // namespace

TEST_F(RegistryTest, KeysOpenRelativeOrAbsoluteAndTrackTheirPath)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.Access(), KEY_ALL_ACCESS);
    EXPECT_FALSE(reg.OpenKey("Software\\Quillmere", false));
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmere", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillmere");
    ASSERT_TRUE(reg.OpenKey("ComPort", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillmere\\ComPort");
    reg.WriteString("Port", "COM1");
    ASSERT_TRUE(reg.OpenKey("\\Software", false));
    EXPECT_EQ(reg.CurrentPath(), "Software");
    EXPECT_TRUE(reg.KeyExists("Quillmere\\comport"));
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\Quillmere"));
    EXPECT_FALSE(reg.KeyExists("ComPort"));
    std::unique_ptr<TStringList> names(new TStringList);
    names->Add("stale");
    reg.GetKeyNames(names.get());
    ASSERT_EQ(names->Count(), 1);
    EXPECT_EQ(names->Strings(0), "Quillmere");
    EXPECT_TRUE(reg.HasSubKeys());

    reg.CloseKey();
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_EQ(reg.CurrentPath(), "");
    DWORD type;
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, "Software\\Quillmere\\ComPort", "Port", type), std::string("COM1", 5));
    EXPECT_EQ(type, REG_SZ);

    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg.KeyExists("Software\\Quillmere"));
    EXPECT_TRUE(reg.CreateKey("Software\\Made\\Here"));
    EXPECT_EQ(reg.CurrentKey(), nullptr);
    EXPECT_TRUE(reg.KeyExists("Software\\Made\\Here"));
    EXPECT_TRUE(reg.DeleteKey("Software\\Made")); // with its subkey
    EXPECT_FALSE(reg.KeyExists("Software\\Made"));
    EXPECT_FALSE(reg.DeleteKey("Software\\Made"));
}

TEST_F(RegistryTest, TypedReadsAndTheirFailures)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmere\\Types", true));
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(RegistryError([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(RegistryError([&] { reg.ReadBool("Missing"); }), "Failed to get data for 'Missing'");

    reg.WriteString("Text", "12");
    reg.WriteInteger("Number", -7);
    reg.WriteBool("Flag", true);
    EXPECT_EQ(reg.ReadString("text"), "12");
    EXPECT_EQ(reg.ReadInteger("NUMBER"), -7);
    EXPECT_TRUE(reg.ReadBool("Flag"));
    EXPECT_EQ(RegistryError([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(RegistryError([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");

    EXPECT_EQ(reg.GetDataType("Text"), rdString);
    EXPECT_EQ(reg.GetDataType("Number"), rdInteger);
    EXPECT_EQ(reg.GetDataType("Missing"), rdUnknown);
    EXPECT_EQ(reg.GetDataSize("Text"), 3); // with the terminating NUL
    EXPECT_EQ(reg.GetDataSize("Number"), 4);
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);

    // Strings are byte-transparent, embedded NULs included.
    std::string odd("a\0b\x80\xff", 5);
    reg.WriteString("Odd", odd);
    EXPECT_EQ(reg.ReadString("Odd"), odd);
    reg.WriteExpandString("Expand", "%HOME%");
    EXPECT_EQ(reg.ReadString("Expand"), "%HOME%");
    EXPECT_EQ(reg.GetDataType("Expand"), rdExpandString);

    const unsigned char blob[] = {0, 1, 2, 254, 255};
    reg.WriteBinaryData("Blob", blob, sizeof blob);
    unsigned char back[8] = {};
    EXPECT_EQ(reg.ReadBinaryData("Blob", back, sizeof back), 5);
    EXPECT_EQ(std::memcmp(back, blob, 5), 0);
    EXPECT_EQ(RegistryError([&] { reg.ReadBinaryData("Blob", back, 4); }), "Failed to get data for 'Blob'");
    EXPECT_EQ(RegistryError([&] { reg.ReadBinaryData("Text", back, 8); }), "Invalid data type for 'Text'");
    EXPECT_EQ(reg.GetDataType("Blob"), rdBinary);

    std::vector<std::string> values;
    reg.GetValueNames(values);
    EXPECT_EQ(values, (std::vector<std::string>{"Text", "Number", "Flag", "Odd", "Expand", "Blob"}));
    EXPECT_TRUE(reg.ValueExists("blob"));
    EXPECT_TRUE(reg.DeleteValue("BLOB"));
    EXPECT_FALSE(reg.ValueExists("Blob"));
    EXPECT_FALSE(reg.DeleteValue("Blob"));
}

TEST_F(RegistryTest, RefusedWritesRaise)
{
    {
        TRegistry writer;
        ASSERT_TRUE(writer.OpenKey("Software\\Quillmere", true));
        writer.WriteString("Keep", "x");
    }
    TRegistry reg;
    EXPECT_EQ(RegistryError([&] { reg.WriteString("NoKey", "x"); }), "Failed to set data for 'NoKey'");
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Quillmere"));
    EXPECT_EQ(reg.Access(), KEY_READ);
    EXPECT_EQ(reg.ReadString("Keep"), "x");
    EXPECT_EQ(RegistryError([&] { reg.WriteString("Keep", "y"); }), "Failed to set data for 'Keep'");
    EXPECT_EQ(RegistryError([&] { reg.WriteInteger("N", 1); }), "Failed to set data for 'N'");
    EXPECT_EQ(reg.ReadString("Keep"), "x");
    EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Absent"));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Quillmere");
}

TEST_F(RegistryTest, RegIniFileStoresNumbersAndFlagsAsText)
{
    TRegIniFile ini("Software\\Quillmere");
    EXPECT_EQ(ini.FileName(), "Software\\Quillmere");
    EXPECT_EQ(ini.CurrentPath(), "Software\\Quillmere");
    ini.WriteInteger("RadioType", "RxDelay", 600);
    ini.WriteInteger("RadioType", "Neg", -5);
    ini.WriteBool("Options", "AutoVink", true);
    ini.WriteBool("Options", "DisableSplashScreen", false);
    ini.WriteString("RadioType", "Name", "TS-570D");

    DWORD type;
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, "Software\\Quillmere\\RadioType", "RxDelay", type), std::string("600", 4));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, "Software\\Quillmere\\Options", "AutoVink", type), std::string("1", 2));
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, "Software\\Quillmere\\Options", "DisableSplashScreen", type),
              std::string("0", 2));

    EXPECT_EQ(ini.ReadInteger("radiotype", "rxdelay", 1), 600);
    EXPECT_EQ(ini.ReadInteger("RadioType", "Neg", 1), -5);
    EXPECT_EQ(ini.ReadInteger("RadioType", "Name", 100), 100); // not a number
    EXPECT_EQ(ini.ReadInteger("RadioType", "Missing", 100), 100);
    EXPECT_EQ(ini.ReadInteger("NoSection", "TxDelay", 100), 100);
    EXPECT_TRUE(ini.ReadBool("Options", "AutoVink", false));
    EXPECT_FALSE(ini.ReadBool("Options", "DisableSplashScreen", true));
    EXPECT_TRUE(ini.ReadBool("Options", "Missing", true));
    ini.WriteString("Options", "AutoLoadOption", "5");
    EXPECT_TRUE(ini.ReadBool("Options", "AutoLoadOption", false)); // any non-zero number
    ini.WriteString("Options", "Junk", "yes");
    EXPECT_FALSE(ini.ReadBool("Options", "Junk", false));
    EXPECT_EQ(ini.ReadString("RadioType", "Name", "?"), "TS-570D");
    EXPECT_EQ(ini.ReadString("RadioType", "Missing", "dflt"), "dflt");

    // A real integer value written by other code still reads.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Quillmere\\RadioType", false));
        reg.WriteInteger("TxDelay", 150);
    }
    EXPECT_EQ(ini.ReadInteger("RadioType", "TxDelay", 100), 150);
    EXPECT_EQ(ini.ReadString("RadioType", "TxDelay", ""), "150");

    // Section-less access works on the file key itself.
    ini.WriteString("", "Top", "t");
    EXPECT_EQ(ini.ReadString("", "Top", ""), "t");
    EXPECT_EQ(ini.CurrentPath(), "Software\\Quillmere");
}

TEST_F(RegistryTest, RegIniFileSectionsListAndEraseRecursively)
{
    TRegIniFile ini("Software\\Quillmere");
    ini.WriteString("TForm1", "FormVersion", "0");
    ini.WriteString("TForm1", "Flags", "0");
    ini.WriteString("TForm1.MemChanCoolBar_Bands", "Item0_Width", "300");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Quillmere\\TForm1.MemChanCoolBar_Bands\\Deeper\\Still", true));
        reg.WriteString("X", "y");
    }
    std::unique_ptr<TStringList> list(new TStringList);
    ini.ReadSections(list.get());
    EXPECT_EQ(stringstest::Texts(list.get()), (std::vector<std::string>{"TForm1", "TForm1.MemChanCoolBar_Bands"}));
    ini.ReadSection("tform1", list.get());
    EXPECT_EQ(stringstest::Texts(list.get()), (std::vector<std::string>{"FormVersion", "Flags"}));
    ini.ReadSectionValues("TForm1", list.get());
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Strings(0), "FormVersion=0");
    ini.ReadSection("Absent", list.get());
    EXPECT_EQ(list->Count(), 0);

    EXPECT_TRUE(ini.SectionExists("TForm1.MemChanCoolBar_Bands"));
    EXPECT_TRUE(ini.ValueExists("TForm1", "flags"));
    ini.DeleteKey("TForm1", "Flags");
    EXPECT_FALSE(ini.ValueExists("TForm1", "Flags"));
    ini.DeleteKey("TForm1", "Flags"); // already gone: nothing happens

    ini.EraseSection("TForm1.MemChanCoolBar_Bands");
    EXPECT_FALSE(ini.SectionExists("TForm1.MemChanCoolBar_Bands"));
    EXPECT_TRUE(ini.SectionExists("TForm1"));
    ini.EraseSection("Absent");
    std::vector<std::string> sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, std::vector<std::string>{"TForm1"});
}

TEST_F(RegistryTest, ReadOnlyRegIniFileNeverCreatesOrChanges)
{
    {
        TRegIniFile setup("Software\\Quillmere");
        setup.WriteString("TForm1", "FormVersion", "3");
    }
    TRegIniFile ini("Software\\Quillmere");
    ini.SetAccess(KEY_READ);
    EXPECT_EQ(ini.ReadInteger("TForm1", "FormVersion", 0), 3);
    EXPECT_EQ(ini.ReadString("Other", "X", "dflt"), "dflt");
    EXPECT_FALSE(ini.SectionExists("Other"));
    EXPECT_THROW(ini.WriteString("Other", "X", "1"), ERegistryException);
    EXPECT_FALSE(ini.SectionExists("Other"));
    EXPECT_THROW(ini.WriteInteger("TForm1", "FormVersion", 4), ERegistryException);
    EXPECT_THROW(ini.EraseSection("TForm1"), ERegistryException);
    EXPECT_EQ(ini.ReadInteger("TForm1", "FormVersion", 0), 3);

    TRegIniFile absent("Software\\Absent", KEY_READ);
    EXPECT_EQ(absent.CurrentKey(), nullptr);
    EXPECT_EQ(absent.ReadInteger("S", "I", 7), 7);
    EXPECT_FALSE(ini.KeyExists("\\Software\\Absent"));

    // Another root, reopened read-only the way the form placement does it.
    ini.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(ini.OpenKey(ini.FileName(), false));
    EXPECT_EQ(ini.ReadString("TForm1", "FormVersion", "none"), "none");
    EXPECT_FALSE(ini.KeyExists("Software\\Quillmere"));
}

TEST_F(RegistryTest, RegIniFileSurvivesARestart)
{
    const std::string folder = commontest::MakeTempDir("qm-regini");
    ASSERT_FALSE(folder.empty());
    const char* tmpl = folder.c_str();
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", tmpl, 1);
    RegistrySetInMemory(false);
    RegistryReload();
    {
        TRegIniFile ini("Software\\Quillmere");
        ini.WriteInteger("RadioType", "RxDelay", 750);
        ini.WriteString("ComPort", "Port", "/dev/ttyUSB0");
    }
    RegistryReload();
    {
        TRegIniFile ini("Software\\Quillmere");
        EXPECT_EQ(ini.ReadInteger("RadioType", "RxDelay", 600), 750);
        EXPECT_EQ(ini.ReadString("COMPORT", "port", "FOUT"), "/dev/ttyUSB0");
    }
    RegistrySetInMemory(true);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(tmpl);
}
