// Direct mode against a far server: a private server behind a loopback proxy
// that delays each direction by half a round trip and can limit throughput,
// and a generated 100,000-row, 8-column table. Compared with the mariadb
// client loading `tabulon-sql --batch 500` through the same proxy, and on
// loopback with the client's LOAD DATA LOCAL INFILE of the same rows (each
// twice, in turn, the faster counted).
//   bench_farserver [ROWS]   FARSERVER_VERBOSE=1: each run's time, longest
//   event-loop gap, reports and statements on standard error;
//   FARSERVER_LOOPBACK_ONLY=1: the loopback line alone.

#include "benchload.h"
#include "common/eventpump.h"
#include "delayproxy.h"
#include "engine/run/conversionrun.h"
#include "support/fakehost.h"
#include "support/mariadbserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabulon;
using namespace tabulon::bench;
using tabulon::test::FakeHost;
using tabulon::test::TestServer;

namespace {

struct Direct {
    double seconds = 0;
    double gapMs = 0;
    size_t errors = 0;
    std::string rows;
};

class Bench {
public:
    Bench(TestServer &server, std::string folder) : m_server(server), m_folder(std::move(folder)) {}

    // compression: the setting's text.
    Direct direct(int port, const std::string &compression, const std::string &refuseIf = {})
    {
        const std::string db = m_server.createDatabase("d");
        struct Host : FakeHost {
            std::function<void()> onFirstRow;
            bool seen = false;
            void setProgress(double percent) override
            {
                FakeHost::setProgress(percent);
                if (percent != 0 && !seen && onFirstRow) {
                    seen = true;
                    onFirstRow();
                }
            }
        } host;
        FillLogin(host, m_server, port, m_folder, db);
        host.compression = compression == "1" ? 1 : compression == "0" ? 0 : -1;
        if (!refuseIf.empty())
            host.onFirstRow = [&] {
                m_server.exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON `BENCH~tabulon` FOR EACH ROW IF " + refuseIf +
                                      " THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF");
                // The bench's own wait for the trigger is not the run's.
                EventPump::reset();
            };
        RunState state;
        const auto questions = [&] {
            return std::stol(m_server.query("", "SHOW GLOBAL STATUS LIKE 'Questions'").at(0).at(1).value_or("0"));
        };
        const long questionsBefore = questions();
        EventPump::reset();
        const auto start = Clock::now();
        ConvertTables(host, state);
        Direct d;
        d.seconds = Seconds(start);
        d.gapMs = std::chrono::duration<double, std::milli>(EventPump::longestGap()).count();
        d.errors = host.errors().size();
        d.rows = count(db);
        m_lastDb = db;
        if (std::getenv("FARSERVER_VERBOSE"))
            std::fprintf(stderr, "run: %.3f s, gap %.1f ms, %zu reports, %ld statements\n", d.seconds, d.gapMs,
                         d.errors, questions() - questionsBefore - 2);
        return d;
    }

    // The mariadb client reading `command`'s output, or running `sql`.
    double client(int port, const std::string &db, const std::string &command, const std::string &options = {})
    {
        return RunMariadb(m_server, port, db, m_folder, command, options);
    }

    std::string count(const std::string &db)
    {
        return m_server.scalar(db, "SELECT COUNT(*) FROM BENCH").value_or("none");
    }
    const std::string &lastDb() const { return m_lastDb; }
    const std::string &folder() const { return m_folder; }

private:
    TestServer &m_server;
    std::string m_folder;
    std::string m_lastDb;
};

long PerSecond(int rows, double seconds) { return seconds > 0 ? std::lround(rows / seconds) : 0; }

void Check(const char *what, const std::string &got, int rows)
{
    if (got != std::to_string(rows))
        std::fprintf(stderr, "%s: %s rows stored, not %d\n", what, got.c_str(), rows);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1); // the setting is ours alone
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100'000;
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    WriteBenchTable(folder + "/BENCH.db", rows);

    // Durable commits, as a production server has them.
    auto server = TestServer::startPrivate({"--innodb-flush-log-at-trx-commit=1", "--local-infile=1"});
    Bench bench(*server, folder);
    // Its per-table summary on standard error is not a line of this bench's.
    const std::string cli = "'" + std::string(TABULON_SQL_PATH) + "' --batch 500 '" + folder + "' 2>/dev/null | ";
    double longestGap = 0;
    const bool loopbackOnly = std::getenv("FARSERVER_LOOPBACK_ONLY") != nullptr;

    if (!loopbackOnly) {
        Proxy far(server->port(), 20, 0);
        const Direct d = bench.direct(far.port(), "");
        Check("direct batched", d.rows, rows);
        longestGap = std::max(longestGap, d.gapMs);
        const std::string db = server->createDatabase("c");
        const double client = bench.client(far.port(), db, cli);
        Check("client 500-row inserts", bench.count(db), rows);
        std::printf("far server: round trip 20 ms: direct batched %ld rows/s, client 500-row inserts %ld rows/s\n",
                    PerSecond(rows, d.seconds), PerSecond(rows, client));

        const Direct r = bench.direct(far.port(), "", "NEW.Id % 10000 = 5000");
        const int refused = rows / 10000 + (rows % 10000 >= 5000 ? 1 : 0);
        Check("refused 1 in 10000", r.rows, rows - refused);
        if (r.errors != static_cast<size_t>(refused))
            std::fprintf(stderr, "refused 1 in 10000: %zu reports, not %d\n", r.errors, refused);
        longestGap = std::max(longestGap, r.gapMs);
        std::printf("far server: round trip 20 ms, refused 1 in 10000: direct batched %ld rows/s\n",
                    PerSecond(rows - refused, r.seconds));
    }
    if (!loopbackOnly) {
        Proxy slow(server->port(), 20, 20);
        const Direct on = bench.direct(slow.port(), "1");
        Check("compressed", on.rows, rows);
        const Direct off = bench.direct(slow.port(), "0");
        Check("uncompressed", off.rows, rows);
        longestGap = std::max({longestGap, on.gapMs, off.gapMs});
        std::printf("far server: round trip 20 ms, 20 Mbit/s: compressed %ld rows/s, uncompressed %ld rows/s\n",
                    PerSecond(rows, on.seconds), PerSecond(rows, off.seconds));
    }
    {
        // Each twice, in turn, the faster counted: the server's own work
        // left from the runs before (flushing, purging) falls on both alike.
        const std::string tsv = folder + "/rows.tsv";
        double direct = 0, load = 0;
        for (int round = 0; round < 2; ++round) {
            const Direct d = bench.direct(server->port(), "");
            Check("loopback direct", d.rows, rows);
            direct = round == 0 ? d.seconds : std::min(direct, d.seconds);
            // The same rows as the client writes them, loaded into a copy of the table.
            if (round == 0)
                bench.client(server->port(), bench.lastDb(), "",
                             "--batch --skip-column-names -e 'SELECT * FROM BENCH' > '" + tsv + "'");
            const std::string db = server->createDatabase("l");
            server->exec(db, "CREATE TABLE BENCH LIKE `" + bench.lastDb() + "`.BENCH");
            const double l = bench.client(server->port(), db, "",
                                          "--local-infile=1 -e \"LOAD DATA LOCAL INFILE '" + tsv +
                                              "' INTO TABLE BENCH\"");
            Check("LOAD DATA LOCAL", bench.count(db), rows);
            load = round == 0 ? l : std::min(load, l);
        }
        std::printf("loopback: direct batched %ld rows/s, LOAD DATA LOCAL %ld rows/s\n", PerSecond(rows, direct),
                    PerSecond(rows, load));
    }
    std::printf("far server: longest event-loop gap %.1f ms\n", longestGap);
    return 0;
}
