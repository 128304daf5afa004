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
    static constexpr int kHeaderCodePage = -1;
    // Opens the table file; throws Error when it cannot be read. Its text is
    // read in code page `codePage` when that is not 0 and the text is not
    // plain ASCII; with 0 in the one its bytes read naturally in, which is
    // the header's whenever that is plausible; with kHeaderCodePage in the
    // header's, unlooked at. account() tells which.
    explicit ParadoxRecordSet(const std::string &path, int codePage = 0);

    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_eof; }
    bool bof() const override { return m_bof; }
    int64_t recordCount() const override { return m_table->recordCount(); }
    void moveNext() override;
    const Value &value(int field) override;
    void close() override;
    TableSchema schema() const override;
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
