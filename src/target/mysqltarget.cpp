#include "target/mysqltarget.h"

#include "common/eventpump.h"
#include "common/text.h"
#include "target/mysqlconnection.h"
#include "target/odbcstring.h"

#include <chrono>

namespace tabulon {

std::string MySqlConnectionString(const std::string &server, const std::string &user, const std::string &database,
                                  const std::string &password, const std::string &port)
{
    return "DRIVER={MySQL ODBC 5.1 Driver};SERVER=" + OdbcValue(server) + ";USER=" + OdbcValue(user) +
           ";DATABASE=" + OdbcValue(database) + ";PASSWORD=" + OdbcValue(password) + ";PORT=" + OdbcValue(port) + ";";
}

std::string MySqlLogin::connectionString() const
{
    std::string text = MySqlConnectionString(server, user, database, password, port);
    // Only what differs from the default: the string stays the one it was.
    if (!EqualsNoCase(Trimmed(sslMode), "PREFERRED") && !Trimmed(sslMode).empty())
        text += "SSLMODE=" + OdbcValue(sslMode) + ";";
    if (!sslCa.empty())
        text += "SSLCA=" + OdbcValue(sslCa) + ";";
    if (!sslCert.empty())
        text += "SSLCERT=" + OdbcValue(sslCert) + ";";
    if (!sslKey.empty())
        text += "SSLKEY=" + OdbcValue(sslKey) + ";";
    return text;
}

std::string MySqlLogin::serverAndPort() const
{
    const std::string s = Trimmed(server);
    const std::string p = Trimmed(port);
    return (s.empty() ? "localhost" : s) + ":" + (p.empty() ? "3306" : p);
}

ConnectionOptions MySqlLogin::with(ConnectionOptions options) const
{
    options.compression = compression;
    return options;
}

std::unique_ptr<MySqlConnection> OpenMySqlConnection(const MySqlLogin &login, const ConnectionOptions &options)
{
    return OpenMySqlConnection(login.connectionString(), login.with(options));
}

bool CanConnectMySQL(const MySqlLogin &login, std::string *reason)
{
    try {
        auto connection = OpenMySqlConnection(login, ConnectionOptions{});
        connection->close();
        return true;
    } catch (const Error &e) {
        if (reason)
            *reason = e.what();
        return false;
    }
}

std::string ConnectionAdvice(const MySqlLogin &login, int code, double secondsWaited, int timeoutSeconds)
{
    // The connector's own words for a time-out vary (a lost handshake, a
    // connect that never completed); the time spent does not.
    const bool unreached = code == 2002 || code == 2003 || code == 2013;
    if (unreached && timeoutSeconds > 0 && secondsWaited >= timeoutSeconds)
        return "No answer came from " + login.serverAndPort() + " within " + std::to_string(timeoutSeconds) +
               (timeoutSeconds == 1 ? " second." : " seconds.");
    switch (code) {
    case 1045: return "Check the user name and password.";
    case 2002:
    case 2003: return "Nothing answers at " + login.serverAndPort() + ". Is the server running, and is the port right?";
    default: return {};
    }
}

void CreateMySqlDatabase(const MySqlLogin &login)
{
    std::string name;
    for (char c : login.database) {
        name.push_back(c);
        if (c == '`')
            name.push_back('`');
    }
    MySqlLogin server = login;
    server.database.clear();
    auto connection = OpenMySqlConnection(server, ConnectionOptions{});
    connection->execute("CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4");
    connection->close();
}

bool TestMySqlLogin(MessageHost &host, const MySqlLogin &login, std::string &problem, int timeoutSeconds,
                    std::string *encryption)
{
    ConnectionOptions options;
    options.connectionTimeout = timeoutSeconds;
    // Returns the server's error code, 0 on success.
    auto attempt = [&]() -> int {
        const auto started = std::chrono::steady_clock::now();
        try {
            auto connection = OpenMySqlConnection(login, options);
            if (encryption)
                *encryption = connection->encryption();
            connection->close();
            return 0;
        } catch (const DbError &e) {
            problem = e.what();
            const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            if (const std::string advice = ConnectionAdvice(login, e.code(), waited, timeoutSeconds); !advice.empty())
                problem += "\r\n" + advice;
            return e.code() ? e.code() : -1;
        } catch (const Error &e) {
            problem = e.what();
            return -1;
        }
    };
    const int code = attempt();
    if (code != 1049)
        return code == 0;
    const std::string &database = login.database;
    if (!host.askYesNo("The database " + database + " does not exist on the server. Create it (utf8mb4)?"))
        return false;
    try {
        CreateMySqlDatabase(login);
    } catch (const Error &e) {
        problem += "\r\nThe database " + database + " could not be created: " + e.what();
        return false;
    }
    return attempt() == 0;
}

void ListMySQLTables(const MySqlLogin &login, std::vector<std::string> &list)
{
    ConnectionOptions options;
    options.cursorLocation = 3;
    auto connection = OpenMySqlConnection(login, options);
    auto tables = connection->openRecordSet("SHOW TABLES;");
    list.clear();
    for (; !tables->eof(); tables->moveNext()) {
        EventPump::yield();
        list.push_back(tables->value(0).toText());
    }
    tables->close();
    connection->close();
}

} // namespace tabulon
