#pragma once

#include "data/field.h"
#include "data/tableschema.h"
#include "data/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

// What a record set could not deliver as stored. Counted while it reads, so
// that a loss is told once after the last row rather than once per value,
// and kept as numbers for a per-table summary of the run.
struct ReadAccount {
    std::string file;          // the source file; empty when there is none
    int64_t expectedRows = -1; // the source's own count of its rows; -1: it keeps none
    int64_t rowsRead = 0;      // rows the set has stood on
    int64_t damagedBlocks = 0; // damaged blocks: skipped, cut short or wrongly linked
    std::string damage;        // the first of them, as a clause naming the place
    int64_t nullValues = 0;    // values that could not be read and were given as NULL
    std::string nullFile;      // the file those values are kept in
    std::string nullFault;     // why the first of them could not be read
    int headerCodePage = 0;    // the code page the source's header names (Paradox: 437 when none); 0: no such thing
    int codePage = 0;          // the code page its text was read in (detected or chosen)

    bool codePageOverridden() const { return codePage != headerCodePage; }

    bool rowsDiffer() const { return expectedRows >= 0 && rowsRead != expectedRows; }
    bool damaged() const { return damagedBlocks > 0 || rowsDiffer(); }
};

// A forward-only cursor over the rows of one statement or table. It holds
// one row at a time; value(j) stays valid until the next moveNext().
class RecordSet {
public:
    virtual ~RecordSet() = default;

    virtual const std::vector<Field> &fields() const = 0;
    // Before the first moveNext() the set is on its first row unless empty.
    virtual bool eof() const = 0;
    virtual bool bof() const = 0;
    // Known before the first row is read.
    virtual int64_t recordCount() const = 0;
    // Throws Error (naming the file or server and the reason) on failure.
    // Damage that only costs rows is counted in account() instead.
    virtual void moveNext() = 0;
    // Throws Error when this value cannot be decoded (the row is damaged).
    // A value kept in another file that cannot be read is NULL, counted in
    // account().
    virtual const Value &value(int field) = 0;
    virtual void close() {}
    // The indexes, checks and rules the source keeps beside the rows; read
    // when asked for, never failing (what cannot be read is a note in it).
    virtual TableSchema schema() const { return {}; }
    // Still valid after close().
    virtual const ReadAccount &account() const
    {
        static const ReadAccount none;
        return none;
    }
};

} // namespace tabulon
