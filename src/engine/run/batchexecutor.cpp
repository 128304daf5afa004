#include "engine/run/batchexecutor.h"

#include "common/busyguard.h"
#include "engine/sqlgen/tabledefinition.h"
#include "target/mysqldialect.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace tabulon {
namespace {

constexpr std::string_view kInsertInto = "INSERT INTO `";
constexpr std::string_view kValues = " VALUES(";

bool startsWithInsert(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
        ++i;
    constexpr std::string_view kWord = "insert";
    if (s.size() - i < kWord.size())
        return false;
    for (size_t k = 0; k < kWord.size(); ++k)
        if ((s[i + k] | 0x20) != kWord[k])
            return false;
    return true;
}

// The table name as written in a statement whose row prefix is known:
// "INSERT INTO `" name "` VALUES"; empty when the prefix is not of that form.
std::string_view knownTable(std::string_view statement, size_t rowPrefix)
{
    constexpr std::string_view kNameEnd = "` VALUES";
    if (rowPrefix < kInsertInto.size() + kNameEnd.size() + 1 || rowPrefix >= statement.size() ||
        statement[rowPrefix] != '(' || statement.substr(0, kInsertInto.size()) != kInsertInto ||
        statement.substr(rowPrefix - kNameEnd.size(), kNameEnd.size()) != kNameEnd)
        return {};
    return statement.substr(kInsertInto.size(), rowPrefix - kNameEnd.size() - kInsertInto.size());
}

} // namespace

bool BatchExecutor::parseSingleRowInsert(std::string_view s, SingleRowInsert &out)
{
    if (s.substr(0, kInsertInto.size()) != kInsertInto)
        return false;
    size_t i = kInsertInto.size();
    const size_t nameStart = i;
    for (;; ++i) {
        if (i >= s.size())
            return false;
        if (s[i] != '`')
            continue;
        if (i + 1 < s.size() && s[i + 1] == '`') {
            ++i;
            continue;
        }
        break;
    }
    if (i == nameStart)
        return false;
    const size_t nameEnd = i++;
    if (s.substr(i, kValues.size()) != kValues)
        return false;
    const size_t tupleStart = i + kValues.size() - 1;

    // Exactly one parenthesised tuple and nothing after it. Anything that
    // could change where the statement ends (a comment, a second statement,
    // another kind of quote) makes it "another statement", sent on its own.
    int depth = 0;
    bool inQuote = false;
    for (i = tupleStart; i < s.size(); ++i) {
        const char c = s[i];
        if (inQuote) {
            if (c == '\\')
                ++i;
            else if (c == '\'') {
                if (i + 1 < s.size() && s[i + 1] == '\'')
                    ++i;
                else
                    inQuote = false;
            }
            continue;
        }
        switch (c) {
        case '\'': inQuote = true; break;
        case '(': ++depth; break;
        case ')':
            if (--depth == 0) {
                if (i + 1 != s.size())
                    return false;
                out.quotedName = s.substr(nameStart, nameEnd - nameStart);
                out.tupleStart = tupleStart;
                return true;
            }
            break;
        case '"':
        case '`':
        case ';':
        case '#': return false;
        case '-':
            if (i + 1 < s.size() && s[i + 1] == '-')
                return false;
            break;
        case '/':
            if (i + 1 < s.size() && s[i + 1] == '*')
                return false;
            break;
        default: break;
        }
    }
    return false;
}

BatchExecutor::BatchExecutor(Connection &connection, bool rowByRow, FailureHandler onFailure)
    : m_connection(connection), m_rowByRow(rowByRow), m_onFailure(std::move(onFailure))
{
}

void BatchExecutor::execute(const std::string &statement, uint64_t tag, size_t rowPrefix)
{
    if (m_stopped)
        return;
    // A full batch may stay with the server while this one is collected.
    FlagScope leave(m_leavePending);
    if (m_rowByRow) {
        sendAlone(statement, tag);
        return;
    }
    std::string_view table = knownTable(statement, rowPrefix);
    if (table.empty()) {
        SingleRowInsert insert;
        if (!parseSingleRowInsert(statement, insert)) {
            flush();
            if (m_stopped)
                return;
            sendAlone(statement, tag);
            // A DROP, CREATE or ALTER may have changed what a table is.
            if (!startsWithInsert(statement))
                forgetTables();
            return;
        }
        table = insert.quotedName;
        rowPrefix = insert.tupleStart;
    }
    if (!m_batch.sharesPrefix(statement, rowPrefix)) {
        flush();
        if (m_stopped)
            return;
    }
    if (!isTransactional(table)) {
        // A refused multi-row insert into such a table may leave some of its
        // rows stored, so re-sending them row by row would store them twice.
        sendAlone(statement, tag);
        return;
    }
    readPacketLimit();
    if (!m_batch.hasRoom(statement, rowPrefix, m_rowLimit, m_limit)) {
        flush();
        if (m_stopped)
            return;
    }
    m_batch.add(statement, rowPrefix, tag);
}

void BatchExecutor::flush()
{
    if (m_batch.empty()) {
        if (!m_leavePending)
            finishPending();
        return;
    }
    if (m_stopped) {
        m_batch.clear();
        return;
    }
    sendBatch();
}

void BatchExecutor::sendBatch()
{
    // The load text is made while the server still works on the last batch.
    const bool loadable = m_batch.rows() > 1 &&
                          m_local.prepare(m_connection, knownTable(m_batch.text(), m_batch.prefix()), m_batch.text(),
                                          m_batch.tuples());
    finishPending();
    if (m_stopped) {
        m_batch.clear();
        try {
            m_local.release(m_connection);
        } catch (const DbError &) {
            // Lost: the run has ended already.
        }
        return;
    }
    m_sending.swap(m_batch.text());
    m_sendingTuples.swap(m_batch.tuples());
    m_sendingTags.swap(m_batch.tags());
    m_sendingPrefix = m_batch.prefix();
    m_batch.clear();

    const size_t rows = m_sendingTags.size();
    if (rows == 1) {
        // One row: the batch text is that row's statement.
        sendAlone(m_sending, m_sendingTags.front());
        return;
    }
    m_refused = false;
    try {
        if (loadable && m_local.start(m_connection, knownTable(m_sending, m_sendingPrefix))) {
            m_pending = Pending::Load;
        } else {
            // The statement in flight owns its text until finish().
            m_flight.sql.swap(m_sending);
            const bool started = m_connection.start(m_flight);
            m_sending.swap(m_flight.sql);
            if (started)
                m_pending = Pending::Insert;
        }
    } catch (const DbError &error) {
        if (!error.refused()) {
            fail(m_sendingTags.front(), error);
            return;
        }
        narrow(0, rows);
        batchDone();
        return;
    }
    if (m_pending == Pending::None) {
        sendRange(0, rows, false);
        batchDone();
    } else if (!m_leavePending) {
        finishPending();
    }
}

void BatchExecutor::finishPending()
{
    const Pending pending = m_pending;
    if (pending == Pending::None)
        return;
    m_pending = Pending::None;
    const size_t rows = m_sendingTags.size();
    try {
        bool stored = true;
        if (pending == Pending::Load) {
            stored = m_local.finish(m_connection, rows) == LocalLoad::Result::Stored;
            m_loaded = stored;
        } else {
            StatementCount count;
            try {
                stored = Accepted([&] { m_connection.finish(count, m_flight); });
            } catch (const DbError &) {
                m_sending.swap(m_flight.sql);
                throw;
            }
            m_sending.swap(m_flight.sql);
        }
        // Every row of an accepted statement is stored, also after a
        // handler said stop on one of them.
        if (stored)
            for (size_t i = 0; i < rows; ++i)
                accepted(m_sendingTags[i]);
        else
            sendInserts();
    } catch (const DbError &error) {
        if (error.refused())
            throw;
        fail(m_sendingTags.front(), error);
    }
    batchDone();
}

void BatchExecutor::sendInserts()
{
    // A refused batch, narrowed at once. Narrowing runs here, where a
    // compressing connection compresses a statement in one piece between
    // two turns of the event loop: there the batch goes in parts small
    // enough for that.
    const size_t rows = m_sendingTags.size();
    if (!m_connection.compressed()) {
        narrow(0, rows);
        return;
    }
    size_t first = 0;
    while (first < rows && !m_stopped) {
        size_t end = first + 1;
        const size_t from = m_sendingTuples[first].first;
        while (end < rows &&
               m_sendingTuples[end].first + m_sendingTuples[end].second - from + m_sendingPrefix <= kMaxCompressedBytes)
            ++end;
        sendRange(first, end, false);
        first = end;
    }
}

void BatchExecutor::batchDone()
{
    // After a refusal the next batch is half as large, so that rows refused
    // close together cost less work sent in vain; each accepted batch
    // doubles the size again.
    if (m_refused)
        m_rowLimit = std::max(kMinRowsAfterRefusal, m_rowLimit / 2);
    else
        m_rowLimit = std::min(m_loaded ? kMaxLoadedRows : kMaxRows, m_rowLimit * 2);
    m_loaded = false;
}

bool BatchExecutor::sendRange(size_t first, size_t end, bool knownRefused)
{
    if (m_stopped)
        return false;
    if (end - first == 1) {
        const auto [offset, length] = m_sendingTuples[first];
        m_single.assign(m_sending, 0, m_sendingPrefix);
        m_single.append(m_sending, offset, length);
        if (sendAlone(m_single, m_sendingTags[first]))
            return true;
        m_refused = true;
        return false;
    }
    if (!knownRefused) {
        try {
            if (first == 0 && end == m_sendingTags.size()) {
                m_connection.execute(m_sending);
            } else {
                const size_t from = m_sendingTuples[first].first;
                const size_t to = m_sendingTuples[end - 1].first + m_sendingTuples[end - 1].second;
                m_single.assign(m_sending, 0, m_sendingPrefix);
                m_single.append(m_sending, from, to - from);
                m_connection.execute(m_single);
            }
            // Every row of an accepted statement is stored, also after a
            // handler said stop on one of them.
            for (size_t i = first; i < end; ++i)
                accepted(m_sendingTags[i]);
            return true;
        } catch (const DbError &error) {
            if (!error.refused()) {
                fail(m_sendingTags[first], error);
                return false;
            }
        }
    }
    return narrow(first, end);
}

bool BatchExecutor::narrow(size_t first, size_t end)
{
    if (m_stopped)
        return false;
    // The table is transactional, so the refused statement stored nothing.
    m_refused = true;
    if (m_piecesUsable && sendPieces(first, end))
        return false;
    // Its halves again, in order, down to the single rows the server
    // refuses: the rows stored and the failures seen are those of row by
    // row. When the first half is accepted whole, the second is split at
    // once rather than sent whole to be refused again; that only ever
    // costs smaller statements, never a row's outcome.
    const size_t middle = first + (end - first) / 2;
    const bool firstWhole = sendRange(first, middle, false);
    sendRange(middle, end, firstWhole);
    return false;
}

bool BatchExecutor::sendPieces(size_t first, size_t end)
{
    // One round trip tells which piece of a refused range the server
    // refuses: a MariaDB compound statement inserts the pieces in order,
    // each committed on its own as if sent alone, and stops at the first it
    // refuses, saying how many it stored. The pieces before that one are
    // stored, the refused one is narrowed the same way down to its row,
    // which goes alone for the server's own report, and the rest of the
    // range goes again as one statement: some five round trips for one
    // refused row in 10,000 where halving takes some twenty.
    size_t lo = first, hi = end;
    while (hi - lo > 1) {
        size_t done = 0;
        const size_t pieces = std::min(kPieces, hi - lo);
        const auto bound = [&](size_t i) { return lo + (hi - lo) * i / pieces; };
        switch (sendCompound(pieces, bound, done)) {
        case Compound::Unknown:
            if (lo != first)
                break; // fall back to halving what is left
            return false;
        case Compound::Stopped: return true;
        case Compound::Ran:
            for (size_t i = lo; i < bound(done); ++i)
                accepted(m_sendingTags[i]);
            if (m_stopped)
                return true;
            if (done == pieces) {
                // Accepted this time after all: nothing to narrow.
                if (hi < end)
                    sendRange(hi, end, false);
                return true;
            }
            const size_t from = bound(done), to = bound(done + 1);
            lo = from;
            hi = to;
            continue;
        }
        // The server stopped taking compounds midway: halve the rest.
        sendRange(lo, hi, true);
        if (hi < end)
            sendRange(hi, end, false);
        return true;
    }
    sendRange(lo, hi, true);
    if (hi < end)
        sendRange(hi, end, false);
    return true;
}

BatchExecutor::Compound BatchExecutor::sendCompound(size_t pieces, const std::function<size_t(size_t)> &bound,
                                                    size_t &done)
{
    const std::string mark = std::to_string(++m_compoundCount) + ".";
    std::vector<std::string_view> tuples;
    for (size_t i = 0; i < pieces; ++i) {
        const size_t from = m_sendingTuples[bound(i)].first;
        const size_t last = bound(i + 1) - 1;
        const size_t to = m_sendingTuples[last].first + m_sendingTuples[last].second;
        tuples.push_back(std::string_view(m_sending).substr(from, to - from));
    }
    mysql::BuildPiecesCompound(m_compound, std::string_view(m_sending).substr(0, m_sendingPrefix), tuples, mark);
    const std::string &c = m_compound;

    const uint64_t firstTag = m_sendingTags[bound(0)];
    const auto count = [](const std::string &text, size_t &out) {
        const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
        return r.ec == std::errc() && r.ptr == text.data() + text.size();
    };
    DbError unclear("The server did not say how many pieces of a batch it stored.", 0, DbError::Kind::Unknown);
    try {
        auto result = m_connection.openRecordSet(c);
        if (result && !result->eof() && count(result->value(0).toText(), done)) {
            done = std::min(done, pieces);
            return Compound::Ran;
        }
    } catch (const DbError &error) {
        if (!error.refused()) {
            fail(firstTag, error);
            return Compound::Stopped;
        }
        if (mysql::KnowsNoCompounds(error.code()) || error.code() == 0 || error.kind() == DbError::Kind::TooLarge) {
            // Not a server that knows compound statements (or the text is
            // too long): nothing ran. Halving does without.
            if (mysql::KnowsNoCompounds(error.code()))
                m_piecesUsable = false;
            return Compound::Unknown;
        }
        unclear = error;
    }
    // Ended by something the handler does not catch: the session says how
    // far it got.
    try {
        auto result = m_connection.openRecordSet(mysql::kPiecesDoneQuery);
        const std::string seen = result && !result->eof() ? result->value(0).toText() : std::string();
        done = 0;
        if (seen.compare(0, mark.size(), mark) != 0 || count(seen.substr(mark.size()), done)) {
            done = std::min(done, pieces);
            return Compound::Ran;
        }
        fail(firstTag, unclear);
    } catch (const DbError &again) {
        fail(firstTag, again.refused() ? unclear : again);
    }
    // Not knowing which rows are stored, sending any again could store
    // them twice.
    stop();
    return Compound::Stopped;
}

bool BatchExecutor::sendAlone(const std::string &statement, uint64_t tag)
{
    finishPending();
    if (m_stopped)
        return false;
    try {
        m_connection.execute(statement);
    } catch (const DbError &error) {
        m_failedStatement = &statement;
        fail(tag, error);
        m_failedStatement = nullptr;
        return false;
    }
    accepted(tag);
    return true;
}

void BatchExecutor::fail(uint64_t tag, const DbError &error)
{
    // Only after a refusal is the session as it was: anything else ends
    // the sending, whatever the handler says.
    const bool goOn = m_onFailure ? m_onFailure(tag, error) : true;
    if (goOn && error.refused())
        return;
    stop();
}

void BatchExecutor::accepted(uint64_t tag)
{
    if (m_onAccept && !m_onAccept(tag))
        stop();
}

void BatchExecutor::stop()
{
    m_stopped = true;
    m_batch.clear();
}

bool BatchExecutor::isTransactional(std::string_view quotedName)
{
    if (m_lastValid && m_lastTable == quotedName)
        return m_lastTransactional;
    m_lastTable.assign(quotedName);
    m_lastValid = true;
    if (auto it = m_transactional.find(m_lastTable); it != m_transactional.end()) {
        m_lastTransactional = it->second;
        return m_lastTransactional;
    }

    bool transactional = false;
    std::string why;
    try {
        auto rows = m_connection.openRecordSet(mysql::TableEngineQuery(quotedName));
        if (rows && !rows->eof()) {
            const std::string engine = rows->value(0).toText();
            transactional = mysql::IsTransactionalEngine(engine);
            why = "its storage engine " + engine + " cannot take back a refused batch";
        } else {
            why = "the server did not say which storage engine the table has";
        }
    } catch (const Error &error) {
        // Not known to be transactional: its rows go one by one.
        why = std::string("the server could not say which storage engine the table has (") + error.what() + ")";
    }
    if (!transactional && m_onNote)
        m_onNote(UnquotedName(quotedName), "Rows were sent one by one, not in batches: " + why + ".");
    m_transactional.emplace(m_lastTable, transactional);
    m_lastTransactional = transactional;
    return transactional;
}

void BatchExecutor::readPacketLimit()
{
    if (m_limitKnown)
        return;
    m_limitKnown = true;
    m_limit = packetLimit();
}

size_t BatchExecutor::packetLimit() const
{
    // Not known: the smallest limit servers commonly have.
    int64_t packet = m_connection.maxAllowedPacket();
    if (packet < 1024)
        packet = kUnknownPacket;
    // Leave room for the packet header and the server's own accounting. A
    // row that alone is over the packet limit goes alone, and the
    // connection refuses it without sending it.
    return std::min<size_t>(kMaxBytes, static_cast<size_t>(packet - packet / 16));
}

void BatchExecutor::forgetTables()
{
    m_local.forgetTables();
    m_transactional.clear();
    m_lastValid = false;
}

} // namespace tabulon
