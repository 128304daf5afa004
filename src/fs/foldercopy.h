#pragma once

#include <string>
#include <vector>

namespace tabulon {

// Copies the files and sub-folders of `from`, at every depth, directly into
// the existing folder `to`, overwriting files of the same relative name and
// leaving the others. Stops with Error at the first failure, naming the path
// and the reason; what was copied before stays.
void CopyFolderContents(const std::string &from, const std::string &to);

// The Paradox files in `folder` and its sub-folders, by their extension:
// tables, memos, indexes, validity checks, table views, families (.db,
// .mb, .px, .val, .tv, .fam, .x01/.y01, .xg0/.yg0 ...). Links to folders
// are not followed: what lies elsewhere is never named. Throws Error when
// a folder cannot be listed.
std::vector<std::string> ParadoxFilesIn(const std::string &folder);

// Deletes the files; stops with Error at the first it cannot delete.
void DeleteFiles(const std::vector<std::string> &paths);

// `path` is `folder` or lies inside it, links resolved. False when either
// does not exist.
bool IsWithinFolder(const std::string &path, const std::string &folder);

} // namespace tabulon
