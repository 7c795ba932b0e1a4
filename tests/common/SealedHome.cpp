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
    using fs::perms;
    // Tests that act as another user (a child process that drops root) reach their own
    // folders in the temporary folder, which others may pass through but not list.
    const perms passable = perms::owner_all | perms::group_exec | perms::others_exec;
    struct Dir { const char* var; const char* sub; perms mode; };
    const Dir dirs[] = {
        {"HOME", "home", perms::owner_all},
        {"XDG_CONFIG_HOME", "home/.config", perms::owner_all},
        {"XDG_DATA_HOME", "home/.local/share", perms::owner_all},
        {"XDG_STATE_HOME", "home/.local/state", perms::owner_all},
        {"XDG_CACHE_HOME", "home/.cache", perms::owner_all},
        {"XDG_RUNTIME_DIR", "runtime", perms::owner_all},
        {"TMPDIR", "tmp", passable},
    };
    fs::permissions(root, passable, fs::perm_options::replace);
    for (const Dir& d : dirs) {
        const fs::path p = root / d.sub;
        fs::create_directories(p);
        fs::permissions(p, d.mode, fs::perm_options::replace);
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
