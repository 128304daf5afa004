#pragma once

#include "tools/paradoxwriter.h"

#include <string>
#include <vector>

namespace tabulon::test {

// A finished Paradox table at `path` holding `rows`.
inline void writeParadoxTable(const std::string &path, std::vector<ParadoxFieldDef> fields,
                              const std::vector<std::vector<Value>> &rows = {}, int codePage = 1252)
{
    ParadoxWriter w(path, std::move(fields), codePage);
    for (const auto &row : rows)
        w.addRow(row);
    w.finish();
}

} // namespace tabulon::test
