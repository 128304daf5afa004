#pragma once

#include "common/error.h"
#include "data/recordset.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tabulon {

// Properties set on a connection object before it is opened (seconds).
struct ConnectionOptions {
    int cursorLocation = 0;      // 2 server-side, 3 client-side, 0 default
    int commandTimeout = 30;
    int connectionTimeout = 15;
    // The protocol's compression: -1 the setting "Compression" decides
    // (absent: only for a server not on this machine), 0 off, 1 on.
    int compression = -1;
};

// A failure reported by a driver or server.
class DbError : public Error {
public:
    DbError(const std::string &description, int code = 0, bool connectionLost = false)
        : Error(description), m_code(code), m_connectionLost(connectionLost) {}
    int code() const { return m_code; }
    // The connection is gone (lost, timed out, already closed): later
    // statements on it can only fail too.
    bool connectionLost() const { return m_connectionLost; }

private:
    int m_code;
    bool m_connectionLost;
};

// Runs `step`, a statement or two on a connection: false when the server
// refused it. A lost connection is no refusal: its DbError goes on.
template <class F> bool AcceptedUnlessLost(F &&step)
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (const DbError &error) {
        if (error.connectionLost())
            throw;
        return false;
    }
}

// A statement larger than the server's max_allowed_packet. It is never sent:
// the server would hang up on it and every later statement would be lost.
// Not sent, it leaves the session as it was. The description says what was
// not sent, the sizes, and how an administrator raises the limit; it
// mentions "SQLException", so Execute SQL locates the line.
class StatementTooLarge : public DbError {
public:
    StatementTooLarge(std::size_t size, int64_t limit, const std::string &subject = "The statement");
    std::size_t size() const { return m_size; }
    int64_t limit() const { return m_limit; }
    // The same failure, naming what the user knows the statement as
    // ("Row 3 of table PICTURES").
    StatementTooLarge about(const std::string &subject) const { return {m_size, m_limit, subject}; }

    // The longest statement a server with this max_allowed_packet takes.
    static std::size_t largestFor(int64_t limit);
    // The smallest max_allowed_packet that takes a statement of this size.
    static int64_t limitFor(std::size_t size);

private:
    std::size_t m_size;
    int64_t m_limit;
};

// What the server says a statement did.
struct StatementCount {
    uint64_t affected = 0;
    unsigned warnings = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    // Sends one statement text unchanged; throws DbError when it fails.
    virtual void execute(const std::string &statement) = 0;
    // Opens a record set on a source text (a query, or "SELECT * FROM `t`").
    virtual std::unique_ptr<RecordSet> openRecordSet(const std::string &source) = 0;
    // Idempotent.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The server's max_allowed_packet in bytes; 0 when there is no such
    // limit or it is not known.
    virtual int64_t maxAllowedPacket() const { return 0; }
    // The protocol compresses statements: a large one costs time to
    // compress before it leaves, with nothing else going on.
    virtual bool compressed() const { return false; }
    // Sends a statement and returns once it has left, before the server's
    // answer, so the caller can go on while the server works; finish()
    // waits for the answer and throws what execute() would. With `rows`, a
    // LOAD DATA LOCAL INFILE statement whose file, whatever its name, is
    // those rows (no file is ever read); they stay untouched until
    // finish(). Any other call first waits for the answer and keeps it for
    // finish(). False: this connection cannot, nothing was sent.
    virtual bool start(const std::string &statement, std::string_view rows = {})
    {
        (void)statement;
        (void)rows;
        return false;
    }
    virtual void finish(StatementCount &count) { (void)count; }
    // In autocommit mode and outside any transaction, as far as is known.
    virtual bool autocommitting() const { return false; }
};

} // namespace tabulon
