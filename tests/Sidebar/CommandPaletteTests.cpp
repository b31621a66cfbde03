#include "ViewWorld.h"

#include "Ondrake/Sidebar/CommandPaletteView.h"
#include "Ondrake/Sidebar/SidebarSearchField.h"
#include "Ondrake/Sidebar/WrappingLabel.h"

#include <QLabel>

#include <QLineEdit>
#include <QListView>
#include <QTest>

using namespace ondrake;
using namespace ondrake::test;

namespace {

// The palette in a window of its own over the sidebar's store, as the shell hosts it.
struct PaletteWorld : ViewWorld {
    int dismissed = 0;
    std::unique_ptr<CommandPaletteView> palette;

    PaletteWorld() {
        showAllWindows();
        settle();
        palette = std::make_unique<CommandPaletteView>(*store, [this] {
            ++dismissed;
            if (palette) palette->hide();
        });
        palette->setPalette(lightPalette());
        open();
    }
    void open() {
        palette->show();
        palette->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(palette.get()));
        settle();
    }
    QLineEdit *field() const { return palette->field(); }
    std::vector<QString> shownTitles() const {
        std::vector<QString> titles;
        for (int row = 0; row < palette->results().rowCount(); ++row)
            titles.push_back(palette->results().index(row).data().toString());
        return titles;
    }
};

TEST(CommandPalette, EmptyQueryShowsTheHintAndReturnOnlyCloses) {
    PaletteWorld world;
    EXPECT_TRUE(world.field()->hasFocus());
    EXPECT_EQ(world.field()->placeholderText(), QStringLiteral("Search open tabs"));
    EXPECT_EQ(world.palette->placeholderText(), QStringLiteral("Type to search the tabs you have open."));
    EXPECT_EQ(world.palette->size(), QSize(520, 360));
    saveScreenshot(world.palette->grab().toImage(), QStringLiteral("palette-empty"));
    QTest::keyClick(world.field(), Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 0);
    QTest::keyClick(world.field(), Qt::Key_Return);
    world.settle();
    EXPECT_EQ(world.dismissed, 1);
    EXPECT_TRUE(world.inBrowser(QStringLiteral("a1")).isActive);
    EXPECT_TRUE(world.inBrowser(QStringLiteral("b1")).isActive);
}

TEST(CommandPalette, NoMatchNamesTheQueryInTypographicQuotes) {
    PaletteWorld world;
    QTest::keyClicks(world.field(), QStringLiteral("xyz"));
    EXPECT_FALSE(world.palette->showsResults());
    EXPECT_EQ(world.palette->placeholderText(), QStringLiteral("No open tab matches “xyz”"));
}

TEST(CommandPalette, ANoMatchTextLongerThanThePaletteBreaksOverLines) {
    PaletteWorld world;
    const QString address = QStringLiteral("https://example.com/") + QString(120, u'x');
    QTest::keyClicks(world.field(), address);
    const QString text = CommandPaletteView::noMatchText(address);
    ASSERT_EQ(world.palette->placeholderText(), text);
    QLabel *shown = nullptr;
    for (auto *label : world.palette->findChildren<QLabel *>())
        if (label->isVisible() && label->text() == text) shown = label;
    ASSERT_NE(shown, nullptr);
    auto *wrapping = qobject_cast<WrappingLabel *>(shown);
    ASSERT_NE(wrapping, nullptr);
    EXPECT_GE(wrapping->lineCount(shown->width()), 2);
    EXPECT_LE(shown->heightForWidth(shown->width()), shown->height());
    saveScreenshot(world.palette->grab().toImage(), QStringLiteral("palette-no-match-long"));
}

TEST(CommandPalette, ArrowsWrapAndReturnActivatesTheHighlight) {
    PaletteWorld world;
    int raised = 0;
    world.store->onBrowserWindowRaised = [&] { ++raised; };
    QTest::keyClicks(world.field(), QStringLiteral("a"));
    ASSERT_TRUE(world.palette->showsResults());
    const auto results = world.store->searchResults();
    const int count = int(results.size());
    ASSERT_GE(count, 3);
    EXPECT_EQ(world.palette->results().rowCount(), count);
    EXPECT_TRUE(world.palette->results().index(0).data(PaletteResultModel::HighlightedRole).toBool());
    saveScreenshot(world.palette->grab().toImage(), QStringLiteral("palette-results"));

    QTest::keyClick(world.field(), Qt::Key_Up);
    EXPECT_EQ(world.store->searchSelectedIndex(), count - 1);
    EXPECT_TRUE(world.palette->results().index(count - 1).data(PaletteResultModel::HighlightedRole).toBool());
    EXPECT_FALSE(world.palette->results().index(0).data(PaletteResultModel::HighlightedRole).toBool());
    QTest::keyClick(world.field(), Qt::Key_Down);
    QTest::keyClick(world.field(), Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 1);

    const QString wanted = results[1].id;
    QTest::keyClick(world.field(), Qt::Key_Return);
    world.settle();
    EXPECT_TRUE(world.inBrowser(wanted).isActive);
    EXPECT_EQ(world.store->selection().ids, TextSet{wanted});
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(world.dismissed, 1);
    EXPECT_FALSE(world.store->isSearchActive());
    EXPECT_TRUE(world.store->searchQuery().isEmpty());
}

TEST(CommandPalette, ClickActivatesTheClickedRowNotTheHighlight) {
    PaletteWorld world;
    QTest::keyClicks(world.field(), QStringLiteral("a"));
    ASSERT_GE(world.palette->results().rowCount(), 3);
    const QString clicked = world.palette->results().tabs()[2].id;
    auto *list = world.palette->resultList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(world.palette->results().index(2)).center());
    world.settle();
    EXPECT_TRUE(world.inBrowser(clicked).isActive);
    EXPECT_EQ(world.store->selection().ids, TextSet{clicked});
    EXPECT_EQ(world.dismissed, 1);
}

TEST(CommandPalette, EscapeClosesWithoutTouchingTheBrowserAndEmptiesTheQuery) {
    PaletteWorld world;
    QTest::keyClicks(world.field(), QStringLiteral("gam"));
    QTest::keyClick(world.field(), Qt::Key_Escape);
    world.settle();
    EXPECT_EQ(world.dismissed, 1);
    EXPECT_TRUE(world.store->searchQuery().isEmpty());
    EXPECT_TRUE(world.inBrowser(QStringLiteral("a1")).isActive);
    EXPECT_EQ(world.browser->windows().front().isFrontmost, true);
    // Reopened, it starts empty.
    world.open();
    EXPECT_TRUE(world.field()->text().isEmpty());
}

TEST(CommandPalette, AFailedActivationStillRefreshesEndsTheSearchAndCloses) {
    PaletteWorld world;
    QTest::keyClicks(world.field(), QStringLiteral("delta"));
    ASSERT_EQ(world.palette->results().rowCount(), 1);
    // The tab closed in the browser since the last poll.
    auto windows = world.browser->windows();
    windows.back().tabs.pop_back();
    world.browser->setWindows(windows);
    QTest::keyClick(world.field(), Qt::Key_Return);
    world.settle();
    EXPECT_EQ(world.dismissed, 1);
    EXPECT_FALSE(world.store->isSearchActive());
    EXPECT_EQ(world.store->state(), SidebarState::ready());
    EXPECT_EQ(world.store->windows().back().tabs.size(), 1u);  // the refresh saw it go
}

TEST(CommandPalette, AClosedPaletteLeavesTheSidebarsTypingAloneAndCatchesUpWhenOpened) {
    PaletteWorld world;
    world.palette->hide();
    world.store->toggleSearch();
    QTest::keyClicks(world.view->searchField()->lineEdit(), QStringLiteral("gam"));
    // Kept after it closed, the palette does not match the tabs again on every keystroke.
    EXPECT_EQ(world.palette->results().rowCount(), 0);
    world.open();
    EXPECT_EQ(world.field()->text(), QStringLiteral("gam"));
    EXPECT_EQ(world.shownTitles(), std::vector<QString>{QStringLiteral("Gamma")});
    EXPECT_TRUE(world.palette->results().index(0).data(PaletteResultModel::HighlightedRole).toBool());
}

TEST(CommandPalette, ThePaletteAndTheSidebarFieldEditOneQuery) {
    PaletteWorld world;
    world.store->toggleSearch();
    QTest::keyClicks(world.field(), QStringLiteral("bet"));
    EXPECT_EQ(world.view->searchField()->lineEdit()->text(), QStringLiteral("bet"));
    EXPECT_EQ(world.view->contentKind(), SidebarContentKind::searchList);
    EXPECT_EQ(world.shownTitles(), std::vector<QString>{QStringLiteral("Beta")});

    world.view->searchField()->lineEdit()->setText(QString());
    QTest::keyClicks(world.view->searchField()->lineEdit(), QStringLiteral("gam"));
    EXPECT_EQ(world.field()->text(), QStringLiteral("gam"));
    EXPECT_EQ(world.shownTitles(), std::vector<QString>{QStringLiteral("Gamma")});
    QTest::keyClick(world.view->searchField()->lineEdit(), Qt::Key_Down);
    EXPECT_EQ(world.store->searchSelectedIndex(), 0);  // one result: the highlight stays
}

}  // namespace
