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

constexpr std::chrono::seconds kStallQuestionAfter{30};

// The server's own count of a table's rows, so the report can say the
// load is complete without the user checking by hand.
// The rows a table holds on the server; throws when it cannot be counted.
std::optional<int64_t> CountRows(Connection &connection, const std::string &name)
{
    auto count = connection.openRecordSet("SELECT COUNT(*) FROM " + QuoteName(name));
    if (count->eof())
        return std::nullopt;
    return std::stoll(count->value(0).toText());
}

void VerifyRowCount(Connection &connection, TableReport &report, const std::string &name)
{
    try {
        if (const auto rows = CountRows(connection, name))
            report.serverRows = *rows;
    } catch (const std::exception &e) {
        report.notes.push_back(std::string("The rows on the server could not be counted: ") + e.what());
    }
}

// A commit the server applied just before the connection went is no loss:
// a new session counts what the table holds, and that is what was stored.
void RecountAfterLoss(const MySqlLogin &login, TableReport &report, const std::string &name)
{
    try {
        auto connection = OpenMySqlConnection(login, {2, 30, 5});
        VerifyRowCount(*connection, report, name);
        connection->close();
        if (report.serverRows)
            report.rowsStored = *report.serverRows;
    } catch (const Error &e) {
        report.notes.push_back(std::string("The rows on the server could not be counted: ") + e.what());
    }
}

// Gives the complete staging table its real name and drops the table it
// replaced; false when the server refused (reported under step 140).
bool PutInPlace(GuardedProcedure &proc, RunTableWork &work, const std::vector<std::string> &listed,
                const std::string &table, const std::string &existing)
{
    bool placed = false;
    proc.step(140, [&] {
        // A retired table a crash left between the rename and the drop.
        const std::string retired = RetiredName(table);
        if (!existing.empty() && ListContains(listed, retired) && !work.sendOwn(DropStatement(retired, true), 140))
            return;
        if (!work.sendOwn(PutInPlaceStatement(table, existing), 140))
            return;
        placed = true;
        if (!existing.empty())
            work.sendOwn(DropStatement(retired), 140);
    });
    return placed;
}

// What a staging table holds; -1 when it is not there.
int64_t StagedRows(RunState &state, const std::string &staging)
{
    try {
        return CountRows(*state.mysql_conn, staging).value_or(-1);
    } catch (const std::exception &) {
        return -1;
    }
}

// Removes a staging table while the session lasts; false when it stays.
bool DropQuietly(RunState &state, const std::string &staging)
{
    try {
        if (!state.mysql_conn || !state.mysql_conn->isOpen())
            return false;
        (*state.mysql_conn).execute(DropStatement(staging, true));
        return true;
    } catch (const DbError &) {
        return false;
    }
}

std::string CutShortText(const std::string &table, const std::string &reason, int64_t stored, bool removed,
                         bool resumable)
{
    std::string text = "Cut short: " + reason + " after " + GroupedNumber(stored) + " rows were stored. The table " +
                       table + " on the server is unchanged";
    if (removed)
        return text + "; the rows stored were removed with " + QuoteName(StagingName(table)) + ".";
    if (resumable)
        return text + "; the rows stored are in " + QuoteName(StagingName(table)) +
               ": the next Start can go on from there.";
    return text + "; the rows stored are in " + QuoteName(StagingName(table)) + ", which the next run that converts " +
           table + " removes.";
}

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
    proc.step(122, [&] {
        CodePageChoice codePages;
        codePages.all = ParseCodePageChoice(options.codePage);
        source = OpenParadoxConnection(ParadoxConnectionString(host.fieldText(1)), {3, 30, 15},
                                       SourceTables(state.List2, state.List2Files), codePages);
    });
    proc.step(124, [&] { connectionsOpen = true; });
    std::string encryption = "not connected";
    if (!targetLost)
        targetLost = !proc.step(126, [&] {
            auto connection = OpenMySqlConnection(options.login, {2, 5000, 5000});
            // Its time-out is long: a server that stops answering is the
            // user's question, not a wait without a word.
            connection->setStallHandler(kStallQuestionAfter, [&host](std::chrono::seconds waited) {
                return host.askYesNo("The server has not answered for " + std::to_string(waited.count()) +
                                     " s. Keep waiting?");
            });
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
    constexpr int kTableFirstStep = 144;
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
            const bool preview = options.preview;
            if (proc.decide(136, [&] { return options.previewEachTable; }))
                proc.step(138, [&] {
                    state.scriptList.clear();
                    state.datatypeList.clear();
                });
            // The server may keep names case-sensitively: the table the user
            // agreed to replace, under the name the server reported.
            const std::string existing = overwrite ? FindListEntry(state.List1, t) : std::string();
            const std::string staging = StagingName(t);
            if (!preview) {
                // The old table stays until the new one is complete; a staging
                // table an earlier run could not remove goes first, unless this
                // run goes on with it.
                work.stageAs(t, staging);
                if (before && before->state == RunJournal::Table::State::Cut &&
                    StagedRows(state, staging) == before->storedRows) {
                    work.resumeAfter(before->settledRows);
                    tableReport.rowsStored = before->storedRows;
                    tableReport.rowsRefused = before->refusedRows;
                    tableReport.notes.push_back("Continued after row " + GroupedNumber(before->settledRows) +
                                                ", where the earlier run stopped.");
                } else if (ListContains(state.List1, staging)) {
                    // Only when the server listed one: a round trip less to a far server.
                    proc.step(140, [&] { work.sendOwn(DropStatement(staging, true), 140); });
                }
            } else if (overwrite) {
                proc.step(140, [&] { work.statement(DropStatement(existing), 140, 0, 0); });
            }
            if (overwrite)
                proc.step(142, [&] { RemoveListEntry(state.List1, LowerCase(t)); });
            if (!work.stopped()) {
                const std::size_t firstLine = state.datatypeList.lines().size();
                const ReadAccount read = ConvertTable(proc, work, source.get(), t, &state.datatypeList,
                                                      kTableFirstStep);
                // Why a column or key is not what the mapping makes of it.
                const auto &lines = state.datatypeList.lines();
                for (std::size_t k = firstLine; k < lines.size(); ++k)
                    if (!lines[k].note.empty())
                        tableReport.notes.push_back(lines[k].field + ": " + lines[k].note);
                tableReport.expectedRows = read.expectedRows;
                tableReport.rowsRead = read.rowsRead;
                tableReport.valuesNulled = read.nullValues;
                if (read.nullValues > 0)
                    tableReport.notes.push_back(NullValuesText(t, read));
                // Rows not read because sending stopped are no damage of the file.
                if (read.damagedBlocks > 0 || (read.damaged() && !work.stopped()))
                    tableReport.notes.push_back(DamagedRowsText(t, read));
                if (read.codePageOverridden())
                    tableReport.notes.push_back("Text read in code page " + std::to_string(read.codePage) +
                                                "; the table's header names " + std::to_string(read.headerCodePage) +
                                                ".");
            }
            // Queued rows go before the caption clears; their failures carry the row step.
            proc.step(kTableFirstStep + 18, [&] { work.flush(); });
            if (work.stopped()) {
                tableReport.outcome = TableReport::Outcome::Incomplete;
                if (preview) {
                    // Only a stop ends a listing early; the row read last was held back.
                    tableReport.notes.push_back("Stopped by the user: the rows after row " +
                                                GroupedNumber(tableReport.rowsRead - 1) + " were not listed.");
                } else {
                    const int64_t stored = tableReport.rowsStored;
                    if (work.connectionLost())
                        RecountAfterLoss(options.login, tableReport, staging);
                    // The journal's count must be what the staging table
                    // holds, or going on could store rows twice.
                    const bool resumable = !options.journalPath.empty() && tableReport.rowsStored == stored;
                    if (resumable) {
                        entry.state = RunJournal::Table::State::Cut;
                        entry.settledRows = work.lastSettledRow();
                        entry.storedRows = tableReport.rowsStored;
                        entry.refusedRows = tableReport.rowsRefused;
                    }
                    const bool removed = !resumable && !work.connectionLost() && DropQuietly(state, staging);
                    tableReport.notes.push_back(
                        CutShortText(t, work.stopReason(), tableReport.rowsStored, removed, resumable));
                }
            } else if (preview) {
                tableReport.outcome = TableReport::Outcome::Listed;
            } else {
                tableReport.outcome = TableReport::Outcome::Converted;
                VerifyRowCount(*state.mysql_conn, tableReport, staging);
                if (tableReport.verified())
                    work.checkValues(*state.mysql_conn, tableReport, staging);
                // Only a table whose rows are all there takes the real name.
                if (!tableReport.verified() || !PutInPlace(proc, work, state.List1, t, existing)) {
                    tableReport.outcome = TableReport::Outcome::Incomplete;
                    tableReport.notes.push_back("Not put in place: the table " + t +
                                                " on the server is unchanged; the rows read are in " +
                                                QuoteName(staging) + ".");
                } else {
                    entry.state = RunJournal::Table::State::Done;
                }
            }
            work.stageAs(t, {});
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
