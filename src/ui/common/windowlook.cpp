#include "ui/common/windowlook.h"

#include "common/applicationtitle.h"
#include "common/fileexists.h"
#include "common/programfolder.h"
#include "ui/common/busypointer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QWidget>

#include <algorithm>

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
        const QEvent::Type type = event->type();
        if ((type == QEvent::Enter || type == QEvent::Leave) && !BusyPointer::isBusy(m_window)) {
            // Going back from a button to the frame or window around it sends
            // that widget no Enter: the button's Leave stands for it.
            if (type == QEvent::Enter && isPushButton(watched))
                m_window->setCursor(HandCursor());
            else if (type == QEvent::Enter || isPushButton(watched))
                m_window->unsetCursor();
        }
        return false;
    }

private:
    static bool isPushButton(QObject *o)
    {
        return qobject_cast<QAbstractButton *>(o) && !qobject_cast<QCheckBox *>(o) && !qobject_cast<QRadioButton *>(o);
    }

    QWidget *m_window;
};

// A .cur file keeps each image's hot spot in its directory entry, where an
// .ico file keeps planes and bit count. The image reader reads the first.
QPoint CursorFileHotSpot(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(6 + 16);
    if (head.size() < 6 + 16)
        return {};
    const auto word = [&](int at) { return int(uchar(head[at])) | int(uchar(head[at + 1])) << 8; };
    constexpr int kCursorType = 2;
    if (word(0) != 0 || word(2) != kCursorType || word(4) < 1)
        return {};
    return {word(6 + 4), word(6 + 6)};
}

} // namespace

void SetFormColors(QWidget *window)
{
    paintButtonFace(window);
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (qobject_cast<QRadioButton *>(child) || qobject_cast<QCheckBox *>(child) ||
            qobject_cast<QGroupBox *>(child) || qobject_cast<QLabel *>(child))
            paintButtonFace(child);
    }
}

QCursor CursorFromFile(const std::string &path)
{
    if (FileExists(path)) {
        const QString name = QString::fromStdString(path);
        QImageReader reader(name);
        const QImage image = reader.read();
        if (!image.isNull()) {
            const QPoint hot = CursorFileHotSpot(name);
            return QCursor(QPixmap::fromImage(image), std::clamp(hot.x(), 0, image.width() - 1),
                           std::clamp(hot.y(), 0, image.height() - 1));
        }
    }
    return QCursor(Qt::PointingHandCursor);
}

QCursor HandCursor()
{
    static const QCursor cursor = CursorFromFile(ProgramFolder() + "/HAND-M.CUR");
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
