#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace tabulon::bench {

// The proxy, a child of ours: started with a pipe as its standard input,
// so it also ends if we die.
class Proxy {
public:
    Proxy(int target, double roundTripMs, double mbit)
    {
        int out[2], in[2];
        if (::pipe(out) != 0 || ::pipe(in) != 0)
            throw std::runtime_error("pipe failed");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::close(in[1]);
            ::close(out[0]);
            const std::string t = std::to_string(target), d = std::to_string(roundTripMs / 2), m = std::to_string(mbit);
            ::execlp("python3", "python3", TABULON_DELAYPROXY_PATH, "0", t.c_str(), d.c_str(), m.c_str(),
                     static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        m_stdin = in[1];
        char line[64] = {};
        size_t n = 0;
        while (n + 1 < sizeof line && ::read(out[0], line + n, 1) == 1 && line[n] != '\n')
            ++n;
        ::close(out[0]);
        if (std::sscanf(line, "ready %d", &m_port) != 1)
            throw std::runtime_error("the proxy did not start");
    }
    ~Proxy()
    {
        ::close(m_stdin);
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_port = 0;
};

} // namespace tabulon::bench
