#pragma once

#include "data/connection.h"
#include "source/paradoxsource.h"

#include <map>
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
// The code page each table's text is read in: 0 detects it (the header's
// wherever that is plausible), a number names one for every table whose text
// is not plain ASCII. A table's own entry beats the one for all.
struct CodePageChoice {
    int all = 0;
    std::map<std::string, int> tables; // by table name, case ignored
    int forTable(const std::string &table) const;
};

std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString,
                                                  const ConnectionOptions &options = {},
                                                  const CodePageChoice &codePages = {});
std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString, const ConnectionOptions &options,
                                                  std::vector<ParadoxTableFile> tables,
                                                  const CodePageChoice &codePages = {});

// A code page a user may name: one Paradox writes. "auto" is 0. Throws
// Error naming the choices for anything else.
int ParseCodePageChoice(const std::string &text);
// The choices in the order a list offers them, after "Auto".
const std::vector<int> &ChoosableCodePages();

// The table name between the backticks of "SELECT * FROM `t`" (a doubled
// backtick stands for one); throws DbError for any other statement.
std::string ParadoxTableFromQuery(const std::string &source);

} // namespace tabulon
