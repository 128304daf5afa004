#pragma once

#include <string>
#include <vector>

namespace tabulon {

// Bare names of the files directly in `folder` (a trailing "/" optional)
// that match the wildcard `pattern` without regard to case, hidden files
// included, each passing IsOpenableFile; in SortByName order. Empty when none.
// Throws Error when the folder cannot be searched for another reason than
// not existing.
std::vector<std::string> ListFiles(const std::string &folder, const std::string &pattern);

// Name order with case ignored (Unicode case folding), so that a listing
// does not depend on the file system's directory order; names equal but for
// case keep their byte order.
void SortByName(std::vector<std::string> &names);

// An existing regular file (a link to one included); read access is not
// asked for.
bool IsOpenableFile(const std::string &path);
bool IsFolder(const std::string &path);
// Control characters, "?", code points 127..159, or bytes that are not UTF-8.
bool HasUnsafeChars(const std::string &name);

} // namespace tabulon
