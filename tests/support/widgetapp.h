#pragma once

#include <QApplication>

namespace tabulon::test {

// Widget tests share one QApplication per test process.
inline void EnsureWidgetApplication()
{
    static int argc = 1;
    static char arg0[] = "tabulon-test";
    static char *argv[] = {arg0, nullptr};
    if (!qApp)
        new QApplication(argc, argv);
}

} // namespace tabulon::test
