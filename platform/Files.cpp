#include "platform/Files.h"

#include "platform/Services.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <vector>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The file a path finally names, its symbolic links followed; a dangling link gives the
// file it would name.
bool FollowLinks(std::string& path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0)
            return false;
        const std::string next(target, static_cast<size_t>(n));
        path = (fs::path(path).parent_path() / next).string();
    }
    errno = ELOOP;
    return false;
}

bool WriteAll(int fd, std::string_view data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0 || errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

namespace {

// A name beside the file that no other writer uses at the same time: O_EXCL on a random
// suffix, so two saves of one file, or the user's own "<file>.tmp", never meet.
int CreateTemporary(const std::string& file, mode_t mode, std::string& tmp)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char bytes[8];
        if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
            return -1;
        tmp = file + ".";
        for (unsigned char b : bytes)
            tmp += digits[b % 36];
        tmp += ".tmp";
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// For a writable file in a folder the user may not write: the new contents go over the old
// ones, then the rest is cut off, so the file is never emptied before its new data is in.
bool RewriteInPlace(const std::string& file, std::string_view data)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        errno = error;
    return ok;
}

} // namespace

bool ReplaceFileContents(const std::string& path, std::string_view data, unsigned newFileMode)
{
    std::string file = path;
    if (!FollowLinks(file))
        return false;
    struct stat old {};
    const bool existed = ::stat(file.c_str(), &old) == 0;
    // The rename would get round a file's own write protection.
    if (existed && ::access(file.c_str(), W_OK) != 0)
        return false;

    std::string tmp;
    const int fd = CreateTemporary(file, static_cast<mode_t>(existed ? 0600 : newFileMode & 07777), tmp);
    if (fd < 0) {
        if (existed && S_ISREG(old.st_mode) && (errno == EACCES || errno == EPERM))
            return RewriteInPlace(file, data);
        return false;
    }
    bool ok = true;
    if (existed) {
        // Only a privileged user can give the file back to its owner; others keep theirs.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd, old.st_uid, old.st_gid);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), file.c_str()) != 0) {
        const int error = errno; // the caller reports why, not the clean-up's outcome
        ::unlink(tmp.c_str());
        errno = error;
        return false;
    }
    const fs::path folder = fs::path(file).parent_path();
    const int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool MakeFolders(const std::string& dir, unsigned mode)
{
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = dir; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (!p.has_relative_path())
            break;
    }
    std::error_code made;
    fs::create_directories(dir, made);
    // As mkdir(2) with this mode would: the umask may narrow it, never widen it.
    for (const fs::path& p : missing)
        fs::permissions(p, fs::perms::all & ~fs::perms(mode), fs::perm_options::remove, ec);
    if (fs::is_directory(dir, ec))
        return true;
    errno = made ? made.value() : ENOTDIR; // the callers report why
    return false;
}

namespace {

QString HomeFolder()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return QDir::homePath();
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0])
        return QFile::decodeName(pw->pw_dir);
    return QStringLiteral("/tmp");
}

std::string UserFolder(QStandardPaths::StandardLocation which, QLatin1String belowHome)
{
    QString dir = QStandardPaths::writableLocation(which);
    // Qt takes a relative XDG_ value as it stands, and puts its default below "/" when HOME
    // is empty.
    if (QDir::isRelativePath(dir) || dir == QDir::homePath() + belowHome)
        dir = HomeFolder() + belowHome;
    return QFile::encodeName(dir).toStdString();
}

} // namespace

std::string UserConfigFolder()
{
    return UserFolder(QStandardPaths::GenericConfigLocation, QLatin1String("/.config"));
}

std::string UserDataFolder()
{
    return UserFolder(QStandardPaths::GenericDataLocation, QLatin1String("/.local/share"));
}

std::string DefaultChannelFolder(const std::string& programFolder)
{
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK | X_OK) == 0)
        return programFolder.back() == '/' ? programFolder : programFolder + "/";
    std::string folder = DocumentsFolder();
    return folder.empty() || folder.back() != '/' ? folder + "/" : folder;
}
