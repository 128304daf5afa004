#include "previewfixture.h"

#include "common/guardedsteps.h"
#include "support/mariadbserver.h"
#include "target/mysqlconnection.h"

#include <QPlainTextEdit>

namespace tabulon::test {
namespace {

// Execute SQL on a real server: a table whose trigger refuses chosen ids.
class PreviewServerTest : public PreviewTest {
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        database = server().createDatabase("preview");
        server().exec(database, "CREATE TABLE t (id INT) ENGINE=InnoDB");
        server().exec(database, "CREATE TRIGGER refuse BEFORE INSERT ON t FOR EACH ROW "
                                "IF NEW.id IN (5, 105) THEN SIGNAL SQLSTATE '45000' "
                                "SET MESSAGE_TEXT = 'id refused by trigger'; END IF");
    }

    static TestServer &server() { return TestServer::shared(); }

    ScriptedConnection &connect()
    {
        auto c = std::make_unique<ScriptedConnection>(
            OpenMySqlConnection(server().connectionString(database), ConnectionOptions{}));
        ScriptedConnection &ref = *c;
        state.mysql_conn = std::move(c);
        return ref;
    }

    // `n` insert lines into the emptied t, sent batched or row by row.
    ScriptedConnection &startOver(bool rowByRow, int n)
    {
        setRowByRow(rowByRow);
        server().exec(database, "DELETE FROM t");
        state.scriptList.clear();
        ScriptedConnection &db = connect();
        lines(n);
        return db;
    }

    std::vector<std::string> ids()
    {
        std::vector<std::string> out;
        for (const auto &row : server().query(database, "SELECT id FROM t ORDER BY id"))
            out.push_back(row[0].value_or("NULL"));
        return out;
    }

    std::string database;
};

TEST_F(PreviewServerTest, ALocatedErrorStopsAtItsLineAndTheCorrectedRerunGoesOnThere)
{
    for (const bool rowByRow : {true, false}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "batched");
        startOver(rowByRow, 12);
        state.SQLFormOK = false;
        state.StopConversion = true;
        boxes.clear();
        open();
        click("PushButton1");
        EXPECT_EQ(ids(), (std::vector<std::string>{"1", "2", "3", "4"}));
        EXPECT_EQ(state.ErrorLine, 5);
        EXPECT_EQ(selectedLine(), 5);
        EXPECT_EQ(plain(), std::vector<std::string>{"Error found."});
        const QString error = child<QPlainTextEdit>("Text1")->toPlainText();
        EXPECT_TRUE(error.contains("SQLException")) << error.toStdString();
        EXPECT_TRUE(error.contains("id refused by trigger")) << error.toStdString();
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(state.SQLFormOK);
        for (int row = 0; row < 12; ++row)
            EXPECT_EQ(list()->model()->data(list()->model()->index(row, 0), ScriptModel::ExecutedRole).toBool(),
                      row < 4)
                << row;

        // t has no key: a line sent twice would show as a doubled id.
        state.scriptList.setLine(4, "INSERT INTO `t` VALUES(50)");
        click("PushButton1");
        EXPECT_FALSE(window->isVisible());
        EXPECT_TRUE(state.SQLFormOK);
        EXPECT_FALSE(state.StopConversion);
        EXPECT_EQ(ids(), (std::vector<std::string>{"1", "2", "3", "4", "6", "7", "8", "9", "10", "11", "12", "50"}));
    }
}

TEST_F(PreviewServerTest, BatchedAndRowByRowAgreeOnRowsReportsAndTheLine)
{
    struct Outcome {
        std::vector<std::string> ids, boxes;
        int errorLine, selected;
        std::string error;
    };
    auto runOnce = [&](bool rowByRow) {
        startOver(rowByRow, 12);
        boxes.clear();
        state.ErrorLine = 0;
        open();
        click("PushButton1");
        Outcome o{ids(), plain(), state.ErrorLine, selectedLine(),
                  child<QPlainTextEdit>("Text1")->toPlainText().toStdString()};
        click("PushButton5");
        return o;
    };
    const Outcome rowByRow = runOnce(true);
    const Outcome batched = runOnce(false);
    EXPECT_EQ(rowByRow.ids, (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(batched.ids, rowByRow.ids);
    EXPECT_EQ(batched.boxes, rowByRow.boxes);
    EXPECT_EQ(batched.errorLine, 5);
    EXPECT_EQ(rowByRow.errorLine, 5);
    EXPECT_EQ(batched.selected, 5);
    EXPECT_EQ(batched.error, rowByRow.error);
}

TEST_F(PreviewServerTest, BackDuringTheLastStatementLeavesAlikeRowByRowAndBatched)
{
    for (const bool rowByRow : {true, false}) {
        SCOPED_TRACE(rowByRow ? "row by row" : "batched");
        ScriptedConnection &db = startOver(rowByRow, 4);
        state.scriptList.append("INSERT INTO `t` VALUES(6)"); // batched: the final flush
        state.SQLFormOK = false;
        state.StopConversion = true;
        db.beforeStatementWith("(6)", [this] { click("PushButton5"); });
        open();
        click("PushButton1");
        EXPECT_EQ(ids(), (std::vector<std::string>{"1", "2", "3", "4", "6"}));
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(state.SQLFormOK) << "left by Back, not executed to the end";
        EXPECT_TRUE(state.StopConversion) << "the per-table run must not go on";
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(PreviewServerTest, ALostConnectionIsOneReportAndTheWindowStaysOpen)
{
    setRowByRow(true);
    ScriptedConnection &db = connect();
    auto *real = static_cast<MySqlConnection *>(db.real());
    db.beforeStatementWith("(4)", [&] { server().killConnection(real->threadId()); });
    lines(10);
    state.SQLFormOK = false;
    state.StopConversion = true;
    open();
    click("PushButton1");
    EXPECT_EQ(ids(), (std::vector<std::string>{"1", "2", "3"}));
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_NE(reports()[0].find("Form2.PushButton1_Click at line 112"), std::string::npos) << reports()[0];
    EXPECT_TRUE(plain().empty()) << "not \"Error found.\", not done";
    EXPECT_EQ(db.executed.size(), 4u);
    EXPECT_EQ(selectedLine(), 4);
    EXPECT_EQ(state.ErrorLine, 0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(state.SQLFormOK);
    EXPECT_TRUE(state.StopConversion);
}

} // namespace
} // namespace tabulon::test
