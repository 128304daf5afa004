#pragma once

#include "common/mainhost.h"
#include "engine/run/runreport.h"
#include "engine/sqlgen/tabledefinition.h"

#include <string>

namespace tabulon {

// Everything the conversion run reads from or shows on the main window.
class RunHost : public MainHost {
public:
    virtual int check1() const = 0;   // 1 when "Enable SQL Preview mode" is ticked
    virtual bool option1() const = 0; // "Show SQL Preview For Each File"
    virtual bool option2() const = 0; // "Show SQL Preview For Each Table"
    virtual void setBusyPointer(bool busy) = 0;
    virtual void setProgress(double percent) = 0;
    virtual void setProgressCaption(const std::string &caption) = 0;
    // The user asked the run to stop: it ends after the statement in flight.
    virtual bool stopRequested() const { return false; }
    // Shows Form2 modally over the main window; returns when it has closed.
    virtual void showPreview() = 0;
    // List1 or List2 of the run state were refilled.
    virtual void tableListsChanged() {}
    // Setting "RowByRow" = "1": one statement per row, no batches.
    virtual bool rowByRow() const { return false; }
    // Setting "ColumnTypes": the mapping the tables are created with.
    virtual ColumnTypes columnTypes() const { return ColumnTypes::Text; }
    // The code page choice beside the folder: "Auto" or a number.
    virtual std::string codePage() const { return "Auto"; }
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
