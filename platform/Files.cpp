#include "platform/Files.h"

#include "platform/Services.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <vector>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
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

// A temporary file's name is the target's name, cut where needed, then ".qm", the writer's
// process id and a random part, then ".tmp": the id tells a crashed writer's leftover from a
// save still running, the marker keeps a user's own "*.tmp" files out of it.
constexpr std::string_view TemporaryMarker = ".qm";
constexpr std::string_view TemporaryEnd = ".tmp";
constexpr size_t PidDigits = 6; // base 36: every 32-bit process id
constexpr size_t RandomDigits = 4;
constexpr size_t TemporaryTagLength = TemporaryMarker.size() + PidDigits + RandomDigits + TemporaryEnd.size();
constexpr char Digits36[] = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string FolderOf(const std::string& file)
{
    const fs::path folder = fs::path(file).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

// The target's name cut so that a temporary name made from it fits the folder's limit on
// name length, cut between characters.
std::string TemporaryPrefix(const std::string& file)
{
    long longest = ::pathconf(FolderOf(file).c_str(), _PC_NAME_MAX);
    if (longest <= 0)
        longest = NAME_MAX;
    std::string name = fs::path(file).filename().string();
    size_t room = size_t(longest) > TemporaryTagLength ? size_t(longest) - TemporaryTagLength : 1;
    if (name.size() > room) {
        while (room > 1 && (static_cast<unsigned char>(name[room]) & 0xC0) == 0x80)
            --room;
        name.resize(room);
    }
    return name + std::string(TemporaryMarker);
}

std::string Base36(unsigned long value, size_t digits)
{
    std::string text(digits, '0');
    for (size_t i = digits; i-- > 0; value /= 36)
        text[i] = Digits36[value % 36];
    return text;
}

// The writer's process id when `name` is a temporary name made from `prefix`, else -1.
long TemporaryWriter(std::string_view name, std::string_view prefix)
{
    if (name.size() != prefix.size() + PidDigits + RandomDigits + TemporaryEnd.size() ||
        !name.starts_with(prefix) || !name.ends_with(TemporaryEnd))
        return -1;
    long pid = 0;
    const std::string_view tag = name.substr(prefix.size(), PidDigits + RandomDigits);
    for (size_t i = 0; i < tag.size(); ++i) {
        const char* at = std::strchr(Digits36, tag[i]);
        if (!at || !*at)
            return -1;
        if (i < PidDigits)
            pid = pid * 36 + (at - Digits36);
    }
    return pid;
}

// A name beside the file that no other writer uses at the same time: O_EXCL on a random
// part, so two saves of one file, or the user's own "<file>.tmp", never meet. The file is
// locked while it is written, for writers whose process ids this system cannot see.
int CreateTemporary(const std::string& file, mode_t mode, std::string& tmp)
{
    const std::string start =
        (fs::path(FolderOf(file)) / TemporaryPrefix(file)).string() + Base36(unsigned(::getpid()), PidDigits);
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char bytes[RandomDigits];
        if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
            return -1;
        tmp = start;
        for (unsigned char b : bytes)
            tmp += Digits36[b % 36];
        tmp += TemporaryEnd;
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            (void)::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

// The temporary files an earlier save of this file left when its process died. A live
// writer's file is left: its process exists, or it holds the file's lock.
void RemoveStaleTemporaries(const std::string& file)
{
    const std::string prefix = TemporaryPrefix(file);
    const int dfd = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return;
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = TemporaryWriter(entry->d_name, prefix);
        if (pid <= 0 || pid == ::getpid() || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        const int fd = ::openat(dfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dfd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == opened.st_ino &&
            named.st_dev == opened.st_dev)
            (void)::unlinkat(dfd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// Whether a file size limit or the disk would cut the new contents short: checked before
// the old contents are touched, since an in-place rewrite cut short cannot be undone.
bool RoomFor(int fd, off_t oldSize, size_t size)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    if (off_t(size) <= oldSize)
        return true;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) == 0)
        return true;
    // A file system that cannot reserve room is written as it is.
    return errno == EOPNOTSUPP || errno == ENOSYS;
}

// For a file that cannot be replaced by another: the new contents go over the old ones once
// there is room for them, then the rest is cut off, so the file is never emptied before its
// new data is in. The file keeps its other names, owner, mode and attributes.
bool RewriteInPlace(const std::string& file, std::string_view data)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && RoomFor(fd, st.st_size, data.size()) && WriteAll(fd, data) &&
              ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        errno = error;
    return ok;
}

// Gives the new file the old one's owner, group and mode; false when it cannot have them
// (only a privileged user may give a file away, or to a group the user is not in). A file
// system that keeps no modes (FAT, some network and FUSE mounts) refuses the mode even of
// the user's own new file: its files all have the mount's mode, so the new one is as good.
bool TakeOverOwnerAndMode(int fd, const struct stat& old)
{
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0 || errno == EPERM || errno == ENOSYS || errno == EOPNOTSUPP;
}

bool Refused(int error) { return error == EACCES || error == EPERM; }

} // namespace

bool ReplaceFileContents(const std::string& path, std::string_view data, unsigned newFileMode)
{
    std::string file = path;
    if (!FollowLinks(file))
        return false;
    struct stat old {};
    const bool existed = ::stat(file.c_str(), &old) == 0;
    // The rename would get round a file's own write protection.
    if (existed && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    RemoveStaleTemporaries(file);
    const bool regular = existed && S_ISREG(old.st_mode);
    // A rename would leave the file's other names with the old contents.
    if (regular && old.st_nlink > 1)
        return RewriteInPlace(file, data);

    std::string tmp;
    const int fd = CreateTemporary(file, static_cast<mode_t>(existed ? 0600 : newFileMode & 07777), tmp);
    if (fd < 0) {
        if (regular && Refused(errno))
            return RewriteInPlace(file, data);
        return false;
    }
    // A file whose owner a new file could not have keeps its own inode.
    if (existed && !TakeOverOwnerAndMode(fd, old) && regular) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return RewriteInPlace(file, data);
    }
    bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), file.c_str()) != 0) {
        const int error = errno; // the caller reports why, not the clean-up's outcome
        ::unlink(tmp.c_str());
        // A sticky shared folder lets no one but its owner replace another user's file.
        if (ok && regular && Refused(error))
            return RewriteInPlace(file, data);
        errno = error;
        return false;
    }
    const int dfd = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

namespace {
FileStamp StampOf(const struct stat& st)
{
    return FileStamp{true, std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::int64_t(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec), std::int64_t(st.st_mtim.tv_nsec)};
}
} // namespace

FileStamp StampOfFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
}

FileStamp StampOfFile(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? StampOf(st) : FileStamp{};
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
