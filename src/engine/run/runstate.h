#pragma once

#include "data/connection.h"
#include "engine/run/runoptions.h"
#include "engine/script/datatypemodel.h"
#include "engine/script/scriptmodel.h"

#include <memory>
#include <string>
#include <vector>

namespace tabulon {

// The run's connection to the MySQL server and its one owner. The run hands
// it the connection it opened and ends it through it (at the run's end, or
// quietly while it unwinds); the preview executes on it meanwhile. Whatever
// is still open when the state goes is ended then.
class TargetConnection {
public:
    // Takes a new connection and ends the previous one.
    TargetConnection &operator=(std::unique_ptr<Connection> connection)
    {
        m_connection = std::move(connection);
        return *this;
    }
    // Ends the connection and forgets it.
    void reset() { m_connection.reset(); }
    // Ends the session; the connection stays, reporting itself closed.
    void close()
    {
        if (m_connection)
            m_connection->close();
    }
    // As close(), for a run unwinding: a failure has nobody to tell.
    void closeQuietly() noexcept
    {
        try {
            close();
        } catch (...) {
        }
    }

    // The connection to send on; null before the first run.
    Connection *get() const { return m_connection.get(); }
    Connection &operator*() const { return *m_connection; }
    // Looking only: ending it is the owner's.
    const Connection *operator->() const { return m_connection.get(); }
    explicit operator bool() const { return m_connection != nullptr; }

private:
    std::unique_ptr<Connection> m_connection;
};

// The values the main window, the conversion run and the preview share,
// each with the one who writes it.
struct RunState {
    // The run, for its length: a second start is refused meanwhile.
    bool ConversionBusy = false;
    // The preview's outcome: cleared by the run before it shows the
    // preview, set by the preview's execution and its leave commands.
    bool SQLFormOK = false;
    bool StopConversion = false;
    // The 1-based script line of the last located error in this program
    // run, 0 until one happens: written by the preview's execution, read by
    // its Jump To Error Line. Closing the preview or a new script keeps it.
    int ErrorLine = 0;
    // Read by the run when it starts; the preview executes by them too.
    RunOptions options;
    // Opened and ended by the run (see TargetConnection).
    TargetConnection mysql_conn;
    // Filled by the run; the main window shows them.
    std::vector<std::string> List1;      // target table names
    std::vector<std::string> List2;      // source table names
    std::vector<std::string> List2Files; // the table file of each List2 entry
    // Filled by the run; the preview shows, edits and executes them.
    ScriptModel scriptList;
    DatatypeModel datatypeList;
};

} // namespace tabulon
