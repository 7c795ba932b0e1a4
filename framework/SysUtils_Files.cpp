// File names, file attributes and file system queries.
#include "framework/SysUtils.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// ---- Files -------------------------------------------------------------------------------

namespace {
bool IsSep(char c) { return c == '/' || c == '\\'; }

size_t LastSep(const std::string& path)
{
    size_t at = path.find_last_of("/\\");
    return at;
}

// Index of the '.' of the extension, or npos.
size_t ExtDot(const std::string& path)
{
    size_t dot = path.find_last_of(".\\/");
    if (dot == std::string::npos || path[dot] != '.')
        return std::string::npos;
    return dot;
}
} // namespace

std::string ExtractFileName(const std::string& path)
{
    size_t at = LastSep(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    size_t at = LastSep(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string ExtractFileDir(const std::string& path)
{
    size_t at = LastSep(path);
    if (at == std::string::npos)
        return {};
    // The root keeps its separator: the folder of "/x" is "/".
    if (at == 0)
        return path.substr(0, 1);
    return path.substr(0, at);
}

std::string ExtractFileExt(const std::string& path)
{
    size_t dot = ExtDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    size_t dot = ExtDot(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (path.empty() || IsSep(path.back()))
        return path;
    return path + "/";
}

std::string ExcludeTrailingPathDelimiter(const std::string& path)
{
    if (path.size() > 1 && IsSep(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

bool FileExists(const std::string& name)
{
    struct stat st;
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name)
{
    struct stat st;
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& dir)
{
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    if (d.empty())
        return false;
    if (DirectoryExists(d))
        return true;
    size_t sep = d.find_last_of('/');
    std::string parent = sep == std::string::npos ? std::string() : d.substr(0, sep == 0 ? 1 : sep);
    if (!parent.empty() && parent != d && !ForceDirectories(parent))
        return false;
    return ::mkdir(d.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(d));
}

bool DeleteFile(const std::string& name)
{
    return !DirectoryExists(name) && ::unlink(name.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName)
{
    if (oldName.empty() || newName.empty())
        return false;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    struct stat st;
    if (::lstat(newName.c_str(), &st) == 0)
        return false;
    return ::rename(oldName.c_str(), newName.c_str()) == 0;
}

std::string GetCurrentDir()
{
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

std::string ExpandFileName(const std::string& name)
{
    if (name.empty())
        return {};
    std::string full = name[0] == '/' ? name : IncludeTrailingPathDelimiter(GetCurrentDir()) + name;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= full.size()) {
        size_t j = i;
        while (j < full.size() && full[j] != '/')
            ++j;
        std::string part = full.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    if (out.empty() || (full.back() == '/' && !parts.empty()))
        out += "/";
    return out;
}

int FileGetAttr(const std::string& name)
{
    struct stat st;
    if (name.empty() || ::stat(name.c_str(), &st) != 0)
        return -1;
    int attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else
        attr |= faArchive;
    if (::access(name.c_str(), W_OK) != 0)
        attr |= faReadOnly;
    if (ExtractFileName(ExcludeTrailingPathDelimiter(name)).starts_with("."))
        attr |= faHidden;
    return attr;
}
