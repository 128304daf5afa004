#pragma once

#include "boxtexts.h"
#include "support/widgetapp.h"

#include "common/eventpump.h"
#include "data/connection.h"
#include "engine/run/runstate.h"
#include "engine/script/scriptexecution.h"
#include "ui/common/messageboxes.h"
#include "ui/preview/errormail.h"
#include "ui/preview/form2.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tabulon::test {

// A connection in memory, or a wrapper around a real one, that lets a test
// act before each statement (press a button, kill the session, fail it).
class ScriptedConnection : public Connection {
public:
    explicit ScriptedConnection(std::unique_ptr<Connection> real = {}) : m_real(std::move(real)) {}

    std::vector<std::string> executed;
    std::function<void(const std::string &)> before = [](const std::string &) {};
    // Runs `act` before each statement that holds `marker`.
    void beforeStatementWith(const std::string &marker, std::function<void()> act)
    {
        before = [marker, act = std::move(act)](const std::string &s) {
            if (s.find(marker) != std::string::npos)
                act();
        };
    }

    void execute(const std::string &statement) override
    {
        executed.push_back(statement);
        before(statement);
        if (m_real)
            m_real->execute(statement);
    }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &source) override
    {
        if (!m_real)
            throw DbError("no record sets here");
        return m_real->openRecordSet(source);
    }
    void close() override
    {
        if (m_real)
            m_real->close();
    }
    bool isOpen() const override { return !m_real || m_real->isOpen(); }
    int64_t maxAllowedPacket() const override { return m_real ? m_real->maxAllowedPacket() : 0; }
    Connection *real() { return m_real.get(); }

private:
    std::unique_ptr<Connection> m_real;
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureWidgetApplication();
        EventPump::reset();
        state.ErrorLine = 0;
        ASSERT_TRUE(m_temp.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_temp.filePath("config"));
        MessageBoxes::setResponder([this](const BoxRequest &r) {
            boxes.push_back(r);
            if (onBox)
                onBox(r);
            return QMessageBox::Ok;
        });
        SetUrlOpener([this](const QUrl &url) {
            opened.push_back(url);
            return true;
        });
    }

    void TearDown() override
    {
        window.reset();
        MessageBoxes::setResponder({});
        SetUrlOpener({});
        EventPump::reset();
    }

    // As the run that opened the preview read the setting.
    void setRowByRow(bool on) { state.options.rowByRow = on; }

    ScriptedConnection &useFake()
    {
        auto c = std::make_unique<ScriptedConnection>();
        ScriptedConnection &ref = *c;
        state.mysql_conn = std::move(c);
        return ref;
    }

    void lines(int n, const std::string &table = "t")
    {
        for (int i = 1; i <= n; ++i)
            state.scriptList.append("INSERT INTO `" + table + "` VALUES(" + std::to_string(i) + ")");
    }

    Form2 &open()
    {
        window = std::make_unique<Form2>(state, nullptr);
        window->show();
        return *window;
    }

    template <class W = QAbstractButton> W *child(const char *name, QWidget *in = nullptr)
    {
        QWidget *root = in ? in : window.get();
        W *w = root->findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void click(const char *button, QWidget *in = nullptr)
    {
        QTest::mouseClick(child<QAbstractButton>(button, in), Qt::LeftButton);
    }
    QTreeView *list() { return child<QTreeView>("ListView1"); }
    int selectedLine()
    {
        const QModelIndex i = list()->currentIndex();
        return list()->selectionModel()->isSelected(i) ? i.row() + 1 : 0;
    }

    // Runs `act` on the next modal dialog once it is up, then lets `open` run.
    template <class Act> static void whenModal(Act act)
    {
        QTimer::singleShot(0, [act] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w) {
                // Not up yet: try again on the next turn.
                whenModal(act);
                return;
            }
            act(w);
        });
    }

    std::vector<std::string> texts(QMessageBox::Icon icon) const { return BoxTexts(boxes, icon); }
    std::vector<std::string> reports() const { return texts(QMessageBox::Warning); }
    std::vector<std::string> plain() const { return texts(QMessageBox::NoIcon); }

    RunState state;
    std::unique_ptr<Form2> window;
    std::vector<BoxRequest> boxes;
    std::function<void(const BoxRequest &)> onBox;
    std::vector<QUrl> opened;

private:
    QTemporaryDir m_temp;
};

} // namespace tabulon::test
