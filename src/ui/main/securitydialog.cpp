#include "ui/main/securitydialog.h"

#include "ui_securitydialog.h"

#include <QFileDialog>

namespace tabulon {
namespace {

// The mysql client's names, and what each does, in the order of strength.
const std::pair<const char *, const char *> kModes[] = {
    {"DISABLED", "DISABLED: never encrypted"},
    {"PREFERRED", "PREFERRED: encrypted when the server offers it"},
    {"REQUIRED", "REQUIRED: encrypted, or no connection"},
    {"VERIFY_CA", "VERIFY_CA: and the certificate signed by the CA file"},
    {"VERIFY_IDENTITY", "VERIFY_IDENTITY: and made out for the server's name"},
};

} // namespace

SecurityDialog::SecurityDialog(const MySqlLogin &login, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SecurityDialog>())
{
    m_ui->setupUi(this);
    for (const auto &[mode, text] : kModes) {
        m_ui->ComboMode->addItem(QString::fromLatin1(text), QString::fromLatin1(mode));
        if (QString::fromStdString(login.sslMode).compare(QLatin1String(mode), Qt::CaseInsensitive) == 0)
            m_ui->ComboMode->setCurrentIndex(m_ui->ComboMode->count() - 1);
    }
    if (login.sslMode.empty())
        m_ui->ComboMode->setCurrentIndex(1);
    m_ui->TextCa->setText(QString::fromStdString(login.sslCa));
    m_ui->TextCert->setText(QString::fromStdString(login.sslCert));
    m_ui->TextKey->setText(QString::fromStdString(login.sslKey));
    connect(m_ui->BrowseCa, &QPushButton::clicked, this, [this] { browse(m_ui->TextCa, tr("CA file")); });
    connect(m_ui->BrowseCert, &QPushButton::clicked, this,
            [this] { browse(m_ui->TextCert, tr("Client certificate")); });
    connect(m_ui->BrowseKey, &QPushButton::clicked, this, [this] { browse(m_ui->TextKey, tr("Client key")); });
    connect(m_ui->Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

SecurityDialog::~SecurityDialog() = default;

void SecurityDialog::apply(MySqlLogin &login) const
{
    login.sslMode = m_ui->ComboMode->currentData().toString().toStdString();
    login.sslCa = m_ui->TextCa->text().trimmed().toStdString();
    login.sslCert = m_ui->TextCert->text().trimmed().toStdString();
    login.sslKey = m_ui->TextKey->text().trimmed().toStdString();
}

void SecurityDialog::browse(QLineEdit *field, const QString &title)
{
    const QString file = QFileDialog::getOpenFileName(
        this, title, field->text(), tr("Certificates and keys (*.pem *.crt *.cer *.key);;All files (*)"));
    if (!file.isEmpty())
        field->setText(file);
}

} // namespace tabulon
