#pragma once

#include "data/connection.h"
#include "engine/run/runreport.h"
#include "engine/sqlgen/schemastatements.h"

#include <string>
#include <vector>

namespace tabulon {

// The server's name of a run's table that the source calls `name` (case
// aside), from `names`; empty when there is none.
std::string FindTableName(const std::vector<std::string> &names, const std::string &name);

// Direct mode, once the run's tables are in place: adds each foreign key
// whose child was put in place and whose master is on the server (put in
// place by this run or `onServer` before it). Rows of the child that name
// no master row (orphans) mean no key: the child's report names the rule,
// the count and up to 10 of them. Nothing here fails a table's data.
void AddForeignKeys(Connection &server, const std::vector<ForeignKeyPlan> &keys,
                    const std::vector<std::string> &onServer, RunReport &report);

// A foreign key of another table that names `table` as its master, as the
// server keeps it, so that replacing `table` can take it along.
struct Reference {
    std::string name, child, update, remove;
    std::vector<std::string> fields, masterFields;
};

// Replacing a master: the old table could not be dropped while other
// tables' foreign keys name it, and they would stay with the old copy.
// Detach removes them from their tables and returns them; Reattach puts
// them back onto the table now called `table`, each one the server
// refuses (rows the new master lacks) being a note in `notes`.
std::vector<Reference> DetachReferences(Connection &server, const std::string &table);
void ReattachReferences(Connection &server, const std::vector<Reference> &references, const std::string &table,
                        std::vector<std::string> &notes);

// Tells the child's report that `key` is not carried over, and why.
void LeaveForeignKeyOut(RunReport &report, const ForeignKeyPlan &key, const std::string &why);

// Preview and export: the statements of the keys whose child and master are
// among `tables`, for the end of the script; a note on the child's report
// (when it has one) for each other key.
std::vector<std::string> ForeignKeyStatements(const std::vector<ForeignKeyPlan> &keys,
                                              const std::vector<std::string> &tables, RunReport *report,
                                              std::vector<std::string> *leftOut = nullptr);

} // namespace tabulon
