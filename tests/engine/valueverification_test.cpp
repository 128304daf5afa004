// The run's digest of the values it sent against the server's digest of
// what it stored, on a real MariaDB: awkward values agree in both column
// mappings, a server that changes a value is caught and named, and large
// tables agree.

#include "engine/run/conversionrun.h"
#include "engine/run/tabledigest.h"
#include "engine/sqlgen/rowstatement.h"
#include "engine/sqlgen/storedtext.h"
#include "support/fakehost.h"
#include "support/mariadbserver.h"
#include "support/paradoxsource.h"
#include "target/digestquery.h"
#include "tools/paradoxwriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include <sys/wait.h>

using namespace tabulon;
using tabulon::test::FakeHost;
using tabulon::test::TestServer;

namespace {

class Verification : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        folder = m_dir.path().toStdString();
        use(TestServer::shared());
    }
    void use(TestServer &s)
    {
        server = &s;
        db = s.createDatabase("ver");
    }
    // One run into a fresh window; the report of its one table.
    const TableReport &run(ColumnTypes types, bool rowByRow = false)
    {
        host = std::make_unique<FakeHost>();
        host->fields[1] = folder;
        host->fields[2] = "127.0.0.1";
        host->fields[3] = std::to_string(server->port());
        host->fields[4] = server->user();
        host->fields[5] = server->password();
        host->fields[6] = db;
        host->columnTypesValue = types;
        host->rowByRowValue = rowByRow;
        RunState state;
        ConvertTables(*host, state);
        EXPECT_EQ(host->report.tables.size(), 1u);
        return host->report.tables.front();
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_config;
    std::string folder;
    TestServer *server = nullptr;
    std::string db;
    std::unique_ptr<FakeHost> host;
};

// What the server's QUOTE() gives for each literal in a column of each
// type is what the run folds: doubles of every magnitude, decimals that
// round, text that needs escapes.
TEST_F(Verification, StoredTextIsTheServersOwn)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> columns = {
        {"DOUBLE",
         {"0", "-0", "0.1", "1E+20", "1e15", "100000000000000", "1.5E-16", "1E-15", "0.30000000000000004",
          "-1.7976931348623157E+308", "4.9406564584124654E-324", "1234567890123456.8", "123456789012345678"}},
        {"DECIMAL(20,4)", {"12.5", "-0.00005", "-0.00004", "0.99995", "-0", "922337203685477.5807", ".5"}},
        {"DECIMAL(32,2)", {"-12345.675", "0.005", "99.994", "7"}},
        {"INT", {"-5", "0", "2147483647", "007"}},
        {"BOOLEAN", {"1", "0"}},
        {"TEXT", {"'it''s \\\\ \\0 \\r\\n\\t trailing  '", "''", "'\x1a'", "'Zoë Ærø €™'"}},
        {"LONGBLOB", {"X''", "X'00275C1A0D0AFF'"}},
        {"DATETIME(3)", {"'1000-01-01 00:00:00.000'", "'9999-12-31 23:59:59.999'"}},
        {"TIME(3)", {"'00:00:00.000'", "'23:59:59.999'"}},
        {"DATE", {"'1000-01-01'", "'9999-12-31'"}},
    };
    std::mt19937_64 random(21);
    for (int k = 0; k < 3000; ++k) {
        double d;
        const uint64_t bits = random();
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d))
            columns[0].second.push_back(Value::real(d).toText());
        columns[0].second.push_back(
            Value::real(double(random() % 100000) / std::pow(10.0, int(random() % 40) - 20)).toText());
    }
    for (const auto &[type, literals] : columns) {
        server->exec(db, "CREATE OR REPLACE TABLE v(n INT, x " + type + ")");
        for (size_t k = 0; k < literals.size(); ++k)
            server->exec(db, "INSERT INTO v VALUES(" + std::to_string(k) + ", " + literals[k] + ")");
        const auto rows = server->query(db, "SELECT n, QUOTE(x) FROM v ORDER BY n");
        ASSERT_EQ(rows.size(), literals.size());
        for (size_t k = 0; k < literals.size(); ++k) {
            std::string ours;
            size_t at = 0;
            ASSERT_TRUE(AppendQuotedStored(ours, literals[k], at, StoredColumnOf(type)));
            EXPECT_EQ(ours, rows[k][1].value_or("?")) << type << " " << literals[k];
        }
    }
}

// Every field type with its awkward values verifies by value, in text and
// native columns, loaded, inserted and row by row; text read through a
// Cyrillic code page among them.
TEST_F(Verification, AwkwardValuesVerifyInEveryMode)
{
    {
        ParadoxWriter w(folder + "/Awkward.db", test::EveryFieldType(), 1251);
        w.addRow({Value::null(), Value::text("Привет, мир  "), Value::dateTime(DateTime::fromCivil(1000, 1, 1)),
                  Value::dateTime(DateTime::fromCivil(9999, 12, 31, 23, 59, 59, 999)),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 23, 59, 59, 999)), Value::integer(-32767),
                  Value::integer(2147483647), Value::real(-0.0), Value::currency(-1), Value::boolean(true),
                  Value::decimal("-12345.67"), Value::text("a\\b\tc\r\n'q'  "),
                  Value::bytes(std::string("\0\\'\x1a\r\n", 6)), Value::bytes(std::string("\0\0\0\0", 4))});
        w.addRow({Value::null(), Value::text(""), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::null(), Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::bytes(""), Value::null()});
        w.addRow({Value::null(), Value::text("\\ ' \" %_"), Value::dateTime(DateTime::fromCivil(2024, 2, 29)),
                  Value::dateTime(DateTime::fromCivil(1970, 1, 1)), Value::dateTime(DateTime::fromCivil(1899, 12, 30)),
                  Value::integer(0), Value::integer(-2147483647), Value::real(0.30000000000000004),
                  Value::currency(922337203685477), Value::boolean(false), Value::decimal("0.05"), Value::text("Ёжик"),
                  Value::bytes("\xff"), Value::bytes("1234")});
        w.addRow({Value::null(), Value::text("x"), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::null(), Value::real(1.7976931348623157e308), Value::real(0.125), Value::null(),
                  Value::decimal("99.99"), Value::null(), Value::null(), Value::null()});
        w.finish();
    }
    for (const auto &[types, rowByRow] : {std::pair{ColumnTypes::Text, false}, std::pair{ColumnTypes::Native, false},
                                          std::pair{ColumnTypes::Native, true}}) {
        const TableReport &t = run(types, rowByRow);
        EXPECT_EQ(t.values, TableReport::Values::Same) << host->report.text();
        EXPECT_NE(t.outcomeText().find("verified (values)"), std::string::npos) << t.outcomeText();
        EXPECT_EQ(t.rowsStored, 4);
    }
}

// A server that stores something else than it was sent (here: no strict
// mode and a Latin-1 database, so Cyrillic becomes question marks) is
// caught: the report names the table, the column and the row, the table is
// not put in place, and tabulon-sql ends with status 1.
TEST_F(Verification, ChangedValuesAreCaughtAndNamed)
{
    const auto lax = TestServer::startPrivate({"--sql-mode=NO_ENGINE_SUBSTITUTION"});
    use(*lax);
    server->exec(db, "ALTER DATABASE `" + db + "` CHARACTER SET latin1");
    {
        ParadoxWriter w(folder + "/People.db", {{"Id", 'I'}, {"Name", 'A', 20}, {"Town", 'A', 20}}, 1251);
        w.addRow({Value::integer(1), Value::text("Ann"), Value::text("O'Hara \\ town")});
        w.addRow({Value::integer(2), Value::text("Борис"), Value::text("Moscow")});
        w.addRow({Value::integer(3), Value::text("Carl"), Value::text("Oslo")});
        w.finish();
    }
    const TableReport &t = run(ColumnTypes::Text);
    EXPECT_EQ(t.values, TableReport::Values::Differ);
    EXPECT_FALSE(t.verified());
    const std::string report = host->report.text();
    EXPECT_NE(report.find("VALUES DIFFER"), std::string::npos) << report;
    EXPECT_NE(report.find("Values differ in column `Name`: "), std::string::npos) << report;
    EXPECT_NE(report.find("Row 2 of table PEOPLE is not on the server as it was sent."), std::string::npos) << report;
    EXPECT_EQ(report.find("Row 1 of"), std::string::npos) << report;
    EXPECT_NE(host->report.summary().find("1 table with values on the server that differ"), std::string::npos);
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + db +
                                     "' AND TABLE_NAME = 'PEOPLE'"),
              "0");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM `PEOPLE~tabulon`"), "3");

    const std::string passwordFile = m_config.path().toStdString() + "/password";
    std::ofstream(passwordFile) << server->password() << "\n";
    const std::string command = "XDG_CONFIG_HOME='" + m_config.path().toStdString() +
                                "' '" TABULON_SQL_PATH "' --server 127.0.0.1 --port " + std::to_string(server->port()) +
                                " --user " + server->user() + " --database " + db + " --password-file '" +
                                passwordFile + "' '" + folder + "' > '" + m_config.path().toStdString() +
                                "/report' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream printed(m_config.path().toStdString() + "/report");
    const std::string cliReport((std::istreambuf_iterator<char>(printed)), std::istreambuf_iterator<char>());
    EXPECT_NE(cliReport.find("VALUES DIFFER"), std::string::npos) << cliReport;
}

// Digests agree on a large table of varied values, loaded in batches.
TEST_F(Verification, AHundredThousandRowsAgree)
{
    {
        ParadoxWriter w(folder + "/Large.db", {{"Id", 'I'},
                                               {"Name", 'A', 30},
                                               {"Price", 'N'},
                                               {"Cash", '$'},
                                               {"Day", '@'},
                                               {"Amount", '#', 3},
                                               {"Ok", 'L'}});
        std::mt19937_64 random(7);
        for (int i = 1; i <= 100'000; ++i) {
            const auto r = random();
            w.addRow({Value::integer(i), i % 17 ? Value::text("name " + std::to_string(r % 100000)) : Value::null(),
                      Value::real(double(int64_t(r % 2000001) - 1000000) / 7.0), Value::currency(int64_t(r % 99999999)),
                      Value::dateTime({int64_t(r % 80000), int32_t(r % 86'400'000)}),
                      Value::decimal(std::to_string(r % 1000000) + "." + std::to_string(r % 1000)),
                      Value::boolean(r & 1)});
        }
        w.finish();
    }
    for (ColumnTypes types : {ColumnTypes::Text, ColumnTypes::Native}) {
        const TableReport &t = run(types);
        EXPECT_EQ(t.rowsStored, 100'000);
        EXPECT_EQ(t.values, TableReport::Values::Same) << host->report.text();
    }
}

} // namespace
