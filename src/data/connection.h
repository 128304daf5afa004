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
    int cursorLocation = 0; // 2 server-side, 3 client-side, 0 default
    int commandTimeout = 30;
    int connectionTimeout = 15;
    // The protocol's compression: -1 only for a server not on this
    // machine, 0 off, 1 on (MySqlLogin::compression).
    int compression = -1;
};

// A failure reported by a driver or server. Its kind, not its text, says
// what a caller may do next.
class DbError : public Error {
public:
    enum class Kind {
        Refused,        // the server refused the statement; the session is as before
        ConnectionLost, // the session is gone (lost, timed out, closed, never made)
        TooLarge,       // not sent: larger than the server takes; the session is as before
        Misuse,         // a call the connection cannot take now (still busy, nothing started)
        Unknown,        // what the server stored is not known: sending more could store rows twice
    };

    DbError(const std::string &description, int code = 0, Kind kind = Kind::Refused)
        : Error(description), m_code(code), m_kind(kind)
    {
    }
    int code() const { return m_code; }
    Kind kind() const { return m_kind; }
    // Later statements on the connection can only fail too.
    bool connectionLost() const { return m_kind == Kind::ConnectionLost; }
    // This statement did not run and the session is unchanged: the caller
    // may correct it, or send the next one.
    bool refused() const { return m_kind == Kind::Refused || m_kind == Kind::TooLarge; }

private:
    int m_code;
    Kind m_kind;
};

// Runs `step`, a statement or two on a connection: false when the server
// refused it. Any other failure (a lost connection, a misuse) goes on.
template <class F> bool Accepted(F &&step)
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (const DbError &error) {
        if (!error.refused())
            throw;
        return false;
    }
}

// A statement larger than the server's max_allowed_packet. It is never sent:
// the server would hang up on it and every later statement would be lost.
// Not sent, it leaves the session as it was. The description says what was
// not sent, the sizes, and how an administrator raises the limit.
class StatementTooLarge : public DbError {
public:
    // What to do once the limit is raised: a run starts over, the preview
    // has the line run elsewhere.
    static const char *const kStartAgain;
    static const char *const kRunElsewhere;

    StatementTooLarge(std::size_t size, int64_t limit, const std::string &subject = "The statement",
                      const std::string &remedy = kStartAgain);
    std::size_t size() const { return m_size; }
    int64_t limit() const { return m_limit; }
    // The same failure, naming what the user knows the statement as
    // ("Row 3 of table PICTURES").
    StatementTooLarge about(const std::string &subject) const { return {m_size, m_limit, subject, m_remedy}; }
    StatementTooLarge about(const std::string &subject, const std::string &remedy) const
    {
        return {m_size, m_limit, subject, remedy};
    }

    // The longest statement a server with this max_allowed_packet takes.
    static std::size_t largestFor(int64_t limit);
    // The smallest max_allowed_packet that takes a statement of this size.
    static int64_t limitFor(std::size_t size);

private:
    std::size_t m_size;
    int64_t m_limit;
    std::string m_remedy;
};

// What the server says a statement did.
struct StatementCount {
    uint64_t affected = 0;
    unsigned warnings = 0;
};

// What start() sends: the statement and, for a load, the rows the server
// reads as its file. Moved into the statement in flight and handed back,
// so their buffers serve the next statement too.
struct StatementText {
    std::string sql;
    std::string rows;
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
    // waits for the answer, hands the text back (before anything is thrown)
    // and throws what execute() would. With `rows`, a LOAD DATA LOCAL
    // INFILE statement whose file, whatever its name, is those rows (no file
    // is ever read). True: the statement in flight owns the text until
    // finish(); the caller may go away meanwhile. Any other call first
    // waits for the answer and keeps it for finish(). False: this
    // connection cannot, nothing was sent and the text is untouched.
    virtual bool start(StatementText &text)
    {
        (void)text;
        return false;
    }
    virtual void finish(StatementCount &count, StatementText &text)
    {
        (void)count;
        (void)text;
    }
    // In autocommit mode and outside any transaction, as far as is known.
    virtual bool autocommitting() const { return false; }
};

} // namespace tabulon
