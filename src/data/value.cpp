#include "data/value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace tabulon {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's
// algorithm; exact for every int year we can meet).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int &year, int &month, int &day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kZeroDateFromEpoch = -25569;

void appendUnsigned(std::string &out, uint64_t u)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, u);
    out.append(buf, r.ptr);
}

void appendPadded(std::string &out, int value, int width)
{
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value < 0 ? -value : value);
    if (value < 0)
        out.push_back('-');
    for (int n = static_cast<int>(r.ptr - buf); n < width; ++n)
        out.push_back('0');
    out.append(buf, r.ptr);
}

void appendDouble(std::string &out, double d)
{
    if (std::isnan(d)) {
        out += "NaN";
        return;
    }
    if (std::isinf(d)) {
        out += d < 0 ? "-Infinity" : "Infinity";
        return;
    }
    if (d == 0) { // also -0
        out.push_back('0');
        return;
    }
    // Shortest round-trip digits in scientific form: "d.ddde+XX".
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    const char *p = buf;
    const char *end = r.ptr;
    if (*p == '-') {
        out.push_back('-');
        ++p;
    }
    char digits[20];
    int n = 0;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.')
            digits[n++] = *p;
    int exp = 0;
    if (p < end) {
        ++p; // 'e'
        if (*p == '+')
            ++p;
        std::from_chars(p, end, exp);
    }
    if (exp >= -4 && exp < 15) {
        if (exp >= 0) {
            const int intDigits = exp + 1;
            for (int i = 0; i < intDigits; ++i)
                out.push_back(i < n ? digits[i] : '0');
            if (n > intDigits) {
                out.push_back('.');
                out.append(digits + intDigits, static_cast<size_t>(n - intDigits));
            }
        } else {
            out += "0.";
            out.append(static_cast<size_t>(-exp - 1), '0');
            out.append(digits, static_cast<size_t>(n));
        }
        return;
    }
    out.push_back(digits[0]);
    if (n > 1) {
        out.push_back('.');
        out.append(digits + 1, static_cast<size_t>(n - 1));
    }
    out.push_back('E');
    out.push_back(exp < 0 ? '-' : '+');
    appendPadded(out, exp < 0 ? -exp : exp, 2);
}

void appendCurrency(std::string &out, int64_t units)
{
    uint64_t mag = units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
    if (units < 0)
        out.push_back('-');
    appendUnsigned(out, mag / 10000);
    unsigned frac = static_cast<unsigned>(mag % 10000);
    if (frac == 0)
        return;
    char f[4];
    for (int i = 3; i >= 0; --i) {
        f[i] = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    int len = 4;
    while (f[len - 1] == '0')
        --len;
    out.push_back('.');
    out.append(f, static_cast<size_t>(len));
}

// "[-]digits[.digits]" without leading integer zeros, trailing fraction zeros
// or a negative zero. Text of any other shape is kept as it is.
void appendDecimal(std::string &out, std::string_view s)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    const size_t intStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    const size_t intEnd = i;
    size_t fracStart = i, fracEnd = i;
    if (i < s.size() && s[i] == '.') {
        fracStart = ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        fracEnd = i;
    }
    if (i != s.size() || (intEnd == intStart && fracEnd == fracStart)) {
        out.append(s);
        return;
    }
    size_t a = intStart;
    while (a < intEnd && s[a] == '0')
        ++a;
    while (fracEnd > fracStart && s[fracEnd - 1] == '0')
        --fracEnd;
    if (a == intEnd && fracEnd == fracStart) {
        out.push_back('0');
        return;
    }
    if (negative)
        out.push_back('-');
    if (a == intEnd)
        out.push_back('0');
    else
        out.append(s.substr(a, intEnd - a));
    if (fracEnd > fracStart) {
        out.push_back('.');
        out.append(s.substr(fracStart, fracEnd - fracStart));
    }
}

void appendDateTime(std::string &out, DateTime dt)
{
    if (dt.days != 0) {
        int y, m, d;
        dt.toCivil(y, m, d);
        appendPadded(out, m, 1);
        out.push_back('/');
        appendPadded(out, d, 1);
        out.push_back('/');
        appendPadded(out, y, 4);
        if (dt.msOfDay == 0)
            return;
        out.push_back(' ');
    }
    const int seconds = dt.msOfDay / 1000;
    const int hour = seconds / 3600;
    int h12 = hour % 12;
    if (h12 == 0)
        h12 = 12;
    appendPadded(out, h12, 1);
    out.push_back(':');
    appendPadded(out, seconds / 60 % 60, 2);
    out.push_back(':');
    appendPadded(out, seconds % 60, 2);
    out += hour < 12 ? " AM" : " PM";
}

void appendHex(std::string &out, std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const size_t start = out.size();
    out.resize(start + bytes.size() * 2);
    char *p = out.data() + start;
    for (unsigned char c : bytes) {
        *p++ = kHex[c >> 4];
        *p++ = kHex[c & 15];
    }
}

} // namespace

DateTime DateTime::fromCivil(int year, int month, int day, int hour, int minute, int second, int ms)
{
    // Months outside 1..12 carry into the year, so callers may add months freely.
    int64_t y = year + (month - 1) / 12;
    int m0 = (month - 1) % 12;
    if (m0 < 0) {
        m0 += 12;
        --y;
    }
    int64_t days = daysFromCivil(y, static_cast<unsigned>(m0 + 1), 1) + (day - 1) - kZeroDateFromEpoch;
    int64_t msTotal = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + ms;
    int64_t carry = msTotal / kMsPerDay;
    msTotal %= kMsPerDay;
    if (msTotal < 0) {
        msTotal += kMsPerDay;
        --carry;
    }
    DateTime dt;
    dt.days = days + carry;
    dt.msOfDay = static_cast<int32_t>(msTotal);
    return dt;
}

void DateTime::toCivil(int &year, int &month, int &day) const
{
    civilFromDays(days + kZeroDateFromEpoch, year, month, day);
}

bool Value::isNumber() const
{
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Double:
    case Kind::Currency:
    case Kind::Decimal: return true;
    default: return false;
    }
}

std::string Value::toText() const
{
    std::string out;
    appendText(out);
    return out;
}

void Value::appendText(std::string &out) const
{
    switch (m_kind) {
    case Kind::Empty:
    case Kind::Null: return;
    case Kind::Text: out += m_str; return;
    case Kind::Integer:
        if (m_int < 0) {
            out.push_back('-');
            appendUnsigned(out, 0 - static_cast<uint64_t>(m_int));
        } else {
            appendUnsigned(out, static_cast<uint64_t>(m_int));
        }
        return;
    case Kind::Double: appendDouble(out, m_double); return;
    case Kind::Currency: appendCurrency(out, m_int); return;
    case Kind::Decimal: appendDecimal(out, m_str); return;
    case Kind::Boolean: out += m_int ? "True" : "False"; return;
    case Kind::DateTime: appendDateTime(out, dateTime()); return;
    case Kind::Bytes: appendHex(out, m_str); return;
    }
}

bool operator==(const Value &a, const Value &b)
{
    if (a.m_kind != b.m_kind)
        return false;
    switch (a.m_kind) {
    case Value::Kind::Empty:
    case Value::Kind::Null: return true;
    case Value::Kind::Text:
    case Value::Kind::Decimal:
    case Value::Kind::Bytes: return a.m_str == b.m_str;
    case Value::Kind::Double:
        // Bit for bit, so a NaN equals itself and 0 differs from -0.
        return std::memcmp(&a.m_double, &b.m_double, sizeof(double)) == 0;
    case Value::Kind::DateTime: return a.m_int == b.m_int && a.m_ms == b.m_ms;
    case Value::Kind::Integer:
    case Value::Kind::Currency:
    case Value::Kind::Boolean: return a.m_int == b.m_int;
    }
    return false;
}

} // namespace tabulon
