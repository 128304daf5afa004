#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>

namespace tabulon {

// The hourglass on one window for the length of a command, restored on
// every path out.
class BusyPointer {
public:
    explicit BusyPointer(QWidget *window);
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;

    static bool isBusy(const QWidget *window);
    static void set(QWidget *window, bool busy);

private:
    QPointer<QWidget> m_window;
    bool m_wasBusy;
};

} // namespace tabulon
