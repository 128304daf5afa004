#pragma once

#include "common/guardedsteps.h"
#include "engine/run/batchexecutor.h"
#include "engine/run/runhost.h"
#include "engine/run/runstate.h"
#include "engine/run/tableconversion.h"

#include <memory>
#include <string>

namespace tabulon {

// Sends the run's statements: listed for the preview, or executed on
// mysql_conn through one batching executor. A refused statement is reported
// with its own step, as row by row; a lost connection stops the run after
// its one report, since every later statement could only fail the same way.
// A row too large for the server is reported with its table and row number,
// and the run goes on with the next row.
class RunTableWork : public TableWork {
public:
    RunTableWork(GuardedProcedure &proc, RunHost &host, RunState &state)
        : m_proc(proc), m_host(host), m_state(state)
    {
    }

    // The table whose statements follow, and where its counts go.
    void beginTable(const std::string &table, TableReport *report)
    {
        m_table = table;
        m_report = report;
    }

    void statement(const std::string &text, int step, std::size_t rowPrefix, int64_t row) override;

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

    // Lost, or the executor could not know what the server holds: later
    // statements must not be sent.
    bool stopped() const override { return m_lost || (m_executor && m_executor->stopped()); }
    // Why the sending stopped, for the report: "the connection to the server was lost".
    const std::string &stopReason() const { return m_stopReason; }
    bool connectionLost() const { return m_connectionLost; }
    ColumnTypes columnTypes() const override { return m_state.options.columnTypes; }
    void setProgressCaption(const std::string &caption) override { m_host.setProgressCaption(caption); }
    void setProgress(double percent) override { m_host.setProgress(percent); }

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
    bool m_connectionLost = false;
    std::string m_stopReason;
    int m_refusedShown = 0;
    bool m_quietRefusals = false;
    // Staging: the statement prefixes as written and as sent.
    std::string m_insertAsWritten, m_insertAsSent, m_createAsWritten, m_createAsSent;
    std::string m_staged;
    bool *m_refusedOwn = nullptr;
};

} // namespace tabulon
