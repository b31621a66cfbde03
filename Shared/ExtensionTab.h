#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QUrl>

#include <optional>

namespace ondrake {

// One tab as the web extension reports it, with the browser's own ids (not the sidebar's
// per-session ones).
struct ExtensionTab {
    qint64 safariTabID = 0;
    qint64 safariWindowID = 0;
    QString title;
    std::optional<QUrl> url;
    bool active = false;  // the active tab of its window
    bool pinned = false;

    qint64 id() const { return safariTabID; }
    bool operator==(const ExtensionTab &) const = default;

    // Only text that parses as an absolute URL with a scheme gives a URL.
    static std::optional<QUrl> parseURL(const QString &text);

    // Keys are the field names in field order; `url` is left out when absent.
    void appendJson(QByteArray &out) const;
    // Throws json::DecodingError when a required member is missing, null or of the wrong kind, or
    // when `url` is not a URL. A missing or null `url` is none.
    static ExtensionTab fromJson(const QJsonValue &value, const QString &path = {});
};

}  // namespace ondrake
