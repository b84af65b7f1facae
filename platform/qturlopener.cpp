#include "qturlopener.h"

#include <QDesktopServices>
#include <QUrl>

bool QtUrlOpener::openUrl(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && QDesktopServices::openUrl(url);
}
