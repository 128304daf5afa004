#include "common/programfolder_native.h"

#include "common/widepath.h"

#include <QDir>

namespace tabulon::native {

std::string ExecutableFolder()
{
    std::wstring buffer(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return {};
    buffer.resize(n);
    const auto slash = buffer.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Utf8Path(buffer.substr(0, slash).c_str());
}

// The root of the program's drive ("C:\"), or of its share ("\\server\share\").
std::string DefaultDriveRoot(const std::string &programFolder)
{
    const QString folder = QDir::toNativeSeparators(QString::fromStdString(programFolder));
    if (folder.size() >= 2 && folder[1] == u':')
        return folder.left(2).toStdString() + "\\";
    if (folder.startsWith(QLatin1String("\\\\"))) {
        const qsizetype server = folder.indexOf(u'\\', 2);
        if (server > 2) {
            const qsizetype share = folder.indexOf(u'\\', server + 1);
            return (share < 0 ? folder : folder.left(share)).toStdString() + "\\";
        }
    }
    return QDir::toNativeSeparators(QDir::rootPath()).toStdString();
}

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

} // namespace tabulon::native
