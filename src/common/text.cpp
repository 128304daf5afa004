#include "common/text.h"

#include <QString>

#include <algorithm>

namespace tabulon {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

std::string Trimmed(std::string_view text, std::string_view blanks)
{
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

bool IsAsciiWhiteSpace(char c) { return kAsciiWhiteSpace.find(c) != std::string_view::npos; }

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string AsciiLower(std::string text)
{
    for (char &c : text)
        c = lowerAscii(c);
    return text;
}

std::string AsciiUpper(std::string text)
{
    for (char &c : text)
        c = upperAscii(c);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view word)
{
    return word.empty() || std::search(text.begin(), text.end(), word.begin(), word.end(),
                                       [](char x, char y) { return lowerAscii(x) == lowerAscii(y); }) != text.end();
}

std::string LowerCase(const std::string &text)
{
    // Table names are nearly always ASCII: no detour through UTF-16.
    if (!IsAscii(text))
        return QString::fromStdString(text).toLower().toStdString();
    return AsciiLower(text);
}

std::string UpperCase(const std::string &text) { return QString::fromStdString(text).toUpper().toStdString(); }

std::string CaseFolded(const std::string &text) { return QString::fromStdString(text).toCaseFolded().toStdString(); }

} // namespace tabulon
