#include "fs/subfolderwalk.h"

#include "common/error.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "common/text.h"
#include "fs/filelister.h"
#include "fs/nativefs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <utility>

namespace tabulon {
namespace {

// Folders already listed, by identity: a symbolic link, junction or bind
// mount leading back to one of them is neither listed nor searched again, so
// the walk cannot loop.
using Seen = std::set<native::FileId>;

std::string withSlash(const std::string &folder)
{
    return !folder.empty() && native::IsSeparator(folder.back()) ? folder : folder + "/";
}

// Lack of permission or a folder that vanished: the folder is dropped.
bool isUnreadable(int err) { return err == EACCES || err == EPERM || err == ENOENT || err == ENOTDIR; }

bool skippedName(const std::string &name)
{
    return name.size() >= PATH_MAX || name == "." || name == ".." || HasUnsafeChars(name) ||
           name.find('?') != std::string::npos;
}

// Appends the sub-folders of `folder` to `found`, in name order. Returns 0,
// or the errno that stopped the enumeration (sub-folders found before it
// stay).
int listSubFolders(const std::string &folder, std::vector<std::string> &found, Seen &seen)
{
    std::vector<std::string> names;
    std::map<std::string, native::FileId> ids;
    const int err = native::ListFolder(folder, [&](const std::string &name, native::Kind hint) {
        if (hint != native::Kind::Folder && hint != native::Kind::Link && hint != native::Kind::Unknown)
            return;
        native::Kind kind = native::Kind::Unknown;
        native::FileId id;
        // Follows links; a dangling one or an entry gone meanwhile is no folder.
        if (native::Status(folder + name, kind, &id) != 0 || kind != native::Kind::Folder)
            return;
        EventPump::yield();
        if (skippedName(name))
            return;
        names.push_back(name);
        ids[name] = id;
    });
    // Of two ways to one folder, the first in name order is taken, whatever
    // the directory order.
    SortByName(names);
    for (const std::string &name : names)
        if (seen.insert(ids[name]).second)
            found.push_back(folder + name + "/");
    return err;
}

void walk(MessageHost &host, std::vector<std::string> &list, bool recursive, Seen &seen)
{
    GuardedProcedure proc(host, "AddFolder.GetSubDirectories2016", ReportProject::Hestwick);
    // 100: there is no file-system component to create here.
    std::vector<std::string> found; // 104

    // 106: by index, because an unreadable entry is removed while the pass runs.
    for (std::ptrdiff_t i = 0; i < std::ptrdiff_t(list.size()); ++i) { // 148
        const std::string v = list[std::size_t(i)];
        if (proc.decide(108, [&] { return !IsFolder(v); }))
            continue;
        if (proc.decide(110, [&] { return v.size() >= PATH_MAX; }))
            continue;
        proc.step(112, [&] {
            native::Kind kind = native::Kind::Unknown;
            if (const int err = native::Status(v, kind))
                throw Error("Could not read the folder " + v + ": " + std::strerror(err));
        });
        proc.step(114, [] { EventPump::yield(); });
        // 116: no attributes here mark a folder as not to be searched.
        proc.step(116, [&] {
            const int err = listSubFolders(withSlash(v), found, seen);
            if (err == 0)
                return;
            if (isUnreadable(err)) {
                const auto at = std::find(list.begin(), list.end(), v);
                if (at != list.end()) {
                    if (at - list.begin() <= i)
                        --i;
                    list.erase(at);
                }
                return;
            }
            // Said aloud: otherwise the tables below it would be missing
            // from the run without a word.
            throw Error("Could not read the sub-folders of " + v + ": " + std::strerror(err));
        });
    }

    if (recursive && !found.empty())
        proc.step(150, [&] { walk(host, found, true, seen); });

    for (const std::string &w : found) { // 152
        if (proc.decide(154, [&] { return !IsFolder(w); }))
            continue;
        proc.step(156, [] { EventPump::yield(); });
        // 158: no attributes here keep a folder out of the list.
        proc.step(160, [&] { list.push_back(w); });
    }
}

// The components of a folder path, each with its name-order key.
std::vector<std::pair<std::string, std::string>> PathKey(const std::string &path)
{
    std::vector<std::pair<std::string, std::string>> key;
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t end = at;
        while (end < path.size() && !native::IsSeparator(path[end]))
            ++end;
        if (end > at) {
            std::string name = path.substr(at, end - at);
            std::string folded = IsAscii(name) ? AsciiLower(name) : CaseFolded(name);
            key.emplace_back(std::move(folded), std::move(name));
        }
        at = end + 1;
    }
    return key;
}

} // namespace

void SortFolderTree(std::vector<std::string> &folders)
{
    std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, std::string>> keyed;
    keyed.reserve(folders.size());
    for (std::string &folder : folders)
        keyed.emplace_back(PathKey(folder), std::move(folder));
    // A folder's key is a prefix of its sub-folders' keys: it sorts before
    // them, and they before its next sibling.
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 0; i < folders.size(); ++i)
        folders[i] = std::move(keyed[i].second);
}

void GetSubDirectories2016(MessageHost &host, std::vector<std::string> &folders, bool recursive)
{
    Seen seen;
    for (const std::string &folder : folders) {
        native::Kind kind = native::Kind::Unknown;
        native::FileId id;
        if (native::Status(folder, kind, &id) == 0 && kind == native::Kind::Folder)
            seen.insert(id);
    }
    walk(host, folders, recursive, seen);
}

} // namespace tabulon
