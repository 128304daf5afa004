#pragma once

#include "data/tableschema.h"

#include <string>

namespace tabulon::paradox {

// The secondary indexes, validity checks and referential rules kept beside
// the table at `path` (.Xnn/.XGn and .VAL files of the same name, any case),
// its text read in `codePage`. A companion file that cannot be read, or a
// rule whose master is missing, is a note; never an exception.
TableSchema ReadParadoxSchema(const std::string &path, int codePage);

} // namespace tabulon::paradox
