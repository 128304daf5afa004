#include "engine/sqlgen/rowstatement.h"

#include "common/eventpump.h"

#include <algorithm>
#include <cmath>

namespace tabulon {
namespace {

// Characters that need more than themselves inside a quoted literal. The
// backslash and control characters are escaped as well as the quote: the
// server reads backslash escapes, and a raw line break would split the
// statement over two script lines.
constexpr bool needsEscape(unsigned char c) { return c == '\'' || c == '\\' || c == '\0' || c == '\r' || c == '\n'; }

void appendEscaped(std::string &out, std::string_view s)
{
    const char *p = s.data();
    const char *end = p + s.size();
    const char *run = p;
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!needsEscape(c))
            continue;
        out.append(run, p);
        switch (c) {
        case '\'': out += "''"; break;
        case '\\': out += "\\\\"; break;
        case '\0': out += "\\0"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        }
        run = p + 1;
    }
    out.append(run, end);
}

void appendNull(std::string &out)
{
    // The preceding literal's blank goes, so the comma meets NULL directly.
    if (out.size() >= 2 && out[out.size() - 2] == ',' && out.back() == ' ')
        out.pop_back();
    out += "NULL, ";
}

void append2(std::string &out, int v)
{
    out.push_back(static_cast<char>('0' + v / 10 % 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

// 'mm/dd/yyyy' at midnight, 'mm/dd/yyyy hh:nn:ss' otherwise and on the zero
// date, whose text shows a time of day.
void appendDateLiteral(std::string &out, DateTime dt)
{
    int y, m, d;
    dt.toCivil(y, m, d);
    out.push_back('\'');
    append2(out, m);
    out.push_back('/');
    append2(out, d);
    out.push_back('/');
    if (y >= 0 && y <= 9999) {
        append2(out, y / 100);
        append2(out, y % 100);
    } else {
        out += std::to_string(y);
    }
    if (dt.msOfDay != 0 || dt.days == 0) {
        const int s = dt.msOfDay / 1000;
        out.push_back(' ');
        append2(out, s / 3600);
        out.push_back(':');
        append2(out, s / 60 % 60);
        out.push_back(':');
        append2(out, s % 60);
    }
    out += "', ";
}

bool isPlainNumber(std::string_view s)
{
    bool digit = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (!(c == '.' || (c == '-' && i == 0)))
            return false;
    }
    return digit;
}

// The value's text, quoted and escaped.
void appendQuotedText(std::string &out, const Value &value)
{
    out.push_back('\'');
    switch (value.kind()) {
    case Value::Kind::Text: appendEscaped(out, value.str()); break;
    case Value::Kind::Decimal: {
        // A well-formed decimal needs no escapes; a damaged one is escaped.
        const size_t start = out.size();
        value.appendText(out);
        if (!isPlainNumber(std::string_view(out).substr(start))) {
            out.resize(start);
            appendEscaped(out, value.str());
        }
        break;
    }
    default:
        // Numbers, words and hexadecimal digits hold nothing to escape.
        value.appendText(out);
        break;
    }
    out += "', ";
}

bool givesEmptyText(const Value &value)
{
    switch (value.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null: return true;
    case Value::Kind::Text:
    case Value::Kind::Decimal:
    case Value::Kind::Bytes: return value.str().empty();
    default: return false;
    }
}

void append3(std::string &out, int v)
{
    out.push_back(static_cast<char>('0' + v / 100 % 10));
    append2(out, v);
}

void appendClock(std::string &out, int32_t msOfDay)
{
    const int s = msOfDay / 1000;
    append2(out, s / 3600);
    out.push_back(':');
    append2(out, s / 60 % 60);
    out.push_back(':');
    append2(out, s % 60);
    out.push_back('.');
    append3(out, msOfDay % 1000);
}

} // namespace

bool NativeDateFits(DateTime dt, NativeLiteral form)
{
    if (form == NativeLiteral::Time)
        return dt.days == 0 && dt.msOfDay >= 0 && dt.msOfDay < 86'400'000;
    if (dt.msOfDay < 0 || dt.msOfDay >= 86'400'000 || (form == NativeLiteral::Date && dt.msOfDay != 0))
        return false;
    int y, m, d;
    dt.toCivil(y, m, d);
    return y >= 1000 && y <= 9999;
}

bool AppendNativeDateLiteral(std::string &out, DateTime dt, NativeLiteral form)
{
    if (!NativeDateFits(dt, form))
        return false;
    out.push_back('\'');
    if (form != NativeLiteral::Time) {
        int y, m, d;
        dt.toCivil(y, m, d);
        append2(out, y / 100);
        append2(out, y % 100);
        out.push_back('-');
        append2(out, m);
        out.push_back('-');
        append2(out, d);
        if (form == NativeLiteral::DateTime)
            out.push_back(' ');
    }
    if (form != NativeLiteral::Date)
        appendClock(out, dt.msOfDay);
    out += "', ";
    return true;
}

void AppendLiteral(std::string &out, const Value &value, bool numericColumn, bool binaryColumn)
{
    // Literals are judged from the value's type, never from its text: a
    // text that happens to read as a date or a number stays that text.
    if (binaryColumn && value.kind() == Value::Kind::Bytes) {
        // An empty value is still a value: X'' stores an empty blob, where
        // NULL would say there is none.
        out += "X'";
        value.appendText(out);
        out += "', ";
        return;
    }
    if (givesEmptyText(value)) {
        appendNull(out);
        return;
    }
    switch (value.kind()) {
    case Value::Kind::DateTime: appendDateLiteral(out, value.dateTime()); return;
    case Value::Kind::Boolean:
        if (numericColumn) {
            out += value.boolean() ? "1, " : "0, ";
            return;
        }
        break;
    case Value::Kind::Integer:
    case Value::Kind::Currency:
        if (numericColumn) {
            value.appendText(out);
            out += ", ";
            return;
        }
        break;
    case Value::Kind::Double:
        // NaN and infinities have no MySQL literal; quoted, the server
        // refuses them with a message that names the column.
        if (numericColumn && std::isfinite(value.real())) {
            value.appendText(out);
            out += ", ";
            return;
        }
        break;
    case Value::Kind::Decimal:
        if (numericColumn) {
            const size_t start = out.size();
            value.appendText(out);
            if (isPlainNumber(std::string_view(out).substr(start))) {
                out += ", ";
                return;
            }
            out.resize(start);
        }
        break;
    default: break;
    }
    appendQuotedText(out, value);
}

RowStatement::RowStatement(const std::string &table, const TableDefinition &definition)
{
    const std::vector<bool> &numeric = definition.numeric;
    const size_t count = std::max({numeric.size(), definition.binary.size(), definition.temporal.size()});
    m_style.resize(count, Style::Text);
    for (size_t k = 0; k < count; ++k) {
        const NativeLiteral temporal = k < definition.temporal.size() ? definition.temporal[k] : NativeLiteral::None;
        if (temporal == NativeLiteral::Date)
            m_style[k] = Style::Date;
        else if (temporal == NativeLiteral::Time)
            m_style[k] = Style::Time;
        else if (temporal == NativeLiteral::DateTime)
            m_style[k] = Style::DateTime;
        else if (k < numeric.size() && numeric[k])
            m_style[k] = Style::Numeric;
        else if (k < definition.binary.size() && definition.binary[k])
            m_style[k] = Style::Binary;
    }
    m_prefix = "INSERT INTO ";
    AppendQuotedName(m_prefix, table);
    m_prefix += " VALUES(";
}

void RowStatement::build(RecordSet &rows, std::string &out)
{
    out.assign(m_prefix);
    const size_t count = rows.fields().size();
    for (size_t k = 0; k < count; ++k) {
        EventPump::yield();
        const Style style = k < m_style.size() ? m_style[k] : Style::Text;
        const Value &value = rows.value(static_cast<int>(k));
        switch (style) {
        case Style::Date:
        case Style::Time:
        case Style::DateTime:
            if (value.kind() == Value::Kind::DateTime &&
                AppendNativeDateLiteral(out, value.dateTime(),
                                        style == Style::Date   ? NativeLiteral::Date
                                        : style == Style::Time ? NativeLiteral::Time
                                                               : NativeLiteral::DateTime))
                break;
            AppendLiteral(out, value, false, false);
            break;
        default: AppendLiteral(out, value, style == Style::Numeric, style == Style::Binary); break;
        }
    }
    if (out.size() > m_prefix.size())
        out.resize(out.size() - 2);
    out.push_back(')');
}

} // namespace tabulon
