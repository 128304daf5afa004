#pragma once

#include <functional>
#include <utility>

namespace tabulon {

// The busy pointer for the length of a command, put back on every way out,
// an abort included. The window says how the pointer is switched; nothing
// shows until acquire().
class BusyGuard {
public:
    explicit BusyGuard(std::function<void(bool)> show) : m_show(std::move(show)) {}
    ~BusyGuard()
    {
        // May run while an abort unwinds: nothing may escape.
        try {
            release();
        } catch (...) {
        }
    }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

    void acquire()
    {
        m_show(true);
        m_on = true;
    }
    void release()
    {
        if (std::exchange(m_on, false))
            m_show(false);
    }

private:
    std::function<void(bool)> m_show;
    bool m_on = false;
};

// A flag that is set for the length of a call and put back as it was on
// every way out, so that a nested call does not clear its caller's.
class FlagScope {
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_before(std::exchange(flag, true)) {}
    ~FlagScope() { m_flag = m_before; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
    bool m_before;
};

} // namespace tabulon
