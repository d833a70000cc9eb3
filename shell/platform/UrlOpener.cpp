#include "shell/platform/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace Vuxo {

bool QtUrlOpener::Open(const QString& url) {
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace Vuxo
