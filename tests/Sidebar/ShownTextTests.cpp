#include "ListWorld.h"
#include "RowRecorder.h"
#include "ShownText.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QTimer>
#include <QToolTip>

#include <gtest/gtest.h>

#include <functional>

namespace ondrake {
namespace {

using test::ListHost;

// One window whose first page has a title that looks like markup and no address, a tab in the
// group "R&D", and two more groups, "Tom & Jerry" and "<i>Team</i>".
struct TextsWorld : test::ReadsWorld {
    SidebarEnvironment environment;
    TabGroup research;
    TabGroup cartoons;
    TabGroup team;
    std::unique_ptr<ListHost> host;
    SidebarTabList *list = nullptr;
    test::RowRecorder recorder;

    TextsWorld()
        : ReadsWorld({test::window(1, {SafariTab{QStringLiteral("sale"), 1, 1, QStringLiteral("<b>Sale</b>"), std::nullopt,
                                                 true, std::nullopt},
                                       test::tab(QStringLiteral("docs"), 1, 2), test::tab(QStringLiteral("news"), 1, 3)})}) {
        store->flags().setOverride(true, FeatureFlag::tabGroups());
        research = addGroup(QStringLiteral("R&D"), 0);
        cartoons = addGroup(QStringLiteral("Tom & Jerry"), 1);
        team = addGroup(QStringLiteral("<i>Team</i>"), 2);
        changeRecord(QStringLiteral("docs"), [&](TabRecord &r) { r.groupID = research.id; });
        changeRecord(QStringLiteral("news"), [&](TabRecord &r) { r.groupID = team.id; });
        poll();
        host = std::make_unique<ListHost>(environment, QSize(280, 500));
        list = new SidebarTabList(*store, environment, host.get());
        list->setActions(recorder.actions());
        host->layout()->addWidget(list);
        host->show();
        settle();
    }
    ~TextsWorld() { QToolTip::hideText(); }

    void settle() {
        QCoreApplication::processEvents();
        list->rebuild();
        list->doItemsLayout();
    }
    QPoint rowCentre(const QString &tabID) const {
        const auto &model = list->rowModel();
        const int row = model.rowOfTab(tabID);
        const QRect rect = list->visualRect(model.index(row));
        return QPoint(rect.center().x(), rect.top() + model.entry(row).contentTop() + model.entry(row).content / 2);
    }
    QPoint headingOf(const TabGroup &group) const {
        const auto &model = list->rowModel();
        const QString key = QStringLiteral("group:") + group.id.toString();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.entry(row).key == key) {
                const QRect rect = list->visualRect(model.index(row));
                return QPoint(rect.center().x(), rect.top() + model.entry(row).contentTop() + 5);
            }
        ADD_FAILURE() << "no heading for " << group.name.toStdString();
        return {};
    }

    // Right-clicks at the point and hands the menu that opens to `look` before it closes.
    bool withContextMenu(QPoint at, const std::function<void(QMenu &)> &look) {
        bool opened = false;
        QTimer watch;  // ends with this call, whether or not a menu opened
        watch.setSingleShot(true);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu) return;
            opened = true;
            look(*menu);
            menu->close();
        });
        watch.start(0);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
        return opened;
    }
    // Holds the pointer still at the point until the tool tip shows; answers what it says.
    QString toolTipAt(QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::text();
    }
};

TEST(SidebarShownText, GroupNamesInARowsMenuKeepTheirAmpersands) {
    TextsWorld world;
    const bool opened = world.withContextMenu(world.rowCentre(QStringLiteral("docs")), [&](QMenu &menu) {
        EXPECT_TRUE(test::spokenEntries(menu).contains(QStringLiteral("Remove from “R&D”")));
        QMenu *groups = test::spokenSubmenu(menu, QStringLiteral("Move to Group"));
        ASSERT_NE(groups, nullptr);
        EXPECT_EQ(test::spokenEntries(*groups), (QStringList{QStringLiteral("✓ R&D"), QStringLiteral("Tom & Jerry"),
                                                             QStringLiteral("<i>Team</i>"), QStringLiteral("New Group…")}));
        // The entry read as "Tom & Jerry" files the tab there.
        for (QAction *action : groups->actions())
            if (action->text() == QStringLiteral("Tom && Jerry")) action->trigger();
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(world.recorder.calls, QStringList{QStringLiteral("assignGroup(docs, %1)").arg(world.cartoons.id.toString())});
}

TEST(SidebarShownText, ToolTipsShowTitlesAndNamesAsWritten) {
    struct Case {
        const char *what;
        bool compact;
        std::function<QPoint(const TextsWorld &)> at;
        QString shown;
    };
    const Case cases[] = {
        {"a page's title", false, [](const TextsWorld &w) { return w.rowCentre(QStringLiteral("sale")); },
         QStringLiteral("<b>Sale</b>")},
        {"the same in the rail", true, [](const TextsWorld &w) { return w.rowCentre(QStringLiteral("sale")); },
         QStringLiteral("<b>Sale</b>")},
        {"a group's heading", false, [](const TextsWorld &w) { return w.headingOf(w.team); },
         QStringLiteral("<i>Team</i>, 1 tabs")},
        {"a plain address", false, [](const TextsWorld &w) { return w.rowCentre(QStringLiteral("docs")); },
         QStringLiteral("https://docs.example/")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TextsWorld world;
        world.environment.setCompact(c.compact);
        world.settle();
        const QString tip = world.toolTipAt(c.at(world));
        EXPECT_EQ(test::shownToolTip(tip), c.shown);
        if (!Qt::mightBeRichText(c.shown)) {
            EXPECT_EQ(tip, c.shown) << "an ordinary tip is left as it is";
        }
    }
}

}  // namespace
}  // namespace ondrake
