#include "source/paradox/codepage_native.h"

#include <windows.h>

namespace tabulon::paradox::native {
namespace {

UINT codePage(const std::string &converter) { return UINT(std::stoul(converter)); }

bool decodeStrictly(UINT page, const char *bytes, int n, QString &out)
{
    const int size = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, n, nullptr, 0);
    if (size <= 0)
        return false;
    out.resize(size);
    if (::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, n, reinterpret_cast<wchar_t *>(out.data()), size) !=
        size)
        return false;
    // Windows fills the bytes a page leaves unused with C1 controls; they
    // stand for nothing.
    for (const QChar c : out)
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0)
            return false;
    return true;
}

bool isLeadByte(UINT page, unsigned char b) { return ::IsDBCSLeadByteEx(page, b); }

} // namespace

std::string ConverterName(int number) { return ::IsValidCodePage(UINT(number)) ? std::to_string(number) : ""; }

bool Decode(const std::string &converter, const char *bytes, qsizetype n, QString &out)
{
    const UINT page = codePage(converter);
    out.clear();
    if (n == 0 || decodeStrictly(page, bytes, int(n), out))
        return true;
    // A pair without a character: the others are kept, it becomes U+FFFD.
    QString whole, one;
    for (qsizetype i = 0; i < n;) {
        const int width = i + 1 < n && isLeadByte(page, static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (decodeStrictly(page, bytes + i, width, one))
            whole += one;
        else
            whole += QChar(0xFFFD);
        i += width;
    }
    out = whole;
    return false;
}

bool Encode(const std::string &converter, const QString &text, QByteArray &out)
{
    const UINT page = codePage(converter);
    out.clear();
    if (text.isEmpty())
        return true;
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    BOOL defaulted = FALSE;
    const int size = ::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), nullptr, 0, nullptr,
                                           &defaulted);
    if (size <= 0 || defaulted)
        return false;
    out.resize(size);
    ::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), out.data(), size, nullptr, &defaulted);
    return !defaulted;
}

} // namespace tabulon::paradox::native
