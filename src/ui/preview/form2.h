#pragma once

#include "engine/script/scriptexecution.h"
#include "ui/common/messageboxes.h"

#include <QDialog>

#include <memory>

class QModelIndex;
class QWidget;

namespace Ui {
class Form2;
}

namespace tabulon {

struct RunState;

// Shows the SQL preview window over the run's script list, modally and owned
// by `owner`; returns when it has closed. Its outcome is in
// state.SQLFormOK and state.StopConversion.
void ShowPreviewWindow(QWidget *owner, RunState &state);

// The SQL preview window: the script list, its execution with the failing
// line located, and the commands around it.
class Form2 : public QDialog, private ScriptExecutionHost {
    Q_OBJECT
public:
    Form2(RunState &state, QWidget *owner);
    ~Form2() override;

    bool executing() const { return m_executing; }

public slots:
    void reject() override; // the close box and Escape

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Stop: the execution ends after its current statement, the window stays.
    enum class Leave { None, Stop, Back, Skip, Close };

    void ListView1_Click(const QModelIndex &index);
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    void PushButton9_Click();
    void leave(Leave how);
    // Sizes the statement column to the list's width or its widest row,
    // whichever is more; growOnly keeps a wider column as it is.
    void fitColumn(bool growOnly = false);
    void fitColumnLater();

    // ScriptExecutionHost
    MessageHost &messages() override { return m_boxes; }
    void setBusy(bool busy) override;
    void setProgress(double percent, const std::string &caption) override;
    void selectLine(int line) override;
    void setErrorText(const std::string &text) override;
    bool stopRequested() override { return m_pendingLeave != Leave::None; }
    void closeWindow() override;

    std::unique_ptr<Ui::Form2> m_ui;
    RunState &m_state;
    MessageBoxes m_boxes;
    bool m_executing = false;
    Leave m_pendingLeave = Leave::None;
    bool m_checkToggled = false;
    bool m_fitPending = false;
};

} // namespace tabulon
