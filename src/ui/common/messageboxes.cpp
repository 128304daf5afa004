#include "ui/common/messageboxes.h"

#include "common/applicationtitle.h"
#include "common/guardedsteps.h"

namespace tabulon {
namespace {
MessageBoxes::Responder g_responder;
}

void MessageBoxes::setResponder(Responder responder) { g_responder = std::move(responder); }

QMessageBox::StandardButton MessageBoxes::show(const BoxRequest &request)
{
    BoxRequest r = request;
    if (r.title.isEmpty())
        r.title = QString::fromStdString(ApplicationTitle());
    if (g_responder)
        return g_responder(r);
    QMessageBox box(r.icon, r.title, r.text, r.buttons, m_parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBoxes::showApplicationError(const std::string &text)
{
    show({QMessageBox::Warning, QString::fromLatin1(kApplicationErrorCaption),
          QString::fromStdString(text), QMessageBox::Ok});
}

bool MessageBoxes::askYesNo(const std::string &text, const std::string &title)
{
    return show({QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                 QMessageBox::Yes | QMessageBox::No})
        == QMessageBox::Yes;
}

void MessageBoxes::inform(const std::string &text, const std::string &title)
{
    show({QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
          QMessageBox::Ok});
}

} // namespace tabulon
