#pragma once

#include "engine/run/runhost.h"
#include "engine/run/runstate.h"

namespace tabulon {

// "Start Converting": converts every table of the Paradox folder in Text1
// into the MySQL database of Text2..Text6, executing each statement at once
// or listing it for the preview. Reports as "Form1.PushButton7_Click".
//
// A stop the host asks for (RunHost::stopRequested) ends the run after the
// statement in flight: queued rows still go, the table cut short is
// reported INCOMPLETE and those after it not reached, and the run ends as
// usual, with its report.
//
// When the application quits mid-run (EventPump throws Aborted) the run
// closes both connections without any further report, clears
// ConversionBusy and rethrows Aborted to the window.
void ConvertTables(RunHost &host, RunState &state);

} // namespace tabulon
