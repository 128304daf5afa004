#include "engine/run/conversionrun.h"

#include "common/applicationtitle.h"
#include "common/busyguard.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/foreignkeys.h"
#include "engine/run/listroutines.h"
#include "engine/run/runjournal.h"
#include "engine/run/runtablework.h"
#include "engine/run/sidebyside.h"
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
#include <filesystem>
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

// A table's size on disk with its memo file: the largest go first.
int64_t TableFileBytes(const std::string &file)
{
    std::error_code error;
    std::filesystem::path path(file);
    int64_t bytes = 0;
    if (const auto size = std::filesystem::file_size(path, error); !error)
        bytes += int64_t(size);
    // The memo file's extension in the case of the table's.
    const std::string extension = path.extension().string();
    path.replace_extension(extension == ".DB" ? ".MB" : ".mb");
    if (const auto size = std::filesystem::file_size(path, error); !error)
        bytes += int64_t(size);
    return bytes;
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

    // "Yes to All" or "No to All": the answer for the rest of the run.
    std::optional<bool> overwriteAll;
    // Settles what a table's sending needs to know first: sent by the run
    // this one continues, declined, or to be sent (replacing what the
    // server has, when the user agreed).
    enum class Next { Send, Settled, Stop };
    const auto settle = [&](const std::string &t, TableReport &tableReport, TablePlan &plan) {
        plan.table = t;
        plan.entry = journal.entry(t);
        plan.before = resume ? earlier.unchanged(t, plan.entry.file) : nullptr;
        if (plan.before && plan.before->state == RunJournal::Table::State::Done) {
            tableReport.outcome = TableReport::Outcome::Converted;
            tableReport.notes.push_back("Converted by the run this one continued; not sent again.");
            plan.entry.state = RunJournal::Table::State::Done;
            return Next::Settled;
        }
        if (!proc.decide(132, [&] { return ListContains(state.List1, t); }))
            return Next::Send;
        const bool skip = proc.decide(134, [&] {
            if (!overwriteAll) {
                const auto answer = messages.timed(
                    [&] { return host.askOverwrite("Would you like to overwrite " + t + "?", "Overwrite?"); });
                if (answer == RunHost::Overwrite::YesToAll || answer == RunHost::Overwrite::NoToAll)
                    overwriteAll = answer == RunHost::Overwrite::YesToAll;
                return answer == RunHost::Overwrite::No || answer == RunHost::Overwrite::NoToAll;
            }
            return !*overwriteAll;
        });
        // A close of the window answers the question; the table stays as it was.
        if (host.stopRequested())
            return Next::Stop;
        if (skip) {
            tableReport.outcome = TableReport::Outcome::Declined;
            plan.entry.state = RunJournal::Table::State::Done;
            return Next::Settled;
        }
        // The server may keep names case-sensitively: the table the user
        // agreed to replace, under the name the server reported.
        plan.overwrite = true;
        plan.existing = FindListEntry(state.List1, t);
        return Next::Send;
    };
    const auto reportOf = [&](std::size_t i) -> TableReport & { return report.tables[state.List2.size() - 1 - i]; };

    static_assert(kTableFirstStep + 2 * kConvertTableSteps == 168);
    if (!targetLost && options.jobs > 1 && !options.preview) {
        std::vector<PlannedTable> planned;
        for (size_t i = state.List2.size(); i-- > 0;) {
            TableReport &tableReport = reportOf(i);
            TablePlan plan;
            const Next next = settle(state.List2[i], tableReport, plan);
            if (next == Next::Stop)
                break;
            if (next == Next::Settled) {
                journal.record(plan.entry);
                host.tableFinished(tableReport);
                continue;
            }
            planned.push_back({std::move(plan), &tableReport, TableFileBytes(tableReport.file)});
        }
        if (!host.stopRequested())
            proc.step(130, [&] {
                SendSideBySide(host,
                               {options, host.fieldText(1), state.List1, SourceTables(state.List2, state.List2Files),
                                options.jobs},
                               planned, journal);
            });
        for (const PlannedTable &table : planned)
            if (table.plan.overwrite)
                RemoveListEntry(state.List1, LowerCase(table.plan.table));
        proc.step(176, [&] { host.setProgressCaption(""); });
    }

    RunTableWork work(proc, host, state, &messages);
    for (size_t i = state.List2.size(); i-- > 0 && !targetLost && (options.jobs <= 1 || options.preview);) {
        if (i >= state.List2.size())
            continue;
        const std::string t = state.List2[i];
        TableReport &tableReport = reportOf(i);
        const auto started = std::chrono::steady_clock::now();
        const auto waitedBefore = messages.waited();
        work.beginTable(t, &tableReport, state.List2.size() - i, state.List2.size());
        proc.step(130, [] { EventPump::yield(); });
        if (host.stopRequested())
            break;
        TablePlan plan;
        const Next next = settle(t, tableReport, plan);
        if (next == Next::Stop)
            break;
        bool leaveRun = false;
        if (next == Next::Send) {
            TableSender sender{proc, host, messages, state, source.get(), work};
            SendTable(sender, plan, tableReport);
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
        journal.record(plan.entry);
        tableReport.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started -
                                                            (messages.waited() - waitedBefore))
                                  .count();
        host.tableFinished(tableReport);
        if (leaveRun)
            break;
        if (next == Next::Settled)
            continue;
        proc.step(176, [&] { host.setProgressCaption(""); });
        if (work.stopped() || host.stopRequested())
            break;
    }
    journal.endIfFinished();
    // Foreign keys once both ends of each are in place.
    std::vector<ForeignKeyPlan> keys;
    for (const TableReport &t : report.tables)
        keys.insert(keys.end(), t.schema.keys.begin(), t.schema.keys.end());
    if (!keys.empty() && !targetLost && !host.stopRequested()) {
        if (!options.preview) {
            proc.step(176, [&] { AddForeignKeys(*state.mysql_conn, keys, state.List1, report); });
        } else if (options.previewEachFile) {
            proc.step(176, [&] {
                std::vector<std::string> listed;
                for (const TableReport &t : report.tables)
                    if (t.outcome == TableReport::Outcome::Listed)
                        listed.push_back(t.table);
                for (std::string &text : ForeignKeyStatements(keys, listed, &report))
                    state.scriptList.append(std::move(text));
            });
        } else {
            for (const ForeignKeyPlan &key : keys)
                LeaveForeignKeyOut(report, key, "a preview of one table at a time has no place after both tables");
        }
    }
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
