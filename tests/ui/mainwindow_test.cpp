#include "mainwindowfixture.h"

#include "common/settingskeys.h"
#include "ui/common/busypointer.h"
#include "ui/common/windowlook.h"
#include "ui/main/securitydialog.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QImageWriter>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>

#include <functional>

#include <sys/stat.h>

namespace tabulon::test {
namespace {

void touch(const QString &file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
    f.write("x");
}

// ---- start-up and the settings --------------------------------------------

TEST_F(MainWindowTest, FirstStartShowsDefaultsAndStoresServerPortAndCheck1)
{
    Form1 &w = open();
    EXPECT_EQ(w.windowTitle(), "Tabulon");
    EXPECT_EQ(text(1)->text(), "");
    EXPECT_EQ(text(2)->text(), "localhost");
    EXPECT_EQ(text(3)->text(), "3306");
    EXPECT_EQ(text(5)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option1")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("Option2")->isEnabled());
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(stored("Server"), "localhost");
    EXPECT_EQ(stored("Port"), "3306");
    EXPECT_EQ(stored("Check1"), "1");
    // Nothing else is written at the first start.
    EXPECT_EQ(stored("ParadoxFolder"), std::nullopt);
    EXPECT_EQ(stored("Option1"), std::nullopt);
    EXPECT_EQ(stored("User"), std::nullopt);
}

TEST_F(MainWindowTest, RestoresFieldsAndStoresEveryChangeAtOnce)
{
    store("ParadoxFolder", "/data/px");
    store("Server", "db.example");
    store("Port", "3307");
    store("User", "anna");
    store("Password", "p'w, \"x\" ;€");
    store("Database", "shop");
    open();
    EXPECT_EQ(text(1)->text(), "/data/px");
    EXPECT_EQ(text(2)->text(), "db.example");
    EXPECT_EQ(text(3)->text(), "3307");
    EXPECT_EQ(text(4)->text(), "anna");
    EXPECT_EQ(text(5)->text(), "p'w, \"x\" ;€");
    EXPECT_EQ(text(6)->text(), "shop");

    text(4)->clear();
    QStringList seen;
    QObject::connect(text(4), &QLineEdit::textChanged, [&] { seen << *stored("User"); });
    QTest::keyClicks(text(4), "abc");
    EXPECT_EQ(seen, QStringList({"a", "ab", "abc"}));
    text(5)->setText("S3 cr;e't");
    EXPECT_EQ(stored("Password"), "S3 cr;e't");

    reopen();
    EXPECT_EQ(text(4)->text(), "abc");
    EXPECT_EQ(text(5)->text(), "S3 cr;e't");
}

TEST_F(MainWindowTest, StoredSwitchesAreRestored)
{
    store("Check1", "0");
    store("Option1", "False");
    store("Option2", "True");
    open();
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("Option1")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>("Option2")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("Option1")->isChecked());
    EXPECT_EQ(window().check1(), 0);
    EXPECT_TRUE(window().option2());

    click("Check1");
    EXPECT_EQ(stored("Check1"), "1");
    EXPECT_TRUE(child<QRadioButton>("Option1")->isEnabled());
    click("Option1");
    EXPECT_EQ(stored("Option1"), "True");
    EXPECT_EQ(stored("Option2"), "False");

    // Switching the preview off keeps the granularity as it was.
    click("Check1");
    EXPECT_EQ(stored("Check1"), "0");
    EXPECT_FALSE(child<QRadioButton>("Option2")->isEnabled());
    EXPECT_EQ(stored("Option1"), "True");
    EXPECT_EQ(stored("Option2"), "False");
    EXPECT_TRUE(boxes.empty());
}

// "Native MySQL column types" (off by default) and "Verify values on the
// server" (on): stored the moment they change, restored at the next start,
// and what the run is told.
TEST_F(MainWindowTest, NativeColumnTypesAndVerifySwitchesAreStoredAndRestored)
{
    open();
    EXPECT_FALSE(child<QCheckBox>("CheckNative")->isChecked());
    EXPECT_EQ(window().columnTypes(), ColumnTypes::Text);
    EXPECT_TRUE(window().runOptions().verifyValues);
    click("CheckNative");
    click("CheckVerify");
    EXPECT_EQ(stored("ColumnTypes"), "Native");
    EXPECT_EQ(stored("VerifyValues"), "0");
    EXPECT_EQ(window().columnTypes(), ColumnTypes::Native);
    reopen();
    EXPECT_TRUE(child<QCheckBox>("CheckNative")->isChecked());
    EXPECT_FALSE(window().runOptions().verifyValues);
    click("CheckNative");
    EXPECT_EQ(stored("ColumnTypes"), "Text");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, ClickingTheSelectedOptionStoresBothKeys)
{
    open();
    ASSERT_TRUE(child<QRadioButton>("Option1")->isChecked());
    click("Option1");
    EXPECT_EQ(stored("Option1"), "True");
    EXPECT_EQ(stored("Option2"), "False");
}

TEST_F(MainWindowTest, BooleansAcceptNumbers)
{
    store("Option1", "0");
    store("Option2", "-1");
    store("Check1", " 1 ");
    open();
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, UnreadableSwitchReportsItsStepAndTheLoadGoesOn)
{
    store("Check1", "abc");
    store("Option2", "True");
    store("User", "anna");
    open();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("\"Check1\" = \"abc\""), std::string::npos) << errors()[0];
    EXPECT_NE(errors()[0].find("\r\nin Quorvex2021/08/31.Form1.Form_Load at line 130\r\r"), std::string::npos)
        << errors()[0];
    EXPECT_EQ(boxes[0].title, "Application Error");
    // The box keeps its designed (unchecked) state, the later steps ran.
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("Option2")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(text(4)->text(), "anna");
    EXPECT_EQ(stored("Check1"), "0");
}

TEST_F(MainWindowTest, EachBadSwitchHasItsOwnStep)
{
    store("Check1", "7");
    store("Option1", "maybe");
    store("Option2", "");
    open();
    ASSERT_EQ(errors().size(), 3u);
    EXPECT_NE(errors()[0].find("at line 130"), std::string::npos);
    EXPECT_NE(errors()[1].find("at line 132"), std::string::npos);
    EXPECT_NE(errors()[2].find("at line 134"), std::string::npos);
}

TEST_F(MainWindowTest, SettingsFileIsReadableByItsOwnerOnly)
{
    open();
    text(5)->setText("secret");
    // No keyring answers: the file keeps it, and the field says so.
    EXPECT_EQ(stored("Password"), "secret");
    EXPECT_NE(text(5)->toolTip().indexOf("could not be used"), -1) << text(5)->toolTip().toStdString();
    const std::string file = SettingsStore::fileName();
    EXPECT_EQ(QFileInfo(QString::fromStdString(file)).absolutePath(), path("config/Korvanto"));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFileInfo(QString::fromStdString(file)).absolutePath().toLocal8Bit(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(MainWindowTest, SkinAndPointerFilesAreOptionalAndReportedWhenDamaged)
{
    touch(path("program/x/o.cjs"));
    QFile skin(path("program/x/o.cjs"));
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: rgb(1, 2, 3); }");
    skin.close();
    touch(path("program/HAND-M.CUR")); // not an image
    Form1 &w = open();
    EXPECT_EQ(w.styleSheet(), "QPushButton { color: rgb(1, 2, 3); }");
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_NE(errors()[0].find("HAND-M.CUR"), std::string::npos);
    EXPECT_NE(errors()[0].find("at line 106"), std::string::npos);
    // The load went on: the fields were restored.
    EXPECT_EQ(text(2)->text(), "localhost");
}

TEST_F(MainWindowTest, TheCursorFileGivesItsHotSpot)
{
    // An icon written by Qt turned into a cursor: type 2, hot spot (9, 4).
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QImageWriter(&buffer, "ico").write(image));
    bytes[2] = 2;
    bytes[10] = 9, bytes[11] = 0, bytes[12] = 4, bytes[13] = 0;
    QFile file(path("program/HAND-M.CUR"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const QCursor hand = CursorFromFile(file.fileName().toStdString());
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.hotSpot(), QPoint(9, 4));
    EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
    open();
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, TheHandGoesWhenThePointerLeavesAButtonForTheBodyOrAFrame)
{
    Form1 &w = open();
    const auto hovered = [&](QWidget *over, QPoint at) {
        QTest::mouseMove(over, at);
        return w.testAttribute(Qt::WA_SetCursor) ? w.cursor().shape() : Qt::ArrowCursor;
    };
    auto *start = child<QPushButton>("PushButton7");
    const QPoint body(start->x() + 10, start->geometry().bottom() + 3);
    ASSERT_EQ(w.childAt(body), nullptr);
    auto *frame = child<QGroupBox>("Frame3");
    auto *test = child<QPushButton>("PushButton6");
    const QPoint inFrame(test->x() + 10, test->geometry().bottom() + 3);
    ASSERT_EQ(frame->childAt(inFrame), nullptr);

    EXPECT_EQ(hovered(start, start->rect().center()), Qt::PointingHandCursor);
    EXPECT_EQ(hovered(&w, body), Qt::ArrowCursor);
    EXPECT_EQ(hovered(test, test->rect().center()), Qt::PointingHandCursor);
    EXPECT_EQ(hovered(frame, inFrame), Qt::ArrowCursor);
    // The hourglass stays whatever the pointer passes.
    BusyPointer::set(&w, true);
    EXPECT_EQ(hovered(start, start->rect().center()), Qt::WaitCursor);
    EXPECT_EQ(hovered(&w, body), Qt::WaitCursor);
    BusyPointer::set(&w, false);
}

TEST_F(MainWindowTest, FocusSelectsTheWholeField)
{
    store("Server", "db.example");
    Form1 &w = open();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::mouseClick(text(2), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::qWait(20);
    EXPECT_TRUE(text(2)->hasFocus());
    EXPECT_EQ(text(2)->selectedText(), "db.example");

    text(3)->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    EXPECT_EQ(text(3)->selectedText(), "3306");
}

// ---- commands ---------------------------------------------------------------

TEST_F(MainWindowTest, BrowseCancelledChangesNothing)
{
    store("ParadoxFolder", "/old");
    store("LastFolderDot", "/start/here");
    Form1 &w = open();
    QString prompt, start;
    w.setFolderChooser([&](QWidget *owner, const QString &p, const QString &s) {
        EXPECT_EQ(owner, &w);
        prompt = p;
        start = s;
        return QString();
    });
    click("PushButton1");
    EXPECT_EQ(prompt, "Please select folder:");
    EXPECT_EQ(start, "/start/here");
    EXPECT_EQ(text(1)->text(), "/old");
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(stored("LastFolderDot"), "/start/here");
}

TEST_F(MainWindowTest, BrowseChosenStoresTheFolderAndOffersACopyWhenItHasASpace)
{
    Form1 &w = open();
    const QString folder = path("data");
    QDir().mkpath(folder);
    w.setFolderChooser([&](QWidget *, const QString &, const QString &) { return folder; });
    click("PushButton1");
    EXPECT_EQ(text(1)->text(), folder);
    EXPECT_EQ(stored("ParadoxFolder"), folder);
    EXPECT_TRUE(boxes.empty());

    const QString spaced = path("my data");
    touch(spaced + "/orders.db");
    w.setFolderChooser([&](QWidget *, const QString &, const QString &) { return spaced; });
    answers = {QMessageBox::Yes};
    click("PushButton1");
    ASSERT_EQ(plain().size(), 1u);
    EXPECT_NE(plain()[0].find("put Your db files in it?"), std::string::npos) << plain()[0];
    EXPECT_EQ(text(1)->text(), path("root/TestDB"));
    EXPECT_EQ(stored("ParadoxFolder"), path("root/TestDB"));
    EXPECT_TRUE(QFileInfo::exists(path("root/TestDB/orders.db")));
    EXPECT_TRUE(errors().empty());
}

TEST_F(MainWindowTest, LoadSampleFromAProgramFolderWithASpace)
{
    const QString program = path("Program Files/Tabulon");
    touch(program + "/Samples/customer.db");
    SetProgramFolder(program.toStdString());
    open();
    QStringList seen;
    QObject::connect(text(1), &QLineEdit::textChanged, [&](const QString &t) { seen << t; });

    answers = {QMessageBox::No};
    click("PushButton2");
    ASSERT_EQ(plain().size(), 1u);
    EXPECT_NE(plain()[0].find("put sample db files in it?"), std::string::npos) << plain()[0];
    EXPECT_EQ(text(1)->text(), program + "/Samples");

    answers = {QMessageBox::Yes};
    text(1)->clear();
    seen.clear();
    click("PushButton2");
    EXPECT_EQ(seen, QStringList({program + "/Samples", path("root/TestDB")}));
    EXPECT_TRUE(QFileInfo::exists(path("root/TestDB/customer.db")));
    EXPECT_TRUE(errors().empty());
}

TEST_F(MainWindowTest, ParadoxTestLooksForTablesInTheFolderAndBelow)
{
    touch(path("tables/a.db"));
    touch(path("nested/sub/b.db"));
    open();
    text(1)->setText(path("tables"));
    click("PushButton3");
    text(1)->setText(path("nested"));
    click("PushButton3");
    text(1)->clear();
    click("PushButton3");
    // Tables only in sub-folders are read by the run: the folder is fine.
    ASSERT_EQ(plain().size(), 3u);
    EXPECT_EQ(plain()[0], "Connection successful.");
    EXPECT_EQ(plain()[1], "Connection successful.");
    EXPECT_EQ(plain()[2].rfind("Could not connect.\r\n\r\nReason: No Paradox folder is given.", 0), 0u);
    EXPECT_FALSE(BusyPointer::isBusy(&window()));
}

TEST_F(MainWindowTest, HelpTexts)
{
    open();
    click("PushButton4");
    click("PushButton5");
    ASSERT_EQ(plain().size(), 2u);
    EXPECT_EQ(plain()[0], "If you cannot establish connection to your database with this program, please go "
                          "to: \r\rhttps://dev.mysql.com/downloads/workbench/\r\rDownload and install the "
                          "MySQL Workbench. Try to connect to the same database (with the same login "
                          "information you are using here). This will determine if the login you are using "
                          "is correct.\r\rFinally, make sure your host allows a direct connection to your "
                          "MySQL database -- not a web based connection, for example.");
    EXPECT_EQ(plain()[1], "This software transfers text-based, numeric, binary and pictures fields.\r\n\r\n"
                          "Use SQL Preview if you want to read or edit the SQL before it runs; it shows "
                          "tables of millions of rows.\r\n\r\nQuestions? Please contact Team Korvanto at "
                          "https://korvanto.example/contact");
    EXPECT_EQ(boxes[0].title, "Tabulon");
}

TEST_F(MainWindowTest, ProgressListsAndRowByRowAsTheRunSeesThem)
{
    Form1 &w = open();
    auto *bar = child<QProgressBar>("ProgressBar1");
    EXPECT_EQ(bar->text(), "Progress Bar");
    w.setProgress(42.6);
    // Table names are shown as they are, placeholders of the bar included.
    w.setProgressCaption("Please wait.. Processing table 100%match%p%v%m");
    EXPECT_EQ(bar->value(), 43);
    EXPECT_EQ(bar->text(), "Please wait.. Processing table 100%match%p%v%m");
    w.setProgress(250);
    EXPECT_EQ(bar->value(), 100);

    w.runState().List1 = {"a", "b"};
    w.runState().List2 = {"C"};
    w.tableListsChanged();
    EXPECT_EQ(child<QListWidget>("List1")->count(), 2);
    EXPECT_EQ(child<QListWidget>("List1")->currentRow(), 0);
    EXPECT_TRUE(child<QListWidget>("List1")->item(0)->isSelected());
    EXPECT_EQ(child<QListWidget>("List2")->item(0)->text(), "C");
    // The working lists lie below the visible area.
    EXPECT_GE(child<QListWidget>("List1")->y(), w.height());

    EXPECT_FALSE(w.rowByRow());
    store("RowByRow", "1");
    EXPECT_TRUE(w.rowByRow());
    store("RowByRow", "junk");
    EXPECT_FALSE(w.rowByRow());
}

TEST_F(MainWindowTest, ClosingTheWindowEndsTheProgram)
{
    Form1 &w = open();
    w.close();
    EXPECT_TRUE(EventPump::quitting());
    EXPECT_THROW(EventPump::yieldNow(), Aborted);
}

// The close box ends the program even while a box of the window is open:
// the box must not block the window.
TEST_F(MainWindowTest, ClosingTheWindowWhileABoxIsOpenEndsTheProgram)
{
    open();
    MessageBoxes::setResponder({});
    bool boxShown = false, windowBlocked = true;
    std::function<void()> closeUnderTheBox = [&] {
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                box = b;
        if (!box) {
            QTimer::singleShot(10, closeUnderTheBox);
            return;
        }
        boxShown = true;
        windowBlocked = QApplication::activeModalWidget() != nullptr || child<QPushButton>("PushButton7")->isEnabled();
        window().close();
    };
    QTimer::singleShot(0, closeUnderTheBox);
    click("PushButton5");
    EXPECT_TRUE(boxShown);
    EXPECT_FALSE(windowBlocked) << "the box is modal to the window, or leaves it usable";
    EXPECT_TRUE(EventPump::quitting());
}

} // namespace
} // namespace tabulon::test

namespace tabulon::test {
namespace {

// "Security..." keeps the encryption mode and the CA file, and every
// connection made after it uses them.
TEST_F(MainWindowTest, TheSecurityDialogSetsTheConnectionsEncryption)
{
    open();
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<SecurityDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *mode = dialog->findChild<QComboBox *>("ComboMode");
        mode->setCurrentIndex(mode->findData("VERIFY_CA"));
        dialog->findChild<QLineEdit *>("TextCa")->setText("/etc/ssl/our-ca.pem");
        dialog->accept();
    });
    click("PushButtonSecurity");
    EXPECT_EQ(stored("SslMode"), "VERIFY_CA");
    EXPECT_EQ(stored("SslCa"), "/etc/ssl/our-ca.pem");
    const MySqlLogin login = window().runOptions().login;
    EXPECT_EQ(login.sslMode, "VERIFY_CA");
    EXPECT_NE(login.connectionString().find("SSLMODE=VERIFY_CA;SSLCA=/etc/ssl/our-ca.pem;"), std::string::npos);
}

} // namespace
} // namespace tabulon::test
