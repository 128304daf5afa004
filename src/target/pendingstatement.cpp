#include "target/pendingstatement.h"

#include "common/error.h"
#include "common/eventpump.h"
#include "target/mysqldialect.h"
#include "target/socketwait.h"
#include "target/stallwatch.h"

#include <mysql.h>


#include <algorithm>
#include <string_view>
#include <system_error>

namespace tabulon {
namespace {

using Clock = std::chrono::steady_clock;

} // namespace

PendingStatement::PendingStatement(st_mysql *mysql, std::intptr_t socket, StatementText text)
    : m_mysql(mysql), m_socket(socket), m_text(std::move(text))
{
    mysql_set_local_infile_handler(m_mysql, &PendingStatement::infileInit, &PendingStatement::infileRead,
                                   &PendingStatement::infileEnd, &PendingStatement::infileError, this);
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        refuseLocalFiles(m_mysql);
    }
}

PendingStatement::~PendingStatement()
{
    if (m_thread.joinable()) {
        shutDown();
        join();
    }
}

void PendingStatement::run()
{
    const int ret = mysql_real_query(m_mysql, m_text.sql.data(), m_text.sql.size());
    std::lock_guard lock(m_mutex);
    m_result = ret;
    m_done = true;
    m_answered.notify_one();
}

void PendingStatement::shutDown() { native::ShutDownSocket(m_socket); }

void PendingStatement::join()
{
    if (!m_thread.joinable())
        return;
    m_thread.join();
    m_joined = true;
    refuseLocalFiles(m_mysql);
}

PendingStatement::Outcome PendingStatement::wait(std::chrono::milliseconds timeout, std::chrono::milliseconds ask,
                                                 const KeepWaiting &keepWaiting)
{
    StallWatch stall(ask, bool(keepWaiting));
    std::unique_lock lock(m_mutex);
    while (!m_done) {
        lock.unlock();
        try {
            EventPump::yieldIfDue();
        } catch (const Aborted &) {
            shutDown();
            join();
            throw;
        }
        lock.lock();
        if (m_done)
            break;
        if (stall.due()) {
            lock.unlock();
            // The question's own event loop is no waiting on the server.
            const bool goOn = keepWaiting(stall.waitedMs());
            lock.lock();
            if (m_done)
                break;
            if (!goOn) {
                lock.unlock();
                shutDown();
                join();
                return Outcome::GivenUp;
            }
            stall.askedAgain();
        }
        auto slice = stall.cap(std::chrono::duration_cast<Clock::duration>(EventPump::untilDue()));
        if (timeout.count() > 0) {
            if (stall.waited() >= timeout) {
                lock.unlock();
                shutDown();
                join();
                return Outcome::TimedOut;
            }
            slice = std::min<Clock::duration>(slice, timeout - stall.waited());
        }
        const auto from = Clock::now();
        m_answered.wait_for(lock, slice);
        stall.add(Clock::now() - from);
    }
    lock.unlock();
    join();
    return Outcome::Answered;
}

int PendingStatement::infileInit(void **state, const char *name, void *self)
{
    auto *p = static_cast<PendingStatement *>(self);
    *state = p;
    if (!p || p->m_text.rows.empty() || p->m_infileOpen || std::string_view(name ? name : "") != mysql::kLocalRowsName)
        return 1;
    p->m_infileOpen = true;
    return 0;
}

int PendingStatement::infileRead(void *state, char *buffer, unsigned length)
{
    auto *p = static_cast<PendingStatement *>(state);
    const std::string &rows = p->m_text.rows;
    const size_t n = std::min<size_t>(length, rows.size() - p->m_infileAt);
    std::copy_n(rows.data() + p->m_infileAt, n, buffer);
    p->m_infileAt += n;
    return static_cast<int>(n);
}

void PendingStatement::infileEnd(void *) {}

int PendingStatement::infileError(void *, char *message, unsigned length)
{
    const std::string_view text = "The MySQL server asked for a local file that Tabulon did not offer.";
    const size_t n = std::min<size_t>(text.size(), length ? length - 1 : 0);
    std::copy_n(text.data(), n, message);
    if (length)
        message[n] = '\0';
    return 2000;
}

void PendingStatement::refuseLocalFiles(st_mysql *mysql)
{
    // The same handler with no statement behind it refuses every request.
    mysql_set_local_infile_handler(mysql, &PendingStatement::infileInit, &PendingStatement::infileRead,
                                   &PendingStatement::infileEnd, &PendingStatement::infileError, nullptr);
}

} // namespace tabulon
