#include "engine/run/batchexecutor.h"

#include "support/faultyconnection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>

namespace tabulon {
namespace {

using FakeConnection = test::FaultyConnection;

std::string ins(const std::string &table, const std::string &tuple)
{
    return "INSERT INTO `" + table + "` VALUES(" + tuple + ")";
}

struct Failure {
    uint64_t tag;
    std::string what;
    bool operator==(const Failure &) const = default;
};

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override { conn.engines = {{"a", "InnoDB"}, {"b", "InnoDB"}, {"m", "MyISAM"}, {"o'k", "innodb"}}; }
    BatchExecutor make(bool rowByRow = false, bool goOn = true)
    {
        return BatchExecutor(conn, rowByRow, [this, goOn](uint64_t tag, const DbError &e) {
            failures.push_back({tag, e.what()});
            return goOn;
        });
    }
    // Records the tags the server accepted in `accepted`.
    void recordAccepted(BatchExecutor &ex)
    {
        ex.setAcceptHandler([this](uint64_t tag) {
            accepted.push_back(tag);
            return true;
        });
    }
    // Single-row inserts of `a` for from..to-1, tagged by their value.
    static void insertRows(BatchExecutor &ex, uint64_t from, uint64_t to)
    {
        for (uint64_t i = from; i < to; ++i)
            ex.execute(ins("a", std::to_string(i)), i);
    }
    // Refuses any statement holding one of `bad`.
    void refuseContaining(std::set<std::string> bad)
    {
        conn.refuse = [bad = std::move(bad)](const std::string &s) {
            for (const std::string &t : bad)
                if (s.find(t) != std::string::npos)
                    return true;
            return false;
        };
    }
    FakeConnection conn;
    std::vector<Failure> failures;
    std::vector<uint64_t> accepted;
};

TEST_F(BatchTest, MergesConsecutiveRowsAndKeepsOrder)
{
    auto ex = make();
    ex.execute("DROP TABLE `a`", 1);
    ex.execute("CREATE TABLE `a`(`x` INT);", 2);
    ex.execute(ins("a", "1"), 3);
    ex.execute(ins("a", "2, 'x'"), 4);
    ex.execute(ins("b", "3"), 5); // a change of table sends the batch first
    ex.execute(ins("b", "4"), 6);
    ex.execute("UPDATE `b` SET x = 1", 7); // another statement too
    ex.execute(ins("b", "5"), 8);
    ex.flush();
    EXPECT_EQ(conn.executed,
              (std::vector<std::string>{"DROP TABLE `a`", "CREATE TABLE `a`(`x` INT);",
                                        "INSERT INTO `a` VALUES(1),(2, 'x')", "INSERT INTO `b` VALUES(3),(4)",
                                        "UPDATE `b` SET x = 1", "INSERT INTO `b` VALUES(5)"}));
    EXPECT_TRUE(failures.empty());
    EXPECT_FALSE(ex.stopped());
    // Each table's engine once until a non-insert ran.
    EXPECT_EQ(conn.queries.size(), 3u); // a, b, b again after UPDATE
}

TEST_F(BatchTest, AKnownRowPrefixBatchesAsTheParsedStatement)
{
    // A run passes the prefix its row statements share; a line edited by
    // hand is parsed. Both give the server the same statements.
    const std::vector<std::string> rows = {ins("a", "1"), ins("a", "2, 'x'"), ins("o'k", "3"), ins("m", "4"),
                                           ins("o'k", "5")};
    std::vector<std::vector<std::string>> sent;
    for (const bool known : {false, true}) {
        conn.executed.clear();
        auto ex = make();
        for (size_t i = 0; i < rows.size(); ++i)
            ex.execute(rows[i], i, known ? rows[i].find('(') : 0);
        ex.flush();
        sent.push_back(conn.executed);
    }
    EXPECT_EQ(sent[0], (std::vector<std::string>{"INSERT INTO `a` VALUES(1),(2, 'x')", ins("o'k", "3"), ins("m", "4"),
                                                 ins("o'k", "5")}));
    EXPECT_EQ(sent[1], sent[0]);
    EXPECT_TRUE(failures.empty());
}

TEST_F(BatchTest, RefusedBatchIsHalvedDownToTheRefusedRows)
{
    refuseContaining({"),(", "VALUES(2)", "VALUES(4)"});
    auto ex = make();
    for (uint64_t i = 1; i <= 5; ++i)
        ex.execute(ins("a", std::to_string(i)), 100 + i);
    ex.flush();
    EXPECT_EQ(conn.executed,
              (std::vector<std::string>{"INSERT INTO `a` VALUES(1),(2),(3),(4),(5)", "INSERT INTO `a` VALUES(1),(2)",
                                        ins("a", "1"), ins("a", "2"), "INSERT INTO `a` VALUES(3),(4),(5)",
                                        ins("a", "3"), ins("a", "4"), ins("a", "5")}));
    // (3) alone accepted, so (4),(5) is split without being sent whole.
    EXPECT_EQ(failures, (std::vector<Failure>{{102, "Duplicate entry"}, {104, "Duplicate entry"}}));
    EXPECT_FALSE(ex.stopped());
}

// A refused row first, in the middle and last of one large batch: only the
// halves holding one are sent again, and the rows, reports and accepted
// tags are those of row by row, in order.
TEST_F(BatchTest, RefusedRowsAnywhereInALargeBatchCostAFewStatementsEach)
{
    const size_t n = BatchExecutor::kMaxRows;
    const std::set<std::string> bad = {"(0)", "(" + std::to_string(n / 2) + ")", "(" + std::to_string(n - 1) + ")"};
    std::set<std::string> stored;
    conn.refuse = [&](const std::string &s) {
        const size_t values = s.find(" VALUES") + 7;
        std::vector<std::string> tuples;
        for (size_t i = values; i < s.size();) {
            const size_t close = s.find(')', i);
            tuples.push_back(s.substr(i, close + 1 - i));
            i = close + 2;
        }
        for (const std::string &t : tuples)
            if (bad.count(t))
                return true;
        for (const std::string &t : tuples)
            EXPECT_TRUE(stored.insert(t).second) << t; // never stored twice
        return false;
    };
    auto ex = make();
    recordAccepted(ex);
    insertRows(ex, 0, n);
    ex.flush();
    EXPECT_EQ(failures,
              (std::vector<Failure>{{0, "Duplicate entry"}, {n / 2, "Duplicate entry"}, {n - 1, "Duplicate entry"}}));
    std::vector<uint64_t> expected;
    for (size_t i = 0; i < n; ++i)
        if (i != 0 && i != n / 2 && i != n - 1)
            expected.push_back(i);
    EXPECT_EQ(accepted, expected);
    EXPECT_EQ(stored.size(), n - 3);
    // About two statements per halving for each refused row, not one per row.
    const double perRow = 2 * std::ceil(std::log2(double(n)));
    EXPECT_LE(conn.executed.size(), size_t(1 + 3 * perRow));
    EXPECT_EQ(conn.queries.size(), 2u); // the engine, and one compound the server did not know

    // The next batch starts smaller and grows back while it is accepted.
    conn.executed.clear();
    insertRows(ex, n, 5 * n);
    ex.flush();
    ASSERT_GT(conn.executed.size(), 2u);
    const auto tuplesIn = [](const std::string &s) { return std::count(s.begin(), s.end(), '('); };
    EXPECT_LT(tuplesIn(conn.executed[0]), tuplesIn(conn.executed[1]));
    EXPECT_EQ(tuplesIn(conn.executed[conn.executed.size() - 2]), long(n));
    EXPECT_EQ(accepted.size(), 5 * n - 3);
}

// A server with compound statements: each refused row costs a few round
// trips whatever the batch size, with the same outcome as row by row.
TEST_F(BatchTest, CompoundStatementsFindRefusedRowsInFewRoundTrips)
{
    conn.compound = true;
    const size_t n = BatchExecutor::kMaxRows;
    const std::set<std::string> bad = {"(0)", "(" + std::to_string(n / 2) + ")", "(" + std::to_string(n / 2 + 1) + ")",
                                       "(" + std::to_string(n - 1) + ")"};
    refuseContaining(bad);
    auto ex = make();
    recordAccepted(ex);
    insertRows(ex, 0, n);
    ex.flush();
    EXPECT_EQ(failures, (std::vector<Failure>{{0, "Duplicate entry"},
                                              {n / 2, "Duplicate entry"},
                                              {n / 2 + 1, "Duplicate entry"},
                                              {n - 1, "Duplicate entry"}}));
    ASSERT_EQ(accepted.size(), n - 4);
    for (size_t i = 0, k = 0; i < n; ++i)
        if (!bad.count("(" + std::to_string(i) + ")")) {
            EXPECT_EQ(accepted[k++], i);
        }
    // One batch, then per refused row a compound for each 16-fold
    // narrowing, the row alone and the rest.
    EXPECT_LE(conn.trips, 1 + 4 * 6);
    EXPECT_GT(conn.compounds, 0);
}

// A compound ended by something its handler does not see (a killed query):
// the session tells how many pieces were stored, and none is sent twice.
TEST_F(BatchTest, InterruptedCompoundResumesAfterWhatItStored)
{
    conn.compound = true;
    conn.interruptAfter = 2;
    std::multiset<std::string> stored;
    conn.refuse = [&](const std::string &s) {
        if (s.find("(7)") != std::string::npos)
            return true;
        for (size_t i = s.find('('); i != std::string::npos; i = s.find('(', i + 1))
            stored.insert(s.substr(i, s.find(')', i) + 1 - i));
        return false;
    };
    auto ex = make();
    recordAccepted(ex);
    insertRows(ex, 0, 40);
    ex.flush();
    EXPECT_EQ(failures, (std::vector<Failure>{{7, "Duplicate entry"}}));
    EXPECT_EQ(stored.size(), 39u);
    EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()).size(), 39u);
    ASSERT_EQ(accepted.size(), 39u);
    EXPECT_TRUE(std::is_sorted(accepted.begin(), accepted.end()));
    EXPECT_FALSE(ex.stopped());
}

TEST_F(BatchTest, HandlerSaysStop)
{
    refuseContaining({"),(", "VALUES(2)"});
    auto ex = make(false, false);
    insertRows(ex, 1, 5);
    ex.execute("DROP TABLE `a`", 9); // sends the batch, which stops at row 2
    ex.execute(ins("a", "5"), 10);
    ex.flush();
    EXPECT_EQ(conn.executed, (std::vector<std::string>{"INSERT INTO `a` VALUES(1),(2),(3),(4)",
                                                       "INSERT INTO `a` VALUES(1),(2)", ins("a", "1"), ins("a", "2")}));
    EXPECT_EQ(failures, (std::vector<Failure>{{2, "Duplicate entry"}}));
    EXPECT_TRUE(ex.stopped());
}

TEST_F(BatchTest, AcceptedStatementsAreToldInOrderAndTheHandlerMayStop)
{
    std::vector<uint64_t> accepted;
    uint64_t stopAfter = 0;
    auto ex = make();
    ex.setAcceptHandler([&](uint64_t tag) {
        accepted.push_back(tag);
        return tag != stopAfter;
    });
    insertRows(ex, 1, 4);
    ex.execute("DROP TABLE `b`", 4);
    ex.execute(ins("a", "5"), 5);
    ex.flush();
    EXPECT_EQ(conn.executed.size(), 3u);
    EXPECT_EQ(accepted, (std::vector<uint64_t>{1, 2, 3, 4, 5}));

    // A refused batch: only the rows the server took on their own.
    refuseContaining({"),(", "VALUES(12)"});
    accepted.clear();
    insertRows(ex, 11, 15);
    ex.flush();
    EXPECT_EQ(accepted, (std::vector<uint64_t>{11, 13, 14}));
    EXPECT_EQ(failures, (std::vector<Failure>{{12, "Duplicate entry"}}));

    // Saying stop ends the re-sending after that row; what is queued is dropped.
    accepted.clear();
    conn.executed.clear();
    stopAfter = 22;
    insertRows(ex, 21, 25);
    ex.flush();
    ex.execute(ins("a", "25"), 25);
    ex.flush();
    EXPECT_EQ(accepted, (std::vector<uint64_t>{21, 22}));
    EXPECT_EQ(conn.executed.back(), ins("a", "22"));
    EXPECT_TRUE(ex.stopped());
}

TEST_F(BatchTest, LostConnectionReportedOnceWithFirstTag)
{
    auto ex = make();
    ex.execute(ins("a", "1"), 7);
    ex.execute(ins("a", "2"), 8);
    conn.loseConnection = true;
    ex.flush();
    ex.execute(ins("a", "3"), 9);
    ex.execute("DROP TABLE `a`", 10);
    ex.flush();
    EXPECT_EQ(conn.executed.size(), 1u);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].tag, 7u);
    EXPECT_TRUE(ex.stopped());
}

TEST_F(BatchTest, LostConnectionOnAStatementAlone)
{
    auto ex = make();
    conn.loseConnection = true;
    ex.execute("CREATE TABLE `a`(`x` INT);", 3);
    ex.execute(ins("a", "1"), 4);
    EXPECT_EQ(failures, (std::vector<Failure>{{3, "Lost connection to server during query"}}));
    EXPECT_TRUE(ex.stopped());
}

TEST_F(BatchTest, RowLimitAndPacketLimitSplit)
{
    auto ex = make();
    const long n = BatchExecutor::kMaxRows;
    for (long i = 0; i < n * 5 / 2; ++i)
        ex.execute(ins("a", "1"), uint64_t(i));
    ex.flush();
    ASSERT_EQ(conn.executed.size(), 3u);
    EXPECT_EQ(std::count(conn.executed[0].begin(), conn.executed[0].end(), '('), n);
    EXPECT_EQ(std::count(conn.executed[2].begin(), conn.executed[2].end(), '('), n / 2);

    // A large packet: bytes, not rows, end a batch of wide rows, at the cap.
    FakeConnection large;
    large.engines = {{"a", "InnoDB"}};
    large.packet = int64_t(1) << 30;
    BatchExecutor ex3(large, false, {});
    const std::string wide = "'" + std::string(4000, 'w') + "'";
    for (long i = 0; i < 6000; ++i)
        ex3.execute(ins("a", wide), uint64_t(i));
    ex3.flush();
    ASSERT_EQ(large.executed.size(), 2u);
    EXPECT_LE(large.executed[0].size(), BatchExecutor::kMaxBytes);
    EXPECT_GT(large.executed[0].size(), BatchExecutor::kMaxBytes - 5000);

    // A small max_allowed_packet: every batch stays below it, with room left.
    FakeConnection small;
    small.engines = {{"a", "InnoDB"}};
    small.packet = 4096;
    BatchExecutor ex2(small, false, {});
    const std::string tuple = "'" + std::string(100, 'x') + "'";
    for (uint64_t i = 0; i < 200; ++i)
        ex2.execute(ins("a", tuple), i);
    ex2.flush();
    size_t rows = 0;
    for (const std::string &s : small.executed) {
        EXPECT_LT(s.size(), 4096u - 4096u / 16 + 1);
        rows += static_cast<size_t>(std::count(s.begin(), s.end(), '('));
    }
    EXPECT_EQ(rows, 200u);
    EXPECT_GT(small.executed.size(), 5u);

    // A row larger than the limit goes alone, unchanged.
    small.executed.clear();
    const std::string big = ins("a", "'" + std::string(5000, 'y') + "'");
    ex2.execute(ins("a", "1"), 1);
    ex2.execute(big, 2);
    ex2.execute(ins("a", "2"), 3);
    ex2.flush();
    EXPECT_EQ(small.executed, (std::vector<std::string>{ins("a", "1"), big, ins("a", "2")}));
}

TEST_F(BatchTest, UnknownPacketSizeAssumesOneMebibyte)
{
    conn.packet = 0;
    auto ex = make();
    const std::string tuple = "'" + std::string(1000, 'z') + "'";
    for (uint64_t i = 0; i < 999; ++i)
        ex.execute(ins("a", tuple), i);
    ex.flush();
    ASSERT_GT(conn.executed.size(), 1u);
    for (const std::string &s : conn.executed)
        EXPECT_LT(s.size(), size_t(1) << 20);
}

TEST_F(BatchTest, NonTransactionalOrUnknownTablesGoRowByRow)
{
    auto ex = make();
    ex.execute(ins("m", "1"), 1);
    ex.execute(ins("m", "2"), 2);
    ex.execute(ins("nosuch", "3"), 3);
    ex.execute(ins("nosuch", "4"), 4);
    ex.execute(ins("o'k", "5"), 5);
    ex.execute(ins("o'k", "6"), 6);
    ex.flush();
    EXPECT_EQ(conn.executed, (std::vector<std::string>{ins("m", "1"), ins("m", "2"), ins("nosuch", "3"),
                                                       ins("nosuch", "4"), "INSERT INTO `o'k` VALUES(5),(6)"}));
    EXPECT_NE(std::find(conn.queries.begin(), conn.queries.end(),
                        "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                        "TABLE_NAME = 'o''k'"),
              conn.queries.end());
}

TEST_F(BatchTest, EngineForgottenAfterOtherStatements)
{
    auto ex = make();
    ex.execute(ins("a", "1"), 1);
    ex.execute("DROP TABLE `a`", 2);
    conn.engines["a"] = "MyISAM"; // recreated with another engine
    ex.execute("CREATE TABLE `a`(`x` INT) ENGINE=MyISAM;", 3);
    ex.execute(ins("a", "2"), 4);
    ex.execute(ins("a", "3"), 5);
    ex.flush();
    EXPECT_EQ(conn.executed.back(), ins("a", "3"));
    EXPECT_EQ(conn.executed[conn.executed.size() - 2], ins("a", "2"));
}

TEST_F(BatchTest, RowByRowSendsEverythingAlone)
{
    auto ex = make(true);
    ex.execute(ins("a", "1"), 1);
    ex.execute(ins("a", "2"), 2);
    EXPECT_EQ(conn.executed, (std::vector<std::string>{ins("a", "1"), ins("a", "2")}));
    EXPECT_TRUE(conn.queries.empty());
}

TEST_F(BatchTest, TrickyLinesAreNotMerged)
{
    auto ex = make();
    const std::vector<std::string> alone = {
        ins("a", "1") + " -- )",
        ins("a", "1") + ";",
        ins("a", "1),(2"),
        ins("a", "1) ,(2"),
        ins("a", "1 /* x */"),
        ins("a", "1 # x"),
        ins("a", "\"a\""),
        ins("a", "'unterminated"),
        ins("a", "'\\'"),
        "INSERT INTO `a` VALUES (1)",
        "insert into `a` VALUES(1)",
        "INSERT INTO `a`(x) VALUES(1)",
        "INSERT INTO a VALUES(1)",
    };
    for (size_t i = 0; i < alone.size(); ++i) {
        BatchExecutor::SingleRowInsert parsed;
        EXPECT_FALSE(BatchExecutor::parseSingleRowInsert(alone[i], parsed)) << alone[i];
    }
    const std::vector<std::string> merged = {
        ins("a", "')'"),
        ins("a", "'it''s), (x'"),
        ins("a", "'back\\\\', ')'"),
        ins("a", "'\\')'"),
        ins("a", "UNHEX('41'), (2)"),
        ins("a", "'-- # /* ; \" `'"),
        ins("a", "X'', X'00FF',NULL, 0x41"),
        ins("a", "X''"),
    };
    for (const std::string &s : merged) {
        BatchExecutor::SingleRowInsert parsed;
        EXPECT_TRUE(BatchExecutor::parseSingleRowInsert(s, parsed)) << s;
        EXPECT_EQ(parsed.quotedName, "a");
    }
    BatchExecutor::SingleRowInsert parsed;
    ASSERT_TRUE(BatchExecutor::parseSingleRowInsert("INSERT INTO `x``y` VALUES(1)", parsed));
    EXPECT_EQ(parsed.quotedName, "x``y");

    for (const std::string &s : alone)
        ex.execute(s, 0);
    for (const std::string &s : merged)
        ex.execute(s, 1);
    ex.flush();
    std::vector<std::string> expected = alone;
    std::string batch = "INSERT INTO `a` VALUES";
    for (size_t i = 0; i < merged.size(); ++i)
        batch += (i ? "," : "") + merged[i].substr(std::string("INSERT INTO `a` VALUES").size());
    expected.push_back(batch);
    EXPECT_EQ(conn.executed, expected);
}

// Loads, overlapped batches and narrowing, with the connection lost at
// every call in turn: the server keeps exactly the rows reported stored,
// once each, a prefix of the rows sent but for the refused ones.
TEST_F(BatchTest, ALostConnectionAtAnyCallLeavesExactlyTheRowsReportedStored)
{
    constexpr int kRows = 1200;
    int lastCalls = 0;
    for (int loseAt = 1;; ++loseAt) {
        FakeConnection c;
        c.engines = {{"a", "InnoDB"}};
        c.loads = c.overlaps = true;
        c.compound = loseAt % 2 == 0;
        c.packet = 1024; // batches of some 150 rows
        c.loseAt = loseAt;
        c.refuse = [](const std::string &s) { return s.find("(37)") != std::string::npos; };
        std::vector<uint64_t> ok;
        int lost = 0;
        BatchExecutor ex(c, false, [&](uint64_t, const DbError &e) {
            lost += e.connectionLost();
            return true;
        });
        ex.setAcceptHandler([&](uint64_t tag) {
            ok.push_back(tag);
            return true;
        });
        for (uint64_t i = 0; i < kRows; ++i)
            ex.execute(ins("a", std::to_string(i)), i);
        ex.flush();

        std::vector<std::string> expected;
        for (uint64_t tag : ok)
            expected.push_back("(" + std::to_string(tag) + ")");
        ASSERT_EQ(c.stored, expected) << "lost at call " << loseAt;
        for (size_t i = 0; i < ok.size(); ++i)
            ASSERT_EQ(ok[i], i + (i >= 37 ? 1 : 0)) << "lost at call " << loseAt;
        ASSERT_EQ(lost, c.loseConnection ? 1 : 0) << "lost at call " << loseAt;
        ASSERT_EQ(ex.stopped(), c.loseConnection);
        if (!c.loseConnection) {
            EXPECT_EQ(ok.size(), size_t(kRows - 1));
            EXPECT_GT(lastCalls, 30) << "the sweep covered too few calls";
            break;
        }
        lastCalls = loseAt;
    }
}

// A refused COMMIT is rolled back and the rows go as inserts; a refused
// ROLLBACK leaves the load's rows in an open transaction: nothing more may
// be sent, or inserts would be committed with them.
TEST_F(BatchTest, ARefusedCommitOrRollbackStoresNoRowTwice)
{
    for (const std::string verb : {"ROLLBACK", "COMMIT"}) {
        FakeConnection c;
        c.engines = {{"a", "InnoDB"}};
        c.loads = c.overlaps = true;
        c.packet = 1024;
        c.refusedVerbs = {verb};
        c.refuse = [](const std::string &s) { return s.find("(200)") != std::string::npos; };
        std::vector<DbError::Kind> kinds;
        BatchExecutor ex(c, false, [&](uint64_t, const DbError &e) {
            kinds.push_back(e.kind());
            return true;
        });
        std::vector<uint64_t> ok;
        ex.setAcceptHandler([&](uint64_t tag) {
            ok.push_back(tag);
            return true;
        });
        for (uint64_t i = 0; i < 600; ++i)
            ex.execute(ins("a", std::to_string(i)), i);
        ex.flush();
        const bool rollback = verb == "ROLLBACK";
        EXPECT_EQ(ex.stopped(), rollback) << verb;
        ASSERT_FALSE(kinds.empty()) << verb;
        EXPECT_EQ(kinds.back(), rollback ? DbError::Kind::Unknown : DbError::Kind::Refused) << verb;
        EXPECT_EQ(c.stored.size(), rollback ? c.stored.size() : 599u);
        std::set<std::string> seen(c.stored.begin(), c.stored.end());
        seen.insert(c.uncommitted.begin(), c.uncommitted.end());
        EXPECT_EQ(seen.size(), c.stored.size() + c.uncommitted.size()) << verb << ": a row stored twice";
        EXPECT_LE(c.stored.size(), ok.size()) << verb;
    }
}

TEST_F(BatchTest, TablesSentRowByRowSayWhy)
{
    auto ex = make();
    std::vector<std::string> notes;
    ex.setNoteHandler([&](const std::string &table, const std::string &why) { notes.push_back(table + ": " + why); });
    ex.execute(ins("m", "1"), 1);
    ex.execute(ins("m", "2"), 2);
    ex.execute(ins("nosuch", "3"), 3);
    ex.flush();
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "m: Rows were sent one by one, not in batches: its storage engine MyISAM cannot take "
                         "back a refused batch.",
                         "nosuch: Rows were sent one by one, not in batches: the server did not say which "
                         "storage engine the table has."}));
}

} // namespace
} // namespace tabulon
