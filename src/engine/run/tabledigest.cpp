#include "engine/run/tabledigest.h"

#include "common/crc32.h"

#include <algorithm>

namespace tabulon {
namespace {

constexpr std::size_t kBufferedDigests = 8192;

void skipBlanks(std::string_view t, std::size_t &i)
{
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\r' || t[i] == '\n'))
        ++i;
}

} // namespace

bool TableDigest::begin(const std::vector<std::string> &types)
{
    m_active = false;
    m_columns.clear();
    m_pendingRows.clear();
    m_pendingDigests.clear();
    m_rows = 0;
    m_rowSum = 0;
    m_columnSums.assign(types.size(), 0);
    m_file.reset();
    m_buffer.clear();
    m_fileFailed = false;
    for (const std::string &type : types) {
        m_columns.push_back(StoredColumnOf(type));
        if (m_columns.back().form == StoredForm::Unknown)
            return false;
    }
    m_active = !m_columns.empty();
    return m_active;
}

void TableDigest::abandon()
{
    m_active = false;
    m_pendingRows.clear();
    m_pendingDigests.clear();
    m_file.reset();
}

bool TableDigest::rowText(std::string_view t, const std::vector<StoredColumn> &columns, std::string &text,
                          std::vector<std::size_t> &ends)
{
    text.clear();
    ends.clear();
    std::size_t i = 0;
    skipBlanks(t, i);
    if (i >= t.size() || t[i] != '(')
        return false;
    ++i;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (k > 0)
            text.push_back(',');
        skipBlanks(t, i);
        if (!AppendQuotedStored(text, t, i, columns[k]))
            return false;
        ends.push_back(text.size());
        skipBlanks(t, i);
        if (i >= t.size() || t[i] != (k + 1 < columns.size() ? ',' : ')'))
            return false;
        ++i;
    }
    skipBlanks(t, i);
    return i == t.size();
}

void TableDigest::sent(int64_t row, std::string_view tuple)
{
    if (!m_active)
        return;
    if (!rowText(tuple, m_columns, m_text, m_ends)) {
        abandon();
        return;
    }
    m_pendingRows.push_back(row);
    m_pendingDigests.push_back(Crc32(m_text));
    std::size_t start = 0;
    for (std::size_t end : m_ends) {
        m_pendingDigests.push_back(Crc32(std::string_view(m_text).substr(start, end - start)));
        start = end + 1;
    }
}

void TableDigest::settled(int64_t row, bool stored)
{
    if (!m_active || m_pendingRows.empty())
        return;
    // A row settled out of the order sent: what was stored is no longer known.
    if (m_pendingRows.front() != row) {
        abandon();
        return;
    }
    m_pendingRows.pop_front();
    const uint32_t digest = m_pendingDigests.front();
    m_pendingDigests.pop_front();
    if (stored) {
        ++m_rows;
        m_rowSum += digest;
        keep(digest, row);
    }
    for (uint64_t &sum : m_columnSums) {
        if (stored)
            sum += m_pendingDigests.front();
        m_pendingDigests.pop_front();
    }
}

void TableDigest::keep(uint32_t digest, int64_t row)
{
    if (m_fileFailed)
        return;
    m_buffer.push_back(uint64_t(digest) << 32 | uint32_t(row));
    if (m_buffer.size() < kBufferedDigests)
        return;
    if (!m_file) {
        m_file = std::make_unique<QTemporaryFile>();
        m_fileFailed = !m_file->open();
    }
    const auto bytes = qint64(m_buffer.size() * sizeof(uint64_t));
    if (m_fileFailed || m_file->write(reinterpret_cast<const char *>(m_buffer.data()), bytes) != bytes) {
        m_fileFailed = true;
        m_file.reset();
    }
    m_buffer.clear();
}

std::vector<uint64_t> TableDigest::sortedRowDigests()
{
    std::vector<uint64_t> all;
    if (m_fileFailed)
        return all;
    if (m_file) {
        all.resize(std::size_t(m_file->size()) / sizeof(uint64_t));
        m_file->seek(0);
        const auto bytes = qint64(all.size() * sizeof(uint64_t));
        if (m_file->read(reinterpret_cast<char *>(all.data()), bytes) != bytes)
            return {};
    }
    all.insert(all.end(), m_buffer.begin(), m_buffer.end());
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace tabulon
