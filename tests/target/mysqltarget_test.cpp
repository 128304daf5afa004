#include "target/mysqltarget.h"

#include "data/connection.h"

#include "support/fakehost.h"
#include "support/loopbacksocket.h"
#include "support/mariadbserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>


namespace tabulon {
namespace {

using test::LoopbackSocket;
using test::TestServer;

class MySqlTargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto &s = TestServer::shared();
        db = s.createDatabase("target");
        host.fields[2] = "127.0.0.1";
        host.fields[3] = std::to_string(s.port());
        host.fields[4] = s.user();
        host.fields[5] = s.password();
        host.fields[6] = db;
    }

    std::string db;
    test::FakeHost host;
};

TEST_F(MySqlTargetTest, CanConnectSaysWhetherTheLoginWorks)
{
    EXPECT_TRUE(CanConnectMySQL(host.runOptions().login));
    host.fields[5] = "not the password";
    EXPECT_FALSE(CanConnectMySQL(host.runOptions().login));
    host.fields[5] = TestServer::shared().password();
    host.fields[6] = "no_such_database";
    EXPECT_FALSE(CanConnectMySQL(host.runOptions().login));
    host.fields[6] = db;
    host.fields[3] = "1";
    EXPECT_FALSE(CanConnectMySQL(host.runOptions().login));
    EXPECT_TRUE(host.boxes.empty());
    // The check leaves no session behind (the server may take a moment to
    // see a closed one go).
    std::string sessions;
    for (int i = 0; i < 50 && sessions != "0"; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sessions = TestServer::shared()
                       .scalar({}, "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '" + db + "'")
                       .value_or("?");
    }
    EXPECT_EQ(sessions, "0");
}

// Each failure gets the line that fits it; a missing database is offered
// and, on Yes, created with utf8mb4.
TEST_F(MySqlTargetTest, TestLoginAdvisesByTheFailureAndCreatesAMissingDatabase)
{
    auto &s = TestServer::shared();
    std::string problem;
    host.fields[5] = "not the password";
    EXPECT_FALSE(TestMySqlLogin(host, host.runOptions().login, problem));
    EXPECT_NE(problem.find("Access denied"), std::string::npos) << problem;
    EXPECT_EQ(problem.substr(problem.rfind("\r\n")), "\r\nCheck the user name and password.");
    host.fields[5] = s.password();

    host.fields[3] = "1";
    EXPECT_FALSE(TestMySqlLogin(host, host.runOptions().login, problem));
    EXPECT_EQ(problem.substr(problem.rfind("\r\n")),
              "\r\nNothing answers at 127.0.0.1:1. Is the server running, and is the port right?");

    LoopbackSocket silent(true);
    host.fields[3] = std::to_string(silent.port);
    EXPECT_FALSE(TestMySqlLogin(host, host.runOptions().login, problem, 1));
    silent.close();
    EXPECT_EQ(problem.substr(problem.rfind("\r\n")),
              "\r\nNo answer came from 127.0.0.1:" + host.fields[3] + " within 1 second.");
    host.fields[3] = std::to_string(s.port());

    const std::string missing = db + "_new";
    host.fields[6] = missing;
    host.answers = {false, true};
    EXPECT_FALSE(TestMySqlLogin(host, host.runOptions().login, problem));
    EXPECT_NE(problem.find("Unknown database"), std::string::npos) << problem;
    EXPECT_TRUE(TestMySqlLogin(host, host.runOptions().login, problem));
    ASSERT_EQ(host.questions().size(), 2u);
    EXPECT_EQ(host.questions()[0], "The database " + missing + " does not exist on the server. Create it (utf8mb4)?");
    EXPECT_EQ(s.scalar("", "SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" +
                               missing + "'"),
              "utf8mb4");
    s.exec("", "DROP DATABASE `" + missing + "`");
}

TEST_F(MySqlTargetTest, ListsTablesInTheServersOrder)
{
    const auto &s = TestServer::shared();
    s.exec(db, "CREATE TABLE `zeta` (a INT)");
    s.exec(db, "CREATE TABLE `Alpha` (a INT)");
    s.exec(db, "CREATE TABLE `m\xC3\xBCller 2` (a INT)");
    s.exec(db, "CREATE VIEW `beta` AS SELECT 1 AS a");
    std::vector<std::string> expected;
    for (const auto &row : s.query(db, "SHOW TABLES"))
        expected.push_back(*row[0]);

    std::vector<std::string> list = {"left over"};
    ListMySQLTables(host.runOptions().login, list);
    EXPECT_EQ(list, expected);
    EXPECT_EQ(list.size(), 4u);
}

TEST_F(MySqlTargetTest, AnEmptyDatabaseEmptiesTheList)
{
    std::vector<std::string> list = {"left", "over"};
    ListMySQLTables(host.runOptions().login, list);
    EXPECT_TRUE(list.empty());
}

TEST_F(MySqlTargetTest, ListingFailuresGoToTheCaller)
{
    std::vector<std::string> list = {"kept"};
    host.fields[5] = "wrong";
    EXPECT_THROW(ListMySQLTables(host.runOptions().login, list), DbError);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

} // namespace
} // namespace tabulon
