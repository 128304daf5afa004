#include "engine/run/tablesend.h"

#include "engine/run/foreignkeys.h"
#include "engine/run/listroutines.h"
#include "engine/run/tableconversion.h"
#include "engine/run/tablereplacement.h"
#include "source/paradoxsource.h"
#include "target/mysqltarget.h"

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
bool PutInPlace(GuardedProcedure &proc, RunTableWork &work, Connection &server, std::vector<std::string> &notes,
                const std::vector<std::string> &listed, const std::string &table, const std::string &existing)
{
    bool placed = false;
    proc.step(140, [&] {
        // A retired table a crash left between the rename and the drop.
        const std::string retired = RetiredName(table);
        if (!existing.empty() && ListContains(listed, retired) && !work.sendOwn(DropStatement(retired, true), 140))
            return;
        // Other tables' foreign keys follow the old table's rename: they are
        // moved onto the new one (or back, when the rename is refused).
        const auto references = existing.empty() ? std::vector<Reference>() : DetachReferences(server, existing);
        if (!work.sendOwn(PutInPlaceStatement(table, existing), 140)) {
            ReattachReferences(server, references, existing, notes);
            return;
        }
        placed = true;
        ReattachReferences(server, references, table, notes);
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

} // namespace

std::unique_ptr<MySqlConnection> OpenRunTarget(const RunOptions &options, RunHost &host)
{
    auto connection = OpenMySqlConnection(options.login, {2, 5000, 5000});
    // Its time-out is long: a server that stops answering is the user's
    // question, not a wait without a word.
    connection->setStallHandler(kStallQuestionAfter, [&host](std::chrono::seconds waited) {
        return host.askYesNo("The server has not answered for " + std::to_string(waited.count()) + " s. Keep waiting?");
    });
    return connection;
}

std::unique_ptr<Connection> OpenRunSource(const RunOptions &options, const std::string &folder,
                                          std::vector<ParadoxTableFile> tables)
{
    CodePageChoice codePages;
    codePages.all = ParseCodePageChoice(options.codePage);
    return OpenParadoxConnection(ParadoxConnectionString(folder), {3, 30, 15}, std::move(tables), codePages);
}

void SendTable(TableSender &sender, TablePlan &plan, TableReport &tableReport)
{
    GuardedProcedure &proc = sender.proc;
    RunState &state = sender.state;
    RunTableWork &work = sender.work;
    const RunOptions &options = state.options;
    const std::string &t = plan.table;
    const bool overwrite = plan.overwrite;
    const std::string &existing = plan.existing;
    const RunJournal::Table *before = plan.before;
    RunJournal::Table &entry = plan.entry;
    const bool preview = options.preview;
    if (proc.decide(136, [&] { return options.previewEachTable; }))
        proc.step(138, [&] {
            state.scriptList.clear();
            state.datatypeList.clear();
        });
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
        const ReadAccount read = ConvertTable(proc, work, sender.source, t, &state.datatypeList, kTableFirstStep);
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
                                        "; the table's header names " + std::to_string(read.headerCodePage) + ".");
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
            tableReport.notes.push_back(CutShortText(t, work.stopReason(), tableReport.rowsStored, removed, resumable));
        }
    } else if (preview) {
        tableReport.outcome = TableReport::Outcome::Listed;
    } else {
        tableReport.outcome = TableReport::Outcome::Converted;
        // The values' digest counts the rows in the same pass.
        if (!work.checkValues(*state.mysql_conn, tableReport, staging))
            VerifyRowCount(*state.mysql_conn, tableReport, staging);
        // Only a table whose rows are all there takes the real name.
        if (!tableReport.verified() ||
            !PutInPlace(proc, work, *state.mysql_conn, tableReport.notes, state.List1, t, existing)) {
            tableReport.outcome = TableReport::Outcome::Incomplete;
            tableReport.notes.push_back("Not put in place: the table " + t +
                                        " on the server is unchanged; the rows read are in " + QuoteName(staging) +
                                        ".");
        } else {
            entry.state = RunJournal::Table::State::Done;
        }
    }
    work.stageAs(t, {});
}

} // namespace tabulon
