#include "mariadbserver.h"

#include "target/mysqltarget.h"

#include <mysql.h>

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tabulon::test {
namespace {

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string shellQuoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Runs the server script; throws with its output when it fails.
void runScript(const std::string &command, const std::filesystem::path &dir, const std::vector<std::string> &extra = {})
{
    std::string line = shellQuoted(TABULON_TEST_MARIADB_SCRIPT) + " " + command + " " + shellQuoted(dir.string());
    for (const auto &a : extra)
        line += " " + shellQuoted(a);
    line += " 2>&1";
    FILE *p = ::popen(line.c_str(), "r");
    if (!p)
        throw std::runtime_error("cannot run " + line);
    std::string output;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        output.append(buf, n);
    const int rc = ::pclose(p);
    if (rc != 0)
        throw std::runtime_error("The test MariaDB server could not " + command + " (" + line + "): " + output);
}

struct RootSession {
    MYSQL *m = nullptr;
    RootSession(const std::filesystem::path &dir, const std::string &database)
    {
        m = mysql_init(nullptr);
        mysql_options(m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        const std::string sock = (dir / "sock").string();
        if (!mysql_real_connect(m, "localhost", "root", "", database.empty() ? nullptr : database.c_str(), 0,
                                sock.c_str(), 0)) {
            const std::string e = mysql_error(m);
            mysql_close(m);
            throw std::runtime_error("root connection to the test MariaDB server failed: " + e);
        }
    }
    ~RootSession() { mysql_close(m); }
    [[noreturn]] void fail(const std::string &sql) const
    {
        throw std::runtime_error("test MariaDB server refused \"" + sql + "\": " + mysql_error(m) + " (" +
                                 std::to_string(mysql_errno(m)) + ")");
    }
};

std::unique_ptr<TestServer> g_ownShared;

} // namespace

TestServer::TestServer(std::filesystem::path dir, bool owned) : m_dir(std::move(dir)), m_owned(owned)
{
    const std::string port = readFile(m_dir / "port");
    m_port = std::atoi(port.c_str());
    m_user = readFile(m_dir / "user");
    m_password = readFile(m_dir / "password");
    if (m_port <= 0 || m_user.empty())
        throw std::runtime_error("no running test MariaDB server in " + m_dir.string() +
                                 " (the mariadb_start fixture failed? see err.log there)");
}

std::unique_ptr<TestServer> TestServer::attach(const std::filesystem::path &dir, bool owned)
{
    return std::unique_ptr<TestServer>(new TestServer(dir, owned));
}

TestServer::~TestServer()
{
    if (!m_owned)
        return;
    try {
        runScript("stop", m_dir);
    } catch (...) {
    }
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

std::unique_ptr<TestServer> TestServer::startPrivate(std::vector<std::string> extraServerArgs)
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "tabulon-mariadb-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot create a temporary folder for the test MariaDB server");
    const std::filesystem::path dir = tmpl;
    try {
        runScript("start", dir, extraServerArgs);
        return attach(dir, true);
    } catch (...) {
        try {
            runScript("stop", dir);
        } catch (...) {
        }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        throw;
    }
}

TestServer &TestServer::shared()
{
    static TestServer *server = [] {
        if (const char *dir = std::getenv("TABULON_TEST_MARIADB_DIR"); dir && *dir)
            g_ownShared = attach(dir, false);
        else
            g_ownShared = startPrivate();
        return g_ownShared.get();
    }();
    return *server;
}

std::string TestServer::createDatabase(const std::string &prefix)
{
    static std::atomic<int> counter{0};
    std::string name;
    for (char c : prefix)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    name += "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    exec({}, "CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci");
    return name;
}

std::string TestServer::connectionString(const std::string &database) const
{
    return MySqlConnectionString("127.0.0.1", m_user, database, m_password, std::to_string(m_port));
}

std::vector<TestServer::Row> TestServer::query(const std::string &database, const std::string &sql) const
{
    RootSession s(m_dir, database);
    if (mysql_real_query(s.m, sql.data(), sql.size()) != 0)
        s.fail(sql);
    std::vector<Row> rows;
    MYSQL_RES *res = mysql_store_result(s.m);
    if (!res) {
        if (mysql_field_count(s.m) > 0)
            s.fail(sql);
        return rows;
    }
    const unsigned n = mysql_num_fields(res);
    while (MYSQL_ROW r = mysql_fetch_row(res)) {
        const unsigned long *len = mysql_fetch_lengths(res);
        Row row;
        for (unsigned j = 0; j < n; ++j)
            row.push_back(r[j] ? std::optional<std::string>(std::string(r[j], len[j])) : std::nullopt);
        rows.push_back(std::move(row));
    }
    mysql_free_result(res);
    return rows;
}

void TestServer::exec(const std::string &database, const std::string &sql) const { query(database, sql); }

std::optional<std::string> TestServer::scalar(const std::string &database, const std::string &sql) const
{
    const auto rows = query(database, sql);
    if (rows.empty() || rows[0].empty())
        return std::nullopt;
    return rows[0][0];
}

void TestServer::killConnection(unsigned long threadId) const
{
    exec({}, "KILL CONNECTION " + std::to_string(threadId));
}

int TestServer::killConnectionsTo(const std::string &database) const
{
    std::string quoted;
    for (char c : database)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    const auto rows = query({}, "SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '" + quoted +
                                    "' AND ID <> CONNECTION_ID()");
    int killed = 0;
    for (const auto &r : rows) {
        try {
            killConnection(std::stoul(r[0].value()));
            ++killed;
        } catch (const std::runtime_error &e) {
            // A session that ended by itself since it was listed.
            if (std::string(e.what()).find("(1094)") == std::string::npos)
                throw;
        }
    }
    return killed;
}

} // namespace tabulon::test
