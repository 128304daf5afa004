#pragma once

#include "data/tableschema.h"
#include "source/paradox/paradoxtable.h"

#include <string>

namespace tabulon::paradox {

// Reads the header of a secondary index file (.Xnn for one field, .XGn for
// a composite or named one) of `table`: which of its fields, in which order
// and direction, unique or not, and whether Alpha values compare without
// regard to case. Throws Error with the reason when the file is damaged, of
// another version or does not fit the table. Only the header is read.
SchemaIndex ReadIndexFile(const std::string &path, const ParadoxTable &table);

} // namespace tabulon::paradox
