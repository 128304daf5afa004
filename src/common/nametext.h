#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// Table and field names end up in SQL text, in windows and in a client's
// input: there they must be UTF-8 (a stray byte can swallow the quote after
// it in a multi-byte client character set) and on one line.

bool IsUtf8(std::string_view text);

// The length of the UTF-8 character at `i` and its code point, or 0 when
// the bytes there are no well-formed character.
std::size_t NextUtf8Char(std::string_view s, std::size_t i, char32_t &cp);

// `text` with every byte that is not part of a UTF-8 character replaced by
// U+FFFD and every control character (C0, DEL, C1) by "_".
std::string PrintableName(std::string_view text);

// `text` with its control characters written as escapes ("\n", "\t",
// "\x01", "\u0085") and stray bytes as "\xFF": one line that still tells
// which file it names.
std::string EscapedName(std::string_view text);

// `name` in backticks, a backtick inside doubled: a MySQL identifier.
std::string QuoteName(const std::string &name);
void AppendQuotedName(std::string &out, std::string_view name);
// The name written between backticks, doubled backticks standing for one.
std::string UnquotedName(std::string_view quoted);

} // namespace tabulon
