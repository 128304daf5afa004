#include "engine/run/sidebyside.h"

#include "common/guardedsteps.h"
#include "engine/run/runtablework.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <numeric>
#include <thread>

namespace tabulon {
namespace {

// What the jobs share, each piece under the one lock.
struct Shared {
    Shared(RunHost &runHost, RunJournal &runJournal) : host(runHost), journal(runJournal) {}
    RunHost &host;
    RunJournal &journal;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> captions; // per job, empty when idle
    std::size_t finished = 0;
    std::size_t jobsLeft = 0;
    std::exception_ptr failure;
};

// One job's view of the host: boxes and questions one at a time, its
// caption kept for the run's line, the bar left alone (a percentage of
// one table says nothing while others go).
class JobHost : public RunHost {
public:
    JobHost(Shared &shared, std::size_t job) : m_shared(shared), m_job(job) {}

private:
    template <class F> decltype(auto) locked(F &&f) const
    {
        std::lock_guard guard(m_shared.lock);
        return f();
    }

public:
    RunOptions runOptions() const override
    {
        return locked([&] { return m_shared.host.runOptions(); });
    }
    std::string fieldText(int n) const override
    {
        return locked([&] { return m_shared.host.fieldText(n); });
    }
    void setFieldText(int, const std::string &) override {}
    void showApplicationError(const std::string &text) override
    {
        locked([&] { m_shared.host.showApplicationError(text); });
    }
    bool askYesNo(const std::string &text, const std::string &title) override
    {
        return locked([&] { return m_shared.host.askYesNo(text, title); });
    }
    void inform(const std::string &text, const std::string &title) override
    {
        locked([&] { m_shared.host.inform(text, title); });
    }
    bool reportRefusedRow(const std::string &text, bool offerQuiet) override
    {
        return locked([&] { return m_shared.host.reportRefusedRow(text, offerQuiet); });
    }
    bool stopRequested() const override { return m_shared.host.stopRequested(); }
    void setBusyPointer(bool) override {}
    void setProgress(double) override {}
    void setProgressCaption(const std::string &caption) override
    {
        std::lock_guard guard(m_shared.lock);
        m_shared.captions[m_job] = caption;
    }
    void showPreview() override {}

private:
    Shared &m_shared;
    std::size_t m_job;
};

class Job {
public:
    Job(Shared &shared, const SideBySideRun &run, std::vector<PlannedTable *> &order, std::atomic<std::size_t> &next,
        std::atomic<bool> &ended, std::size_t number)
        : m_shared(shared), m_run(run), m_order(order), m_next(next), m_ended(ended), m_number(number),
          m_host(shared, number), m_messages(m_host), m_proc(m_messages, "Form1.PushButton7_Click")
    {
        m_state.options = run.options;
        m_state.List1 = run.listed;
    }

    void operator()()
    {
        try {
            send();
        } catch (...) {
            std::lock_guard guard(m_shared.lock);
            if (!m_shared.failure)
                m_shared.failure = std::current_exception();
            m_ended = true;
        }
        std::lock_guard guard(m_shared.lock);
        --m_shared.jobsLeft;
        m_shared.changed.notify_all();
    }

private:
    void send()
    {
        std::unique_ptr<Connection> source;
        if (!m_proc.step(126, [&] { m_state.mysql_conn = OpenRunTarget(m_run.options, m_host); }) ||
            !m_proc.step(122, [&] { source = OpenRunSource(m_run.options, m_run.folder, m_run.sources); }))
            return;
        RunTableWork work(m_proc, m_host, m_state, &m_messages);
        while (!m_ended && !m_host.stopRequested()) {
            const std::size_t k = m_next++;
            if (k >= m_order.size())
                break;
            PlannedTable &table = *m_order[k];
            const auto started = std::chrono::steady_clock::now();
            const auto waitedBefore = m_messages.waited();
            work.beginTable(table.plan.table, table.report, k + 1, m_order.size());
            TableSender sender{m_proc, m_host, m_messages, m_state, source.get(), work};
            SendTable(sender, table.plan, *table.report);
            table.report->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started -
                                                                  (m_messages.waited() - waitedBefore))
                                        .count();
            if (work.stopped())
                m_ended = true;
            std::lock_guard guard(m_shared.lock);
            m_shared.journal.record(table.plan.entry);
            m_shared.captions[m_number].clear();
            ++m_shared.finished;
            m_shared.host.tableFinished(*table.report);
            m_shared.changed.notify_all();
        }
        m_proc.step(196, [&] { m_state.mysql_conn.close(); });
        m_proc.step(198, [&] { source->close(); });
    }

    Shared &m_shared;
    const SideBySideRun &m_run;
    std::vector<PlannedTable *> &m_order;
    std::atomic<std::size_t> &m_next;
    std::atomic<bool> &m_ended;
    std::size_t m_number;
    JobHost m_host;
    TimedMessages m_messages;
    GuardedProcedure m_proc;
    RunState m_state;
};

// "2 of 8 tables done; ORDERS (3 of 8): 120,000 of 205,000 rows, ...; ..."
std::string RunCaption(const Shared &shared, std::size_t count)
{
    std::string caption = std::to_string(shared.finished) + " of " + std::to_string(count) + " tables done";
    for (const std::string &job : shared.captions)
        if (!job.empty())
            caption += "; " + job;
    return caption;
}

} // namespace

void SendSideBySide(RunHost &host, const SideBySideRun &run, std::vector<PlannedTable> &tables, RunJournal &journal)
{
    std::vector<PlannedTable *> order;
    for (PlannedTable &table : tables)
        order.push_back(&table);
    std::stable_sort(order.begin(), order.end(),
                     [](const PlannedTable *a, const PlannedTable *b) { return a->bytes > b->bytes; });
    const std::size_t jobs = std::clamp<std::size_t>(std::size_t(std::max(run.jobs, 1)), 1,
                                                     std::max<std::size_t>(order.size(), 1));

    Shared shared(host, journal);
    shared.captions.resize(jobs);
    shared.jobsLeft = jobs;
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> ended = false;
    std::vector<std::unique_ptr<Job>> work;
    std::vector<std::thread> threads;
    for (std::size_t j = 0; j < jobs; ++j)
        work.push_back(std::make_unique<Job>(shared, run, order, next, ended, j));
    for (auto &job : work)
        threads.emplace_back([&job] { (*job)(); });

    // The caption is the main thread's: a window draws it there.
    std::unique_lock guard(shared.lock);
    while (shared.jobsLeft > 0) {
        host.setProgressCaption(RunCaption(shared, order.size()));
        host.setProgress(100.0 * double(shared.finished) / double(std::max<std::size_t>(order.size(), 1)));
        shared.changed.wait_for(guard, std::chrono::milliseconds(250));
    }
    guard.unlock();
    for (std::thread &thread : threads)
        thread.join();
    if (shared.failure)
        std::rethrow_exception(shared.failure);
}

} // namespace tabulon
