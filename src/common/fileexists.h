#pragma once

#include <string>

namespace tabulon {

// True when the file's last-change time can be read; never throws.
bool FileExists(const std::string &path);

} // namespace tabulon
