#include "mainwindowfixture.h"

#include "support/mariadbserver.h"
#include "ui/common/busypointer.h"

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
    click("PushButton6");

    // Each failure names its own reason after the common text.
    const auto shown = plain();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "Connection successful.");
    EXPECT_EQ(shown[1].rfind(std::string(kCouldNotConnectMySql) + "\r\n\r\nReason: ", 0), 0u);
    EXPECT_NE(shown[1].find("Access denied"), std::string::npos) << shown[1];
    EXPECT_NE(shown[2].find("no_such_database_here"), std::string::npos) << shown[2];
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

} // namespace
} // namespace tabulon::test
