#include "source/paradox/codepage_native.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <vector>

namespace tabulon::paradox::native {

std::string ConverterName(int number)
{
    switch (number) {
    case 932: return "Shift_JIS";
    // GB18030 has no euro sign at 0x80, which code page 936 has.
    case 936: return QStringDecoder("windows-936").isValid() ? "windows-936" : "GB18030";
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

bool Decode(const std::string &converter, const char *bytes, qsizetype n, QString &out)
{
    QStringDecoder decoder(converter.c_str(), QStringConverter::Flag::Stateless);
    out = decoder.decode(QByteArrayView(bytes, n));
    // Shift_JIS marks an unassigned pair with SUB; a run holds no SUB byte.
    out.replace(QChar(0x1A), QChar(0xFFFD));
    return !decoder.hasError();
}

bool Encode(const std::string &converter, const QString &text, QByteArray &out)
{
    QStringEncoder encoder(converter.c_str());
    out = encoder.encode(text);
    return !encoder.hasError();
}

} // namespace tabulon::paradox::native
