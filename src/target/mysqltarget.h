#pragma once

#include "common/mainhost.h"

#include <string>
#include <vector>

namespace tabulon {

// "DRIVER={MySQL ODBC 5.1 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;"
// A value holding ";", "{" or "}" is wrapped in braces ("}" doubled).
std::string MySqlConnectionString(const std::string &server, const std::string &user,
                                  const std::string &database, const std::string &password,
                                  const std::string &port);
// Built from Text2 server, Text4 user, Text6 database, Text5 password, Text3 port.
std::string MySqlConnectionString(const MainHost &host);

// Shows nothing; `reason`, when given, receives the server's or driver's
// message on failure.
bool CanConnectMySQL(const MainHost &host, std::string *reason = nullptr);
// Throws on failure. The list receives the tables in the server's order.
void ListMySQLTables(const MainHost &host, std::vector<std::string> &list);

} // namespace tabulon
