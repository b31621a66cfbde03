#include "Async.h"
#include "Browser/BrowserAdapter.h"
#include "Browser/BrowserURL.h"

#include <gtest/gtest.h>

using namespace ondrake;

namespace {

SafariTab tab(std::int64_t window, std::int64_t index, QString id = {}) {
    SafariTab t;
    t.id = id.isEmpty() ? QStringLiteral("tab-%1-%2").arg(window).arg(index) : id;
    t.windowID = window;
    t.index = index;
    return t;
}

// Records the closes the shared default makes, and fails the ones a test names.
class RecordingAdapter : public BrowserAdapter {
public:
    std::vector<QString> closed;
    std::map<QString, SafariControllerError> failures;
    BrowserCapabilities caps{BrowserCapabilities::close};

    BrowserCapabilities capabilities() const override { return caps; }
    QCoro::Task<std::vector<SafariWindow>> snapshot() override { co_return {}; }
    QCoro::Task<> activateTab(SafariTab) override { co_return; }
    QCoro::Task<> closeTab(SafariTab t) override {
        if (const auto it = failures.find(t.id); it != failures.end()) throw it->second;
        closed.push_back(t.id);
        co_return;
    }
    QCoro::Task<> moveTabs(SafariTabMove) override { co_return; }
    QCoro::Task<std::optional<SafariWindowFrameChange>> reserveSpace(double, double) override { co_return std::nullopt; }
    QCoro::Task<> restoreWindowBounds(SafariWindowFrameChange) override { co_return; }
    QCoro::Task<std::optional<SafariWindowFrameChange>> setLeftEdge(double) override { co_return std::nullopt; }
    QCoro::Task<std::optional<bool>> isWindowZoomed(std::int64_t) override { co_return std::nullopt; }
    QCoro::Task<> openTab(std::optional<QUrl>, std::optional<std::int64_t>) override { co_return; }
    QCoro::Task<> addReadingListItem(QUrl, QString) override { co_return; }
};

template<typename T>
T run(QCoro::Task<T> task) {
    ManualScheduler s;
    return runToCompletion(s, std::move(task));
}

TEST(BrowserAdapterDefaults, CloseTabsGoesByWindowThenHighestIndexFirst) {
    RecordingAdapter a;
    run(a.closeTabs({tab(7, 1), tab(3, 2), tab(7, 4), tab(3, 5), tab(7, 2)}));
    EXPECT_EQ(a.closed, (std::vector<QString>{"tab-3-5", "tab-3-2", "tab-7-4", "tab-7-2", "tab-7-1"}));

    RecordingAdapter empty;
    run(empty.closeTabs({}));
    EXPECT_TRUE(empty.closed.empty());
}

TEST(BrowserAdapterDefaults, CloseTabsSkipsVanishedTabsButStopsAtOtherErrors) {
    RecordingAdapter a;
    a.failures.emplace("tab-1-3", SafariControllerError::tabNotFound());
    run(a.closeTabs({tab(1, 1), tab(1, 2), tab(1, 3)}));
    EXPECT_EQ(a.closed, (std::vector<QString>{"tab-1-2", "tab-1-1"}));

    RecordingAdapter b;
    b.failures.emplace("tab-1-2", SafariControllerError::windowNotFound());
    EXPECT_THROW(run(b.closeTabs({tab(1, 1), tab(1, 2), tab(1, 3)})), SafariControllerError);
    EXPECT_EQ(b.closed, (std::vector<QString>{"tab-1-3"}));  // what was closed stays closed
}

TEST(BrowserAdapterDefaults, PinAndMuteAreRefusedWithTheMissingBit) {
    RecordingAdapter a;
    try {
        run(a.setPinned(true, tab(1, 1)));
        FAIL();
    } catch (const SafariControllerError &e) {
        EXPECT_EQ(e, SafariControllerError::unsupported(BrowserCapabilities(0x400)));
    }
    try {
        run(a.setMuted(true, tab(1, 1)));
        FAIL();
    } catch (const SafariControllerError &e) {
        EXPECT_EQ(e, SafariControllerError::unsupported(BrowserCapabilities(0x800)));
    }
    EXPECT_TRUE(run(a.takePendingLinkMoves()).empty());
}

TEST(BrowserCapabilitiesTest, SupportsNeedsEveryBit) {
    RecordingAdapter a;
    a.caps = BrowserCapabilities(0x2C3E3);
    EXPECT_TRUE(a.supports({}));
    EXPECT_TRUE(a.supports({BrowserCapabilities::activate, BrowserCapabilities::zoomState}));
    EXPECT_FALSE(a.supports({BrowserCapabilities::move, BrowserCapabilities::pin}));
    EXPECT_FALSE(a.supports(BrowserCapabilities::mute));
    a.caps = {};
    EXPECT_TRUE(a.supports({}));
    const BrowserCapabilities all{BrowserCapabilities::activate, BrowserCapabilities::close, BrowserCapabilities::move,
                                  BrowserCapabilities::open, BrowserCapabilities::readingList,
                                  BrowserCapabilities::zoomState, BrowserCapabilities(0x4203)};
    EXPECT_EQ(all.rawValue, 0x2C3E3);
}

TEST(SafariValues, WindowIdentityAndActiveTab) {
    SafariWindow w;
    w.safariID = 42;
    EXPECT_EQ(w.id(), "window-42");
    w.tabs = {tab(42, 1), tab(42, 2), tab(42, 3)};
    EXPECT_FALSE(w.activeTab().has_value());
    w.tabs[1].isActive = w.tabs[2].isActive = true;
    EXPECT_EQ(w.activeTab()->index, 2);

    SafariTab a = tab(1, 1), b = tab(1, 1);
    EXPECT_EQ(a, b);
    b.url = QUrl("https://example.com/");
    EXPECT_NE(a, b);
    a.url = QUrl("https://example.com/");
    EXPECT_EQ(a, b);
    b.parentID = "tab-0";
    EXPECT_NE(a, b);
}

TEST(SafariValues, ErrorsCompareByCaseAndPayloadAndDescribeThemselves) {
    EXPECT_EQ(SafariControllerError::automationFailure("x"), SafariControllerError::automationFailure("x"));
    EXPECT_NE(SafariControllerError::automationFailure("x"), SafariControllerError::automationFailure("y"));
    EXPECT_NE(SafariControllerError::tabNotFound(), SafariControllerError::windowNotFound());
    EXPECT_EQ(SafariControllerError::automationFailure("Say \"hi\"").description(), R"(automationFailure("Say \"hi\""))");
    EXPECT_EQ(SafariControllerError::unsupported(BrowserCapabilities::pin).description(),
              "unsupported(BrowserCapabilities(rawValue: 1024))");
    EXPECT_STREQ(SafariControllerError::safariNotRunning().what(), "safariNotRunning");
}

TEST(BrowserURLTest, ParsesOnlyWellFormedText) {
    struct Case {
        const char *text;
        bool parses;
        const char *scheme;
    };
    const Case cases[] = {
        {"https://example.com/a?b=c", true, "https"},
        {"HTTP://example.com/", true, "http"},
        {"about:blank", true, "about"},
        {"file:///tmp/x.html", true, "file"},
        {"relative/path", true, ""},
        {"", false, ""},
        {"http://exa mple.com/", false, ""},
    };
    for (const auto &c : cases) {
        const auto url = parseURL(QString::fromUtf8(c.text));
        EXPECT_EQ(url.has_value(), c.parses) << c.text;
        if (url) {
            EXPECT_EQ(lowerScheme(*url), QString::fromUtf8(c.scheme)) << c.text;
        }
    }
    EXPECT_EQ(absoluteText(parseURL("https://example.com/a%20b")), "https://example.com/a%20b");
    EXPECT_EQ(absoluteText(std::optional<QUrl>()), "");
}

}  // namespace
