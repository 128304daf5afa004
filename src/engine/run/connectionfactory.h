#pragma once

#include "data/connection.h"

#include <memory>
#include <string>

namespace tabulon {

// Opens the connection a connection string names: "Provider=" the Paradox
// reader, "DRIVER=" the MySQL client. Throws DbError.
std::unique_ptr<Connection> OpenConnection(const std::string &connectionString, const ConnectionOptions &options = {});

} // namespace tabulon
