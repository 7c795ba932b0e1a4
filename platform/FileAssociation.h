#pragma once
// The association of channel files (*.vyx) with the program, for the current user, as the
// freedesktop files in the user's XDG folders: a MIME type package, a desktop entry and the
// default-application entry of mimeapps.list. Also the queries about which MIME types have
// a handler.
#include <functional>
#include <string>
#include <vector>

struct XdgFolders {
    std::string DataHome;              // $XDG_DATA_HOME or ~/.local/share
    std::string ConfigHome;            // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> DataDirs; // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    std::vector<std::string> ConfigDirs; // $XDG_CONFIG_DIRS or /etc/xdg
    static XdgFolders FromEnvironment();
};

// Runs a desktop database tool (program, arguments); false when it is absent or fails.
using ToolRunner = std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
// Runs the program found on PATH, waiting for it; false without running when it is absent.
bool RunToolIfPresent(const std::string& program, const std::vector<std::string>& args);

class FileAssociation {
public:
    static constexpr const char* MimeType = "application/x-quillmere-vyx";
    static constexpr const char* DesktopFile = "quillmere.desktop";
    static constexpr const char* MimePackage = "quillmere-vyx.xml";

    explicit FileAssociation(XdgFolders folders = XdgFolders::FromEnvironment(),
                             ToolRunner runner = RunToolIfPresent);

    // Writes the three files for executable (an absolute path) and refreshes the desktop's
    // databases. False with a message when a file cannot be written.
    bool Register(const std::string& executable, std::string* error = nullptr);
    // Removes what Register wrote, and nothing else. False with a message on a write failure.
    bool Unregister(std::string* error = nullptr);
    bool IsRegistered() const;
    // The user's data folder is writable (or can be created).
    bool MayAssociate() const;

    std::string MimePackagePath() const;
    std::string DesktopEntryPath() const;
    std::string MimeAppsPath() const;

private:
    void RefreshDatabases();
    XdgFolders folders_;
    ToolRunner runner_;
};

// One argument of a desktop entry's Exec line: in double quotes with `"`, backquote, `$`
// and backslash escaped, "%" doubled, then the string-value escaping of backslashes.
std::string QuoteExecArgument(const std::string& arg);
// The whole Exec value for an executable taking one file: quoted path, then " %f".
std::string ExecLine(const std::string& executable);

// mimeapps.list editing, keeping every other line as it stands.
// Sets key=value in [section], adding the section or key when missing.
std::string SetIniEntry(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);
// Removes item from the ";"-list of key in [section]; the key goes when its list empties.
std::string RemoveListItem(const std::string& text, const std::string& section,
                           const std::string& key, const std::string& item);
// The value of key in [section], or "" when absent.
std::string GetIniEntry(const std::string& text, const std::string& section, const std::string& key);

// Whether a desktop entry, mimeapps.list or mimeinfo.cache of the XDG folders names a
// program for the MIME type.
bool MimeTypeHasHandler(const std::string& mimeType,
                        const XdgFolders& folders = XdgFolders::FromEnvironment());
// MIME types that package files in the XDG data folders declare for "*.ext".
std::vector<std::string> MimeTypesDeclaredForExtension(
    const std::string& ext, const XdgFolders& folders = XdgFolders::FromEnvironment());
