#pragma once

#include "data/connection.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tabulon {

// Sends a batch of single-row inserts into a transactional table as one
// LOAD DATA LOCAL INFILE, streamed from memory. The server parses that text
// about twice as fast as a multi-row INSERT, which on a loopback link is
// most of a conversion's time. It stores only what the inserts would store:
// the load runs in a transaction, committed only when the server stored
// every row without a warning (LOAD DATA LOCAL makes refusals warnings and
// skips the row); otherwise it is rolled back and the caller sends the
// inserts. Each batch costs two round trips more than an INSERT, and pays
// everywhere measured: on loopback (about twice the rows a second), at a
// 20 ms round trip (the server parses while the rows arrive; larger batches)
// and on a slow link (the text is shorter, and compressed as it streams).
// Batches with refused rows cost a load in vain: after one, the next
// batches go as inserts, more of them after each such batch.
class LocalLoad {
public:
    enum class Result { Stored, NotStored };

    // Makes the load text of a batch's rows (tuples: offset and length of
    // each row's tuple in `batch`) while the previous batch is still with
    // the server. False: these rows go as inserts.
    bool prepare(Connection &connection, std::string_view quotedName, const std::string &batch,
                 const std::vector<std::pair<size_t, size_t>> &tuples);
    // Starts loading the prepared rows; finish() waits for the server and
    // commits or rolls back. False: nothing was loaded, the rows go as
    // inserts. Both throw a DbError only when the rows must not go as
    // inserts: a lost connection, or a ROLLBACK the server refused (kind
    // Unknown: the session may still hold the load's rows).
    bool start(Connection &connection, std::string_view quotedName);
    Result finish(Connection &connection, size_t rows);
    // Ends the empty transaction the last load's commit began for a load
    // that is not to be (start() does so itself).
    void release(Connection &connection);
    // A DROP, CREATE or ALTER may have changed a table's columns.
    void forgetTables() { m_tables.clear(); }


private:
    const std::vector<unsigned char> &columns(Connection &connection, std::string_view quotedName);
    void rollBack(Connection &connection);
    void refused();

    bool m_usable = true;
    int m_skip = 0; // batches to send as inserts before the next load
    int m_backOff = 0;
    // What each table's columns take as text; empty: not loaded so.
    std::unordered_map<std::string, std::vector<unsigned char>> m_tables;
    bool m_prepared = false;
    bool m_loading = false;
    bool m_chained = false; // inside the transaction the last commit began
    std::string m_next;     // prepared
    StatementText m_flight; // the statement and the rows being loaded
};

} // namespace tabulon
