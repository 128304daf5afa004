#include "engine/run/runtablework.h"

namespace tabulon {

void RunTableWork::statement(const std::string &text, int step, std::size_t rowPrefix, int64_t row)
{
    if (m_state.options.preview) {
        m_state.scriptList.append(text);
        if (row > 0 && m_report)
            ++m_report->rowsStored;
        return;
    }
    if (m_lost)
        return;
    if (!m_executor) {
        if (!m_state.mysql_conn || !m_state.mysql_conn->isOpen()) {
            m_lost = m_connectionLost = true;
            m_stopReason = "the connection to the server was lost";
            throw DbError("The MySQL connection is not open, so nothing can be written to the "
                          "database. Check the server and the login, then start again.",
                          0, DbError::Kind::ConnectionLost);
        }
        m_executor = std::make_unique<BatchExecutor>(
            *m_state.mysql_conn, m_state.options.rowByRow,
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
        m_connectionLost = error.connectionLost();
        m_stopReason = m_connectionLost ? "the connection to the server was lost"
                                        : "the server could not say which rows it stored";
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
        // The box must say which row it is about; a row too large says so already.
        const std::string boxText = large ? description : subject(row) + " was refused: " + description;
        m_quietRefusals = m_host.reportRefusedRow(m_proc.reportText(step, boxText),
                                                  m_refusedShown > kRefusedBeforeQuietOffer);
    }
    return true;
}

} // namespace tabulon
