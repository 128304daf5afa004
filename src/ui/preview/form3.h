#pragma once

#include "ui/common/messageboxes.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Form3;
}

namespace tabulon {

class ScriptModel;

// Find and Replace: the first occurrence in every script line, compared
// without regard to case, replaced by the text as typed.
class Form3 : public QDialog {
    Q_OBJECT
public:
    Form3(ScriptModel &script, QWidget *owner);
    ~Form3() override;

private:
    void PushButton2_Click();
    void PushButton1_Click();

    std::unique_ptr<Ui::Form3> m_ui;
    ScriptModel &m_script;
    MessageBoxes m_boxes;
    bool m_replacing = false;
};

} // namespace tabulon
