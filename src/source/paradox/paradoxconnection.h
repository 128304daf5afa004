#pragma once

#include "data/connection.h"
#include "source/paradoxsource.h"

#include <memory>
#include <string>
#include <vector>

namespace tabulon {

// Opens a folder of Paradox tables read-only from a connection string
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<folder>;Extended
// Properties=Paradox 5.x;" (values in braces as ODBC writes them). Its
// record sets come from "SELECT * FROM `t`", t a name of its table list
// (case ignored), which is `tables` or else FindParadoxTables of the folder
// at the moment of opening. Throws DbError.
std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString,
                                                  const ConnectionOptions &options = {});
std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString,
                                                  const ConnectionOptions &options,
                                                  std::vector<ParadoxTableFile> tables);

// The table name between the backticks of "SELECT * FROM `t`" (a doubled
// backtick stands for one); throws DbError for any other statement.
std::string ParadoxTableFromQuery(const std::string &source);

} // namespace tabulon
