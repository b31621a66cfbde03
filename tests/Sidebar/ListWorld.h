#pragma once

#include "../Store/ReadsWorld.h"
#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarTabList.h"

#include <QPainter>
#include <QVBoxLayout>

#include <memory>

namespace ondrake::test {

// Paints the theme's fill behind the list, as the sidebar's root does.
class ListHost : public QWidget {
public:
    ListHost(SidebarEnvironment &environment, QSize size) : environment_(environment) {
        setFixedSize(size);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    QColor fill() const { return environment_.theme().fill().resolved(palette()); }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), fill()); }

private:
    SidebarEnvironment &environment_;
};

// A store over the in-memory browser with pinned tabs, two groups, two windows with nesting and
// a collapsed parent.
//   window 1: p1 p2 g1 g2 r1 [r1a [r1b]] r2 [r2a] (r2 collapsed) r3 (important, read later)
//   window 2: w1 [w1a] w2 (locked, muted)
struct ListStoreWorld : ReadsWorld {
    TabGroup work;
    TabGroup home;

    static std::vector<SafariWindow> session() {
        return {
            window(1, {tab("p1", 1, 1), tab("p2", 1, 2), tab("g1", 1, 3), tab("g2", 1, 4), tab("r1", 1, 5),
                       tab("r1a", 1, 6, false, QStringLiteral("r1")), tab("r1b", 1, 7, false, QStringLiteral("r1a")),
                       tab("r2", 1, 8, true), tab("r2a", 1, 9, false, QStringLiteral("r2")), tab("r3", 1, 10)},
                   true, 1),
            window(2, {tab("w1", 2, 1), tab("w1a", 2, 2, false, QStringLiteral("w1")), tab("w2", 2, 3)}, false, 2),
        };
    }

    ListStoreWorld() : ReadsWorld(session()) {
        showAllWindows();
        store->flags().setOverride(true, FeatureFlag::tabGroups());
        work = addGroup(QStringLiteral("Work"), 0);
        home = addGroup(QStringLiteral("Home"), 1);
        store->updateBook([&](TabRecordBook &book) { book.groups[work.id].colorName = QStringLiteral("blue"); });
        changeRecord(QStringLiteral("p1"), [](TabRecord &r) { r.pinned = true; });
        changeRecord(QStringLiteral("p2"), [](TabRecord &r) { r.pinned = true; });
        changeRecord(QStringLiteral("g1"), [&](TabRecord &r) { r.groupID = work.id; });
        changeRecord(QStringLiteral("g2"), [&](TabRecord &r) { r.groupID = home.id; });
        changeRecord(QStringLiteral("r3"), [](TabRecord &r) {
            r.important = true;
            r.readLater = true;
        });
        changeRecord(QStringLiteral("w2"), [](TabRecord &r) {
            r.locked = true;
            r.muted = true;
        });
        store->toggleCollapsed(QStringLiteral("r2"));
        store->select(QStringLiteral("r1"), SidebarModifiers::none());
        poll();
    }

    // What the list would show now, decided without a widget.
    SidebarListContent content(bool compact = false) {
        return SidebarListContent::build(SidebarListContent::Input::of(*store, scheduler.wallNow(), compact));
    }
};

// The list over that store.
struct ListWorld : ListStoreWorld {
    SidebarEnvironment environment;
    std::unique_ptr<ListHost> host;
    SidebarTabList *list = nullptr;

    explicit ListWorld(QSize size = QSize(280, 760)) {
        host = std::make_unique<ListHost>(environment, size);
        list = new SidebarTabList(*store, environment, host.get());
        host->layout()->addWidget(list);
        host->show();
        QCoreApplication::processEvents();
        settle();
    }

    // Lets queued rebuilds run and lays the list out.
    void settle() {
        QCoreApplication::processEvents();
        list->rebuild();
        list->doItemsLayout();
    }

    int rowOf(const QString &tabID) const { return list->rowModel().rowOfTab(tabID); }
    // The row's 28-point band in the viewport.
    QRect band(const QString &tabID) const {
        const int row = rowOf(tabID);
        const QRect rect = list->visualRect(list->rowModel().index(row));
        const auto &entry = list->rowModel().entry(row);
        return QRect(rect.left(), rect.top() + entry.contentTop(), rect.width(), entry.content);
    }
    QPoint inHost(QPoint viewportPoint) const { return list->viewport()->mapTo(host.get(), viewportPoint); }
    QImage grab() const { return host->grab().toImage(); }
    QColor token(const ThemeColor &color, double opacity = 1) const {
        return SidebarRowDelegate::color(color, list->paintStyle(), opacity);
    }
};

}  // namespace ondrake::test
