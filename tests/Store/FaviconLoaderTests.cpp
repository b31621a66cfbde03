#include "Ondrake/Store/FaviconLoader.h"

#include "ManualScheduler.h"
#include "ScriptedHttpClient.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

using namespace ondrake;
using namespace ondrake::test;

namespace {

QByteArray encoded(QSize size, QColor color, const char *format = "PNG") {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

// A decodable PNG padded with bytes after its end to exactly `size` bytes.
QByteArray paddedPNG(qsizetype size, QColor color) {
    QByteArray bytes = encoded({16, 16}, color);
    bytes.append(size - bytes.size(), '\0');
    return bytes;
}

QUrl icoURL(const QString &host) { return QUrl(QStringLiteral("https://%1/favicon.ico").arg(host)); }
QUrl touchURL(const QString &host) { return QUrl(QStringLiteral("https://%1/apple-touch-icon.png").arg(host)); }

const QString example = QStringLiteral("example.com");

class FaviconLoaderTest : public ::testing::Test {
protected:
    FaviconLoaderTest() { makeLoader(); }

    void makeLoader() {
        loader.reset();
        http = std::make_shared<ScriptedHttpClient>();
        loader = std::make_unique<FaviconLoader>(paths.paths(), http, scheduler);
        loader->setOnLoad([this](const QString &host, const QImage &icon) { loaded.emplace_back(host, icon); });
        loaded.clear();
    }

    // Requests one host and lets everything it started finish.
    void requestAndSettle(const QString &host) {
        loader->request({host});
        scheduler.runUntilIdle();
    }

    QString cacheFile(const QString &host) const { return *loader->cacheFilePath(host); }

    TemporaryPaths paths;
    ManualScheduler scheduler;
    std::shared_ptr<ScriptedHttpClient> http;
    std::unique_ptr<FaviconLoader> loader;
    std::vector<std::pair<QString, QImage>> loaded;
};

TEST_F(FaviconLoaderTest, TakesTheFirstPathOnlyForAUsableImage) {
    using Answer = ScriptedHttpClient::Answer;
    struct Case {
        const char *name;
        std::optional<Answer> favicon;  // none: the host cannot be reached
        bool firstAccepted;
    };
    const QColor first = Qt::red;
    const std::vector<Case> cases = {
        {"png", Answer{200, encoded({48, 48}, first)}, true},
        {"ico", Answer{200, encoded({16, 16}, first, "ICO")}, true},
        {"status 299", Answer{299, encoded({16, 16}, first)}, true},
        {"exactly 2 MiB", Answer{200, paddedPNG(2'097'152, first)}, true},
        {"largest side", Answer{200, encoded({4096, 1}, first)}, true},
        {"unreachable", std::nullopt, false},
        {"status 404", Answer{404, encoded({16, 16}, first)}, false},
        {"status 199", Answer{199, encoded({16, 16}, first)}, false},
        {"status 300", Answer{300, encoded({16, 16}, first)}, false},
        {"one byte over 2 MiB", Answer{200, paddedPNG(2'097'153, first)}, false},
        {"empty body", Answer{200, {}}, false},
        {"body cut off", Answer{200, encoded({16, 16}, first), true}, false},
        {"not an image", Answer{200, QByteArray("<html>moved</html>")}, false},
        {"too wide", Answer{200, encoded({4097, 1}, first)}, false},
        {"too tall", Answer{200, encoded({1, 4097}, first)}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        makeLoader();
        QFile::remove(cacheFile(example));
        if (c.favicon) http->answer(icoURL(example), *c.favicon);
        http->answer(touchURL(example), 200, encoded({180, 180}, Qt::blue));

        requestAndSettle(example);

        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(loaded[0].first, example);
        EXPECT_EQ(loaded[0].second.size(), QSize(32, 32));
        EXPECT_EQ(loaded[0].second.pixelColor(16, 16), c.firstAccepted ? first : QColor(Qt::blue));
        EXPECT_EQ(http->requests().size(), c.firstAccepted ? 1u : 2u);
        EXPECT_EQ(http->lastLimit(), FaviconLoader::maxResponseBytes);
        EXPECT_FALSE(loader->isInFlight(example));
        EXPECT_TRUE(QFile::exists(cacheFile(example)));
    }
}

TEST_F(FaviconLoaderTest, OversizedResponsesAreLoggedWithoutTheHost) {
    LogCapture logs;
    http->answer(icoURL(example), 200, paddedPNG(2'097'153, Qt::red));
    requestAndSettle(example);
    EXPECT_TRUE(logs.contains(QStringLiteral("Oversized favicon response from <private>")));
    EXPECT_TRUE(logs.contains(QStringLiteral("No favicon for <private>")));
}

TEST_F(FaviconLoaderTest, AHostWithoutAnIconIsNotAskedAgainUntilRestart) {
    requestAndSettle(example);
    EXPECT_TRUE(loaded.empty());
    EXPECT_TRUE(loader->isMissing(example));
    EXPECT_EQ(http->requests(), (std::vector<QUrl>{icoURL(example), touchURL(example)}));

    requestAndSettle(example);
    EXPECT_EQ(http->requests().size(), 2u);

    makeLoader();
    requestAndSettle(example);
    EXPECT_EQ(http->requests().size(), 2u);
}

TEST_F(FaviconLoaderTest, AHostInFlightIsFetchedOnce) {
    http->answer(icoURL(example), 200, encoded({16, 16}, Qt::red));
    Deferred<> gate = http->hold(icoURL(example));
    loader->request({example});
    scheduler.runUntilIdle();
    EXPECT_TRUE(loader->isInFlight(example));
    loader->request({example});
    scheduler.runUntilIdle();
    EXPECT_EQ(http->requests().size(), 1u);

    gate.resolve();
    EXPECT_EQ(loaded.size(), 1u);
    loader->request({example});
    scheduler.runUntilIdle();
    EXPECT_EQ(http->requests().size(), 1u);
    EXPECT_EQ(loaded.size(), 1u);
}

TEST_F(FaviconLoaderTest, CachedIconsComeBackAfterARestartWithoutTheNetwork) {
    http->answer(icoURL(example), 200, encoded({64, 64}, Qt::green));
    requestAndSettle(example);
    const QString file = cacheFile(example);
    EXPECT_EQ(QFileInfo(file).fileName(), QStringLiteral("example%2Ecom.png"));
    EXPECT_EQ(QFileInfo(file).dir().path(), paths.paths().caches + QStringLiteral("/com.ondrake.Ondrake/Favicons"));
    EXPECT_EQ(QImageReader(file).format(), QByteArray("png"));

    makeLoader();
    loader->request({example});  // delivered before it returns
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].second.size(), QSize(32, 32));
    EXPECT_EQ(loaded[0].second.pixelColor(5, 5), QColor(Qt::green));
    scheduler.runUntilIdle();
    EXPECT_TRUE(http->requests().empty());
}

TEST_F(FaviconLoaderTest, AnUnreadableCacheFileIsFetchedAgainAndReplaced) {
    const QString file = cacheFile(example);
    QFile broken(file);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a png");
    broken.close();
    http->answer(icoURL(example), 200, encoded({16, 16}, Qt::red));

    requestAndSettle(example);

    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(http->requests().size(), 1u);
    EXPECT_EQ(QImage(file).size(), QSize(32, 32));
}

TEST_F(FaviconLoaderTest, AHostTooLongToNameAFileIsKeptInMemoryOnly) {
    // Labels of at most 63 letters; each dot takes three characters in the name.
    const auto host = [](std::initializer_list<int> labels) {
        QStringList parts;
        for (int n : labels) parts << QString(n, QLatin1Char('a'));
        return parts.join(QLatin1Char('.'));
    };
    const QString fits = host({61, 61, 60, 60});  // a 251-byte name + ".png": the longest a folder takes
    const QString tooLong = host({61, 61, 61, 60});
    for (const QString &host : {fits, tooLong}) {
        http->answer(icoURL(host), 200, encoded({16, 16}, Qt::red));
        requestAndSettle(host);
    }
    EXPECT_EQ(loaded.size(), 2u);
    EXPECT_TRUE(QFile::exists(cacheFile(fits)));
    EXPECT_EQ(loader->cacheFilePath(tooLong), std::nullopt);
    EXPECT_EQ(QDir(loader->directory()).entryList(QDir::Files).size(), 1);
}

TEST(FaviconCacheFileName, KeepsOnlyLettersMarksAndDigitsPlain) {
    struct Case {
        QString host;
        std::optional<QString> name;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("example.com"), QStringLiteral("example%2Ecom.png")},
        {QStringLiteral("my-site.example"), QStringLiteral("my%2Dsite%2Eexample.png")},
        {QStringLiteral("192.168.1.10"), QStringLiteral("192%2E168%2E1%2E10.png")},
        {QStringLiteral("::1"), QStringLiteral("%3A%3A1.png")},
        {QStringLiteral("xn--bcher-kva.example"), QStringLiteral("xn%2D%2Dbcher%2Dkva%2Eexample.png")},
        {QStringLiteral("bücher.example"), QStringLiteral("bücher%2Eexample.png")},
        {QStringLiteral("e\u0301.example"), QStringLiteral("e\u0301%2Eexample.png")},
        {QStringLiteral("a_b~c"), QStringLiteral("a%5Fb%7Ec.png")},
        {QStringLiteral("€"), QStringLiteral("%E2%82%AC.png")},
        {QStringLiteral("\U0001D7D8"), QStringLiteral("\U0001D7D8.png")},  // a digit outside the first plane
        {QString(QChar(0xD800)), std::nullopt},
    };
    for (const auto &c : cases) EXPECT_EQ(FaviconLoader::cacheFileName(c.host), c.name) << c.host.toStdString();
}

TEST(FaviconCandidates, AreHTTPSWhateverThePageUsed) {
    struct Case {
        const char *page;
        const char *first;
        const char *second;
    };
    const std::vector<Case> cases = {
        {"http://www.Example.com/a", "https://example.com/favicon.ico", "https://example.com/apple-touch-icon.png"},
        {"HTTP://10.0.0.7:8080/", "https://10.0.0.7/favicon.ico", "https://10.0.0.7/apple-touch-icon.png"},
        {"https://[::1]/x", "https://[::1]/favicon.ico", "https://[::1]/apple-touch-icon.png"},
        {"Https://www.bücher.example/", "https://xn--bcher-kva.example/favicon.ico",
         "https://xn--bcher-kva.example/apple-touch-icon.png"},
    };
    for (const auto &c : cases) {
        const auto host = FaviconLoader::faviconHost(QUrl(QString::fromUtf8(c.page)));
        ASSERT_TRUE(host) << c.page;
        EXPECT_EQ(FaviconLoader::candidateURLs(*host),
                  (std::vector<QUrl>{QUrl(QString::fromUtf8(c.first)), QUrl(QString::fromUtf8(c.second))}))
            << c.page;
    }
}

TEST_F(FaviconLoaderTest, WorkUnderWayOutlivesTheLoaderQuietly) {
    http->answer(icoURL(example), 200, encoded({16, 16}, Qt::red));
    Deferred<> gate = http->hold(icoURL(example));
    requestAndSettle(example);
    loader.reset();
    gate.resolve();
    EXPECT_TRUE(loaded.empty());
    EXPECT_TRUE(QFile::exists(QDir(paths.paths().caches).filePath(QStringLiteral("com.ondrake.Ondrake/Favicons/example%2Ecom.png"))));
}

}  // namespace
