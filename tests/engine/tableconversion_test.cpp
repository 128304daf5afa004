#include "engine/run/tableconversion.h"

#include "support/memoryrecordset.h"

#include <gtest/gtest.h>

#include <map>

using namespace tabulon;
using tabulon::test::MemoryRecordSet;

namespace {

// A source whose rows can be made to fail: a value that cannot be decoded,
// or a move to the next row that fails without advancing (a damaged block).
class DamagedRecordSet : public MemoryRecordSet {
public:
    using MemoryRecordSet::MemoryRecordSet;
    int badValueRow = -1;
    int stuckRow = -1;
    void moveNext() override
    {
        if (m_at == stuckRow)
            throw Error("block 7 of T.DB is damaged");
        ++m_at;
        MemoryRecordSet::moveNext();
    }
    const Value &value(int field) override
    {
        if (m_at == badValueRow && field == 1)
            throw Error("the Time value of field Note in row 2 of T.DB is out of range");
        return MemoryRecordSet::value(field);
    }

private:
    int m_at = 0;
};

// A source whose reader lost things on the way: rows its header counts,
// values it could not read.
class LossyRecordSet : public MemoryRecordSet {
public:
    using MemoryRecordSet::MemoryRecordSet;
    ReadAccount lost;
    const ReadAccount &account() const override { return lost; }
};

class SourceStub : public Connection {
public:
    std::map<std::string, std::function<std::unique_ptr<RecordSet>()>> tables;
    std::vector<std::string> opened;
    void execute(const std::string &) override { throw DbError("read-only"); }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &source) override
    {
        opened.push_back(source);
        auto it = tables.find(source);
        if (it == tables.end())
            throw Error("no such table: " + source);
        return it->second();
    }
    void close() override {}
    bool isOpen() const override { return true; }
};

struct RecordingWork : TableWork, StepReporter {
    std::vector<std::string> statements;
    std::vector<std::pair<int, std::string>> failures;
    std::vector<double> progress;
    GuardedProcedure proc{*this};
    void stepFailed(int number, const std::string &description) override { failures.emplace_back(number, description); }
    void statement(const std::string &text, int, std::size_t rowPrefix, int64_t) override
    {
        if (rowPrefix) {
            EXPECT_EQ(text.substr(0, rowPrefix), "INSERT INTO `T` VALUES");
        }
        statements.push_back(text);
    }
    void setProgress(int64_t row, int64_t total) override { progress.push_back(ProgressPercent(row, total)); }
};

// One run of ConvertTable on table `name`, whose rows `open` gives as T.
struct Converted : RecordingWork {
    SourceStub source;
    ReadAccount account;
    explicit Converted(std::function<std::unique_ptr<RecordSet>()> open, const std::string &name = "T")
    {
        if (open)
            source.tables["SELECT * FROM `T`"] = std::move(open);
        account = ConvertTable(proc, *this, &source, name, nullptr, 100);
    }
};

std::vector<Field> Fields() { return {{"Id", AdoType::adInteger}, {"Note", AdoType::adLongVarWChar}}; }

std::vector<std::vector<Value>> Rows(int n)
{
    std::vector<std::vector<Value>> rows;
    for (int i = 1; i <= n; ++i)
        rows.push_back({Value::integer(i), Value::text("n" + std::to_string(i))});
    return rows;
}

TEST(ConvertTable, RowsInOrderWithProgressEndingAtHundred)
{
    Converted work([] { return std::make_unique<MemoryRecordSet>(Fields(), Rows(3)); });
    EXPECT_TRUE(work.failures.empty());
    ASSERT_EQ(work.statements.size(), 4u);
    EXPECT_EQ(work.statements[0].rfind("CREATE TABLE `T`(", 0), 0u);
    EXPECT_EQ(work.statements[1], "INSERT INTO `T` VALUES(1, 'n1')");
    EXPECT_EQ(work.statements[3], "INSERT INTO `T` VALUES(3, 'n3')");
    ASSERT_EQ(work.progress.size(), 3u);
    EXPECT_DOUBLE_EQ(work.progress[0], 50.0);
    EXPECT_DOUBLE_EQ(work.progress[2], 100.0);
}

TEST(ConvertTable, BacktickInNameIsDoubledInTheSelect)
{
    Converted work({}, "A`B");
    ASSERT_EQ(work.source.opened.size(), 1u);
    EXPECT_EQ(work.source.opened[0], "SELECT * FROM `A``B`");
    // A table that cannot be opened: one report, nothing else attempted.
    ASSERT_EQ(work.failures.size(), 1u);
    EXPECT_EQ(work.failures[0].first, 102);
    EXPECT_TRUE(work.statements.empty());
}

TEST(ConvertTable, DamagedRowIsReportedOnceAndNotSent)
{
    Converted work([] {
        auto rows = std::make_unique<DamagedRecordSet>(Fields(), Rows(3));
        rows->badValueRow = 1;
        return rows;
    });
    ASSERT_EQ(work.failures.size(), 1u);
    EXPECT_EQ(work.failures[0].first, 116);
    EXPECT_NE(work.failures[0].second.find("T.DB"), std::string::npos);
    ASSERT_EQ(work.statements.size(), 3u) << "the half-built row must not be sent";
    EXPECT_EQ(work.statements[2], "INSERT INTO `T` VALUES(3, 'n3')");
}

// A table whose only block was lost looks empty; it is still told, once
// for its rows and once for its values, under the row step's number.
TEST(ConvertTable, LossesAreToldOnceEachAfterTheRows)
{
    Converted work([] {
        auto rows = std::make_unique<LossyRecordSet>(Fields(), Rows(0));
        rows->lost = {
            "/d/T.DB", 3218, 0, 1, "data block 1 is blank", 2, "/d/T.MB", "field \"Note\": the file is missing"};
        return rows;
    });
    ASSERT_EQ(work.failures.size(), 2u);
    EXPECT_EQ(work.failures[0].first, 116);
    EXPECT_EQ(work.failures[0].second.rfind("Table T: 2 memo or blob values could not be read from \"/d/T.MB\"", 0), 0u)
        << work.failures[0].second;
    EXPECT_EQ(work.failures[1].first, 116);
    EXPECT_EQ(work.failures[1].second.rfind("Table T is damaged: its header counts 3218 rows, but 0 were read from "
                                            "\"/d/T.DB\". Damage found: data block 1 is blank.",
                                            0),
              0u)
        << work.failures[1].second;
    EXPECT_EQ(work.statements.size(), 1u);
    EXPECT_EQ(work.account.expectedRows, 3218);
    EXPECT_EQ(work.account.nullValues, 2);
}

TEST(ConvertTable, StuckCursorEndsTheTableInsteadOfLooping)
{
    Converted work([] {
        auto rows = std::make_unique<DamagedRecordSet>(Fields(), Rows(5));
        rows->stuckRow = 1;
        return rows;
    });
    ASSERT_EQ(work.failures.size(), 1u);
    EXPECT_EQ(work.failures[0].first, 120);
    EXPECT_EQ(work.statements.size(), 3u); // create + rows 1 and 2
}

} // namespace
