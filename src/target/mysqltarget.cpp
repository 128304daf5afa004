#include "target/mysqltarget.h"

#include "common/eventpump.h"
#include "target/mysqlconnection.h"
#include "target/odbcstring.h"

namespace tabulon {

std::string MySqlConnectionString(const std::string &server, const std::string &user,
                                  const std::string &database, const std::string &password,
                                  const std::string &port)
{
    return "DRIVER={MySQL ODBC 5.1 Driver};SERVER=" + OdbcValue(server) + ";USER=" + OdbcValue(user)
        + ";DATABASE=" + OdbcValue(database) + ";PASSWORD=" + OdbcValue(password) + ";PORT=" + OdbcValue(port)
        + ";";
}

std::string MySqlConnectionString(const MainHost &host)
{
    return MySqlConnectionString(host.fieldText(2), host.fieldText(4), host.fieldText(6), host.fieldText(5),
                                 host.fieldText(3));
}

bool CanConnectMySQL(const MainHost &host, std::string *reason)
{
    try {
        auto connection = OpenMySqlConnection(MySqlConnectionString(host), ConnectionOptions{});
        connection->close();
        return true;
    } catch (const Error &e) {
        if (reason)
            *reason = e.what();
        return false;
    }
}

void ListMySQLTables(const MainHost &host, std::vector<std::string> &list)
{
    ConnectionOptions options;
    options.cursorLocation = 3;
    auto connection = OpenMySqlConnection(MySqlConnectionString(host), options);
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
