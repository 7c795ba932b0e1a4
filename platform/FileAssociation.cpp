#include "platform/FileAssociation.h"

#include "platform/Files.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<std::string> SplitPaths(const char* value, const std::string& fallback)
{
    std::string s = value && *value ? value : fallback;
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string part;
    while (std::getline(ss, part, ':'))
        if (!part.empty())
            out.push_back(part);
    return out;
}

bool ReadFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    text = ss.str();
    return true;
}

// Written whole or not at all; an existing file keeps its mode and a link its target.
bool WriteFileAtomic(const std::string& path, const std::string& text, std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + " \"" + path + "\": " + std::strerror(errno) + ".";
        return false;
    };
    if (!MakeFolders(std::filesystem::path(path).parent_path().string(), 0755))
        return fail("Cannot create the folder of");
    if (!ReplaceFileContents(path, text, 0666))
        return fail("Cannot write");
    return true;
}

bool RemoveFile(const std::string& path, std::string* error)
{
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return true;
    if (error)
        *error = "Cannot remove \"" + path + "\": " + std::strerror(errno) + ".";
    return false;
}

std::string TrimWs(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        lines.push_back(cur);
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

bool IsSectionHeader(const std::string& line, std::string* name = nullptr)
{
    std::string t = TrimWs(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return false;
    if (name)
        *name = t.substr(1, t.size() - 2);
    return true;
}

// The key of a "key=value" line ("" for comments and others).
std::string KeyOf(const std::string& line, std::string* value = nullptr)
{
    std::string t = TrimWs(line);
    if (t.empty() || t[0] == '#')
        return "";
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return "";
    if (value)
        *value = TrimWs(t.substr(eq + 1));
    return TrimWs(t.substr(0, eq));
}

// The line range [begin, end) of a section's body; begin is npos when there is no section.
std::pair<size_t, size_t> SectionRange(const std::vector<std::string>& lines,
                                       const std::string& section)
{
    size_t begin = std::string::npos;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (!IsSectionHeader(lines[i], &name))
            continue;
        if (begin != std::string::npos)
            return {begin, i};
        if (name == section)
            begin = i + 1;
    }
    return {begin, lines.size()};
}

std::vector<std::string> SplitList(const std::string& v)
{
    std::vector<std::string> items;
    std::stringstream ss(v);
    std::string part;
    while (std::getline(ss, part, ';'))
        if (!TrimWs(part).empty())
            items.push_back(TrimWs(part));
    return items;
}

std::vector<std::string> ListDir(const std::string& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (name[0] != '.')
            names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::string> ApplicationDirs(const XdgFolders& f)
{
    std::vector<std::string> dirs{f.DataHome + "/applications"};
    for (const std::string& d : f.DataDirs)
        dirs.push_back(d + "/applications");
    return dirs;
}

std::string MimePackageText()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" +
           std::string(FileAssociation::MimeType) +
           "\">\n"
           "    <comment>Quillmere channel file</comment>\n"
           "    <glob pattern=\"*.vyx\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntryText(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillmere\n"
           "Comment=Memory channels and menu settings of amateur-radio transceivers\n"
           "Exec=" +
           ExecLine(executable) +
           "\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "MimeType=" +
           std::string(FileAssociation::MimeType) + ";\n";
}

constexpr const char* DefaultApps = "Default Applications";

// The folders searched after the user's own.
std::vector<std::string> SystemFolders(QStandardPaths::StandardLocation which)
{
    std::vector<std::string> out;
    const QStringList all = QStandardPaths::standardLocations(which);
    for (qsizetype i = 1; i < all.size(); ++i)
        out.push_back(QFile::encodeName(all[i]).toStdString());
    return out;
}

} // namespace

XdgFolders XdgFolders::FromEnvironment()
{
    XdgFolders f;
    f.DataHome = UserDataFolder();
    f.ConfigHome = UserConfigFolder();
    f.DataDirs = SystemFolders(QStandardPaths::GenericDataLocation);
    f.ConfigDirs = SystemFolders(QStandardPaths::GenericConfigLocation);
    return f;
}

bool RunToolIfPresent(const std::string& program, const std::vector<std::string>& args)
{
    std::string found;
    for (const std::string& dir : SplitPaths(std::getenv("PATH"), "/usr/bin:/bin")) {
        std::string p = dir + "/" + program;
        if (::access(p.c_str(), X_OK) == 0) {
            found = p;
            break;
        }
    }
    if (found.empty())
        return false;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(found.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, found.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string QuoteExecArgument(const std::string& arg)
{
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // The key file's own escaping comes on top: a backslash is written twice.
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\t')
            escaped += "\\t";
        else
            escaped += c;
    }
    return escaped;
}

std::string ExecLine(const std::string& executable)
{
    return QuoteExecArgument(executable) + " %f";
}

std::string GetIniEntry(const std::string& text, const std::string& section, const std::string& key)
{
    std::vector<std::string> lines = Lines(text);
    auto [b, e] = SectionRange(lines, section);
    if (b == std::string::npos)
        return "";
    for (size_t i = b; i < e; ++i) {
        std::string value;
        if (KeyOf(lines[i], &value) == key)
            return value;
    }
    return "";
}

std::string SetIniEntry(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::vector<std::string> lines = Lines(text);
    auto [b, e] = SectionRange(lines, section);
    std::string entry = key + "=" + value;
    if (b == std::string::npos) {
        if (!lines.empty() && !TrimWs(lines.back()).empty())
            lines.push_back("");
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
        return JoinLines(lines);
    }
    for (size_t i = b; i < e; ++i) {
        if (KeyOf(lines[i]) == key) {
            lines[i] = entry;
            return JoinLines(lines);
        }
    }
    // After the section's last entry, before any blank lines that separate it from the next.
    size_t at = e;
    while (at > b && TrimWs(lines[at - 1]).empty())
        --at;
    lines.insert(lines.begin() + static_cast<long>(at), entry);
    return JoinLines(lines);
}

std::string RemoveListItem(const std::string& text, const std::string& section,
                           const std::string& key, const std::string& item)
{
    std::vector<std::string> lines = Lines(text);
    auto [b, e] = SectionRange(lines, section);
    if (b == std::string::npos)
        return text;
    for (size_t i = b; i < e; ++i) {
        std::string value;
        if (KeyOf(lines[i], &value) != key)
            continue;
        std::vector<std::string> items = SplitList(value);
        std::string kept;
        bool found = false;
        for (const std::string& it : items) {
            if (it == item) {
                found = true;
                continue;
            }
            kept += it + ";";
        }
        if (!found)
            return text;
        if (kept.empty())
            lines.erase(lines.begin() + static_cast<long>(i));
        else
            lines[i] = key + "=" + kept;
        return JoinLines(lines);
    }
    return text;
}

FileAssociation::FileAssociation(XdgFolders folders, ToolRunner runner)
    : folders_(std::move(folders)), runner_(std::move(runner))
{
}

std::string FileAssociation::MimePackagePath() const
{
    return folders_.DataHome + "/mime/packages/" + MimePackage;
}
std::string FileAssociation::DesktopEntryPath() const
{
    return folders_.DataHome + "/applications/" + DesktopFile;
}
std::string FileAssociation::MimeAppsPath() const { return folders_.ConfigHome + "/mimeapps.list"; }

bool FileAssociation::Register(const std::string& executable, std::string* error)
{
    if (executable.empty() || executable[0] != '/') {
        if (error)
            *error = "The program's path \"" + executable + "\" is not absolute.";
        return false;
    }
    if (!WriteFileAtomic(MimePackagePath(), MimePackageText(), error) ||
        !WriteFileAtomic(DesktopEntryPath(), DesktopEntryText(executable), error))
        return false;
    std::string apps;
    ReadFile(MimeAppsPath(), apps);
    // Ours first; a program chosen before stays in the list, so unregistering restores it.
    std::string value = std::string(DesktopFile) + ";";
    for (const std::string& item : SplitList(GetIniEntry(apps, DefaultApps, MimeType)))
        if (item != DesktopFile)
            value += item + ";";
    if (!WriteFileAtomic(MimeAppsPath(), SetIniEntry(apps, DefaultApps, MimeType, value), error))
        return false;
    RefreshDatabases();
    return true;
}

bool FileAssociation::Unregister(std::string* error)
{
    std::string apps;
    if (ReadFile(MimeAppsPath(), apps)) {
        std::string edited = RemoveListItem(apps, DefaultApps, MimeType, DesktopFile);
        if (edited != apps && !WriteFileAtomic(MimeAppsPath(), edited, error))
            return false;
    }
    if (!RemoveFile(DesktopEntryPath(), error) || !RemoveFile(MimePackagePath(), error))
        return false;
    RefreshDatabases();
    return true;
}

bool FileAssociation::IsRegistered() const
{
    struct stat st;
    if (::stat(DesktopEntryPath().c_str(), &st) != 0 || ::stat(MimePackagePath().c_str(), &st) != 0)
        return false;
    std::string apps;
    if (!ReadFile(MimeAppsPath(), apps))
        return false;
    for (const std::string& item : SplitList(GetIniEntry(apps, DefaultApps, MimeType)))
        if (item == DesktopFile)
            return true;
    return false;
}

bool FileAssociation::MayAssociate() const
{
    // The nearest folder that exists decides whether the missing ones can be made.
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::absolute(folders_.DataHome, ec);
    struct stat st;
    while (::stat(dir.c_str(), &st) != 0) {
        if (!dir.has_relative_path())
            return false;
        dir = dir.parent_path();
    }
    return S_ISDIR(st.st_mode) && ::access(dir.c_str(), W_OK) == 0;
}

void FileAssociation::RefreshDatabases()
{
    if (!runner_)
        return;
    runner_("update-mime-database", {folders_.DataHome + "/mime"});
    runner_("update-desktop-database", {folders_.DataHome + "/applications"});
}

bool MimeTypeHasHandler(const std::string& mimeType, const XdgFolders& folders)
{
    if (mimeType.empty())
        return false;
    auto listed = [&](const std::string& path, std::initializer_list<const char*> sections) {
        std::string text;
        if (!ReadFile(path, text))
            return false;
        for (const char* s : sections)
            if (!SplitList(GetIniEntry(text, s, mimeType)).empty())
                return true;
        return false;
    };
    std::vector<std::string> lists{folders.ConfigHome + "/mimeapps.list"};
    for (const std::string& d : folders.ConfigDirs)
        lists.push_back(d + "/mimeapps.list");
    for (const std::string& d : ApplicationDirs(folders))
        lists.push_back(d + "/mimeapps.list");
    for (const std::string& l : lists)
        if (listed(l, {DefaultApps, "Added Associations"}))
            return true;
    for (const std::string& dir : ApplicationDirs(folders)) {
        if (listed(dir + "/mimeinfo.cache", {"MIME Cache"}))
            return true;
        for (const std::string& name : ListDir(dir)) {
            if (!name.ends_with(".desktop"))
                continue;
            std::string text;
            if (!ReadFile(dir + "/" + name, text))
                continue;
            for (const std::string& item : SplitList(GetIniEntry(text, "Desktop Entry", "MimeType")))
                if (item == mimeType)
                    return true;
        }
    }
    return false;
}

std::vector<std::string> MimeTypesDeclaredForExtension(const std::string& ext,
                                                       const XdgFolders& folders)
{
    std::vector<std::string> types;
    std::vector<std::string> dirs{folders.DataHome};
    dirs.insert(dirs.end(), folders.DataDirs.begin(), folders.DataDirs.end());
    std::string glob = "pattern=\"*." + ext + "\"";
    for (const std::string& d : dirs) {
        std::string pkg = d + "/mime/packages";
        for (const std::string& name : ListDir(pkg)) {
            if (!name.ends_with(".xml"))
                continue;
            std::string text;
            if (!ReadFile(pkg + "/" + name, text))
                continue;
            // Each <mime-type type="..."> element up to the next one.
            size_t pos = 0;
            while ((pos = text.find("<mime-type", pos)) != std::string::npos) {
                size_t next = text.find("<mime-type", pos + 1);
                std::string element = text.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
                size_t t = element.find("type=\"");
                if (t != std::string::npos && element.find(glob) != std::string::npos) {
                    size_t end = element.find('"', t + 6);
                    types.push_back(element.substr(t + 6, end - t - 6));
                }
                pos = next == std::string::npos ? text.size() : next;
            }
        }
    }
    return types;
}
