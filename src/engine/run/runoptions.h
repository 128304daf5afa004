#pragma once

#include "engine/sqlgen/tabledefinition.h"
#include "target/mysqllogin.h"

#include <string>

namespace tabulon {

// What a run is asked to do, read once when it starts: a setting changed
// during the run (a box ticked, a settings file edited) does not split one
// run into two kinds.
struct RunOptions {
    MySqlLogin login;
    bool preview = false;          // "Enable SQL Preview mode" (Check1)
    bool previewEachFile = true;   // "Show SQL Preview For Each File" (Option1)
    bool previewEachTable = false; // "Show SQL Preview For Each Table" (Option2)
    bool rowByRow = false;         // setting "RowByRow": one statement per row, no batches
    // Setting "VerifyValues": the server digests what it stored, to be
    // compared with the values sent (direct mode).
    bool verifyValues = true;
    ColumnTypes columnTypes = ColumnTypes::Text;
    std::string codePage = "Auto"; // the choice beside the folder: "Auto" or a number
    // Where a direct run keeps what it finished, for the next run to go on
    // (RunJournal); empty: nowhere.
    std::string journalPath;
    // Tables sent at once, each over its own connection (direct mode only).
    int jobs = 1;
};

} // namespace tabulon
