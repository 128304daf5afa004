#pragma once

#include "data/field.h"

#include <string>
#include <vector>

namespace tabulon {

// One line of the datatype view.
struct DatatypeLine {
    std::string table;
    std::string field;
    std::string keyword;   // the keyword that chose the mapping, or "OTHER TYPES"
    std::string mysqlType; // the type written into the create text
};

class DatatypeSink {
public:
    virtual ~DatatypeSink() = default;
    virtual void addDatatypeLine(DatatypeLine line) = 0;
};

struct TableDefinition {
    std::string createText;
    std::string NumericColumns;  // "0, 3, " for numeric fields at 0 and 3
    std::vector<bool> numeric;   // per field, the same facts for fast lookup
    std::vector<bool> binary;    // per field: a LONGBLOB column, whose bytes go as X'...'
};

// `name` in backticks, a backtick inside doubled.
std::string QuoteName(const std::string &name);
void AppendQuotedName(std::string &out, const std::string &name);

std::string DropStatement(const std::string &table);

// The MySQL column type a field is created with.
struct ColumnType {
    const char *keyword;    // the keyword found in the type name, or "OTHER TYPES"
    std::string mysqlType;  // "TEXT", "DECIMAL(32,2)", ...
    bool numeric;
    bool binary;            // LONGBLOB: values are written as bytes, not as text
};
ColumnType MapColumnType(const Field &field);

// Yields to the event queue once per field.
TableDefinition BuildTableDefinition(const std::string &table, const std::vector<Field> &fields,
                                     DatatypeSink *sink);

} // namespace tabulon
