#pragma once

#include "engine/sqlgen/storedtext.h"

#include <QTemporaryFile>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

// One table's values as the server should hold them, folded row by row
// while they are sent, so the server's own digest of what it stored can
// be compared without reading a row back. A row is the text of QUOTE() of
// each column's value (NULL for none) joined by ","; its digest is the
// CRC-32 of that text, a column's the CRC-32 of its QUOTE(). The table's
// digest is the count and the exact sums of both over the rows stored.
class TableDigest {
public:
    // Starts a table with its columns' types as created; false, and no
    // digest for the table, when a column's stored text is not known.
    bool begin(const std::vector<std::string> &types);
    // No digest for this table (any more): the rows stored are not all known.
    void abandon();
    bool active() const { return m_active; }

    // Row `row` as sent, its literals "(1, 'a', NULL)"; kept until the
    // server settles it. A tuple that cannot be read abandons the digest.
    void sent(int64_t row, std::string_view tuple);
    // The server stored or refused the row; rows are settled in the order sent.
    void settled(int64_t row, bool stored);

    int64_t rows() const { return m_rows; }
    uint64_t rowSum() const { return m_rowSum; }
    const std::vector<uint64_t> &columnSums() const { return m_columnSums; }
    // The stored rows' digests (high 32 bits) with their row numbers (low
    // 32 bits), sorted; empty when they could not be kept.
    std::vector<uint64_t> sortedRowDigests();

    // The QUOTE() text of a tuple's row, and each column's end in it;
    // false when the tuple does not hold one literal per column.
    static bool rowText(std::string_view tuple, const std::vector<StoredColumn> &columns, std::string &text,
                        std::vector<std::size_t> &ends);

private:
    void keep(uint32_t digest, int64_t row);

    bool m_active = false;
    std::vector<StoredColumn> m_columns;
    std::string m_text;
    std::vector<std::size_t> m_ends;
    // Sent, not yet settled: row numbers, and per row its digest then each column's.
    std::deque<int64_t> m_pendingRows;
    std::deque<uint32_t> m_pendingDigests;
    int64_t m_rows = 0;
    uint64_t m_rowSum = 0;
    std::vector<uint64_t> m_columnSums;
    // The stored rows' digests go to a file: a table's worth stays out of memory.
    std::unique_ptr<QTemporaryFile> m_file;
    std::vector<uint64_t> m_buffer;
    bool m_fileFailed = false;
};

} // namespace tabulon
