#pragma once

#include "common/messagehost.h"

#include <string>
#include <vector>

namespace tabulon {

// Appends, breadth first, the sub-folders of every folder in `folders`
// (each entry ends in "/"), all levels when `recursive`; removes entries
// whose sub-folders cannot be read. Reports through `host` with the
// Hestwick location "AddFolder.GetSubDirectories2016".
void GetSubDirectories2016(MessageHost &host, std::vector<std::string> &folders, bool recursive);

} // namespace tabulon
