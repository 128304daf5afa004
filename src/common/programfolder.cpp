#include "common/programfolder.h"

#include <QCoreApplication>
#include <QDir>

#include <optional>
#include <unistd.h>

namespace tabulon {
namespace {

std::optional<std::string> g_programFolder;
std::optional<std::string> g_driveRoot;

std::string executableFolder()
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

} // namespace

std::string ProgramFolder()
{
    if (g_programFolder)
        return *g_programFolder;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath().toStdString();
    return executableFolder();
}

void SetProgramFolder(const std::string &folder) { g_programFolder = folder; }

std::string ProgramDriveRoot()
{
    if (g_driveRoot)
        return *g_driveRoot;
    // The file-system root is root's alone; the home folder is the root of
    // what the user may write.
    const std::string home = QDir::homePath().toStdString();
    return home.empty() || home.back() == '/' ? home : home + "/";
}

void SetProgramDriveRoot(const std::string &root)
{
    if (root.empty() || root.back() == '/')
        g_driveRoot = root;
    else
        g_driveRoot = root + "/";
}

std::string FileNameFromPath(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace tabulon
