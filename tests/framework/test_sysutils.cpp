#include "framework/SysUtils.h"
#include "common/TempFolder.h"
#include "platform/Codepage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

TEST(SysUtilsText, ClampingHelpersOnOutOfRangeInput)
{
    const std::string s = "Hello";
    EXPECT_EQ(Copy(s, 0, 2), "He");
    EXPECT_EQ(Copy(s, -5, 3), "Hel");
    EXPECT_EQ(Copy(s, 5, 10), "o");
    EXPECT_EQ(Copy(s, 6, 1), "");
    EXPECT_EQ(Copy(s, 2, -1), "");
    EXPECT_EQ(Copy(s, 2, 0), "");
    EXPECT_EQ(Copy(s, 2, INT_MAX), "ello");
    EXPECT_EQ(Copy(s, INT_MAX, INT_MAX), "");
    EXPECT_EQ(Copy("", 1, 1), "");

    std::string t = s;
    Delete(t, 0, 2);
    EXPECT_EQ(t, "Hello");
    Delete(t, 6, 1);
    EXPECT_EQ(t, "Hello");
    Delete(t, 2, -3);
    EXPECT_EQ(t, "Hello");
    Delete(t, 4, INT_MAX);
    EXPECT_EQ(t, "Hel");
    Delete(t, 1, 1);
    EXPECT_EQ(t, "el");
    std::string e;
    Delete(e, 1, 1);
    EXPECT_EQ(e, "");

    t = "ac";
    Insert("b", t, 2);
    EXPECT_EQ(t, "abc");
    Insert("<", t, -7);
    EXPECT_EQ(t, "<abc");
    Insert(">", t, 99);
    EXPECT_EQ(t, "<abc>");
    Insert("x", e, 0);
    EXPECT_EQ(e, "x");

    EXPECT_EQ(Pos("l", s), 3);
    EXPECT_EQ(Pos("", s), 0);
    EXPECT_EQ(Pos("x", ""), 0);
    EXPECT_EQ(Pos("Hello!", s), 0);
    EXPECT_EQ(PosEx("l", s, 4), 4);
    EXPECT_EQ(PosEx("l", s, 5), 0);
    EXPECT_EQ(PosEx("H", s, 0), 0);
    EXPECT_EQ(PosEx("o", s, 6), 0);
    EXPECT_EQ(StringOfChar('0', 3), "000");
    EXPECT_EQ(StringOfChar('0', -3), "");
    EXPECT_EQ(LastDelimiter("/\\", "a/b\\c"), 4);
}

TEST(SysUtilsText, ReplaceCaseAndTrim)
{
    EXPECT_EQ(StringReplace("a.b.c", ".", ",", {}), "a,b.c");
    EXPECT_EQ(StringReplace("a.b.c", ".", ",", {rfReplaceAll}), "a,b,c");
    EXPECT_EQ(StringReplace("xAxax", "a", "--", {rfReplaceAll, rfIgnoreCase}), "x--x--x");
    EXPECT_EQ(StringReplace("aaa", "aa", "a", {rfReplaceAll}), "aa"); // no rescanning of output
    EXPECT_EQ(StringReplace("abc", "", "x", {rfReplaceAll}), "abc");

    // ASCII only: the 1252 letters keep their case and order by code.
    EXPECT_EQ(UpperCase("abz\xE9"), "ABZ\xE9");
    EXPECT_EQ(LowerCase("ABZ\xC9"), "abz\xC9");
    EXPECT_EQ(AnsiUpperCase("\xE9\x9A\xFF\xF7"), "\xC9\x8A\x9F\xF7");
    EXPECT_EQ(AnsiLowerCase("\xC9\x8A\x9F\xD7"), "\xE9\x9A\xFF\xD7");
    EXPECT_TRUE(SameText("Port", "pORT"));
    EXPECT_FALSE(SameText("Port", "Ports"));
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("abc", "abd"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_LT(CompareText("a", "\xE9"), 0); // high bytes are not negative
    EXPECT_LT(CompareStr("B", "a"), 0);
    EXPECT_GT(CompareStr("\x80", "a"), 0);
    EXPECT_EQ(CompareStr("", ""), 0);

    EXPECT_EQ(Trim("\t \r\n x y \x01"), "x y");
    EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0"); // no-break space is above #32
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
}

TEST(SysUtilsText, AdjustLineBreaks)
{
    EXPECT_EQ(AdjustLineBreaks("a\rb\nc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\ne");
    EXPECT_EQ(AdjustLineBreaks("\r\n\r\n"), "\r\n\r\n");
    EXPECT_EQ(AdjustLineBreaks("\n\r\n"), "\r\n\r\n");
    EXPECT_EQ(AdjustLineBreaks("x\r"), "x\r\n");
    EXPECT_EQ(AdjustLineBreaks("a\r\nb\r", tlbsLF), "a\nb\n");
    EXPECT_EQ(std::string(sLineBreak), "\r\n");
}

TEST(SysUtilsNumbers, StrToIntDefTable)
{
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"12", 12}, {" 12", 12}, {"-5", -5}, {"+7", 7}, {"1e3", -1}, {"$1F", -1}, {"0x1F", -1},
        {"", -1}, {"99999999999", -1}, {"2147483647", 2147483647}, {"-2147483648", INT_MIN},
        {"2147483648", -1}, {"-2147483649", -1}, {"12 ", -1}, {" ", -1}, {"-", -1}, {"+-1", -1},
        {"007", 7}, {"1.0", -1}, {"\xB2", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToIntDef(c.text, -1), c.expected) << '"' << c.text << '"';

    int v = 0;
    EXPECT_TRUE(TryStrToInt("-0", v));
    EXPECT_EQ(v, 0);
    EXPECT_EQ(StrToInt64Def("9223372036854775807", 0), INT64_MAX);
    EXPECT_EQ(StrToInt64Def("-9223372036854775808", 0), INT64_MIN);
    EXPECT_EQ(StrToInt64Def("9223372036854775808", 5), 5);
    EXPECT_EQ(StrToInt64("99999999999"), 99999999999LL);
    try {
        StrToInt("12a");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'12a' is not a valid integer value");
    }
    EXPECT_THROW(StrToInt64("x"), EConvertError);
}

TEST(SysUtilsNumbers, IntToStrAndHex)
{
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(INT_MIN), "-2147483648");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(IntToStr(uint64_t(UINT64_MAX)), "18446744073709551615");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0xABCDE, 2), "ABCDE");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t(-1), 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(uint8_t(0xE0), 8), "000000E0");
}

TEST(SysUtilsNumbers, FloatTextBothWays)
{
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(100), "100");
    EXPECT_EQ(FloatToStr(0), "0");
    EXPECT_EQ(FloatToStr(-2.25), "-2.25");
    EXPECT_EQ(FloatToStr(1e14), "100000000000000");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(-1.5e-7), "-1.5E-7");
    EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(FloatToStr(14.195), "14.195");
    EXPECT_EQ(FloatToStr(999999999999999.9), "1E15"); // rounding carries into a new digit
    EXPECT_EQ(FloatToStrPrec(1.0 / 3, 7), "0.3333333");
    EXPECT_EQ(FloatToStrPrec(123456789, 7), "1.234568E8");
    EXPECT_EQ(FloatToStrPrec(0.1, 18), "0.1");
    EXPECT_EQ(FloatToStrPrec(0.1 + 0.2, 18), "0.30000000000000004");
    EXPECT_EQ(FloatToStr(NAN), "NAN");
    EXPECT_EQ(FloatToStr(-INFINITY), "-INF");

    EXPECT_DOUBLE_EQ(StrToFloat(" 14.195 "), 14.195);
    EXPECT_DOUBLE_EQ(StrToFloat("-1E3"), -1000);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("1e-400"), 0.0);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1,5", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("inf", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("nan", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("0x10", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1e999", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("", -1), -1);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1e", -1), -1);
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(".", v));
    EXPECT_THROW(StrToFloat("abc"), EConvertError);
}

TEST(SysUtilsNumbers, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(MulDiv(5, 96, 96), 5);
    EXPECT_EQ(MulDiv(5, 600, 96), 31);   // 31.25
    EXPECT_EQ(MulDiv(1, 3, 2), 2);       // 1.5
    EXPECT_EQ(MulDiv(-1, 3, 2), -2);     // -1.5
    EXPECT_EQ(MulDiv(1, -3, 2), -2);
    EXPECT_EQ(MulDiv(1, 3, -2), -2);
    EXPECT_EQ(MulDiv(-1, 3, -2), 2);
    EXPECT_EQ(MulDiv(-5, 1, 4), -1);     // -1.25
    EXPECT_EQ(MulDiv(7, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX); // 64-bit intermediate
    EXPECT_EQ(MulDiv(INT_MAX, 4, 2), -1);                  // result does not fit
}

TEST(SysUtilsFormat, Table)
{
    EXPECT_EQ(Format(" (win error code: %d)", {5}), " (win error code: 5)");
    EXPECT_EQ(Format("\x1b[%d;%df", {3, 14}), "\x1b[3;14f");
    EXPECT_EQ(Format("%i|%u|%u", {-7, 7u, -1}), "-7|7|4294967295");
    EXPECT_EQ(Format("%x %X %x", {255, 255, int64_t(-1)}), "ff FF ffffffffffffffff");
    EXPECT_EQ(Format("%02d:%02d", {5, 123}), "05:123");
    EXPECT_EQ(Format("%.2d|%05d|%-5d|%5d", {7, -42, 3, -3}), "07|-0042|3    |   -3");
    EXPECT_EQ(Format("%.3x", {10}), "00a");
    EXPECT_EQ(Format("[%s][%5s][%-5s][%.2s]", {"ab", "ab", std::string("ab"), "abcdef"}), "[ab][   ab][ab   ][ab]");
    EXPECT_EQ(Format("%c%c%s", {'O', 75, 'x'}), "OKx");
    EXPECT_EQ(Format("%f|%.1f|%.0f|%8.3f", {1.5, 1.25, 2.5, -3.14159}), "1.500000|1.2|2|  -3.142");
    EXPECT_EQ(Format("%06.2f", {-1.5}), "-01.50");
    EXPECT_EQ(Format("%e|%.2E", {12345.678, 0.000125}), "1.234568e+04|1.25E-04");
    EXPECT_EQ(Format("%g|%g|%G", {0.0001, 1e20, 1e-5}), "0.0001|1e+20|1E-05");
    EXPECT_EQ(Format("%.1f", {3}), "3.0"); // integers widen to a float directive
    EXPECT_EQ(Format("100%% %s", {"done"}), "100% done");
    EXPECT_EQ(Format("%*d|%-*d|%.*f", {4, 1, 3, 2, 1, 0.25}), "   1|2  |0.2");
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%s", {static_cast<const char*>(nullptr)}), "");
    EXPECT_EQ(Format("plain", {1, 2}), "plain");
    EXPECT_EQ(Format("%d", {uint8_t(200)}), "200");
}

TEST(SysUtilsFormat, MismatchesRaiseInsteadOfCrashing)
{
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%d", {1.5}), EConvertError);
    EXPECT_THROW(Format("%s", {42}), EConvertError);
    EXPECT_THROW(Format("%f", {"1.5"}), EConvertError);
    EXPECT_THROW(Format("%c", {0.5}), EConvertError);
    EXPECT_THROW(Format("%d %d", {1}), EConvertError);
    EXPECT_THROW(Format("%d", {}), EConvertError);
    EXPECT_THROW(Format("%q", {1}), EConvertError);
    EXPECT_THROW(Format("50%", {1}), EConvertError);
    EXPECT_THROW(Format("%*d", {"x", 1}), EConvertError);
    EXPECT_THROW(Format("%999999999d", {1}), EConvertError);
    EXPECT_THROW(Format("%5:d", {1}), EConvertError);
    try {
        Format("%d", {});
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "No argument for format '%d'");
    }
    try {
        RaiseFmt<EInOutError>("Cannot open %s", {"x.ini"});
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message, "Cannot open x.ini");
    }
}

TEST(SysUtilsFormat, NumbersIgnoreTheProcessLocale)
{
    std::string old = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(Format("%.1f", {1.5}), "1.5");
    // The build generates a German locale beside the tests (the machine may have none).
    const char* dir = std::getenv("QM_LOCALE_DIR");
    ASSERT_NE(dir, nullptr) << "QM_LOCALE_DIR names the tests' locale folder";
    const char* oldPath = std::getenv("LOCPATH");
    std::string savedPath = oldPath ? oldPath : "";
    setenv("LOCPATH", dir, 1);
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    ASSERT_NE(german, nullptr) << "no German locale in " << dir;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5"); // the C library does follow the locale...
    EXPECT_EQ(Format("%.1f|%g|%e", {1.5, 2.5, 1.5}), "1.5|2.5|1.500000e+00"); // ...ours does not
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloatDef("1,5", -1), -1);
    std::setlocale(LC_ALL, old.c_str());
    if (oldPath)
        setenv("LOCPATH", savedPath.c_str(), 1);
    else
        unsetenv("LOCPATH");
}

TEST(SysUtilsFormat, TheShortDateIsTheLocales)
{
    const char* dir = std::getenv("QM_LOCALE_DIR");
    ASSERT_NE(dir, nullptr) << "QM_LOCALE_DIR names the tests' locale folder";
    const std::string savedFormat = ShortDateFormat;
    const char savedSeparator = DateSeparator;
    const char* oldPath = std::getenv("LOCPATH");
    const char* oldAll = std::getenv("LC_ALL");
    const std::string savedPath = oldPath ? oldPath : "", savedAll = oldAll ? oldAll : "";
    setenv("LOCPATH", dir, 1);
    const TDateTime march9 = EncodeDate(2024, 3, 9);
    for (const auto& [locale, date] : {std::pair<const char*, const char*>{"C", "03/09/24"},
                                       {"de_DE.UTF-8", "09.03.2024"}}) {
        setenv("LC_ALL", locale, 1);
        GetFormatSettings();
        EXPECT_EQ(DateToStr(march9), date) << locale;
    }
    ShortDateFormat = savedFormat;
    DateSeparator = savedSeparator;
    for (auto [name, old, saved] : {std::tuple{"LOCPATH", oldPath, savedPath}, std::tuple{"LC_ALL", oldAll, savedAll}}) {
        if (old)
            setenv(name, saved.c_str(), 1);
        else
            unsetenv(name);
    }
}

TEST(SysUtilsFiles, PathHelpersAcceptBothSeparators)
{
    using Cases = std::initializer_list<std::pair<const char*, const char*>>;
    auto expectEach = [](std::string (*fn)(const std::string&), const char* what, Cases cases) {
        for (const auto& [path, result] : cases)
            EXPECT_EQ(fn(path), result) << what << " of " << path;
    };
    expectEach(ExtractFileName, "name",
               {{"/a/b/c.txt", "c.txt"}, {"C:\\dir\\file.csv", "file.csv"}, {"a/b\\c", "c"}, {"plain", "plain"}, {"dir/", ""}});
    expectEach(ExtractFilePath, "path", {{"/a/b/c.txt", "/a/b/"}, {"x\\y.txt", "x\\"}, {"y.txt", ""}});
    expectEach(ExtractFileDir, "dir", {{"/a/b/c.txt", "/a/b"}, {"x\\y.txt", "x"}, {"/c.txt", "/"}});
    expectEach(ExtractFileExt, "ext", {{"/a.b/c.TXT", ".TXT"}, {"/a.b/c", ""}, {"a.b\\c", ""}, {"archive.tar.gz", ".gz"}});
    EXPECT_EQ(ChangeFileExt("/a.b/c", ".ini"), "/a.b/c.ini");
    EXPECT_EQ(ChangeFileExt("d\\chan.csv", ".vyx"), "d\\chan.vyx");
    EXPECT_EQ(ChangeFileExt("x.csv", ""), "x");
    expectEach(IncludeTrailingPathDelimiter, "with delimiter",
               {{"/tmp", "/tmp/"}, {"/tmp/", "/tmp/"}, {"c:\\x\\", "c:\\x\\"}, {"", ""}});
    expectEach(ExcludeTrailingPathDelimiter, "without delimiter", {{"/tmp\\", "/tmp"}, {"/", "/"}});
}

TEST(SysUtilsFiles, FileSystemCalls)
{
    const std::string root = commontest::MakeTempDir("qm_sysutils");
    ASSERT_FALSE(root.empty());
    const std::string deep = root + "/one/two/three";
    EXPECT_FALSE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep + "/"));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_FALSE(ForceDirectories(""));
    EXPECT_FALSE(FileExists(deep)); // a folder is not a file

    const std::string a = root + "/a.txt", b = root + "/b.txt";
    std::ofstream(a) << "A";
    std::ofstream(b) << "B";
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(FileGetAttr(a) & faDirectory, 0);
    EXPECT_NE(FileGetAttr(root) & faDirectory, 0);
    EXPECT_EQ(FileGetAttr(root + "/none"), -1);
    EXPECT_FALSE(RenameFile(a, b)); // an existing target is kept
    std::ifstream in(b);
    std::string content;
    in >> content;
    EXPECT_EQ(content, "B");
    EXPECT_TRUE(DeleteFile(b));
    EXPECT_FALSE(DeleteFile(b));
    EXPECT_TRUE(RenameFile(a, b));
    EXPECT_FALSE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
    EXPECT_FALSE(DeleteFile(deep)); // folders are not removed this way

    EXPECT_EQ(ExpandFileName(root + "/one/./two/../x.txt"), root + "/one/x.txt");
    EXPECT_EQ(ExpandFileName("/a//b/../../.."), "/");
    const std::string cwd = GetCurrentDir();
    ASSERT_EQ(chdir(root.c_str()), 0);
    EXPECT_EQ(ExpandFileName("one/z"), ExpandFileName(root) + "/one/z");
    ASSERT_EQ(chdir(cwd.c_str()), 0);
    EXPECT_EQ(GetCurrentDir(), cwd);

    EXPECT_TRUE(DeleteFile(b));
    for (const char* d : {"/one/two/three", "/one/two", "/one", ""})
        ASSERT_EQ(rmdir((root + d).c_str()), 0) << d;
}

TEST(SysUtilsFiles, CommandLine)
{
    char a0[] = "prog", a1[] = "-x", a2[] = "file name.vyx";
    char* argv[] = {a0, a1, a2};
    SetCommandLine(3, argv);
    EXPECT_EQ(ParamCount(), 2);
    EXPECT_EQ(ParamStr(1), "-x");
    EXPECT_EQ(ParamStr(2), "file name.vyx");
    EXPECT_EQ(ParamStr(3), "");
    EXPECT_EQ(ParamStr(-1), "");
    const std::string self = ParamStr(0);
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self[0], '/');
    EXPECT_TRUE(FileExists(self));
    EXPECT_EQ(ExecutablePath(), ExtractFilePath(self));
    EXPECT_EQ(ExecutablePath().back(), '/');
}

TEST(Cp1252Text, AllBytesRoundTripThroughUtf8)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp1252ToUtf8("\x81\x9F\xA0\xE9"), "\xC2\x81\xC5\xB8\xC2\xA0\xC3\xA9");
    EXPECT_EQ(Cp1252ToUnicode(0x9D), U'\x9D');
    EXPECT_EQ(Cp1252ToUnicode(0x99), U'\u2122');
}

TEST(Cp1252Text, UnmappableAndInvalidInputBecomesQuestionMarks)
{
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC 5"), "\x80 5");
    EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");           // U+0080 has no code: 0x80 is the euro
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD|\xF0\x9F\x98\x80"), "?|?");
    EXPECT_EQ(Utf8ToCp1252("a\xFF" "b"), "a?b");
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");               // cut short at the end
    EXPECT_EQ(Utf8ToCp1252("\xC3" "A"), "?A");          // a lead byte does not swallow ASCII
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");          // overlong "/"
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");     // surrogate
}

TEST(SysUtilsDateTime, EncodeDecodeAndFormat)
{
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_DOUBLE_EQ(EncodeDate(2000, 3, 1), 36586);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2024, 13, 1), EConvertError);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));

    for (int y : {1, 1600, 1899, 1900, 2000, 2024, 9999}) {
        for (int m : {1, 2, 12}) {
            uint16_t yy, mm, dd;
            int last = m == 2 ? ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0 ? 29 : 28) : 31;
            DecodeDate(EncodeDate(y, m, last), yy, mm, dd);
            EXPECT_EQ(yy, y);
            EXPECT_EQ(mm, m);
            EXPECT_EQ(dd, last);
        }
    }

    const TDateTime dt = EncodeDate(2024, 3, 9) + EncodeTime(7, 5, 3, 999);
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy", dt), "09/03/2024");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd", dt), "2024-03-09");
    EXPECT_EQ(FormatDateTime("hh:nn:ss", dt), "07:05:03");
    EXPECT_EQ(FormatDateTime("ddddd", dt), "09/03/2024");
    EXPECT_EQ(FormatDateTime("h:mm zzz", dt), "7:05 999");
    EXPECT_EQ(FormatDateTime("ddd d mmm yy 'at' h am/pm", dt), "Sat 9 Mar 24 at 7 am");
    EXPECT_EQ(DateToStr(dt), "09/03/2024");
    EXPECT_EQ(TimeToStr(dt), "07:05:03");
    EXPECT_EQ(DateTimeToStr(dt), "09/03/2024 07:05:03");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 9)), "09/03/2024");
    EXPECT_EQ(TimeToStr(EncodeDate(2024, 3, 9) + 0.99999999999), "00:00:00"); // rounds to midnight
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 9) + 0.99999999999), "10/03/2024");
    EXPECT_EQ(DateTimeToStr(-1.25), "29/12/1899 06:00:00"); // negative dates keep a positive time

    const TDateTime now = Now();
    EXPECT_GT(now, EncodeDate(2020, 1, 1));
    EXPECT_LT(now, EncodeDate(2200, 1, 1));
}
