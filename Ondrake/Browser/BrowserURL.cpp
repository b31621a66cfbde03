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

bool sameURL(const QUrl &a, const QUrl &b) {
    // Only the non-const accessor exposes the shared data; nothing is written through it.
    if (const_cast<QUrl &>(a).data_ptr() == const_cast<QUrl &>(b).data_ptr()) return true;
    return a == b;
}

bool sameURL(const std::optional<QUrl> &a, const std::optional<QUrl> &b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || sameURL(*a, *b);
}

}  // namespace ondrake
