#pragma once

#include "data/recordset.h"
#include "source/paradox/paradoxtable.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tabulon {

// All rows of one Paradox table, in the table's own order. Values are
// decoded when asked for, into one Value per field reused for every row.
class ParadoxRecordSet : public RecordSet {
public:
    // Opens the table file; throws Error when it cannot be read.
    explicit ParadoxRecordSet(const std::string &path);

    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_eof; }
    bool bof() const override { return m_bof; }
    int64_t recordCount() const override { return m_table->recordCount(); }
    void moveNext() override;
    const Value &value(int field) override;
    void close() override;
    const ReadAccount &account() const override { return m_table ? m_table->account() : m_closedAccount; }

private:
    std::unique_ptr<paradox::ParadoxTable> m_table;
    std::vector<Field> m_fields;
    std::vector<Value> m_values;
    std::vector<uint8_t> m_decoded;
    bool m_eof = true;
    bool m_bof = true;
    ReadAccount m_closedAccount;
};

} // namespace tabulon
