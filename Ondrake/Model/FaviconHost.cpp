#include "Ondrake/Model/FaviconHost.h"

namespace ondrake {

std::optional<QString> faviconHost(const std::optional<QUrl> &url) {
    if (!url) return std::nullopt;
    const QString scheme = url->scheme().toLower();
    if (scheme != u"http" && scheme != u"https") return std::nullopt;
    QString host = url->host().toLower();
    if (host.isEmpty()) return std::nullopt;
    if (host.startsWith(QLatin1String("www."))) host.remove(0, 4);
    return host;
}

}  // namespace ondrake
