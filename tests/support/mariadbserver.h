#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabulon::test {

// A real MariaDB server on 127.0.0.1 for tests. Under ctest it is the one
// the MariaDB fixture started for the whole run (TABULON_TEST_MARIADB_DIR);
// a test binary run by hand starts its own and stops it at exit. A missing
// or broken server is a failure (std::runtime_error), never a skip.
class TestServer {
public:
    using Row = std::vector<std::optional<std::string>>; // nullopt: SQL NULL

    static TestServer &shared();
    // A server of its own, e.g. {"--max-allowed-packet=1M"} or
    // {"--default-storage-engine=MyISAM"}; stopped when destroyed.
    static std::unique_ptr<TestServer> startPrivate(std::vector<std::string> extraServerArgs = {});

    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    int port() const { return m_port; }
    // The application account: all privileges, a password with an
    // apostrophe, a blank and a semicolon.
    const std::string &user() const { return m_user; }
    const std::string &password() const { return m_password; }
    const std::filesystem::path &dir() const { return m_dir; }

    // A fresh, uniquely named utf8mb4 database; returns its name.
    std::string createDatabase(const std::string &prefix = "t");
    // The program's own connection string for the application account.
    std::string connectionString(const std::string &database) const;

    // As root over the socket, blocking. database may be empty.
    std::vector<Row> query(const std::string &database, const std::string &sql) const;
    void exec(const std::string &database, const std::string &sql) const;
    // The first column of the first row; nullopt for NULL or no row.
    std::optional<std::string> scalar(const std::string &database, const std::string &sql) const;

    // Ends sessions from the server side, as a lost connection.
    void killConnection(unsigned long threadId) const;
    // Every session whose current database is this one; returns how many.
    int killConnectionsTo(const std::string &database) const;

private:
    TestServer(std::filesystem::path dir, bool owned);
    static std::unique_ptr<TestServer> attach(const std::filesystem::path &dir, bool owned);

    std::filesystem::path m_dir;
    bool m_owned;
    int m_port = 0;
    std::string m_user;
    std::string m_password;
};

} // namespace tabulon::test
