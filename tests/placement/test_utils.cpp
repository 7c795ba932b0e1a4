#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "PlacementEnv.h"
#include "common/TempFolder.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "placement/StoreUtils.h"
#include "placement/TextUtils.h"
#include "platform/Gdi.h"

TEST(TextUtils, WordsAreSplitAtAnyDelimiterRun)
{
    EXPECT_EQ(ExtractWordAt(2, "10, 20", " ,"), "20");
    EXPECT_EQ(ExtractWordAt(5, "10, 20", " ,"), "");
    EXPECT_EQ(ExtractWordAt(1, " ,,10, 20", " ,"), "10");
    EXPECT_EQ(WordStartPos(2, " ,,10, 20", " ,"), 8);
    EXPECT_EQ(WordStartPos(3, "a b", " "), 0);
    EXPECT_EQ(CountWords(" ,, ", " ,"), 0);
    EXPECT_EQ(CountWords("1,2,,3 ", " ,"), 3);
    EXPECT_EQ(CountWords("", " ,"), 0);
}

TEST(TextUtils, ReplaceAllNeverRescansReplacedText)
{
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("a.b.c", ".", ""), "abc");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("abab", "ab", "b"), "bb");
}

TEST(TextUtils, ScramblingRoundTripsAndHandlesDamage)
{
    EXPECT_EQ(XorHexEncode("", "abc"), "616263");
    EXPECT_EQ(XorHexDecode("", "616263"), "abc");
    // 'a' ^ 'k' = 0x0a, 'b' ^ 'e' = 0x07, 'c' ^ 'k' = 0x08: the key repeats.
    EXPECT_EQ(XorHexEncode("ke", "abc"), "0a0708");
    EXPECT_EQ(XorHexDecode("ke", "0a0708"), "abc");
    std::string bytes = "\x01\xff\x80 text";
    EXPECT_EQ(XorHexDecode("secret", XorHexEncode("secret", bytes)), bytes);
    // Odd trailing digit ignored; a non-hex pair counts as a space before the XOR.
    EXPECT_EQ(XorHexDecode("", "41zz4"), "A ");
    EXPECT_EQ(XorHexDecode("!", "zz"), std::string(1, static_cast<char>(' ' ^ '!')));
}

TEST_F(PlacementEnv, DefaultNamesFollowTheExecutableAndSettings)
{
    std::string base = ChangeFileExt(ExtractFileName(Application->ExeName()), "");
    EXPECT_EQ(DefaultRegistryKey(), "Software\\" + base);
    CompanyKeyName = "Acme";
    EXPECT_EQ(DefaultRegistryKey(), "Software\\Acme\\" + base);
    DoneStoreUtils();
    EXPECT_EQ(CompanyKeyName, "");
    UseTitleAsKey = true;
    Application->SetTitle("Quillmere");
    EXPECT_EQ(DefaultRegistryKey(), "Software\\Quillmere");
    UseTitleAsKey = false;
    EXPECT_EQ(DefaultIniFileName(), base + ".INI");
    IniFileNameHook = [] { return std::string("/tmp/other.ini"); };
    EXPECT_EQ(DefaultIniFileName(), "/tmp/other.ini");
    IniFileNameHook = nullptr;
}

TEST_F(PlacementEnv, DefaultSectionNameOfFormsControlsAndComponents)
{
    auto* form = NewForm1();
    auto control = [](TComponent* owner, const char* name, TWinControl* parent) {
        auto* c = new TWinControl(owner);
        c->SetName(name);
        if (parent)
            c->SetParent(parent);
        return c;
    };
    auto* panel = control(form, "Panel1", form);
    auto* inner = control(form, "Edit1", panel);
    auto* loose = control(form, "Loose", nullptr);
    auto* orphanParent = control(nullptr, "Box", nullptr);
    auto* orphan = control(nullptr, "Child", orphanParent);
    auto* store = new TFormStore(form);
    store->SetName("Store1");

    EXPECT_EQ(DefaultSectionName(nullptr), "");
    EXPECT_EQ(DefaultSectionName(form), "TForm1");
    EXPECT_EQ(DefaultSectionName(inner), "TForm1Edit1");
    EXPECT_EQ(DefaultSectionName(loose), "Loose");
    EXPECT_EQ(DefaultSectionName(orphan), "BoxChild");
    EXPECT_EQ(DefaultSectionName(store), "TForm1.Store1");
    // Neither owned nor freed by its parent: free it before the parent goes.
    orphan->Free();
    orphanParent->Free();
}

TEST_F(PlacementEnv, QuotedValuesSurviveAnIniFileButNotTheRegistryQuoting)
{
    const std::string dir = commontest::MakeTempDir("placement-ini");
    ASSERT_FALSE(dir.empty());
    std::string path = dir + "/test.ini";
    {
        TIniFile ini(path);
        WriteStorageString(&ini, "S", "Single", "'quoted'");
        WriteStorageString(&ini, "S", "Double", "\"dq\"");
        WriteStorageString(&ini, "S", "Plain", "it's");
        EXPECT_EQ(ReadStorageString(&ini, "S", "Single", ""), "'quoted'");
        EXPECT_EQ(ReadStorageString(&ini, "S", "Double", ""), "\"dq\"");
        EXPECT_EQ(ReadStorageString(&ini, "S", "Plain", ""), "it's");
        WriteStorageInteger(&ini, "S", "N", -12);
        EXPECT_EQ(ReadStorageInteger(&ini, "S", "N", 0), -12);
    }
    {
        TRegIniFile reg("Software\\PlacementTest");
        WriteStorageString(&reg, "S", "Single", "'quoted'");
        TRegistry raw;
        ASSERT_TRUE(raw.OpenKey("\\Software\\PlacementTest\\S", false));
        EXPECT_EQ(raw.ReadString("Single"), "'quoted'");
    }
    TObject other;
    EXPECT_EQ(ReadStorageString(&other, "S", "X", "def"), "def");
    EXPECT_EQ(ReadStorageInteger(nullptr, "S", "X", 7), 7);
    WriteStorageString(&other, "S", "X", "ignored");
    std::filesystem::remove_all(dir);
}

TEST_F(PlacementEnv, SizedValuesPreferTheCurrentScreenSize)
{
    std::string suffix = ScreenSizeSuffix();
    EXPECT_EQ(suffix, "(" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                          std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ")");
    TRegIniFile reg("Software\\PlacementTest");
    WriteStorageString(&reg, "Sec", "NormPos", "1,2,3,4");
    EXPECT_EQ(ReadSizedString(&reg, "Sec", "NormPos"), "1,2,3,4");
    WriteSizedString(&reg, "Sec", "NormPos", "5,6,7,8");
    EXPECT_EQ(reg.ReadString("Sec", "NormPos" + suffix, ""), "5,6,7,8");
    EXPECT_EQ(reg.ReadString("Sec", "NormPos", ""), "5,6,7,8");
    reg.WriteString("Sec", "NormPos", "9,9,9,9");
    EXPECT_EQ(ReadSizedString(&reg, "Sec", "NormPos"), "5,6,7,8");
}
