#include "ui/preview/errormail.h"

#include "common/guardedsteps.h"

#include <QDesktopServices>

namespace tabulon {
namespace {
UrlOpener g_opener;
}

QUrl ErrorMailUrl(const QString &errorText)
{
    const QString body = QStringLiteral("Here is the error message that I get: ") + QLatin1Char('\n') + errorText;
    QByteArray encoded = "mailto:";
    encoded += kSupportEmail;
    encoded += "?subject=";
    encoded += QUrl::toPercentEncoding(QStringLiteral("Tabulon"));
    encoded += "&body=";
    encoded += QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

bool OpenUrl(const QUrl &url)
{
    if (g_opener)
        return g_opener(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener opener) { g_opener = std::move(opener); }

} // namespace tabulon
