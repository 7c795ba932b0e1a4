#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/Classes.h"

namespace {
std::vector<std::string> Lines(const TStrings& s)
{
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i)
        out.push_back(s[i]);
    return out;
}
using V = std::vector<std::string>;
} // namespace

TEST(StringListTest, CommaTextQuotingBothWays)
{
    struct Case {
        V items;
        std::string text;
    };
    const Case cases[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"a", "b"}, "a,b"},
        {{"a b"}, "\"a b\""},
        {{"a,b"}, "\"a,b\""},
        {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"a", "", "b"}, "a,,b"},
        {{"caf\xE9"}, "caf\xE9"}, // bytes above 127 are not control characters
        {{"x=1", "y=2 3"}, "x=1,\"y=2 3\""},
    };
    for (const Case& c : cases) {
        TStringList list;
        for (const auto& s : c.items)
            list.Add(s);
        EXPECT_EQ(list.CommaText(), c.text);
        TStringList back;
        back.SetCommaText(c.text);
        EXPECT_EQ(Lines(back), c.items) << c.text;
    }
}

TEST(StringListTest, CommaTextParsingRules)
{
    struct Case {
        std::string text;
        V items;
    };
    const Case cases[] = {
        {"a b", {"a", "b"}},             // blanks separate
        {"  a ,  b  ", {"a", "b"}},      // blanks around commas are dropped
        {"a,", {"a", ""}},               // a trailing comma gives an empty item
        {",a", {"", "a"}},
        {"a,,b", {"a", "", "b"}},
        {"\"a b\" c", {"a b", "c"}},
        {"\"unterminated", {"unterminated"}},
        {"\"a\"b", {"a", "b"}},
        {"\"\"\"\"", {"\""}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        TStringList list;
        list.Add("old");
        list.SetCommaText(c.text);
        EXPECT_EQ(Lines(list), c.items) << "[" << c.text << "]";
    }
}

TEST(StringListTest, DelimitedTextWithOwnDelimiterAndStrictness)
{
    TStringList list;
    list.SetDelimiter(';');
    list.SetQuoteChar('\'');
    list.SetDelimitedText("a b;'c;d';e");
    EXPECT_EQ(Lines(list), (V{"a", "b", "c;d", "e"}));
    list.SetStrictDelimiter(true);
    list.SetDelimitedText("a b; c;'x'");
    EXPECT_EQ(Lines(list), (V{"a b", " c", "x"}));
    EXPECT_EQ(list.DelimitedText(), "a b; c;x");
    list.Clear();
    list.Add("it's");
    list.Add("p;q");
    EXPECT_EQ(list.DelimitedText(), "'it''s';'p;q'");
    // CommaText stays with comma and double quote whatever the delimiter.
    EXPECT_EQ(list.CommaText(), "it's,p;q");
}

TEST(StringListTest, TextSplitsOnAnyLineBreak)
{
    TStringList list;
    list.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
    list.SetText("a\r\n");
    EXPECT_EQ(Lines(list), (V{"a"}));
    list.SetText("a\r\n\r\nb");
    EXPECT_EQ(Lines(list), (V{"a", "", "b"}));
    list.SetText("a\n\rb");
    EXPECT_EQ(Lines(list), (V{"a", "", "b"}));
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    list.SetText("x\ny");
    EXPECT_EQ(list.Text(), "x\r\ny\r\n");
}

TEST(StringListTest, SortedFindIgnoresCase)
{
    TStringList list;
    list.SetSorted(true);
    for (const char* s : {"delta", "Alpha", "charlie", "Bravo"})
        list.Add(s);
    EXPECT_EQ(Lines(list), (V{"Alpha", "Bravo", "charlie", "delta"}));
    int index = -1;
    EXPECT_TRUE(list.Find("CHARLIE", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find("beta", index));
    EXPECT_EQ(index, 1); // where it would go
    EXPECT_FALSE(list.Find("zulu", index));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(list.IndexOf("bravo"), 1);
    EXPECT_THROW(list.Insert(0, "x"), EStringListError);
    EXPECT_THROW(list.Put(0, "x"), EStringListError);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("bravo"), -1);
    EXPECT_EQ(Lines(list), (V{"Alpha", "Bravo", "charlie", "delta"}));
}

TEST(StringListTest, DuplicatesRules)
{
    TStringList list;
    list.SetSorted(true);
    list.Add("b");
    EXPECT_EQ(list.Add("B"), 0); // dupIgnore: the existing one's index
    EXPECT_EQ(list.Count(), 1);
    list.SetDuplicates(dupError);
    try {
        list.Add("b");
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "String list does not allow duplicates");
    }
    list.SetDuplicates(dupAccept);
    list.Add("b");
    list.Add("a");
    EXPECT_EQ(Lines(list), (V{"a", "b", "b"}));
    // An unsorted list takes duplicates whatever the setting.
    TStringList plain;
    plain.SetDuplicates(dupError);
    plain.Add("x");
    plain.Add("x");
    EXPECT_EQ(plain.Count(), 2);
}

TEST(StringListTest, NamesAndValues)
{
    TStringList list;
    list.Add("Port=COM1");
    list.Add("plain");
    list.Add("Baud=9600=fast");
    EXPECT_EQ(list.Names(0), "Port");
    EXPECT_EQ(list.Names(1), "");
    EXPECT_EQ(list.Values("port"), "COM1");
    EXPECT_EQ(list.Values("Baud"), "9600=fast");
    EXPECT_EQ(list.Values("plain"), "");
    EXPECT_EQ(list.ValueFromIndex(1), "");
    EXPECT_EQ(list.IndexOfName("BAUD"), 2);
    list.SetValue("Port", "COM2");
    EXPECT_EQ(list[0], "Port=COM2");
    list.SetValue("New", "1");
    EXPECT_EQ(list[3], "New=1");
    list.SetValue("Port", ""); // an empty value deletes the line
    EXPECT_EQ(list.IndexOfName("Port"), -1);
    EXPECT_EQ(list.Count(), 3);
    list.SetNameValueSeparator(':');
    list.Add("k:v");
    EXPECT_EQ(list.Values("K"), "v");

    // A sorted list keeps its order when a value is set.
    TStringList sorted;
    sorted.SetSorted(true);
    sorted.Add("b=2");
    sorted.SetValue("a", "1");
    sorted.SetValue("b", "3");
    EXPECT_EQ(Lines(sorted), (V{"a=1", "b=3"}));
}

TEST(StringListTest, IndexErrors)
{
    TStringList list;
    list.Add("only");
    for (int bad : {-1, 1}) {
        try {
            list.Strings(bad);
            FAIL();
        } catch (const EStringListError& e) {
            EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
        }
    }
    EXPECT_THROW(list.Delete(1), EStringListError);
    EXPECT_THROW(list.Objects(3), EStringListError);
    EXPECT_THROW(list.Insert(2, "x"), EStringListError);
    EXPECT_THROW(list.Exchange(0, 1), EStringListError);
    EXPECT_THROW(list.Move(0, 1), EStringListError);
    list.Insert(1, "end");
    EXPECT_EQ(list[1], "end");
}

TEST(StringListTest, ObjectsOwnershipAssignAndEquality)
{
    TStringList list;
    list.SetOwnsObjects(true);
    list.AddObject("a", new TStringList);
    list.AddObject("b", new TStringList);
    TStringList copy;
    copy.Assign(&list);
    EXPECT_TRUE(copy.Equals(&list));
    EXPECT_EQ(copy.Objects(1), list.Objects(1));
    EXPECT_EQ(copy.IndexOfObject(list.Objects(1)), 1);
    copy.Put(0, "A");
    EXPECT_FALSE(copy.Equals(&list));
    list.Delete(0); // frees its object (ASan checks there is no leak)
    copy.Clear();   // owns nothing
    list.Exchange(0, 0);
    list.AddObject("c", new TStringList);
    list.Move(1, 0);
    EXPECT_EQ(Lines(list), (V{"c", "b"}));
}

TEST(StringListTest, ChangeEventsAreHeldDuringUpdate)
{
    TStringList list;
    int changes = 0, changing = 0;
    list.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    list.OnChanging = TNotifyEvent([&](TObject*) { ++changing; });
    list.Add("a");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(changing, 1);
    list.BeginUpdate();
    list.Add("b");
    list.Add("c");
    EXPECT_EQ(changes, 1);
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    list.SetCommaText("x,y,z");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringListTest, CustomSortSeesIndexes)
{
    TStringList list;
    list.SetCommaText("10,9,100,1");
    list.CustomSort([](TStringList* l, int a, int b) {
        return std::stoi(l->Strings(a)) - std::stoi(l->Strings(b));
    });
    EXPECT_EQ(list.CommaText(), "1,9,10,100");
    list.Sort();
    EXPECT_EQ(list.CommaText(), "1,10,100,9");
}

TEST(StringListTest, FilesRoundTripAndMissingFileFails)
{
    std::string path = ::testing::TempDir() + "qm_strings_test.txt";
    TStringList list;
    list.SetCommaText("one,two,\xE9t\xE9");
    list.SaveToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "one\r\ntwo\r\n\xE9t\xE9\r\n");
    TStringList back;
    back.LoadFromFile(path);
    EXPECT_TRUE(back.Equals(&list));
    std::remove(path.c_str());
    EXPECT_THROW(back.LoadFromFile(path), EFOpenError);
    EXPECT_EQ(back.Count(), 3); // left as it was
}
