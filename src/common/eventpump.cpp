#include "common/eventpump.h"

#include "common/error.h"

#include <QCoreApplication>

#include <algorithm>

namespace tabulon::EventPump {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(15);

bool g_quitting = false;
Clock::time_point g_lastTurn = Clock::now();
Clock::duration g_longestGap{};
unsigned g_calls = 0;

void turn()
{
    const auto now = Clock::now();
    g_longestGap = std::max(g_longestGap, now - g_lastTurn);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    g_lastTurn = Clock::now();
}

} // namespace

void yield()
{
    if (g_quitting)
        throw Aborted();
    // Reading the clock on every call would cost more than the rows it guards.
    if ((++g_calls & 15u) != 0)
        return;
    if (Clock::now() - g_lastTurn < kInterval)
        return;
    turn();
    if (g_quitting)
        throw Aborted();
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
}

std::chrono::nanoseconds longestGap()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(g_longestGap);
}

} // namespace tabulon::EventPump
