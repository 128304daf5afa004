#include "common/programfolder_native.h"

#include <QDir>

#include <unistd.h>

namespace tabulon::native {

std::string ExecutableFolder()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    const std::string path(buffer, std::size_t(n));
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string DefaultDriveRoot(const std::string &)
{
    // The file-system root is root's alone; the home folder is the root of
    // what the user may write.
    const std::string home = QDir::homePath().toStdString();
    return home.empty() || home.back() == '/' ? home : home + "/";
}

bool IsPathSeparator(char c) { return c == '/'; }

} // namespace tabulon::native
