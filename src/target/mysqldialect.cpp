#include "target/mysqldialect.h"

#include "common/nametext.h"
#include "common/text.h"

#include <algorithm>
#include <array>

namespace tabulon::mysql {
namespace {


// What a column takes in the load's text exactly as the server would take
// the insert's literal.
enum ColumnKind : unsigned char {
    kText = 0,   // quoted text and NULL
    kNumber = 1, // also numbers as written
    kBytes = 2,  // also X'..'
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendByte(std::string &out, char c)
{
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\0': out += "\\0"; break;
    default: out.push_back(c); break;
    }
}

// A quoted text from its opening quote; `i` ends after the closing one.
bool appendText(std::string &out, std::string_view t, size_t &i)
{
    ++i;
    size_t run = i;
    const auto flush = [&](size_t to) {
        for (size_t k = run; k < to; ++k) {
            const char c = t[k];
            if (c == '\\' || c == '\t' || c == '\n' || c == '\0')
                appendByte(out, c);
            else
                out.push_back(c);
        }
    };
    while (i < t.size()) {
        const char c = t[i];
        if (c == '\'') {
            flush(i);
            if (i + 1 < t.size() && t[i + 1] == '\'') {
                out.push_back('\'');
                i += 2;
                run = i;
                continue;
            }
            ++i;
            return true;
        }
        if (c != '\\') {
            ++i;
            continue;
        }
        flush(i);
        if (i + 1 >= t.size())
            return false;
        // The server's escapes in quoted text.
        switch (const char e = t[i + 1]) {
        case '0': appendByte(out, '\0'); break;
        case 'b': out.push_back('\b'); break;
        case 'n': appendByte(out, '\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': appendByte(out, '\t'); break;
        case 'Z': out.push_back('\x1a'); break;
        case '%':
        case '_':
            // Kept with their backslash, for LIKE patterns.
            out += "\\\\";
            out.push_back(e);
            break;
        default: appendByte(out, e); break;
        }
        i += 2;
        run = i;
    }
    return false;
}

bool appendHex(std::string &out, std::string_view t, size_t &i)
{
    i += 2; // X'
    for (;;) {
        if (i >= t.size())
            return false;
        if (t[i] == '\'') {
            ++i;
            return true;
        }
        if (i + 1 >= t.size())
            return false;
        const int hi = hexDigit(t[i]), lo = hexDigit(t[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        appendByte(out, static_cast<char>(hi * 16 + lo));
        i += 2;
    }
}

// [+-] digits [. digits] [e [+-] digits], at least one digit before the
// exponent, copied as written.
bool appendNumber(std::string &out, std::string_view t, size_t &i)
{
    const size_t start = i;
    if (t[i] == '-' || t[i] == '+')
        ++i;
    bool digits = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '-' || t[i] == '+'))
            ++i;
        const size_t exponent = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        if (i == exponent)
            return false;
    }
    out.append(t, start, i - start);
    return true;
}

} // namespace

// One row of LOAD DATA's text form (tab between fields, newline at the end,
// backslash escapes, \N for NULL) for an insert's tuple "(1, 'a', NULL,
// X'00')". False when the tuple holds anything but plain literals of the
// kinds its columns take: that row can only go as SQL.
bool AppendLoadRow(std::string &out, std::string_view t, const std::vector<unsigned char> &kinds)
{
    size_t i = 0;
    const auto skip = [&] {
        while (i < t.size() && isBlank(t[i]))
            ++i;
    };
    skip();
    if (i >= t.size() || t[i] != '(')
        return false;
    ++i;
    for (size_t field = 0;; ++field) {
        skip();
        if (i >= t.size())
            return false;
        if (field >= kinds.size())
            return false;
        const unsigned char kind = kinds[field];
        if (field > 0)
            out.push_back('\t');
        const char c = t[i];
        bool ok = false;
        if (c == '\'') {
            const size_t start = out.size();
            ok = appendText(out, t, i) && ((kind & kBytes) || IsUtf8(std::string_view(out).substr(start)));
        } else if ((c == 'X' || c == 'x') && i + 1 < t.size() && t[i + 1] == '\'') {
            ok = (kind & kBytes) && appendHex(out, t, i);
        } else if ((c | 0x20) == 'n' && t.size() - i >= 4 && (t[i + 1] | 0x20) == 'u' && (t[i + 2] | 0x20) == 'l' &&
                   (t[i + 3] | 0x20) == 'l') {
            out += "\\N";
            i += 4;
            ok = true;
        } else if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') {
            ok = (kind & kNumber) && appendNumber(out, t, i);
        }
        if (!ok)
            return false;
        skip();
        if (i >= t.size())
            return false;
        if (t[i] == ',') {
            ++i;
            continue;
        }
        if (t[i] != ')')
            return false;
        ++i;
        skip();
        if (i != t.size() || field + 1 != kinds.size())
            return false;
        out.push_back('\n');
        return true;
    }
}

// How the columns of a table take each literal, in column order; empty when
// some column's type is not one whose literals and texts are known to
// store alike.
std::vector<unsigned char> LoadColumns(Connection &connection, std::string_view quotedName)
{
    // One table's columns; information_schema would open every table.
    std::string query = "SHOW FULL COLUMNS FROM `";
    query.append(quotedName);
    query.push_back('`');
    // A number into a column of text, a YEAR, a BIT or an ENUM is stored
    // from its value, not from its text.
    static constexpr std::array<std::string_view, 8> kNumeric = {"tinyint", "smallint", "mediumint", "int",
                                                                 "bigint",  "decimal",  "double",    "float"};
    static constexpr std::array<std::string_view, 6> kBinary = {"binary", "varbinary",  "tinyblob",
                                                                "blob",   "mediumblob", "longblob"};
    static constexpr std::array<std::string_view, 10> kOther = {
        "char", "varchar", "tinytext", "text", "mediumtext", "longtext", "date", "datetime", "timestamp", "time"};
    const auto in = [](const auto &list, std::string_view type) {
        for (std::string_view t : list)
            if (t == type)
                return true;
        return false;
    };
    std::vector<unsigned char> kinds;
    auto rows = connection.openRecordSet(query);
    // Field, Type ("int(11) unsigned"), Collation, Null, Key, Default, Extra.
    if (!rows || rows->fields().size() < 7)
        return {};
    for (; !rows->eof(); rows->moveNext()) {
        std::string type = AsciiLower(rows->value(1).toText());
        type.resize(std::min(type.find_first_of("( "), type.size()));
        const std::string collation = AsciiLower(rows->value(2).toText());
        const std::string extra = AsciiLower(rows->value(6).toText());
        // The load's text is taken as bytes: only a column that stores
        // UTF-8 stores the bytes an insert's text gives.
        if (!collation.empty() && collation.rfind("utf8mb4_", 0) != 0)
            return {};
        // A row's values skip such columns in one and fill them in the other.
        if (extra.find("generated") != std::string::npos || extra.find("invisible") != std::string::npos)
            return {};
        if (in(kNumeric, type))
            kinds.push_back(kNumber);
        else if (in(kBinary, type))
            kinds.push_back(kBytes);
        else if (in(kOther, type))
            kinds.push_back(kText);
        else
            return {};
    }
    return kinds;
}


void AssignLoadStatement(std::string &statement, std::string_view quotedName)
{
    statement.assign("LOAD DATA LOCAL INFILE '");
    statement.append(kLocalRowsName);
    statement.append("' INTO TABLE `");
    statement.append(quotedName);
    // Bytes as they are: the server reads them fastest so, and every text
    // column a load goes to stores UTF-8, as the insert's text is.
    statement.append("` CHARACTER SET binary FIELDS TERMINATED BY '\\t' ESCAPED BY '\\\\' "
                     "LINES TERMINATED BY '\\n'");
}

bool RefusesLocalLoads(int code)
{
    // MariaDB, MySQL 5.x and MySQL 8 saying local loads are off.
    return code == 1148 || code == 4166 || code == 3948;
}

std::string TableEngineQuery(std::string_view quotedName)
{
    std::string query = "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                        "AND TABLE_NAME = '";
    for (size_t i = 0; i < quotedName.size(); ++i) {
        const char c = quotedName[i];
        if (c == '`')
            ++i; // a doubled backtick stands for one
        if (c == '\'' || c == '\\')
            query.push_back(c);
        query.push_back(c);
    }
    query.push_back('\'');
    return query;
}

bool IsTransactionalEngine(std::string_view engine) { return AsciiLower(std::string(engine)) == "innodb"; }

void BuildPiecesCompound(std::string &out, std::string_view prefix, const std::vector<std::string_view> &pieces,
                         const std::string &mark)
{
    out.assign("BEGIN NOT ATOMIC DECLARE tabulon_done_ INT DEFAULT 0; "
               "DECLARE EXIT HANDLER FOR SQLEXCEPTION SELECT tabulon_done_; ");
    for (size_t i = 0; i < pieces.size(); ++i) {
        out.append(prefix);
        out.append(pieces[i]);
        const std::string n = std::to_string(i + 1);
        // Kept in the session too, for an end the handler does not see.
        out.append("; SET tabulon_done_ = " + n + ", @tabulon_done_ = '" + mark + n + "'; ");
    }
    out.append("SELECT tabulon_done_; END");
}

} // namespace tabulon::mysql
