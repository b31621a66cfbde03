#include "Ondrake/Sidebar/SidebarRowActions.h"

#include "Ondrake/Sidebar/TabActivation.h"

#include "Async.h"
#include "Store/TabStore.h"

namespace ondrake {

namespace {

void start(QCoro::Task<> task, const char *what) {
    static const Logger logger(QStringLiteral("Sidebar"));
    startDetached(std::move(task), logger, QString::fromUtf8(what));
}

// A tab without a record has none of the marks, so its toggles switch them on.
template<typename Mark>
bool toggled(const TabStore &store, const SafariTab &clicked, Mark mark) {
    const TabRecord *record = store.record(clicked.id);
    return !(record && record->*mark);
}

QCoro::Task<> setReadLater(TabStore &store, std::vector<OndrakeID> ids, bool readLater) {
    // The commands' owner is the store, which outlives the task.
    TabCommands &commands = store.commands();
    for (const auto &id : ids) co_await commands.toggleReadLater(readLater, id);
}

// Pinning and muting may reach the browser; the sidebar then shows what it made of them.
QCoro::Task<> thenRefresh(TabStore &store, QCoro::Task<> change) {
    co_await std::move(change);
    co_await store.requestRefresh();
}

QCoro::Task<> readLaterAndClose(TabStore &store, std::vector<SafariTab> tabs) {
    co_await setReadLater(store, store.recordIDs(tabs), true);
    co_await store.closeTabs(std::move(tabs));
}

// The store's mark toggles pick their tabs from the selection. For a search row the selection is
// narrowed to the row while the toggle runs, then given back: the user cannot see it there, so
// an action on one result must neither spread over it nor change it.
template<typename Toggle>
void onClickedAlone(TabStore &store, const SafariTab &clicked, Toggle toggle) {
    if (store.targets(clicked).size() < 2) {
        toggle();
        return;
    }
    const TabSelection kept = store.selection();
    store.setSelection(TabSelection{{clicked.id}, clicked.id});
    toggle();
    store.setSelection(kept);
}

}  // namespace

TabRowActions SidebarRowActions::make(TabStore &store, RequestNewGroup requestNewGroup) {
    TabRowActions actions;
    TabStore *s = &store;
    actions.click = [s](const SafariTab &tab, SidebarModifiers modifiers) {
        if (modifiers.contains(SidebarModifiers::command()) || modifiers.contains(SidebarModifiers::shift())) {
            s->select(tab.id, modifiers);
            return;
        }
        start(TabActivation::activate(*s, tab), "Activating a tab");
    };
    actions.close = [s](const SafariTab &tab) { start(s->closeTabs(s->targets(tab)), "Closing tabs"); };
    actions.toggleSubtree = [s](const SafariTab &tab) { s->toggleCollapsed(tab.id); };
    actions.toggleImportant = [s](const SafariTab &tab) { s->toggleImportant(tab); };
    actions.toggleLocked = [s](const SafariTab &tab) { s->toggleLocked(tab); };
    actions.toggleReadLater = [s](const SafariTab &tab) {
        const bool readLater = toggled(*s, tab, &TabRecord::readLater);
        start(setReadLater(*s, s->recordIDs(s->targets(tab)), readLater), "Changing Read Later");
    };
    actions.addToReadLaterAndClose = [s](const SafariTab &tab) {
        start(readLaterAndClose(*s, s->targets(tab)), "Reading later and closing");
    };
    actions.markRead = [s](const SafariTab &tab) { s->markRead(tab); };
    actions.togglePinned = [s](const SafariTab &tab) {
        start(thenRefresh(*s, s->togglePinned(toggled(*s, tab, &TabRecord::pinned), s->targets(tab))), "Pinning tabs");
    };
    actions.toggleMuted = [s](const SafariTab &tab) {
        start(thenRefresh(*s, s->toggleMuted(toggled(*s, tab, &TabRecord::muted), s->targets(tab))), "Muting tabs");
    };
    actions.muteSubtree = [s](const SafariTab &tab, bool muted) {
        start(thenRefresh(*s, s->muteSubtree(muted, tab)), "Muting nested tabs");
    };
    actions.assignGroup = [s](const SafariTab &tab, std::optional<TabGroupID> groupID) {
        s->assignGroup(groupID, s->targets(tab));
    };
    actions.requestNewGroup = [s, requestNewGroup](const SafariTab &tab) {
        if (requestNewGroup) requestNewGroup(s->targets(tab));
    };
    return actions;
}

TabRowActions SidebarRowActions::forSearch(TabStore &store, RequestNewGroup requestNewGroup) {
    TabRowActions actions = make(store, requestNewGroup);
    TabStore *s = &store;
    actions.click = [s](const SafariTab &tab, SidebarModifiers) {
        start(TabActivation::activateResult(*s, tab), "Opening a search result");
    };
    actions.close = [s](const SafariTab &tab) { start(s->closeTabs({tab}), "Closing a tab"); };
    const auto alone = [s](void (TabStore::*toggle)(const SafariTab &)) {
        return [s, toggle](const SafariTab &tab) { onClickedAlone(*s, tab, [&] { (s->*toggle)(tab); }); };
    };
    actions.toggleImportant = alone(&TabStore::toggleImportant);
    actions.toggleLocked = alone(&TabStore::toggleLocked);
    actions.markRead = alone(&TabStore::markRead);
    actions.toggleReadLater = [s](const SafariTab &tab) {
        const bool readLater = toggled(*s, tab, &TabRecord::readLater);
        start(setReadLater(*s, s->recordIDs({tab}), readLater), "Changing Read Later");
    };
    actions.addToReadLaterAndClose = [s](const SafariTab &tab) {
        start(readLaterAndClose(*s, {tab}), "Reading later and closing");
    };
    actions.togglePinned = [s](const SafariTab &tab) {
        start(thenRefresh(*s, s->togglePinned(toggled(*s, tab, &TabRecord::pinned), {tab})), "Pinning a tab");
    };
    actions.toggleMuted = [s](const SafariTab &tab) {
        start(thenRefresh(*s, s->toggleMuted(toggled(*s, tab, &TabRecord::muted), {tab})), "Muting a tab");
    };
    actions.assignGroup = [s](const SafariTab &tab, std::optional<TabGroupID> groupID) {
        s->assignGroup(groupID, {tab});
    };
    actions.requestNewGroup = [requestNewGroup](const SafariTab &tab) {
        if (requestNewGroup) requestNewGroup({tab});
    };
    return actions;
}

}  // namespace ondrake
