// Every test program runs in a home of its own: whatever the machine's user keeps in the home
// folder (settings, desktop files, caches, half-written stores of an earlier run) is never
// read, and nothing a test writes lands outside the folder made here. The system's messages
// are in English whatever the user's language, and a test that hangs ends the program.
#include "common/Watchdog.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

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

// Tests compare the system's own texts (error texts of the C library, a print server's
// answers) with English ones: the messages are the C locale's whatever the user's language,
// while every other part of the user's locale stays, so that still gets tested. Tests of
// translation choose their language themselves.
void SpeakEnglish()
{
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        const std::string locale = all;
        for (const char* category : {"LC_CTYPE", "LC_NUMERIC", "LC_TIME", "LC_COLLATE", "LC_MONETARY", "LC_PAPER",
                                     "LC_NAME", "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"})
            setenv(category, locale.c_str(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_MESSAGES", "C", 1);
    unsetenv("LANGUAGE");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int SlowBuild = 3;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr int SlowBuild = 3;
#else
constexpr int SlowBuild = 1;
#endif
#else
constexpr int SlowBuild = 1;
#endif

// Asks the programs this one started (a test's servers) to end, so none outlives it.
void EndChildren()
{
    const std::string self = std::to_string(getpid());
    DIR* proc = opendir("/proc");
    if (!proc)
        return;
    while (dirent* e = readdir(proc)) {
        const std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream stat("/proc/" + pid + "/stat");
        std::string line;
        std::getline(stat, line);
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const std::size_t close = line.rfind(')');
        std::string state, ppid;
        if (close == std::string::npos)
            continue;
        std::istringstream rest(line.substr(close + 1));
        if (rest >> state >> ppid && ppid == self)
            kill(std::stoi(pid), SIGTERM);
    }
    closedir(proc);
}

// Ends the program when a test has run past its time, naming the test: a wait that never
// ends would otherwise hold the whole run until an outer time limit, saying nothing.
class Watchdog : public testing::EmptyTestEventListener {
public:
    static constexpr int DefaultSeconds = 60;

    explicit Watchdog(std::filesystem::path root) : root_(std::move(root)), thread_([this] { Watch(); }) {}
    ~Watchdog() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    static Watchdog*& Current()
    {
        static Watchdog* current = nullptr;
        return current;
    }

    void Allow(int seconds)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (test_.empty())
            return;
        seconds_ = std::max(seconds_, seconds);
        deadline_ = started_ + std::chrono::seconds(seconds_ * SlowBuild);
        wake_.notify_all();
    }

private:
    // CTest runs a long program in shards, each its share of the tests; the share is taken by
    // now. A test that starts this program again for a test it names wants that one run.
    void OnTestProgramStart(const testing::UnitTest&) override
    {
        unsetenv("GTEST_TOTAL_SHARDS");
        unsetenv("GTEST_SHARD_INDEX");
    }

    void OnTestStart(const testing::TestInfo& info) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        test_ = std::string(info.test_suite_name()) + "." + info.name();
        seconds_ = DefaultSeconds;
        started_ = std::chrono::steady_clock::now();
        deadline_ = started_ + std::chrono::seconds(seconds_ * SlowBuild);
        wake_.notify_all();
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        test_.clear();
    }

    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (test_.empty())
                wake_.wait(lock);
            else if (std::chrono::steady_clock::now() < deadline_)
                wake_.wait_until(lock, deadline_);
            else
                Fire();
        }
    }

    [[noreturn]] void Fire()
    {
        std::fflush(stdout);
        std::fprintf(stderr, "\n%s has run for more than %d s and does not end: the test program is stopped.\n",
                     test_.c_str(), seconds_ * SlowBuild);
        std::fflush(stderr);
        EndChildren();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        std::_Exit(124);
    }

    const std::filesystem::path root_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::string test_;
    int seconds_ = DefaultSeconds;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

} // namespace

namespace commontest {

void AllowTestSeconds(int seconds)
{
    if (Watchdog* dog = Watchdog::Current())
        dog->Allow(seconds);
}

} // namespace commontest

int main(int argc, char** argv)
{
    const std::filesystem::path root = MakeSealedRoot();
    Seal(root);
    SpeakEnglish();
    testing::InitGoogleTest(&argc, argv);
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    auto* dog = new Watchdog(root);
    Watchdog::Current() = dog;
    listeners.Append(dog);
    const int rc = RUN_ALL_TESTS();
    listeners.Release(dog);
    Watchdog::Current() = nullptr;
    delete dog;
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return rc;
}
