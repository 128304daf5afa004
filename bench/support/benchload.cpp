#include "benchload.h"

#include "support/fakehost.h"
#include "support/mariadbserver.h"
#include "tools/paradoxwriter.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tabulon::bench {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void WriteBenchTable(const std::string &path, int rows)
{
    ParadoxWriter w(path, {{"Id", 'I'},
                           {"Name", 'A', 30},
                           {"Born", 'D'},
                           {"Qty", 'S'},
                           {"Price", 'N'},
                           {"Cash", '$'},
                           {"Ok", 'L'},
                           {"Note", 'A', 60}});
    for (int i = 1; i <= rows; ++i)
        w.addRow({Value::integer(i), Value::text("Customer O'Neil " + std::to_string(i)),
                  Value::dateTime(DateTime::fromCivil(1950 + i % 60, 1 + i % 12, 1 + i % 28)),
                  Value::integer(i % 30000), Value::real(i * 1.25), Value::currency(i * 137), Value::boolean(i % 2),
                  Value::text("note \\ with quote ' and ü, number " + std::to_string(i))});
    w.finish();
}

void FillLogin(test::FakeHost &host, const test::TestServer &server, int port, const std::string &folder,
               const std::string &db)
{
    host.fields[1] = folder;
    host.fields[2] = "127.0.0.1";
    host.fields[3] = std::to_string(port);
    host.fields[4] = server.user();
    host.fields[5] = server.password();
    host.fields[6] = db;
}

double RunMariadb(const test::TestServer &server, int port, const std::string &db, const std::string &folder,
                  const std::string &before, const std::string &options)
{
    const std::string cnf = folder + "/client.cnf";
    {
        std::ofstream f(cnf);
        f << "[client]\nhost=127.0.0.1\nport=" << port << "\nuser=" << server.user() << "\npassword=\""
          << server.password() << "\"\ndatabase=" << db << "\ndefault-character-set=utf8mb4\n";
    }
    const std::string line = before + "mariadb --defaults-file='" + cnf + "' " + options;
    const auto start = Clock::now();
    const int status = std::system(line.c_str());
    const double s = Seconds(start);
    if (status != 0)
        std::fprintf(stderr, "client failed (status %d): %s\n", status, line.c_str());
    return s;
}

} // namespace tabulon::bench
