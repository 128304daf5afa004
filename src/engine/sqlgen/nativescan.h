#pragma once

#include "data/recordset.h"
#include "engine/sqlgen/tabledefinition.h"

namespace tabulon {

// Reads every row of `rows` (a set of its own, opened for this pass) for
// values MySQL's native column types cannot hold: a date outside the years
// 1000 to 9999, a time outside one day, a number that is not finite, an
// Alpha value longer than its field, a blank key value or one that ends
// in a blank. Rows that cannot
// be read are left to the conversion that follows, which reports them.
// Yields to the event queue once per row.
// With `schema`, it also counts the rows without a value in a required
// field and the values outside a field's range.
NativeScan ScanForNativeColumns(RecordSet &rows, const TableSchema *schema = nullptr);

} // namespace tabulon
