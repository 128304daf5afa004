#pragma once

#include <cstdint>

// The connector's socket as the waits see it, one implementation per
// platform (socketwait_posix.cpp, socketwait_win.cpp). -1: no socket.
namespace tabulon::native {

// Waits up to `timeoutMs` for the MYSQL_WAIT_READ/WRITE/EXCEPT events in
// `status`. Returns those that came; 0 when none came in time (or the wait
// was interrupted); all asked for on a hang-up or socket error, so that the
// connector finds out which.
int WaitOnSocket(std::intptr_t socket, int status, int timeoutMs);

// Ends the connection at once: a call waiting on it fails as lost.
void ShutDownSocket(std::intptr_t socket);

} // namespace tabulon::native
