#include "ViewWorld.h"

#include "Ondrake/Sidebar/GroupPromptDialog.h"
#include "Ondrake/Sidebar/NewTabRow.h"
#include "Ondrake/Sidebar/ResizeHandle.h"
#include "Ondrake/Sidebar/SidebarIconButton.h"
#include "Ondrake/Sidebar/SidebarMessageView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/SidebarTabList.h"
#include "Ondrake/Sidebar/SidebarHeaderModel.h"
#include "Ondrake/Sidebar/WrappingLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace ondrake;
using namespace ondrake::test;

namespace {

bool shown(const QWidget *widget) { return widget && widget->isVisible(); }

TEST(SidebarView, ToolbarShowsTitleButtonsAndTheTabCount) {
    ViewWorld world;
    auto &view = *world.view;
    EXPECT_TRUE(shown(view.headerToolbar()));
    EXPECT_FALSE(shown(view.compactHeader()));
    EXPECT_FALSE(shown(view.searchField()));
    // Tab groups are off by default: no New Tab Group button, the others keep their order.
    EXPECT_FALSE(shown(view.newGroupButton()));
    std::vector<QString> names;
    for (auto *button : {view.newGroupButton(), view.arrangeButton(), view.searchButton(), view.compactToggle()})
        if (shown(button)) names.push_back(button->accessibleName());
    EXPECT_EQ(names, (std::vector<QString>{"Arrange Tabs", "Search Tabs", "Collapse to Favicons"}));
    EXPECT_EQ(view.arrangeButton()->toolTip(), QStringLiteral("Arrange Tabs: Tree"));
    EXPECT_EQ(view.searchButton()->toolTip(), QStringLiteral("Search Tabs (Ctrl+F)"));
    // The active-window scope lists the front window's three tabs.
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3"));

    world.enableGroups();
    EXPECT_TRUE(shown(view.newGroupButton()));
    EXPECT_EQ(view.newGroupButton()->toolTip(), QStringLiteral("New Tab Group"));

    world.showAllWindows();
    world.settle();
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("5"));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-header"));
}

TEST(SidebarView, CountShowsTheSelectionFromTwoTabsInTheAccent) {
    ViewWorld world;
    auto &view = *world.view;
    world.store->select(QStringLiteral("a1"), SidebarModifiers::none());
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3"));
    world.store->select(QStringLiteral("a3"), SidebarModifiers::command());
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("2 selected"));
    const QColor accent = view.environment().theme().accent.resolved(view.palette());
    EXPECT_EQ(view.countLabel()->palette().color(QPalette::WindowText), accent);

    // A click on empty panel space clears it.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(view.width() / 2, view.height() - 60));
    EXPECT_TRUE(world.store->selection().ids.empty());
    EXPECT_EQ(view.countLabel()->text(), QStringLiteral("3"));
}

TEST(SidebarView, AtItsNarrowestTheToolbarShortensTheTitleNotTheCount) {
    std::vector<SafariTab> tabs;
    for (int i = 1; i <= 120; ++i) tabs.push_back(tab(QStringLiteral("t%1").arg(i), 1, i, i == 1));
    ViewWorld world({window(1, std::move(tabs))}, QSize(200, 300));
    world.store->selectAll();
    world.settle();
    auto *count = world.view->countLabel();
    ASSERT_EQ(count->text(), QStringLiteral("120 selected"));
    EXPECT_GE(count->width(), count->sizeHint().width());
    EXPECT_LE(count->geometry().right(), world.view->headerToolbar()->width());
    for (auto *button : {world.view->arrangeButton(), world.view->searchButton(), world.view->compactToggle()})
        EXPECT_FALSE(button->geometry().intersects(count->geometry())) << button->accessibleName().toStdString();
    // Cut on screen, whole for a screen reader.
    auto *title = world.view->titleLabel();
    EXPECT_NE(title->shownText(), title->text());
    EXPECT_EQ(title->text(), QStringLiteral("Safari"));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-narrowest-selection"));
}

TEST(SidebarView, CompactRailHasItsOwnHeaderAndNoStatusLine) {
    ViewWorld world;
    auto &view = *world.view;
    world.store->announce(QStringLiteral("Pinned in Sidebar"));
    EXPECT_TRUE(shown(view.statusLabel()));
    EXPECT_EQ(view.statusLabel()->text(), QStringLiteral("Pinned in Sidebar"));
    world.store->select(QStringLiteral("a1"), SidebarModifiers::none());
    world.store->select(QStringLiteral("a3"), SidebarModifiers::command());
    world.store->announce(QStringLiteral("Pinned in Sidebar"));

    QTest::mouseClick(view.compactToggle(), Qt::LeftButton);
    EXPECT_TRUE(world.store->isCompact());
    EXPECT_EQ(world.shell.compact, std::vector<bool>{true});
    EXPECT_TRUE(view.environment().isCompact());
    EXPECT_TRUE(shown(view.compactHeader()));
    EXPECT_FALSE(shown(view.headerToolbar()));
    EXPECT_FALSE(shown(view.statusLabel()));
    // The rail counts tabs, never the selection.
    EXPECT_EQ(view.compactCountLabel()->text(), QStringLiteral("3"));
    view.resize(64, 520);
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-compact"));

    auto *expand = view.compactHeader()->findChild<SidebarIconButton *>();
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(expand->toolTip(), QStringLiteral("Expand Sidebar (Ctrl+Shift+C)"));
    QTest::mouseClick(expand, Qt::LeftButton);
    EXPECT_EQ(world.shell.compact, (std::vector<bool>{true, false}));
    EXPECT_TRUE(shown(view.statusLabel()));
}

TEST(SidebarView, ThemeChangesReachTheShellButTheFirstDoesNot) {
    ViewWorld world;
    EXPECT_TRUE(world.shell.themes.empty());
    EXPECT_TRUE(world.shell.compact.empty());
    EXPECT_TRUE(world.shell.searchFocus.empty());

    world.defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("dark"));
    world.defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("dark"));
    world.defaults.setString(QStringLiteral("Unrelated"), QStringLiteral("x"));
    world.defaults.setString(QStringLiteral("SidebarTheme"), QStringLiteral("pastelMint"));
    EXPECT_EQ(world.shell.themes, (std::vector<SidebarThemeChoice>{SidebarThemeChoice::dark, SidebarThemeChoice::pastelMint}));
    EXPECT_EQ(world.view->environment().theme(), SidebarThemeTokens::pastelMint());
    // The panel is painted with the theme's fill.
    const QImage image = world.grab();
    EXPECT_TRUE(colorNear(image.pixelColor(image.width() / 2, image.height() - 80),
                          SidebarThemeTokens::pastelMint().fill().resolved(world.view->palette())));
}

TEST(SidebarView, ArrangeMenuSetsTheArrangementOnlyWhenItChanges) {
    ViewWorld world;
    QSignalSpy changes(world.store.get(), &TabStore::viewModeChanged);
    auto *menu = world.view->arrangeButton()->menu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    std::vector<QString> titles;
    for (auto *action : menu->actions()) titles.push_back(action->text());
    EXPECT_EQ(titles, (std::vector<QString>{"Tree", "By Age", "By Domain", "By Group"}));
    EXPECT_FALSE(menu->actions()[0]->icon().isNull());  // the checkmark
    EXPECT_TRUE(menu->actions()[1]->icon().isNull());

    menu->actions()[0]->trigger();
    EXPECT_EQ(changes.count(), 0);
    menu->actions()[1]->trigger();
    EXPECT_EQ(world.store->viewMode(), SidebarViewMode::age);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(world.view->arrangeButton()->toolTip(), QStringLiteral("Arrange Tabs: By Age"));
    EXPECT_EQ(world.view->arrangeButton()->accessibleDescription(), QStringLiteral("By Age"));
}

TEST(SidebarView, SearchButtonOpensAFocusedFieldThatFiltersAsYouType) {
    ViewWorld world;
    auto &view = *world.view;
    QTest::mouseClick(view.searchButton(), Qt::LeftButton);
    ASSERT_TRUE(shown(view.searchField()));
    EXPECT_FALSE(shown(view.headerToolbar()));
    EXPECT_TRUE(view.searchField()->lineEdit()->hasFocus());
    EXPECT_TRUE(view.isSearchFieldFocused());
    EXPECT_EQ(world.shell.searchFocus, std::vector<bool>{true});
    EXPECT_EQ(view.searchField()->lineEdit()->placeholderText(), QStringLiteral("Search tabs"));
    EXPECT_EQ(view.searchField()->closeButton()->toolTip(), QStringLiteral("Close Search"));

    QTest::keyClicks(view.searchField()->lineEdit(), QStringLiteral("alp"));
    EXPECT_EQ(world.store->searchQuery(), QStringLiteral("alp"));
    EXPECT_EQ(view.contentKind(), SidebarContentKind::searchList);
    world.settle();
    // The list shows the two matches as flat rows, the first highlighted.
    const auto &rows = view.tabList()->rowModel();
    QStringList titles;
    for (int row = 0; row < rows.rowCount(); ++row)
        if (const auto &entry = rows.entry(row); entry.row) {
            titles << entry.row->tab().title;
            EXPECT_EQ(entry.row->row.depth, 0);
            EXPECT_EQ(entry.row->selectionCount, 1);
        }
    EXPECT_EQ(titles, (QStringList{"Alpha", "Alpine"}));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-search"));

    // The close button ends the search at once, the query with it.
    QTest::mouseClick(view.searchField()->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(world.store->isSearchActive());
    EXPECT_TRUE(world.store->searchQuery().isEmpty());
    EXPECT_FALSE(shown(view.searchField()));
    EXPECT_EQ(world.shell.searchFocus, (std::vector<bool>{true, false}));
    EXPECT_EQ(view.contentKind(), SidebarContentKind::treeList);
}

TEST(SidebarView, FocusTokenFromTheShellFocusesTheField) {
    ViewWorld world;
    // The shell's focus-search command: search on, token advanced.
    world.store->toggleSearch();
    EXPECT_TRUE(world.view->searchField()->lineEdit()->hasFocus());
    world.view->searchField()->closeButton()->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(world.view->isSearchFieldFocused());
    world.store->toggleSearch();
    world.store->toggleSearch();
    EXPECT_TRUE(world.view->searchField()->lineEdit()->hasFocus());
    EXPECT_EQ(world.shell.searchFocus, (std::vector<bool>{true, false, true}));
}

TEST(SidebarView, SearchKeysMoveTheHighlightOpenTheResultAndEscapeInTwoSteps) {
    ViewWorld world;
    world.showAllWindows();
    world.settle();
    world.store->toggleSearch();
    auto *field = world.view->searchField()->lineEdit();

    // Nothing typed: no results, so the keys change nothing and Return keeps the field open.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 0);
    QTest::keyClick(field, Qt::Key_Return);
    world.settle();
    EXPECT_TRUE(world.store->isSearchActive());

    QTest::keyClicks(field, QStringLiteral("a"));
    const auto results = world.store->searchResults();
    ASSERT_GE(results.size(), 3u);
    const int last = int(results.size()) - 1;
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(world.store->searchSelectedIndex(), last);  // wraps to the last
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 0);  // and back to the first
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 1);

    // Escape with text empties it and keeps the search; the second closes it.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(world.store->isSearchActive());
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(world.store->searchSelectedIndex(), 0);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(world.store->isSearchActive());
}

TEST(SidebarView, ReturnBringsTheHighlightedResultToTheFrontAndEndsTheSearch) {
    ViewWorld world;
    world.showAllWindows();
    world.settle();
    world.store->toggleSearch();
    auto *field = world.view->searchField()->lineEdit();
    QTest::keyClicks(field, QStringLiteral("delta"));
    ASSERT_FALSE(world.store->searchResults().empty());
    const SafariTab wanted = world.store->searchResults().front();
    EXPECT_EQ(wanted.id, QStringLiteral("b2"));
    int raised = 0;
    world.store->onBrowserWindowRaised = [&] { ++raised; };

    QTest::keyClick(field, Qt::Key_Return);
    world.settle();
    EXPECT_TRUE(world.inBrowser(QStringLiteral("b2")).isActive);
    EXPECT_FALSE(world.inBrowser(QStringLiteral("b1")).isActive);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(world.store->selection().ids, TextSet{QStringLiteral("b2")});
    EXPECT_FALSE(world.store->isSearchActive());
    EXPECT_TRUE(world.store->searchQuery().isEmpty());
    // The refresh saw the browser's new front window.
    EXPECT_TRUE(world.store->windows().back().isFrontmost || world.store->windows().front().safariID == 2);
}

// One window of `count` tabs titled "Page 1" ... in a sidebar too short to show them all.
std::vector<SafariWindow> longWindow(int count) {
    std::vector<SafariTab> tabs;
    for (int i = 1; i <= count; ++i)
        tabs.push_back(ViewWorld::named(tab(QStringLiteral("t%1").arg(i), 1, i, i == 1), QStringLiteral("Page %1").arg(i)));
    return {window(1, std::move(tabs))};
}

TEST(SidebarView, TheListFollowsTheSearchHighlight) {
    ViewWorld world(longWindow(60));
    world.store->toggleSearch();
    QTest::keyClicks(world.view->searchField()->lineEdit(), QStringLiteral("page"));
    world.settle();
    auto *bar = world.view->tabList()->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    auto *list = world.view->tabList();
    QTest::keyClick(world.view->searchField()->lineEdit(), Qt::Key_Up);  // to the last result
    world.settle();
    // It eases there over a tenth of a second: most of the way by half time, there at the end.
    EXPECT_EQ(bar->value(), 0);
    EXPECT_TRUE(list->isScrolling());
    world.scheduler.advance(Seconds(0.05));
    const int halfway = bar->value();
    world.scheduler.advance(Seconds(0.07));  // a frame past the end
    const int end = bar->value();
    EXPECT_FALSE(list->isScrolling());
    EXPECT_GT(halfway, end / 2);
    EXPECT_LT(halfway, end);
    const auto last = world.store->searchResults().back().id;
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualRect(list->rowModel().index(list->rowModel().rowOfTab(last)))));
    QTest::keyClick(world.view->searchField()->lineEdit(), Qt::Key_Down);  // back to the first
    world.settle();
    world.scheduler.advance(Seconds(0.12));
    EXPECT_EQ(bar->value(), 0);
}

TEST(SidebarView, ANewTabFromTheFooterIsScrolledToOnceAndTheTargetCleared) {
    ViewWorld world(longWindow(60));
    auto *bar = world.view->tabList()->verticalScrollBar();
    ASSERT_EQ(bar->value(), 0);
    QSignalSpy targets(world.store.get(), &TabStore::newTabScrollTargetIDChanged);
    QTest::mouseClick(world.view->newTabRow(), Qt::LeftButton);
    world.settle();
    // The store named the new tab, the view scrolled to it and handed the target back.
    EXPECT_EQ(targets.count(), 2);
    EXPECT_FALSE(world.store->newTabScrollTargetID());
    // It eases down over 0.15 s.
    EXPECT_EQ(bar->value(), 0);
    world.scheduler.advance(Seconds(0.075));
    const int halfway = bar->value();
    world.scheduler.advance(Seconds(0.095));  // a frame past the end
    EXPECT_GT(halfway, bar->value() / 2);
    EXPECT_LT(halfway, bar->value());
    EXPECT_FALSE(world.view->tabList()->isScrolling());
    // The second look after 220 ms scrolls there again, even if the user scrolled away.
    bar->setValue(0);
    world.drain();
    EXPECT_GT(bar->value(), 0);
    // The same id again is not scrolled to a second time.
    const QString newID = world.store->windows().front().tabs.back().id;
    bar->setValue(0);
    world.view->scrollToNewTab(newID);
    world.drain();
    EXPECT_EQ(bar->value(), 0);
}

TEST(SidebarView, EachStateShowsItsMessage) {
    ViewWorld world;
    auto &view = *world.view;
    auto *messages = view.messageView();

    world.store->reportAdapterError(SafariControllerError::permissionDenied());
    EXPECT_EQ(view.contentKind(), SidebarContentKind::permissionRequired);
    EXPECT_EQ(view.currentContent(), messages);
    ASSERT_NE(messages->actionButton(), nullptr);
    EXPECT_EQ(messages->actionButton()->text(), QStringLiteral("Open System Settings"));
    EXPECT_FALSE(shown(view.footer()));
    EXPECT_FALSE(shown(view.countLabel()));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-permission-required"));
    QTest::mouseClick(messages->actionButton(), Qt::LeftButton);
    QTest::mouseClick(messages->actionButton(), Qt::LeftButton);
    const QString pane = QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation");
    EXPECT_EQ(world.privacy.openedSettingsPanes(), (std::vector<QString>{pane, pane}));
    EXPECT_EQ(world.store->state(), SidebarState::permissionRequired());

    world.store->reportAdapterError(SafariControllerError::automationFailure(QStringLiteral("The script timed out")));
    EXPECT_EQ(view.contentKind(), SidebarContentKind::failed);
    EXPECT_EQ(messages->message().message, QStringLiteral("The script timed out"));
    ASSERT_NE(messages->actionButton(), nullptr);
    EXPECT_EQ(messages->actionButton()->text(), QStringLiteral("Try Again"));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-failed"));
    // Retrying polls the browser, which answers, so the list comes back.
    QTest::mouseClick(messages->actionButton(), Qt::LeftButton);
    world.settle();
    EXPECT_EQ(world.store->state(), SidebarState::ready());
    EXPECT_EQ(view.contentKind(), SidebarContentKind::treeList);
    EXPECT_TRUE(shown(view.footer()));

    world.workspace.terminate(safariBundleIdentifier());
    world.poll();
    EXPECT_EQ(view.contentKind(), SidebarContentKind::safariNotRunning);
    EXPECT_EQ(messages->actionButton(), nullptr);
    EXPECT_FALSE(shown(messages->findChild<QPushButton *>()));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-not-running"));
}

TEST(SidebarView, LoadingAndNoTabsAreShownAsSuch) {
    ViewWorld world(std::vector<SafariWindow>{});
    EXPECT_EQ(world.view->contentKind(), SidebarContentKind::noTabs);
    EXPECT_EQ(world.view->messageView()->message().title, QStringLiteral("No open tabs"));
    EXPECT_FALSE(shown(world.view->footer()));
    EXPECT_FALSE(shown(world.view->countLabel()));
    saveScreenshot(world.grab(), QStringLiteral("sidebar-view-no-tabs"));

    // A store that has not polled yet is still connecting.
    auto store = std::make_unique<TabStore>(
        *world.browser, TabRecordFileStore(world.folders.paths(), Logger(QStringLiteral("Persistence"))),
        TabStore::Services{world.scheduler, world.workspace, world.permission, world.defaults, world.folders.paths(),
                           std::make_shared<ScriptedHttpClient>(), {}});
    ShellCalls shell;
    SidebarView loading(*store, shell.callbacks(), {world.scheduler, world.defaults, world.privacy});
    loading.setPalette(lightPalette());
    loading.resize(280, 520);
    loading.show();
    EXPECT_EQ(loading.contentKind(), SidebarContentKind::loading);
    EXPECT_TRUE(loading.currentContent()->findChild<QLabel *>()->text() == QStringLiteral("Connecting to Safari…"));
    saveScreenshot(loading.grab().toImage(), QStringLiteral("sidebar-view-loading"));
}

TEST(SidebarView, FooterNamesTheTargetWindowAndOpensATabThere) {
    {
        ViewWorld single({ViewWorld::session().front()});
        EXPECT_EQ(single.view->newTabRow()->toolTip(), QStringLiteral("New Tab"));
        EXPECT_EQ(single.view->newTabRow()->windowLabel(), std::nullopt);
    }
    ViewWorld world;
    auto *row = world.view->newTabRow();
    ASSERT_TRUE(shown(row));
    EXPECT_EQ(row->toolTip(), QStringLiteral("New Tab in Window 1"));
    EXPECT_EQ(row->accessibleName(), QStringLiteral("New Tab in Window 1"));
    EXPECT_EQ(row->windowLabel(), QStringLiteral("Window 1"));

    QTest::mouseClick(row, Qt::LeftButton);
    world.settle();
    ASSERT_EQ(world.browser->openedURLs().size(), 1u);
    EXPECT_EQ(world.browser->openedURLs().front(), QUrl(QStringLiteral("favorites://")));
    EXPECT_EQ(world.browser->windows().front().tabs.size(), 4u);
    // The refresh after it published the new tab in the front window.
    EXPECT_EQ(world.store->windows().front().tabs.size(), 4u);
}

TEST(SidebarView, TheNewTabRowIsLitUnderThePointerOrTheKeyboardsFocusOnly) {
    ViewWorld world;
    auto *row = world.view->newTabRow();
    const auto &theme = world.view->environment().theme();
    const QColor fill = theme.fill().resolved(world.view->palette());
    const QColor hover = over(theme.hover.resolved(world.view->palette()), fill);
    // Inside the row's rounded tile, left of its plus.
    const auto tile = [&] {
        const QImage image = world.grab();
        return image.pixelColor(row->mapTo(world.view.get(), QPoint(10, row->height() / 2)));
    };
    EXPECT_TRUE(colorNear(tile(), fill));
    QTest::mouseMove(row, row->rect().center());
    QEnterEvent enter(QPointF(row->rect().center()), QPointF(row->rect().center()), QPointF(row->mapToGlobal(row->rect().center())));
    QCoreApplication::sendEvent(row, &enter);
    EXPECT_TRUE(colorNear(tile(), hover));
    QTest::mouseClick(row, Qt::LeftButton);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(row, &leave);
    world.settle();
    // The click left no lit row behind once the pointer went.
    EXPECT_TRUE(colorNear(tile(), fill));
    row->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(colorNear(tile(), hover));
}

TEST(SidebarView, ResizeHandleOnTheLeadingEdgeReportsToTheShell) {
    ViewWorld world;
    auto &view = *world.view;
    // Whatever lies under the panel's leading edge, the handle is on top of it.
    auto *handle = qobject_cast<ResizeHandle *>(view.childAt(QPoint(2, view.height() / 2)));
    ASSERT_NE(handle, nullptr);
    const QPoint start(3, 40);
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(-10, 0));
    QTest::mouseMove(handle, start + QPoint(-20, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(-20, 0));
    EXPECT_EQ(world.shell.resizeBegan, 1);
    EXPECT_EQ(world.shell.resizes, (std::vector<double>{10, 20}));
    EXPECT_EQ(world.shell.resizeEnded, 1);
}

TEST(SidebarView, GroupPromptCannotConfirmABlankNameAndKeepsCancelledText) {
    ViewWorld world;
    world.enableGroups();
    auto &view = *world.view;
    QTest::mouseClick(view.newGroupButton(), Qt::LeftButton);
    auto *dialog = view.groupPromptDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tab Group"));
    EXPECT_EQ(view.groupPrompt()->id(), QStringLiteral("create"));
    EXPECT_EQ(dialog->messageText(),
              QStringLiteral("Ondrake’s own grouping — separate from Safari, and kept even after it quits."));
    EXPECT_EQ(dialog->confirmButton()->text(), QStringLiteral("Create"));
    EXPECT_EQ(dialog->nameField()->placeholderText(), QStringLiteral("Name"));
    EXPECT_FALSE(dialog->confirmButton()->isEnabled());
    QTest::keyClicks(dialog->nameField(), QStringLiteral("   "));
    EXPECT_FALSE(dialog->confirmButton()->isEnabled());
    QTest::keyClick(dialog->nameField(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    saveScreenshot(dialog->grab().toImage(), QStringLiteral("sidebar-view-group-prompt"));

    QTest::keyClicks(dialog->nameField(), QStringLiteral("Res"));
    EXPECT_TRUE(dialog->confirmButton()->isEnabled());
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(view.groupPrompt().has_value());
    EXPECT_EQ(view.groupPromptText(), QStringLiteral("   Res"));

    // The next request starts empty again; a rename starts with the group's name.
    view.requestGroupPrompt({});
    EXPECT_TRUE(view.groupPromptText().isEmpty());
    EXPECT_TRUE(view.groupPromptDialog()->nameField()->text().isEmpty());
    TabGroup work{.name = QStringLiteral("Work")};
    view.requestRenamePrompt(work);
    EXPECT_EQ(view.groupPrompt()->id(), QStringLiteral("rename-") + work.id.toString());
    EXPECT_EQ(view.groupPromptDialog()->nameField()->text(), QStringLiteral("Work"));
    EXPECT_EQ(view.groupPromptDialog()->messageText(), QStringLiteral("Renaming “Work”."));
    EXPECT_EQ(view.groupPromptDialog()->confirmButton()->text(), QStringLiteral("Rename"));
}

TEST(SidebarView, EachArrangementShowsTheTabsInTheList) {
    ViewWorld world;
    world.showAllWindows();
    world.settle();
    auto *list = world.view->tabList();
    const auto shownTitles = [&] {
        QStringList titles;
        list->rebuild();
        for (int row = 0; row < list->rowModel().rowCount(); ++row)
            if (list->rowModel().entry(row).row) titles << list->rowModel().index(row).data().toString();
        titles.sort();
        return titles;
    };
    const QStringList all{"Alpha", "Alpine", "Beta", "Delta", "Gamma"};
    for (const auto mode : kAllSidebarViewModes) {
        ArrangeMenu::choose(*world.store, mode);
        world.settle();
        EXPECT_EQ(world.view->currentContent(), list) << toString(mode).toStdString();
        EXPECT_EQ(world.view->contentKind(),
                  mode == SidebarViewMode::tree ? SidebarContentKind::treeList : SidebarContentKind::modeList);
        EXPECT_EQ(shownTitles(), all) << toString(mode).toStdString();
        saveScreenshot(world.grab(), QStringLiteral("sidebar-view-ready-") + toString(mode));
    }

    world.store->setSearchQuery(QStringLiteral("zzz"));
    world.settle();
    EXPECT_EQ(world.view->contentKind(), SidebarContentKind::searchList);
    EXPECT_TRUE(shownTitles().isEmpty());
    list->rebuild();
    EXPECT_EQ(list->rowModel().index(0).data().toString(), QStringLiteral("No matching tabs"));
}

TEST(SidebarView, EveryControlIsReachableByTab) {
    ViewWorld world;
    world.enableGroups();
    auto &view = *world.view;
    view.newGroupButton()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget *> visited{QApplication::focusWidget()};
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    auto reached = [&](QWidget *widget) { return std::find(visited.begin(), visited.end(), widget) != visited.end(); };
    for (QWidget *control : std::vector<QWidget *>{view.newGroupButton(), view.arrangeButton(), view.searchButton(),
                                                   view.compactToggle(), view.newTabRow()})
        EXPECT_TRUE(reached(control)) << control->accessibleName().toStdString();

    // Space on the focused search button opens the search.
    view.searchButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(view.searchButton(), Qt::Key_Space);
    EXPECT_TRUE(world.store->isSearchActive());
}

}  // namespace

namespace {

// The sidebar in a panel that lays its content out, as the shell's panel does.
struct PanelHost {
    QWidget panel;
    explicit PanelHost(SidebarView &view) {
        auto *layout = new QVBoxLayout(&panel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(&view);
        panel.show();
    }
    void resize(int width) {
        panel.resize(width, 520);
        QCoreApplication::processEvents();
    }
};

TEST(SidebarView, ThePanelDecidesTheWidthAndMessagesWrapInsideIt) {
    // The view must not have been a window of its own, whose layout would have fixed its minimum.
    ReadsWorld world(ViewWorld::session());
    ShellCalls shell;
    auto *view = new SidebarView(*world.store, shell.callbacks(), {world.scheduler, world.defaults, world.privacy});
    PanelHost host(*view);
    view->setPalette(lightPalette());

    world.store->setCompact(true);
    QCoreApplication::processEvents();
    host.resize(48);
    EXPECT_EQ(host.panel.width(), 48);
    EXPECT_EQ(view->width(), 48);

    world.store->setCompact(false);
    const QString message = QStringLiteral("Safari could not be reached at "
                                           "/Applications/Safari.app/Contents/MacOS/SafariWithAVeryLongPathIndeed");
    world.store->reportAdapterError(SafariControllerError::automationFailure(message));
    QCoreApplication::processEvents();
    host.resize(200);
    EXPECT_EQ(view->width(), 200);
    QLabel *text = nullptr;
    for (auto *label : view->messageView()->findChildren<QLabel *>())
        if (label->text() == message) text = label;
    ASSERT_NE(text, nullptr);
    EXPECT_GE(text->x(), 20);
    EXPECT_LE(text->geometry().right(), view->width() - 20);
    // The path is wider than the line, so it is broken over lines rather than cut; every line is
    // shown, as the label got the height its lines need at its width.
    const QString path = message.section(u' ', -1);
    EXPECT_GT(text->fontMetrics().horizontalAdvance(path), text->width());
    auto *wrapping = qobject_cast<WrappingLabel *>(text);
    ASSERT_NE(wrapping, nullptr);
    EXPECT_GE(wrapping->lineCount(text->width()), 3);
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    saveScreenshot(host.panel.grab().toImage(), QStringLiteral("sidebar-view-failed-long-message"));
}

}  // namespace

namespace {

TEST(WrappingLabel, BreaksAtSpacesAndInsideAWordOnlyWhenItIsLongerThanALine) {
    struct Case {
        const char *name;
        QString text;
        int atLeast;
        int atMost;
    };
    // At the width of "abcdefghi": two eight-letter words take a line each, forty w's several.
    const std::vector<Case> cases = {
        {"empty: a failure without words keeps its line", QString(), 1, 1},
        {"fits", QStringLiteral("Try"), 1, 1},
        {"two words, one a line", QStringLiteral("abcdefgh abcdefgh"), 2, 2},
        {"one long word", QString(40, u'w'), 3, 40},
        {"a line break stays", QStringLiteral("one\ntwo"), 2, 2},
    };
    for (const auto &c : cases) {
        WrappingLabel label;
        label.setText(c.text);
        const QFontMetrics metrics(label.font());
        const int width = metrics.horizontalAdvance(QStringLiteral("abcdefghi"));
        const int lines = label.lineCount(width);
        EXPECT_GE(lines, c.atLeast) << c.name;
        EXPECT_LE(lines, c.atMost) << c.name;
        EXPECT_EQ(label.heightForWidth(width), lines * metrics.height()) << c.name;
    }
}

}  // namespace
