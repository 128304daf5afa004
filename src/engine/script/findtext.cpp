#include "engine/script/findtext.h"

#include <cstring>

namespace tabulon {
namespace {

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool IsAscii(const std::string &s)
{
    unsigned char any = 0;
    for (char c : s)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

} // namespace

FindText::FindText(const QString &text) : m_text(text)
{
    const QByteArray utf8 = text.toUtf8();
    m_ascii = true;
    for (char c : utf8)
        m_ascii = m_ascii && static_cast<unsigned char>(c) < 0x80;
    if (m_ascii)
        for (char c : utf8)
            m_lower += Lower(c);
}

bool FindText::replaceFirst(std::string &line, const std::string &replacement) const
{
    if (m_text.isEmpty())
        return false;
    // Most lines and most find texts are plain ASCII, where folding is one
    // byte wide; anything else takes Qt's Unicode case-insensitive search so
    // both paths agree on what matches.
    if (m_ascii && IsAscii(line)) {
        const size_t n = m_lower.size();
        if (line.size() < n)
            return false;
        const char first = m_lower[0];
        const char firstUpper = (first >= 'a' && first <= 'z') ? static_cast<char>(first - 32) : first;
        const char *data = line.data();
        const size_t last = line.size() - n;
        for (size_t i = 0; i <= last; ++i) {
            const char c = data[i];
            if (c != first && c != firstUpper)
                continue;
            size_t k = 1;
            while (k < n && Lower(data[i + k]) == m_lower[k])
                ++k;
            if (k == n) {
                line.replace(i, n, replacement);
                return true;
            }
        }
        return false;
    }
    const QString text = QString::fromStdString(line);
    const qsizetype p = text.indexOf(m_text, 0, Qt::CaseInsensitive);
    if (p < 0)
        return false;
    line = (text.left(p) + QString::fromStdString(replacement) + text.mid(p + m_text.size())).toStdString();
    return true;
}

} // namespace tabulon
