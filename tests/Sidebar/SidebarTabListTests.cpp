#include "ListWorld.h"
#include "RowRecorder.h"

#include "Ondrake/Sidebar/SidebarThemeChoice.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <random>

using namespace ondrake;
using namespace ondrake::test;

namespace {

QStringList keys(const SidebarRowModel &model) {
    QStringList keys;
    for (int row = 0; row < model.rowCount(); ++row)
        keys << (model.entry(row).row ? QStringLiteral("tab:") : QString()) + model.entry(row).key;
    return keys;
}

// Every signal by which a model tells its views something changed.
struct ModelSignals {
    explicit ModelSignals(SidebarRowModel &model)
        : reset(&model, &QAbstractItemModel::modelReset), inserted(&model, &QAbstractItemModel::rowsInserted),
          removed(&model, &QAbstractItemModel::rowsRemoved), changed(&model, &QAbstractItemModel::dataChanged),
          layout(&model, &QAbstractItemModel::layoutChanged), geometry(&model, &SidebarRowModel::geometryChanged) {}
    int total() const {
        return int(reset.size() + inserted.size() + removed.size() + changed.size() + layout.size() + geometry.size());
    }
    QSignalSpy reset, inserted, removed, changed, layout, geometry;
};

// MARK: Content of the model

TEST(SidebarRowModel, TreeListsPinnedGroupsAndWindowsInOrder) {
    ListWorld world;
    const QString work = QStringLiteral("group:") + world.work.id.toString();
    const QString home = QStringLiteral("group:") + world.home.id.toString();
    EXPECT_EQ(keys(world.list->rowModel()),
              (QStringList{"pinned", "tab:p1", "tab:p2", work, "tab:g1", home, "tab:g2", "window-1", "tab:r1", "tab:r1a",
                           "tab:r1b", "tab:r2", "tab:r3", "window-2", "tab:w1", "tab:w1a", "tab:w2"}));
    const auto &sections = world.list->rowModel().content().sections;
    ASSERT_EQ(sections.size(), 5u);
    EXPECT_TRUE(sections[3].window->pinsOnDragOut);
    EXPECT_FALSE(sections[4].window->pinsOnDragOut);
    EXPECT_EQ(sections[3].window->heading(false).title, QStringLiteral("Window 1"));

    const auto &model = world.list->rowModel();
    const auto &r2 = *model.entry(world.rowOf(QStringLiteral("r2"))).row;
    EXPECT_EQ(r2.hiddenCountText(), QStringLiteral("1"));
    EXPECT_TRUE(r2.tab().isActive);
    EXPECT_EQ(model.entry(world.rowOf(QStringLiteral("r1b"))).row->indentLevels(), 2);
    EXPECT_EQ(model.data(model.index(world.rowOf(QStringLiteral("r2"))), Qt::AccessibleTextRole).toString(),
              QStringLiteral("r2, 1 tabs hidden"));
    EXPECT_EQ(model.data(model.index(world.rowOf(QStringLiteral("r1"))), Qt::AccessibleTextRole).toString(),
              QStringLiteral("r1, selected"));
}

TEST(SidebarRowModel, WindowHeadingsFollowTheStoresRuleInEitherScope) {
    ListWorld world;
    const auto headings = [&] {
        QStringList found;
        const auto &model = world.list->rowModel();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).key.startsWith(QStringLiteral("window-"))) found << model.entry(row).key;
        return found;
    };
    EXPECT_TRUE(world.store->windowSections());
    EXPECT_EQ(headings(), (QStringList{"window-1", "window-2"}));
    world.defaults.setString(kSidebarWindowScopeKey, QStringLiteral("activeWindow"));
    world.settle();
    EXPECT_TRUE(world.store->windowSections());
    EXPECT_EQ(headings(), QStringList{"window-1"});
    world.browser->setWindows({ListWorld::session()[0]});
    world.poll();
    world.settle();
    EXPECT_FALSE(world.store->windowSections());
    EXPECT_TRUE(headings().isEmpty());
}

TEST(SidebarRowModel, RowsOfOneWindowStandOnePitchApart) {
    ListWorld world;
    const auto &model = world.list->rowModel();
    const auto top = [&](const char *id) {
        const int row = world.rowOf(QString::fromLatin1(id));
        return model.top(row) + model.entry(row).contentTop();
    };
    EXPECT_EQ(top("r1a") - top("r1"), 29);
    EXPECT_EQ(top("r3") - top("r1"), 4 * 29);
    // Group frames hold their section's rows and nothing of the next section.
    const GroupFrames frames = model.groupFrames(200);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].first, world.work.id);
    EXPECT_TRUE(frames[0].second.contains(QPointF(10, top("g1") + 14)));
    EXPECT_FALSE(frames[0].second.contains(QPointF(10, top("g2") + 14)));
    EXPECT_TRUE(frames[1].second.contains(QPointF(10, top("g2") + 14)));
    EXPECT_LT(frames[0].second.bottom(), frames[1].second.top());
}

TEST(SidebarRowModel, SelectionCountsOnlyShownSelectedTabs) {
    ListWorld world;
    // r2a is folded away under r2, so only two of three selected tabs are shown.
    for (const char *id : {"r3", "w2", "r2a"}) world.store->updateSelection([&](TabSelection &s) { s.ids.insert(QString::fromLatin1(id)); });
    world.settle();
    const auto &model = world.list->rowModel();
    EXPECT_EQ(model.entry(world.rowOf(QStringLiteral("r3"))).row->selectionCount, 3);  // r1, r3, w2
    EXPECT_EQ(model.entry(world.rowOf(QStringLiteral("r2"))).row->selectionCount, 1);  // not selected
    const auto menu = model.entry(world.rowOf(QStringLiteral("w2"))).row->contextMenu({}, {});
    EXPECT_TRUE(menu.find({QStringLiteral("Close 3 Tabs")}));
}

TEST(SidebarRowModel, UnchangedPollSignalsNothingAndChangesSignalOnlyThemselves) {
    ListWorld world;
    auto &model = world.list->rowModel();
    ModelSignals spy(model);

    // The store publishes nothing after such a poll, so the list does not even look again.
    QSignalSpy windowsPublished(world.store.get(), &TabStore::windowsChanged);
    QSignalSpy recordsPublished(world.store.get(), &TabStore::recordsChanged);
    world.poll();
    QCoreApplication::processEvents();
    EXPECT_EQ(windowsPublished.size() + recordsPublished.size(), 0);
    world.settle();
    EXPECT_EQ(spy.total(), 0);

    world.changeRecord(QStringLiteral("r1a"), [](TabRecord &r) { r.important = true; });
    world.settle();
    ASSERT_EQ(spy.changed.size(), 1);
    const int r1a = world.rowOf(QStringLiteral("r1a"));
    EXPECT_EQ(spy.changed[0][0].toModelIndex().row(), r1a);
    EXPECT_EQ(spy.changed[0][1].toModelIndex().row(), r1a);
    EXPECT_EQ(spy.reset.size() + spy.inserted.size() + spy.removed.size(), 0);

    auto windows = world.browser->windows();
    windows[1].tabs.push_back(tab("w3", 2, 4));
    world.browser->setWindows(windows);
    world.poll();
    world.settle();
    ASSERT_EQ(spy.inserted.size(), 1);
    EXPECT_EQ(spy.inserted[0][1].toInt(), world.rowOf(QStringLiteral("w3")));
    EXPECT_EQ(spy.inserted[0][2].toInt(), world.rowOf(QStringLiteral("w3")));
    EXPECT_EQ(spy.reset.size(), 0);

    // A row moving into the pinned section touches its neighbours there, nothing further down.
    spy.changed.clear();
    spy.inserted.clear();
    spy.removed.clear();
    world.changeRecord(QStringLiteral("r1b"), [](TabRecord &r) { r.pinned = true; });
    world.settle();
    EXPECT_EQ(spy.inserted.size(), 1);
    EXPECT_EQ(spy.removed.size(), 1);
    int changedRows = 0;
    for (const auto &signal : spy.changed) changedRows += signal[1].toModelIndex().row() - signal[0].toModelIndex().row() + 1;
    EXPECT_LE(changedRows, 2);
    EXPECT_EQ(world.list->rowModel().sectionOf(world.rowOf(QStringLiteral("w2")))->key, QStringLiteral("window-2"));

    spy.removed.clear();
    windows[0].tabs.erase(windows[0].tabs.begin() + 9);  // r3
    world.browser->setWindows(windows);
    world.poll();
    world.settle();
    EXPECT_EQ(spy.removed.size(), 1);
    EXPECT_EQ(world.rowOf(QStringLiteral("r3")), -1);
    EXPECT_EQ(spy.reset.size(), 0);
}

TEST(SidebarRowModel, SearchShowsTheResultsWithTheHighlightOrAMessage) {
    ListWorld world;
    world.store->setSearchQuery(QStringLiteral("w1"));
    world.settle();
    const auto &model = world.list->rowModel();
    ASSERT_EQ(model.content().form, SidebarListContent::Form::search);
    ASSERT_GE(model.rowCount(), 1);
    const auto &first = *model.entry(0).row;
    EXPECT_TRUE(first.isSelected);
    EXPECT_EQ(first.row.depth, 0);
    EXPECT_EQ(first.parentCloseBehavior, ParentCloseBehavior::parentOnly);
    for (int row = 1; row < model.rowCount(); ++row) EXPECT_FALSE(model.entry(row).row->isSelected);

    world.store->setSearchQuery(QStringLiteral("zzzzzz"));
    world.settle();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.entry(0).text, QStringLiteral("No matching tabs"));
}

// Each rebuild replaces the rows of a search; the tab's row is looked up afresh every time.
TEST(SidebarRowModel, EveryTabIsFoundAtItsRowAfterEachRebuild) {
    ListWorld world;
    const auto &model = world.list->rowModel();
    for (const char *query : {"w1", "w", "", "w2", "zzzzzz", ""}) {
        world.store->setSearchQuery(QString::fromUtf8(query));
        world.settle();
        int rows = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (!model.entry(row).row) continue;
            ++rows;
            EXPECT_EQ(model.rowOfTab(model.entry(row).row->tab().id), row) << query;
        }
        EXPECT_EQ(rows > 0, QByteArray(query) != "zzzzzz") << query;
    }
    EXPECT_EQ(model.rowOfTab(QStringLiteral("no-such-tab")), -1);
}

// The list remembers which site each tab's icon belongs to; a tab that moves to another site
// takes that site's icon.
TEST(SidebarRowModel, RowsShowTheIconOfTheSiteTheirTabIsOnNow) {
    const auto png = [](QColor color) {
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(color);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        icon.save(&buffer, "PNG");
        return bytes;
    };
    ListWorld world;
    world.http->answer(QUrl("https://red.example/favicon.ico"), 200, png(Qt::red));
    world.http->answer(QUrl("https://blue.example/favicon.ico"), 200, png(Qt::blue));
    auto windows = ListWorld::session();
    windows[1].tabs[0].url = parseURL(QStringLiteral("https://red.example/"));
    windows[1].tabs[2].url = parseURL(QStringLiteral("https://blue.example/"));
    world.browser->setWindows(windows);
    world.poll();
    world.scheduler.runUntilIdle();
    world.settle();
    ASSERT_TRUE(world.store->favicons().contains(QStringLiteral("blue.example")));
    const auto iconOf = [&](const char *tabID) -> std::optional<QRgb> {
        const int row = world.rowOf(QString::fromUtf8(tabID));
        if (row < 0 || !world.list->rowModel().entry(row).row->favicon) return std::nullopt;
        return world.list->rowModel().entry(row).row->favicon->pixel(4, 4);
    };
    EXPECT_EQ(iconOf("w1"), QColor(Qt::red).rgb());
    EXPECT_EQ(iconOf("w2"), QColor(Qt::blue).rgb());

    windows[1].tabs[0].url = parseURL(QStringLiteral("https://www.blue.example/other"));
    world.browser->setWindows(windows);
    world.poll();
    world.settle();
    EXPECT_EQ(iconOf("w1"), QColor(Qt::blue).rgb());
}

// A cut title is remembered with its font and width, so no other font or width gets it.
TEST(ElidedTitles, AnswersAsTheFontMetricsWouldForEveryFontAndWidth) {
    ElidedTitles titles;
    QFont plain;
    plain.setPixelSize(12);
    QFont bold = plain;
    bold.setWeight(QFont::Medium);
    QFont small = plain;
    small.setPixelSize(9);
    const QString longTitle = QStringLiteral("Release notes — Kubernetes deployment guide for the quarterly report");
    const QString shortTitle = QStringLiteral("Menu");
    struct Ask {
        const QFont &font;
        const QString &text;
        double width;
    };
    for (const Ask &ask : std::initializer_list<Ask>{{plain, longTitle, 120}, {plain, longTitle, 120}, {plain, longTitle, 80},
                                                     {bold, longTitle, 80}, {small, longTitle, 80}, {plain, longTitle, 120},
                                                     {plain, shortTitle, 120}, {plain, shortTitle, 10}}) {
        EXPECT_EQ(titles.elided(ask.font, ask.text, ask.width),
                  QFontMetricsF(ask.font).elidedText(ask.text, Qt::ElideRight, ask.width))
            << ask.width;
    }
}

// A title drawn from its line shaped before is the title the painter would draw, pixel for
// pixel, whatever the text, font, place, height of the rect and scale, and however often the
// same text comes back in another font or place.
TEST(TitleLines, DrawEveryPixelAsThePaintersOwnTextDrawingWould) {
    std::mt19937 random(5309);
    const auto integer = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    const QStringList words{QStringLiteral("Release"), QStringLiteral("notes"), QStringLiteral("Kubernetes"),
                            QStringLiteral("Über"), QStringLiteral("café"), QStringLiteral("документы"),
                            QStringLiteral("日本語のページ"), QStringLiteral("مرحبا"), QStringLiteral("שלום"),
                            QStringLiteral("🙂"), QStringLiteral("fi ffl"), QStringLiteral("—"), QStringLiteral("a\tb"),
                            QStringLiteral("line\nbreak"), QStringLiteral("x\ry"), QStringLiteral("&&Save"), QStringLiteral(" ")};
    const double scales[] = {1, 1.25, 1.5, 2};
    const QFont::Weight weights[] = {QFont::Normal, QFont::Medium, QFont::DemiBold};
    TitleLines lines;
    QStringList seen;
    for (int i = 0; i < 400; ++i) {
        QString text;
        if (!seen.isEmpty() && integer(0, 2) == 0) {
            text = seen[integer(0, int(seen.size()) - 1)];
        } else {
            for (int w = integer(1, 5); w > 0; --w) text += words[integer(0, int(words.size()) - 1)] + (integer(0, 3) ? QStringLiteral(" ") : QString());
            if (integer(0, 3) == 0) text = QFontMetricsF(QFont()).elidedText(text, Qt::ElideRight, real(10, 120));
            seen << text;
        }
        QFont font;
        font.setPixelSize(integer(9, 14));
        font.setWeight(weights[integer(0, 2)]);
        const double scale = scales[integer(0, 3)];
        const QRectF rect(real(0, 20), real(0, 10), real(5, 200), integer(0, 3) ? real(14, 30) : real(4, 14));
        const bool rightToLeft = integer(0, 9) == 0;
        const auto render = [&](const std::function<void(QPainter &)> &draw) {
            QImage image((QSizeF(240, 50) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setFont(font);
            painter.setPen(QColor(20, 30, 40, 220));
            draw(painter);
            return image;
        };
        const QImage expected = render(
            [&](QPainter &painter) { painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text); });
        const QImage actual = render([&](QPainter &painter) { lines.draw(painter, rect, text); });
        ASSERT_EQ(actual, expected) << "case " << i << ": \"" << text.toStdString() << "\" at " << rect.x() << "," << rect.y()
                                    << " " << rect.width() << "x" << rect.height() << ", " << font.pixelSize() << " px, scale "
                                    << scale;
    }
}

TEST(SidebarRowModel, OtherArrangementsListFlatSectionsWithCounts) {
    ListWorld world;
    world.store->setViewMode(SidebarViewMode::domain);
    world.settle();
    const auto &model = world.list->rowModel();
    ASSERT_EQ(model.content().form, SidebarListContent::Form::mode);
    int rows = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto &entry = model.entry(row);
        if (entry.row) {
            ++rows;
            EXPECT_EQ(entry.row->row.depth, 0);
            EXPECT_FALSE(entry.row->hasNestedTabs);
        } else {
            ASSERT_TRUE(entry.heading);
            EXPECT_TRUE(entry.heading->count);
        }
    }
    EXPECT_EQ(rows, 13);
}

TEST(SidebarTabList, SearchHighlightIsScrolledIntoView) {
    ListWorld world(QSize(280, 90));
    world.store->setSearchQuery(QStringLiteral("example"));
    world.settle();
    const int results = world.list->rowModel().rowCount();
    ASSERT_GT(results, 6);
    auto *bar = world.list->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    world.store->moveSearchSelection(-1);  // wraps to the last result
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
    const auto &last = world.list->rowModel().entry(results - 1);
    EXPECT_TRUE(last.row->isSelected);
    EXPECT_TRUE(world.list->viewport()->rect().contains(world.band(last.row->tab().id).center()));
}

// MARK: What the list shows

TEST(SidebarTabList, SelectedRowIsFilledWithTheSelectionToken) {
    ListWorld world;
    const QImage image = world.grab();
    const QRect band = world.band(QStringLiteral("r1"));
    const QColor expected = over(world.token(world.environment.theme().selection, 0.75), world.host->fill());
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(band.right() - 4, band.center().y()))), expected));
    // An unselected, inactive row shows the background.
    const QRect plain = world.band(QStringLiteral("r3"));
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(plain.right() - 4, plain.center().y()))), world.host->fill()));
    // Safari's active tab is tinted with the foreground.
    const QRect active = world.band(QStringLiteral("r2"));
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(active.right() - 4, active.top() + 3))),
                          over(world.token(world.environment.theme().foreground, 0.08), world.host->fill())));
    saveScreenshot(image, QStringLiteral("tab-list-selection"));
}

TEST(SidebarTabList, CollapsedParentShowsItsHiddenCount) {
    ListWorld world;
    const int row = world.rowOf(QStringLiteral("r2"));
    const TabRow &r2 = *world.list->rowModel().entry(row).row;
    const QRect band = world.band(QStringLiteral("r2"));
    const auto geometry = r2.geometry(band, false, false, SidebarRowDelegate::hiddenCountWidth(r2, world.list->paintStyle()));
    ASSERT_FALSE(geometry.hiddenCount.isEmpty());
    const QImage image = world.grab();
    const QColor behind = over(world.token(world.environment.theme().foreground, 0.08), world.host->fill());
    const QPoint capsuleEdge = world.inHost(QPoint(int(geometry.hiddenCount.left()) + 3, int(geometry.hiddenCount.center().y())));
    EXPECT_TRUE(colorNear(image.pixelColor(capsuleEdge), over(world.token(world.environment.theme().surface), behind)));
    // The count is drawn: the capsule's middle holds text pixels darker than the capsule.
    bool text = false;
    for (int x = int(geometry.hiddenCount.left()) + 4; x < int(geometry.hiddenCount.right()) - 3; ++x)
        for (int y = int(geometry.hiddenCount.top()) + 2; y < int(geometry.hiddenCount.bottom()) - 2; ++y)
            text = text || image.pixelColor(world.inHost(QPoint(x, y))).lightness() < 140;
    EXPECT_TRUE(text);
    // The collapsed parent shows its chevron where the favicon was.
    EXPECT_FALSE(geometry.chevron.isEmpty());
}

TEST(SidebarTabList, CompactFormShowsTilesWithoutTitles) {
    ListWorld world(QSize(64, 760));
    world.environment.setCompact(true);
    world.settle();
    const auto &model = world.list->rowModel();
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.entry(row).heading) {
            EXPECT_TRUE(model.entry(row).heading->title.isEmpty()) << row;
        }
    const QRect band = world.band(QStringLiteral("r1"));
    const QRectF tile = model.entry(world.rowOf(QStringLiteral("r1"))).row->geometry(band, true, false, 0).background;
    EXPECT_EQ(tile.size(), QSizeF(28, 28));
    const QImage image = world.grab();
    const QColor selected = over(world.token(world.environment.theme().selection, 0.75), world.host->fill());
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(int(tile.left()) + 2, int(tile.center().y())))), selected));
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(int(tile.left()) - 3, int(tile.center().y())))), world.host->fill()));
    EXPECT_EQ(model.data(model.index(world.rowOf(QStringLiteral("w1"))), Qt::ToolTipRole).toString(),
              QStringLiteral("w1 — w1.example"));
    saveScreenshot(image, QStringLiteral("tab-list-compact"));
}

TEST(SidebarTabList, EveryThemeIsPaintedFromItsTokens) {
    for (const SidebarThemeChoice choice : kAllSidebarThemeChoices) {
        for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
            const bool followsScheme = choice == SidebarThemeChoice::system || choice == SidebarThemeChoice::highContrast;
            const PanelAppearance appearance = panelAppearance(choice);
            if (!followsScheme && (scheme == ColorScheme::dark) != (appearance == PanelAppearance::dark)) continue;
            ListWorld world;
            const QPalette palette = scheme == ColorScheme::dark ? darkPalette() : lightPalette();
            world.host->setPalette(palette);
            world.environment.setTheme(SidebarThemeTokens::resolve(scheme, choice));
            world.settle();
            const QImage image = world.grab();
            const QRect band = world.band(QStringLiteral("r1"));
            EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(band.right() - 4, band.center().y()))),
                                  over(world.token(world.environment.theme().selection, 0.75), world.host->fill())))
                << toString(choice).toStdString();
            const QRect pinned = world.band(QStringLiteral("p1"));
            EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(pinned.right() - 4, pinned.center().y()))),
                                  over(world.token(world.environment.theme().pinnedArea), world.host->fill())))
                << toString(choice).toStdString();
            saveScreenshot(image, QStringLiteral("tab-list-%1-%2").arg(toString(choice),
                                                                       scheme == ColorScheme::dark ? "dark" : "light"));
        }
    }
}

// MARK: Input

TEST(SidebarTabList, ClicksReachTheRowActions) {
    ListWorld world;
    RowRecorder recorder;
    world.list->setActions(recorder.actions());
    QWidget *viewport = world.list->viewport();
    const QRect r1 = world.band(QStringLiteral("r1"));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, r1.center());
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::AltModifier | Qt::MetaModifier, r1.center() + QPoint(0, 1));
    // The collapsed parent's chevron folds it out.
    const QRect r2 = world.band(QStringLiteral("r2"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(r2.left() + 8 + 6 + 8 + 8, r2.center().y()));
    // Hovering shows the close button, which closes.
    const QRect r3 = world.band(QStringLiteral("r3"));
    QTest::mouseMove(viewport, r3.center());
    EXPECT_EQ(world.list->hoveredTab(), QStringLiteral("r3"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(r3.right() - 8 - 8, r3.center().y()));
    QTest::mouseClick(viewport, Qt::MiddleButton, {}, world.band(QStringLiteral("w1")).center());
    EXPECT_EQ(recorder.calls, (QStringList{"click(r1, 3)", "click(r1, 12)", "toggleSubtree(r2)", "close(r3)", "close(w1)"}));
}

// A host may hand the list new actions or rebuild it from inside any of its callbacks (the store
// publishes synchronously); what the callback was given must stay valid while it runs.
TEST(SidebarTabList, CallbacksMayReplaceTheActionsOrRebuildTheList) {
    ListWorld world;
    QStringList calls;
    const QString note = QStringLiteral("a note long enough to live outside the closure");
    TabRowActions actions;
    actions.click = [&, note](const SafariTab &tab, SidebarModifiers) {
        world.list->setActions({});
        calls << QStringLiteral("click ") + tab.id + QStringLiteral(" ") + note.left(6);
    };
    actions.close = [&](const SafariTab &tab) {
        world.store->toggleCollapsed(QStringLiteral("w1"));  // folds the clicked row away
        world.list->rebuild();
        calls << QStringLiteral("close ") + tab.id;
    };
    world.list->setActions(actions);
    SidebarTabList::Callbacks callbacks;
    callbacks.onToggleWindowCollapse = [&, note](const SafariWindow &window) {
        world.store->toggleWindowCollapsed(window.safariID);
        world.list->setCallbacks({});
        world.list->rebuild();
        calls << QStringLiteral("fold %1 of %2 tabs ").arg(window.safariID).arg(window.tabs.size()) + note.left(6);
    };
    world.list->setCallbacks(callbacks);
    QWidget *viewport = world.list->viewport();

    QTest::mouseClick(viewport, Qt::MiddleButton, {}, world.band(QStringLiteral("w1a")).center());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, world.band(QStringLiteral("r3")).center());
    const int heading = world.rowOf(QStringLiteral("w1")) - 1;
    const QRect rect = world.list->visualRect(world.list->rowModel().index(heading));
    QTest::mouseClick(viewport, Qt::LeftButton, {},
                      QPoint(rect.center().x(), rect.top() + world.list->rowModel().entry(heading).contentTop() + 5));
    EXPECT_EQ(calls, (QStringList{"close w1a", "click r3 a note", "fold 2 of 3 tabs a note"}));
}

// The close button belongs to the row under the pointer, also when the rows moved under it.
TEST(SidebarTabList, HoverFollowsRowsThatMoveUnderAStillPointer) {
    ListWorld world;
    QWidget *viewport = world.list->viewport();
    const QPoint pointer = world.band(QStringLiteral("r1b")).center();
    QTest::mouseMove(viewport, pointer);
    ASSERT_EQ(world.list->hoveredTab(), QStringLiteral("r1b"));
    world.store->toggleCollapsed(QStringLiteral("r1"));  // r1a and r1b fold away, r3 moves up under the pointer
    world.settle();
    EXPECT_TRUE(world.band(QStringLiteral("r3")).contains(pointer));
    EXPECT_EQ(world.list->hoveredTab(), QStringLiteral("r3"));
}

TEST(SidebarTabList, HeadingsFoldTheirSectionsAndGroupsHaveAMenu) {
    ListWorld world;
    QStringList calls;
    SidebarTabList::Callbacks callbacks;
    callbacks.onToggleWindowCollapse = [&](const SafariWindow &w) { calls << QStringLiteral("window %1").arg(w.safariID); };
    callbacks.onToggleGroupCollapse = [&](const TabGroup &g) { calls << QStringLiteral("fold ") + g.name; };
    callbacks.onSetGroupColor = [&](const TabGroup &g, const QString &c) { calls << g.name + QStringLiteral(" ") + c; };
    world.list->setCallbacks(callbacks);
    const auto &model = world.list->rowModel();
    const auto headingAt = [&](const QString &key) {
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).key == key) {
                const QRect rect = world.list->visualRect(model.index(row));
                return QPoint(rect.center().x(), rect.top() + model.entry(row).contentTop() + 5);
            }
        return QPoint();
    };
    const QString work = QStringLiteral("group:") + world.work.id.toString();
    QTest::mouseClick(world.list->viewport(), Qt::LeftButton, {}, headingAt(QStringLiteral("window-2")));
    QTest::mouseClick(world.list->viewport(), Qt::LeftButton, {}, headingAt(work));
    const auto menu = world.list->contextMenuAt(headingAt(work));
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->find({QStringLiteral("Color"), QStringLiteral("✓ Blue")}));
    EXPECT_TRUE(menu->trigger({QStringLiteral("Color"), QStringLiteral("Pink")}));
    EXPECT_FALSE(menu->find({QStringLiteral("Move Up")})->enabled);
    EXPECT_EQ(calls, (QStringList{"window 2", "fold Work", "Work pink"}));
    // A row's menu offers its groups in their order.
    const auto rowMenu = world.list->contextMenuAt(world.band(QStringLiteral("r3")).center());
    ASSERT_TRUE(rowMenu);
    EXPECT_EQ(rowMenu->titles({QStringLiteral("Move to Group")}),
              (QStringList{"Work", "Home", QStringLiteral("—"), QStringLiteral("New Group…")}));
}

TEST(SidebarTabList, KeyboardReachesTheRows) {
    ListWorld world;
    RowRecorder recorder;
    world.list->setActions(recorder.actions());
    world.list->setFocus(Qt::TabFocusReason);
    world.list->setCurrentIndex(world.list->rowModel().index(0));
    QTest::keyClick(world.list, Qt::Key_Down);
    QTest::keyClick(world.list, Qt::Key_Return);
    EXPECT_EQ(recorder.calls, QStringList{"click(p1, 0)"});

    // Left folds an open parent, right opens a folded one; other rows ignore both.
    recorder.calls.clear();
    const struct {
        const char *tab;
        Qt::Key key;
    } presses[] = {{"r1", Qt::Key_Left}, {"r1", Qt::Key_Right}, {"r2", Qt::Key_Left}, {"r2", Qt::Key_Right},
                   {"r3", Qt::Key_Left}, {"r3", Qt::Key_Right}};
    for (const auto &press : presses) {
        world.list->setCurrentIndex(world.list->rowModel().index(world.rowOf(QString::fromLatin1(press.tab))));
        QTest::keyClick(world.list, press.key);
    }
    EXPECT_EQ(recorder.calls, (QStringList{"toggleSubtree(r1)", "toggleSubtree(r2)"}));
}

// MARK: Drags

struct DragCase {
    const char *name;
    QString tab;
    QPoint travel;  // from the row's centre
    std::function<QPoint(ListWorld &)> target;  // overrides travel when set
};

struct DragRecord {
    QStringList calls;
    std::optional<TabDropPlan> plan;
};

DragRecord drag(ListWorld &world, const QString &tabID, QPoint to) {
    DragRecord record;
    RowRecorder recorder;
    world.list->setActions(recorder.actions());
    SidebarTabList::Callbacks callbacks;
    callbacks.onMove = [&](const TabDropPlan &plan) {
        record.calls << QStringLiteral("move");
        record.plan = plan;
    };
    callbacks.onPin = [&](const SafariTab &tab) { record.calls << QStringLiteral("pin ") + tab.id; };
    callbacks.onUnpin = [&](const SafariTab &tab) { record.calls << QStringLiteral("unpin ") + tab.id; };
    world.list->setCallbacks(callbacks);
    QWidget *viewport = world.list->viewport();
    const QPoint from = world.band(tabID).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, 3));
    EXPECT_FALSE(world.list->drag()) << "under the threshold";
    QTest::mouseMove(viewport, (from + to) / 2);
    EXPECT_TRUE(world.list->drag());
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    EXPECT_FALSE(world.list->drag());
    record.calls << recorder.calls;
    return record;
}

TEST(SidebarTabList, DraggingARowMovesItThroughThePlan) {
    ListWorld world;
    const QPoint from = world.band(QStringLiteral("r3")).center();
    const DragRecord record = drag(world, QStringLiteral("r3"), from + QPoint(12, -58));
    ASSERT_EQ(record.calls, QStringList{"move"});
    const SafariWindowView &section = *world.list->rowModel().sectionOf(world.rowOf(QStringLiteral("r3")))->window;
    // The rows are the section's, the move is counted among the pinned and grouped tabs too.
    const auto expected = TabDropPlan::make(QStringLiteral("r3"), world.store->windows().front(), section.rows, -2, 1);
    EXPECT_EQ(record.plan, expected);
    EXPECT_EQ(record.plan->move.expectedTabCount, 10);
    EXPECT_EQ(record.plan->move.newParentID, QStringLiteral("r1a"));
}

TEST(SidebarTabList, DragOutcomesDependOnWhereTheRowLands) {
    const auto groupRow = [](ListWorld &w, const char *id) { return w.band(QString::fromLatin1(id)).center(); };
    const struct {
        const char *name;
        QString tab;
        std::function<QPoint(ListWorld &)> to;
        std::function<QString(ListWorld &)> expected;
    } cases[] = {
        {"above the first window row pins", "r1", [](ListWorld &w) { return w.band("r1").center() + QPoint(0, -40); },
         [](ListWorld &) { return QStringLiteral("pin r1"); }},
        {"into a group", "r3", [&](ListWorld &w) { return groupRow(w, "g2"); },
         [](ListWorld &w) { return QStringLiteral("assignGroup(r3, %1)").arg(w.home.id.toString()); }},
        {"out of a group", "g1", [](ListWorld &w) { return w.band("r3").center(); },
         [](ListWorld &) { return QStringLiteral("assignGroup(g1, none)"); }},
        {"into another group", "g1", [&](ListWorld &w) { return groupRow(w, "g2"); },
         [](ListWorld &w) { return QStringLiteral("assignGroup(g1, %1)").arg(w.home.id.toString()); }},
        {"below the pinned rows unpins", "p2", [](ListWorld &w) { return w.band("p2").center() + QPoint(0, 20); },
         [](ListWorld &) { return QStringLiteral("unpin p2"); }},
        {"a second window's first row does not pin", "w1", [](ListWorld &w) { return w.band("w1").center() + QPoint(0, -40); },
         [](ListWorld &) { return QString(); }},
    };
    for (const auto &c : cases) {
        ListWorld world;
        const DragRecord record = drag(world, c.tab, c.to(world));
        const QString expected = c.expected(world);
        EXPECT_EQ(record.calls, expected.isEmpty() ? QStringList{} : QStringList{expected}) << c.name;
    }
}

TEST(SidebarTabList, DropIndicatorAndPinHintAreDrawnWhileDragging) {
    ListWorld world;
    QWidget *viewport = world.list->viewport();
    const QPoint from = world.band(QStringLiteral("r3")).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -30));
    QTest::mouseMove(viewport, from + QPoint(0, -58));
    ASSERT_TRUE(world.list->drag() && world.list->drag()->window && world.list->drag()->window->plan);
    const auto plan = *world.list->drag()->window->plan;
    const QImage image = world.grab();
    const QRect first = world.band(QStringLiteral("r1"));
    const int y = first.top() + int(SafariWindowView::indicatorY(plan)) + 1;
    const int x = int(SafariWindowView::indicatorIndent(plan.depth, false)) + 20;
    EXPECT_TRUE(colorNear(image.pixelColor(world.inHost(QPoint(x, y))), world.token(world.environment.theme().accent), 30));
    saveScreenshot(image, QStringLiteral("tab-list-dragging"));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(0, -58));
}

// The hint stands in the row above the first one, at its leading edge, over the lifted row.
TEST(SidebarTabList, PinHintLiesAtTheLeadingEdgeOneRowAboveTheFirstRow) {
    ListWorld world;
    QWidget *viewport = world.list->viewport();
    const QRect first = world.band(QStringLiteral("r1"));
    const QPoint from = first.center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -20));
    QTest::mouseMove(viewport, from + QPoint(0, -40));
    ASSERT_TRUE(world.list->drag() && world.list->drag()->window && world.list->drag()->window->wouldPin);
    const QImage image = world.grab();
    saveScreenshot(image, QStringLiteral("tab-list-pin-hint"));
    const QColor accent = world.token(world.environment.theme().accent);
    QRect found;
    for (int y = first.top() - 60; y < first.top(); ++y)
        for (int x = 0; x < first.width(); ++x)
            if (colorNear(image.pixelColor(world.inHost(QPoint(x, y))), accent, 24)) found |= QRect(x, y, 1, 1);
    ASSERT_FALSE(found.isEmpty()) << "no hint drawn";
    EXPECT_LE(found.left(), 4);  // the symbol keeps a little air around its shape
    EXPECT_GE(found.top(), first.top() - 29);
    EXPECT_LE(found.bottom(), first.top() - 29 + 14);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(0, -40));
}

}  // namespace
