#pragma once

#include <string>
#include <string_view>
#include <vector>

// The queries that make the server digest what a table holds, the same
// way TableDigest folds the rows sent: QUOTE() of each value (text in
// utf8mb4, whatever the column's character set), joined by ",", CRC32().
namespace tabulon::mysql {

struct DigestColumn {
    std::string name;
    bool text = false; // a character column, read as utf8mb4
};

// "SELECT COUNT(*), SUM(CRC32(<row>)) FROM `t`"
std::string TableDigestQuery(std::string_view table, const std::vector<DigestColumn> &columns);
// One SUM(CRC32(QUOTE(<column>))) per column.
std::string ColumnDigestsQuery(std::string_view table, const std::vector<DigestColumn> &columns);
// Every row's CRC32(<row>), in ascending order.
std::string RowDigestsQuery(std::string_view table, const std::vector<DigestColumn> &columns);

} // namespace tabulon::mysql
