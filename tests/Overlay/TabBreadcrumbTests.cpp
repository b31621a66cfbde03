#include "Overlay/TabBreadcrumb.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <map>

using namespace ondrake;
using Crumb = TabBreadcrumb::Crumb;

namespace {

SafariTab tab(const QString &id, const QString &title, std::optional<QString> parent = {},
              std::optional<QUrl> url = QUrl(QStringLiteral("https://example.com/"))) {
    return {.id = id, .windowID = 1, .index = 1, .title = title, .url = std::move(url), .isActive = false,
            .parentID = std::move(parent)};
}

// "Work|A>a|…|C": a crumb's title, with ">" and its tab id when clicking it activates a tab.
QString describe(const TabBreadcrumb &breadcrumb) {
    QStringList parts;
    for (const auto &c : breadcrumb.crumbs) parts << (c.tabID ? c.title + QLatin1Char('>') + *c.tabID : c.title);
    return parts.join(QLatin1Char('|'));
}

TabBreadcrumb::GroupNameLookup groups(std::map<QString, QString> names) {
    return [names = std::move(names)](const QString &id) -> std::optional<QString> {
        const auto it = names.find(id);
        return it == names.end() ? std::nullopt : std::optional(it->second);
    };
}

TEST(TabBreadcrumb, RunsFromTheGroupThroughTheAncestorsToTheTab) {
    const std::vector<SafariTab> chain = {
        tab("r", "R"),      tab("a", "A", "r"), tab("b", "B", "a"), tab("c", "C", "b"), tab("d", "D", "c"),
        tab("x", "X", "d"), tab("o", "Other"),
    };
    const auto work = groups({{"c", "Work"}, {"d", "Work"}, {"x", "Work"}, {"r", ""}});
    struct Case {
        const char *name;
        QString active;
        int maximum;
        TabBreadcrumb::GroupNameLookup groupName;
        QString expected;
    };
    const Case cases[] = {
        {"a tab alone", "o", 4, work, "Other"},
        {"a group named empty", "r", 4, work, "R"},
        {"group and two ancestors fit", "c", 5, work, "Work|R>r|A>a|B>b|C"},
        {"group and ancestors elided", "x", 4, work, "Work|…|D>d|X"},
        {"without a group the root stays first", "x", 4, {}, "R>r|…|D>d|X"},
        {"exactly the maximum", "b", 3, {}, "R>r|A>a|B"},
        {"three at most", "c", 3, {}, "R>r|…|C"},
        {"a maximum below 3 shortens nothing", "c", 2, work, "Work|R>r|A>a|B>b|C"},
    };
    for (const auto &c : cases) {
        const auto active = *std::find_if(chain.begin(), chain.end(), [&](const auto &t) { return t.id == c.active; });
        const auto breadcrumb = TabBreadcrumb::make(active, chain, c.maximum, c.groupName);
        EXPECT_EQ(describe(breadcrumb).toStdString(), c.expected.toStdString()) << c.name;
        if (c.maximum >= 3) {
            EXPECT_LE(int(breadcrumb.crumbs.size()), c.maximum) << c.name;
        }
    }
}

TEST(TabBreadcrumb, CrumbsCarryTheirKindsAndIdentities) {
    const std::vector<SafariTab> tabs = {tab("a", "A"), tab("b", "B", "a"), tab("c", "C", "b"), tab("d", "D", "c")};
    const auto breadcrumb = TabBreadcrumb::make(tabs[3], tabs, 3, groups({{"d", "Work"}}));
    const std::vector<Crumb> expected = {
        {"group", "Work", Crumb::Kind::group, std::nullopt},
        {"elision", "…", Crumb::Kind::elision, std::nullopt},
        {"d", "D", Crumb::Kind::tab, std::nullopt},
    };
    EXPECT_EQ(breadcrumb.crumbs, expected);
}

TEST(TabBreadcrumb, BrokenParentLinksEndTheChainWhereTheyOccur) {
    struct Case {
        const char *name;
        std::vector<SafariTab> tabs;
        QString expected;
    };
    const Case cases[] = {
        {"a parent that is not listed", {tab("a", "A", "zz"), tab("c", "C", "a")}, "A>a|C"},
        {"a cycle back to the active tab", {tab("c", "C", "b"), tab("b", "B", "a"), tab("a", "A", "c")}, "A>a|B>b|C"},
        {"a tab that is its own parent", {tab("c", "C", "c")}, "C"},
        {"a cycle above the tab", {tab("c", "C", "b"), tab("b", "B", "a"), tab("a", "A", "b")}, "A>a|B>b|C"},
        {"the later of two tabs with one id", {tab("c", "C", "b"), tab("b", "old"), tab("b", "new")}, "new>b|C"},
        {"no tabs listed at all", {}, "C"},
    };
    for (const auto &c : cases) {
        const auto listed = std::find_if(c.tabs.begin(), c.tabs.end(), [](const auto &t) { return t.id == "c"; });
        const SafariTab active = listed == c.tabs.end() ? tab("c", "C", "b") : *listed;
        EXPECT_EQ(describe(TabBreadcrumb::make(active, c.tabs, 10, {})).toStdString(), c.expected.toStdString()) << c.name;
    }
}

TEST(TabBreadcrumb, UntitledTabsShowTheirHost) {
    struct Case {
        std::optional<QUrl> url;
        QString title;
    };
    const Case cases[] = {
        {QUrl(QStringLiteral("https://news.example/today")), QStringLiteral("news.example")},
        {QUrl(QStringLiteral("file:///Users/me/notes.txt")), QStringLiteral("Untitled")},
        {std::nullopt, QStringLiteral("Untitled")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TabBreadcrumb::make(tab("t", "", {}, c.url), {}, 4, {}).crumbs.front().title, c.title);
}

}  // namespace
