#include "ui/common/busypointer.h"

#include <QPointer>

namespace tabulon {

bool BusyPointer::isBusy(const QWidget *window)
{
    return window->testAttribute(Qt::WA_SetCursor) && window->cursor().shape() == Qt::WaitCursor;
}

void BusyPointer::set(QWidget *window, bool busy)
{
    if (busy)
        window->setCursor(Qt::WaitCursor);
    else
        window->unsetCursor();
}

BusyPointer::BusyPointer(QWidget *window)
    : BusyGuard([window = QPointer<QWidget>(window), wasBusy = isBusy(window)](bool busy) {
          if (window && (busy || !wasBusy))
              set(window, busy);
      })
{
    acquire();
}

} // namespace tabulon
