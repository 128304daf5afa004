// Draws the main window's boxes at the end of a run, as the pictures in
// docs/: the encrypted Test Connection, the report after the bundled
// samples, the box for a wrong password, and the window during a long run,
// before its Stop is pressed. Starts its own private MariaDB server, with
// TLS from certificates made here with openssl.
// Usage: run_shots DIR SAMPLES
#include "common/programfolder.h"
#include "support/mariadbserver.h"
#include "tools/paradoxwriter.h"
#include "ui/main/form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace tabulon;

namespace {

// Grabs the next message box once it is up (Yes to a question), with its
// details shown, then closes it.
void grabNextBox(const QString &file, bool details)
{
    QTimer::singleShot(50, [file, details] {
        QMessageBox *box = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
                box = b;
        if (!box) {
            grabNextBox(file, details);
            return;
        }
        if (box->button(QMessageBox::Yes)) {
            box->button(QMessageBox::Yes)->click();
            grabNextBox(file, details);
            return;
        }
        if (details)
            for (QAbstractButton *b : box->buttons())
                if (box->buttonRole(b) == QMessageBox::ActionRole)
                    b->click();
        // The box lays itself out anew once its details are shown.
        QTimer::singleShot(300, box, [box, file] {
            box->adjustSize();
            QApplication::processEvents();
            if (!box->grab().save(file))
                std::fprintf(stderr, "run_shots: could not save %s\n", qPrintable(file));
            box->button(QMessageBox::Ok)->click();
        });
    });
}

// Once the caption tells the time left, the window is grabbed and Stop pressed.
void grabRunThenStop(QWidget *window, const QString &file)
{
    QTimer::singleShot(100, window, [window, file] {
        auto *bar = window->findChild<QProgressBar *>("ProgressBar1");
        if (!bar->format().contains(QStringLiteral(" left"))) {
            grabRunThenStop(window, file);
            return;
        }
        if (!window->grab().save(file))
            std::fprintf(stderr, "run_shots: could not save %s\n", qPrintable(file));
        window->findChild<QPushButton *>("PushButton7")->click();
    });
}

// Grabs the question to go on with a stopped run, then answers Yes.
void grabResumeQuestion(const QString &file)
{
    QTimer::singleShot(50, [file] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible() && b->text().contains("Continue it?")) {
                if (!b->grab().save(file))
                    std::fprintf(stderr, "run_shots: could not save %s\n", qPrintable(file));
                b->button(QMessageBox::Yes)->click();
                return;
            }
        grabResumeQuestion(file);
    });
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont("Arial", 9));
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_shots DIR SAMPLES\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir config;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    // The test server's password stays out of the desktop's keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + config.filePath("no-bus")));
    QTemporaryDir certs;
    const std::string c = certs.path().toStdString();
    if (std::system(("cd '" + c +
                     "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout server.key -out server.pem -days 2"
                     " -subj '/CN=127.0.0.1' >/dev/null 2>&1 && chmod 644 server.key")
                        .c_str()) != 0) {
        std::fprintf(stderr, "run_shots: openssl could not make the server's certificate\n");
        return 1;
    }
    auto server = test::TestServer::startPrivate({"--ssl-cert=" + c + "/server.pem", "--ssl-key=" + c + "/server.key"});
    const std::string db = server->createDatabase("samples");

    Form1 window;
    window.show();
    auto set = [&](const char *name, const std::string &text) {
        window.findChild<QLineEdit *>(name)->setText(QString::fromStdString(text));
    };
    set("Text1", argv[2]);
    set("Text2", "127.0.0.1");
    set("Text3", std::to_string(server->port()));
    set("Text4", server->user());
    set("Text5", server->password() + "-wrong");
    set("Text6", db);
    window.findChild<QAbstractButton *>("Check1")->setChecked(false);
    auto start = window.findChild<QPushButton *>("PushButton7");

    // The encryption dialog, as it opens.
    QTimer::singleShot(300, [dir] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            if (!dialog->grab().save(dir + "/security-dialog.png"))
                std::fprintf(stderr, "run_shots: could not save the security dialog\n");
            dialog->close();
        }
    });
    window.findChild<QPushButton *>("PushButtonSecurity")->click();

    set("Text5", server->password());
    grabNextBox(dir + "/test-connection-encrypted.png", false);
    window.findChild<QPushButton *>("PushButton6")->click();
    set("Text5", server->password() + "-wrong");

    grabNextBox(dir + "/wrong-password.png", false);
    start->click();
    set("Text5", server->password());
    grabNextBox(dir + "/run-report.png", true);
    start->click();

    QTemporaryDir long_;
    for (const auto &[name, rows] : {std::pair{"CUSTOMERS", 2000}, {"ORDERS", 900000}, {"PARTS", 500}}) {
        ParadoxWriter w(long_.filePath(name).toStdString() + ".db",
                        {{"Id", 'I'}, {"Customer", 'A', 30}, {"Amount", 'I'}});
        for (int i = 1; i <= rows; ++i)
            w.addRow(
                {Value::integer(i), Value::text("Customer " + std::to_string(i % 977)), Value::integer(i % 10000)});
        w.finish();
    }
    set("Text1", long_.path().toStdString());
    grabRunThenStop(&window, dir + "/run-stop.png");
    QTemporaryDir scratch;
    grabNextBox(scratch.filePath("stopped.png"), false);
    start->click();
    grabResumeQuestion(dir + "/resume-question.png");
    grabNextBox(scratch.filePath("resumed.png"), false);
    start->click();
    return 0;
}
