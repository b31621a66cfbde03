#include "ReadsWorld.h"

#include <QSignalSpy>

namespace ondrake {
namespace {

using test::ReadsWorld;
using test::window;

SafariTab page(const char *id, std::int64_t windowID, std::int64_t index, const QString &title, const QString &url) {
    return SafariTab{QString::fromUtf8(id), windowID, index, title, parseURL(url), index == 1, std::nullopt};
}

std::vector<QString> ids(const std::vector<SafariTab> &tabs) {
    std::vector<QString> result;
    for (const auto &t : tabs) result.push_back(t.id);
    return result;
}

// Front window: five tabs that all match "e"; a second window with one more.
std::vector<SafariWindow> library() {
    return {window(1, {page("hn", 1, 1, "Hacker News", "https://news.ycombinator.example/"),
                       page("gh", 1, 2, "GitHub", "https://www.github.example/"),
                       page("ne", 1, 3, "Notes", "https://notes.example/"),
                       page("we", 1, 4, "Weather", "https://weather.example/"),
                       page("re", 1, 5, "Recipes", "https://cook.example/")}),
            window(2, {page("gl", 2, 1, "GitLab", "https://gitlab.example/")}, false, 2)};
}

TEST(TabStoreSearchState, TogglingClosingAndEndingFollowTheField) {
    ReadsWorld world(library());
    auto &store = *world.store;
    store.setSearchQuery("git");
    EXPECT_FALSE(store.isSearchActive()) << "the palette sets a query without the field";
    store.toggleSearch();
    EXPECT_TRUE(store.isSearchActive());
    EXPECT_EQ(store.searchFocusToken(), 1);
    EXPECT_EQ(store.searchQuery(), QStringLiteral("git")) << "turning search on keeps the text";

    store.moveSearchSelection(1);
    store.closeSearch();
    EXPECT_TRUE(store.isSearchActive()) << "the first Escape only clears the text";
    EXPECT_EQ(store.searchQuery(), QString());
    EXPECT_EQ(store.searchSelectedIndex(), 0);
    store.closeSearch();
    EXPECT_FALSE(store.isSearchActive());

    store.toggleSearch();
    EXPECT_EQ(store.searchFocusToken(), 2);
    store.setSearchQuery("n");
    store.toggleSearch();
    EXPECT_FALSE(store.isSearchActive());
    EXPECT_EQ(store.searchQuery(), QString());
    EXPECT_EQ(store.searchFocusToken(), 2);

    store.setSearchQuery("e");
    store.moveSearchSelection(2);
    store.endSearch();
    EXPECT_EQ(store.searchQuery(), QString());
    EXPECT_EQ(store.searchSelectedIndex(), 0);
}

TEST(TabStoreSearchState, ANewQueryResetsTheHighlightAndAnEqualOneChangesNothing) {
    ReadsWorld world(library());
    auto &store = *world.store;
    store.setSearchQuery("e");
    store.moveSearchSelection(3);
    QSignalSpy querySpy(&store, &TabStore::searchQueryChanged);
    store.setSearchQuery("e");
    EXPECT_EQ(store.searchSelectedIndex(), 3);
    EXPECT_EQ(querySpy.count(), 0);
    store.setSearchQuery("e ");
    EXPECT_EQ(store.searchQuery(), QStringLiteral("e ")) << "stored untrimmed";
    EXPECT_EQ(store.searchSelectedIndex(), 0);
}

TEST(TabStoreSearchState, TheHighlightWrapsAroundTheResults) {
    ReadsWorld world(library());
    auto &store = *world.store;
    store.setSearchQuery("e");
    ASSERT_EQ(store.searchResults().size(), 5u) << "the front window's tabs only";
    const std::vector<std::pair<int, int>> steps = {{-1, 4}, {1, 0}, {1, 1}, {-1, 0}, {7, 2}, {-13, 4}};
    for (const auto &[step, expected] : steps) {
        store.moveSearchSelection(step);
        EXPECT_EQ(store.searchSelectedIndex(), expected) << "step " << step;
    }
    ASSERT_TRUE(store.activateSearchSelection());
    EXPECT_EQ(store.activateSearchSelection()->id, store.searchResults()[4].id);

    store.setSearchQuery("zzz");
    store.moveSearchSelection(1);
    EXPECT_EQ(store.searchSelectedIndex(), 0) << "no results: the index stays";
    EXPECT_EQ(store.activateSearchSelection(), std::nullopt);

    world.browser->setWindows({window(1, {page("gh", 1, 1, "GitHub", "https://www.github.example/")})});
    store.setSearchQuery("e");
    store.moveSearchSelection(-1);
    world.poll();
    EXPECT_EQ(store.searchResults().size(), 1u);
    EXPECT_EQ(store.activateSearchSelection(), std::nullopt) << "the results shrank under the highlight";
}

TEST(TabStoreSearchState, ResultsRankTheListedTabsOverEveryField) {
    ReadsWorld world(library());
    auto &store = *world.store;
    const auto group = world.addGroup(QStringLiteral("Kitchen"), 0);
    world.changeRecord("re", [&](TabRecord &r) { r.groupID = group.id; });
    world.changeRecord("ne", [](TabRecord &r) {
        r.metadata = {{QStringLiteral("b"), QStringLiteral("second")}, {QStringLiteral("a"), QStringLiteral("first")},
                      {QStringLiteral("n"), 42}, {QStringLiteral("d"), true}};
    });

    const std::vector<std::pair<QString, std::vector<QString>>> cases = {
        {"", {}},
        {"   \n", {}},
        {"git", {"gh"}},
        {"kitchen", {"re"}},
        {"first", {"ne"}},
        {"42", {}},
        {"weather.example", {"we"}},
        {" news ", {"hn"}},
        {"e", {"re", "gh", "ne", "we", "hn"}},
    };
    for (const auto &[query, expected] : cases) {
        store.setSearchQuery(query);
        EXPECT_EQ(ids(store.searchResults()), expected) << '"' << query.toStdString() << '"';
    }

    const auto document = store.searchDocument(world.shown("ne"));
    EXPECT_EQ(document, (TabSearch::Document{"ne", "Notes", "https://notes.example/", "notes.example", "",
                                             {"first", "second"}}));
    EXPECT_EQ(store.searchDocument(world.shown("gh")).domain, QStringLiteral("github.example"));
    SafariTab blank;
    blank.id = QStringLiteral("blank");
    blank.title = QStringLiteral("New Tab");
    EXPECT_EQ(store.searchDocument(blank),
              (TabSearch::Document{"blank", "New Tab", "", "", "", {}}));
}

TEST(TabStoreSearchState, ResultsFollowEveryChangeOfTabsRecordsGroupsAndScope) {
    ReadsWorld world(library());
    auto &store = *world.store;
    store.setSearchQuery("git");
    EXPECT_EQ(ids(store.searchResults()), std::vector<QString>{"gh"});

    world.showAllWindows();
    EXPECT_EQ(ids(store.searchResults()), (std::vector<QString>{"gh", "gl"}));

    auto windows = library();
    windows[1].tabs[0].title = QStringLiteral("Mirror");
    windows[1].tabs[0].url = parseURL("https://mirror.example/");
    world.browser->setWindows(windows);
    world.poll();
    EXPECT_EQ(ids(store.searchResults()), std::vector<QString>{"gh"});

    const auto group = world.addGroup(QStringLiteral("Misc"), 0);
    world.changeRecord("we", [&](TabRecord &r) { r.groupID = group.id; });
    store.updateBook([&](TabRecordBook &book) { book.renameGroup(group.id, QStringLiteral("Gits")); });
    EXPECT_EQ(ids(store.searchResults()), (std::vector<QString>{"gh", "we"}));

    world.changeRecord("ne", [](TabRecord &r) { r.metadata = {{QStringLiteral("tag"), QStringLiteral("git")}}; });
    EXPECT_EQ(ids(store.searchResults()), (std::vector<QString>{"gh", "we", "ne"}));
}

// Each keystroke narrows the previous results when it can; what is found must not depend on it.
TEST(TabStoreSearchState, TypingOnOrBackFindsWhatAFreshSearchFinds) {
    ReadsWorld world(library());
    world.showAllWindows();
    auto &store = *world.store;
    const auto fresh = [](const QString &query) {
        ReadsWorld other(library());
        other.showAllWindows();
        other.store->setSearchQuery(query);
        return ids(other.store->searchResults());
    };
    for (const char *query : {"e", "ex", "exa", "ex", "E", "n", "ne", "new", "news", "ne w", "g", "gi ", "git", "gitl", " "}) {
        store.setSearchQuery(QString::fromUtf8(query));
        EXPECT_EQ(ids(store.searchResults()), fresh(QString::fromUtf8(query))) << query;
    }
}

}  // namespace
}  // namespace ondrake
