#include "common/fileexists.h"

#include <sys/stat.h>

namespace tabulon {

bool FileExists(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

} // namespace tabulon
