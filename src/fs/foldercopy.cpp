#include "fs/foldercopy.h"

#include "common/error.h"
#include "common/eventpump.h"
#include "fs/nativefs.h"

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace tabulon {
namespace {

// Folders already copied or being copied into, by identity: a link back up
// the tree, or a target inside the source, would otherwise copy without end.
using Seen = std::set<native::FileId>;

[[noreturn]] void fail(const std::string &what, const std::string &path, int err)
{
    throw Error(what + " " + path + ": " + std::strerror(err));
}

void copyFile(const std::string &from, const std::string &to)
{
    if (const int err = native::CopyFileContents(from, to))
        throw Error("Could not copy " + from + " to " + to + ": " + std::strerror(err));
}

void ensureFolder(const std::string &path)
{
    const int err = native::MakeFolder(path);
    if (err == 0)
        return;
    native::Kind kind = native::Kind::Unknown;
    if (err == EEXIST && native::Status(path, kind) == 0 && kind == native::Kind::Folder)
        return;
    fail("Could not create the folder", path, err);
}

void copyTree(const std::string &from, const std::string &to, Seen &seen)
{
    const int err = native::ListFolder(from, [&](const std::string &name, native::Kind) {
        const std::string source = (native::IsSeparator(from.back()) ? from : from + "/") + name;
        const std::string target = to + "/" + name;
        native::Kind kind = native::Kind::Unknown;
        native::FileId id;
        if (const int err = native::Status(source, kind, &id)) {
            native::Kind link = native::Kind::Unknown;
            // A dangling link holds nothing to copy.
            if (native::LinkStatus(source, link) == 0 && link == native::Kind::Link)
                return;
            fail("Could not copy", source, err);
        }
        if (kind == native::Kind::Folder) {
            if (!seen.insert(id).second)
                return;
            ensureFolder(target);
            copyTree(source, target, seen);
        } else if (kind == native::Kind::File) {
            EventPump::yield();
            copyFile(source, target);
        }
        // FIFOs, sockets and devices hold no tables and could block a copy.
    });
    if (err)
        fail("Could not copy the folder", from, err);
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
    std::vector<std::string> below;
    const int err = native::ListFolder(folder, [&](const std::string &name, native::Kind) {
        const std::string path = folder + "/" + name;
        native::Kind kind = native::Kind::Unknown;
        if (native::LinkStatus(path, kind) != 0)
            return;
        if (kind == native::Kind::Folder)
            below.push_back(path);
        else if ((kind == native::Kind::File || kind == native::Kind::Link) && isParadoxFile(name))
            out.push_back(path);
    });
    if (err)
        fail("Could not list the folder", folder, err);
    for (const std::string &sub : below)
        collectParadoxFiles(sub, out);
}

} // namespace

std::vector<std::string> ParadoxFilesIn(const std::string &folder)
{
    std::string top = folder;
    while (top.size() > 1 && native::IsSeparator(top.back()))
        top.pop_back();
    std::vector<std::string> files;
    collectParadoxFiles(top, files);
    return files;
}

void DeleteFiles(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        EventPump::yield();
        const int err = native::RemoveFile(path);
        if (err != 0 && err != ENOENT)
            fail("Could not delete", path, err);
    }
}

bool IsWithinFolder(const std::string &path, const std::string &folder)
{
    const auto inner = native::CanonicalPath(path);
    const auto outer = native::CanonicalPath(folder);
    if (!inner || !outer)
        return false;
    return *inner == *outer || (inner->size() > outer->size() && inner->compare(0, outer->size(), *outer) == 0 &&
                                (native::IsSeparator(outer->back()) || native::IsSeparator((*inner)[outer->size()])));
}

void CopyFolderContents(const std::string &from, const std::string &to)
{
    std::string source = from;
    while (source.size() > 1 && native::IsSeparator(source.back()))
        source.pop_back();
    Seen seen;
    native::Kind kind = native::Kind::Unknown;
    native::FileId id;
    if (const int err = native::Status(to, kind, &id))
        fail("Could not copy into the folder", to, err);
    seen.insert(id);
    if (const int err = native::Status(source, kind, &id))
        fail("Could not copy the folder", source, err);
    if (kind != native::Kind::Folder)
        fail("Could not copy the folder", source, ENOTDIR);
    // The source being the target itself: there is nothing to copy.
    if (!seen.insert(id).second)
        return;
    copyTree(source, to, seen);
}

} // namespace tabulon
