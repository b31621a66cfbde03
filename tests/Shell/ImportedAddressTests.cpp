#include "AppWorld.h"

#include "Ondrake/Model/OndrakeArchive.h"
#include "Ondrake/Model/TabRecordFileStore.h"

#include <QFile>

#include <gtest/gtest.h>

namespace ondrake {
namespace {

using test::AppWorld;
using test::page;

QStringList browserAddresses(const AppWorld &world) {
    QStringList addresses;
    for (const auto &w : world.safari.windows())
        for (const auto &t : w.tabs) addresses << t.url;
    return addresses;
}

// A file someone sent: four pages that must never open, one web page, all open at export and all
// on the read-later list.
QByteArray sentArchive(const QDateTime &now) {
    const std::vector<std::pair<QString, QString>> pages{
        {QStringLiteral("Script"), QStringLiteral("javascript:alert(document.cookie)")},
        {QStringLiteral("Local file"), QStringLiteral("file:///etc/passwd")},
        {QStringLiteral("Inline page"), QStringLiteral("data:text/html,<script>alert(1)</script>")},
        {QStringLiteral("Relative"), QStringLiteral("../secrets/index.html")},
        {QStringLiteral("Web"), QStringLiteral("https://web.example/")},
    };
    OndrakeArchive archive;
    archive.exportedAt = now;
    for (std::size_t i = 0; i < pages.size(); ++i)
        archive.tabs.push_back(OndrakeArchive::Tab{.url = pages[i].second, .title = pages[i].first, .createdAt = now,
                                                   .order = qint64(i), .wasOpen = true, .readLater = true});
    return archive.encode();
}

TEST(ImportedAddresses, OpenFromNoMenuInAnyImportMode) {
    struct Case {
        const char *name;
        int button;  // in the import question
        QStringList opened;
        QString summary;
    };
    const QStringList before{page("Alpha").url};
    const std::vector<Case> cases{
        {"merge", 0, before, QStringLiteral("Imported 5 tab(s)")},
        {"as a new group", 1, before + QStringList{"https://web.example/"},
         QStringLiteral("Imported and opened 1 tab(s) — 4 unsafe addresses not opened")},
        {"the complete structure", 2, before + QStringList{"https://web.example/"},
         QStringLiteral("Imported and opened 1 tab(s) — 4 unsafe addresses not opened")},
    };
    for (const auto &c : cases) {
        AppWorld world;
        world.openBrowser({page("Alpha")});
        world.launch();
        const QString path = world.folders.root() + QStringLiteral("/Sent.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sentArchive(world.scheduler.wallNow()));
        file.close();

        world.dialogs.answerPanel(path);
        world.dialogs.answerAlert(c.button);
        ASSERT_TRUE(world.statusItem.choose({"Import…"})) << c.name;
        world.settle();
        world.poll();
        EXPECT_EQ(world.store().lastActionSummary(), c.summary) << c.name;
        EXPECT_EQ(browserAddresses(world), c.opened) << c.name;

        for (const char *title : {"Script", "Local file", "Inline page", "Relative"}) {
            for (const char *action : {"Open", "Open and Mark Read"}) {
                ASSERT_TRUE(world.statusItem.choose({"Read Later", title, action})) << c.name << " " << title;
                world.settle();
                EXPECT_EQ(world.store().lastActionSummary(), QStringLiteral("Didn’t open Read Later item — unsafe address"))
                    << c.name << " " << title << " " << action;
            }
        }
        EXPECT_EQ(browserAddresses(world), c.opened) << c.name;
        EXPECT_EQ(world.statusItem.open()->item(QStringLiteral("Read Later"))->submenu->items.size(), 5u)
            << c.name << ": still on the list, none marked read";
    }
}

TEST(ImportedAddresses, AHistoryFromAnotherFileReopensOnlyItsWebPages) {
    AppWorld world;
    world.openBrowser({page("Alpha")});
    const QDateTime now = world.scheduler.wallNow();
    const auto closed = [&](const char *url) { return ClosedTab{.url = QString::fromUtf8(url), .title = "t", .closedAt = now}; };
    PersistedState state;
    state.recentlyClosed.add(ClosedTabBatch{.tabs = {closed("file:///etc/passwd"), closed("https://web.example/")}, .closedAt = now});
    state.recentlyClosed.add(ClosedTabBatch{.tabs = {closed("javascript:alert(1)")}, .closedAt = now});
    TabRecordFileStore(world.folders.paths(), Logger(QStringLiteral("Persistence"))).save(state, now);
    world.launch();

    ASSERT_TRUE(world.statusItem.choose({"Reopen Closed Tab"}));
    world.settle();
    EXPECT_EQ(world.store().lastActionSummary(), QStringLiteral("Nothing reopened — 1 unsafe address not opened"));
    EXPECT_EQ(browserAddresses(world), QStringList{page("Alpha").url});

    ASSERT_TRUE(world.statusItem.choose({"Reopen Closed Tab"}));
    world.settle();
    EXPECT_EQ(world.store().lastActionSummary(), QStringLiteral("Reopened 1 tab — 1 unsafe address not opened"));
    auto addresses = browserAddresses(world);  // the reopened page in a window of its own
    addresses.sort();
    EXPECT_EQ(addresses, (QStringList{page("Alpha").url, "https://web.example/"}));
    EXPECT_FALSE(world.statusItem.open()->item(QStringLiteral("Reopen Closed Tab"))->isEnabled) << "both batches left the history";
}

}  // namespace
}  // namespace ondrake
