#pragma once

#include "common/guardedsteps.h"
#include "data/connection.h"
#include "engine/sqlgen/schemastatements.h"
#include "engine/sqlgen/tabledefinition.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tabulon {

// What converting one table needs from whoever drives it besides its
// guarded steps: the window's run (progress, execute or list) or the
// command-line export (statements to standard output).
class TableWork {
public:
    virtual ~TableWork() = default;

    // Executes or lists one statement; throws on failure. For a row
    // statement, rowPrefix is the length of its "INSERT INTO `t` VALUES"
    // part, which all rows of the table share, and row its row number
    // from 1; both 0 for other statements.
    virtual void statement(const std::string &text, int step, std::size_t rowPrefix, int64_t row) = 0;
    // The table's columns, before its CREATE statement goes.
    virtual void tableDefined(const TableDefinition &) {}
    // True once no further statement can succeed (the target connection is
    // gone): the table ends early.
    virtual bool stopped() const { return false; }
    // The column mapping the tables are created with.
    virtual ColumnTypes columnTypes() const { return ColumnTypes::Text; }

    // A table's indexes, checks and rules in native mode, once its rows
    // went: sends its index statement; the foreign keys are for whoever
    // drives the run, once all its tables are loaded.
    virtual void tableSchema(const std::string &table, const SchemaPlan &plan, int step)
    {
        if (!plan.indexClauses.empty())
            statement(IndexStatement(table, plan.indexClauses), step, 0, 0);
    }

    // The table as its caption names it.
    virtual std::string tableLabel(const std::string &table) const { return table; }
    virtual void setProgressCaption(const std::string &) {}
    // Row `row` (from 1) of the `total` the source counts was read. Called
    // per row: must cost next to nothing.
    virtual void setProgress(int64_t /*row*/, int64_t /*total*/) {}
};

// The bar's position at row `row` of `total`: a count that undershoots the
// rows read must not push the bar past its end.
inline double ProgressPercent(int64_t row, int64_t total)
{
    const double percent = double(row + 1) / double(total + 1) * 100.0;
    return percent < 100.0 ? percent : 100.0;
}

// Step numbers ConvertTable uses, from its first one on.
inline constexpr int kConvertTableSteps = 12;

// Caption, "SELECT * FROM `t`" on the source, table definition, create,
// then one insert per row with progress, and closing the record set. Steps
// are numbered firstStep, firstStep + 2, ... When the record set cannot be
// opened or its definition built, the table ends after that one report, and
// a row that cannot be read is reported and not sent; a failing move to the
// next row ends the table's rows (a damaged file must not loop forever).
// What the reader lost (values it gave as NULL; rows that differ from the
// header's count, damaged blocks) is reported once each after the last row,
// under the row step's number, and returned for a summary of the run.
ReadAccount ConvertTable(GuardedProcedure &proc, TableWork &work, Connection *source, const std::string &table,
                         DatatypeSink *datatypes, int firstStep);

// The descriptions of those two reports.
std::string NullValuesText(const std::string &table, const ReadAccount &account);
std::string DamagedRowsText(const std::string &table, const ReadAccount &account);

} // namespace tabulon
