#pragma once

#include "data/connection.h"

#include <memory>
#include <string>

namespace tabulon {

// Opens a folder of Paradox tables read-only from a connection string
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<folder>;Extended
// Properties=Paradox 5.x;". Its record sets come from "SELECT * FROM `t`",
// where t is a table name as ListParadoxTables gives it: found without
// regard to case in the folder, then in its sub-folders. Throws DbError.
std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString,
                                                  const ConnectionOptions &options = {});

// The table name between the backticks of "SELECT * FROM `t`" (a doubled
// backtick stands for one); throws DbError for any other statement.
std::string ParadoxTableFromQuery(const std::string &source);

// The path of the table file for `table` under `folder`, or empty.
std::string FindParadoxTableFile(const std::string &folder, const std::string &table);

} // namespace tabulon
