#include "common/TempFolder.h"
#include "StringsTestUtil.h"
#include "framework/Classes.h"
#include "framework/IniFiles.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public commontest::TempFolderTest {
protected:
    IniFileTest() : TempFolderTest("qm-ini") {}
    std::string Read() const { return commontest::ReadFileText(path_); }
    void Write(const std::string& text) const { commontest::WriteFileText(path_, text); }
    std::string dir_ = folder_.Path();
    std::string path_ = dir_ + "/settings.ini";
};

} // namespace

// What is written reads back the same: reading trims values and takes one pair of enclosing
// quotes off, so such values go inside one more pair; names are trimmed on both sides.
TEST_F(IniFileTest, QuotedValuesRoundTrip)
{
    TIniFile ini(path_);
    EXPECT_EQ(ini.Path(), path_);
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Single", "'quoted'"}, {"Double", "\"x\""},  {"Twice", "\"'quoted'\""}, {"Padded", "  both ends "},
        {"Mixed", "'a\""},      {"Lone", "\""},        {"Empty", ""}};
    for (const auto& [name, value] : values)
        ini.WriteString("S", name, value);
    ini.WriteString(" T\t", "  Blank edged\x01", "v");
    for (const auto& [name, value] : values)
        EXPECT_EQ(ini.ReadString("S", name, "?"), value) << name;
    EXPECT_EQ(ini.ReadString(" T\t", "  Blank edged\x01", "?"), "v");
    EXPECT_EQ(ini.ReadString("T", "Blank edged", "?"), "v");
    EXPECT_TRUE(ini.ValueExists("T ", " Blank edged"));
    EXPECT_EQ(ini.ReadString("S", "Missing", "'kept'"), "'kept'"); // defaults are not unquoted
    EXPECT_EQ(Read(), "[S]\nSingle=\"'quoted'\"\nDouble=\"\"x\"\"\nTwice=\"\"'quoted'\"\"\nPadded=\"  both ends \"\n"
                      "Mixed='a\"\nLone=\"\nEmpty=\n\n[T]\nBlank edged=v\n");
    ini.DeleteKey("T\t", "Blank edged ");
    EXPECT_FALSE(ini.ValueExists("T", "Blank edged"));
}

TEST_F(IniFileTest, LineBreaksAndMalformedNamesAreRefused)
{
    TIniFile ini(path_);
    ini.WriteString("S", "A", "before");
    std::string before = Read();
    EXPECT_THROW(ini.WriteString("S", "A", "two\nlines"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "A", "cr\ronly"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "A=B", "x"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "", "x"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", ";A", "x"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S]", "A", "x"), EIniFileException);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(ini.ReadString("S", "A", ""), "before");
}

TEST_F(IniFileTest, EditsKeepOtherLinesCommentsOrderAndLineEnds)
{
    Write("; settings\r\n"
          "[ComPort]\r\n"
          "  Port = COM1  \r\n"
          "; the speed\r\n"
          "BaudRate=9600\r\n"
          "not a pair\r\n"
          "\r\n"
          "[Options]\r\n"
          "AutoVink=0\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("comport", "PORT", ""), "COM1");
    ini.WriteString("COMPORT", "port", "COM3");
    ini.WriteString("ComPort", "Parity", "None");
    ini.WriteString("Radio", "Name", "TS-570D");
    EXPECT_EQ(Read(), "; settings\r\n"
                      "[ComPort]\r\n"
                      "Port=COM3\r\n"
                      "; the speed\r\n"
                      "BaudRate=9600\r\n"
                      "Parity=None\r\n"
                      "not a pair\r\n"
                      "\r\n"
                      "[Options]\r\n"
                      "AutoVink=0\r\n"
                      "\r\n"
                      "[Radio]\r\n"
                      "Name=TS-570D\r\n");

    ini.DeleteKey("comport", "baudrate");
    ini.EraseSection("OPTIONS");
    EXPECT_EQ(Read(), "; settings\r\n"
                      "[ComPort]\r\n"
                      "Port=COM3\r\n"
                      "; the speed\r\n"
                      "Parity=None\r\n"
                      "not a pair\r\n"
                      "\r\n"
                      "[Radio]\r\n"
                      "Name=TS-570D\r\n");
    std::string before = Read();
    ini.EraseSection("Absent");
    ini.DeleteKey("Radio", "Absent");
    EXPECT_EQ(Read(), before);
}

// A file saved by an editor with a byte-order mark: the first section is found, and an
// edit keeps the mark and the line ends.
TEST_F(IniFileTest, ByteOrderMarkOfAnEditor)
{
    Write("\xEF\xBB\xBF[ComPort]\r\nPort=COM1\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("ComPort", "Port", ""), "COM1");
    ini.WriteString("ComPort", "Port", "COM3");
    EXPECT_EQ(Read(), "\xEF\xBB\xBF[ComPort]\r\nPort=COM3\r\n");
}

TEST_F(IniFileTest, SectionsAndValuesListIgnoringCase)
{
    Write("[A]\nx=1\ny = 'two'\n[Empty]\n[b]\nz=3\n[a]\nX=dup\nw=4\n");
    TIniFile ini(path_);
    std::unique_ptr<TStringList> list(new TStringList);
    ini.ReadSections(list.get());
    EXPECT_EQ(stringstest::Texts(list.get()), (std::vector<std::string>{"A", "Empty", "b"}));
    ini.ReadSection("a", list.get());
    EXPECT_EQ(stringstest::Texts(list.get()), (std::vector<std::string>{"x", "y", "w"}));
    ini.ReadSectionValues("A", list.get());
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(list->Strings(0), "x=1");
    EXPECT_EQ(list->Strings(1), "y=two");
    EXPECT_EQ(ini.ReadString("A", "X", ""), "1"); // the first occurrence wins
    EXPECT_TRUE(ini.SectionExists("EMPTY"));
    EXPECT_FALSE(ini.SectionExists("None"));
    EXPECT_TRUE(ini.ValueExists("B", "Z"));
    EXPECT_FALSE(ini.ValueExists("B", "x"));
    ini.WriteString("empty", "k", "v");
    EXPECT_EQ(ini.ReadString("Empty", "K", ""), "v");
    std::vector<std::string> names;
    ini.ReadSection("Empty", names);
    EXPECT_EQ(names, std::vector<std::string>{"k"});
}

TEST_F(IniFileTest, TypedReadsFallBackToTheDefault)
{
    TIniFile ini(path_);
    ini.WriteInteger("N", "Int", -42);
    ini.WriteBool("N", "On", true);
    ini.WriteBool("N", "Off", false);
    ini.WriteFloat("N", "Real", 2.5);
    ini.WriteString("N", "Word", "abc");
    ini.WriteString("N", "Seven", "7");
    EXPECT_EQ(ini.ReadString("N", "Int", ""), "-42");
    EXPECT_EQ(ini.ReadString("N", "On", ""), "1");
    EXPECT_EQ(ini.ReadInteger("N", "Int", 0), -42);
    EXPECT_EQ(ini.ReadInteger("N", "Word", 9), 9);
    EXPECT_EQ(ini.ReadInteger("N", "Missing", 9), 9);
    EXPECT_TRUE(ini.ReadBool("N", "On", false));
    EXPECT_FALSE(ini.ReadBool("N", "Off", true));
    EXPECT_TRUE(ini.ReadBool("N", "Seven", false));
    EXPECT_TRUE(ini.ReadBool("N", "Word", true));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Real", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "Word", 1.25), 1.25);
}

TEST_F(IniFileTest, BareNamesLiveInThePrivateConfigurationFolder)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    {
        TIniFile ini("QUILLMERE.INI");
        EXPECT_EQ(ini.FileName(), "QUILLMERE.INI");
        EXPECT_EQ(ini.Path(), dir_ + "/quillmere/QUILLMERE.INI");
        EXPECT_EQ(ini.ReadString("S", "A", "none"), "none");
        EXPECT_FALSE(fs::exists(ini.Path())); // reading creates nothing
        ini.WriteString("S", "A", "1");
        struct stat st {};
        ASSERT_EQ(stat(ini.Path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        ASSERT_EQ(stat((dir_ + "/quillmere").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_FALSE(fs::exists(ini.Path() + ".tmp"));
        // A stale temporary file from an interrupted write is never read.
        std::ofstream(ini.Path() + ".tmp") << "[S]\nA=2\n";
        EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
    }
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST_F(IniFileTest, UnwritableFileRaises)
{
    TIniFile ini("/proc/quillmere-none/x.ini");
    EXPECT_EQ(ini.ReadString("S", "A", "d"), "d");
    EXPECT_THROW(ini.WriteString("S", "A", "1"), EIniFileException);
}
