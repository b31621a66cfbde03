#include "FaviconHost.h"

namespace ondrake {

std::optional<QString> faviconHost(const std::optional<QUrl> &url) {
    if (!url) return std::nullopt;
    const QString scheme = url->scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    // The encoded form keeps international hosts in ASCII, fit for cache file names.
    QString host = url->host(QUrl::FullyEncoded).toLower();
    if (host.startsWith(QLatin1String("www."))) host.remove(0, 4);
    // "www." alone leaves nothing to fetch from.
    if (host.isEmpty()) return std::nullopt;
    return host;
}

}  // namespace ondrake
