#include "common/settingsfile.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulon::native {

// The application part keeps the file in a folder of its own, which can then
// be closed to others without touching the user's other settings.
std::unique_ptr<QSettings> OpenSettings(const char *organisation, const char *application)
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organisation, application);
}

// Creates the folder (0700) and the file (0600) before the first write, so
// that the password is never readable by others, not even for a moment.
void BeforeSettingsWrite(const QSettings &settings)
{
    const QString file = settings.fileName();
    const QByteArray path = QFile::encodeName(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    QDir().mkpath(QFileInfo(file).absolutePath());
    ::chmod(folder.constData(), 0700);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    ::chmod(path.constData(), 0600);
}

// The store replaces the file on every sync; keep the new one closed too.
void AfterSettingsWrite(const QSettings &settings)
{
    ::chmod(QFile::encodeName(settings.fileName()).constData(), 0600);
}

QString SettingsFolder(const QSettings &settings) { return QFileInfo(settings.fileName()).absolutePath(); }

} // namespace tabulon::native
