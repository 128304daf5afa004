#include "mainwindowfixture.h"

#include <QFile>

namespace tabulon::test {
namespace {

// Run by with-test-keyring in a private D-Bus session with its own keyring.
class KeyringTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("TABULON_TEST_KEYRING"))
            GTEST_SKIP() << "no private keyring: needs dbus-run-session and gnome-keyring-daemon "
                            "(Debian dbus, gnome-keyring), started by tests/support/with-test-keyring";
        MainWindowTest::SetUp();
    }
    static QByteArray settingsFile()
    {
        QFile f(QString::fromStdString(SettingsStore::fileName()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(KeyringTest, PasswordMovesFromTheFileToTheKeyringOnItsNextChange)
{
    store("Server", "db.example");
    store("Port", "3307");
    store("User", "anna");
    store("Password", "from the demo");
    open();
    EXPECT_EQ(text(5)->text(), "from the demo");
    EXPECT_EQ(stored("Password"), "from the demo") << "moved by the start";

    text(5)->setText("n3w s\u20accret");
    EXPECT_EQ(stored("PasswordKey"), "anna@db.example:3307");
    EXPECT_FALSE(settingsFile().contains("Password="));
    EXPECT_FALSE(settingsFile().contains("n3w"));
    EXPECT_NE(text(5)->toolTip().indexOf("keyring"), -1);
    reopen();
    EXPECT_EQ(text(5)->text(), "n3w s\u20accret");

    // Another login: the entry follows it, and the old one goes.
    text(4)->setText("bob");
    text(5)->setText("b0b");
    EXPECT_EQ(stored("PasswordKey"), "bob@db.example:3307");
    reopen();
    EXPECT_EQ(text(5)->text(), "b0b");
    store("PasswordKey", "anna@db.example:3307");
    reopen();
    EXPECT_EQ(text(5)->text(), "");
    EXPECT_NE(text(5)->toolTip().indexOf("no entry"), -1) << text(5)->toolTip().toStdString();
    EXPECT_TRUE(errors().empty());
}

} // namespace
} // namespace tabulon::test
