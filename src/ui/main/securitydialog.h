#pragma once

#include "target/mysqllogin.h"

#include <QDialog>
#include <QLineEdit>

#include <memory>

namespace Ui {
class SecurityDialog;
}

namespace tabulon {

// "Security...": the connection's encryption mode and its certificate
// files, as desktop database tools offer them beside the login.
class SecurityDialog : public QDialog {
    Q_OBJECT
public:
    SecurityDialog(const MySqlLogin &login, QWidget *parent);
    ~SecurityDialog() override;
    // The choices made, into `login`.
    void apply(MySqlLogin &login) const;

private:
    void browse(QLineEdit *field, const QString &title);

    std::unique_ptr<Ui::SecurityDialog> m_ui;
};

} // namespace tabulon
