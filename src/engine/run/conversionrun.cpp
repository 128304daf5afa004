#include "engine/run/conversionrun.h"

#include "common/applicationtitle.h"
#include "common/busyguard.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/listroutines.h"
#include "engine/run/runjournal.h"
#include "engine/run/runtablework.h"
#include "engine/run/tableconversion.h"
#include "engine/run/tablereplacement.h"
#include "engine/run/tablesend.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradoxsource.h"
#include "target/mysqltarget.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>

namespace tabulon {
namespace {

std::vector<std::pair<std::string, std::string>> RunHeader(const RunOptions &options, const std::string &folder)
{
    const std::string mode = std::string(options.preview ? "SQL preview" : "direct") + "; " +
                             (options.columnTypes == ColumnTypes::Native ? "native MySQL column types"
                                                                         : "text column types") +
                             "; code page " + options.codePage + (options.rowByRow ? "; row by row" : "");
    return {{"When", QDateTime::currentDateTime().toString(Qt::ISODate).replace('T', ' ').toStdString()},
            {"Tabulon", ApplicationVersion()},
            {"Server", options.login.serverAndPort()},
            {"Database", options.login.database},
            {"User", options.login.user},
            {"Folder", folder},
            {"Mode", mode}};
}

// On every way out: ConversionBusy back to false. When the run unwinds
// because the application quits, the connections are closed without any
// report.
class RunScope {
public:
    RunScope(RunState &state, std::unique_ptr<Connection> &source)
        : m_state(state), m_source(source), m_exceptions(std::uncaught_exceptions())
    {
    }
    ~RunScope()
    {
        if (std::uncaught_exceptions() > m_exceptions) {
            m_state.mysql_conn.closeQuietly();
            quietly([&] {
                if (m_source)
                    m_source->close();
            });
        }
        m_state.ConversionBusy = false;
    }

private:
    template <class F> static void quietly(F &&f)
    {
        try {
            f();
        } catch (...) {
        }
    }

    RunState &m_state;
    std::unique_ptr<Connection> &m_source;
    int m_exceptions;
};

std::vector<ParadoxTableFile> SourceTables(const std::vector<std::string> &names, const std::vector<std::string> &files)
{
    std::vector<ParadoxTableFile> tables;
    for (std::size_t i = 0; i < names.size() && i < files.size(); ++i)
        tables.push_back({names[i], files[i]});
    return tables;
}

} // namespace

void ConvertTables(RunHost &host, RunState &state)
{
    TimedMessages messages(host);
    GuardedProcedure proc(messages, "Form1.PushButton7_Click");
    if (proc.decide(100, [&] { return state.ConversionBusy; }))
        return;
    proc.step(102, [&] { state.ConversionBusy = true; });
    state.options = host.runOptions();
    const RunOptions &options = state.options;

    std::unique_ptr<Connection> source;
    RunScope scope(state, source);
    BusyGuard pointer([&host](bool busy) { host.setBusyPointer(busy); });
    bool connectionsOpen = false;
    proc.step(104, [&] { CopyDB(host, false); });
    proc.step(106, [&] { state.mysql_conn.reset(); });
    // A refusal must say why, or it looks like a broken button.
    std::string problem;
    if (proc.decide(108, [&] {
            problem = FolderTablesProblem(host);
            return !problem.empty();
        })) {
        proc.step(108, [&] { host.inform(problem); });
        return;
    }
    if (proc.decide(110, [&] { return !TestMySqlLogin(host, options.login, problem); })) {
        proc.step(110, [&] {
            host.inform("Could not connect to the MySQL server, so nothing was converted.\r\n\r\nReason: " + problem +
                        "\r\n\r\nCheck the server, port, user, password and database, then start again.");
        });
        return;
    }
    proc.step(112, [&] { pointer.acquire(); });
    proc.step(114, [&] {
        state.List1.clear();
        state.List2.clear();
        state.List2Files.clear();
    });
    // Without the target's tables the overwrite question could not be
    // asked, and without its connection nothing can be written: one report,
    // then the run ends as after a lost connection.
    bool targetLost = !proc.step(116, [&] { ListMySQLTables(options.login, state.List1); });
    proc.step(118, [&] { ListParadoxTables(host, state.List2, &state.List2Files); });
    proc.step(120, [&] { host.tableListsChanged(); });
    // The source reads each table from the file its entry was listed with,
    // without walking the folder again.
    proc.step(122,
              [&] { source = OpenRunSource(options, host.fieldText(1), SourceTables(state.List2, state.List2Files)); });
    proc.step(124, [&] { connectionsOpen = true; });
    std::string encryption = "not connected";
    if (!targetLost)
        targetLost = !proc.step(126, [&] {
            auto connection = OpenRunTarget(options, host);
            encryption = connection->encryption();
            state.mysql_conn = std::move(connection);
        });
    proc.step(128, [&] {
        state.scriptList.clear();
        state.datatypeList.clear();
    });

    RunReport report;
    report.previewMode = options.preview;
    report.header = RunHeader(options, host.fieldText(1));
    report.header.insert(report.header.begin() + 3, {"Connection", encryption});
    for (size_t i = state.List2.size(); i-- > 0;) {
        TableReport &entry = report.tables.emplace_back();
        entry.table = state.List2[i];
        if (i < state.List2Files.size())
            entry.file = state.List2Files[i];
    }

    // What the last run finished, when it was stopped or failed: the user
    // may go on with the rest.
    RunJournal journal(options.preview || targetLost ? std::string() : options.journalPath);
    RunJournal earlier = journal;
    bool resume = false;
    if (earlier.load(host.fieldText(1), options.login))
        resume = messages.askYesNo("The last run stopped after " + std::to_string(earlier.finishedCount()) + " of " +
                                   std::to_string(earlier.tableCount()) +
                                   " tables. Continue it? (Yes: only the unfinished tables; No: start again)");
    journal.begin(host.fieldText(1), options.login, state.List2, state.List2Files);

    RunTableWork work(proc, host, state, &messages);
    // "Yes to All" or "No to All": the answer for the rest of the run.
    std::optional<bool> overwriteAll;
    static_assert(kTableFirstStep + 2 * kConvertTableSteps == 168);
    for (size_t i = state.List2.size(); i-- > 0 && !targetLost;) {
        if (i >= state.List2.size())
            continue;
        const std::string t = state.List2[i];
        TableReport &tableReport = report.tables[state.List2.size() - 1 - i];
        const auto started = std::chrono::steady_clock::now();
        const auto waitedBefore = messages.waited();
        work.beginTable(t, &tableReport, state.List2.size() - i, state.List2.size());
        proc.step(130, [] { EventPump::yield(); });
        if (host.stopRequested())
            break;
        RunJournal::Table entry = journal.entry(t);
        const RunJournal::Table *before = resume ? earlier.unchanged(t, entry.file) : nullptr;
        if (before && before->state == RunJournal::Table::State::Done) {
            tableReport.outcome = TableReport::Outcome::Converted;
            tableReport.notes.push_back("Converted by the run this one continued; not sent again.");
            entry.state = RunJournal::Table::State::Done;
            journal.record(entry);
            continue;
        }
        bool overwrite = false;
        bool skip = false;
        if (proc.decide(132, [&] { return ListContains(state.List1, t); })) {
            skip = proc.decide(134, [&] {
                if (!overwriteAll) {
                    const auto answer = messages.timed(
                        [&] { return host.askOverwrite("Would you like to overwrite " + t + "?", "Overwrite?"); });
                    if (answer == RunHost::Overwrite::YesToAll || answer == RunHost::Overwrite::NoToAll)
                        overwriteAll = answer == RunHost::Overwrite::YesToAll;
                    return answer == RunHost::Overwrite::No || answer == RunHost::Overwrite::NoToAll;
                }
                return !*overwriteAll;
            });
            overwrite = !skip;
            // A close of the window answers the question; the table stays as it was.
            if (host.stopRequested())
                break;
        }
        bool leaveRun = false;
        if (skip) {
            tableReport.outcome = TableReport::Outcome::Declined;
        } else {
            TablePlan plan{t, overwrite, overwrite ? FindListEntry(state.List1, t) : std::string(), before, entry};
            TableSender sender{proc, host, messages, state, source.get(), work};
            SendTable(sender, plan, tableReport);
            entry = plan.entry;
            proc.step(168, [&] { state.StopConversion = true; });
            if (!work.stopped() && !host.stopRequested() &&
                proc.decide(170, [&] { return options.preview && options.previewEachTable; })) {
                state.SQLFormOK = false;
                proc.step(172, [&] { host.showPreview(); });
                if (!state.StopConversion)
                    tableReport.outcome = state.SQLFormOK ? TableReport::Outcome::Executed
                                                          : TableReport::Outcome::Skipped;
                leaveRun = proc.decide(174, [&] { return state.StopConversion; });
            }
        }
        if (skip)
            entry.state = RunJournal::Table::State::Done;
        journal.record(entry);
        tableReport.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started -
                                                            (messages.waited() - waitedBefore))
                                  .count();
        if (leaveRun)
            break;
        proc.step(176, [&] { host.setProgressCaption(""); });
        if (work.stopped() || host.stopRequested())
            break;
    }
    journal.endIfFinished();
    // A stop after the last table's rows has nothing left to stop.
    report.stopped = host.stopRequested() &&
                     std::any_of(report.tables.begin(), report.tables.end(), [](const TableReport &t) {
                         return t.outcome == TableReport::Outcome::NotReached ||
                                t.outcome == TableReport::Outcome::Incomplete;
                     });

    if (!targetLost && !report.stopped &&
        proc.decide(178, [&] { return options.preview && options.previewEachFile; })) {
        proc.step(180, [&] { state.SQLFormOK = false; });
        proc.step(182, [&] { host.showPreview(); });
        if (state.SQLFormOK)
            for (TableReport &t : report.tables)
                if (t.outcome == TableReport::Outcome::Listed)
                    t.outcome = TableReport::Outcome::Executed;
        if (proc.decide(184, [&] { return !state.SQLFormOK; })) {
            proc.step(186, [&] { state.mysql_conn.close(); });
            proc.step(188, [&] {
                if (source)
                    source->close();
            });
            proc.step(190, [&] { connectionsOpen = false; });
            proc.step(192, [&] { host.setProgressCaption(""); });
        }
    }
    if (proc.decide(194, [&] { return connectionsOpen; })) {
        proc.step(196, [&] { state.mysql_conn.close(); });
        proc.step(198, [&] {
            if (source)
                source->close();
        });
    }
    proc.step(200, [&] { pointer.release(); });
    proc.step(202, [&] { host.setProgress(0); });
    proc.step(204, [&] { host.setProgressCaption("Progress Bar"); });
    proc.step(206, [&] { host.showRunReport(report); });
    proc.step(208, [&] { state.ConversionBusy = false; });
}

} // namespace tabulon
