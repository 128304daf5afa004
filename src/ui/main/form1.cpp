#include "ui/main/form1.h"

#include "ui/main/securitydialog.h"
#include "ui_form1.h"

#include "common/applicationtitle.h"
#include "common/busyguard.h"
#include "common/error.h"
#include "common/eventpump.h"
#include "common/fileexists.h"
#include "common/guardedsteps.h"
#include "common/programfolder.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/conversionrun.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradoxsource.h"
#include "target/mysqltarget.h"
#include "ui/common/busypointer.h"
#include "ui/common/windowlook.h"
#include "ui/preview/form2.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tabulon {
namespace {

constexpr const char *kConnectionSuccessful = "Connection successful.";
constexpr const char *kCouldNotConnect = "Could not connect.";
constexpr const char *kCouldNotConnectMySql =
    "Could not connect. Please check with your administrator. Make sure you are allowed to "
    "connect to your database remotely and not just through web-based control panels.";
constexpr const char *kMySqlWorkbenchPage = "https://dev.mysql.com/downloads/workbench/";
constexpr const char *kContactPage = "https://korvanto.example/contact";

// The line that follows a "Could not connect." with the reason behind it.
std::string ReasonLine(const std::string &reason) { return "Reason: " + reason; }

// Qt must never see an exception leave an event handler. Aborted means the
// program is ending: there is nothing more to do or to say.
template <class F> void command(F &&body)
{
    try {
        body();
    } catch (const Aborted &) {
    }
}

QString defaultReportFileChooser(QWidget *owner, const QString &suggested)
{
    return QFileDialog::getSaveFileName(owner, QStringLiteral("Save Report"), suggested,
                                        QStringLiteral("Text files (*.txt);;All files (*)"));
}


QString defaultFolderChooser(QWidget *owner, const QString &prompt, const QString &start)
{
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(owner, prompt, start, QFileDialog::ShowDirsOnly));
}

void paintWhite(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::Form1>()), m_boxes(this, true), m_chooseFolder(defaultFolderChooser),
      m_chooseReportFile(defaultReportFileChooser)
{
    m_ui->setupUi(this);
    applyDesignedLook();

    connect(m_ui->PushButton1, &QPushButton::clicked, this, [this] { command([this] { browseClick(); }); });
    connect(m_ui->PushButton2, &QPushButton::clicked, this, [this] { command([this] { loadSampleClick(); }); });
    connect(m_ui->PushButton3, &QPushButton::clicked, this, [this] { command([this] { paradoxTestClick(); }); });
    connect(m_ui->PushButton4, &QPushButton::clicked, this, [this] { command([this] { mySqlHelpClick(); }); });
    connect(m_ui->PushButton5, &QPushButton::clicked, this, [this] { command([this] { generalHelpClick(); }); });
    connect(m_ui->PushButton6, &QPushButton::clicked, this, [this] { command([this] { mySqlTestClick(); }); });
    connect(m_ui->PushButtonSecurity, &QPushButton::clicked, this, [this] { command([this] { securityClick(); }); });
    connect(m_ui->PushButton7, &QPushButton::clicked, this, [this] { command([this] { startConvertingClick(); }); });
    connect(m_ui->Check1, &QCheckBox::stateChanged, this, [this] { check1Click(); });
    connect(m_ui->CheckNative, &QCheckBox::toggled, this, [this] { nativeClick(); });
    connect(m_ui->CheckVerify, &QCheckBox::toggled, this, [this] { verifyClick(); });
    // Clicked, not toggled: a click on the option already selected stores too.
    for (QRadioButton *option : {m_ui->Option1, m_ui->Option2})
        connect(option, &QRadioButton::clicked, this, [this] { optionClick(); });
    m_ui->Combo1->addItem(QStringLiteral("Auto"));
    for (int number : ChoosableCodePages())
        m_ui->Combo1->addItem(QString::number(number));
    m_ui->Combo1->view()->setMinimumWidth(m_ui->Combo1->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 24);
    for (int n = 1; n <= 6; ++n) {
        connect(field(n), &QLineEdit::textChanged, this, [this, n] { fieldChanged(n); });
        field(n)->installEventFilter(this);
    }

    InstallHoverPointerRule(this);
    formLoad();
    // Only a change the user makes is stored, not the one the start makes.
    connect(m_ui->Combo1, &QComboBox::currentIndexChanged, this, [this] { codePageChanged(); });
}

// The run state ends a connection still open.
Form1::~Form1() = default;

QLineEdit *Form1::field(int n) const
{
    QLineEdit *const fields[] = {m_ui->Text1, m_ui->Text2, m_ui->Text3, m_ui->Text4, m_ui->Text5, m_ui->Text6};
    if (n < 1 || n > 6)
        throw Error("There is no entry field Text" + std::to_string(n) + ".");
    return fields[n - 1];
}

void Form1::applyDesignedLook()
{
    for (QWidget *w : findChildren<QWidget *>())
        if (qobject_cast<QGroupBox *>(w) || qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w) ||
            qobject_cast<QRadioButton *>(w))
            paintWhite(w);
    // The .ui format keeps whole point sizes only.
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(11.25);
    buttonFont.setBold(true);
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setFont(buttonFont);
    m_ui->Text5->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
}

// ---- start-up ----------------------------------------------------------

void Form1::formLoad()
{
    GuardedProcedure proc(m_boxes, "Form1.Form_Load");
    proc.step(100, [&] { applySkinFile(); });
    const std::string cursorFile = ProgramFolder() + "/HAND-M.CUR";
    if (proc.decide(104, [&] { return FileExists(cursorFile); }))
        proc.step(106, [&] {
            QImageReader reader(QString::fromStdString(cursorFile));
            if (reader.read().isNull())
                throw Error("Could not load the pointer file " +
                            QDir::toNativeSeparators(reader.fileName()).toStdString() + ": " +
                            reader.errorString().toStdString());
        });
    proc.step(128, [&] {
        setWindowTitle(QString::fromLatin1(kDisplayName));
        setWindowIcon(QApplication::windowIcon());
        SetApplicationTitle();
    });
    proc.step(130, [&] {
        const int value = m_settings.checkedNumber(settings::Check1);
        if (value != 0 && value != 1)
            throw Error("The stored setting \"Check1\" = \"" + std::to_string(value) + "\" is neither 0 nor 1.");
        m_ui->Check1->setChecked(value == 1);
    });
    proc.step(132, [&] { m_ui->Option1->setChecked(m_settings.checkedBoolean(settings::Option1)); });
    proc.step(134, [&] {
        m_ui->Option2->setChecked(m_settings.checkedBoolean(settings::Option2));
        const QSignalBlocker quiet(m_ui->CheckNative);
        m_ui->CheckNative->setChecked(m_settings.text(settings::ColumnTypes) == "Native");
        const QSignalBlocker quietVerify(m_ui->CheckVerify);
        m_ui->CheckVerify->setChecked(m_settings.number(settings::VerifyValues) != 0);
    });
    for (int n = 1; n <= 6; ++n)
        proc.step(134 + 2 * n, [&] {
            if (n != 5) {
                setFieldText(n, m_settings.text(settings::FieldSetting(n)));
                return;
            }
            // A password still in the file moves to a keyring on its next
            // change, not on every start.
            const QSignalBlocker quiet(m_ui->Text5);
            setFieldText(5, m_passwords.load());
            m_ui->Text5->setToolTip(QString::fromStdString(m_passwords.whereKept()));
        });
    proc.step(148, [&] { check1Click(); });
    // A stored value no list entry has reads as Auto, and stays stored
    // until the user picks another.
    proc.step(150, [&] {
        const QString stored = QString::fromStdString(m_settings.text(settings::CodePage)).trimmed();
        m_ui->Combo1->setCurrentIndex(std::max(m_ui->Combo1->findText(stored, Qt::MatchFixedString), 0));
    });
}

void Form1::codePageChanged()
{
    try {
        m_settings.setText(settings::CodePage, m_ui->Combo1->currentText().toStdString());
    } catch (const std::exception &) {
        // As the preview switch: the next start shows the stored value.
    }
}

std::string Form1::codePage() const { return m_ui->Combo1->currentText().toStdString(); }

void Form1::applySkinFile()
{
    const QString path = QString::fromStdString(ProgramFolder() + "/x/o.cjs");
    if (!QFileInfo(path).isFile())
        return;
    SetFormColors(this);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error("Could not read the skin file " + QDir::toNativeSeparators(path).toStdString() + ": " +
                    file.errorString().toStdString());
    setStyleSheet(QString::fromUtf8(file.readAll()));
}

Form1::CloseDuringRun Form1::closeDuringRun()
{
    if (!m_state.ConversionBusy || m_closing || EventPump::quitting())
        return CloseDuringRun::Now;
    auto *preview = findChild<Form2 *>();
    // A window over the preview would have to be answered first: end as
    // the program always ends, by unwinding.
    if (preview && preview->isVisible() && QApplication::activeModalWidget() != preview)
        return CloseDuringRun::Now;
    // A box or the preview waits for the user, who has just given an answer.
    if (!m_boxes.isOpen() && !(preview && preview->isVisible()) &&
        !m_boxes.askYesNo("A conversion is running. Stop it and close Tabulon?"))
        return CloseDuringRun::Refused;
    m_closing = true;
    requestStop();
    // The preview stops after its current line and closes; a box of the run
    // closes with this close event.
    if (preview)
        preview->reject();
    return CloseDuringRun::AfterTheRun;
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Mid-run the run stops first, after the statement in flight, so that
    // no batch is cut; the window closes when it has ended.
    if (const CloseDuringRun how = closeDuringRun(); how != CloseDuringRun::Now) {
        event->ignore();
        return;
    }
    // Ends the program even mid-run: every later yield of the run throws
    // Aborted, and the run closes its own connections as it unwinds.
    EventPump::requestQuit();
    event->accept();
    QApplication::quit();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Fields and buttons leave Esc to the window, as in a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_state.ConversionBusy) {
        requestStop();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            // Queued: a focusing mouse press would clear the selection again.
            QTimer::singleShot(0, edit, [edit] { edit->selectAll(); });
    }
    return QWidget::eventFilter(watched, event);
}

// ---- field and switch handling -----------------------------------------

void Form1::fieldChanged(int n)
{
    try {
        if (n == 5) {
            m_passwords.keep(fieldText(4), fieldText(2), fieldText(3), fieldText(5));
            m_ui->Text5->setToolTip(QString::fromStdString(m_passwords.whereKept()));
        } else {
            m_settings.setText(settings::FieldSetting(n), field(n)->text().toStdString());
        }
    } catch (const std::exception &e) {
        // Once per session: a box per keystroke would help nobody.
        static bool warned = false;
        if (!warned) {
            warned = true;
            inform(std::string(e.what()) + "\r\nYour entries will not be remembered the next time Tabulon starts.");
        }
    }
}

void Form1::check1Click()
{
    const bool on = m_ui->Check1->isChecked();
    m_ui->Option1->setEnabled(on);
    m_ui->Option2->setEnabled(on);
    try {
        m_settings.setNumber(settings::Check1, on ? 1 : 0);
    } catch (const std::exception &) {
        // The preview switch has no report of its own; the next start
        // simply shows the stored value.
    }
}

void Form1::optionClick()
{
    try {
        m_settings.setBoolean(settings::Option1, m_ui->Option1->isChecked());
        m_settings.setBoolean(settings::Option2, m_ui->Option2->isChecked());
    } catch (const std::exception &) {
    }
}

void Form1::verifyClick()
{
    try {
        m_settings.setNumber(settings::VerifyValues, m_ui->CheckVerify->isChecked() ? 1 : 0);
    } catch (const std::exception &e) {
        inform(std::string(e.what()) + "\r\nThe choice to verify values will not be remembered the next time "
                                       "Tabulon starts.");
    }
}

void Form1::nativeClick()
{
    try {
        m_settings.setText(settings::ColumnTypes, m_ui->CheckNative->isChecked() ? "Native" : "Text");
    } catch (const std::exception &e) {
        inform(std::string(e.what()) + "\r\nThe choice of column types will not be remembered the next time "
                                       "Tabulon starts.");
    }
}

// ---- commands ------------------------------------------------------------

void Form1::browseClick()
{
    GuardedProcedure proc(m_boxes, "Form1.PushButton1_Click");
    QString path;
    proc.step(100, [&] {
        const QString start = QString::fromStdString(m_settings.text(settings::LastFolderDot));
        path = m_chooseFolder(this, QStringLiteral("Please select folder:"), start);
    });
    if (proc.decide(102, [&] { return path.isEmpty(); }))
        return;
    proc.step(104, [&] { setFieldText(1, path.toStdString()); });
    proc.step(106, [&] { CopyDB(*this, false); });
}

void Form1::loadSampleClick()
{
    GuardedProcedure proc(m_boxes, "Form1.PushButton2_Click");
    proc.step(100, [&] {
        setFieldText(1, QDir::toNativeSeparators(QString::fromStdString(ProgramFolder() + "/Samples")).toStdString());
    });
    proc.step(102, [&] { CopyDB(*this, true); });
}

void Form1::paradoxTestClick()
{
    // Its copy of the folder turns the event loop as well.
    if (m_testing || m_state.ConversionBusy)
        return;
    FlagScope testing(m_testing);
    GuardedProcedure proc(m_boxes, "Form1.PushButton3_Click");
    std::optional<BusyPointer> busy;
    bool found = false;
    proc.step(102, [&] { CopyDB(*this, false); });
    proc.step(104, [&] { busy.emplace(this); });
    std::string problem;
    proc.step(106, [&] {
        problem = FolderTablesProblem(*this);
        found = problem.empty();
    });
    if (found)
        proc.step(108, [&] { inform(kConnectionSuccessful); });
    else
        proc.step(110, [&] { inform(std::string(kCouldNotConnect) + "\r\n\r\n" + ReasonLine(problem)); });
    proc.step(112, [&] { busy.reset(); });
}

void Form1::mySqlTestClick()
{
    if (m_testing || m_state.ConversionBusy)
        return;
    FlagScope testing(m_testing);
    // Only the opening of the connection is guarded by the standard report;
    // any failure after it means "could not connect".
    // Outside the try: the hourglass stays until the failure box is dismissed.
    BusyPointer busy(this);
    try {
        EventPump::yieldNow();
        // Wrong password and server down need different remedies: the
        // problem ends with the one that fits.
        std::string problem;
        std::string encryption;
        if (TestMySqlLogin(*this, login(), problem, ConnectionOptions{}.connectionTimeout, &encryption))
            inform("Connection successful (" + encryption + ").");
        else
            inform(std::string(kCouldNotConnectMySql) + "\r\n\r\n" + ReasonLine(problem));
    } catch (const Aborted &) {
        throw;
    } catch (const std::exception &e) {
        inform(std::string(kCouldNotConnectMySql) + "\r\n\r\n" + ReasonLine(e.what()));
    }
}

void Form1::helpBox(const std::string &text)
{
    // Reading help is no question the run waits for.
    if (m_state.ConversionBusy)
        m_boxes.informWithoutWaiting(text);
    else
        inform(text);
}

void Form1::securityClick()
{
    MySqlLogin chosen = login();
    SecurityDialog dialog(chosen, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.apply(chosen);
    try {
        m_settings.setText(settings::SslMode, chosen.sslMode);
        m_settings.setText(settings::SslCa, chosen.sslCa);
        m_settings.setText(settings::SslCert, chosen.sslCert);
        m_settings.setText(settings::SslKey, chosen.sslKey);
    } catch (const Error &e) {
        inform(std::string(e.what()) + "\r\nThe connection's security will not be remembered.");
    }
}

void Form1::mySqlHelpClick()
{
    GuardedProcedure proc(m_boxes, "Form1.PushButton4_Click");
    proc.step(100, [&] {
        helpBox(std::string("If you cannot establish connection to your database with this "
                            "program, please go to: \r\r") +
                kMySqlWorkbenchPage +
                "\r\rDownload and install the MySQL Workbench. Try to connect to the same "
                "database (with the same login information you are using here). This will "
                "determine if the login you are using is correct.\r\rFinally, make sure your "
                "host allows a direct connection to your MySQL database -- not a web based "
                "connection, for example.");
    });
}

void Form1::generalHelpClick()
{
    GuardedProcedure proc(m_boxes, "Form1.PushButton5_Click");
    proc.step(100, [&] {
        helpBox(std::string("This software transfers text-based, numeric, binary and pictures "
                            "fields.\r\n\r\nUse SQL Preview if you want to read or edit the SQL "
                            "before it runs; it shows tables of millions of rows.\r\n\r\n"
                            "Questions? Please contact Team Korvanto at ") +
                kContactPage);
    });
}

void Form1::startConvertingClick()
{
    // A run ended by the window closing has closed its connections as it
    // unwound.
    if (m_testing)
        return;
    if (m_state.ConversionBusy) {
        requestStop();
        return;
    }
    m_stopRequested = false;
    QPushButton *button = m_ui->PushButton7;
    const QString startText = button->text();
    button->setText(QStringLiteral("Stop"));
    BusyGuard stopButton([button, startText](bool on) {
        if (!on) {
            button->setText(startText);
            button->setEnabled(true);
        }
    });
    stopButton.acquire();
    ConvertTables(*this, m_state);
    stopButton.release();
    if (m_closing)
        close();
}

void Form1::requestStop()
{
    m_stopRequested = true;
    // Pressed: the run ends after the statement in flight.
    m_ui->PushButton7->setEnabled(false);
}

// ---- RunHost -------------------------------------------------------------

// Closing mid-run: the user has left, nobody is there to answer.
void Form1::showApplicationError(const std::string &text)
{
    if (!m_closing)
        m_boxes.showApplicationError(text);
}

bool Form1::askYesNo(const std::string &text, const std::string &title)
{
    return !m_closing && m_boxes.askYesNo(text, title);
}

void Form1::inform(const std::string &text, const std::string &title)
{
    if (!m_closing)
        m_boxes.inform(text, title);
}

RunHost::Overwrite Form1::askOverwrite(const std::string &text, const std::string &title)
{
    switch (m_boxes.show({QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                          QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll})) {
    case QMessageBox::Yes: return Overwrite::Yes;
    case QMessageBox::YesToAll: return Overwrite::YesToAll;
    case QMessageBox::NoToAll: return Overwrite::NoToAll;
    default: return Overwrite::No;
    }
}

std::string Form1::fieldText(int n) const { return field(n)->text().toStdString(); }

void Form1::setFieldText(int n, const std::string &text) { field(n)->setText(QString::fromStdString(text)); }

int Form1::check1() const { return m_ui->Check1->isChecked() ? 1 : 0; }
bool Form1::option1() const { return m_ui->Option1->isChecked(); }
bool Form1::option2() const { return m_ui->Option2->isChecked(); }

void Form1::setBusyPointer(bool busy) { BusyPointer::set(this, busy); }

void Form1::setProgress(double percent)
{
    if (!std::isfinite(percent))
        percent = 0;
    m_ui->ProgressBar1->setValue(static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0))));
}

void Form1::setProgressCaption(const std::string &caption)
{
    // The bar has one line: the clauses of the row count (after the last
    // ": ") go from the end until the rest fits.
    QProgressBar *bar = m_ui->ProgressBar1;
    QString text = QString::fromStdString(caption);
    const int room = bar->contentsRect().width() - 2 * bar->fontMetrics().averageCharWidth();
    const int head = text.lastIndexOf(QStringLiteral(": "));
    while (bar->fontMetrics().horizontalAdvance(text) > room) {
        const int clause = text.lastIndexOf(QStringLiteral(", "));
        if (head < 0 || clause < head)
            break;
        text.truncate(clause);
    }
    bar->setFormat(text);
}

void Form1::showPreview()
{
    if (!m_closing)
        ShowPreviewWindow(this, m_state);
}

void Form1::tableListsChanged()
{
    m_ui->List1->clear();
    for (const auto &name : m_state.List1)
        m_ui->List1->addItem(QString::fromStdString(name));
    if (m_ui->List1->count() > 0)
        m_ui->List1->setCurrentRow(0);
    m_ui->List2->clear();
    for (const auto &name : m_state.List2)
        m_ui->List2->addItem(QString::fromStdString(name));
}

void Form1::showRunReport(const RunReport &report)
{
    if (m_closing)
        return;
    BoxRequest request{QMessageBox::NoIcon, {}, QStringLiteral("Done."), QMessageBox::Ok};
    if (!report.empty()) {
        request.buttons |= QMessageBox::Save;
        request.buttonTexts = {{QMessageBox::Save, QStringLiteral("Save Report...")}};
        request.informativeText = QString::fromStdString(report.summary());
        request.detailedText = QString::fromStdString(report.details());
    }
    // Saving keeps the box: the user may still want to read it.
    while (m_boxes.show(request) == QMessageBox::Save) {
        const QString path = m_chooseReportFile(this, QDir::home().filePath(QStringLiteral("tabulon-report.txt")));
        if (path.isEmpty())
            continue;
        QSaveFile file(path);
        const QByteArray text = QByteArray::fromStdString(report.text());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(text) != text.size() || !file.commit())
            inform("The report could not be saved to " + QDir::toNativeSeparators(path).toStdString() + ": " +
                   file.errorString().toStdString() + "\r\nChoose a folder you may write to and try again.");
    }
}

bool Form1::reportRefusedRow(const std::string &text, bool offerQuiet)
{
    if (m_closing)
        return true;
    BoxRequest request{QMessageBox::Warning, QString::fromLatin1(kApplicationErrorCaption),
                       QString::fromStdString(text), QMessageBox::Ok};
    bool ticked = false;
    if (offerQuiet) {
        request.checkBoxText = QStringLiteral("Report further refused rows only in the run report");
        request.checkBoxTicked = &ticked;
    }
    m_boxes.show(request);
    return ticked;
}

ColumnTypes Form1::columnTypes() const
{
    return m_ui->CheckNative->isChecked() ? ColumnTypes::Native : ColumnTypes::Text;
}

bool Form1::rowByRow() const { return m_settings.number(settings::RowByRow) == 1; }

MySqlLogin Form1::login() const
{
    MySqlLogin login;
    login.server = fieldText(2);
    login.port = fieldText(3);
    login.user = fieldText(4);
    login.password = fieldText(5);
    login.database = fieldText(6);
    const std::string compression = m_settings.text(settings::Compression);
    login.compression = compression == "0" ? 0 : compression == "1" ? 1 : -1;
    login.sslMode = m_settings.text(settings::SslMode);
    login.sslCa = m_settings.text(settings::SslCa);
    login.sslCert = m_settings.text(settings::SslCert);
    login.sslKey = m_settings.text(settings::SslKey);
    return login;
}

RunOptions Form1::runOptions() const
{
    RunOptions options;
    options.login = login();
    options.preview = check1() == 1;
    options.previewEachFile = option1();
    options.previewEachTable = option2();
    options.rowByRow = rowByRow();
    options.verifyValues = m_ui->CheckVerify->isChecked();
    options.columnTypes = columnTypes();
    options.codePage = codePage();
    // Beside the settings: a run rehearsed under another account keeps its own.
    options.journalPath = SettingsStore::folder() + "/Tabulon-journal.json";
    return options;
}

} // namespace tabulon
