#include "target/digestquery.h"

#include "common/nametext.h"

namespace tabulon::mysql {
namespace {

void appendQuoted(std::string &out, const DigestColumn &column)
{
    out += "QUOTE(";
    if (column.text)
        out += "CONVERT(";
    AppendQuotedName(out, column.name);
    if (column.text)
        out += " USING utf8mb4)";
    out.push_back(')');
}

std::string rowDigest(const std::vector<DigestColumn> &columns)
{
    std::string out = "CRC32(CONCAT_WS(','";
    for (const DigestColumn &column : columns) {
        out.push_back(',');
        appendQuoted(out, column);
    }
    return out + "))";
}

std::string from(std::string_view table)
{
    std::string out = " FROM ";
    AppendQuotedName(out, table);
    return out;
}

} // namespace

std::string TableDigestQuery(std::string_view table, const std::vector<DigestColumn> &columns)
{
    return "SELECT COUNT(*), SUM(" + rowDigest(columns) + ")" + from(table);
}

std::string ColumnDigestsQuery(std::string_view table, const std::vector<DigestColumn> &columns)
{
    std::string out = "SELECT ";
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (k > 0)
            out += ", ";
        out += "SUM(CRC32(";
        appendQuoted(out, columns[k]);
        out += "))";
    }
    return out + from(table);
}

std::string RowDigestsQuery(std::string_view table, const std::vector<DigestColumn> &columns)
{
    return "SELECT " + rowDigest(columns) + " AS d" + from(table) + " ORDER BY d";
}

} // namespace tabulon::mysql
