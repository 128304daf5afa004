#pragma once

#include "data/tableschema.h"
#include "source/paradox/paradoxtable.h"

#include <string>
#include <vector>

namespace tabulon::paradox {

// A referential rule as a child's validity file keeps it: the master's
// fields by number, to be named from the master's own header.
struct ValidityReference {
    SchemaReference rule;                // masterFields empty
    std::vector<int> masterFieldNumbers; // from 1
};

struct ValidityFile {
    std::vector<SchemaCheck> checks;
    std::vector<ValidityReference> references;
    std::vector<std::string> notes; // entries that were skipped, and why
};

// Reads the validity file (.VAL) of `table`: per field required, minimum,
// maximum, default, picture and lookup table; and the rules under which
// this table is the child of a master. Values are decoded as the table's
// own. Throws Error with the reason when the file is damaged or of another
// version; an entry that does not fit the table is skipped with a note.
ValidityFile ReadValidityFile(const std::string &path, ParadoxTable &table);

} // namespace tabulon::paradox
