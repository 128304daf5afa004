#pragma once

#include "data/connection.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

struct st_mysql;

namespace tabulon {

// One statement on its way to the server, sent by the connector's blocking
// call on a thread of its own while the event loop turns. It owns all that
// thread touches: the text, the rows a LOAD DATA LOCAL reads as its file,
// and the socket, read once before the thread starts. So whoever started
// it may go away mid-flight; destroying it then shuts the socket down and
// joins without turning the event loop (it may run while an abort unwinds).
class PendingStatement {
public:
    // Starts sending; started() is false when no thread could be had, and
    // the text is then still here for release().
    PendingStatement(st_mysql *mysql, std::intptr_t socket, StatementText text);
    ~PendingStatement();
    PendingStatement(const PendingStatement &) = delete;
    PendingStatement &operator=(const PendingStatement &) = delete;

    bool started() const { return m_thread.joinable() || m_joined; }

    enum class Outcome { Answered, TimedOut, GivenUp };
    // Asked after every so long without an answer; false gives up.
    using KeepWaiting = std::function<bool(std::chrono::milliseconds waited)>;
    // Waits for the server's answer, turning the event loop, for at most
    // `timeout` of time really spent waiting (turns of the event loop do
    // not count; zero: no limit), asking `keepWaiting` after every `ask`.
    // On time-out or giving up the socket is shut down, so the call ends as
    // a lost connection. Aborted (the application is quitting): the socket
    // is shut down, the thread joined, Aborted goes on.
    Outcome wait(std::chrono::milliseconds timeout, std::chrono::milliseconds ask = {},
                 const KeepWaiting &keepWaiting = {});
    // mysql_real_query's return, after wait().
    int result() const { return m_result; }
    // The text and rows, handed back for the next statement.
    StatementText release() { return std::move(m_text); }

    // The connection's handler for LOAD DATA LOCAL while no statement of
    // ours is in flight: a server that asks for a file then is refused.
    static void refuseLocalFiles(st_mysql *mysql);

private:
    void run();
    void shutDown();
    void join();
    static int infileInit(void **state, const char *name, void *self);
    static int infileRead(void *state, char *buffer, unsigned length);
    static void infileEnd(void *state);
    static int infileError(void *state, char *message, unsigned length);

    st_mysql *m_mysql;
    std::intptr_t m_socket;
    StatementText m_text;
    // The rows are served once, and only to the load this statement is.
    bool m_infileOpen = false;
    size_t m_infileAt = 0;

    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_done = false;
    bool m_joined = false;
    int m_result = 0;
    std::thread m_thread;
};

} // namespace tabulon
