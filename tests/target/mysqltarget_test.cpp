#include "target/mysqltarget.h"

#include "data/connection.h"

#include "support/fakehost.h"
#include "support/mariadbserver.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

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
    EXPECT_TRUE(CanConnectMySQL(host));
    host.fields[5] = "not the password";
    EXPECT_FALSE(CanConnectMySQL(host));
    host.fields[5] = TestServer::shared().password();
    host.fields[6] = "no_such_database";
    EXPECT_FALSE(CanConnectMySQL(host));
    host.fields[6] = db;
    host.fields[3] = "1";
    EXPECT_FALSE(CanConnectMySQL(host));
    EXPECT_TRUE(host.boxes.empty());
    // The check leaves no session behind.
    EXPECT_EQ(TestServer::shared().killConnectionsTo(db), 0);
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
    ListMySQLTables(host, list);
    EXPECT_EQ(list, expected);
    EXPECT_EQ(list.size(), 4u);
}

TEST_F(MySqlTargetTest, AnEmptyDatabaseEmptiesTheList)
{
    std::vector<std::string> list = {"left", "over"};
    ListMySQLTables(host, list);
    EXPECT_TRUE(list.empty());
}

TEST_F(MySqlTargetTest, ListingFailuresGoToTheCaller)
{
    std::vector<std::string> list = {"kept"};
    host.fields[5] = "wrong";
    EXPECT_THROW(ListMySQLTables(host, list), DbError);
    EXPECT_EQ(list, std::vector<std::string>{"kept"});
}

} // namespace
} // namespace tabulon
