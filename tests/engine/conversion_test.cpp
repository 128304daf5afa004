// The conversion run against a real MariaDB server, on Paradox folders this
// test writes (and the real fixture tables when they are there).

#include "engine/run/conversionrun.h"

#include "../fs/tempfolder.h"
#include "common/eventpump.h"
#include "engine/run/batchexecutor.h"
#include "engine/run/connectionfactory.h"
#include "engine/script/scriptexecution.h"
#include "schemafiles.h"
#include "source/paradox/paradoxrecordset.h"
#include "source/paradoxsource.h"
#include "support/fakehost.h"
#include "support/fixtures.h"
#include "support/mariadbserver.h"
#include "support/paradoxsource.h"
#include "support/paradoxtable.h"
#include "tools/paradoxwriter.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>
#include <tuple>

#include <sys/wait.h>

using namespace tabulon;
using tabulon::test::FakeHost;
using tabulon::test::TestServer;
using tabulon::test::writeParadoxTable;

namespace {

using Rows = std::vector<TestServer::Row>;
using Box = FakeHost::Box;

// A scripted window whose hooks let a test act on the server at exact
// points of the run (a trigger after the create, a killed session).
class Host : public FakeHost {
public:
    std::function<void(const std::string &)> onCaption;
    std::function<void(int)> onRow; // the row counter r, from 1
    std::function<void()> onAsk;
    int rowsSeen = 0;
    bool stop = false; // Stop pressed
    bool stopRequested() const override { return stop; }
    bool askYesNo(const std::string &text, const std::string &title) override
    {
        if (onAsk)
            onAsk();
        return FakeHost::askYesNo(text, title);
    }
    void setProgressCaption(const std::string &caption) override
    {
        FakeHost::setProgressCaption(caption);
        // A table's rows go on under the captions that count them.
        if (caption.find(" rows") == std::string::npos)
            rowsSeen = 0;
        if (onCaption)
            onCaption(caption);
    }
    void setProgress(double percent) override
    {
        FakeHost::setProgress(percent);
        if (percent != 0 && onRow)
            onRow(++rowsSeen);
    }
};

// "Execute SQL" of the preview window, without the window.
class Execution : public ScriptExecutionHost {
public:
    explicit Execution(MessageHost &messages) : m_messages(messages) {}
    MessageHost &messages() override { return m_messages; }
    void setBusy(bool) override {}
    void setProgress(double, const std::string &) override {}
    void selectLine(int) override {}
    void setErrorText(const std::string &) override {}
    bool stopRequested() override { return false; }
    void closeWindow() override {}

private:
    MessageHost &m_messages;
};

// Standard output and exit status of a shell command.
std::pair<std::string, int> Capture(const std::string &command)
{
    std::FILE *p = popen(command.c_str(), "r");
    std::string out;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
        out.append(buffer, n);
    const int status = pclose(p);
    return {out, status};
}

std::string ShellQuoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The name in backticks at `at` (doubled backticks stand for one).
std::string QuotedNameAt(const std::string &line, size_t at)
{
    std::string name;
    for (size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] == '`') {
            if (i + 1 < line.size() && line[i + 1] == '`') {
                name += '`';
                ++i;
                continue;
            }
            break;
        }
        name += line[i];
    }
    return name;
}

class Conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        EventPump::reset();
        ASSERT_TRUE(m_dir.isValid());
        folder = m_dir.path().toStdString();
        useServer(TestServer::shared());
    }

    void useServer(TestServer &s)
    {
        server = &s;
        db = s.createDatabase("conv");
        host.fields[1] = folder;
        host.fields[2] = "127.0.0.1";
        host.fields[3] = std::to_string(s.port());
        host.fields[4] = s.user();
        host.fields[5] = s.password();
        host.fields[6] = db;
    }

    // Another window with this test's settings, for a further run; `source`
    // replaces the Paradox folder when given.
    void copySettings(FakeHost &h, const std::string &source = {}) const
    {
        for (int n = 1; n <= 6; ++n)
            h.fields[n] = host.fields[n];
        if (!source.empty())
            h.fields[1] = source;
    }

    // Table NAME with an Id column and n rows "row <i>".
    void writeSimple(const std::string &name, int n)
    {
        ParadoxWriter w(folder + "/" + name + ".db", {{"Id", 'I'}, {"Label", 'A', 20}});
        for (int i = 1; i <= n; ++i)
            w.addRow({Value::integer(i), Value::text("row " + std::to_string(i))});
        w.finish();
    }

    Rows query(const std::string &sql) { return server->query(db, sql); }
    std::string count(const std::string &table)
    {
        return server->scalar(db, "SELECT COUNT(*) FROM `" + table + "`").value_or("?");
    }
    std::vector<std::string> errorDescriptions() const
    {
        std::vector<std::string> out;
        for (const auto &e : host.errors())
            out.push_back(e.substr(0, e.find("\r\n")));
        return out;
    }
    // The step number of each Application Error report, in order.
    std::vector<int> errorSteps() const
    {
        std::vector<int> out;
        for (const auto &e : host.errors()) {
            const auto at = e.find(" at line ");
            out.push_back(at == std::string::npos ? -1 : std::stoi(e.substr(at + 9)));
        }
        return out;
    }
    void expectDone()
    {
        ASSERT_FALSE(host.boxes.empty());
        EXPECT_EQ(host.boxes.back().kind, Box::Information);
        EXPECT_EQ(host.boxes.back().text, "Done.");
        EXPECT_EQ(host.boxes.back().title, "");
        ASSERT_FALSE(host.captions.empty());
        EXPECT_EQ(host.captions.back(), "Progress Bar");
        ASSERT_FALSE(host.progress.empty());
        EXPECT_EQ(host.progress.back(), 0);
        EXPECT_FALSE(host.busy);
        EXPECT_FALSE(state.ConversionBusy);
        ASSERT_TRUE(state.mysql_conn);
        EXPECT_FALSE(state.mysql_conn->isOpen());
    }

    QTemporaryDir m_dir;
    std::string folder;
    TestServer *server = nullptr;
    std::string db;
    Host host;
    RunState state;
};

TEST_F(Conversion, EveryTypeArrivesIntact)
{
    std::string memo;
    for (int i = 0; memo.size() < 70 * 1024; ++i)
        memo += "Line " + std::to_string(i) + ": O'Brien \\ \"quoted\" Zoë €\r\n";
    std::string blob;
    for (int i = 0; i < 3000; ++i)
        blob.push_back(static_cast<char>(i * 7));
    {
        ParadoxWriter w(folder + "/AllTypes.db", test::EveryFieldType());
        w.addRow({Value::null(), Value::text("O'Brien \\ Zoë Ærø €™"), Value::dateTime(DateTime::fromCivil(1990, 3, 4)),
                  Value::dateTime(DateTime::fromCivil(2001, 2, 3, 4, 5, 6, 789)),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 12, 30, 0)), Value::integer(-5),
                  Value::integer(2147483647), Value::real(1234567.89), Value::currency(123400), Value::boolean(true),
                  Value::decimal("-12345.67"), Value::text(memo), Value::bytes(blob),
                  Value::bytes(std::string("\xDE\xAD\xBE\xEF", 4))});
        w.addRow({Value::null(), Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::null(), Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
                  Value::null(), Value::null()});
        w.addRow({Value::null(), Value::text("12:30"), Value::dateTime(DateTime::fromCivil(2024, 12, 31)),
                  Value::dateTime(DateTime::fromCivil(1970, 1, 1)),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 23, 59, 59)), Value::integer(0),
                  Value::integer(-2147483647), Value::real(0.1), Value::currency(-5), Value::boolean(false),
                  Value::decimal("0.05"), Value::text("short"), Value::bytes("\x01"), Value::bytes("1234")});
        w.finish();
    }
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty()) << host.errors().front();
    expectDone();
    EXPECT_TRUE(host.questions().empty());

    const Rows types = query("SELECT COLUMN_NAME, COLUMN_TYPE FROM information_schema.COLUMNS WHERE "
                             "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'ALLTYPES' ORDER BY ORDINAL_POSITION");
    std::vector<std::string> got;
    for (const auto &r : types)
        got.push_back(*r[0] + " " + *r[1]);
    EXPECT_EQ(got, (std::vector<std::string>{"Auto int(11)", "Name text", "Born text", "Stamp text", "Clock text",
                                             "Small int(11)", "Big int(11)", "Price double", "Cash text", "Ok text",
                                             "Amount decimal(32,2)", "Notes longtext", "Pic longblob", "Raw text"}));

    const Rows rows = query("SELECT Auto, Name, Born, Stamp, Clock, Small, Big, Price, Cash, Ok, Amount, "
                            "Notes, Pic, Raw FROM ALLTYPES ORDER BY Auto");
    ASSERT_EQ(rows.size(), 3u);
    const TestServer::Row first{"1",
                                "O'Brien \\ Zoë Ærø €™",
                                "03/04/1990",
                                "02/03/2001 04:05:06",
                                "12/30/1899 12:30:00",
                                "-5",
                                "2147483647",
                                "1234567.89",
                                "12.34",
                                "True",
                                "-12345.67",
                                memo,
                                blob,
                                "DEADBEEF"};
    for (size_t c = 0; c < first.size(); ++c)
        EXPECT_EQ(rows[0][c], first[c]) << "column " << c;
    EXPECT_EQ(rows[1][0], "2");
    for (size_t c = 1; c < rows[1].size(); ++c)
        EXPECT_EQ(rows[1][c], std::nullopt) << "column " << c << " of the blank row";
    const TestServer::Row third{"3",    "12:30",       "12/31/2024", "01/01/1970", "12/30/1899 23:59:59",
                                "0",    "-2147483647", "0.1",        "-0.0005",    "False",
                                "0.05", "short",       "\x01",       "31323334"};
    for (size_t c = 0; c < third.size(); ++c)
        EXPECT_EQ(rows[2][c], third[c]) << "column " << c;
    EXPECT_EQ(server->scalar(db, "SELECT LENGTH(Notes) FROM ALLTYPES WHERE Auto = 1"), std::to_string(memo.size()));
}

// Pictures, OLE objects and blobs reach their LONGBLOB columns as the bytes
// the Paradox file holds (an empty graphic as an empty blob, a blank one as
// NULL), batched, row by row and through the preview's Execute SQL alike.
TEST_F(Conversion, BlobsArriveByteForByte)
{
    std::string every; // each byte value twice, quote and backslash among them
    for (int i = 0; i < 512; ++i)
        every.push_back(static_cast<char>(i));
    writeParadoxTable(folder + "/Blobs.db", {{"Id", 'I'}, {"Pic", 'G', 10}, {"Doc", 'O', 10}, {"Bin", 'B', 10}},
                      {{Value::integer(1), Value::bytes(every), Value::bytes(""), Value::bytes(std::string(1, '\0'))},
                       {Value::integer(2), Value::null(), Value::null(), Value::null()}});
    const auto fixtures = tabulon::test::fixturesDir();
    const bool pictures = !fixtures.empty();
    if (pictures) // three BMPs, the largest of 2 MB
        for (const char *ext : {".db", ".mb", ".px"})
            std::filesystem::copy_file(fixtures / "leonhad-paradoxdriver/fields" / (std::string("graphic") + ext),
                                       std::filesystem::path(folder) / (std::string("graphic") + ext));

    // Per table, the LONGBLOB columns of every row as the source holds them,
    // and the query that reads them back.
    std::map<std::string, Rows> expected;
    std::map<std::string, std::string> select;
    auto source = OpenConnection(ParadoxConnectionString(folder), {3, 30, 15});
    for (const std::string table : {"BLOBS", "GRAPHIC"}) {
        if (table == "GRAPHIC" && !pictures)
            continue;
        auto rows = source->openRecordSet("SELECT * FROM `" + table + "`");
        std::string columns;
        for (const Field &f : rows->fields())
            if (f.type == AdoType::adLongVarBinary)
                columns += (columns.empty() ? "`" : ", `") + f.name + "`";
        select[table] = "SELECT " + columns + " FROM `" + table + "`";
        for (; !rows->eof(); rows->moveNext()) {
            TestServer::Row row;
            for (size_t j = 0; j < rows->fields().size(); ++j) {
                const Value &v = rows->value(static_cast<int>(j));
                if (rows->fields()[j].type == AdoType::adLongVarBinary)
                    row.push_back(v.isNull() ? std::nullopt : std::optional<std::string>(v.str()));
            }
            expected[table].push_back(row);
        }
        std::sort(expected[table].begin(), expected[table].end());
    }
    source->close();
    EXPECT_EQ(expected["BLOBS"], (Rows{{std::nullopt, std::nullopt, std::nullopt}, {every, "", std::string(1, '\0')}}));
    if (pictures) {
        ASSERT_EQ(expected["GRAPHIC"].size(), 3u);
        EXPECT_EQ(expected["GRAPHIC"][2][0]->substr(0, 2), "BM");
    }

    auto run = [&](const char *how, bool rowByRow, bool preview) {
        SCOPED_TRACE(how);
        useServer(*server); // a fresh database
        Host h;
        RunState st;
        copySettings(h);
        h.rowByRowValue = rowByRow;
        h.check1Value = preview ? 1 : 0;
        h.onPreview = [&] {
            Execution execution(h);
            EXPECT_EQ(ExecuteScript(st.scriptList, st.mysql_conn.get(), execution,
                                    {st.SQLFormOK, st.StopConversion, st.ErrorLine}, rowByRow),
                      ExecutionResult::Done);
        };
        ConvertTables(h, st);
        EXPECT_TRUE(h.errors().empty()) << h.errors().front();
        EXPECT_EQ(query("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                        "AND TABLE_NAME = 'BLOBS' AND COLUMN_NAME = 'Pic'"),
                  (Rows{{"longblob"}}));
        for (const auto &[table, rows] : expected) {
            Rows got = query(select[table]);
            std::sort(got.begin(), got.end());
            // Not EXPECT_EQ: a failure would print megabytes.
            EXPECT_TRUE(got == rows) << "the blobs of " << table << " differ from the Paradox file's";
        }
    };
    run("batched", false, false);
    run("row by row", true, false);
    run("preview", false, true);
}

TEST_F(Conversion, TablesInReverseListOrderWithCaptionsAndProgress)
{
    writeSimple("Empty", 0);
    writeSimple("One", 1);
    writeSimple("Four", 4);
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty());
    expectDone();
    ASSERT_EQ(state.List2.size(), 3u);
    // Every table is there, and the captions follow List2 from its end.
    std::vector<std::string> expectedCaptions;
    for (size_t i = state.List2.size(); i-- > 0;) {
        expectedCaptions.push_back("Please wait.. Processing table " + state.List2[i] + " (" +
                                   std::to_string(state.List2.size() - i) + " of 3)");
        expectedCaptions.push_back("");
    }
    expectedCaptions.push_back("Progress Bar");
    EXPECT_EQ(host.captions, expectedCaptions);
    EXPECT_EQ(count("EMPTY"), "0");
    EXPECT_EQ(count("ONE"), "1");
    EXPECT_EQ(count("FOUR"), "4");
    EXPECT_EQ(query("SELECT Id, Label FROM FOUR ORDER BY Id").back(), (TestServer::Row{"4", "row 4"}));

    // Progress: the empty table sets nothing, the one-row table goes to 100
    // on its row, the four-row table ends at 100; then the reset to 0.
    std::vector<double> expected;
    for (size_t i = state.List2.size(); i-- > 0;) {
        const std::string &t = state.List2[i];
        if (t == "ONE")
            expected.push_back(100);
        if (t == "FOUR")
            for (int r = 1; r <= 4; ++r)
                expected.push_back((r + 1) / 5.0 * 100);
    }
    expected.push_back(0);
    EXPECT_EQ(host.progress, expected);
    EXPECT_EQ(host.busyChanges, 2);
}

TEST_F(Conversion, OverwriteQuestionIgnoresCaseAndActsOnlyOnYes)
{
    writeSimple("Keep", 2);
    writeSimple("Swap", 3);
    server->exec(db, "CREATE TABLE KEEP (old INT)");
    server->exec(db, "INSERT INTO KEEP VALUES (42)");
    server->exec(db, "CREATE TABLE SWAP (old INT)");
    // The order of the tables is the folder's; answer by name.
    struct Answering : Host {
        bool askYesNo(const std::string &text, const std::string &title) override
        {
            boxes.push_back({Box::Question, text, title});
            return text.find("SWAP") != std::string::npos;
        }
    } answering;
    copySettings(answering);
    ConvertTables(answering, state);
    EXPECT_TRUE(answering.errors().empty()) << answering.errors().front();
    const auto questions = answering.questions();
    ASSERT_EQ(questions.size(), 2u);
    for (const auto &b : answering.boxes)
        if (b.kind == Box::Question) {
            EXPECT_EQ(b.title, "Overwrite?");
        }
    EXPECT_TRUE(std::find(questions.begin(), questions.end(), "Would you like to overwrite KEEP?") != questions.end());
    EXPECT_TRUE(std::find(questions.begin(), questions.end(), "Would you like to overwrite SWAP?") != questions.end());
    // No: untouched, nothing run. Yes: dropped and recreated from the source.
    EXPECT_EQ(query("SELECT old FROM KEEP"), (Rows{{"42"}}));
    EXPECT_EQ(count("SWAP"), "3");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() "
                                 "AND TABLE_NAME = 'SWAP' AND COLUMN_NAME = 'old'"),
              "0");
}

TEST_F(Conversion, AnAnswerToAllHoldsForTheRestOfTheRun)
{
    for (const char *name : {"T1", "T2", "T3", "T4"}) {
        writeSimple(name, 2);
        server->exec(db, std::string("CREATE TABLE ") + name + " (Id INT)");
    }
    // The run goes from the last table to the first.
    host.overwrites = {FakeHost::Overwrite::No, FakeHost::Overwrite::YesToAll};
    ConvertTables(host, state);
    EXPECT_EQ(host.questions().size(), 2u);
    EXPECT_EQ((std::vector<std::string>{count("T1"), count("T2"), count("T3"), count("T4")}),
              (std::vector<std::string>{"2", "2", "2", "0"}));

    Host again;
    copySettings(again);
    again.overwrites = {FakeHost::Overwrite::NoToAll};
    RunState next;
    ConvertTables(again, next);
    EXPECT_EQ(again.questions().size(), 1u);
    EXPECT_EQ(again.report.summary().find("4 tables not overwritten") != std::string::npos, true)
        << again.report.summary();
}

TEST_F(Conversion, CaseDifferentExistingTableIsAskedAndReplaced)
{
    writeSimple("Orders", 2);
    server->exec(db, "CREATE TABLE orders (x INT)");
    host.answers = {true};
    ConvertTables(host, state);
    ASSERT_EQ(host.questions(), (std::vector<std::string>{"Would you like to overwrite ORDERS?"}));
    // The drop names the table as the server listed it, so the Yes replaces it.
    EXPECT_TRUE(host.errors().empty()) << host.errors()[0];
    EXPECT_EQ(count("ORDERS"), "2");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                                 "AND BINARY TABLE_NAME = 'orders'"),
              "0");
    expectDone();
}

TEST_F(Conversion, RejectedRowCostsOneReportAndTheRestArrive)
{
    writeSimple("Picky", 10);
    host.onRow = [&](int r) {
        if (r == 1)
            server->exec(db,
                         "CREATE TRIGGER refuse BEFORE INSERT ON `PICKY~tabulon` FOR EACH ROW "
                         "IF NEW.Id = 4 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'row four refused'; END IF");
    };
    ConvertTables(host, state);
    ASSERT_EQ(host.errors().size(), 1u);
    EXPECT_NE(host.errors()[0].find("row four refused"), std::string::npos);
    EXPECT_NE(host.errors()[0].find("in Quorvex2021/08/31.Form1.PushButton7_Click at line 162"), std::string::npos)
        << host.errors()[0];
    EXPECT_EQ(count("PICKY"), "9");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM PICKY WHERE Id = 4"), "0");
    expectDone();
}

TEST_F(Conversion, ATableCreatedMeanwhileIsNeitherReplacedNorFilled)
{
    writeSimple("Late", 3);
    // Created after the run listed the target tables, so nobody agreed to
    // replace it: the loaded rows stay beside it, under the staging name.
    host.onCaption = [&](const std::string &caption) {
        if (caption == "Please wait.. Processing table LATE")
            server->exec(db, "CREATE TABLE LATE (only_one INT)");
    };
    ConvertTables(host, state);
    EXPECT_EQ(errorSteps(), (std::vector<int>{140}));
    EXPECT_NE(errorDescriptions()[0].find("already exists"), std::string::npos) << errorDescriptions()[0];
    EXPECT_EQ(count("LATE"), "0");
    EXPECT_EQ(count("LATE~tabulon"), "3");
    EXPECT_EQ(host.report.tables[0].outcome, TableReport::Outcome::Incomplete);
    expectDone();
}

TEST_F(Conversion, LostConnectionEndsTheRunAfterOneReport)
{
    writeSimple("AAA", 50);
    writeSimple("BBB", 50);
    // The table the user agrees to replace survives a run that fails.
    server->exec(db, "CREATE TABLE BBB (Id INT)");
    server->exec(db, "INSERT INTO BBB VALUES (1), (2), (3)");
    host.rowByRowValue = true;
    host.journalPath = folder + "/journal.json";
    host.onRow = [&](int r) {
        if (r == 10)
            server->killConnectionsTo(db);
    };
    ConvertTables(host, state);
    EXPECT_EQ(count("BBB"), "3");
    ASSERT_EQ(host.errors().size(), 1u) << host.errors().back();
    EXPECT_EQ(errorSteps(), (std::vector<int>{162}));
    // The table after it was never started.
    EXPECT_EQ(host.captions.size(), 3u); // one table, its clearing, "Progress Bar"
    expectDone();
    // The report says so: the first table cut short after the rows the
    // server took, the other not reached.
    ASSERT_EQ(host.report.tables.size(), 2u);
    const TableReport &cut = host.report.tables[0];
    EXPECT_EQ(cut.outcome, TableReport::Outcome::Incomplete);
    EXPECT_EQ(cut.rowsStored, 9);
    EXPECT_EQ(cut.serverRows, std::optional<int64_t>(9)) << "counted on a new session";
    // The file is intact: the report blames the connection, not the table.
    EXPECT_EQ(cut.notes, std::vector<std::string>{
                             "Cut short: the connection to the server was lost after 9 rows were stored. The table BBB "
                             "on the server is unchanged; the rows stored are in `BBB~tabulon`: the next Start can go "
                             "on from there."});
    EXPECT_EQ(host.report.tables[1].outcome, TableReport::Outcome::NotReached);
    EXPECT_NE(host.report.summary().find("1 table INCOMPLETE. 1 table not reached."), std::string::npos)
        << host.report.summary();

    // The next run goes on after the rows the server holds, replaces the
    // table whole and leaves no staging table behind.
    Host again;
    copySettings(again);
    again.journalPath = host.journalPath;
    RunState next;
    ConvertTables(again, next);
    EXPECT_EQ(again.questions().front().rfind("The last run stopped after 0 of 2 tables.", 0), 0u);
    EXPECT_EQ(again.report.tables[0].notes.front(), "Continued after row 9, where the earlier run stopped.");
    EXPECT_EQ(query("SELECT COUNT(DISTINCT Id), MIN(Id), MAX(Id) FROM BBB"), (Rows{{"50", "1", "50"}}));
    EXPECT_EQ(count("BBB"), "50");
    EXPECT_EQ(count("AAA"), "50");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                                 "AND TABLE_NAME LIKE '%~tabulon%'"),
              "0");
}

// Stop while batches are with the server: the queued rows still go, none
// after; the table cut short stays off its real name, the one after it is
// not reached, and the report says so.
TEST_F(Conversion, StopMidLoadStoresWhatWasSentAndReportsTheRest)
{
    writeSimple("AAA", 45000);
    writeSimple("BBB", 45000);
    host.onRow = [&](int r) {
        if (r == 31000)
            host.stop = true;
    };
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty());
    expectDone();
    const RunReport &report = host.report;
    ASSERT_EQ(report.tables.size(), 2u);
    const TableReport &cut = report.tables[0];
    EXPECT_EQ(cut.outcome, TableReport::Outcome::Incomplete);
    EXPECT_EQ(cut.rowsStored, 30999);
    ASSERT_EQ(cut.notes.size(), 1u);
    EXPECT_EQ(
        cut.notes[0].rfind("Cut short: the run was stopped by the user after 30,999 rows were stored. The table " +
                               cut.table + " on the server is unchanged; the rows stored were removed",
                           0),
        0u)
        << cut.notes[0];
    EXPECT_EQ(report.tables[1].outcome, TableReport::Outcome::NotReached);
    EXPECT_EQ(query("SHOW TABLES"), Rows{});
    EXPECT_EQ(report.summary().rfind("Stopped by the user. 2 tables: ", 0), 0u) << report.summary();
}

// A stopped run goes on where it stopped: the finished table is not sent
// again, the one cut short goes on after its last settled row, and the
// tables end as an uninterrupted run leaves them; a file changed meanwhile
// starts its table again.
TEST_F(Conversion, AStoppedRunGoesOnWhereItStopped)
{
    writeSimple("AAA", 5);
    writeSimple("BBB", 45000);
    writeSimple("CCC", 7);
    host.journalPath = folder + "/journal.json";
    host.onRow = [&](int r) {
        if (r == 31000)
            host.stop = true;
    };
    ConvertTables(host, state);
    ASSERT_EQ(host.report.tables[1].outcome, TableReport::Outcome::Incomplete);
    EXPECT_EQ(count("BBB~tabulon"), "30999");

    // Counts what the second run sends into the staging table.
    server->exec(db, "CREATE TABLE sent (n INT)");
    server->exec(db, "INSERT INTO sent VALUES (0)");
    server->exec(db, "CREATE TRIGGER counted BEFORE INSERT ON `BBB~tabulon` FOR EACH ROW UPDATE sent SET n = n + 1");
    writeSimple("CCC", 8); // finished, but changed since: converted again
    Host again;
    copySettings(again);
    again.journalPath = host.journalPath;
    RunState next;
    ConvertTables(again, next);
    ASSERT_EQ(again.questions().size(), 2u) << "and whether to overwrite the changed CCC";
    EXPECT_EQ(again.questions()[0], "The last run stopped after 1 of 3 tables. Continue it? (Yes: only the "
                                    "unfinished tables; No: start again)");
    EXPECT_EQ(server->scalar(db, "SELECT n FROM sent"), "14001");
    EXPECT_EQ(query("SELECT COUNT(*), SUM(Id), COUNT(DISTINCT Id) FROM BBB"), (Rows{{"45000", "1012522500", "45000"}}));
    EXPECT_EQ(count("CCC"), "8");
    EXPECT_EQ(count("AAA"), "5");
    EXPECT_EQ(again.report.tables[1].outcome, TableReport::Outcome::Converted);
    EXPECT_EQ(again.report.tables[1].rowsStored, 45000);
    EXPECT_EQ(again.report.tables[1].values, TableReport::Values::Same) << "the earlier run's rows folded in too";
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(host.journalPath))) << "a finished run leaves no journal";
}

// The time a box waited for the user is no table's time.
TEST_F(Conversion, WaitingForAnAnswerIsNotCountedInTheTablesTime)
{
    writeSimple("ASKED", 1);
    server->exec(db, "CREATE TABLE ASKED (x INT)");
    host.onAsk = [] { std::this_thread::sleep_for(std::chrono::milliseconds(800)); };
    ConvertTables(host, state);
    ASSERT_EQ(host.report.tables.size(), 1u);
    EXPECT_EQ(host.report.tables[0].outcome, TableReport::Outcome::Converted);
    EXPECT_LT(host.report.tables[0].seconds, 0.4);
}

TEST_F(Conversion, LostConnectionWhileBatchingAlsoEndsAfterOneReport)
{
    writeSimple("AAA", 50);
    writeSimple("BBB", 50);
    host.onRow = [&](int r) {
        if (r == 10)
            server->killConnectionsTo(db);
    };
    ConvertTables(host, state);
    EXPECT_EQ(host.errors().size(), 1u);
    expectDone();
}

TEST_F(Conversion, PerTablePreviewListsOneTableAtATimeAndStopsWhenLeft)
{
    writeSimple("T1", 2);
    writeSimple("T2", 1);
    writeSimple("T3", 1);
    server->exec(db, "CREATE TABLE T1 (x INT)");
    host.check1Value = 1;
    host.option1Value = false;
    host.option2Value = true;
    std::vector<std::vector<std::string>> shown;
    host.onPreview = [&] {
        EXPECT_TRUE(state.StopConversion);
        std::vector<std::string> lines;
        for (int i = 0; i < state.scriptList.lineCount(); ++i)
            lines.push_back(state.scriptList.line(i));
        shown.push_back(lines);
        EXPECT_EQ(state.datatypeList.rowCount(), 2);
        if (shown.size() < 2)
            state.StopConversion = false; // "Skip Table": go on
        // The second time the user presses "< Back": the run ends.
    };
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty());
    ASSERT_EQ(shown.size(), 2u);
    const std::string first = state.List2[2], second = state.List2[1];
    for (size_t k = 0; k < 2; ++k) {
        const std::string t = k == 0 ? first : second;
        ASSERT_FALSE(shown[k].empty());
        size_t at = 0;
        if (t == "T1") {
            EXPECT_EQ(shown[k][at++], "DROP TABLE `T1`");
        }
        EXPECT_EQ(shown[k][at++].rfind("CREATE TABLE `" + t + "`(", 0), 0u);
        EXPECT_EQ(shown[k][at++], "INSERT INTO `" + t + "` VALUES(1, 'row 1')");
    }
    // Nothing ran on the server; the caption of the last table stays.
    EXPECT_EQ(query("SHOW TABLES"), (Rows{{"T1"}}));
    EXPECT_EQ(host.captions[host.captions.size() - 2], "Please wait.. Processing table " + second + " (2 of 3)");
    expectDone();
}

TEST_F(Conversion, PerFilePreviewShowsEverythingOnceAndClosesOnce)
{
    writeSimple("P1", 2);
    writeSimple("P2", 0);
    server->exec(db, "CREATE TABLE P1 (x INT)");
    host.check1Value = 1;
    std::vector<std::string> lines;
    host.onPreview = [&] {
        EXPECT_FALSE(state.SQLFormOK);
        ASSERT_TRUE(state.mysql_conn && state.mysql_conn->isOpen()) << "the preview executes on mysql_conn";
        for (int i = 0; i < state.scriptList.lineCount(); ++i)
            lines.push_back(state.scriptList.line(i));
    };
    ConvertTables(host, state);
    EXPECT_EQ(host.previewsShown, 1);
    std::vector<std::string> expected;
    for (size_t i = state.List2.size(); i-- > 0;) {
        const std::string &t = state.List2[i];
        if (t == "P1")
            expected.push_back("DROP TABLE `P1`");
        expected.push_back("CREATE TABLE `" + t + "`(`Id` INT,`Label` TEXT);");
        if (t == "P1") {
            expected.push_back("INSERT INTO `P1` VALUES(1, 'row 1')");
            expected.push_back("INSERT INTO `P1` VALUES(2, 'row 2')");
        }
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(state.datatypeList.rowCount(), 4);
    // Not executed: the connections close at the preview's end and the
    // caption empties there, before "Progress Bar".
    EXPECT_EQ(host.captions[host.captions.size() - 2], "");
    expectDone();
    EXPECT_EQ(query("SELECT COUNT(*) FROM P1"), (Rows{{"0"}}));
}

TEST_F(Conversion, BusyRunIgnoresASecondStart)
{
    writeSimple("B1", 1);
    state.ConversionBusy = true;
    ConvertTables(host, state);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.busyChanges, 0);
    EXPECT_TRUE(state.ConversionBusy);

    state.ConversionBusy = false;
    host.check1Value = 1;
    int nested = 0;
    host.onPreview = [&] {
        const size_t boxes = host.boxes.size();
        ConvertTables(host, state); // "Start Converting" pressed in the preview's wait
        ++nested;
        EXPECT_EQ(host.boxes.size(), boxes);
    };
    ConvertTables(host, state);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(host.previewsShown, 1);
    expectDone();
}

// Quit at many points of a long load, also while a batch is with the
// server and the next is collected: the run unwinds at once, with no
// report, and (under AddressSanitizer) touches nothing already freed.
TEST_F(Conversion, QuittingMidRunUnwindsAtOnceWithoutReports)
{
    writeSimple("Q1", 45000);
    for (int quitAt : {3, 10001, 10400, 16000, 30500, 44000}) {
        Host h;
        copySettings(h);
        RunState s;
        std::chrono::steady_clock::time_point quit;
        h.onRow = [&](int r) {
            if (r == quitAt) {
                quit = std::chrono::steady_clock::now();
                EventPump::requestQuit();
            }
        };
        EXPECT_THROW(ConvertTables(h, s), Aborted) << quitAt;
        const auto unwound = std::chrono::steady_clock::now() - quit;
        EventPump::reset();
        EXPECT_LT(unwound, std::chrono::seconds(1)) << quitAt;
        EXPECT_TRUE(h.errors().empty()) << quitAt;
        EXPECT_TRUE(h.informations().empty()) << quitAt;
        EXPECT_FALSE(s.ConversionBusy);
        EXPECT_FALSE(h.busy);
        ASSERT_TRUE(s.mysql_conn);
        EXPECT_FALSE(s.mysql_conn->isOpen());
    }
}

// A run that cannot start says why in one box, and touches nothing else.
TEST_F(Conversion, EndsBeforeTheTablesSayWhyAndTouchNothing)
{
    ConvertTables(host, state); // an empty folder
    ASSERT_EQ(host.informations().size(), 1u);
    EXPECT_NE(host.informations()[0].find("holds no Paradox tables"), std::string::npos);
    EXPECT_NE(host.informations()[0].find(host.fields[1]), std::string::npos);
    writeSimple("S1", 1);
    host.fields[5] = "wrong password";
    ConvertTables(host, state);
    ASSERT_EQ(host.informations().size(), 2u);
    EXPECT_NE(host.informations()[1].find("Access denied"), std::string::npos) << host.informations()[1];
    EXPECT_NE(host.informations()[1].find("\r\nCheck the user name and password.\r\n\r\nCheck the server, port"),
              std::string::npos)
        << host.informations()[1];
    EXPECT_TRUE(host.errors().empty());
    EXPECT_EQ(host.busyChanges, 0);
    EXPECT_TRUE(state.List2.empty());
    EXPECT_FALSE(state.ConversionBusy);
}

// The rows a trigger refuses come back as the same reports in the same
// order, and leave the same table, whether rows are batched or not; also on
// a non-transactional target and under a small packet limit.
class RefusedRows : public Conversion {
protected:
    struct Outcome {
        std::vector<std::string> errors;
        Rows table;
        TableReport::Values values = TableReport::Values::Unchecked;
    };
    Outcome run(bool rowByRow)
    {
        useServer(*server); // a fresh database
        Host h;
        RunState st;
        copySettings(h);
        h.rowByRowValue = rowByRow;
        h.onRow = [&](int r) {
            if (r == 1)
                server->exec(db, !firstRow.empty()
                                     ? firstRow
                                     : "CREATE TRIGGER refuse BEFORE INSERT ON `WIDE~tabulon` FOR EACH ROW BEGIN "
                                       "DECLARE msg VARCHAR(64); IF " +
                                           refusedIf +
                                           " THEN "
                                           "SET msg = CONCAT('refused ', NEW.Id); "
                                           "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = msg; END IF; END");
        };
        ConvertTables(h, st);
        Outcome out;
        out.errors = h.errors();
        out.table = query(tableQuery);
        if (!h.report.tables.empty())
            out.values = h.report.tables.front().values;
        return out;
    }
    // A server-wide status counter.
    static long status(TestServer &s, const char *name)
    {
        return std::stol(s.query("", std::string("SHOW GLOBAL STATUS LIKE '") + name + "'").at(0).at(1).value_or("0"));
    }
    std::string refusedIf = "NEW.Id % 97 = 5";
    std::string firstRow; // instead of the trigger
    std::string tableQuery = "SELECT Id, Label, MD5(Pad) FROM WIDE ORDER BY Id";
    void writeWide(int rows)
    {
        ParadoxWriter w(folder + "/Wide.db", {{"Id", 'I'}, {"Label", 'A', 20}, {"Pad", 'M', 10}});
        for (int i = 1; i <= rows; ++i)
            w.addRow(
                {Value::integer(i), Value::text("r" + std::to_string(i)), Value::text(std::string(700 + i % 50, 'x'))});
        w.finish();
    }
    void expectSame(int rows)
    {
        writeWide(rows);
        const Outcome batched = run(false);
        const Outcome single = run(true);
        EXPECT_EQ(batched.errors, single.errors);
        EXPECT_EQ(batched.table, single.table);
        // The refused rows are left out of the run's digest as the server left them out.
        EXPECT_EQ(batched.values, TableReport::Values::Same);
        EXPECT_EQ(single.values, TableReport::Values::Same);
        const int refused = (rows - 5) / 97 + 1;
        EXPECT_EQ(static_cast<int>(single.errors.size()), refused) << single.errors.front();
        EXPECT_EQ(static_cast<int>(single.table.size()), rows - refused);
        ASSERT_FALSE(single.errors.empty());
        EXPECT_NE(single.errors[0].find("refused 5"), std::string::npos);
    }
};

TEST_F(RefusedRows, BatchedAndRowByRowAgree) { expectSame(2500); }

TEST_F(RefusedRows, FirstMiddleAndLastRowOfOneBatchAgree)
{
    const int rows = static_cast<int>(BatchExecutor::kMaxRows);
    refusedIf = "NEW.Id IN (1, " + std::to_string(rows / 2) + ", " + std::to_string(rows) + ")";
    writeWide(rows);
    const Outcome batched = run(false);
    const Outcome single = run(true);
    EXPECT_EQ(batched.errors, single.errors);
    EXPECT_EQ(batched.table, single.table);
    ASSERT_EQ(single.errors.size(), 3u);
    EXPECT_NE(single.errors[0].find("refused 1"), std::string::npos) << single.errors[0];
    EXPECT_NE(single.errors[2].find("refused " + std::to_string(rows)), std::string::npos) << single.errors[2];
    EXPECT_EQ(static_cast<int>(single.table.size()), rows - 3);
}

// A non-transactional target, a server without local loads, a small packet
// limit that splits batches.
TEST_F(RefusedRows, OtherServersAgree)
{
    for (const auto &[option, rows] : std::vector<std::pair<std::string, int>>{
             {"--default-storage-engine=MyISAM", 600}, {"--local-infile=0", 600}, {"--max-allowed-packet=64K", 1500}}) {
        SCOPED_TRACE(option);
        auto own = TestServer::startPrivate({option});
        useServer(*own);
        expectSame(rows);
    }
}

// Rows sent as LOAD DATA LOCAL (batched) and as single inserts (row by
// row) store the same: every Paradox type, text with tabs, newlines,
// backslashes, quotes and the load's own NULL mark, blobs of every byte, and
// the real fixture tables when they are there.
TEST_F(RefusedRows, LoadedRowsAreThoseInserted)
{
    auto own = TestServer::startPrivate(); // its load count is ours alone
    useServer(*own);
    firstRow = "DO 0";
    tableQuery = "SELECT 0";
    const std::vector<std::string> texts = {"tab\there",
                                            "line\nbreak\r\n",
                                            "back\\slash \\N \\t",
                                            "\\N",
                                            "NULL",
                                            "quote ' and \" and ''",
                                            "Zo\u00eb \u00c6r\u00f8 \u20ac",
                                            "trailing blank ",
                                            " ",
                                            "\\",
                                            "a,b;c|d"};
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<char>(i));
    {
        ParadoxWriter w(folder + "/Tricky.db", {{"Id", 'I'},
                                                {"Name", 'A', 40},
                                                {"Born", 'D'},
                                                {"Stamp", '@'},
                                                {"Clock", 'T'},
                                                {"Small", 'S'},
                                                {"Price", 'N'},
                                                {"Cash", '$'},
                                                {"Ok", 'L'},
                                                {"Amount", '#', 2},
                                                {"Notes", 'M', 10},
                                                {"Pic", 'B', 10},
                                                {"Raw", 'Y', 4}});
        for (int i = 1; i <= 300; ++i) {
            const std::string &t = texts[i % texts.size()];
            const bool blank = i % 13 == 0;
            const auto maybe = [&](Value v) { return blank ? Value::null() : v; };
            w.addRow({Value::integer(i), maybe(Value::text(t)),
                      maybe(Value::dateTime(DateTime::fromCivil(1900 + i % 200, 1 + i % 12, 1 + i % 28))),
                      maybe(Value::dateTime(DateTime::fromCivil(2001, 2, 3, i % 24, i % 60, i % 60, i % 1000))),
                      maybe(Value::dateTime(DateTime::fromCivil(1899, 12, 30, i % 24, 30, 0))),
                      maybe(Value::integer(i % 2 ? -i : i)), maybe(Value::real(i * 1.1e-3 - 0.15)),
                      maybe(Value::currency(i * 12345 - 99)), maybe(Value::boolean(i % 2)),
                      maybe(Value::decimal(std::to_string(i) + ".0" + std::to_string(i % 10))),
                      maybe(Value::text(t + "\r\n" + texts[(i + 3) % texts.size()])),
                      maybe(Value::bytes(bytes.substr(i % 256) + bytes.substr(0, i % 256))),
                      maybe(Value::bytes(std::string("\t\n\\\0", 4)))});
        }
        w.finish();
    }
    const auto fixtures = tabulon::test::fixturesDir();
    if (!fixtures.empty())
        for (const char *set : {"steinm-pxlib", "leonhad-paradoxdriver/db"})
            for (const auto &entry : std::filesystem::directory_iterator(fixtures / set))
                if (entry.is_regular_file())
                    std::filesystem::copy_file(entry.path(), std::filesystem::path(folder) / entry.path().filename());

    // Every table's rows, in an order of their own.
    const auto contents = [&] {
        std::map<std::string, Rows> tables;
        for (const auto &t : query("SHOW TABLES")) {
            Rows rows = query("SELECT * FROM `" + *t[0] + "`");
            std::sort(rows.begin(), rows.end());
            tables[*t[0]] = rows;
        }
        return tables;
    };
    const long loads = status(*own, "Com_load"), rollbacks = status(*own, "Com_rollback");
    const Outcome batched = run(false);
    const auto loaded = contents();
    EXPECT_GT(status(*own, "Com_load"), loads) << "no batch went as LOAD DATA LOCAL";
    // Not stored by inserts after a load that went wrong.
    EXPECT_EQ(status(*own, "Com_rollback"), rollbacks) << "a load was rolled back";
    const Outcome single = run(true);
    EXPECT_EQ(batched.errors, single.errors);
    const auto inserted = contents();
    ASSERT_EQ(loaded.size(), inserted.size());
    for (const auto &[table, rows] : inserted) {
        SCOPED_TRACE(table);
        ASSERT_EQ(loaded.at(table).size(), rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            ASSERT_EQ(loaded.at(table)[r], rows[r]) << "row " << r;
    }
    ASSERT_EQ(inserted.at("TRICKY").size(), 300u);
}

// A load skips a duplicate key or a value too long for its column with a
// warning where an insert is refused: those batches are stored row by row's
// way, with the same reports.
TEST_F(RefusedRows, RowsALoadWouldSkipAreRefusedAsRowByRow)
{
    auto own = TestServer::startPrivate();
    useServer(*own);
    {
        ParadoxWriter w(folder + "/Wide.db", {{"Id", 'I'}, {"Label", 'A', 20}, {"Pad", 'M', 10}});
        for (int i = 1; i <= 3000; ++i) {
            const std::string label = i % 997 == 5    ? "twice"
                                      : i % 1409 == 7 ? "much too long " + std::to_string(i)
                                                      : "r" + std::to_string(i);
            w.addRow({Value::integer(i), Value::text(label), Value::text(std::string(100 + i % 50, 'x'))});
        }
        w.finish();
    }
    firstRow = "ALTER TABLE `WIDE~tabulon` MODIFY Label VARCHAR(8), ADD UNIQUE KEY (Label)";
    const long loads = status(*own, "Com_load"), rollbacks = status(*own, "Com_rollback");
    const Outcome batched = run(false);
    EXPECT_GT(status(*own, "Com_load"), loads);
    EXPECT_GT(status(*own, "Com_rollback"), rollbacks) << "no load was rolled back";
    const Outcome single = run(true);
    EXPECT_EQ(batched.errors, single.errors);
    EXPECT_EQ(batched.table, single.table);
    // Rows 7, 1416 and 2825 too long; 5, 1002, 1999 and 2996 "twice", all
    // but the first refused.
    ASSERT_EQ(single.errors.size(), 6u);
    EXPECT_NE(single.errors[0].find("Data too long"), std::string::npos) << single.errors[0];
    EXPECT_NE(single.errors[1].find("Duplicate entry 'twice'"), std::string::npos) << single.errors[1];
    EXPECT_EQ(single.table.size(), 2994u);
}

// One value far over the server's max_allowed_packet (a large picture): its
// row is not sent but reported, and the run goes on over the same session.
// Execute SQL locates the same row.
TEST_F(Conversion, RowOverThePacketLimitIsReportedAndTheRunGoesOn)
{
    auto small = TestServer::startPrivate({"--max-allowed-packet=1M"});
    useServer(*small);
    writeParadoxTable(folder + "/Big.db", {{"Id", 'I'}, {"Notes", 'M', 10}},
                      {{Value::integer(1), Value::text("small")},
                       {Value::integer(2), Value::text(std::string(2 << 20, 'x'))},
                       {Value::integer(3), Value::text("small too")}});
    writeSimple("Aaa", 3);
    writeSimple("Zzz", 3);
    const auto expectedFor = [](const char *size) {
        return "SQLException: Row 2 of table BIG was not sent: its statement is " + std::string(size) +
               " bytes, more than the MySQL server accepts in one statement (max_allowed_packet = 1048576 "
               "bytes). An administrator can raise the limit with SET GLOBAL max_allowed_packet=3145728; then "
               "start the conversion again.";
    };
    // The run sends it under the staging name, eight bytes longer.
    const std::string expected = expectedFor("2097183");

    ConvertTables(host, state);
    EXPECT_EQ(errorDescriptions(), std::vector<std::string>{expectedFor("2097191")});
    EXPECT_EQ(errorSteps(), std::vector<int>{162});
    EXPECT_EQ(query("SELECT Id FROM BIG ORDER BY Id"), (Rows{{"1"}, {"3"}}));
    EXPECT_EQ(count("AAA"), "3");
    EXPECT_EQ(count("ZZZ"), "3");
    expectDone();

    struct ExecutionHost : ScriptExecutionHost {
        FakeHost &boxes;
        std::string errorText;
        int selected = 0;
        explicit ExecutionHost(FakeHost &h) : boxes(h) {}
        MessageHost &messages() override { return boxes; }
        void setBusy(bool) override {}
        void setProgress(double, const std::string &) override {}
        void selectLine(int line) override { selected = line; }
        void setErrorText(const std::string &text) override { errorText = text; }
        bool stopRequested() override { return false; }
        void closeWindow() override {}
    };
    host.boxes.clear();
    host.check1Value = 1;
    ExecutionHost preview(host);
    int bigLine = 0;
    host.onPreview = [&] {
        for (int i = 0; i < state.scriptList.lineCount() && !bigLine; ++i)
            if (state.scriptList.line(i).size() > (1 << 20))
                bigLine = i + 1;
        EXPECT_EQ(ExecuteScript(state.scriptList, state.mysql_conn.get(), preview,
                                {state.SQLFormOK, state.StopConversion, state.ErrorLine}, false),
                  ExecutionResult::LocatedError);
    };
    ConvertTables(host, state);
    ASSERT_GT(bigLine, 0);
    EXPECT_EQ(state.ErrorLine, bigLine);
    EXPECT_EQ(preview.selected, bigLine);
    // The preview's session keeps its limit: its remedy is another.
    EXPECT_EQ(preview.errorText, expected.substr(0, expected.find("then start")) + StatementTooLarge::kRunElsewhere);
    EXPECT_TRUE(host.errors().empty());
}

// Real Paradox tables, when the fixtures are beside the project: every row
// of every table arrives.
TEST_F(Conversion, RealFixtureTables)
{
    TABULON_FIXTURES_OR_SKIP(fixtures);
    for (const char *set : {"steinm-pxlib", "leonhad-paradoxdriver/db", "delphi-pascal-archive-electro_store_system"}) {
        SCOPED_TRACE(set);
        useServer(*server);
        Host h;
        RunState st;
        copySettings(h, (fixtures / set).string());
        ConvertTables(h, st);
        EXPECT_TRUE(h.errors().empty()) << h.errors().front();
        ASSERT_FALSE(h.informations().empty());
        EXPECT_EQ(h.informations().back(), "Done.");
        auto source = OpenConnection(ParadoxConnectionString(h.fields[1]), {3, 30, 15});
        EXPECT_FALSE(st.List2.empty());
        for (const auto &t : st.List2) {
            auto rows = source->openRecordSet("SELECT * FROM `" + t + "`");
            EXPECT_EQ(count(t), std::to_string(rows->recordCount())) << t;
        }
    }
}

// A memo file that is gone costs the memos, not the rows: they arrive as
// NULL, told once for the table. MEMBRE's .MB was never published.
TEST_F(Conversion, UnreadableMemosArriveAsNullWithOneReport)
{
    {
        ParadoxWriter w(folder + "/Notes.db", {{"Id", 'I'}, {"Note", 'M', 20}}); // 10 bytes in the record
        for (int i = 1; i <= 5; ++i)
            w.addRow({Value::integer(i), Value::text(i % 2 ? std::string(300, 'x') : "short")});
        w.finish();
    }
    ASSERT_TRUE(std::filesystem::remove(folder + "/Notes.mb"));
    ConvertTables(host, state);
    EXPECT_EQ(errorSteps(), std::vector<int>{160});
    const std::string report = errorDescriptions().at(0);
    for (const std::string &needle : {std::string("Table NOTES: 3 memo or blob values"), folder + "/Notes.MB",
                                      std::string("\"Note\": the file is missing")})
        EXPECT_NE(report.find(needle), std::string::npos) << needle << "\n" << report;
    EXPECT_EQ(count("NOTES"), "5");
    EXPECT_EQ(server->scalar(db, "SELECT GROUP_CONCAT(Id ORDER BY Id) FROM NOTES WHERE Note IS NULL"), "1,3,5");
    EXPECT_EQ(server->scalar(db, "SELECT Note FROM NOTES WHERE Id = 4"), "short");
    expectDone();

    TABULON_FIXTURES_OR_SKIP(fixtures);
    QTemporaryDir membreDir;
    std::filesystem::copy_file(fixtures / "teverett-paradoxReader/MEMBRE.DB",
                               membreDir.filePath("MEMBRE.DB").toStdString());
    useServer(*server);
    Host h;
    RunState st;
    copySettings(h, membreDir.path().toStdString());
    ConvertTables(h, st);
    ASSERT_EQ(h.errors().size(), 1u);
    EXPECT_NE(h.errors()[0].find("MEMBRE.MB"), std::string::npos) << h.errors()[0];
    EXPECT_NE(h.errors()[0].find(" at line 160"), std::string::npos) << h.errors()[0];
    EXPECT_EQ(count("MEMBRE"), "6");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM MEMBRE WHERE Nom IS NULL"), "0");
}

// A zeroed data block is damage, not a row of NULLs: the rows before it
// arrive, and one report gives the header's count and the rows read;
// tabulon-sql says the same and exits with status 1.
TEST_F(Conversion, DamagedBlockIsToldWithCountsAndTheReadRowsArrive)
{
    const std::string path = folder + "/Zeroed.db";
    {
        ParadoxWriter w(path, {{"Id", 'I'}, {"Label", 'A', 20}}, 1252, 1); // 42 rows a block
        for (int i = 1; i <= 100; ++i)
            w.addRow({Value::integer(i), Value::text("row " + std::to_string(i))});
        w.finish();
    }
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char size[2];
        f.seekg(2).read(reinterpret_cast<char *>(size), 2);
        const std::string zeros(1024, '\0');
        f.seekp(size[0] + 256 * size[1] + 1024).write(zeros.data(), std::streamsize(zeros.size()));
    }
    ConvertTables(host, state);
    EXPECT_EQ(errorSteps(), std::vector<int>{160});
    const std::string report = errorDescriptions().at(0);
    for (const std::string &needle :
         {"Table ZEROED is damaged: its header counts 100 rows, but 42 were read from \"" + path + "\"",
          std::string("data block 2 is blank")})
        EXPECT_NE(report.find(needle), std::string::npos) << needle << "\n" << report;
    EXPECT_EQ(count("ZEROED"), "42");
    EXPECT_EQ(server->scalar(db, "SELECT COUNT(*) FROM ZEROED WHERE Id BETWEEN 1 AND 42"), "42");
    expectDone();

    const std::string errors = folder + "/stderr.txt";
    const std::string command = std::string(TABULON_SQL_PATH) + " '" + folder + "' 2>'" + errors + "'";
    std::FILE *p = popen(command.c_str(), "r");
    int inserts = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, p))
        inserts += std::strncmp(line, "INSERT INTO", 11) == 0;
    const int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(inserts, 42);
    std::ifstream in(errors);
    const std::string stderrText((std::istreambuf_iterator<char>(in)), {});
    // One report, then the summary that shows the short table.
    EXPECT_EQ(std::count(stderrText.begin(), stderrText.end(), '\n'), 3) << stderrText;
    EXPECT_NE(stderrText.find("its header counts 100 rows, but 42 were read"), std::string::npos) << stderrText;
    EXPECT_NE(stderrText.find("tabulon-sql: ZEROED: 42 rows written (the table's header counts 100)\n"
                              "tabulon-sql: total: 1 table, 42 rows written\n"),
              std::string::npos)
        << stderrText;
}

// tabulon-sql writes what the per-file preview lists, each line ended by ";".
TEST_F(Conversion, ExportEqualsThePerFilePreview)
{
    writeSimple("E1", 3);
    writeParadoxTable(
        folder + "/E2.db", {{"Note", 'M', 12}, {"When", '@'}},
        {{Value::text("multi\nline 'memo' \\ ü"), Value::dateTime(DateTime::fromCivil(2020, 2, 29, 13, 0, 1))},
         {Value::null(), Value::null()}});
    host.check1Value = 1;
    ConvertTables(host, state);
    std::string expected;
    for (int i = 0; i < state.scriptList.lineCount(); ++i) {
        const std::string &line = state.scriptList.line(i);
        expected += line + (line.back() == ';' ? "\n" : ";\n");
    }

    auto capture = [&](const std::string &args) {
        return Capture(std::string(TABULON_SQL_PATH) + " " + args + " 2>/dev/null");
    };
    const std::string clientCommand = "\\C utf8mb4\n";
    const auto [out, status] = capture("'" + folder + "'");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, clientCommand + expected);

    // The summary goes to standard error; a missing folder is named.
    EXPECT_EQ(Capture(std::string(TABULON_SQL_PATH) + " '" + folder + "' 2>&1 >/dev/null").first,
              "tabulon-sql: E2: 2 rows written\ntabulon-sql: E1: 3 rows written\n"
              "tabulon-sql: total: 2 tables, 5 rows written\n");
    const auto [noFolder, noFolderStatus] = Capture(std::string(TABULON_SQL_PATH) + " '" + folder + "/nope' 2>&1");
    EXPECT_EQ(WEXITSTATUS(noFolderStatus), 1);
    EXPECT_EQ(noFolder, "tabulon-sql: folder " + folder + "/nope does not exist or is not a folder\n");

    const auto [batched, batchStatus] = capture("--drop --batch 2 --table e1 '" + folder + "'");
    EXPECT_EQ(batchStatus, 0);
    EXPECT_EQ(batched, clientCommand +
                           "DROP TABLE IF EXISTS `E1`;\nCREATE TABLE `E1`(`Id` INT,`Label` TEXT);\n"
                           "INSERT INTO `E1` VALUES(1, 'row 1'),(2, 'row 2');\nINSERT INTO `E1` VALUES(3, 'row 3');\n");

    const auto [most, mostStatus] = capture("--batch max --table e1 '" + folder + "'");
    EXPECT_EQ(mostStatus, 0);
    EXPECT_EQ(most, clientCommand + "CREATE TABLE `E1`(`Id` INT,`Label` TEXT);\n"
                                    "INSERT INTO `E1` VALUES(1, 'row 1'),(2, 'row 2'),(3, 'row 3');\n");

    const auto [missing,
                missingStatus] = Capture(std::string(TABULON_SQL_PATH) + " --table NOPE '" + folder + "' 2>&1");
    EXPECT_NE(missingStatus, 0);
    EXPECT_NE(missing.find("NOPE"), std::string::npos);

    // Native column types: the same statements as the window's run with
    // the switch on.
    host.columnTypesValue = ColumnTypes::Native;
    ConvertTables(host, state);
    std::string native;
    for (int i = 0; i < state.scriptList.lineCount(); ++i) {
        const std::string &line = state.scriptList.line(i);
        native += line + (line.back() == ';' ? "\n" : ";\n");
    }
    EXPECT_NE(native.find("CREATE TABLE `E2`(`Note` LONGTEXT,`When` DATETIME(3)) DEFAULT CHARSET=utf8mb4;"),
              std::string::npos)
        << native;
    EXPECT_NE(native.find("'2020-02-29 13:00:01.000'"), std::string::npos);
    const auto [nativeOut, nativeStatus] = capture("--types native '" + folder + "'");
    EXPECT_EQ(nativeStatus, 0);
    EXPECT_EQ(nativeOut, clientCommand + native);
    const auto [wrong, wrongStatus] = Capture(std::string(TABULON_SQL_PATH) + " --types numeric '" + folder + "' 2>&1");
    EXPECT_TRUE(WIFEXITED(wrongStatus) && WEXITSTATUS(wrongStatus) == 2) << wrongStatus;
    EXPECT_NE(wrong.find("--types takes text or native"), std::string::npos) << wrong;
}

// Native run: each table's indexes go to its staging table after its rows,
// the foreign key once both tables are in place; the report says so.
TEST_F(Conversion, NativeRunCarriesIndexesChecksAndForeignKeys)
{
    // The master sorts after the child, so a run replaces it first.
    test::WriteTowns(folder, false, "Zone");
    host.columnTypesValue = ColumnTypes::Native;
    ConvertTables(host, state);
    expectDone();
    EXPECT_EQ(errorDescriptions(), std::vector<std::string>{});
    EXPECT_EQ(server->scalar(db,
                             "SELECT GROUP_CONCAT(INDEX_NAME ORDER BY INDEX_NAME) FROM information_schema.STATISTICS "
                             "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'TOWN'"),
              "ByName,ByPop,PRIMARY,TOWN_TownLand");
    EXPECT_EQ(server->scalar(db, "SELECT REFERENCED_TABLE_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS "
                                 "WHERE CONSTRAINT_SCHEMA = DATABASE()"),
              "ZONE");
    EXPECT_NE(host.report.details().find("2 indexes, 2 checks, 1 foreign key carried over\n"), std::string::npos)
        << host.report.details();

    // Again over the same tables: the old master is dropped although the
    // old child's key named it, and no old copy stays behind.
    FakeHost again;
    copySettings(again);
    again.columnTypesValue = ColumnTypes::Native;
    again.overwrites = {RunHost::Overwrite::YesToAll};
    RunState second;
    ConvertTables(again, second);
    EXPECT_EQ(again.errors(), std::vector<std::string>{});
    EXPECT_EQ(server->scalar(db, "SELECT GROUP_CONCAT(TABLE_NAME ORDER BY TABLE_NAME) FROM information_schema.TABLES "
                                 "WHERE TABLE_SCHEMA = DATABASE()"),
              "TOWN,ZONE");
    EXPECT_EQ(server->scalar(db, "SELECT CONCAT(TABLE_NAME, '>', REFERENCED_TABLE_NAME) FROM "
                                 "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE()"),
              "TOWN>ZONE");
}

// A row cannot be split: one over the statement limit is still written,
// named on standard error, and the exit status says so.
TEST_F(Conversion, ExportNamesRowsOverTheStatementLimit)
{
    writeParadoxTable(folder + "/BigMemo.db", {{"Id", 'I'}, {"Notes", 'M', 10}},
                      {{Value::integer(1), Value::text("small")},
                       {Value::integer(2), Value::text(std::string(2 << 20, 'x'))},
                       {Value::integer(3), Value::text(std::string(17 << 20, 'y'))}});
    const std::string out = folder + "/out.sql";
    auto run = [&](const std::string &batch) {
        return Capture(std::string(TABULON_SQL_PATH) + " " + batch + " " + ShellQuoted(folder) + " 2>&1 >" +
                       ShellQuoted(out));
    };
    const std::string prefix = "tabulon-sql: " + folder + ": ";
    const auto [errors, status] = run("--batch 10");
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_GT(std::filesystem::file_size(out), std::uintmax_t(19) << 20);
    EXPECT_NE(errors.find(prefix + "Row 2 of table BIGMEMO: its statement is 2,097,"), std::string::npos) << errors;
    EXPECT_NE(errors.find(" bytes, more than 1 MiB; a server or client whose max_allowed_packet is below 3145728 "
                          "refuses it\n"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find(prefix + "Row 3 of table BIGMEMO: its statement is 17,825,"), std::string::npos) << errors;
    EXPECT_NE(errors.find("more than the 16 MiB a server and a client take by default; raise max_allowed_packet "
                          "to 18874368 on the server"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("tabulon-sql: BIGMEMO: 3 rows written\n"), std::string::npos) << errors;

    // 16 MiB is what --batch max promises.
    const auto [most, mostStatus] = run("--batch max");
    EXPECT_EQ(WEXITSTATUS(mostStatus), 1);
    EXPECT_EQ(most.find("Row 2 "), std::string::npos) << most;
    EXPECT_NE(most.find(prefix + "Row 3 of table BIGMEMO"), std::string::npos) << most;
}

// The fixture's two AREACODE.DB (areas/ and db/), linked in place: two
// tables, each with its own file's columns and rows, every row once.
TEST_F(Conversion, OneNameInTwoFoldersGivesEachFileItsTable)
{
    TABULON_FIXTURES_OR_SKIP(fixtures);
    writeSimple("Top", 1); // the run wants a table in the folder itself
    for (const char *sub : {"areas", "db"}) {
        std::filesystem::create_directory(folder + "/" + sub);
        std::filesystem::create_symlink(fixtures / "leonhad-paradoxdriver" / sub / "AREACODE.DB",
                                        folder + "/" + sub + "/AREACODE.DB");
    }
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty()) << host.errors().front();
    expectDone();
    ASSERT_EQ(state.List2.size(), 3u);
    ASSERT_EQ(state.List2Files.size(), 3u);
    // Sub-folders in name order: areas/ keeps the name.
    EXPECT_EQ(state.List2[1], "AREACODE");
    EXPECT_NE(state.List2Files[1].find("/areas/"), std::string::npos);
    EXPECT_EQ(state.List2[2], "DB_AREACODE");
    for (size_t i = 1; i < 3; ++i) {
        const std::string &t = state.List2[i];
        SCOPED_TRACE(t);
        ParadoxRecordSet file(state.List2Files[i]);
        EXPECT_EQ(count(t), std::to_string(file.recordCount()));
        std::vector<std::string> columns;
        for (const auto &r : query("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                                   "DATABASE() AND TABLE_NAME = '" +
                                   t + "' ORDER BY ORDINAL_POSITION"))
            columns.push_back(*r[0]);
        std::vector<std::string> fields;
        for (const Field &f : file.fields())
            fields.push_back(f.name);
        EXPECT_EQ(columns, fields);
    }
}

// Root reads whatever the mode bits say, so the run goes as user nobody.
TEST_F(Conversion, UnreadableTableIsListedAndReportedWithTheReason)
{
    writeSimple("Open", 2);
    writeSimple("Locked", 1);
    const std::string locked = folder + "/Locked.db";
    ::chmod(folder.c_str(), 0755);
    ::chmod(locked.c_str(), 0);
    const int result = test::runUnprivileged([&] {
        ConvertTables(host, state);
        const auto errors = host.errors();
        for (const auto &e : errors)
            std::fprintf(stderr, "report: %s\n", e.c_str());
        if (state.List2.size() != 2)
            return 1;
        if (errors.size() != 1 || errors[0].find("Cannot open \"" + locked + "\": Permission denied") != 0 ||
            errors[0].find(" at line 146") == std::string::npos)
            return 2;
        return host.informations() == std::vector<std::string>{"Done."} ? 0 : 3;
    });
    ::chmod(locked.c_str(), 0644);
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(query("SHOW TABLES"), (Rows{{"OPEN"}}));
    EXPECT_EQ(count("OPEN"), "2");
}

// A connection string splits at ";" and trims its values unless the folder
// is protected.
TEST_F(Conversion, FolderNamedWithABlankAtItsEndOrASemicolonIsConverted)
{
    for (const std::string name : {"x ", "a;b"}) {
        SCOPED_TRACE("\"" + name + "\"");
        useServer(*server);
        const std::string dir = folder + "/" + name;
        std::filesystem::create_directory(dir);
        // A folder a cut name would find instead.
        std::filesystem::create_directory(folder + "/" + name.substr(0, 1));
        writeParadoxTable(dir + "/Kept.db", {{"Id", 'I'}}, {{Value::integer(7)}});
        Host h;
        RunState st;
        copySettings(h, dir);
        ConvertTables(h, st);
        EXPECT_TRUE(h.errors().empty()) << h.errors().front();
        EXPECT_TRUE(h.questions().empty());
        EXPECT_EQ(query("SELECT Id FROM KEPT"), (Rows{{"7"}}));
    }
}

// A file name that is not UTF-8, with a statement in it; a field name with
// a line break; a value with a quote after a character whose last UTF-8
// byte starts a gbk character. Loaded by a gbk client that goes on after
// errors, nothing is dropped, and names and value arrive as written, each
// statement on its line.
TEST_F(Conversion, ExportLoadsIntactInAClientOfAnotherCharacterSet)
{
    // Code page 437 reads \xbf as "┐" (E2 94 90 in UTF-8).
    const std::string value = "┐'; DROP TABLE Y; --";
    const std::string file = folder + "/X\xbf`; DROP TABLE y; --.db";
    writeParadoxTable(file, {{"Label", 'A', 40}, {"Two\nLines", 'I'}}, {{Value::text(value), Value::integer(2)}}, 437);
    server->exec(db, "CREATE TABLE Y (keep INT)");
    // The C locale: the name is read in the table's code page.
    const std::string command = "LC_ALL=C " + std::string(TABULON_SQL_PATH) + " --drop " + ShellQuoted(folder) +
                                " | mariadb --no-defaults --force --default-character-set=gbk --socket=" +
                                ShellQuoted((server->dir() / "sock").string()) + " -uroot " + db + " 2>&1";
    const auto [out, status] = Capture(command);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "");
    std::set<std::string> tables;
    for (const auto &r : query("SHOW TABLES"))
        tables.insert(*r[0]);
    EXPECT_EQ(tables, (std::set<std::string>{"Y", "X┐`; DROP TABLE Y; --"}));
    EXPECT_EQ(query("SELECT Label, Two_Lines FROM `X┐``; DROP TABLE Y; --`"), (Rows{{value, "2"}}));
    std::filesystem::remove(file); // Qt cannot name it to remove it
}

// tabulon-sql on each fixture set: every table once, and one INSERT per
// record of every table it reports no failure for.
TEST_F(Conversion, ExportOfEachFixtureSetWritesEveryRecordOnce)
{
    TABULON_FIXTURES_OR_SKIP(fixtures);
    std::vector<std::filesystem::path> sets;
    for (const auto &entry : std::filesystem::directory_iterator(fixtures))
        if (entry.is_directory())
            sets.push_back(entry.path());
    std::sort(sets.begin(), sets.end());
    ASSERT_FALSE(sets.empty());
    for (const auto &set : sets) {
        SCOPED_TRACE(set.filename().string());
        const std::string errorFile = folder + "/errors.txt";
        const auto [out, status] = Capture(std::string(TABULON_SQL_PATH) + " " + ShellQuoted(set.string()) + " 2>" +
                                           ShellQuoted(errorFile));
        std::set<std::string> failed;
        bool oversized = false; // a row over the statement limit, written whole
        {
            const std::string marker = ": table ";
            std::FILE *f = std::fopen(errorFile.c_str(), "r");
            char line[4096];
            while (f && std::fgets(line, sizeof line, f)) {
                const std::string text = line;
                oversized |= text.find(" bytes, more than ") != std::string::npos;
                const auto at = text.find(marker);
                if (at != std::string::npos)
                    failed.insert(
                        text.substr(at + marker.size(), text.find(": ", at + marker.size()) - at - marker.size()));
            }
            if (f)
                std::fclose(f);
        }
        std::map<std::string, int> creates;
        std::map<std::string, int64_t> inserts;
        size_t start = 0;
        while (start < out.size()) {
            const size_t end = out.find('\n', start);
            const std::string line = out.substr(start, end - start);
            start = end == std::string::npos ? out.size() : end + 1;
            if (line.rfind("CREATE TABLE `", 0) == 0)
                ++creates[QuotedNameAt(line, 13)];
            else if (line.rfind("INSERT INTO `", 0) == 0)
                ++inserts[QuotedNameAt(line, 12)];
        }
        FakeHost quiet;
        const auto tables = FindParadoxTables(quiet, set.string());
        EXPECT_EQ(creates.size(), tables.size());
        for (const auto &t : tables) {
            EXPECT_EQ(creates[t.name], 1) << t.name;
            if (failed.count(t.name))
                continue;
            EXPECT_EQ(inserts[t.name], ParadoxRecordSet(t.path).recordCount()) << t.name;
        }
        EXPECT_EQ(status == 0, failed.empty() && !oversized);
    }
}

} // namespace

namespace {

// A table of one Alpha field whose text is in code page `written` while its
// header names `declared`.
void WriteMisdeclared(const std::string &path, const std::vector<std::string> &texts, int written, int declared)
{
    {
        ParadoxWriter w(path, {{"Name", 'A', 40}}, written);
        for (const std::string &t : texts)
            w.addRow({Value::text(t)});
        w.finish();
    }
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x6A);
    const char bytes[2] = {char(declared & 0xFF), char(declared >> 8)};
    f.write(bytes, 2);
}

// A table read in another code page than its header names says so in the
// datatype view and on the progress caption, before its rows go.
TEST_F(Conversion, DetectedCodePageIsToldInTheDatatypeViewAndCaption)
{
    WriteMisdeclared(folder + "/ru.db", {"Внешний мир", "Иван Петров"}, 1251, 1252);
    writeSimple("plain", 1);
    host.check1Value = 1;
    ConvertTables(host, state);
    EXPECT_TRUE(host.errors().empty());
    bool line = false;
    for (const DatatypeLine &l : state.datatypeList.lines())
        line = line || (l.table == "RU" && l.keyword == "CODE PAGE" &&
                        l.mysqlType == "code page 1251, not the 1252 its header names");
    EXPECT_TRUE(line);
    EXPECT_EQ(state.datatypeList.rowCount(), 4);
    EXPECT_NE(
        std::find(host.captions.begin(), host.captions.end(),
                  "Please wait.. Processing table RU (" +
                      std::to_string(state.List2.end() - std::find(state.List2.begin(), state.List2.end(), "RU")) +
                      " of 2) (text in code page 1251, not the 1252 its header names)"),
        host.captions.end());
    bool russian = false;
    for (int i = 0; i < state.scriptList.lineCount(); ++i)
        russian = russian || state.scriptList.line(i) == "INSERT INTO `RU` VALUES('Внешний мир')";
    EXPECT_TRUE(russian);
}

// tabulon-sql: detection by default and told on standard error; a code page
// for every table; one for a table, which beats the one for all.
TEST_F(Conversion, ExportCodePageChoices)
{
    WriteMisdeclared(folder + "/ru.db", {"Мир"}, 1251, 1252);
    WriteMisdeclared(folder + "/we.db", {"Café"}, 1252, 1252);
    const std::string sql = std::string(TABULON_SQL_PATH) + " ";
    const std::string errors = folder + "/errors.txt";
    auto run = [&](const std::string &args) {
        auto result = Capture(sql + args + " " + ShellQuoted(folder) + " 2>" + ShellQuoted(errors));
        std::ifstream in(errors);
        return std::make_tuple(result.first, result.second, std::string(std::istreambuf_iterator<char>(in), {}));
    };
    {
        const auto [out, status, err] = run("");
        EXPECT_EQ(status, 0);
        EXPECT_NE(out.find("INSERT INTO `RU` VALUES('Мир');"), std::string::npos) << out;
        EXPECT_NE(out.find("INSERT INTO `WE` VALUES('Café');"), std::string::npos) << out;
        EXPECT_EQ(
            err.rfind("tabulon-sql: " + folder + ": code page 1251 read for table RU; its header names 1252\n", 0), 0u)
            << err;
    }
    {
        const auto [out, status, err] = run("--codepage 1251");
        EXPECT_EQ(status, 0);
        EXPECT_NE(out.find("INSERT INTO `RU` VALUES('Мир');"), std::string::npos) << out;
        EXPECT_NE(out.find("INSERT INTO `WE` VALUES('Cafй');"), std::string::npos) << out;
        EXPECT_NE(err.find("code page 1251 read for table WE; its header names 1252"), std::string::npos) << err;
    }
    {
        const auto [out, status, err] = run("--codepage ru=1251 --codepage 866");
        EXPECT_EQ(status, 0);
        EXPECT_NE(out.find("INSERT INTO `RU` VALUES('Мир');"), std::string::npos) << out;
        EXPECT_NE(out.find("INSERT INTO `WE` VALUES('Cafщ');"), std::string::npos) << out;
    }
    {
        const auto [out, status, err] = run("--codepage nope=1251");
        EXPECT_EQ(status >> 8, 1);
        EXPECT_NE(err.find("--codepage names no table named nope"), std::string::npos) << err;
    }
    {
        const auto [out, status, err] = run("--codepage 65001");
        EXPECT_EQ(status >> 8, 2);
        EXPECT_NE(err.find("\"65001\" is not a code page Paradox writes"), std::string::npos) << err;
    }
}

} // namespace

namespace tabulon {
namespace {

// tabulon-sql --server is the window's direct run without the window: the
// same tables arrive, the report is printed, and the exit status tells a
// clean run, a refused row and a server out of reach apart. The password
// comes from the environment, never from an argument.
TEST_F(Conversion, TheCommandLineLoadsStraightIntoTheServer)
{
    writeSimple("AAA", 40);
    writeSimple("Picky", 10);
    server->exec(db, "CREATE TABLE AAA (Id INT)");
    const auto run = [&](const std::string &extra, const std::string &password) {
        const auto [out, status] = Capture("XDG_CONFIG_HOME=" + ShellQuoted(folder + "/config") +
                                           " MYSQL_PWD=" + ShellQuoted(password) + " " + std::string(TABULON_SQL_PATH) +
                                           " --server 127.0.0.1" + " --port " + std::to_string(server->port()) +
                                           " --user " + ShellQuoted(server->user()) + " --database " + db + " " +
                                           extra + " " + ShellQuoted(folder) + " 2>/dev/null");
        return std::make_pair(out, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    };
    const auto [kept, keptStatus] = run("", server->password());
    EXPECT_EQ(keptStatus, 0) << kept;
    EXPECT_EQ(count("AAA"), "0") << "not overwritten without --drop";
    EXPECT_EQ(count("PICKY"), "10");
    EXPECT_NE(kept.find("1 table not overwritten"), std::string::npos) << kept;

    // Values that could not be read are no clean run.
    {
        ParadoxWriter w(folder + "/Notes.db", {{"Id", 'I'}, {"Note", 'M', 20}});
        w.addRow({Value::integer(1), Value::text(std::string(300, 'x'))});
        w.finish();
    }
    ASSERT_TRUE(std::filesystem::remove(folder + "/Notes.mb"));
    const auto [dropped, droppedStatus] = run("--drop", server->password());
    EXPECT_EQ(droppedStatus, 1) << dropped;
    EXPECT_EQ(count("AAA"), "40");
    EXPECT_EQ(count("NOTES"), "1");

    EXPECT_EQ(run("", "not the password").second, 3);
}

} // namespace
} // namespace tabulon
