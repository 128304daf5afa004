#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// The system's converters behind CodePage, one implementation per platform:
// Qt's (ICU) here (codepage_posix.cpp), Windows' own tables there
// (codepage_win.cpp), since Qt on Windows converts no legacy code pages.
namespace tabulon::paradox::native {

// The converter's name for a code page Paradox writes; empty when the
// system has none.
std::string ConverterName(int number);
// The text of `n` bytes; false when a byte sequence has no character.
// Multi-byte: the caller gives runs of ASCII and well-formed pairs only.
bool Decode(const std::string &converter, const char *bytes, qsizetype n, QString &out);
// False when some character has no place in the code page.
bool Encode(const std::string &converter, const QString &text, QByteArray &out);

} // namespace tabulon::paradox::native
