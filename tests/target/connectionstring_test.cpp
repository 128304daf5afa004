#include "common/error.h"
#include "target/mysqltarget.h"
#include "target/odbcstring.h"


#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(MySqlConnectionStringTest, BuildsTheDriverStringInItsFixedOrder)
{
    EXPECT_EQ(MySqlConnectionString("db.example", "anna", "shop", "s3cret", "3307"),
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=db.example;USER=anna;DATABASE=shop;PASSWORD=s3cret;PORT=3307;");
    // Empty entries leave the key directly before its ";", blanks stay.
    EXPECT_EQ(MySqlConnectionString("", " anna ", "", "", ""),
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=;USER= anna ;DATABASE=;PASSWORD=;PORT=;");
}

TEST(MySqlConnectionStringTest, ProtectsValuesThatWouldBreakTheString)
{
    EXPECT_EQ(MySqlConnectionString("h", "u", "d", "a;b", "1"),
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD={a;b};PORT=1;");
    EXPECT_EQ(OdbcValue("x}y{"), "{x}}y{}");
    EXPECT_EQ(OdbcValue("it's = fine"), "it's = fine");

    const std::string nasty[] = {"a;b", "{x}", "}}", "p=q;r={s}", ";", "{", " } "};
    for (const auto &v : nasty) {
        const auto parsed = ParseOdbcString(MySqlConnectionString("h", v, "d", v, "1"));
        EXPECT_EQ(parsed.at("USER"), v);
        EXPECT_EQ(parsed.at("PASSWORD"), v);
        EXPECT_EQ(parsed.at("DATABASE"), "d");
        EXPECT_EQ(parsed.at("DRIVER"), "MySQL ODBC 5.1 Driver");
    }
}

TEST(MySqlConnectionStringTest, ParsesKeysInAnyCaseAndRejectsAnOpenBrace)
{
    const auto p = ParseOdbcString("driver={X};Server = h ;uSeR=me;PORT=;bare;pwd={a}}b}");
    EXPECT_EQ(p.at("SERVER"), " h ");
    EXPECT_EQ(p.at("USER"), "me");
    EXPECT_EQ(p.at("PORT"), "");
    EXPECT_EQ(p.at("PWD"), "a}b");
    EXPECT_THROW(ParseOdbcString("SERVER=h;PASSWORD={abc;"), Error);
}

} // namespace
} // namespace tabulon
