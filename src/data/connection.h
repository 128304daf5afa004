#pragma once

#include "common/error.h"
#include "data/recordset.h"

#include <memory>
#include <string>

namespace tabulon {

// Properties set on a connection object before it is opened (seconds).
struct ConnectionOptions {
    int cursorLocation = 0;      // 2 server-side, 3 client-side, 0 default
    int commandTimeout = 30;
    int connectionTimeout = 15;
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
};

} // namespace tabulon
