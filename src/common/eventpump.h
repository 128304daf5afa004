#pragma once

#include <chrono>

namespace tabulon::EventPump {

// Lets the window repaint and its buttons respond during a long loop. Cheap
// enough to call per row and per column: events are processed at most every
// ~15 ms of work. Throws Aborted once the application is quitting.
void yield();

// For a wait on the outside world (the server): turns the event loop when
// a turn is due by the same clock as yield(), and returns how long the turn
// took, which was no waiting. Throws Aborted once the application is quitting.
std::chrono::steady_clock::duration yieldIfDue();

// How long until yieldIfDue() turns the loop again: the longest a wait may
// block before asking.
std::chrono::milliseconds untilDue();

// Processes pending events now (a wait on the server, a modal hand-over).
// Throws Aborted once the application is quitting.
void yieldNow();

// Set when the main window closes: every later yield throws Aborted.
void requestQuit();
bool quitting();

// Clears the quit flag and the gap statistics (tests, a new run); the next
// yield turns the loop at once.
void reset();

// Longest time between two event-loop turns since reset(), for benchmarks.
std::chrono::nanoseconds longestGap();

} // namespace tabulon::EventPump
