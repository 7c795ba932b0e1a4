#pragma once
// A test's own folder in the test program's temporary folder, and whole-file reads and writes
// for checking what lands there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace commontest {

// A new folder named after name in the temporary folder (TMPDIR, which every test program's
// sealed home sets); empty when it cannot be made.
inline std::string MakeTempDir(const std::string& name)
{
    std::error_code ec;
    std::string path = (std::filesystem::temp_directory_path(ec) / (name + "-XXXXXX")).string();
    return !ec && ::mkdtemp(path.data()) ? path : std::string();
}

// Made when constructed; removed with all it holds (even a folder left read-only) when destroyed.
class TempFolder {
public:
    explicit TempFolder(const std::string& name) : path_(MakeTempDir(name)) {}
    ~TempFolder()
    {
        if (path_.empty())
            return;
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Made() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A fixture whose every test has such a folder; a test does not run without it.
class TempFolderTest : public ::testing::Test {
protected:
    explicit TempFolderTest(const std::string& name) : folder_(name) {}
    void SetUp() override { ASSERT_TRUE(folder_.Made()); }

    TempFolder folder_;
};

inline std::string ReadFileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFileText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace commontest
