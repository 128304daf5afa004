#pragma once

#include <QProgressBar>

namespace tabulon {

// A progress bar whose caption is shown as it stands: QProgressBar reads
// %p, %v and %m in its format, so a table named "100%match" would show as
// "100100atch", and it has no escape for "%".
class LiteralProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;
    QString text() const override { return format(); }
};

} // namespace tabulon
