#pragma once

#include "common/guardedsteps.h"
#include "engine/run/runhost.h"
#include "engine/run/runjournal.h"
#include "engine/run/runreport.h"
#include "engine/run/runstate.h"
#include "engine/run/runtablework.h"
#include "source/paradox/paradoxconnection.h"
#include "target/mysqlconnection.h"

#include <memory>
#include <string>
#include <vector>

namespace tabulon {

// The steps a table's conversion takes from, in a run.
inline constexpr int kTableFirstStep = 144;

// Everything sending one table reads and writes. The window's run has one;
// a run with several jobs gives each job its own, so that tables sent side
// by side share nothing that changes.
struct TableSender {
    GuardedProcedure &proc;
    RunHost &host;
    TimedMessages &messages;
    RunState &state; // options, the target connection, List1, the models
    Connection *source;
    RunTableWork &work;
};

// What was settled about a table before its rows go: whether it replaces
// a table the server has (under the name the server listed), and what the
// run this one continues made of it.
struct TablePlan {
    std::string table;
    bool overwrite = false;
    std::string existing;
    const RunJournal::Table *before = nullptr;
    RunJournal::Table entry;
};

// The run's connection to the server; a silent server becomes the host's
// question. Throws when it cannot be opened.
std::unique_ptr<MySqlConnection> OpenRunTarget(const RunOptions &options, RunHost &host);
// The run's reader of the listed tables in `folder`, in the run's code page.
std::unique_ptr<Connection> OpenRunSource(const RunOptions &options, const std::string &folder,
                                          std::vector<ParadoxTableFile> tables);

// Creates, fills, counts and puts in place one table (direct mode: under
// its staging name first), or lists its statements (preview); the report
// and the journal entry say what became of it.
void SendTable(TableSender &sender, TablePlan &plan, TableReport &report);

} // namespace tabulon
