#pragma once

#include "common/nametext.h"
#include "data/field.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

// One line of the datatype view.
struct DatatypeLine {
    std::string table;
    std::string field;
    std::string keyword;   // the keyword that chose the mapping, or "OTHER TYPES"
    std::string mysqlType; // the type written into the create text
    std::string note = {}; // why a column or key is not what the mapping would make it
    bool key = false;      // a key field of the Paradox table
};

class DatatypeSink {
public:
    virtual ~DatatypeSink() = default;
    virtual void addDatatypeLine(DatatypeLine line) = 0;
};

// Which mapping a run writes: the original one (every date, time, money
// and logical value as text, no keys) or MySQL's own column types.
enum class ColumnTypes { Text, Native };

// How a native date or time column takes its values.
enum class NativeLiteral : uint8_t { None, Date, Time, DateTime };

// What a pass over a table's values found before its native columns are
// chosen: values a native column could not hold, and whether the key can
// become a primary key.
struct NativeScan {
    std::vector<std::string> fallback; // per field: why it keeps the text form; empty: native
    std::string noKey;                 // why a keyed table gets no primary key
    std::size_t noKeyField = 0;        // the key field it names
    bool keyCanContinue = true;        // every key value > 0: an autoincrement key may continue
    std::vector<int64_t> nulls;        // per field with a required check: the rows without a value
    std::vector<int64_t> outOfRange;   // per field with a range check: the values outside it
};

struct TableDefinition {
    std::string createText;
    std::vector<bool> numeric;           // per field: a numeric column, whose values go unquoted
    std::string NumericColumns;          // the same in words: "0, 3, " for numeric fields at 0 and 3
    std::vector<bool> binary;            // per field: a LONGBLOB column, whose bytes go as X'...'
    std::vector<NativeLiteral> temporal; // per field in native mode; empty in text mode
    std::vector<std::string> names;      // per field: the column's name
    std::vector<std::string> types;      // per field: its type as created, "DECIMAL(20,4)"
    // Native mode only: per field its column type, whether it is part of
    // the primary key, and where its definition ends in createText; where
    // table constraints go.
    std::vector<std::string> columnType;
    std::vector<bool> primaryKeyColumn;
    std::vector<std::size_t> columnEnd;
    std::size_t constraintsAt = 0;
};

// "DROP TABLE `t`", or "DROP TABLE IF EXISTS `t`" for one that may be gone.
std::string DropStatement(const std::string &table, bool ifExists = false);

// The MySQL column type a field is created with.
struct ColumnType {
    const char *keyword;   // the keyword found in the type name, or "OTHER TYPES"
    std::string mysqlType; // "TEXT", "DECIMAL(32,2)", ...
    bool numeric;
    bool binary; // LONGBLOB: values are written as bytes, not as text
};
ColumnType MapColumnType(const Field &field);

// The field type in words ("Date", "Money"); nullptr for an unknown letter.
const char *SourceTypeWords(char sourceType);

// Yields to the event queue once per field. With `native`, the fields get
// MySQL's own column types and a keyed table its primary key; a field the
// scan found values in that its native type cannot hold keeps the text
// form (without, the original mapping).
TableDefinition BuildTableDefinition(const std::string &table, const std::vector<Field> &fields, DatatypeSink *sink,
                                     const NativeScan *native = nullptr);

} // namespace tabulon
