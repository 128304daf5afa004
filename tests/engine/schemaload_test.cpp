// Indexes, checks and foreign keys into the private MariaDB in strict mode
// with foreign_key_checks=1: those of every fixture set, and those of tables
// of our own for what the fixtures lack (a unique index, a descending
// field, an orphan row, a default with a quote in it).

#include "schemafiles.h"

#include "engine/run/batchexecutor.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/foreignkeys.h"
#include "engine/run/tableconversion.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/fixtures.h"
#include "support/mariadbserver.h"
#include "support/paradoxsource.h"
#include "tools/paradoxwriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

using namespace tabulon;
using tabulon::test::TestServer;

namespace {

using test::FileSource;

// Native statements straight to the server, as a run sends them; the
// foreign keys kept for the end.
struct SchemaWork : TableWork, StepReporter {
    explicit SchemaWork(Connection &target)
        : executor(target, false, [this](uint64_t, const DbError &e) {
              failures.push_back(e.what());
              return true;
          })
    // What the reader tells of a damaged table (a missing memo file) is the
    // table's own story; only what the server refuses counts here.
    {
    }
    BatchExecutor executor;
    std::vector<std::string> failures;
    std::vector<ForeignKeyPlan> keys;
    TableReport::Schema schema;
    GuardedProcedure proc{*this};
    void stepFailed(int, const std::string &) override {}
    void statement(const std::string &text, int step, std::size_t rowPrefix, int64_t) override
    {
        executor.execute(text, uint64_t(step), rowPrefix);
    }
    void tableSchema(const std::string &table, const SchemaPlan &plan, int step) override
    {
        executor.flush();
        TableWork::tableSchema(table, plan, step);
        executor.flush();
        for (ForeignKeyPlan key : plan.foreignKeys) {
            key.child = table;
            keys.push_back(std::move(key));
        }
        schema = {true, int(plan.indexClauses.size()), plan.checks, 0, plan.leftOut, {}};
        constraints = int(plan.constraints.size());
    }
    int constraints = 0;
    ColumnTypes columnTypes() const override { return ColumnTypes::Native; }
};

struct Counts {
    int indexes = 0, checks = 0, keys = 0;
    int constraints = 0; // of the checks, those that are CHECK constraints
};

// What the server holds: secondary indexes, CHECK constraints, foreign keys.
Counts OnServer(TestServer &server, const std::string &db)
{
    auto count = [&](const std::string &sql) { return std::stoi(server.scalar(db, sql).value_or("0")); };
    return {count("SELECT COUNT(DISTINCT TABLE_NAME, INDEX_NAME) FROM information_schema.STATISTICS WHERE "
                  "TABLE_SCHEMA = DATABASE() AND INDEX_NAME <> 'PRIMARY' AND INDEX_NAME NOT IN (SELECT "
                  "CONSTRAINT_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                  "DATABASE())"),
            0,
            count("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                  "DATABASE()"),
            count("SELECT COUNT(*) FROM information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE()")};
}

// Converts the tables of one folder under their own names, then adds the
// foreign keys; returns the report of the folder's tables.
RunReport ConvertFolder(TestServer &server, const std::string &db, const std::vector<std::filesystem::path> &files,
                        std::vector<std::string> &failures, Counts &planned)
{
    auto target = OpenConnection(server.connectionString(db));
    EXPECT_EQ(server.scalar(db, "SELECT @@GLOBAL.foreign_key_checks"), "1");
    RunReport report;
    std::vector<ForeignKeyPlan> keys;
    for (const auto &path : files) {
        FileSource source(path.string());
        SchemaWork work(*target);
        const std::string table = path.stem().string();
        ConvertTable(work.proc, work, &source, table, nullptr, 100);
        work.executor.flush();
        for (const std::string &f : work.failures)
            failures.push_back(path.string() + ": " + f);
        keys.insert(keys.end(), work.keys.begin(), work.keys.end());
        planned.indexes += work.schema.indexes;
        planned.checks += work.schema.checks;
        planned.constraints += work.constraints;
        TableReport &entry = report.tables.emplace_back();
        entry.table = table;
        entry.outcome = TableReport::Outcome::Converted;
        entry.schema = work.schema;
    }
    planned.keys += int(keys.size());
    AddForeignKeys(*target, keys, {}, report);
    return report;
}

TEST(SchemaLoad, EveryFixtureSetLoadsItsIndexesChecksAndKeys)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    TestServer &server = TestServer::shared();
    // Each folder with companion files is one database, as Paradox keeps it.
    std::map<std::filesystem::path, std::vector<std::filesystem::path>> folders;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (entry.is_regular_file() && (ext == ".val" || ext.rfind(".x", 0) == 0))
            folders[entry.path().parent_path()];
    }
    for (auto &[folder, files] : folders)
        for (const auto &entry : std::filesystem::directory_iterator(folder)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (ext == ".db")
                files.push_back(entry.path());
        }
    // What the files say, by hand from their bytes: joins holds 11 index
    // files and 9 referential rules; electro_store 39 index files and one
    // rule (Categorias to Familias).
    const std::map<std::string, Counts> expected{{"leonhad-paradoxdriver/joins", {11, 0, 9}},
                                                 {"delphi-pascal-archive-electro_store_system", {39, 0, 1}}};
    for (auto &[folder, files] : folders) {
        SCOPED_TRACE(folder.string());
        std::sort(files.begin(), files.end());
        const std::string db = server.createDatabase("schema");
        std::vector<std::string> failures;
        Counts planned;
        const RunReport report = ConvertFolder(server, db, files, failures, planned);
        EXPECT_TRUE(failures.empty()) << failures.front();
        const Counts made = OnServer(server, db);
        std::string leftOut;
        for (const TableReport &t : report.tables)
            for (const std::string &l : t.schema.leftOut)
                leftOut += "\n  " + t.table + ": " + l;
        std::printf("%s: found and made %d indexes, %d checks (%d CHECK), %d foreign keys; on the server %d "
                    "indexes, %d CHECK, %d foreign keys; left out:%s\n",
                    std::filesystem::relative(folder, dir).string().c_str(), planned.indexes, planned.checks,
                    planned.constraints, planned.keys, made.indexes, made.constraints, made.keys, leftOut.c_str());
        EXPECT_EQ(made.indexes, planned.indexes);
        EXPECT_EQ(made.constraints, planned.constraints);
        // No fixture set holds orphans: every rule with its master present is a key.
        EXPECT_EQ(made.keys, planned.keys);
        if (const auto hit = expected.find(std::filesystem::relative(folder, dir).string()); hit != expected.end()) {
            EXPECT_EQ(planned.indexes, hit->second.indexes);
            EXPECT_EQ(planned.keys, hit->second.keys);
        }
    }
}

TEST(SchemaLoad, WriterTablesCarryUniqueDescendingDefaultRangeAndKey)
{
    TestServer &server = TestServer::shared();
    QTemporaryDir dir;
    test::WriteTowns(dir.path().toStdString(), true);
    const std::vector<std::filesystem::path> files{dir.filePath("Land.db").toStdString(),
                                                   dir.filePath("Town.db").toStdString()};
    std::string db = server.createDatabase("towns");
    std::vector<std::string> failures;
    Counts planned;
    RunReport report = ConvertFolder(server, db, files, failures, planned);
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(server.scalar(db, "SELECT COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                                "DATABASE() AND TABLE_NAME = 'Town' AND COLUMN_NAME = 'Name'"),
              "'O''Brien'");
    EXPECT_EQ(server.scalar(db, "SELECT IS_NULLABLE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                                "AND TABLE_NAME = 'Town' AND COLUMN_NAME = 'Name'"),
              "NO");
    EXPECT_EQ(server.scalar(db, "SELECT NON_UNIQUE FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = "
                                "DATABASE() AND INDEX_NAME = 'ByName'"),
              "0");
    EXPECT_EQ(server.scalar(db, "SELECT COLLATION FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = "
                                "DATABASE() AND INDEX_NAME = 'ByPop'"),
              "D");
    // The range holds on the server: a population below zero is refused.
    EXPECT_EQ(OnServer(server, db).constraints, 1);
    EXPECT_THROW(server.exec(db, "INSERT INTO Town VALUES (9, 1, 'Dale', -1)"), std::exception);
    // The orphan keeps the key off; the report names rule, table, count and row.
    EXPECT_EQ(OnServer(server, db).keys, 0);
    const TableReport &town = report.tables[1];
    ASSERT_EQ(town.schema.leftOut.size(), 1u);
    EXPECT_NE(town.schema.leftOut[0].find("rule TownLand (1 row names no row of Land (orphans: (3)))"),
              std::string::npos)
        << town.schema.leftOut[0];
    EXPECT_EQ(SchemaSummary(town.schema.indexes, town.schema.checks, town.schema.foreignKeys, town.schema.leftOut)
                  .substr(0, 45),
              "2 indexes, 2 checks, 0 foreign keys carried o");

    // Without the orphan the key is made; it cascades updates and refuses orphans.
    QTemporaryDir again;
    test::WriteTowns(again.path().toStdString(), false);
    db = server.createDatabase("towns");
    report = ConvertFolder(server, db,
                           {again.filePath("Land.db").toStdString(), again.filePath("Town.db").toStdString()}, failures,
                           planned);
    EXPECT_TRUE(failures.empty()) << failures.front();
    EXPECT_EQ(report.tables[1].schema.foreignKeys, 1);
    EXPECT_THROW(server.exec(db, "INSERT INTO Town VALUES (9, 7, 'Dale', 1)"), std::exception);
    server.exec(db, "UPDATE Land SET Code = 5 WHERE Code = 1");
    EXPECT_EQ(server.scalar(db, "SELECT Land FROM Town WHERE Id = 1"), "5");
    EXPECT_THROW(server.exec(db, "DELETE FROM Land WHERE Code = 5"), std::exception);
}

} // namespace
