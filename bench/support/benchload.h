#pragma once

#include <chrono>
#include <string>

namespace tabulon::test {
class FakeHost;
class TestServer;
} // namespace tabulon::test

// What the loading benches share: their table, the main window's login for
// a direct run, and the mariadb client.
namespace tabulon::bench {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since);

// A generated 8-column table: integers, text with a quote, a backslash and
// an umlaut, dates, numbers, money and logicals.
void WriteBenchTable(const std::string &path, int rows);

// The main window's fields for a direct run of `folder` into `db`.
void FillLogin(test::FakeHost &host, const test::TestServer &server, int port, const std::string &folder,
               const std::string &db);

// Runs `before` + "mariadb" + `options` through the shell, the login in a
// defaults file in `folder` (the password holds shell characters); returns
// its seconds, and says on standard error when it fails.
double RunMariadb(const test::TestServer &server, int port, const std::string &db, const std::string &folder,
                  const std::string &before, const std::string &options = {});

} // namespace tabulon::bench
