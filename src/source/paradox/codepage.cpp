#include "source/paradox/codepage.h"

#include "source/paradox/codepage_native.h"

#include <QList>
#include <QString>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tabulon::paradox {
namespace {

bool isMultiByte(int number) { return number == 932 || number == 936 || number == 949 || number == 950; }

// The code pages Paradox and the BDE write; any other number in a header
// is damage or a guess, and reads as 437.
bool isKnown(int number)
{
    static const int known[] = {437, 737, 775, 850, 852, 855,  857,  860,  861,  862,  863,  864,  865,  866, 869,
                                874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (int k : known)
        if (k == number)
            return true;
    return false;
}

std::string converterFor(int number) { return isKnown(number) ? native::ConverterName(number) : std::string(); }

// The bytes where ICU's table for a page differs from Microsoft's, which is
// what Paradox and Windows wrote with. 0xFFFD: a byte the page leaves unused.
char16_t microsoftByte(int number, int b)
{
    switch (number) {
    case 437:
    case 860:
    case 861:
    case 862:
    case 863:
    case 865:
        if (b == 0xE6)
            return 0x00B5; // micro sign, not Greek mu
        break;
    case 852:
        if (b == 0xAA)
            return 0x00AC;
        break;
    case 864:
        switch (b) {
        case 0x9F: return 0xFFFD;
        case 0xD7: return 0xFEC1;
        case 0xD8: return 0xFEC5;
        case 0xF1: return 0x0651;
        default: break;
        }
        break;
    case 869:
        if (b == 0x88)
            return 0x00B7;
        if (b == 0xEF)
            return 0x0384;
        break;
    case 1253:
        if (b == 0xAA)
            return 0xFFFD;
        break;
    case 1255:
        // Unused in the page as Paradox's Windows had it; later Windows
        // gives U+05BA.
        if (b == 0xCA)
            return 0xFFFD;
        break;
    default: break;
    }
    return 0;
}

// What an upper byte means on its own in a multi-byte page where it is no
// lead byte; 0 for a lead byte.
char16_t singleOfMultiByte(int number, int b)
{
    if (number == 932) {
        if (b >= 0xA1 && b <= 0xDF)
            return char16_t(0xFF61 + (b - 0xA1)); // half-width katakana
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))
            return 0;
        return 0xFFFD;
    }
    if (b == 0x80)
        return number == 936 ? 0x20AC : 0xFFFD;
    return b == 0xFF ? 0xFFFD : 0;
}

bool isTrailByte(int number, unsigned b)
{
    switch (number) {
    case 932: return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
    case 949: return (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
    case 950: return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
    default: return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
    }
}

void appendUtf8(char16_t c, std::string &out)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | c >> 6));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xE0 | c >> 12));
        out.push_back(char(0x80 | (c >> 6 & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Reverse tables for the writer, built on first use per code page.
std::mutex g_reverseMutex;
std::map<int, std::unordered_map<char32_t, uint8_t>> g_reverse;

} // namespace

const CodePage &CodePage::forNumber(int number)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<CodePage>> pages;
    std::lock_guard lock(mutex);
    if (!isKnown(number))
        number = 437;
    auto it = pages.find(number);
    if (it == pages.end())
        it = pages.emplace(number, std::make_unique<CodePage>(number)).first;
    return *it->second;
}

CodePage::CodePage(int number) : m_number(number)
{
    m_converter = number > 0 ? converterFor(number) : std::string();
    if (m_converter.empty()) {
        m_number = 437;
        m_converter = native::ConverterName(437);
    }
    m_singleByte = !isMultiByte(m_number);
    const bool windows = m_number == 874 || (m_number >= 1250 && m_number <= 1258);
    for (int b = 0; b < 256; ++b) {
        char16_t c = b < 0x80 ? char16_t(b) : microsoftByte(m_number, b);
        if (b >= 0x80 && !m_singleByte) {
            c = singleOfMultiByte(m_number, b);
        } else if (!c) {
            const char byte = char(b);
            QString s;
            c = !native::Decode(m_converter, &byte, 1, s) || s.size() != 1 ? 0xFFFD : s[0].unicode();
            // ICU fills the bytes Windows leaves unused with C1 controls and
            // private-use characters; they stand for nothing.
            if (windows && ((c >= 0x80 && c < 0xA0) || (c >= 0xE000 && c < 0xF900)))
                c = 0xFFFD;
        }
        Utf8Char &u = m_toUtf8[b];
        if (!c) {
            u.length = 0; // a lead byte
            continue;
        }
        std::string utf8;
        appendUtf8(c, utf8);
        u.length = uint8_t(utf8.size());
        std::memcpy(u.bytes, utf8.data(), utf8.size());
    }
}

void CodePage::decode(const unsigned char *p, size_t n, std::string &out) const
{
    if (!m_singleByte)
        return decodeMultiByte(p, n, out);
    const size_t start = out.size();
    out.resize(start + n * 3);
    char *o = out.data() + start;
    for (size_t i = 0; i < n; ++i) {
        const Utf8Char &c = m_toUtf8[p[i]];
        o[0] = c.bytes[0];
        if (c.length > 1) {
            o[1] = c.bytes[1];
            if (c.length > 2)
                o[2] = c.bytes[2];
        }
        o += c.length;
    }
    out.resize(size_t(o - out.data()));
}

// Runs of ASCII and well-formed pairs go through the system's converter; upper bytes
// that stand alone and lead bytes without a trail byte are read here, so
// none is lost or swallows the byte after it.
void CodePage::decodeMultiByte(const unsigned char *p, size_t n, std::string &out) const
{
    size_t runStart = 0;
    auto flush = [&](size_t end) {
        if (end > runStart) {
            QString s;
            native::Decode(m_converter, reinterpret_cast<const char *>(p + runStart), qsizetype(end - runStart), s);
            const QByteArray utf8 = s.toUtf8();
            out.append(utf8.constData(), size_t(utf8.size()));
        }
    };
    size_t i = 0;
    while (i < n) {
        const unsigned b = p[i];
        if (b < 0x80 && b != 0x1A) {
            ++i;
        } else if (m_toUtf8[b].length == 0 && i + 1 < n && isTrailByte(m_number, p[i + 1])) {
            i += 2;
        } else {
            flush(i);
            if (m_toUtf8[b].length == 0)
                out.append("\xEF\xBF\xBD");
            else
                out.append(m_toUtf8[b].bytes, m_toUtf8[b].length);
            runStart = ++i;
        }
    }
    flush(n);
}

bool CodePage::encode(std::string_view utf8, std::string &out) const
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    if (!m_singleByte) {
        QByteArray bytes;
        if (!native::Encode(m_converter, text, bytes))
            return false;
        out.append(bytes.constData(), size_t(bytes.size()));
        return true;
    }
    const std::unordered_map<char32_t, uint8_t> *reverse;
    {
        std::lock_guard lock(g_reverseMutex);
        auto it = g_reverse.find(m_number);
        if (it == g_reverse.end()) {
            std::unordered_map<char32_t, uint8_t> map;
            for (int b = 255; b >= 0x80; --b) {
                const QString s = QString::fromUtf8(m_toUtf8[b].bytes, m_toUtf8[b].length);
                if (s.size() == 1 && s[0] != QChar(0xFFFD))
                    map[s[0].unicode()] = uint8_t(b);
            }
            it = g_reverse.emplace(m_number, std::move(map)).first;
        }
        reverse = &it->second;
    }
    for (char32_t c : text.toUcs4()) {
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        auto it = reverse->find(c);
        if (it == reverse->end())
            return false;
        out.push_back(char(it->second));
    }
    return true;
}

} // namespace tabulon::paradox
