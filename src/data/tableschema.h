#pragma once

#include "data/value.h"

#include <string>
#include <vector>

namespace tabulon {

// What a source keeps beside a table's rows: secondary indexes, validity
// checks and the rules that tie its fields to another table's key. Field
// names are the table's own (as its fields() name them).
struct SchemaIndex {
    std::string name; // empty: the source gives it none
    std::vector<std::string> fields;
    std::vector<bool> descending; // per field
    bool unique = false;
    bool caseInsensitive = false;
    std::string file;
};

struct SchemaCheck {
    std::string field;
    bool required = false;
    Value minimum, maximum, defaultValue; // Empty when not set
    std::string picture;                  // an input mask
    std::string lookupTable;              // values must be found in this table's first field
};

struct SchemaReference {
    std::string name;
    std::vector<std::string> fields;       // the child's (this table's) fields
    std::string masterTable;               // the master as the source names it, without folder or extension
    std::vector<std::string> masterFields; // the master's key fields, in the same order
    bool cascadeUpdate = false;            // otherwise a changed master key with children is refused
};

struct TableSchema {
    std::vector<SchemaIndex> indexes;
    std::vector<SchemaCheck> checks;
    std::vector<SchemaReference> references;
    // Companion files that could not be read, and rules that could not be
    // understood: one sentence each.
    std::vector<std::string> notes;

    bool empty() const { return indexes.empty() && checks.empty() && references.empty() && notes.empty(); }
};

} // namespace tabulon
