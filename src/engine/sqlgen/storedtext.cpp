#include "engine/sqlgen/storedtext.h"

#include <charconv>
#include <cstdlib>

namespace tabulon {
namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (std::size_t k = 0; k < prefix.size(); ++k)
        if ((s[k] | 0x20) != (prefix[k] | 0x20))
            return false;
    return true;
}

void appendQuoteEscaped(std::string &out, std::string_view s)
{
    const char *run = s.data();
    const char *end = run + s.size();
    for (const char *p = run; p < end; ++p) {
        const char c = *p;
        if (c != '\\' && c != '\'' && c != '\0' && c != '\x1a')
            continue;
        out.append(run, p);
        out.push_back('\\');
        out.push_back(c == '\0' ? '0' : c == '\x1a' ? 'Z' : c);
        run = p + 1;
    }
    out.append(run, end);
}

// The text of a quoted literal at t[i] (on its opening quote), unescaped.
bool readQuoted(std::string_view t, std::size_t &i, std::string &text)
{
    text.clear();
    ++i;
    while (i < t.size()) {
        const char c = t[i];
        if (c == '\'') {
            if (i + 1 < t.size() && t[i + 1] == '\'') {
                text.push_back('\'');
                i += 2;
                continue;
            }
            ++i;
            return true;
        }
        if (c == '\\' && i + 1 < t.size()) {
            const char e = t[i + 1];
            switch (e) {
            case '0': text.push_back('\0'); break;
            case 'n': text.push_back('\n'); break;
            case 'r': text.push_back('\r'); break;
            case 't': text.push_back('\t'); break;
            case 'b': text.push_back('\b'); break;
            case 'Z': text.push_back('\x1a'); break;
            // Kept with their backslash outside LIKE patterns too.
            case '%':
            case '_':
                text.push_back('\\');
                text.push_back(e);
                break;
            default: text.push_back(e); break;
            }
            i += 2;
            continue;
        }
        text.push_back(c);
        ++i;
    }
    return false;
}

// A quoted literal at t[i] as QUOTE() writes its text, in one pass: runs
// that need nothing are copied whole, the literal's escapes become QUOTE()'s.
bool appendQuotedText(std::string &out, std::string_view t, std::size_t &i)
{
    out.push_back('\'');
    ++i;
    const auto quoteChar = [&out](char c) {
        if (c == '\\' || c == '\'' || c == '\0' || c == '\x1a') {
            out.push_back('\\');
            out.push_back(c == '\0' ? '0' : c == '\x1a' ? 'Z' : c);
        } else {
            out.push_back(c);
        }
    };
    while (i < t.size()) {
        std::size_t end = i;
        while (end < t.size() && t[end] != '\'' && t[end] != '\\' && t[end] != '\0' && t[end] != '\x1a')
            ++end;
        out.append(t.data() + i, end - i);
        i = end;
        if (i >= t.size())
            break;
        const char c = t[i];
        if (c == '\'') {
            if (i + 1 < t.size() && t[i + 1] == '\'') {
                out += "\\'";
                i += 2;
                continue;
            }
            ++i;
            out.push_back('\'');
            return true;
        }
        if (c == '\\' && i + 1 < t.size()) {
            const char e = t[i + 1];
            switch (e) {
            case '0': quoteChar('\0'); break;
            case 'n': quoteChar('\n'); break;
            case 'r': quoteChar('\r'); break;
            case 't': quoteChar('\t'); break;
            case 'b': quoteChar('\b'); break;
            case 'Z': quoteChar('\x1a'); break;
            case '%':
            case '_':
                quoteChar('\\');
                quoteChar(e);
                break;
            default: quoteChar(e); break;
            }
            i += 2;
            continue;
        }
        quoteChar(c);
        ++i;
    }
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool readHex(std::string_view t, std::size_t &i, std::string &bytes)
{
    bytes.clear();
    i += 2;
    while (i + 1 < t.size() && t[i] != '\'') {
        const int hi = hexDigit(t[i]), lo = hexDigit(t[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(char(hi << 4 | lo));
        i += 2;
    }
    if (i >= t.size() || t[i] != '\'')
        return false;
    ++i;
    return true;
}

bool isNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'; }

// "-007" as "-7", "+0" as "0"; false for anything but an integer.
bool appendInteger(std::string &out, std::string_view s)
{
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    while (s.size() > 1 && s[0] == '0')
        s.remove_prefix(1);
    if (negative && s != "0")
        out.push_back('-');
    out.append(s);
    return true;
}

bool appendDouble(std::string &out, std::string_view s)
{
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size())
        return false;
    AppendStoredDouble(out, value);
    return true;
}

} // namespace

StoredColumn StoredColumnOf(std::string_view type)
{
    if (startsWithNoCase(type, "DECIMAL")) {
        const std::size_t comma = type.find(',');
        if (comma == std::string_view::npos)
            return {StoredForm::Decimal, 0};
        return {StoredForm::Decimal, std::atoi(std::string(type.substr(comma + 1)).c_str())};
    }
    if (startsWithNoCase(type, "DOUBLE"))
        return {StoredForm::Double};
    for (std::string_view integer : {"INT", "SMALLINT", "TINYINT", "BIGINT", "MEDIUMINT", "BOOLEAN"})
        if (startsWithNoCase(type, integer))
            return {StoredForm::Integer};
    for (std::string_view written :
         {"LONGTEXT", "TEXT", "VARCHAR", "LONGBLOB", "VARBINARY", "DATETIME", "DATE", "TIME"})
        if (startsWithNoCase(type, written))
            return {StoredForm::AsWritten};
    return {StoredForm::Unknown};
}

void AppendStoredDouble(std::string &out, double value)
{
    if (value == 0) {
        out.push_back('0');
        return;
    }
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view sci(buffer, std::size_t(result.ptr - buffer));
    if (sci[0] == '-') {
        out.push_back('-');
        sci.remove_prefix(1);
    }
    const std::size_t e = sci.find('e');
    std::string_view mantissa = sci.substr(0, e);
    const int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());
    char digits[24];
    int len = 0;
    for (char c : mantissa)
        if (c != '.')
            digits[len++] = c;
    const int point = exponent + 1; // the value is 0.digits times ten to this
    if (point >= -14 && (point < len || point <= 15)) {
        if (point <= 0) {
            out += "0.";
            out.append(std::size_t(-point), '0');
            out.append(digits, std::size_t(len));
        } else if (point < len) {
            out.append(digits, std::size_t(point));
            out.push_back('.');
            out.append(digits + point, std::size_t(len - point));
        } else {
            out.append(digits, std::size_t(len));
            out.append(std::size_t(point - len), '0');
        }
        return;
    }
    out.push_back(digits[0]);
    if (len > 1) {
        out.push_back('.');
        out.append(digits + 1, std::size_t(len - 1));
    }
    out.push_back('e');
    out += std::to_string(exponent);
}

bool AppendStoredDecimal(std::string &out, std::string_view s, int scale)
{
    bool negative = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const std::size_t dot = s.find('.');
    std::string_view whole = s.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return false;
    for (std::string_view part : {whole, fraction})
        for (char c : part)
            if (c < '0' || c > '9')
                return false;
    // Digits kept, then rounded up from the first one dropped.
    std::string digits(whole);
    digits.append(fraction.substr(0, std::size_t(scale)));
    digits.append(std::size_t(scale) - std::min(std::size_t(scale), fraction.size()), '0');
    if (fraction.size() > std::size_t(scale) && fraction[std::size_t(scale)] >= '5') {
        std::size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9')
            digits[--k] = '0';
        if (k == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[k - 1];
    }
    const std::size_t width = std::size_t(scale) + 1;
    std::size_t first = 0;
    while (first + width < digits.size() && digits[first] == '0')
        ++first;
    digits.erase(0, first);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    const std::string_view kept(digits);
    if (negative && kept.find_first_not_of("0") != std::string_view::npos)
        out.push_back('-');
    out.append(kept.substr(0, kept.size() - std::size_t(scale)));
    if (scale > 0) {
        out.push_back('.');
        out.append(kept.substr(kept.size() - std::size_t(scale)));
    }
    return true;
}

bool AppendQuotedStored(std::string &out, std::string_view t, std::size_t &i, StoredColumn column)
{
    // One buffer a thread: no allocation per value once it has grown.
    thread_local std::string text;
    if (i >= t.size())
        return false;
    const char c = t[i];
    if (c == '\'' && (column.form == StoredForm::AsWritten || column.form == StoredForm::Unknown))
        return appendQuotedText(out, t, i);
    if (c == '\'') {
        if (!readQuoted(t, i, text))
            return false;
    } else if ((c == 'X' || c == 'x') && i + 1 < t.size() && t[i + 1] == '\'') {
        if (!readHex(t, i, text))
            return false;
    } else if (startsWithNoCase(t.substr(i), "NULL")) {
        i += 4;
        out += "NULL";
        return true;
    } else if (isNumberChar(c)) {
        const std::size_t start = i;
        while (i < t.size() && isNumberChar(t[i]))
            ++i;
        text.assign(t.substr(start, i - start));
    } else {
        return false;
    }
    out.push_back('\'');
    const std::size_t start = out.size();
    bool done = false;
    switch (column.form) {
    case StoredForm::Integer: done = appendInteger(out, text); break;
    case StoredForm::Double: done = appendDouble(out, text); break;
    case StoredForm::Decimal: done = AppendStoredDecimal(out, text, column.scale); break;
    default: break;
    }
    if (!done) {
        out.resize(start);
        appendQuoteEscaped(out, text);
    }
    out.push_back('\'');
    return true;
}

} // namespace tabulon
