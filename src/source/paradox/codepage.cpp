#include "source/paradox/codepage.h"

#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tabulon::paradox {
namespace {

bool isMultiByte(int number)
{
    return number == 932 || number == 936 || number == 949 || number == 950;
}

// The code pages Paradox and the BDE write; any other number in a header
// is damage or a guess, and reads as 437.
bool isKnown(int number)
{
    static const int known[] = {437, 737, 775, 850, 852, 855, 857, 860, 861, 862, 863, 864, 865, 866, 869, 874,
                                932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    for (int k : known)
        if (k == number)
            return true;
    return false;
}

std::string qtNameFor(int number)
{
    if (!isKnown(number))
        return {};
    switch (number) {
    case 932: return "Shift_JIS";
    case 936: return "GB18030";
    case 949: return "windows-949";
    case 950: return "Big5";
    default: break;
    }
    // ICU also knows IBM's own variants of the Windows pages ("IBM1252"
    // lacks the euro sign), so the Windows pages go by their Windows names.
    const std::string n = std::to_string(number);
    const bool windows = number == 874 || (number >= 1250 && number <= 1258);
    const std::vector<std::string> names = windows ? std::vector<std::string>{"windows-" + n, "cp" + n}
                                                   : std::vector<std::string>{"IBM" + n, "cp" + n, "windows-" + n};
    for (const std::string &name : names) {
        if (QStringDecoder(name.c_str()).isValid())
            return name;
    }
    return {};
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
    m_qtName = number > 0 ? qtNameFor(number) : std::string();
    if (m_qtName.empty()) {
        m_number = 437;
        m_qtName = "IBM437";
    }
    m_singleByte = !isMultiByte(m_number);
    for (int b = 0; b < 256; ++b) {
        Utf8Char &c = m_toUtf8[b];
        if (b < 0x80 || !m_singleByte) {
            c.length = 1;
            c.bytes[0] = char(b);
            continue;
        }
        QStringDecoder decoder(m_qtName.c_str());
        const char byte = char(b);
        QString s = decoder.decode(QByteArrayView(&byte, 1));
        if (decoder.hasError() || s.size() != 1)
            s = QString(QChar(0xFFFD));
        const QByteArray utf8 = s.toUtf8();
        c.length = uint8_t(utf8.size());
        for (int i = 0; i < utf8.size() && i < 3; ++i)
            c.bytes[i] = utf8[i];
    }
}

void CodePage::decode(const unsigned char *p, size_t n, std::string &out) const
{
    if (!m_singleByte) {
        QStringDecoder decoder(m_qtName.c_str());
        const QString s = decoder.decode(QByteArrayView(reinterpret_cast<const char *>(p), qsizetype(n)));
        const QByteArray utf8 = s.toUtf8();
        out.append(utf8.constData(), size_t(utf8.size()));
        return;
    }
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

bool CodePage::encode(std::string_view utf8, std::string &out) const
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    if (!m_singleByte) {
        QStringEncoder encoder(m_qtName.c_str());
        const QByteArray bytes = encoder.encode(text);
        if (encoder.hasError())
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
