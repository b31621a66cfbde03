#include "Ondrake/Sidebar/TabActivation.h"

#include "Store/TabStore.h"

namespace ondrake::TabActivation {

QCoro::Task<> activate(TabStore &store, SafariTab tab) {
    store.select(tab.id, SidebarModifiers::none());
    const auto outcome = co_await store.performReportingErrors(store.activate(std::move(tab)));
    if (outcome && outcome->kind == CommandOutcome::Kind::applied) store.onBrowserWindowRaised();
    co_await store.requestRefresh();
}

QCoro::Task<> activateResult(TabStore &store, SafariTab tab) {
    co_await activate(store, std::move(tab));
    store.endSearch();
}

QCoro::Task<> activateHighlightedResult(TabStore &store) {
    auto highlighted = store.activateSearchSelection();
    if (!highlighted) co_return;
    co_await activateResult(store, std::move(*highlighted));
}

QCoro::Task<> activateFromPalette(TabStore &store, std::optional<SafariTab> tab, std::function<void()> onDismiss) {
    if (!tab) tab = store.activateSearchSelection();
    if (tab) co_await activateResult(store, std::move(*tab));
    if (onDismiss) onDismiss();
}

QCoro::Task<> openNewTab(TabStore &store) {
    const auto window = store.newTabWindow();
    if (!window) co_return;
    store.setPendingNewTabScrollPolls(2);
    co_await store.performReportingErrors(store.openNewTab(window->safariID));
    co_await store.requestRefresh();
}

}  // namespace ondrake::TabActivation
