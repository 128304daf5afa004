#pragma once

#include "common/mainhost.h"

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
    // Shows Form2 modally over the main window; returns when it has closed.
    virtual void showPreview() = 0;
    // List1 or List2 of the run state were refilled.
    virtual void tableListsChanged() {}
    // Setting "RowByRow" = "1": one statement per row, no batches.
    virtual bool rowByRow() const { return false; }
};

} // namespace tabulon
