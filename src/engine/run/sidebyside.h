#pragma once

#include "engine/run/runhost.h"
#include "engine/run/runjournal.h"
#include "engine/run/runreport.h"
#include "engine/run/tablesend.h"
#include "source/paradox/paradoxconnection.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

// A table planned for sending, with where its report goes.
struct PlannedTable {
    TablePlan plan;
    TableReport *report = nullptr;
    int64_t bytes = 0; // its files' size: the largest go first
};

// What every job reads and nobody changes.
struct SideBySideRun {
    RunOptions options;
    std::string folder;
    std::vector<std::string> listed;       // the target's tables (List1)
    std::vector<ParadoxTableFile> sources; // every table the run lists
    int jobs = 2;
};

// Sends the planned tables over up to `run.jobs` connections at once, each
// job with its own connection, reader and table state, the largest tables
// first. A job whose sending stopped (a lost connection, a stop) ends the
// run: no job starts another table, and the tables not begun stay "not
// reached". Boxes and questions reach the host one at a time; the caption
// names the tables in flight; `host.tableFinished` hears of each table as
// it ends. The journal records each table as in a run of one job.
void SendSideBySide(RunHost &host, const SideBySideRun &run, std::vector<PlannedTable> &tables, RunJournal &journal);

} // namespace tabulon
