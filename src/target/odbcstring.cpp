#include "target/odbcstring.h"

#include "common/error.h"
#include "common/text.h"

namespace tabulon {

std::string OdbcValue(const std::string &value)
{
    if (value.find_first_of(";{}") == std::string::npos)
        return value;
    return OdbcBraced(value);
}

std::string OdbcBraced(const std::string &value)
{
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}')
            out += '}';
    }
    out += '}';
    return out;
}

std::map<std::string, std::string> ParseOdbcString(const std::string &text)
{
    std::map<std::string, std::string> out;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const size_t eq = text.find_first_of("=;", i);
        if (eq == std::string::npos || text[eq] == ';') {
            // A bare word without "=": nothing to take from it.
            i = eq == std::string::npos ? n : eq + 1;
            continue;
        }
        const std::string key = AsciiUpper(Trimmed(std::string_view(text).substr(i, eq - i)));
        std::string value;
        i = eq + 1;
        if (i < n && text[i] == '{') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == '}') {
                    if (i + 1 < n && text[i + 1] == '}') {
                        value += '}';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                throw Error("The connection string has a value in braces without its closing \"}\" (key " + key + ").");
            while (i < n && text[i] != ';')
                ++i;
        } else {
            const size_t end = text.find(';', i);
            value = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? n : end;
        }
        if (i < n && text[i] == ';')
            ++i;
        if (!key.empty())
            out[key] = value;
    }
    return out;
}

} // namespace tabulon
