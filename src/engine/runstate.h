#pragma once

#include "data/connection.h"
#include "engine/datatypemodel.h"
#include "engine/scriptmodel.h"

#include <memory>
#include <string>
#include <vector>

namespace tabulon {

// The values the main window, the conversion run and the preview share.
struct RunState {
    bool ConversionBusy = false;
    bool SQLFormOK = false;
    bool StopConversion = false;
    std::unique_ptr<Connection> mysql_conn;
    std::vector<std::string> List1;  // target table names
    std::vector<std::string> List2;  // source table names
    std::vector<std::string> List2Files;  // the table file of each List2 entry
    ScriptModel scriptList;
    DatatypeModel datatypeList;
};

} // namespace tabulon
