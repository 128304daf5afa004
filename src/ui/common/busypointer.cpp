#include "ui/common/busypointer.h"

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

BusyPointer::BusyPointer(QWidget *window) : m_window(window), m_wasBusy(isBusy(window))
{
    set(window, true);
}

BusyPointer::~BusyPointer()
{
    if (m_window && !m_wasBusy)
        set(m_window, false);
}

} // namespace tabulon
