#pragma once

#include "data/connection.h"
#include "engine/run/localload.h"
#include "engine/sqlgen/insertbatch.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tabulon {

// Sends statements in their original order. Consecutive single-row inserts
// into the same transactional table ("INSERT INTO `t` VALUES(...)") go to the
// server as one multi-row INSERT. A refused batch is narrowed, in order, to
// the single rows the server refuses, which go alone: on MariaDB by compound
// statements that say which of 32 pieces is refused (about five round trips
// for one refused row in 10,000), elsewhere by halves (about 1.5·log2(n)).
// The rows stored, the failures and the accepted statements seen are those
// of row-by-row execution.
// A batch stays below the connection's max_allowed_packet; a row over it
// alone is refused by the connection (StatementTooLarge) and reported like
// any refused row. Where the server allows, a batch goes as LOAD DATA LOCAL
// (LocalLoad), which keeps the same outcome. A full batch stays with the
// server while execute() collects the next; its handlers are called before
// anything else is sent, and flush() waits for it.
class BatchExecutor {
public:
    // Called once per failed statement, in statement order, with the tag the
    // statement was given. Return false to stop: statements still queued are
    // dropped and every later execute() is ignored. A lost connection is
    // reported once (with the tag of the first statement of its batch) and
    // always stops; so does any failure that is not a refusal (DbError::
    // refused()): after it, what the server holds is not known.
    using FailureHandler = std::function<bool(uint64_t tag, const DbError &error)>;

    // Called once per statement the server accepted, in statement order, with
    // its tag; the rows of a multi-row batch when the batch has been accepted.
    // Return false to stop as after a failure.
    using AcceptHandler = std::function<bool(uint64_t tag)>;

    // rowByRow: every statement is sent on its own, as the setting "RowByRow" asks.
    // Called once per table whose rows go one by one although batches were
    // asked for, with the table's name and why.
    using NoteHandler = std::function<void(const std::string &table, const std::string &why)>;

    BatchExecutor(Connection &connection, bool rowByRow, FailureHandler onFailure);
    void setAcceptHandler(AcceptHandler onAccept) { m_onAccept = std::move(onAccept); }
    void setNoteHandler(NoteHandler onNote) { m_onNote = std::move(onNote); }

    // Executes the statement now, or queues it in the current batch.
    // rowPrefix, when known, is the length of the "INSERT INTO `t` VALUES"
    // of a statement of exactly the row-statement form (as RowStatement
    // builds them); 0 has the statement parsed (a line edited by hand).
    void execute(const std::string &statement, uint64_t tag, size_t rowPrefix = 0);
    // Sends what is queued (end of a table, of the run, of the script). The
    // destructor does not: call flush() before the executor goes.
    void flush();
    bool stopped() const { return m_stopped; }
    // During a failure handler's call: the statement the server refused
    // on its own; null for a batch that was lost with its connection.
    const std::string *failedStatement() const { return m_failedStatement; }

    // The parts of a statement of exactly the row-statement form: the table
    // name as written (between its backticks, doubled backticks kept) and
    // the offset of the tuple's opening parenthesis.
    struct SingleRowInsert {
        std::string_view quotedName;
        size_t tupleStart = 0;
    };
    static bool parseSingleRowInsert(std::string_view statement, SingleRowInsert &out);

    // About 150 ms of server work for rows of eight plain columns on
    // loopback, so the window's progress moves several times a second while
    // a far server's round trip is a small part of each batch.
    static constexpr size_t kMaxRows = 10000;
    // Loaded as text the server takes them about twice as fast, and fewer
    // commits cost less.
    static constexpr size_t kMaxLoadedRows = 30000;
    static constexpr size_t kMinRowsAfterRefusal = 16;
    // Pieces of a refused range tried in one round trip: three compounds
    // find a row in 10,000, and the compound's own text (some 3 KB) stays
    // within the margin left below even a 64 KiB packet limit.
    static constexpr size_t kPieces = 32;
    // The server's max_allowed_packet less a margin, up to this; 1 MiB when
    // the server does not say.
    static constexpr size_t kMaxBytes = 16 << 20;
    static constexpr size_t kUnknownPacket = 1 << 20;
    // About 25 ms of compressing: the most a refused batch is narrowed in
    // at once on a compressing connection. A batch itself is compressed
    // away from the event loop.
    static constexpr size_t kMaxCompressedBytes = 512 << 10;

private:
    bool sendAlone(const std::string &statement, uint64_t tag);
    void sendBatch();
    void finishPending();
    void batchDone();
    void sendInserts();
    size_t packetLimit() const;
    bool sendRange(size_t first, size_t end, bool knownRefused);
    bool narrow(size_t first, size_t end);
    bool sendPieces(size_t first, size_t end);
    enum class Compound { Ran, Unknown, Stopped };
    Compound sendCompound(size_t pieces, const std::function<size_t(size_t)> &bound, size_t &done);
    void fail(uint64_t tag, const DbError &error);
    void accepted(uint64_t tag);
    void stop();
    bool isTransactional(std::string_view quotedName);
    void readPacketLimit();
    void forgetTables();

    Connection &m_connection;
    bool m_rowByRow;
    FailureHandler m_onFailure;
    AcceptHandler m_onAccept;
    NoteHandler m_onNote;
    const std::string *m_failedStatement = nullptr;
    bool m_stopped = false;

    size_t m_rowLimit = kMaxRows;
    bool m_limitKnown = false;
    size_t m_limit = kMaxBytes;

    // What the server said about each table's engine, and the last answer
    // at hand so that consecutive rows of one table cost no lookup.
    std::unordered_map<std::string, bool> m_transactional;
    std::string m_lastTable;
    bool m_lastTransactional = false;
    bool m_lastValid = false;

    // The batch being collected.
    InsertBatch m_batch;

    // The batch being sent; kept apart so a handler may queue new statements.
    std::string m_sending;
    std::vector<std::pair<size_t, size_t>> m_sendingTuples;
    std::vector<uint64_t> m_sendingTags;
    // Its text while it is with the server as a started statement.
    StatementText m_flight;
    size_t m_sendingPrefix = 0;
    bool m_refused = false;
    // Compound statements locate refused rows until the server says it
    // does not know them.
    bool m_piecesUsable = true;
    uint64_t m_compoundCount = 0;
    std::string m_compound;
    std::string m_single;
    LocalLoad m_local;

    // The batch being sent may still be with the server while the next one
    // is collected; its outcome is taken before anything else is sent.
    enum class Pending { None, Insert, Load };
    Pending m_pending = Pending::None;
    bool m_loaded = false; // the last batch was loaded as text
    bool m_leavePending = false;
};

} // namespace tabulon
