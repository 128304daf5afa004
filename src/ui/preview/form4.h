#pragma once

#include "ui/common/messageboxes.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Form4;
}

namespace tabulon {

class ScriptModel;

// Edit Line: one script line in a multi-line box; OK writes the box's text
// back unchanged, line breaks included.
class Form4 : public QDialog {
    Q_OBJECT
public:
    Form4(ScriptModel &script, QWidget *owner);
    ~Form4() override;

    // The 1-based script line being edited.
    int ListLine = 0;
    void setLineText(const QString &text);
    QString lineText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void PushButton2_Click();
    void PushButton1_Click();

    std::unique_ptr<Ui::Form4> m_ui;
    ScriptModel &m_script;
    MessageBoxes m_boxes;
};

} // namespace tabulon
