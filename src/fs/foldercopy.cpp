#include "fs/foldercopy.h"

#include "common/error.h"
#include "common/eventpump.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tabulon {
namespace {

// Folders already copied or being copied into, by device and inode: a link
// back up the tree, or a target inside the source, would otherwise copy
// without end.
using Seen = std::set<std::pair<dev_t, ino_t>>;

struct DirCloser {
    void operator()(DIR *d) const { ::closedir(d); }
};

[[noreturn]] void fail(const std::string &what, const std::string &path, int err)
{
    throw Error(what + " " + path + ": " + std::strerror(err));
}

void copyFile(const std::string &from, const std::string &to)
{
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        throw Error("Could not copy " + from + " to " + to + ": " + ec.message());
}

void ensureFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0777) == 0)
        return;
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    fail("Could not create the folder", path, err);
}

void copyTree(const std::string &from, const std::string &to, Seen &seen)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(from.c_str()));
    if (!dir)
        fail("Could not copy the folder", from, errno);
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                fail("Could not copy the folder", from, errno);
            return;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string source = (from == "/" ? from : from + "/") + name;
        const std::string target = to + "/" + name;
        struct stat st {};
        if (::stat(source.c_str(), &st) != 0) {
            const int err = errno;
            struct stat link {};
            // A dangling link holds nothing to copy.
            if (::lstat(source.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
                continue;
            fail("Could not copy", source, err);
        }
        if (S_ISDIR(st.st_mode)) {
            if (!seen.insert({st.st_dev, st.st_ino}).second)
                continue;
            ensureFolder(target);
            copyTree(source, target, seen);
        } else if (S_ISREG(st.st_mode)) {
            EventPump::yield();
            copyFile(source, target);
        }
        // FIFOs, sockets and devices hold no tables and could block a copy.
    }
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool isParadoxFile(const std::string &name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    std::string ext = name.substr(dot + 1);
    for (char &c : ext)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (ext == "db" || ext == "mb" || ext == "px" || ext == "val" || ext == "tv" || ext == "fam")
        return true;
    // Secondary indexes: .Xnn/.Ynn by field number in hex, .XGn/.YGn for
    // composite ones; not .xls or .xml.
    return ext.size() == 3 && (ext[0] == 'x' || ext[0] == 'y') &&
           ((isHex(ext[1]) && isHex(ext[2])) || (ext[1] == 'g' && isHex(ext[2])));
}

void collectParadoxFiles(const std::string &folder, std::vector<std::string> &out)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        fail("Could not list the folder", folder, errno);
    std::vector<std::string> below;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                fail("Could not list the folder", folder, errno);
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            below.push_back(path);
        else if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && isParadoxFile(name))
            out.push_back(path);
    }
    dir.reset();
    for (const std::string &sub : below)
        collectParadoxFiles(sub, out);
}

} // namespace

std::vector<std::string> ParadoxFilesIn(const std::string &folder)
{
    std::string top = folder;
    while (top.size() > 1 && top.back() == '/')
        top.pop_back();
    std::vector<std::string> files;
    collectParadoxFiles(top, files);
    return files;
}

void DeleteFiles(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        EventPump::yield();
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            fail("Could not delete", path, errno);
    }
}

bool IsWithinFolder(const std::string &path, const std::string &folder)
{
    std::error_code ec;
    const std::string inner = std::filesystem::canonical(path, ec).string();
    if (ec)
        return false;
    const std::string outer = std::filesystem::canonical(folder, ec).string();
    if (ec)
        return false;
    return inner == outer || (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                              (outer.back() == '/' || inner[outer.size()] == '/'));
}

void CopyFolderContents(const std::string &from, const std::string &to)
{
    std::string source = from;
    while (source.size() > 1 && source.back() == '/')
        source.pop_back();
    Seen seen;
    struct stat st {};
    if (::stat(to.c_str(), &st) != 0)
        fail("Could not copy into the folder", to, errno);
    seen.insert({st.st_dev, st.st_ino});
    if (::stat(source.c_str(), &st) != 0)
        fail("Could not copy the folder", source, errno);
    if (!S_ISDIR(st.st_mode))
        fail("Could not copy the folder", source, ENOTDIR);
    // The source being the target itself: there is nothing to copy.
    if (!seen.insert({st.st_dev, st.st_ino}).second)
        return;
    copyTree(source, to, seen);
}

} // namespace tabulon
