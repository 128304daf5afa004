#pragma once

#include <string>

// What programfolder.cpp asks of the platform (programfolder_posix.cpp,
// programfolder_win.cpp).
namespace tabulon::native {

// The program file's folder, for when there is no QCoreApplication yet.
std::string ExecutableFolder();
// Where a copy of a folder with spaces goes, ending in a separator.
std::string DefaultDriveRoot(const std::string &programFolder);
bool IsPathSeparator(char c);

} // namespace tabulon::native
