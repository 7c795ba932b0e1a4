#include "platform/Files.h"

#include "platform/Services.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

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
        path = next[0] == '/' ? next : DirOf(path) + "/" + next;
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

    // A temporary file left by a crash is stale: it is replaced, never read.
    const std::string tmp = file + ".tmp";
    ::unlink(tmp.c_str());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          static_cast<mode_t>(existed ? 0600 : newFileMode & 07777));
    if (fd < 0)
        return false;
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
    const int dfd = ::open(DirOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

std::string DefaultChannelFolder(const std::string& programFolder)
{
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK | X_OK) == 0)
        return programFolder.back() == '/' ? programFolder : programFolder + "/";
    std::string folder = DocumentsFolder();
    return folder.empty() || folder.back() != '/' ? folder + "/" : folder;
}
