#pragma once

#include "common/error.h"
#include "data/recordset.h"

#include <string>
#include <utility>
#include <vector>

namespace tabulon::test {

// A record set over rows held in memory: fields plus rows of values.
class MemoryRecordSet : public RecordSet {
public:
    MemoryRecordSet() = default;
    MemoryRecordSet(std::vector<Field> fields, std::vector<std::vector<Value>> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows))
    {
    }

    void addRow(std::vector<Value> row) { m_rows.push_back(std::move(row)); }

    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_row >= m_rows.size(); }
    bool bof() const override { return m_rows.empty(); }
    int64_t recordCount() const override { return static_cast<int64_t>(m_rows.size()); }
    void moveNext() override
    {
        if (eof())
            throw Error("moveNext() beyond the last row");
        ++m_row;
    }
    const Value &value(int field) override
    {
        if (eof() || field < 0 || static_cast<size_t>(field) >= m_rows[m_row].size())
            throw Error("no value at field " + std::to_string(field));
        return m_rows[m_row][static_cast<size_t>(field)];
    }

private:
    std::vector<Field> m_fields;
    std::vector<std::vector<Value>> m_rows;
    size_t m_row = 0;
};

} // namespace tabulon::test
