#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// Small text helpers for keywords, host names and connection strings. The
// ASCII ones never depend on the locale: a byte of a UTF-8 character is
// never taken for a letter or a blank.

// White space as the C locale's isspace knows it.
inline constexpr std::string_view kAsciiWhiteSpace = " \t\n\v\f\r";

// `text` without the characters of `blanks` at either end.
std::string Trimmed(std::string_view text, std::string_view blanks = kAsciiWhiteSpace);

bool IsAsciiWhiteSpace(char c);
bool IsAscii(std::string_view text);
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);
// Comparisons that take A-Z and a-z as one.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view word);

// Unicode rules, for names a user compares: lower case, upper case, and the
// folded form that makes names differing only in case equal.
std::string LowerCase(const std::string &text);
std::string UpperCase(const std::string &text);
std::string CaseFolded(const std::string &text);

} // namespace tabulon
