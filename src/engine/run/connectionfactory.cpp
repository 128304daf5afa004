#include "engine/run/connectionfactory.h"

#include "common/text.h"
#include "source/paradox/paradoxconnection.h"
#include "target/mysqlconnection.h"

namespace tabulon {

std::unique_ptr<Connection> OpenConnection(const std::string &connectionString, const ConnectionOptions &options)
{
    // Leading blanks are tolerated, as a hand-edited string may have them.
    const size_t start = connectionString.find_first_not_of(" \t");
    const std::string body = start == std::string::npos ? std::string() : connectionString.substr(start);
    if (StartsWithNoCase(body, "Provider="))
        return OpenParadoxConnection(connectionString, options);
    if (StartsWithNoCase(body, "DRIVER="))
        return OpenMySqlConnection(connectionString, options);
    throw DbError("Cannot open the connection: the connection string must start with \"Provider=\" "
                  "(a Paradox folder) or \"DRIVER=\" (a MySQL server), but it starts with \"" +
                  body.substr(0, 20) + "\".");
}

} // namespace tabulon
