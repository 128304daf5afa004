#pragma once

#include "common/busyguard.h"

#include <QCursor>
#include <QWidget>

namespace tabulon {

// The hourglass on one window for the length of a command. A command run
// from inside another, whose window already shows it, leaves it on.
class BusyPointer : public BusyGuard {
public:
    explicit BusyPointer(QWidget *window);

    static bool isBusy(const QWidget *window);
    static void set(QWidget *window, bool busy);
};

} // namespace tabulon
