#include "framework/Resources.h"

#include "framework/FormCheck.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

void RegisterEmbeddedResources_framework_tests();

namespace {

TEST(Resources, RegistryFindsByNameIgnoringCaseAndReplaces)
{
    static const uint8_t first[] = {1, 2, 3};
    static const uint8_t second[] = {9};
    RegisterResource("Sample", first, sizeof first);
    auto r = FindResource("SAMPLE");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->Data, first);
    EXPECT_EQ(r->Size, 3u);
    RegisterResource("sample", second, sizeof second);
    EXPECT_EQ(FindResource("Sample")->Data, second);
    UnregisterResource("SAMPLE");
    EXPECT_FALSE(FindResource("Sample").has_value());
    EXPECT_FALSE(FindResource("").has_value());
}

TEST(Resources, EmbeddedFilesKeepTheirExactBytes)
{
    RegisterEmbeddedResources_framework_tests();
    auto path = SourceRoot() / "tests" / "resources" / "forms" / "Blob.bin";
    std::ifstream in(path, std::ios::binary);
    std::string disk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(disk.size(), 260u) << path;
    auto blob = FindResource("BLOB");
    ASSERT_TRUE(blob.has_value());
    EXPECT_EQ(std::string(blob->Text()), disk) << "NUL and high bytes survive embedding";
    auto form = FindResource("TestDialog");
    ASSERT_TRUE(form.has_value());
    EXPECT_EQ(form->Name, "TESTDIALOG");
    EXPECT_EQ(form->Data[form->Size], 0) << "text blobs are NUL-terminated";
}

} // namespace
