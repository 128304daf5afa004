#pragma once

#include "common/messagehost.h"
#include "data/connection.h"
#include "target/mysqlconnection.h"
#include "target/mysqllogin.h"

#include <memory>

#include <string>
#include <vector>

namespace tabulon {

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;"
// A value holding ";", "{" or "}" is wrapped in braces ("}" doubled).
std::string MySqlConnectionString(const std::string &server, const std::string &user, const std::string &database,
                                  const std::string &password, const std::string &port);

// Opens a session for the login with its compression. Throws DbError.
std::unique_ptr<MySqlConnection> OpenMySqlConnection(const MySqlLogin &login, const ConnectionOptions &options);

// Shows nothing; `reason`, when given, receives the server's or driver's
// message on failure.
bool CanConnectMySQL(const MySqlLogin &login, std::string *reason = nullptr);
// Tests the login as CanConnectMySQL does. A database the server does not
// have is offered to be created (utf8mb4); on Yes it is created and the
// login tested again. On failure `problem` receives the server's message
// and, on a line of its own, what fits that failure (ConnectionAdvice).
// `encryption`, when given, receives "encrypted, TLSv1.3" or "not encrypted".
bool TestMySqlLogin(MessageHost &host, const MySqlLogin &login, std::string &problem,
                    int timeoutSeconds = ConnectionOptions{}.connectionTimeout, std::string *encryption = nullptr);
// One line for a failed connection that fits its cause: a wrong password,
// nothing listening, no answer within the time-out; empty when there is
// nothing particular to say.
std::string ConnectionAdvice(const MySqlLogin &login, int code, double secondsWaited, int timeoutSeconds);
// Creates the login's database with utf8mb4, over a connection without a
// database. Throws on failure.
void CreateMySqlDatabase(const MySqlLogin &login);

// Throws on failure. The list receives the tables in the server's order.
void ListMySQLTables(const MySqlLogin &login, std::vector<std::string> &list);

} // namespace tabulon
