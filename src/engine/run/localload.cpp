#include "engine/run/localload.h"

#include "common/eventpump.h"
#include "target/mysqldialect.h"

namespace tabulon {

const std::vector<unsigned char> &LocalLoad::columns(Connection &connection, std::string_view quotedName)
{
    std::string name(quotedName);
    if (auto it = m_tables.find(name); it != m_tables.end())
        return it->second;
    std::vector<unsigned char> kinds;
    try {
        kinds = mysql::LoadColumns(connection, quotedName);
    } catch (const DbError &error) {
        // A lost connection is told by the statement that sends the rows.
        if (error.connectionLost()) {
            static const std::vector<unsigned char> none;
            return none;
        }
    }
    return m_tables.emplace(std::move(name), std::move(kinds)).first->second;
}

bool LocalLoad::prepare(Connection &connection, std::string_view quotedName, const std::string &batch,
                        const std::vector<std::pair<size_t, size_t>> &tuples)
{
    m_prepared = false;
    // While our own load is out, the session is inside its transaction.
    if (!m_usable || tuples.empty() || !(m_loading || connection.autocommitting()))
        return false;
    // Rows refused again and again: the inserts find them for less.
    if (m_skip > 0) {
        --m_skip;
        return false;
    }
    const std::vector<unsigned char> &kinds = columns(connection, quotedName);
    if (kinds.empty())
        return false;
    m_next.clear();
    for (const auto &[offset, length] : tuples) {
        EventPump::yield();
        if (!mysql::AppendLoadRow(m_next, std::string_view(batch).substr(offset, length), kinds))
            return false;
    }
    m_prepared = true;
    return true;
}

bool LocalLoad::start(Connection &connection, std::string_view quotedName)
{
    // Inside a transaction of the script's own, ours would end it.
    if (!m_prepared || !m_usable || !(m_chained || connection.autocommitting())) {
        release(connection);
        return false;
    }
    // Prepared before the last batch met refused rows.
    if (m_skip > 0) {
        --m_skip;
        m_prepared = false;
        return false;
    }
    m_prepared = false;
    m_flight.rows.swap(m_next);
    mysql::AssignLoadStatement(m_flight.sql, quotedName);

    // The last load's commit began this one's transaction.
    const bool begun = Accepted([&] {
        if (!m_chained)
            connection.execute(mysql::kBegin);
    });
    m_chained = false;
    if (!begun) {
        m_usable = false;
        return false;
    }
    bool started = false;
    if (Accepted([&] { started = connection.start(m_flight); })) {
        if (started) {
            m_loading = true;
            return true;
        }
        m_usable = false;
    }
    rollBack(connection);
    return false;
}

LocalLoad::Result LocalLoad::finish(Connection &connection, size_t rows)
{
    m_loading = false;
    StatementCount count;
    try {
        connection.finish(count, m_flight);
    } catch (const DbError &error) {
        if (!error.refused())
            throw;
        rollBack(connection);
        // Refused as such, by the server (MariaDB, MySQL 8): not again.
        if (mysql::RefusesLocalLoads(error.code()))
            m_usable = false;
        refused();
        return Result::NotStored;
    }
    if (count.affected != rows || count.warnings != 0) {
        // Some row refused, changed or skipped: the inserts say which.
        rollBack(connection);
        refused();
        return Result::NotStored;
    }
    // With the next batch ready to load, its transaction begins in the
    // same round trip.
    if (!Accepted([&] { connection.execute(m_prepared ? mysql::kCommitAndBegin : mysql::kCommit); })) {
        rollBack(connection);
        return Result::NotStored;
    }
    m_chained = m_prepared;
    m_backOff = 0;
    return Result::Stored;
}

void LocalLoad::refused()
{
    // The next three, fifteen, sixty-three batches go as inserts: a table
    // with one refused row has more.
    m_skip = m_backOff = std::min(4 * m_backOff + 3, 63);
}

void LocalLoad::release(Connection &connection)
{
    if (!m_chained)
        return;
    m_chained = false;
    // Refused, the session would stay in a transaction that nothing commits.
    if (!Accepted([&] { connection.execute(mysql::kCommit); }))
        throw DbError("The MySQL server refused to end a transaction, so rows sent after it might never be "
                      "stored; nothing more was sent.",
                      0, DbError::Kind::Unknown);
}

void LocalLoad::rollBack(Connection &connection)
{
    try {
        connection.execute(mysql::kRollback);
    } catch (const DbError &error) {
        if (!error.refused())
            throw;
        // The session may still hold the load's rows: inserts sent now
        // would be committed with them.
        m_usable = false;
        throw DbError("The MySQL server refused to roll back a batch of rows that it did not store whole, so "
                      "it is not known which of them it holds; nothing more was sent. " +
                          std::string(error.what()),
                      error.code(), DbError::Kind::Unknown);
    }
}

} // namespace tabulon
