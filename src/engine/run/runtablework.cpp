#include "engine/run/runtablework.h"

#include "engine/run/valuecheck.h"
#include "engine/sqlgen/tabledefinition.h"

#include <cmath>
#include <string_view>
#include <utility>

namespace tabulon {
namespace {

// A few captions a second: more would cost the rows time and read no better.
constexpr auto kCaptionInterval = std::chrono::milliseconds(250);

std::string TimeLeftText(double seconds)
{
    const auto s = std::max<int64_t>(1, std::llround(seconds));
    if (s < 100)
        return "about " + std::to_string(s) + " s left";
    const int64_t minutes = (s + 30) / 60;
    if (minutes < 100)
        return "about " + std::to_string(minutes) + " min left";
    return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min left";
}

} // namespace

std::string RowProgressText(int64_t rows, int64_t total, double seconds)
{
    std::string text = GroupedNumber(rows);
    if (total >= 0)
        text += " of " + GroupedNumber(total);
    text += rows == 1 && total < 0 ? " row" : " rows";
    if (seconds < 1.0 || rows <= 0)
        return text;
    const double rate = double(rows) / seconds;
    if (total > rows)
        text += ", " + TimeLeftText(double(total - rows) / rate);
    return text + ", " + GroupedNumber(std::llround(rate)) + " rows/s";
}

std::string RunTableWork::tableLabel(const std::string &table) const
{
    // "(1 of 1)" would tell nothing.
    if (m_count <= 1)
        return table;
    return table + " (" + std::to_string(m_number) + " of " + std::to_string(m_count) + ")";
}

void RunTableWork::setProgressCaption(const std::string &caption)
{
    m_caption = caption;
    m_host.setProgressCaption(caption);
}

void RunTableWork::setProgress(int64_t row, int64_t total)
{
    m_host.setProgress(ProgressPercent(row, total));
    using Clock = TimedMessages::Clock;
    const auto waited = [this] { return m_waits ? m_waits->waited() : Clock::duration{}; };
    if (row == 1) {
        m_rowsStarted = m_captionWritten = Clock::now();
        m_waitedBefore = waited();
        return;
    }
    // Reading the clock every row would cost more than the caption is worth.
    if ((row & 15) != 0)
        return;
    const auto now = Clock::now();
    if (now - m_captionWritten < kCaptionInterval)
        return;
    m_captionWritten = now;
    const double seconds = std::chrono::duration<double>(now - m_rowsStarted - (waited() - m_waitedBefore)).count();
    m_host.setProgressCaption(m_caption + ": " + RowProgressText(row, total, seconds));
}

void RunTableWork::statement(const std::string &text, int step, std::size_t rowPrefix, int64_t row)
{
    // Between rows only: a table stopped is created, with the rows sent
    // before the stop.
    if (row > 0 && (m_userStop || m_host.stopRequested())) {
        if (!std::exchange(m_userStop, true) && m_stopReason.empty())
            m_stopReason = "the run was stopped by the user";
        return;
    }
    if (m_state.options.preview) {
        m_state.scriptList.append(text);
        if (row > 0 && m_report)
            ++m_report->rowsStored;
        return;
    }
    if (m_lost)
        return;
    // Going on where an earlier run stopped: its staging table exists and
    // holds the rows up to there.
    if (m_resumeAfter >= 0) {
        if (row > 0 && row <= m_resumeAfter) {
            // Stored by the earlier run, unless it refused some: which, it did not keep.
            if (m_report && m_report->rowsRefused > 0) {
                m_digest.abandon();
            } else if (m_digest.active()) {
                m_digest.sent(row, std::string_view(text).substr(rowPrefix));
                m_digest.settled(row, true);
            }
            return;
        }
        if (row == 0 && !m_createAsWritten.empty() && text.compare(0, m_createAsWritten.size(), m_createAsWritten) == 0)
            return;
    }
    if (!m_executor) {
        if (!m_state.mysql_conn || !m_state.mysql_conn->isOpen()) {
            m_lost = m_connectionLost = true;
            m_stopReason = "the connection to the server was lost";
            throw DbError("The MySQL connection is not open, so nothing can be written to the "
                          "database. Check the server and the login, then start again.",
                          0, DbError::Kind::ConnectionLost);
        }
        m_executor = std::make_unique<BatchExecutor>(*m_state.mysql_conn, m_state.options.rowByRow,
                                                     [this](uint64_t tag, const DbError &error) {
                                                         return refused(tag, error);
                                                     });
        m_executor->setAcceptHandler([this](uint64_t tag) {
            if (const auto row = static_cast<int64_t>(tag >> kRowShift); row > 0) {
                m_lastSettled = row;
                m_digest.settled(row, true);
                if (m_report)
                    ++m_report->rowsStored;
            }
            return true;
        });
        m_executor->setNoteHandler([this](const std::string &, const std::string &why) {
            if (m_report)
                m_report->notes.push_back(why);
        });
    }
    // A batch's failures come after later rows were built: the tag
    // keeps the row number beside the step.
    const uint64_t tag = static_cast<uint64_t>(step) | (static_cast<uint64_t>(row) << kRowShift);
    if (row > 0 && m_digest.active())
        m_digest.sent(row, std::string_view(text).substr(rowPrefix));
    if (!m_insertAsWritten.empty()) {
        const std::string_view view(text);
        // The staging name in place of the table's: one copy into a buffer
        // that is kept, no allocation per row.
        if (rowPrefix == m_insertAsWritten.size() && view.substr(0, rowPrefix) == m_insertAsWritten) {
            m_staged.assign(m_insertAsSent).append(view.substr(rowPrefix));
            m_executor->execute(m_staged, tag, m_insertAsSent.size());
            return;
        }
        if (view.substr(0, m_createAsWritten.size()) == m_createAsWritten) {
            m_staged.assign(m_createAsSent).append(view.substr(m_createAsWritten.size()));
            m_executor->execute(m_staged, tag, 0);
            return;
        }
    }
    m_executor->execute(text, tag, rowPrefix);
}

void RunTableWork::tableDefined(const TableDefinition &definition)
{
    m_digestColumns.clear();
    if (m_state.options.preview || !m_state.options.verifyValues || !m_digest.begin(definition.types))
        return;
    for (std::size_t k = 0; k < definition.names.size() && k < definition.types.size(); ++k) {
        const std::string &type = definition.types[k];
        const bool text = type.rfind("VARCHAR", 0) == 0 || type.find("TEXT") != std::string::npos;
        m_digestColumns.push_back({definition.names[k], text});
    }
}

bool RunTableWork::checkValues(Connection &connection, TableReport &report, const std::string &name)
{
    const bool checked = CheckTableValues(connection, m_digest, m_digestColumns, name, m_table, report);
    m_digest.abandon();
    return checked;
}

void RunTableWork::stageAs(const std::string &table, const std::string &staging)
{
    m_stagingName = staging;
    if (staging.empty()) {
        m_insertAsWritten.clear();
        return;
    }
    m_insertAsWritten = "INSERT INTO " + QuoteName(table) + " VALUES";
    m_insertAsSent = "INSERT INTO " + QuoteName(staging) + " VALUES";
    m_createAsWritten = "CREATE TABLE " + QuoteName(table) + "(";
    m_createAsSent = "CREATE TABLE " + QuoteName(staging) + "(";
}

bool RunTableWork::sendOwn(const std::string &text, int step)
{
    if (stopped())
        return false;
    // A refusal is reported under the step, as any statement's.
    bool refusedNow = false;
    m_refusedOwn = &refusedNow;
    try {
        statement(text, step, 0, 0);
        if (m_executor)
            m_executor->flush();
    } catch (...) {
        m_refusedOwn = nullptr;
        throw;
    }
    m_refusedOwn = nullptr;
    return !refusedNow && !stopped();
}

std::string RunTableWork::subject(int64_t row) const
{
    if (row > 0)
        return "Row " + std::to_string(row) + " of table " + m_table;
    return "A statement for table " + m_table;
}

bool RunTableWork::refused(uint64_t tag, const DbError &error)
{
    const int step = static_cast<int>(tag & kStepMask);
    const auto row = static_cast<int64_t>(tag >> kRowShift);
    const auto *large = dynamic_cast<const StatementTooLarge *>(&error);
    const std::string description = large ? large->about(subject(row)).what() : error.what();
    if (!error.refused()) {
        m_lost = true;
        m_connectionLost = error.connectionLost();
        m_stopReason = m_connectionLost ? "the connection to the server was lost"
                                        : "the server could not say which rows it stored";
        m_proc.report(step, description);
        return false;
    }
    if (row <= 0) {
        m_proc.report(step, description);
        if (m_refusedOwn)
            *m_refusedOwn = true;
        return true;
    }
    m_lastSettled = row;
    m_digest.settled(row, false);
    if (m_report) {
        const std::string *statement = m_executor ? m_executor->failedStatement() : nullptr;
        std::string written = statement ? *statement : std::string();
        // Ready to be corrected and run against the table the user knows.
        if (!m_insertAsWritten.empty() && written.compare(0, m_insertAsSent.size(), m_insertAsSent) == 0)
            written.replace(0, m_insertAsSent.size(), m_insertAsWritten);
        m_report->addRefused(description, written);
    }
    // A systematic refusal must not cost the user a click per row.
    if (!m_quietRefusals) {
        ++m_refusedShown;
        // The box must say which row it is about; a row too large says so already.
        const std::string boxText = large ? description : subject(row) + " was refused: " + description;
        const auto ask = [&] {
            return m_host.reportRefusedRow(m_proc.reportText(step, boxText), m_refusedShown > kRefusedBeforeQuietOffer);
        };
        m_quietRefusals = m_waits ? m_waits->timed(ask) : ask();
    }
    return true;
}

} // namespace tabulon

namespace tabulon {

void RunTableWork::tableSchema(const std::string &table, const SchemaPlan &plan, int step)
{
    if (m_report) {
        for (ForeignKeyPlan key : plan.foreignKeys) {
            key.child = table;
            m_report->schema.keys.push_back(std::move(key));
        }
        m_report->schema.known = true;
        m_report->schema.checks += plan.checks;
        m_report->schema.leftOut.insert(m_report->schema.leftOut.end(), plan.leftOut.begin(), plan.leftOut.end());
    }
    if (plan.indexClauses.empty())
        return;
    if (m_state.options.preview || m_stagingName.empty()) {
        TableWork::tableSchema(table, plan, step);
        if (m_report)
            m_report->schema.indexes += int(plan.indexClauses.size());
        return;
    }
    flush();
    if (stopped() || !m_state.mysql_conn)
        return;
    // One statement builds every index in one pass over the rows.
    auto send = [&](const std::vector<std::string> &clauses) {
        try {
            (*m_state.mysql_conn).execute(IndexStatement(m_stagingName, clauses));
            if (m_report)
                m_report->schema.indexes += int(clauses.size());
            return true;
        } catch (const DbError &e) {
            if (!e.refused())
                throw;
            if (clauses.size() == 1 && m_report) {
                m_report->schema.leftOut.push_back(clauses.front().substr(4) + " (refused: " + e.what() + ")");
                m_report->notes.push_back("Not carried over: " + clauses.front().substr(4) +
                                          "; the server refused it: " + e.what());
            }
            return false;
        }
    };
    if (send(plan.indexClauses) || plan.indexClauses.size() == 1)
        return;
    for (const std::string &clause : plan.indexClauses)
        send({clause});
}

} // namespace tabulon
