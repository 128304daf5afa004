#pragma once

#include "engine/run/runreport.h"

#include <string>
#include <utility>
#include <vector>

namespace tabulon {

// The run report as JSON, for a script that checks a nightly rehearsal:
// the run's header, when it ended and what it was asked, and per table
// the same facts as the text report's columns and notes.
std::string RunReportJson(const RunReport &report, const std::vector<std::pair<std::string, std::string>> &options,
                          const std::string &ended);

} // namespace tabulon
