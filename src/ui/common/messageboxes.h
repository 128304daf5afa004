#pragma once

#include "common/messagehost.h"

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace tabulon {

// Every message box of the windows goes through here, so that tests can
// answer them without a screen.
struct BoxRequest {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class MessageBoxes : public MessageHost {
public:
    explicit MessageBoxes(QWidget *parent) : m_parent(parent) {}

    void showApplicationError(const std::string &text) override;
    bool askYesNo(const std::string &text, const std::string &title = {}) override;
    void inform(const std::string &text, const std::string &title = {}) override;

    // Shows a box (title empty: the application title) and returns the button pressed.
    QMessageBox::StandardButton show(const BoxRequest &request);

    // Tests: when set, no box is shown; the responder sees every request and
    // returns the button to press.
    using Responder = std::function<QMessageBox::StandardButton(const BoxRequest &)>;
    static void setResponder(Responder responder);

private:
    QWidget *m_parent;
};

} // namespace tabulon
