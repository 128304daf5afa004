#pragma once

#include <string>

namespace tabulon {

// Copies the files and sub-folders of `from`, at every depth, directly into
// the existing folder `to`, overwriting files of the same relative name and
// leaving the others. Stops with Error at the first failure, naming the path
// and the reason; what was copied before stays.
void CopyFolderContents(const std::string &from, const std::string &to);

} // namespace tabulon
