// The user's files as the settings store and the file association replace them, and the
// folder channel files start in.
#include "common/TempFolder.h"
#include "platform/FileAssociation.h"
#include "platform/Files.h"
#include "platform/WinReg.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::perms Mode(const std::string& path) { return fs::status(path).permissions() & fs::perms::all; }

// Writes "new contents" over the file in a child process that first runs prepare, which may
// take away rights for good.
::testing::AssertionResult ReplacedInChild(const std::string& file, const std::function<bool()>& prepare)
{
    const pid_t child = ::fork();
    if (child < 0)
        return ::testing::AssertionFailure() << "no child process";
    if (child == 0) {
        if (!prepare())
            ::_exit(2);
        ::_exit(ReplaceFileContents(file, "new contents", 0666) ? 0 : 3);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "the save failed: status " << status;
    return ::testing::AssertionSuccess();
}

// Makes every later call of one system call in this process fail with the error, as a file
// system refuses it: a seccomp filter, for a child process of a test.
bool RefuseSystemCall(long number, int error)
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

class UserFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.Made());
        root_ = folder_.Path();
        oldMask_ = ::umask(077);
    }
    void TearDown() override { ::umask(oldMask_); }
    commontest::TempFolder folder_{"qm-files"};
    std::string root_;
    mode_t oldMask_ = 0;
};

} // namespace

// Dotfiles kept elsewhere and linked in stay linked: the linked file is what changes, and
// it keeps its mode; a file made new gets what the umask allows. A damaged settings file
// is rewritten the same way.
TEST_F(UserFiles, SettingsAndAssociationWriteThroughLinksAndKeepModes)
{
    const std::string config = root_ + "/config", dotfiles = root_ + "/dotfiles";
    fs::create_directories(config + "/quillmere");
    fs::create_directories(dotfiles);
    const std::string settings = "[Software\\Old]\n\"V\"=sz:\"1\"\n\"Cut\"=dword:1\n";
    std::ofstream(dotfiles + "/registry.txt") << settings;
    std::ofstream(dotfiles + "/mimeapps.list") << "[Default Applications]\ntext/plain=editor.desktop;\n";
    fs::permissions(dotfiles + "/registry.txt", fs::perms(0640));
    fs::permissions(dotfiles + "/mimeapps.list", fs::perms(0600));
    fs::create_symlink(dotfiles + "/registry.txt", config + "/quillmere/registry.txt");
    fs::create_symlink("../dotfiles/mimeapps.list", config + "/mimeapps.list");

    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string oldConfig = old ? old : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    RegistrySetInMemory(false);
    RegistryReload();
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              0);
    RegCloseKey(k);
    RegistrySetInMemory(true);
    old ? setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");

    XdgFolders folders{root_ + "/data", config, {}, {}};
    ASSERT_TRUE(FileAssociation(folders, nullptr).Register("/opt/quillmere/quillmere"));

    // Its damaged line was left out, and the file as it was kept beside the link.
    EXPECT_TRUE(fs::is_symlink(config + "/quillmere/registry.txt"));
    EXPECT_EQ(commontest::ReadFileText(config + "/quillmere/registry.txt.damaged"), settings);
    EXPECT_EQ(commontest::ReadFileText(dotfiles + "/registry.txt").find("Cut"), std::string::npos);
    EXPECT_NE(commontest::ReadFileText(dotfiles + "/registry.txt").find("[Software\\New]"), std::string::npos);
    EXPECT_NE(commontest::ReadFileText(dotfiles + "/registry.txt").find("[Software\\Old]"), std::string::npos);
    EXPECT_EQ(Mode(dotfiles + "/registry.txt"), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(config + "/mimeapps.list"));
    EXPECT_NE(commontest::ReadFileText(dotfiles + "/mimeapps.list").find("quillmere.desktop"), std::string::npos);
    EXPECT_EQ(Mode(dotfiles + "/mimeapps.list"), fs::perms(0600));
    EXPECT_EQ(Mode(folders.DataHome + "/applications/quillmere.desktop"), fs::perms(0600));
    EXPECT_EQ(std::distance(fs::directory_iterator(dotfiles), fs::directory_iterator()), 2) << "no temporary files";
}

// An installed program's folder is not the user's to write in: channel files then start in
// the documents folder, or at home when there is none. Run as an ordinary user, since the
// superuser may write anywhere.
TEST_F(UserFiles, ChannelFilesStartWhereTheUserMayWrite)
{
    const std::string program = root_ + "/opt", home = root_ + "/home";
    fs::create_directories(program);
    fs::create_directories(home);
    fs::permissions(root_, fs::perms(0755));
    fs::permissions(program, fs::perms(0555));
    fs::permissions(home, fs::perms(0777));
    struct Case {
        std::string programFolder;
        bool documents;
        std::string expected;
    } cases[] = {{home + "/", false, home + "/"},
                 {program + "/", true, home + "/Documents/"},
                 {program + "/", false, home + "/"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.programFolder + (c.documents ? " with documents" : ""));
        fs::remove_all(home + "/Documents");
        if (c.documents)
            fs::create_directory(home + "/Documents");
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(2);
            setenv("HOME", home.c_str(), 1);
            setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
            unsetenv("XDG_DOCUMENTS_DIR");
            const std::string folder = DefaultChannelFolder(c.programFolder);
            ::_exit(::write(pipeFds[1], folder.data(), folder.size()) == ssize_t(folder.size()) ? 0 : 3);
        }
        ::close(pipeFds[1]);
        std::string got;
        char buf[512];
        for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
            got.append(buf, size_t(n));
        ::close(pipeFds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(got, c.expected);
    }
}

// Two processes replace one file 1,000 times each while a third reads it: every read finds
// one save whole, every save reports success and the last one is what stays, and a file of
// the user's that has the name an older save used for its temporary file is left alone.
TEST_F(UserFiles, TwoWritersNeverBreakEachOtherOrAReader)
{
    const std::string file = root_ + "/keep.vyx";
    std::ofstream(file + ".tmp") << "the user's own";
    constexpr size_t size = 8192;
    constexpr int saves = 1000;
    auto contents = [](char who, int i) {
        std::string text = std::string(1, who) + ":" + std::to_string(i) + ":";
        return text + std::string(size - text.size(), who);
    };
    ASSERT_TRUE(ReplaceFileContents(file, contents('A', 0), 0666));
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            for (int i = 1; i <= saves; ++i)
                if (!ReplaceFileContents(file, contents(char('A' + w), i), 0666))
                    ::_exit(1);
            ::_exit(0);
        }
    }
    int reads = 0, broken = 0, running = 2;
    for (int status = 0; running > 0; ++reads) {
        const std::string seen = commontest::ReadFileText(file);
        if (seen.size() != size || (seen[0] != 'A' && seen[0] != 'B') ||
            seen.find_first_not_of(seen[0], seen.rfind(':') + 1) != std::string::npos)
            ++broken;
        for (pid_t& w : writers)
            if (w > 0 && ::waitpid(w, &status, WNOHANG) == w) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
                w = 0;
                --running;
            }
    }
    EXPECT_EQ(broken, 0) << "of " << reads << " reads";
    const std::string last = commontest::ReadFileText(file);
    EXPECT_TRUE(last == contents('A', saves) || last == contents('B', saves));
    EXPECT_EQ(commontest::ReadFileText(file + ".tmp"), "the user's own");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 2) << "no temporary files";
}

// A file the user may write in a folder the user may not: no temporary file can go beside
// it, so it is rewritten in place, and a shorter text leaves nothing of the longer one. Run
// as an ordinary user, since the superuser may write anywhere.
TEST_F(UserFiles, WritableFileInAFolderOfAnotherUserIsRewrittenInPlace)
{
    const std::string folder = root_ + "/shared", file = folder + "/club.vyx";
    fs::create_directories(folder);
    std::ofstream(file) << std::string(5000, 'o');
    fs::permissions(root_, fs::perms(0755));
    fs::permissions(file, fs::perms(0666));
    fs::permissions(folder, fs::perms(0555));
    EXPECT_TRUE(ReplacedInChild(
        file, [] { return ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0); }));
    EXPECT_EQ(commontest::ReadFileText(file), "new contents");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::permissions(folder, fs::perms(0755));
}

// A save killed before its rename leaves its temporary file; the next save of that file
// removes it, even under a name so long that the temporary names are cut, while the file of
// a save whose process still lives stays, as does a user's own "<file>.tmp".
TEST_F(UserFiles, LeftoversOfDeadSavesGoAtTheNextSaveAndLiveOnesStay)
{
    const std::string file = root_ + "/" + std::string(251, 'n') + ".vyx";
    ASSERT_TRUE(ReplaceFileContents(file, "first", 0666));
    std::ofstream(root_ + "/n.vyx.tmp") << "the user's own";
    auto entries = [&] { return std::distance(fs::directory_iterator(root_), fs::directory_iterator()); };
    // Each save is cut short by a file size limit: the first stops there, the second dies.
    auto cutShort = [&](void (*onLimit)(int)) {
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit limit{4096, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, onLimit);
            ReplaceFileContents(file, std::string(65536, 'x'), 0666);
            ::_exit(0);
        }
        return child;
    };
    int status = 0;
    const pid_t stopped = cutShort([](int) { ::raise(SIGSTOP); });
    ASSERT_GT(stopped, 0);
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                ::waitpid(pid, nullptr, 0);
        }
    } reaper{stopped};
    ASSERT_EQ(::waitpid(stopped, &status, WUNTRACED), stopped);
    ASSERT_TRUE(WIFSTOPPED(status)) << status;
    const pid_t dead = cutShort(SIG_DFL);
    ASSERT_EQ(::waitpid(dead, &status, 0), dead);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    ASSERT_EQ(entries(), 4);

    ASSERT_TRUE(ReplaceFileContents(file, "second", 0666));
    EXPECT_EQ(commontest::ReadFileText(file), "second");
    EXPECT_EQ(entries(), 3) << "the dead save's file is gone, the stopped one's stays";

    ASSERT_EQ(::kill(stopped, SIGKILL), 0);
    ASSERT_EQ(::waitpid(stopped, &status, 0), stopped);
    reaper.pid = 0;
    ASSERT_TRUE(ReplaceFileContents(file, "third", 0666));
    EXPECT_EQ(commontest::ReadFileText(file), "third");
    EXPECT_EQ(commontest::ReadFileText(root_ + "/n.vyx.tmp"), "the user's own");
    EXPECT_EQ(entries(), 2);
}

// A file system that keeps no modes (FAT, some network and FUSE mounts) refuses fchmod even
// on the user's own new file. The save there still replaces the file whole, as anywhere
// else, and says it succeeded.
TEST_F(UserFiles, FileSystemWithoutModesGetsTheWholeReplaceToo)
{
    const std::string file = root_ + "/stick.vyx";
    for (int error : {EPERM, ENOSYS}) {
        SCOPED_TRACE(error);
        std::ofstream(file, std::ios::trunc) << std::string(3000, 'o');
        struct stat before {};
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
        EXPECT_TRUE(ReplacedInChild(file, [error] { return RefuseSystemCall(SYS_fchmod, error); }));
        EXPECT_EQ(commontest::ReadFileText(file), "new contents");
        struct stat after {};
        ASSERT_EQ(::stat(file.c_str(), &after), 0);
        EXPECT_NE(after.st_ino, before.st_ino) << "rewritten in place instead of replaced";
        EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1) << "no temporary files";
    }
}
