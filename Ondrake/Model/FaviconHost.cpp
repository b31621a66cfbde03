#include "Ondrake/Model/FaviconHost.h"

namespace ondrake {

std::optional<QString> faviconHost(const std::optional<QUrl> &url) {
    if (!url) return std::nullopt;
    const QString scheme = url->scheme().toLower();
    if (scheme != u"http" && scheme != u"https") return std::nullopt;
    // The encoded (ASCII) form: it is fetched over the network and names a cache file.
    QString host = url->host(QUrl::FullyEncoded).toLower();
    if (host.startsWith(QLatin1String("www."))) host.remove(0, 4);
    if (host.isEmpty()) return std::nullopt;  // also "www." alone: no host is left to ask
    return host;
}

}  // namespace ondrake
