#pragma once

#include "common/mainhost.h"

#include <string>
#include <vector>

namespace tabulon {

// Offers to copy a folder whose path has a space into ProgramDriveRoot() +
// "TestDB" and points Text1 at the copy. Reports as "Paradox.CopyDB".
void CopyDB(MainHost &host, bool sampleDatabase);

// Text1 is not empty and directly holds at least one table file.
bool FolderHasDbFiles(const MainHost &host);

// Clears `list`, then adds one table name per "*.db" file of Text1's folder
// and all its sub-folders (walk order; "~" files skipped).
void ListParadoxTables(MainHost &host, std::vector<std::string> &list);

// The table name of a file name: upper case, every ".DB" removed.
std::string ParadoxTableName(const std::string &fileName);

std::string ParadoxConnectionString(const std::string &folder);

} // namespace tabulon
