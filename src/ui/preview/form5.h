#pragma once

#include "ui/common/messageboxes.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Form5;
}

namespace tabulon {

class DatatypeModel;

// Datatypes Conversion: which MySQL type each source field was given. Only
// shows the run's rows; closing the view keeps them.
class Form5 : public QDialog {
    Q_OBJECT
public:
    Form5(DatatypeModel &datatypes, QWidget *owner);
    ~Form5() override;

private:
    void PushButton5_Click();

    std::unique_ptr<Ui::Form5> m_ui;
    MessageBoxes m_boxes;
};

} // namespace tabulon
