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
    // The 1-based script line of the last located error in this program
    // run, 0 until one happens: written by the preview's execution, read by
    // its Jump To Error Line. Closing the preview or a new script keeps it.
    int ErrorLine = 0;
    std::unique_ptr<Connection> mysql_conn;
    std::vector<std::string> List1;  // target table names
    std::vector<std::string> List2;  // source table names
    std::vector<std::string> List2Files;  // the table file of each List2 entry
    ScriptModel scriptList;
    DatatypeModel datatypeList;
};

} // namespace tabulon
