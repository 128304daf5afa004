#include "target/mysqlconnection.h"

#include "common/error.h"
#include "common/eventpump.h"
#include "target/mysqltarget.h"

#include "support/loopbacksocket.h"
#include "support/mariadbserver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>


namespace tabulon {
namespace {

using test::LoopbackSocket;
using test::TestServer;

std::string hasNo(const std::string &text, const std::string &word)
{
    return text.find(word) == std::string::npos ? std::string() : text;
}

// A loopback port with nothing listening on it.
int closedPort() { return LoopbackSocket(false).port; }

// A loopback port that accepts connections and then never says a word.
struct SilentListener : LoopbackSocket {
    SilentListener() : LoopbackSocket(true) {}
};

// The application whose event loop the pump turns; `ticks` counts 5 ms
// timer turns once countTicks() started them.
struct EventLoopApp {
    int argc = 1;
    char name[12] = "test_target";
    char *argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    int ticks = 0;
    QTimer timer;
    void countTicks()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start(5);
    }
};

DbError openFailure(const std::string &connectionString, ConnectionOptions options = {})
{
    try {
        OpenMySqlConnection(connectionString, options);
    } catch (const DbError &e) {
        return e;
    }
    ADD_FAILURE() << "opening succeeded: " << connectionString;
    return DbError("");
}

DbError executeFailure(MySqlConnection &c, const std::string &sql)
{
    try {
        c.execute(sql);
    } catch (const DbError &e) {
        return e;
    }
    ADD_FAILURE() << "statement succeeded: " << sql;
    return DbError("");
}

// The text a generated literal carries: quotes doubled, backslash escapes.
std::string literal(const std::string &s)
{
    std::string out = "'";
    for (char c : s) {
        switch (c) {
        case '\'': out += "''"; break;
        case '\\': out += "\\\\"; break;
        case '\0': out += "\\0"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out + "'";
}

class MySqlConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EventPump::reset();
        db = server().createDatabase("conn");
    }
    void TearDown() override { EventPump::reset(); }
    static TestServer &server() { return TestServer::shared(); }
    std::unique_ptr<MySqlConnection> open(ConnectionOptions options = {})
    {
        return OpenMySqlConnection(server().connectionString(db), options);
    }
    // The test server's account, at another host, port, database or password.
    std::string at(const std::string &host, const std::string &port, const std::string &database = {},
                   const std::string &password = server().password())
    {
        return MySqlConnectionString(host, server().user(), database.empty() ? db : database, password, port);
    }
    std::string at(const std::string &host, int port) { return at(host, std::to_string(port)); }

    std::string db;
};

TEST_F(MySqlConnectionTest, RefusedLoginsAndUnknownDatabasesAreServerErrors)
{
    const std::string port = std::to_string(server().port());
    DbError wrong = openFailure(at("127.0.0.1", port, db, "wrong"));
    EXPECT_EQ(wrong.code(), 1045);
    EXPECT_NE(std::string(wrong.what()).find("Access denied for user 'tabulon'@'127.0.0.1'"), std::string::npos)
        << wrong.what();
    EXPECT_FALSE(wrong.connectionLost());

    DbError unknown = openFailure(at("127.0.0.1", port, "nosuchdb"));
    EXPECT_EQ(unknown.code(), 1049);
    EXPECT_STREQ(unknown.what(), "SQLException: Unknown database 'nosuchdb' (MySQL error 1049, SQLSTATE 42000)");
}

TEST_F(MySqlConnectionTest, NothingListeningIsAClientErrorWithoutSqlException)
{
    DbError e = openFailure(at("127.0.0.1", closedPort()));
    EXPECT_EQ(e.code(), 2002);
    const std::string text = e.what();
    EXPECT_NE(text.find("Can't connect to server on '127.0.0.1'"), std::string::npos) << text;
    EXPECT_NE(text.find("(MySQL client error 2002)"), std::string::npos) << text;
    EXPECT_EQ(hasNo(text, "SQLException"), "");

    DbError port = openFailure(at("127.0.0.1", "33o6"));
    EXPECT_NE(std::string(port.what()).find("\"33o6\""), std::string::npos) << port.what();
}

TEST_F(MySqlConnectionTest, LocalhostMeansTcpAndTheSessionIsPrepared)
{
    // The account exists only for 127.0.0.1, so this proves TCP, not the socket.
    auto c = OpenMySqlConnection(at("localhost", server().port()), {});
    auto rs = c->openRecordSet("SELECT @@character_set_client, @@max_allowed_packet, CURRENT_USER()");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).str(), "utf8mb4");
    EXPECT_EQ(rs->value(1).integer(), c->maxAllowedPacket());
    EXPECT_EQ(rs->value(2).str(), "tabulon@127.0.0.1");
}

// Compressed only when asked or when the server is not on this machine; a
// compressed session carries a statement of several packets intact.
TEST_F(MySqlConnectionTest, CompressionForFarServersOrWhenAsked)
{
    EXPECT_FALSE(MySqlConnection::compresses("127.0.0.1", -1));
    EXPECT_FALSE(MySqlConnection::compresses("127.1.2.3", -1));
    EXPECT_FALSE(MySqlConnection::compresses(" LocalHost ", -1));
    EXPECT_FALSE(MySqlConnection::compresses("::1", -1));
    EXPECT_TRUE(MySqlConnection::compresses("db.example.com", -1));
    EXPECT_TRUE(MySqlConnection::compresses("127.example.com", -1));
    EXPECT_TRUE(MySqlConnection::compresses("10.0.0.5", -1));
    EXPECT_FALSE(MySqlConnection::compresses("db.example.com", 0));
    EXPECT_TRUE(MySqlConnection::compresses("127.0.0.1", 1));

    auto status = [](MySqlConnection &c) {
        auto rs = c.openRecordSet("SHOW SESSION STATUS LIKE 'Compression'");
        return rs->eof() ? std::string() : rs->value(1).str();
    };
    auto plain = open();
    EXPECT_FALSE(plain->compressed());
    EXPECT_EQ(status(*plain), "OFF");

    ConnectionOptions options;
    options.compression = 1;
    auto c = open(options);
    EXPECT_TRUE(c->compressed());
    EXPECT_EQ(status(*c), "ON");
    c->execute("CREATE TABLE t (id INT, v LONGTEXT)");
    std::string text;
    for (int i = 0; text.size() < (size_t(3) << 20); ++i)
        text += std::to_string(int64_t(i) * 7919 % 100003) + ",";
    c->execute("INSERT INTO t VALUES (1, '" + text + "'), (2, 'x')");
    EXPECT_EQ(server().scalar(db, "SELECT MD5(v) FROM t WHERE id = 1"),
              server().scalar(db, "SELECT MD5('" + text + "')"));
    auto rs = c->openRecordSet("SELECT v FROM t ORDER BY id");
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).str(), text);
}

TEST_F(MySqlConnectionTest, RefusedStatementsCarryNumberAndSqlState)
{
    auto c = open();
    DbError syntax = executeFailure(*c, "SELEC 1");
    EXPECT_STREQ(syntax.what(),
                 "SQLException: You have an error in your SQL syntax; check the manual that corresponds to your "
                 "MariaDB server version for the right syntax to use near 'SELEC 1' at line 1 (MySQL error 1064, "
                 "SQLSTATE 42000)");
    EXPECT_EQ(syntax.code(), 1064);
    EXPECT_FALSE(syntax.connectionLost());

    c->execute("CREATE TABLE t (id INT PRIMARY KEY)");
    c->execute("INSERT INTO t VALUES (1)");
    DbError dup = executeFailure(*c, "INSERT INTO t VALUES (1)");
    EXPECT_STREQ(dup.what(), "SQLException: Duplicate entry '1' for key 'PRIMARY' (MySQL error 1062, SQLSTATE 23000)");
    // Two statements in one text are refused: multi-statements stay off.
    EXPECT_EQ(executeFailure(*c, "INSERT INTO t VALUES (2); INSERT INTO t VALUES (3)").code(), 1064);

    // A refused statement leaves the session usable.
    c->execute("INSERT INTO t VALUES (4)");
    EXPECT_EQ(server().scalar(db, "SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "1,4");
}

TEST_F(MySqlConnectionTest, LostAndClosedConnectionsSayNoSqlException)
{
    auto c = open();
    server().killConnection(c->threadId());
    DbError lost = executeFailure(*c, "SELECT 1");
    EXPECT_TRUE(lost.connectionLost()) << lost.what();
    EXPECT_EQ(hasNo(lost.what(), "SQLException"), "");
    EXPECT_FALSE(c->isOpen());

    DbError again = executeFailure(*c, "SELECT 1");
    EXPECT_TRUE(again.connectionLost());
    EXPECT_NE(std::string(again.what()).find("closed"), std::string::npos) << again.what();

    auto d = open();
    d->close();
    d->close();
    DbError closed = executeFailure(*d, "SELECT 1");
    EXPECT_TRUE(closed.connectionLost());
    EXPECT_STREQ(closed.what(), "The connection to the MySQL server is closed.");
    EXPECT_THROW(d->openRecordSet("SHOW TABLES"), DbError);
}

TEST_F(MySqlConnectionTest, CommandTimeoutEndsTheSession)
{
    ConnectionOptions options;
    options.commandTimeout = 1;
    auto c = open(options);
    DbError e = executeFailure(*c, "SELECT SLEEP(4)");
    EXPECT_EQ(e.code(), 2013) << e.what();
    EXPECT_TRUE(e.connectionLost());
    EXPECT_EQ(hasNo(e.what(), "SQLException"), "");
}

TEST_F(MySqlConnectionTest, TextSurvivesTheRoundTrip)
{
    auto c = open();
    c->execute("CREATE TABLE t (id INT PRIMARY KEY, s LONGTEXT)");
    const std::vector<std::string> texts = {
        "O'Brien's \"quote\"",
        "C:\\path\\to\\",
        std::string("nul\0inside\0", 11),
        "line\r\nbreak\nand\rcr",
        "emoji \xF0\x9F\x98\x80 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
        "\xE2\x82\xAC\xE2\x80\x9A\xC6\x92\xE2\x80\x9E\xE2\x80\xA6 \xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F "
        "\xC5\x92\xC5\xA1\xE2\x84\xA2",
        "\\'; DROP TABLE t; --",
        "",
    };
    for (size_t i = 0; i < texts.size(); ++i)
        c->execute("INSERT INTO t VALUES (" + std::to_string(i) + ", " + literal(texts[i]) + ")");
    // A raw NUL inside the statement is sent as it is, not cut off.
    c->execute(std::string("INSERT INTO t VALUES (100, 'raw\0nul')", 37));

    const auto rows = server().query(db, "SELECT s FROM t ORDER BY id");
    ASSERT_EQ(rows.size(), texts.size() + 1);
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(rows[i][0], texts[i]) << i;
    EXPECT_EQ(rows.back()[0], std::string("raw\0nul", 7));

    auto rs = c->openRecordSet("SELECT id, s, NULL AS n FROM t ORDER BY id");
    EXPECT_EQ(rs->recordCount(), static_cast<int64_t>(texts.size() + 1));
    ASSERT_EQ(rs->fields().size(), 3u);
    EXPECT_EQ(rs->fields()[1].name, "s");
    for (size_t i = 0; i < texts.size(); ++i, rs->moveNext()) {
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->value(0).kind(), Value::Kind::Integer);
        EXPECT_EQ(rs->value(0).integer(), static_cast<int64_t>(i));
        EXPECT_EQ(rs->value(1).kind(), Value::Kind::Text);
        EXPECT_EQ(rs->value(1).str(), texts[i]);
        EXPECT_TRUE(rs->value(2).isNull());
    }
}

TEST_F(MySqlConnectionTest, DoublesAndDecimalsStayExact)
{
    auto c = open();
    c->execute("CREATE TABLE n (id INT, d DOUBLE, m DECIMAL(32,4), b BIGINT UNSIGNED)");
    c->execute("INSERT INTO n VALUES (1, 1234567.89, 1234567890123456789012345678.1234, 18446744073709551615),"
               " (2, 0.1, -0.0001, 7), (3, 1e300, 0, 0), (4, 2.2250738585072014e-308, NULL, NULL)");
    auto rs = c->openRecordSet("SELECT d, m, b FROM n ORDER BY id");
    const double doubles[] = {1234567.89, 0.1, 1e300, 2.2250738585072014e-308};
    for (double d : doubles) {
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->value(0).kind(), Value::Kind::Double);
        EXPECT_EQ(rs->value(0).real(), d);
        rs->moveNext();
    }
    rs = c->openRecordSet("SELECT m, b FROM n ORDER BY id");
    EXPECT_EQ(rs->fields()[0].type, AdoType::adNumeric);
    EXPECT_EQ(rs->fields()[0].scale, 4);
    EXPECT_EQ(rs->value(0).kind(), Value::Kind::Decimal);
    EXPECT_EQ(rs->value(0).str(), "1234567890123456789012345678.1234");
    // Beyond int64: kept exact rather than wrapped.
    EXPECT_EQ(rs->value(1).str(), "18446744073709551615");
    rs->moveNext();
    EXPECT_EQ(rs->value(0).str(), "-0.0001");
    EXPECT_EQ(rs->value(1).integer(), 7);
}

TEST(MySqlSessionTest, NoBackslashEscapesIsRemoved)
{
    auto own = TestServer::startPrivate({"--sql-mode=NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES"});
    const std::string db = own->createDatabase("nbe");
    ASSERT_NE(own->scalar(db, "SELECT @@GLOBAL.sql_mode")->find("NO_BACKSLASH_ESCAPES"), std::string::npos);
    auto c = OpenMySqlConnection(own->connectionString(db), {});
    auto rs = c->openRecordSet("SELECT @@SESSION.sql_mode");
    EXPECT_EQ(rs->value(0).str(), "STRICT_TRANS_TABLES");
    c->execute("CREATE TABLE t (s TEXT)");
    c->execute("INSERT INTO t VALUES (" + literal("a\\b'c") + ")");
    EXPECT_EQ(own->scalar(db, "SELECT s FROM t"), "a\\b'c");
}

// The window stays alive while the server works: the event loop turns.
TEST_F(MySqlConnectionTest, WaitingTurnsTheEventLoop)
{
    EventLoopApp loop;
    loop.countTicks();

    auto c = open();
    loop.ticks = 0;
    c->execute("SELECT SLEEP(0.3)");
    EXPECT_GT(loop.ticks, 10);

    // Quitting mid-wait ends the statement at once and closes the session.
    QTimer::singleShot(50, [] { EventPump::requestQuit(); });
    EXPECT_THROW(c->execute("SELECT SLEEP(5)"), Aborted);
    EXPECT_FALSE(c->isOpen());
    EventPump::reset();

    // Closing from an event handler during a wait fails that statement as closed.
    auto d = open();
    QTimer::singleShot(50, [&] { d->close(); });
    DbError e = executeFailure(*d, "SELECT SLEEP(5)");
    EXPECT_TRUE(e.connectionLost());
    EXPECT_NE(std::string(e.what()).find("closed"), std::string::npos) << e.what();
    EXPECT_FALSE(d->isOpen());

    // A second statement from an event handler is refused, not interleaved.
    auto f = open();
    std::string nested;
    QTimer::singleShot(50, [&] {
        try {
            f->execute("SELECT 1");
        } catch (const DbError &x) {
            nested = x.what();
        }
    });
    f->execute("SELECT SLEEP(0.3)");
    EXPECT_NE(nested.find("busy"), std::string::npos) << nested;
    f->execute("SELECT 1");
}

// A window opened while the server works (a box, Edit Line, Help) runs its
// own event loop inside the pump. Kept open past the time-outs, it must not
// turn a good connect or statement into a lost connection.
TEST_F(MySqlConnectionTest, TimeInANestedEventLoopIsNotWaiting)
{
    EventLoopApp loop;
    int nested = 0;
    const auto openWindowFor = [&](int ms) {
        QTimer::singleShot(0, [&nested, ms] {
            ++nested;
            QEventLoop window;
            QTimer::singleShot(ms, Qt::PreciseTimer, &window, &QEventLoop::quit);
            window.exec();
        });
    };
    ConnectionOptions options;
    options.connectionTimeout = 1;
    options.commandTimeout = 1;

    openWindowFor(1600);
    auto c = open(options);
    EXPECT_EQ(nested, 1);

    openWindowFor(2200);
    const auto start = std::chrono::steady_clock::now();
    c->execute("DO SLEEP(0.3)");
    EXPECT_EQ(nested, 2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    ASSERT_TRUE(c->isOpen());
    EXPECT_EQ(c->openRecordSet("SELECT 7")->value(0).integer(), 7);
}

TEST_F(MySqlConnectionTest, ASilentServerTimesOutWhileTheLoopTurns)
{
    EventLoopApp loop;
    loop.countTicks();

    SilentListener silent;
    const std::string cs = at("127.0.0.1", silent.port);
    ConnectionOptions options;
    options.connectionTimeout = 1;
    DbError e = openFailure(cs, options);
    EXPECT_GT(loop.ticks, 10);
    EXPECT_TRUE(e.code() >= 2000 && e.code() < 3000) << e.what();
    EXPECT_NE(std::string(e.what()).find("MySQL client error"), std::string::npos) << e.what();
    EXPECT_EQ(hasNo(e.what(), "SQLException"), "");

    // Quitting while connecting ends the attempt instead of waiting it out.
    options.connectionTimeout = 60;
    QTimer::singleShot(50, [] { EventPump::requestQuit(); });
    EXPECT_THROW(OpenMySqlConnection(cs, options), Aborted);
}

} // namespace
} // namespace tabulon

namespace tabulon {
namespace {

// A server that does not answer is a question after every interval, for a
// statement sent as any other and for one started on its own thread alike:
// yes waits on, no gives the session up at once as lost.
TEST(MySqlStallTest, ASilentServerIsAQuestionWhoseNoGivesUp)
{
    EventPump::reset();
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("stall");
    for (const bool started : {false, true}) {
        auto c = OpenMySqlConnection(server.connectionString(db), {});
        std::vector<int64_t> asked;
        c->setStallHandler(std::chrono::milliseconds(300), [&](std::chrono::seconds waited) {
            asked.push_back(waited.count());
            return asked.size() < 3;
        });
        const auto send = [&](const std::string &sql) {
            StatementText text{sql, {}};
            StatementCount count;
            if (!started || !c->start(text))
                return c->execute(sql);
            c->finish(count, text);
        };
        send("SELECT SLEEP(0.1)");
        EXPECT_TRUE(asked.empty()) << started;
        const auto from = std::chrono::steady_clock::now();
        try {
            send("SELECT SLEEP(20)");
            ADD_FAILURE() << "waited for the whole statement " << started;
        } catch (const DbError &e) {
            EXPECT_TRUE(e.connectionLost()) << e.what();
            EXPECT_NE(std::string(e.what()).find("did not answer for"), std::string::npos) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - from, std::chrono::seconds(5)) << started;
        EXPECT_EQ(asked.size(), 3u) << started;
        EXPECT_FALSE(c->isOpen());
    }
}

} // namespace
} // namespace tabulon

namespace tabulon {
namespace {

// Certificates made here with openssl: a CA, a server certificate it signs
// for 127.0.0.1, one it signs for another host, and a second CA that signed
// nothing.
struct TestCertificates {
    QTemporaryDir dir;
    std::string file(const char *name) const { return (dir.path() + "/" + name).toStdString(); }
    bool make()
    {
        const std::string d = dir.path().toStdString();
        const std::string script =
            "cd '" + d +
            "' && printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext"
            " && printf 'subjectAltName=DNS:db.elsewhere.example\\n' > elsewhere.ext"
            " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=Test CA'"
            " && openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj '/CN=Other'"
            " && openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj '/CN=127.0.0.1'"
            " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2"
            " -extfile san.ext"
            " && openssl req -newkey rsa:2048 -nodes -keyout elsewhere.key -out elsewhere.csr"
            " -subj '/CN=db.elsewhere.example'"
            " && openssl x509 -req -in elsewhere.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out elsewhere.pem"
            " -days 2 -extfile elsewhere.ext && cp server.pem live.pem && cp server.key live.key && chmod 644 *.key";
        return std::system((script + " >/dev/null 2>&1").c_str()) == 0;
    }
};

// One server requiring TLS for the encryption tests; it reads its
// certificate from live.pem, which a test may swap and reload.
class MySqlTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_certs = new TestCertificates;
        if (!s_certs->make())
            return;
        s_server = TestServer::startPrivate({"--ssl-ca=" + s_certs->file("ca.pem"),
                                             "--ssl-cert=" + s_certs->file("live.pem"),
                                             "--ssl-key=" + s_certs->file("live.key"), "--require-secure-transport=ON"})
                       .release();
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        delete s_certs;
        s_server = nullptr;
        s_certs = nullptr;
    }
    void SetUp() override
    {
        EventPump::reset();
        ASSERT_NE(s_server, nullptr) << "openssl could not make the test certificates";
        db = s_server->createDatabase("tls");
    }
    std::unique_ptr<MySqlConnection> open(const std::string &mode, const std::string &ca = {}) const
    {
        std::string text = s_server->connectionString(db) + "SSLMODE=" + mode + ";";
        if (!ca.empty())
            text += "SSLCA=" + ca + ";";
        return OpenMySqlConnection(text, {});
    }
    std::string failure(const std::string &mode, const std::string &ca = {}) const
    {
        try {
            open(mode, ca);
        } catch (const DbError &e) {
            return e.what();
        }
        return "connected";
    }
    // The server's certificate from now on, until the next call.
    static void serve(const char *name)
    {
        const std::string from = s_certs->file(name);
        ASSERT_EQ(std::system(("cp '" + from + ".pem' '" + s_certs->file("live.pem") + "' && cp '" + from + ".key' '" +
                               s_certs->file("live.key") + "'")
                                  .c_str()),
                  0);
        s_server->exec({}, "FLUSH SSL");
    }
    static int64_t sslAccepts()
    {
        return std::stoll(s_server->query({}, "SHOW GLOBAL STATUS LIKE 'Ssl_accepts'").at(0).at(1).value());
    }

    static TestCertificates *s_certs;
    static TestServer *s_server;
    std::string db;
};
TestCertificates *MySqlTlsTest::s_certs = nullptr;
TestServer *MySqlTlsTest::s_server = nullptr;

// Encryption modes as the mysql client names them, against a server that
// requires TLS: preferred and required encrypt, a CA check passes with the
// server's CA and names the CA file when it fails, and a mode that turns
// encryption off is told that the server requires it, never "access denied".
TEST_F(MySqlTlsTest, ModesEncryptCheckTheCertificateAndSayWhatFailed)
{
    for (const char *mode : {"PREFERRED", "REQUIRED"})
        EXPECT_EQ(open(mode)->encryption().rfind("encrypted, TLSv1.", 0), 0u) << mode;
    EXPECT_EQ(open("VERIFY_CA", s_certs->file("ca.pem"))->encryption().rfind("encrypted", 0), 0u);

    const std::string wrongCa = failure("VERIFY_CA", s_certs->file("other.pem"));
    EXPECT_NE(wrongCa.find("not signed by the CA in " + s_certs->file("other.pem")), std::string::npos) << wrongCa;
    const std::string off = failure("DISABLED");
    EXPECT_NE(off.find("requires an encrypted connection"), std::string::npos) << off;
    EXPECT_EQ(off.find("Access denied"), std::string::npos) << off;

    // A server without TLS: preferred goes on unencrypted and says so.
    auto plain = OpenMySqlConnection(TestServer::shared().connectionString(TestServer::shared().createDatabase("p")),
                                     {});
    EXPECT_EQ(plain->encryption(), "not encrypted");
}

// A certificate the right CA signed for another host: the CA check passes,
// the identity check names the host and the CA file.
TEST_F(MySqlTlsTest, IdentityCheckRefusesACertificateForAnotherHost)
{
    serve("elsewhere");
    const std::string ca = s_certs->file("ca.pem");
    const std::string wrongHost = failure("VERIFY_IDENTITY", ca);
    const std::string caOnly = failure("VERIFY_CA", ca);
    serve("server");
    EXPECT_NE(wrongHost.find("not for the host 127.0.0.1"), std::string::npos) << wrongHost;
    EXPECT_NE(wrongHost.find(ca), std::string::npos) << wrongHost;
    EXPECT_EQ(caOnly, "connected");
}

// REQUIRED against an account the server lets in only over TLS: the rows
// arrive and the server counts the encrypted session.
TEST_F(MySqlTlsTest, RequiredEncryptsASessionOfAnAccountThatMustUseTls)
{
    s_server->exec({}, "ALTER USER '" + s_server->user() + "'@'127.0.0.1' REQUIRE SSL");
    const int64_t before = sslAccepts();
    auto c = open("REQUIRED");
    c->execute("CREATE TABLE t (a INT)");
    c->execute("INSERT INTO t VALUES (1), (2)");
    EXPECT_EQ(s_server->scalar(db, "SELECT COUNT(*) FROM t"), "2");
    EXPECT_GT(sslAccepts(), before);
    s_server->exec({}, "ALTER USER '" + s_server->user() + "'@'127.0.0.1' REQUIRE NONE");
}

} // namespace
} // namespace tabulon
