// tabulon-sql --server as a nightly script runs it: the same tables as the
// window's run whether one job or four send them, and an exit status and a
// JSON report a script can trust when the run goes wrong.
#include "common/eventpump.h"
#include "engine/run/conversionrun.h"
#include "support/fakehost.h"
#include "support/fixtures.h"
#include "support/mariadbserver.h"
#include "tools/paradoxwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace tabulon;
using tabulon::test::TestServer;

namespace {

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class DirectRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        folder = m_dir.path().toStdString() + "/tables";
        std::filesystem::create_directory(folder);
        server = &TestServer::shared();
    }

    // Table NAME with n rows of an Id and a label.
    void writeTable(const std::string &name, int n)
    {
        ParadoxWriter w(folder + "/" + name + ".db", {{"Id", 'I'}, {"Label", 'A', 40}});
        for (int i = 1; i <= n; ++i)
            w.addRow({Value::integer(i), Value::text("row " + std::to_string(i))});
        w.finish();
    }

    // Starts tabulon-sql --server into `database`; the password comes from
    // the environment, as a script gives it.
    pid_t start(const std::string &database, const std::string &source, const std::vector<std::string> &extra,
                const std::string &password)
    {
        std::vector<std::string> args{
            TABULON_SQL_PATH, "--server",     "127.0.0.1",  "--port", std::to_string(server->port()),
            "--user",         server->user(), "--database", database};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(source);
        std::vector<std::string> env{"MYSQL_PWD=" + password, "XDG_CONFIG_HOME=" + m_dir.path().toStdString() + "/cfg",
                                     "PATH=/usr/bin:/bin"};
        std::vector<char *> argv, envp;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string &e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }
    static int wait(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int run(const std::string &database, const std::vector<std::string> &extra = {}, const std::string &source = {})
    {
        return wait(start(database, source.empty() ? folder : source, extra, server->password()));
    }
    std::string jsonPath() const { return m_dir.path().toStdString() + "/report.json"; }
    std::string outPath() const { return m_dir.path().toStdString() + "/out"; }
    std::string errPath() const { return m_dir.path().toStdString() + "/err"; }
    QJsonObject json() const
    {
        return QJsonDocument::fromJson(QByteArray::fromStdString(ReadAll(jsonPath()))).object();
    }
    QJsonObject tableJson(const std::string &table) const
    {
        for (const auto &t : json()["tables"].toArray())
            if (t.toObject()["table"].toString().toStdString() == table)
                return t.toObject();
        return {};
    }

    // Each table's definition, row count and checksum, by name.
    std::map<std::string, std::string> tables(const std::string &database) const
    {
        std::map<std::string, std::string> out;
        for (const auto &row : server->query(database, "SHOW TABLES")) {
            const std::string name = *row[0];
            const std::string quoted = "`" + name + "`";
            out[name] = *server->query(database, "SHOW CREATE TABLE " + quoted)[0][1] + " " +
                        *server->scalar(database, "SELECT COUNT(*) FROM " + quoted) + " " +
                        *server->query(database, "CHECKSUM TABLE " + quoted)[0][1];
        }
        return out;
    }

    // Waits until the staging table of `table` holds rows: the run is mid-load.
    void waitForRows(const std::string &database, const std::string &table) const
    {
        for (int i = 0; i < 800; ++i) {
            try {
                if (std::stoll(*server->scalar(database, "SELECT COUNT(*) FROM `" + table + "~tabulon`")) > 0)
                    return;
            } catch (const std::exception &) {
                // Not created yet.
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "no rows arrived in " << table;
    }

    QTemporaryDir m_dir;
    std::string folder;
    TestServer *server = nullptr;
};

// The window's run, one job and four jobs store the same tables.
TEST_F(DirectRun, FourJobsStoreWhatOneJobAndTheWindowStore)
{
    TABULON_FIXTURES_OR_SKIP(fixtures);
    const std::string source = (fixtures / "delphi-pascal-archive-electro_store_system").string();
    const std::string windowDb = server->createDatabase("win");
    test::FakeHost host;
    const std::string fields[] = {
        "", source, "127.0.0.1", std::to_string(server->port()), server->user(), server->password(), windowDb};
    for (int n = 1; n <= 6; ++n)
        host.fields[n] = fields[n];
    EventPump::reset();
    RunState state;
    ConvertTables(host, state);
    const auto expected = tables(windowDb);
    ASSERT_GE(expected.size(), 10u);

    for (const char *jobs : {"1", "4"}) {
        const std::string db = server->createDatabase("jobs");
        EXPECT_EQ(run(db, {"--jobs", jobs}, source), 0) << ReadAll(errPath());
        EXPECT_EQ(tables(db), expected) << "--jobs " << jobs;
        // One line per finished table, none for the live line off a terminal.
        const std::string err = ReadAll(errPath());
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), std::ptrdiff_t(expected.size())) << err;
        EXPECT_EQ(err.find('\r'), std::string::npos);
    }
}

// The exit status and the JSON report of a clean run, unreadable values, a
// refused row and a wrong password; the password is in none of the files.
TEST_F(DirectRun, ExitStatusAndJsonTellWhatWentWrong)
{
    writeTable("Clean", 30);
    const std::string db = server->createDatabase("json");
    EXPECT_EQ(run(db, {"--report", jsonPath()}), 0) << ReadAll(errPath());
    EXPECT_EQ(tableJson("CLEAN")["verification"].toString(), "values");
    EXPECT_EQ(tableJson("CLEAN")["header_count"].toInt(), 30);
    EXPECT_FALSE(json()["run"].toObject()["stopped"].toBool());

    {
        ParadoxWriter w(folder + "/Notes.db", {{"Id", 'I'}, {"Note", 'M', 20}});
        w.addRow({Value::integer(1), Value::text(std::string(300, 'x'))});
        w.addRow({Value::integer(2), Value::text(std::string(2 << 20, 'y'))});
        w.finish();
    }
    ASSERT_TRUE(std::filesystem::remove(folder + "/Notes.mb"));
    EXPECT_EQ(run(db, {"--drop", "--jobs", "2", "--report", jsonPath()}), 1);
    EXPECT_EQ(tableJson("NOTES")["null_values"].toInt(), 2);
    EXPECT_EQ(json()["run"].toObject()["options"].toObject()["jobs"].toString(), "2");

    // A row over the server's packet limit is refused; the rest go in.
    const auto small = TestServer::startPrivate({"--max-allowed-packet=1M"});
    server = small.get();
    {
        ParadoxWriter w(folder + "/Notes.db", {{"Id", 'I'}, {"Note", 'M', 20}});
        w.addRow({Value::integer(1), Value::text(std::string(300, 'x'))});
        w.addRow({Value::integer(2), Value::text(std::string(2 << 20, 'y'))});
        w.finish();
    }
    const std::string smallDb = server->createDatabase("small");
    EXPECT_EQ(run(smallDb, {"--report", jsonPath()}), 1);
    EXPECT_EQ(tableJson("NOTES")["refused"].toInt(), 1);
    EXPECT_EQ(tableJson("NOTES")["stored"].toInt(), 1);
    EXPECT_EQ(tableJson("NOTES")["refused_rows"].toArray().size(), 1);
    EXPECT_EQ(ReadAll(jsonPath()).find(server->password()), std::string::npos);
    EXPECT_EQ(wait(start(smallDb, folder, {}, "not the password")), 3);
}

// SIGINT stops the run after the statement in flight and --resume goes on
// from there; a server that goes away ends the run with status 1. The
// password is never in the process list, the report or the journal.
TEST_F(DirectRun, SignalsAndALostServerEndTheRunWithItsReport)
{
    writeTable("Big", 600000);
    const std::string db = server->createDatabase("sig");
    const pid_t pid = start(db, folder, {"--report", jsonPath()}, server->password());
    waitForRows(db, "BIG");
    EXPECT_EQ(ReadAll("/proc/" + std::to_string(pid) + "/cmdline").find(server->password()), std::string::npos);
    kill(pid, SIGINT);
    EXPECT_EQ(wait(pid), 130) << ReadAll(errPath());
    EXPECT_TRUE(json()["run"].toObject()["stopped"].toBool());
    EXPECT_EQ(tableJson("BIG")["result"].toString().toStdString().rfind("INCOMPLETE", 0), 0u);
    for (const auto &file : std::filesystem::recursive_directory_iterator(m_dir.path().toStdString() + "/cfg"))
        if (file.is_regular_file()) {
            EXPECT_EQ(ReadAll(file.path()).find(server->password()), std::string::npos) << file.path();
        }

    EXPECT_EQ(run(db, {"--resume", "--report", jsonPath()}), 0) << ReadAll(errPath());
    EXPECT_EQ(*server->scalar(db, "SELECT COUNT(*) FROM BIG"), "600000");

    const pid_t lost = start(db, folder, {"--drop", "--report", jsonPath()}, server->password());
    waitForRows(db, "BIG");
    server->killConnectionsTo(db);
    EXPECT_EQ(wait(lost), 1) << ReadAll(errPath());
    EXPECT_EQ(tableJson("BIG")["result"].toString().toStdString().rfind("INCOMPLETE", 0), 0u);
    EXPECT_EQ(*server->scalar(db, "SELECT COUNT(*) FROM BIG"), "600000") << "the table in place stays";
}

} // namespace
