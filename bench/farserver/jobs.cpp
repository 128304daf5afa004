// Several tables at once: 8 generated tables of 100,000 rows loaded by
// `tabulon-sql --server` with --jobs 4 and --jobs 1, and by myloader
// --threads 4 from a mydumper dump of the same rows (1,000-row chunks),
// through the delaying proxy at a 20 ms round trip and on loopback.
//   bench_farserver_jobs [ROWS_PER_TABLE]   FARSERVER_JOBS_OPTION=--count-only:
//   that option added to each tabulon-sql run.
// Also prints each loader's peak resident memory.

#include "benchload.h"
#include "delayproxy.h"
#include "support/mariadbserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabulon::bench;
using tabulon::test::TestServer;

namespace {

constexpr int kTables = 8;

struct Timed {
    double seconds = 0;
    long peakKb = 0;
};

// Runs a program with its own environment; its time and peak memory.
Timed Run(const std::vector<std::string> &args, const std::vector<std::string> &env)
{
    std::vector<char *> argv, envp;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Their per-table lines are not lines of this bench's.
        if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr)
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Timed t{Seconds(start), usage.ru_maxrss};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s exited with status %d\n", args[0].c_str(),
                     WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return t;
}

class JobsBench {
public:
    JobsBench(TestServer &server, std::string folder, std::string config)
        : m_server(server), m_folder(std::move(folder)), m_config(std::move(config))
    {
    }

    Timed tabulon(int port, int jobs)
    {
        const std::string db = m_server.createDatabase("j");
        std::vector<std::string> args{TABULON_SQL_PATH, "--server",           "127.0.0.1",
                                      "--port",         std::to_string(port), "--user",
                                      m_server.user(),  "--database",         db,
                                      "--jobs",         std::to_string(jobs)};
        if (const char *option = std::getenv("FARSERVER_JOBS_OPTION"); option && *option)
            args.push_back(option);
        args.push_back(m_folder);
        const Timed t = Run(args, {"MYSQL_PWD=" + m_server.password(), "XDG_CONFIG_HOME=" + m_config});
        check(db, "tabulon-sql --jobs " + std::to_string(jobs));
        m_loaded = db;
        return t;
    }

    // The loaded tables as mydumper writes them, once.
    void dump()
    {
        m_dump = m_folder + "/dump";
        Run({"/usr/bin/mydumper", "--socket", (m_server.dir() / "sock").string(), "--user", "root", "--database",
             m_loaded, "--outputdir", m_dump, "--rows", "1000", "--threads", "4"},
            {});
    }

    Timed myloader(int port)
    {
        const std::string db = m_server.createDatabase("m");
        const Timed t = Run({"/usr/bin/myloader", "--host", "127.0.0.1", "--port", std::to_string(port), "--user",
                             m_server.user(), "--password", m_server.password(), "--directory", m_dump, "--database",
                             db, "--threads", "4", "--overwrite-tables"},
                            {});
        check(db, "myloader --threads 4");
        return t;
    }

private:
    void check(const std::string &db, const std::string &what)
    {
        long rows = 0;
        for (int k = 1; k <= kTables; ++k)
            rows += std::stol(m_server.scalar(db, "SELECT COUNT(*) FROM BENCH" + std::to_string(k)).value_or("0"));
        if (rows != long(kTables) * m_rows)
            std::fprintf(stderr, "%s: %ld rows stored, not %ld\n", what.c_str(), rows, long(kTables) * m_rows);
    }

public:
    long m_rows = 0;

private:
    TestServer &m_server;
    std::string m_folder;
    std::string m_config;
    std::string m_loaded;
    std::string m_dump;
};

long PerSecond(long rows, double seconds) { return seconds > 0 ? std::lround(double(rows) / seconds) : 0; }

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100'000;
    QTemporaryDir dir, config;
    const std::string folder = dir.path().toStdString() + "/tables";
    QDir().mkpath(QString::fromStdString(folder));
    for (int k = 1; k <= kTables; ++k)
        WriteBenchTable(folder + "/BENCH" + std::to_string(k) + ".db", rows);
    if (::access("/usr/bin/myloader", X_OK) != 0 || ::access("/usr/bin/mydumper", X_OK) != 0) {
        std::fprintf(stderr, "bench_farserver_jobs: needs mydumper (Debian package mydumper)\n");
        return 1;
    }

    auto server = TestServer::startPrivate(
        {"--innodb-flush-log-at-trx-commit=1", "--local-infile=1", "--max-connections=200"});
    JobsBench bench(*server, folder, config.path().toStdString());
    bench.m_rows = rows;
    const long all = long(kTables) * rows;

    // Loopback first: its --jobs 1 load is what mydumper dumps.
    const Timed loop1 = bench.tabulon(server->port(), 1);
    bench.dump();
    const Timed loop4 = bench.tabulon(server->port(), 4);
    const Timed loopM = bench.myloader(server->port());
    Timed far1, far4, farM;
    {
        Proxy far(server->port(), 20, 0);
        far4 = bench.tabulon(far.port(), 4);
        far1 = bench.tabulon(far.port(), 1);
        farM = bench.myloader(far.port());
    }
    std::printf("far server: %d tables, round trip 20 ms: tabulon-sql --jobs 4 %ld rows/s, --jobs 1 %ld rows/s, "
                "myloader --threads 4 %ld rows/s\n",
                kTables, PerSecond(all, far4.seconds), PerSecond(all, far1.seconds), PerSecond(all, farM.seconds));
    std::printf("loopback: %d tables: tabulon-sql --jobs 4 %ld rows/s, --jobs 1 %ld rows/s, myloader --threads 4 "
                "%ld rows/s\n",
                kTables, PerSecond(all, loop4.seconds), PerSecond(all, loop1.seconds), PerSecond(all, loopM.seconds));
    std::printf("peak memory: tabulon-sql --jobs 4 %ld MB, --jobs 1 %ld MB\n",
                std::max(loop4.peakKb, far4.peakKb) / 1024, std::max(loop1.peakKb, far1.peakKb) / 1024);
    return 0;
}
