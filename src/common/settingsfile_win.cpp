#include "common/settingsfile.h"

#include <QStandardPaths>

namespace tabulon::native {

// HKEY_CURRENT_USER\Software\<organisation>\<application>: the user's own
// hive, which other users cannot read.
std::unique_ptr<QSettings> OpenSettings(const char *organisation, const char *application)
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
}

void BeforeSettingsWrite(const QSettings &) {}

void AfterSettingsWrite(const QSettings &) {}

// %LOCALAPPDATA%\Korvanto\Tabulon: a registry key holds no files.
QString SettingsFolder(const QSettings &settings)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + settings.organizationName() +
           u'/' + settings.applicationName();
}

} // namespace tabulon::native
