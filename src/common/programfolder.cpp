#include "common/programfolder.h"

#include "common/programfolder_native.h"

#include <QCoreApplication>

#include <optional>

namespace tabulon {
namespace {

std::optional<std::string> g_programFolder;
std::optional<std::string> g_driveRoot;

} // namespace

std::string ProgramFolder()
{
    if (g_programFolder)
        return *g_programFolder;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath().toStdString();
    return native::ExecutableFolder();
}

void SetProgramFolder(const std::string &folder) { g_programFolder = folder; }

std::string ProgramDriveRoot()
{
    if (g_driveRoot)
        return *g_driveRoot;
    return native::DefaultDriveRoot(ProgramFolder());
}

void SetProgramDriveRoot(const std::string &root)
{
    if (root.empty() || native::IsPathSeparator(root.back()))
        g_driveRoot = root;
    else
        g_driveRoot = root + "/";
}

std::string FileNameFromPath(const std::string &path)
{
    std::size_t at = path.size();
    while (at > 0 && !native::IsPathSeparator(path[at - 1]))
        --at;
    return path.substr(at);
}

} // namespace tabulon
