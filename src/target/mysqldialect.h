#pragma once

#include "data/connection.h"

#include <string>
#include <string_view>
#include <vector>

// The MySQL and MariaDB syntax the run's sending relies on beyond plain
// statements: transactions, LOAD DATA LOCAL's text form, MariaDB's compound
// statements, the table engine, and the server error codes that decide.
// The run speaks of batches and tables; what they are on the server is here.
namespace tabulon::mysql {

inline constexpr const char *kBegin = "START TRANSACTION";
inline constexpr const char *kCommit = "COMMIT";
// Ends one transaction and begins the next in one round trip.
inline constexpr const char *kCommitAndBegin = "COMMIT AND CHAIN";
inline constexpr const char *kRollback = "ROLLBACK";

// The engine of a table named as written between backticks, and whether
// it takes back a refused multi-row insert whole.
std::string TableEngineQuery(std::string_view quotedName);
bool IsTransactionalEngine(std::string_view engine);

// The name a load asks for its file by; the connection serves its rows for
// that name only, and only while the load is in flight.
inline constexpr std::string_view kLocalRowsName = "tabulon-rows";
// "LOAD DATA LOCAL INFILE 'tabulon-rows' INTO TABLE `t` ...", binary, with
// the escapes AppendLoadRow writes.
void AssignLoadStatement(std::string &statement, std::string_view quotedName);
// The server refuses local loads as such: no use trying again.
bool RefusesLocalLoads(int code);
// How each column of a table takes a literal of an insert as load text, in
// column order; empty when some column would store the two differently
// (another character set, a generated column, a type whose text and value
// differ): those rows go as inserts.
std::vector<unsigned char> LoadColumns(Connection &connection, std::string_view quotedName);
// Appends one row in load text for an insert's tuple "(1, 'a', NULL,
// X'00')"; false when the tuple holds anything but plain literals of the
// kinds its columns take.
bool AppendLoadRow(std::string &out, std::string_view tuple, const std::vector<unsigned char> &kinds);

// A MariaDB compound statement that inserts `pieces` (each a list of
// tuples after `prefix`) in order, each committed on its own, stops at the
// first the server refuses and answers how many it stored; `mark` is kept
// in the session as "mark<n>" after each, for an end the handler misses.
void BuildPiecesCompound(std::string &out, std::string_view prefix, const std::vector<std::string_view> &pieces,
                         const std::string &mark);
inline constexpr const char *kPiecesDoneQuery = "SELECT @tabulon_done_";
// A server without compound statements refuses them unread with this.
inline bool KnowsNoCompounds(int code) { return code == 1064; }

} // namespace tabulon::mysql
