#include "common/fileexists.h"

#include "common/widepath.h"

namespace tabulon {

bool FileExists(const std::string &path)
{
    return !path.empty() && ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace tabulon
