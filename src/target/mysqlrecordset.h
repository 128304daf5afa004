#pragma once

#include "data/recordset.h"

struct st_mysql_res;

namespace tabulon {

// A buffered MySQL result: all rows are already on the client, so moving
// through it never waits on the server. Integer columns give integers,
// FLOAT/DOUBLE doubles, DECIMAL exact decimal text, binary columns bytes,
// everything else text; SQL NULL gives Null.
class MySqlRecordSet : public RecordSet {
public:
    // Takes ownership of result (null: a statement without a result set).
    explicit MySqlRecordSet(st_mysql_res *result);
    ~MySqlRecordSet() override;
    MySqlRecordSet(const MySqlRecordSet &) = delete;
    MySqlRecordSet &operator=(const MySqlRecordSet &) = delete;

    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_row >= m_count; }
    bool bof() const override { return m_count == 0; }
    int64_t recordCount() const override { return m_count; }
    void moveNext() override;
    const Value &value(int field) override;
    void close() override;

private:
    void load();

    st_mysql_res *m_result = nullptr;
    std::vector<Field> m_fields;
    std::vector<int> m_kinds;    // how each column's text becomes a Value
    std::vector<Value> m_values; // the current row, reused for every row
    int64_t m_count = 0;
    int64_t m_row = 0;
};

} // namespace tabulon
