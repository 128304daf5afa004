#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The file-system calls the folder routines make, one implementation per
// platform (nativefs_posix.cpp, nativefs_win.cpp). Paths are UTF-8 on both;
// failures are errno values, which std::strerror describes.
namespace tabulon::native {

enum class Kind { File, Folder, Link, Other, Unknown };

// The same folder reached by two paths has the same identity.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    auto operator<=>(const FileId &) const = default;
};

// What `path` names, a final link followed. Returns 0 or the errno.
int Status(const std::string &path, Kind &kind, FileId *id = nullptr);
// The same, a final link reported as Link.
int LinkStatus(const std::string &path, Kind &kind);

// Calls `each` with the name of every entry of `folder` but "." and "..",
// and what it is when the listing tells without a further look (Unknown
// otherwise; a Link may lead to a folder). Returns 0 or the errno that
// stopped the listing; the entries before it were given.
int ListFolder(const std::string &folder, const std::function<void(const std::string &name, Kind)> &each);

int MakeFolder(const std::string &path);
int RemoveFile(const std::string &path);
// Copies a file's contents over `to`; returns 0 or the errno.
int CopyFileContents(const std::string &from, const std::string &to);
// The folder may be listed and its files opened.
int CheckFolderAccess(const std::string &path);
// The absolute path with links resolved, or nullopt when it does not exist.
std::optional<std::string> CanonicalPath(const std::string &path);

// "/" here; "\" and "/" on Windows.
bool IsSeparator(char c);

// A file name whose bytes are not UTF-8 read in the locale's character
// set; nullopt when the locale says nothing about them (and on Windows,
// where names always come as UTF-16).
std::optional<std::string> NameFromLocale(const std::string &bytes);

} // namespace tabulon::native
