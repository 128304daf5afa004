#include "cli/directrun.h"

#include "cli/console.h"
#include "common/nametext.h"
#include "common/settingskeys.h"
#include "common/text.h"
#include "engine/run/conversionrun.h"
#include "engine/run/runhost.h"
#include "engine/run/runreportjson.h"

#include <QDateTime>

#include <algorithm>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>


namespace tabulon {
namespace {

volatile std::sig_atomic_t g_signal = 0;

// The live line stays on one row of an ordinary terminal.
constexpr std::size_t kLiveWidth = 119;

void OnSignal(int signal)
{
    // A second interrupt ends at once; the server rolls back what is open.
    if (g_signal != 0)
        std::_Exit(128 + signal);
    g_signal = signal;
}

// The password is never an argument: the process list would show it.
bool ReadPassword(const std::string &passwordFile, std::string &password)
{
    if (const char *env = std::getenv("MYSQL_PWD")) {
        password = env;
        return true;
    }
    if (!passwordFile.empty()) {
        std::ifstream in(native::FsPath(passwordFile));
        if (!in)
            return false;
        std::getline(in, password);
        if (!password.empty() && password.back() == '\r')
            password.pop_back();
        return true;
    }
    if (!native::StdinIsTerminal())
        return false;
    std::fputs("Password: ", stderr);
    const bool read = native::ReadHiddenLine(password);
    std::fputs("\n", stderr);
    return read;
}

// The window's run with nobody at the window: questions have the answers
// the options give, boxes become lines on standard error, the caption a
// live line on a terminal.
class CliRunHost : public RunHost {
public:
    explicit CliRunHost(const DirectRun &run) : m_run(run), m_folder(run.folder), m_terminal(native::StderrIsTerminal())
    {
    }

    RunOptions runOptions() const override { return m_run.options; }
    std::string fieldText(int n) const override { return n == 1 ? m_folder : std::string(); }
    void setFieldText(int n, const std::string &text) override
    {
        if (n == 1)
            m_folder = text;
    }
    void showApplicationError(const std::string &text) override { line(FirstLine(text)); }
    bool askYesNo(const std::string &text, const std::string &) override
    {
        // Going on with a stopped run only when asked to; a folder with
        // blanks is read where it is; a silent server is not waited on.
        return text.rfind("The last run stopped after", 0) == 0 && m_run.resume;
    }
    Overwrite askOverwrite(const std::string &, const std::string &) override
    {
        return m_run.drop ? Overwrite::YesToAll : Overwrite::NoToAll;
    }
    void inform(const std::string &text, const std::string &) override
    {
        if (text.rfind("Could not connect", 0) == 0)
            m_unreached = true;
        line(text);
    }
    void setBusyPointer(bool) override {}
    void setProgress(double) override {}
    void setProgressCaption(const std::string &caption) override
    {
        if (!m_terminal || caption == "Progress Bar")
            return;
        // One live line, overwritten.
        std::fprintf(stderr, "\r\033[K%.*s", int(std::min<std::size_t>(caption.size(), kLiveWidth)), caption.c_str());
        std::fflush(stderr);
    }
    bool stopRequested() const override { return g_signal != 0; }
    void showPreview() override {}
    bool reportRefusedRow(const std::string &text, bool offerQuiet) override
    {
        line(FirstLine(text));
        // A systematic refusal is counted in the report, not printed per row.
        return offerQuiet;
    }
    void tableFinished(const TableReport &table) override { line(table.finishedLine()); }
    void showRunReport(const RunReport &report) override
    {
        m_report = report;
        m_reported = true;
    }

    const RunReport &report() const { return m_report; }
    bool reported() const { return m_reported; }
    bool unreached() const { return m_unreached; }

private:
    static std::string FirstLine(const std::string &text) { return text.substr(0, text.find_first_of("\r\n")); }
    void line(const std::string &text) const
    {
        std::string flat = text;
        for (char &c : flat)
            if (c == '\r' || c == '\n')
                c = ' ';
        std::fprintf(stderr, "%stabulon-sql: %s\n", m_terminal ? "\r\033[K" : "", flat.c_str());
    }

    const DirectRun &m_run;
    std::string m_folder;
    bool m_terminal;
    bool m_unreached = false;
    bool m_reported = false;
    RunReport m_report;
};

std::string Now() { return QDateTime::currentDateTime().toString(Qt::ISODate).replace('T', ' ').toStdString(); }

// What the run was asked, for the JSON report; never the password.
std::vector<std::pair<std::string, std::string>> AskedOptions(const DirectRun &run)
{
    const RunOptions &o = run.options;
    return {{"types", o.columnTypes == ColumnTypes::Native ? "native" : "text"},
            {"codepage", o.codePage},
            {"drop", run.drop ? "yes" : "no"},
            {"resume", run.resume ? "yes" : "no"},
            {"jobs", std::to_string(o.jobs)},
            {"ssl_mode", o.login.sslMode.empty() ? std::string("PREFERRED") : o.login.sslMode}};
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && AsciiLower(text.substr(text.size() - end.size())) == end;
}

bool AllConverted(const RunReport &report)
{
    for (const TableReport &t : report.tables) {
        if (t.outcome == TableReport::Outcome::Declined)
            continue;
        if (t.outcome != TableReport::Outcome::Converted || !t.verified() || t.rowsRefused > 0 || t.valuesNulled > 0)
            return false;
    }
    return !report.tables.empty();
}

} // namespace

int RunDirect(DirectRun run)
{
    if (!ReadPassword(run.passwordFile, run.options.login.password)) {
        std::fprintf(stderr, "tabulon-sql: no password: set MYSQL_PWD, give --password-file FILE, or run it on a "
                             "terminal to be asked\n");
        return 2;
    }
    if (run.options.journalPath.empty())
        run.options.journalPath = SettingsStore::folder() + "/Tabulon-journal.json";
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CliRunHost host(run);
    RunState state;
    ConvertTables(host, state);
    if (!host.reported())
        return host.unreached() ? 3 : 1;
    const std::string ended = Now();
    const RunReport &report = host.report();
    const std::string text = report.text();
    std::fputs(text.c_str(), stdout);
    if (!run.reportFile.empty()) {
        std::ofstream out(native::FsPath(run.reportFile), std::ios::binary);
        out << (EndsWith(run.reportFile, ".json") ? RunReportJson(report, AskedOptions(run), ended) : text);
        if (!out) {
            std::fprintf(stderr, "tabulon-sql: the report could not be written to %s\n",
                         EscapedName(run.reportFile).c_str());
            return 1;
        }
    }
    if (g_signal != 0)
        return 128 + g_signal;
    return AllConverted(report) ? 0 : 1;
}

} // namespace tabulon
