#pragma once

#include "boxtexts.h"
#include "support/widgetapp.h"

#include "common/eventpump.h"
#include "common/programfolder.h"
#include "ui/common/messageboxes.h"
#include "ui/main/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabulon::test {

class TestServer;

// A real main window over a settings store, program folder and drive root
// in a temporary folder; every message box is recorded and answered.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureWidgetApplication();
        EventPump::reset();
        ASSERT_TRUE(m_temp.isValid());
        QDir(m_temp.path()).mkpath("program");
        QDir(m_temp.path()).mkpath("root");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path("config"));
        // Never the desktop's keyring: only the private one with-test-keyring
        // starts. Without it, no bus answers and the file keeps the password.
        if (qEnvironmentVariableIsEmpty("TABULON_TEST_KEYRING"))
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path("no-bus").toLocal8Bit());
        SetProgramFolder(path("program").toStdString());
        SetProgramDriveRoot(path("root").toStdString());
        MessageBoxes::setResponder([this](const BoxRequest &r) {
            boxes.push_back(r);
            if (r.buttons & QMessageBox::Yes) {
                if (answers.empty())
                    return QMessageBox::No;
                const auto a = answers.front();
                answers.pop_front();
                return a;
            }
            return QMessageBox::Ok;
        });
    }

    void TearDown() override
    {
        m_window.reset();
        MessageBoxes::setResponder({});
        EventPump::reset();
    }

    QString path(const QString &relative) const { return m_temp.filePath(relative); }

    Form1 &open()
    {
        m_window = std::make_unique<Form1>();
        m_window->show();
        return *m_window;
    }
    Form1 &window() { return *m_window; }
    void reopen()
    {
        m_window.reset();
        open();
    }

    template <class W> W *child(const char *name)
    {
        W *w = m_window->findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit *text(int n) { return child<QLineEdit>(("Text" + std::to_string(n)).c_str()); }
    void click(const char *button) { QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton); }

    static std::unique_ptr<QSettings> raw()
    {
        auto s = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Korvanto", "Tabulon");
        s->beginGroup("Tabulon");
        return s;
    }
    static void store(const char *key, const QString &value) { raw()->setValue(key, value); }
    static void storeDirectRun(const QString &folder, const TestServer &server, const std::string &db);
    static std::optional<QString> stored(const char *key)
    {
        const QVariant v = raw()->value(key);
        if (!v.isValid())
            return std::nullopt;
        return v.toString();
    }

    std::vector<std::string> texts(QMessageBox::Icon icon) const { return BoxTexts(boxes, icon); }
    std::vector<std::string> errors() const { return texts(QMessageBox::Warning); }
    std::vector<std::string> plain() const { return texts(QMessageBox::NoIcon); }

    std::vector<BoxRequest> boxes;
    std::deque<QMessageBox::StandardButton> answers;

private:
    QTemporaryDir m_temp;
    std::unique_ptr<Form1> m_window;
};

} // namespace tabulon::test
