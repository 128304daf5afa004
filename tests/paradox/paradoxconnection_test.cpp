// The folder connection: its string, its one statement, and how table
// names find their files.
#include "paradoxtestsupport.h"

#include "source/paradox/paradoxconnection.h"
#include "support/paradoxtable.h"

#include <QFile>

#include <filesystem>

namespace tabulon {
namespace {

using test::ScratchFolder;

std::string ConnectionString(const std::string &folder)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Extended Properties=Paradox 5.x;";
}

void WriteTable(const std::string &path, const std::string &marker)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::writeParadoxTable(path, {{"Where", 'A', 40}}, {{Value::text(marker)}});
}

std::string Marker(Connection &c, const std::string &table)
{
    auto rs = c.openRecordSet("SELECT * FROM `" + table + "`");
    return rs->value(0).str();
}

std::string DbErrorText(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e.what();
    }
    return "(no DbError)";
}

TEST(ParadoxConnection, FindsTablesWithoutRegardToCase)
{
    ScratchFolder dir;
    const std::string root = dir.path().string();
    WriteTable(root + "/Customer.db", "top customer");
    WriteTable(root + "/sub/deeper/Orders.DB", "deep orders");
    WriteTable(root + "/sub/Customer.db", "sub customer");
    WriteTable(root + "/a.db.db", "double extension");
    WriteTable(root + "/~temp.db", "lock file");
    WriteTable(root + "/we`ird.db", "backtick");
    auto c = OpenParadoxConnection(ConnectionString(root), {});
    ASSERT_TRUE(c->isOpen());
    EXPECT_EQ(Marker(*c, "CUSTOMER"), "top customer"); // the folder before its sub-folders
    EXPECT_EQ(Marker(*c, "customer"), "top customer");
    EXPECT_EQ(Marker(*c, "SUB_CUSTOMER"), "sub customer");
    EXPECT_EQ(Marker(*c, "ORDERS"), "deep orders");
    EXPECT_EQ(Marker(*c, "A"), "double extension");
    EXPECT_EQ(Marker(*c, "WE``IRD"), "backtick");
    const std::string missing = DbErrorText([&] { Marker(*c, "~TEMP"); });
    EXPECT_NE(missing.find("\"~TEMP\" was not found"), std::string::npos) << missing;
    const std::string unknown = DbErrorText([&] { Marker(*c, "NOSUCH"); });
    EXPECT_NE(unknown.find("The Paradox table \"NOSUCH\" was not found in \"" + root), std::string::npos) << unknown;
}

// Windows hands these names over in UTF-16; the program keeps UTF-8.
TEST(ParadoxConnection, TablesNamedInCyrillicAndChineseOpenWithTheirMemos)
{
    ScratchFolder dir;
    const std::string root = dir.path().string() + "/";
    const std::string memo(300, 'm'); // longer than the record keeps: read from the .mb
    const std::vector<std::pair<std::string, std::string>> tables{{"Клиенты", "cyrillic"}, {"客户", "chinese"}};
    for (const auto &[name, marker] : tables) {
        test::writeParadoxTable(root + "plain.db", {{"Where", 'A', 20}, {"Notes", 'M', 10}},
                                {{Value::text(marker), Value::text(memo)}});
        for (const char *ext : {".db", ".mb"})
            ASSERT_TRUE(
                QFile::rename(QString::fromStdString(root + "plain" + ext), QString::fromStdString(root + name + ext)));
    }
    auto c = OpenParadoxConnection(ConnectionString(root), {});
    for (const auto &[name, marker] : tables) {
        auto rs = c->openRecordSet("SELECT * FROM `" + name + "`");
        EXPECT_EQ(rs->value(0).str(), marker);
        EXPECT_EQ(rs->value(1).str(), memo);
    }
}

TEST(ParadoxConnection, OnlyWholeTablesAndNoStatements)
{
    ScratchFolder dir;
    WriteTable(dir.file("T.db"), "x");
    auto c = OpenParadoxConnection(ConnectionString(dir.path().string()), {});
    EXPECT_EQ(c->openRecordSet("  select   *  FROM  `t`  ")->value(0).str(), "x");
    for (const char *bad : {"SELECT * FROM t", "SELECT a FROM `t`", "SELECT * FROM `t` WHERE 1", "SELECT * FROM `t",
                            "DELETE FROM `t`", "SELECT * FROM ``", ""}) {
        const std::string error = DbErrorText([&] { c->openRecordSet(bad); });
        EXPECT_NE(error.find("only opens whole tables"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_EQ(ParadoxTableFromQuery("SELECT * FROM `a``b`"), "a`b");
    const std::string readOnly = DbErrorText([&] { c->execute("DROP TABLE `t`"); });
    EXPECT_EQ(readOnly.rfind("The Paradox source is read-only", 0), 0u) << readOnly;
    c->close();
    c->close();
    EXPECT_FALSE(c->isOpen());
}

TEST(ParadoxConnection, ConnectionStringFaults)
{
    ScratchFolder dir;
    const std::string folder = dir.path().string();
    struct Case {
        std::string text;
        std::string needle;
    };
    for (const Case &c :
         {Case{"Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Paradox 5.x;", "no \"Data Source\""},
          Case{"Provider=Other;Data Source=" + folder + ";", "provider must be"},
          Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Extended Properties=dBASE IV;",
               "Paradox 5.x"},
          Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + ";Color=blue", "unknown keyword \"COLOR\""},
          Case{"Provider=Microsoft.Jet.OLEDB.4.0;Data Source={" + folder + ";", "closing \"}\""},
          Case{ConnectionString(folder + "/missing"), "does not exist or is not a folder"}}) {
        const std::string error = DbErrorText([&] { OpenParadoxConnection(c.text, {}); });
        EXPECT_NE(error.find(c.needle), std::string::npos) << c.text << ": " << error;
    }
    WriteTable(dir.file("t.db"), "x");
    EXPECT_NE(DbErrorText([&] { OpenParadoxConnection(ConnectionString(dir.file("t.db")), {}); }).find("not a folder"),
              std::string::npos);
    // Keywords in any case, a folder with its trailing slash.
    auto c = OpenParadoxConnection("provider=microsoft.jet.oledb.4.0; data source=" + folder + "/;", {});
    EXPECT_EQ(Marker(*c, "T"), "x");
}

TEST(ParadoxConnection, DamagedTableIsADbError)
{
    ScratchFolder dir;
    test::WriteWhole(dir.file("Broken.db"), std::string(100, '\x07'));
    auto c = OpenParadoxConnection(ConnectionString(dir.path().string()), {});
    const std::string error = DbErrorText([&] { c->openRecordSet("SELECT * FROM `BROKEN`"); });
    EXPECT_NE(error.find("Broken.db"), std::string::npos) << error;
}

} // namespace
} // namespace tabulon
