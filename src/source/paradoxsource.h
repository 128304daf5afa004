#pragma once

#include "common/mainhost.h"
#include "common/messagehost.h"

#include <string>
#include <vector>

namespace tabulon {

// Offers to copy a folder whose path has a space into ProgramDriveRoot() +
// "TestDB" and points Text1 at the copy. Reports as "Paradox.CopyDB".
void CopyDB(MainHost &host, bool sampleDatabase);

// Text1 names a folder that holds at least one table file, directly or in
// a sub-folder (the run reads those too).
bool FolderHasDbFiles(const MainHost &host);
// Why FolderHasDbFiles is false, as a sentence for the user; empty when it
// is true.
std::string FolderTablesProblem(const MainHost &host);

// One table file and the name the conversion gives its table.
struct ParadoxTableFile {
    std::string name;
    std::string path;
};

// Walks `folder` and all its sub-folders once and returns one entry per
// "*.db" file ("~" files skipped): the top folder's first, then each
// sub-folder's, depth-first; folders and files in name order, case ignored.
// Each name is ParadoxTableName of the file name; a name already taken
// (case ignored) gets the file's sub-folder path in front, upper-cased and
// joined with "_" (db/AREACODE.DB after areas/AREACODE.DB: DB_AREACODE),
// then "_2", "_3"... until it is free. So each file keeps a table of its own.
std::vector<ParadoxTableFile> FindParadoxTables(MessageHost &host, const std::string &folder);

// Clears `list`, then adds the table names FindParadoxTables gives for
// Text1's folder; `files`, when given, receives the file of each name.
void ListParadoxTables(MainHost &host, std::vector<std::string> &list, std::vector<std::string> *files = nullptr);

// The table name of a file name: upper case, every ".DB" removed; bytes
// that are no UTF-8 become U+FFFD and control characters "_".
std::string ParadoxTableName(const std::string &fileName);

// A file name as text: unchanged when it is UTF-8; otherwise decoded in the
// locale's character set when that is not UTF-8, else in the code page the
// table file's header names, else with its stray bytes replaced.
std::string FileNameText(const std::string &fileName, const std::string &path);

// The folder goes in braces whenever a reader would otherwise cut or trim
// it (";", braces, blanks at its ends).
std::string ParadoxConnectionString(const std::string &folder);

} // namespace tabulon
