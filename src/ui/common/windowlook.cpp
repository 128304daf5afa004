#include "ui/common/windowlook.h"

#include "common/applicationtitle.h"
#include "common/fileexists.h"
#include "common/programfolder.h"
#include "ui/common/busypointer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

namespace tabulon {
namespace {

void paintButtonFace(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

class HoverPointerRule : public QObject {
public:
    HoverPointerRule(QWidget *window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Enter && !BusyPointer::isBusy(m_window)) {
            if (qobject_cast<QAbstractButton *>(watched) && !qobject_cast<QCheckBox *>(watched)
                && !qobject_cast<QRadioButton *>(watched))
                m_window->setCursor(HandCursor());
            else
                m_window->unsetCursor();
        }
        return false;
    }

private:
    QWidget *m_window;
};

} // namespace

void SetFormColors(QWidget *window)
{
    paintButtonFace(window);
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (qobject_cast<QRadioButton *>(child) || qobject_cast<QCheckBox *>(child)
            || qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child))
            paintButtonFace(child);
    }
}

QCursor HandCursor()
{
    static const QCursor cursor = [] {
        const std::string path = ProgramFolder() + "/HAND-M.CUR";
        if (FileExists(path)) {
            QImageReader reader(QString::fromStdString(path));
            const QImage image = reader.read();
            if (!image.isNull())
                return QCursor(QPixmap::fromImage(image), 0, 0);
        }
        return QCursor(Qt::PointingHandCursor);
    }();
    return cursor;
}

void LoadSecondaryWindow(QWidget *window, const QString &title)
{
    SetFormColors(window);
    window->setWindowIcon(QApplication::windowIcon());
    window->setWindowTitle(title + " - " + QString::fromLatin1(kDisplayName));
    InstallHoverPointerRule(window);
}

void InstallHoverPointerRule(QWidget *window)
{
    auto *rule = new HoverPointerRule(window);
    window->installEventFilter(rule);
    for (QWidget *child : window->findChildren<QWidget *>())
        child->installEventFilter(rule);
}

} // namespace tabulon
