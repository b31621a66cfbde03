#include "SafeAddress.h"

#include "Browser/BrowserURL.h"

namespace ondrake {

bool isSafeToOpen(const QUrl &url) {
    const QString scheme = lowerScheme(url);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("favorites"))
        return true;
    return scheme == QLatin1String("about") && url.path() == QLatin1String("blank");
}

bool isSafeToOpen(const QString &address) {
    const auto url = parseURL(address);
    return url && isSafeToOpen(*url);
}

QString unsafeAddressNote(qsizetype count) {
    if (count <= 0) return {};
    if (count == 1) return QStringLiteral(" — 1 unsafe address not opened");
    return QStringLiteral(" — %1 unsafe addresses not opened").arg(count);
}

}  // namespace ondrake
