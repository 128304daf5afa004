#include "target/socketwait.h"

#include <winsock2.h>

#include <mysql.h>

namespace tabulon::native {

int WaitOnSocket(std::intptr_t socket, int status, int timeoutMs)
{
    constexpr int kWaitEvents = MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT;
    if (socket < 0) {
        ::Sleep(DWORD(timeoutMs < 0 ? 0 : timeoutMs));
        return 0;
    }
    SHORT events = 0;
    if (status & MYSQL_WAIT_READ)
        events |= POLLRDNORM;
    if (status & MYSQL_WAIT_WRITE)
        events |= POLLWRNORM;
    if (status & MYSQL_WAIT_EXCEPT)
        events |= POLLRDBAND;
    WSAPOLLFD p{SOCKET(socket), events, 0};
    const int r = ::WSAPoll(&p, 1, timeoutMs);
    if (r < 0)
        return status & kWaitEvents;
    if (r == 0)
        return 0;
    int ready = 0;
    if (p.revents & POLLRDNORM)
        ready |= MYSQL_WAIT_READ;
    if (p.revents & POLLWRNORM)
        ready |= MYSQL_WAIT_WRITE;
    if (p.revents & POLLRDBAND)
        ready |= MYSQL_WAIT_EXCEPT;
    return ready ? ready : status & kWaitEvents;
}

void ShutDownSocket(std::intptr_t socket)
{
    if (socket >= 0)
        ::shutdown(SOCKET(socket), SD_BOTH);
}

} // namespace tabulon::native
