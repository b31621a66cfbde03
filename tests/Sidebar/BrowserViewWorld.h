#pragma once

#include "ViewWorld.h"

#include "Browser/SafariController.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "SimulatedSafari.h"
#include "SimulatedScriptEngine.h"

#include <QTest>

#include <memory>
#include <stdexcept>
#include <vector>

namespace ondrake::test {

// The sidebar over the store, polling the simulated browser through the real controller: what
// the user does with the mouse goes all the way to the browser's own tabs and back. Pages are
// named by their titles.
struct BrowserViewWorld : StorePlatform {
    SimulatedSafari safari{workspace};  // running: the platform launched it
    SimulatedScriptEngine engine{safari};
    std::unique_ptr<SafariController> controller;
    std::unique_ptr<TabStore> store;
    ShellCalls shell;
    std::unique_ptr<SidebarView> view;

    static SimulatedSafari::Tab page(const QString &title) {
        return {title, QStringLiteral("https://%1.example/").arg(title.toLower())};
    }

    // One browser window per list of titles, the first in front with its first tab current.
    explicit BrowserViewWorld(const std::vector<QStringList> &windows, QSize size = QSize(280, 620)) {
        EXPECT_TRUE(folders.isValid());
        for (const QStringList &titles : windows) {
            SimulatedSafari::Window w;
            for (const QString &title : titles) w.tabs.push_back(page(title));
            safari.addWindow(std::move(w));
        }
        controller = std::make_unique<SafariController>(engine, scheduler, workspace);
        store = makeStore(*controller, std::make_shared<ScriptedHttpClient>());
        runToCompletion(scheduler, store->requestRefresh());
        view = shownSidebar(*store, shell, SidebarView::Services{scheduler, defaults, privacy}, size);
        settle();
    }
    ~BrowserViewWorld() {
        settle();
        view.reset();
    }

    SidebarTabList &list() const { return *view->tabList(); }

    // Lets queued work run, waiting for the browser's script to answer, and lays the list out;
    // the clock stands still.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::processEvents();
            ondrake::settle(scheduler);
        }
        list().rebuild();
        list().doItemsLayout();
    }
    void poll() {
        runToCompletion(scheduler, store->requestRefresh());
        settle();
    }

    const SafariTab &tab(const QString &title) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.title == title) return t;
        throw std::runtime_error("no tab titled " + title.toStdString());
    }
    QString titleOf(const QString &tabID) const {
        for (const auto &w : store->windows())
            for (const auto &t : w.tabs)
                if (t.id == tabID) return t.title;
        return {};
    }
    void changeRecord(const QString &title, const std::function<void(TabRecord &)> &change) {
        const auto id = store->ondrakeIDs().value(tab(title).id);
        store->updateBook([&](TabRecordBook &book) { change(book.records.at(id)); });
        settle();
    }
    void pin(const QString &title) {
        changeRecord(title, [](TabRecord &r) { r.pinned = true; });
    }
    // Tab Groups on, and the tabs filed into one new group.
    TabGroup group(const QStringList &titles) {
        store->flags().setOverride(true, FeatureFlag::tabGroups());
        TabGroup made{.name = QStringLiteral("Work"), .createdAt = scheduler.wallNow(), .sortIndex = 0};
        store->updateBook([&](TabRecordBook &book) { book.groups[made.id] = made; });
        for (const QString &title : titles) changeRecord(title, [&](TabRecord &r) { r.groupID = made.id; });
        return made;
    }

    // The browser's own tab order of its front window, by title.
    QStringList browserTitles() const {
        QStringList titles;
        const auto windows = safari.windows();
        for (const auto &t : windows.front().tabs) titles << t.title;
        return titles;
    }
    QString browserCurrentTab() const {
        const auto w = safari.windows().front();
        return w.currentTab >= 1 ? w.tabs[std::size_t(w.currentTab - 1)].title : QString();
    }
    // The rows of the window sections as the user sees them, one ">" per level of nesting.
    QStringList windowRows() const {
        QStringList rows;
        const auto &model = list().rowModel();
        for (int row = 0; row < model.rowCount(); ++row) {
            const auto &entry = model.entry(row);
            const auto *section = model.sectionOf(row);
            if (!entry.row || !section || section->kind != SidebarListSection::Kind::window) continue;
            rows << QString(entry.row->row.depth, u'>') + entry.row->tab().title;
        }
        return rows;
    }

    // An entry's own band (its content, without the spacing around it) in the viewport.
    QRect band(int row) const {
        const auto &model = list().rowModel();
        const QRect rect = list().visualRect(model.index(row));
        const auto &entry = model.entry(row);
        return QRect(rect.left(), rect.top() + entry.contentTop(), rect.width(), entry.content);
    }
    QRect band(const QString &title) const { return band(list().rowModel().rowOfTab(tab(title).id)); }
    int entryKeyed(const QString &key) const {
        const auto &model = list().rowModel();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).kind == SidebarListEntry::Kind::heading && model.entry(row).key == key) return row;
        return -1;
    }

    // A press on the row, a move past the drag threshold, then on by whole rows (downward
    // positive) and nesting steps (rightward positive), and the release there.
    void drag(const QString &title, int rows, int levels) {
        QWidget *viewport = list().viewport();
        const QPoint from = band(title).center();
        const QPoint to = from + QPoint(levels * int(sidebar::kNestingStep), rows * int(sidebar::kRowPitch));
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(0, 6));
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        settle();
    }
    // A press on the row's centre and the release `travel` points away.
    void dragBy(const QString &title, QPoint travel) {
        QWidget *viewport = list().viewport();
        const QPoint from = band(title).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + travel);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + travel);
        settle();
    }
    // How many moves of tabs the browser was asked for.
    int movesAsked() const {
        int moves = 0;
        for (const auto &event : engine.receivedEvents())
            if (const auto name = event.parameter(QStringLiteral("snam")); name && name->stringValue() == u"movetabs") ++moves;
        return moves;
    }
};

}  // namespace ondrake::test
