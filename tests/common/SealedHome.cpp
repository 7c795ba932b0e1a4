// Every test program runs in a home of its own: whatever the machine's user keeps in the home
// folder (settings, desktop files, caches, half-written stores of an earlier run) is never
// read, and nothing a test writes lands outside the folder made here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

std::filesystem::path MakeSealedRoot()
{
    std::string base = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        base = tmp;
    std::string pattern = base + "/quillmere-tests-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("tests: cannot make a temporary home");
        std::exit(2);
    }
    return pattern;
}

void Seal(const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    struct Dir { const char* var; const char* sub; };
    static const Dir dirs[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "home/.config"},
        {"XDG_DATA_HOME", "home/.local/share"},
        {"XDG_STATE_HOME", "home/.local/state"},
        {"XDG_CACHE_HOME", "home/.cache"},
        {"XDG_RUNTIME_DIR", "runtime"},
        {"TMPDIR", "tmp"},
    };
    for (const Dir& d : dirs) {
        const fs::path p = root / d.sub;
        fs::create_directories(p);
        fs::permissions(p, fs::perms::owner_all, fs::perm_options::replace);
        setenv(d.var, p.c_str(), 1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path root = MakeSealedRoot();
    Seal(root);
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return rc;
}
