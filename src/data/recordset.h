#pragma once

#include "data/field.h"
#include "data/value.h"

#include <cstdint>
#include <vector>

namespace tabulon {

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
    virtual void moveNext() = 0;
    // Throws Error when this value cannot be decoded (a damaged memo file).
    virtual const Value &value(int field) = 0;
    virtual void close() {}
};

} // namespace tabulon
