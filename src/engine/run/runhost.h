#pragma once

#include "common/mainhost.h"
#include "engine/run/runoptions.h"
#include "engine/run/runreport.h"

#include <string>

namespace tabulon {

// Everything the conversion run reads from or shows on the main window.
class RunHost : public MainHost {
public:
    // The window's choices and login, read once at the start of a run.
    virtual RunOptions runOptions() const = 0;
    virtual void setBusyPointer(bool busy) = 0;
    virtual void setProgress(double percent) = 0;
    virtual void setProgressCaption(const std::string &caption) = 0;
    // The user asked the run to stop: it ends after the statement in flight.
    virtual bool stopRequested() const { return false; }
    // Shows Form2 modally over the main window; returns when it has closed.
    virtual void showPreview() = 0;
    // List1 or List2 of the run state were refilled.
    virtual void tableListsChanged() {}
    // A table of the run has ended, whatever became of it.
    virtual void tableFinished(const TableReport &) {}
    // "Would you like to overwrite T?" with Yes, Yes to All, No and No to
    // All; an answer to all holds for the rest of the run.
    enum class Overwrite { Yes, YesToAll, No, NoToAll };
    virtual Overwrite askOverwrite(const std::string &text, const std::string &title)
    {
        return askYesNo(text, title) ? Overwrite::Yes : Overwrite::No;
    }
    // The end of a run: "Done." with what became of every table.
    virtual void showRunReport(const RunReport &) { inform("Done."); }
    // The Application Error report of a refused row. With offerQuiet it
    // carries a check box to report further refused rows only in the run
    // report; returns true when the user ticked it.
    virtual bool reportRefusedRow(const std::string &text, bool /*offerQuiet*/)
    {
        showApplicationError(text);
        return false;
    }
};

} // namespace tabulon
