#include "target/mysqlrecordset.h"

#include "common/error.h"

#include <mysql.h>

#include <charconv>
#include <string_view>

namespace tabulon {
namespace {

enum ColumnKind { AsText, AsInteger, AsUnsigned, AsDouble, AsDecimal, AsBytes };

// The binary character set: the column holds bytes, not text.
constexpr unsigned kBinaryCharset = 63;

void describe(const MYSQL_FIELD &f, Field &field, int &kind)
{
    const bool isUnsigned = (f.flags & UNSIGNED_FLAG) != 0;
    const bool binary = f.charsetnr == kBinaryCharset;
    field.name.assign(f.name, f.name_length);
    field.definedSize = static_cast<int>(f.length);
    kind = AsText;
    switch (f.type) {
    case MYSQL_TYPE_TINY:
        field.type = AdoType::adTinyInt;
        kind = AsInteger;
        break;
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
        field.type = AdoType::adSmallInt;
        kind = AsInteger;
        break;
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
        field.type = AdoType::adInteger;
        kind = AsInteger;
        break;
    case MYSQL_TYPE_LONGLONG:
        field.type = AdoType::adBigInt;
        kind = isUnsigned ? AsUnsigned : AsInteger;
        break;
    case MYSQL_TYPE_FLOAT:
        field.type = AdoType::adSingle;
        kind = AsDouble;
        break;
    case MYSQL_TYPE_DOUBLE:
        field.type = AdoType::adDouble;
        kind = AsDouble;
        break;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        field.type = AdoType::adNumeric;
        field.scale = static_cast<int>(f.decimals);
        field.precision = static_cast<int>(f.length) - (f.decimals ? 1 : 0) - (isUnsigned ? 0 : 1);
        kind = AsDecimal;
        break;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
        field.type = binary ? AdoType::adLongVarBinary : AdoType::adLongVarWChar;
        kind = binary ? AsBytes : AsText;
        break;
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VARCHAR:
        field.type = binary ? AdoType::adVarBinary : AdoType::adVarWChar;
        kind = binary ? AsBytes : AsText;
        break;
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_GEOMETRY:
        field.type = AdoType::adVarBinary;
        kind = AsBytes;
        break;
    default:
        // Dates, times, enums, sets, JSON: the server's own text.
        field.type = AdoType::adVarWChar;
        break;
    }
}

} // namespace

MySqlRecordSet::MySqlRecordSet(MYSQL_RES *result) : m_result(result)
{
    if (!m_result)
        return;
    const unsigned n = mysql_num_fields(m_result);
    const MYSQL_FIELD *f = mysql_fetch_fields(m_result);
    m_fields.resize(n);
    m_kinds.resize(n);
    m_values.resize(n);
    for (unsigned j = 0; j < n; ++j)
        describe(f[j], m_fields[j], m_kinds[j]);
    m_count = static_cast<int64_t>(mysql_num_rows(m_result));
    load();
}

MySqlRecordSet::~MySqlRecordSet() { close(); }

void MySqlRecordSet::close()
{
    if (m_result)
        mysql_free_result(m_result);
    m_result = nullptr;
    m_count = 0;
    m_row = 0;
}

void MySqlRecordSet::moveNext()
{
    if (eof())
        throw Error("The MySQL record set has no further rows.");
    ++m_row;
    load();
}

const Value &MySqlRecordSet::value(int field)
{
    if (eof() || field < 0 || field >= static_cast<int>(m_values.size()))
        throw Error("The MySQL record set has no value " + std::to_string(field) + " at this position.");
    return m_values[field];
}

void MySqlRecordSet::load()
{
    if (eof())
        return;
    // A stored result hands out its rows from client memory: no I/O here.
    MYSQL_ROW row = mysql_fetch_row(m_result);
    const unsigned long *lengths = row ? mysql_fetch_lengths(m_result) : nullptr;
    if (!row || !lengths)
        throw Error("The MySQL record set lost row " + std::to_string(m_row + 1) + ".");
    for (size_t j = 0; j < m_values.size(); ++j) {
        Value &v = m_values[j];
        if (!row[j]) {
            v.setNull();
            continue;
        }
        const std::string_view text(row[j], lengths[j]);
        const char *first = text.data();
        const char *last = first + text.size();
        // from_chars, unlike strtod, ignores the locale Qt installs.
        switch (m_kinds[j]) {
        case AsInteger: {
            int64_t i = 0;
            const auto r = std::from_chars(first, last, i);
            if (r.ec == std::errc() && r.ptr == last)
                v.setInteger(i);
            else
                v.setText(text);
            break;
        }
        case AsUnsigned: {
            int64_t i = 0;
            const auto r = std::from_chars(first, last, i);
            if (r.ec == std::errc() && r.ptr == last)
                v.setInteger(i);
            else
                v.setDecimal(text); // beyond int64: keep it exact
            break;
        }
        case AsDouble: {
            double d = 0;
            const auto r = std::from_chars(first, last, d);
            if (r.ec == std::errc() && r.ptr == last)
                v.setDouble(d);
            else
                v.setText(text);
            break;
        }
        case AsDecimal: v.setDecimal(text); break;
        case AsBytes: v.setBytes(text); break;
        default: v.setText(text); break;
        }
    }
}

} // namespace tabulon
