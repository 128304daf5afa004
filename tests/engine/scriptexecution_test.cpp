#include "engine/script/scriptexecution.h"

#include "common/eventpump.h"
#include "common/guardedsteps.h"
#include "data/connection.h"
#include "engine/script/scriptmodel.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace tabulon {
namespace {

// Records what it is sent; fails statements as `fail` says.
class FakeConnection : public Connection {
public:
    std::vector<std::string> executed;
    std::function<void(const std::string &)> fail = [](const std::string &) {};

    void execute(const std::string &statement) override
    {
        executed.push_back(statement);
        fail(statement);
    }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &) override { throw DbError("no record sets here"); }
    void close() override {}
    bool isOpen() const override { return true; }
};

class RecordingHost : public ScriptExecutionHost, public MessageHost {
public:
    std::vector<std::string> reports, informs, captions;
    std::vector<double> progress;
    std::vector<int> selected;
    std::string errorText;
    bool busy = false;
    int closed = 0;
    std::function<bool()> stop = [] { return false; };
    std::function<void(double, const std::string &)> onProgress;

    MessageHost &messages() override { return *this; }
    void setBusy(bool b) override { busy = b; }
    void setProgress(double percent, const std::string &caption) override
    {
        progress.push_back(percent);
        captions.push_back(caption);
        if (onProgress)
            onProgress(percent, caption);
    }
    void selectLine(int line) override { selected.push_back(line); }
    void setErrorText(const std::string &text) override { errorText = text; }
    bool stopRequested() override { return stop(); }
    void closeWindow() override { ++closed; }

    void showApplicationError(const std::string &text) override { reports.push_back(text); }
    bool askYesNo(const std::string &, const std::string &) override { return false; }
    void inform(const std::string &text, const std::string &) override { informs.push_back(text); }
};

class ScriptExecutionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EventPump::reset();
        ErrorLine = 0;
    }
    void lines(int n)
    {
        for (int i = 1; i <= n; ++i)
            script.append("INSERT INTO `t` VALUES(" + std::to_string(i) + ")");
    }
    ExecutionResult run(Connection *c, bool rowByRow = true)
    {
        return ExecuteScript(script, c, host, {SQLFormOK, StopConversion, ErrorLine}, rowByRow);
    }
    static std::string report(const std::string &description)
    {
        return ApplicationErrorText(description, ReportProject::Quorvex, "Form2.PushButton1_Click", 112);
    }

    ScriptModel script;
    FakeConnection db;
    RecordingHost host;
    bool SQLFormOK = false;
    bool StopConversion = true;
    int ErrorLine = 0;
};

TEST_F(ScriptExecutionTest, BlankLinesAreSkippedAndACleanEndSetsBothFlagsAndCloses)
{
    script.append("CREATE TABLE `t` (`a` INT)");
    script.append("");
    script.append("   ");
    script.append("\t \r\n");
    EXPECT_EQ(run(&db), ExecutionResult::Done);
    EXPECT_EQ(db.executed, std::vector<std::string>{"CREATE TABLE `t` (`a` INT)"});
    EXPECT_TRUE(SQLFormOK);
    EXPECT_FALSE(StopConversion);
    EXPECT_EQ(host.closed, 1);
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.progress.back(), 0);
    EXPECT_EQ(host.captions.back(), "Progress Bar");
    EXPECT_TRUE(host.informs.empty());
    EXPECT_TRUE(host.reports.empty());
}

TEST_F(ScriptExecutionTest, ProgressFollowsEveryLineBlankOnesIncluded)
{
    lines(200);
    script.setLine(49, "  ");
    bool seen = false;
    host.onProgress = [&](double percent, const std::string &caption) {
        if (caption == "Please wait.. Processing row: 50 of 200") {
            seen = true;
            EXPECT_DOUBLE_EQ(percent, 25.0);
            EXPECT_TRUE(host.busy);
        }
    };
    run(&db);
    EXPECT_TRUE(seen);
    EXPECT_EQ(host.captions.size(), 201u);
    EXPECT_EQ(db.executed.size(), 199u);
}

TEST_F(ScriptExecutionTest, ALocatedErrorStopsAtItsLineAndTheNextPressGoesOnThere)
{
    lines(9);
    const std::string text = "Trigger said: sqlexception at id 5";
    db.fail = [&](const std::string &s) {
        if (s.find("(5)") != std::string::npos)
            throw DbError(text, 1644);
    };
    EXPECT_EQ(run(&db), ExecutionResult::LocatedError);
    ASSERT_EQ(db.executed.size(), 5u);
    EXPECT_EQ(db.executed.back(), "INSERT INTO `t` VALUES(5)");
    EXPECT_EQ(ErrorLine, 5);
    EXPECT_EQ(host.selected, std::vector<int>{5});
    EXPECT_EQ(host.errorText, text);
    EXPECT_EQ(host.informs, std::vector<std::string>{"Error found."});
    EXPECT_TRUE(host.reports.empty());
    EXPECT_FALSE(SQLFormOK);
    EXPECT_TRUE(StopConversion);
    EXPECT_EQ(host.closed, 0);
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.captions.back(), "Progress Bar");

    for (int row = 0; row < 9; ++row)
        EXPECT_EQ(script.isExecuted(row), row < 4) << row;

    // Corrected, the next press sends each line not yet on the server once:
    // an edited line again, one given its own text back not.
    script.setLine(4, "INSERT INTO `t` VALUES(50)");
    script.setLine(1, "INSERT INTO `t` VALUES(20)");
    script.setLine(2, "INSERT INTO `t` VALUES(3)");
    db.executed.clear();
    host.captions.clear();
    db.fail = [](const std::string &) {};
    EXPECT_EQ(run(&db), ExecutionResult::Done);
    EXPECT_EQ(db.executed, (std::vector<std::string>{"INSERT INTO `t` VALUES(20)", "INSERT INTO `t` VALUES(50)",
                                                     "INSERT INTO `t` VALUES(6)", "INSERT INTO `t` VALUES(7)",
                                                     "INSERT INTO `t` VALUES(8)", "INSERT INTO `t` VALUES(9)"}));
    EXPECT_EQ(host.captions.front(), "Please wait.. Processing row: 2 of 9");
    EXPECT_EQ(ErrorLine, 5) << "kept until the next located error";
}

TEST_F(ScriptExecutionTest, AFailureThatIsNoRefusalIsReportedOnceAndStopsUnlocated)
{
    // A busy connection or an unknown outcome is not the line's fault:
    // nothing to correct there, and the next lines must not run.
    lines(8);
    db.fail = [](const std::string &s) {
        if (s.find("(5)") != std::string::npos)
            throw DbError("The MySQL connection is still busy with the previous statement.", 0, DbError::Kind::Misuse);
    };
    EXPECT_EQ(run(&db), ExecutionResult::ConnectionLost);
    EXPECT_EQ(db.executed.size(), 5u);
    EXPECT_EQ(host.reports,
              std::vector<std::string>{report("The MySQL connection is still busy with the previous statement.")});
    EXPECT_FALSE(SQLFormOK);
    EXPECT_EQ(ErrorLine, 0);
    EXPECT_EQ(host.closed, 0);
}

TEST_F(ScriptExecutionTest, ALostConnectionIsReportedOnceAndStopsWithTheFlagsUntouched)
{
    lines(10);
    db.fail = [](const std::string &s) {
        if (s >= "INSERT INTO `t` VALUES(3)")
            throw DbError("Lost connection to server during query", 2013, DbError::Kind::ConnectionLost);
    };
    EXPECT_EQ(run(&db), ExecutionResult::ConnectionLost);
    EXPECT_EQ(db.executed.size(), 3u);
    EXPECT_EQ(host.reports, std::vector<std::string>{report("Lost connection to server during query")});
    EXPECT_EQ(host.selected, std::vector<int>{3});
    EXPECT_FALSE(SQLFormOK);
    EXPECT_TRUE(StopConversion);
    EXPECT_EQ(ErrorLine, 0);
    EXPECT_EQ(host.closed, 0);
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(host.informs.empty());
}

TEST_F(ScriptExecutionTest, NoConnectionIsOneReportNotOnePerLine)
{
    lines(50);
    EXPECT_EQ(run(nullptr), ExecutionResult::ConnectionLost);
    EXPECT_EQ(host.reports.size(), 1u);
    EXPECT_FALSE(SQLFormOK);
}

TEST_F(ScriptExecutionTest, AnEmptyListSaysSoAndChangesNothing)
{
    EXPECT_EQ(run(&db), ExecutionResult::NothingToRun);
    EXPECT_EQ(host.informs, std::vector<std::string>{"No SQL to run."});
    EXPECT_TRUE(host.progress.empty());
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.closed, 0);
    EXPECT_FALSE(SQLFormOK);
    EXPECT_TRUE(StopConversion);
}

TEST_F(ScriptExecutionTest, AStopRequestEndsAfterTheCurrentLineWithoutTheFlags)
{
    lines(10);
    host.stop = [&] { return db.executed.size() >= 4; };
    EXPECT_EQ(run(&db), ExecutionResult::Stopped);
    EXPECT_EQ(db.executed.size(), 4u);
    EXPECT_FALSE(SQLFormOK);
    EXPECT_TRUE(StopConversion);
    EXPECT_EQ(host.closed, 0);
    EXPECT_FALSE(host.busy);
}

TEST_F(ScriptExecutionTest, AQuittingApplicationUnwindsWithThePointerBack)
{
    lines(100);
    host.onProgress = [](double, const std::string &caption) {
        if (caption.find("row: 3 of") != std::string::npos)
            EventPump::requestQuit();
    };
    EXPECT_THROW(run(&db), Aborted);
    EXPECT_FALSE(host.busy);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_FALSE(SQLFormOK);
    EventPump::reset();
}

} // namespace
} // namespace tabulon
