#pragma once

class QWidget;

namespace tabulon {

struct RunState;

// Shows the SQL preview window over the run's script list, modally and owned
// by `owner`; returns when it has closed. Its outcome is in
// state.SQLFormOK and state.StopConversion.
void ShowPreviewWindow(QWidget *owner, RunState &state);

} // namespace tabulon
