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

// Has the server digest what `name` holds and compares it with what was
// sent: report.values becomes Same or Differ. On a difference, the notes
// name the columns that differ and up to kOneSidedRowsShown rows found on
// one side only. A query the server cannot answer leaves the values
// unchecked, with a note. `table` is the name the user knows.
void CheckTableValues(Connection &connection, TableDigest &digest, const std::vector<mysql::DigestColumn> &columns,
                      const std::string &name, const std::string &table, TableReport &report);

} // namespace tabulon
