#pragma once

#include "common/messagehost.h"

#include <string>
#include <vector>

namespace tabulon {

// Appends, level by level, the sub-folders of every folder in `folders`
// (each entry ends in "/"; one folder's in name order), all levels when
// `recursive`; removes entries
// whose sub-folders cannot be read. Reports through `host` with the
// Hestwick location "AddFolder.GetSubDirectories2016".
void GetSubDirectories2016(MessageHost &host, std::vector<std::string> &folders, bool recursive);

// Puts the folders of such a walk in depth-first order: each folder
// followed by its sub-folders, siblings in name order (case ignored, as
// SortByName).
void SortFolderTree(std::vector<std::string> &folders);

} // namespace tabulon
