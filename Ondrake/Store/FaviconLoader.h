#pragma once

#include "Ondrake/Model/FaviconHost.h"

#include "HttpClient.h"
#include "Paths.h"
#include "Scheduler.h"

#include "Platform/TextHash.h"

#include <QImage>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ondrake {

// The site icons beside the tabs, one per host: kept in memory, cached as PNG files, fetched over
// HTTPS from the two usual places, and not asked again for a host that has none. Main thread.
//
// Load work that is under way keeps what it needs alive by itself, so the loader can go away at
// any time; `onLoad` is not called after that.
class FaviconLoader {
public:
    using LoadHandler = std::function<void(const QString &host, const QImage &icon)>;

    static constexpr qint64 maxResponseBytes = 2'097'152;
    // A few hundred bytes can announce an image of gigapixels; nothing larger is decoded.
    static constexpr int maxSourceSide = 4096;
    static constexpr int iconSide = 32;
    static constexpr qsizetype maxFileNameBytes = 255;

    FaviconLoader(const Paths &paths, std::shared_ptr<HttpClient> http, Scheduler &scheduler);
    ~FaviconLoader();
    FaviconLoader(const FaviconLoader &) = delete;
    FaviconLoader &operator=(const FaviconLoader &) = delete;

    // The one host key of a page: records, search, arrangements and the cache all use it.
    static std::optional<QString> faviconHost(const std::optional<QUrl> &url) { return ondrake::faviconHost(url); }

    // Called each time an icon becomes available, from the cache or the network.
    void setOnLoad(LoadHandler handler);

    // Sees to it that each host's icon eventually reaches `onLoad`; returns at once. Cached icons
    // arrive before it returns, fetched ones later.
    void request(const TextSet &hosts);
    // Fetches, stores and announces one host's icon, or marks the host missing.
    QCoro::Task<> load(QString host);
    // The body of a 2xx response within the size limit; nothing for anything else.
    QCoro::Task<std::optional<QByteArray>> fetch(QUrl url);
    // Keeps the icon, announces it and, with `persist`, writes it to the cache.
    void store(const QImage &icon, const QString &host, bool persist);

    QString directory() const;
    // Nothing when the host cannot name a file of its own; its icon is then kept in memory only.
    std::optional<QString> cacheFilePath(const QString &host) const;
    // The host percent-encoded so that only letters, marks and digits stay plain, plus ".png".
    static std::optional<QString> cacheFileName(const QString &host);
    static std::optional<QByteArray> pngData(const QImage &icon);
    // An image of usable size from encoded bytes; nothing for anything else.
    static std::optional<QImage> decode(const QByteArray &bytes);
    // The icon as it is kept: the whole source drawn into 32 x 32.
    static QImage redraw(const QImage &source);
    static std::vector<QUrl> candidateURLs(const QString &host);

    std::optional<QImage> icon(const QString &host) const;
    bool isMissing(const QString &host) const;
    bool isInFlight(const QString &host) const;

private:
    struct State;
    static QCoro::Task<> loadWith(std::shared_ptr<State> state, QString host);
    static QCoro::Task<std::optional<QByteArray>> fetchWith(std::shared_ptr<State> state, QUrl url);
    std::shared_ptr<State> state_;
};

}  // namespace ondrake
