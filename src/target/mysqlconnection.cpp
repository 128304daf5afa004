#include "target/mysqlconnection.h"

#include "common/busyguard.h"
#include "common/error.h"
#include "common/eventpump.h"
#include "common/text.h"
#include "target/mysqlrecordset.h"
#include "target/odbcstring.h"
#include "target/pendingstatement.h"
#include "target/socketwait.h"
#include "target/stallwatch.h"

#include <mysql.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <functional>
#include <limits>

namespace tabulon {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWaitEvents = MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT;

// The server's own refusal, as Execute SQL shows it to be corrected.
std::string RefusalText(const std::string &message, unsigned e, const std::string &state)
{
    return "SQLException: " + message + " (MySQL error " + std::to_string(e) + ", SQLSTATE " + state + ")";
}

bool isClientError(unsigned e) { return (e >= 2000 && e <= 2999) || (e >= 5000 && e <= 5999); }

// Errors after which the session is gone, whatever state it was in.
bool isLostError(unsigned e)
{
    switch (e) {
    case 2006: // server has gone away
    case 2013: // lost connection during a query (also read/write timeouts)
    case 2055: // lost connection, extended
    case 5013: // network read failed
    case 5014: // network write failed
    case 1053: // server shutdown in progress
    case 1153: // packet bigger than max_allowed_packet: the server hangs up
    case 1927: // connection was killed
    case 4031: // disconnected for inactivity
        return true;
    default: return false;
    }
}

std::string valueOf(const std::map<std::string, std::string> &entries, std::initializer_list<const char *> keys)
{
    for (const char *k : keys) {
        const auto it = entries.find(k);
        if (it != entries.end())
            return it->second;
    }
    return {};
}

} // namespace

MySqlConnection::MySqlConnection() = default;

MySqlConnection::~MySqlConnection()
{
    // No event pumping here: a destructor may run while an exception
    // unwinds. A statement still out ends without waiting for the server.
    m_inFlight.reset();
    if (m_mysql)
        mysql_close(m_mysql);
    m_mysql = nullptr;
}

std::unique_ptr<MySqlConnection> MySqlConnection::open(const std::string &connectionString,
                                                       const ConnectionOptions &options)
{
    std::unique_ptr<MySqlConnection> c(new MySqlConnection());
    c->connect(connectionString, options);
    return c;
}

std::unique_ptr<MySqlConnection> OpenMySqlConnection(const std::string &connectionString,
                                                     const ConnectionOptions &options)
{
    return MySqlConnection::open(connectionString, options);
}

bool MySqlConnection::compresses(const std::string &host, int compression)
{
    if (compression >= 0)
        return compression == 1;
    // On this machine the link is never the limit: compressing would only
    // cost time on both ends.
    const std::string h = AsciiLower(Trimmed(host));
    if (h.empty() || h == "localhost" || h == "::1" || h == "[::1]" || h == "0:0:0:0:0:0:0:1" ||
        h.rfind("localhost.", 0) == 0)
        return false;
    const bool numeric = std::all_of(h.begin(), h.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
    return !(numeric && h.rfind("127.", 0) == 0);
}

bool MySqlConnection::isOpen() const { return m_mysql != nullptr; }

unsigned long MySqlConnection::threadId() const
{
    requireOpen();
    return mysql_thread_id(m_mysql);
}

template <class Start, class Cont> void MySqlConnection::run(Start start, Cont cont)
{
    requireIdle();
    FlagScope inCall(m_busy);
    int status = start();
    while (status != 0) {
        int ready = 0;
        try {
            ready = waitFor(status);
        } catch (const Aborted &) {
            abandon(cont, status);
        }
        status = cont(ready);
    }
}

int MySqlConnection::waitFor(int status)
{
    const auto fd = std::intptr_t(mysql_get_socket(m_mysql));
    auto deadline = Clock::time_point::max();
    if (status & MYSQL_WAIT_TIMEOUT)
        deadline = Clock::now() + std::chrono::milliseconds(mysql_get_timeout_value_ms(m_mysql));
    // Returns the connector's ready flags, or 0 while nothing happened.
    const auto check = [&](int timeoutMs) { return native::WaitOnSocket(fd, status, timeoutMs); };

    StallWatch stall(m_stallInterval, bool(m_onStall));
    for (;;) {
        if (stall.due()) {
            if (!askKeepWaiting(stall.waitedMs())) {
                // The connector finds the socket closed and fails the call.
                native::ShutDownSocket(fd);
                return status & kWaitEvents;
            }
            stall.askedAgain();
        }
        // The event loop turns by the same clock as between rows. A window
        // opened from an event handler runs its own event loop in there, for
        // as long as the user keeps it open: no waiting on the server, so it
        // does not count against the time-out.
        const auto turning = EventPump::yieldIfDue();
        if (deadline != Clock::time_point::max())
            deadline += turning;
        const auto now = Clock::now();
        int sliceMs = static_cast<int>(EventPump::untilDue().count());
        if (deadline != Clock::time_point::max()) {
            if (now >= deadline) {
                // The answer may have come in while we were not looking.
                const int ready = check(0);
                return ready ? ready : MYSQL_WAIT_TIMEOUT;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
            sliceMs = static_cast<int>(std::min<int64_t>(sliceMs, left));
        }
        sliceMs = static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(stall.cap(std::chrono::milliseconds(sliceMs))).count());
        const auto from = Clock::now();
        if (const int ready = check(sliceMs))
            return ready;
        stall.add(Clock::now() - from);
    }
}

void MySqlConnection::abandon(const std::function<int(int)> &cont, int status)
{
    // The application is quitting: end the pending call at once, without
    // waiting for the server and without turning the event loop again.
    const auto fd = std::intptr_t(mysql_get_socket(m_mysql));
    native::ShutDownSocket(fd);
    for (int i = 0; status != 0 && i < 100; ++i)
        status = cont((status & MYSQL_WAIT_TIMEOUT) ? MYSQL_WAIT_TIMEOUT : (status & kWaitEvents));
    m_lostReason = "the application was quitting";
    if (status == 0 && !m_closing)
        closeHard();
    else
        m_mysql = nullptr; // the connector is stuck mid-call; leaking it beats a crash
    throw Aborted();
}

void MySqlConnection::closeHard()
{
    if (!m_mysql)
        return;
    const auto fd = std::intptr_t(mysql_get_socket(m_mysql));
    native::ShutDownSocket(fd);
    mysql_close(m_mysql);
    m_mysql = nullptr;
}

void MySqlConnection::requireOpen() const
{
    if (m_mysql)
        return;
    if (m_lostReason.empty())
        throw DbError("The connection to the MySQL server is closed.", 2006, DbError::Kind::ConnectionLost);
    throw DbError("The connection to the MySQL server is closed: it was lost earlier (" + m_lostReason +
                      "). Check the server and connect again.",
                  2006, DbError::Kind::ConnectionLost);
}

void MySqlConnection::requireIdle() const
{
    if (m_busy)
        throw DbError("The MySQL connection is still busy with the previous statement.", 0, DbError::Kind::Misuse);
}

void MySqlConnection::readyForStatement()
{
    requireOpen();
    // A started statement's answer comes first; it may have lost the session.
    completePending();
    requireOpen();
}

void MySqlConnection::endStatement()
{
    if (mysql_field_count(m_mysql) > 0)
        mysql_free_result(storeResult());
    drainResults();
    if (m_closeRequested)
        close();
}

void MySqlConnection::fail()
{
    if (m_gaveUpAfter.count() > 0)
        giveUp();
    const unsigned e = mysql_errno(m_mysql);
    const std::string message = e ? mysql_error(m_mysql) : "the MySQL client library failed without saying why";
    const std::string state = mysql_sqlstate(m_mysql);
    const bool client = isClientError(e) || e == 0;
    // Once connected, any client-side failure leaves the protocol in an
    // unknown state: the session cannot be trusted any more.
    const bool established = m_maxAllowedPacket > 0;
    const bool lost = isLostError(e) || (established && client) || m_closeRequested;
    std::string text;
    if (client)
        text = message + " (MySQL client error " + std::to_string(e) + ")";
    else if (lost)
        text = message + " (MySQL error " + std::to_string(e) + ")";
    else
        text = RefusalText(message, e, state);
    if (m_closeRequested) {
        m_closeRequested = false;
        closeHard();
        requireOpen();
    }
    if (lost) {
        if (established)
            m_lostReason = text;
        closeHard();
    }
    // Before the session is made, a client error means there is none.
    throw DbError(text, static_cast<int>(e), lost || client ? DbError::Kind::ConnectionLost : DbError::Kind::Refused);
}

void MySqlConnection::connect(const std::string &connectionString, const ConnectionOptions &options)
{
    std::map<std::string, std::string> entries;
    try {
        entries = ParseOdbcString(connectionString);
    } catch (const Error &e) {
        throw DbError(e.what());
    }
    std::string host = Trimmed(valueOf(entries, {"SERVER", "HOST"}));
    // As the ODBC driver did, "localhost" is a TCP connection, not the socket.
    if (host.empty() || EqualsNoCase(host, "localhost"))
        host = "127.0.0.1";
    const std::string user = valueOf(entries, {"USER", "UID"});
    const std::string password = valueOf(entries, {"PASSWORD", "PWD"});
    const std::string database = valueOf(entries, {"DATABASE", "DB"});
    const std::string portText = Trimmed(valueOf(entries, {"PORT"}));
    unsigned port = 3306;
    if (!portText.empty()) {
        const auto r = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (r.ec != std::errc() || r.ptr != portText.data() + portText.size() || port == 0 || port > 65535)
            throw DbError("The MySQL port \"" + portText + "\" is not a number from 1 to 65535.");
    }

    const std::string sslMode = AsciiUpper(Trimmed(valueOf(entries, {"SSLMODE"})));
    const std::string sslCa = valueOf(entries, {"SSLCA"});
    const std::string sslCert = valueOf(entries, {"SSLCERT"});
    const std::string sslKey = valueOf(entries, {"SSLKEY"});
    const bool preferred = sslMode.empty() || sslMode == "PREFERRED";
    const bool verify = sslMode == "VERIFY_CA" || sslMode == "VERIFY_IDENTITY";
    if (!preferred && !verify && sslMode != "DISABLED" && sslMode != "REQUIRED")
        throw DbError("The encryption mode \"" + sslMode +
                      "\" is none of DISABLED, PREFERRED, REQUIRED, VERIFY_CA and VERIFY_IDENTITY.");
    if (verify && sslCa.empty())
        throw DbError("The encryption mode " + sslMode +
                      " checks the server's certificate against a CA file, but none is named. Name it "
                      "(setting SslCa, or --ssl-ca) or choose REQUIRED.");

    const auto attempt = [&](bool tls) {
        m_mysql = mysql_init(nullptr);
        if (!m_mysql)
            throw DbError("The MySQL client library could not start a connection (out of memory).", 2008);
        mysql_options(m_mysql, MYSQL_OPT_NONBLOCK, nullptr);
        mysql_options(m_mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
        const unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_options(m_mysql, MYSQL_OPT_PROTOCOL, &protocol);
        const my_bool reconnect = 0; // a silent reconnect would lose the session's settings
        mysql_options(m_mysql, MYSQL_OPT_RECONNECT, &reconnect);
        const unsigned long maxPacket = 1024UL * 1024UL * 1024UL;
        mysql_options(m_mysql, MYSQL_OPT_MAX_ALLOWED_PACKET, &maxPacket);
        // A link to a far server is often slow where SQL text shrinks about
        // five-fold.
        m_compressed = compresses(host, options.compression);
        if (m_compressed)
            mysql_options(m_mysql, MYSQL_OPT_COMPRESS, nullptr);
        // Rows go as LOAD DATA LOCAL from memory. Our handler serves only those
        // and refuses a server that asks for a file at any other time.
        const unsigned localInfile = 1;
        mysql_options(m_mysql, MYSQL_OPT_LOCAL_INFILE, &localInfile);
        PendingStatement::refuseLocalFiles(m_mysql);
        if (options.connectionTimeout > 0) {
            const unsigned t = static_cast<unsigned>(options.connectionTimeout);
            mysql_options(m_mysql, MYSQL_OPT_CONNECT_TIMEOUT, &t);
        }
        if (options.commandTimeout > 0) {
            const unsigned t = static_cast<unsigned>(options.commandTimeout);
            m_commandTimeout = std::chrono::seconds(t);
            mysql_options(m_mysql, MYSQL_OPT_READ_TIMEOUT, &t);
            mysql_options(m_mysql, MYSQL_OPT_WRITE_TIMEOUT, &t);
        }
        // MySQL 8's caching_sha2_password over an unencrypted link needs the
        // server's RSA key: this connector asks the server for it unasked
        // (it has no MYSQL_OPT_GET_SERVER_PUBLIC_KEY to set), and its plugin
        // ships in libmariadb3's plugin folder.
        if (tls) {
            const auto orNull = [](const std::string &file) { return file.empty() ? nullptr : file.c_str(); };
            // With this connector any TLS option makes encryption a must;
            // PREFERRED tries again without when the server has none.
            mysql_ssl_set(m_mysql, orNull(sslKey), orNull(sslCert), orNull(sslCa), nullptr, nullptr);
            // This connector checks the chain against a named CA file in the
            // handshake itself; the flag adds the host name check only.
            const my_bool check = sslMode == "VERIFY_IDENTITY" ? 1 : 0;
            mysql_options(m_mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &check);
        }
        MYSQL *ret = nullptr;
        const char *db = database.empty() ? nullptr : database.c_str();
        run(
            [&] {
                return mysql_real_connect_start(&ret, m_mysql, host.c_str(), user.c_str(), password.c_str(), db, port,
                                                nullptr, 0);
            },
            [&](int ready) { return mysql_real_connect_cont(&ret, m_mysql, ready); });
        return ret != nullptr;
    };
    if (!attempt(sslMode != "DISABLED")) {
        const unsigned e = mysql_errno(m_mysql);
        const std::string message = mysql_error(m_mysql);
        if (preferred && e == 2026 && ContainsNoCase(message, "not support")) {
            mysql_close(m_mysql);
            m_mysql = nullptr;
            if (!attempt(false))
                fail();
        } else if (e == 2026 || e == 2013) {
            failEncryption(sslMode.empty() ? "PREFERRED" : sslMode, sslCa, host, e, message);
        } else if (sslMode == "DISABLED" && (e == 1045 || ContainsNoCase(message, "insecure transport"))) {
            // A server that requires TLS says "access denied", which blames a
            // good password: an encrypted attempt tells the two apart.
            const std::string state = mysql_sqlstate(m_mysql);
            mysql_close(m_mysql);
            m_mysql = nullptr;
            bool encryptedWorks = false;
            try {
                encryptedWorks = attempt(true);
            } catch (const DbError &) {
            }
            if (encryptedWorks)
                failEncryption(sslMode, sslCa, host, e, message);
            if (m_mysql)
                mysql_close(m_mysql);
            m_mysql = nullptr;
            throw DbError(RefusalText(message, e, state), static_cast<int>(e));
        } else {
            fail();
        }
    }
    m_socket = std::intptr_t(mysql_get_socket(m_mysql));

    query("SELECT @@SESSION.sql_mode, @@max_allowed_packet");
    MYSQL_RES *res = storeResult();
    MYSQL_ROW row = res ? mysql_fetch_row(res) : nullptr;
    std::string sqlMode = row && row[0] ? row[0] : "";
    int64_t maxAllowed = 0;
    if (row && row[1])
        std::from_chars(row[1], row[1] + std::char_traits<char>::length(row[1]), maxAllowed);
    if (res)
        mysql_free_result(res);
    m_maxAllowedPacket = maxAllowed > 0 ? maxAllowed : 1024 * 1024;

    // The statements we generate escape backslashes; under this mode the
    // server would store them doubled.
    if (sqlMode.find("NO_BACKSLASH_ESCAPES") != std::string::npos) {
        std::string kept;
        size_t i = 0;
        while (i <= sqlMode.size()) {
            const size_t comma = std::min(sqlMode.find(',', i), sqlMode.size());
            const std::string mode = sqlMode.substr(i, comma - i);
            if (!mode.empty() && mode != "NO_BACKSLASH_ESCAPES")
                kept += (kept.empty() ? "" : ",") + mode;
            i = comma + 1;
        }
        execute("SET SESSION sql_mode = '" + kept + "'");
    }
}

void MySqlConnection::query(const std::string &sql)
{
    // The server answers a statement over its limit by hanging up.
    if (m_maxAllowedPacket > 0 && sql.size() > StatementTooLarge::largestFor(m_maxAllowedPacket))
        throw StatementTooLarge(sql.size(), m_maxAllowedPacket);
    int ret = 0;
    run([&] { return mysql_real_query_start(&ret, m_mysql, sql.data(), sql.size()); },
        [&](int ready) { return mysql_real_query_cont(&ret, m_mysql, ready); });
    if (ret != 0)
        fail();
    readStatus();
}

MYSQL_RES *MySqlConnection::storeResult()
{
    MYSQL_RES *res = nullptr;
    run([&] { return mysql_store_result_start(&res, m_mysql); },
        [&](int ready) { return mysql_store_result_cont(&res, m_mysql, ready); });
    if (!res && mysql_field_count(m_mysql) > 0)
        fail();
    return res;
}

void MySqlConnection::drainResults()
{
    while (mysql_more_results(m_mysql)) {
        int ret = 0;
        run([&] { return mysql_next_result_start(&ret, m_mysql); },
            [&](int ready) { return mysql_next_result_cont(&ret, m_mysql, ready); });
        if (ret > 0)
            fail();
        if (ret < 0)
            break;
        if (mysql_field_count(m_mysql) > 0)
            mysql_free_result(storeResult());
    }
}

void MySqlConnection::execute(const std::string &statement)
{
    readyForStatement();
    query(statement);
    endStatement();
}

std::unique_ptr<RecordSet> MySqlConnection::openRecordSet(const std::string &sql)
{
    readyForStatement();
    query(sql);
    MYSQL_RES *res = mysql_field_count(m_mysql) > 0 ? storeResult() : nullptr;
    auto set = std::make_unique<MySqlRecordSet>(res);
    drainResults();
    if (m_closeRequested)
        close();
    return set;
}

bool MySqlConnection::start(StatementText &text)
{
    readyForStatement();
    if (m_maxAllowedPacket > 0 && text.sql.size() > StatementTooLarge::largestFor(m_maxAllowedPacket))
        throw StatementTooLarge(text.sql.size(), m_maxAllowedPacket);
    requireIdle();
    // An answer kept for finish() would be lost.
    if (m_kept)
        throw DbError("The answer to the previous statement was not taken yet.", 0, DbError::Kind::Misuse);
    // The connector's blocking call, on a thread of its own: compressing a
    // large statement and streaming rows take no turn of the event loop,
    // and the caller goes on collecting while the server works. Nothing
    // here touches the session until the statement has ended.
    auto pending = std::make_unique<PendingStatement>(m_mysql, m_socket, std::move(text));
    if (!pending->started()) {
        // No thread to be had: the caller executes it as any statement.
        text = pending->release();
        return false;
    }
    m_inFlight = std::move(pending);
    return true;
}

void MySqlConnection::complete(StatementCount &count, StatementText &text)
{
    requireIdle();
    auto outcome = PendingStatement::Outcome::Answered;
    try {
        FlagScope inCall(m_busy);
        outcome = m_inFlight->wait(m_commandTimeout, m_stallInterval,
                                   [this](std::chrono::milliseconds waited) { return askKeepWaiting(waited); });
    } catch (const Aborted &) {
        m_inFlight.reset();
        m_lostReason = "the application was quitting";
        closeHard();
        throw;
    }
    const int ret = m_inFlight->result();
    text = m_inFlight->release();
    m_inFlight.reset();
    if (outcome == PendingStatement::Outcome::GivenUp)
        giveUp();
    if (outcome == PendingStatement::Outcome::TimedOut) {
        const std::string seconds = std::to_string(m_commandTimeout.count() / 1000);
        m_lostReason = "the server did not answer for " + seconds + " s";
        closeHard();
        throw DbError("The MySQL server did not answer for " + seconds +
                          " s, so the connection was given up (MySQL client error 2013).",
                      2013, DbError::Kind::ConnectionLost);
    }
    if (ret != 0)
        fail();
    readStatus();
    count.affected = mysql_affected_rows(m_mysql);
    count.warnings = mysql_warning_count(m_mysql);
    endStatement();
}

void MySqlConnection::completePending()
{
    // Called from an event handler while we wait: the caller's own call
    // finds the connection busy.
    if (!m_inFlight || m_busy)
        return;
    m_keptError = nullptr;
    try {
        complete(m_keptCount, m_keptText);
    } catch (const DbError &) {
        m_keptError = std::current_exception();
    }
    m_kept = true;
}

void MySqlConnection::finish(StatementCount &count, StatementText &text)
{
    if (m_inFlight) {
        complete(count, text);
        return;
    }
    if (!m_kept)
        throw DbError("No statement was started on the MySQL connection.", 0, DbError::Kind::Misuse);
    m_kept = false;
    text = std::move(m_keptText);
    if (m_keptError) {
        const std::exception_ptr error = m_keptError;
        m_keptError = nullptr;
        std::rethrow_exception(error);
    }
    count = m_keptCount;
}

bool MySqlConnection::autocommitting() const { return m_autocommitting; }

std::string MySqlConnection::encryption() const
{
    if (!m_mysql || !mysql_get_ssl_cipher(m_mysql))
        return "not encrypted";
    const char *version = nullptr;
    if (mariadb_get_infov(m_mysql, MARIADB_CONNECTION_TLS_VERSION, &version) || !version)
        return "encrypted";
    return std::string("encrypted, ") + version;
}

void MySqlConnection::failEncryption(const std::string &mode, const std::string &ca, const std::string &host,
                                     unsigned code, const std::string &message)
{
    std::string text;
    if (mode == "DISABLED") {
        text = "The MySQL server requires an encrypted connection, but encryption is turned off (mode DISABLED). "
               "Set the encryption mode to PREFERRED or REQUIRED (setting SslMode, or --ssl-mode).";
    } else if (ContainsNoCase(message, "not support")) {
        text = "The MySQL server offers no encrypted connection, but the encryption mode " + mode +
               " requires one. Ask the server's administrator for TLS, or choose PREFERRED.";
    } else {
        // The TLS library's words name the check that failed.
        std::string check = "the server's certificate could not be verified";
        if (ContainsNoCase(message, "expired"))
            check = "the server's certificate has expired";
        else if (ContainsNoCase(message, "hostname") || ContainsNoCase(message, "host name") ||
                 ContainsNoCase(message, "mismatch"))
            check = "the server's certificate is not for the host " + host;
        else if (ContainsNoCase(message, "unknown ca") || ContainsNoCase(message, "issuer") ||
                 ContainsNoCase(message, "self signed") || ContainsNoCase(message, "self-signed") ||
                 ContainsNoCase(message, "verify failed"))
            check = "the server's certificate is not signed by the CA" + (ca.empty() ? std::string() : " in " + ca);
        // Only the host name is checked after the handshake.
        else if (mode == "VERIFY_IDENTITY" && ContainsNoCase(message, "validation of ssl server certificate"))
            check = "the server's certificate is not for the host " + host;
        const bool named = ca.empty() || check.find(ca) != std::string::npos;
        text = "The encrypted connection to the MySQL server failed: " + check + " (mode " + mode +
               (named ? "" : ", CA file " + ca) + "). The connector said: " + message + " (MySQL client error " +
               std::to_string(code) + ")";
    }
    mysql_close(m_mysql);
    m_mysql = nullptr;
    throw DbError(text, static_cast<int>(code), DbError::Kind::ConnectionLost);
}

bool MySqlConnection::askKeepWaiting(std::chrono::milliseconds waited)
{
    if (!m_onStall || m_onStall(std::chrono::round<std::chrono::seconds>(waited)))
        return true;
    m_gaveUpAfter = std::chrono::round<std::chrono::seconds>(waited);
    return false;
}

void MySqlConnection::giveUp()
{
    const std::string seconds = std::to_string(m_gaveUpAfter.count());
    m_gaveUpAfter = {};
    m_lostReason = "the server did not answer for " + seconds + " s";
    closeHard();
    throw DbError("The MySQL server did not answer for " + seconds +
                      " s, and waiting was given up; the connection is closed. Check the server, then "
                      "start again.",
                  2013, DbError::Kind::ConnectionLost);
}

void MySqlConnection::readStatus()
{
    unsigned int status = 0;
    m_autocommitting = !mariadb_get_infov(m_mysql, MARIADB_CONNECTION_SERVER_STATUS, &status) &&
                       (status & SERVER_STATUS_AUTOCOMMIT) && !(status & SERVER_STATUS_IN_TRANS);
}

void MySqlConnection::close()
{
    if (!m_mysql)
        return;
    if (m_busy) {
        // Called from an event handler while we wait: make the pending call
        // fail at once; it closes the session when it returns.
        m_closeRequested = true;
        const auto fd = std::intptr_t(mysql_get_socket(m_mysql));
        native::ShutDownSocket(fd);
        return;
    }
    completePending();
    if (!m_mysql)
        return;
    m_closeRequested = false;
    FlagScope closing(m_closing);
    run([&] { return mysql_close_start(m_mysql); }, [&](int ready) { return mysql_close_cont(m_mysql, ready); });
    m_mysql = nullptr;
}

} // namespace tabulon
