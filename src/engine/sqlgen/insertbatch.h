#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tabulon {

// Single-row inserts into one table joined into one multi-row INSERT: their
// shared "INSERT INTO `t` VALUES" once, then each row's value list, comma
// separated. Keeps where each list lies in the text and the tag of its
// statement, so that a refused batch can be narrowed to its rows. Keeps
// its buffers between batches.
class InsertBatch {
public:
    // Offset and length of each row's "(...)" in text().
    using Tuples = std::vector<std::pair<size_t, size_t>>;

    bool empty() const { return m_tags.empty(); }
    size_t rows() const { return m_tags.size(); }

    // Whether `statement`, whose first `prefix` bytes are its "INSERT INTO
    // `t` VALUES", inserts into this batch's table. An empty batch takes any.
    bool sharesPrefix(std::string_view statement, size_t prefix) const
    {
        return empty() ||
               (m_prefix == prefix && std::string_view(m_text).substr(0, prefix) == statement.substr(0, prefix));
    }
    // Whether its row still fits: at most maxRows rows and maxBytes bytes
    // with it. A first row always fits.
    bool hasRoom(std::string_view statement, size_t prefix, size_t maxRows, size_t maxBytes) const
    {
        return empty() || (rows() < maxRows && m_text.size() + 1 + statement.size() - prefix <= maxBytes);
    }
    bool fits(std::string_view statement, size_t prefix, size_t maxRows, size_t maxBytes) const
    {
        return sharesPrefix(statement, prefix) && hasRoom(statement, prefix, maxRows, maxBytes);
    }

    // Adds the row of `statement`; it must share the prefix (an empty batch
    // takes it from the statement).
    void add(std::string_view statement, size_t prefix, uint64_t tag);
    void clear();

    // The statement: a batch of one row is that row's statement itself.
    const std::string &text() const { return m_text; }
    size_t prefix() const { return m_prefix; }
    // For handing the contents over by swap.
    std::string &text() { return m_text; }
    Tuples &tuples() { return m_tuples; }
    std::vector<uint64_t> &tags() { return m_tags; }

private:
    std::string m_text;
    size_t m_prefix = 0;
    Tuples m_tuples;
    std::vector<uint64_t> m_tags;
};

} // namespace tabulon
