#include "Ondrake/Store/FaviconLoader.h"

#include "Async.h"
#include "AtomicFile.h"
#include "Log.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace ondrake {

struct FaviconLoader::State {
    const Logger logger{QStringLiteral("Favicon")};
    TextMap<QImage> icons;
    TextSet missing;
    TextSet inFlight;
    QString directory;
    std::shared_ptr<HttpClient> http;
    Scheduler &scheduler;
    LoadHandler onLoad;

    State(QString dir, std::shared_ptr<HttpClient> client, Scheduler &s)
        : directory(std::move(dir)), http(std::move(client)), scheduler(s) {}

    std::optional<QString> cacheFilePath(const QString &host) const {
        const auto name = cacheFileName(host);
        if (!name || name->toUtf8().size() > maxFileNameBytes) return std::nullopt;
        return QDir(directory).filePath(*name);
    }

    std::optional<QImage> readCache(const QString &host) const {
        const auto path = cacheFilePath(host);
        if (!path || !QFileInfo(*path).isFile()) return std::nullopt;
        QFile file(*path);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return decode(file.read(maxResponseBytes + 1));
    }

    void store(const QImage &icon, const QString &host, bool persist) {
        icons.insert_or_assign(host, icon);
        if (const LoadHandler handler = onLoad) handler(host, icon);
        if (!persist) return;
        const auto path = cacheFilePath(host);
        const auto png = pngData(icon);
        // A failed write costs only the next start a fetch; the icon stays in memory.
        if (path && png) (void)AtomicFile::write(*path, *png);
    }
};

FaviconLoader::FaviconLoader(const Paths &paths, std::shared_ptr<HttpClient> http, Scheduler &scheduler) {
    QString caches = paths.caches.isEmpty() ? paths.temporary : paths.caches;
    if (caches.isEmpty()) caches = QDir::tempPath();
    state_ = std::make_shared<State>(QDir(caches).filePath(QStringLiteral("com.ondrake.Ondrake/Favicons")),
                                     std::move(http), scheduler);
    // When this fails, every write fails quietly too and icons live in memory only.
    QDir().mkpath(state_->directory);
}

FaviconLoader::~FaviconLoader() { state_->onLoad = nullptr; }

void FaviconLoader::setOnLoad(LoadHandler handler) { state_->onLoad = std::move(handler); }

void FaviconLoader::request(const TextSet &hosts) {
    State &s = *state_;
    for (const QString &host : hosts) {
        if (s.icons.contains(host) || s.missing.contains(host) || s.inFlight.contains(host)) continue;
        s.inFlight.insert(host);
        if (const auto cached = s.readCache(host)) {
            s.inFlight.erase(host);
            s.store(*cached, host, false);
            continue;
        }
        s.scheduler.post([state = state_, host] {
            startDetached(loadWith(state, host), state->logger, QStringLiteral("Favicon load"));
        });
    }
}

QCoro::Task<> FaviconLoader::load(QString host) { return loadWith(state_, std::move(host)); }

QCoro::Task<> FaviconLoader::loadWith(std::shared_ptr<State> state, QString host) {
    for (const QUrl &url : candidateURLs(host)) {
        const auto bytes = co_await fetchWith(state, url);
        if (!bytes) continue;
        const auto image = decode(*bytes);
        if (!image) continue;
        state->store(redraw(*image), host, true);
        state->inFlight.erase(host);
        co_return;
    }
    state->logger.debug("No favicon for %{private}s", host);
    state->missing.insert(host);
    state->inFlight.erase(host);
}

QCoro::Task<std::optional<QByteArray>> FaviconLoader::fetch(QUrl url) { return fetchWith(state_, std::move(url)); }

QCoro::Task<std::optional<QByteArray>> FaviconLoader::fetchWith(std::shared_ptr<State> state, QUrl url) {
    HttpResponse response;
    try {
        response = co_await state->http->get(url, maxResponseBytes);
    } catch (...) {
        co_return std::nullopt;
    }
    if (!response.isSuccess()) co_return std::nullopt;
    if (response.body == HttpResponse::Body::tooLarge) {
        const QString host = url.host();
        state->logger.debug("Oversized favicon response from %{private}s",
                            host.isEmpty() ? QStringLiteral("?") : host);
        co_return std::nullopt;
    }
    if (response.body != HttpResponse::Body::complete || response.bytes.isEmpty()) co_return std::nullopt;
    co_return std::move(response.bytes);
}

void FaviconLoader::store(const QImage &icon, const QString &host, bool persist) { state_->store(icon, host, persist); }

QString FaviconLoader::directory() const { return state_->directory; }

std::optional<QString> FaviconLoader::cacheFilePath(const QString &host) const { return state_->cacheFilePath(host); }

std::optional<QString> FaviconLoader::cacheFileName(const QString &host) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QString name;
    name.reserve(host.size() * 3 + 4);
    for (qsizetype i = 0; i < host.size(); ++i) {
        char32_t code = host[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < host.size() && host[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(host[i], host[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(code)) {
            return std::nullopt;  // not text: there is no UTF-8 to encode
        }
        if (QChar::isLetterOrNumber(code) || QChar::isMark(code)) {
            name += QString::fromUcs4(&code, 1);
            continue;
        }
        for (const char byte : QString::fromUcs4(&code, 1).toUtf8()) {
            const auto b = static_cast<unsigned char>(byte);
            name += QLatin1Char('%');
            name += QLatin1Char(hex[b >> 4]);
            name += QLatin1Char(hex[b & 0xF]);
        }
    }
    return name + QStringLiteral(".png");
}

std::optional<QByteArray> FaviconLoader::pngData(const QImage &icon) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !icon.save(&buffer, "PNG")) return std::nullopt;
    return bytes;
}

std::optional<QImage> FaviconLoader::decode(const QByteArray &bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
    QImageReader reader(&buffer);
    const auto tooLarge = [](QSize size) { return size.width() > maxSourceSide || size.height() > maxSourceSide; };
    // Refused on the header's word, before a pixel is allocated.
    if (const QSize announced = reader.size(); announced.isValid() && tooLarge(announced)) return std::nullopt;
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 || tooLarge(image.size())) return std::nullopt;
    return image;
}

QImage FaviconLoader::redraw(const QImage &source) {
    return source.scaled(QSize(iconSide, iconSide), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::vector<QUrl> FaviconLoader::candidateURLs(const QString &host) {
    std::vector<QUrl> urls;
    // Only over HTTPS, whatever the page itself used.
    for (const QString &path : {QStringLiteral("/favicon.ico"), QStringLiteral("/apple-touch-icon.png")}) {
        QUrl url;
        url.setScheme(QStringLiteral("https"));
        url.setHost(host);
        url.setPath(path);
        if (url.isValid() && !url.host().isEmpty()) urls.push_back(url);
    }
    return urls;
}

std::optional<QImage> FaviconLoader::icon(const QString &host) const {
    const auto found = state_->icons.find(host);
    if (found == state_->icons.end()) return std::nullopt;
    return found->second;
}

bool FaviconLoader::isMissing(const QString &host) const { return state_->missing.contains(host); }

bool FaviconLoader::isInFlight(const QString &host) const { return state_->inFlight.contains(host); }

}  // namespace ondrake
