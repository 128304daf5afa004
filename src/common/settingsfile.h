#pragma once

#include <QSettings>

#include <memory>

// Where the settings live, one implementation per platform: an ini file
// kept from other users (settingsfile_posix.cpp), or the registry under
// HKEY_CURRENT_USER (settingsfile_win.cpp).
namespace tabulon::native {

// The store, with the Tabulon group begun.
std::unique_ptr<QSettings> OpenSettings(const char *organisation, const char *application);
// Before and after a write: a new store is closed to others first, and
// stays so after the write replaced it.
void BeforeSettingsWrite(const QSettings &settings);
void AfterSettingsWrite(const QSettings &settings);
// The folder of files kept with the settings (the run journal).
QString SettingsFolder(const QSettings &settings);

} // namespace tabulon::native
