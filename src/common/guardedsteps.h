#pragma once

#include "common/error.h"
#include "common/messagehost.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace tabulon {

inline constexpr const char *kSupportEmail = "support@korvanto.example";
inline constexpr const char *kApplicationErrorCaption = "Application Error";

// The project tag that stands before the location in a report.
enum class ReportProject { Quorvex, Hestwick };

// The text of the "Application Error" report, byte for byte.
std::string ApplicationErrorText(const std::string &description, ReportProject project, const std::string &location,
                                 int step);

// Where the report of a failing step goes: the window's "Application Error"
// box, a test's recorder, or standard error for the command line.
class StepReporter {
public:
    virtual ~StepReporter() = default;
    virtual void stepFailed(int step, const std::string &description) = 0;
    // The description of a failure that carries no text of its own.
    virtual const char *unknownError() const { return "Unknown error"; }
};

// The "Application Error" box naming the procedure and the step.
class ApplicationErrorBox : public StepReporter {
public:
    ApplicationErrorBox(MessageHost &host, std::string location, ReportProject project)
        : m_host(host), m_location(std::move(location)), m_project(project)
    {
    }
    void stepFailed(int step, const std::string &description) override
    {
        m_host.showApplicationError(text(step, description));
    }
    std::string text(int step, const std::string &description) const
    {
        return ApplicationErrorText(description, m_project, m_location, step);
    }

private:
    MessageHost &m_host;
    std::string m_location;
    ReportProject m_project;
};

// One procedure whose numbered steps are guarded: a failing step is
// reported once, naming the step, and the procedure carries on with the
// step after it. Aborted (the application quits) passes through.
//
//   GuardedProcedure proc(host, "Form1.PushButton1_Click");
//   proc.step(100, [&] { ... });
//   if (proc.decide(102, [&] { return path.empty(); })) return;
class GuardedProcedure {
public:
    // Reports in the "Application Error" box.
    GuardedProcedure(MessageHost &host, std::string location, ReportProject project = ReportProject::Quorvex)
        : m_box(std::in_place, host, std::move(location), project), m_reporter(*m_box)
    {
    }
    explicit GuardedProcedure(StepReporter &reporter) : m_reporter(reporter) {}
    GuardedProcedure(const GuardedProcedure &) = delete;
    GuardedProcedure &operator=(const GuardedProcedure &) = delete;

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
            report(number, m_reporter.unknownError());
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

    void report(int number, const std::string &description) { m_reporter.stepFailed(number, description); }
    // The box's text for a failure at step `number`; only for a procedure
    // that reports in the box.
    std::string reportText(int number, const std::string &description) const
    {
        return m_box ? m_box->text(number, description) : description;
    }

private:
    std::optional<ApplicationErrorBox> m_box;
    StepReporter &m_reporter;
};

} // namespace tabulon
