#include "Sync/FaviconHost.h"

#include <gtest/gtest.h>

namespace ondrake {
namespace {

TEST(FaviconHost, NormalisesWebHostsAndRefusesTheRest) {
    struct Case {
        const char *url;  // nullptr: no URL at all
        std::optional<QString> host;
    };
    const Case cases[] = {
        {nullptr, std::nullopt},
        {"https://WWW.Example.COM/path", QStringLiteral("example.com")},
        {"HTTP://news.example/", QStringLiteral("news.example")},
        {"https://www.www.example/", QStringLiteral("www.example")},  // one label only
        {"https://wwwexample.org/", QStringLiteral("wwwexample.org")},
        {"https://example.org:8443/x", QStringLiteral("example.org")},
        {"file:///Users/a/page.html", std::nullopt},
        {"ftp://www.example.com/", std::nullopt},
        {"about:blank", std::nullopt},
        {"https:///nohost", std::nullopt},
        {"relative/path", std::nullopt},
        {"https://www./", std::nullopt},
        {"https://bücher.example/", QStringLiteral("xn--bcher-kva.example")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url ? c.url : "(none)");
        const auto url = c.url ? std::optional<QUrl>(QUrl(QString::fromUtf8(c.url))) : std::nullopt;
        EXPECT_EQ(faviconHost(url), c.host);
    }
}

}  // namespace
}  // namespace ondrake
