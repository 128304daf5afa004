#pragma once

#include "common/error.h"
#include "common/messagehost.h"

#include <exception>
#include <string>
#include <utility>

namespace tabulon {

inline constexpr const char *kSupportEmail = "support@korvanto.example";
inline constexpr const char *kApplicationErrorCaption = "Application Error";

// The project tag that stands before the location in a report.
enum class ReportProject { Quorvex, Hestwick };

// The text of the "Application Error" report, byte for byte.
std::string ApplicationErrorText(const std::string &description, ReportProject project,
                                 const std::string &location, int step);

// One procedure whose numbered steps are guarded: a failing step shows one
// report naming the procedure and the step, and the procedure carries on
// with the step after it.
//
//   GuardedProcedure proc(host, "Form1.PushButton1_Click");
//   proc.step(100, [&] { ... });
//   if (proc.decide(102, [&] { return path.empty(); })) return;
class GuardedProcedure {
public:
    GuardedProcedure(MessageHost &host, std::string location,
                     ReportProject project = ReportProject::Quorvex)
        : m_host(host), m_location(std::move(location)), m_project(project) {}

    // Runs the step; returns false when it failed (after the report).
    template <class F> bool step(int number, F &&body)
    {
        try {
            std::forward<F>(body)();
            return true;
        } catch (const Aborted &) {
            throw;
        } catch (const std::exception &e) {
            report(number, e.what());
        } catch (...) {
            report(number, "Unknown error");
        }
        return false;
    }

    // A step that decides between branches. A failing test continues into its
    // branch as if it had passed, so this returns true after a report.
    template <class F> bool decide(int number, F &&test)
    {
        bool result = true;
        step(number, [&] { result = static_cast<bool>(std::forward<F>(test)()); });
        return result;
    }

    void report(int number, const std::string &description);
    // The report's text for a failure at step `number`.
    std::string reportText(int number, const std::string &description) const
    {
        return ApplicationErrorText(description, m_project, m_location, number);
    }
    const std::string &location() const { return m_location; }
    MessageHost &host() { return m_host; }

private:
    MessageHost &m_host;
    std::string m_location;
    ReportProject m_project;
};

} // namespace tabulon
