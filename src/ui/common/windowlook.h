#pragma once

#include <QCursor>
#include <QString>

#include <string>

class QWidget;

namespace tabulon {

// Gives the window, and every option button, check box, frame and label on
// it, the button-face colour of the system palette.
void SetFormColors(QWidget *window);

// The pointer a cursor file holds, with the file's hot spot; the system's
// pointing hand when the file is missing or does not load.
QCursor CursorFromFile(const std::string &path);

// The custom hand pointer: CursorFromFile of the program folder's
// "HAND-M.CUR".
QCursor HandCursor();

// The load step every secondary window shares: colours, the application
// icon, caption `title` + " - Tabulon", the hover pointer rule.
void LoadSecondaryWindow(QWidget *window, const QString &title);

// Over a push button the window shows the hand pointer, over anything else
// the default one; neither change is made while the window is busy.
void InstallHoverPointerRule(QWidget *window);

} // namespace tabulon
