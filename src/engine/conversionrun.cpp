#include "engine/conversionrun.h"

#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "engine/batchexecutor.h"
#include "engine/connectionfactory.h"
#include "engine/listroutines.h"
#include "engine/tableconversion.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradoxsource.h"
#include "target/mysqltarget.h"

#include <exception>

namespace tabulon {
namespace {

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

    void beginTable(const std::string &table) { m_table = table; }

    bool step(int number, StepBody body) override { return m_proc.step(number, body); }

    void statement(const std::string &text, int step, std::size_t /*rowPrefix*/, int64_t row) override
    {
        if (m_host.check1() == 1) {
            m_state.scriptList.append(text);
            return;
        }
        if (m_lost)
            return;
        if (!m_executor) {
            if (!m_state.mysql_conn || !m_state.mysql_conn->isOpen()) {
                m_lost = true;
                throw DbError("The MySQL connection is not open, so nothing can be written to the "
                              "database. Check the server and the login, then start again.",
                              0, true);
            }
            m_executor = std::make_unique<BatchExecutor>(
                *m_state.mysql_conn, m_host.rowByRow(),
                [this](uint64_t tag, const DbError &error) {
                    const int step = static_cast<int>(tag & kStepMask);
                    const auto row = static_cast<int64_t>(tag >> kRowShift);
                    if (const auto *large = dynamic_cast<const StatementTooLarge *>(&error))
                        m_proc.report(step, large->about(subject(row)).what());
                    else
                        m_proc.report(step, error.what());
                    if (error.connectionLost())
                        m_lost = true;
                    return !error.connectionLost();
                });
        }
        // A batch's failures come after later rows were built: the tag
        // keeps the row number beside the step.
        m_executor->execute(text, static_cast<uint64_t>(step) | (static_cast<uint64_t>(row) << kRowShift));
    }

    // Sends what is still queued for the current table.
    void flush()
    {
        if (m_executor)
            m_executor->flush();
    }

    bool stopped() const override { return m_lost; }
    void setProgressCaption(const std::string &caption) override { m_host.setProgressCaption(caption); }
    void setProgress(double percent) override { m_host.setProgress(percent); }

private:
    static constexpr int kRowShift = 16;
    static constexpr uint64_t kStepMask = (uint64_t(1) << kRowShift) - 1;

    std::string subject(int64_t row) const
    {
        if (row > 0)
            return "Row " + std::to_string(row) + " of table " + m_table;
        return "A statement for table " + m_table;
    }

    GuardedProcedure &m_proc;
    RunHost &m_host;
    RunState &m_state;
    std::unique_ptr<BatchExecutor> m_executor;
    std::string m_table;
    bool m_lost = false;
};

// On every way out: ConversionBusy back to false. When the run unwinds
// because the application quits, the connections are closed and the
// pointer restored without any report.
class RunScope {
public:
    RunScope(RunHost &host, RunState &state, std::unique_ptr<Connection> &source)
        : m_host(host), m_state(state), m_source(source), m_exceptions(std::uncaught_exceptions())
    {
    }
    ~RunScope()
    {
        if (std::uncaught_exceptions() > m_exceptions) {
            quietly([&] { if (m_state.mysql_conn) m_state.mysql_conn->close(); });
            quietly([&] { if (m_source) m_source->close(); });
            if (m_pointerBusy)
                quietly([&] { m_host.setBusyPointer(false); });
        }
        m_state.ConversionBusy = false;
    }
    void pointerBusy(bool busy) { m_pointerBusy = busy; }

private:
    template <class F> static void quietly(F &&f)
    {
        try {
            f();
        } catch (...) {
        }
    }

    RunHost &m_host;
    RunState &m_state;
    std::unique_ptr<Connection> &m_source;
    int m_exceptions;
    bool m_pointerBusy = false;
};

std::vector<ParadoxTableFile> SourceTables(const std::vector<std::string> &names,
                                           const std::vector<std::string> &files)
{
    std::vector<ParadoxTableFile> tables;
    for (std::size_t i = 0; i < names.size() && i < files.size(); ++i)
        tables.push_back({names[i], files[i]});
    return tables;
}

} // namespace

void ConvertTables(RunHost &host, RunState &state)
{
    GuardedProcedure proc(host, "Form1.PushButton7_Click");
    if (proc.decide(100, [&] { return state.ConversionBusy; }))
        return;
    proc.step(102, [&] { state.ConversionBusy = true; });

    std::unique_ptr<Connection> source;
    RunScope scope(host, state, source);
    bool connectionsOpen = false;
    proc.step(104, [&] { CopyDB(host, false); });
    proc.step(106, [&] { state.mysql_conn.reset(); });
    if (proc.decide(108, [&] { return !FolderHasDbFiles(host); }))
        return;
    if (proc.decide(110, [&] { return !CanConnectMySQL(host); }))
        return;
    proc.step(112, [&] { host.setBusyPointer(true); scope.pointerBusy(true); });
    proc.step(114, [&] { state.List1.clear(); state.List2.clear(); state.List2Files.clear(); });
    proc.step(116, [&] { ListMySQLTables(host, state.List1); });
    proc.step(118, [&] { ListParadoxTables(host, state.List2, &state.List2Files); });
    proc.step(120, [&] { host.tableListsChanged(); });
    // The source reads each table from the file its entry was listed with,
    // without walking the folder again.
    proc.step(122, [&] {
        CodePageChoice codePages;
        codePages.all = ParseCodePageChoice(host.codePage());
        source = OpenParadoxConnection(ParadoxConnectionString(host.fieldText(1)), {3, 30, 15},
                                       SourceTables(state.List2, state.List2Files), codePages);
    });
    proc.step(124, [&] { connectionsOpen = true; });
    proc.step(126, [&] { state.mysql_conn = OpenConnection(MySqlConnectionString(host), {2, 5000, 5000}); });
    proc.step(128, [&] { state.scriptList.clear(); state.datatypeList.clear(); });

    RunTableWork work(proc, host, state);
    constexpr int kTableFirstStep = 144;
    static_assert(kTableFirstStep + 2 * kConvertTableSteps == 168);
    for (size_t i = state.List2.size(); i-- > 0;) {
        if (i >= state.List2.size())
            continue;
        const std::string t = state.List2[i];
        work.beginTable(t);
        proc.step(130, [] { EventPump::yield(); });
        bool overwrite = false;
        bool skip = false;
        if (proc.decide(132, [&] { return ListContains(state.List1, t); })) {
            skip = proc.decide(134, [&] { return !host.askYesNo("Would you like to overwrite " + t + "?", "Overwrite?"); });
            overwrite = !skip;
        }
        if (!skip) {
            if (proc.decide(136, [&] { return host.option2(); }))
                proc.step(138, [&] { state.scriptList.clear(); state.datatypeList.clear(); });
            if (overwrite) {
                // The server may keep names case-sensitively: drop the table the
                // user agreed to replace, under the name the server reported.
                proc.step(140, [&] { work.statement(DropStatement(FindListEntry(state.List1, t)), 140, 0, 0); });
                proc.step(142, [&] { RemoveListEntry(state.List1, LowerCase(t)); });
            }
            if (!work.stopped())
                ConvertTable(work, source.get(), t, &state.datatypeList, kTableFirstStep);
            // Queued rows go before the caption clears; their failures carry the row step.
            proc.step(kTableFirstStep + 18, [&] { work.flush(); });
            proc.step(168, [&] { state.StopConversion = true; });
            if (!work.stopped() && proc.decide(170, [&] { return host.check1() == 1 && host.option2(); })) {
                proc.step(172, [&] { host.showPreview(); });
                if (proc.decide(174, [&] { return state.StopConversion; }))
                    break;
            }
        }
        proc.step(176, [&] { host.setProgressCaption(""); });
        if (work.stopped())
            break;
    }

    if (proc.decide(178, [&] { return host.check1() == 1 && host.option1(); })) {
        proc.step(180, [&] { state.SQLFormOK = false; });
        proc.step(182, [&] { host.showPreview(); });
        if (proc.decide(184, [&] { return !state.SQLFormOK; })) {
            proc.step(186, [&] { if (state.mysql_conn) state.mysql_conn->close(); });
            proc.step(188, [&] { if (source) source->close(); });
            proc.step(190, [&] { connectionsOpen = false; });
            proc.step(192, [&] { host.setProgressCaption(""); });
        }
    }
    if (proc.decide(194, [&] { return connectionsOpen; })) {
        proc.step(196, [&] { if (state.mysql_conn) state.mysql_conn->close(); });
        proc.step(198, [&] { if (source) source->close(); });
    }
    proc.step(200, [&] { host.setBusyPointer(false); scope.pointerBusy(false); });
    proc.step(202, [&] { host.setProgress(0); });
    proc.step(204, [&] { host.setProgressCaption("Progress Bar"); });
    proc.step(206, [&] { host.inform("Done."); });
    proc.step(208, [&] { state.ConversionBusy = false; });
}

} // namespace tabulon
