#pragma once

#include "data/connection.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

struct st_mysql;
struct st_mysql_res;

namespace tabulon {

class PendingStatement;

// A MySQL or MariaDB session over TCP through Connector/C. Every wait on the
// server goes through the connector's non-blocking API and turns the event
// loop, so the window never freezes; a statement start()ed runs on a thread
// of its own (PendingStatement) while the event loop turns.
//
// Errors: a statement the server refuses gives "SQLException: <message>
// (MySQL error N, SQLSTATE S)" of kind Refused; a failure of the connection
// itself gives "<message> (MySQL client error N)" of kind ConnectionLost.
class MySqlConnection : public Connection {
public:
    ~MySqlConnection() override;
    MySqlConnection(const MySqlConnection &) = delete;
    MySqlConnection &operator=(const MySqlConnection &) = delete;

    // Throws DbError; Aborted when the application quits while connecting.
    static std::unique_ptr<MySqlConnection> open(const std::string &connectionString, const ConnectionOptions &options);

    void execute(const std::string &statement) override;
    // Buffered: the whole result is read before this returns.
    std::unique_ptr<RecordSet> openRecordSet(const std::string &sql) override;
    void close() override;
    bool isOpen() const override;

    // The server's max_allowed_packet, read once after connecting. A
    // statement too large for it is refused here (StatementTooLarge).
    int64_t maxAllowedPacket() const override { return m_maxAllowedPacket; }
    // The server's id of this session (CONNECTION_ID()).
    unsigned long threadId() const;
    // The protocol compresses what goes over this session.
    bool compressed() const override { return m_compressed; }
    bool start(StatementText &text) override;
    void finish(StatementCount &count, StatementText &text) override;
    bool autocommitting() const override;
    // "encrypted, TLSv1.3" or "not encrypted".
    std::string encryption() const;
    // Asked after every `interval` the server has not answered one
    // statement (time the event loop turned does not count): true waits
    // on, false gives the session up as lost. Unset: only the time-outs.
    using StallHandler = std::function<bool(std::chrono::seconds waited)>;
    void setStallHandler(std::chrono::milliseconds interval, StallHandler handler)
    {
        m_stallInterval = interval;
        m_onStall = std::move(handler);
    }
    // Whether a session to this host compresses, for ConnectionOptions::
    // compression: only 1, or -1 with a host that is not a loopback address.
    static bool compresses(const std::string &host, int compression);

private:
    MySqlConnection();

    // Runs one non-blocking call: start() returns the connector's wait
    // status, cont(ready) continues it, until the status is 0.
    template <class Start, class Cont> void run(Start start, Cont cont);
    int waitFor(int status);
    [[noreturn]] void abandon(const std::function<int(int)> &cont, int status);
    void connect(const std::string &connectionString, const ConnectionOptions &options);
    void query(const std::string &sql);
    st_mysql_res *storeResult();
    void drainResults();
    void requireOpen() const;
    void requireIdle() const;
    // Open, with no started statement still out.
    void readyForStatement();
    // Frees what the statement returned and closes when a close was asked
    // for meanwhile.
    void endStatement();
    [[noreturn]] void fail();
    [[noreturn]] void failEncryption(const std::string &mode, const std::string &ca, const std::string &host,
                                     unsigned code, const std::string &message);
    void closeHard();
    void readStatus();
    void complete(StatementCount &count, StatementText &text);
    void completePending();

    st_mysql *m_mysql = nullptr;
    int64_t m_maxAllowedPacket = 0;
    bool m_compressed = false;
    bool m_busy = false;
    bool m_closeRequested = false;
    bool m_closing = false;
    std::string m_lostReason; // set once the session is gone
    // Read once when connected: a statement in flight may be closing the
    // connector's own copy.
    std::intptr_t m_socket = -1;
    std::chrono::milliseconds m_commandTimeout{0};
    std::chrono::milliseconds m_stallInterval{0};
    StallHandler m_onStall;
    // Set when the user gave up waiting: how long the server was silent.
    std::chrono::seconds m_gaveUpAfter{0};
    bool askKeepWaiting(std::chrono::milliseconds waited);
    [[noreturn]] void giveUp();
    // A statement started and not finished, and its answer when another
    // call had to wait for it.
    std::unique_ptr<PendingStatement> m_inFlight;
    bool m_autocommitting = false; // as the last answer said
    bool m_kept = false;
    StatementCount m_keptCount;
    StatementText m_keptText;
    std::exception_ptr m_keptError;
};

// Parses "DRIVER=..;SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;"
// (keys in any case; an empty PORT means 3306) and connects. Throws DbError.
std::unique_ptr<MySqlConnection> OpenMySqlConnection(const std::string &connectionString,
                                                     const ConnectionOptions &options);

} // namespace tabulon
