#pragma once

#include "data/field.h"
#include "data/tableschema.h"
#include "engine/sqlgen/tabledefinition.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

// A referential rule as a foreign key, added once every table of a run is
// loaded. Tables are named as the source names them; the run finds the
// server's names.
struct ForeignKeyPlan {
    std::string rule;  // Paradox's name for it
    std::string name;  // the constraint's name on the server
    std::string child; // the table the key is added to
    std::vector<std::string> fields;
    std::string master;
    std::vector<std::string> masterFields;
    bool cascadeUpdate = false;
};

// What a table's indexes, checks and rules become in native mode.
struct SchemaPlan {
    std::vector<std::string> columnSuffix; // per field: " DEFAULT ..." and " NOT NULL"
    std::vector<std::string> constraints;  // "CONSTRAINT `n` CHECK (...)", in the CREATE TABLE
    std::vector<std::string> indexClauses; // "ADD KEY `n` (...)", sent after the rows
    std::vector<ForeignKeyPlan> foreignKeys;
    int checks = 0;                   // fields with a required, default or range carried over
    std::vector<std::string> leftOut; // "picture of Phone (no MySQL equivalent)", one per rule not carried
    std::vector<std::string> notes;   // the reasons in sentences, for the report
    std::vector<DatatypeLine> lines;  // for the datatype view, under the columns

    bool empty() const
    {
        return indexClauses.empty() && constraints.empty() && foreignKeys.empty() && leftOut.empty() && checks == 0;
    }
};

// Compares two values of one field for a range check: <0, 0, >0; `ok`
// false when they cannot be compared as a server would (text, bytes).
int CompareForCheck(const Value &a, const Value &b, bool &ok);

// Whether a check's minimum and maximum become a CHECK constraint: numbers,
// dates and times; text is ordered by the server's collation, not Paradox's.
bool RangeCheckable(const Value &bound);

// Plans the native definition's additions. The scan counted the NULLs of
// required fields and the values outside a range; such a field keeps its
// rows and gets no NOT NULL or CHECK, with a note giving the count.
SchemaPlan PlanSchema(const std::string &table, const std::vector<Field> &fields, const TableDefinition &definition,
                      const TableSchema &schema, const NativeScan &scan);

// Writes the plan's column additions and constraints into the CREATE TABLE.
void ApplyColumnRules(TableDefinition &definition, const SchemaPlan &plan);

// "ALTER TABLE `t` ADD KEY ..., ADD UNIQUE KEY ..." with the given clauses.
std::string IndexStatement(const std::string &table, const std::vector<std::string> &clauses);

// "ALTER TABLE `child` ADD CONSTRAINT `n` FOREIGN KEY (...) REFERENCES `master` (...) ON UPDATE ... ON DELETE
// RESTRICT".
std::string ForeignKeyStatement(const ForeignKeyPlan &key, const std::string &child, const std::string &master);

// Rows of `child` whose key fields are all set but name no row of `master`:
// "SELECT COUNT(*) ..." or, with `limit`, the first `limit` of their values.
std::string OrphanQuery(const ForeignKeyPlan &key, const std::string &child, const std::string &master, int limit = 0);

// A name the server takes (at most 64 characters): longer ones are cut and
// given 8 hexadecimal digits of their own so that two stay apart.
std::string ServerName(const std::string &name);

// "3 indexes, 2 checks, 1 foreign key carried over; 1 rule not (a picture)".
std::string SchemaSummary(int indexes, int checks, int foreignKeys, const std::vector<std::string> &leftOut);

} // namespace tabulon
