#pragma once

#include "common/settingskeys.h"
#include "engine/run/runhost.h"
#include "engine/run/runstate.h"
#include "keyring/passwordkeeper.h"
#include "ui/common/messageboxes.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class Form1;
}

namespace tabulon {

// The main window: the Paradox folder, the MySQL login, the preview switches
// and the commands. Constructing it runs its load steps (skin, pointer,
// caption, restoring the settings).
class Form1 : public QWidget, public RunHost {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The folder chooser: owner, prompt, starting folder; empty when cancelled.
    using FolderChooser = std::function<QString(QWidget *, const QString &, const QString &)>;
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    // Where "Save Report..." writes: owner, suggested path; empty when cancelled.
    using ReportFileChooser = std::function<QString(QWidget *, const QString &)>;
    void setReportFileChooser(ReportFileChooser chooser) { m_chooseReportFile = std::move(chooser); }

    RunState &runState() { return m_state; }
    MessageBoxes &messageBoxes() { return m_boxes; }

    // MessageHost
    void showApplicationError(const std::string &text) override;
    bool askYesNo(const std::string &text, const std::string &title = {}) override;
    void inform(const std::string &text, const std::string &title = {}) override;
    // MainHost
    std::string fieldText(int n) const override;
    void setFieldText(int n, const std::string &text) override;
    // RunHost
    RunOptions runOptions() const override;
    void setBusyPointer(bool busy) override;
    void setProgress(double percent) override;
    void setProgressCaption(const std::string &caption) override;
    bool stopRequested() const override { return m_stopRequested; }
    void showPreview() override;
    void tableListsChanged() override;
    Overwrite askOverwrite(const std::string &text, const std::string &title) override;
    void showRunReport(const RunReport &report) override;
    bool reportRefusedRow(const std::string &text, bool offerQuiet) override;

    // The choices a run reads once; each also alone, as the window shows it.
    int check1() const;
    bool option1() const;
    bool option2() const;
    bool rowByRow() const;
    ColumnTypes columnTypes() const;
    std::string codePage() const;
    // Text2 server, Text3 port, Text4 user, Text5 password, Text6 database,
    // and the setting "Compression".
    MySqlLogin login() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void formLoad();
    void applySkinFile();
    void applyDesignedLook();

    void browseClick();      // PushButton1
    void loadSampleClick();  // PushButton2
    void paradoxTestClick(); // PushButton3
    void helpBox(const std::string &text);
    void securityClick();
    void mySqlHelpClick();       // PushButton4
    void generalHelpClick();     // PushButton5
    void mySqlTestClick();       // PushButton6
    void startConvertingClick(); // PushButton7
    void requestStop();          // PushButton7 or Esc while a run works
    enum class CloseDuringRun { Refused, AfterTheRun, Now };
    CloseDuringRun closeDuringRun();
    void check1Click();
    void codePageChanged();
    void optionClick();
    void nativeClick();
    void verifyClick();
    void fieldChanged(int n);

    QLineEdit *field(int n) const;

    std::unique_ptr<Ui::Form1> m_ui;
    MessageBoxes m_boxes;
    SettingsStore m_settings;
    PasswordKeeper m_passwords{m_settings};
    RunState m_state;
    FolderChooser m_chooseFolder;
    ReportFileChooser m_chooseReportFile;
    // A Test Connection command is under way. It waits with the event loop
    // turning, so a second test or a run could otherwise start inside it.
    bool m_testing = false;
    // The user asked the run to stop; the window closes once it has.
    bool m_stopRequested = false;
    bool m_closing = false;
};

} // namespace tabulon
