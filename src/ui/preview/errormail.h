#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace tabulon {

// "mailto:" the support address with subject "Tabulon" and the error text
// in the body; subject and body percent-encoded as UTF-8, so a '&', '#' or a
// line break in the error reaches the message whole.
QUrl ErrorMailUrl(const QString &errorText);

// Hands the URL to the desktop's default handler (the mail program).
bool OpenUrl(const QUrl &url);

// Tests: the opener used in place of the desktop's; empty restores it.
using UrlOpener = std::function<bool(const QUrl &)>;
void SetUrlOpener(UrlOpener opener);

} // namespace tabulon
