#pragma once

#include "data/recordset.h"
#include "engine/sqlgen/tabledefinition.h"

#include <string>

namespace tabulon {

// Builds "INSERT INTO `t` VALUES(...)" for the current row of a record set.
// Keeps its buffers between rows, so building costs no allocation per row.
class RowStatement {
public:
    RowStatement(const std::string &table, const TableDefinition &definition);

    // Writes the statement for the record set's current row into `out`
    // (replacing its content). Yields to the event queue once per column.
    void build(RecordSet &rows, std::string &out);

    // The prefix every row statement of this table starts with.
    const std::string &prefix() const { return m_prefix; }

private:
    enum class Style : uint8_t { Text, Numeric, Binary, Date, Time, DateTime };
    std::string m_prefix;
    std::vector<Style> m_style;
};

// Appends the literal of one value (the text after "VALUES(" is built from
// these); exposed for tests and for the batching executor. Bytes bound for a
// binary (LONGBLOB) column go as X'...', so the server stores the bytes
// themselves; anywhere else they are their hexadecimal text in quotes.
void AppendLiteral(std::string &out, const Value &value, bool numericColumn, bool binaryColumn = false);

// Whether a date or time fits the native column that `form` writes: years
// 1000 to 9999, a time within one day, a date without a time of day.
bool NativeDateFits(DateTime dt, NativeLiteral form);
// Appends 'YYYY-MM-DD', 'hh:mm:ss.fff' or 'YYYY-MM-DD hh:mm:ss.fff' and
// true; false, with nothing appended, when the value does not fit.
bool AppendNativeDateLiteral(std::string &out, DateTime dt, NativeLiteral form);

} // namespace tabulon
