#pragma once

#include <map>
#include <string>

namespace tabulon {

// ODBC-style "KEY=value;KEY={va;lue};" strings. A value in braces may hold
// ";" and braces, with "}}" standing for "}".

// The value as it goes after "KEY=": unchanged unless it holds ";", "{" or
// "}", which would otherwise end or corrupt the entry.
std::string OdbcValue(const std::string &value);

// The value always in braces, so that a reader keeps it exactly, blanks at
// its ends included.
std::string OdbcBraced(const std::string &value);

// Keys upper-cased and trimmed; values as written (braces removed). Throws
// Error on an unterminated brace.
std::map<std::string, std::string> ParseOdbcString(const std::string &text);

} // namespace tabulon
