#include "common/eventpump.h"

#include "common/error.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <atomic>

namespace tabulon::EventPump {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(15);

std::atomic<bool> g_quitting = false;
// Per thread: tables sent side by side each keep their own clock, and only
// the main thread has an event loop to turn.
thread_local Clock::time_point g_lastTurn = Clock::now();
// Set by reset(): a new run or test starts with a turn at its first chance.
thread_local bool g_turnDue = true;
thread_local Clock::duration g_longestGap{};
thread_local unsigned g_calls = 0;

void turn()
{
    const auto now = Clock::now();
    g_longestGap = std::max(g_longestGap, now - g_lastTurn);
    const auto *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents();
    g_lastTurn = Clock::now();
    g_turnDue = false;
}

bool due(Clock::time_point now) { return g_turnDue || now - g_lastTurn >= kInterval; }

} // namespace

void yield()
{
    if (g_quitting)
        throw Aborted();
    // Reading the clock on every call would cost more than the rows it guards.
    if ((++g_calls & 15u) != 0)
        return;
    if (!due(Clock::now()))
        return;
    turn();
    if (g_quitting)
        throw Aborted();
}

Clock::duration yieldIfDue()
{
    if (g_quitting)
        throw Aborted();
    const auto start = Clock::now();
    if (!due(start))
        return {};
    turn();
    if (g_quitting)
        throw Aborted();
    return g_lastTurn - start;
}

std::chrono::milliseconds untilDue()
{
    if (g_turnDue)
        return std::chrono::milliseconds(0);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(kInterval - (Clock::now() - g_lastTurn));
    return std::max(left, std::chrono::milliseconds(0));
}

void yieldNow()
{
    if (g_quitting)
        throw Aborted();
    turn();
    if (g_quitting)
        throw Aborted();
}

void requestQuit() { g_quitting = true; }
bool quitting() { return g_quitting; }

void reset()
{
    g_quitting = false;
    g_longestGap = {};
    g_lastTurn = Clock::now();
    g_turnDue = true;
}

std::chrono::nanoseconds longestGap() { return std::chrono::duration_cast<std::chrono::nanoseconds>(g_longestGap); }

} // namespace tabulon::EventPump
