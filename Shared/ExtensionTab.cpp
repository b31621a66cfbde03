#include "ExtensionTab.h"

#include "ExchangeJson.h"

namespace ondrake {

std::optional<QUrl> ExtensionTab::parseURL(const QString &text) {
    if (text.isEmpty()) return std::nullopt;
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.isRelative()) return std::nullopt;
    return url;
}

void ExtensionTab::appendJson(QByteArray &out) const {
    using namespace exchange;
    out += '{';
    appendKey(out, "safariTabID");
    appendInteger(out, safariTabID);
    appendKey(out, "safariWindowID");
    appendInteger(out, safariWindowID);
    appendKey(out, "title");
    appendString(out, title);
    if (url) {
        appendKey(out, "url");
        appendString(out, url->toString(QUrl::FullyEncoded));
    }
    appendKey(out, "active");
    appendBool(out, active);
    appendKey(out, "pinned");
    appendBool(out, pinned);
    out += '}';
}

ExtensionTab ExtensionTab::fromJson(const QJsonValue &value, const QString &path) {
    using exchange::required;
    const auto reader = json::Reader::of(value, path);
    ExtensionTab tab;
    tab.safariTabID = required(reader.optionalInteger(QStringLiteral("safariTabID")), reader, QStringLiteral("safariTabID"));
    tab.safariWindowID =
        required(reader.optionalInteger(QStringLiteral("safariWindowID")), reader, QStringLiteral("safariWindowID"));
    tab.title = reader.requiredString(QStringLiteral("title"));
    if (const auto text = reader.optionalString(QStringLiteral("url"))) {
        tab.url = parseURL(*text);
        if (!tab.url) reader.fail(QStringLiteral("url"), QStringLiteral("Invalid URL string."));
    }
    tab.active = required(reader.optionalBool(QStringLiteral("active")), reader, QStringLiteral("active"));
    tab.pinned = required(reader.optionalBool(QStringLiteral("pinned")), reader, QStringLiteral("pinned"));
    return tab;
}

}  // namespace ondrake
