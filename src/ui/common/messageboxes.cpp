#include "ui/common/messageboxes.h"

#include "common/applicationtitle.h"
#include "common/eventpump.h"
#include "common/guardedsteps.h"

#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QPointer>
#include <QScreen>
#include <QTextEdit>

#include <algorithm>

namespace tabulon {
namespace {
MessageBoxes::Responder g_responder;

// Ends a box's event loop when its window is closed underneath it.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QEventLoop &loop) : m_loop(loop) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            m_loop.quit();
        return false;
    }

private:
    QEventLoop &m_loop;
};

} // namespace

void MessageBoxes::setResponder(Responder responder) { g_responder = std::move(responder); }

QMessageBox::StandardButton MessageBoxes::show(const BoxRequest &request)
{
    BoxRequest r = request;
    if (r.title.isEmpty())
        r.title = QString::fromStdString(ApplicationTitle());
    struct OpenScope {
        int &open;
        explicit OpenScope(int &o) : open(o) { ++open; }
        ~OpenScope() { --open; }
    } scope(m_open);
    if (g_responder)
        return g_responder(r);
    // The program is ending: nobody is left to answer.
    if (EventPump::quitting())
        return QMessageBox::NoButton;
    QMessageBox box(r.icon, r.title, r.text, r.buttons, m_parent);
    box.setInformativeText(r.informativeText);
    for (const auto &[button, text] : r.buttonTexts)
        if (QAbstractButton *b = box.button(button))
            b->setText(text);
    if (!r.detailedText.isEmpty()) {
        box.setDetailedText(r.detailedText);
        // A table of figures must line up, and long lines scroll, not wrap.
        if (auto *details = box.findChild<QTextEdit *>()) {
            details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            details->setLineWrapMode(QTextEdit::NoWrap);
            // As wide as a report line, but never wider than the screen: a
            // pane cut at the box's edge would hide its scroll bar.
            int width = 860;
            if (const QScreen *screen = m_parent ? m_parent->screen() : nullptr)
                width = std::min(width, screen->availableGeometry().width() - 80);
            details->setMinimumWidth(width);
            // QMessageBox fixes the pane's height; a minimum above it
            // left a blank band over the pane.
            details->setFixedHeight(260);
        }
    }
    if (!r.checkBoxText.isEmpty())
        box.setCheckBox(new QCheckBox(r.checkBoxText, &box));
    const QMessageBox::StandardButton pressed = m_closesProgram ? execKeepingCloseBox(box)
                                                                : static_cast<QMessageBox::StandardButton>(box.exec());
    if (r.checkBoxTicked && box.checkBox())
        *r.checkBoxTicked = box.checkBox()->isChecked();
    return pressed;
}

QMessageBox::StandardButton MessageBoxes::execKeepingCloseBox(QMessageBox &box)
{
    // A modal box would block the main window's close box. The box is shown
    // without modality and the window's contents are disabled instead: the
    // user still answers the box first, but closing the window ends the
    // program at once.
    std::vector<QPointer<QWidget>> disabled;
    for (QWidget *child : m_parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && child->isEnabled()) {
            child->setEnabled(false);
            disabled.emplace_back(child);
        }
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    CloseWatcher watcher(loop);
    m_parent->installEventFilter(&watcher);
    box.show();
    loop.exec();
    m_parent->removeEventFilter(&watcher);
    for (const QPointer<QWidget> &child : disabled)
        if (child)
            child->setEnabled(true);
    // Closed with the program: no button. The run's next yield unwinds it.
    if (EventPump::quitting())
        return QMessageBox::NoButton;
    return box.standardButton(box.clickedButton());
}

void MessageBoxes::informWithoutWaiting(const std::string &text, const std::string &title)
{
    const BoxRequest request{QMessageBox::NoIcon,
                             title.empty() ? QString::fromStdString(ApplicationTitle()) : QString::fromStdString(title),
                             QString::fromStdString(text), QMessageBox::Ok};
    if (g_responder) {
        g_responder(request);
        return;
    }
    auto *box = new QMessageBox(request.icon, request.title, request.text, request.buttons, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void MessageBoxes::showApplicationError(const std::string &text)
{
    show({QMessageBox::Warning, QString::fromLatin1(kApplicationErrorCaption), QString::fromStdString(text),
          QMessageBox::Ok});
}

bool MessageBoxes::askYesNo(const std::string &text, const std::string &title)
{
    return show({QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                 QMessageBox::Yes | QMessageBox::No}) == QMessageBox::Yes;
}

void MessageBoxes::inform(const std::string &text, const std::string &title)
{
    show({QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text), QMessageBox::Ok});
}

} // namespace tabulon
