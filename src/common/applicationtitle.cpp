#include "common/applicationtitle.h"

#include <QCoreApplication>
#include <QString>

namespace tabulon {
namespace {
std::string g_title = kDisplayName;
}

std::string DeriveApplicationTitle(const std::string &displayName)
{
    std::string title = displayName;
    do {
        const auto blank = title.rfind(' ');
        if (blank == std::string::npos)
            break;
        title.erase(blank);
    } while (title.size() > 40);
    return title;
}

void SetApplicationTitle()
{
    g_title = DeriveApplicationTitle(kDisplayName);
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(QString::fromStdString(g_title));
}

const std::string &ApplicationTitle() { return g_title; }

const char *ApplicationVersion() { return TABULON_VERSION; }

} // namespace tabulon
