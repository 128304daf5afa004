#pragma once

#include "engine/run/runoptions.h"

#include <string>

namespace tabulon {

// tabulon-sql --server: the window's direct run, unattended.
struct DirectRun {
    RunOptions options; // the login's password is filled in by RunDirect
    std::string folder;
    std::string passwordFile; // --password-file; MYSQL_PWD beats it
    bool drop = false;        // replace existing tables; else "not overwritten"
    bool resume = false;      // go on with a stopped run's journal
    std::string reportFile;
};

// Runs the conversion and prints its report. The exit status: 0 every
// table converted and verified (or left alone without --drop), 1 anything
// less, 2 no password to be had, 3 the server could not be reached, 130 or
// 143 after SIGINT or SIGTERM stopped the run.
int RunDirect(DirectRun run);

} // namespace tabulon
