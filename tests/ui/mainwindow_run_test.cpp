#include "mainwindowfixture.h"

#include "support/mariadbserver.h"
#include "support/paradoxtable.h"

#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace tabulon::test {

// The settings of a direct-mode run from `folder` into `db` on `server`.
void MainWindowTest::storeDirectRun(const QString &folder, const TestServer &server, const std::string &db)
{
    store("ParadoxFolder", folder);
    store("Server", "127.0.0.1");
    store("Port", QString::number(server.port()));
    store("User", QString::fromStdString(server.user()));
    store("Password", QString::fromStdString(server.password()));
    store("Database", QString::fromStdString(db));
    store("Check1", "0");
}

namespace {

// The whole road: settings pointing at a server and a folder, one click on
// "Start Converting" in direct mode, the tables and rows on the server.
TEST_F(MainWindowTest, StartConvertingCopiesTheFolderIntoMySql)
{
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("run");
    server.exec(db, "CREATE TABLE `PEOPLE` (x INT)");

    const QString folder = path("px");
    QDir().mkpath(folder);
    writeParadoxTable((folder + "/people.db").toStdString(),
                      {{"Id", 'I'}, {"Name", 'A', 30}, {"Born", 'D'}, {"Notes", 'M', 20}},
                      {{Value::integer(1), Value::text("Zoë O'Brien"), Value::dateTime(DateTime::fromCivil(1970, 5, 1)),
                        Value::text(std::string(70000, 'n') + "\r\nend")},
                       {Value::integer(2), Value::text("Jürgen"), Value::null(), Value::null()}});
    writeParadoxTable((folder + "/empty.db").toStdString(), {{"Id", 'I'}});

    storeDirectRun(folder, server, db);
    open();
    ASSERT_TRUE(boxes.empty());

    answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes};
    click("PushButton7");

    EXPECT_TRUE(errors().empty()) << (errors().empty() ? "" : errors()[0]);
    ASSERT_FALSE(plain().empty());
    EXPECT_EQ(plain().back(), "Done.");
    bool askedOverwrite = false;
    for (const auto &b : boxes)
        askedOverwrite = askedOverwrite || b.text == "Would you like to overwrite PEOPLE?";
    EXPECT_TRUE(askedOverwrite);

    const auto rows = server.query(db, "SELECT Id, Name, Born, LENGTH(Notes) FROM PEOPLE ORDER BY Id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "Zoë O'Brien");
    // Dates travel as text columns.
    EXPECT_EQ(rows[0][2], "05/01/1970");
    EXPECT_EQ(rows[0][3], "70005");
    EXPECT_EQ(rows[1][1], "Jürgen");
    EXPECT_EQ(rows[1][2], std::nullopt);
    EXPECT_EQ(server.scalar(db, "SELECT COUNT(*) FROM EMPTY"), "0");

    // The run is over: its connection is closed, the window can run again.
    EXPECT_FALSE(window().runState().ConversionBusy);
    EXPECT_TRUE(!window().runState().mysql_conn || !window().runState().mysql_conn->isOpen());
}

// The "Done." box tells what happened: rows read, stored and refused per
// table, the refused statements with the server's message, a declined
// table, the server's own count; refused rows stop asking for clicks once
// the user says so; the report can be saved.
TEST_F(MainWindowTest, TheRunReportTellsWhatHappenedAndRefusalsCanBeSilenced)
{
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("report");
    server.exec(db, "CREATE TABLE `KEEP` (x INT)");
    const QString folder = path("px");
    QDir().mkpath(folder);
    {
        ParadoxWriter w((folder + "/people.db").toStdString(), {{"Id", 'I'}, {"Name", 'A', 20}});
        for (int id = 1; id <= 6; ++id)
            w.addRow({Value::integer(id), Value::text("n" + std::to_string(id))});
        w.finish();
    }
    writeParadoxTable((folder + "/keep.db").toStdString(), {{"Id", 'I'}}, {{Value::integer(1)}});
    storeDirectRun(folder, server, db);
    open();

    // Once PEOPLE exists (its first row moves the bar), every row but the
    // first is refused.
    bool triggered = false;
    QObject::connect(window().findChild<QProgressBar *>("ProgressBar1"), &QProgressBar::valueChanged, [&](int) {
        if (!triggered && server.scalar(db, "SELECT COUNT(*) FROM information_schema.TABLES WHERE "
                                            "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'PEOPLE~tabulon'") == "1") {
            triggered = true;
            server.exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON `PEOPLE~tabulon` FOR EACH ROW "
                            "IF NEW.Id > 1 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no more people'; END IF");
        }
    });
    int offers = 0, saves = 0;
    std::optional<BoxRequest> done;
    MessageBoxes::setResponder([&](const BoxRequest &r) {
        boxes.push_back(r);
        if (!r.checkBoxText.isEmpty()) {
            ++offers;
            *r.checkBoxTicked = true;
        }
        if (r.text == "Done.") {
            done = r;
            return saves++ == 0 ? QMessageBox::Save : QMessageBox::Ok;
        }
        return r.buttons & QMessageBox::Yes ? QMessageBox::No : QMessageBox::Ok;
    });
    const QString saved = path("report.txt");
    window().setReportFileChooser([&](QWidget *, const QString &) { return saved; });
    click("PushButton7");

    // Rows 2 to 4 ask a click each; the fourth refusal offers the check box,
    // ticked, and row 6 is told only in the report.
    EXPECT_EQ(errors().size(), 4u);
    EXPECT_EQ(offers, 1);
    ASSERT_TRUE(done);
    EXPECT_EQ(saves, 2) << "Save Report keeps the box open";
    const std::string summary = done->informativeText.toStdString();
    EXPECT_EQ(summary, "2 tables: 6 rows read, 1 stored, 5 refused by the server. 1 table not overwritten.");
    const std::string details = done->detailedText.toStdString();
    EXPECT_NE(details.find("converted, verified"), std::string::npos) << details;
    EXPECT_NE(details.find("not overwritten"), std::string::npos) << details;
    EXPECT_NE(details.find("no more people"), std::string::npos) << details;
    EXPECT_NE(details.find("INSERT INTO `PEOPLE` VALUES(6, 'n6')"), std::string::npos) << details;
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), summary + "\n\n" + details);
    EXPECT_EQ(server.scalar(db, "SELECT COUNT(*) FROM PEOPLE"), "1");
}

// While a run works its button reads "Stop". Closing the window asks
// first: No lets the run go on to its end; Yes stops it after the statement
// in flight and closes the window, with no report box. Esc stops as the
// button does, and the report says so.
TEST_F(MainWindowTest, ClosingDuringARunAsksAndAStopEndsTheRunCleanly)
{
    TestServer &server = TestServer::shared();
    const QString folder = path("px");
    QDir().mkpath(folder);
    for (const char *name : {"first", "second"}) {
        ParadoxWriter w((folder + "/" + name + ".db").toStdString(), {{"Id", 'I'}});
        for (int id = 1; id <= 50; ++id)
            w.addRow({Value::integer(id)});
        w.finish();
    }
    struct Case {
        const char *name;
        std::function<void()> act;
        QMessageBox::StandardButton answer;
    };
    const std::vector<Case> cases = {
        {"no", [this] { window().close(); }, QMessageBox::No},
        {"esc", [this] { QTest::keyClick(&window(), Qt::Key_Escape); }, QMessageBox::NoButton},
        {"yes", [this] { window().close(); }, QMessageBox::Yes},
    };
    const std::string question = "A conversion is running. Stop it and close Tabulon?";
    for (const Case &c : cases) {
        const std::string db = server.createDatabase("close");
        storeDirectRun(folder, server, db);
        open();
        boxes.clear();
        answers = {c.answer};
        bool acted = false;
        QString during;
        QObject::connect(child<QProgressBar>("ProgressBar1"), &QProgressBar::valueChanged, [&](int value) {
            if (acted || value == 0)
                return;
            acted = true;
            during = child<QPushButton>("PushButton7")->text();
            c.act();
        });
        click("PushButton7");
        EXPECT_EQ(during, "Stop") << c.name;
        // A table cut short stays under its staging name, for the next Start.
        const auto tables = server.query(db, "SHOW TABLES WHERE `Tables_in_" + db + "` NOT LIKE '%~tabulon'");
        const bool asked = !boxes.empty() && boxes.front().text.toStdString() == question;
        const bool done = !boxes.empty() && boxes.back().text == "Done.";
        if (c.answer == QMessageBox::No) {
            EXPECT_TRUE(asked);
            EXPECT_TRUE(done);
            EXPECT_EQ(tables.size(), 2u);
            EXPECT_TRUE(window().isVisible());
            EXPECT_EQ(child<QPushButton>("PushButton7")->text(), "Start Converting");
        } else if (c.answer == QMessageBox::Yes) {
            EXPECT_TRUE(asked);
            EXPECT_FALSE(done);
            // The table cut short never takes its name.
            EXPECT_EQ(tables.size(), 0u);
            EXPECT_FALSE(window().isVisible());
        } else {
            ASSERT_TRUE(done) << c.name;
            EXPECT_EQ(boxes.back().informativeText.toStdString().rfind("Stopped by the user. ", 0), 0u)
                << boxes.back().informativeText.toStdString();
            EXPECT_EQ(tables.size(), 0u);
        }
        EXPECT_FALSE(window().runState().ConversionBusy) << c.name;
    }
}

// Closing the main window while the preview executes: the preview stops
// after its current line and closes, then the run ends and the window
// closes, without a question or a report.
TEST_F(MainWindowTest, ClosingDuringThePreviewsExecutionStopsAfterTheLineAndCloses)
{
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("closepreview");
    const QString folder = path("px");
    QDir().mkpath(folder);
    ParadoxWriter w((folder + "/people.db").toStdString(), {{"Id", 'I'}});
    for (int id = 1; id <= 50; ++id)
        w.addRow({Value::integer(id)});
    w.finish();
    storeDirectRun(folder, server, db);
    store("Check1", "1");
    open();
    std::function<void()> whenPreview = [&] {
        QWidget *preview = QApplication::activeModalWidget();
        if (!preview) {
            QTimer::singleShot(0, whenPreview);
            return;
        }
        auto *bar = preview->findChild<QProgressBar *>("ProgressBar1");
        QObject::connect(bar, &QProgressBar::valueChanged, [this, bar](int value) {
            // A value comes before its caption: the first under a row caption is line 2's.
            if (value > 0 && bar->format() != "Progress Bar" && window().isVisible())
                window().close();
        });
        QTest::mouseClick(preview->findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
    };
    QTimer::singleShot(0, whenPreview);
    click("PushButton7");
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
    // Closed during line 2, the first row: that row is stored, none after it.
    EXPECT_EQ(server.scalar(db, "SELECT COUNT(*) FROM PEOPLE"), "1");
    EXPECT_FALSE(window().runState().mysql_conn->isOpen());
}

// The code page beside the folder is stored the moment it changes, comes
// back at the next start, and the run reads every table's text in it.
TEST_F(MainWindowTest, ChosenCodePageIsStoredAndUsedByTheRun)
{
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("cp");
    const QString folder = path("px");
    QDir().mkpath(folder);
    writeParadoxTable((folder + "/people.db").toStdString(), {{"Name", 'A', 30}}, {{Value::text("Café")}}, 1252);
    storeDirectRun(folder, server, db);
    open();
    auto *combo = child<QComboBox>("Combo1");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentText(), "Auto");
    EXPECT_EQ(stored("CodePage"), std::nullopt);
    combo->setCurrentIndex(combo->findText("1251"));
    EXPECT_EQ(stored("CodePage"), "1251");
    reopen();
    combo = child<QComboBox>("Combo1");
    EXPECT_EQ(combo->currentText(), "1251");

    click("PushButton7");
    EXPECT_TRUE(errors().empty()) << (errors().empty() ? "" : errors()[0]);
    const auto rows = server.query(db, "SELECT Name FROM PEOPLE");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Cafй");

    store("CodePage", "65001");
    reopen();
    EXPECT_EQ(child<QComboBox>("Combo1")->currentText(), "Auto");
}

} // namespace
} // namespace tabulon::test
