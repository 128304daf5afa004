#pragma once

#include "common/guardedsteps.h"
#include "engine/run/batchexecutor.h"
#include "engine/run/runhost.h"
#include "engine/run/runstate.h"
#include "engine/run/tableconversion.h"
#include "engine/run/tabledigest.h"
#include "target/digestquery.h"

#include <chrono>
#include <memory>
#include <string>

namespace tabulon {

// The boxes of a run, timed: a table's time and its rows a second leave
// out the time the run stood waiting for the user's answer.
class TimedMessages : public MessageHost {
public:
    using Clock = std::chrono::steady_clock;
    explicit TimedMessages(MessageHost &host) : m_host(host) {}

    template <class F> decltype(auto) timed(F &&f)
    {
        struct Stopwatch {
            Clock::duration &total;
            Clock::time_point start = Clock::now();
            ~Stopwatch() { total += Clock::now() - start; }
        } watch{m_waited};
        return f();
    }

    void showApplicationError(const std::string &text) override
    {
        timed([&] { m_host.showApplicationError(text); });
    }
    bool askYesNo(const std::string &text, const std::string &title = {}) override
    {
        return timed([&] { return m_host.askYesNo(text, title); });
    }
    void inform(const std::string &text, const std::string &title = {}) override
    {
        timed([&] { m_host.inform(text, title); });
    }
    Clock::duration waited() const { return m_waited; }

private:
    MessageHost &m_host;
    Clock::duration m_waited{};
};

// What the caption adds while a table's rows go: "120,000 of 205,000 rows,
// about 1 s left, 95,000 rows/s" (what matters most first: a narrow bar
// drops clauses from the end). The time left and the rate only once a
// second has passed; total < 0: the source keeps no count.
std::string RowProgressText(int64_t rows, int64_t total, double seconds);

// Sends the run's statements: listed for the preview, or executed on
// mysql_conn through one batching executor. A refused statement is reported
// with its own step, as row by row; a lost connection stops the run after
// its one report, since every later statement could only fail the same way.
// A row too large for the server is reported with its table and row number,
// and the run goes on with the next row.
class RunTableWork : public TableWork {
public:
    // waits: the run's timed boxes, whose time the rate leaves out.
    RunTableWork(GuardedProcedure &proc, RunHost &host, RunState &state, TimedMessages *waits = nullptr)
        : m_proc(proc), m_host(host), m_state(state), m_waits(waits)
    {
    }

    // The table whose statements follow, where its counts go, and its place
    // among the run's tables (from 1; count 0: not told).
    void beginTable(const std::string &table, TableReport *report, std::size_t number = 0, std::size_t count = 0)
    {
        m_table = table;
        m_report = report;
        m_number = number;
        m_count = count;
        m_resumeAfter = -1;
        m_lastSettled = 0;
        m_digest.abandon();
    }

    // Starts the table's digest of the values sent (direct mode, when asked for).
    void tableDefined(const TableDefinition &definition) override;
    // Compares the digest with the server's of `name`, once the table's
    // rows are all settled: report.serverRows and report.values say what
    // was found. False when the values were not checked (nor the rows counted).
    bool checkValues(Connection &connection, TableReport &report, const std::string &name);

    void statement(const std::string &text, int step, std::size_t rowPrefix, int64_t row) override;
    // Direct mode: the indexes go to the staging table, each alone when the
    // server refuses them together; what it refuses is a note. The foreign
    // keys wait in the table's report for the end of the run.
    void tableSchema(const std::string &table, const SchemaPlan &plan, int step) override;

    // The table's staging table exists from an earlier run with its rows up
    // to `row`: its CREATE and those rows are not sent again.
    void resumeAfter(int64_t row) { m_resumeAfter = m_lastSettled = row; }
    // The last row whose outcome (stored or refused) is known; all before it too.
    int64_t lastSettledRow() const { return m_lastSettled; }
    // The table's CREATE and INSERTs go to `staging` instead of `table`
    // (empty: as written). Refused rows are reported as written.
    void stageAs(const std::string &table, const std::string &staging);
    // Sends a statement of the run's own (a DROP, a RENAME) once what is
    // queued has gone; false when it was refused or sending has stopped.
    bool sendOwn(const std::string &text, int step);

    // Sends what is still queued for the current table.
    void flush()
    {
        if (m_executor)
            m_executor->flush();
    }

    // Lost, the executor could not know what the server holds, or a row
    // was held back because the user stopped the run: later statements
    // must not be sent.
    bool stopped() const override { return m_lost || m_userStop || (m_executor && m_executor->stopped()); }
    // Why the sending stopped, for the report: "the connection to the server was lost".
    const std::string &stopReason() const { return m_stopReason; }
    bool connectionLost() const { return m_connectionLost; }
    ColumnTypes columnTypes() const override { return m_state.options.columnTypes; }
    std::string tableLabel(const std::string &table) const override;
    void setProgressCaption(const std::string &caption) override;
    void setProgress(int64_t row, int64_t total) override;

private:
    static constexpr int kRowShift = 16;
    static constexpr uint64_t kStepMask = (uint64_t(1) << kRowShift) - 1;
    // Refused rows shown one box each before the user may silence them.
    static constexpr int kRefusedBeforeQuietOffer = 3;

    std::string subject(int64_t row) const;

    bool refused(uint64_t tag, const DbError &error);

    GuardedProcedure &m_proc;
    RunHost &m_host;
    RunState &m_state;
    std::unique_ptr<BatchExecutor> m_executor;
    std::string m_table;
    TableReport *m_report = nullptr;
    bool m_lost = false;
    bool m_userStop = false;
    bool m_connectionLost = false;
    std::string m_stopReason;
    int m_refusedShown = 0;
    bool m_quietRefusals = false;
    // Staging: the statement prefixes as written and as sent.
    std::string m_insertAsWritten, m_insertAsSent, m_createAsWritten, m_createAsSent;
    std::string m_staged;
    bool *m_refusedOwn = nullptr;
    int64_t m_resumeAfter = -1;
    int64_t m_lastSettled = 0;
    TableDigest m_digest;
    std::vector<mysql::DigestColumn> m_digestColumns;
    std::string m_stagingName;

    TimedMessages *m_waits;
    std::size_t m_number = 0;
    std::size_t m_count = 0;
    std::string m_caption;
    // The caption's row count: when the rows began, the boxes' time then,
    // and when it was last written.
    TimedMessages::Clock::time_point m_rowsStarted;
    TimedMessages::Clock::duration m_waitedBefore{};
    TimedMessages::Clock::time_point m_captionWritten;
};

} // namespace tabulon
