#pragma once

#include "engine/run/runhost.h"
#include "engine/run/runstate.h"

namespace tabulon {

// "Start Converting": converts every table of the Paradox folder in Text1
// into the MySQL database of Text2..Text6, executing each statement at once
// or listing it for the preview. Reports as "Form1.PushButton7_Click".
//
// When the application quits mid-run (EventPump throws Aborted) the run
// closes both connections without any further report, clears
// ConversionBusy and rethrows Aborted to the window.
void ConvertTables(RunHost &host, RunState &state);

} // namespace tabulon
