#include "target/socketwait.h"

#include <mysql.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace tabulon::native {

int WaitOnSocket(std::intptr_t socket, int status, int timeoutMs)
{
    constexpr int kWaitEvents = MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT;
    short events = 0;
    if (status & MYSQL_WAIT_READ)
        events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        events |= POLLPRI;
    pollfd p{int(socket), events, 0};
    const int r = ::poll(&p, socket >= 0 ? 1 : 0, timeoutMs);
    if (r < 0)
        return errno == EINTR ? 0 : status & kWaitEvents;
    if (r == 0)
        return 0;
    int ready = 0;
    if (p.revents & POLLIN)
        ready |= MYSQL_WAIT_READ;
    if (p.revents & POLLOUT)
        ready |= MYSQL_WAIT_WRITE;
    if (p.revents & POLLPRI)
        ready |= MYSQL_WAIT_EXCEPT;
    return ready ? ready : status & kWaitEvents;
}

void ShutDownSocket(std::intptr_t socket)
{
    if (socket >= 0)
        ::shutdown(int(socket), SHUT_RDWR);
}

} // namespace tabulon::native
