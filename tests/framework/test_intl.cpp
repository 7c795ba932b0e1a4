#include "platform/Intl.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <optional>

namespace {
// Runs each test with the test catalogs in language "xx" and no domains left from others.
class IntlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Save("LC_ALL", lcAll_);
        Save("LANGUAGE", language_);
        ::setenv("LC_ALL", "C.UTF-8", 1);
        InitTranslation();
        SetLocaleDirectory("");
        ClearDomains();
        UseLanguage("xx");
    }
    void TearDown() override
    {
        ClearDomains();
        Restore("LC_ALL", lcAll_);
        Restore("LANGUAGE", language_);
        std::setlocale(LC_MESSAGES, "");
    }

private:
    static void Save(const char* name, std::optional<std::string>& to)
    {
        const char* v = std::getenv(name);
        to = v ? std::optional<std::string>(v) : std::nullopt;
    }
    static void Restore(const char* name, const std::optional<std::string>& from)
    {
        if (from)
            ::setenv(name, from->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> lcAll_, language_;
};
} // namespace

TEST_F(IntlTest, DefaultDirectoryIsBesideTheExecutable)
{
    std::string dir = LocaleDirectory();
    ASSERT_GE(dir.size(), 7u);
    EXPECT_EQ(dir.substr(dir.size() - 7), "/locale");
    EXPECT_EQ(dir.front(), '/');
    SetLocaleDirectory("/somewhere/else");
    EXPECT_EQ(LocaleDirectory(), "/somewhere/else");
    SetLocaleDirectory("");
    EXPECT_EQ(LocaleDirectory(), dir);
}

TEST_F(IntlTest, TranslatesThroughAddedDomainsInOrder)
{
    EXPECT_EQ(Translate("Hello"), "Hello") << "no domain added yet";
    AddDomain("qmtest");
    AddDomain("qmtest2");
    EXPECT_EQ(Domains(), (std::vector<std::string>{"qmtest", "qmtest2"}));
    EXPECT_EQ(Translate("Hello"), "Hallo");
    EXPECT_EQ(_("Hello"), "Hallo");
    EXPECT_EQ(Translate("Both"), "Both from first");
    EXPECT_EQ(Translate("Only second"), "Nur zweite");
    // A translation equal to the msgid counts as none: the next domain is asked.
    EXPECT_EQ(Translate("Same"), "Same from second");
    EXPECT_EQ(Translate("Not in any catalog"), "Not in any catalog");
    // The empty msgid would otherwise give a catalog's header.
    EXPECT_EQ(Translate(""), "");
    EXPECT_EQ(DomainTranslate("qmtest", ""), "");

    // Adding a domain again keeps its place.
    AddDomain("qmtest");
    EXPECT_EQ(Domains(), (std::vector<std::string>{"qmtest", "qmtest2"}));
}

TEST_F(IntlTest, DomainOrderDecides)
{
    AddDomain("qmtest2");
    AddDomain("qmtest");
    EXPECT_EQ(Translate("Both"), "Both from second");
    EXPECT_EQ(DomainTranslate("qmtest", "Both"), "Both from first");
    EXPECT_EQ(DomainTranslate("qmtest2", "Hello"), "Hello");
}

TEST_F(IntlTest, TextsComeBackAsWindows1252)
{
    AddDomain("qmtest");
    EXPECT_EQ(Translate("Coffee"), "Caf\xE9 cr\xE8me");
    EXPECT_EQ(Translate("Open %s"), "%s \xF6" "ffnen");
}

TEST_F(IntlTest, LanguageCanBeSwitchedAtRunTime)
{
    AddDomain("qmtest");
    EXPECT_EQ(Translate("Hello"), "Hallo");
    UseLanguage("yy");
    EXPECT_EQ(Translate("Hello"), "Hej");
    UseLanguage("zz");
    EXPECT_EQ(Translate("Hello"), "Hello");
    UseLanguage("xx");
    EXPECT_EQ(Translate("Hello"), "Hallo");
}

TEST_F(IntlTest, MissingDirectoryLeavesTextsUntranslated)
{
    SetLocaleDirectory("/nonexistent/quillmere-locale");
    AddDomain("qmtest");
    EXPECT_EQ(Translate("Hello"), "Hello");
    SetLocaleDirectory("");
    AddDomain("qmtest");
    EXPECT_EQ(Translate("Hello"), "Hallo");
}
