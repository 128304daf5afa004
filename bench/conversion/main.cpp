// Direct-mode conversion of a generated 100,000-row, 8-column table against
// a private server, side by side with `tabulon-sql FOLDER | mariadb` on a
// fresh database of the same server: batched, row by row, and the client
// with single-row and 500-row inserts; and what checking the values by
// digest costs against checking the row count alone.

#include "benchload.h"
#include "common/eventpump.h"
#include "engine/run/conversionrun.h"
#include "support/fakehost.h"
#include "support/mariadbserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace tabulon;
using namespace tabulon::bench;
using tabulon::test::FakeHost;
using tabulon::test::TestServer;

namespace {

struct Direct {
    double seconds;
    double gapMs;
    size_t errors;
};

Direct RunDirect(TestServer &server, const std::string &folder, const std::string &db, bool rowByRow,
                 bool verifyValues = true)
{
    FakeHost host;
    FillLogin(host, server, server.port(), folder, db);
    host.rowByRowValue = rowByRow;
    host.verifyValuesValue = verifyValues;
    RunState state;
    EventPump::reset();
    const auto start = Clock::now();
    ConvertTables(host, state);
    const double s = Seconds(start);
    return {s, std::chrono::duration<double, std::milli>(EventPump::longestGap()).count(), host.errors().size()};
}

double RunClient(TestServer &server, const std::string &folder, const std::string &db, int batch,
                 const std::string &cliPath)
{
    const std::string before = "'" + cliPath + "' --batch " + std::to_string(batch) + " '" + folder +
                               "' 2>/dev/null | ";
    return RunMariadb(server, server.port(), db, folder, before);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100'000;
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    WriteBenchTable(folder + "/BENCH.db", rows);

    // Default durability, as a production server has it: each commit is
    // flushed, so a round trip per row shows what it really costs.
    auto server = TestServer::startPrivate({"--innodb-flush-log-at-trx-commit=1"});

    {
        const auto start = Clock::now();
        const std::string command = "'" + std::string(TABULON_SQL_PATH) + "' --batch 500 '" + folder +
                                    "' > /dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "tabulon-sql failed\n");
        std::printf("tabulon-sql --batch 500 > /dev/null (generation alone): %.3f s\n", Seconds(start));
    }
    const std::string cli = TABULON_SQL_PATH;

    auto check = [&](const std::string &db) {
        return server->scalar(db, "SELECT COUNT(*) FROM BENCH").value_or("none");
    };

    std::string db = server->createDatabase("b");
    const Direct batched = RunDirect(*server, folder, db, false);
    std::printf("direct, batched:        %8.3f s  rows %s  reports %zu  longest event-loop gap %.1f ms\n",
                batched.seconds, check(db).c_str(), batched.errors, batched.gapMs);
    // "batched-only": skip the two single-row loads (minutes with durable commits).
    const bool batchedOnly = argc > 2 && std::string(argv[2]) == "batched-only";
    db = server->createDatabase("r");
    const Direct single = batchedOnly ? Direct{0, 0, 0} : RunDirect(*server, folder, db, true);
    if (!batchedOnly)
        std::printf("direct, row by row:     %8.3f s  rows %s  reports %zu  longest event-loop gap %.1f ms\n",
                    single.seconds, check(db).c_str(), single.errors, single.gapMs);
    db = server->createDatabase("c");
    const double client1 = batchedOnly ? 0 : RunClient(*server, folder, db, 1, cli);
    if (!batchedOnly)
        std::printf("tabulon-sql | mariadb:  %8.3f s  rows %s  (single-row inserts)\n", client1, check(db).c_str());
    db = server->createDatabase("m");
    const double client500 = RunClient(*server, folder, db, 500, cli);
    db = server->createDatabase("b2");
    const Direct batched2 = RunDirect(*server, folder, db, false);
    std::printf("direct, batched again:  %8.3f s  rows %s  longest event-loop gap %.1f ms\n", batched2.seconds,
                check(db).c_str(), batched2.gapMs);
    std::printf("tabulon-sql --batch 500 | mariadb: %8.3f s  rows %s\n", client500, check(db).c_str());
    // The same run with the row count as its only check, twice as well:
    // the better of each pair, so a busy moment does not decide.
    double countOnly = 0;
    for (int k = 0; k < 2; ++k) {
        db = server->createDatabase("n");
        const double s = RunDirect(*server, folder, db, false, false).seconds;
        countOnly = k == 0 ? s : std::min(countOnly, s);
    }
    std::printf("direct, batched, row count only: %8.3f s\n", countOnly);

    std::printf("\nrow by row / batched:                 %6.2fx  (target >= 15)\n", single.seconds / batched.seconds);
    std::printf("batched / client 500-row inserts:     %6.2fx  (target <= 1.3)\n", batched.seconds / client500);
    std::printf("row by row / client single-row:       %6.2fx  (target <= 1.10)\n", single.seconds / client1);
    std::printf("verification: %+.1f%%  (digest of the values against the row count alone; target <= +15%%)\n",
                (std::min(batched.seconds, batched2.seconds) / countOnly - 1) * 100);
    std::printf("longest event-loop gap:               %6.1f ms (target < 50)\n",
                std::max(batched.gapMs, single.gapMs));
    return 0;
}
