#include "BrowserURL.h"

namespace ondrake {

std::optional<QUrl> parseURL(const QString &text) {
    if (text.isEmpty()) return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty()) return std::nullopt;
    return url;
}

QString absoluteText(const QUrl &url) { return url.toString(QUrl::FullyEncoded); }

QString absoluteText(const std::optional<QUrl> &url) { return url ? absoluteText(*url) : QString(); }

QString lowerScheme(const QUrl &url) { return url.scheme().toLower(); }

}  // namespace ondrake
