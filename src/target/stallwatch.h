#pragma once

#include <algorithm>
#include <chrono>

namespace tabulon {

// Time really spent waiting on one answer of the server, and when to ask
// whether to go on: after every interval of it. Turns of the event loop
// (a box the user keeps open) are not added, so they never count.
class StallWatch {
public:
    using Clock = std::chrono::steady_clock;

    // interval zero, or nobody to ask: never due.
    StallWatch(std::chrono::milliseconds interval, bool asking)
        : m_interval(interval),
          m_next(asking && interval.count() > 0 ? Clock::duration(interval) : Clock::duration::max())
    {
    }
    void add(Clock::duration waited) { m_waited += waited; }
    Clock::duration waited() const { return m_waited; }
    std::chrono::milliseconds waitedMs() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_waited);
    }
    bool due() const { return m_waited >= m_next; }
    // The user said go on: the next question after another interval.
    void askedAgain() { m_next += m_interval; }
    // A slice of waiting ends in time for the question.
    Clock::duration cap(Clock::duration slice) const
    {
        return m_next == Clock::duration::max() ? slice : std::min(slice, m_next - m_waited);
    }

private:
    Clock::duration m_interval;
    Clock::duration m_next;
    Clock::duration m_waited{};
};

} // namespace tabulon
