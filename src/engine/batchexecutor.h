#pragma once

#include "data/connection.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tabulon {

// Sends statements in their original order. Consecutive single-row inserts
// into the same transactional table ("INSERT INTO `t` VALUES(...)") go to the
// server as one multi-row INSERT; a refused batch is re-sent row by row, so
// the rows stored and the failures seen are those of row-by-row execution.
class BatchExecutor {
public:
    // Called once per failed statement, in statement order, with the tag the
    // statement was given. Return false to stop: statements still queued are
    // dropped and every later execute() is ignored.
    using FailureHandler = std::function<bool(uint64_t tag, const DbError &error)>;

    // rowByRow: every statement is sent on its own, as the setting "RowByRow" asks.
    BatchExecutor(Connection &connection, bool rowByRow, FailureHandler onFailure);

    // Executes the statement now, or queues it in the current batch.
    void execute(const std::string &statement, uint64_t tag);
    // Sends what is queued (end of a table, of the run, of the script).
    void flush();
    bool stopped() const { return m_stopped; }

private:
    // implementation details are the implementer's
    Connection &m_connection;
    bool m_rowByRow;
    FailureHandler m_onFailure;
    bool m_stopped = false;
};

} // namespace tabulon
