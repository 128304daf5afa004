#include "engine/run/runtablework.h"

#include <cmath>

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
        m_userStop = true;
        return;
    }
    if (m_host.check1() == 1) {
        m_state.scriptList.append(text);
        if (row > 0 && m_report)
            ++m_report->rowsStored;
        return;
    }
    if (m_lost)
        return;
    if (!m_executor) {
        if (!m_state.mysql_conn || !m_state.mysql_conn->isOpen()) {
            m_lost = true;
            throw DbError("The MySQL connection is not open, so nothing can be written to the "
                          "database. Check the server and the login, then start again.",
                          0, DbError::Kind::ConnectionLost);
        }
        m_executor = std::make_unique<BatchExecutor>(
            *m_state.mysql_conn, m_host.rowByRow(),
            [this](uint64_t tag, const DbError &error) { return refused(tag, error); });
        m_executor->setAcceptHandler([this](uint64_t tag) {
            if ((tag >> kRowShift) > 0 && m_report)
                ++m_report->rowsStored;
            return true;
        });
        m_executor->setNoteHandler([this](const std::string &, const std::string &why) {
            if (m_report)
                m_report->notes.push_back(why);
        });
    }
    // A batch's failures come after later rows were built: the tag
    // keeps the row number beside the step.
    m_executor->execute(text, static_cast<uint64_t>(step) | (static_cast<uint64_t>(row) << kRowShift),
                        rowPrefix);
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
        m_proc.report(step, description);
        return false;
    }
    if (row <= 0) {
        m_proc.report(step, description);
        return true;
    }
    if (m_report) {
        const std::string *statement = m_executor ? m_executor->failedStatement() : nullptr;
        m_report->addRefused(description, statement ? *statement : std::string());
    }
    // A systematic refusal must not cost the user a click per row.
    if (!m_quietRefusals) {
        ++m_refusedShown;
        const auto ask = [&] {
            return m_host.reportRefusedRow(m_proc.reportText(step, description),
                                           m_refusedShown > kRefusedBeforeQuietOffer);
        };
        m_quietRefusals = m_waits ? m_waits->timed(ask) : ask();
    }
    return true;
}

} // namespace tabulon
