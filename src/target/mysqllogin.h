#pragma once

#include "data/connection.h"

#include <string>

namespace tabulon {

// Where and as whom a MySQL connection is opened, and how: the one value
// every connection to the target is made from (the run, Test Connection,
// the table list, the command line).
struct MySqlLogin {
    std::string server;
    std::string port; // empty: 3306
    std::string user;
    std::string password;
    std::string database;
    // The protocol's compression: 0 never, 1 always, -1 only for a server
    // that is not reached over a loopback address.
    int compression = -1;
    // DISABLED, PREFERRED (encrypt whenever the server offers it), REQUIRED,
    // VERIFY_CA, VERIFY_IDENTITY; the files for the last two and a client
    // certificate.
    std::string sslMode = "PREFERRED";
    std::string sslCa;
    std::string sslCert;
    std::string sslKey;

    // "DRIVER={MySQL ODBC 5.1 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;PORT=..;"
    std::string connectionString() const;
    // "HOST:PORT" as the user knows it, for messages.
    std::string serverAndPort() const;
    // `options` with this login's compression.
    ConnectionOptions with(ConnectionOptions options) const;
};

} // namespace tabulon
