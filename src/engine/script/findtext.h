#pragma once

#include <QString>

#include <string>

namespace tabulon {

// The find text of one Replace pass, prepared once for every line.
class FindText {
public:
    explicit FindText(const QString &text);
    bool isEmpty() const { return m_text.isEmpty(); }

    // Replaces the first occurrence of the find text in `line` (UTF-8),
    // compared without regard to case, by `replacement` as typed. False
    // when it does not occur; an empty find text occurs nowhere.
    bool replaceFirst(std::string &line, const std::string &replacement) const;

private:
    QString m_text;
    bool m_ascii = false;
    std::string m_lower; // ASCII find text, lower case
};

} // namespace tabulon
