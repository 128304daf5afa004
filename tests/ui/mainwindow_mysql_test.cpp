#include "mainwindowfixture.h"

#include "support/loopbacksocket.h"
#include "support/mariadbserver.h"
#include "ui/common/busypointer.h"

#include <QFile>
#include <QTimer>

#include <sys/socket.h>

namespace tabulon::test {
namespace {

const char *kCouldNotConnectMySql =
    "Could not connect. Please check with your administrator. Make sure you are allowed to "
    "connect to your database remotely and not just through web-based control panels.";

class MainWindowMySqlTest : public MainWindowTest {
protected:
    void login(const std::string &database, const std::string &password)
    {
        TestServer &server = TestServer::shared();
        text(2)->setText("127.0.0.1");
        text(3)->setText(QString::number(server.port()));
        text(4)->setText(QString::fromStdString(server.user()));
        text(5)->setText(QString::fromStdString(password));
        text(6)->setText(QString::fromStdString(database));
    }
};

TEST_F(MainWindowMySqlTest, TestConnectionSaysWhetherTheLoginWorks)
{
    TestServer &server = TestServer::shared();
    const std::string db = server.createDatabase("mw");
    open();

    login(db, server.password());
    click("PushButton6");
    login(db, server.password() + "x");
    click("PushButton6");
    login("no_such_database_here", server.password());
    click("PushButton6"); // not created: No

    // Each failure names its own reason after the common text, and the
    // line that fits it.
    const auto shown = plain();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0], "Connection successful (not encrypted).");
    EXPECT_EQ(shown[1].rfind(std::string(kCouldNotConnectMySql) + "\r\n\r\nReason: ", 0), 0u);
    EXPECT_NE(shown[1].find("Access denied"), std::string::npos) << shown[1];
    EXPECT_NE(shown[1].find("\r\nCheck the user name and password."), std::string::npos) << shown[1];
    EXPECT_EQ(shown[2], "The database no_such_database_here does not exist on the server. Create it (utf8mb4)?");
    EXPECT_NE(shown[3].find("no_such_database_here"), std::string::npos) << shown[3];
    EXPECT_TRUE(errors().empty());
    EXPECT_FALSE(BusyPointer::isBusy(&window()));
}

TEST_F(MainWindowMySqlTest, NothingListeningIsNoApplicationError)
{
    open();
    text(2)->setText("127.0.0.1");
    text(3)->setText("1"); // nothing listens on port 1
    bool busyDuringBox = false;
    MessageBoxes::setResponder([&](const BoxRequest &r) {
        boxes.push_back(r);
        busyDuringBox = BusyPointer::isBusy(&window());
        return QMessageBox::Ok;
    });
    click("PushButton6");
    // The hourglass goes only once the box is dismissed.
    EXPECT_TRUE(busyDuringBox);
    EXPECT_FALSE(BusyPointer::isBusy(&window()));
    ASSERT_EQ(plain().size(), 1u);
    EXPECT_EQ(plain()[0].rfind(kCouldNotConnectMySql, 0), 0u);
    EXPECT_NE(plain()[0].find("Reason: "), std::string::npos);
    EXPECT_TRUE(errors().empty());
}

// While Test Connection waits for a server, a second Test Connection or a
// Start Converting press must not begin a connect of its own inside it.
TEST_F(MainWindowMySqlTest, PressesDuringATestConnectDoNotNest)
{
    // A loopback listener that accepts and never answers: the test's
    // connect waits until the listener lets go of it.
    LoopbackSocket silent(true, true);
    const int listener = silent.fd;

    QDir().mkpath(path("px"));
    QFile(path("px/tables.db")).open(QIODevice::WriteOnly);
    open();
    text(1)->setText(path("px"));
    text(2)->setText("127.0.0.1");
    text(3)->setText(QString::number(silent.port));

    std::vector<int> accepted;
    const auto acceptAll = [&] {
        for (int fd; (fd = ::accept(listener, nullptr, nullptr)) >= 0;)
            accepted.push_back(fd);
    };
    int checks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        acceptAll();
        if (accepted.empty() || ++checks < 5)
            return;
        poll.stop();
        click("PushButton6");
        click("PushButton7");
        click("PushButton3");
        QTest::qWait(300);
        acceptAll();
        EXPECT_EQ(accepted.size(), 1u) << "a second connect started";
        for (int fd : accepted)
            ::close(fd); // the first test ends: "Could not connect."
    });
    poll.start(20);
    click("PushButton6");
    silent.close();
    ASSERT_EQ(plain().size(), 1u);
    EXPECT_EQ(plain()[0].rfind(kCouldNotConnectMySql, 0), 0u);
    EXPECT_TRUE(errors().empty());
    EXPECT_FALSE(BusyPointer::isBusy(&window()));

    // Over, the commands work again.
    click("PushButton3");
    EXPECT_EQ(plain().back(), "Connection successful.");
}

} // namespace
} // namespace tabulon::test
