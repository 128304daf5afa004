// Prints figures; asserts nothing about time.
#include "common/eventpump.h"
#include "engine/run/runstate.h"
#include "support/mariadbserver.h"
#include "target/mysqlconnection.h"
#include "ui/common/messageboxes.h"
#include "ui/preview/form2.h"
#include "ui/preview/form3.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace tabulon;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double maxRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

std::string insertLine(int i)
{
    return "INSERT INTO `customers` VALUES(" + std::to_string(i) + ", 'Customer number " + std::to_string(i) +
           "', 'Main Street " + std::to_string(i % 977) + "', 'Springfield', 1234.5, '2001-02-03 04:05:06')";
}

void setRowByRow(bool on)
{
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "Korvanto", "Tabulon");
    s.beginGroup("Tabulon");
    s.setValue("RowByRow", on ? "1" : "0");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, temp.filePath("config"));
    MessageBoxes::setResponder([](const BoxRequest &) { return QMessageBox::Ok; });
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int executeLines = argc > 2 ? std::atoi(argv[2]) : 100000;

    // (a) a million lines into the list, then the window on screen.
    {
        const double rssBefore = maxRssMb();
        RunState state;
        size_t textBytes = 0;
        const auto start = Clock::now();
        for (int i = 1; i <= lines; ++i) {
            std::string line = insertLine(i);
            textBytes += line.size();
            state.scriptList.append(std::move(line));
        }
        const double appended = seconds(start);
        Form2 window(state, nullptr);
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        QApplication::processEvents();
        auto *list = window.findChild<QTreeView *>("ListView1");
        list->scrollToBottom();
        QApplication::processEvents();
        const double shown = seconds(start);
        const double rss = maxRssMb();
        std::printf("(a) %d lines, text %.1f MB: appended %.2f s, shown and scrolled %.2f s; "
                    "peak RSS %.1f MB (%.1f MB before) = %.2fx the text (%.2fx counting from before)\n",
                    lines, textBytes / 1048576.0, appended, shown, rss, rssBefore, rss / (textBytes / 1048576.0),
                    (rss - rssBefore) / (textBytes / 1048576.0));

        // Scrolling: 200 jumps across the list, each painted at once (the time
        // counts the scroll and the paint), then the same at the far right.
        auto paintFrames = [&](const char *what) {
            QScrollBar *bar = list->verticalScrollBar();
            double total = 0, worst = 0;
            const int frames = 200;
            for (int f = 0; f < frames; ++f) {
                const auto t = Clock::now();
                bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * f / (frames - 1)));
                list->viewport()->repaint();
                const double ms = seconds(t) * 1e3;
                total += ms;
                worst = std::max(worst, ms);
            }
            std::printf("    %s: %d frames, %.2f ms a frame on average, %.2f ms the slowest\n", what, frames,
                        total / frames, worst);
        };
        paintFrames("scrolling down");
        list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
        paintFrames("scrolling down at the far right");

        // (b) Find and Replace over every line, each of which matches.
        const auto replaceStart = Clock::now();
        QTimer::singleShot(0, [] {
            QWidget *w = QApplication::activeModalWidget();
            w->findChild<QLineEdit *>("Text1")->setText("`CUSTOMERS`");
            w->findChild<QLineEdit *>("Text2")->setText("`clients`");
            QTest::mouseClick(w->findChild<QPushButton *>("PushButton2"), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton *>("PushButton3"), Qt::LeftButton);
        std::printf("(b) Find and Replace over %d lines: %.2f s (line 1 now: %.40s...)\n", lines, seconds(replaceStart),
                    state.scriptList.line(0).c_str());
        window.reject();
    }

    // (c) Execute SQL against the mariadb client on the same private server.
    auto server = test::TestServer::startPrivate();
    const std::string db = server->createDatabase("bench");
    const std::string create =
        "CREATE TABLE customers (id INT, name VARCHAR(100), street VARCHAR(100), city VARCHAR(100), "
        "amount DOUBLE, since DATETIME) ENGINE=InnoDB";
    const std::string script = temp.filePath("script.sql").toStdString();
    {
        std::ofstream out(script);
        for (int i = 1; i <= executeLines; ++i)
            out << insertLine(i) << ";\n";
    }
    const std::string cnf = temp.filePath("client.cnf").toStdString();
    {
        std::ofstream out(cnf);
        out << "[client]\nhost=127.0.0.1\nport=" << server->port() << "\nuser=" << server->user() << "\npassword=\""
            << server->password() << "\"\ndefault-character-set=utf8mb4\n";
    }
    auto fresh = [&] {
        server->exec(db, "DROP TABLE IF EXISTS customers");
        server->exec(db, create);
    };

    fresh();
    auto start = Clock::now();
    const std::string command = "mariadb --defaults-file=" + cnf + " " + db + " < " + script;
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "the mariadb client failed\n");
    const double client = seconds(start);
    const std::string clientRows = server->scalar(db, "SELECT COUNT(*) FROM customers").value_or("?");

    auto executeOnce = [&](bool rowByRow) {
        fresh();
        setRowByRow(rowByRow);
        RunState state;
        state.mysql_conn = OpenMySqlConnection(server->connectionString(db), ConnectionOptions{});
        for (int i = 1; i <= executeLines; ++i)
            state.scriptList.append(insertLine(i));
        Form2 window(state, nullptr);
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
        EventPump::reset();
        const auto t = Clock::now();
        QTest::mouseClick(window.findChild<QPushButton *>("PushButton1"), Qt::LeftButton);
        const double took = seconds(t);
        std::printf("    %s: %.2f s, %s rows, SQLFormOK %d, longest event-loop gap %.1f ms\n",
                    rowByRow ? "Execute SQL, RowByRow" : "Execute SQL, batched", took,
                    server->scalar(db, "SELECT COUNT(*) FROM customers").value_or("?").c_str(), state.SQLFormOK,
                    EventPump::longestGap().count() / 1e6);
        return took;
    };
    std::printf("(c) %d lines; mariadb client: %.2f s, %s rows\n", executeLines, client, clientRows.c_str());
    const double rowByRow = executeOnce(true);
    const double batched = executeOnce(false);
    std::printf("    ratio row by row / client %.3f; batched / client %.3f\n", rowByRow / client, batched / client);
    return 0;
}
