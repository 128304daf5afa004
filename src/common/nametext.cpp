#include "common/nametext.h"

namespace tabulon {

std::size_t NextUtf8Char(std::string_view s, std::size_t i, char32_t &cp)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        cp = c & 0x1F;
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        cp = c & 0x0F;
        len = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
        cp = c & 0x07;
        len = 4;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

namespace {

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

} // namespace

bool IsUtf8(std::string_view text)
{
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        // Row values are mostly ASCII: no call per byte for them.
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = NextUtf8Char(text, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

namespace {

// Walks `text` by UTF-8 characters: the text of each well-formed one that
// is no control character is copied, `control` writes the others, and
// `stray` each byte that belongs to no character.
template <class Control, class Stray> std::string Rewritten(std::string_view text, Control control, Stray stray)
{
    std::string out;
    out.reserve(text.size());
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = NextUtf8Char(text, i, cp);
        if (len == 0) {
            stray(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        if (IsControl(cp))
            control(out, cp);
        else
            out.append(text, i, len);
        i += len;
    }
    return out;
}

} // namespace

std::string PrintableName(std::string_view text)
{
    return Rewritten(
        text, [](std::string &out, char32_t) { out += '_'; },
        [](std::string &out, unsigned char) { out += "\xEF\xBF\xBD"; });
}

std::string EscapedName(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    const auto byte = [](std::string &out, unsigned value) {
        out += "\\x";
        out += hex[(value >> 4) & 0xF];
        out += hex[value & 0xF];
    };
    return Rewritten(
        text,
        [&](std::string &out, char32_t cp) {
            if (cp == '\n')
                out += "\\n";
            else if (cp == '\r')
                out += "\\r";
            else if (cp == '\t')
                out += "\\t";
            else if (cp < 0x80)
                byte(out, unsigned(cp));
            else {
                out += "\\u00";
                out += hex[(cp >> 4) & 0xF];
                out += hex[cp & 0xF];
            }
        },
        byte);
}

void AppendQuotedName(std::string &out, std::string_view name)
{
    out.push_back('`');
    for (char c : name) {
        if (c == '`')
            out.push_back('`');
        out.push_back(c);
    }
    out.push_back('`');
}

std::string QuoteName(const std::string &name)
{
    std::string out;
    out.reserve(name.size() + 2);
    AppendQuotedName(out, name);
    return out;
}

std::string UnquotedName(std::string_view quoted)
{
    std::string name;
    name.reserve(quoted.size());
    for (size_t i = 0; i < quoted.size(); ++i) {
        name.push_back(quoted[i]);
        if (quoted[i] == '`')
            ++i;
    }
    return name;
}

} // namespace tabulon
