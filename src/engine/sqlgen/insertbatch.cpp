#include "engine/sqlgen/insertbatch.h"

namespace tabulon {

void InsertBatch::add(std::string_view statement, size_t prefix, uint64_t tag)
{
    if (empty()) {
        m_text.assign(statement.substr(0, prefix));
        m_prefix = prefix;
    } else {
        m_text.push_back(',');
    }
    const std::string_view tuple = statement.substr(prefix);
    m_tuples.emplace_back(m_text.size(), tuple.size());
    m_text.append(tuple);
    m_tags.push_back(tag);
}

void InsertBatch::clear()
{
    m_text.clear();
    m_tuples.clear();
    m_tags.clear();
}

} // namespace tabulon
