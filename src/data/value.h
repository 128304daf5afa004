#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tabulon {

// A point in time as the data-access layer knows it: whole days counted from
// the zero date 1899-12-30 (negative before it) plus the time of day.
struct DateTime {
    int64_t days = 0;    // days since 1899-12-30
    int32_t msOfDay = 0; // 0 .. 86'399'999

    friend bool operator==(const DateTime &, const DateTime &) = default;

    static DateTime fromCivil(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
    void toCivil(int &year, int &month, int &day) const;
};

// One field value. Text is UTF-8; Bytes are raw; Currency is an exact count
// of 1/10000 units; Decimal is exact decimal text "[-]digits[.digits]".
class Value {
public:
    enum class Kind : uint8_t { Empty, Null, Text, Integer, Double, Currency, Decimal, Boolean, DateTime, Bytes };

    Value() = default;

    static Value empty() { return Value(); }
    static Value null()
    {
        Value v;
        v.m_kind = Kind::Null;
        return v;
    }
    static Value text(std::string s)
    {
        Value v;
        v.setText(std::move(s));
        return v;
    }
    static Value integer(int64_t i)
    {
        Value v;
        v.setInteger(i);
        return v;
    }
    static Value real(double d)
    {
        Value v;
        v.setDouble(d);
        return v;
    }
    static Value currency(int64_t units)
    {
        Value v;
        v.setCurrency(units);
        return v;
    }
    static Value decimal(std::string digits)
    {
        Value v;
        v.setDecimal(std::move(digits));
        return v;
    }
    static Value boolean(bool b)
    {
        Value v;
        v.setBoolean(b);
        return v;
    }
    static Value dateTime(DateTime dt)
    {
        Value v;
        v.setDateTime(dt);
        return v;
    }
    static Value bytes(std::string b)
    {
        Value v;
        v.setBytes(std::move(b));
        return v;
    }

    // In-place setters keep the string's capacity, so a record set can reuse
    // one Value per field for every row without allocating.
    void setEmpty() { m_kind = Kind::Empty; }
    void setNull() { m_kind = Kind::Null; }
    void setText(std::string_view s)
    {
        m_kind = Kind::Text;
        m_str.assign(s);
    }
    void setInteger(int64_t i)
    {
        m_kind = Kind::Integer;
        m_int = i;
    }
    void setDouble(double d)
    {
        m_kind = Kind::Double;
        m_double = d;
    }
    void setCurrency(int64_t units)
    {
        m_kind = Kind::Currency;
        m_int = units;
    }
    void setDecimal(std::string_view digits)
    {
        m_kind = Kind::Decimal;
        m_str.assign(digits);
    }
    void setBoolean(bool b)
    {
        m_kind = Kind::Boolean;
        m_int = b ? 1 : 0;
    }
    void setDateTime(DateTime dt)
    {
        m_kind = Kind::DateTime;
        m_int = dt.days;
        m_ms = dt.msOfDay;
    }
    void setBytes(std::string_view b)
    {
        m_kind = Kind::Bytes;
        m_str.assign(b);
    }
    // Direct access for decoders that fill the buffer themselves.
    std::string &textBuffer(Kind kind)
    {
        m_kind = kind;
        return m_str;
    }

    Kind kind() const { return m_kind; }
    bool isNull() const { return m_kind == Kind::Null; }
    bool isEmpty() const { return m_kind == Kind::Empty; }
    // Integer, Double, Currency or Decimal.
    bool isNumber() const;

    const std::string &str() const { return m_str; }    // Text, Decimal, Bytes
    int64_t integer() const { return m_int; }           // Integer
    int64_t currencyUnits() const { return m_int; }     // Currency
    double real() const { return m_double; }            // Double
    bool boolean() const { return m_int != 0; }         // Boolean
    DateTime dateTime() const { return {m_int, m_ms}; } // DateTime

    // The standard value-to-text conversion under U.S. conventions; Empty
    // and Null give the empty text. Doubles give the shortest digits that
    // read back as the same double (plain from 1E-4 up to below 1E+15,
    // otherwise "1.5E-05"); NaN and infinities give "NaN", "Infinity" and
    // "-Infinity", which no MySQL numeric column accepts.
    std::string toText() const;
    void appendText(std::string &out) const;

    friend bool operator==(const Value &a, const Value &b);

private:
    Kind m_kind = Kind::Empty;
    int32_t m_ms = 0; // DateTime: time of day; its days are in m_int
    union {
        int64_t m_int = 0;
        double m_double;
    };
    std::string m_str;
};

} // namespace tabulon
