#pragma once

#include "common/messagehost.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QWidget;

namespace tabulon {

// Every message box of the windows goes through here, so that tests can
// answer them without a screen.
struct BoxRequest {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QString informativeText = {};   // under the text
    QString detailedText = {};      // behind "Show Details...", in a fixed-width font
    QString checkBoxText = {};      // a check box under the text, unticked
    bool *checkBoxTicked = nullptr; // receives the check box's state
    std::vector<std::pair<QMessageBox::StandardButton, QString>> buttonTexts = {};
};

class MessageBoxes : public MessageHost {
public:
    // closesProgram: the parent is the main window, whose close box must end
    // the program even while one of its boxes is open.
    explicit MessageBoxes(QWidget *parent, bool closesProgram = false)
        : m_parent(parent), m_closesProgram(closesProgram)
    {
    }

    void showApplicationError(const std::string &text) override;
    bool askYesNo(const std::string &text, const std::string &title = {}) override;
    void inform(const std::string &text, const std::string &title = {}) override;

    // Shows a box (title empty: the application title) and returns the button pressed.
    QMessageBox::StandardButton show(const BoxRequest &request);
    // A box of these is waiting for its answer.
    bool isOpen() const { return m_open > 0; }

    // Shows an information box and returns at once: a run that is under
    // way goes on while the user reads it (a box shown with show() would
    // hold the run in its event loop until closed).
    void informWithoutWaiting(const std::string &text, const std::string &title = {});

    // Tests: when set, no box is shown; the responder sees every request and
    // returns the button to press.
    using Responder = std::function<QMessageBox::StandardButton(const BoxRequest &)>;
    static void setResponder(Responder responder);

private:
    QMessageBox::StandardButton execKeepingCloseBox(QMessageBox &box);

    QWidget *m_parent;
    bool m_closesProgram;
    int m_open = 0;
};

} // namespace tabulon
