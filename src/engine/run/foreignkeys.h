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

// Tells the child's report that `key` is not carried over, and why.
void LeaveForeignKeyOut(RunReport &report, const ForeignKeyPlan &key, const std::string &why);

// Preview and export: the statements of the keys whose child and master are
// among `tables`, for the end of the script; a note on the child's report
// (when it has one) for each other key.
std::vector<std::string> ForeignKeyStatements(const std::vector<ForeignKeyPlan> &keys,
                                              const std::vector<std::string> &tables, RunReport *report,
                                              std::vector<std::string> *leftOut = nullptr);

} // namespace tabulon
