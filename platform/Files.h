#pragma once
// The user's files: replaced whole or not at all, and the folder channel files start in.
#include <cstdint>
#include <string>
#include <string_view>

// Replaces a file's contents so that a crash leaves either the old or the new file whole
// (a temporary file of its own beside the target, fsync, rename, fsync of the folder). The
// temporary name fits the folder's limit however long the file's name is, and temporary
// files that earlier saves of this file left when their process died are removed. A file
// that a rename would change otherwise is rewritten in place instead, once there is room for
// the new contents: a file with more than one name, a file whose owner or group a new file
// could not have, a writable file in a folder the user may not write or whose sticky bit
// refuses the rename. A symbolic link stays a link: the file it points to is replaced. An
// existing file keeps its permission bits (on a file system that keeps any) and owner; a new
// file gets newFileMode less the umask. False with errno set on failure; no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view data, unsigned newFileMode);

// One state of a file: which file a path names (a replaced file is another one), its size
// and its last change. Two equal stamps mean no program wrote or replaced the file in
// between, as far as the file system's clock can tell. A missing file has Exists false.
struct FileStamp {
    bool Exists = false;
    std::uint64_t Device = 0, Inode = 0;
    std::int64_t Size = 0, ChangedSeconds = 0, ChangedNanoseconds = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file a path names, its symbolic links followed, or of an open file.
FileStamp StampOfFile(const std::string& path);
FileStamp StampOfFile(int fd);

// Makes a folder and those above it that are missing, as mkdir(2) with mode would (the umask
// applies); true when dir is a folder afterwards.
bool MakeFolders(const std::string& dir, unsigned mode);

// The user's configuration and data folders: $XDG_CONFIG_HOME and $XDG_DATA_HOME, or
// ~/.config and ~/.local/share. A relative XDG_ value is ignored, as the XDG rules ask, and
// without HOME the account's home folder (or /tmp) stands in.
std::string UserConfigFolder();
std::string UserDataFolder();

// Where channel files go by default: the program's folder when the user may write there,
// else the user's documents folder, else the home folder. Ends in '/'.
std::string DefaultChannelFolder(const std::string& programFolder);
