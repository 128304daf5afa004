#pragma once

#include <string>

namespace tabulon {

// The folder the program file was started from, without a trailing "/".
std::string ProgramFolder();
void SetProgramFolder(const std::string &folder);

// Where the copy of a folder with spaces goes, ending in the separator: the
// user's home folder here (a drive or share on Windows). Tests point it at a
// temporary folder.
std::string ProgramDriveRoot();
void SetProgramDriveRoot(const std::string &root);

// The text after the last separator; the whole text when there is none.
std::string FileNameFromPath(const std::string &path);

} // namespace tabulon
