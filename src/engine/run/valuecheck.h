#pragma once

#include "data/connection.h"
#include "engine/run/runreport.h"
#include "engine/run/tabledigest.h"
#include "target/digestquery.h"

#include <string>
#include <vector>

namespace tabulon {

// Rows on one side only shown for a table whose values differ.
inline constexpr std::size_t kOneSidedRowsShown = 10;

// Has the server count and digest what `name` holds and compares it with
// what was sent: report.serverRows is its count and, when that is the rows
// stored, report.values becomes Same or Differ. On a difference, the notes
// name the columns that differ and up to kOneSidedRowsShown rows found on
// one side only. False when there was no digest to compare or the server
// could not answer (with a note): the rows are still to be counted.
// `table` is the name the user knows.
bool CheckTableValues(Connection &connection, TableDigest &digest, const std::vector<mysql::DigestColumn> &columns,
                      const std::string &name, const std::string &table, TableReport &report);

} // namespace tabulon
