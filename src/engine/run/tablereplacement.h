#pragma once

#include <string>

namespace tabulon {

// In direct mode a table's rows are loaded under a staging name and the
// table takes its real name in one RENAME only when its rows are complete
// and counted; the table it replaces is renamed away in the same statement
// and dropped after. A stop, a lost connection or a crash thus never leaves
// a half table under a real name, nor an old table dropped for nothing.
// Both names keep within MySQL's 64 characters; a long name is cut first.
std::string StagingName(const std::string &table); // "CUSTOMER~tabulon"
std::string RetiredName(const std::string &table); // "CUSTOMER~tabulon-old"

// "RENAME TABLE `staging` TO `table`", with `existing` (the table being
// replaced, as the server names it) moved to its retired name in the same
// statement when there is one.
std::string PutInPlaceStatement(const std::string &table, const std::string &existing);

} // namespace tabulon
