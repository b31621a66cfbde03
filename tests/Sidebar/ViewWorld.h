#pragma once

#include "../Store/ReadsWorld.h"
#include "SidebarTestSupport.h"

#include "Ondrake/Sidebar/SidebarEnvironment.h"
#include "Ondrake/Sidebar/SidebarView.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <vector>

namespace ondrake::test {

// What the sidebar told the shell.
struct ShellCalls {
    int resizeBegan = 0;
    std::vector<double> resizes;
    int resizeEnded = 0;
    std::vector<bool> searchFocus;
    std::vector<bool> compact;
    std::vector<SidebarThemeChoice> themes;

    SidebarView::Callbacks callbacks() {
        return {[this] { ++resizeBegan; }, [this](double change) { resizes.push_back(change); },
                [this] { ++resizeEnded; }, [this](bool focused) { searchFocus.push_back(focused); },
                [this](bool isCompact) { compact.push_back(isCompact); },
                [this](SidebarThemeChoice choice) { themes.push_back(choice); }};
    }
};

// The sidebar over `store`, shown active in a light palette, as the user sees it.
inline std::unique_ptr<SidebarView> shownSidebar(TabStore &store, ShellCalls &shell, SidebarView::Services services,
                                                 QSize size) {
    auto view = std::make_unique<SidebarView>(store, shell.callbacks(), services);
    view->setPalette(lightPalette());
    view->resize(size);
    view->show();
    view->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
    return view;
}

// The sidebar over a store polling the in-memory browser:
//   window 1 (front): a1 "Alpha" [a2 "Alpine"] a3 "Beta"
//   window 2:         b1 "Gamma" b2 "Delta"
struct ViewWorld : ReadsWorld {
    ShellCalls shell;
    std::unique_ptr<SidebarView> view;

    static SafariTab named(SafariTab tab, const QString &title) {
        tab.title = title;
        return tab;
    }
    static std::vector<SafariWindow> session() {
        return {
            window(1, {named(tab("a1", 1, 1, true), QStringLiteral("Alpha")),
                       named(tab("a2", 1, 2, false, QStringLiteral("a1")), QStringLiteral("Alpine")),
                       named(tab("a3", 1, 3), QStringLiteral("Beta"))},
                   true, 1),
            window(2, {named(tab("b1", 2, 1, true), QStringLiteral("Gamma")), named(tab("b2", 2, 2), QStringLiteral("Delta"))},
                   false, 2),
        };
    }

    explicit ViewWorld(std::vector<SafariWindow> windows = session(), QSize size = QSize(280, 520))
        : ReadsWorld(std::move(windows)),
          view(shownSidebar(*store, shell, SidebarView::Services{scheduler, defaults, privacy}, size)) {
        settle();
    }

    // Lets posted events and the scheduler's work run.
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            scheduler.runUntilIdle();
        }
    }
    // Runs the scheduler, timers included, until nothing is left (or a repeating timer is all).
    void drain() {
        settle();
        for (int i = 0; i < 100 && scheduler.nextTimerTime(); ++i) {
            scheduler.advanceToNextTimer();
            settle();
        }
    }
    // The change reaches the store on the main queue.
    void enableGroups() {
        store->flags().setOverride(true, FeatureFlag::tabGroups());
        settle();
    }
    QImage grab() const { return view->grab().toImage(); }
    const SafariTab &inBrowser(const QString &id) const {
        for (const auto &w : browser->windows())
            for (const auto &t : w.tabs)
                if (t.id == id) return t;
        throw std::runtime_error("no such tab in the browser");
    }
};

}  // namespace ondrake::test
