#include "engine/run/runtablework.h"

#include "support/fakehost.h"
#include "support/faultyconnection.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

// Sending that cannot know what the server holds (here a ROLLBACK the
// server refused) ends the table like a lost connection: the run must see
// it, or later tables would be skipped unsent and still called converted.
TEST(RunTableWork, SendingThatCannotKnowWhatIsStoredEndsTheRun)
{
    auto conn = std::make_unique<test::FaultyConnection>();
    conn->engines = {{"a", "InnoDB"}};
    conn->loads = conn->overlaps = true;
    conn->packet = 1024;
    conn->refusedVerbs = {"ROLLBACK"};
    conn->refuse = [](const std::string &s) { return s.find("(200)") != std::string::npos; };
    RunState state;
    state.mysql_conn = std::move(conn);
    test::FakeHost host;
    GuardedProcedure proc(host, "Form1.PushButton7_Click");
    RunTableWork work(proc, host, state);
    TableReport report;
    work.beginTable("a", &report);
    const std::string prefix = "INSERT INTO `a` VALUES";
    for (int i = 0; i < 600 && !work.stopped(); ++i)
        work.statement(prefix + "(" + std::to_string(i) + ")", 150, prefix.size(), i + 1);
    work.flush();
    EXPECT_TRUE(work.stopped());
    ASSERT_EQ(host.errors().size(), 1u);
    EXPECT_NE(host.errors()[0].find("refused to roll back"), std::string::npos) << host.errors()[0];
}

TEST(RunTableWork, RowCaptionTellsRateAndTimeLeftOnlyAfterASecond)
{
    EXPECT_EQ(RowProgressText(500, 205000, 0.5), "500 of 205,000 rows");
    EXPECT_EQ(RowProgressText(120000, 205000, 1.25), "120,000 of 205,000 rows, about 1 s left, 96,000 rows/s");
    EXPECT_EQ(RowProgressText(1000, 1000000, 2), "1,000 of 1,000,000 rows, about 33 min left, 500 rows/s");
    EXPECT_EQ(RowProgressText(3000, -1, 2), "3,000 rows, 1,500 rows/s");
}

} // namespace
} // namespace tabulon
