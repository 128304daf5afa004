#include "engine/script/scriptexecution.h"

#include "common/busyguard.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "common/text.h"
#include "data/connection.h"
#include "engine/run/batchexecutor.h"
#include "engine/script/scriptmodel.h"
#include "engine/sqlgen/tabledefinition.h"

#include <optional>
#include <string_view>

namespace tabulon {

namespace {

constexpr const char *kLocation = "Form2.PushButton1_Click";
constexpr const char *kNotOpen = "The connection to the MySQL server is not open, so no statement can be sent. "
                                 "Go back to the main window and start the conversion again.";

void ResetProgress(ScriptExecutionHost &host) { host.setProgress(0, "Progress Bar"); }

// Lines still marked as sent when the execution ends never reached the
// server (a stop dropped their batch): forgotten on every way out.
class SentScope {
public:
    explicit SentScope(ScriptModel &script) : m_script(script) {}
    ~SentScope() { m_script.dropSent(); }

private:
    ScriptModel &m_script;
};

// The first line that still has something to send, 1-based; past the end
// when every line has run or is blank.
int FirstLineToRun(const ScriptModel &script)
{
    const int n = script.lineCount();
    for (int row = 0; row < n; ++row)
        if (!script.isExecuted(row) && !IsBlankLine(script.line(row)))
            return row + 1;
    return n + 1;
}

// A line too large for the server, named as the run named it: the row of
// its table, counted back over the inserts into that table before it.
std::string TooLargeText(const ScriptModel &script, int line, const StatementTooLarge &error)
{
    const std::string &text = script.line(line - 1);
    BatchExecutor::SingleRowInsert insert;
    if (!BatchExecutor::parseSingleRowInsert(text, insert))
        return error.about("Line " + std::to_string(line), StatementTooLarge::kRunElsewhere).what();
    const std::string_view prefix(text.data(), insert.tupleStart);
    int row = 1;
    while (line - row >= 1 && std::string_view(script.line(line - row - 1)).substr(0, prefix.size()) == prefix)
        ++row;
    return error
        .about("Row " + std::to_string(row) + " of table " + UnquotedName(insert.quotedName),
               StatementTooLarge::kRunElsewhere)
        .what();
}

} // namespace

bool IsBlankLine(const std::string &line)
{
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    return true;
}

ExecutionResult ExecuteScript(ScriptModel &script, Connection *connection, ScriptExecutionHost &host,
                              ExecutionFlags flags, bool rowByRow)
{
    GuardedProcedure proc(host.messages(), kLocation);
    if (proc.decide(100, [&] { return script.lineCount() == 0; })) {
        host.messages().inform("No SQL to run.");
        return ExecutionResult::NothingToRun;
    }

    BusyGuard busy([&host](bool on) { host.setBusy(on); });
    proc.step(102, [&] { busy.acquire(); });
    int n = 0;
    int first = 1;
    proc.step(104, [&] {
        n = script.lineCount();
        first = FirstLineToRun(script);
    });

    enum class Failure { None, Located, Lost };
    Failure failure = Failure::None;
    int failedLine = 0;
    std::string failedText;
    auto onFailure = [&](uint64_t tag, const DbError &error) {
        const int line = static_cast<int>(tag);
        failedLine = line;
        if (error.refused()) {
            // The user can correct it at its line.
            failure = Failure::Located;
            const auto *large = dynamic_cast<const StatementTooLarge *>(&error);
            failedText = large ? TooLargeText(script, line, *large) : error.what();
            return false;
        }
        // Lost, or not knowing what the server holds: every later line
        // could fail the same way or store rows twice. One report, then stop.
        failure = Failure::Lost;
        proc.report(112, error.what());
        return false;
    };
    // Only what the server accepted counts as executed; a leave asked for
    // meanwhile stops after this statement, as between lines.
    auto onAccepted = [&](uint64_t tag) {
        script.markAccepted(static_cast<int>(tag) - 1);
        return !host.stopRequested();
    };

    std::optional<BatchExecutor> executor;
    if (connection) {
        executor.emplace(*connection, rowByRow, onFailure);
        executor->setAcceptHandler(onAccepted);
    }
    SentScope sent(script);
    bool stopped = false;
    std::string caption;
    // The statement is sent from a copy: while the server is waited for,
    // the user may edit the very line being sent.
    std::string statement;
    for (int r = first; r <= n && failure == Failure::None; ++r) {
        proc.step(106, [] { EventPump::yield(); });
        if (host.stopRequested()) {
            stopped = true;
            break;
        }
        const int current = script.lineCount();
        if (r > current)
            break;
        proc.step(108, [&] {
            caption = "Please wait.. Processing row: ";
            caption += std::to_string(r);
            caption += " of ";
            caption += std::to_string(current);
            host.setProgress(static_cast<double>(r) / current * 100.0, caption);
        });
        if (proc.decide(110, [&] { return script.isExecuted(r - 1) || IsBlankLine(script.line(r - 1)); }))
            continue;
        if (!executor) {
            failure = Failure::Lost;
            failedLine = r;
            proc.report(112, kNotOpen);
            break;
        }
        proc.step(112, [&] {
            try {
                statement = script.line(r - 1);
                script.markSent(r - 1);
                executor->execute(statement, static_cast<uint64_t>(r));
            } catch (const DbError &error) {
                // An executor that throws instead of calling back: same rules.
                onFailure(static_cast<uint64_t>(r), error);
            }
        });
        script.publishExecuted();
        if (failure == Failure::None && host.stopRequested()) {
            stopped = true;
            break;
        }
    }
    // Lines queued in a batch belong to lines already passed: send them
    // before anything is decided.
    if (executor && failure == Failure::None)
        proc.step(112, [&] {
            try {
                executor->flush();
            } catch (const DbError &error) {
                onFailure(static_cast<uint64_t>(n), error);
            }
        });
    script.publishExecuted();
    script.dropSent();
    // An executor that ended without a failure handed to us.
    if (failure == Failure::None && executor && executor->stopped() && !host.stopRequested()) {
        failure = Failure::Lost;
        failedLine = FirstLineToRun(script);
    }
    // A leave asked for while the last batch was on the wire counts as one
    // asked for during the last line.
    if (failure == Failure::None && host.stopRequested())
        stopped = true;

    if (failure == Failure::Located) {
        flags.ErrorLine = failedLine;
        host.selectLine(failedLine);
        host.setErrorText(failedText);
        busy.release();
        ResetProgress(host);
        host.messages().inform("Error found.");
        return ExecutionResult::LocatedError;
    }
    if (failure == Failure::Lost) {
        host.selectLine(failedLine);
        busy.release();
        ResetProgress(host);
        return ExecutionResult::ConnectionLost;
    }
    if (stopped) {
        busy.release();
        ResetProgress(host);
        return ExecutionResult::Stopped;
    }

    proc.step(114, [&] { flags.SQLFormOK = true; });
    proc.step(116, [&] { flags.StopConversion = false; });
    proc.step(118, [&] { busy.release(); });
    proc.step(120, [&] { ResetProgress(host); });
    proc.step(122, [&] { host.closeWindow(); });
    return ExecutionResult::Done;
}

} // namespace tabulon
