#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabulon::paradox {

// Converts between a table's code page and UTF-8. Single-byte code pages go
// through a 256-entry table built once, so decoding a field costs one lookup
// per byte; multi-byte pages (936 and the other East Asian ones) go through
// Qt's converter.
class CodePage {
public:
    // The shared instance for a code page number; 0 and unknown numbers give
    // 437, the DOS page Paradox assumes when a header names none.
    static const CodePage &forNumber(int number);

    int number() const { return m_number; }
    bool isSingleByte() const { return m_singleByte; }

    // Appends the UTF-8 form of `n` bytes in this code page to `out`.
    void decode(const unsigned char *p, size_t n, std::string &out) const;

    // Appends the code-page form of UTF-8 text to `out`; false when some
    // character has no place in this code page (nothing is substituted).
    bool encode(std::string_view utf8, std::string &out) const;

    explicit CodePage(int number);

private:
    void decodeMultiByte(const unsigned char *p, size_t n, std::string &out) const;

    struct Utf8Char {
        uint8_t length;
        char bytes[3];
    };
    int m_number;
    bool m_singleByte = true;
    std::string m_converter;
    // Multi-byte pages: length 0 for a lead byte.
    Utf8Char m_toUtf8[256];
};

} // namespace tabulon::paradox
