#pragma once

#include "common/messagehost.h"

#include <string>

namespace tabulon {

class Connection;
class ScriptModel;

// What the execution needs from the preview window.
class ScriptExecutionHost {
public:
    virtual ~ScriptExecutionHost() = default;
    virtual MessageHost &messages() = 0;
    virtual void setBusy(bool busy) = 0;
    // percent 0..100 and the bar's caption
    virtual void setProgress(double percent, const std::string &caption) = 0;
    // Selects the 1-based line and scrolls it into view.
    virtual void selectLine(int line) = 0;
    virtual void setErrorText(const std::string &text) = 0;
    // True once the user asked to leave the window during the execution.
    virtual bool stopRequested() = 0;
    virtual void closeWindow() = 0;
};

enum class ExecutionResult {
    NothingToRun,   // empty list: "No SQL to run."
    Done,           // every line ran; the flags are set and the window closed
    LocatedError,   // stopped at the line put in ErrorLine, "Error found."
    ConnectionLost, // one report, the line selected, the flags untouched; also
                    // for any end after which what the server holds is not known
    Stopped,        // the user asked to leave after the current line
};

// What the execution writes back to the run (see RunState).
struct ExecutionFlags {
    bool &SQLFormOK;
    bool &StopConversion;
    int &ErrorLine;
};

// "Execute SQL": the lines in order on `connection` (null: not open), every
// statement through one batching executor tagged with its line number, so the
// first refused line is found exactly as when sent one by one. Lines the
// server has accepted are marked in `script` and never sent again: a press
// after a located error goes on at the refused line.
ExecutionResult ExecuteScript(ScriptModel &script, Connection *connection, ScriptExecutionHost &host,
                              ExecutionFlags flags, bool rowByRow);

// Only white space: nothing to send.
bool IsBlankLine(const std::string &line);

} // namespace tabulon
